#pragma once
// Late-bound calls and small COM stand-ins shared by the unit tests.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "apartment/apartment.h"
#include "com/module.h"
#include "com/owned.h"
#include "com/type_library.h"
#include "fake_platform.h"
#include "registry/window_groups.h"
#include "service/timer_service.h"
#include "counted_dispatch.h"

namespace zx::test {

struct CallResult {
    HRESULT hr = S_OK;
    Variant value;
    EXCEPINFO exception{};
    UINT argError = UINT(-1);
    ~CallResult() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
};

DISPID IdOf(IDispatch* object, const wchar_t* name);

// Calls by DISPID with `args` in call order (reversed here for dispatch);
// `named` gives DISPIDs for the last args.size() - positional arguments.
void CallById(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, CallResult& out,
              std::vector<DISPID> named = {});
void Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, CallResult& out);
// Reads a property or calls a method, expecting success.
ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args = {});
LONG GetLong(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args = {});
std::wstring GetString(IDispatch* object, const wchar_t* name);

VARIANT Long(LONG value);
VARIANT LongRef(LONG* value);
VARIANT BoolValue(bool value);
VARIANT Text(const wchar_t* text);  // a BSTR the caller frees
VARIANT RecordRef(AdditionalArguStru* record);
VARIANT VariantRef(VARIANT* inner);

// gTimerMain as the service object it is.
inline TimerService* RegisteredService() { return static_cast<TimerService*>(Apartment().gTimerMain.Get()); }

// The apartment's state is discarded around every test, and every object a
// test makes must be gone at its end.
class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ComPtr<TimerService> NewService() { return TimerService::Create(); }
    // Connects a sink to the service object's events; returns the cookie.
    DWORD Connect(TimerService* service, IDispatch& sink);
    // The window-group collection of the apartment, and a group's timers.
    ComPtr<_clsVxTimeTimerGroupsA> Groups();
    ComPtr<_clsVxTimeTimerItemsA> AddGroup(LONG hwnd);
    // Adds a timer through the vtable with the given arguments.
    HRESULT AddTimer(_clsVxTimeTimerItemsA* timers, LONG id, LONG elapse, LONG units = 0, VARIANT_BOOL repeat = 0,
                     LONG lParam = 0);
    ComPtr<_clsVxTimeTimerItemA> TimerAt(_clsVxTimeTimerItemsA* timers, LONG position);
    LONG StatusOf(_clsVxTimeTimerItemsA* timers, LONG position);

    FakePlatform platform;
    long baselineObjects = 0;
};

using zxclient::CountedDispatch;

// An event sink or buddy written in C++: records every call it receives.
class RecordingSink final : public IDispatch {
public:
    struct Call {
        DISPID id;
        std::wstring name;
        std::vector<VARTYPE> types;  // in call order
        LONG hWnd, timerId, elapseTime, lParam;
    };
    explicit RecordingSink(REFIID events, bool buddy = false) : events_(events), buddy_(buddy) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<Call> calls;
    ULONG references = 1;
    bool cancel = false;          // sets Cancel in OnTimerStart
    LONG newElapse = 0;           // written to ElapseTime when non-zero
    LONG newTimerId = 0;          // written to TimerId when non-zero
    LONG newHwnd = 0;             // written to hWnd when non-zero
    LONG newLParam = 0;           // written into the record when non-zero
    bool lacksStart = false;      // a buddy without the start method
    std::function<void()> during; // runs inside every notification

private:
    IID events_;
    bool buddy_;
};

}  // namespace zx::test
