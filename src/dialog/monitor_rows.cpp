#include "dialog/monitor_rows.h"

#include <bit>
#include <cstdint>
#include <unordered_map>

#include "apartment/apartment.h"
#include "com/errors.h"
#include "com/owned.h"
#include "registry/window_groups.h"

namespace zx {
namespace {

std::wstring Decimal(LONG value) { return std::to_wstring(value); }

// The runtime's single-to-text conversion under the user's locale: at most
// seven significant digits, the user's decimal separator. The conversion
// dominates the cost of a large refresh and many timers share a balance, so
// each refresh converts every distinct value once.
class SingleText {
public:
    const std::wstring& operator()(float value) {
        auto [entry, added] = texts_.try_emplace(std::bit_cast<uint32_t>(value));
        if (added) {
            Bstr text;
            HRESULT hr = VarBstrFromR4(value, LOCALE_USER_DEFAULT, 0, text.Put());
            if (FAILED(hr)) {
                texts_.erase(entry);
                throw ComFailure{hr};
            }
            entry->second = text.Str();
        }
        return entry->second;
    }

private:
    std::unordered_map<uint32_t, std::wstring> texts_;
};

// The runtime's Boolean text without the localised-names flag: True/False.
std::wstring BooleanText(VARIANT_BOOL value) {
    Bstr text;
    ThrowIfFailed(VarBstrFromBool(value, LOCALE_USER_DEFAULT, 0, text.Put()));
    return text.Str();
}

std::wstring UnitsOf(_clsVxTimeTimerItemA* timer) {
    Bstr units;
    ThrowIfFailed(timer->get_TimeUnits(units.Put()));
    return units.Str();
}

}  // namespace

const wchar_t* StatusLabel(LONG status) {
    switch (status) {
        case timeTimerStatusStarted: return L"Start";
        case timeTimerStatusStopped: return L"Stop";
        case timeTimerStatusReset: return L"Reset";
        case timeTimerStatusRestart: return L"Restart";
        case timeTimerStatusEnded: return L"End";
        default: return nullptr;
    }
}

void FillRows(LONG filter, std::vector<MonitorRow>& rows) {
    rows.clear();
    LONG n = 1;
    // A status without a label shows the label of the row before it; the
    // first row of a refresh has none to inherit.
    std::wstring label;
    SingleText singleText;

    ComPtr<_clsVxTimeTimerGroupsA> groups = TimerGroups();
    LONG groupCount = 0;
    ThrowIfFailed(groups->Count(&groupCount));
    for (LONG k = 1; k <= groupCount; ++k) {
        LONG position = k;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ThrowIfFailed(groups->get_Item(&position, &group));  // moves gCurrentHwnd
        if (!group) Raise(ErrorNumber::ObjectNotSet);
        LONG groupHandle = 0;
        ThrowIfFailed(group->get_hWnd(&groupHandle));
        if (filter != 0 && groupHandle != filter) continue;

        ComPtr<_clsVxTimeTimerItemsA> timers;
        ThrowIfFailed(group->get_TimerItems(&timers));
        if (!timers) Raise(ErrorNumber::ObjectNotSet);
        LONG timerCount = 0;
        ThrowIfFailed(timers->get_Count(&timerCount));
        for (LONG j = 1; j <= timerCount; ++j, ++n) {
            // The row exists, numbered, before any of its values is read.
            MonitorRow& row = rows.emplace_back();
            row.cells[kColumnRow] = Decimal(n);

            VARIANT index;
            index.vt = VT_I4;
            index.lVal = j;
            ComPtr<_clsVxTimeTimerItemA> timer;
            ThrowIfFailed(timers->get_Item(&index, &timer));
            if (!timer) Raise(ErrorNumber::ObjectNotSet);

            TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
            ThrowIfFailed(timer->get_Status(&status));
            if (const wchar_t* known = StatusLabel(status)) label = known;

            LONG value = 0;
            ThrowIfFailed(timer->get_hWnd(&value));
            row.cells[kColumnHandle] = Decimal(value);
            ThrowIfFailed(timer->get_TimerId(&value));
            row.cells[kColumnId] = Decimal(value);
            ThrowIfFailed(timer->get_ElapseTime(&value));
            std::wstring elapse = Decimal(value);
            row.cells[kColumnElapse] = elapse + L" " + UnitsOf(timer.Get());
            float balance = 0;
            ThrowIfFailed(timer->get_BalanceTime(&balance));
            std::wstring balanceText = singleText(balance);
            row.cells[kColumnBalance] = balanceText + L" " + UnitsOf(timer.Get());
            VARIANT_BOOL repeat = VARIANT_FALSE;
            ThrowIfFailed(timer->get_Repeat(&repeat));
            row.cells[kColumnRepeat] = BooleanText(repeat);
            row.cells[kColumnStatus] = label;
            OwnedRecord record;
            ThrowIfFailed(timer->get_AdditionalArgu(&record.Get()));
            const BSTR comments = record.Get().sComments;
            row.cells[kColumnComments] = comments ? std::wstring(comments, SysStringLen(comments)) : std::wstring();
        }
    }
}

}  // namespace zx
