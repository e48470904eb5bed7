#include "registry/timer_collection.h"

#include <algorithm>
#include <cmath>

#include "apartment/apartment.h"
#include "apartment/service_links.h"
#include "com/errors.h"
#include "platform/platform.h"
#include "registry/time_units.h"
#include "registry/timer_record.h"

namespace zx {

ComPtr<_clsVxTimeTimerItemsA> TimerCollection::Create() { return MakeObject<TimerCollection>(); }

TimerCollection::TimerCollection() { Identity::Remember(this); }

TimerCollection::~TimerCollection() {
    // Records the client still holds are no longer listed anywhere.
    for (size_t i = front_; i < records_.size(); ++i) records_[i]->collection_ = nullptr;
}

void TimerCollection::Append(const ComPtr<TimerRecord>& record) {
    // Room first: nothing below may fail once the index holds the record.
    if (records_.size() == records_.capacity()) records_.reserve(std::max<size_t>(16, records_.capacity() * 2));
    index_.Insert(record->timerId_, static_cast<uint32_t>(records_.size()));
    record->collection_ = this;
    records_.push_back(record);
}

uint32_t TimerCollection::SlotOf(TimerRecord* record) const {
    uint32_t found = 0;
    index_.ForEach(record->timerId_, [&](uint32_t slot) {
        if (records_[slot].Get() == record) found = slot;
    });
    return found;
}

ComPtr<TimerRecord> TimerCollection::Take(LONG position) {
    const size_t slot = front_ + position - 1;
    ComPtr<TimerRecord> taken = std::move(records_[slot]);
    index_.Erase(taken->timerId_, static_cast<uint32_t>(slot));
    taken->collection_ = nullptr;
    if (slot == front_) {
        ++front_;
        // Gives the space of taken records back once they are half the list.
        if (front_ == records_.size()) {
            records_.clear();
            front_ = 0;
        } else if (front_ >= 64 && front_ * 2 >= records_.size()) {
            records_.erase(records_.begin(), records_.begin() + front_);
            index_.ShiftDown(static_cast<uint32_t>(front_), static_cast<uint32_t>(front_));
            front_ = 0;
        }
    } else {
        records_.erase(records_.begin() + slot);
        if (slot < records_.size()) index_.ShiftDown(static_cast<uint32_t>(slot + 1), 1);
    }
    return taken;
}

LONG TimerCollection::FirstPositionOf(LONG timerId) const {
    size_t first = records_.size();
    index_.ForEach(timerId, [&](uint32_t slot) { first = std::min<size_t>(first, slot); });
    return first == records_.size() ? 0 : static_cast<LONG>(first - front_ + 1);
}

void TimerCollection::Rekey(TimerRecord* record, LONG timerId) noexcept {
    // Listing the record again never needs more room than it had.
    const uint32_t slot = SlotOf(record);
    index_.Erase(record->timerId_, slot);
    record->timerId_ = timerId;
    index_.Insert(timerId, slot);
}

STDMETHODIMP TimerCollection::Remove(LONG* IndexKey) {
    if (!IndexKey) return E_POINTER;
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        const LONG position = *IndexKey;
        if (position < 1 || position > Count()) Raise(ErrorNumber::SubscriptOutOfRange);
        ComPtr<TimerRecord> removed = Take(position);
    });
}

STDMETHODIMP TimerCollection::Clear() {
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        ComPtr<TimerCollection> self(this);
        const LONG count = Count();
        for (LONG i = 0; i < count; ++i) {
            LONG first = 1;
            ThrowIfFailed(Remove(&first));
        }
    });
}

STDMETHODIMP TimerCollection::get_Count(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = Count();
    return S_OK;
}

STDMETHODIMP TimerCollection::get_Item(VARIANT* Index, _clsVxTimeTimerItemA** ret) {
    if (!Index || !ret) return E_POINTER;
    *ret = nullptr;
    // A plain position, as the registry's own readers pass it.
    if (Index->vt == VT_I4) {
        if (Index->lVal >= 1 && Index->lVal <= Count()) {
            *ret = ComPtr<_clsVxTimeTimerItemA>(At(Index->lVal)).Detach();
            return S_OK;
        }
    }
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        Variant index;
        if (HoldsRecord(*Index) || FAILED(VariantCopyInd(index.Get(), Index))) Raise(ErrorNumber::TypeMismatch);
        // Records carry no keys, so a text index never finds one.
        if (index->vt == VT_BSTR) Raise(ErrorNumber::InvalidArgument);
        Variant position;
        HRESULT hr = VariantChangeType(position.Get(), index.Get(), 0, VT_I4);
        if (hr == DISP_E_OVERFLOW) Raise(ErrorNumber::SubscriptOutOfRange);
        if (FAILED(hr)) Raise(ErrorNumber::TypeMismatch);
        LONG at = position->lVal;
        if (at < 1 || at > Count()) Raise(ErrorNumber::SubscriptOutOfRange);
        *ret = ComPtr<_clsVxTimeTimerItemA>(At(at)).Detach();
    });
}

STDMETHODIMP TimerCollection::CheckExistance(LONG* lHwnd, LONG* lTimerId, VARIANT_BOOL* ret) {
    if (!lHwnd || !lTimerId || !ret) return E_POINTER;
    *ret = VARIANT_FALSE;
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        bool found = false;
        index_.ForEach(*lTimerId, [&](uint32_t slot) { found = found || records_[slot]->hWnd_ == *lHwnd; });
        *ret = found ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

STDMETHODIMP TimerCollection::Add(LONG* lTimerId, AdditionalArguStru* sAdditionalArguStru, LONG* lElapseTime,
                                  TimerTimeUnitsTimeConstants* Units, VARIANT_BOOL* Repeat, BSTR* Owner,
                                  VARIANT* ret) {
    if (!lTimerId || !sAdditionalArguStru || !lElapseTime || !ret) return E_POINTER;
    VariantInit(ret);
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        // Omitted optional arguments may arrive as NULL pointers.
        AddTimer(lTimerId, sAdditionalArguStru, lElapseTime, Units ? *Units : 0, Repeat, Owner ? *Owner : nullptr);
    });
}

void TimerCollection::AddTimer(LONG* lTimerId, AdditionalArguStru* record, LONG* lElapseTime, LONG units,
                               VARIANT_BOOL* repeat, BSTR owner) {
    ComPtr<TimerCollection> self(this);
    ApartmentState& state = Apartment();
    if (state.gCurrentHwnd == 0) return;

    const ArmingInterval interval = IntervalFor(*lElapseTime, units);

    VARIANT_BOOL exists = VARIANT_FALSE;
    ThrowIfFailed(CheckExistance(&state.gCurrentHwnd, lTimerId, &exists));
    if (exists) {
        CurrentPlatform().MessageBox(std::to_wstring(*lTimerId) + L" is already assigned to " +
                                     std::to_wstring(state.gCurrentHwnd));
        return;
    }

    VARIANT_BOOL omittedRepeat = VARIANT_FALSE;
    if (!repeat) repeat = &omittedRepeat;
    ComPtr<TimerRecord> timer = TimerRecord::Create();
    timer->put_hWnd(state.gCurrentHwnd);
    timer->put_TimerId(*lTimerId);
    timer->put_ElapseTime(*lElapseTime);
    ThrowIfFailed(timer->SetTimeUnits(interval.label));
    timer->put_Repeat(*repeat);
    ThrowIfFailed(timer->put_AdditionalArgu(record));
    timer->put_Status(timeTimerStatusStarted);
    timer->put_StartTime(static_cast<LONG>(std::nearbyint(CurrentPlatform().SecondsSinceMidnight())));
    ThrowIfFailed(timer->put_Owner(owner));
    Append(timer);

    // Handlers may cancel, and may change the window handle, the identifier
    // and the record: arming below uses what they leave.
    ComPtr<TimerNotifier> main = Service().TimerMain();
    VARIANT_BOOL cancel = VARIANT_FALSE;
    if (main) main->RaiseTimerStart(&state.gCurrentHwnd, lTimerId, *lElapseTime, record, &cancel);
    if (cancel != VARIANT_FALSE) {
        timer->put_Status(timeTimerStatusStopped);
        return;
    }
    LONG milliseconds = interval.milliseconds;
    Service().ArmTimer(&state.gCurrentHwnd, lTimerId, &milliseconds, repeat, record);
}

}  // namespace zx
