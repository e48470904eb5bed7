#pragma once
// The service object's four operations on one timer named by window handle
// and identifier. They act on the apartment's registry, whichever service
// object is called. Failures are raised as Error or ComFailure.
#include "apartment/additional_argu.h"

namespace zx {

// Status Stopped (1) / Started (0); the platform timer is left alone.
void StopTimer(LONG* hWnd, LONG* timerId);
void StartTimer(LONG* hWnd, LONG* timerId);
// The share of the interval still to run, as a 32-bit percentage.
LONG PercentageOf(LONG* hWnd, LONG* timerId);
// Registers the timer again from its stored settings through the
// collection's Add (OnTimerStart, then arming), as the last of its group.
void ResetTimerOf(LONG* hWnd, LONG* timerId);

}  // namespace zx
