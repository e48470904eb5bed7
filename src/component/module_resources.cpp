#include "component/module_resources.h"

#include <olectl.h>

#include "com/errors.h"
#include "com/numbers.h"
#include "platform/this_module.h"

namespace zx {
namespace {

// Resource identifiers and numeric types are 16-bit: a larger number names
// no resource (and would be cut down to another one by MAKEINTRESOURCE).
LPCWSTR ResourceNumber(LONG number) {
    if (number < 0 || number > 0xFFFF) Raise(ErrorNumber::ResourceNotFound);
    return MAKEINTRESOURCEW(number);
}

}  // namespace

Bstr ResourceString(LONG id) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(ThisModule(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) Raise(ErrorNumber::ResourceNotFound);
    return Bstr(std::wstring(text, length));
}

ComPtr<IPictureDisp> ResourcePicture(LONG id, LONG kind) {
    const SHORT pictureKind = RoundToShort(kind);
    const UINT imageTypes[] = {IMAGE_BITMAP, IMAGE_ICON, IMAGE_CURSOR};
    if (pictureKind < 0 || pictureKind > 2) Raise(ErrorNumber::ResourceNotFound);
    HANDLE image = LoadImageW(ThisModule(), ResourceNumber(id), imageTypes[pictureKind], 0, 0, LR_DEFAULTSIZE);
    if (!image) Raise(ErrorNumber::ResourceNotFound);
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    if (pictureKind == 0) {
        description.picType = PICTYPE_BITMAP;
        description.bmp.hbitmap = static_cast<HBITMAP>(image);
    } else {
        description.picType = PICTYPE_ICON;
        description.icon.hicon = static_cast<HICON>(image);
    }
    ComPtr<IPictureDisp> picture;
    // The picture owns the image from here on.
    ThrowIfFailed(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                           reinterpret_cast<void**>(picture.GetAddressOf())));
    return picture;
}

void ResourceData(LONG id, const VARIANT& type, VARIANT* out) {
    Variant kind;
    if (HoldsRecord(type) || FAILED(VariantCopyInd(kind.Get(), const_cast<VARIANT*>(&type))))
        Raise(ErrorNumber::TypeMismatch);
    LPCWSTR typeName = nullptr;
    if (kind->vt == VT_BSTR) {
        typeName = kind->bstrVal ? kind->bstrVal : L"";
    } else {
        Variant number;
        if (FAILED(VariantChangeType(number.Get(), kind.Get(), 0, VT_I4))) Raise(ErrorNumber::TypeMismatch);
        typeName = ResourceNumber(number->lVal);
    }
    HMODULE module = ThisModule();
    HRSRC found = FindResourceW(module, ResourceNumber(id), typeName);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) Raise(ErrorNumber::ResourceNotFound);
    const DWORD size = SizeofResource(module, found);
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, size);
    if (!bytes) throw std::bad_alloc();
    void* target = nullptr;
    SafeArrayAccessData(bytes, &target);
    memcpy(target, data, size);
    SafeArrayUnaccessData(bytes);
    VariantInit(out);
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = bytes;
}

}  // namespace zx
