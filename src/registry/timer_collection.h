#pragma once
// clsVxTimeTimerItemsA: the timers of one window group, and timer addition,
// the component's central operation.
#include <vector>

#include "com/com_object.h"
#include "com/owned.h"
#include "zentrix.h"

namespace zx {

class TimerCollection final : public AutomationObject<_clsVxTimeTimerItemsA> {
public:
    static ComPtr<_clsVxTimeTimerItemsA> Create();

    STDMETHODIMP Remove(LONG* IndexKey) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP get_Count(LONG* ret) override;
    STDMETHODIMP get_Item(VARIANT* Index, _clsVxTimeTimerItemA** ret) override;
    STDMETHODIMP CheckExistance(LONG* lHwnd, LONG* lTimerId, VARIANT_BOOL* ret) override;
    STDMETHODIMP Add(LONG* lTimerId, AdditionalArguStru* sAdditionalArguStru, LONG* lElapseTime,
                     TimerTimeUnitsTimeConstants* Units, VARIANT_BOOL* Repeat, BSTR* Owner, VARIANT* ret) override;

private:
    TimerCollection() = default;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
    void AddTimer(LONG* lTimerId, AdditionalArguStru* record, LONG* lElapseTime, LONG units, VARIANT_BOOL* repeat,
                  BSTR owner);

    std::vector<ComPtr<_clsVxTimeTimerItemA>> records_;
};

}  // namespace zx
