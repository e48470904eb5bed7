#include "soak_client.h"

#include "call_results.h"

#include <cwchar>

namespace zxsoak {
namespace {

using zxcall::ClearResult;
using zxcall::OwnedExcepInfo;

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT LongRef(LONG* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = value;
    return v;
}

// Takes the object a result holds. (mingw-w64's ComPtr::Attach adds a
// reference, unlike WRL's, so it cannot adopt one.)
void Adopt(ComPtr<IDispatch>& owner, VARIANT& result) {
    owner = result.pdispVal;
    VariantClear(&result);
}

constexpr LONG kHour = 3600000;  // timers that never tick during the run

}  // namespace

DISPID LateBound::Id(const wchar_t* name) {
    for (int i = 0; i < known_; ++i)
        if (names_[i] == name) return ids_[i];
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (known_ < 24) {
        names_[known_] = name;
        ids_[known_++] = id;
    }
    return id;
}

HRESULT LateBound::Get(const wchar_t* name, VARIANT* result, VARIANT* args, UINT count) {
    VARIANT reversed[8];
    for (UINT i = 0; i < count && i < 8; ++i) reversed[count - 1 - i] = args[i];
    DISPPARAMS params{count ? reversed : nullptr, nullptr, count, 0};
    OwnedExcepInfo exception;
    UINT argError = 0;
    return object_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                           result, &exception.value, &argError);
}

HRESULT LateBound::Call(const wchar_t* name, WORD flags, VARIANT* args, UINT count) {
    VARIANT reversed[8];
    for (UINT i = 0; i < count && i < 8; ++i) reversed[count - 1 - i] = args[i];
    DISPPARAMS params{count ? reversed : nullptr, nullptr, count, 0};
    VARIANT result;
    VariantInit(&result);
    OwnedExcepInfo exception;
    UINT argError = 0;
    HRESULT hr = object_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &exception.value,
                                 &argError);
    ClearResult(result);
    return hr;
}

HRESULT LateBound::Put(const wchar_t* name, VARIANT value, WORD flags) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    OwnedExcepInfo exception;
    return object_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, &exception.value,
                           nullptr);
}

bool Client::Load(const std::wstring& dll) {
    HMODULE module = LoadLibraryW(dll.c_str());
    if (!module) return false;
    getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    window_ = CreateWindowExW(0, L"STATIC", L"zentrix soak", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    handle_ = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_));
    return getClassObject_ && window_;
}

HRESULT Client::Create(REFCLSID clsid, IDispatch** object) {
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject_(clsid, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object));
}

bool Client::Open() {
    Close();
    if (FAILED(Create(CLSID_clsVxTimeTimerMainA, &service_))) return false;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(service_.As(&container)) ||
        FAILED(container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point_)) ||
        FAILED(point_->Advise(&sink, &cookie_)))
        return false;
    LateBound service(service_.Get());
    VARIANT result;
    VariantInit(&result);
    if (FAILED(service.Get(L"TimerGroups", &result)) || result.vt != VT_DISPATCH) return false;
    Adopt(groups_, result);
    VARIANT handle = Long(handle_);
    VariantInit(&result);
    if (FAILED(LateBound(groups_.Get()).Get(L"Add", &result, &handle, 1)) || result.vt != VT_DISPATCH) return false;
    Adopt(group_, result);
    VariantInit(&result);
    if (FAILED(LateBound(group_.Get()).Get(L"TimerItems", &result)) || result.vt != VT_DISPATCH) return false;
    Adopt(items_, result);
    if (!Event(0)) return false;  // timer 2, added and removed
    VARIANT args[] = {Long(1), {}, Long(kHour)};
    args[1].vt = VT_EMPTY;  // an empty record
    if (FAILED(LateBound(items_.Get()).Call(L"Add", DISPATCH_METHOD, args, 3))) return false;
    VARIANT one = Long(1);
    VariantInit(&result);
    if (FAILED(LateBound(items_.Get()).Get(L"Item", &result, &one, 1)) || result.vt != VT_DISPATCH) return false;
    Adopt(item_, result);
    return true;
}

void Client::Close() {
    if (point_) point_->Unadvise(cookie_);
    point_.Reset();
    item_.Reset();
    items_.Reset();
    group_.Reset();
    groups_.Reset();
    service_.Reset();
    SysFreeString(record_.sComments);
    record_ = AdditionalArguStru{};
}

bool Client::ReadString(long long i) {
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = LateBound(item_.Get()).Get(i % 2 ? L"Owner" : L"TimeUnits", &result);
    const bool ok = SUCCEEDED(hr) && result.vt == VT_BSTR;
    ClearResult(result);
    return ok;
}

bool Client::ReadNumber(long long i) {
    static const wchar_t* const kItem[] = {L"BalanceTime", L"Percent", L"IncreasingBalanceTime", L"Status", L"hWnd"};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = i % 7 == 5 ? LateBound(items_.Get()).Get(L"Count", &result)
                 : i % 7 == 6 ? LateBound(groups_.Get()).Get(L"Count", &result)
                              : LateBound(item_.Get()).Get(kItem[i % 7], &result);
    ClearResult(result);
    return SUCCEEDED(hr);
}

bool Client::Write(long long i) {
    LateBound item(item_.Get());
    switch (i % 3) {
    case 0: {
        wchar_t text[32];
        std::swprintf(text, 32, L"soak %lld", i % 1000);
        VARIANT value;
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(text);
        HRESULT hr = item.Put(L"Owner", value);
        VariantClear(&value);
        return SUCCEEDED(hr);
    }
    case 1: return SUCCEEDED(item.Put(L"Status", Long(timeTimerStatusStarted)));
    default: return SUCCEEDED(item.Put(L"ElapseTime", Long(kHour)));
    }
}

bool Client::Record(long long i) {
    LateBound item(item_.Get());
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = item.Get(L"AdditionalArgu", &result);
    if (FAILED(hr) || result.vt != VT_RECORD) {
        ClearResult(result);
        return false;
    }
    if (i % 2) {
        // Written back changed, by reference with the library's description.
        SysFreeString(record_.sComments);
        record_.lLParam = static_cast<LONG>(i);
        record_.sComments = SysAllocString(L"soak record");
        VARIANT value;
        value.vt = VT_RECORD | VT_BYREF;
        value.pvRecord = &record_;
        value.pRecInfo = result.pRecInfo;
        hr = item.Put(L"AdditionalArgu", value);
    }
    ClearResult(result);
    return SUCCEEDED(hr);
}

bool Client::Collection(long long i) {
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = S_OK;
    LONG hWnd = handle_, id = 1;
    switch (i % 3) {
    case 0: {
        VARIANT one = Long(1);
        hr = LateBound(items_.Get()).Get(L"Item", &result, &one, 1);
        break;
    }
    case 1: {
        VARIANT args[] = {LongRef(&hWnd), LongRef(&id)};
        hr = LateBound(items_.Get()).Get(L"CheckExistance", &result, args, 2);
        break;
    }
    default: {
        VARIANT one = Long(1);
        hr = LateBound(groups_.Get()).Get(L"Item", &result, &one, 1);
        break;
    }
    }
    ClearResult(result);
    return SUCCEEDED(hr);
}

bool Client::Control(long long i) {
    static const wchar_t* const kOperations[] = {L"TimerStop", L"TimerStart", L"GetPercentage", L"ResetTimer"};
    LONG hWnd = handle_, id = 1;
    VARIANT args[] = {LongRef(&hWnd), LongRef(&id)};
    return SUCCEEDED(LateBound(service_.Get()).Call(kOperations[i % 4], DISPATCH_METHOD, args, 2));
}

bool Client::Failure(long long i) {
    switch (i % 4) {
    case 0: {
        VARIANT beyond = Long(99);
        return LateBound(items_.Get()).Call(L"Item", DISPATCH_PROPERTYGET, &beyond, 1) == DISP_E_EXCEPTION;
    }
    case 1: {
        DISPPARAMS none{};
        OwnedExcepInfo exception;
        return item_->Invoke(0x12345, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception.value, nullptr) ==
               DISP_E_MEMBERNOTFOUND;
    }
    case 2: {
        VARIANT text;
        text.vt = VT_BSTR;
        text.bstrVal = SysAllocString(L"not a status");
        HRESULT hr = LateBound(item_.Get()).Put(L"Status", text);
        VariantClear(&text);
        return hr == DISP_E_TYPEMISMATCH;
    }
    default: {
        VARIANT args[] = {Long(1), Long(2), Long(3)};
        return LateBound(items_.Get()).Call(L"Count", DISPATCH_PROPERTYGET, args, 3) == DISP_E_BADPARAMCOUNT;
    }
    }
}

bool Client::MessageBox(long long i) {
    LONG hWnd = 12345 + static_cast<LONG>(i % 2), id = 1;  // no group: "Invalid Handle"
    VARIANT args[] = {LongRef(&hWnd), LongRef(&id)};
    return SUCCEEDED(LateBound(service_.Get()).Call(L"TimerStop", DISPATCH_METHOD, args, 2));
}

bool Client::Event(long long) {
    // Timer 2 added (OnTimerStart to the sink, armed on the hidden window)
    // and removed again; it never ticks.
    LateBound items(items_.Get());
    VARIANT result;
    VariantInit(&result);
    if (FAILED(items.Get(L"Count", &result))) return false;
    const LONG before = result.lVal;
    VARIANT args[] = {Long(2), {}, Long(kHour)};
    args[1].vt = VT_EMPTY;
    // The group is fetched again: it makes its window the current one.
    VARIANT one = Long(1);
    VARIANT group;
    VariantInit(&group);
    if (FAILED(LateBound(groups_.Get()).Get(L"Item", &group, &one, 1))) return false;
    VariantClear(&group);
    if (FAILED(items.Call(L"Add", DISPATCH_METHOD, args, 3))) return false;
    VARIANT last = Long(before + 1);
    return SUCCEEDED(items.Call(L"Remove", DISPATCH_METHOD, &last, 1));
}

bool Client::Cycle(long long) {
    ComPtr<IDispatch> service, relay, general, advanced;
    if (FAILED(Create(CLSID_clsVxTimeTimerMainA, &service)) || FAILED(Create(CLSID_clsVxTimeTimerEventsA, &relay)) ||
        FAILED(Create(CLSID_clsVxTimeGeneralA, &general)) || FAILED(Create(CLSID_clsVxTimeAdvancedA, &advanced)))
        return false;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (FAILED(service.As(&container)) ||
        FAILED(container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point)) ||
        FAILED(point->Advise(&sink, &cookie)))
        return false;
    bool ok = true;
    VARIANT result;
    VariantInit(&result);
    ok = ok && SUCCEEDED(LateBound(service.Get()).Get(L"TimerGroups", &result)) && result.vt == VT_DISPATCH;
    ComPtr<IDispatch> groups;
    if (ok) Adopt(groups, result);
    VARIANT handle = Long(handle_);
    VariantInit(&result);
    ok = ok && SUCCEEDED(LateBound(groups.Get()).Get(L"Add", &result, &handle, 1)) && result.vt == VT_DISPATCH;
    ComPtr<IDispatch> group;
    if (ok) Adopt(group, result);
    VariantInit(&result);
    ok = ok && SUCCEEDED(LateBound(group.Get()).Get(L"TimerItems", &result)) && result.vt == VT_DISPATCH;
    ComPtr<IDispatch> items;
    if (ok) Adopt(items, result);
    VARIANT args[] = {Long(1), {}, Long(kHour)};
    args[1].vt = VT_EMPTY;
    ok = ok && SUCCEEDED(LateBound(items.Get()).Call(L"Add", DISPATCH_METHOD, args, 3));
    VARIANT one = Long(1);
    VariantInit(&result);
    ok = ok && SUCCEEDED(LateBound(items.Get()).Get(L"Item", &result, &one, 1)) && result.vt == VT_DISPATCH;
    ComPtr<IDispatch> item;
    if (ok) Adopt(item, result);
    VariantInit(&result);
    ok = ok && SUCCEEDED(LateBound(item.Get()).Get(L"Owner", &result));
    ClearResult(result);
    point->Unadvise(cookie);
    return ok;
}

}  // namespace zxsoak
