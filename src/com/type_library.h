#pragma once
// The module's own type library, read once from its first "TYPELIB"
// resource, and the type descriptions the module's objects work from.
#include <windows.h>
#include <oaidl.h>

namespace zx {

// Each returns a borrowed pointer that lives as long as the process;
// nullptr if the library cannot be loaded (memory running out included) or
// does not describe `guid`. None throws.
ITypeInfo* TypeInfoOf(REFGUID guid) noexcept;
// For a dual interface, the description of its function table (the one
// TypeInfoOf returns describes the dispatch view, without HRESULTs).
ITypeInfo* VtableTypeInfoOf(REFGUID guid) noexcept;
// The description of a record type of the library, for VT_RECORD values.
IRecordInfo* RecordInfoOf(REFGUID guid) noexcept;

}  // namespace zx
