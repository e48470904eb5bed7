#include "dialog/monitor_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "apartment/apartment.h"
#include "com/errors.h"
#include "com/module.h"
#include "com/owned.h"
#include "dialog/monitor_rows.h"
#include "platform/platform.h"
#include "platform/this_module.h"

namespace zx {

const wchar_t kMonitorCaption[] = L"Orvanta Timer Service Manager";

namespace {

constexpr wchar_t kClassName[] = L"ZentrixTimerMonitor";

// Child and command identifiers. The OK button deliberately is not IDOK:
// Enter in the list must not close the window.
constexpr int kOkButtonId = 100;
constexpr int kListId = 101;
constexpr int kFileMenuId = 200;
constexpr UINT_PTR kRefreshTimerId = 1;
constexpr UINT kRefreshMilliseconds = 1000;

// Layout in twips (1/1440 inch), measured in the client area.
constexpr int kClientWidth = 8385;
constexpr int kClientHeight = 6630;
constexpr int kMargin = 120;
constexpr RECT kOkButton = {6900, 6060, 6900 + 1275, 6060 + 435};

struct ColumnLayout {
    const wchar_t* header;
    int width;  // twips
};
constexpr ColumnLayout kColumns[kColumnCount] = {
    {L"Sno", 500},    {L"Handle", 1000}, {L"Id", 700},     {L"Elapse", 1000},
    {L"Balance", 1000}, {L"Repeat", 700}, {L"Status", 700}, {L"Comments", 1000},
};

[[noreturn]] void RaiseLastError() {
    const DWORD code = GetLastError();
    SetErrorInfo(0, nullptr);
    throw ComFailure{code ? HRESULT_FROM_WIN32(code) : E_FAIL};
}

// Twips to pixels at the screen's resolution.
class Scale {
public:
    Scale() {
        HDC screen = GetDC(nullptr);
        if (screen) {
            dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
            dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
            ReleaseDC(nullptr, screen);
        }
    }
    int X(int twips) const { return MulDiv(twips, dpiX_, 1440); }
    int Y(int twips) const { return MulDiv(twips, dpiY_, 1440); }

private:
    int dpiX_ = 96;
    int dpiY_ = 96;
};

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window class, registered on first use and unregistered when the
// module is unloaded (no monitor window can outlive the module: each one
// counts as a live object).
class WindowClass {
public:
    ~WindowClass() {
        if (const ATOM atom = atom_.load()) UnregisterClassW(MAKEINTATOM(atom), ThisModule());
    }
    ATOM Get() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!atom_.load()) {
            WNDCLASSEXW info{};
            info.cbSize = sizeof(info);
            info.lpfnWndProc = MonitorWindowProc;
            info.hInstance = ThisModule();
            info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            info.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
            info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            info.lpszClassName = kClassName;
            const ATOM atom = RegisterClassExW(&info);
            if (!atom) RaiseLastError();
            atom_.store(atom);
        }
        return atom_.load();
    }
    bool Registered() const { return atom_.load() != 0; }
    bool Owns(HWND window) const {
        const ATOM atom = atom_.load();
        return atom && static_cast<ATOM>(GetClassLongPtrW(window, GCW_ATOM)) == atom;
    }

private:
    std::mutex mutex_;
    std::atomic<ATOM> atom_{0};
};

WindowClass g_class;

// Keyboard interface (Tab, Alt+O, arrow keys) inside a message loop that is
// the client's, not ours: a message hook of the thread hands keystrokes for
// a monitor window to the dialog manager. Installed while the thread has at
// least one monitor window.
struct ThreadKeyboard {
    HHOOK hook = nullptr;
    int windows = 0;
};
thread_local ThreadKeyboard t_keyboard;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->hwnd && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
            HWND root = GetAncestor(msg->hwnd, GA_ROOT);
            if (root && g_class.Owns(root) && IsDialogMessageW(root, msg)) {
                // Handled and dispatched: the client's loop sees nothing.
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void KeyboardAttach() {
    if (t_keyboard.windows++ == 0)
        t_keyboard.hook = SetWindowsHookExW(WH_GETMESSAGE, KeyboardHook, nullptr, GetCurrentThreadId());
}

void KeyboardDetach() {
    if (--t_keyboard.windows == 0 && t_keyboard.hook) {
        UnhookWindowsHookEx(t_keyboard.hook);
        t_keyboard.hook = nullptr;
    }
}

class MonitorDialog {
public:
    static ComPtr<MonitorDialog> Create() { return ComPtr<MonitorDialog>(new MonitorDialog); }

    ULONG AddRef() { return ++references_; }
    ULONG Release() {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // Creates the window (hidden), sets up the list and fills it. On failure
    // the window is destroyed again and the error thrown on.
    void Load() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        const ATOM atom = g_class.Get();

        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        const DWORD exStyle = WS_EX_CONTROLPARENT;
        HMENU menu = CreateMenu();
        if (!menu) RaiseLastError();
        AppendMenuW(menu, MF_STRING, kFileMenuId, L"&File");  // no entries, no action
        RECT frame{0, 0, scale_.X(kClientWidth), scale_.Y(kClientHeight)};
        AdjustWindowRectEx(&frame, style, TRUE, exStyle);
        // From here on the window owns the menu; it is destroyed with it.
        HWND window = CreateWindowExW(exStyle, MAKEINTATOM(atom), kMonitorCaption, style, CW_USEDEFAULT,
                                      CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                      nullptr, menu, ThisModule(), this);
        if (!window) {
            const DWORD error = GetLastError();
            // A window that failed inside its creation has taken its menu down.
            if (IsMenu(menu)) DestroyMenu(menu);
            SetLastError(error);
            RaiseLastError();
        }
        try {
            FitClientArea();
            AddColumns();
            if (!CurrentPlatform().SetTimer(window_, kRefreshTimerId, kRefreshMilliseconds, nullptr)) RaiseLastError();
            Rebuild(true);
        } catch (...) {
            DestroyWindow(window);
            throw;
        }
    }

    void Show() {
        if (window_) ShowWindow(window_, SW_SHOWNORMAL);
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

private:
    MonitorDialog() { ObjectCreated(); }
    ~MonitorDialog() {
        if (font_) DeleteObject(font_);
        ObjectDestroyed();
    }

    bool CreateChildren();
    void FitClientArea();
    void AddColumns();
    void OnTick();
    void Rebuild(bool rethrow);
    void Publish(MonitorTable& next);
    void ShowTable();
    void TextOf(NMLVDISPINFOW& info);

    ULONG references_ = 0;  // the first owner is the pointer Create returns
    Scale scale_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND button_ = nullptr;
    HWND focus_ = nullptr;  // the child that had the focus when the window was deactivated
    HFONT font_ = nullptr;
    bool keyboard_ = false;  // counted in the thread's keyboard hook
    MonitorTable table_;  // what the list shows; it asks for text by row
    // The table the next refresh fills, keeping its storage from one refresh
    // to the next; in use while `filling_`.
    MonitorTable spare_;
    bool filling_ = false;

    friend LRESULT CALLBACK MonitorWindowProc(HWND, UINT, WPARAM, LPARAM);
};

bool MonitorDialog::CreateChildren() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    HGDIOBJ font = font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT);

    // Creation order is tab order: the OK button comes first.
    button_ = CreateWindowExW(0, WC_BUTTONW, L"&OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                              scale_.X(kOkButton.left), scale_.Y(kOkButton.top),
                              scale_.X(kOkButton.right - kOkButton.left), scale_.Y(kOkButton.bottom - kOkButton.top),
                              window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOkButtonId)), ThisModule(), nullptr);
    const int listWidth = kClientWidth - 2 * kMargin;
    const int listHeight = kOkButton.top - 2 * kMargin;
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS |
                                LVS_NOSORTHEADER,
                            scale_.X(kMargin), scale_.Y(kMargin), scale_.X(listWidth), scale_.Y(listHeight), window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), ThisModule(), nullptr);
    if (!button_ || !list_) return false;
    SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    return true;
}

// The frame size was computed for a one-line menu bar; measure and correct.
void MonitorDialog::FitClientArea() {
    RECT client, frame;
    GetClientRect(window_, &client);
    GetWindowRect(window_, &frame);
    const int dx = scale_.X(kClientWidth) - (client.right - client.left);
    const int dy = scale_.Y(kClientHeight) - (client.bottom - client.top);
    if (dx || dy)
        SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + dx, frame.bottom - frame.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Each header by its text, then its width; every column keeps the default
// left alignment.
void MonitorDialog::AddColumns() {
    for (int i = 0; i < kColumnCount; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(kColumns[i].header);
        if (SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) != i) RaiseLastError();
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(scale_.X(kColumns[i].width), 0));
    }
}

// One refresh: let the thread's pending messages run (timer ticks, client
// handlers), then rebuild the whole list from the registry. A failure
// during the rebuild is not reported: the list shows the rows read up to
// it, and the next tick tries again.
void MonitorDialog::OnTick() {
    ComPtr<MonitorDialog> self(this);
    CurrentPlatform().DispatchPendingMessages();
    if (!window_) return;  // closed while the messages ran
    Rebuild(false);
}

// Fills a table from the registry and shows it. A failure of the fill is
// thrown on, with nothing shown, when `rethrow`; otherwise the rows read up
// to it are shown.
void MonitorDialog::Rebuild(bool rethrow) {
    // A client's collection may run the thread's messages while it is read,
    // and with them a refresh of this window: that one fills a table of its
    // own.
    MonitorTable own;
    MonitorTable& next = filling_ ? own : spare_;
    const bool outermost = !std::exchange(filling_, true);
    try {
        next.Fill(Apartment().gDialogHwnd);
    } catch (...) {
        if (outermost) filling_ = false;
        if (rethrow) throw;
        SetErrorInfo(0, nullptr);
    }
    Publish(next);
    if (outermost) filling_ = false;
}

// The list holds no text of its own (owner data): it asks for the cells of
// the rows it paints, so replacing the table and the count is the rebuild.
// The rows in view are made at once, so that they show the registry as this
// refresh found it even when client code runs before the paint. `next`
// receives the previous table, emptied.
void MonitorDialog::Publish(MonitorTable& next) {
    std::swap(table_, next);
    ShowTable();
    next.Clear();
}

void MonitorDialog::ShowTable() {
    if (!list_) return;
    // Setting the count costs as much as a third of the fill for a large
    // list; with an unchanged count repainting the visible rows is enough.
    if (SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0) != static_cast<LRESULT>(table_.Size()))
        SendMessageW(list_, LVM_SETITEMCOUNT, table_.Size(), LVSICF_NOSCROLL);
    const LRESULT top = SendMessageW(list_, LVM_GETTOPINDEX, 0, 0);
    const LRESULT page = SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0);
    if (top >= 0 && page >= 0) table_.Produce(static_cast<size_t>(top), static_cast<size_t>(page) + 1);
    InvalidateRect(list_, nullptr, FALSE);
}

void MonitorDialog::TextOf(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (item.iItem < 0) return;
    const std::wstring& text = table_.Cell(static_cast<size_t>(item.iItem), item.iSubItem);
    const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
    std::copy_n(text.data(), length, item.pszText);
    item.pszText[length] = L'\0';
}

LRESULT MonitorDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (!CreateChildren()) return -1;
            KeyboardAttach();
            keyboard_ = true;
            focus_ = button_;
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kOkButtonId && HIWORD(wParam) == BN_CLICKED) DestroyWindow(window_);
            return 0;  // the File menu has no action
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == list_ && header->code == LVN_GETDISPINFOW)
                TextOf(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
            return 0;
        }
        case WM_TIMER:
            if (wParam == kRefreshTimerId) {
                OnTick();
                return 0;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focused = GetFocus();
                if (focused && IsChild(window_, focused)) focus_ = focused;
            }
            break;
        case WM_SETFOCUS:
            if (focus_ && IsWindow(focus_)) SetFocus(focus_);
            return 0;
        case WM_DESTROY:
            CurrentPlatform().KillTimer(window_, kRefreshTimerId);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The window's own reference: it keeps the dialog object alive until
        // the window is gone.
        auto* dialog = static_cast<MonitorDialog*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        dialog->AddRef();
        dialog->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* dialog = reinterpret_cast<MonitorDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!dialog) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (dialog->keyboard_) KeyboardDetach();
        dialog->keyboard_ = false;
        dialog->window_ = dialog->list_ = dialog->button_ = dialog->focus_ = nullptr;
        dialog->Release();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return dialog->Handle(message, wParam, lParam);
}

}  // namespace

static BOOL CALLBACK CollectMonitorWindow(HWND window, LPARAM found) {
    if (g_class.Owns(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

void CloseThreadMonitorWindows() {
    if (!g_class.Registered()) return;  // no monitor window was ever made
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &CollectMonitorWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) DestroyWindow(window);
}

void ShowMonitorDialog() {
    ComPtr<MonitorDialog> dialog = MonitorDialog::Create();
    dialog->Load();
    dialog->Show();
    // The call's reference goes here; the window keeps its own.
}

}  // namespace zx
