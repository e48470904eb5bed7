// Tick delivery: what one notification costs from the platform's tick to
// the sink's Invoke, against a raw window timer whose procedure calls the
// same sink with the same four arguments.
#include <string>

#include "apartment/additional_argu.h"
#include "sections.h"
#include "service/scheduler.h"

namespace bench {
namespace {

constexpr UINT_PTR kFloorTimer = 1;

IDispatch* g_floorSink = nullptr;
AdditionalArguStru g_floorRecord{};

// The floor: what any timer library must do at least per notification.
void CALLBACK FloorProc(HWND window, UINT, UINT_PTR id, DWORD tickTime) {
    LONG hwnd = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)), timerId = static_cast<LONG>(id);
    VARIANT args[4];
    args[0].vt = VT_RECORD | VT_BYREF, args[0].pvRecord = &g_floorRecord, args[0].pRecInfo = zx::AdditionalArguRecordInfo();
    args[1].vt = VT_I4, args[1].lVal = static_cast<LONG>(tickTime);
    args[2].vt = VT_I4 | VT_BYREF, args[2].plVal = &timerId;
    args[3].vt = VT_I4 | VT_BYREF, args[3].plVal = &hwnd;
    DISPPARAMS params{args, nullptr, 4, 0};
    g_floorSink->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

// Real ticks of a 10 ms repeating timer, the last of `size` timers in one
// window, interleaved with the floor's ticks on a second window. The thread
// sleeps until both are due, then takes each tick message from the queue and
// dispatches it, timed: the platform's share of a notification is in both.
// The record is set back to Started (outside the timing) so that every tick
// notifies.
Figure PlatformTicks(BenchPlatform& platform, LONG size, int ticksPerRound, int rounds) {
    NullSink sink;
    Window window, floorWindow;
    Registry registry(window.Handle(), size - 1, &sink);
    platform.armTimers = true;
    registry.AddTimer(size, 10, /*repeat=*/true);
    ComPtr<_clsVxTimeTimerItemA> measured = registry.Last();
    g_floorSink = &sink;
    ::SetTimer(floorWindow.Get(), kFloorTimer, 10, FloorProc);

    Figure figure{"Tick delivery, platform ticks, " + Grouped(size) + " timers in one window", "us/notification"};
    figure.floorName = "SetTimer + TIMERPROC calling the sink";
    figure.target = size >= 1000 ? Target{"<= 1.3x", 1.3} : Target{};
    // Takes one pending tick of `from` and dispatches it; the seconds it
    // took, or a negative value when none was pending.
    auto deliver = [](HWND from) {
        MSG msg;
        const double start = Now();
        if (!PeekMessageW(&msg, from, WM_TIMER, WM_TIMER, PM_REMOVE)) return -1.0;
        DispatchMessageW(&msg);
        return Now() - start;
    };
    for (int round = 0; round < rounds; ++round) {
        Sample library, floor;
        for (int tick = 0; tick < ticksPerRound * 3 && (library.values.size() < size_t(ticksPerRound) ||
                                                        floor.values.size() < size_t(ticksPerRound));
             ++tick) {
            Sleep(12);
            measured->put_Status(timeTimerStatusStarted);
            const bool libraryFirst = tick % 2 == 0;
            const double first = deliver(libraryFirst ? window.Get() : floorWindow.Get());
            const double second = deliver(libraryFirst ? floorWindow.Get() : window.Get());
            const double ours = libraryFirst ? first : second, theirs = libraryFirst ? second : first;
            if (ours >= 0) library.Add(ours * 1e6);
            if (theirs >= 0) floor.Add(theirs * 1e6);
            zx::CurrentPlatform().DispatchPendingMessages();
        }
        figure.library.Add(library.Median());
        figure.floor.Add(floor.Median());
    }
    KillTimer(floorWindow.Get(), kFloorTimer);
    zx::CurrentPlatform().KillTimer(window.Get(), static_cast<UINT_PTR>(size));
    platform.armTimers = false;
    return figure;
}

// The library's tick procedure called directly for the last of `size`
// timers, against the floor's procedure called the same way.
Figure DirectTicks(LONG size, int calls, int rounds) {
    NullSink sink;
    Window window;
    Registry registry(window.Handle(), size, &sink);
    ComPtr<_clsVxTimeTimerItemA> last = registry.Last();
    g_floorSink = &sink;
    const UINT_PTR id = static_cast<UINT_PTR>(size);
    Figure figure{"Tick procedure called directly, " + Grouped(size) + " timers in one window", "us/tick"};
    figure.floorName = "the floor's TIMERPROC called directly";
    for (int round = 0; round < rounds; ++round) {
        double spent = 0;
        for (int i = 0; i < calls; ++i) {
            last->put_Status(timeTimerStatusStarted);
            spent += Time([&] { zx::RepeatingTimerProc(window.Get(), WM_TIMER, id, GetTickCount()); });
        }
        const double floorSpent = Time([&] {
            for (int i = 0; i < calls; ++i) FloorProc(window.Get(), WM_TIMER, id, GetTickCount());
        });
        figure.library.Add(spent / calls * 1e6);
        figure.floor.Add(floorSpent / calls * 1e6);
    }
    return figure;
}

// The last figure against the one for `reference` timers: flat in the
// registry's size. Platform ticks are compared as ratios to their floors:
// each is measured next to its floor round by round, while the platform's
// own cost drifts between sizes measured seconds apart.
Figure Flatness(const std::vector<Figure>& figures, const std::vector<LONG>& sizes, LONG reference,
                const std::string& what, bool judged, bool byRatio) {
    size_t at = 0;
    for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i] == reference) at = i;
    Figure flat{what + ", " + Grouped(sizes.back()) + " timers against " + Grouped(sizes[at]),
                byRatio ? "x its floor" : figures.back().unit};
    if (byRatio) {
        flat.library = Ratios(figures.back().library, figures.back().floor);
        flat.floor = Ratios(figures[at].library, figures[at].floor);
        flat.floorName = "the same with " + Grouped(sizes[at]) + " timers, each to its floor";
    } else {
        flat.library = figures.back().library;
        flat.floor = figures[at].library;
        flat.floorName = "the same with " + Grouped(sizes[at]) + " timers";
    }
    if (judged) flat.target = {"<= 1.2x (flat)", 1.2};
    return flat;
}

}  // namespace

void TickFigures(const Options& options, Table& table) {
    BenchPlatform platform;
    const std::vector<LONG> platformSizes = options.quick ? std::vector<LONG>{2, 10} : std::vector<LONG>{100, 1000, 10000};
    std::vector<Figure> ticks;
    for (LONG size : platformSizes)
        ticks.push_back(PlatformTicks(platform, size, options.quick ? 5 : 40, options.quick ? 2 : 5));
    for (const Figure& figure : ticks) table.Add(figure);
    table.Add(Flatness(ticks, platformSizes, platformSizes.front(), "Tick delivery", !options.quick, true));

    const std::vector<LONG> directSizes = options.quick ? std::vector<LONG>{1, 10} : std::vector<LONG>{1, 100, 1000, 10000};
    std::vector<Figure> direct;
    for (LONG size : directSizes) {
        const int calls = options.quick ? 20 : size >= 10000 ? 200 : 2000;
        direct.push_back(DirectTicks(size, calls, options.quick ? 2 : 5));
    }
    for (const Figure& figure : direct) table.Add(figure);
    table.Add(Flatness(direct, directSizes, options.quick ? 1 : 100, "Tick procedure", !options.quick, false));
}

}  // namespace bench
