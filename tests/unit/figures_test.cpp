// The numbers a timer hands out are true single- and double-precision
// results: the same in the 32-bit and the 64-bit build. Each case below was
// chosen so that arithmetic carried in 80-bit registers would give another
// answer: a double quotient that lands just off a half (so it rounds the
// other way), a balance that is no single (so it is wider than the property's
// type), and intervals at the 32-bit limits.
#include <limits>

#include "dialog/monitor_rows.h"
#include "registry/time_accounting.h"
#include "test_support.h"

namespace zx::test {
namespace {

constexpr LONG kMost = std::numeric_limits<LONG>::max();
constexpr LONG kLeast = std::numeric_limits<LONG>::min();

struct Figures {
    float balance;
    LONG increasing;
    SHORT percent;
    LONG percentage;  // the service object's GetPercentage
    bool operator==(const Figures&) const = default;
};
void PrintTo(const Figures& f, std::ostream* out) {
    out->precision(10);
    *out << "{" << f.balance << ", " << f.increasing << ", " << f.percent << ", " << f.percentage << "}";
}

class FiguresTest : public ComponentTest {
protected:
    static constexpr LONG kWindow = 300;

    void SetUp() override {
        ComponentTest::SetUp();
        service = NewService();
        timers = AddGroup(kWindow);
    }
    void TearDown() override {
        timers.Reset();
        service.Reset();
        ComponentTest::TearDown();
    }
    // A timer added at 3600 s with `units`, then given `elapse` as written by
    // a client (Add refuses intervals this large in some units).
    ComPtr<_clsVxTimeTimerItemA> Timer(LONG elapse, LONG units) {
        platform.clock = 3600.0f;
        EXPECT_EQ(S_OK, AddTimer(timers.Get(), ++lastId, 1, units));
        LONG count = 0;
        timers->get_Count(&count);
        ComPtr<_clsVxTimeTimerItemA> timer = TimerAt(timers.Get(), count);
        timer->put_ElapseTime(elapse);
        return timer;
    }
    // Every figure, read through the vtable, with the clock `passed` seconds
    // after the start.
    Figures Read(_clsVxTimeTimerItemA* timer, float passed) {
        platform.clock = 3600.0f + passed;
        Figures f{-1, -1, -1, -1};
        EXPECT_EQ(S_OK, timer->get_BalanceTime(&f.balance));
        EXPECT_EQ(S_OK, timer->get_IncreasingBalanceTime(&f.increasing));
        EXPECT_EQ(S_OK, timer->get_Percent(&f.percent));
        LONG hwnd = kWindow, id = 0;
        timer->get_TimerId(&id);
        EXPECT_EQ(S_OK, service->GetPercentage(&hwnd, &id, &f.percentage));
        return f;
    }

    ComPtr<TimerService> service;
    ComPtr<_clsVxTimeTimerItemsA> timers;
    LONG lastId = 0;
};

TEST(Figures, QuotientsJustOffAHalfRoundAsDoublesDo) {
    // 23/40*100 is 57.49999999999999 in double precision (57.5 exactly with
    // more bits), 59/200*100 is 29.5, 109/200*100 is 54.50000000000001.
    EXPECT_EQ(57, Percent(40, 23.0f));
    EXPECT_EQ(57, Percentage(40, 23.0f));
    EXPECT_EQ(30, Percent(200, 59.0f));
    EXPECT_EQ(30, Percentage(200, 59.0f));
    EXPECT_EQ(55, Percent(200, 109.0f));
    EXPECT_EQ(55, Percentage(200, 109.0f));
}

TEST(Figures, BalancesAreSinglesAtTheLimits) {
    // The interval minus the milliseconds passed, rounded to a single.
    EXPECT_EQ(-2147482624.0f, ComputeBalanceTime(L"MSec", kLeast + 2000, 3600, 3601.0f));
    EXPECT_EQ(2147483648.0f, ComputeBalanceTime(L"MSec", kMost, 3600, 3600.0f));
    EXPECT_EQ(2147482624.0f, ComputeBalanceTime(L"Sec", kMost - 1000, 3600, 3610.0f));
    // Minutes and hours pass through double precision first.
    EXPECT_EQ(16777216.0f, ComputeBalanceTime(L"Min", 16777217, 3600, 3601.0f));
    EXPECT_EQ(8388608.0f, ComputeBalanceTime(L"Min", 8388609, 3600, 3630.0f));  // .5 ties to even
    EXPECT_EQ(595.50030517578125f, ComputeBalanceTime(L"Hrs", 596, 3600, 5399.0f));
    EXPECT_EQ(-2147483648.0f, ComputeBalanceTime(L"Hrs", kLeast, 3600, 3601.0f));
}

TEST_F(FiguresTest, EveryReaderSeesTheRoundedBalance) {
    // A wider balance would give 0, 0 and 58 here.
    EXPECT_EQ((Figures{2147483648.0f, -1, 100, 100}), Read(Timer(kMost, 0).Get(), 0));
    EXPECT_EQ((Figures{16777216.0f, 1, 100, 100}), Read(Timer(16777217, 2).Get(), 1));
    EXPECT_EQ((Figures{8388608.0f, 1, 100, 100}), Read(Timer(8388609, 2).Get(), 30));
    EXPECT_EQ((Figures{595.50030517578125f, 0, 100, 100}), Read(Timer(596, 3).Get(), 1799));
    EXPECT_EQ((Figures{23.0f, 17, 57, 57}), Read(Timer(40, 1).Get(), 17));
    EXPECT_EQ((Figures{59.0f, 141, 30, 30}), Read(Timer(200, 1).Get(), 141));
    EXPECT_EQ((Figures{1.98333335f, 0, 99, 99}), Read(Timer(2, 2).Get(), 1));
}

TEST_F(FiguresTest, DispatchHandsOutTheSameSinglesAndIntegers) {
    ComPtr<_clsVxTimeTimerItemA> timer = Timer(16777217, 2);
    platform.clock = 3601.0f;
    CallResult balance;
    Call(timer.Get(), L"BalanceTime", DISPATCH_PROPERTYGET, {}, balance);
    ASSERT_EQ(S_OK, balance.hr);
    ASSERT_EQ(VT_R4, balance.value->vt);
    EXPECT_EQ(16777216.0f, balance.value->fltVal);
    EXPECT_EQ(1, GetLong(timer.Get(), L"IncreasingBalanceTime"));

    ComPtr<_clsVxTimeTimerItemA> quarter = Timer(40, 1);
    platform.clock = 3617.0f;
    CallResult percent;
    Call(quarter.Get(), L"Percent", DISPATCH_PROPERTYGET, {}, percent);
    ASSERT_EQ(VT_I2, percent.value->vt);
    EXPECT_EQ(57, percent.value->iVal);
    LONG hwnd = kWindow, id = lastId;
    EXPECT_EQ(57, GetLong(service.Get(), L"GetPercentage", {LongRef(&hwnd), LongRef(&id)}));
}

TEST_F(FiguresTest, MonitorWritesTheSingleItShows) {
    Timer(16777217, 2);
    Timer(2, 2);
    Timer(596, 3);
    platform.clock = 3601.0f;
    MonitorTable rows;
    rows.Fill(0);
    ASSERT_EQ(3u, rows.Size());
    wchar_t point[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, 8);
    EXPECT_EQ(L"1" + std::wstring(point) + L"677722E+07 Min", rows.Cell(0, kColumnBalance));
    EXPECT_EQ(L"1" + std::wstring(point) + L"983333 Min", rows.Cell(1, kColumnBalance));
    EXPECT_EQ(L"595" + std::wstring(point) + L"9997 Hrs", rows.Cell(2, kColumnBalance));
}

}  // namespace
}  // namespace zx::test
