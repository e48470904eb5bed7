// Members of a client's object found and called by name. Script objects are
// asked through IDispatchEx first: some (VBScript class instances under
// Wine) answer no GetIDsOfNames, and their names are case-insensitive anyway.
#pragma once

#include <windows.h>
#include <dispex.h>
#include <wrl/client.h>

namespace zx {

struct NamedMember {
    DISPID id = DISPID_UNKNOWN;
    Microsoft::WRL::ComPtr<IDispatchEx> script;  // set when found through IDispatchEx
};

HRESULT FindMember(IDispatch* object, const wchar_t* name, NamedMember* member);

HRESULT InvokeMember(IDispatch* object, const NamedMember& member, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception);

}  // namespace zx
