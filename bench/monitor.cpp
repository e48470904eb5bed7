// The monitor window's refresh (rebuild and repaint) as the registry grows,
// against an owner-data list view of the same size that has its texts ready.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>

#include "sections.h"

namespace bench {
namespace {

constexpr int kColumns = 8;

HWND NewestMonitorWindow() {
    HWND found = nullptr, window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, L"Orvanta Timer Service Manager")) != nullptr)
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) found = window;
    return found;
}

// The floor: a window with an owner-data report list of `rows` rows whose
// texts are made in advance; a refresh sets the count and repaints.
class ListFloor {
public:
    explicit ListFloor(LONG rows) : texts_(static_cast<size_t>(rows)) {
        for (LONG i = 0; i < rows; ++i)
            for (int c = 0; c < kColumns; ++c) texts_[i][c] = std::to_wstring(i + 1) + L"." + std::to_wstring(c);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ListFloor::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"zentrix bench list";
        RegisterClassW(&wc);
        frame_ = CreateWindowExW(0, wc.lpszClassName, L"list floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 560,
                                 470, nullptr, nullptr, wc.hInstance, this);
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 550,
                                400, frame_, nullptr, wc.hInstance, nullptr);
        for (int c = 0; c < kColumns; ++c) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 65;
            column.pszText = const_cast<wchar_t*>(L"Column");
            SendMessageW(list_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        }
    }
    ~ListFloor() { DestroyWindow(frame_); }
    void Refresh() {
        SendMessageW(list_, LVM_SETITEMCOUNT, texts_.size(), LVSICF_NOSCROLL);
        InvalidateRect(list_, nullptr, TRUE);
        UpdateWindow(list_);
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<ListFloor*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NOTIFY && self) {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
            if (info->hdr.code == LVN_GETDISPINFOW && (info->item.mask & LVIF_TEXT) &&
                info->item.iItem < static_cast<int>(self->texts_.size()))
                lstrcpynW(info->item.pszText, self->texts_[info->item.iItem][info->item.iSubItem].c_str(),
                          info->item.cchTextMax);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    std::vector<std::array<std::wstring, kColumns>> texts_;
    HWND frame_ = nullptr, list_ = nullptr;
};

}  // namespace

void MonitorFigures(const Options& options, Table& table) {
    BenchPlatform platform;
    const std::vector<LONG> sizes = options.quick ? std::vector<LONG>{10, 100} : std::vector<LONG>{1000, 10000, 100000};
    Window window;
    std::vector<Figure> refreshes;
    for (LONG size : sizes) {
        Registry registry(window.Handle(), size);
        LONG all = 0;
        zx::Variant result;
        if (FAILED(registry.service->ShowTimerDialog(&all, result.Get()))) continue;
        HWND dialog = NewestMonitorWindow();
        const UINT_PTR refreshTimer = platform.MessageTimerOf(dialog);
        ListFloor floor(size);
        Figure figure{"Monitor refresh, " + Grouped(size) + " rows", "ms"};
        figure.floorName = "owner-data list view of as many rows";
        if (size == 100000) figure.target = {"<= 20 ms", 0, 20};
        for (int round = 0; round < (options.quick ? 2 : 5); ++round) {
            figure.library.Add(Time([&] {
                SendMessageW(dialog, WM_TIMER, refreshTimer, 0);
                UpdateWindow(dialog);
            }) * 1e3);
            figure.floor.Add(Time([&] { floor.Refresh(); }) * 1e3);
        }
        DestroyWindow(dialog);
        refreshes.push_back(figure);
        table.Add(std::move(figure));
    }
    if (refreshes.size() != sizes.size()) return;
    for (size_t i = 1; i < sizes.size(); ++i) {
        Figure flat{"Monitor refresh, " + Grouped(sizes[i]) + " against " + Grouped(sizes[0]) + " rows", "ms"};
        flat.library = refreshes[i].library;
        flat.floor = refreshes[0].library;
        flat.floorName = "the refresh of " + Grouped(sizes[0]) + " rows";
        if (!options.quick) flat.target = {"<= 1.3x", 1.3};
        table.Add(std::move(flat));
    }
}

}  // namespace bench
