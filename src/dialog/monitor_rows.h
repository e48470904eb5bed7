#pragma once
// The table the monitor window shows: one row of text cells per registered
// timer, read from the apartment's registry at each refresh.
#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "com/owned.h"
#include "dialog/monitor_cells.h"

namespace zx {

class TimerRecord;

class MonitorTable {
public:
    // Rebuilds the table from gTimerGroups: every group whose handle equals
    // `filter` (every group when `filter` is 0), and within it every timer in
    // collection order, numbered from 1 across groups. Groups are fetched
    // through the collection's Item, so gCurrentHwnd ends at the last group's
    // handle. A failed read throws (Error or ComFailure) and leaves the rows
    // built up to that point, the row being built included.
    //
    // Every value is taken here, as the registry holds it now. The timers of
    // the component's own collections are read directly, without a
    // property call, and their texts are made when a row is first asked for;
    // a client's collection and its timers are read through their
    // properties, in full. The table holds no reference to any timer.
    void Fill(LONG filter);
    // Drops the rows, keeping the storage for the next fill.
    void Clear();

    size_t Size() const { return rows_.size(); }
    // The text of one cell, made with its row on the first ask; empty outside
    // the table. A conversion that fails while the row is made leaves that
    // cell and the row's later cells empty.
    const std::wstring& Cell(size_t row, int column);
    // Makes the rows from `first` on, `count` of them, that are not made yet.
    void Produce(size_t first, size_t count);

private:
    // A timer's values as the fill found them; the texts live in texts_.
    struct Pending {
        LONG handle;
        LONG id;
        LONG elapse;
        float balance;
        uint32_t units;     // in texts_
        uint32_t comments;  // in texts_
        uint8_t label;      // LabelCarry's code
        bool repeat;
        bool taken;         // false: a client's timer, made at the fill
    };

    void AddNativeTimers(const class TimerCollection& timers, LabelCarry& carry, float clock);
    void AddClientTimers(_clsVxTimeTimerItemsA* timers, LabelCarry& carry);
    uint32_t UnitsText(const TimerRecord& timer);
    uint32_t CommentsText(const TimerRecord& timer);
    MonitorRow& NewRow(size_t index);
    void Make(size_t index);  // throws; the row keeps the cells made

    std::vector<Pending> rows_;
    std::unordered_map<size_t, MonitorRow> made_;
    std::vector<std::wstring> texts_;  // [0] is empty; units labels and comments
    std::vector<std::pair<const wchar_t*, uint32_t>> knownUnits_;  // label text -> its place in texts_
    CellReader reader_;
};

}  // namespace zx
