#pragma once
// The records of one timer collection by timer identifier, so that finding
// a timer reads neither every record nor any record at all. Open addressing
// with linear probing over (identifier, storage slot) pairs: duplicates (two
// records with one identifier) share a probe run, and the pairs alone answer
// a search. The collection reports every change of a listed record's
// identifier (Erase under the old value, Insert under the new one) and every
// move of records in its storage (ShiftDown).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zx {

class TimerIdIndex {
public:
    void Insert(LONG id, uint32_t slot);
    void Erase(LONG id, uint32_t slot);
    // Every listed slot at or after `from` moves `by` places down.
    void ShiftDown(uint32_t from, uint32_t by) noexcept;
    void Clear() noexcept;

    // Calls visit(slot) for every listed slot whose identifier is `id`, in
    // no particular order.
    template <class Visit>
    void ForEach(LONG id, Visit&& visit) const {
        if (entries_.empty()) return;
        for (size_t i = Home(id); entries_[i].slot != kFree; i = Next(i))
            if (entries_[i].id == id) visit(entries_[i].slot);
    }

private:
    static constexpr uint32_t kFree = UINT32_MAX;
    struct Entry {
        LONG id;
        uint32_t slot;
    };
    // Identifiers are hashed in runs of eight: clients number their timers
    // consecutively, and a run shares a cache line, so that adding and
    // re-listing many timers does not miss the cache on every one.
    size_t Home(LONG id) const {
        const uint32_t run = (uint32_t(id) >> 3) * 0x9E3779B1u;
        return ((static_cast<size_t>(run >> shift_) << 3) | (uint32_t(id) & 7)) & mask_;
    }
    size_t Next(size_t i) const { return (i + 1) & mask_; }
    void Grow();
    void Place(Entry entry);

    std::vector<Entry> entries_;  // a power of two long
    size_t mask_ = 0;
    unsigned shift_ = 0;
    size_t used_ = 0;
};

}  // namespace zx
