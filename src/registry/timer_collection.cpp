#include "registry/timer_collection.h"

#include <cmath>

#include "apartment/apartment.h"
#include "apartment/service_links.h"
#include "com/errors.h"
#include "platform/platform.h"
#include "registry/time_units.h"
#include "registry/timer_record.h"

namespace zx {

ComPtr<_clsVxTimeTimerItemsA> TimerCollection::Create() { return MakeObject<TimerCollection>(); }

STDMETHODIMP TimerCollection::Remove(LONG* IndexKey) {
    if (!IndexKey) return E_POINTER;
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        const LONG position = *IndexKey;
        if (position < 1 || size_t(position) > records_.size()) Raise(ErrorNumber::SubscriptOutOfRange);
        ComPtr<_clsVxTimeTimerItemA> removed = std::move(records_[position - 1]);
        records_.erase(records_.begin() + (position - 1));
    });
}

STDMETHODIMP TimerCollection::Clear() {
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        ComPtr<TimerCollection> self(this);
        const size_t count = records_.size();
        for (size_t i = 0; i < count; ++i) {
            LONG first = 1;
            ThrowIfFailed(Remove(&first));
        }
    });
}

STDMETHODIMP TimerCollection::get_Count(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = static_cast<LONG>(records_.size());
    return S_OK;
}

STDMETHODIMP TimerCollection::get_Item(VARIANT* Index, _clsVxTimeTimerItemA** ret) {
    if (!Index || !ret) return E_POINTER;
    *ret = nullptr;
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
        if (at < 1 || size_t(at) > records_.size()) Raise(ErrorNumber::SubscriptOutOfRange);
        *ret = ComPtr<_clsVxTimeTimerItemA>(records_[at - 1]).Detach();
    });
}

STDMETHODIMP TimerCollection::CheckExistance(LONG* lHwnd, LONG* lTimerId, VARIANT_BOOL* ret) {
    if (!lHwnd || !lTimerId || !ret) return E_POINTER;
    *ret = VARIANT_FALSE;
    return Barrier(__uuidof(_clsVxTimeTimerItemsA), [&] {
        bool found = false;
        for (const auto& record : records_) {
            LONG id = 0, handle = 0;
            ThrowIfFailed(record->get_TimerId(&id));
            ThrowIfFailed(record->get_hWnd(&handle));
            if (id == *lTimerId && handle == *lHwnd) found = true;
        }
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
    ThrowIfFailed(timer->put_TimeUnits(Bstr(interval.label).Get()));
    timer->put_Repeat(*repeat);
    ThrowIfFailed(timer->put_AdditionalArgu(record));
    timer->put_Status(timeTimerStatusStarted);
    timer->put_StartTime(static_cast<LONG>(std::nearbyint(CurrentPlatform().SecondsSinceMidnight())));
    ThrowIfFailed(timer->put_Owner(owner));
    records_.push_back(timer);

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
