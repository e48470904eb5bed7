#include "component/layer_links.h"

#include "apartment/service_links.h"
#include "service/links.h"

namespace zx {

void ConnectLayers() { InstallServiceLinks(&TimerServiceLinks()); }

}  // namespace zx
