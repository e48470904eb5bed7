#include "dialog/monitor_rows.h"

#include <array>
#include <utility>

#include "com/errors.h"
#include "platform/platform.h"
#include "registry/time_accounting.h"
#include "registry/time_units.h"
#include "registry/timer_collection.h"
#include "registry/window_groups.h"

namespace zx {
namespace {

// A timer of the component computes its remaining time with
// ComputeBalanceTime from its unit label, interval and start time; a label
// outside the units computes nothing. So when every unit's label computes at
// `clock`, the timer's read cannot fail, whichever label it holds.
bool BalanceComputes(LONG elapse, LONG start, float clock) {
    static const std::array<std::wstring, 4> labels = [] {
        std::array<std::wstring, 4> out;
        for (LONG units = 0; units < LONG(out.size()); ++units) out[units] = IntervalFor(0, units).label;
        return out;
    }();
    try {
        for (const std::wstring& label : labels) ComputeBalanceTime(label, elapse, start, clock);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

// Records removed or added since the previous fill shift the rows after
// them: a few rows ahead are searched before a reference is counted anew.
ComPtr<_clsVxTimeTimerItemA> MonitorTable::Handover::Take(_clsVxTimeTimerItemA* timer) {
    constexpr size_t kLookAhead = 8;
    for (size_t at = next; at < rows.size() && at - next < kLookAhead; ++at) {
        if (rows[at].timer.Get() == timer) {
            next = at + 1;
            return std::move(rows[at].timer);
        }
    }
    return ComPtr<_clsVxTimeTimerItemA>(timer);
}

void MonitorTable::Fill(LONG filter) {
    MonitorTable none;
    Fill(filter, none);
}

void MonitorTable::Clear() {
    rows_.clear();
    made_.clear();
    reader_ = CellReader();
}

void MonitorTable::Fill(LONG filter, MonitorTable& previous) {
    Clear();
    Handover handover{previous.rows_};
    LabelCarry carry;
    bool clockRead = false;
    float clock = 0;

    ComPtr<_clsVxTimeTimerGroupsA> groups = TimerGroups();
    LONG groupCount = 0;
    ThrowIfFailed(groups->Count(&groupCount));
    for (LONG k = 1; k <= groupCount; ++k) {
        LONG position = k;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ThrowIfFailed(groups->get_Item(&position, &group));  // moves gCurrentHwnd
        if (!group) Raise(ErrorNumber::ObjectNotSet);
        LONG groupHandle = 0;
        ThrowIfFailed(group->get_hWnd(&groupHandle));
        if (filter != 0 && groupHandle != filter) continue;

        ComPtr<_clsVxTimeTimerItemsA> timers;
        ThrowIfFailed(group->get_TimerItems(&timers));
        if (!timers) Raise(ErrorNumber::ObjectNotSet);
        if (const TimerCollection* own = TimerCollection::FromInterface(timers.Get())) {
            if (!clockRead) clock = CurrentPlatform().SecondsSinceMidnight();
            clockRead = true;
            AddNativeTimers(own->Timers(), carry, clock, handover);
        } else {
            AddClientTimers(timers.Get(), carry);
        }
    }
}

// Reading the component's own timers runs no code of a client's, so the
// collection stays as it is while it is walked. Only what the label needs,
// and what shows whether the remaining time computes, is read now.
void MonitorTable::AddNativeTimers(const std::vector<ComPtr<_clsVxTimeTimerItemA>>& timers, LabelCarry& carry,
                                   float clock, Handover& handover) {
    rows_.reserve(rows_.size() + timers.size());
    // A large registry does not fit in the cache: the records a few rows
    // ahead are fetched while this one is read.
    constexpr size_t kPrefetchDistance = 16;
    // Timers added together share their interval and start time.
    bool computes = false;
    LONG lastElapse = 0, lastStart = 0;
    for (size_t j = 0; j < timers.size(); ++j) {
        if (j + kPrefetchDistance < timers.size()) {
            const char* ahead = reinterpret_cast<const char*>(timers[j + kPrefetchDistance].Get());
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + 64);
        }
        _clsVxTimeTimerItemA* timer = timers[j].Get();
        TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
        const HRESULT hr = timer->get_Status(&status);
        const size_t index = rows_.size();
        rows_.push_back({handover.Take(timer), FAILED(hr) ? uint8_t(0) : carry.Next(status)});
        if (FAILED(hr)) {
            NewRow(index);
            throw ComFailure{hr};
        }
        LONG elapse = 0, start = 0;
        const bool known = SUCCEEDED(timer->get_ElapseTime(&elapse)) && SUCCEEDED(timer->get_StartTime(&start));
        if (known && computes && elapse == lastElapse && start == lastStart) continue;
        if (known && BalanceComputes(elapse, start, clock)) {
            computes = true;
            lastElapse = elapse;
            lastStart = start;
        } else {
            Read(index);  // a failure here ends the fill at this row
        }
    }
}

// A client's collection and its timers are read in full, in the order the
// properties are listed.
void MonitorTable::AddClientTimers(_clsVxTimeTimerItemsA* timers, LabelCarry& carry) {
    LONG timerCount = 0;
    ThrowIfFailed(timers->get_Count(&timerCount));
    for (LONG j = 1; j <= timerCount; ++j) {
        // The row exists, numbered, before any of its values is read.
        const size_t index = rows_.size();
        rows_.push_back({nullptr, 0});
        MonitorRow& row = NewRow(index);

        VARIANT position;
        position.vt = VT_I4;
        position.lVal = j;
        ComPtr<_clsVxTimeTimerItemA> timer;
        ThrowIfFailed(timers->get_Item(&position, &timer));
        if (!timer) Raise(ErrorNumber::ObjectNotSet);
        TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
        ThrowIfFailed(timer->get_Status(&status));
        rows_[index].label = carry.Next(status);
        reader_.Read(timer.Get(), rows_[index].label, row);
    }
}

MonitorRow& MonitorTable::NewRow(size_t index) {
    MonitorRow& row = made_[index];
    row.cells[kColumnRow] = std::to_wstring(index + 1);
    return row;
}

void MonitorTable::Read(size_t index) {
    // The row is made once, failed or not: its texts stay until the next fill.
    reader_.Read(rows_[index].timer.Get(), rows_[index].label, NewRow(index));
}

void MonitorTable::Produce(size_t first, size_t count) {
    for (size_t i = first; i < rows_.size() && i - first < count; ++i) {
        if (!rows_[i].timer || made_.count(i)) continue;
        try {
            Read(i);
        } catch (...) {
            SetErrorInfo(0, nullptr);
        }
    }
}

const std::wstring& MonitorTable::Cell(size_t row, int column) {
    static const std::wstring kNone;
    if (row >= rows_.size() || column < 0 || column >= kColumnCount) return kNone;
    Produce(row, 1);
    const auto made = made_.find(row);
    return made == made_.end() ? kNone : made->second.cells[column];
}

}  // namespace zx
