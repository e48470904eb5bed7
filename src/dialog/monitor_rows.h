#pragma once
// The table the monitor window shows: one row of text cells per registered
// timer, read from the apartment's registry.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace zx {

enum MonitorColumn : int {
    kColumnRow,       // the row number (the item text)
    kColumnHandle,
    kColumnId,
    kColumnElapse,
    kColumnBalance,
    kColumnRepeat,
    kColumnStatus,
    kColumnComments,
    kColumnCount
};

struct MonitorRow {
    std::array<std::wstring, kColumnCount> cells;
};

// Rebuilds `rows` from gTimerGroups: every group whose handle equals
// `filter` (every group when `filter` is 0), and within it every timer in
// collection order, numbered from 1 across groups. Groups are fetched
// through the collection's Item, so gCurrentHwnd ends at the last group's
// handle. Every value is read through the record's properties at this
// moment. A failed read throws (Error or ComFailure) and leaves in `rows`
// what was built up to that point, the row being built included.
void FillRows(LONG filter, std::vector<MonitorRow>& rows);

// The label of a timer status; nullptr for a value outside the enumeration.
const wchar_t* StatusLabel(LONG status);

}  // namespace zx
