#include "component/app_info.h"

#include <vector>

#include "com/property_object.h"
#include "platform/this_module.h"

namespace zx {
namespace {

// The version block of this module, copied (VerQueryValue wants a writable block).
std::vector<BYTE> VersionBlock() {
    HMODULE module = ThisModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data) return {};
    DWORD size = SizeofResource(module, found);
    std::vector<BYTE> block(data, data + size);
    block.resize(size * 2);  // room for the conversions VerQueryValue may make
    return block;
}

std::wstring VersionText(std::vector<BYTE>& block, const wchar_t* key) {
    if (block.empty()) return {};
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return {};
    std::wstring text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

}  // namespace

ComPtr<IDispatch> MakeAppInfo() {
    std::vector<BYTE> block = VersionBlock();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!block.empty()) VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length);
    const std::wstring path = ThisModulePath();
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = file.find_last_of(L'.');
    if (dot != std::wstring::npos) file.resize(dot);

    std::vector<NamedValue> properties;
    properties.push_back(TextValue(L"Title", VersionText(block, L"ProductName")));
    properties.push_back(LongValue(L"Major", fixed ? HIWORD(fixed->dwFileVersionMS) : 0));
    properties.push_back(LongValue(L"Minor", fixed ? LOWORD(fixed->dwFileVersionMS) : 0));
    properties.push_back(LongValue(L"Revision", fixed ? LOWORD(fixed->dwFileVersionLS) : 0));
    for (const wchar_t* key : {L"Comments", L"CompanyName", L"FileDescription", L"LegalCopyright",
                               L"LegalTrademarks", L"ProductName"})
        properties.push_back(TextValue(key, VersionText(block, key)));
    properties.push_back(TextValue(L"EXEName", file));
    properties.push_back(TextValue(L"Path", folder));
    return MakePropertyObject(std::move(properties));
}

}  // namespace zx
