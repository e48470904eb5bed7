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

class MonitorTable {
public:
    // Rebuilds the table from gTimerGroups: every group whose handle equals
    // `filter` (every group when `filter` is 0), and within it every timer in
    // collection order, numbered from 1 across groups. Groups are fetched
    // through the collection's Item, so gCurrentHwnd ends at the last group's
    // handle. A failed read throws (Error or ComFailure) and leaves the rows
    // built up to that point, the row being built included.
    //
    // Which timers there are, and each row's status label, are taken here.
    // The other cells of a timer of the component's own collections are read
    // through its properties when the row is first asked for, and kept until
    // the next fill; the timers of a client's collection are read here in
    // full. Every timer whose remaining time could fail to compute is read
    // here as well, so that a failure stops the rows where it does.
    //
    // The table holds a reference to each timer it lists. `previous` (the
    // table shown until now) hands over the references to the timers both
    // list, so an unchanged registry costs no reference counting; rows of
    // `previous` not made yet may show empty cells once it has been filled
    // from.
    void Fill(LONG filter, MonitorTable& previous);
    void Fill(LONG filter);
    // Drops the rows and their references, keeping the storage for the next
    // fill.
    void Clear();

    size_t Size() const { return rows_.size(); }
    // The text of one cell, made with its row on the first ask; empty outside
    // the table. A read that fails while the row is made leaves that cell and
    // the row's later cells empty.
    const std::wstring& Cell(size_t row, int column);
    // Makes the rows from `first` on, `count` of them, that are not made yet.
    void Produce(size_t first, size_t count);

private:
    struct Pending {
        ComPtr<_clsVxTimeTimerItemA> timer;  // null for a client's timer, made at once
        uint8_t label;                       // LabelCarry's code
    };
    // Walks the previous table's rows alongside the new ones.
    struct Handover {
        std::vector<Pending>& rows;
        size_t next = 0;
        ComPtr<_clsVxTimeTimerItemA> Take(_clsVxTimeTimerItemA* timer);
    };

    void AddNativeTimers(const std::vector<ComPtr<_clsVxTimeTimerItemA>>& timers, LabelCarry& carry, float clock,
                         Handover& handover);
    void AddClientTimers(_clsVxTimeTimerItemsA* timers, LabelCarry& carry);
    MonitorRow& NewRow(size_t index);
    void Read(size_t index);  // throws; the row keeps the cells read

    std::vector<Pending> rows_;
    std::unordered_map<size_t, MonitorRow> made_;
    CellReader reader_;
};

}  // namespace zx
