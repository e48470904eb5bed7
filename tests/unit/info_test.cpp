// The information class, the member-less classes and the event relay.
#include <olectl.h>

#include <thread>

#include "component/info_object.h"
#include "platform/this_module.h"
#include "service/event_relay.h"
#include "test_support.h"

namespace zx::test {
namespace {

// A stand-in for one Kernite class: answers one method by name and records
// the arguments of every call. Its ProgID is registered for this process's
// class object while a test runs.
class KerniteStandIn final : public IDispatch, public IClassFactory {
public:
    KerniteStandIn(const wchar_t* progId, const wchar_t* method, REFCLSID clsid)
        : progId_(progId), method_(method), clsid_(clsid) {}
    ~KerniteStandIn() { Unregister(); }

    void Register() {
        std::wstring key = progId_ + L"\\CLSID";
        wchar_t text[40];
        StringFromGUID2(clsid_, text, 40);
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, text,
                        static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
        ASSERT_EQ(S_OK, CoRegisterClassObject(clsid_, static_cast<IClassFactory*>(this), CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &cookie_));
    }
    void Unregister() {
        if (cookie_) CoRevokeClassObject(cookie_);
        cookie_ = 0;
        RegDeleteTreeW(HKEY_CLASSES_ROOT, progId_.c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, progId_.c_str());
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        else if (riid == IID_IClassFactory) *out = static_cast<IClassFactory*>(this);
        else *out = nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], method_.c_str()) != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = 1;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        std::vector<std::wstring> call;
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT& arg = params->rgvarg[i];
            Variant text;
            if (arg.vt == (VT_DISPATCH | VT_BYREF) || arg.vt == VT_DISPATCH) {
                IDispatch* object = arg.vt == VT_DISPATCH ? arg.pdispVal : *arg.ppdispVal;
                objects.push_back(object);
                call.push_back(arg.vt == VT_DISPATCH ? L"object" : L"object ref");
            } else if (arg.vt == VT_ERROR) {
                call.push_back(arg.scode == DISP_E_PARAMNOTFOUND ? L"missing" : L"error");
            } else if (SUCCEEDED(VariantChangeType(text.Get(), &arg, 0, VT_BSTR))) {
                call.push_back(std::wstring(text->bstrVal ? text->bstrVal : L"") +
                               ((arg.vt & VT_BYREF) ? L" ref" : L""));
            }
        }
        calls.push_back(call);
        if (replaceArguments) {
            // As a Basic callee assigning to its ByRef parameters: the old
            // value is freed or released first.
            for (UINT i = 0; i < params->cArgs; ++i) {
                VARIANT& arg = params->rgvarg[i];
                if (arg.vt == (VT_BSTR | VT_BYREF)) {
                    SysFreeString(*arg.pbstrVal);
                    *arg.pbstrVal = SysAllocString(L"replaced");
                } else if (arg.vt == (VT_DISPATCH | VT_BYREF) && *arg.ppdispVal) {
                    (*arg.ppdispVal)->Release();
                    *arg.ppdispVal = nullptr;
                }
            }
        }
        return S_OK;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return QueryInterface(riid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    std::vector<std::vector<std::wstring>> calls;
    std::vector<ComPtr<IDispatch>> objects;  // objects received, held for inspection
    bool replaceArguments = false;           // assigns to every by-reference argument

private:
    std::wstring progId_, method_;
    CLSID clsid_;
    DWORD cookie_ = 0;
};

const CLSID kAboutStandIn = {0x5d1e0001, 0x2b7c, 0x4c1a, {0x9e, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, 0x01}};
const CLSID kHandlerStandIn = {0x5d1e0002, 0x2b7c, 0x4c1a, {0x9e, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02}};

class InfoTest : public ComponentTest {
protected:
    void TearDown() override {
        about.Unregister();
        handler.Unregister();
        about.objects.clear();
        handler.objects.clear();
        ComponentTest::TearDown();
    }
    LONG Number(IDispatch* object) { return GetLong(object, L"Number"); }

    RecordingSink sink{DIID___clsVxTimeTimerMainA};
    KerniteStandIn about{L"VxKernite.clsVxKerniteA", L"AppAboutVxkn", kAboutStandIn};
    KerniteStandIn handler{L"VxKernite.clsVxknErrorHandlerA", L"ErrorHandlerMessageVx", kHandlerStandIn};
};

TEST_F(InfoTest, AboutHandsKerniteTheApplicationInformation) {
    about.Register();
    handler.Register();
    ComPtr<InfoObject> info = InfoObject::Create();
    LONG result = -1;
    ASSERT_EQ(S_OK, info->About(&result));
    EXPECT_EQ(0, result);
    ASSERT_EQ(1u, about.calls.size());
    EXPECT_EQ(std::vector<std::wstring>{L"object"}, about.calls[0]);
    EXPECT_TRUE(handler.calls.empty());
    IDispatch* appInfo = about.objects[0].Get();
    EXPECT_EQ(1, GetLong(appInfo, L"Major"));
    EXPECT_EQ(0, GetLong(appInfo, L"Minor"));
    EXPECT_EQ(126, GetLong(appInfo, L"Revision"));
    EXPECT_EQ(L"Zentrix", GetString(appInfo, L"ProductName"));
    EXPECT_FALSE(GetString(appInfo, L"Path").empty());
    EXPECT_FALSE(GetString(appInfo, L"EXEName").empty());
}

TEST_F(InfoTest, EachFailedStepIsReportedAndAboutCarriesOn) {
    handler.Register();
    ComPtr<InfoObject> info = InfoObject::Create();
    LONG result = -1;
    ASSERT_EQ(S_OK, info->About(&result));
    EXPECT_EQ(0, result);
    ASSERT_EQ(2u, handler.calls.size());
    for (const auto& call : handler.calls) {
        EXPECT_EQ((std::vector<std::wstring>{L"object ref", L"object ref", L" ref", L"basVxknCommonA.AppAboutVxkn_Pro ref",
                                             L"0 ref", L" ref", L"0 ref", L"missing"}),
                  call);
    }
    // Objects arrive as (application information, error) pairs.
    ASSERT_EQ(4u, handler.objects.size());
    EXPECT_EQ(429, Number(handler.objects[1].Get()));  // the creation failed
    EXPECT_EQ(91, Number(handler.objects[3].Get()));   // so the call had no object
    EXPECT_EQ(126, GetLong(handler.objects[0].Get(), L"Revision"));
}

// A handler that assigns to its by-reference arguments frees or releases
// what they held: nothing may be freed twice, nothing may leak (the fixture
// checks that no object is left alive).
TEST_F(InfoTest, AReportHandlerMayReplaceItsArguments) {
    handler.Register();
    handler.replaceArguments = true;
    ComPtr<InfoObject> info = InfoObject::Create();
    LONG result = -1;
    ASSERT_EQ(S_OK, info->About(&result));
    ASSERT_EQ(2u, handler.calls.size());
    ASSERT_EQ(4u, handler.objects.size());
    EXPECT_EQ(126, GetLong(handler.objects[2].Get(), L"Revision"));  // still alive for the second report
    EXPECT_EQ(91, Number(handler.objects[3].Get()));
}

TEST_F(InfoTest, AboutFailsOnlyWhenTheReportFails) {
    ComPtr<InfoObject> info = InfoObject::Create();
    LONG result = -1;
    EXPECT_EQ(static_cast<HRESULT>(0x800A01AD), info->About(&result));  // 429
    CallResult late;
    Call(info.Get(), L"About", DISPATCH_METHOD, {}, late);
    EXPECT_EQ(DISP_E_EXCEPTION, late.hr);
    EXPECT_EQ(static_cast<SCODE>(0x800A01AD), late.exception.scode);
}

BOOL CALLBACK AnyResourceName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR) { return TRUE; }

TEST_F(InfoTest, ResourcesOfTheModule) {
    ComPtr<InfoObject> info = InfoObject::Create();
    LONG id = 1;
    Bstr text;
    EXPECT_EQ(static_cast<HRESULT>(0x800A0146), info->get_GetProResStrings(&id, text.Put()));  // 326
    // The module has no string table, so an identifier that the string
    // loader cuts down to 16 bits (65537 to 1, -1 to 65535) names nothing
    // either: should strings be added, these must keep failing.
    EXPECT_FALSE(EnumResourceNamesW(ThisModule(), RT_STRING, AnyResourceName, 0)) << "no string table";
    for (LONG beyond : {65537L, 65536L + 16, -1L, -65535L}) {
        LONG request = beyond;
        EXPECT_EQ(static_cast<HRESULT>(0x800A0146), info->get_GetProResStrings(&request, text.Put())) << beyond;
        EXPECT_EQ(nullptr, text.Get());
    }
    ResourceKindConstants kind = resKindIcon;
    ComPtr<IPictureDisp> picture;
    EXPECT_EQ(static_cast<HRESULT>(0x800A0146), info->get_GetProResPicture(&id, &kind, &picture));
    kind = static_cast<ResourceKindConstants>(70000);
    EXPECT_EQ(static_cast<HRESULT>(0x800A0006), info->get_GetProResPicture(&id, &kind, &picture));

    VARIANT type = Text(L"TYPELIB");
    CallResult bytes;
    Call(info.Get(), L"GetProResData", DISPATCH_PROPERTYGET, {Long(1), type}, bytes);
    ASSERT_EQ(S_OK, bytes.hr);
    ASSERT_EQ(VT_ARRAY | VT_UI1, bytes.value->vt);
    const char* data = nullptr;
    SafeArrayAccessData(bytes.value->parray, reinterpret_cast<void**>(const_cast<char**>(&data)));
    EXPECT_EQ(0, memcmp(data, "MSFT", 4));  // a type library
    SafeArrayUnaccessData(bytes.value->parray);
    // Missing identifiers, and numbers that only name a resource once cut
    // down to 16 bits (65537 and 1 + 16 * 65536 as identifiers; 65552 as
    // the type, which would read as the version block's type 16).
    const VARIANT versionType = Long(65552);
    const struct {
        LONG id;
        VARIANT type;
    } absent[] = {{99, type}, {65537, type}, {-65535, type}, {1, versionType}};
    for (const auto& request : absent) {
        SCOPED_TRACE(testing::Message() << "identifier " << request.id);
        CallResult missing;
        Call(info.Get(), L"GetProResData", DISPATCH_PROPERTYGET, {Long(request.id), request.type}, missing);
        EXPECT_EQ(DISP_E_EXCEPTION, missing.hr);
        EXPECT_EQ(static_cast<SCODE>(0x800A0146), missing.exception.scode);
    }
    SysFreeString(type.bstrVal);
}

TEST_F(InfoTest, TickCountIsThePlatformsAsSigned) {
    ComPtr<InfoObject> info = InfoObject::Create();
    platform.ticks = 0xFFFFFFFFu;
    EXPECT_EQ(-1, GetLong(info.Get(), L"GetTickCountTime"));
}

TEST_F(InfoTest, BuddyObjectGlobalIsOnePerThread) {
    ComPtr<InfoObject> first = InfoObject::Create();
    ComPtr<InfoObject> second = InfoObject::Create();
    RecordingSink object(IID_IDispatch);
    first->putref_BuddyObjectGlobal(&object);
    ComPtr<IDispatch> seen;
    second->get_BuddyObjectGlobal(&seen);
    EXPECT_EQ(&object, seen.Get());
    IDispatch* elsewhere = &object;
    std::thread other([&] {
        CoInitialize(nullptr);
        ComPtr<InfoObject> theirs = InfoObject::Create();
        ComPtr<IDispatch> theirSlot;
        theirs->get_BuddyObjectGlobal(&theirSlot);
        elsewhere = theirSlot.Get();
        theirs.Reset();
        DiscardApartment();
        CoUninitialize();
    });
    other.join();
    EXPECT_EQ(nullptr, elsewhere);
    second->putref_BuddyObjectGlobal(nullptr);
    first->get_BuddyObjectGlobal(&seen);
    EXPECT_EQ(nullptr, seen.Get());
    seen.Reset();
}

TEST_F(InfoTest, RelayEmptiesTheRegistryAndStaysSilent) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    ComPtr<EventRelay> relay = EventRelay::Create();
    LONG count = -1;
    Groups()->Count(&count);
    EXPECT_EQ(0, count);

    RecordingSink relaySink(DIID___clsVxTimeTimerEventsA);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, relay->QueryInterface(IID_PPV_ARGS(&container)));
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___clsVxTimeTimerEventsA, &point));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&relaySink, &cookie));
    ComPtr<_clsVxTimeTimerItemsA> more = AddGroup(200);
    ASSERT_EQ(S_OK, AddTimer(more.Get(), 2, 10));
    platform.insideMessageBox = nullptr;
    platform.Tick(100, 1);  // now unregistered: "Invalid Handle", then the service object notifies
    EXPECT_TRUE(relaySink.calls.empty());
    EXPECT_EQ((std::vector<std::wstring>{L"Invalid Handle"}), platform.messageBoxes);
    // The service object is still the registered one and notifies.
    EXPECT_EQ(service.Get(), Apartment().gTimerMain.Get());
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_EQ(L"OnTimerElapse", sink.calls.back().name);
    EXPECT_EQ(1, sink.calls.back().timerId);
    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));

    RecordingSink buddy(IID_IDispatch, true);
    relay->putref_BuddyObject(&buddy);
    ComPtr<IDispatch> stored;
    relay->get_BuddyObject(&stored);
    EXPECT_EQ(&buddy, stored.Get());
    stored.Reset();
    relay->putref_BuddyObject(nullptr);
    EXPECT_EQ(1u, buddy.references);
}

TEST_F(InfoTest, MemberlessClassesLeaveTheRegistryAlone) {
    ComPtr<TimerService> service = NewService();
    AddGroup(100);
    auto general = MemberlessObject<_clsVxTimeGeneralA>::Create();
    auto advanced = MemberlessObject<_clsVxTimeAdvancedA>::Create();
    LONG count = -1;
    Groups()->Count(&count);
    EXPECT_EQ(1, count);
    CallResult none;
    CallById(general.Get(), 0x60030001, DISPATCH_METHOD, {}, none);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, none.hr);
}

}  // namespace
}  // namespace zx::test
