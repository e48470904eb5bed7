// Self-registration into a scratch classes root, with type-library functions
// that record what they are asked and fail on demand.
#include <gtest/gtest.h>
#include <olectl.h>

#include <vector>

#include "com/owned.h"
#include "com/type_library.h"
#include "component/registration.h"
#include "zentrix.h"

namespace zx::test {
namespace {

std::vector<GUID> g_unregistered;
GUID g_refused = GUID_NULL;

HRESULT WINAPI RegisterNothing(ITypeLib*, LPOLESTR, LPOLESTR) { return S_OK; }

HRESULT WINAPI RecordUnregistration(REFGUID library, WORD, WORD, LCID, SYSKIND) {
    g_unregistered.push_back(library);
    return library == g_refused ? E_ACCESSDENIED : S_OK;
}

// The identifier of the library that describes the service object.
GUID ComponentLibraryGuid() {
    ITypeInfo* info = TypeInfoOf(IID__clsVxTimeTimerMainA);
    ComPtr<ITypeLib> library;
    UINT index = 0;
    TLIBATTR* attr = nullptr;
    GUID guid = GUID_NULL;
    if (info && SUCCEEDED(info->GetContainingTypeLib(&library, &index)) && SUCCEEDED(library->GetLibAttr(&attr))) {
        guid = attr->guid;
        library->ReleaseTLibAttr(attr);
    }
    return guid;
}

class RegistrationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &root, nullptr));
        g_unregistered.clear();
        g_refused = GUID_NULL;
    }
    void TearDown() override {
        RegCloseKey(root);
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }
    static constexpr const wchar_t* kScratch = L"Software\\ZentrixUnitTest\\Classes";
    HKEY root = nullptr;
};

// A type library that fails to unregister does not keep the other one
// registered: both are asked, and the failure is reported.
TEST_F(RegistrationTest, UnregistrationTriesBothTypeLibraries) {
    const RegistrationTarget target{root, RegisterNothing, RecordUnregistration};
    ASSERT_EQ(S_OK, RegisterComponent(target));
    const GUID component = ComponentLibraryGuid();
    ASSERT_NE(GUID_NULL, component);

    ASSERT_EQ(S_OK, UnregisterComponent(target));
    ASSERT_EQ(2u, g_unregistered.size());
    EXPECT_EQ(component, g_unregistered[0]);
    const GUID runtime = g_unregistered[1];
    EXPECT_NE(component, runtime);

    for (const GUID& refused : {component, runtime}) {
        ASSERT_EQ(S_OK, RegisterComponent(target));
        g_unregistered.clear();
        g_refused = refused;
        EXPECT_EQ(SELFREG_E_TYPELIB, UnregisterComponent(target));
        EXPECT_EQ((std::vector<GUID>{component, runtime}), g_unregistered);
    }
}

}  // namespace
}  // namespace zx::test
