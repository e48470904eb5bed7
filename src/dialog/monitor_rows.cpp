#include "dialog/monitor_rows.h"

#include "com/errors.h"
#include "platform/platform.h"
#include "registry/timer_collection.h"
#include "registry/timer_record.h"
#include "registry/window_groups.h"

namespace zx {

void MonitorTable::Clear() {
    rows_.clear();
    made_.clear();
    texts_.assign(1, std::wstring());
    knownUnits_.clear();
    reader_ = CellReader();
}

void MonitorTable::Fill(LONG filter) {
    Clear();
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
        if (const TimerCollection* own = TimerCollection::Native(timers.Get())) {
            // One clock reading for the refresh: every balance is as of it.
            if (!clockRead) clock = CurrentPlatform().SecondsSinceMidnight();
            clockRead = true;
            AddNativeTimers(*own, carry, clock);
        } else {
            AddClientTimers(timers.Get(), carry);
        }
    }
}

uint32_t MonitorTable::UnitsText(const TimerRecord& timer) {
    if (const wchar_t* known = timer.KnownUnitsLabel()) {
        for (const auto& [label, at] : knownUnits_)
            if (label == known) return at;
        texts_.emplace_back(known);
        knownUnits_.emplace_back(known, static_cast<uint32_t>(texts_.size() - 1));
        return knownUnits_.back().second;
    }
    texts_.push_back(timer.UnitsLabel());
    return static_cast<uint32_t>(texts_.size() - 1);
}

uint32_t MonitorTable::CommentsText(const TimerRecord& timer) {
    const BSTR comments = timer.CommentsValue();
    if (SysStringLen(comments) == 0) return 0;
    texts_.emplace_back(comments, SysStringLen(comments));
    return static_cast<uint32_t>(texts_.size() - 1);
}

// Reading the component's own timers runs no code of a client's, so the
// collection stays as it is while it is walked.
void MonitorTable::AddNativeTimers(const TimerCollection& timers, LabelCarry& carry, float clock) {
    const LONG count = timers.Count();
    rows_.reserve(rows_.size() + count);
    // A large registry does not fit in the cache: the records a few rows
    // ahead are fetched while this one is read.
    constexpr LONG kPrefetchDistance = 16;
    // Timers added together share their unit, interval and start time, and
    // so their balance.
    const wchar_t* lastUnits = nullptr;
    LONG lastElapse = 0, lastStart = 0;
    float lastBalance = 0;
    for (LONG j = 1; j <= count; ++j) {
        if (j + kPrefetchDistance <= count) {
            const char* ahead = reinterpret_cast<const char*>(timers.At(j + kPrefetchDistance));
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + 64);
        }
        const TimerRecord& timer = *timers.At(j);
        const size_t index = rows_.size();
        Pending& row = rows_.emplace_back();
        row.taken = true;
        row.label = carry.Next(timer.StatusValue());
        row.handle = timer.HandleValue();
        row.id = timer.TimerIdValue();
        row.elapse = timer.ElapseValue();
        row.repeat = timer.RepeatValue();
        row.units = UnitsText(timer);
        const wchar_t* units = timer.KnownUnitsLabel();
        const LONG start = timer.StartValue();
        if (units && units == lastUnits && row.elapse == lastElapse && start == lastStart) {
            row.balance = lastBalance;
        } else {
            try {
                row.balance = timer.BalanceAt(clock);
            } catch (...) {
                // The row ends the table with the cells read before the
                // balance, as reading it through its properties would.
                row.taken = false;
                MonitorRow& made = NewRow(index);
                made.cells[kColumnHandle] = std::to_wstring(row.handle);
                made.cells[kColumnId] = std::to_wstring(row.id);
                made.cells[kColumnElapse] = std::to_wstring(row.elapse) + L" " + texts_[row.units];
                throw;
            }
            lastUnits = units;
            lastElapse = row.elapse;
            lastStart = start;
            lastBalance = row.balance;
        }
        row.comments = CommentsText(timer);
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
        rows_.push_back(Pending{});
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

void MonitorTable::Make(size_t index) {
    // The row is made once, failed or not: its texts stay until the next fill.
    const Pending& pending = rows_[index];
    MonitorRow& row = NewRow(index);
    const std::wstring& units = texts_[pending.units];
    row.cells[kColumnHandle] = std::to_wstring(pending.handle);
    row.cells[kColumnId] = std::to_wstring(pending.id);
    row.cells[kColumnElapse] = std::to_wstring(pending.elapse) + L" " + units;
    row.cells[kColumnBalance] = reader_.SingleText(pending.balance) + L" " + units;
    row.cells[kColumnRepeat] = BooleanText(pending.repeat ? VARIANT_TRUE : VARIANT_FALSE);
    row.cells[kColumnStatus] = LabelCarry::Text(pending.label);
    row.cells[kColumnComments] = texts_[pending.comments];
}

void MonitorTable::Produce(size_t first, size_t count) {
    for (size_t i = first; i < rows_.size() && i - first < count; ++i) {
        if (!rows_[i].taken || made_.count(i)) continue;
        try {
            Make(i);
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
