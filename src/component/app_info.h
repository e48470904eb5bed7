#pragma once
// The component's application-information object: its title, version and
// the texts of its version block, and where its module lives.
#include "com/owned.h"

namespace zx {

// A new object, read from this module's version resource and path.
ComPtr<IDispatch> MakeAppInfo();

}  // namespace zx
