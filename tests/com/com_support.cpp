// The library's identifiers are defined here, once for the test program:
// system headers first, then initguid, then the library's header.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <initguid.h>
#include "com_support.h"

namespace zxcom {

std::wstring DllPath() { return L"" ZENTRIX_DLL; }

const wchar_t* const kCreatableProgIds[4] = {
    L"Zentrix.clsVxTimeTimerMainA",
    L"Zentrix.clsVxTimeTimerEventsA",
    L"Zentrix.clsVxTimeGeneralA",
    L"Zentrix.clsVxTimeAdvancedA",
};

GUID RecordGuid() {
    static GUID guid = [] {
        GUID found = GUID_NULL;
        ComPtr<ITypeLib> library;
        if (FAILED(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library))) return found;
        wchar_t name[] = L"AdditionalArguStru";
        ITypeInfo* info = nullptr;
        MEMBERID member = 0;
        USHORT count = 1;
        if (FAILED(library->FindName(name, 0, &info, &member, &count)) || count == 0 || !info) return found;
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            if (attr->typekind == TKIND_RECORD) found = attr->guid;
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
        return found;
    }();
    return guid;
}

HRESULT CreateService(ComPtr<_clsVxTimeTimerMainA>* out) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Zentrix.clsVxTimeTimerMainA", &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(out->ReleaseAndGetAddressOf()));
}

int RunProcess(const std::wstring& commandLine, std::string* output, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return -1;
    }
    // The output is read to its end (the child closing its side), then the
    // exit is awaited.
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) {
        if (output) output->append(buffer, got);
    }
    CloseHandle(readEnd);
    int code = -1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        if (GetExitCodeProcess(process.hProcess, &exitCode)) code = static_cast<int>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 255);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

bool ReadClassesRootValue(const std::wstring& key, const wchar_t* name, std::wstring* value) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, &type, buffer, &size) != ERROR_SUCCESS)
        return false;
    *value = buffer;
    return true;
}

bool ClassesRootKeyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT LoadedDllCanUnloadNow() {
    HMODULE dll = GetModuleHandleW(L"zentrix.dll");
    if (!dll) return E_FAIL;
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    return canUnload ? canUnload() : E_FAIL;
}

namespace {
BOOL CALLBACK FindMonitorWindow(HWND window, LPARAM found) {
    wchar_t caption[64] = {};
    if (!GetWindowTextW(window, caption, 64) || wcscmp(caption, L"Orvanta Timer Service Manager") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
}  // namespace

HWND OpenMonitorWindow(_clsVxTimeTimerMainA* service, HRESULT* shown) {
    VARIANT result;
    VariantInit(&result);
    *shown = service->ShowTimerDialog(nullptr, &result);
    VariantClear(&result);
    // This thread's: other test processes may have monitor windows open.
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMonitorWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

long long MessageBoxRefusal::refused = 0;

namespace {
LRESULT CALLBACK RefuseMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        wchar_t name[16] = {};
        if (GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16) && wcscmp(name, L"#32770") == 0) {
            ++MessageBoxRefusal::refused;
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

MessageBoxRefusal::MessageBoxRefusal()
    : hook_(SetWindowsHookExW(WH_CBT, RefuseMessageBoxes, nullptr, GetCurrentThreadId())) {}

MessageBoxRefusal::~MessageBoxRefusal() {
    if (hook_) UnhookWindowsHookEx(hook_);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return true;
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs - spent, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void Pump(DWORD milliseconds) { PumpUntil(nullptr, milliseconds); }

// --- windows and message boxes -----------------------------------------------

HiddenWindow::HiddenWindow()
    : window_(CreateWindowExW(0, L"STATIC", L"zentrix com test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr)) {
    EXPECT_NE(nullptr, window_) << "CreateWindowEx failed: " << GetLastError();
}

HiddenWindow::~HiddenWindow() {
    if (window_) DestroyWindow(window_);
}

namespace {

struct GuardState {
    HHOOK hook = nullptr;
    UINT_PTR timer = 0;
    std::vector<std::wstring> texts;
};
thread_local GuardState* t_guard = nullptr;

const wchar_t kClosedMark[] = L"zxcom.closed";

bool IsMessageBox(HWND window) {
    wchar_t name[16] = {};
    return GetClassNameW(window, name, 16) && wcscmp(name, L"#32770") == 0;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    auto* text = reinterpret_cast<std::wstring*>(param);
    wchar_t name[16] = {};
    if (!GetClassNameW(child, name, 16) || _wcsicmp(name, L"Static") != 0) return TRUE;
    wchar_t buffer[512] = {};
    if (GetWindowTextW(child, buffer, 512) > 0) {
        if (!text->empty()) *text += L" | ";
        *text += buffer;
    }
    return TRUE;
}

void CloseBox(HWND box) {
    if (!t_guard || GetPropW(box, kClosedMark)) return;
    SetPropW(box, kClosedMark, reinterpret_cast<HANDLE>(1));
    std::wstring text;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    t_guard->texts.push_back(text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && IsMessageBox(reinterpret_cast<HWND>(wParam))) CloseBox(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK CloseIfBox(HWND window, LPARAM) {
    if (IsMessageBox(window) && IsWindowVisible(window)) CloseBox(window);
    return TRUE;
}

void CALLBACK Sweep(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), CloseIfBox, 0); }

}  // namespace

MessageBoxGuard::MessageBoxGuard() {
    t_guard = new GuardState;
    t_guard->hook = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    t_guard->timer = SetTimer(nullptr, 0, 300, Sweep);
    EXPECT_NE(nullptr, t_guard->hook);
}

MessageBoxGuard::~MessageBoxGuard() {
    if (t_guard->hook) UnhookWindowsHookEx(t_guard->hook);
    if (t_guard->timer) KillTimer(nullptr, t_guard->timer);
    delete t_guard;
    t_guard = nullptr;
}

const std::vector<std::wstring>& MessageBoxGuard::Texts() const { return t_guard->texts; }

std::wstring MessageBoxGuard::Joined() const {
    std::wstring all;
    for (const auto& text : t_guard->texts) all += L"[" + text + L"] ";
    return all;
}

// --- records -------------------------------------------------------------------

Record::Record(LONG l, LONG m, LONG h, const wchar_t* comments) : AdditionalArguStru{l, m, h, nullptr} {
    if (comments) sComments = SysAllocString(comments);
}

Record::~Record() { SysFreeString(sComments); }

// --- the sink -------------------------------------------------------------------

ComPtr<Sink> Sink::Make(bool offerEvents) { return ComPtr<Sink>(new Sink(offerEvents)); }

STDMETHODIMP Sink::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || (offerEvents_ && riid == DIID___clsVxTimeTimerMainA))
        *out = static_cast<IDispatch*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Sink::AddRef() { return ULONG(++references_); }

STDMETHODIMP_(ULONG) Sink::Release() {
    LONG left = --references_;
    if (left == 0) delete this;
    return ULONG(left);
}

STDMETHODIMP Sink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP Sink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Sink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    EventCall call;
    call.id = id;
    call.thread = GetCurrentThreadId();
    call.receivedAt = GetTickCount();
    if (params) {
        const UINT n = params->cArgs;
        call.argCount = n;
        call.namedCount = params->cNamedArgs;
        for (UINT i = 0; i < n; ++i) call.types.push_back(params->rgvarg[i].vt);
        VARIANT* args = params->rgvarg;
        if (n >= 4) {
            if (args[n - 1].vt == (VT_I4 | VT_BYREF)) call.hWnd = *args[n - 1].plVal;
            if (args[n - 2].vt == (VT_I4 | VT_BYREF)) call.timerId = *args[n - 2].plVal;
            if (args[n - 3].vt == VT_I4) call.elapseTime = args[n - 3].lVal;
            VARIANT& record = args[n - 4];
            if (record.vt == (VT_RECORD | VT_BYREF) && record.pRecInfo && record.pvRecord) {
                GUID guid = GUID_NULL;
                call.recordTyped = SUCCEEDED(record.pRecInfo->GetGuid(&guid)) && guid == RecordGuid();
                const auto* fields = static_cast<const AdditionalArguStru*>(record.pvRecord);
                call.recordAddress = record.pvRecord;
                call.lLParam = fields->lLParam;
                call.lMParam = fields->lMParam;
                call.lHParam = fields->lHParam;
                if (fields->sComments) call.comments.assign(fields->sComments, SysStringLen(fields->sComments));
            }
        }
        if (n >= 5 && args[0].vt == (VT_BOOL | VT_BYREF)) call.cancel = *args[0].pboolVal;
    }
    calls.push_back(call);
    if (onEvent) {
        // Keep the callback (and this sink) alive even if it replaces itself.
        ComPtr<Sink> self(this);
        auto handler = onEvent;
        handler(id, params);
    }
    return S_OK;
}

size_t Sink::Count(DISPID id) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.id == id;
    return n;
}

size_t Sink::Count(DISPID id, LONG timerId) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.id == id && c.timerId == timerId;
    return n;
}

const EventCall* Sink::Last(DISPID id) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->id == id) return &*it;
    return nullptr;
}

// --- connections and clients ----------------------------------------------------

Connection::~Connection() { Disconnect(); }

HRESULT Connection::Connect(IUnknown* source, ComPtr<Sink> sink) {
    Disconnect();
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_PPV_ARGS(&container));
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point_);
    if (SUCCEEDED(hr)) hr = point_->Advise(sink.Get(), &cookie_);
    if (FAILED(hr)) {
        point_.Reset();
        return hr;
    }
    sink_ = sink;
    return S_OK;
}

void Connection::Disconnect() {
    if (sink_) sink_->onEvent = nullptr;
    if (point_) point_->Unadvise(cookie_);
    point_.Reset();
    sink_.Reset();
}

void Connection::Abandon() {
    if (sink_) sink_->onEvent = nullptr;
    point_.Reset();
    sink_.Reset();
}

bool Client::Open(LONG hWnd) {
    HRESULT hr = CreateService(&service);
    EXPECT_EQ(S_OK, hr) << "creating Zentrix.clsVxTimeTimerMainA";
    if (FAILED(hr)) return false;
    EXPECT_EQ(S_OK, hr = service->get_TimerGroups(&groups));
    if (FAILED(hr) || !groups) return false;
    EXPECT_EQ(S_OK, hr = groups->Add(&hWnd, &group));
    if (FAILED(hr) || !group) return false;
    EXPECT_EQ(S_OK, hr = group->get_TimerItems(&items));
    return SUCCEEDED(hr) && items;
}

HRESULT AddTimer(_clsVxTimeTimerItemsA* items, LONG& timerId, AdditionalArguStru& record, LONG elapseTime,
                 LONG units, bool repeat) {
    auto unit = static_cast<TimerTimeUnitsTimeConstants>(units);
    VARIANT_BOOL repeatFlag = repeat ? VARIANT_TRUE : VARIANT_FALSE;
    BSTR owner = SysAllocString(L"com test");
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = items->Add(&timerId, &record, &elapseTime, &unit, &repeatFlag, &owner, &result);
    SysFreeString(owner);
    EXPECT_EQ(VT_EMPTY, result.vt) << "Add returns an empty variant";
    VariantClear(&result);
    return hr;
}

HRESULT AddTimer(_clsVxTimeTimerItemsA* items, LONG timerId, LONG elapseTime, bool repeat) {
    Record record(timerId);
    return AddTimer(items, timerId, record, elapseTime, timeTimerTimeUnitsMicroseconds, repeat);
}

ComPtr<_clsVxTimeTimerItemA> ItemAt(_clsVxTimeTimerItemsA* items, LONG position) {
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = position;
    ComPtr<_clsVxTimeTimerItemA> item;
    if (FAILED(items->get_Item(&index, &item))) item.Reset();
    return item;
}

LONG StatusAt(_clsVxTimeTimerItemsA* items, LONG position) {
    ComPtr<_clsVxTimeTimerItemA> item = ItemAt(items, position);
    TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
    if (!item || FAILED(item->get_Status(&status))) return -1;
    return status;
}

LONG CountOf(_clsVxTimeTimerItemsA* items) {
    LONG count = -1;
    if (!items || FAILED(items->get_Count(&count))) return -1;
    return count;
}

LONG CountOf(_clsVxTimeTimerGroupsA* groups) {
    LONG count = -1;
    if (!groups || FAILED(groups->Count(&count))) return -1;
    return count;
}

}  // namespace zxcom
