#pragma once
// Time accounting of a timer record: what is left of its interval, what has
// passed and the share still to run, all in the timer's own unit and computed
// afresh on every read from the clock. Failures are raised as Error.
#include <windows.h>

#include <string>

namespace zx {

// The interval left at `clock` (seconds since midnight), in the unit the
// label names ("MSec", "Sec", "Min", "Hrs", any letter case); 0 for any
// other label. May be negative. The clock counts in whole seconds, halves to
// even; "MSec" and "Sec" use checked 32-bit arithmetic (overflow error).
float ComputeBalanceTime(const std::wstring& label, LONG elapseTime, LONG startTime, float clock);

// The record's readers, from its interval and the computed balance.
float BalanceTime(const std::wstring& label, LONG elapseTime, LONG startTime, float clock);  // never below 0
LONG IncreasingBalanceTime(LONG elapseTime, float balanceTime);
SHORT Percent(LONG elapseTime, float balanceTime);
// GetPercentage's form of Percent, with a 32-bit result.
LONG Percentage(LONG elapseTime, float balanceTime);

}  // namespace zx
