#pragma once
// The module's own type library, read once from its first "TYPELIB"
// resource, and the type descriptions the module's objects work from.
#include <windows.h>
#include <oaidl.h>

namespace zx {

// Each returns a borrowed pointer that lives as long as the process;
// nullptr if the library cannot be loaded or does not describe `guid`.
ITypeInfo* TypeInfoOf(REFGUID guid);
// For a dual interface, the description of its function table (the one
// TypeInfoOf returns describes the dispatch view, without HRESULTs).
ITypeInfo* VtableTypeInfoOf(REFGUID guid);
// The description of a record type of the library, for VT_RECORD values.
IRecordInfo* RecordInfoOf(REFGUID guid);

}  // namespace zx
