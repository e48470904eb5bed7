#include "component/kernite.h"

#include <vector>

#include "com/errors.h"
#include "com/property_object.h"
#include "component/app_info.h"

namespace zx {
namespace {

constexpr wchar_t kAboutProgId[] = L"VxKernite.clsVxKerniteA";
constexpr wchar_t kErrorHandlerProgId[] = L"VxKernite.clsVxknErrorHandlerA";
constexpr wchar_t kAboutProcedure[] = L"basVxknCommonA.AppAboutVxkn_Pro";

// An error as the error report carries it: number, description, source.
struct CallError {
    LONG number;
    std::wstring description;
    std::wstring source;
};

CallError ErrorOf(ErrorNumber number) {
    return {static_cast<LONG>(number), DescriptionOf(number), kErrorSource};
}

// The error number a failed late-bound call stands for.
CallError ErrorOfCall(HRESULT hr, const EXCEPINFO& exception) {
    if (hr == DISP_E_EXCEPTION) {
        HRESULT inner = exception.scode ? exception.scode : E_FAIL;
        LONG number = HRESULT_FACILITY(inner) == FACILITY_CONTROL ? HRESULT_CODE(inner) : inner;
        return {number, exception.bstrDescription ? exception.bstrDescription : L"",
                exception.bstrSource ? exception.bstrSource : L""};
    }
    if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME) return ErrorOf(ErrorNumber::NotSupported);
    if (hr == DISP_E_TYPEMISMATCH) return ErrorOf(ErrorNumber::TypeMismatch);
    if (hr == DISP_E_BADPARAMCOUNT) return ErrorOf(ErrorNumber::WrongArgumentCount);
    return {hr, L"Automation error", kErrorSource};
}

// Creates an object by ProgID on the local machine.
bool Create(const wchar_t* progId, ComPtr<IDispatch>& object, CallError& error) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(object.GetAddressOf()));
    if (SUCCEEDED(hr) && object) return true;
    error = ErrorOf(ErrorNumber::CantCreateObject);
    return false;
}

// Calls a method by name with arguments in call order.
bool CallMethod(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, CallError& error) {
    if (!object) {
        error = ErrorOf(ErrorNumber::ObjectNotSet);
        return false;
    }
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    ExcepInfo exception;
    if (SUCCEEDED(hr)) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        Variant result;
        hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(),
                            exception.Get(), nullptr);
    }
    if (FAILED(hr)) error = ErrorOfCall(hr, *exception.Get());
    return SUCCEEDED(hr);
}

// Ends the about box with `error` as the component's own failure.
[[noreturn]] void Fail(const CallError& error) {
    SetThreadErrorInfo(GUID_NULL, error.source.c_str(), error.description.c_str());
    LONG n = error.number;
    throw ComFailure{n > 0 && n < 65536 ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n) : HRESULT(n)};
}

// ErrorHandlerMessageVx_Pro: forwards one error report, eight arguments.
void ErrorHandlerMessageVx_Pro(IDispatch* appInfo, const CallError& error) {
    ComPtr<IDispatch> handler;
    CallError failure;
    if (!Create(kErrorHandlerProgId, handler, failure)) Fail(failure);

    ComPtr<IDispatch> errorObject = MakePropertyObject({LongValue(L"Number", error.number),
                                                       TextValue(L"Description", error.description),
                                                       TextValue(L"Source", error.source)});
    // Every by-reference slot owns what it holds: a callee that assigns to
    // one frees or releases the old value first, and whatever the slots hold
    // afterwards is freed here.
    BSTR texts[] = {SysAllocString(L""), SysAllocString(kAboutProcedure), SysAllocString(L"")};
    IDispatch* objects[] = {appInfo, errorObject.Get()};
    for (IDispatch* object : objects)
        if (object) object->AddRef();
    LONG zero1 = 0, zero2 = 0;
    std::vector<VARIANT> args(8);
    args[0].vt = VT_DISPATCH | VT_BYREF, args[0].ppdispVal = &objects[0];
    args[1].vt = VT_DISPATCH | VT_BYREF, args[1].ppdispVal = &objects[1];
    args[2].vt = VT_BSTR | VT_BYREF, args[2].pbstrVal = &texts[0];
    args[3].vt = VT_BSTR | VT_BYREF, args[3].pbstrVal = &texts[1];
    args[4].vt = VT_I4 | VT_BYREF, args[4].plVal = &zero1;
    args[5].vt = VT_BSTR | VT_BYREF, args[5].pbstrVal = &texts[2];
    args[6].vt = VT_I4 | VT_BYREF, args[6].plVal = &zero2;
    args[7].vt = VT_ERROR, args[7].scode = DISP_E_PARAMNOTFOUND;
    bool reported = CallMethod(handler.Get(), L"ErrorHandlerMessageVx", std::move(args), failure);
    for (BSTR text : texts) SysFreeString(text);
    for (IDispatch* object : objects)
        if (object) object->Release();
    if (!reported) Fail(failure);
}

}  // namespace

void AppAboutVxkn_Pro() {
    ComPtr<IDispatch> appInfo = MakeAppInfo();
    ComPtr<IDispatch> kernite;
    CallError error;
    if (!Create(kAboutProgId, kernite, error)) ErrorHandlerMessageVx_Pro(appInfo.Get(), error);
    VARIANT infoArg;
    infoArg.vt = VT_DISPATCH;
    infoArg.pdispVal = appInfo.Get();
    if (!CallMethod(kernite.Get(), L"AppAboutVxkn", {infoArg}, error)) ErrorHandlerMessageVx_Pro(appInfo.Get(), error);
    kernite.Reset();
}

}  // namespace zx
