#include "service/links.h"

#include "service/scheduler.h"
#include "service/timer_service.h"

namespace zx {
namespace {

class Links final : public ServiceLinks {
public:
    ComPtr<TimerNotifier> TimerMain() override { return zx::TimerMain(); }
    UINT_PTR ArmTimer(LONG* hWnd, LONG* timerId, LONG* milliseconds, VARIANT_BOOL* repeat,
                      const AdditionalArguStru* record) override {
        return zx::ArmTimer(hWnd, timerId, milliseconds, repeat, record);
    }
};

}  // namespace

ServiceLinks& TimerServiceLinks() {
    static Links links;
    return links;
}

}  // namespace zx
