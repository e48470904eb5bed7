// After registration (the "registered" fixture runs regsvr32 on the DLL) the
// library is found by its identifier and version, in the DLL, with the same
// types as the DLL's own resource.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

#include <initguid.h>
#include "zentrix.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kDll[] = L"" ZENTRIX_DLL;

std::wstring typeName(ITypeLib* lib, UINT index) {
    BSTR name = nullptr;
    EXPECT_EQ(S_OK, lib->GetDocumentation(static_cast<INT>(index), &name, nullptr, nullptr, nullptr));
    std::wstring r = name ? name : L"";
    SysFreeString(name);
    return r;
}

TEST(RegisteredLibrary, IsTheDllsLibrary) {
    BSTR path = nullptr;
    ASSERT_EQ(S_OK, QueryPathOfRegTypeLib(LIBID_Zentrix, 1, 0, LOCALE_NEUTRAL, &path));
    const std::wstring registered = path;
    SysFreeString(path);
    ASSERT_GE(registered.size(), 12u);
    EXPECT_EQ(0, _wcsicmp(registered.substr(registered.size() - 12).c_str(), L"\\zentrix.dll")) << registered.c_str();

    ComPtr<ITypeLib> byId, fromDll;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_Zentrix, 1, 0, LOCALE_NEUTRAL, &byId));
    ASSERT_EQ(S_OK, LoadTypeLibEx(kDll, REGKIND_NONE, &fromDll));
    ASSERT_EQ(23u, byId->GetTypeInfoCount());
    ASSERT_EQ(fromDll->GetTypeInfoCount(), byId->GetTypeInfoCount());
    for (UINT i = 0; i < byId->GetTypeInfoCount(); ++i) {
        EXPECT_EQ(typeName(fromDll.Get(), i), typeName(byId.Get(), i)) << i;
        TYPEKIND a = TKIND_MAX, b = TKIND_MAX;
        EXPECT_EQ(S_OK, fromDll->GetTypeInfoType(i, &a));
        EXPECT_EQ(S_OK, byId->GetTypeInfoType(i, &b));
        EXPECT_EQ(a, b) << i;
    }
    // The host runtime library is registered with it, so the component
    // library's import resolves for any client.
    ComPtr<ITypeLib> runtime;
    EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_ZentrixRuntime, 1, 0, LOCALE_NEUTRAL, &runtime));
}

}  // namespace
