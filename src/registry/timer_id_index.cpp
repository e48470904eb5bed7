#include "registry/timer_id_index.h"

namespace zx {

void TimerIdIndex::Insert(LONG id, uint32_t slot) {
    // At most 3/4 full, so that probe runs stay short.
    if ((used_ + 1) * 4 > entries_.size() * 3) Grow();
    Place({id, slot});
    ++used_;
}

void TimerIdIndex::Place(Entry entry) {
    size_t i = Home(entry.id);
    while (entries_[i].slot != kFree) i = Next(i);
    entries_[i] = entry;
}

void TimerIdIndex::Grow() {
    const size_t size = entries_.empty() ? 16 : entries_.size() * 2;
    std::vector<Entry> old(size, Entry{0, kFree});  // may throw; the index is still whole then
    old.swap(entries_);
    mask_ = size - 1;
    unsigned bits = 0;
    while ((size_t(1) << bits) < size) ++bits;
    shift_ = 32 - (bits - 3);  // the run's place among size / 8 runs
    for (const Entry& entry : old)
        if (entry.slot != kFree) Place(entry);
}

void TimerIdIndex::Erase(LONG id, uint32_t slot) {
    if (entries_.empty()) return;
    size_t hole = Home(id);
    while (entries_[hole].slot != slot || entries_[hole].id != id) {
        if (entries_[hole].slot == kFree) return;  // not listed
        hole = Next(hole);
    }
    entries_[hole].slot = kFree;
    --used_;
    // Moves back every later entry of the run that may not stay behind the
    // hole, so that no probe stops early at it.
    for (size_t i = Next(hole); entries_[i].slot != kFree; i = Next(i)) {
        const size_t home = Home(entries_[i].id);
        const bool homeInGap = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
        if (homeInGap) continue;
        entries_[hole] = entries_[i];
        entries_[i].slot = kFree;
        hole = i;
    }
}

void TimerIdIndex::ShiftDown(uint32_t from, uint32_t by) noexcept {
    for (Entry& entry : entries_)
        if (entry.slot != kFree && entry.slot >= from) entry.slot -= by;
}

void TimerIdIndex::Clear() noexcept {
    std::vector<Entry>().swap(entries_);
    mask_ = 0;
    shift_ = 0;
    used_ = 0;
}

}  // namespace zx
