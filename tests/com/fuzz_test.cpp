// The fuzz test: seeded random calls through IDispatch on every creatable
// object and every object they hand out, with hostile arguments. It asserts
// that nothing crashes, that every failure is a documented one, that every
// client object and record description gets its references back, that the
// heap returns to where it was, and that the library may be unloaded once
// the apartment has ended. A failure prints the seed, the episode and the
// last calls; ZENTRIX_FUZZ_SEED and ZENTRIX_FUZZ_EPISODE replay it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "com_support.h"
#include "fuzz_driver.h"
#include "heap_bytes.h"

#include <imm.h>

namespace zxfuzz {
namespace {

Fuzzer* g_running = nullptr;

// An access violation (or any crash) ends the process: say where first.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "fuzz test crashed with exception 0x%08lX at %p\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 info->ExceptionRecord->ExceptionAddress);
    if (g_running) {
        std::fprintf(stderr, "seed %llu, after %lld calls; the last calls:\n%s",
                     static_cast<unsigned long long>(g_running->Configuration().seed), g_running->Result().calls,
                     g_running->Log().Dump().c_str());
    }
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 255);
    return EXCEPTION_EXECUTE_HANDLER;
}

TEST(ComFuzz, HostileLateBoundCallsLeaveNothingBehind) {
    const Settings settings = SettingsFromEnvironment();
    // The client's objects outlive the thread that uses them.
    std::vector<std::unique_ptr<ForeignObject>> objects;
    const Behaviour behaviours[] = {Behaviour::Quiet, Behaviour::Failing, Behaviour::Refusing, Behaviour::Absent};
    for (Behaviour behaviour : behaviours)
        for (bool script : {false, true}) objects.push_back(std::make_unique<ForeignObject>(behaviour, script));
    std::vector<ForeignObject*> foreign;
    for (auto& object : objects) foreign.push_back(object.get());
    ForeignRecordInfo ownRecord(false, zxcom::RecordGuid()), impostor(true, zxcom::RecordGuid());
    std::vector<ForeignRecordInfo*> records = {&ownRecord, &impostor};

    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        // Without the input method's own COM initialization, the apartment
        // ends with this thread's CoUninitialize, as in a host without one.
        ImmDisableIME(GetCurrentThreadId());
        if (FAILED(CoInitialize(nullptr))) return;
        zxheap::DisableStringCache();
        {
            Fuzzer fuzzer(settings, foreign, records);
            g_running = &fuzzer;
            LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(ReportCrash);
            fuzzer.Run();
            SetUnhandledExceptionFilter(previous);
            g_running = nullptr;
            outcome = std::move(fuzzer.Result());
        }
        CoUninitialize();
    });
    worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("fuzz: seed %llu, %lld episodes checked, %lld calls (%lld answered with a documented failure), "
                "%lld message boxes refused, %lld monitor windows, %.1f s\n",
                static_cast<unsigned long long>(settings.seed), outcome.episodesChecked, outcome.calls,
                outcome.failures, outcome.boxesRefused, outcome.monitorsOpened, seconds);

    for (const std::string& problem : outcome.problems) ADD_FAILURE() << problem;
    EXPECT_GT(outcome.calls, 0);
    for (size_t i = 0; i < objects.size(); ++i)
        EXPECT_EQ(1, objects[i]->References()) << "client object " << i << " was called " << objects[i]->calls
                                               << " times";
    EXPECT_EQ(1, ownRecord.References());
    EXPECT_EQ(1, impostor.References());
    EXPECT_EQ(S_OK, zxcom::LoadedDllCanUnloadNow()) << "a library object outlived the apartment";
}

}  // namespace
}  // namespace zxfuzz
