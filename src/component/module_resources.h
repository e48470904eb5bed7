#pragma once
// The module's own resources as the information class hands them out.
#include <ocidl.h>

#include "com/owned.h"

namespace zx {

// Each raises the resource-not-found error when the module lacks the
// resource, and the overflow error for a picture kind outside 16 bits.
Bstr ResourceString(LONG id);
ComPtr<IPictureDisp> ResourcePicture(LONG id, LONG kind);
// The raw bytes of resource `id` of type `type` (a number or a type name),
// as a byte array in `out`.
void ResourceData(LONG id, const VARIANT& type, VARIANT* out);

}  // namespace zx
