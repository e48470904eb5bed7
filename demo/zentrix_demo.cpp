// A client of zentrix.dll, written the way an automation client would be:
// it creates the service by ProgID, listens to its events through a
// connection point, and calls everything late-bound by name.
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>
#include <vector>

namespace {

// The event interface of Zentrix.clsVxTimeTimerMainA, read from its type
// information at run time so the demo needs no header of the library.
IID g_eventsIid;

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
        std::fflush(stdout);
        ExitProcess(1);
    }
}

// Calls `name` on `object` with arguments given in order.
VARIANT Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args) {
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Check(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &exception, nullptr);
    if (FAILED(hr)) {
        std::printf("%ls: 0x%08lx %ls\n", name, static_cast<unsigned long>(hr),
                    exception.bstrDescription ? exception.bstrDescription : L"");
        ExitProcess(1);
    }
    return result;
}

VARIANT Long(LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// Receives OnTimerStart (DISPID 1) and OnTimerElapse (DISPID 2).
class Sink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch || riid == g_eventsIid) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        // Arguments arrive last first: hWnd is the last element.
        VARIANT* args = params->rgvarg;
        UINT n = params->cArgs;
        LONG hwnd = *args[n - 1].plVal, timerId = *args[n - 2].plVal, elapse = args[n - 3].lVal;
        LONG lParam = *static_cast<const LONG*>(args[n - 4].pvRecord);  // the record's first field
        if (id == 1) {
            std::printf("OnTimerStart   hWnd=%ld TimerId=%ld ElapseTime=%ld lLParam=%ld\n", hwnd, timerId, elapse,
                        lParam);
            if (timerId == 3) {
                *args[0].pboolVal = VARIANT_TRUE;
                std::printf("               -> cancelled timer 3\n");
            }
        } else if (id == 2) {
            std::printf("OnTimerElapse  hWnd=%ld TimerId=%ld tick=%ld lLParam=%ld\n", hwnd, timerId, elapse,
                        lParam);
        }
        std::fflush(stdout);
        return S_OK;
    }
};

void Pump(DWORD milliseconds) {
    DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace

int main() {
    Check(CoInitialize(nullptr), "CoInitialize");
    CLSID clsid;
    Check(CLSIDFromProgID(L"Zentrix.clsVxTimeTimerMainA", &clsid), "CLSIDFromProgID");
    IDispatch* service = nullptr;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&service)),
          "CoCreateInstance");

    IProvideClassInfo2* classInfo = nullptr;
    Check(service->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo)), "IProvideClassInfo2");
    Check(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &g_eventsIid), "GetGUID");
    classInfo->Release();
    IConnectionPointContainer* container = nullptr;
    Check(service->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), "container");
    IConnectionPoint* point = nullptr;
    Check(container->FindConnectionPoint(g_eventsIid, &point), "FindConnectionPoint");
    static Sink sink;
    DWORD cookie = 0;
    Check(point->Advise(&sink, &cookie), "Advise");

    // The timers belong to a hidden window of this thread.
    HWND window = CreateWindowExW(0, L"STATIC", L"zentrix demo", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    LONG handle = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
    std::printf("window %ld\n", handle);

    VARIANT groups = Call(service, L"TimerGroups", DISPATCH_PROPERTYGET, {});
    VARIANT group = Call(groups.pdispVal, L"Add", DISPATCH_METHOD, {Long(handle)});
    VARIANT items = Call(group.pdispVal, L"TimerItems", DISPATCH_PROPERTYGET, {});

    // Each timer carries a record; its lLParam tells them apart.
    IRecordInfo* recordInfo = nullptr;
    {
        ITypeInfo* info = nullptr;
        ITypeLib* library = nullptr;
        UINT index = 0;
        ITypeInfo* serviceInfo = nullptr;
        Check(service->GetTypeInfo(0, 0, &serviceInfo), "GetTypeInfo");
        Check(serviceInfo->GetContainingTypeLib(&library, &index), "GetContainingTypeLib");
        wchar_t name[] = L"AdditionalArguStru";
        MEMBERID member = 0;
        USHORT found = 1;
        Check(library->FindName(name, 0, &info, &member, &found), "FindName");
        if (!found || !info) Check(E_FAIL, "record type");
        Check(GetRecordInfoFromTypeInfo(info, &recordInfo), "GetRecordInfoFromTypeInfo");
        info->Release();
        serviceInfo->Release();
        library->Release();
    }
    auto addTimer = [&](LONG id, LONG interval, LONG units, bool repeat) {
        // The layout of AdditionalArguStru.
        struct {
            LONG lLParam, lMParam, lHParam;
            BSTR sComments;
        } record{id * 100, 0, 0, nullptr};
        VARIANT recordArg;
        recordArg.vt = VT_RECORD | VT_BYREF;
        recordArg.pvRecord = &record;
        recordArg.pRecInfo = recordInfo;
        VARIANT repeatArg;
        repeatArg.vt = VT_BOOL;
        repeatArg.boolVal = repeat ? VARIANT_TRUE : VARIANT_FALSE;
        VARIANT owner;
        owner.vt = VT_BSTR;
        owner.bstrVal = SysAllocString(L"demo");
        std::printf("Add timer %ld: %ld ms, %s\n", id, interval,
                    repeat ? "repeating" : "one-shot");
        Call(items.pdispVal, L"Add", DISPATCH_METHOD, {Long(id), recordArg, Long(interval), Long(units), repeatArg, owner});
        SysFreeString(owner.bstrVal);
    };
    addTimer(1, 300, 0, false);
    addTimer(2, 200, 0, true);
    addTimer(3, 100, 0, false);

    Pump(1000);
    VARIANT count = Call(items.pdispVal, L"Count", DISPATCH_PROPERTYGET, {});
    std::printf("%ld timers registered\n", count.lVal);
    for (LONG i = 1; i <= count.lVal; ++i) {
        VARIANT item = Call(items.pdispVal, L"Item", DISPATCH_PROPERTYGET, {Long(i)});
        VARIANT id = Call(item.pdispVal, L"TimerId", DISPATCH_PROPERTYGET, {});
        VARIANT status = Call(item.pdispVal, L"Status", DISPATCH_PROPERTYGET, {});
        std::printf("timer %ld status %ld\n", id.lVal, status.lVal);
        VariantClear(&item);
    }
    std::fflush(stdout);

    point->Unadvise(cookie);
    point->Release();
    container->Release();
    VariantClear(&items);
    VariantClear(&group);
    VariantClear(&groups);
    recordInfo->Release();
    service->Release();
    DestroyWindow(window);
    CoUninitialize();
    return 0;
}
