// The test objects' module: ZxTest.EventSource, an apartment-threaded
// object whose events the script host's tests connect to, and
// ZxTest.TimerControl (see zxevsource.idl).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "connectable.h"
#include "timer_control.h"
#include "zxevsource.h"

namespace zxtest {

HMODULE gModule;
LONG gObjects;

HRESULT LoadModuleTypeLib(ITypeLib** lib) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(gModule, path, MAX_PATH);
    return LoadTypeLibEx(path, REGKIND_NONE, lib);
}

namespace {

const GUID kRecordGuid = {0x432c3e62, 0x251e, 0x4b47, {0xb9, 0xb3, 0xfa, 0xbe, 0xce, 0xc3, 0xaf, 0xc2}};

class EventSource final : public ConnectableObject<IZxEventSource> {
public:
    EventSource() : ConnectableObject(__uuidof(ZxEventSourceEvents), __uuidof(ZxEventSource)) {}

    HRESULT init() {
        ComPtr<ITypeLib> lib;
        HRESULT hr = Describe(&lib);
        ComPtr<ITypeInfo> record;
        if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(kRecordGuid, &record);
        if (SUCCEEDED(hr)) hr = GetRecordInfoFromTypeInfo(record.Get(), &recordInfo_);
        return hr;
    }

    // IZxEventSource
    STDMETHODIMP Ping(LONG number, BSTR text) override {
        VARIANT args[2];
        args[1].vt = VT_I4;
        args[1].lVal = number;
        args[0].vt = VT_BSTR;
        args[0].bstrVal = text;
        Fire(1, args, 2);
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
        Fire(2, args, 5);

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

private:
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

    ComPtr<IRecordInfo> recordInfo_;
};

// The creatable classes, each with its ProgID and a class object.
using Create = HRESULT (*)(REFIID, void**);
struct ClassEntry {
    const CLSID& clsid;
    const wchar_t* progId;
    Create create;
};
const ClassEntry kClasses[] = {
    {__uuidof(ZxEventSource), L"ZxTest.EventSource", &CreateObject<EventSource>},
    {__uuidof(ZxTimerControl), L"ZxTest.TimerControl", &CreateTimerControl},
};

class Factory final : public IClassFactory {
public:
    explicit Factory(Create create) : create_(create) {}
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
        return create_(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    Create create_;
};
Factory gFactories[] = {Factory(kClasses[0].create), Factory(kClasses[1].create)};

std::wstring guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace
}  // namespace zxtest

using namespace zxtest;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) gModule = module;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    for (size_t i = 0; i < std::size(kClasses); ++i)
        if (clsid == kClasses[i].clsid) return gFactories[i].QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return gObjects ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(gModule, path, MAX_PATH);
    auto set = [](const std::wstring& k, const wchar_t* name, const wchar_t* value) {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, k.c_str(), name, REG_SZ, value,
                               DWORD((wcslen(value) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    for (const ClassEntry& c : kClasses) {
        const std::wstring clsid = guidText(c.clsid), key = L"CLSID\\" + clsid;
        if (!set(key + L"\\InprocServer32", nullptr, path) ||
            !set(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ||
            !set(key + L"\\ProgID", nullptr, c.progId) || !set(std::wstring(c.progId) + L"\\CLSID", nullptr, clsid.c_str()))
            return SELFREG_E_CLASS;
    }
    ComPtr<ITypeLib> lib;
    return SUCCEEDED(LoadModuleTypeLib(&lib)) && SUCCEEDED(RegisterTypeLib(lib.Get(), path, nullptr))
               ? S_OK : SELFREG_E_TYPELIB;
}

STDAPI DllUnregisterServer() {
    for (const ClassEntry& c : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guidText(c.clsid)).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, c.progId);
    }
    UnRegisterTypeLib(LIBID_ZxEventSourceLib, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
}
