#pragma once
// The calls into the framework library Kernite (module basVxknCommonA):
// the about box, and the report of an error met while showing it. Kernite is
// an outside automation component reached by ProgID and member name.
#include "com/owned.h"

namespace zx {

// Shows Kernite's about box for the component. A failed step is reported
// through ErrorHandlerMessageVx_Pro and the next step runs; only a failed
// report ends it, by throwing.
void AppAboutVxkn_Pro();

}  // namespace zx
