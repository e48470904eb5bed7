// Late-bound calls into the component's dual interfaces.
#include "test_support.h"

#include "com/dispatch.h"
#include "heap_bytes.h"

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

// A string read late-bound hands the caller the member's string and keeps
// nothing: the result slot holds no string of its own for the member to
// overwrite. Read with and without a result variant.
TEST_F(DispatchTest, StringResultsLeaveNothingOnTheHeap) {
    AdditionalArguStru record{};
    CallResult added;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(1), RecordRef(&record), Long(10)}, added);
    ASSERT_EQ(S_OK, added.hr);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(1)});
    zxheap::DisableStringCache();
    const DISPID owner = IdOf(timer.Get(), L"Owner");
    const DISPID units = IdOf(timer.Get(), L"TimeUnits");
    auto readAll = [&] {
        DISPPARAMS none{};
        for (DISPID id : {owner, units}) {
            Variant value;
            EXPECT_EQ(S_OK, timer->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.Get(), nullptr,
                                          nullptr));
            EXPECT_EQ(VT_BSTR, value->vt);
            EXPECT_EQ(S_OK, timer->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr));
        }
    };
    readAll();  // first-use caches
    EXPECT_EQ(0, zxheap::HeapChangeOver(1000, readAll));
    EXPECT_EQ(L"MSec", GetString(timer.Get(), L"TimeUnits"));
}

// A record converts to nothing else: where a number, a string, an object
// or an index is expected it is a type mismatch, and no copy of it is made
// (Wine's VariantClear would lose a copy's memory).
TEST_F(DispatchTest, RecordsWhereOtherTypesAreExpected) {
    AdditionalArguStru record{1, 2, 3, nullptr};
    CallResult added;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(1), RecordRef(&record), Long(10)}, added);
    ASSERT_EQ(S_OK, added.hr);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(1)});
    VARIANT byValue = RecordRef(&record);
    byValue.vt = VT_RECORD;
    VARIANT inner = RecordRef(&record);
    const VARIANT forms[] = {RecordRef(&record), byValue, VariantRef(&inner)};
    zxheap::DisableStringCache();
    auto refuse = [&] {
        for (const VARIANT& form : forms) {
            CallResult put;
            Call(timer.Get(), L"Owner", DISPATCH_PROPERTYPUT, {form}, put);
            EXPECT_EQ(DISP_E_TYPEMISMATCH, put.hr);
            CallResult item;
            Call(timers.Get(), L"Item", DISPATCH_PROPERTYGET, {form}, item);
            EXPECT_TRUE(item.hr == DISP_E_TYPEMISMATCH ||
                        (item.hr == DISP_E_EXCEPTION && item.exception.scode == static_cast<SCODE>(0x800A000D)))
                << std::hex << item.hr;
        }
    };
    refuse();
    EXPECT_EQ(0, zxheap::HeapChangeOver(100, refuse));
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

// A member's later calls reuse what its first call planned: each kind of
// access still reaches its own function however the calls alternate.
TEST_F(DispatchTest, AccessKindsAlternateOnTheSameMember) {
    AdditionalArguStru record{};
    CallResult added;
    Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(1), RecordRef(&record), Long(10)}, added);
    ASSERT_EQ(S_OK, added.hr);
    ComPtr<IDispatch> timer = GetObject(timers.Get(), L"Item", {Long(1)});
    VARIANT object;
    object.vt = VT_DISPATCH;
    object.pdispVal = groups.Get();
    VARIANT null;
    null.vt = VT_NULL;
    for (LONG round = 0; round < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        CallResult let, setOnLet, getAsMethod;
        Call(timer.Get(), L"hWnd", DISPATCH_PROPERTYPUT, {Long(600 + round)}, let);
        EXPECT_EQ(S_OK, let.hr);
        Call(timer.Get(), L"hWnd", DISPATCH_PROPERTYPUTREF, {Long(1)}, setOnLet);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, setOnLet.hr);
        Call(timer.Get(), L"hWnd", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, getAsMethod);
        ASSERT_EQ(S_OK, getAsMethod.hr);
        EXPECT_EQ(VT_I4, getAsMethod.value->vt);
        EXPECT_EQ(600 + round, getAsMethod.value->lVal);

        // BuddyObject has a reference setter only.
        CallResult put, number, set, cleared;
        Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUT, {object}, put);
        EXPECT_EQ(S_OK, put.hr);
        EXPECT_EQ(groups.Get(), GetObject(service.Get(), L"BuddyObject").Get());
        Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUT, {Long(round)}, number);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, number.hr);
        Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUT, {null}, cleared);
        EXPECT_EQ(S_OK, cleared.hr);
        EXPECT_EQ(nullptr, GetObject(service.Get(), L"BuddyObject").Get());
        Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUTREF, {object}, set);
        EXPECT_EQ(S_OK, set.hr);
        EXPECT_EQ(groups.Get(), GetObject(service.Get(), L"BuddyObject").Get());
        object.pdispVal = nullptr;
        Call(service.Get(), L"BuddyObject", DISPATCH_PROPERTYPUTREF, {object}, set);
        EXPECT_EQ(S_OK, set.hr);
        object.pdispVal = groups.Get();
    }
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

// What clients get back when their calls are malformed: an HRESULT, never a
// crash, and no object left alive (the fixture counts them at the end).

VARIANT Reference(VARTYPE type, void* pointer) {
    VARIANT v;
    v.vt = type | VT_BYREF;
    v.byref = pointer;
    return v;
}

TEST_F(DispatchTest, MalformedParameterBlocksAreRefused) {
    DISPID check = IdOf(timers.Get(), L"CheckExistance");
    DISPID hwnd = IdOf(group.Get(), L"hWnd");
    VARIANT two[] = {Long(1), Long(2)};
    DISPID named[] = {0, 1};
    DISPPARAMS argsWithoutArray{nullptr, nullptr, 2, 0};
    DISPPARAMS namesWithoutArray{two, nullptr, 2, 1};
    DISPPARAMS moreNamesThanArgs{two, named, 1, 2};
    DISPPARAMS nothing{};
    struct Case {
        const char* what;
        IDispatch* object;
        DISPID member;
        WORD flags;
        DISPPARAMS* params;
        HRESULT expected;
    } cases[] = {
        // No parameter block is a call without arguments.
        {"no parameter block for a get", timers.Get(), IdOf(timers.Get(), L"Count"), DISPATCH_PROPERTYGET, nullptr,
         S_OK},
        {"no parameter block for a method that needs arguments", timers.Get(), check, DISPATCH_METHOD, nullptr,
         DISP_E_BADPARAMCOUNT},
        {"arguments counted but absent", timers.Get(), check, DISPATCH_METHOD, &argsWithoutArray, E_INVALIDARG},
        {"names counted but absent", timers.Get(), check, DISPATCH_METHOD, &namesWithoutArray, E_INVALIDARG},
        {"more names than arguments", timers.Get(), check, DISPATCH_METHOD, &moreNamesThanArgs, E_INVALIDARG},
        {"a put without its value", group.Get(), hwnd, DISPATCH_PROPERTYPUT, &nothing, DISP_E_BADPARAMCOUNT},
        {"no kind of access", timers.Get(), check, 0, &nothing, DISP_E_MEMBERNOTFOUND},
        {"an undefined kind of access", timers.Get(), check, 0x10, &nothing, DISP_E_MEMBERNOTFOUND},
    };
    for (const Case& c : cases) {
        Variant result;
        EXCEPINFO exception{};
        UINT argError = 0;
        EXPECT_EQ(c.expected, c.object->Invoke(c.member, IID_NULL, LOCALE_USER_DEFAULT, c.flags, c.params,
                                               result.Get(), &exception, &argError))
            << c.what;
    }
    EXPECT_EQ(100, GetLong(group.Get(), L"hWnd"));
}

TEST_F(DispatchTest, NamedArgumentsThatNameNoParameter) {
    // CheckExistance: lHwnd is parameter 0, lTimerId 1, the result 2.
    DISPID check = IdOf(timers.Get(), L"CheckExistance");
    struct Case {
        const char* what;
        std::vector<DISPID> named;  // for rgvarg[0], rgvarg[1]
        UINT badIndex;              // the rgvarg index puArgErr names
    } cases[] = {
        {"the same parameter twice", {1, 1}, 1},
        {"a parameter beyond the list", {0, 7}, 1},
        {"the hidden result parameter", {2, 0}, 0},
        {"a negative identifier", {-7, 0}, 0},
        {"the put value's name on a method", {DISPID_PROPERTYPUT, 0}, 0},
    };
    for (const Case& c : cases) {
        VARIANT args[] = {Long(1), Long(2)};
        std::vector<DISPID> named = c.named;
        DISPPARAMS params{args, named.data(), 2, 2};
        Variant result;
        UINT argError = 77;
        EXPECT_EQ(DISP_E_PARAMNOTFOUND, timers->Invoke(check, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                       result.Get(), nullptr, &argError))
            << c.what;
        EXPECT_EQ(c.badIndex, argError) << c.what;
        EXPECT_EQ(DISP_E_PARAMNOTFOUND, timers->Invoke(check, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                       nullptr, nullptr, nullptr))
            << c.what << " (no puArgErr)";
    }
}

TEST_F(DispatchTest, ReferencesWithoutReferentsAreTypeMismatches) {
    AdditionalArguStru record{};
    ComPtr<IDispatch> timer;
    {
        CallResult added;
        Call(timers.Get(), L"Add", DISPATCH_METHOD, {Long(1), RecordRef(&record), Long(10)}, added);
        ASSERT_EQ(S_OK, added.hr);
        timer = GetObject(timers.Get(), L"Item", {Long(1)});
    }
    VARIANT innerNull = Reference(VT_I4, nullptr);
    struct Case {
        const char* what;
        IDispatch* object;
        const wchar_t* member;
        WORD flags;
        std::vector<VARIANT> args;  // in call order
        UINT badIndex;              // in rgvarg order
    } cases[] = {
        {"long reference", timers.Get(), L"CheckExistance", DISPATCH_METHOD, {Reference(VT_I4, nullptr), Long(1)}, 1},
        {"variant reference to a long*", timers.Get(), L"CheckExistance", DISPATCH_METHOD,
         {Long(1), Reference(VT_VARIANT, nullptr)}, 0},
        {"variant holding a null long reference", timers.Get(), L"CheckExistance", DISPATCH_METHOD,
         {Long(1), VariantRef(&innerNull)}, 0},
        {"variant reference to a VARIANT*", timers.Get(), L"Item", DISPATCH_PROPERTYGET,
         {Reference(VT_VARIANT, nullptr)}, 0},
        {"variant reference to a record", timers.Get(), L"Add", DISPATCH_METHOD,
         {Long(2), Reference(VT_VARIANT, nullptr), Long(10)}, 1},
        {"object reference to a record", timers.Get(), L"Add", DISPATCH_METHOD,
         {Long(2), Reference(VT_DISPATCH, nullptr), Long(10)}, 1},
        {"object reference to an IDispatch**", timer.Get(), L"ShowProgressBar", DISPATCH_METHOD,
         {Reference(VT_DISPATCH, nullptr), Reference(VT_DISPATCH, nullptr)}, 1},
        {"long reference as a put value", timer.Get(), L"hWnd", DISPATCH_PROPERTYPUT, {Reference(VT_I4, nullptr)}, 0},
    };
    for (const Case& c : cases) {
        CallResult result;
        Call(c.object, c.member, c.flags, c.args, result);
        EXPECT_EQ(DISP_E_TYPEMISMATCH, result.hr) << c.what;
        EXPECT_EQ(c.badIndex, result.argError) << c.what;
        std::vector<VARIANT> reversed(c.args.rbegin(), c.args.rend());
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), c.flags == DISPATCH_PROPERTYPUT ? &putId : nullptr,
                          UINT(reversed.size()), c.flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        EXPECT_EQ(DISP_E_TYPEMISMATCH, c.object->Invoke(IdOf(c.object, c.member), IID_NULL, LOCALE_USER_DEFAULT,
                                                        c.flags, &params, nullptr, nullptr, nullptr))
            << c.what << " (no result, exception or puArgErr)";
    }
    EXPECT_EQ(1, GetLong(timers.Get(), L"Count"));
    EXPECT_EQ(100, GetLong(timer.Get(), L"hWnd"));  // the group's, unchanged

    // For an optional parameter a null reference is an omitted argument,
    // while a reference to a null string is the empty string.
    BSTR none = nullptr;
    VARIANT owners[] = {Reference(VT_BSTR, nullptr), Reference(VT_BSTR, &none)};
    for (LONG id = 2; id <= 3; ++id) {
        CallResult added;
        Call(timers.Get(), L"Add", DISPATCH_METHOD,
             {Long(id), RecordRef(&record), Long(10), Long(0), Reference(VT_BOOL, nullptr), owners[id - 2]}, added);
        EXPECT_EQ(S_OK, added.hr) << id;
        EXPECT_EQ(L"", GetString(GetObject(timers.Get(), L"Item", {Long(id)}).Get(), L"Owner")) << id;
        EXPECT_EQ(0, GetLong(GetObject(timers.Get(), L"Item", {Long(id)}).Get(), L"Repeat")) << id;
    }
    EXPECT_EQ(3, GetLong(timers.Get(), L"Count"));
}

TEST_F(DispatchTest, AbsentObjectsAndOutputs) {
    // No place for the result: the value, an object here, is released.
    VARIANT hwnd = Long(1);
    DISPPARAMS one{&hwnd, nullptr, 1, 0};
    EXPECT_EQ(S_OK, groups->Invoke(IdOf(groups.Get(), L"Item"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                   &one, nullptr, nullptr, nullptr));
    // A failing member without EXCEPINFO still reports the exception.
    hwnd.lVal = 5;
    EXPECT_EQ(DISP_E_EXCEPTION, groups->Invoke(IdOf(groups.Get(), L"Item"), IID_NULL, LOCALE_USER_DEFAULT,
                                               DISPATCH_PROPERTYGET, &one, nullptr, nullptr, nullptr));

    VARIANT nothing;
    nothing.vt = VT_DISPATCH;
    nothing.pdispVal = nullptr;
    CallResult cleared;
    Call(group.Get(), L"TimerItems", DISPATCH_PROPERTYPUTREF, {nothing}, cleared);
    EXPECT_EQ(S_OK, cleared.hr);
    // An object of another interface, and a number, are no timer collection.
    VARIANT other;
    other.vt = VT_DISPATCH;
    other.pdispVal = groups.Get();
    for (VARIANT wrong : {other, Long(3)}) {
        CallResult refused;
        Call(group.Get(), L"TimerItems", DISPATCH_PROPERTYPUTREF, {wrong}, refused);
        EXPECT_EQ(DISP_E_TYPEMISMATCH, refused.hr) << wrong.vt;
        EXPECT_EQ(0u, refused.argError) << wrong.vt;
    }
}

TEST_F(DispatchTest, ForeignInterfacesAndBadQueries) {
    DISPID count = IdOf(timers.Get(), L"Count");
    DISPPARAMS nothing{};
    Variant result;
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, timers->Invoke(count, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                                      &nothing, result.Get(), nullptr, nullptr));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Add"), const_cast<LPOLESTR>(L"lElapseTime"), nullptr};
    DISPID ids[3] = {7, 7, 7};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, timers->GetIDsOfNames(IID_IDispatch, names, 1, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(7, ids[0]);
    // An absent parameter name is unknown; the others still resolve.
    EXPECT_EQ(DISP_E_UNKNOWNNAME, timers->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(0x60030006, ids[0]);
    EXPECT_EQ(2, ids[1]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[2]);
    LPOLESTR absent[] = {nullptr};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, timers->GetIDsOfNames(IID_NULL, absent, 1, LOCALE_USER_DEFAULT, ids));

    ComPtr<ITypeInfo> info;
    EXPECT_EQ(DISP_E_BADINDEX, timers->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info));
    EXPECT_EQ(nullptr, info.Get());
    EXPECT_EQ(E_POINTER, timers->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_EQ(E_POINTER, timers->GetTypeInfoCount(nullptr));
    ASSERT_EQ(S_OK, timers->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));

    // Name look-ups with missing arrays or no names.
    DISPID id = 7;
    EXPECT_EQ(E_INVALIDARG, timers->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(E_INVALIDARG, timers->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_EQ(E_INVALIDARG, timers->GetIDsOfNames(IID_NULL, names, 0, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(7, id);
    EXPECT_EQ(S_OK, timers->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(0x60030006, id);
}

}  // namespace
}  // namespace zx::test
