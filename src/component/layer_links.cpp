#include "component/layer_links.h"

#include "apartment/apartment.h"
#include "apartment/service_links.h"
#include "dialog/monitor_dialog.h"
#include "service/links.h"

namespace zx {

void ConnectLayers() {
    InstallServiceLinks(&TimerServiceLinks());
    // A thread's monitor windows show its apartment's registry: they close
    // as the apartment ends.
    SetApartmentEndStep(&CloseThreadMonitorWindows);
}

}  // namespace zx
