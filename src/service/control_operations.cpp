#include "service/control_operations.h"

#include "apartment/apartment.h"
#include "com/errors.h"
#include "platform/platform.h"
#include "registry/time_accounting.h"
#include "registry/time_units.h"
#include "service/scheduler.h"

namespace zx {
namespace {

// The shared lookup. False when the window has no group (after the
// "Invalid Handle" box); otherwise the group position and the timer position,
// 0 when the group holds no timer with that identifier.
bool Lookup(LONG* hWnd, LONG* timerId, LONG& group, LONG& timer) {
    group = FindGroupIndex(hWnd);
    if (group == 0) {
        CurrentPlatform().MessageBox(L"Invalid Handle");
        return false;
    }
    timer = FindTimerIndex(&group, timerId);
    return true;
}

void SetStatus(LONG* hWnd, LONG* timerId, TimerStatusTypeTimeConstants status) {
    LONG group = 0, timer = 0;
    if (!Lookup(hWnd, timerId, group, timer) || timer == 0) return;
    ThrowIfFailed(TimerAt(group, timer)->put_Status(status));
}

}  // namespace

void StopTimer(LONG* hWnd, LONG* timerId) { SetStatus(hWnd, timerId, timeTimerStatusStopped); }

void StartTimer(LONG* hWnd, LONG* timerId) { SetStatus(hWnd, timerId, timeTimerStatusStarted); }

LONG PercentageOf(LONG* hWnd, LONG* timerId) {
    LONG group = 0, timer = 0;
    if (!Lookup(hWnd, timerId, group, timer)) return 0;
    // Position 0 is not tested: the collection's Item fails on it.
    ComPtr<_clsVxTimeTimerItemA> record = TimerAt(group, timer);
    LONG elapseTime = 0;
    ThrowIfFailed(record->get_ElapseTime(&elapseTime));
    float balanceTime = 0;
    ThrowIfFailed(record->get_BalanceTime(&balanceTime));
    return Percentage(elapseTime, balanceTime);
}

void ResetTimerOf(LONG* hWnd, LONG* timerId) {
    LONG group = 0, timer = 0;
    if (!Lookup(hWnd, timerId, group, timer) || timer == 0) return;
    // Both stay held to the end: the OnTimerStart handlers that Add runs may
    // remove either from the registry.
    ComPtr<_clsVxTimeTimerItemsA> timers = TimersOfGroup(group);
    VARIANT position;
    position.vt = VT_I4;
    position.lVal = timer;
    ComPtr<_clsVxTimeTimerItemA> record;
    ThrowIfFailed(timers->get_Item(&position, &record));

    VARIANT_BOOL repeat = VARIANT_FALSE;  // True for any non-zero stored value
    ThrowIfFailed(record->get_Repeat(&repeat));
    OwnedRecord additional;
    ThrowIfFailed(record->get_AdditionalArgu(&additional.Get()));
    LONG elapseTime = 0;
    ThrowIfFailed(record->get_ElapseTime(&elapseTime));
    ThrowIfFailed(record->put_Status(timeTimerStatusReset));
    Bstr label;
    ThrowIfFailed(record->get_TimeUnits(label.Put()));
    auto units = static_cast<TimerTimeUnitsTimeConstants>(UnitsFromLabel(label.Str()));

    ThrowIfFailed(timers->Remove(&timer));
    Bstr owner(L"");
    Variant added;
    ThrowIfFailed(timers->Add(timerId, &additional.Get(), &elapseTime, &units, &repeat, owner.InOut(), added.Get()));
    // The replaced record is no longer registered; only its holders see this.
    ThrowIfFailed(record->put_Status(timeTimerStatusStarted));
}

}  // namespace zx
