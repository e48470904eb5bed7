// The soak benchmark: a million mixed late-bound calls and a hundred thousand
// create/use/release cycles against zentrix.dll, with the heap counted
// around each class of operation. It prints the bytes each operation left
// behind (the target is 0.0 for every class) and fails when a class leaks.
//
//   zentrix_soak [--calls N] [--cycles N] [--smoke] [path\to\zentrix.dll]
//
// --smoke runs a few thousand operations and judges no figures (the test
// suite runs it so that the benchmark keeps working).
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <initguid.h>
#include "heap_bytes.h"
#include "soak_client.h"

namespace {

// Message boxes ("Invalid Handle") are refused as they are created, as if
// the user had pressed OK at once.
LRESULT CALLBACK RefuseMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        wchar_t name[16] = {};
        if (GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16) && wcscmp(name, L"#32770") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct OperationClass {
    const char* name;
    bool (zxsoak::Client::*operation)(long long);
    long long count;
};

// Runs one class: a warm-up, then `count` operations between two heap
// counts. Returns the bytes per operation; false in `ok` on an unexpected
// result.
double Measure(zxsoak::Client& client, const OperationClass& kind, bool& ok) {
    const long long warmUp = kind.count / 100 + 10;
    for (long long i = 0; i < warmUp; ++i) ok = (client.*kind.operation)(i) && ok;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    const size_t before = zxheap::BytesInUse();
    for (long long i = 0; i < kind.count; ++i) {
        if (!(client.*kind.operation)(i)) {
            if (ok) std::printf("  %s: unexpected result at operation %lld\n", kind.name, i);
            ok = false;
        }
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    const size_t after = zxheap::BytesInUse();
    return (static_cast<double>(after) - static_cast<double>(before)) / static_cast<double>(kind.count);
}

}  // namespace

int main(int argc, char** argv) {
    long long calls = 1000000, cycles = 100000;
    bool smoke = false;
    std::wstring dll = L"" ZENTRIX_DLL;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--calls") == 0 && i + 1 < argc) calls = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc) cycles = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--smoke") == 0) smoke = true;
        else dll = std::wstring(argv[i], argv[i] + std::strlen(argv[i]));
    }
    if (smoke) calls = 9000, cycles = 300;
    if (FAILED(CoInitialize(nullptr))) return 100;
    zxheap::DisableStringCache();
    HHOOK boxes = SetWindowsHookExW(WH_CBT, RefuseMessageBoxes, nullptr, GetCurrentThreadId());
    zxsoak::Client client;
    if (!client.Load(dll) || !client.Open()) {
        std::printf("cannot load %ls or set up its objects\n", dll.c_str());
        return 101;
    }
    const long long each = (calls + 8) / 9;  // at least `calls` in all
    const OperationClass classes[] = {
        {"string reads", &zxsoak::Client::ReadString, each},   {"number reads", &zxsoak::Client::ReadNumber, each},
        {"writes", &zxsoak::Client::Write, each},             {"records", &zxsoak::Client::Record, each},
        {"collections", &zxsoak::Client::Collection, each},   {"control", &zxsoak::Client::Control, each},
        {"failures", &zxsoak::Client::Failure, each},         {"message boxes", &zxsoak::Client::MessageBox, each},
        {"events", &zxsoak::Client::Event, each},             {"cycles", &zxsoak::Client::Cycle, cycles},
    };
    std::printf("zentrix soak (%s): %lld late-bound calls in 9 classes, %lld create/use/release cycles\n",
                sizeof(void*) == 8 ? "x86_64" : "i686", each * 9, cycles);
    bool ok = true;
    int leaking = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const OperationClass& kind : classes) {
        const auto begun = std::chrono::steady_clock::now();
        const double perOperation = Measure(client, kind, ok);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        std::printf("  %-14s %9lld operations %8.1f s %9.2f bytes/operation\n", kind.name, kind.count, seconds,
                    perOperation);
        std::fflush(stdout);
        if (perOperation >= 0.5) ++leaking;
    }
    std::printf("events heard by the sink: %lld; total %.1f s\n", client.sink.events,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    client.Close();
    if (boxes) UnhookWindowsHookEx(boxes);
    CoUninitialize();
    if (!ok) return 1;
    if (!smoke && leaking) {
        std::printf("%d class(es) leak\n", leaking);
        return 2;
    }
    return 0;
}
