// A timer record driving a client's progress bar from the client's timer
// control: the bar's range and positions, what counts as a timer control,
// failures, tick errors and the end of the subscription.
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>

#include "heap_bytes.h"
#include "test_support.h"

namespace zx::test {
namespace {

constexpr LONG kWindow = 100;
constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);
constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x800A01B6);
constexpr HRESULT kClientError = static_cast<HRESULT>(0x800A0180);

// Fills an EXCEPINFO as a failing client object does.
HRESULT ClientFailure(EXCEPINFO* exception) {
    if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = kClientError;
        exception->bstrDescription = SysAllocString(L"refused by the client");
    }
    return DISP_E_EXCEPTION;
}

// A client's progress bar: records every property write.
class StandInBar final : public IDispatch {
public:
    struct Write {
        std::wstring name;
        VARTYPE type;
        double value;
    };
    explicit StandInBar(bool hasMin = true) : hasMin_(hasMin) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        for (DISPID id = 0; id < 3; ++id) {
            if (_wcsicmp(names[0], kNames[id]) == 0 && (id != 0 || hasMin_)) {
                *ids = id + 1;
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO* exception,
                        UINT*) override {
        if (id < 1 || id > 3 || flags != DISPATCH_PROPERTYPUT || params->cArgs != 1 || params->cNamedArgs != 1 ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_MEMBERNOTFOUND;
        if (id == 3 && refuseValue) return ClientFailure(exception);
        if (id == 3 && refuseValueWith) {
            // A plain failure code with exception information filled anyway.
            ClientFailure(exception);
            return refuseValueWith;
        }
        Variant number;
        VariantChangeType(number.Get(), &params->rgvarg[0], 0, VT_R8);
        writes.push_back({kNames[id - 1], params->rgvarg[0].vt, number->dblVal});
        if (duringWrite) duringWrite();
        return S_OK;
    }

    std::vector<double> Values() const {
        std::vector<double> values;
        for (const Write& w : writes)
            if (w.name == L"Value") values.push_back(w.value);
        return values;
    }

    std::vector<Write> writes;
    ULONG references = 1;
    bool refuseValue = false;
    HRESULT refuseValueWith = S_OK;
    std::function<void()> duringWrite;

private:
    static constexpr const wchar_t* kNames[] = {L"Min", L"Max", L"Value"};
    bool hasMin_;
};

// What a stand-in timer control offers.
struct ControlShape {
    enum ClassInfo { Full, ClassOnly, None };
    struct Event {
        const wchar_t* name;
        int parameters;
    };
    std::vector<Event> events = {{L"Timer", 0}};
    ClassInfo classInfo = Full;
    bool connectable = true;
    bool hasInterval = true;
};

// The stand-in control's type descriptions, made in memory: a class whose
// default source is a dispinterface with the shape's events (DISPIDs 1, 2...).
void DescribeControl(const ControlShape& shape, REFIID events, ComPtr<ITypeInfo>& coclass) {
    ComPtr<ICreateTypeLib2> library;
    ASSERT_EQ(S_OK, CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"standin.tlb", &library));
    ASSERT_EQ(S_OK, library->SetGuid({0x3c7e2a10, 0x5b1d, 0x4f0e, {0x9a, 0x61, 0x2d, 0x40, 0x8e, 0x11, 0x70, 0x01}}));
    // The class comes first: a reference to a library's first type is
    // reference 0, which Wine mistakes for the IDispatch import.
    ComPtr<ICreateTypeInfo> cls, source;
    ASSERT_EQ(S_OK, library->CreateTypeInfo(const_cast<LPOLESTR>(L"StandInTimer"), TKIND_COCLASS, &cls));
    ASSERT_EQ(S_OK, library->CreateTypeInfo(const_cast<LPOLESTR>(L"StandInTimerEvents"), TKIND_DISPATCH, &source));
    ASSERT_EQ(S_OK, source->SetGuid(events));
    ELEMDESC longParam{};
    longParam.tdesc.vt = VT_I4;
    std::vector<ELEMDESC> params(4, longParam);
    for (size_t i = 0; i < shape.events.size(); ++i) {
        FUNCDESC func{};
        func.memid = static_cast<MEMBERID>(i + 1);
        func.funckind = FUNC_DISPATCH;
        func.invkind = INVOKE_FUNC;
        func.callconv = CC_STDCALL;
        func.cParams = static_cast<SHORT>(shape.events[i].parameters);
        func.lprgelemdescParam = func.cParams ? params.data() : nullptr;
        func.elemdescFunc.tdesc.vt = VT_VOID;
        ASSERT_EQ(S_OK, source->AddFuncDesc(static_cast<UINT>(i), &func));
        LPOLESTR names[5] = {const_cast<LPOLESTR>(shape.events[i].name), const_cast<LPOLESTR>(L"a"),
                             const_cast<LPOLESTR>(L"b"), const_cast<LPOLESTR>(L"c"), const_cast<LPOLESTR>(L"d")};
        ASSERT_EQ(S_OK, source->SetFuncAndParamNames(static_cast<UINT>(i), names, 1 + func.cParams));
    }
    ASSERT_EQ(S_OK, source->LayOut());
    ComPtr<ITypeInfo> sourceInfo;
    ASSERT_EQ(S_OK, source.As(&sourceInfo));
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, cls->AddRefTypeInfo(sourceInfo.Get(), &ref));
    ASSERT_EQ(S_OK, cls->AddImplType(0, ref));
    ASSERT_EQ(S_OK, cls->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE));
    ASSERT_EQ(S_OK, cls->LayOut());
    ASSERT_EQ(S_OK, cls.As(&coclass));
}

// A client's timer control: Enabled, Interval and a tick event delivered
// through its one connection point. Tick() fires it as the control would.
class StandInControl final : public IDispatch,
                             public IConnectionPointContainer,
                             public IProvideClassInfo2,
                             public IConnectionPoint {
public:
    explicit StandInControl(ControlShape shape = {}) : shape_(std::move(shape)) {
        DescribeControl(shape_, kEvents, coclass_);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        if (riid == IID_IConnectionPointContainer && shape_.connectable)
            *out = static_cast<IConnectionPointContainer*>(this);
        if ((riid == IID_IProvideClassInfo && shape_.classInfo != ControlShape::None) ||
            (riid == IID_IProvideClassInfo2 && shape_.classInfo == ControlShape::Full))
            *out = static_cast<IProvideClassInfo2*>(this);
        if (riid == IID_IConnectionPoint) *out = static_cast<IConnectionPoint*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override { return coclass_.CopyTo(info); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"Enabled") == 0) *ids = 1;
        else if (_wcsicmp(names[0], L"Interval") == 0 && shape_.hasInterval) *ids = 2;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO* exception,
                        UINT*) override {
        if ((id != 1 && id != 2) || flags != DISPATCH_PROPERTYPUT || params->cArgs != 1) return DISP_E_MEMBERNOTFOUND;
        if (id == 1 && refuseEnabled) return ClientFailure(exception);
        writes.push_back({id == 1 ? L"Enabled" : L"Interval", params->rgvarg[0].vt});
        if (id == 1) enabled = params->rgvarg[0].boolVal;
        else interval = params->rgvarg[0].lVal;
        return S_OK;
    }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        *point = nullptr;
        if (riid != kEvents) return CONNECT_E_NOCONNECTION;
        *point = this;
        AddRef();
        return S_OK;
    }

    STDMETHODIMP GetClassInfo(ITypeInfo** info) override { return coclass_.CopyTo(info); }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = kEvents;
        return S_OK;
    }

    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = kEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
        *container = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(kEvents, reinterpret_cast<void**>(events.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = nextCookie_++;
        sinks[*cookie] = events;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override { return sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION; }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // Raises an event to every connected sink; the last result. The shape's
    // first event is the tick unless the test says otherwise.
    HRESULT Tick(EXCEPINFO* exception = nullptr) { return Fire(1, exception); }
    HRESULT Fire(DISPID event, EXCEPINFO* exception = nullptr) {
        HRESULT hr = S_OK;
        std::map<DWORD, ComPtr<IDispatch>> current = sinks;
        for (auto& [cookie, sink] : current) {
            DISPPARAMS none{};
            Variant result;
            hr = sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result.Get(), exception,
                              nullptr);
        }
        return hr;
    }

    static constexpr IID kEvents = {0x3c7e2a11, 0x5b1d, 0x4f0e, {0x9a, 0x61, 0x2d, 0x40, 0x8e, 0x11, 0x70, 0x02}};
    struct Write {
        std::wstring name;
        VARTYPE type;
    };
    std::vector<Write> writes;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    LONG interval = 0;
    bool refuseEnabled = false;
    ULONG references = 1;
    std::map<DWORD, ComPtr<IDispatch>> sinks;

private:
    ControlShape shape_;
    ComPtr<ITypeInfo> coclass_;
    DWORD nextCookie_ = 1;
};

// Lists the stand-in's one connection point.
class PointList final : public IEnumConnectionPoints {
public:
    explicit PointList(IConnectionPoint* point) : point_(point) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IEnumConnectionPoints) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --references_;
        if (!left) delete this;
        return left;
    }
    STDMETHODIMP Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
        ULONG given = 0;
        if (count > 0 && !done_) {
            point_.CopyTo(points);
            done_ = true;
            given = 1;
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override {
        done_ = false;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

private:
    ComPtr<IConnectionPoint> point_;
    bool done_ = false;
    ULONG references_ = 1;
};

STDMETHODIMP StandInControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    *points = new PointList(this);
    return S_OK;
}

class ProgressTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        service = NewService();
        timers = AddGroup(kWindow);
    }
    void TearDown() override {
        timers.Reset();
        service.Reset();
        ComponentTest::TearDown();
        // Every reference the component took to the client's objects is gone.
        EXPECT_EQ(1u, bar.references);
        EXPECT_EQ(1u, control.references);
        EXPECT_EQ(1u, other.references);
        EXPECT_TRUE(control.sinks.empty());
        EXPECT_TRUE(other.sinks.empty());
    }

    // Registers a timer (clock 3600.4, so StartTime 3600) and returns its record.
    ComPtr<_clsVxTimeTimerItemA> NewTimer(LONG id, LONG elapse, LONG units, VARIANT_BOOL repeat = 0) {
        EXPECT_EQ(S_OK, AddTimer(timers.Get(), id, elapse, units, repeat));
        LONG count = 0;
        timers->get_Count(&count);
        return TimerAt(timers.Get(), count);
    }
    static HRESULT Show(_clsVxTimeTimerItemA* timer, IDispatch* bar, IDispatch* control) {
        Variant result;
        result->vt = VT_I4;  // must come back empty
        HRESULT hr = timer->ShowProgressBar(&bar, &control, result.Get());
        EXPECT_EQ(VT_EMPTY, result->vt);
        return hr;
    }
    static ComPtr<IDispatch> TimerObjOf(_clsVxTimeTimerItemA* timer) {
        ComPtr<IDispatch> value;
        EXPECT_EQ(S_OK, timer->get_TimerObj(&value));
        return value;
    }
    static ComPtr<IDispatch> BarOf(_clsVxTimeTimerItemA* timer) {
        ComPtr<IDispatch> value;
        EXPECT_EQ(S_OK, timer->get_ProgressBarObject(&value));
        return value;
    }

    StandInBar bar;
    StandInControl control;
    StandInControl other;
    ComPtr<TimerService> service;
    ComPtr<_clsVxTimeTimerItemsA> timers;
};

TEST_F(ProgressTest, SecondsTimerSetsTheRangeAndFollowsTheClock) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));

    ASSERT_EQ(2u, bar.writes.size());
    EXPECT_EQ(L"Min", bar.writes[0].name);
    EXPECT_EQ(VT_I2, bar.writes[0].type);
    EXPECT_EQ(0.0, bar.writes[0].value);
    EXPECT_EQ(L"Max", bar.writes[1].name);
    EXPECT_EQ(VT_I4, bar.writes[1].type);
    EXPECT_EQ(10.0, bar.writes[1].value);
    ASSERT_EQ(2u, control.writes.size());  // Enabled first, then Interval
    EXPECT_EQ(L"Enabled", control.writes[0].name);
    EXPECT_EQ(VT_BOOL, control.writes[0].type);
    EXPECT_EQ(L"Interval", control.writes[1].name);
    EXPECT_EQ(VT_I4, control.writes[1].type);
    EXPECT_EQ(VARIANT_TRUE, control.enabled);
    EXPECT_EQ(1, control.interval);
    EXPECT_EQ(1u, control.sinks.size());
    EXPECT_EQ(static_cast<IDispatch*>(&control), TimerObjOf(timer.Get()).Get());
    EXPECT_EQ(static_cast<IDispatch*>(&bar), BarOf(timer.Get()).Get());

    for (float clock : {3600.4f, 3603.2f, 3609.6f, 3625.0f}) {
        platform.clock = clock;
        EXPECT_EQ(S_OK, control.Tick());
    }
    EXPECT_EQ((std::vector<double>{0, 3, 10, 10}), bar.Values());
    EXPECT_EQ(VT_R8, bar.writes.back().type);
}

TEST_F(ProgressTest, MillisecondTimerMovesAThousandAClockSecond) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 5000, timeTimerTimeUnitsMicroseconds);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));
    EXPECT_EQ(5000.0, bar.writes[1].value);
    for (float clock : {3600.4f, 3601.4f, 3602.4f, 3602.5f}) {  // 3602.5 rounds to the even 3602
        platform.clock = clock;
        control.Tick();
    }
    EXPECT_EQ((std::vector<double>{0, 1000, 2000, 2000}), bar.Values());
}

TEST_F(ProgressTest, MinuteTimerMovesInSixtiethsAndIgnoresOtherEvents) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 2, timeTimerTimeUnitsMinutes);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));
    platform.clock = 3630.0f;
    control.Tick();
    ASSERT_EQ(1u, bar.Values().size());
    EXPECT_NEAR(0.5, bar.Values()[0], 1e-6);  // the balance is single precision

    DISPPARAMS none{};
    EXPECT_EQ(S_OK, control.sinks.begin()->second->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                                                          nullptr));
    EXPECT_EQ(1u, bar.Values().size());
}

TEST_F(ProgressTest, BarHoldsWhileStoppedAndJumpsOnStart) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(7, 10, timeTimerTimeUnitsSeconds, VARIANT_TRUE);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));
    platform.clock = 3601.4f;
    control.Tick();
    LONG hwnd = kWindow, id = 7;
    ASSERT_EQ(S_OK, service->TimerStop(&hwnd, &id));
    platform.clock = 3603.0f;
    control.Tick();
    platform.clock = 3605.0f;
    control.Tick();
    EXPECT_EQ((std::vector<double>{1}), bar.Values());

    ASSERT_EQ(S_OK, service->TimerStart(&hwnd, &id));
    platform.clock = 3606.4f;
    control.Tick();
    EXPECT_EQ((std::vector<double>{1, 6}), bar.Values());

    ASSERT_EQ(S_OK, timer->put_Status(timeTimerStatusStopped));
    control.Tick();
    EXPECT_EQ(2u, bar.Values().size());
}

TEST_F(ProgressTest, EndedTimerLeavesTheBarWhileTheControlTicksOn) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(3, 2, timeTimerTimeUnitsSeconds);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));
    platform.clock = 3601.4f;
    control.Tick();
    platform.clock = 3602.4f;
    platform.Tick(kWindow, 3);
    ASSERT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 1));
    control.Tick();
    platform.clock = 3610.0f;
    control.Tick();
    EXPECT_EQ((std::vector<double>{1}), bar.Values());
    EXPECT_EQ(VARIANT_TRUE, control.enabled);  // nothing disables the control
    EXPECT_EQ(1u, control.sinks.size());
}

TEST_F(ProgressTest, FailuresLeaveTheStepsBeforeThemDone) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);

    // An empty bar: nothing happens.
    EXPECT_EQ(kObjectNotSet, Show(timer.Get(), nullptr, &control));
    EXPECT_TRUE(control.writes.empty());
    EXPECT_FALSE(TimerObjOf(timer.Get()));

    // A bar without "Min": 438 before anything is written.
    StandInBar noMin(false);
    EXPECT_EQ(kNotSupported, Show(timer.Get(), &noMin, &control));
    EXPECT_TRUE(noMin.writes.empty());
    EXPECT_FALSE(TimerObjOf(timer.Get()));
    EXPECT_EQ(1u, noMin.references);

    // Not a timer control: the range is set, the binding unchanged.
    EXPECT_EQ(kTypeMismatch, Show(timer.Get(), &bar, &bar));
    EXPECT_EQ(2u, bar.writes.size());
    EXPECT_FALSE(TimerObjOf(timer.Get()));
    EXPECT_FALSE(BarOf(timer.Get()));

    // An empty timer: the range is set, TimerObj stored empty, then 91.
    ASSERT_EQ(S_OK, timer->putref_TimerObj(&other));
    EXPECT_EQ(kObjectNotSet, Show(timer.Get(), &bar, nullptr));
    EXPECT_EQ(4u, bar.writes.size());
    EXPECT_FALSE(TimerObjOf(timer.Get()));
    EXPECT_TRUE(other.sinks.empty());
    EXPECT_FALSE(BarOf(timer.Get()));

    // A control that refuses Enabled: bound, but the bar is not stored; the
    // control's own error comes back.
    control.refuseEnabled = true;
    EXPECT_EQ(kClientError, Show(timer.Get(), &bar, &control));
    EXPECT_EQ(static_cast<IDispatch*>(&control), TimerObjOf(timer.Get()).Get());
    EXPECT_FALSE(BarOf(timer.Get()));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    Bstr description;
    info->GetDescription(description.Put());
    EXPECT_EQ(L"refused by the client", description.Str());
}

TEST_F(ProgressTest, WhatCountsAsATimerControl) {
    const struct {
        const char* what;
        ControlShape shape;
        DISPID tick;  // the event taken as the tick; 0: refused
    } cases[] = {
        {"Timer event, class information", {}, 1},
        {"class description only", {{{L"Timer", 0}}, ControlShape::ClassOnly}, 1},
        {"no class information: connection points and type library", {{{L"Timer", 0}}, ControlShape::None}, 1},
        {"Timer among other events, any letter case", {{{L"Click", 1}, {L"tIMER", 0}, {L"Gone", 0}}}, 2},
        {"one parameterless event of another name", {{{L"Tick", 0}}}, 1},
        {"two events, none named Timer", {{{L"Tick", 0}, {L"Tock", 0}}}, 0},
        {"Timer with a parameter", {{{L"Timer", 1}, {L"Other", 0}}}, 0},
        {"one event with parameters", {{{L"Tick", 2}}}, 0},
        {"no events", {{}}, 0},
        {"no Interval", {{{L"Timer", 0}}, ControlShape::Full, true, false}, 0},
        {"no connection points", {{{L"Timer", 0}}, ControlShape::Full, false}, 0},
    };
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StandInControl candidate(c.shape);
        EXPECT_EQ(c.tick ? S_OK : kTypeMismatch, timer->putref_TimerObj(&candidate));
        EXPECT_EQ(c.tick ? 1u : 0u, candidate.sinks.size());
        // Only the tick reaches the record, which has no bar to move.
        for (DISPID event = 1; c.tick && event <= DISPID(c.shape.events.size()); ++event)
            EXPECT_EQ(event == c.tick ? kObjectNotSet : S_OK, candidate.Fire(event)) << event;
        EXPECT_EQ(S_OK, timer->putref_TimerObj(nullptr));
        EXPECT_TRUE(candidate.sinks.empty());
        EXPECT_EQ(1u, candidate.references);
    }
    // The progress bar itself is no timer control.
    EXPECT_EQ(kTypeMismatch, timer->putref_TimerObj(&bar));
}

TEST_F(ProgressTest, TickErrorsGoBackToTheControl) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));

    bar.refuseValue = true;
    EXCEPINFO exception{};
    EXPECT_EQ(DISP_E_EXCEPTION, control.Tick(&exception));
    EXPECT_EQ(kClientError, exception.scode);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);

    ASSERT_EQ(S_OK, timer->putref_ProgressBarObject(nullptr));
    exception = EXCEPINFO{};
    EXPECT_EQ(DISP_E_EXCEPTION, control.Tick(&exception));
    EXPECT_EQ(kObjectNotSet, exception.scode);
    EXPECT_STREQ(L"Object variable or With block variable not set", exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);

    // A stopped timer reads nothing but its status, so nothing fails.
    ASSERT_EQ(S_OK, timer->put_Status(timeTimerStatusStopped));
    EXPECT_EQ(S_OK, control.Tick());
    EXPECT_TRUE(platform.messageBoxes.empty());
}

// Whatever a bar's failure code, the exception information it filled is
// freed by the library.
TEST_F(ProgressTest, ExceptionInformationOfAnyFailureIsFreed) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));
    zxheap::DisableStringCache();
    for (HRESULT failure : {E_FAIL, DISP_E_TYPEMISMATCH, DISP_E_MEMBERNOTFOUND}) {
        bar.refuseValueWith = failure;
        auto tick = [&] {
            ExcepInfo exception;
            EXPECT_EQ(DISP_E_EXCEPTION, control.Tick(exception.Get()));
        };
        tick();
        EXPECT_EQ(0, zxheap::HeapChangeOver(200, tick)) << "failure 0x" << std::hex << failure;
    }
}

TEST_F(ProgressTest, LateBoundCallsBindThroughReferences) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    IDispatch* barVariable = &bar;
    IDispatch* notATimer = &bar;
    VARIANT barRef{}, timerRef{};
    barRef.vt = timerRef.vt = VT_DISPATCH | VT_BYREF;
    barRef.ppdispVal = &barVariable;
    timerRef.ppdispVal = &notATimer;
    {
        CallResult result;
        Call(timer.Get(), L"showprogressbar", DISPATCH_METHOD, {barRef, timerRef}, result);
        EXPECT_EQ(DISP_E_EXCEPTION, result.hr);
        EXPECT_EQ(kTypeMismatch, result.exception.scode);
    }
    IDispatch* controlVariable = &control;
    timerRef.ppdispVal = &controlVariable;
    {
        CallResult result;
        Call(timer.Get(), L"ShowProgressBar", DISPATCH_METHOD, {barRef, timerRef}, result);
        EXPECT_EQ(S_OK, result.hr);
        EXPECT_EQ(VT_EMPTY, result.value->vt);
    }
    EXPECT_EQ(static_cast<IDispatch*>(&control), GetObject(timer.Get(), L"TimerObj").Get());
    EXPECT_EQ(static_cast<IDispatch*>(&bar), GetObject(timer.Get(), L"ProgressBarObject").Get());
    EXPECT_EQ(1u, control.sinks.size());

    // Set TimerObj = Nothing ends the subscription.
    VARIANT nothing{};
    nothing.vt = VT_DISPATCH;
    CallResult cleared;
    Call(timer.Get(), L"TimerObj", DISPATCH_PROPERTYPUTREF, {nothing}, cleared);
    EXPECT_EQ(S_OK, cleared.hr);
    EXPECT_TRUE(control.sinks.empty());
}

TEST_F(ProgressTest, SubscriptionFollowsTimerObjAndEndsWithTheRecord) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    ASSERT_EQ(S_OK, timer->putref_ProgressBarObject(&bar));
    ASSERT_EQ(S_OK, timer->putref_TimerObj(&control));
    platform.clock = 3602.0f;
    control.Tick();  // set directly, without ShowProgressBar, the fields still drive the bar
    EXPECT_EQ((std::vector<double>{2}), bar.Values());

    ASSERT_EQ(S_OK, timer->putref_TimerObj(&other));
    EXPECT_TRUE(control.sinks.empty());
    EXPECT_EQ(1u, control.references);
    EXPECT_EQ(1u, other.sinks.size());
    other.Tick();
    EXPECT_EQ(2u, bar.Values().size());

    // A refused object leaves the subscription as it was.
    EXPECT_EQ(kTypeMismatch, timer->putref_TimerObj(&bar));
    EXPECT_EQ(static_cast<IDispatch*>(&other), TimerObjOf(timer.Get()).Get());
    EXPECT_EQ(1u, other.sinks.size());

    // Removing and releasing the record ends the subscription: nothing holds
    // the record through its sink.
    ASSERT_EQ(S_OK, timers->Clear());
    timer.Reset();
    EXPECT_TRUE(other.sinks.empty());
    EXPECT_EQ(1u, other.references);
    EXPECT_EQ(1u, bar.references);
}

TEST_F(ProgressTest, RecordReleasedInsideItsOwnTick) {
    ComPtr<_clsVxTimeTimerItemA> timer = NewTimer(1, 10, timeTimerTimeUnitsSeconds);
    ASSERT_EQ(S_OK, Show(timer.Get(), &bar, &control));
    timer.Reset();
    long aliveDuringTick = 0;
    bar.duringWrite = [&] {
        timers->Clear();  // drops the last reference to the record
        aliveDuringTick = LiveObjectCount();
    };
    platform.clock = 3601.0f;
    EXPECT_EQ(S_OK, control.Tick());
    EXPECT_EQ((std::vector<double>{1}), bar.Values());
    EXPECT_TRUE(control.sinks.empty());
    EXPECT_EQ(aliveDuringTick - 2, LiveObjectCount());  // the record and its sink end once the tick is over
    bar.duringWrite = nullptr;
}

TEST_F(ProgressTest, ResetRecordHasNoBindingWhileTheOldOneMovesOn) {
    ComPtr<_clsVxTimeTimerItemA> old = NewTimer(4, 10, timeTimerTimeUnitsSeconds, VARIANT_TRUE);
    ASSERT_EQ(S_OK, Show(old.Get(), &bar, &control));
    LONG hwnd = kWindow, id = 4, result = 0;
    platform.clock = 3602.0f;
    ASSERT_EQ(S_OK, service->ResetTimer(&hwnd, &id, &result));
    ComPtr<_clsVxTimeTimerItemA> fresh = TimerAt(timers.Get(), 1);
    ASSERT_NE(old.Get(), fresh.Get());
    EXPECT_FALSE(TimerObjOf(fresh.Get()));
    EXPECT_FALSE(BarOf(fresh.Get()));
    platform.clock = 3605.0f;
    control.Tick();
    EXPECT_EQ((std::vector<double>{5}), bar.Values());  // the old record, counting from its own start
}


}  // namespace
}  // namespace zx::test
