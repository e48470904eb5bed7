#include "component/registration.h"

#include <olectl.h>

#include <string>

#include "com/owned.h"
#include "component/class_table.h"
#include "platform/this_module.h"
#include "zentrix_catalog.h"

namespace zx {
namespace {

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Put() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT SetValue(HKEY parent, const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    RegKey key;
    LONG status = RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(HKEY root, const std::wstring& subkey) {
    LONG status = RegDeleteTreeW(root, subkey.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(root, subkey.c_str());
        return S_OK;
    }
    return HRESULT_FROM_WIN32(status);
}

std::wstring ProgId(const ClassEntry& entry) { return std::wstring(catalog::kLibraryName) + L"." + entry.name; }

// The type library's version, "major.minor".
std::wstring LibraryVersion() {
    return std::to_wstring(catalog::kLibraryMajor) + L"." + std::to_wstring(catalog::kLibraryMinor);
}

// Registers the library in resource `index` of this module.
HRESULT RegisterLibrary(const RegistrationTarget& target, const std::wstring& module, int index, GUID* libid,
                        SYSKIND* syskind) {
    std::wstring path = index == 1 ? module : module + L"\\" + std::to_wstring(index);
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = target.registerTypeLib(library.Get(), path.data(), nullptr);
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attr))) {
        if (libid) *libid = attr->guid;
        if (syskind) *syskind = attr->syskind;
        library->ReleaseTLibAttr(attr);
    }
    return S_OK;
}

HRESULT UnregisterLibrary(const RegistrationTarget& target, const std::wstring& module, int index) {
    std::wstring path = index == 1 ? module : module + L"\\" + std::to_wstring(index);
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = library->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    hr = target.unregisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    library->ReleaseTLibAttr(attr);
    return hr == TYPE_E_REGISTRYACCESS ? S_OK : hr;
}

}  // namespace

RegistrationTarget MachineRegistration() { return {HKEY_CLASSES_ROOT, RegisterTypeLib, UnRegisterTypeLib}; }

HRESULT RegisterComponent() { return RegisterComponent(MachineRegistration()); }

HRESULT UnregisterComponent() { return UnregisterComponent(MachineRegistration()); }

HRESULT RegisterComponent(const RegistrationTarget& target) {
    const std::wstring module = ThisModulePath();
    GUID libid{};
    HRESULT hr = RegisterLibrary(target, module, 2, nullptr, nullptr);
    if (SUCCEEDED(hr)) hr = RegisterLibrary(target, module, 1, &libid, nullptr);
    if (FAILED(hr)) return SELFREG_E_TYPELIB;
    for (const ClassEntry& entry : ComponentClasses()) {
        if (!entry.create) continue;
        const std::wstring clsidKey = L"CLSID\\" + GuidText(*entry.clsid);
        const std::wstring progId = ProgId(entry);
        HRESULT step = S_OK;
        auto set = [&](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
            if (SUCCEEDED(step)) step = SetValue(target.classesRoot, key, name, value);
        };
        set(clsidKey, nullptr, progId);
        set(clsidKey + L"\\InprocServer32", nullptr, module);
        set(clsidKey + L"\\InprocServer32", L"ThreadingModel", kThreadingModel);
        set(clsidKey + L"\\ProgID", nullptr, progId);
        set(clsidKey + L"\\TypeLib", nullptr, GuidText(libid));
        set(clsidKey + L"\\VERSION", nullptr, LibraryVersion());
        set(progId, nullptr, progId);
        set(progId + L"\\CLSID", nullptr, GuidText(*entry.clsid));
        if (FAILED(step)) return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterComponent(const RegistrationTarget& target) {
    HRESULT result = S_OK;
    for (const ClassEntry& entry : ComponentClasses()) {
        if (!entry.create) continue;
        HRESULT hr = DeleteTree(target.classesRoot, L"CLSID\\" + GuidText(*entry.clsid));
        if (SUCCEEDED(hr)) hr = DeleteTree(target.classesRoot, ProgId(entry));
        if (FAILED(hr)) result = SELFREG_E_CLASS;
    }
    const std::wstring module = ThisModulePath();
    // Each library is unregistered even if the other one fails.
    const HRESULT component = UnregisterLibrary(target, module, 1);
    const HRESULT runtime = UnregisterLibrary(target, module, 2);
    if (FAILED(component) || FAILED(runtime)) result = SELFREG_E_TYPELIB;
    return result;
}

}  // namespace zx
