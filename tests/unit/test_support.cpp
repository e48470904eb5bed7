#include "test_support.h"

#include "registry/window_groups.h"

namespace zx::test {

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
    return id;
}

void CallById(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, CallResult& out,
              std::vector<DISPID> named) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    std::vector<DISPID> names(named.rbegin(), named.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), names.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(names.size())};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.value.Get(), &out.exception,
                            &out.argError);
}

void Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, CallResult& out) {
    CallById(object, IdOf(object, name), flags, std::move(args), out);
}

ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args) {
    CallResult result;
    Call(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args), result);
    EXPECT_EQ(S_OK, result.hr) << name;
    EXPECT_EQ(VT_DISPATCH, result.value->vt) << name;
    return result.value->vt == VT_DISPATCH ? ComPtr<IDispatch>(result.value->pdispVal) : nullptr;
}

LONG GetLong(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args) {
    CallResult result;
    Call(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args), result);
    EXPECT_EQ(S_OK, result.hr) << name;
    Variant converted;
    EXPECT_EQ(S_OK, VariantChangeType(converted.Get(), result.value.Get(), 0, VT_I4)) << name;
    return converted->lVal;
}

std::wstring GetString(IDispatch* object, const wchar_t* name) {
    CallResult result;
    Call(object, name, DISPATCH_PROPERTYGET, {}, result);
    EXPECT_EQ(S_OK, result.hr) << name;
    EXPECT_EQ(VT_BSTR, result.value->vt) << name;
    return result.value->vt == VT_BSTR && result.value->bstrVal ? result.value->bstrVal : L"";
}

VARIANT Long(LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}
VARIANT LongRef(LONG* value) {
    VARIANT v;
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = value;
    return v;
}
VARIANT BoolValue(bool value) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
VARIANT Text(const wchar_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}
VARIANT RecordRef(AdditionalArguStru* record) {
    VARIANT v;
    v.vt = VT_RECORD | VT_BYREF;
    v.pvRecord = record;
    v.pRecInfo = AdditionalArguRecordInfo();
    return v;
}
VARIANT VariantRef(VARIANT* inner) {
    VARIANT v;
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = inner;
    return v;
}

void ComponentTest::SetUp() {
    DiscardApartment();
    baselineObjects = LiveObjectCount();
}

void ComponentTest::TearDown() {
    DiscardApartment();
    EXPECT_EQ(baselineObjects, LiveObjectCount()) << "objects left alive";
}

ComPtr<_clsVxTimeTimerGroupsA> ComponentTest::Groups() { return TimerGroups(); }

DWORD ComponentTest::Connect(TimerService* service, IDispatch& sink) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(S_OK, service->QueryInterface(IID_PPV_ARGS(&container)));
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point));
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, point->Advise(&sink, &cookie));
    return cookie;
}

ComPtr<_clsVxTimeTimerItemsA> ComponentTest::AddGroup(LONG hwnd) {
    ComPtr<_clsVxTimeTimerGroupA> group;
    EXPECT_EQ(S_OK, Groups()->Add(&hwnd, &group));
    ComPtr<_clsVxTimeTimerItemsA> timers;
    if (group) group->get_TimerItems(&timers);
    return timers;
}

HRESULT ComponentTest::AddTimer(_clsVxTimeTimerItemsA* timers, LONG id, LONG elapse, LONG units,
                                VARIANT_BOOL repeat, LONG lParam) {
    AdditionalArguStru record{lParam, 0, 0, nullptr};
    TimerTimeUnitsTimeConstants unit = static_cast<TimerTimeUnitsTimeConstants>(units);
    Bstr owner(L"owner");
    BSTR ownerText = owner.Get();
    Variant result;
    return timers->Add(&id, &record, &elapse, &unit, &repeat, &ownerText, result.Get());
}

ComPtr<_clsVxTimeTimerItemA> ComponentTest::TimerAt(_clsVxTimeTimerItemsA* timers, LONG position) {
    VARIANT index = Long(position);
    ComPtr<_clsVxTimeTimerItemA> timer;
    EXPECT_EQ(S_OK, timers->get_Item(&index, &timer));
    return timer;
}

LONG ComponentTest::StatusOf(_clsVxTimeTimerItemsA* timers, LONG position) {
    TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
    ComPtr<_clsVxTimeTimerItemA> timer = TimerAt(timers, position);
    if (timer) timer->get_Status(&status);
    return status;
}

STDMETHODIMP RecordingSink::QueryInterface(REFIID riid, void** out) {
    *out = (riid == IID_IUnknown || riid == IID_IDispatch || (!buddy_ && riid == events_)) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP RecordingSink::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP RecordingSink::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
    if (_wcsicmp(names[0], L"czTimeTimerMain_OnTimerStart") == 0 && !lacksStart) *ids = 1;
    else if (_wcsicmp(names[0], L"czTimeTimerMain_OnTimerElapse") == 0) *ids = 2;
    else return DISP_E_UNKNOWNNAME;
    return S_OK;
}

STDMETHODIMP RecordingSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    VARIANT* args = params->rgvarg;
    const UINT n = params->cArgs;
    Call call{id, id == 1 ? L"OnTimerStart" : L"OnTimerElapse", {}, 0, 0, 0, 0};
    for (UINT i = n; i-- > 0;) call.types.push_back(args[i].vt);
    if (n < 4) return DISP_E_BADPARAMCOUNT;
    call.hWnd = *args[n - 1].plVal;
    call.timerId = *args[n - 2].plVal;
    call.elapseTime = (args[n - 3].vt & VT_BYREF) ? *args[n - 3].plVal : args[n - 3].lVal;
    auto* record = static_cast<AdditionalArguStru*>(args[n - 4].pvRecord);
    call.lParam = record ? record->lLParam : -1;
    calls.push_back(call);
    if (newTimerId) *args[n - 2].plVal = newTimerId;
    if (newHwnd) *args[n - 1].plVal = newHwnd;
    if (newElapse) {
        if (args[n - 3].vt & VT_BYREF) *args[n - 3].plVal = newElapse;
        else args[n - 3].lVal = newElapse;
    }
    if (newLParam && record) record->lLParam = newLParam;
    if (id == 1 && cancel && n == 5) *args[0].pboolVal = VARIANT_TRUE;
    if (during) during();
    return S_OK;
}

}  // namespace zx::test
