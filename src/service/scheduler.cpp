#include "service/scheduler.h"

#include "apartment/apartment.h"
#include "com/errors.h"
#include "platform/platform.h"
#include "registry/timer_collection.h"
#include "registry/window_groups.h"
#include "service/timer_service.h"

namespace zx {

LONG FindGroupIndex(LONG* hWnd) {
    ComPtr<_clsVxTimeTimerGroupsA> groups = TimerGroups();
    if (WindowGroups* own = WindowGroups::Native(groups.Get())) return own->FindFirst(*hWnd);
    LONG count = 0;
    ThrowIfFailed(groups->Count(&count));
    for (LONG position = 1; position <= count; ++position) {
        ComPtr<_clsVxTimeTimerGroupA> group;
        ThrowIfFailed(groups->get_Item(&position, &group));
        LONG handle = 0;
        ThrowIfFailed(group->get_hWnd(&handle));
        if (handle == *hWnd) return position;
    }
    return 0;
}

ComPtr<_clsVxTimeTimerItemsA> TimersOfGroup(LONG groupIndex) {
    ComPtr<_clsVxTimeTimerGroupA> group;
    ThrowIfFailed(TimerGroups()->get_Item(&groupIndex, &group));
    ComPtr<_clsVxTimeTimerItemsA> timers;
    ThrowIfFailed(group->get_TimerItems(&timers));
    if (!timers) Raise(ErrorNumber::ObjectNotSet);
    return timers;
}

namespace {
ComPtr<_clsVxTimeTimerItemA> ItemAt(_clsVxTimeTimerItemsA* timers, LONG position) {
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = position;
    ComPtr<_clsVxTimeTimerItemA> timer;
    ThrowIfFailed(timers->get_Item(&index, &timer));
    if (!timer) Raise(ErrorNumber::ObjectNotSet);
    return timer;
}
}  // namespace

LONG FindTimerIndex(LONG* groupIndex, LONG* timerId) {
    ComPtr<_clsVxTimeTimerItemsA> timers = TimersOfGroup(*groupIndex);
    if (TimerCollection* own = TimerCollection::Native(timers.Get())) return own->FirstPositionOf(*timerId);
    LONG count = 0;
    ThrowIfFailed(timers->get_Count(&count));
    for (LONG position = 1; position <= count; ++position) {
        LONG id = 0;
        ThrowIfFailed(ItemAt(timers.Get(), position)->get_TimerId(&id));
        if (id == *timerId) return position;
    }
    return 0;
}

ComPtr<_clsVxTimeTimerItemA> TimerAt(LONG groupIndex, LONG timerIndex) {
    return ItemAt(TimersOfGroup(groupIndex).Get(), timerIndex);
}

LONG GetTimerStatus(LONG* hWnd, LONG* timerId) {
    LONG group = FindGroupIndex(hWnd);
    if (group == 0) {
        CurrentPlatform().MessageBox(L"Invalid Handle");
        return 0;
    }
    LONG timer = FindTimerIndex(&group, timerId);
    if (timer == 0) return 0;
    TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
    ThrowIfFailed(TimerAt(group, timer)->get_Status(&status));
    return status;
}

UINT_PTR ArmTimer(LONG* hWnd, LONG* timerId, LONG* milliseconds, VARIANT_BOOL* repeat,
                  const AdditionalArguStru* record) {
    Apartment().gLastAdditionalArgu = OwnedRecord(*record);
    TIMERPROC procedure = *repeat == VARIANT_TRUE ? RepeatingTimerProc : OneShotTimerProc;
    return CurrentPlatform().SetTimer(WindowFromLong(*hWnd), static_cast<UINT_PTR>(static_cast<LONG_PTR>(*timerId)),
                                      static_cast<UINT>(*milliseconds), procedure);
}

namespace {

void HandleTick(HWND window, UINT_PTR id, DWORD tickTime) {
    LONG hWnd = LongFromWindow(window);
    LONG timerId = static_cast<LONG>(id);
    if (GetTimerStatus(&hWnd, &timerId) == timeTimerStatusStarted) {
        ComPtr<TimerNotifier> main = TimerMain();
        if (main)
            main->RaiseTimerElapse(&hWnd, &timerId, static_cast<LONG>(tickTime),
                                   &Apartment().gLastAdditionalArgu.Get());
    }
    // The handlers may have changed the handle and identifier: the update
    // goes to the timer they now name.
    LONG group = FindGroupIndex(&hWnd);
    if (group == 0) return;
    LONG timer = FindTimerIndex(&group, &timerId);
    if (timer == 0) return;
    ComPtr<_clsVxTimeTimerItemA> record = TimerAt(group, timer);
    TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
    ThrowIfFailed(record->get_Status(&status));
    if (status != timeTimerStatusStopped) ThrowIfFailed(record->put_Status(timeTimerStatusEnded));
}

// A tick has no caller to report to: a failure (a registry a client left
// without a timer collection, say) abandons the tick.
void TickBarrier(HWND window, UINT_PTR id, DWORD tickTime) noexcept {
    try {
        HandleTick(window, id, tickTime);
    } catch (...) {
    }
    SetErrorInfo(0, nullptr);
}

}  // namespace

void CALLBACK RepeatingTimerProc(HWND window, UINT, UINT_PTR id, DWORD tickTime) { TickBarrier(window, id, tickTime); }

void CALLBACK OneShotTimerProc(HWND window, UINT, UINT_PTR id, DWORD tickTime) {
    CurrentPlatform().KillTimer(window, id);
    TickBarrier(window, id, tickTime);
}

}  // namespace zx
