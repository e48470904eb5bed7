#pragma once
// Integer arithmetic as automation clients know it: checked 32-bit
// operations and conversions of floating values that round to the nearest,
// halves to the even neighbour. Every result outside the target range
// raises the overflow error.
#include <windows.h>

namespace zx {

LONG CheckedMultiply(LONG a, LONG b);
LONG CheckedSubtract(LONG a, LONG b);
// Nearest integer, halves to the even neighbour; overflow error outside the
// 32-bit (or 16-bit) range.
LONG RoundToLong(double value);
SHORT RoundToShort(double value);

}  // namespace zx
