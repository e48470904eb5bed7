#pragma once
// The progress display of a timer record: writes to the client's progress
// bar and timer control by member name, and the subscription to the timer
// control's tick event through the control's connection point.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

namespace zx {

using Microsoft::WRL::ComPtr;

// Writes a property by name. An empty object raises error 91 and a missing or
// unwritable member 438 (a refused type 13); any other failure of the object
// ends the call with the object's own error (ComFailure, error information
// set from its EXCEPINFO).
void PutByName(IDispatch* object, const wchar_t* name, const VARIANT& value);

// The writes of the progress display, each with the type the member expects.
void SetBarMin(IDispatch* bar, SHORT value);          // "Min", VT_I2
void SetBarMax(IDispatch* bar, LONG value);           // "Max", VT_I4
void SetBarValue(IDispatch* bar, double value);       // "Value", VT_R8
void SetControlEnabled(IDispatch* control, bool on);  // "Enabled", VT_BOOL
void SetControlInterval(IDispatch* control, LONG ms); // "Interval", VT_I4

// Where a timer control delivers its tick: the connection point of its event
// interface and the DISPID of the tick event.
struct TickEvent {
    ComPtr<IConnectionPoint> point;
    IID events = IID_NULL;
    DISPID tick = DISPID_UNKNOWN;
};

// Whether `control` is a timer control, and if so where its tick arrives. A
// timer control answers the names "Enabled" and "Interval", is a connection
// point container, and its event dispinterface has a parameterless event
// "Timer" (any letter case) or a single event, parameterless. The event
// interface is the default source named by IProvideClassInfo2 or by the class
// description from IProvideClassInfo; without class information, the first
// of the control's connection points whose interface is described in the
// control's own type library (IDispatch::GetTypeInfo) and qualifies.
bool FindTickEvent(IDispatch* control, TickEvent& out);

// What a tick subscription calls. The sink holds its receiver by plain
// pointer; Lifetime() is kept alive while a tick is delivered.
class TickReceiver {
public:
    virtual HRESULT OnTimerControlTick() noexcept = 0;
    virtual IUnknown* Lifetime() noexcept = 0;

protected:
    ~TickReceiver() = default;
};

class TickSink;

// A held timer control and the receiver's subscription to its tick. The
// control holds the sink (through its connection point), the binding holds the
// control and the sink, and the sink only points back at the receiver, so
// ending the binding (Clear, or its destruction with the receiver) ends the
// subscription and frees everything.
class TimerControlBinding {
public:
    TimerControlBinding();
    TimerControlBinding(const TimerControlBinding&) = delete;
    TimerControlBinding& operator=(const TimerControlBinding&) = delete;
    ~TimerControlBinding();

    IDispatch* Control() const { return control_.Get(); }
    // Holds `control` and subscribes `receiver` to its tick, then ends the
    // subscription held before. A null control only clears. An object that is
    // not a timer control raises error 13 and leaves the binding as it was.
    void Set(IDispatch* control, TickReceiver* receiver);
    void Clear() noexcept;

private:
    ComPtr<IDispatch> control_;
    ComPtr<IConnectionPoint> point_;
    ComPtr<TickSink> sink_;
    DWORD cookie_ = 0;
};

}  // namespace zx
