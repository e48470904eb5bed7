#include "com/connection_point.h"

#include <olectl.h>

#include "com/enumerator.h"
#include "com/errors.h"
#include "com/owned.h"
#include "com/type_library.h"

namespace zx {
namespace {

// The connections as IEnumConnections hands them out: each sink counted.
struct ConnectionsTraits {
    using Interface = IEnumConnections;
    using Element = CONNECTDATA;
    using Held = std::pair<DWORD, ComPtr<IDispatch>>;
    static CONNECTDATA HandOut(const Held& held) {
        held.second->AddRef();
        return CONNECTDATA{held.second.Get(), held.first};
    }
};

struct ConnectionPointsTraits {
    using Interface = IEnumConnectionPoints;
    using Element = IConnectionPoint*;
    using Held = ComPtr<IConnectionPoint>;
    static IConnectionPoint* HandOut(const Held& held) {
        held->AddRef();
        return held.Get();
    }
};

}  // namespace

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = (riid == IID_IUnknown || riid == IID_IConnectionPoint) ? static_cast<IConnectionPoint*>(this) : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    container_->AddRef();
    *container = container_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.GetAddressOf())))) return CONNECT_E_CANNOTCONNECT;
    DWORD issued = nextCookie_++;
    sinks_.emplace_back(issued, std::move(events));
    *cookie = issued;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            ComPtr<IDispatch> released = std::move(it->second);
            sinks_.erase(it);
            return S_OK;  // `released` goes after the list is consistent
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    return Barrier(IID_IConnectionPoint,
                   [&] { *connections = SnapshotEnumerator<ConnectionsTraits>::Create(sinks_); });
}

ComPtr<IDispatch> ConnectionPoint::NextSink(DWORD after, DWORD end, DWORD* cookie) const {
    for (const auto& [issued, sink] : sinks_) {
        if (issued <= after) continue;
        if (issued >= end) break;
        *cookie = issued;
        return sink;
    }
    return nullptr;
}

void ConnectionPoint::Fire(DISPID event, VARIANT* reversedArgs, UINT count) const noexcept {
    // The sinks connected when the event begins, in cookie order, each held
    // for its call: a handler may connect or disconnect sinks (itself
    // included) or release the source. One disconnected before its turn is
    // skipped; one connected meanwhile hears the next event.
    const DWORD end = nextCookie_;
    DWORD cookie = 0;
    while (ComPtr<IDispatch> sink = NextSink(cookie, end, &cookie)) {
        DISPPARAMS params{reversedArgs, nullptr, count, 0};
        Variant result;
        ExcepInfo exception;
        UINT argError = 0;
        sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), exception.Get(),
                     &argError);
    }
}

void* EventSource::QueryEventSource(REFIID riid) {
    if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) return static_cast<IProvideClassInfo2*>(this);
    return nullptr;
}

STDMETHODIMP EventSource::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    *points = nullptr;
    return Barrier(IID_IConnectionPointContainer, [&] {
        *points = SnapshotEnumerator<ConnectionPointsTraits>::Create({ComPtr<IConnectionPoint>(&point_)});
    });
}

STDMETHODIMP EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != point_.Events()) return CONNECT_E_NOCONNECTION;
    point_.AddRef();
    *point = &point_;
    return S_OK;
}

STDMETHODIMP EventSource::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = TypeInfoOf(coclass_);
    if (!*info) return TYPE_E_CANTLOADLIBRARY;
    (*info)->AddRef();
    return S_OK;
}

STDMETHODIMP EventSource::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = point_.Events();
    return S_OK;
}

}  // namespace zx
