// Installation without the machine-wide registration, in a Wine prefix of
// its own where the DLL was never registered: registration for the current
// user through DllInstall (regsvr32 /n /i:user) and its removal, and
// registration-free use through the side-by-side manifest next to the DLL.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "com_support.h"

namespace zxcom {
namespace {

const CLSID* const kCreatableClsids[4] = {&CLSID_clsVxTimeTimerMainA, &CLSID_clsVxTimeTimerEventsA,
                                          &CLSID_clsVxTimeGeneralA, &CLSID_clsVxTimeAdvancedA};

// Every interface the type library registers for marshalling.
const IID* const kMarshalledInterfaces[] = {
    &IID__clsVxZentrixA,        &IID__clsVxTimeTimerItemsA, &IID__clsVxTimeTimerItemA,
    &IID__clsVxTimeTimerGroupsA, &IID__clsVxTimeTimerGroupA, &IID__clsVxTimeTimerEventsA,
    &IID__clsVxTimeTimerMainA,  &IID__clsVxTimeGeneralA,    &IID__clsVxTimeAdvancedA,
    &DIID___clsVxTimeTimerEventsA, &DIID___clsVxTimeTimerMainA,
};

std::wstring ManifestPath() { return L"" ZENTRIX_MANIFEST; }

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

bool ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring* value) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return false;
    *value = buffer;
    return true;
}

const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kMachineClasses = L"Software\\Classes\\";

int Regsvr32(const std::wstring& switches, std::string* output) {
    return RunProcess(L"regsvr32.exe " + switches + L" \"" + DllPath() + L"\"", output);
}

// The keys a registration writes for the classes, the libraries and the
// marshalled interfaces, relative to a classes root.
std::vector<std::wstring> RegistrationKeys() {
    std::vector<std::wstring> keys;
    for (int i = 0; i < 4; ++i) {
        keys.push_back(L"CLSID\\" + GuidText(*kCreatableClsids[i]));
        keys.push_back(kCreatableProgIds[i]);
    }
    keys.push_back(L"TypeLib\\" + GuidText(LIBID_Zentrix));
    keys.push_back(L"TypeLib\\" + GuidText(LIBID_ZentrixRuntime));
    for (const IID* iid : kMarshalledInterfaces) keys.push_back(L"Interface\\" + GuidText(*iid));
    return keys;
}

// Reads a property of the object through its dispatch interface, the way a
// late-bound client does.
HRESULT GetProperty(IDispatch* object, const wchar_t* name, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
}

const IID* const kDefaultInterfaces[4] = {&IID__clsVxTimeTimerMainA, &IID__clsVxTimeTimerEventsA,
                                           &IID__clsVxTimeGeneralA, &IID__clsVxTimeAdvancedA};

// Creates each class by ProgID and by class identifier, checking that each
// object is of its class (it answers for the class's default interface),
// and uses a service object: its window-group collection starts empty.
// Inside an activation context a ProgID may resolve to an alias of the class
// identifier that only the context knows, so `exactClsid` is optional.
void ExpectUsable(bool exactClsid) {
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << kCreatableProgIds[i]);
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, CLSIDFromProgID(kCreatableProgIds[i], &clsid));
        if (exactClsid) {
            EXPECT_EQ(*kCreatableClsids[i], clsid);
        }
        ComPtr<IUnknown> byProgId;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, *kDefaultInterfaces[i],
                                         reinterpret_cast<void**>(byProgId.GetAddressOf())));
        ComPtr<IUnknown> byClsid;
        EXPECT_EQ(S_OK, CoCreateInstance(*kCreatableClsids[i], nullptr, CLSCTX_INPROC_SERVER, *kDefaultInterfaces[i],
                                         reinterpret_cast<void**>(byClsid.GetAddressOf())));
    }
    ComPtr<_clsVxTimeTimerMainA> service;
    ASSERT_EQ(S_OK, CreateService(&service));
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    ASSERT_EQ(S_OK, service->get_TimerGroups(&groups));
    EXPECT_EQ(0, CountOf(groups.Get()));
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(S_OK, GetProperty(service.Get(), L"TimerGroups", &value));
    EXPECT_EQ(VT_DISPATCH, value.vt);
    VariantClear(&value);
}

void ExpectNotCreatable() {
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << kCreatableProgIds[i]);
        CLSID clsid = GUID_NULL;
        EXPECT_TRUE(FAILED(CLSIDFromProgID(kCreatableProgIds[i], &clsid)));
        ComPtr<IDispatch> object;
        EXPECT_EQ(REGDB_E_CLASSNOTREG,
                  CoCreateInstance(*kCreatableClsids[i], nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)));
    }
}

bool LibraryRegistered() {
    BSTR path = nullptr;
    HRESULT hr = QueryPathOfRegTypeLib(LIBID_Zentrix, 1, 0, LOCALE_NEUTRAL, &path);
    SysFreeString(path);
    return SUCCEEDED(hr);
}

// This prefix never sees the machine-wide registration, and a run that
// stopped half-way must not leave a per-user one for the next run.
class CleanPrefix : public testing::Test {
protected:
    void SetUp() override {
        std::string output;
        Regsvr32(L"/s /u /n /i:user", &output);
        for (const std::wstring& key : RegistrationKeys()) {
            ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + key)) << "registered machine-wide: " << key;
            ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + key)) << "registered for the user: " << key;
        }
    }
};

using PerUser = CleanPrefix;

// On Windows a COM client reads the user's classes laid over the machine's.
// Wine 8 reads only the machine's: its COM runtime never finds a per-user
// class. This test resolves the user's registration the way the COM runtime
// does for an in-process server instead: ProgID to class identifier, class
// identifier to the server's path, then the server's class factory.
HRESULT CreateThroughUserRegistration(const wchar_t* progId, REFIID riid, ComPtr<IUnknown>* out) {
    std::wstring text;
    if (!ReadValue(HKEY_CURRENT_USER, kUserClasses + progId + L"\\CLSID", nullptr, &text)) return REGDB_E_CLASSNOTREG;
    CLSID clsid = GUID_NULL;
    if (FAILED(CLSIDFromString(text.c_str(), &clsid))) return REGDB_E_CLASSNOTREG;
    const std::wstring server = kUserClasses + L"CLSID\\" + text + L"\\InprocServer32";
    std::wstring path, model;
    if (!ReadValue(HKEY_CURRENT_USER, server, nullptr, &path)) return REGDB_E_CLASSNOTREG;
    if (!ReadValue(HKEY_CURRENT_USER, server, L"ThreadingModel", &model) || model != L"Apartment") return E_UNEXPECTED;
    HMODULE dll = LoadLibraryW(path.c_str());
    if (!dll) return HRESULT_FROM_WIN32(GetLastError());
    using GetClassFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClass = reinterpret_cast<GetClassFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    HRESULT hr = E_FAIL;
    if (getClass) {
        ComPtr<IClassFactory> factory;
        hr = getClass(clsid, IID_PPV_ARGS(&factory));
        if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, riid, reinterpret_cast<void**>(out->GetAddressOf()));
    }
    // Left loaded, as the COM runtime leaves a server it loaded: the objects
    // made here may outlive this call.
    return hr;
}

// The type library functions of oleaut32 read the classes root of the
// process, which can be pointed at the user's classes.
class UserClassesAsClassesRoot {
public:
    UserClassesAsClassesRoot() {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ, &classes_) != ERROR_SUCCESS) return;
        overridden_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_) == ERROR_SUCCESS;
    }
    ~UserClassesAsClassesRoot() {
        if (overridden_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        if (classes_) RegCloseKey(classes_);
    }
    UserClassesAsClassesRoot(const UserClassesAsClassesRoot&) = delete;
    UserClassesAsClassesRoot& operator=(const UserClassesAsClassesRoot&) = delete;
    bool Active() const { return overridden_; }

private:
    HKEY classes_ = nullptr;
    bool overridden_ = false;
};

TEST_F(PerUser, RegisterForUserThenUnregisterLeavesNothing) {
    ExpectNotCreatable();

    std::string output;
    ASSERT_EQ(0, Regsvr32(L"/s /n /i:user", &output)) << output;

    // The same keys as the machine-wide registration, under the user's classes only.
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << kCreatableProgIds[i]);
        const std::wstring clsid = GuidText(*kCreatableClsids[i]);
        const std::wstring clsidKey = kUserClasses + L"CLSID\\" + clsid;
        std::wstring value;
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, clsidKey + L"\\InprocServer32", nullptr, &value));
        EXPECT_NE(std::wstring::npos, value.find(L"zentrix.dll")) << std::string(value.begin(), value.end());
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, clsidKey + L"\\InprocServer32", L"ThreadingModel", &value));
        EXPECT_EQ(L"Apartment", value);
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, clsidKey + L"\\ProgID", nullptr, &value));
        EXPECT_EQ(kCreatableProgIds[i], value);
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, clsidKey + L"\\TypeLib", nullptr, &value));
        EXPECT_EQ(GuidText(LIBID_Zentrix), value);
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kUserClasses + kCreatableProgIds[i] + L"\\CLSID", nullptr, &value));
        EXPECT_EQ(clsid, value);
    }
    for (const std::wstring& key : RegistrationKeys()) {
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUserClasses + key)) << "missing for the user: " << key;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + key)) << "written machine-wide: " << key;
    }
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << kCreatableProgIds[i]);
        ComPtr<IUnknown> object;
        EXPECT_EQ(S_OK, CreateThroughUserRegistration(kCreatableProgIds[i], *kDefaultInterfaces[i], &object));
    }
    {
        UserClassesAsClassesRoot view;
        ASSERT_TRUE(view.Active());
        EXPECT_TRUE(LibraryRegistered());
        ComPtr<ITypeLib> library;
        EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_Zentrix, 1, 0, LOCALE_NEUTRAL, &library));
    }

    ASSERT_EQ(0, Regsvr32(L"/s /u /n /i:user", &output)) << output;
    ExpectNotCreatable();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << kCreatableProgIds[i]);
        ComPtr<IUnknown> object;
        EXPECT_EQ(REGDB_E_CLASSNOTREG,
                  CreateThroughUserRegistration(kCreatableProgIds[i], *kDefaultInterfaces[i], &object));
    }
    {
        UserClassesAsClassesRoot view;
        ASSERT_TRUE(view.Active());
        EXPECT_FALSE(LibraryRegistered());
    }
    for (const std::wstring& key : RegistrationKeys()) {
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + key)) << "left behind: " << key;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + key)) << "written machine-wide: " << key;
    }
}

TEST_F(PerUser, OtherCommandLinesAreRefused) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(nullptr, dll);
    using InstallFn = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    auto install = reinterpret_cast<InstallFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
    ASSERT_NE(nullptr, install);
    for (const wchar_t* line : {L"", L"machine", L"users", L" user", L"user "}) {
        SCOPED_TRACE(testing::Message() << "command line \"" << std::string(line, line + wcslen(line)) << "\"");
        EXPECT_EQ(E_INVALIDARG, install(TRUE, line));
        EXPECT_EQ(E_INVALIDARG, install(FALSE, line));
    }
    EXPECT_EQ(E_INVALIDARG, install(TRUE, nullptr));
    EXPECT_EQ(E_INVALIDARG, install(FALSE, nullptr));
    for (const std::wstring& key : RegistrationKeys()) {
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + key)) << "written for the user: " << key;
    }
    std::string output;
    EXPECT_NE(0, Regsvr32(L"/s /n /i:machine", &output));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + L"CLSID\\" + GuidText(CLSID_clsVxTimeTimerMainA)));
    FreeLibrary(dll);
}

// An activation context made from the manifest, active while it exists.
class ActiveManifest {
public:
    explicit ActiveManifest(const std::wstring& path) {
        ACTCTXW context{};
        context.cbSize = sizeof context;
        context.lpSource = path.c_str();
        handle_ = CreateActCtxW(&context);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error_ = GetLastError();
            return;
        }
        if (!ActivateActCtx(handle_, &cookie_)) error_ = GetLastError();
    }
    ~ActiveManifest() {
        Deactivate();
        if (handle_ != INVALID_HANDLE_VALUE) ReleaseActCtx(handle_);
    }
    ActiveManifest(const ActiveManifest&) = delete;
    ActiveManifest& operator=(const ActiveManifest&) = delete;
    DWORD Error() const { return error_; }
    void Deactivate() {
        if (cookie_) DeactivateActCtx(0, cookie_);
        cookie_ = 0;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    DWORD error_ = 0;
};

using RegistrationFree = CleanPrefix;

// The type that GetProResPicture's second parameter refers to, resolved from
// the component library the way a browsing client or the automation
// marshaller resolves it; its containing library's identifier is returned.
HRESULT ResolveResourceKind(ITypeLib* library, GUID* containing) {
    ComPtr<ITypeInfo> info;
    HRESULT hr = library->GetTypeInfoOfGuid(IID__clsVxZentrixA, &info);
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    if (FAILED(hr = info->GetTypeAttr(&attr))) return hr;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    HREFTYPE kind = 0;
    bool found = false;
    for (WORD i = 0; i < functions && !found; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(hr = info->GetFuncDesc(i, &function))) return hr;
        if (function->memid == 0x68030002 && function->cParams == 2) {
            const TYPEDESC& param = function->lprgelemdescParam[1].tdesc;
            if (param.vt == VT_PTR && param.lptdesc->vt == VT_USERDEFINED) {
                kind = param.lptdesc->hreftype;
                found = true;
            }
        }
        info->ReleaseFuncDesc(function);
    }
    if (!found) return E_UNEXPECTED;
    ComPtr<ITypeInfo> referenced;
    if (FAILED(hr = info->GetRefTypeInfo(kind, &referenced))) return hr;
    ComPtr<ITypeLib> owner;
    UINT index = 0;
    if (FAILED(hr = referenced->GetContainingTypeLib(&owner, &index))) return hr;
    TLIBATTR* libAttr = nullptr;
    if (FAILED(hr = owner->GetLibAttr(&libAttr))) return hr;
    *containing = libAttr->guid;
    owner->ReleaseTLibAttr(libAttr);
    return S_OK;
}

TEST_F(RegistrationFree, ManifestMakesClassesAndLibraryReachable) {
    ExpectNotCreatable();
    ASSERT_FALSE(LibraryRegistered());
    {
        ActiveManifest manifest(ManifestPath());
        ASSERT_EQ(0u, manifest.Error()) << "activation context from the manifest";
        ExpectUsable(false);

        // The type library is found through the context, from the DLL itself.
        ComPtr<ITypeLib> library;
        ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_Zentrix, 1, 0, LOCALE_NEUTRAL, &library));
        TLIBATTR* attr = nullptr;
        ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
        EXPECT_EQ(LIBID_Zentrix, attr->guid);
        library->ReleaseTLibAttr(attr);
        // So is the runtime library it imports.
        GUID containing = GUID_NULL;
        EXPECT_EQ(S_OK, ResolveResourceKind(library.Get(), &containing));
        EXPECT_EQ(LIBID_ZentrixRuntime, containing);
        ComPtr<ITypeLib> runtime;
        EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_ZentrixRuntime, 1, 0, LOCALE_NEUTRAL, &runtime));

        // Only the four creatable classes are published.
        CLSID clsid = GUID_NULL;
        EXPECT_TRUE(FAILED(CLSIDFromProgID(L"Zentrix.clsVxTimeTimerGroupA", &clsid)));
        ComPtr<IDispatch> object;
        EXPECT_NE(S_OK, CoCreateInstance(CLSID_clsVxTimeTimerGroupA, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&object)));

        manifest.Deactivate();
        ExpectNotCreatable();
    }
    // Nothing was written anywhere.
    for (const std::wstring& key : RegistrationKeys()) {
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + key)) << key;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + key)) << key;
    }
}

// A client's own manifest that names the assembly, in the folder that holds
// the DLL and its manifest (an application's folder, where Windows probes
// for the assemblies an application depends on).
TEST_F(RegistrationFree, ClientManifestDependencyFindsTheAssembly) {
    std::wstring folder = ManifestPath();
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    folder.erase(folder.find_last_of(L'\\'));
    const std::wstring clientManifest = folder + L"\\zentrix_client_test.manifest";
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        "  <assemblyIdentity type=\"win32\" name=\"Zentrix.Client\" version=\"1.0.0.0\"/>\n"
        "  <dependency><dependentAssembly>\n"
        "    <assemblyIdentity type=\"win32\" name=\"Zentrix.sxs\" version=\"1.0.0.126\" "
        "processorArchitecture=\"amd64\"/>\n"
        "  </dependentAssembly></dependency>\n"
        "</assembly>\n";
    HANDLE file = CreateFileW(clientManifest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    CloseHandle(file);

    ExpectNotCreatable();
    {
        ActiveManifest manifest(clientManifest);
        EXPECT_EQ(0u, manifest.Error()) << "activation context from the client's manifest";
        if (manifest.Error() == 0) {
            ExpectUsable(false);
            ComPtr<ITypeLib> runtime;
            EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_ZentrixRuntime, 1, 0, LOCALE_NEUTRAL, &runtime));
        }
    }
    ExpectNotCreatable();
    DeleteFileW(clientManifest.c_str());
}

}  // namespace
}  // namespace zxcom
