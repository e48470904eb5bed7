#include "registry/time_units.h"

#include "com/numbers.h"

namespace zx {

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
