#include "registry/time_accounting.h"

#include "com/errors.h"
#include "com/numbers.h"

namespace zx {
namespace {

bool SameLabel(const std::wstring& label, const wchar_t* name) {
    return label.size() == wcslen(name) && _wcsnicmp(label.c_str(), name, label.size()) == 0;
}

// The share of the interval still to run, in double precision. A zero
// interval is a floating-point failure: 0/0 is the invalid operation,
// anything else over 0 a division by zero.
double PercentRemaining(LONG elapseTime, float balanceTime) {
    if (elapseTime == 0)
        Raise(balanceTime == 0 ? ErrorNumber::Overflow : ErrorNumber::DivisionByZero);
    return static_cast<double>(balanceTime) / elapseTime * 100.0;
}

}  // namespace

float ComputeBalanceTime(const std::wstring& label, LONG elapseTime, LONG startTime, float clock) {
    const LONG now = RoundToLong(clock);
    // The seconds passed are worked out only for a known label: an unknown
    // one reads 0 whatever the start time holds.
    if (SameLabel(label, L"MSec")) {
        const LONG passed = CheckedSubtract(now, startTime);
        return static_cast<float>(CheckedSubtract(elapseTime, CheckedMultiply(passed, 1000)));
    }
    if (SameLabel(label, L"Sec"))
        return static_cast<float>(CheckedSubtract(elapseTime, CheckedSubtract(now, startTime)));
    if (SameLabel(label, L"Min")) return static_cast<float>(elapseTime - CheckedSubtract(now, startTime) / 60.0);
    if (SameLabel(label, L"Hrs")) return static_cast<float>(elapseTime - CheckedSubtract(now, startTime) / 3600.0);
    return 0;
}

float BalanceTime(const std::wstring& label, LONG elapseTime, LONG startTime, float clock) {
    const float balance = ComputeBalanceTime(label, elapseTime, startTime, clock);
    return balance < 0.0f ? 0.0f : balance;
}

LONG IncreasingBalanceTime(LONG elapseTime, float balanceTime) {
    return RoundToLong(static_cast<double>(elapseTime) - balanceTime);
}

SHORT Percent(LONG elapseTime, float balanceTime) { return RoundToShort(PercentRemaining(elapseTime, balanceTime)); }

LONG Percentage(LONG elapseTime, float balanceTime) { return RoundToLong(PercentRemaining(elapseTime, balanceTime)); }

}  // namespace zx
