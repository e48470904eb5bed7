// The benchmark program: every figure next to its floor, measured in the
// same process and run. Usage: zentrix_bench.exe [--quick] [--out FILE]
//   [--targets FILE] [--only ticks|late|registry|monitor]
// --out writes the table as markdown, --targets the figures that have a
// target, one tab-separated line each.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "component/layer_links.h"
#include "sections.h"

int wmain(int argc, wchar_t** argv) {
    bench::Options options;
    std::wstring only, targets;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--quick") options.quick = true;
        else if (arg == L"--out" && i + 1 < argc) options.out = argv[++i];
        else if (arg == L"--targets" && i + 1 < argc) targets = argv[++i];
        else if (arg == L"--only" && i + 1 < argc) only = argv[++i];
        else {
            std::fwprintf(stderr, L"usage: zentrix_bench [--quick] [--out FILE] [--targets FILE] [--only ticks|late|registry|monitor]\n");
            return 2;
        }
    }
    zx::ConnectLayers();
    if (FAILED(CoInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
#ifdef _WIN64
    const char* arch = "x86_64";
#else
    const char* arch = "i686";
#endif
    bench::Table table(std::string("Zentrix benchmark, ") + arch + (options.quick ? ", quick mode" : ""));
    if (only.empty() || only == L"ticks") bench::TickFigures(options, table);
    if (only.empty() || only == L"late") bench::LateBoundFigures(options, table);
    if (only.empty() || only == L"registry") bench::RegistryFigures(options, table);
    if (only.empty() || only == L"monitor") bench::MonitorFigures(options, table);
    const bool written = table.Write(options.out) && table.WriteTargets(targets);
    CoUninitialize();
    return written ? 0 : 1;
}
