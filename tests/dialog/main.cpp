// The monitor window tests run in a single-threaded apartment with a message
// loop of their own, as the component's clients do.
#include <gtest/gtest.h>
#include <objbase.h>

#include "component/layer_links.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    zx::ConnectLayers();
    CoInitialize(nullptr);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
