#pragma once
// The seam between the component and everything that depends on time or on
// the window system, so tests can drive the clock and ticks by hand.
#include <windows.h>

#include <cstdint>
#include <string>

namespace zx {

class Platform {
public:
    virtual ~Platform() = default;
    // Seconds since local midnight, single precision like the runtime's clock.
    virtual float SecondsSinceMidnight() = 0;
    virtual uint32_t TickCount() = 0;
    virtual UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) = 0;
    virtual BOOL KillTimer(HWND window, UINT_PTR id) = 0;
    // A modal box with the text and an OK button; the thread's messages are
    // dispatched while it is open.
    virtual void MessageBox(const std::wstring& text) = 0;
    // Lets every message already queued for the thread run.
    virtual void DispatchPendingMessages() = 0;
};

Platform& CurrentPlatform();
// Replaces the platform (tests); returns the previous one. nullptr restores
// the Win32 platform.
Platform* SetPlatformForTesting(Platform* platform);

}  // namespace zx
