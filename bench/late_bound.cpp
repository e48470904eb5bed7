// Late-bound calls: the library's IDispatch::Invoke against ITypeInfo::Invoke
// on the same object and member, which is what a conventional type-library
// dispatch does.
#include "com/type_library.h"
#include "sections.h"

namespace bench {
namespace {

struct Call {
    const char* name;
    IDispatch* object;
    ITypeInfo* vtableInfo;  // the dual interface's function table
    void* instance;         // the interface pointer ITypeInfo::Invoke calls
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;  // already reversed
    bool put;
};

HRESULT InvokeLibrary(Call& call) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{call.args.data(), call.put ? &putId : nullptr, static_cast<UINT>(call.args.size()),
                      call.put ? 1u : 0u};
    zx::Variant result;
    return call.object->Invoke(call.id, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &params,
                               call.put ? nullptr : result.Get(), nullptr, nullptr);
}

HRESULT InvokeFloor(Call& call) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{call.args.data(), call.put ? &putId : nullptr, static_cast<UINT>(call.args.size()),
                      call.put ? 1u : 0u};
    zx::Variant result;
    return call.vtableInfo->Invoke(call.instance, call.id, call.flags, &params, call.put ? nullptr : result.Get(),
                                   nullptr, nullptr);
}

}  // namespace

void LateBoundFigures(const Options& options, Table& table) {
    BenchPlatform platform;
    Window window;
    Registry registry(window.Handle(), 10);
    ComPtr<_clsVxTimeTimerItemA> timer = registry.Last();
    ITypeInfo* timerInfo = zx::VtableTypeInfoOf(IID__clsVxTimeTimerItemA);
    ITypeInfo* serviceInfo = zx::VtableTypeInfoOf(IID__clsVxTimeTimerMainA);
    LONG hwnd = registry.hwnd, id = 10;
    VARIANT started, hwndRef, idRef;
    started.vt = VT_I4, started.lVal = timeTimerStatusStarted;
    hwndRef.vt = VT_I4 | VT_BYREF, hwndRef.plVal = &hwnd;
    idRef.vt = VT_I4 | VT_BYREF, idRef.plVal = &id;
    _clsVxTimeTimerMainA* service = registry.service.Get();

    std::vector<Call> calls = {
        {"BalanceTime get", timer.Get(), timerInfo, timer.Get(), 0x68030001, DISPATCH_PROPERTYGET, {}, false},
        {"Status get", timer.Get(), timerInfo, timer.Get(), 0x68030009, DISPATCH_PROPERTYGET, {}, false},
        {"Status let", timer.Get(), timerInfo, timer.Get(), 0x68030009, DISPATCH_PROPERTYPUT, {started}, true},
        {"Owner get (a string)", timer.Get(), timerInfo, timer.Get(), 0x68030008, DISPATCH_PROPERTYGET, {}, false},
        {"GetPercentage (a method, two references)", service, serviceInfo, service, 0x60030009, DISPATCH_METHOD,
         {idRef, hwndRef}, false},
    };
    const int perBlock = options.quick ? 50 : 20000, rounds = options.quick ? 2 : 7;
    for (Call& call : calls) {
        Figure figure{std::string("Late-bound ") + call.name, "us/call"};
        figure.floorName = "ITypeInfo::Invoke";
        figure.target = {"<= 1.0x", 1.0};
        if (FAILED(InvokeLibrary(call)) || FAILED(InvokeFloor(call))) figure.name += " (FAILED)";
        for (int round = 0; round < rounds; ++round) {
            figure.library.Add(Time([&] { for (int i = 0; i < perBlock; ++i) InvokeLibrary(call); }) / perBlock * 1e6);
            figure.floor.Add(Time([&] { for (int i = 0; i < perBlock; ++i) InvokeFloor(call); }) / perBlock * 1e6);
        }
        table.Add(std::move(figure));
    }
}

}  // namespace bench
