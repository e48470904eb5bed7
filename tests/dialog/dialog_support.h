#pragma once
// Helpers for the monitor window tests: a platform with a fixed clock and no
// real timer ticks, the registry set up through its interfaces, and the
// window read back through Win32 messages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "com/owned.h"
#include "platform/platform.h"
#include "service/timer_service.h"

namespace zx::test {

// No timer is armed: the registry's timers never tick, and the monitor
// window's refresh timer is only recorded, so a test refreshes a window when
// it chooses (MonitorTest::Refresh). The clock stands still unless a test
// moves it; the yield runs the thread's real pending messages after an
// optional hook.
class TestPlatform final : public Platform {
public:
    struct WindowTimer {
        HWND window;
        UINT_PTR id;
        UINT milliseconds;
    };

    TestPlatform() { previous_ = SetPlatformForTesting(this); }
    ~TestPlatform() override { SetPlatformForTesting(previous_); }

    float SecondsSinceMidnight() override { return clock; }
    uint32_t TickCount() override { return 5000; }
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) override;
    BOOL KillTimer(HWND window, UINT_PTR id) override;
    void MessageBox(const std::wstring& text) override { messageBoxes.push_back(text); }
    void DispatchPendingMessages() override;

    // The message timer (one without a procedure) armed for `window`, if any.
    const WindowTimer* TimerOf(HWND window) const;

    float clock = 3600.4f;
    int yields = 0;
    std::function<void()> duringYield;
    std::vector<std::wstring> messageBoxes;
    std::vector<WindowTimer> windowTimers;  // armed and not killed

private:
    Platform* previous_;
};

using Row = std::vector<std::wstring>;

struct Column {
    std::wstring header;
    int width;
    int format;
};

// Monitor windows of the calling thread (other test processes may show
// theirs on the same display), newest first.
std::vector<HWND> MonitorWindows();
HWND ListOf(HWND dialog);
HWND ButtonOf(HWND dialog);
std::vector<Row> RowsOf(HWND dialog);
// One row, empty when the list has no such row; one cell, "<no row>" then.
Row RowOf(HWND dialog, size_t row);
std::wstring CellOf(HWND dialog, size_t row, size_t column);
std::vector<Column> ColumnsOf(HWND dialog);
std::wstring TextOf(HWND window);

// Dispatches the thread's messages for `milliseconds`.
void PumpFor(DWORD milliseconds);

// Writes the window's screen area, frame included, as a 24-bit BMP.
bool SaveWindowBitmap(HWND window, const wchar_t* path);

// A timer's settings for AddTimer.
struct TimerSettings {
    LONG id;
    LONG elapse;
    LONG units = 1;
    bool repeat = false;
    const wchar_t* comments = L"";
};

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a group and its timers; the timers are stamped with the group's
    // handle since the group's addition has just set gCurrentHwnd.
    ComPtr<_clsVxTimeTimerItemsA> AddGroup(LONG hwnd, const std::vector<TimerSettings>& timers = {});
    void AddTimer(_clsVxTimeTimerItemsA* timers, const TimerSettings& settings);
    ComPtr<_clsVxTimeTimerItemA> TimerAt(_clsVxTimeTimerItemsA* timers, LONG position);
    // ShowTimerDialog through the vtable; `hwnd` null means omitted.
    HRESULT Show(LONG* hwnd, VARIANT* result = nullptr);
    HRESULT Show(LONG hwnd) { return Show(&hwnd); }
    // The newest monitor window of this thread after a successful Show.
    HWND ShowAndFind(LONG hwnd);
    // One tick of the window's refresh timer, delivered as the platform
    // delivers it (WM_TIMER to the window); fails the test when the window
    // has no refresh timer armed.
    void Refresh(HWND dialog);

    TestPlatform platform;
    ComPtr<TimerService> service;
    long baselineObjects = 0;
};

}  // namespace zx::test
