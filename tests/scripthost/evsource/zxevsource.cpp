// ZxTest.EventSource: an apartment-threaded object whose events the script
// host's tests connect to (see zxevsource.idl). One object is its own
// connection point container and its only connection point.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "zxevsource.h"

using Microsoft::WRL::ComPtr;

namespace {

const GUID kRecordGuid = {0x432c3e62, 0x251e, 0x4b47, {0xb9, 0xb3, 0xfa, 0xbe, 0xce, 0xc3, 0xaf, 0xc2}};
const wchar_t kProgId[] = L"ZxTest.EventSource";
HMODULE gModule;
LONG gObjects;

HRESULT loadTypeLib(ITypeLib** lib) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(gModule, path, MAX_PATH);
    return LoadTypeLibEx(path, REGKIND_NONE, lib);
}

class EventSource final : public IZxEventSource, public IProvideClassInfo2,
                          public IConnectionPointContainer, public IConnectionPoint {
public:
    EventSource() { InterlockedIncrement(&gObjects); }
    ~EventSource() { InterlockedDecrement(&gObjects); }

    HRESULT init() {
        ComPtr<ITypeLib> lib;
        HRESULT hr = loadTypeLib(&lib);
        if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(__uuidof(IZxEventSource), &dispatchInfo_);
        if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(__uuidof(ZxEventSource), &classInfo_);
        ComPtr<ITypeInfo> record;
        if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(kRecordGuid, &record);
        if (SUCCEEDED(hr)) hr = GetRecordInfoFromTypeInfo(record.Get(), &recordInfo_);
        return hr;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IZxEventSource))
            *ppv = static_cast<IZxEventSource*>(this);
        else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
            *ppv = static_cast<IProvideClassInfo2*>(this);
        else if (riid == IID_IConnectionPointContainer)
            *ppv = static_cast<IConnectionPointContainer*>(this);
        else if (riid == IID_IConnectionPoint)
            *ppv = static_cast<IConnectionPoint*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }

    // IDispatch, through the type library
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 1; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT i, LCID, ITypeInfo** ti) override {
        if (i) return DISP_E_BADINDEX;
        return dispatchInfo_.CopyTo(ti);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override {
        return dispatchInfo_->GetIDsOfNames(names, n, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result,
                        EXCEPINFO* ei, UINT* argErr) override {
        return dispatchInfo_->Invoke(static_cast<IZxEventSource*>(this), id, flags, dp, result, ei, argErr);
    }

    // IZxEventSource
    STDMETHODIMP Ping(LONG number, BSTR text) override {
        VARIANT args[2];
        args[1].vt = VT_I4;
        args[1].lVal = number;
        args[0].vt = VT_BSTR;
        args[0].bstrVal = text;
        fire(1, args, 2);
        return S_OK;
    }
    STDMETHODIMP Change(LONG number, VARIANT_BOOL flag, BSTR text, VARIANT any, LONG recordValue,
                        BSTR* after) override {
        BSTR textRef = SysAllocString(text ? text : L"");
        VARIANT anyRef;
        VariantInit(&anyRef);
        VariantCopyInd(&anyRef, &any);
        ZxEventRecord record{recordValue, SysAllocString(textRef)};
        VARIANT args[5];
        args[4].vt = VT_I4 | VT_BYREF;
        args[4].plVal = &number;
        args[3].vt = VT_BOOL | VT_BYREF;
        args[3].pboolVal = &flag;
        args[2].vt = VT_BSTR | VT_BYREF;
        args[2].pbstrVal = &textRef;
        args[1].vt = VT_VARIANT | VT_BYREF;
        args[1].pvarVal = &anyRef;
        args[0].vt = VT_RECORD | VT_BYREF;
        args[0].pvRecord = &record;
        args[0].pRecInfo = recordInfo_.Get();
        fire(2, args, 5);

        VARIANT anyText;
        VariantInit(&anyText);
        VariantChangeType(&anyText, &anyRef, VARIANT_ALPHABOOL, VT_BSTR);
        std::wstring out = std::to_wstring(number) + L"|" + (flag ? L"True" : L"False") + L"|" + textRef + L"|" +
                           (anyText.vt == VT_BSTR ? anyText.bstrVal : L"?") + L"|" + std::to_wstring(record.Value) +
                           L"|" + (record.Text ? record.Text : L"");
        VariantClear(&anyText);
        VariantClear(&anyRef);
        SysFreeString(textRef);
        recordInfo_->RecordClear(&record);
        *after = SysAllocString(out.c_str());
        return S_OK;
    }
    STDMETHODIMP PingLater(LONG hwnd, LONG ms, LONG number) override {
        static UINT_PTR lastId;
        HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
        UINT_PTR id = SetTimer(window, window ? ++lastId : 0, UINT(ms), onTimer);
        if (!id) return HRESULT_FROM_WIN32(GetLastError());
        AddRef();
        pending().push_back({window, id, this, number});
        return S_OK;
    }

    STDMETHODIMP Crash() override {
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
        return S_OK;
    }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** ti) override { return classInfo_.CopyTo(ti); }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = __uuidof(ZxEventSourceEvents);
        return S_OK;
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        if (!cp) return E_POINTER;
        *cp = nullptr;
        if (iid != __uuidof(ZxEventSourceEvents)) return CONNECT_E_NOCONNECTION;
        *cp = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override { *iid = __uuidof(ZxEventSourceEvents); return S_OK; }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** c) override {
        *c = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        ComPtr<IDispatch> disp;
        if (!sink || !cookie) return E_POINTER;
        if (FAILED(sink->QueryInterface(__uuidof(ZxEventSourceEvents), reinterpret_cast<void**>(disp.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        sinks_.push_back({++lastCookie_, disp});
        *cookie = lastCookie_;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it)
            if (it->cookie == cookie) { sinks_.erase(it); return S_OK; }
        return CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    struct Sink { DWORD cookie; ComPtr<IDispatch> disp; };
    struct Pending { HWND window; UINT_PTR timer; EventSource* source; LONG number; };

    static std::vector<Pending>& pending() { static std::vector<Pending> list; return list; }

    static void CALLBACK onTimer(HWND window, UINT, UINT_PTR id, DWORD) {
        KillTimer(window, id);
        for (auto it = pending().begin(); it != pending().end(); ++it) {
            if (it->window != window || it->timer != id) continue;
            Pending p = *it;
            pending().erase(it);
            Bstr later(L"later");
            p.source->Ping(p.number, later.s);
            p.source->Release();
            return;
        }
    }

    struct Bstr {
        BSTR s;
        explicit Bstr(const wchar_t* t) : s(SysAllocString(t)) {}
        ~Bstr() { SysFreeString(s); }
    };

    void fire(DISPID id, VARIANT* args, UINT n) {
        DISPPARAMS dp{args, nullptr, n, 0};
        std::vector<Sink> sinks = sinks_;  // a handler may disconnect
        for (auto& s : sinks) {
            VARIANT result;
            VariantInit(&result);
            s.disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, &result, nullptr, nullptr);
            VariantClear(&result);
        }
    }

    LONG refs_ = 0;  // the first owner is the ComPtr that creates it
    DWORD lastCookie_ = 0;
    std::vector<Sink> sinks_;
    ComPtr<ITypeInfo> dispatchInfo_, classInfo_;
    ComPtr<IRecordInfo> recordInfo_;
};

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<EventSource> obj(new EventSource);
        HRESULT hr = obj->init();
        return FAILED(hr) ? hr : obj->QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
} gFactory;

std::wstring guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) gModule = module;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (clsid != __uuidof(ZxEventSource)) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return gObjects ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(gModule, path, MAX_PATH);
    std::wstring key = L"CLSID\\" + guidText(__uuidof(ZxEventSource));
    auto set = [](const std::wstring& k, const wchar_t* name, const wchar_t* value) {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, k.c_str(), name, REG_SZ, value,
                               DWORD((wcslen(value) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    if (!set(key + L"\\InprocServer32", nullptr, path) ||
        !set(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ||
        !set(key + L"\\ProgID", nullptr, kProgId) ||
        !set(std::wstring(kProgId) + L"\\CLSID", nullptr, guidText(__uuidof(ZxEventSource)).c_str()))
        return SELFREG_E_CLASS;
    ComPtr<ITypeLib> lib;
    return SUCCEEDED(loadTypeLib(&lib)) && SUCCEEDED(RegisterTypeLib(lib.Get(), path, nullptr))
               ? S_OK : SELFREG_E_TYPELIB;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guidText(__uuidof(ZxEventSource))).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    UnRegisterTypeLib(LIBID_ZxEventSourceLib, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
}
