// Late-bound calls into the component's dual interfaces.
#include "test_support.h"

namespace zx::test {
namespace {

class DispatchTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        service = NewService();
        groups = GetObject(service.Get(), L"TimerGroups");
        group = GetObject(groups.Get(), L"Add", {Long(100)});
        timers = GetObject(group.Get(), L"TimerItems");
    }
    void TearDown() override {
        timers.Reset();
        group.Reset();
        groups.Reset();
        service.Reset();
        ComponentTest::TearDown();
    }
    ComPtr<TimerService> service;
    ComPtr<IDispatch> groups, group, timers;
};

TEST_F(DispatchTest, NamesResolveWithoutRegardToCase) {
    EXPECT_EQ(0x60030005, IdOf(timers.Get(), L"checkexistance"));
    EXPECT_EQ(0x60030006, IdOf(timers.Get(), L"ADD"));
    DISPID id;
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, timers->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id));
}

TEST_F(DispatchTest, CollectionsHaveNoDefaultMemberOrEnumerator) {
    for (IDispatch* collection : {groups.Get(), timers.Get()}) {
        for (DISPID id : {DISPID_VALUE, DISPID_NEWENUM}) {
            CallResult result;
            CallById(collection, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Long(1)}, result);
            EXPECT_EQ(DISP_E_MEMBERNOTFOUND, result.hr);
        }
    }
}

TEST_F(DispatchTest, AddWithThreeArgumentsTakesTheZeroDefaults) {
    AdditionalArguStru record{1, 2, 3, nullptr};
    CallResult result;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(7), RecordRef(&record), Long(250)}, result);
    ASSERT_EQ(S_OK, result.hr);
    EXPECT_EQ(VT_EMPTY, result.value->vt);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(1)});
    EXPECT_EQ(L"MSec", GetString(timer.Get(), L"TimeUnits"));
    EXPECT_EQ(0, GetLong(timer.Get(), L"Repeat"));
    EXPECT_EQ(L"", GetString(timer.Get(), L"Owner"));
    ASSERT_TRUE(platform.IsArmed(100, 7));
    EXPECT_EQ(250u, (platform.timers[{100, 7}].milliseconds));
}

TEST_F(DispatchTest, NamedArgumentsInAnyOrder) {
    AdditionalArguStru record{};
    VARIANT owner = Text(L"named");
    DISPID add = IdOf(timers.Get(), L"Add");
    // lTimerId 0, sAdditionalArguStru 1, lElapseTime 2, Units 3, Repeat 4, Owner 5
    CallResult result;
    CallById(timers.Get(), add, DISPATCH_METHOD, {owner, Long(30), RecordRef(&record), Long(8)}, result,
             {5, 2, 1, 0});
    SysFreeString(owner.bstrVal);
    ASSERT_EQ(S_OK, result.hr);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(1)});
    EXPECT_EQ(8, GetLong(timer.Get(), L"TimerId"));
    EXPECT_EQ(30, GetLong(timer.Get(), L"ElapseTime"));
    EXPECT_EQ(L"named", GetString(timer.Get(), L"Owner"));
    EXPECT_EQ(L"MSec", GetString(timer.Get(), L"TimeUnits"));
    EXPECT_EQ(0, GetLong(timer.Get(), L"Repeat"));
}

TEST_F(DispatchTest, WrongArgumentCountsAndTypes) {
    AdditionalArguStru record{};
    CallResult surplus;
    Call(timers.Get(), L"CheckExistance", DISPATCH_METHOD, {Long(1), Long(2), Long(3)}, surplus);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, surplus.hr);
    CallResult tooFew;
    Call(timers.Get(), L"CheckExistance", DISPATCH_METHOD, {Long(1)}, tooFew);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, tooFew.hr);
    CallResult missingNamed;
    CallById(timers.Get(), IdOf(timers.Get(), L"Add"), DISPATCH_METHOD, {Long(5), RecordRef(&record)},
             missingNamed, {0, 1});
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, missingNamed.hr);
    VARIANT text = Text(L"not a number");
    CallResult mismatch;
    Call(timers.Get(), L"CheckExistance", DISPATCH_METHOD, {Long(1), text}, mismatch);
    SysFreeString(text.bstrVal);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, mismatch.hr);
    EXPECT_EQ(0u, mismatch.argError);  // the second argument sits first in rgvarg
    CallResult notARecord;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(1), Long(2), Long(3)}, notARecord);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, notARecord.hr);
}

TEST_F(DispatchTest, MemberFailureIsAnExceptionWithTheErrorNumber) {
    CallResult result;
    Call(groups.Get(), L"Item", DISPATCH_PROPERTYGET, {Long(5)}, result);
    ASSERT_EQ(DISP_E_EXCEPTION, result.hr);
    EXPECT_EQ(static_cast<SCODE>(0x800A0009), result.exception.scode);
    EXPECT_STREQ(L"Subscript out of range", result.exception.bstrDescription);
    EXPECT_STREQ(L"Zentrix", result.exception.bstrSource);

    // The same failure through the function table carries IErrorInfo.
    ComPtr<_clsVxTimeTimerGroupsA> typed;
    ASSERT_EQ(S_OK, groups.As(&typed));
    LONG position = 5;
    ComPtr<_clsVxTimeTimerGroupA> none;
    EXPECT_EQ(static_cast<HRESULT>(0x800A0009), typed->get_Item(&position, &none));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    Bstr description;
    info->GetDescription(description.Put());
    EXPECT_EQ(L"Subscript out of range", description.Str());
    ComPtr<ISupportErrorInfo> supports;
    ASSERT_EQ(S_OK, groups.As(&supports));
    EXPECT_EQ(S_OK, supports->InterfaceSupportsErrorInfo(__uuidof(_clsVxTimeTimerGroupsA)));
}

TEST_F(DispatchTest, PropertyAccessorsAreToldApart) {
    AdditionalArguStru record{};
    CallResult added;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(1), RecordRef(&record), Long(10)}, added);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(1)});
    CallResult let;
    Call(timer.Get(), L"hWnd", DISPATCH_PROPERTYPUT, {Long(555)}, let);
    EXPECT_EQ(S_OK, let.hr);
    EXPECT_EQ(555, GetLong(timer.Get(), L"hWnd"));
    CallResult setOnLet;
    Call(timer.Get(), L"hWnd", DISPATCH_PROPERTYPUTREF, {Long(1)}, setOnLet);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, setOnLet.hr);
    // Reference setters take objects, and an empty reference.
    VARIANT object;
    object.vt = VT_DISPATCH;
    object.pdispVal = groups.Get();
    CallResult set;
    Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUTREF, {object}, set);
    EXPECT_EQ(S_OK, set.hr);
    EXPECT_EQ(groups.Get(), GetObject(service.Get(), L"BuddyObject").Get());
    object.pdispVal = nullptr;
    Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUTREF, {object}, set);
    EXPECT_EQ(S_OK, set.hr);
    // JScript assigns objects, and null, with a plain put.
    object.pdispVal = groups.Get();
    CallResult put;
    Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUT, {object}, put);
    EXPECT_EQ(S_OK, put.hr);
    EXPECT_EQ(groups.Get(), GetObject(service.Get(), L"BuddyObject").Get());
    VARIANT null;
    null.vt = VT_NULL;
    Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUT, {null}, put);
    EXPECT_EQ(S_OK, put.hr);
    CallResult cleared;
    Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYGET, {}, cleared);
    EXPECT_EQ(VT_DISPATCH, cleared.value->vt);
    EXPECT_EQ(nullptr, cleared.value->pdispVal);
}

TEST_F(DispatchTest, ScriptVariablesPassedByReference) {
    // Script engines pass variables as VARIANT references whatever the
    // parameter type; a changed value is written back into the variable.
    RecordingSink buddy(DIID___clsVxTimeTimerMainA, true);
    buddy.newTimerId = 42;
    service->putref_BuddyObject(&buddy);
    AdditionalArguStru record{};
    VARIANT id;
    id.vt = VT_I2;
    id.iVal = 9;
    VARIANT elapse = Text(L"120");
    CallResult result;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {VariantRef(&id), RecordRef(&record), VariantRef(&elapse)}, result);
    ASSERT_EQ(S_OK, result.hr);
    EXPECT_EQ(VT_I2, id.vt);
    EXPECT_EQ(42, id.iVal);
    EXPECT_EQ(VT_BSTR, elapse.vt);  // untouched, so left as the caller had it
    EXPECT_STREQ(L"120", elapse.bstrVal);
    VariantClear(&elapse);
    EXPECT_TRUE(platform.IsArmed(100, 42));
    service->putref_BuddyObject(nullptr);
}

TEST_F(DispatchTest, RecordsArriveInEveryForm) {
    AdditionalArguStru record{11, 0, 0, SysAllocString(L"note")};
    VARIANT byValue;
    byValue.vt = VT_RECORD;
    byValue.pvRecord = &record;
    byValue.pRecInfo = AdditionalArguRecordInfo();
    VARIANT inVariant = RecordRef(&record);
    VARIANT empty;
    empty.vt = VT_EMPTY;
    std::vector<VARIANT> forms = {RecordRef(&record), byValue, VariantRef(&inVariant), empty};
    for (LONG id = 1; id <= LONG(forms.size()); ++id) {
        CallResult result;
        Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(id), forms[id - 1], Long(10)}, result);
        EXPECT_EQ(S_OK, result.hr) << id;
    }
    SysFreeString(record.sComments);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(3)});
    CallResult copy;
    Call(timer.Get(), L"AdditionalArgu", DISPATCH_PROPERTYGET, {}, copy);
    ASSERT_EQ(S_OK, copy.hr);
    ASSERT_EQ(VT_RECORD, copy.value->vt);
    auto* stored = static_cast<AdditionalArguStru*>(copy.value->pvRecord);
    EXPECT_EQ(11, stored->lLParam);
    EXPECT_STREQ(L"note", stored->sComments);
    EXPECT_EQ(4, GetLong(timers.Get(), L"Count"));
}

}  // namespace
}  // namespace zx::test
