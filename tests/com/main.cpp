// The COM integration tests run in a single-threaded apartment, as the
// library's clients do. Started with --unload-probe, the program instead
// checks DllCanUnloadNow in a process that has not touched the library yet
// (see ComUnload in registration_test.cpp) and exits with the number of
// failed checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "com_support.h"

namespace {

using zxcom::ComPtr;

int RunUnloadProbe() {
    if (FAILED(CoInitialize(nullptr))) return 100;
    int failures = 0;
    auto expect = [&](HRESULT wanted, HRESULT got, const char* what) {
        if (wanted == got) return;
        std::printf("%s: expected 0x%08lx, got 0x%08lx\n", what, static_cast<unsigned long>(wanted),
                    static_cast<unsigned long>(got));
        ++failures;
    };
    HMODULE dll = LoadLibraryW(zxcom::DllPath().c_str());
    if (!dll) {
        std::printf("LoadLibrary failed: %lu\n", GetLastError());
        return 101;
    }
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    using GetClassFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<GetClassFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    if (!canUnload || !getClass) {
        std::printf("entry points missing\n");
        return 102;
    }

    expect(S_OK, canUnload(), "before any object");

    ComPtr<IClassFactory> general;
    expect(S_OK, getClass(CLSID_clsVxTimeGeneralA, IID_PPV_ARGS(&general)), "class object of clsVxTimeGeneralA");
    if (general) {
        expect(S_OK, general->LockServer(TRUE), "LockServer(TRUE)");
        expect(S_FALSE, canUnload(), "while a class factory is locked");
        expect(S_OK, general->LockServer(FALSE), "LockServer(FALSE)");
        general.Reset();
        expect(S_OK, canUnload(), "after the lock was released");
    }

    ComPtr<IClassFactory> factory;
    expect(S_OK, getClass(CLSID_clsVxTimeGeneralA, IID_PPV_ARGS(&factory)), "class object again");
    ComPtr<IDispatch> object;
    if (factory) expect(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), "create clsVxTimeGeneralA");
    factory.Reset();
    expect(S_FALSE, canUnload(), "while a clsVxTimeGeneralA object lives");
    object.Reset();
    expect(S_OK, canUnload(), "after the clsVxTimeGeneralA object ended");

    ComPtr<IClassFactory> mainFactory;
    expect(S_OK, getClass(CLSID_clsVxTimeTimerMainA, IID_PPV_ARGS(&mainFactory)), "class object of the service");
    ComPtr<IDispatch> service;
    if (mainFactory) expect(S_OK, mainFactory->CreateInstance(nullptr, IID_PPV_ARGS(&service)), "create the service");
    mainFactory.Reset();
    service.Reset();
    // The apartment's registration still holds the service object.
    expect(S_FALSE, canUnload(), "after the client released the service object");
    std::fflush(stdout);
    return failures;
}

// Under Wine a crash ends the process with exit code 0 once the debugger has
// printed its backtrace, which would pass the test: end it with 255 instead.
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "crashed with exception 0x%08lX at %p\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 255);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);
    if (argc == 2 && std::strcmp(argv[1], "--unload-probe") == 0) return RunUnloadProbe();
    ::testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitialize(nullptr))) return 1;
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
