#include "registry/time_units.h"

#include <cmath>
#include <limits>

#include "com/errors.h"

namespace zx {

LONG CheckedMultiply(LONG a, LONG b) {
    LONG result;
    if (__builtin_mul_overflow(a, b, &result)) Raise(ErrorNumber::Overflow);
    return result;
}

LONG CheckedSubtract(LONG a, LONG b) {
    LONG result;
    if (__builtin_sub_overflow(a, b, &result)) Raise(ErrorNumber::Overflow);
    return result;
}

namespace {
double RoundHalfEven(double value, double low, double high) {
    if (std::isnan(value)) Raise(ErrorNumber::Overflow);
    double rounded = std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
    if (rounded < low || rounded > high) Raise(ErrorNumber::Overflow);
    return rounded;
}
}  // namespace

LONG RoundToLong(double value) {
    return static_cast<LONG>(
        RoundHalfEven(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

SHORT RoundToShort(double value) {
    return static_cast<SHORT>(
        RoundHalfEven(value, std::numeric_limits<SHORT>::min(), std::numeric_limits<SHORT>::max()));
}

ArmingInterval IntervalFor(LONG elapseTime, LONG units) {
    switch (units) {
    case 0: return {L"MSec", elapseTime};
    case 1: return {L"Sec", CheckedMultiply(elapseTime, 1000)};
    case 2: return {L"Min", CheckedMultiply(CheckedMultiply(elapseTime, 60), 1000)};
    case 3: return {L"Hrs", CheckedMultiply(CheckedMultiply(CheckedMultiply(elapseTime, 60), 60), 1000)};
    default: return {L"", 0};
    }
}

LONG UnitsFromLabel(const std::wstring& label) {
    const wchar_t* labels[] = {L"MSec", L"Sec", L"Min", L"Hrs"};
    for (LONG units = 0; units < 4; ++units)
        if (label.size() == wcslen(labels[units]) && _wcsicmp(label.c_str(), labels[units]) == 0) return units;
    return 0;
}

}  // namespace zx
