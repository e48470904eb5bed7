// Unregistering with regsvr32 /u removes what registration wrote, and
// registering again restores it. The test runs alone (RUN_SERIAL): while it
// runs, the classes cannot be created by name.
#include <gtest/gtest.h>

#include <string>

#include "com_support.h"

namespace zxcom {
namespace {

const CLSID* const kCreatableClsids[4] = {&CLSID_clsVxTimeTimerMainA, &CLSID_clsVxTimeTimerEventsA,
                                          &CLSID_clsVxTimeGeneralA, &CLSID_clsVxTimeAdvancedA};

int Regsvr32(const std::wstring& arguments, std::string* output) {
    return RunProcess(L"regsvr32.exe " + arguments, output);
}

// Registers the DLL again when the test ends, whatever happened in between.
class Reregister {
public:
    explicit Reregister(std::wstring path) : path_(std::move(path)) {}
    ~Reregister() {
        std::string output;
        if (!done_) Regsvr32(L"/s \"" + path_ + L"\"", &output);
    }
    void Done() { done_ = true; }

private:
    std::wstring path_;
    bool done_ = false;
};

void ExpectRegistered(bool registered) {
    for (int i = 0; i < 4; ++i) {
        const wchar_t* progId = kCreatableProgIds[i];
        SCOPED_TRACE(testing::Message() << progId << (registered ? " registered" : " unregistered"));
        const std::wstring clsidKey = L"CLSID\\" + GuidText(*kCreatableClsids[i]);
        EXPECT_EQ(registered, ClassesRootKeyExists(clsidKey));
        EXPECT_EQ(registered, ClassesRootKeyExists(progId));
        CLSID clsid = GUID_NULL;
        HRESULT byName = CLSIDFromProgID(progId, &clsid);
        ComPtr<IDispatch> object;
        HRESULT byClsid = CoCreateInstance(*kCreatableClsids[i], nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
        if (registered) {
            EXPECT_EQ(S_OK, byName);
            EXPECT_EQ(*kCreatableClsids[i], clsid);
            EXPECT_EQ(S_OK, byClsid);
        } else {
            EXPECT_TRUE(FAILED(byName)) << std::hex << byName;
            EXPECT_EQ(REGDB_E_CLASSNOTREG, byClsid);
        }
    }
    BSTR path = nullptr;
    HRESULT library = QueryPathOfRegTypeLib(LIBID_Zentrix, 1, 0, LOCALE_NEUTRAL, &path);
    SysFreeString(path);
    if (registered) EXPECT_EQ(S_OK, library) << "type library";
    else EXPECT_TRUE(FAILED(library)) << "type library still registered";
}

TEST(ComReregister, UnregisterRemovesAndRegisterRestores) {
    // The path exactly as registration stored it.
    std::wstring path;
    ASSERT_TRUE(ReadClassesRootValue(L"CLSID\\" + GuidText(CLSID_clsVxTimeTimerMainA) + L"\\InprocServer32", nullptr,
                                     &path));
    Reregister restore(path);

    std::string output;
    ASSERT_EQ(0, Regsvr32(L"/u /s \"" + path + L"\"", &output)) << output;
    ExpectRegistered(false);

    ASSERT_EQ(0, Regsvr32(L"/s \"" + path + L"\"", &output)) << output;
    restore.Done();
    ExpectRegistered(true);
}

}  // namespace
}  // namespace zxcom
