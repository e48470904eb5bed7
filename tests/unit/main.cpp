// Unit tests run in a single-threaded apartment, as the component's clients do.
#include <gtest/gtest.h>
#include <objbase.h>

#include "component/layer_links.h"

#include <cstdio>

namespace {
// Under Wine a crashed program may still exit with 0: make a crash a failure.
LONG WINAPI OnCrash(EXCEPTION_POINTERS*) {
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 255);
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(OnCrash);
    ::testing::InitGoogleTest(&argc, argv);
    zx::ConnectLayers();
    CoInitialize(nullptr);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
