#pragma once
// The service's side of the links the layers below it call (see
// apartment/service_links.h).
#include "apartment/service_links.h"

namespace zx {

// The one implementation, for the composition root to install.
ServiceLinks& TimerServiceLinks();

}  // namespace zx
