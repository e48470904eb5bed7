#include "component/per_user_registration.h"

#include <oleauto.h>
#include <olectl.h>

#include "component/registration.h"

// oleaut32 exports these; mingw-w64's headers do not declare them.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpDir);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);
}

namespace zx {
namespace {

constexpr wchar_t kUserClasses[] = L"Software\\Classes";

// Wine 8 registers a library "for the user" machine-wide; with the classes
// root of this process pointed at the user's classes meanwhile, the library's
// keys land under the user's classes there too. On Windows the functions are
// documented to write under the user's classes themselves.
class UserClassesRoot {
public:
    explicit UserClassesRoot(HKEY userClasses)
        : overridden_(RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses) == ERROR_SUCCESS) {}
    ~UserClassesRoot() {
        if (overridden_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    UserClassesRoot(const UserClassesRoot&) = delete;
    UserClassesRoot& operator=(const UserClassesRoot&) = delete;

private:
    bool overridden_;
};

HKEY gUserClasses = nullptr;  // set while InstallComponent runs

HRESULT WINAPI RegisterLibraryForUser(ITypeLib* library, LPOLESTR path, LPOLESTR helpDir) {
    UserClassesRoot root(gUserClasses);
    return RegisterTypeLibForUser(library, path, helpDir);
}

HRESULT WINAPI UnregisterLibraryForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind) {
    UserClassesRoot root(gUserClasses);
    return UnRegisterTypeLibForUser(libid, major, minor, lcid, syskind);
}

bool IsUserCommand(LPCWSTR commandLine) {
    return commandLine && CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

HRESULT InstallComponent(BOOL install, LPCWSTR commandLine) {
    if (!IsUserCommand(commandLine)) return E_INVALIDARG;
    HKEY classes = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                  &classes, nullptr);
    if (status != ERROR_SUCCESS) return install ? SELFREG_E_CLASS : HRESULT_FROM_WIN32(status);
    gUserClasses = classes;
    const RegistrationTarget target{classes, RegisterLibraryForUser, UnregisterLibraryForUser};
    HRESULT hr = install ? RegisterComponent(target) : UnregisterComponent(target);
    gUserClasses = nullptr;
    RegCloseKey(classes);
    return hr;
}

}  // namespace zx
