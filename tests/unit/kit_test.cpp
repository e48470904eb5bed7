// The COM kit on the component's own type library: call plans, records as
// objects, and the links through which the registry reaches the service.
#include "test_support.h"

#include "apartment/service_links.h"
#include "com/call_plan.h"
#include "com/plan_cache.h"
#include "com/record_object.h"
#include "component/layer_links.h"

namespace zx::test {
namespace {

ITypeInfo* VtableOf(REFIID iid) {
    ITypeInfo* info = VtableTypeInfoOf(iid);
    EXPECT_NE(nullptr, info);
    return info;
}

HRESULT PlanFor(REFIID iid, DISPID member, WORD flags, const VARIANT* putValue, CallPlan& plan) {
    ITypeInfo* info = VtableOf(iid);
    UINT index = 0;
    HRESULT hr = SelectFunction(info, member, flags, putValue, &index);
    return FAILED(hr) ? hr : BuildCallPlan(info, index, plan);
}

TEST(CallPlanTest, TimerAdditionPlansEveryParameterFromTheDescription) {
    CallPlan plan;
    ASSERT_EQ(S_OK, PlanFor(IID__clsVxTimeTimerItemsA, 0x60030006, DISPATCH_METHOD, nullptr, plan));
    ASSERT_EQ(7u, plan.params.size());
    EXPECT_FALSE(plan.isPut);
    EXPECT_TRUE(plan.hasRetval);
    EXPECT_EQ(6u, plan.inputs);
    EXPECT_EQ(6u, plan.regularInputs);
    const Kind kinds[] = {Kind::Int32, Kind::Record, Kind::Int32, Kind::Int32, Kind::Bool, Kind::String, Kind::Variant};
    const bool optional[] = {false, false, false, true, true, true, false};
    for (size_t p = 0; p < plan.params.size(); ++p) {
        EXPECT_EQ(kinds[p], plan.params[p].type.kind) << "parameter " << p;
        EXPECT_EQ(optional[p], plan.params[p].optional) << "parameter " << p;
        EXPECT_TRUE(plan.params[p].type.byRef) << "parameter " << p;
    }
    const ParamType& record = plan.params[1].type;
    EXPECT_EQ(kAdditionalArguStruGuid, record.iid);
    EXPECT_EQ(AdditionalArguRecordInfo(), record.record);
}

TEST(CallPlanTest, TheAccessKindSelectsTheFunction) {
    VARIANT object;
    object.vt = VT_DISPATCH;
    object.pdispVal = nullptr;
    VARIANT number = Long(5);
    ITypeInfo* service = VtableOf(IID__clsVxTimeTimerMainA);
    // BuddyObject (0x68030000) has a getter and a reference setter only.
    UINT get = 0, putref = 0, put = 0;
    ASSERT_EQ(S_OK, SelectFunction(service, 0x68030000, DISPATCH_PROPERTYGET, nullptr, &get));
    ASSERT_EQ(S_OK, SelectFunction(service, 0x68030000, DISPATCH_PROPERTYPUT, &object, &putref));
    EXPECT_NE(get, putref) << "a plain put of an object takes the reference setter";
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, SelectFunction(service, 0x68030000, DISPATCH_PROPERTYPUT, &number, &put));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, SelectFunction(service, 0x12345, DISPATCH_METHOD, nullptr, &put));

    CallPlan plan;
    ASSERT_EQ(S_OK, BuildCallPlan(service, putref, plan));
    EXPECT_TRUE(plan.isPut);
    EXPECT_FALSE(plan.hasRetval);
    EXPECT_EQ(1u, plan.inputs);
    EXPECT_EQ(0u, plan.regularInputs);
    EXPECT_EQ(Kind::Object, plan.params[0].type.kind);
    EXPECT_FALSE(plan.params[0].type.byRef);
}

// Functions whose arguments are all references, integers, truth values,
// strings or interfaces are called without DispCallFunc; a floating-point
// value travels in a register of its own on x86_64 and must not.
TEST(CallPlanTest, OnlyWordSizedArgumentsBypassDispCallFunc) {
    VARIANT number = Long(1);
    struct Case {
        const char* what;
        const IID* iid;
        DISPID member;
        WORD flags;
        bool words;
    } cases[] = {
        {"two long references and a result", &IID__clsVxTimeTimerMainA, 0x60030009, DISPATCH_METHOD, true},
        {"an enumeration by value", &IID__clsVxTimeTimerItemA, 0x68030009, DISPATCH_PROPERTYPUT, true},
        {"a string by value", &IID__clsVxTimeTimerItemA, 0x68030008, DISPATCH_PROPERTYPUT, true},
        {"a truth value by value", &IID__clsVxTimeTimerItemA, 0x68030002, DISPATCH_PROPERTYPUT, true},
        {"a float result", &IID__clsVxTimeTimerItemA, 0x68030001, DISPATCH_PROPERTYGET, true},
        {"a float by value", &IID__clsVxTimeTimerItemA, 0x68030001, DISPATCH_PROPERTYPUT, false},
        {"six references and a result", &IID__clsVxTimeTimerItemsA, 0x60030006, DISPATCH_METHOD, true},
    };
    for (const Case& c : cases) {
        CallPlan plan;
        ASSERT_EQ(S_OK, PlanFor(*c.iid, c.member, c.flags, &number, plan)) << c.what;
        EXPECT_EQ(c.words, plan.wordArguments) << c.what;
    }
}

// The function a plan calls and how it passes each parameter.
void ExpectSamePlan(const CallPlan& fresh, const CallPlan& cached) {
    ASSERT_NE(nullptr, fresh.func.Get());
    ASSERT_NE(nullptr, cached.func.Get());
    EXPECT_EQ(fresh.func->memid, cached.func->memid);
    EXPECT_EQ(fresh.func->invkind, cached.func->invkind);
    EXPECT_EQ(fresh.func->oVft, cached.func->oVft);
    EXPECT_EQ(fresh.isPut, cached.isPut);
    EXPECT_EQ(fresh.hasRetval, cached.hasRetval);
    EXPECT_EQ(fresh.inputs, cached.inputs);
    EXPECT_EQ(fresh.regularInputs, cached.regularInputs);
    EXPECT_EQ(fresh.wordArguments, cached.wordArguments);
    ASSERT_EQ(fresh.params.size(), cached.params.size());
    for (size_t p = 0; p < fresh.params.size(); ++p) {
        EXPECT_EQ(fresh.params[p].type.kind, cached.params[p].type.kind) << "parameter " << p;
        EXPECT_EQ(fresh.params[p].type.byRef, cached.params[p].type.byRef) << "parameter " << p;
        EXPECT_EQ(fresh.params[p].type.iid, cached.params[p].type.iid) << "parameter " << p;
        EXPECT_EQ(fresh.params[p].type.record, cached.params[p].type.record) << "parameter " << p;
        EXPECT_EQ(fresh.params[p].optional, cached.params[p].optional) << "parameter " << p;
    }
}

struct Selection {
    const char* what;
    const IID* iid;
    DISPID member;
    WORD flags;
    const VARIANT* putValue;
};

// The cached plan of every call is the one a fresh selection and planning
// give, whatever kinds of access on the same member follow each other.
void ExpectCacheMatchesFreshSelection(const std::vector<Selection>& calls) {
    for (const Selection& call : calls) {
        SCOPED_TRACE(call.what);
        CallPlan fresh;
        const HRESULT freshResult = PlanFor(*call.iid, call.member, call.flags, call.putValue, fresh);
        const CallPlan* cached = nullptr;
        const HRESULT cachedResult =
            FindCallPlan(VtableOf(*call.iid), call.member, call.flags, call.putValue, &cached);
        ASSERT_EQ(freshResult, cachedResult);
        if (FAILED(cachedResult)) continue;
        ExpectSamePlan(fresh, *cached);
        const CallPlan* again = nullptr;
        ASSERT_EQ(S_OK, FindCallPlan(VtableOf(*call.iid), call.member, call.flags, call.putValue, &again));
        EXPECT_EQ(cached, again) << "planned once";
    }
}

TEST(CallPlanTest, CachedPlansAreWhatAFreshSelectionPlans) {
    VARIANT object;
    object.vt = VT_DISPATCH;
    object.pdispVal = nullptr;
    VARIANT null;
    null.vt = VT_NULL;
    VARIANT number = Long(5);
    VARIANT objectVariable;  // a script variable holding an object
    objectVariable.vt = VT_VARIANT | VT_BYREF;
    objectVariable.pvarVal = &object;
    const IID* service = &IID__clsVxTimeTimerMainA;
    const IID* timer = &IID__clsVxTimeTimerItemA;
    const IID* timers = &IID__clsVxTimeTimerItemsA;
    // BuddyObject (0x68030000) has a getter and a reference setter; a timer's
    // Status (0x68030009) a getter and a setter; Add (0x60030006) is a method.
    const std::vector<Selection> calls = {
        {"get of a getter and reference setter", service, 0x68030000, DISPATCH_PROPERTYGET, nullptr},
        {"reference put of an object", service, 0x68030000, DISPATCH_PROPERTYPUTREF, &object},
        {"plain put of an object takes the reference setter", service, 0x68030000, DISPATCH_PROPERTYPUT, &object},
        {"plain put of a variable holding an object", service, 0x68030000, DISPATCH_PROPERTYPUT, &objectVariable},
        {"plain put of null takes the reference setter", service, 0x68030000, DISPATCH_PROPERTYPUT, &null},
        {"plain put of a number finds no setter", service, 0x68030000, DISPATCH_PROPERTYPUT, &number},
        {"either put of a number", service, 0x68030000, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, &number},
        {"either put of an object", service, 0x68030000, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, &object},
        {"method or get of a property", service, 0x68030000, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr},
        {"method call of a property", service, 0x68030000, DISPATCH_METHOD, nullptr},
        {"no kind of access", service, 0x68030000, 0, nullptr},
        {"get of a getter and setter", timer, 0x68030009, DISPATCH_PROPERTYGET, nullptr},
        {"put of a number", timer, 0x68030009, DISPATCH_PROPERTYPUT, &number},
        {"put of an object on a plain setter", timer, 0x68030009, DISPATCH_PROPERTYPUT, &object},
        {"reference put on a plain setter", timer, 0x68030009, DISPATCH_PROPERTYPUTREF, &number},
        {"method", timers, 0x60030006, DISPATCH_METHOD, nullptr},
        {"method or get of a method", timers, 0x60030006, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr},
        {"get of a method", timers, 0x60030006, DISPATCH_PROPERTYGET, nullptr},
        {"an unknown member", timers, 0x12345, DISPATCH_METHOD, nullptr},
        {"the value member, which is absent", timers, DISPID_VALUE, DISPATCH_PROPERTYGET, nullptr},
    };
    // Twice forwards and once backwards: every call meets plans made by
    // others on the same member.
    ExpectCacheMatchesFreshSelection(calls);
    ExpectCacheMatchesFreshSelection(calls);
    ExpectCacheMatchesFreshSelection(std::vector<Selection>(calls.rbegin(), calls.rend()));
}

TEST(CallPlanTest, DiscardedPlansAreMadeAgain) {
    ITypeInfo* timer = VtableOf(IID__clsVxTimeTimerItemA);
    const CallPlan* before = nullptr;
    ASSERT_EQ(S_OK, FindCallPlan(timer, 0x68030009, DISPATCH_PROPERTYGET, nullptr, &before));
    DiscardCallPlans();
    const CallPlan* after = nullptr;
    ASSERT_EQ(S_OK, FindCallPlan(timer, 0x68030009, DISPATCH_PROPERTYGET, nullptr, &after));
    CallPlan fresh;
    ASSERT_EQ(S_OK, PlanFor(IID__clsVxTimeTimerItemA, 0x68030009, DISPATCH_PROPERTYGET, nullptr, fresh));
    ExpectSamePlan(fresh, *after);
}

class RecordObjectTest : public ComponentTest {};

LONG FieldId(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) << name;
    return id;
}

// Each field is read from its own place in the record on this
// architecture's layout (the string lies at 12 on 32-bit, at 16 on 64-bit).
TEST_F(RecordObjectTest, FieldsAreTheRecordsInDeclarationOrder) {
    AdditionalArguStru record{-7, 8, 9, SysAllocString(L"note")};
    ComPtr<IDispatch> object = MakeRecordObject(record);
    ClearRecord(record);  // the object holds a copy
    EXPECT_EQ(1, FieldId(object.Get(), L"LLPARAM"));
    EXPECT_EQ(4, FieldId(object.Get(), L"sComments"));
    EXPECT_EQ(-7, GetLong(object.Get(), L"lLParam"));
    EXPECT_EQ(8, GetLong(object.Get(), L"lMParam"));
    EXPECT_EQ(9, GetLong(object.Get(), L"lHParam"));
    EXPECT_EQ(L"note", GetString(object.Get(), L"sComments"));

    VARIANT text = Text(L"42");
    CallResult put;
    Call(object.Get(), L"lHParam", DISPATCH_PROPERTYPUT, {text}, put);
    VariantClear(&text);
    EXPECT_EQ(S_OK, put.hr) << "a text that reads as a number converts to the field's type";
    AdditionalArguStru read{0, 0, 0, nullptr};
    ASSERT_TRUE(ReadRecordFields(object.Get(), read));
    EXPECT_EQ(-7, read.lLParam);
    EXPECT_EQ(42, read.lHParam);
    EXPECT_EQ(std::wstring(L"note"), read.sComments);
    ClearRecord(read);

    VARIANT word = Text(L"not a number");
    CallResult refused;
    Call(object.Get(), L"lMParam", DISPATCH_PROPERTYPUT, {word}, refused);
    VariantClear(&word);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, refused.hr);
    EXPECT_EQ(8, GetLong(object.Get(), L"lMParam"));
}

TEST_F(RecordObjectTest, AnEmptyStringFieldReadsAsEmptyText) {
    ComPtr<IDispatch> object = MakeRecordObject(AdditionalArguStru{});
    CallResult result;
    Call(object.Get(), L"sComments", DISPATCH_PROPERTYGET, {}, result);
    ASSERT_EQ(S_OK, result.hr);
    ASSERT_EQ(VT_BSTR, result.value->vt);
    EXPECT_NE(nullptr, result.value->bstrVal);
    EXPECT_EQ(0u, SysStringLen(result.value->bstrVal));
}

class LinksTest : public ComponentTest {
protected:
    void TearDown() override {
        ConnectLayers();
        ComponentTest::TearDown();
    }
};

TEST_F(LinksTest, TimerAdditionWithoutTheServiceLinksFailsCleanly) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    InstallServiceLinks(nullptr);
    EXPECT_EQ(E_UNEXPECTED, AddTimer(timers.Get(), 1, 10));
    EXPECT_FALSE(platform.IsArmed(100, 1));
    ConnectLayers();
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 2, 10));
    EXPECT_TRUE(platform.IsArmed(100, 2));
}

}  // namespace
}  // namespace zx::test
