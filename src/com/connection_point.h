#pragma once
// The single connection point of an event source. It lives inside its
// source object and shares its reference count.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <utility>
#include <vector>

namespace zx {

using Microsoft::WRL::ComPtr;

class ConnectionPoint final : public IConnectionPoint {
public:
    // `container` is the source object; it owns this connection point.
    ConnectionPoint(IConnectionPointContainer* container, REFIID events) : container_(container), events_(events) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    REFIID Events() const { return events_; }
    // Calls every sink with the event's DISPID and arguments (reversed, as
    // dispatch wants them); results and failures are ignored. The caller
    // keeps the connection point's owner alive for the call. Allocates
    // nothing, so that an event is raised even when memory runs out.
    void Fire(DISPID event, VARIANT* reversedArgs, UINT count) const noexcept;

private:
    // The first sink connected with a cookie after `after` and before `end`.
    ComPtr<IDispatch> NextSink(DWORD after, DWORD end, DWORD* cookie) const;

    IConnectionPointContainer* container_;
    IID events_;
    DWORD nextCookie_ = 1;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;  // in the order of their cookies
};

// IConnectionPointContainer and IProvideClassInfo2 for an object with one
// event interface; the object forwards its IUnknown.
class EventSource : public IConnectionPointContainer, public IProvideClassInfo2 {
public:
    EventSource(REFIID events, REFCLSID coclass) : point_(this, events), coclass_(coclass) {}

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

protected:
    // For the owner's QueryInterface.
    void* QueryEventSource(REFIID riid);
    ConnectionPoint& Point() { return point_; }

private:
    ConnectionPoint point_;
    CLSID coclass_;
};

// An event source for a fixed event interface and class, default-constructible
// so that it can be a base of AutomationObject.
template <const IID* Events, const CLSID* Coclass>
class EventSourceOf : public EventSource {
public:
    EventSourceOf() : EventSource(*Events, *Coclass) {}
};

}  // namespace zx
