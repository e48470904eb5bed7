#include "registry/progress_binding.h"

#include <utility>

#include "component/errors.h"
#include "component/late_bound_object.h"
#include "component/member_by_name.h"
#include "component/owned.h"

namespace zx {

// The record's listener on the timer control's event interface. Only the tick
// event is handled; the control's other events are accepted and ignored.
class TickSink final : public LateBoundObject {
public:
    TickSink(REFIID events, DISPID tick, TickReceiver* receiver) : events_(events), tick_(tick), receiver_(receiver) {}

    // From now on ticks reach nobody (the receiver is going away or has
    // unsubscribed; the control may hold the sink a little longer).
    void Disconnect() { receiver_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == events_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return LateBoundObject::QueryInterface(riid, out);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception,
                        UINT*) override {
        if (result) VariantInit(result);
        if (member != tick_ || !receiver_) return S_OK;
        // The handler may drop the last references to the receiver and to the
        // sink (the client unbinds or releases the record); both stay alive
        // until it has returned.
        ComPtr<IDispatch> self(this);
        ComPtr<IUnknown> keep(receiver_->Lifetime());
        HRESULT hr = receiver_->OnTimerControlTick();
        if (SUCCEEDED(hr)) return S_OK;
        if (!exception) return hr;
        FillExcepInfo(hr, exception);
        return DISP_E_EXCEPTION;
    }

private:
    IID events_;
    DISPID tick_;
    TickReceiver* receiver_;  // not counted: the receiver owns the binding that owns this sink
};

namespace {

VARIANT Of(VARTYPE type) {
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    return value;
}

// Turns a failed DISPATCH_PROPERTYPUT into the error the caller reports.
// The exception information stays with its owner, which frees it whatever
// the failure was.
[[noreturn]] void RaiseCallFailure(HRESULT hr, ExcepInfo& filled) {
    EXCEPINFO& exception = *filled.Get();
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME: Raise(ErrorNumber::NotSupported);
    case DISP_E_TYPEMISMATCH: Raise(ErrorNumber::TypeMismatch);
    case DISP_E_BADPARAMCOUNT: Raise(ErrorNumber::WrongArgumentCount);
    default: break;
    }
    if (hr != DISP_E_EXCEPTION) {
        SetErrorInfo(0, nullptr);
        throw ComFailure{hr};
    }
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    HRESULT reported = exception.scode;
    if (!reported) reported = exception.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception.wCode) : E_FAIL;
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(GUID_NULL);
        create->SetSource(exception.bstrSource);
        create->SetDescription(exception.bstrDescription);
        create->SetHelpFile(exception.bstrHelpFile);
        create->SetHelpContext(exception.dwHelpContext);
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    throw ComFailure{reported};
}

bool HasName(IDispatch* object, const wchar_t* name) {
    NamedMember member;
    return SUCCEEDED(FindMember(object, name, &member));
}

// The tick event of a described event interface: a pure dispinterface (a dual
// one would be called through its vtable, which the sink has not got) with a
// parameterless "Timer", or with one event only, parameterless.
bool TickOf(ITypeInfo* events, DISPID& tick) {
    TypeAttr attr(events);
    if (!attr || attr->typekind != TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDUAL)) return false;
    UINT count = 0;
    DISPID only = DISPID_UNKNOWN;
    bool onlyIsParameterless = false;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        // Some type libraries count IDispatch's methods in a dispinterface
        // without describing them: such entries are skipped.
        FuncDesc func(events, i);
        if (!func.Get()) continue;
        const DISPID id = func->memid;
        const bool event = func->invkind == INVOKE_FUNC && !(func->wFuncFlags & FUNCFLAG_FRESTRICTED);
        const bool parameterless = func->cParams == 0;
        if (!event) continue;  // IDispatch's own methods, where a loader lists them
        Bstr name;
        if (parameterless && SUCCEEDED(events->GetDocumentation(id, name.Put(), nullptr, nullptr, nullptr)) &&
            name.Get() && _wcsicmp(name.Get(), L"Timer") == 0) {
            tick = id;
            return true;
        }
        if (++count == 1) {
            only = id;
            onlyIsParameterless = parameterless;
        }
    }
    if (count != 1 || !onlyIsParameterless) return false;
    tick = only;
    return true;
}

IID GuidOf(ITypeInfo* info) {
    TypeAttr attr(info);
    return attr ? attr->guid : IID_NULL;
}

// The description of `iid` in the type library that holds `any`.
ComPtr<ITypeInfo> FromSameLibrary(ITypeInfo* any, REFIID iid) {
    ComPtr<ITypeLib> library;
    UINT index = 0;
    ComPtr<ITypeInfo> found;
    if (any && SUCCEEDED(any->GetContainingTypeLib(&library, &index)) && library)
        library->GetTypeInfoOfGuid(iid, &found);
    return found;
}

// The control's own description, the one IDispatch::GetTypeInfo gives.
ComPtr<ITypeInfo> DispatchTypeInfo(IDispatch* control) {
    UINT count = 0;
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(control->GetTypeInfoCount(&count)) && count > 0)
        control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
    return info;
}

// The class's default source interface: the implemented interface flagged
// both default and source, not restricted.
ComPtr<ITypeInfo> DefaultSourceOf(ITypeInfo* coclass) {
    TypeAttr attr(coclass);
    if (!attr || attr->typekind != TKIND_COCLASS) return nullptr;
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> source;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE) ||
            (flags & IMPLTYPEFLAG_FRESTRICTED))
            continue;
        if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)) && SUCCEEDED(coclass->GetRefTypeInfo(ref, &source)))
            return source;
    }
    return nullptr;
}

bool Qualifies(IConnectionPointContainer* container, REFIID events, ITypeInfo* description, TickEvent& out) {
    DISPID tick = DISPID_UNKNOWN;
    if (!description || !TickOf(description, tick)) return false;
    ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(events, &point)) || !point) return false;
    out.point = point;
    out.events = events;
    out.tick = tick;
    return true;
}

}  // namespace

void PutByName(IDispatch* object, const wchar_t* name, const VARIANT& value) {
    if (!object) Raise(ErrorNumber::ObjectNotSet);
    ComPtr<IDispatch> keep(object);  // the write may run code that drops the caller's reference
    NamedMember member;
    if (FAILED(FindMember(object, name, &member))) Raise(ErrorNumber::NotSupported);
    VARIANT argument = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    ExcepInfo exception;
    HRESULT hr = InvokeMember(object, member, DISPATCH_PROPERTYPUT, &params, nullptr, exception.Get());
    if (FAILED(hr)) RaiseCallFailure(hr, exception);
}

void SetBarMin(IDispatch* bar, SHORT value) {
    VARIANT v = Of(VT_I2);
    v.iVal = value;
    PutByName(bar, L"Min", v);
}

void SetBarMax(IDispatch* bar, LONG value) {
    VARIANT v = Of(VT_I4);
    v.lVal = value;
    PutByName(bar, L"Max", v);
}

void SetBarValue(IDispatch* bar, double value) {
    VARIANT v = Of(VT_R8);
    v.dblVal = value;
    PutByName(bar, L"Value", v);
}

void SetControlEnabled(IDispatch* control, bool on) {
    VARIANT v = Of(VT_BOOL);
    v.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
    PutByName(control, L"Enabled", v);
}

void SetControlInterval(IDispatch* control, LONG ms) {
    VARIANT v = Of(VT_I4);
    v.lVal = ms;
    PutByName(control, L"Interval", v);
}

bool FindTickEvent(IDispatch* control, TickEvent& out) {
    if (!control || !HasName(control, L"Enabled") || !HasName(control, L"Interval")) return false;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_PPV_ARGS(&container))) || !container) return false;

    ComPtr<ITypeInfo> coclass;
    ComPtr<IProvideClassInfo> classInfo;
    if (SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&classInfo))) && classInfo) classInfo->GetClassInfo(&coclass);
    ComPtr<ITypeInfo> described = coclass ? DefaultSourceOf(coclass.Get()) : nullptr;

    IID source = IID_NULL;
    ComPtr<IProvideClassInfo2> classInfo2;
    if (SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&classInfo2))) && classInfo2 &&
        SUCCEEDED(classInfo2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)) && source != IID_NULL) {
        // The named interface, described by the class or elsewhere in its library.
        if (!described || GuidOf(described.Get()) != source) {
            described = FromSameLibrary(coclass.Get(), source);
            if (!described) described = FromSameLibrary(DispatchTypeInfo(control).Get(), source);
        }
        return Qualifies(container.Get(), source, described.Get(), out);
    }
    if (described) return Qualifies(container.Get(), GuidOf(described.Get()), described.Get(), out);

    // No class information: the control's connection points in turn.
    ComPtr<ITypeInfo> own = DispatchTypeInfo(control);
    ComPtr<IEnumConnectionPoints> points;
    if (!own || FAILED(container->EnumConnectionPoints(&points)) || !points) return false;
    ComPtr<IConnectionPoint> point;
    ULONG fetched = 0;
    while (points->Next(1, point.ReleaseAndGetAddressOf(), &fetched) == S_OK && fetched == 1 && point) {
        IID events = IID_NULL;
        if (FAILED(point->GetConnectionInterface(&events))) continue;
        ComPtr<ITypeInfo> description = FromSameLibrary(own.Get(), events);
        if (Qualifies(container.Get(), events, description.Get(), out)) return true;
    }
    return false;
}

TimerControlBinding::TimerControlBinding() = default;
TimerControlBinding::~TimerControlBinding() { Clear(); }

void TimerControlBinding::Set(IDispatch* control, TickReceiver* receiver) {
    if (!control) {
        Clear();
        return;
    }
    TickEvent event;
    if (!FindTickEvent(control, event)) Raise(ErrorNumber::TypeMismatch);
    ComPtr<TickSink> sink(new TickSink(event.events, event.tick, receiver));
    DWORD cookie = 0;
    HRESULT hr = event.point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    if (FAILED(hr)) {
        sink->Disconnect();
        SetErrorInfo(0, nullptr);
        throw ComFailure{hr};
    }
    // The new subscription is in place before the old one ends, so that code
    // the client runs inside Unadvise finds a consistent binding.
    ComPtr<IDispatch> oldControl = std::exchange(control_, control);
    ComPtr<IConnectionPoint> oldPoint = std::exchange(point_, event.point);
    ComPtr<TickSink> oldSink = std::exchange(sink_, sink);
    DWORD oldCookie = std::exchange(cookie_, cookie);
    if (oldSink) oldSink->Disconnect();
    if (oldPoint) oldPoint->Unadvise(oldCookie);
}

void TimerControlBinding::Clear() noexcept {
    ComPtr<IDispatch> control = std::move(control_);
    ComPtr<IConnectionPoint> point = std::move(point_);
    ComPtr<TickSink> sink = std::move(sink_);
    DWORD cookie = std::exchange(cookie_, 0);
    if (sink) sink->Disconnect();
    if (point) point->Unadvise(cookie);
}

}  // namespace zx
