#pragma once
// clsVxTimeTimerItemsA: the timers of one window group, and timer addition,
// the component's central operation.
#include <vector>

#include "com/com_object.h"
#include "com/native_identity.h"
#include "com/owned.h"
#include "registry/timer_id_index.h"
#include "zentrix.h"

namespace zx {

class TimerRecord;

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

    // The collection behind `timers` when it is one of this module's, else
    // nullptr (a client's own collection is only ever called through its
    // interface).
    static TimerCollection* Native(_clsVxTimeTimerItemsA* timers) { return Identity::Of(timers); }
    LONG Count() const { return static_cast<LONG>(records_.size() - front_); }
    // The record at a 1-based position (a valid one).
    TimerRecord* At(LONG position) const { return records_[front_ + position - 1].Get(); }
    // The position of the first record with that identifier, or 0: what
    // reading TimerId through Item from position 1 on finds.
    LONG FirstPositionOf(LONG timerId) const;
    // Sets a listed record's identifier, keeping the index exact.
    void Rekey(TimerRecord* record, LONG timerId) noexcept;

private:
    using Identity = NativeIdentity<TimerCollection, _clsVxTimeTimerItemsA>;
    TimerCollection();
    ~TimerCollection() override;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
    void AddTimer(LONG* lTimerId, AdditionalArguStru* record, LONG* lElapseTime, LONG units, VARIANT_BOOL* repeat,
                  BSTR owner);
    void Append(const ComPtr<TimerRecord>& record);
    uint32_t SlotOf(TimerRecord* record) const;  // of a listed record
    // Takes the record at a valid 1-based position out of the list; the
    // caller releases it once the list is consistent again.
    ComPtr<TimerRecord> Take(LONG position);

    // The records in order from records_[front_]: taking the first record,
    // as Clear does for each, moves front_ instead of the others.
    std::vector<ComPtr<TimerRecord>> records_;
    size_t front_ = 0;
    TimerIdIndex index_;
};

}  // namespace zx
