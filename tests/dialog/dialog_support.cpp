#include "dialog_support.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "apartment/apartment.h"
#include "com/module.h"
#include "dialog/monitor_dialog.h"

namespace zx::test {

void TestPlatform::DispatchPendingMessages() {
    ++yields;
    if (duringYield) duringYield();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

UINT_PTR TestPlatform::SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
    if (procedure) return 1;  // a registry timer: never ticks here
    KillTimer(window, id);    // arming again replaces
    windowTimers.push_back({window, id, milliseconds});
    return id;
}

BOOL TestPlatform::KillTimer(HWND window, UINT_PTR id) {
    auto armed = std::find_if(windowTimers.begin(), windowTimers.end(),
                              [&](const WindowTimer& t) { return t.window == window && t.id == id; });
    if (armed == windowTimers.end()) return TRUE;
    windowTimers.erase(armed);
    return TRUE;
}

const TestPlatform::WindowTimer* TestPlatform::TimerOf(HWND window) const {
    for (const WindowTimer& timer : windowTimers)
        if (timer.window == window) return &timer;
    return nullptr;
}

namespace {
BOOL CALLBACK CollectMonitorWindow(HWND window, LPARAM found) {
    wchar_t caption[64] = {};
    if (GetWindowTextW(window, caption, 64) && wcscmp(caption, kMonitorCaption) == 0)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}
}  // namespace

// The calling thread's windows only, from a list taken at once: a chain of
// FindWindowEx calls over the whole desktop stops early when a window of
// another test process ends while it is walked.
std::vector<HWND> MonitorWindows() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), CollectMonitorWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND ListOf(HWND dialog) { return FindWindowExW(dialog, nullptr, WC_LISTVIEWW, nullptr); }
HWND ButtonOf(HWND dialog) { return FindWindowExW(dialog, nullptr, WC_BUTTONW, nullptr); }

std::wstring TextOf(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

std::vector<Column> ColumnsOf(HWND dialog) {
    std::vector<Column> columns;
    HWND list = ListOf(dialog);
    for (int i = 0;; ++i) {
        wchar_t text[128] = L"";
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 128;
        if (!SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column))) break;
        columns.push_back({text, column.cx, column.fmt});
    }
    return columns;
}

std::vector<Row> RowsOf(HWND dialog) {
    std::vector<Row> rows;
    HWND list = ListOf(dialog);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const size_t columns = ColumnsOf(dialog).size();
    for (int i = 0; i < count; ++i) {
        Row row;
        for (size_t sub = 0; sub < columns; ++sub) {
            wchar_t text[256] = L"";
            LVITEMW item{};
            item.iSubItem = static_cast<int>(sub);
            item.pszText = text;
            item.cchTextMax = 256;
            SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

Row RowOf(HWND dialog, size_t row) {
    std::vector<Row> rows = RowsOf(dialog);
    return row < rows.size() ? rows[row] : Row();
}

std::wstring CellOf(HWND dialog, size_t row, size_t column) {
    Row cells = RowOf(dialog, row);
    return column < cells.size() ? cells[column] : L"<no row>";
}

void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
}

bool SaveWindowBitmap(HWND window, const wchar_t* path) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int stride = (width * 3 + 3) & ~3;

    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as a BMP file stores it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof(file) + sizeof(info);
        file.bfSize = file.bfOffBits + info.biSizeImage;
        std::unique_ptr<FILE, int (*)(FILE*)> out(_wfopen(path, L"wb"), fclose);
        ok = out && fwrite(&file, sizeof(file), 1, out.get()) == 1 && fwrite(&info, sizeof(info), 1, out.get()) == 1 &&
             fwrite(bits, info.biSizeImage, 1, out.get()) == 1;
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

void MonitorTest::SetUp() {
    DiscardApartment();
    baselineObjects = LiveObjectCount();
    service = TimerService::Create();
}

void MonitorTest::TearDown() {
    for (HWND window : MonitorWindows()) DestroyWindow(window);
    PumpFor(20);
    service.Reset();
    DiscardApartment();
    EXPECT_EQ(baselineObjects, LiveObjectCount()) << "objects left alive";
}

ComPtr<_clsVxTimeTimerItemsA> MonitorTest::AddGroup(LONG hwnd, const std::vector<TimerSettings>& timers) {
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    EXPECT_EQ(S_OK, service->get_TimerGroups(&groups));
    ComPtr<_clsVxTimeTimerGroupA> group;
    EXPECT_EQ(S_OK, groups->Add(&hwnd, &group));
    ComPtr<_clsVxTimeTimerItemsA> items;
    if (group) {
        EXPECT_EQ(S_OK, group->get_TimerItems(&items));
    }
    for (const TimerSettings& settings : timers) AddTimer(items.Get(), settings);
    return items;
}

void MonitorTest::AddTimer(_clsVxTimeTimerItemsA* timers, const TimerSettings& settings) {
    ASSERT_NE(nullptr, timers);
    Bstr comments(settings.comments);
    AdditionalArguStru record{0, 0, 0, comments.Get()};
    LONG id = settings.id, elapse = settings.elapse;
    auto units = static_cast<TimerTimeUnitsTimeConstants>(settings.units);
    VARIANT_BOOL repeat = settings.repeat ? VARIANT_TRUE : VARIANT_FALSE;
    Bstr owner(L"test");
    BSTR ownerText = owner.Get();
    Variant result;
    EXPECT_EQ(S_OK, timers->Add(&id, &record, &elapse, &units, &repeat, &ownerText, result.Get()));
}

ComPtr<_clsVxTimeTimerItemA> MonitorTest::TimerAt(_clsVxTimeTimerItemsA* timers, LONG position) {
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = position;
    ComPtr<_clsVxTimeTimerItemA> timer;
    EXPECT_EQ(S_OK, timers->get_Item(&index, &timer));
    return timer;
}

HRESULT MonitorTest::Show(LONG* hwnd, VARIANT* result) {
    Variant own;
    return service->ShowTimerDialog(hwnd, result ? result : own.Get());
}

HWND MonitorTest::ShowAndFind(LONG hwnd) {
    const std::vector<HWND> before = MonitorWindows();
    EXPECT_EQ(S_OK, Show(hwnd));
    const std::vector<HWND> after = MonitorWindows();
    EXPECT_EQ(before.size() + 1, after.size());
    for (HWND window : after) {
        bool known = false;
        for (HWND old : before) known |= old == window;
        if (!known) return window;
    }
    return nullptr;
}

void MonitorTest::Refresh(HWND dialog) {
    const TestPlatform::WindowTimer* timer = platform.TimerOf(dialog);
    ASSERT_NE(nullptr, timer) << "no refresh timer armed for the window";
    SendMessageW(dialog, WM_TIMER, timer->id, 0);
}

}  // namespace zx::test
