// ZxTest.TimerControl: a timer control as a form offers one (Enabled,
// Interval and a Timer event), for script clients that bind progress bars.
#pragma once

#include <windows.h>

namespace zxtest {

HRESULT CreateTimerControl(REFIID riid, void** ppv);

}  // namespace zxtest
