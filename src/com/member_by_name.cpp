#include "com/member_by_name.h"

#include "com/owned.h"

namespace zx {

HRESULT FindMember(IDispatch* object, const wchar_t* name, NamedMember* member) {
    *member = NamedMember{};
    Microsoft::WRL::ComPtr<IDispatchEx> script;
    object->QueryInterface(__uuidof(IDispatchEx), reinterpret_cast<void**>(script.GetAddressOf()));
    if (script) {
        Bstr text(name);
        if (SUCCEEDED(script->GetDispID(text.Get(), fdexNameCaseInsensitive, &member->id))) {
            member->script = script;
            return S_OK;
        }
    }
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member->id);
}

HRESULT InvokeMember(IDispatch* object, const NamedMember& member, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception) {
    if (member.script)
        return member.script->InvokeEx(member.id, LOCALE_USER_DEFAULT, flags, params, result, exception, nullptr);
    UINT argError = 0;
    return object->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, exception, &argError);
}

}  // namespace zx
