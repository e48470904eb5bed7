// The Win32 back end of the platform seam.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace zx::test {
namespace {

constexpr UINT kFlood = WM_APP + 7;
constexpr long kFloodLength = 100000;
long g_dispatched = 0;

// Posts itself again each time it runs, as a handler may.
LRESULT CALLBACK Reposting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kFlood) {
        if (++g_dispatched < kFloodLength) PostMessageW(window, kFlood, 0, 0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The yield to pending messages runs what was pending as it began: messages
// that keep arriving (timers due faster than their ticks run, a handler that
// posts again) wait for the client's own loop instead of keeping the call
// from returning.
TEST(Win32Platform, YieldEndsWhenOnlyNewMessagesArrive) {
    WNDCLASSW info{};
    info.lpfnWndProc = Reposting;
    info.hInstance = GetModuleHandleW(nullptr);
    info.lpszClassName = L"ZentrixUnitReposting";
    ASSERT_NE(0, RegisterClassW(&info));
    HWND window = CreateWindowExW(0, info.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, info.hInstance,
                                  nullptr);
    ASSERT_NE(nullptr, window);
    g_dispatched = 0;
    ASSERT_TRUE(PostMessageW(window, kFlood, 0, 0));
    CurrentPlatform().DispatchPendingMessages();
    EXPECT_GE(g_dispatched, 1) << "the pending message ran";
    EXPECT_LT(g_dispatched, kFloodLength) << "the yield ran until the flood itself stopped";
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, window, kFlood, kFlood, PM_NOREMOVE)) << "the rest waits for the client";
    g_dispatched = kFloodLength;  // ends the flood
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    DestroyWindow(window);
    UnregisterClassW(info.lpszClassName, info.hInstance);
}

}  // namespace
}  // namespace zx::test
