#pragma once
// The records of one timer collection by timer identifier, so that finding
// a timer does not read every record. Open addressing with linear probing
// over record pointers: the key is the record's own identifier, so an entry
// is one pointer, and duplicates (two records with one identifier) simply
// share a probe run. Every change of a listed record's identifier must go
// through Erase (under the old value) and Insert (under the new one).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zx {

class TimerRecord;

class TimerIdIndex {
public:
    void Insert(TimerRecord* record);
    // Removes `record`, listed under `id` (its identifier when inserted or
    // last re-keyed).
    void Erase(TimerRecord* record, LONG id);
    void Clear() noexcept;

    // Calls visit(record) for every listed record whose identifier is `id`,
    // in no particular order.
    template <class Visit>
    void ForEach(LONG id, Visit&& visit) const {
        if (slots_.empty()) return;
        for (size_t i = Home(id);; i = Next(i)) {
            TimerRecord* record = slots_[i];
            if (!record) return;
            if (IdOf(record) == id) visit(record);
        }
    }

private:
    static LONG IdOf(const TimerRecord* record);
    size_t Home(LONG id) const { return static_cast<size_t>((uint32_t(id) * 0x9E3779B1u) >> shift_) & mask_; }
    size_t Next(size_t i) const { return (i + 1) & mask_; }
    void Grow();
    void Place(TimerRecord* record);

    std::vector<TimerRecord*> slots_;  // a power of two long; nullptr is free
    size_t mask_ = 0;
    unsigned shift_ = 0;
    size_t used_ = 0;
};

}  // namespace zx
