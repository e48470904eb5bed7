// The service object, notifications and the tick procedures.
#include "test_support.h"

namespace zx::test {
namespace {

using ServiceTest = ComponentTest;

TEST_F(ServiceTest, LifetimeOfTheRegisteredServiceObject) {
    {
        ComPtr<TimerService> service = NewService();
        EXPECT_EQ(service.Get(), Apartment().gTimerMain.Get());
    }
    EXPECT_EQ(2, LiveObjectCount() - baselineObjects);  // the registered object and its registry
    DiscardApartment();
    EXPECT_EQ(0, LiveObjectCount() - baselineObjects);
}

}  // namespace
}  // namespace zx::test
