#pragma once
// A small read-only automation object: named properties with fixed values,
// for the objects the component hands out that have no type description of
// their own (the application information, the error report's error object).
#include <string>
#include <utility>
#include <vector>

#include "com/owned.h"

namespace zx {

struct NamedValue {
    std::wstring name;
    VARIANT value;  // owned by the object once made
};

NamedValue TextValue(std::wstring name, const std::wstring& text);
NamedValue LongValue(std::wstring name, LONG number);

// Names match without regard to case; DISPIDs are 1, 2, ... in order.
ComPtr<IDispatch> MakePropertyObject(std::vector<NamedValue> properties);

}  // namespace zx
