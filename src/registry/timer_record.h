#pragma once
// clsVxTimeTimerItemA: one registered timer and its stored properties.
#include <cstdint>
#include <memory>

#include "apartment/additional_argu.h"
#include "com/com_object.h"
#include "com/native_identity.h"
#include "registry/progress_binding.h"

namespace zx {

class TimerCollection;

class TimerRecord final : public AutomationObject<_clsVxTimeTimerItemA>, private TickReceiver {
public:
    static ComPtr<TimerRecord> Create();

    STDMETHODIMP get_TimerObj(IDispatch** ret) override;
    STDMETHODIMP putref_TimerObj(IDispatch* value) override;
    STDMETHODIMP get_hWnd(LONG* ret) override;
    STDMETHODIMP put_hWnd(LONG value) override;
    STDMETHODIMP get_Percent(SHORT* ret) override;
    STDMETHODIMP get_IncreasingBalanceTime(LONG* ret) override;
    STDMETHODIMP get_Status(TimerStatusTypeTimeConstants* ret) override;
    STDMETHODIMP put_Status(TimerStatusTypeTimeConstants value) override;
    STDMETHODIMP get_Owner(BSTR* ret) override;
    STDMETHODIMP put_Owner(BSTR value) override;
    STDMETHODIMP get_ProgressBarObject(IDispatch** ret) override;
    STDMETHODIMP putref_ProgressBarObject(IDispatch* value) override;
    STDMETHODIMP get_TimerId(LONG* ret) override;
    STDMETHODIMP put_TimerId(LONG value) override;
    STDMETHODIMP get_StartTime(LONG* ret) override;
    STDMETHODIMP put_StartTime(LONG value) override;
    STDMETHODIMP get_TimeUnits(BSTR* ret) override;
    STDMETHODIMP put_TimeUnits(BSTR value) override;
    STDMETHODIMP get_ElapseTime(LONG* ret) override;
    STDMETHODIMP put_ElapseTime(LONG value) override;
    STDMETHODIMP get_Repeat(VARIANT_BOOL* ret) override;
    STDMETHODIMP put_Repeat(VARIANT_BOOL value) override;
    STDMETHODIMP get_BalanceTime(float* ret) override;
    STDMETHODIMP put_BalanceTime(float value) override;
    STDMETHODIMP get_AdditionalArgu(AdditionalArguStru* ret) override;
    STDMETHODIMP put_AdditionalArgu(AdditionalArguStru* value) override;
    STDMETHODIMP ShowProgressBar(IDispatch** OPBar, IDispatch** OTimer, VARIANT* ret) override;

    // The stored values, for the registry's own readers (the same values the
    // properties return).
    LONG TimerIdValue() const { return timerId_; }
    LONG HandleValue() const { return hWnd_; }
    LONG StatusValue() const { return status_; }
    LONG ElapseValue() const { return elapseTime_; }
    LONG StartValue() const { return startTime_; }
    bool RepeatValue() const { return repeat_ != 0; }
    // TimeUnits as text; KnownUnitsLabel gives it as a text of the module's
    // own, which lives as long as the module, when it is one of the labels
    // timer addition writes, and nullptr otherwise.
    std::wstring UnitsLabel() const;
    const wchar_t* KnownUnitsLabel() const;
    // BalanceTime as it reads when the clock says `clock`; raises as that
    // read fails.
    float BalanceAt(float clock) const;
    // The comments of AdditionalArgu as stored (not a copy).
    BSTR CommentsValue() const { return additionalArgu_.Get().sComments; }
    // TimeUnits from text that is not a BSTR: what timer addition writes.
    HRESULT SetTimeUnits(const wchar_t* label);

private:
    TimerRecord();
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
    friend class TimerCollection;  // keeps collection_ and the identifier

    // The progress display's tick handler: while the timer runs, moves the
    // bar to the time passed, in the timer's own unit.
    HRESULT OnTimerControlTick() noexcept override;
    IUnknown* Lifetime() noexcept override { return static_cast<_clsVxTimeTimerItemA*>(this); }

    LONG hWnd_ = 0;
    LONG timerId_ = 0;
    LONG elapseTime_ = 0;
    LONG startTime_ = 0;
    LONG repeat_ = 0;  // a Boolean held in 32 bits; any non-zero value reads as True
    LONG status_ = 0;
    // The collection that lists the record; null once removed. An
    // identifier change is reported to it, since it finds records by
    // identifier.
    TimerCollection* collection_ = nullptr;
    // TimeUnits: one of the labels the registry writes, by number, or any
    // other text in customUnits_ (kCustomUnits).
    uint8_t units_;
    Bstr customUnits_;
    ComPtr<IDispatch> progressBar_;
    Bstr ownerName_;  // null for an empty Owner, which reads the same
    OwnedRecord additionalArgu_;
    // TimerObj and its tick subscription, made when a control is first set;
    // last, so that the subscription ends first when the record goes.
    std::unique_ptr<TimerControlBinding> timerObj_;

    TimerControlBinding& Binding();
};

}  // namespace zx
