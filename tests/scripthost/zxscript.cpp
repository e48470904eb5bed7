// zxscript: a small Windows Script Host, used by the test suite and shipped
// with the release so that users can run the script examples.
//
//   zxscript <script.js|script.vbs>
//
// Runs the script with the JScript or VBScript engine through the Active
// Scripting interfaces and provides a "WScript" object with Echo, Quit, Sleep
// (pumps the thread's messages), CreateObject, ConnectObject, DisconnectObject,
// ScriptFullName and two additions of our own for objects whose timers need a
// window: WindowHandle (a message-only window of the script's thread) and
// KillTimer(hWnd, id) (the platform's KillTimer, for a script that ends a
// window timer it no longer wants). Exit code: 0 when the
// script ran without error, 1 after any script error (including one inside an
// event handler), n after WScript.Quit(n) with n != 0, 2 when the host itself
// cannot start, 255 after a crash.
//
// Event handlers: the sink hands every event argument to the script as
// VT_VARIANT|VT_BYREF pointing at a dereferenced copy, because the script
// engines cannot take typed by-reference arguments, and afterwards stores
// what the script assigned back into the event's by-reference arguments.
// Records are passed to VBScript as a copy (changes to it are not written
// back) and to JScript as an empty value, which is all JScript can hold.
#include <windows.h>
#include <activscp.h>
#include <dispex.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// --- small owners and output -------------------------------------------------

struct Bstr {
    BSTR s = nullptr;
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : s(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(s); }
    std::wstring str() const { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }
};

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(this); }
};

struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO{} {}
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() { SysFreeString(bstrSource); SysFreeString(bstrDescription); SysFreeString(bstrHelpFile); }
};

void write(DWORD which, const std::wstring& text) {
    HANDLE h = GetStdHandle(which);
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, text.data(), DWORD(text.size()), &done, nullptr);
        return;
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), n, nullptr, nullptr);
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr);
}

std::wstring hex(HRESULT hr) {
    wchar_t buf[16];
    wsprintfW(buf, L"0x%08X", unsigned(hr));
    return buf;
}

std::wstring describe(HRESULT hr) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, DWORD(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = n ? std::wstring(text, n) : L"(no description)";
    LocalFree(text);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' ')) out.pop_back();
    return out;
}

// --- host state ----------------------------------------------------------------

struct Connection {
    ComPtr<IUnknown> identity;
    ComPtr<IConnectionPoint> point;
    DWORD cookie;
};

struct Host {
    std::wstring path;
    bool jscript = false;
    ComPtr<IActiveScript> engine;
    std::vector<Connection> connections;
    HWND window = nullptr;  // WScript.WindowHandle, made on first use
    int errors = 0;         // errors reported so far; any makes the run fail
} g;

void reportError(const std::wstring& text) {
    ++g.errors;
    write(STD_ERROR_HANDLE, g.path + L": " + text + L"\n");
}

[[noreturn]] void quit(int code) {
    ExitProcess(UINT(code != 0 ? code : (g.errors ? 1 : 0)));
}

// Fills EXCEPINFO so the engine raises a runtime error with this text.
HRESULT raise(EXCEPINFO* ei, HRESULT hr, const std::wstring& text) {
    if (!ei) return hr;
    *ei = EXCEPINFO{};
    ei->bstrSource = SysAllocString(L"WScript");
    ei->bstrDescription = SysAllocString(text.c_str());
    ei->scode = hr;
    return DISP_E_EXCEPTION;
}

// Argument i (0 = first) converted to vt; by-reference values are followed.
HRESULT arg(DISPPARAMS* dp, UINT i, VARTYPE vt, VARIANT* out) {
    if (i >= dp->cArgs) return DISP_E_PARAMNOTFOUND;
    return VariantChangeType(out, &dp->rgvarg[dp->cArgs - 1 - i], 0, vt);
}

// --- event sink ----------------------------------------------------------------

size_t scalarSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_DATE: case VT_CY: return 8;
    default: return 0;
    }
}

// Stores a script's value into a typed by-reference argument of an event.
bool storeByRef(VARIANT& target, VARIANT& value) {
    VARTYPE base = VARTYPE(target.vt & ~VT_BYREF);
    if (base == VT_VARIANT) return SUCCEEDED(VariantCopy(target.pvarVal, &value));
    Variant conv;
    if (FAILED(VariantChangeType(&conv, &value, 0, base))) return false;
    switch (base) {
    case VT_BSTR:
        SysFreeString(*target.pbstrVal);
        *target.pbstrVal = conv.bstrVal;
        conv.vt = VT_EMPTY;
        return true;
    case VT_DISPATCH: case VT_UNKNOWN:
        if (*target.ppunkVal) (*target.ppunkVal)->Release();
        *target.ppunkVal = conv.punkVal;
        conv.vt = VT_EMPTY;
        return true;
    case VT_DECIMAL:
        *target.pdecVal = conv.decVal;
        return true;
    default:
        if (size_t n = scalarSize(base)) { std::memcpy(target.byref, &conv.llVal, n); return true; }
        return false;
    }
}

class EventSink final : public IDispatch {
public:
    EventSink(const IID& iid, ComPtr<ITypeInfo> events, std::wstring prefix)
        : iid_(iid), events_(std::move(events)), prefix_(std::move(prefix)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*) override {
        Bstr event;
        UINT found = 0;
        if (FAILED(events_->GetNames(id, &event.s, 1, &found)) || !found) return DISP_E_MEMBERNOTFOUND;
        if (g.errors || !g.engine) return S_OK;  // the run has already failed
        std::wstring handler = prefix_ + event.str();

        ComPtr<IDispatch> global;
        if (FAILED(g.engine->GetScriptDispatch(nullptr, &global))) return S_OK;
        ComPtr<IDispatchEx> globalEx;
        DISPID target = DISPID_UNKNOWN;
        Bstr name(handler);
        if (SUCCEEDED(global.As(&globalEx))) {
            if (FAILED(globalEx->GetDispID(name.s, fdexNameCaseInsensitive, &target))) return S_OK;
        } else if (FAILED(global->GetIDsOfNames(IID_NULL, &name.s, 1, LOCALE_USER_DEFAULT, &target))) {
            return S_OK;  // no handler for this event
        }

        UINT n = dp ? dp->cArgs : 0;
        std::vector<Variant> copies(n);
        std::vector<VARIANT> refs(n);
        std::vector<bool> writeBack(n);
        for (UINT i = 0; i < n; ++i) {
            VARIANT& in = dp->rgvarg[i];
            bool isRecord = (in.vt & VT_TYPEMASK) == VT_RECORD ||
                            (in.vt == (VT_VARIANT | VT_BYREF) && in.pvarVal->vt == VT_RECORD);
            if (!(isRecord && g.jscript) && FAILED(VariantCopyInd(&copies[i], &in))) {
                VariantClear(&copies[i]);
                isRecord = true;  // not passed on, so never written back
            }
            writeBack[i] = (in.vt & VT_BYREF) && !isRecord;
            VariantInit(&refs[i]);
            refs[i].vt = VT_VARIANT | VT_BYREF;
            refs[i].pvarVal = &copies[i];
        }
        DISPPARAMS args{refs.data(), nullptr, n, 0};
        Variant result;
        ExcepInfo ei;
        int before = g.errors;
        HRESULT hr = globalEx ? globalEx->InvokeEx(target, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &args, &result, &ei, nullptr)
                              : global->Invoke(target, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &args, &result, &ei, nullptr);
        if (FAILED(hr)) {
            // The engine usually reports the error through the site itself.
            if (g.errors == before)
                reportError(L"event handler " + handler + L" failed: " + hex(ei.scode ? ei.scode : hr) + L" " +
                            (ei.bstrDescription ? ei.bstrDescription : L""));
            return S_OK;
        }
        for (UINT i = 0; i < n; ++i) {
            if (writeBack[i] && !storeByRef(dp->rgvarg[i], copies[i]))
                reportError(L"event handler " + handler + L": argument " + std::to_wstring(n - i) +
                            L" cannot take the value the handler assigned");
        }
        return S_OK;
    }

private:
    LONG refs_ = 0;  // the first owner is the ComPtr that creates it
    IID iid_;
    ComPtr<ITypeInfo> events_;
    std::wstring prefix_;
};

// Finds the object's default source interface and its type description.
HRESULT findEventSource(IDispatch* obj, IID* iid, ComPtr<ITypeInfo>* events) {
    ComPtr<IProvideClassInfo> pci;
    ComPtr<ITypeInfo> coclass;
    HRESULT hr = obj->QueryInterface(IID_PPV_ARGS(&pci));
    if (SUCCEEDED(hr)) hr = pci->GetClassInfo(&coclass);
    if (FAILED(hr)) return hr;
    ComPtr<IProvideClassInfo2> pci2;
    bool known = SUCCEEDED(pci.As(&pci2)) && SUCCEEDED(pci2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, iid));
    TYPEATTR* attr = nullptr;
    if (FAILED(hr = coclass->GetTypeAttr(&attr))) return hr;
    UINT count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> ti;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FSOURCE)) continue;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, &ti))) continue;
        if (FAILED(ti->GetTypeAttr(&attr))) continue;
        IID guid = attr->guid;
        ti->ReleaseTypeAttr(attr);
        if (known ? guid == *iid : (flags & IMPLTYPEFLAG_FDEFAULT) != 0) {
            *iid = guid;
            *events = ti;
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

// --- the WScript object ----------------------------------------------------------

enum : DISPID { kEcho = 1, kQuit, kSleep, kCreateObject, kConnectObject, kDisconnectObject, kScriptFullName, kWindowHandle, kKillTimer };
const struct { const wchar_t* name; DISPID id; } kMembers[] = {
    {L"Echo", kEcho}, {L"Quit", kQuit}, {L"Sleep", kSleep}, {L"CreateObject", kCreateObject},
    {L"ConnectObject", kConnectObject}, {L"DisconnectObject", kDisconnectObject},
    {L"ScriptFullName", kScriptFullName}, {L"WindowHandle", kWindowHandle}, {L"KillTimer", kKillTimer},
};

class WScriptObject final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = (riid == IID_IUnknown || riid == IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    // One static instance that outlives the engine.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0)
                for (const auto& m : kMembers)
                    if (CompareStringOrdinal(names[0], -1, m.name, -1, TRUE) == CSTR_EQUAL) ids[0] = m.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT* result, EXCEPINFO* ei, UINT*) override {
        Variant a, b;
        switch (id) {
        case kEcho: {
            std::wstring line;
            for (UINT i = 0; i < dp->cArgs; ++i) {
                Variant text;
                VARIANT& v = dp->rgvarg[dp->cArgs - 1 - i];
                if (i) line += L' ';
                if (g.jscript && (v.vt & VT_TYPEMASK) == VT_BOOL)
                    line += (v.vt & VT_BYREF ? *v.pboolVal : v.boolVal) ? L"true" : L"false";
                else if (SUCCEEDED(VariantChangeTypeEx(&text, &v, LOCALE_INVARIANT, VARIANT_ALPHABOOL, VT_BSTR)))
                    line.append(text.bstrVal, SysStringLen(text.bstrVal));
                else
                    line += (v.vt & VT_TYPEMASK) == VT_NULL ? L"null" : L"[object]";
            }
            write(STD_OUTPUT_HANDLE, line + L"\n");
            return S_OK;
        }
        case kQuit:
            if (dp->cArgs && FAILED(arg(dp, 0, VT_I4, &a))) return DISP_E_TYPEMISMATCH;
            quit(dp->cArgs ? a.lVal : 0);
        case kSleep:
            if (FAILED(arg(dp, 0, VT_I4, &a))) return DISP_E_TYPEMISMATCH;
            return sleep(a.lVal, ei);
        case kCreateObject: {
            if (FAILED(arg(dp, 0, VT_BSTR, &a))) return DISP_E_TYPEMISMATCH;
            CLSID clsid;
            ComPtr<IDispatch> obj;
            HRESULT hr = CLSIDFromProgID(a.bstrVal, &clsid);
            if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&obj));
            if (FAILED(hr)) return raise(ei, hr, std::wstring(L"CreateObject cannot create ") + a.bstrVal);
            if (result) { result->vt = VT_DISPATCH; result->pdispVal = obj.Detach(); }
            return S_OK;
        }
        case kConnectObject:
            if (FAILED(arg(dp, 0, VT_DISPATCH, &a)) || !a.pdispVal || FAILED(arg(dp, 1, VT_BSTR, &b)))
                return DISP_E_TYPEMISMATCH;
            return connect(a.pdispVal, b.bstrVal, ei);
        case kDisconnectObject:
            if (FAILED(arg(dp, 0, VT_DISPATCH, &a)) || !a.pdispVal) return DISP_E_TYPEMISMATCH;
            disconnect(a.pdispVal);
            return S_OK;
        case kScriptFullName:
            if (result) { result->vt = VT_BSTR; result->bstrVal = SysAllocString(g.path.c_str()); }
            return S_OK;
        case kWindowHandle:
            // Message-only: timers work with it, and it needs no display.
            if (!g.window)
                g.window = CreateWindowExW(0, L"STATIC", L"zxscript", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
            if (!g.window) return raise(ei, HRESULT_FROM_WIN32(GetLastError()), L"WindowHandle: cannot create the window");
            if (result) { result->vt = VT_I4; result->lVal = LONG(reinterpret_cast<LONG_PTR>(g.window)); }
            return S_OK;
        case kKillTimer: {
            // Window handles and timer identifiers travel as 32-bit numbers;
            // the platform takes them sign-extended.
            if (FAILED(arg(dp, 0, VT_I4, &a)) || FAILED(arg(dp, 1, VT_I4, &b))) return DISP_E_TYPEMISMATCH;
            BOOL killed = ::KillTimer(reinterpret_cast<HWND>(LONG_PTR(a.lVal)), UINT_PTR(LONG_PTR(b.lVal)));
            if (result) { result->vt = VT_BOOL; result->boolVal = killed ? VARIANT_TRUE : VARIANT_FALSE; }
            return S_OK;
        }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    static void disconnect(IUnknown* obj) {
        ComPtr<IUnknown> identity;
        if (obj) obj->QueryInterface(IID_PPV_ARGS(&identity));
        for (auto it = g.connections.begin(); it != g.connections.end();) {
            if (obj && it->identity.Get() != identity.Get()) { ++it; continue; }
            it->point->Unadvise(it->cookie);
            it = g.connections.erase(it);
        }
    }

private:
    // Waits for ms milliseconds while dispatching the thread's messages, so
    // window timers and posted calls of the objects under test fire. Ends the
    // script early once an event handler has failed.
    static HRESULT sleep(LONG ms, EXCEPINFO* ei) {
        ULONGLONG end = GetTickCount64() + ULONGLONG(ms > 0 ? ms : 0);
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (g.errors) return raise(ei, E_ABORT, L"script stopped after an error in an event handler");
            ULONGLONG now = GetTickCount64();
            if (now >= end) return S_OK;
            MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }

    static HRESULT connect(IDispatch* obj, const wchar_t* prefix, EXCEPINFO* ei) {
        IID iid{};
        ComPtr<ITypeInfo> events;
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        HRESULT hr = findEventSource(obj, &iid, &events);
        if (FAILED(hr)) return raise(ei, hr, L"ConnectObject: the object names no default event interface");
        hr = obj->QueryInterface(IID_PPV_ARGS(&container));
        if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(iid, &point);
        if (FAILED(hr)) return raise(ei, hr, L"ConnectObject: the object has no connection point for its events");
        // (mingw's ComPtr::Attach adds a reference, so it is not used.)
        ComPtr<IDispatch> sink(new EventSink(iid, events, prefix));
        Connection c{nullptr, point, 0};
        obj->QueryInterface(IID_PPV_ARGS(&c.identity));
        if (FAILED(hr = point->Advise(sink.Get(), &c.cookie))) return raise(ei, hr, L"ConnectObject: Advise failed");
        g.connections.push_back(c);
        return S_OK;
    }
} gWScript;

// --- the script site ---------------------------------------------------------------

class Site final : public IActiveScriptSite, public IActiveScriptSiteWindow {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == __uuidof(IActiveScriptSite)) *ppv = static_cast<IActiveScriptSite*>(this);
        else if (riid == __uuidof(IActiveScriptSiteWindow)) *ppv = static_cast<IActiveScriptSiteWindow*>(this);
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unk, ITypeInfo** ti) override {
        if (ti) *ti = nullptr;
        if (unk) *unk = nullptr;
        if (CompareStringOrdinal(name, -1, L"WScript", -1, TRUE) != CSTR_EQUAL) return TYPE_E_ELEMENTNOTFOUND;
        if (mask & SCRIPTINFO_IUNKNOWN) {
            if (!unk) return E_POINTER;
            *unk = static_cast<IDispatch*>(&gWScript);
        }
        return (mask & SCRIPTINFO_ITYPEINFO) ? TYPE_E_ELEMENTNOTFOUND : S_OK;
    }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
        ExcepInfo ei;
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        Bstr text;
        error->GetExceptionInfo(&ei);
        if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
        bool located = SUCCEEDED(error->GetSourcePosition(&context, &line, &column));
        error->GetSourceLineText(&text.s);
        std::wstring msg = located ? L"(" + std::to_wstring(line + 1) + L", " + std::to_wstring(column + 1) + L") " : L"";
        if (ei.bstrSource) msg += std::wstring(ei.bstrSource) + L": ";
        HRESULT code = ei.scode ? ei.scode : HRESULT(ei.wCode);
        msg += ei.bstrDescription && *ei.bstrDescription ? ei.bstrDescription : describe(code);
        msg += L" [" + hex(code) + L"]";
        if (text.s && *text.s) msg += L"\n    " + text.str();
        reportError(msg);
        return S_OK;
    }

    STDMETHODIMP GetWindow(HWND* hwnd) override { *hwnd = nullptr; return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
} gSite;

bool readScript(const std::wstring& path, std::wstring* code) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    bool ok = ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr) && got == bytes.size();
    CloseHandle(file);
    if (!ok) return false;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        code->assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        return true;
    }
    size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, int(bytes.size() - skip), nullptr, 0);
    code->assign(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, int(bytes.size() - skip), code->data(), n);
    return true;
}

int run(const wchar_t* arg) {
    wchar_t full[MAX_PATH * 4];
    g.path = GetFullPathNameW(arg, ARRAYSIZE(full), full, nullptr) ? full : arg;
    const wchar_t* ext = wcsrchr(g.path.c_str(), L'.');
    g.jscript = ext && CompareStringOrdinal(ext, -1, L".js", -1, TRUE) == CSTR_EQUAL;
    bool vbscript = ext && CompareStringOrdinal(ext, -1, L".vbs", -1, TRUE) == CSTR_EQUAL;
    std::wstring code;
    if (!g.jscript && !vbscript) { reportError(L"script files must end in .js or .vbs"); return 2; }
    if (!readScript(g.path, &code)) { reportError(L"cannot read the script"); return 2; }

    CLSID clsid;
    ComPtr<IActiveScriptParse> parse;
    HRESULT hr = CLSIDFromProgID(g.jscript ? L"JScript" : L"VBScript", &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&g.engine));
    if (SUCCEEDED(hr)) hr = g.engine.As(&parse);
    if (SUCCEEDED(hr)) hr = parse->InitNew();
    if (SUCCEEDED(hr)) hr = g.engine->SetScriptSite(&gSite);
    if (SUCCEEDED(hr)) hr = g.engine->AddNamedItem(L"WScript", SCRIPTITEM_ISVISIBLE);
    if (FAILED(hr)) { reportError(L"cannot start the script engine: " + hex(hr)); return 2; }

    int before = g.errors;
    ExcepInfo ei;
    hr = parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, &ei);
    if (SUCCEEDED(hr)) hr = g.engine->SetScriptState(SCRIPTSTATE_STARTED);
    if (FAILED(hr) && g.errors == before) reportError(L"the script failed: " + describe(hr) + L" [" + hex(hr) + L"]");

    WScriptObject::disconnect(nullptr);
    g.engine->Close();
    g.engine.Reset();
    if (g.window) DestroyWindow(g.window);
    return g.errors ? 1 : 0;
}

// A crash must end the test at once (Wine would start its debugger and wait).
LONG WINAPI onCrash(EXCEPTION_POINTERS* info) {
    char text[128];
    int n = std::snprintf(text, sizeof text, "zxscript: crashed with exception 0x%08X at %p\n",
                          unsigned(info->ExceptionRecord->ExceptionCode), info->ExceptionRecord->ExceptionAddress);
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, DWORD(n > 0 ? n : 0), &done, nullptr);
    TerminateProcess(GetCurrentProcess(), 255);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        write(STD_ERROR_HANDLE, L"usage: zxscript <script.js|script.vbs>\n");
        return 2;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(onCrash);
    if (FAILED(CoInitialize(nullptr))) return 2;
    int code = run(argv[1]);
    CoUninitialize();
    return code;
}
