// The published surface of zentrix.dll that a client sees without calling a
// member: the type library in the DLL's TYPELIB resource, the _IID_/_SRCIID_
// resources and the version block. Everything is read from the built DLL;
// nothing needs to be registered.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <initguid.h>
#include "zentrix.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kDll[] = L"" ZENTRIX_DLL;
const UINT kPtr = sizeof(void*);  // the DLL is built for the test's architecture
const UINT kDispatchSlots = 7;    // IUnknown's and IDispatch's functions
// {00020430-0000-0000-C000-000000000046}, stdole2's library identifier.
const GUID kStdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::string narrow(const wchar_t* s) {
    std::string r;
    for (; s && *s; ++s) r += static_cast<char>(*s);
    return r;
}

class Bstr {
public:
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR* out() { SysFreeString(b_); b_ = nullptr; return &b_; }
    std::string str() const { return narrow(b_); }
private:
    BSTR b_ = nullptr;
};

// A description that could not be read ends the test (as a failure) rather
// than the process.
template <class T> T* present(T* p) {
    if (!p) throw std::runtime_error("description not available");
    return p;
}

class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* ti) : ti_(ti) { EXPECT_EQ(S_OK, ti->GetTypeAttr(&a_)); }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    ~TypeAttr() { if (a_) ti_->ReleaseTypeAttr(a_); }
    const TYPEATTR* operator->() const { return present(a_); }
private:
    ITypeInfo* ti_;
    TYPEATTR* a_ = nullptr;
};

class FuncDesc {
public:
    FuncDesc(ITypeInfo* ti, UINT i) : ti_(ti) { EXPECT_EQ(S_OK, ti->GetFuncDesc(i, &f_)); }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    ~FuncDesc() { if (f_) ti_->ReleaseFuncDesc(f_); }
    const FUNCDESC* operator->() const { return present(f_); }
private:
    ITypeInfo* ti_;
    FUNCDESC* f_ = nullptr;
};

class VarDesc {
public:
    VarDesc(ITypeInfo* ti, UINT i) : ti_(ti) { EXPECT_EQ(S_OK, ti->GetVarDesc(i, &v_)); }
    VarDesc(const VarDesc&) = delete;
    VarDesc& operator=(const VarDesc&) = delete;
    ~VarDesc() { if (v_) ti_->ReleaseVarDesc(v_); }
    const VARDESC* operator->() const { return present(v_); }
private:
    ITypeInfo* ti_;
    VARDESC* v_ = nullptr;
};

struct Doc {
    std::string name, text;
    DWORD helpContext = 0;
};

Doc docOf(ITypeInfo* ti, MEMBERID id) {
    Bstr name, text;
    Doc d;
    EXPECT_EQ(S_OK, ti->GetDocumentation(id, name.out(), text.out(), &d.helpContext, nullptr));
    d.name = name.str();
    d.text = text.str();
    return d;
}

TLIBATTR libAttr(ITypeLib* lib) {
    TLIBATTR* a = nullptr;
    TLIBATTR copy{};
    if (SUCCEEDED(lib->GetLibAttr(&a))) {
        copy = *a;
        lib->ReleaseTLibAttr(a);
    }
    return copy;
}

// A type in words: "long*", "IDispatch**", "_clsVxTimeTimerGroupA*"; types
// of another library carry its name ("stdole.IPictureDisp").
std::string typeText(ITypeInfo* owner, const TYPEDESC& t) {
    switch (t.vt) {
    case VT_PTR: return typeText(owner, *t.lptdesc) + "*";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        if (FAILED(owner->GetRefTypeInfo(t.hreftype, &ref)) || FAILED(ref->GetContainingTypeLib(&lib, &index)))
            return "<unresolved>";
        const std::string name = docOf(ref.Get(), MEMBERID_NIL).name;
        if (libAttr(lib.Get()).guid == LIBID_Zentrix) return name;
        Bstr libName;
        lib->GetDocumentation(-1, libName.out(), nullptr, nullptr, nullptr);
        return libName.str() + "." + name;
    }
    case VT_I2: return "short";
    case VT_I4: return "long";
    case VT_INT: return "int";
    case VT_R4: return "float";
    case VT_BSTR: return "BSTR";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_VARIANT: return "VARIANT";
    case VT_DISPATCH: return "IDispatch*";
    case VT_HRESULT: return "HRESULT";
    case VT_VOID: return "void";
    default: return "vt" + std::to_string(t.vt);
    }
}

// The vtable half of a dual interface.
ComPtr<ITypeInfo> vtableHalf(ITypeInfo* dispatch) {
    HREFTYPE href = 0;
    ComPtr<ITypeInfo> vtable;
    EXPECT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href));
    EXPECT_EQ(S_OK, dispatch->GetRefTypeInfo(href, &vtable));
    return vtable;
}

ComPtr<ITypeInfo> implemented(ITypeInfo* ti, UINT index) {
    HREFTYPE href = 0;
    ComPtr<ITypeInfo> ref;
    EXPECT_EQ(S_OK, ti->GetRefTypeOfImplType(index, &href));
    EXPECT_EQ(S_OK, ti->GetRefTypeInfo(href, &ref));
    return ref;
}

// --- The published tables --------------------------------------------------

constexpr INVOKEKIND GET = INVOKE_PROPERTYGET, LET = INVOKE_PROPERTYPUT, SET = INVOKE_PROPERTYPUTREF,
                     CALL = INVOKE_FUNC;
constexpr USHORT kIn = PARAMFLAG_FIN, kRef = PARAMFLAG_FIN | PARAMFLAG_FOUT,
                 kResult = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, kOptional = kRef | PARAMFLAG_FOPT,
                 kDefaultFalse = kOptional | PARAMFLAG_FHASDEFAULT;

struct Param {
    const char* name;  // nullptr: not reachable by name (a result, the value of a write)
    const char* type;
    USHORT flags;
};
struct Member {
    const char* name;
    INVOKEKIND kind;
    MEMBERID id;
    std::vector<Param> params;
};
struct Interface {
    const char* name;
    const GUID* iid;
    std::vector<Member> members;  // in function-table order
};

const Param rHwnd{"lHwnd", "long*", kRef}, rTimerId{"lTimerId", "long*", kRef};
Param result(const char* type) { return {nullptr, type, kResult}; }
Param value(const char* type, USHORT flags = kIn) { return {nullptr, type, flags}; }

const std::vector<Interface> kInterfaces = {
    {"_clsVxZentrixA", &IID__clsVxZentrixA, {
        {"GetProStdProperties", GET, 0x68030004, {result("IDispatch**")}},
        {"GetProResStrings", GET, 0x68030003, {{"lResId", "long*", kRef}, result("BSTR*")}},
        {"GetProResPicture", GET, 0x68030002, {{"lResId", "long*", kRef},
            {"lRestype", "ZentrixRuntime.ResourceKindConstants*", kRef}, result("stdole.IPictureDisp**")}},
        {"GetProResData", GET, 0x68030001, {{"lResId", "long*", kRef}, {"vRestype", "VARIANT*", kRef},
            result("VARIANT*")}},
        {"About", CALL, 0x60030006, {result("long*")}},
        {"BuddyObjectGlobal", GET, 0x68030000, {result("IDispatch**")}},
        {"BuddyObjectGlobal", SET, 0x68030000, {value("IDispatch*")}},
        {"GetTickCountTime", CALL, 0x60030007, {result("long*")}}}},
    {"_clsVxTimeTimerItemsA", &IID__clsVxTimeTimerItemsA, {
        {"Remove", CALL, 0x60030003, {{"IndexKey", "long*", kRef}}},
        {"Clear", CALL, 0x60030004, {}},
        {"Count", GET, 0x68030001, {result("long*")}},
        {"Item", GET, 0x68030000, {{"Index", "VARIANT*", kRef}, result("_clsVxTimeTimerItemA**")}},
        {"CheckExistance", CALL, 0x60030005, {rHwnd, rTimerId, result("VARIANT_BOOL*")}},
        {"Add", CALL, 0x60030006, {rTimerId, {"sAdditionalArguStru", "AdditionalArguStru*", kRef},
            {"lElapseTime", "long*", kRef}, {"Units", "TimerTimeUnitsTimeConstants*", kOptional},
            {"Repeat", "VARIANT_BOOL*", kDefaultFalse}, {"Owner", "BSTR*", kOptional}, result("VARIANT*")}}}},
    {"_clsVxTimeTimerItemA", &IID__clsVxTimeTimerItemA, {
        {"TimerObj", GET, 0x4003000d, {result("IDispatch**")}},
        {"TimerObj", SET, 0x4003000d, {value("IDispatch*")}},
        {"hWnd", GET, 0x6803000c, {result("long*")}},
        {"hWnd", LET, 0x6803000c, {value("long")}},
        {"Percent", GET, 0x6803000b, {result("short*")}},
        {"IncreasingBalanceTime", GET, 0x6803000a, {result("long*")}},
        {"Status", GET, 0x68030009, {result("TimerStatusTypeTimeConstants*")}},
        {"Status", LET, 0x68030009, {value("TimerStatusTypeTimeConstants")}},
        {"Owner", GET, 0x68030008, {result("BSTR*")}},
        {"Owner", LET, 0x68030008, {value("BSTR")}},
        {"ProgressBarObject", GET, 0x68030007, {result("IDispatch**")}},
        {"ProgressBarObject", SET, 0x68030007, {value("IDispatch*")}},
        {"TimerId", GET, 0x68030006, {result("long*")}},
        {"TimerId", LET, 0x68030006, {value("long")}},
        {"StartTime", GET, 0x68030005, {result("long*")}},
        {"StartTime", LET, 0x68030005, {value("long")}},
        {"TimeUnits", GET, 0x68030004, {result("BSTR*")}},
        {"TimeUnits", LET, 0x68030004, {value("BSTR")}},
        {"ElapseTime", GET, 0x68030003, {result("long*")}},
        {"ElapseTime", LET, 0x68030003, {value("long")}},
        {"Repeat", GET, 0x68030002, {result("VARIANT_BOOL*")}},
        {"Repeat", LET, 0x68030002, {value("VARIANT_BOOL")}},
        {"BalanceTime", GET, 0x68030001, {result("float*")}},
        {"BalanceTime", LET, 0x68030001, {value("float")}},
        {"AdditionalArgu", GET, 0x68030000, {result("AdditionalArguStru*")}},
        {"AdditionalArgu", LET, 0x68030000, {value("AdditionalArguStru*", kRef)}},
        {"ShowProgressBar", CALL, 0x6003000f, {{"OPBar", "IDispatch**", kRef}, {"OTimer", "IDispatch**", kRef},
            result("VARIANT*")}}}},
    {"_clsVxTimeTimerGroupsA", &IID__clsVxTimeTimerGroupsA, {
        {"Remove", CALL, 0x60030003, {{"Id", "long*", kRef}, result("VARIANT*")}},
        {"Clear", CALL, 0x60030004, {}},
        {"Item", GET, 0x68030000, {{"Id", "long*", kRef}, result("_clsVxTimeTimerGroupA**")}},
        {"Count", CALL, 0x60030005, {result("long*")}},
        {"Add", CALL, 0x60030006, {{"hWnd", "long*", kRef}, result("_clsVxTimeTimerGroupA**")}}}},
    {"_clsVxTimeTimerGroupA", &IID__clsVxTimeTimerGroupA, {
        {"hWnd", GET, 0x68030001, {result("long*")}},
        {"hWnd", LET, 0x68030001, {value("long")}},
        {"TimerItems", GET, 0x68030000, {result("_clsVxTimeTimerItemsA**")}},
        {"TimerItems", SET, 0x68030000, {value("_clsVxTimeTimerItemsA*")}}}},
    {"_clsVxTimeTimerEventsA", &IID__clsVxTimeTimerEventsA, {
        {"BuddyObject", GET, 0x68030000, {result("IDispatch**")}},
        {"BuddyObject", SET, 0x68030000, {value("IDispatch*")}}}},
    {"_clsVxTimeTimerMainA", &IID__clsVxTimeTimerMainA, {
        {"BuddyObject", GET, 0x68030001, {result("IDispatch**")}},
        {"BuddyObject", SET, 0x68030001, {value("IDispatch*")}},
        {"TimerGroups", GET, 0x68030000, {result("_clsVxTimeTimerGroupsA**")}},
        {"TimerGroups", SET, 0x68030000, {value("_clsVxTimeTimerGroupsA*")}},
        {"TimerStop", CALL, 0x60030006, {rHwnd, rTimerId}},
        {"TimerStart", CALL, 0x60030007, {rHwnd, rTimerId}},
        {"ShowTimerDialog", CALL, 0x60030008, {{"hWnd", "long*", kOptional}, result("VARIANT*")}},
        {"GetPercentage", CALL, 0x60030009, {rHwnd, rTimerId, result("long*")}},
        {"ResetTimer", CALL, 0x6003000a, {rHwnd, rTimerId, result("long*")}}}},
    {"_clsVxTimeGeneralA", &IID__clsVxTimeGeneralA, {}},
    {"_clsVxTimeAdvancedA", &IID__clsVxTimeAdvancedA, {}},
};

// Both event interfaces carry the same two events.
const std::vector<Member> kEvents = {
    {"OnTimerStart", CALL, 1, {{"hWnd", "long*", kRef}, {"TimerId", "long*", kRef}, {"ElapseTime", "long", kIn},
        {"AdditionalStr", "AdditionalArguStru*", kRef}, {"Cancel", "VARIANT_BOOL*", kRef}}},
    {"OnTimerElapse", CALL, 2, {{"hWnd", "long*", kRef}, {"TimerId", "long*", kRef}, {"ElapseTime", "long", kIn},
        {"AdditionalStr", "AdditionalArguStru*", kRef}}},
};

struct Class {
    const char* name;
    const GUID* clsid;
    bool creatable;
    const char* events;  // default source interface, or nullptr
};
const std::vector<Class> kClasses = {
    {"clsVxZentrixA", &CLSID_clsVxZentrixA, false, nullptr},
    {"clsVxTimeTimerItemsA", &CLSID_clsVxTimeTimerItemsA, false, nullptr},
    {"clsVxTimeTimerItemA", &CLSID_clsVxTimeTimerItemA, false, nullptr},
    {"clsVxTimeTimerGroupsA", &CLSID_clsVxTimeTimerGroupsA, false, nullptr},
    {"clsVxTimeTimerGroupA", &CLSID_clsVxTimeTimerGroupA, false, nullptr},
    {"clsVxTimeTimerEventsA", &CLSID_clsVxTimeTimerEventsA, true, "__clsVxTimeTimerEventsA"},
    {"clsVxTimeTimerMainA", &CLSID_clsVxTimeTimerMainA, true, "__clsVxTimeTimerMainA"},
    {"clsVxTimeGeneralA", &CLSID_clsVxTimeGeneralA, true, nullptr},
    {"clsVxTimeAdvancedA", &CLSID_clsVxTimeAdvancedA, true, nullptr},
};

struct Constant {
    const char* name;
    LONG value;
};
const std::vector<Constant> kTimeUnits = {
    {"timeTimerTimeUnitsMicroseconds", 0}, {"timeTimerTimeUnitsSeconds", 1},
    {"timeTimerTimeUnitsMinutes", 2}, {"timeTimerTimeUnitsHours", 3}};
const std::vector<Constant> kStatus = {
    {"timeTimerStatusStarted", 0}, {"timeTimerStatusStopped", 1}, {"timeTimerStatusReset", 2},
    {"timeTimerStatusRestart", 3}, {"timeTimerStatusEnded", 4}};

struct Field {
    const char* name;
    const char* type;
    ULONG offset32, offset64;
};
const std::vector<Field> kRecordFields = {
    {"lLParam", "long", 0, 0}, {"lMParam", "long", 4, 4}, {"lHParam", "long", 8, 8}, {"sComments", "BSTR", 12, 16}};

// The published order: each class's default interface, then the class; the
// event interfaces; the enumerations; the record.
struct Entry {
    const char* name;
    TYPEKIND kind;
    const GUID* guid;  // nullptr: the IDL's own, not exported as a constant
};
const std::vector<Entry> kOrder = {
    {"_clsVxZentrixA", TKIND_DISPATCH, &IID__clsVxZentrixA},
    {"clsVxZentrixA", TKIND_COCLASS, &CLSID_clsVxZentrixA},
    {"_clsVxTimeTimerItemsA", TKIND_DISPATCH, &IID__clsVxTimeTimerItemsA},
    {"clsVxTimeTimerItemsA", TKIND_COCLASS, &CLSID_clsVxTimeTimerItemsA},
    {"_clsVxTimeTimerItemA", TKIND_DISPATCH, &IID__clsVxTimeTimerItemA},
    {"clsVxTimeTimerItemA", TKIND_COCLASS, &CLSID_clsVxTimeTimerItemA},
    {"_clsVxTimeTimerGroupsA", TKIND_DISPATCH, &IID__clsVxTimeTimerGroupsA},
    {"clsVxTimeTimerGroupsA", TKIND_COCLASS, &CLSID_clsVxTimeTimerGroupsA},
    {"_clsVxTimeTimerGroupA", TKIND_DISPATCH, &IID__clsVxTimeTimerGroupA},
    {"clsVxTimeTimerGroupA", TKIND_COCLASS, &CLSID_clsVxTimeTimerGroupA},
    {"_clsVxTimeTimerEventsA", TKIND_DISPATCH, &IID__clsVxTimeTimerEventsA},
    {"clsVxTimeTimerEventsA", TKIND_COCLASS, &CLSID_clsVxTimeTimerEventsA},
    {"_clsVxTimeTimerMainA", TKIND_DISPATCH, &IID__clsVxTimeTimerMainA},
    {"clsVxTimeTimerMainA", TKIND_COCLASS, &CLSID_clsVxTimeTimerMainA},
    {"_clsVxTimeGeneralA", TKIND_DISPATCH, &IID__clsVxTimeGeneralA},
    {"clsVxTimeGeneralA", TKIND_COCLASS, &CLSID_clsVxTimeGeneralA},
    {"_clsVxTimeAdvancedA", TKIND_DISPATCH, &IID__clsVxTimeAdvancedA},
    {"clsVxTimeAdvancedA", TKIND_COCLASS, &CLSID_clsVxTimeAdvancedA},
    {"__clsVxTimeTimerEventsA", TKIND_DISPATCH, &DIID___clsVxTimeTimerEventsA},
    {"__clsVxTimeTimerMainA", TKIND_DISPATCH, &DIID___clsVxTimeTimerMainA},
    {"TimerTimeUnitsTimeConstants", TKIND_ENUM, nullptr},
    {"TimerStatusTypeTimeConstants", TKIND_ENUM, nullptr},
    {"AdditionalArguStru", TKIND_RECORD, nullptr},
};

// --- Checks shared by the tests ---------------------------------------------

ComPtr<ITypeInfo> typeNamed(ITypeLib* lib, const char* name) {
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> ti;
        if (SUCCEEDED(lib->GetTypeInfo(i, &ti)) && docOf(ti.Get(), MEMBERID_NIL).name == name) return ti;
    }
    ADD_FAILURE() << "no type " << name;
    return nullptr;
}

void expectTypeOrder(ITypeLib* lib) {
    ASSERT_EQ(kOrder.size(), lib->GetTypeInfoCount());
    for (UINT i = 0; i < kOrder.size(); ++i) {
        SCOPED_TRACE(kOrder[i].name);
        ComPtr<ITypeInfo> ti;
        ASSERT_EQ(S_OK, lib->GetTypeInfo(i, &ti));
        TypeAttr attr(ti.Get());
        EXPECT_EQ(kOrder[i].name, docOf(ti.Get(), MEMBERID_NIL).name);
        EXPECT_EQ(kOrder[i].kind, attr->typekind);
        if (kOrder[i].guid) {
            EXPECT_EQ(*kOrder[i].guid, attr->guid);
        }
    }
}

// A member against its row: name, kind, DISPID, parameters with names,
// types and flags. Names come from GetNames, which answers for the first
// accessor of a DISPID; rows name only what a caller can reach by name.
void expectMember(ITypeInfo* ti, UINT index, const Member& m) {
    SCOPED_TRACE(std::string(m.name) + " #" + std::to_string(index));
    FuncDesc f(ti, index);
    EXPECT_EQ(m.kind, f->invkind);
    EXPECT_EQ(m.id, f->memid);
    ASSERT_EQ(m.params.size(), static_cast<size_t>(f->cParams));
    BSTR names[16] = {};
    UINT count = 0;
    EXPECT_EQ(S_OK, ti->GetNames(f->memid, names, 16, &count));
    ASSERT_GE(count, 1u);
    EXPECT_EQ(m.name, narrow(names[0]));
    short optional = 0;
    for (size_t p = 0; p < m.params.size(); ++p) {
        SCOPED_TRACE("parameter " + std::to_string(p));
        const ELEMDESC& e = f->lprgelemdescParam[p];
        EXPECT_EQ(m.params[p].type, typeText(ti, e.tdesc));
        EXPECT_EQ(m.params[p].flags, e.paramdesc.wParamFlags);
        if (m.params[p].name) {
            EXPECT_EQ(m.params[p].name, narrow(p + 1 < count ? names[p + 1] : nullptr));
        }
        if (e.paramdesc.wParamFlags & PARAMFLAG_FOPT) ++optional;
        if (e.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) {
            // The one recorded default of the library: Repeat's False.
            const VARIANT& d = e.paramdesc.pparamdescex->varDefaultValue;
            EXPECT_EQ(VT_BOOL, V_VT(&d));
            EXPECT_EQ(VARIANT_FALSE, V_BOOL(&d));
        }
    }
    EXPECT_EQ(optional, f->cParamsOpt);
    EXPECT_EQ(0, f->wFuncFlags);  // not hidden, restricted, bindable or a default member
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
}

// Classes and interfaces carry no description or help context, neither do
// their members; no member has DISPID 0 (value) or -4 (enumerator).
void expectNoDescriptions(ITypeInfo* ti) {
    TypeAttr attr(ti);
    const Doc doc = docOf(ti, MEMBERID_NIL);
    EXPECT_EQ("", doc.text);
    EXPECT_EQ(0u, doc.helpContext);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FuncDesc f(ti, i);
        SCOPED_TRACE("function " + std::to_string(i));
        EXPECT_NE(DISPID_VALUE, f->memid);
        EXPECT_NE(DISPID_NEWENUM, f->memid);
        if (f->memid >= 0x60000000 && f->memid < 0x60020000) continue;  // IUnknown's and IDispatch's
        const Doc d = docOf(ti, f->memid);
        EXPECT_EQ("", d.text);
        EXPECT_EQ(0u, d.helpContext);
    }
}

// --- The library in the DLL ---------------------------------------------------

class PublishedLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The host runtime library (resource 2) is loaded first and held:
        // the component library's import of it resolves among the loaded
        // libraries without registration.
        ASSERT_EQ(S_OK, LoadTypeLibEx((std::wstring(kDll) + L"\\2").c_str(), REGKIND_NONE, &runtime_));
        ASSERT_EQ(S_OK, LoadTypeLibEx(kDll, REGKIND_NONE, &lib_));
    }
    static void TearDownTestSuite() {
        lib_.Reset();
        runtime_.Reset();
    }
    static ComPtr<ITypeInfo> type(const char* name) { return typeNamed(lib_.Get(), name); }
    static ComPtr<ITypeLib> lib_, runtime_;
};
ComPtr<ITypeLib> PublishedLibrary::lib_, PublishedLibrary::runtime_;

TEST_F(PublishedLibrary, LibraryAttributes) {
    const TLIBATTR a = libAttr(lib_.Get());
    EXPECT_EQ(LIBID_Zentrix, a.guid);
    EXPECT_EQ(1, a.wMajorVerNum);
    EXPECT_EQ(0, a.wMinorVerNum);
    EXPECT_EQ(0u, a.lcid);
    EXPECT_EQ(kPtr == 8 ? SYS_WIN64 : SYS_WIN32, a.syskind);
    EXPECT_EQ(0, a.wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN));
    Bstr name, doc, helpFile;
    DWORD helpContext = 1;
    ASSERT_EQ(S_OK, lib_->GetDocumentation(-1, name.out(), doc.out(), &helpContext, helpFile.out()));
    EXPECT_EQ("Zentrix", name.str());
    EXPECT_NE("", doc.str());
    EXPECT_EQ("", helpFile.str());
    EXPECT_EQ(0u, helpContext);
}

TEST_F(PublishedLibrary, HoldsTheTypesInPublishedOrder) {
    expectTypeOrder(lib_.Get());
    // Every identifier is its own.
    wchar_t text[40];
    StringFromGUID2(LIBID_Zentrix, text, 40);
    std::set<std::string> seen{narrow(text)};
    for (UINT i = 0; i < lib_->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> ti;
        ASSERT_EQ(S_OK, lib_->GetTypeInfo(i, &ti));
        TypeAttr attr(ti.Get());
        EXPECT_NE(GUID_NULL, attr->guid) << i;
        StringFromGUID2(attr->guid, text, 40);
        EXPECT_TRUE(seen.insert(narrow(text)).second) << "identifier used twice: " << narrow(text);
    }
}

TEST_F(PublishedLibrary, DefaultInterfacesAreHiddenDualNonExtensible) {
    for (const Interface& itf : kInterfaces) {
        SCOPED_TRACE(itf.name);
        ComPtr<ITypeInfo> dispatch = type(itf.name);
        ASSERT_TRUE(dispatch);
        const WORD published = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE;
        {
            TypeAttr attr(dispatch.Get());
            EXPECT_EQ(published | TYPEFLAG_FDISPATCHABLE, attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION);
        }
        ComPtr<ITypeInfo> vtable = vtableHalf(dispatch.Get());
        ASSERT_TRUE(vtable);
        TypeAttr attr(vtable.Get());
        EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
        EXPECT_EQ(*itf.iid, attr->guid);
        EXPECT_EQ(published | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, attr->wTypeFlags);
        ASSERT_EQ(1, attr->cImplTypes);
        ComPtr<ITypeInfo> base = implemented(vtable.Get(), 0);
        ASSERT_TRUE(base);
        EXPECT_EQ(IID_IDispatch, TypeAttr(base.Get())->guid);
    }
}

TEST_F(PublishedLibrary, DefaultInterfaceMembersInFunctionTableOrder) {
    for (const Interface& itf : kInterfaces) {
        SCOPED_TRACE(itf.name);
        ComPtr<ITypeInfo> dispatch = type(itf.name);
        ASSERT_TRUE(dispatch);
        ComPtr<ITypeInfo> vtable = vtableHalf(dispatch.Get());
        ASSERT_TRUE(vtable);
        const UINT n = static_cast<UINT>(itf.members.size());
        {
            TypeAttr attr(vtable.Get());
            ASSERT_EQ(n, attr->cFuncs);
            EXPECT_EQ((kDispatchSlots + n) * kPtr, attr->cbSizeVft);
        }
        for (UINT i = 0; i < n; ++i) {
            expectMember(vtable.Get(), i, itf.members[i]);
            FuncDesc f(vtable.Get(), i);
            EXPECT_EQ(FUNC_PUREVIRTUAL, f->funckind);
            EXPECT_EQ(CC_STDCALL, f->callconv);
            EXPECT_EQ(static_cast<SHORT>((kDispatchSlots + i) * kPtr), f->oVft) << itf.members[i].name;
            EXPECT_EQ("HRESULT", typeText(vtable.Get(), f->elemdescFunc.tdesc));
        }
        // Through dispatch: IDispatch's functions, then the same members.
        TypeAttr attr(dispatch.Get());
        ASSERT_EQ(kDispatchSlots + n, attr->cFuncs);
        for (UINT i = 0; i < n; ++i) {
            FuncDesc f(dispatch.Get(), kDispatchSlots + i);
            EXPECT_EQ(itf.members[i].id, f->memid) << itf.members[i].name;
            EXPECT_EQ(itf.members[i].kind, f->invkind) << itf.members[i].name;
        }
    }
}

TEST_F(PublishedLibrary, EventInterfacesAreHiddenNonExtensibleDispinterfaces) {
    for (const char* name : {"__clsVxTimeTimerEventsA", "__clsVxTimeTimerMainA"}) {
        SCOPED_TRACE(name);
        ComPtr<ITypeInfo> ti = type(name);
        ASSERT_TRUE(ti);
        {
            TypeAttr attr(ti.Get());
            EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
            EXPECT_EQ(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE, attr->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE);
            ASSERT_EQ(kEvents.size(), attr->cFuncs);
            ASSERT_EQ(1, attr->cImplTypes);
        }
        ComPtr<ITypeInfo> base = implemented(ti.Get(), 0);
        ASSERT_TRUE(base);
        EXPECT_EQ(IID_IDispatch, TypeAttr(base.Get())->guid);
        for (UINT i = 0; i < kEvents.size(); ++i) {
            expectMember(ti.Get(), i, kEvents[i]);
            FuncDesc f(ti.Get(), i);
            EXPECT_EQ(FUNC_DISPATCH, f->funckind);
            EXPECT_EQ("void", typeText(ti.Get(), f->elemdescFunc.tdesc));
        }
    }
}

TEST_F(PublishedLibrary, ClassesWithDefaultAndEventInterfaces) {
    for (const Class& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComPtr<ITypeInfo> ti = type(c.name);
        ASSERT_TRUE(ti);
        TypeAttr attr(ti.Get());
        EXPECT_EQ(*c.clsid, attr->guid);
        // Creatable or not, and nothing else: no control, aggregatable,
        // licensed, hidden, restricted or application object.
        EXPECT_EQ(c.creatable ? TYPEFLAG_FCANCREATE : 0, attr->wTypeFlags);
        ASSERT_EQ(c.events ? 2 : 1, attr->cImplTypes);
        INT flags = 0;
        ASSERT_EQ(S_OK, ti->GetImplTypeFlags(0, &flags));
        EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
        std::string defaultInterface = "_";
        defaultInterface += c.name;
        EXPECT_EQ(defaultInterface, docOf(implemented(ti.Get(), 0).Get(), MEMBERID_NIL).name);
        if (c.events) {
            ASSERT_EQ(S_OK, ti->GetImplTypeFlags(1, &flags));
            EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, flags);
            EXPECT_EQ(c.events, docOf(implemented(ti.Get(), 1).Get(), MEMBERID_NIL).name);
        }
    }
}

TEST_F(PublishedLibrary, EnumerationsWithTheirNamesAsDescriptions) {
    for (const auto& [name, constants] : {std::pair{"TimerTimeUnitsTimeConstants", &kTimeUnits},
                                          std::pair{"TimerStatusTypeTimeConstants", &kStatus}}) {
        SCOPED_TRACE(name);
        ComPtr<ITypeInfo> ti = type(name);
        ASSERT_TRUE(ti);
        TypeAttr attr(ti.Get());
        EXPECT_EQ(4u, attr->cbSizeInstance);
        ASSERT_EQ(constants->size(), attr->cVars);
        for (UINT i = 0; i < constants->size(); ++i) {
            VarDesc v(ti.Get(), i);
            const Doc doc = docOf(ti.Get(), v->memid);
            EXPECT_EQ((*constants)[i].name, doc.name);
            EXPECT_EQ((*constants)[i].name, doc.text);
            ASSERT_EQ(VAR_CONST, v->varkind);
            VARIANT asLong;
            VariantInit(&asLong);
            ASSERT_EQ(S_OK, VariantChangeType(&asLong, v->lpvarValue, 0, VT_I4));
            EXPECT_EQ((*constants)[i].value, V_I4(&asLong)) << doc.name;
        }
    }
}

TEST_F(PublishedLibrary, RecordLayoutWithFieldNamesAsDescriptions) {
    ComPtr<ITypeInfo> ti = type("AdditionalArguStru");
    ASSERT_TRUE(ti);
    TypeAttr attr(ti.Get());
    EXPECT_EQ(kPtr == 8 ? 24u : 16u, attr->cbSizeInstance);
    EXPECT_EQ(kPtr, attr->cbAlignment);
    ASSERT_EQ(kRecordFields.size(), attr->cVars);
    for (UINT i = 0; i < kRecordFields.size(); ++i) {
        VarDesc v(ti.Get(), i);
        const Doc doc = docOf(ti.Get(), v->memid);
        SCOPED_TRACE(doc.name);
        EXPECT_EQ(kRecordFields[i].name, doc.name);
        EXPECT_EQ(kRecordFields[i].name, doc.text);
        EXPECT_EQ(VAR_PERINSTANCE, v->varkind);
        EXPECT_EQ(kRecordFields[i].type, typeText(ti.Get(), v->elemdescVar.tdesc));
        EXPECT_EQ(kPtr == 8 ? kRecordFields[i].offset64 : kRecordFields[i].offset32, v->oInst);
    }
}

TEST_F(PublishedLibrary, NoDescriptionsAndNoValueOrEnumeratorMembers) {
    for (const Entry& e : kOrder) {
        if (e.kind == TKIND_ENUM || e.kind == TKIND_RECORD) continue;
        SCOPED_TRACE(e.name);
        ComPtr<ITypeInfo> ti = type(e.name);
        ASSERT_TRUE(ti);
        expectNoDescriptions(ti.Get());
        if (TypeAttr(ti.Get())->wTypeFlags & TYPEFLAG_FDUAL) expectNoDescriptions(vtableHalf(ti.Get()).Get());
    }
}

TEST_F(PublishedLibrary, ImportsStdole2AndTheHostRuntimeLibrary) {
    ComPtr<ITypeInfo> zentrix = vtableHalf(type("_clsVxZentrixA").Get());
    ASSERT_TRUE(zentrix);
    auto libraryOf = [](ITypeInfo* ti) {
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        EXPECT_EQ(S_OK, ti->GetContainingTypeLib(&lib, &index));
        return libAttr(lib.Get());
    };
    ComPtr<ITypeInfo> dispatch = implemented(zentrix.Get(), 0);
    ASSERT_TRUE(dispatch);
    const TLIBATTR stdole = libraryOf(dispatch.Get());
    EXPECT_EQ(kStdOle, stdole.guid);
    EXPECT_EQ(2, stdole.wMajorVerNum);

    FuncDesc picture(zentrix.Get(), 2);  // GetProResPicture(lResId, lRestype, result)
    ASSERT_EQ(3, picture->cParams);
    const TYPEDESC& kind = *picture->lprgelemdescParam[1].tdesc.lptdesc;
    const TYPEDESC& result = *picture->lprgelemdescParam[2].tdesc.lptdesc->lptdesc;
    ASSERT_EQ(VT_USERDEFINED, kind.vt);
    ASSERT_EQ(VT_USERDEFINED, result.vt);
    ComPtr<ITypeInfo> kindType, pictureType;
    ASSERT_EQ(S_OK, zentrix->GetRefTypeInfo(kind.hreftype, &kindType));
    ASSERT_EQ(S_OK, zentrix->GetRefTypeInfo(result.hreftype, &pictureType));
    const TLIBATTR runtime = libraryOf(kindType.Get());
    EXPECT_EQ(LIBID_ZentrixRuntime, runtime.guid);
    EXPECT_EQ(1, runtime.wMajorVerNum);
    EXPECT_EQ(0, runtime.wMinorVerNum);
    EXPECT_EQ(TKIND_ENUM, TypeAttr(kindType.Get())->typekind);
    EXPECT_EQ("ResourceKindConstants", docOf(kindType.Get(), MEMBERID_NIL).name);
    EXPECT_EQ(kStdOle, libraryOf(pictureType.Get()).guid);
    EXPECT_EQ("IPictureDisp", docOf(pictureType.Get(), MEMBERID_NIL).name);
}

// --- Resources and the version block ---------------------------------------

class DllResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(kDll, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    static BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
        reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
        return TRUE;
    }
    // The languages the module carries the resource in.
    std::vector<WORD> languages(const std::wstring& type, WORD id) const {
        std::vector<WORD> found;
        EnumResourceLanguagesW(module_, type.c_str(), MAKEINTRESOURCEW(id), &CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&found));
        return found;
    }
    // The resource's bytes, or empty when the module does not carry it in
    // the neutral language alone (FindResourceEx would fall back to any).
    std::vector<BYTE> neutral(const std::wstring& type, WORD id) const {
        if (languages(type, id) != std::vector<WORD>{MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)}) return {};
        HRSRC r = FindResourceExW(module_, type.c_str(), MAKEINTRESOURCEW(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
        if (!r) return {};
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module_, r)));
        return data ? std::vector<BYTE>(data, data + SizeofResource(module_, r)) : std::vector<BYTE>{};
    }
    HMODULE module_ = nullptr;
};

TEST_F(DllResources, TypeLibraryIsResourceOne) {
    const std::vector<BYTE> tlb = neutral(L"TYPELIB", 1);
    ASSERT_GE(tlb.size(), 4u);
    EXPECT_EQ(0, std::memcmp(tlb.data(), "MSFT", 4));
}

TEST_F(DllResources, InterfaceIdentifiersOfEveryClass) {
    ComPtr<ITypeLib> runtime, lib;
    ASSERT_EQ(S_OK, LoadTypeLibEx((std::wstring(kDll) + L"\\2").c_str(), REGKIND_NONE, &runtime));
    ASSERT_EQ(S_OK, LoadTypeLibEx(kDll, REGKIND_NONE, &lib));
    for (const Class& c : kClasses) {
        SCOPED_TRACE(c.name);
        std::wstring upper;
        for (const char* p = c.name; *p; ++p) upper += static_cast<wchar_t>(toupper(static_cast<unsigned char>(*p)));
        ComPtr<ITypeInfo> cls = typeNamed(lib.Get(), c.name);
        ASSERT_TRUE(cls);
        for (UINT impl = 0; impl < 2; ++impl) {
            const std::vector<BYTE> res = neutral((impl ? L"_SRCIID_" : L"_IID_") + upper, 1);
            if (impl == 1 && !c.events) {
                EXPECT_TRUE(res.empty()) << "a class without events has no event interface resource";
                continue;
            }
            ASSERT_EQ(20u, res.size()) << "impl " << impl;
            DWORD length = 0;
            GUID iid{};
            std::memcpy(&length, res.data(), 4);
            std::memcpy(&iid, res.data() + 4, 16);
            EXPECT_EQ(16u, length);
            ComPtr<ITypeInfo> itf = implemented(cls.Get(), impl);
            ASSERT_TRUE(itf);
            EXPECT_EQ(TypeAttr(itf.Get())->guid, iid) << "impl " << impl;
        }
    }
}

TEST(VersionBlock, FixedPartAndTexts) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(kDll, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(kDll, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(126u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(126u, fixed->dwProductVersionLS);
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    auto text = [&](const wchar_t* key, bool* present) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        *present = VerQueryValueW(block.data(), (std::wstring(L"\\StringFileInfo\\040904B0\\") + key).c_str(),
                                  reinterpret_cast<void**>(&value), &chars) != 0;
        return *present && value ? narrow(value) : std::string();
    };
    bool present = false;
    EXPECT_EQ("1.00.0126", text(L"FileVersion", &present));
    EXPECT_EQ("1.00.0126", text(L"ProductVersion", &present));
    EXPECT_EQ("zentrix", text(L"InternalName", &present));
    EXPECT_EQ("zentrix.dll", text(L"OriginalFilename", &present));
    EXPECT_EQ("", text(L"OLESelfRegister", &present));
    EXPECT_TRUE(present) << "OLESelfRegister announces self-registration";
    for (const wchar_t* key : {L"Comments", L"CompanyName", L"FileDescription", L"LegalCopyright",
                               L"LegalTrademarks", L"ProductName"}) {
        EXPECT_NE("", text(key, &present)) << narrow(key);
    }
}

// --- The 32-bit library -------------------------------------------------------

// The library as the i686 build publishes it (in the x86_64 suite, one made
// the same way by this tree's tool): a 32-bit library with 4-byte pointers
// throughout.
TEST(Win32Library, LaidOutForFourBytePointers) {
#ifndef ZENTRIX_TLB32
    FAIL() << "no 32-bit library was named to check";
#else
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadTypeLibEx(L"" ZENTRIX_TLB32, REGKIND_NONE, &lib));
    EXPECT_EQ(SYS_WIN32, libAttr(lib.Get()).syskind);
    expectTypeOrder(lib.Get());

    ComPtr<ITypeInfo> record = typeNamed(lib.Get(), "AdditionalArguStru");
    ASSERT_TRUE(record);
    {
        TypeAttr attr(record.Get());
        EXPECT_EQ(16u, attr->cbSizeInstance);
        EXPECT_EQ(4, attr->cbAlignment);
        ASSERT_EQ(kRecordFields.size(), attr->cVars);
    }
    for (UINT i = 0; i < kRecordFields.size(); ++i) {
        VarDesc v(record.Get(), i);
        EXPECT_EQ(kRecordFields[i].offset32, v->oInst) << kRecordFields[i].name;
    }
    // The vtables: IDispatch's seven 4-byte slots, then the members.
    for (const Interface& itf : kInterfaces) {
        ComPtr<ITypeInfo> dispatch = typeNamed(lib.Get(), itf.name);
        ASSERT_TRUE(dispatch);
        ComPtr<ITypeInfo> vtable = vtableHalf(dispatch.Get());
        ASSERT_TRUE(vtable);
        EXPECT_EQ((kDispatchSlots + itf.members.size()) * 4, TypeAttr(vtable.Get())->cbSizeVft) << itf.name;
    }
#endif
}

}  // namespace
