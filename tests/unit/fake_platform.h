#pragma once
// A platform the tests drive: a settable clock, recorded timers and message
// boxes, and a hook that runs inside a message box (re-entry).
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace zx::test {

class FakePlatform final : public Platform {
public:
    struct ArmedTimer {
        UINT milliseconds;
        TIMERPROC procedure;
    };

    FakePlatform() { previous_ = SetPlatformForTesting(this); }
    ~FakePlatform() override { SetPlatformForTesting(previous_); }

    float SecondsSinceMidnight() override { return clock; }
    uint32_t TickCount() override { return ticks; }
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) override;
    BOOL KillTimer(HWND window, UINT_PTR id) override;
    void MessageBox(const std::wstring& text) override;
    void DispatchPendingMessages() override {}

    // Calls the procedure armed for (window, id) as the platform would.
    void Tick(LONG window, LONG id);
    bool IsArmed(LONG window, LONG id) const { return timers.count({window, id}) != 0; }

    float clock = 3600.4f;
    uint32_t ticks = 5000;
    bool failSetTimer = false;
    std::map<std::pair<LONG, LONG>, ArmedTimer> timers;
    std::vector<std::wstring> messageBoxes;
    std::function<void()> insideMessageBox;  // run once per box while it is open

private:
    Platform* previous_;
};

}  // namespace zx::test
