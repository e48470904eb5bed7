#include "fake_platform.h"

#include "service/scheduler.h"

namespace zx::test {

UINT_PTR FakePlatform::SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
    if (failSetTimer) return 0;
    timers[{LongFromWindow(window), static_cast<LONG>(id)}] = {milliseconds, procedure};
    return id ? id : 1;
}

BOOL FakePlatform::KillTimer(HWND window, UINT_PTR id) {
    return timers.erase({LongFromWindow(window), static_cast<LONG>(id)}) != 0;
}

void FakePlatform::MessageBox(const std::wstring& text) {
    messageBoxes.push_back(text);
    if (insideMessageBox) {
        auto hook = std::move(insideMessageBox);
        insideMessageBox = nullptr;
        hook();
    }
}

void FakePlatform::Tick(LONG window, LONG id) {
    auto found = timers.find({window, id});
    if (found == timers.end()) return;
    TIMERPROC procedure = found->second.procedure;
    procedure(WindowFromLong(window), WM_TIMER, static_cast<UINT_PTR>(static_cast<LONG_PTR>(id)), ticks);
}

}  // namespace zx::test
