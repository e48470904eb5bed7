// What self-registration makes reachable, and the DLL's class objects and
// unload answer, seen from a client process.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "com_support.h"

#include <imm.h>

namespace zxcom {
namespace {

struct Coclass {
    std::wstring name;
    CLSID clsid;
    bool canCreate;
};

// The coclasses of the DLL's own type library, by name.
std::map<std::wstring, Coclass> CoclassesOfTheDll() {
    std::map<std::wstring, Coclass> result;
    ComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library));
    if (!library) return result;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TYPEKIND kind = TKIND_MAX;
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        ComPtr<ITypeInfo> info;
        BSTR name = nullptr;
        TYPEATTR* attr = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info)) || FAILED(info->GetTypeAttr(&attr))) continue;
        library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr);
        Coclass entry{name ? name : L"", attr->guid, (attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0};
        info->ReleaseTypeAttr(attr);
        SysFreeString(name);
        result[entry.name] = entry;
    }
    return result;
}

bool IsCreatableName(const std::wstring& name) {
    for (const wchar_t* progId : kCreatableProgIds)
        if (std::wstring(L"Zentrix.") + name == progId) return true;
    return false;
}

// A stand-in controlling unknown for aggregation requests.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = riid == IID_IUnknown ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

std::wstring DefaultInterfaceName(IDispatch* object) {
    ComPtr<ITypeInfo> info;
    BSTR name = nullptr;
    if (FAILED(object->GetTypeInfo(0, 0, &info)) || FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
        return L"";
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    return text;
}

TEST(ComRegistration, EachProgIdCreatesItsClass) {
    for (const wchar_t* progId : kCreatableProgIds) {
        SCOPED_TRACE(testing::Message() << progId);
        CLSID clsid;
        ASSERT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
        ComPtr<IDispatch> object;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)));
        ASSERT_TRUE(object);
        // The object is of the class the ProgID names: its type information
        // is that class's default interface, "_" + class name.
        const std::wstring className = std::wstring(progId).substr(8);
        EXPECT_EQ(L"_" + className, DefaultInterfaceName(object.Get()));
        // ProgIDFromCLSID finds the way back.
        LPOLESTR back = nullptr;
        ASSERT_EQ(S_OK, ProgIDFromCLSID(clsid, &back));
        EXPECT_STREQ(progId, back);
        CoTaskMemFree(back);
    }
}

TEST(ComRegistration, ClassObjectsOnlyForTheCreatableClasses) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(nullptr, dll);
    using GetClassFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClass = reinterpret_cast<GetClassFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_NE(nullptr, getClass);

    auto coclasses = CoclassesOfTheDll();
    ASSERT_EQ(9u, coclasses.size());
    int creatable = 0;
    Outer outer;
    for (const auto& [name, coclass] : coclasses) {
        SCOPED_TRACE(testing::Message() << name.c_str());
        const bool expected = IsCreatableName(name);
        creatable += expected;
        EXPECT_EQ(expected, coclass.canCreate) << "the type library's creatable flag";
        ComPtr<IClassFactory> factory;
        if (!expected) {
            EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClass(coclass.clsid, IID_PPV_ARGS(&factory)));
            EXPECT_FALSE(factory);
            continue;
        }
        ASSERT_EQ(S_OK, getClass(coclass.clsid, IID_PPV_ARGS(&factory)));
        ASSERT_TRUE(factory);
        IUnknown* aggregated = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&aggregated)));
        EXPECT_EQ(nullptr, aggregated);
        ComPtr<IDispatch> object;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
        EXPECT_EQ(L"_" + name, object ? DefaultInterfaceName(object.Get()) : L"");
        // The same refusal through the COM runtime.
        IUnknown* viaCom = nullptr;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(coclass.clsid, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                          reinterpret_cast<void**>(&viaCom)));
        EXPECT_EQ(nullptr, viaCom);
    }
    EXPECT_EQ(4, creatable);

    // {0E7A3B52-6D1C-4F0B-9C57-2B8D9A41C3E6}: no class of the library.
    const CLSID unknown = {0x0e7a3b52, 0x6d1c, 0x4f0b, {0x9c, 0x57, 0x2b, 0x8d, 0x9a, 0x41, 0xc3, 0xe6}};
    IClassFactory* none = reinterpret_cast<IClassFactory*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClass(unknown, IID_IClassFactory, reinterpret_cast<void**>(&none)));
    EXPECT_EQ(nullptr, none);
    // The library stays loaded: the service object created above is still
    // registered in this apartment.
}

TEST(ComRegistration, KeysOfTheCreatableClasses) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(nullptr, dll);
    wchar_t path[MAX_PATH * 2] = {};
    ASSERT_NE(0u, GetModuleFileNameW(dll, path, MAX_PATH * 2));
    FreeLibrary(dll);
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    const std::wstring libid = GuidText(attr->guid);
    library->ReleaseTLibAttr(attr);

    auto coclasses = CoclassesOfTheDll();
    for (const wchar_t* progId : kCreatableProgIds) {
        SCOPED_TRACE(testing::Message() << progId);
        const std::wstring name = std::wstring(progId).substr(8);
        ASSERT_TRUE(coclasses.count(name));
        const std::wstring clsidKey = L"CLSID\\" + GuidText(coclasses[name].clsid);
        std::wstring value;
        ASSERT_TRUE(ReadClassesRootValue(clsidKey + L"\\InprocServer32", nullptr, &value)) << "InprocServer32";
        // Compared as files: the registered spelling may differ in case.
        EXPECT_EQ(0, _wcsicmp(path, value.c_str())) << "registered " << testing::PrintToString(value) << ", loaded "
                                                    << testing::PrintToString(std::wstring(path));
        ASSERT_TRUE(ReadClassesRootValue(clsidKey + L"\\InprocServer32", L"ThreadingModel", &value));
        EXPECT_EQ(L"Apartment", value);
        ASSERT_TRUE(ReadClassesRootValue(clsidKey + L"\\ProgID", nullptr, &value));
        EXPECT_EQ(progId, value);
        ASSERT_TRUE(ReadClassesRootValue(clsidKey + L"\\TypeLib", nullptr, &value));
        EXPECT_EQ(0, _wcsicmp(libid.c_str(), value.c_str())) << testing::PrintToString(value);
        ASSERT_TRUE(ReadClassesRootValue(std::wstring(progId) + L"\\CLSID", nullptr, &value));
        EXPECT_EQ(0, _wcsicmp(GuidText(coclasses[name].clsid).c_str(), value.c_str()));
    }
}

// DllCanUnloadNow in a process that has not used the library: the test
// program runs itself with --unload-probe (main.cpp) and reports its output.
TEST(ComUnload, AnswersOkUntilAnObjectLivesInAFreshProcess) {
    wchar_t self[MAX_PATH * 2] = {};
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, MAX_PATH * 2));
    std::string output;
    int code = RunProcess(L"\"" + std::wstring(self) + L"\" --unload-probe", &output);
    EXPECT_EQ(0, code) << output;
}

TEST(ComUnload, RegisteredServiceObjectKeepsTheLibrary) {
    ComPtr<_clsVxTimeTimerMainA> service;
    ASSERT_EQ(S_OK, CreateService(&service));
    ASSERT_NE(nullptr, GetModuleHandleW(L"zentrix.dll")) << "CoCreateInstance loaded the library";
    EXPECT_EQ(S_FALSE, LoadedDllCanUnloadNow());
    service.Reset();
    EXPECT_EQ(S_FALSE, LoadedDllCanUnloadNow()) << "the apartment's registration still holds the service object";
}

// A window timer the library armed calls back into it even after the last
// object of the library has ended: the library must stay loaded although
// DllCanUnloadNow answers S_OK.
TEST(ComUnload, AnArmedTimerKeepsTheLibraryLoaded) {
    HiddenWindow window;
    {
        Client first;
        ASSERT_TRUE(first.Open(window.Handle()));
        ASSERT_EQ(S_OK, AddTimer(first.items.Get(), 7, 60000, /*repeat=*/true));
        // A second service object replaces the first one's registration; the
        // first one's end then discards the registration and the registry.
        ComPtr<_clsVxTimeTimerMainA> second;
        ASSERT_EQ(S_OK, CreateService(&second));
    }
    ASSERT_NE(nullptr, GetModuleHandleW(L"zentrix.dll"));
    EXPECT_EQ(S_OK, LoadedDllCanUnloadNow()) << "no object of the library is alive";
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_NE(nullptr, GetModuleHandleW(L"zentrix.dll")) << "unloaded with a timer still armed";
    KillTimer(window.Get(), 7);
}

// A thread that ends with monitor windows open: the system destroys its
// windows without telling them, so the library closes them itself and
// their dialog objects end; nothing of the library stays alive.
TEST(ComUnload, MonitorWindowsOfAnEndingThreadAreClosed) {
    HRESULT shown = E_FAIL;
    HWND monitor = nullptr;
    std::thread client([&] {
        if (FAILED(CoInitialize(nullptr))) return;
        {
            ComPtr<_clsVxTimeTimerMainA> service;
            if (SUCCEEDED(CreateService(&service))) monitor = OpenMonitorWindow(service.Get(), &shown);
        }
        CoUninitialize();
    });
    client.join();
    ASSERT_EQ(S_OK, shown);
    EXPECT_NE(nullptr, monitor);
    EXPECT_FALSE(IsWindow(monitor));
    ASSERT_NE(nullptr, GetModuleHandleW(L"zentrix.dll"));
    EXPECT_EQ(S_OK, LoadedDllCanUnloadNow()) << "the monitor window's dialog object is still alive";
}

// A monitor window shows its apartment's registry: it closes as the
// apartment ends (the thread's last CoUninitialize), and nothing of the
// library stays alive on a thread that lives on without COM. (The input
// method keeps COM initialized on a thread once one of its windows has been
// shown, so that the apartment would end only with the thread's windows;
// a host without it, as here, ends the apartment with its own last
// CoUninitialize.)
TEST(ComUnload, MonitorWindowsCloseWithTheirApartment) {
    HRESULT shown = E_FAIL;
    HWND monitor = nullptr;
    BOOL openAfterUninitialize = TRUE;
    HRESULT unloadAfterUninitialize = E_FAIL;
    std::thread client([&] {
        ImmDisableIME(GetCurrentThreadId());
        if (FAILED(CoInitialize(nullptr))) return;
        {
            ComPtr<_clsVxTimeTimerMainA> service;
            if (SUCCEEDED(CreateService(&service))) monitor = OpenMonitorWindow(service.Get(), &shown);
        }
        CoUninitialize();
        openAfterUninitialize = IsWindow(monitor);
        unloadAfterUninitialize = LoadedDllCanUnloadNow();
        Pump(1200);  // a refresh would have come by now
        openAfterUninitialize = openAfterUninitialize || IsWindow(monitor);
    });
    client.join();
    ASSERT_EQ(S_OK, shown);
    ASSERT_NE(nullptr, monitor);
    EXPECT_FALSE(openAfterUninitialize);
    EXPECT_EQ(S_OK, unloadAfterUninitialize) << "a library object outlived its apartment";
}

}  // namespace
}  // namespace zxcom
