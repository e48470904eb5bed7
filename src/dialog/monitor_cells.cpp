#include "dialog/monitor_cells.h"

#include <bit>
#include <iterator>

#include "com/errors.h"
#include "apartment/additional_argu.h"
#include "com/owned.h"

namespace zx {
namespace {

constexpr const wchar_t* kLabels[] = {L"Start", L"Stop", L"Reset", L"Restart", L"End"};

std::wstring Decimal(LONG value) { return std::to_wstring(value); }

std::wstring UnitsOf(_clsVxTimeTimerItemA* timer) {
    Bstr units;
    ThrowIfFailed(timer->get_TimeUnits(units.Put()));
    return units.Str();
}

}  // namespace

std::wstring BooleanText(VARIANT_BOOL value) {
    Bstr text;
    ThrowIfFailed(VarBstrFromBool(value, LOCALE_USER_DEFAULT, 0, text.Put()));
    return text.Str();
}

const wchar_t* StatusLabel(LONG status) {
    static_assert(timeTimerStatusStarted == 0 && timeTimerStatusEnded == 4);
    return status >= 0 && status < LONG(std::size(kLabels)) ? kLabels[status] : nullptr;
}

uint8_t LabelCarry::Next(LONG status) {
    if (StatusLabel(status)) carried_ = static_cast<uint8_t>(status + 1);
    return carried_;
}

const wchar_t* LabelCarry::Text(uint8_t code) { return code == 0 ? L"" : kLabels[code - 1]; }

const std::wstring& CellReader::SingleText(float value) {
    auto [entry, added] = singles_.try_emplace(std::bit_cast<uint32_t>(value));
    if (added) {
        Bstr text;
        HRESULT hr = VarBstrFromR4(value, LOCALE_USER_DEFAULT, 0, text.Put());
        if (FAILED(hr)) {
            singles_.erase(entry);
            throw ComFailure{hr};
        }
        entry->second = text.Str();
    }
    return entry->second;
}

void CellReader::Read(_clsVxTimeTimerItemA* timer, uint8_t label, MonitorRow& row) {
    LONG value = 0;
    ThrowIfFailed(timer->get_hWnd(&value));
    row.cells[kColumnHandle] = Decimal(value);
    ThrowIfFailed(timer->get_TimerId(&value));
    row.cells[kColumnId] = Decimal(value);
    ThrowIfFailed(timer->get_ElapseTime(&value));
    std::wstring elapse = Decimal(value);
    row.cells[kColumnElapse] = elapse + L" " + UnitsOf(timer);
    float balance = 0;
    ThrowIfFailed(timer->get_BalanceTime(&balance));
    std::wstring balanceText = SingleText(balance);
    row.cells[kColumnBalance] = balanceText + L" " + UnitsOf(timer);
    VARIANT_BOOL repeat = VARIANT_FALSE;
    ThrowIfFailed(timer->get_Repeat(&repeat));
    row.cells[kColumnRepeat] = BooleanText(repeat);
    row.cells[kColumnStatus] = LabelCarry::Text(label);
    OwnedRecord record;
    ThrowIfFailed(timer->get_AdditionalArgu(&record.Get()));
    const BSTR comments = record.Get().sComments;
    row.cells[kColumnComments] = comments ? std::wstring(comments, SysStringLen(comments)) : std::wstring();
}

}  // namespace zx
