#include "test_support.h"
#include "service/event_relay.h"
namespace zx::test {
TEST_F(ComponentTest, TmpCycles) {
    auto refs = [](IUnknown* u) { u->AddRef(); return u->Release(); };
    ComPtr<TimerService> s = TimerService::Create();
    ComPtr<EventRelay> relay = EventRelay::Create();
    ComPtr<IDispatch> d; s.As(&d);
    DISPID id = IdOf(d.Get(), L"TimerGroups");
    DISPPARAMS none{};
    VARIANT result; VariantInit(&result);
    EXCEPINFO ex{}; UINT ae = 0;
    HRESULT hr = d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, &ex, &ae);
    printf("hr %lx vt %d refs %lu\n", hr, result.vt, refs(result.pdispVal));
    VariantClear(&result);
    ComPtr<_clsVxTimeTimerGroupsA> g; s->get_TimerGroups(&g);
    printf("vtable refs %lu\n", refs(g.Get()));
}
}
