// The real platform: the local clock, window timers and message boxes.
#include "platform/platform.h"

#include "platform/this_module.h"

namespace zx {
namespace {

// The caption the component's message boxes show: they set no title of their
// own, so the component's product name appears.
constexpr wchar_t kMessageBoxCaption[] = L"Zentrix";

class Win32Platform final : public Platform {
public:
    float SecondsSinceMidnight() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        double seconds = now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
        return static_cast<float>(seconds);
    }
    uint32_t TickCount() override { return GetTickCount(); }
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) override {
        UINT_PTR armed = ::SetTimer(window, id, milliseconds, procedure);
        // A timer procedure is called back in this module even after its last
        // object has ended (a repeating timer ticks on). A timer without one
        // posts WM_TIMER to its window, which ends with the window.
        if (armed && procedure) KeepModuleLoaded();
        return armed;
    }
    BOOL KillTimer(HWND window, UINT_PTR id) override { return ::KillTimer(window, id); }
    void MessageBox(const std::wstring& text) override {
        ::MessageBoxW(GetActiveWindow(), text.c_str(), kMessageBoxCaption, MB_OK);
    }
    void DispatchPendingMessages() override {
        // The messages pending as the call begins. One made later (a timer
        // that fell due meanwhile, a message a handler posted) ends the
        // call once dispatched: timers due faster than their ticks run, or
        // a handler that posts again, would otherwise never let it return.
        const DWORD start = GetTickCount();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Not ours to consume: the client's own loop must see it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (static_cast<LONG>(msg.time - start) > 0) break;
        }
    }
};

Win32Platform g_win32;
Platform* g_current = &g_win32;

}  // namespace

Platform& CurrentPlatform() { return *g_current; }

Platform* SetPlatformForTesting(Platform* platform) {
    Platform* previous = g_current;
    g_current = platform ? platform : &g_win32;
    return previous;
}

}  // namespace zx
