// A timer's remaining time, elapsed time and remaining share: the pure
// computations first, then as a record reports them against the clock.
#include <limits>

#include "com/errors.h"
#include "registry/time_accounting.h"
#include "test_support.h"

namespace zx::test {
namespace {

constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kDivisionByZero = static_cast<HRESULT>(0x800A000B);

// The error number a computation raises, or 0 when it succeeds.
template <class Body>
int RaisedBy(Body&& body) {
    try {
        body();
    } catch (const Error& e) {
        return static_cast<int>(e.number);
    }
    return 0;
}

TEST(TimeAccounting, BalanceMovesInWholeClockSecondsAndMayGoNegative) {
    EXPECT_EQ(2500.0f, ComputeBalanceTime(L"MSec", 2500, 3600, 3600.4f));
    EXPECT_EQ(1500.0f, ComputeBalanceTime(L"MSec", 2500, 3600, 3600.6f));  // the clock rounds up to 3601
    EXPECT_EQ(-500.0f, ComputeBalanceTime(L"MSec", 2500, 3600, 3603.0f));
    EXPECT_EQ(-5.0f, ComputeBalanceTime(L"Sec", 10, 3600, 3615.0f));
    EXPECT_FLOAT_EQ(2.0f - 1.0f / 60, ComputeBalanceTime(L"Min", 2, 3600, 3601.0f));
    EXPECT_FLOAT_EQ(1.0f - 1.0f / 3600, ComputeBalanceTime(L"Hrs", 1, 3600, 3601.0f));
}

TEST(TimeAccounting, LabelsMatchWithoutRegardToCaseAndOnlyWhole) {
    EXPECT_EQ(7.0f, ComputeBalanceTime(L"sec", 10, 3600, 3603.0f));
    EXPECT_EQ(7.0f, ComputeBalanceTime(L"SEC", 10, 3600, 3603.0f));
    EXPECT_EQ(7000.0f, ComputeBalanceTime(L"msec", 10000, 3600, 3603.0f));
    EXPECT_EQ(1.5f, ComputeBalanceTime(L"mIN", 2, 3600, 3630.0f));
    EXPECT_EQ(0.5f, ComputeBalanceTime(L"HRS", 1, 3600, 5400.0f));
    for (const wchar_t* unknown : {L"", L"Seconds", L"Se", L" Sec", L"Sec ", L"ms"})
        EXPECT_EQ(0.0f, ComputeBalanceTime(unknown, 10, 3600, 3603.0f)) << unknown;
    const std::wstring embeddedNull(L"Sec\0x", 5);
    EXPECT_EQ(0.0f, ComputeBalanceTime(embeddedNull, 10, 3600, 3603.0f));
}

TEST(TimeAccounting, IntegerOverflowInsideTheBalanceIsError6) {
    const LONG most = std::numeric_limits<LONG>::max(), least = std::numeric_limits<LONG>::min();
    // Milliseconds: the seconds passed times 1000, and the interval minus that.
    EXPECT_EQ(6, RaisedBy([] { ComputeBalanceTime(L"MSec", 0, -3000000, 3600.0f); }));
    EXPECT_EQ(6, RaisedBy([&] { ComputeBalanceTime(L"MSec", least + 1000, 3600, 3602.0f); }));
    EXPECT_EQ(static_cast<float>(least + 1000), ComputeBalanceTime(L"MSec", least + 2000, 3600, 3601.0f));
    // Seconds: the interval minus the seconds passed.
    EXPECT_EQ(6, RaisedBy([&] { ComputeBalanceTime(L"Sec", least + 5, 3600, 3610.0f); }));
    EXPECT_EQ(6, RaisedBy([&] { ComputeBalanceTime(L"sec", most - 5, 3610, 3600.0f); }));
    // Minutes and hours: the seconds passed.
    EXPECT_EQ(6, RaisedBy([&] { ComputeBalanceTime(L"Min", 1, least, 3600.0f); }));
    EXPECT_EQ(6, RaisedBy([&] { ComputeBalanceTime(L"Hrs", 1, least, 3600.0f); }));
    // An unknown label computes nothing, so nothing can overflow.
    EXPECT_EQ(0.0f, ComputeBalanceTime(L"Days", 1, least, 3600.0f));
}

TEST(TimeAccounting, IncreasingBalanceRoundsHalvesToEven) {
    EXPECT_EQ(0, IncreasingBalanceTime(2, 1.5f));
    EXPECT_EQ(2, IncreasingBalanceTime(2, 0.5f));
    EXPECT_EQ(3, IncreasingBalanceTime(10, 7.0f));
    EXPECT_EQ(-5, IncreasingBalanceTime(-5, 0.0f));
    // A balance read after midnight can take the result below the 32-bit range.
    EXPECT_EQ(std::numeric_limits<LONG>::min(), IncreasingBalanceTime(0, 2147483648.0f));
    EXPECT_EQ(6, RaisedBy([] { IncreasingBalanceTime(-1, 2147483648.0f); }));
}

TEST(TimeAccounting, PercentRoundsHalvesToEven) {
    EXPECT_EQ(12, Percent(8, 1.0f));     // 12.5
    EXPECT_EQ(38, Percent(8, 3.0f));     // 37.5
    EXPECT_EQ(62, Percent(8, 5.0f));     // 62.5
    EXPECT_EQ(33, Percent(3, 1.0f));
    EXPECT_EQ(67, Percent(3, 2.0f));
    EXPECT_EQ(100, Percent(10, 10.0f));
    EXPECT_EQ(0, Percent(-5, 0.0f));
    EXPECT_EQ(12, Percentage(8, 1.0f));
    EXPECT_EQ(67, Percentage(3, 2.0f));
}

TEST(TimeAccounting, PercentRangeIs16BitsAndPercentage32) {
    EXPECT_EQ(32767, Percent(1, 327.67f));
    EXPECT_EQ(6, RaisedBy([] { Percent(1, 327.68f); }));
    EXPECT_EQ(-32768, Percent(-1, 327.68f));
    EXPECT_EQ(6, RaisedBy([] { Percent(-1, 327.69f); }));
    EXPECT_EQ(32768, Percentage(1, 327.68f));
    EXPECT_EQ(2000000000, Percentage(1, 2.0e7f));
    EXPECT_EQ(6, RaisedBy([] { Percentage(1, 3.0e7f); }));
}

TEST(TimeAccounting, ZeroIntervalIsAFloatingPointFailure) {
    EXPECT_EQ(6, RaisedBy([] { Percent(0, 0.0f); }));    // 0/0, the invalid operation
    EXPECT_EQ(11, RaisedBy([] { Percent(0, 5.0f); }));   // division by zero
    EXPECT_EQ(6, RaisedBy([] { Percentage(0, 0.0f); }));
    EXPECT_EQ(11, RaisedBy([] { Percentage(0, 5.0f); }));
}

// What a record reports: BalanceTime, IncreasingBalanceTime and Percent.
struct Figures {
    float balance;
    LONG increasing;
    SHORT percent;
    bool operator==(const Figures&) const = default;
};
void PrintTo(const Figures& f, std::ostream* out) {
    *out << "{" << f.balance << ", " << f.increasing << ", " << f.percent << "}";
}

// The figures a registered record reports as the fake clock moves.
class TimeAccountingTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        service = NewService();
        timers = AddGroup(100);
    }
    void TearDown() override {
        timers.Reset();
        service.Reset();
        ComponentTest::TearDown();
    }
    // Adds a timer at the clock's present reading and returns its record.
    ComPtr<_clsVxTimeTimerItemA> Register(LONG elapse, LONG units) {
        EXPECT_EQ(S_OK, AddTimer(timers.Get(), ++lastId, elapse, units));
        LONG count = 0;
        timers->get_Count(&count);
        return TimerAt(timers.Get(), count);
    }
    static Figures Read(_clsVxTimeTimerItemA* timer) {
        Figures figures{-1, -1, -1};
        EXPECT_EQ(S_OK, timer->get_BalanceTime(&figures.balance));
        EXPECT_EQ(S_OK, timer->get_IncreasingBalanceTime(&figures.increasing));
        EXPECT_EQ(S_OK, timer->get_Percent(&figures.percent));
        return figures;
    }
    static LONG StartOf(_clsVxTimeTimerItemA* timer) {
        LONG start = -1;
        timer->get_StartTime(&start);
        return start;
    }

    ComPtr<TimerService> service;
    ComPtr<_clsVxTimeTimerItemsA> timers;
    LONG lastId = 0;
};

TEST_F(TimeAccountingTest, TenSecondTimerCountsDown) {
    platform.clock = 3600.4f;
    ComPtr<_clsVxTimeTimerItemA> timer = Register(10, 1);
    EXPECT_EQ(3600, StartOf(timer.Get()));
    EXPECT_EQ((Figures{10, 0, 100}), Read(timer.Get()));
    platform.clock = 3603.2f;
    EXPECT_EQ((Figures{7, 3, 70}), Read(timer.Get()));
    platform.clock = 3610.0f;
    EXPECT_EQ((Figures{0, 10, 0}), Read(timer.Get()));
    platform.clock = 3700.0f;
    EXPECT_EQ((Figures{0, 10, 0}), Read(timer.Get()));
    // The figures do not depend on the status.
    timer->put_Status(timeTimerStatusStopped);
    platform.clock = 3601.0f;
    EXPECT_EQ((Figures{9, 1, 90}), Read(timer.Get()));
}

TEST_F(TimeAccountingTest, MinuteHourAndMillisecondTimers) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> minutes = Register(2, 2);
    ComPtr<_clsVxTimeTimerItemA> hours = Register(1, 3);
    ComPtr<_clsVxTimeTimerItemA> milliseconds = Register(500, 0);
    platform.clock = 3630.0f;
    EXPECT_EQ((Figures{1.5f, 0, 75}), Read(minutes.Get()));
    EXPECT_EQ((Figures{0, 500, 0}), Read(milliseconds.Get()));
    platform.clock = 3690.0f;
    EXPECT_EQ((Figures{0.5f, 2, 25}), Read(minutes.Get()));
    platform.clock = 5400.0f;
    EXPECT_EQ((Figures{0.5f, 0, 50}), Read(hours.Get()));
    platform.clock = 3600.49f;
    EXPECT_EQ((Figures{500, 0, 100}), Read(milliseconds.Get()));
}

TEST_F(TimeAccountingTest, StartTimeAndReadingRoundHalvesToEven) {
    platform.clock = 12.5f;
    ComPtr<_clsVxTimeTimerItemA> early = Register(10, 1);
    platform.clock = 13.5f;
    ComPtr<_clsVxTimeTimerItemA> late = Register(10, 1);
    EXPECT_EQ(12, StartOf(early.Get()));
    EXPECT_EQ(14, StartOf(late.Get()));
    EXPECT_EQ((Figures{8, 2, 80}), Read(early.Get()));
    platform.clock = 12.5f;  // reads 12, two seconds before the later start
    EXPECT_EQ((Figures{12, -2, 120}), Read(late.Get()));
}

TEST_F(TimeAccountingTest, LabelsWrittenByTheClient) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> timer = Register(10, 1);
    platform.clock = 3603.0f;
    const Figures asAdded = Read(timer.Get());
    ASSERT_EQ(S_OK, timer->put_TimeUnits(Bstr(L"sec").Get()));
    EXPECT_EQ(asAdded, Read(timer.Get()));
    ASSERT_EQ(S_OK, timer->put_TimeUnits(Bstr(L"MSEC").Get()));
    EXPECT_EQ((Figures{0, 10, 0}), Read(timer.Get()));
    ASSERT_EQ(S_OK, timer->put_TimeUnits(Bstr(L"Seconds").Get()));
    EXPECT_EQ((Figures{0, 10, 0}), Read(timer.Get()));
    // Writing the interval or the start time changes the next reading.
    ASSERT_EQ(S_OK, timer->put_TimeUnits(Bstr(L"Sec").Get()));
    timer->put_ElapseTime(20);
    EXPECT_EQ((Figures{17, 3, 85}), Read(timer.Get()));
    timer->put_StartTime(3602);
    EXPECT_EQ((Figures{19, 1, 95}), Read(timer.Get()));
}

TEST_F(TimeAccountingTest, EmptyLabelAndNegativeInterval) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> unitless = Register(10, 7);
    ComPtr<_clsVxTimeTimerItemA> negative = Register(-5, 1);
    Bstr label;
    unitless->get_TimeUnits(label.Put());
    EXPECT_EQ(L"", label.Str());
    EXPECT_EQ((Figures{0, 10, 0}), Read(unitless.Get()));
    EXPECT_EQ((Figures{0, -5, 0}), Read(negative.Get()));
}

TEST_F(TimeAccountingTest, WrittenBalanceIsNotWhatIsRead) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> timer = Register(10, 1);
    EXPECT_EQ(S_OK, timer->put_BalanceTime(3.25f));
    float balance = 0;
    EXPECT_EQ(S_OK, timer->get_BalanceTime(&balance));
    EXPECT_EQ(10.0f, balance);
}

TEST_F(TimeAccountingTest, AfterMidnightTheBalanceExceedsTheInterval) {
    platform.clock = 86000.0f;
    ComPtr<_clsVxTimeTimerItemA> long_ = Register(1000, 1);
    platform.clock = 86399.0f;
    ComPtr<_clsVxTimeTimerItemA> short_ = Register(10, 1);
    platform.clock = 100.0f;
    EXPECT_EQ((Figures{86900, -85900, 8690}), Read(long_.Get()));
    // 863090 percent leaves the 16-bit range; the other figures still read.
    float balance = 0;
    EXPECT_EQ(S_OK, short_->get_BalanceTime(&balance));
    EXPECT_EQ(86309.0f, balance);
    SHORT percent = -1;
    EXPECT_EQ(kOverflow, short_->get_Percent(&percent));
    EXPECT_EQ(0, percent);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    GUID source{};
    info->GetGUID(&source);
    EXPECT_EQ(__uuidof(_clsVxTimeTimerItemA), source);
}

TEST_F(TimeAccountingTest, ZeroIntervalPercentFails) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> timer = Register(0, 1);
    SHORT percent = 0;
    EXPECT_EQ(kOverflow, timer->get_Percent(&percent));  // 0/0
    LONG increasing = -1;
    EXPECT_EQ(S_OK, timer->get_IncreasingBalanceTime(&increasing));
    EXPECT_EQ(0, increasing);
    platform.clock = 10.0f;  // past midnight the balance is positive
    EXPECT_EQ(kDivisionByZero, timer->get_Percent(&percent));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    Bstr description;
    info->GetDescription(description.Put());
    EXPECT_EQ(L"Division by zero", description.Str());
}

TEST_F(TimeAccountingTest, OverflowInsideTheBalanceFailsEveryReader) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> timer = Register(10, 0);
    timer->put_StartTime(-3000000);  // 3003600 seconds ago, too many milliseconds
    float balance = -1;
    LONG increasing = -1;
    SHORT percent = -1;
    EXPECT_EQ(kOverflow, timer->get_BalanceTime(&balance));
    EXPECT_EQ(kOverflow, timer->get_IncreasingBalanceTime(&increasing));
    EXPECT_EQ(kOverflow, timer->get_Percent(&percent));
    EXPECT_EQ(0.0f, balance);
    LONG start = 0;
    timer->get_StartTime(&start);
    EXPECT_EQ(-3000000, start);  // a failed read changes nothing
}

TEST_F(TimeAccountingTest, ReadersThroughDispatch) {
    platform.clock = 3600.0f;
    ComPtr<_clsVxTimeTimerItemA> timer = Register(3, 1);
    platform.clock = 3601.0f;
    CallResult balance;
    Call(timer.Get(), L"BalanceTime", DISPATCH_PROPERTYGET, {}, balance);
    ASSERT_EQ(S_OK, balance.hr);
    ASSERT_EQ(VT_R4, balance.value->vt);
    EXPECT_EQ(2.0f, balance.value->fltVal);
    CallResult percent;
    Call(timer.Get(), L"percent", DISPATCH_PROPERTYGET, {}, percent);
    ASSERT_EQ(S_OK, percent.hr);
    ASSERT_EQ(VT_I2, percent.value->vt);
    EXPECT_EQ(67, percent.value->iVal);
    platform.clock = 3602.0f;
    EXPECT_EQ(2, GetLong(timer.Get(), L"IncreasingBalanceTime"));
    EXPECT_EQ(33, GetLong(timer.Get(), L"Percent"));

    timer->put_ElapseTime(0);
    CallResult failed;
    Call(timer.Get(), L"Percent", DISPATCH_PROPERTYGET, {}, failed);
    ASSERT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(kOverflow, failed.exception.scode);
    EXPECT_STREQ(L"Overflow", failed.exception.bstrDescription);
}

}  // namespace
}  // namespace zx::test
