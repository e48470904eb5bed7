#include "registry/timer_record.h"

#include "com/errors.h"
#include "platform/platform.h"
#include "registry/progress_binding.h"
#include "registry/time_accounting.h"
#include "registry/timer_collection.h"

namespace zx {
namespace {

template <class T>
HRESULT Read(T* out, const T& value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

HRESULT ReadObject(IDispatch** out, const ComPtr<IDispatch>& value) {
    if (!out) return E_POINTER;
    *out = ComPtr<IDispatch>(value).Detach();
    return S_OK;
}

HRESULT ReadString(BSTR* out, const Bstr& value) {
    if (!out) return E_POINTER;
    *out = value.Get() ? Bstr::Copy(value.Get()) : SysAllocString(L"");
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT WriteString(Bstr& field, BSTR value) {
    BSTR copy = Bstr::Copy(value);
    if (value && !copy) return E_OUTOFMEMORY;
    *field.Put() = copy;
    return S_OK;
}

// The balance as the clock reads now; never below 0.
float BalanceNow(const std::wstring& units, LONG elapseTime, LONG startTime) {
    return BalanceTime(units, elapseTime, startTime, CurrentPlatform().SecondsSinceMidnight());
}

// The labels timer addition writes, and the empty text. A record with one
// of them keeps its number: most records hold one, and a string each would
// be most of a record's size.
constexpr const wchar_t* kKnownUnits[] = {L"MSec", L"Sec", L"Min", L"Hrs", L""};
constexpr uint8_t kEmptyUnits = 4;
constexpr uint8_t kCustomUnits = 0xFF;

uint8_t KnownUnitsOf(const wchar_t* text, size_t length) {
    for (uint8_t i = 0; i < std::size(kKnownUnits); ++i)
        if (length == wcslen(kKnownUnits[i]) && (length == 0 || wmemcmp(text, kKnownUnits[i], length) == 0)) return i;
    return kCustomUnits;
}

uint8_t KnownUnitsOf(BSTR value) {
    // A string of an odd number of bytes is none of the labels.
    if (SysStringByteLen(value) % sizeof(wchar_t)) return kCustomUnits;
    return KnownUnitsOf(value, SysStringLen(value));
}

}  // namespace

ComPtr<TimerRecord> TimerRecord::Create() { return MakeObject<TimerRecord>(); }

TimerRecord::TimerRecord() : units_(kEmptyUnits) {}

std::wstring TimerRecord::UnitsLabel() const {
    return units_ == kCustomUnits ? customUnits_.Str() : std::wstring(kKnownUnits[units_]);
}

const wchar_t* TimerRecord::KnownUnitsLabel() const {
    return units_ == kCustomUnits ? nullptr : kKnownUnits[units_];
}

float TimerRecord::BalanceAt(float clock) const { return BalanceTime(UnitsLabel(), elapseTime_, startTime_, clock); }

TimerControlBinding& TimerRecord::Binding() {
    if (!timerObj_) timerObj_ = std::make_unique<TimerControlBinding>();
    return *timerObj_;
}

STDMETHODIMP TimerRecord::get_TimerObj(IDispatch** ret) {
    return ReadObject(ret, timerObj_ ? timerObj_->Control() : nullptr);
}
STDMETHODIMP TimerRecord::putref_TimerObj(IDispatch* value) {
    return Barrier(__uuidof(_clsVxTimeTimerItemA), [&] {
        if (value || timerObj_) Binding().Set(value, this);
    });
}
STDMETHODIMP TimerRecord::get_hWnd(LONG* ret) { return Read(ret, hWnd_); }
STDMETHODIMP TimerRecord::put_hWnd(LONG value) {
    hWnd_ = value;
    return S_OK;
}
STDMETHODIMP TimerRecord::get_Percent(SHORT* ret) {
    if (!ret) return E_POINTER;
    *ret = 0;
    return Barrier(__uuidof(_clsVxTimeTimerItemA), [&] {
        const float balance = BalanceNow(UnitsLabel(), elapseTime_, startTime_);
        *ret = Percent(elapseTime_, balance);
    });
}
STDMETHODIMP TimerRecord::get_IncreasingBalanceTime(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = 0;
    return Barrier(__uuidof(_clsVxTimeTimerItemA), [&] {
        const float balance = BalanceNow(UnitsLabel(), elapseTime_, startTime_);
        *ret = IncreasingBalanceTime(elapseTime_, balance);
    });
}
STDMETHODIMP TimerRecord::get_Status(TimerStatusTypeTimeConstants* ret) {
    return Read(ret, static_cast<TimerStatusTypeTimeConstants>(status_));
}
STDMETHODIMP TimerRecord::put_Status(TimerStatusTypeTimeConstants value) {
    status_ = value;
    return S_OK;
}
STDMETHODIMP TimerRecord::get_Owner(BSTR* ret) { return ReadString(ret, ownerName_); }
STDMETHODIMP TimerRecord::put_Owner(BSTR value) {
    if (SysStringByteLen(value) == 0) {
        ownerName_.Reset();
        return S_OK;
    }
    return WriteString(ownerName_, value);
}
STDMETHODIMP TimerRecord::get_ProgressBarObject(IDispatch** ret) { return ReadObject(ret, progressBar_); }
STDMETHODIMP TimerRecord::putref_ProgressBarObject(IDispatch* value) {
    ComPtr<IDispatch> previous = std::exchange(progressBar_, value);
    return S_OK;
}
STDMETHODIMP TimerRecord::get_TimerId(LONG* ret) { return Read(ret, timerId_); }
STDMETHODIMP TimerRecord::put_TimerId(LONG value) {
    if (collection_) collection_->Rekey(this, value);
    else timerId_ = value;
    return S_OK;
}
STDMETHODIMP TimerRecord::get_StartTime(LONG* ret) { return Read(ret, startTime_); }
STDMETHODIMP TimerRecord::put_StartTime(LONG value) {
    startTime_ = value;
    return S_OK;
}
STDMETHODIMP TimerRecord::get_TimeUnits(BSTR* ret) {
    if (!ret) return E_POINTER;
    if (units_ == kCustomUnits) return ReadString(ret, customUnits_);
    *ret = SysAllocString(kKnownUnits[units_]);
    return *ret ? S_OK : E_OUTOFMEMORY;
}
HRESULT TimerRecord::SetTimeUnits(const wchar_t* label) {
    const uint8_t known = KnownUnitsOf(label, label ? wcslen(label) : 0);
    if (known == kCustomUnits) return put_TimeUnits(Bstr(label).Get());
    units_ = known;
    customUnits_.Reset();
    return S_OK;
}

STDMETHODIMP TimerRecord::put_TimeUnits(BSTR value) {
    const uint8_t known = KnownUnitsOf(value);
    if (known != kCustomUnits) {
        units_ = known;
        customUnits_.Reset();
        return S_OK;
    }
    HRESULT hr = WriteString(customUnits_, value);
    if (SUCCEEDED(hr)) units_ = kCustomUnits;
    return hr;
}
STDMETHODIMP TimerRecord::get_ElapseTime(LONG* ret) { return Read(ret, elapseTime_); }
STDMETHODIMP TimerRecord::put_ElapseTime(LONG value) {
    elapseTime_ = value;
    return S_OK;
}
STDMETHODIMP TimerRecord::get_Repeat(VARIANT_BOOL* ret) {
    return Read(ret, repeat_ ? VARIANT_TRUE : VARIANT_FALSE);
}
STDMETHODIMP TimerRecord::put_Repeat(VARIANT_BOOL value) {
    repeat_ = value;
    return S_OK;
}
STDMETHODIMP TimerRecord::get_BalanceTime(float* ret) {
    if (!ret) return E_POINTER;
    *ret = 0;
    return Barrier(__uuidof(_clsVxTimeTimerItemA),
                   [&] { *ret = BalanceNow(UnitsLabel(), elapseTime_, startTime_); });
}
// Accepted and not kept: every read computes the balance afresh, so a
// written value could never be seen again.
STDMETHODIMP TimerRecord::put_BalanceTime(float) { return S_OK; }
STDMETHODIMP TimerRecord::get_AdditionalArgu(AdditionalArguStru* ret) {
    if (!ret) return E_POINTER;
    *ret = AdditionalArguStru{};
    try {
        CopyRecord(additionalArgu_.Get(), *ret);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
STDMETHODIMP TimerRecord::put_AdditionalArgu(AdditionalArguStru* value) {
    if (!value) return E_POINTER;
    try {
        CopyRecord(*value, additionalArgu_.Get());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
// Each step reads the by-reference arguments and the fields afresh: the
// client's bar and control may run code of the client's between the steps.
STDMETHODIMP TimerRecord::ShowProgressBar(IDispatch** OPBar, IDispatch** OTimer, VARIANT* ret) {
    if (ret) VariantInit(ret);
    if (!OPBar || !OTimer) return E_POINTER;
    return Barrier(__uuidof(_clsVxTimeTimerItemA), [&] {
        SetBarMin(*OPBar, 0);
        SetBarMax(*OPBar, elapseTime_);
        Binding().Set(*OTimer, this);
        SetControlEnabled(timerObj_->Control(), true);
        ComPtr<IDispatch> previous = std::exchange(progressBar_, *OPBar);
        SetControlInterval(timerObj_->Control(), 1);
    });
}

HRESULT TimerRecord::OnTimerControlTick() noexcept {
    return Barrier(__uuidof(_clsVxTimeTimerItemA), [&] {
        if (status_ != timeTimerStatusStarted) return;
        const float balance = BalanceNow(UnitsLabel(), elapseTime_, startTime_);
        SetBarValue(progressBar_.Get(), static_cast<double>(elapseTime_) - static_cast<double>(balance));
    });
}

}  // namespace zx
