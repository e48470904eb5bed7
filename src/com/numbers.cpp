#include "com/numbers.h"

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

}  // namespace zx
