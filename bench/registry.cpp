// The registry as it grows: additions to one group, operations on its last
// timer, and the heap bytes a registered timer takes.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <unordered_map>

#include "sections.h"

namespace bench {
namespace {

void CALLBACK NeverRuns(HWND, UINT, UINT_PTR, DWORD) {}

// `size` timers into one group, with the platform's timers not armed: the
// library's own share. Its floors: the platform's SetTimer for as many
// timers on a real window, and a hash map of the pairs.
void Additions(const Options& options, Table& table) {
    const std::vector<LONG> sizes = options.quick ? std::vector<LONG>{100, 200} : std::vector<LONG>{10000, 20000, 100000};
    Window window;
    for (LONG size : sizes) {
        Figure figure{"Additions of " + Grouped(size) + " timers to one group (the library's share)", "ms"};
        figure.floorName = "SetTimer for as many timers";
        figure.target = options.quick ? Target{} : Target{"<= 1.0x SetTimer", 1.0};
        Figure hashed{"Additions of " + Grouped(size) + " timers, against a hash map of the pairs", "ms"};
        hashed.floorName = "unordered_map insertions";
        Repeat(options.quick ? 2 : 5, 30, [&] {
            Registry registry(window.Handle(), 0);
            const double library = Time([&] {
                for (LONG id = 1; id <= size; ++id) registry.AddTimer(id, 60000, false);
            });
            const double platform = Time([&] {
                for (LONG id = 1; id <= size; ++id) ::SetTimer(window.Get(), static_cast<UINT_PTR>(id), 60000, NeverRuns);
            });
            for (LONG id = 1; id <= size; ++id) ::KillTimer(window.Get(), static_cast<UINT_PTR>(id));
            std::unordered_map<uint64_t, LONG> pairs;
            const double hash = Time([&] {
                for (LONG id = 1; id <= size; ++id)
                    pairs.emplace((uint64_t(uint32_t(registry.hwnd)) << 32) | uint32_t(id), id);
            });
            figure.library.Add(library * 1e3);
            figure.floor.Add(platform * 1e3);
            hashed.library.Add(library * 1e3);
            hashed.floor.Add(hash * 1e3);
        });
        table.Add(std::move(figure));
        table.Add(std::move(hashed));
    }
    // Linearity on its own: the smallest and the largest size, interleaved
    // in every repetition, so that both see the same machine (the SetTimer
    // floor of the largest size leaves time for only a repetition or two
    // above).
    Figure linear{"Additions, " + Grouped(sizes.back()) + " against " + Grouped(sizes.front()) + " timers", "ms"};
    linear.floorName = "the additions of " + Grouped(sizes.front()) + ", interleaved";
    const double expected = double(sizes.back()) / sizes.front();
    if (!options.quick) linear.target = {"<= " + std::to_string(int(expected * 1.2)) + "x (linear)", expected * 1.2};
    auto timeAdditions = [&](LONG size) {
        Registry registry(window.Handle(), 0);
        return Time([&] {
            for (LONG id = 1; id <= size; ++id) registry.AddTimer(id, 60000, false);
        });
    };
    for (int round = 0; round < (options.quick ? 2 : 5); ++round) {
        linear.floor.Add(timeAdditions(sizes.front()) * 1e3);
        linear.library.Add(timeAdditions(sizes.back()) * 1e3);
    }
    table.Add(std::move(linear));
}

using Operation = std::function<HRESULT(LONG hwnd, LONG id)>;

// The timer identifier at a position of the group (1-based, or -1 for the
// last).
LONG IdAt(_clsVxTimeTimerItemsA* timers, LONG position) {
    if (position < 0) timers->get_Count(&position);
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = position;
    ComPtr<_clsVxTimeTimerItemA> timer;
    LONG id = 0;
    if (SUCCEEDED(timers->get_Item(&index, &timer))) timer->get_TimerId(&id);
    return id;
}

// One operation on the last timer of the group, interleaved with the same
// operation on its first timer (the floor); seconds per call, each call
// timed on its own.
Figure LastAgainstFirst(Registry& registry, const std::string& name, const Operation& operation, bool quick) {
    Figure figure{"", "us/call"};
    LONG count = 0;
    registry.timers->get_Count(&count);
    figure.name = name + " on the last of " + Grouped(count) + " timers";
    figure.floorName = "the same on the first timer";
    auto timed = [&](LONG position) {
        const LONG id = IdAt(registry.timers.Get(), position);
        return Time([&] { operation(registry.hwnd, id); });
    };
    const double once = timed(-1);
    const int calls = static_cast<int>(std::clamp(0.05 / std::max(once, 1e-7), 3.0, quick ? 20.0 : 5000.0));
    for (int round = 0; round < (quick ? 2 : 5); ++round) {
        double last = 0, first = 0;
        for (int i = 0; i < calls; ++i) {
            last += timed(-1);
            first += timed(1);
        }
        figure.library.Add(last / calls * 1e6);
        figure.floor.Add(first / calls * 1e6);
    }
    return figure;
}

struct PlainTimer {
    LONG hwnd, id, elapse, start, repeat, status;
    float balance;
    BSTR units, owner;
    AdditionalArguStru record;
    IDispatch* bar;
    IDispatch* control;
};

// Heap bytes per timer: the registry of `size` timers against plain records
// with the same strings, indexed by a hash map.
Figure Memory(LONG size) {
    Window window;
    { Registry warmUp(window.Handle(), 10); }
    Figure figure{"Heap bytes per registered timer (" + Grouped(size) + " timers)", "bytes"};
    figure.floorName = "a plain record with its strings, hashed";
    figure.target = {"<= 160 bytes", 0, 160};
    for (int round = 0; round < 2; ++round) {
        int64_t before = HeapBusyBytes();
        {
            Registry registry(window.Handle(), size);
            figure.library.Add(double(HeapBusyBytes() - before) / size);
        }
        before = HeapBusyBytes();
        {
            std::vector<PlainTimer> plain(size);
            std::unordered_map<uint64_t, PlainTimer*> index;
            for (LONG i = 0; i < size; ++i) {
                plain[i] = PlainTimer{1, i + 1, 60000, 3600, 0, 0, 0, SysAllocString(L"MSec"), SysAllocString(L""),
                                      {i + 1, 0, 0, nullptr}, nullptr, nullptr};
                index.emplace(uint64_t(i + 1), &plain[i]);
            }
            figure.floor.Add(double(HeapBusyBytes() - before) / size);
            for (PlainTimer& t : plain) SysFreeString(t.units), SysFreeString(t.owner);
        }
    }
    return figure;
}

}  // namespace

void RegistryFigures(const Options& options, Table& table) {
    BenchPlatform platform;
    Additions(options, table);

    const std::vector<LONG> sizes = options.quick ? std::vector<LONG>{10, 100} : std::vector<LONG>{100, 1000, 20000, 100000};
    struct Named {
        const char* name;
        std::function<HRESULT(Registry&, LONG, LONG)> call;
    };
    const std::vector<Named> operations = {
        {"TimerStop", [](Registry& r, LONG h, LONG i) { return r.service->TimerStop(&h, &i); }},
        {"TimerStart", [](Registry& r, LONG h, LONG i) { return r.service->TimerStart(&h, &i); }},
        {"GetPercentage", [](Registry& r, LONG h, LONG i) { LONG p; return r.service->GetPercentage(&h, &i, &p); }},
        {"CheckExistance", [](Registry& r, LONG h, LONG i) { VARIANT_BOOL b; return r.timers->CheckExistance(&h, &i, &b); }},
        {"ResetTimer", [](Registry& r, LONG h, LONG i) { LONG z; return r.service->ResetTimer(&h, &i, &z); }},
    };
    Window window;
    std::vector<std::vector<Figure>> bySize;
    for (LONG size : sizes) {
        Registry registry(window.Handle(), size);
        std::vector<Figure> figures;
        for (const Named& op : operations)
            figures.push_back(LastAgainstFirst(registry, op.name, [&](LONG h, LONG i) { return op.call(registry, h, i); },
                                               options.quick));
        bySize.push_back(figures);
    }
    for (size_t o = 0; o < operations.size(); ++o) {
        for (const auto& figures : bySize) table.Add(figures[o]);
        Figure flat{std::string(operations[o].name) + ", " + Grouped(sizes.back()) + " against " + Grouped(sizes.front()) +
                        " timers",
                    "us/call"};
        flat.library = bySize.back()[o].library;
        flat.floor = bySize.front()[o].library;
        flat.floorName = "the same on the last of " + Grouped(sizes.front());
        if (!options.quick) flat.target = {"<= 2x", 2.0};
        table.Add(std::move(flat));
    }
    table.Add(Memory(options.quick ? 100 : 10000));
}

}  // namespace bench
