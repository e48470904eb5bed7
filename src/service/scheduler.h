#pragma once
// The scheduler: lookups by window handle and timer identifier, arming of
// platform timers, and the two tick procedures the platform calls.
#include "apartment/additional_argu.h"

namespace zx {

// 1-based position of the first group with that handle, or 0. Every group is
// fetched through the collection's Item, which moves gCurrentHwnd.
LONG FindGroupIndex(LONG* hWnd);
// 1-based position of the first timer with that identifier in the group at
// `groupIndex` (a valid position), or 0. Window handles are not compared.
LONG FindTimerIndex(LONG* groupIndex, LONG* timerId);
// The timer's status, or 0 when the window or timer is not registered (an
// unregistered window also shows "Invalid Handle").
LONG GetTimerStatus(LONG* hWnd, LONG* timerId);
// The timer collection of the group at a position, reached through Item;
// the object-not-set error when the group has none.
ComPtr<_clsVxTimeTimerItemsA> TimersOfGroup(LONG groupIndex);
// The record at a group and timer position, reached through Item.
ComPtr<_clsVxTimeTimerItemA> TimerAt(LONG groupIndex, LONG timerIndex);

// Copies `record` into gLastAdditionalArgu and arms the platform timer with
// the repeating procedure when *repeat is True (-1), the one-shot one
// otherwise. Returns the platform's result (0 on failure).
UINT_PTR ArmTimer(LONG* hWnd, LONG* timerId, LONG* milliseconds, VARIANT_BOOL* repeat,
                  const AdditionalArguStru* record);

void CALLBACK RepeatingTimerProc(HWND window, UINT message, UINT_PTR id, DWORD tickTime);
void CALLBACK OneShotTimerProc(HWND window, UINT message, UINT_PTR id, DWORD tickTime);

// Window handles and timer identifiers are 32-bit values to clients.
inline HWND WindowFromLong(LONG handle) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)); }
inline LONG LongFromWindow(HWND window) { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)); }

}  // namespace zx
