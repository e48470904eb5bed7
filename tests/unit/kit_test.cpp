// The COM kit on the component's own type library: call plans, records as
// objects, and the links through which the registry reaches the service.
#include "test_support.h"

#include "apartment/service_links.h"
#include "com/call_plan.h"
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
