#include "registry/timer_id_index.h"

#include "registry/timer_record.h"

namespace zx {

LONG TimerIdIndex::IdOf(const TimerRecord* record) { return record->TimerIdValue(); }

void TimerIdIndex::Insert(TimerRecord* record) {
    // At most 3/4 full, so that probe runs stay short.
    if ((used_ + 1) * 4 > slots_.size() * 3) Grow();
    Place(record);
    ++used_;
}

void TimerIdIndex::Place(TimerRecord* record) {
    size_t i = Home(IdOf(record));
    while (slots_[i]) i = Next(i);
    slots_[i] = record;
}

void TimerIdIndex::Grow() {
    const size_t size = slots_.empty() ? 16 : slots_.size() * 2;
    std::vector<TimerRecord*> old(size, nullptr);  // may throw; the index is still whole then
    old.swap(slots_);
    mask_ = size - 1;
    unsigned bits = 0;
    while ((size_t(1) << bits) < size) ++bits;
    shift_ = 32 - bits;
    for (TimerRecord* record : old)
        if (record) Place(record);
}

void TimerIdIndex::Erase(TimerRecord* record, LONG id) {
    if (slots_.empty()) return;
    size_t hole = Home(id);
    while (slots_[hole] != record) {
        if (!slots_[hole]) return;  // not listed
        hole = Next(hole);
    }
    slots_[hole] = nullptr;
    --used_;
    // Moves back every later entry of the run that may not stay behind the
    // hole, so that no probe stops early at it.
    for (size_t i = Next(hole); slots_[i]; i = Next(i)) {
        const size_t home = Home(IdOf(slots_[i]));
        const bool homeInGap = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
        if (homeInGap) continue;
        slots_[hole] = slots_[i];
        slots_[i] = nullptr;
        hole = i;
    }
}

void TimerIdIndex::Clear() noexcept {
    std::vector<TimerRecord*>().swap(slots_);
    mask_ = 0;
    shift_ = 0;
    used_ = 0;
}

}  // namespace zx
