#include "service/timer_service.h"

#include "apartment/additional_argu.h"
#include "apartment/apartment.h"
#include "com/errors.h"
#include "dialog/monitor_dialog.h"
#include "registry/window_groups.h"
#include "service/buddy_call.h"
#include "service/control_operations.h"

namespace zx {

ComPtr<TimerService> TimerService::Create() {
    ComPtr<TimerService> service = MakeObject<TimerService>();
    ApartmentState& state = Apartment();
    // The previous registration ends before this one is stored: its end step
    // clears gTimerMain, and must not clear the new registration.
    ComPtr<TimerNotifier> previous = std::move(state.gTimerMain);
    previous.Reset();
    state.gTimerMain = service;
    ComPtr<_clsVxTimeTimerGroupsA> discarded = std::exchange(state.gTimerGroups, WindowGroups::Create());
    return service;
}

TimerService::~TimerService() {
    ApartmentState* state = ExistingApartment();
    if (!state) return;
    // Each reference leaves the state before it is released, since releasing
    // may run further end steps.
    ComPtr<TimerNotifier> main = std::move(state->gTimerMain);
    main.Reset();
    ComPtr<_clsVxTimeTimerGroupsA> groups = std::move(state->gTimerGroups);
}

ComPtr<TimerNotifier> TimerMain() {
    ApartmentState& state = Apartment();
    if (!state.gTimerMain) {
        // Its creation registers it in gTimerMain.
        ComPtr<TimerService> created = TimerService::Create();
    }
    return state.gTimerMain;
}

STDMETHODIMP TimerService::get_BuddyObject(IDispatch** ret) {
    if (!ret) return E_POINTER;
    *ret = ComPtr<IDispatch>(buddy_).Detach();
    return S_OK;
}

STDMETHODIMP TimerService::putref_BuddyObject(IDispatch* value) {
    ComPtr<IDispatch> previous = std::exchange(buddy_, value);
    return S_OK;
}

STDMETHODIMP TimerService::get_TimerGroups(_clsVxTimeTimerGroupsA** ret) {
    if (!ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] { *ret = TimerGroups().Detach(); });
}

STDMETHODIMP TimerService::putref_TimerGroups(_clsVxTimeTimerGroupsA* value) {
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] {
        ComPtr<_clsVxTimeTimerGroupsA> previous = std::exchange(Apartment().gTimerGroups, value);
    });
}

STDMETHODIMP TimerService::TimerStop(LONG* lHwnd, LONG* lTimerId) {
    if (!lHwnd || !lTimerId) return E_POINTER;
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] { StopTimer(lHwnd, lTimerId); });
}
STDMETHODIMP TimerService::TimerStart(LONG* lHwnd, LONG* lTimerId) {
    if (!lHwnd || !lTimerId) return E_POINTER;
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] { StartTimer(lHwnd, lTimerId); });
}
STDMETHODIMP TimerService::GetPercentage(LONG* lHwnd, LONG* lTimerId, LONG* ret) {
    if (!lHwnd || !lTimerId || !ret) return E_POINTER;
    *ret = 0;
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] { *ret = PercentageOf(lHwnd, lTimerId); });
}
STDMETHODIMP TimerService::ResetTimer(LONG* lHwnd, LONG* lTimerId, LONG* ret) {
    if (!lHwnd || !lTimerId || !ret) return E_POINTER;
    *ret = 0;
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] { ResetTimerOf(lHwnd, lTimerId); });
}
STDMETHODIMP TimerService::ShowTimerDialog(LONG* hWnd, VARIANT* ret) {
    if (ret) VariantInit(ret);
    return Barrier(__uuidof(_clsVxTimeTimerMainA), [&] {
        // The handle only filters the list (0, or omitted, shows every
        // window); it is never the window's owner.
        Apartment().gDialogHwnd = hWnd ? *hWnd : 0;
        ShowMonitorDialog();
    });
}

void TimerService::RaiseTimerStart(LONG* hWnd, LONG* timerId, LONG elapseTime, AdditionalArguStru* record,
                                   VARIANT_BOOL* cancel) noexcept {
    ComPtr<TimerService> self(this);
    ComPtr<IDispatch> buddy = buddy_;
    if (buddy) {
        CallBuddy(buddy.Get(), L"czTimeTimerMain_OnTimerStart", hWnd, timerId, elapseTime, record, cancel);
    } else if (IRecordInfo* recordInfo = AdditionalArguRecordInfo()) {
        VARIANT args[5];  // in reverse order
        args[0].vt = VT_BOOL | VT_BYREF, args[0].pboolVal = cancel;
        args[1].vt = VT_RECORD | VT_BYREF, args[1].pvRecord = record, args[1].pRecInfo = recordInfo;
        args[2].vt = VT_I4, args[2].lVal = elapseTime;
        args[3].vt = VT_I4 | VT_BYREF, args[3].plVal = timerId;
        args[4].vt = VT_I4 | VT_BYREF, args[4].plVal = hWnd;
        Point().Fire(1, args, 5);
    }
    SetErrorInfo(0, nullptr);
}

void TimerService::RaiseTimerElapse(LONG* hWnd, LONG* timerId, LONG elapseTime, AdditionalArguStru* record) noexcept {
    ComPtr<TimerService> self(this);
    ComPtr<IDispatch> buddy = buddy_;
    if (buddy) {
        CallBuddy(buddy.Get(), L"czTimeTimerMain_OnTimerElapse", hWnd, timerId, elapseTime, record, nullptr);
    } else if (IRecordInfo* recordInfo = AdditionalArguRecordInfo()) {
        VARIANT args[4];
        args[0].vt = VT_RECORD | VT_BYREF, args[0].pvRecord = record, args[0].pRecInfo = recordInfo;
        args[1].vt = VT_I4, args[1].lVal = elapseTime;
        args[2].vt = VT_I4 | VT_BYREF, args[2].plVal = timerId;
        args[3].vt = VT_I4 | VT_BYREF, args[3].plVal = hWnd;
        Point().Fire(2, args, 4);
    }
    SetErrorInfo(0, nullptr);
}

}  // namespace zx
