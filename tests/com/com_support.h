#pragma once
// Helpers of the COM integration tests: the library is reached the way a
// client reaches it (registered ProgIDs, CoCreateInstance, connection
// points, real window timers), never through its sources.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "zentrix.h"
#include "counted_dispatch.h"

namespace zxcom {

using Microsoft::WRL::ComPtr;

// The DLL under test, as built.
std::wstring DllPath();

// The four creatable classes by ProgID.
extern const wchar_t* const kCreatableProgIds[4];

// The GUID the type library gives the record AdditionalArguStru.
GUID RecordGuid();

// Creates Zentrix.clsVxTimeTimerMainA by ProgID.
HRESULT CreateService(ComPtr<_clsVxTimeTimerMainA>* out);

// Runs a program with this command line, waits up to `timeoutMs` and returns
// its exit code (-1 when it could not start or did not end in time); its
// standard output and error go to `output`.
int RunProcess(const std::wstring& commandLine, std::string* output, DWORD timeoutMs = 30000);

// Reads a string value of HKEY_CLASSES_ROOT; false when the key or value is missing.
bool ReadClassesRootValue(const std::wstring& key, const wchar_t* name, std::wstring* value);
bool ClassesRootKeyExists(const std::wstring& key);

std::wstring GuidText(REFGUID guid);

// DllCanUnloadNow of the zentrix.dll this process has loaded (E_FAIL when
// it is not loaded).
HRESULT LoadedDllCanUnloadNow();

// Opens the monitor window through `service`; the calling thread's monitor
// window, or null.
HWND OpenMonitorWindow(_clsVxTimeTimerMainA* service, HRESULT* shown);

// Message boxes of the calling thread are refused as they are created (the
// call that shows one goes on at once, as if OK had been pressed) while it
// exists; `refused` counts them.
class MessageBoxRefusal {
public:
    MessageBoxRefusal();
    ~MessageBoxRefusal();
    MessageBoxRefusal(const MessageBoxRefusal&) = delete;
    MessageBoxRefusal& operator=(const MessageBoxRefusal&) = delete;
    static long long refused;

private:
    HHOOK hook_;
};

using zxclient::CountedDispatch;

// Runs the thread's message loop for up to `timeoutMs`, returning early (true)
// once `done` answers true; false on timeout.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// How long a test waits for a real tick it is owed: far beyond any interval
// the tests arm, so only a tick that never comes runs into it.
constexpr DWORD kTickPatienceMs = 30000;
void Pump(DWORD milliseconds);

// A hidden top-level window of the calling thread, destroyed with the object.
class HiddenWindow {
public:
    HiddenWindow();
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;
    HWND Get() const { return window_; }
    LONG Handle() const { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_)); }

private:
    HWND window_;
};

// Closes every message box that appears on the calling thread while it
// exists (a CBT hook presses OK as the box activates; a thread timer is the
// fallback) and records each box's text.
class MessageBoxGuard {
public:
    MessageBoxGuard();
    ~MessageBoxGuard();
    MessageBoxGuard(const MessageBoxGuard&) = delete;
    MessageBoxGuard& operator=(const MessageBoxGuard&) = delete;
    const std::vector<std::wstring>& Texts() const;
    std::wstring Joined() const;  // for failure messages
};

// An AdditionalArguStru that owns its string.
struct Record : AdditionalArguStru {
    Record(LONG l = 0, LONG m = 0, LONG h = 0, const wchar_t* comments = nullptr);
    ~Record();
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    std::wstring Comments() const { return sComments ? std::wstring(sComments, SysStringLen(sComments)) : L""; }
};

// What a sink saw of one event.
struct EventCall {
    DISPID id = 0;
    UINT argCount = 0;
    UINT namedCount = 0;
    std::vector<VARTYPE> types;  // rgvarg order: the last argument first
    LONG hWnd = 0, timerId = 0, elapseTime = 0;
    LONG lLParam = 0, lMParam = 0, lHParam = 0;
    std::wstring comments;
    bool recordTyped = false;    // VT_RECORD|VT_BYREF with the record's own type description
    void* recordAddress = nullptr;
    VARIANT_BOOL cancel = 0;
    DWORD thread = 0;
    DWORD receivedAt = 0;        // GetTickCount when the sink was called
};

// A connection-point sink for __clsVxTimeTimerMainA written as a compiled
// client writes one: typed by-reference arguments read and written in place.
class Sink final : public IDispatch {
public:
    // `offerEvents` false makes a sink that lacks the event interface.
    static ComPtr<Sink> Make(bool offerEvents = true);

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

    LONG References() const { return references_; }
    std::vector<EventCall> calls;
    // Runs after the call is recorded, with the raiser's arguments.
    std::function<void(DISPID, DISPPARAMS*)> onEvent;

    size_t Count(DISPID id) const;
    size_t Count(DISPID id, LONG timerId) const;
    const EventCall* Last(DISPID id) const;

private:
    explicit Sink(bool offerEvents) : offerEvents_(offerEvents) {}
    LONG references_ = 0;
    bool offerEvents_;
};

constexpr DISPID kOnTimerStart = 1;
constexpr DISPID kOnTimerElapse = 2;

// A sink connected to a service object's events; disconnects (and drops the
// sink's callback, which may refer to a finished test's locals) when it ends.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    HRESULT Connect(IUnknown* source, ComPtr<Sink> sink);
    void Disconnect();
    // Forgets the connection point without Unadvise (for a source that the
    // test lets go of while connected).
    void Abandon();
    IConnectionPoint* Point() const { return point_.Get(); }

private:
    ComPtr<IConnectionPoint> point_;
    ComPtr<Sink> sink_;
    DWORD cookie_ = 0;
};

// A service object with one window group for a window, as a client sets it up.
struct Client {
    ComPtr<_clsVxTimeTimerMainA> service;
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    ComPtr<_clsVxTimeTimerGroupA> group;
    ComPtr<_clsVxTimeTimerItemsA> items;

    // Creates the service and adds a group for `hWnd`; reports failures
    // through gtest and answers whether everything worked.
    bool Open(LONG hWnd);
};

// TimerItems.Add with every argument given; `timerId` and `record` are the
// caller's variables (handlers may change them).
HRESULT AddTimer(_clsVxTimeTimerItemsA* items, LONG& timerId, AdditionalArguStru& record, LONG elapseTime,
                 LONG units = timeTimerTimeUnitsMicroseconds, bool repeat = false);
HRESULT AddTimer(_clsVxTimeTimerItemsA* items, LONG timerId, LONG elapseTime, bool repeat = false);

ComPtr<_clsVxTimeTimerItemA> ItemAt(_clsVxTimeTimerItemsA* items, LONG position);
LONG StatusAt(_clsVxTimeTimerItemsA* items, LONG position);  // -1 when it cannot be read
LONG CountOf(_clsVxTimeTimerItemsA* items);                  // -1 when it cannot be read
LONG CountOf(_clsVxTimeTimerGroupsA* groups);

}  // namespace zxcom
