#pragma once
// The text cells of one row of the monitor window, read from one timer
// through its properties.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "zentrix.h"

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

// The label of a timer status; nullptr for a value outside the enumeration.
const wchar_t* StatusLabel(LONG status);

// The runtime's Boolean text without the localised-names flag: True/False.
std::wstring BooleanText(VARIANT_BOOL value);

// The label a row shows: its own status's, else the one carried from the
// row before it (empty for the first row of a refresh). Held as a small code
// so that a large table keeps one byte per row.
class LabelCarry {
public:
    // The code of the label for a row whose timer has `status`.
    uint8_t Next(LONG status);
    static const wchar_t* Text(uint8_t code);

private:
    uint8_t carried_ = 0;  // 0: no label yet
};

// Reads rows' cells. The single-to-text conversion dominates the cost of a
// row and many timers share a balance, so each reader converts every
// distinct value once.
class CellReader {
public:
    // Sets the cells after the row number from `timer`'s properties, in
    // column order. A failed read throws (Error or ComFailure) and leaves the
    // cells read up to it.
    void Read(_clsVxTimeTimerItemA* timer, uint8_t label, MonitorRow& row);
    // The runtime's single-to-text conversion under the user's locale: at
    // most seven significant digits, the user's decimal separator.
    const std::wstring& SingleText(float value);

private:
    std::unordered_map<uint32_t, std::wstring> singles_;
};

}  // namespace zx
