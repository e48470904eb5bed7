// Holds the Wine desktop of a test run open until the run's wineserver ends.
// Wine closes the desktop (its explorer process) when no program uses it,
// and the next program that needs one starts it again with that program's
// error output inherited: a test's output pipe then stays open after the
// test has ended, for as long as the new desktop process lives.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // A message-only window: the thread uses the desktop and shows nothing.
    HWND window = CreateWindowExW(0, L"STATIC", L"zentrix desktop keeper", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
