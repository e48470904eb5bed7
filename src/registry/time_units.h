#pragma once
// Time units: the label a timer stores for its unit, and its interval in
// milliseconds for arming.
#include <windows.h>

#include <string>

namespace zx {

struct ArmingInterval {
    const wchar_t* label;  // "MSec", "Sec", "Min", "Hrs" or empty
    LONG milliseconds;
};

// Multiplies one factor at a time in checked 32-bit arithmetic; raises the
// overflow error when a step leaves the range. Units outside 0 to 3 give an
// empty label and 0 milliseconds.
ArmingInterval IntervalFor(LONG elapseTime, LONG units);

// Turns a stored label back into a unit, without regard to case; anything
// unknown counts as milliseconds (0).
LONG UnitsFromLabel(const std::wstring& label);

}  // namespace zx
