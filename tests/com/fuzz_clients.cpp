#include "fuzz_clients.h"

#include <cstring>

namespace zxfuzz {
namespace {

// Names a progress bar, a timer control, a record object and a buddy
// answer; the library asks for these.
const wchar_t* const kNames[] = {L"Min",     L"Max",      L"Value",    L"Enabled",
                                 L"Interval", L"lLParam",  L"lMParam",  L"lHParam",
                                 L"sComments", L"czTimeTimerMain_OnTimerStart", L"czTimeTimerMain_OnTimerElapse"};
constexpr DISPID kFirstId = 100;

DISPID IdOfName(const wchar_t* name) {
    if (!name) return DISPID_UNKNOWN;
    for (DISPID i = 0; i < DISPID(sizeof kNames / sizeof kNames[0]); ++i)
        if (_wcsicmp(name, kNames[i]) == 0) return kFirstId + i;
    return DISPID_UNKNOWN;
}

constexpr SCODE kSubscriptOutOfRange = static_cast<SCODE>(0x800A0009);

}  // namespace

STDMETHODIMP ForeignObject::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___clsVxTimeTimerMainA ||
        riid == DIID___clsVxTimeTimerEventsA)
        *out = static_cast<IDispatch*>(this);
    else if (script_ && riid == __uuidof(IDispatchEx))
        *out = static_cast<IDispatchEx*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP ForeignObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ForeignObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP ForeignObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = behaviour_ == Behaviour::Absent ? DISPID_UNKNOWN : IdOfName(names[i]);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP ForeignObject::GetDispID(BSTR name, DWORD, DISPID* id) {
    if (!id) return E_POINTER;
    *id = behaviour_ == Behaviour::Absent ? DISPID_UNKNOWN : IdOfName(name);
    return *id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP ForeignObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) {
    return Answer(id, flags, params, result, exception, argError);
}

STDMETHODIMP ForeignObject::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, IServiceProvider*) {
    return Answer(id, flags, params, result, exception, nullptr);
}

HRESULT ForeignObject::Answer(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argError) {
    InterlockedIncrement(&calls);
    if (result) VariantInit(result);
    switch (behaviour_) {
    case Behaviour::Absent: return DISP_E_MEMBERNOTFOUND;
    case Behaviour::Refusing:
        if (argError && params && params->cArgs) *argError = params->cArgs - 1;
        return DISP_E_TYPEMISMATCH;
    case Behaviour::Failing:
        if (exception) {
            *exception = EXCEPINFO{};
            exception->scode = kSubscriptOutOfRange;
            exception->bstrSource = SysAllocString(L"fuzz client");
            exception->bstrDescription = SysAllocString(L"Subscript out of range");
        }
        return DISP_E_EXCEPTION;
    case Behaviour::Quiet: break;
    }
    if (result && (flags & DISPATCH_PROPERTYGET) && id >= kFirstId) {
        result->vt = VT_I4;
        result->lVal = 5;
    }
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = (riid == IID_IUnknown || riid == IID_IRecordInfo) ? static_cast<IRecordInfo*>(this) : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG ForeignRecordInfo::Size() const { return impostor_ ? sizeof(AdditionalArguStru) : 4 * sizeof(LONG); }

STDMETHODIMP ForeignRecordInfo::RecordInit(PVOID record) {
    if (!record) return E_INVALIDARG;
    memset(record, 0, Size());
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::RecordClear(PVOID record) {
    if (!record) return E_INVALIDARG;
    if (impostor_) {
        auto* fields = static_cast<AdditionalArguStru*>(record);
        SysFreeString(fields->sComments);
        fields->sComments = nullptr;
    }
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::RecordCopy(PVOID from, PVOID to) {
    if (!from || !to) return E_INVALIDARG;
    if (from == to) return S_OK;
    RecordClear(to);
    memcpy(to, from, Size());
    if (impostor_) {
        auto* fields = static_cast<AdditionalArguStru*>(to);
        BSTR comments = fields->sComments;
        fields->sComments = comments ? SysAllocStringLen(comments, SysStringLen(comments)) : nullptr;
    }
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::GetGuid(GUID* guid) {
    if (!guid) return E_POINTER;
    static const GUID kForeign = {0x5e1f0c3a, 0x77b2, 0x4d2e, {0x9c, 0x1a, 0x60, 0x2b, 0x11, 0xf0, 0x0d, 0x13}};
    *guid = impostor_ ? libraryRecord_ : kForeign;
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::GetName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = SysAllocString(impostor_ ? L"AdditionalArguStru" : L"ForeignRecord");
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::GetSize(ULONG* size) {
    if (!size) return E_POINTER;
    *size = Size();
    return S_OK;
}

STDMETHODIMP ForeignRecordInfo::GetTypeInfo(ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP_(PVOID) ForeignRecordInfo::RecordCreate() {
    void* record = CoTaskMemAlloc(Size());
    if (record) memset(record, 0, Size());
    return record;
}

STDMETHODIMP ForeignRecordInfo::RecordCreateCopy(PVOID from, PVOID* to) {
    if (!from || !to) return E_INVALIDARG;
    *to = RecordCreate();
    if (!*to) return E_OUTOFMEMORY;
    return RecordCopy(from, *to);
}

STDMETHODIMP ForeignRecordInfo::RecordDestroy(PVOID record) {
    if (!record) return S_OK;
    RecordClear(record);
    CoTaskMemFree(record);
    return S_OK;
}

}  // namespace zxfuzz
