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

    // The component's own collection behind `items`, or nullptr for an
    // object a client stored as a group's TimerItems. Compares the function
    // table, as every interface pointer starts with one: nothing is called on
    // a client's object.
    static TimerCollection* FromInterface(_clsVxTimeTimerItemsA* items) {
        static const void* const table = [] {
            ComPtr<_clsVxTimeTimerItemsA> probe = Create();
            return *reinterpret_cast<const void* const*>(probe.Get());
        }();
        if (!items || *reinterpret_cast<const void* const*>(items) != table) return nullptr;
        return static_cast<TimerCollection*>(items);
    }
    // The timers in collection order, for readers inside the component.
    const std::vector<ComPtr<_clsVxTimeTimerItemA>>& Timers() const { return records_; }

private:
    TimerCollection() = default;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
    void AddTimer(LONG* lTimerId, AdditionalArguStru* record, LONG* lElapseTime, LONG units, VARIANT_BOOL* repeat,
                  BSTR owner);

    std::vector<ComPtr<_clsVxTimeTimerItemA>> records_;
};

}  // namespace zx
