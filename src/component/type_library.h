#pragma once
// The component's own type library, read once from the module's "TYPELIB"
// resource, and the type descriptions the component works from.
#include <windows.h>
#include <oaidl.h>

namespace zx {

// {12748875-1C6C-450F-8E2E-39E40172A55A}: widl emits no constant for records.
extern const GUID kAdditionalArguStruGuid;

// All return borrowed pointers that live as long as the process; nullptr
// if the library cannot be loaded (memory running out included). None
// throws.
ITypeLib* ComponentTypeLib() noexcept;
ITypeInfo* TypeInfoOf(REFGUID guid) noexcept;
// For a dual interface, the description of its function table (the one
// TypeInfoOf returns describes the dispatch view, without HRESULTs).
ITypeInfo* VtableTypeInfoOf(REFGUID guid) noexcept;
// The record description of AdditionalArguStru.
IRecordInfo* AdditionalArguRecordInfo() noexcept;

}  // namespace zx
