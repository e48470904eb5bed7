#pragma once
// IDispatch for the component's dual interfaces, driven by the type library.
//
// ITypeInfo::Invoke cannot serve these interfaces as clients use them (it
// refuses records, rejects script variables passed to typed by-reference
// parameters and accepts surplus arguments), so calls are dispatched here:
// the member's function and the way each parameter is passed come from a
// plan made once per interface (com/plan_cache.h), every argument is
// converted to the parameter's type, and the vtable entry is called
// directly (com/vtable_call.h) when every argument is a machine word, with
// DispCallFunc otherwise. For up to eight parameters the dispatcher keeps its
// per-call storage on the stack (conversions and members may allocate).
#include <windows.h>
#include <oaidl.h>

namespace zx {

// GetIDsOfNames through the type information, refusing absent arrays and an
// empty list (ITypeInfo::GetIDsOfNames reads through them unchecked).
HRESULT IdsOfNamesByTypeInfo(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids);

HRESULT InvokeByTypeInfo(ITypeInfo* info, IUnknown* vtableOwner, DISPID member, WORD flags,
                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

}  // namespace zx
