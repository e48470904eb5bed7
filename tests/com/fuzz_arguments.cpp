#include "fuzz_arguments.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace zxfuzz {
namespace {

const char* TypeName(VARTYPE vt) {
    switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_I2: return "I2";
    case VT_I4: return "I4";
    case VT_R4: return "R4";
    case VT_R8: return "R8";
    case VT_CY: return "CY";
    case VT_DATE: return "DATE";
    case VT_BSTR: return "BSTR";
    case VT_DISPATCH: return "DISPATCH";
    case VT_ERROR: return "ERROR";
    case VT_BOOL: return "BOOL";
    case VT_VARIANT: return "VARIANT";
    case VT_UNKNOWN: return "UNKNOWN";
    case VT_DECIMAL: return "DECIMAL";
    case VT_I1: return "I1";
    case VT_UI1: return "UI1";
    case VT_UI2: return "UI2";
    case VT_UI4: return "UI4";
    case VT_I8: return "I8";
    case VT_UI8: return "UI8";
    case VT_INT: return "INT";
    case VT_UINT: return "UINT";
    case VT_RECORD: return "RECORD";
    default: return "?";
    }
}

}  // namespace

Arguments::Arguments(Random& random, const Ingredients& ingredients) : random_(random), ingredients_(ingredients) {
    args_.reserve(8);
}

Arguments::~Arguments() {
    // By-value arguments are the caller's own: the callee does not change them.
    for (VARIANT& arg : args_) Release(arg, arg);
    for (size_t i = 0; i < variants_.size(); ++i) Release(variants_[i], originals_[i]);
    for (Cell& cell : cells_) {
        switch (cell.vt) {
        case VT_BSTR: SysFreeString(cell.s); break;
        case VT_DISPATCH: if (cell.o) cell.o->Release(); break;
        case VT_UNKNOWN: if (cell.u) cell.u->Release(); break;
        case VT_ARRAY | VT_I4: if (cell.array) SafeArrayDestroy(cell.array); break;
        default: break;
        }
    }
    for (AdditionalArguStru& record : records_) SysFreeString(record.sComments);
}

void Arguments::Release(VARIANT& v, const VARIANT& made) {
    if ((v.vt & VT_BYREF) || v.vt == VT_EMPTY) {
        v.vt = VT_EMPTY;  // referents are freed with their cells
        return;
    }
    if (v.vt == VT_RECORD) {
        // A record the test made lives in its storage; one a callee made is
        // destroyed by its description (VariantClear under Wine would lose
        // its memory).
        const bool ours = made.vt == VT_RECORD && made.pvRecord == v.pvRecord && made.pRecInfo == v.pRecInfo;
        if (!ours && v.pRecInfo) {
            v.pRecInfo->RecordDestroy(v.pvRecord);
            v.pRecInfo->Release();
        }
        v.vt = VT_EMPTY;
        return;
    }
    if (FAILED(VariantClear(&v))) v.vt = VT_EMPTY;  // an invalid type holds nothing
}

LONG Arguments::MakeLong() {
    static const LONG kNumbers[] = {0, 1, 2, 3, 4, 5, -1, 7, 10, 100, 1000, 65536, 0x7FFFFFFF,
                                    static_cast<LONG>(0x80000000), -2, 42, 3600, 86400};
    if (!ingredients_.windows.empty() && random_.Percent(25))
        return ingredients_.windows[random_.Below(static_cast<uint32_t>(ingredients_.windows.size()))];
    return random_.Pick(kNumbers);
}

double Arguments::MakeDouble() {
    static const double kNumbers[] = {0.0, 0.5, 1.5, 2.5, -0.5, 1.0, 7.0, 1e10, -1e10, 1e300, -1e300,
                                      2147483647.5, -2147483648.5, 4294967296.0, 3.0e38, 1e-300,
                                      std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN()};
    return random_.Pick(kNumbers);
}

BSTR Arguments::MakeString() {
    switch (random_.Below(10)) {
    case 0: return nullptr;
    case 1: return SysAllocString(L"");
    case 2: return SysAllocStringLen(L"a\0b\0", 4);  // embedded NULs
    case 3: return SysAllocString(std::wstring(3000, L'x').c_str());
    case 4: {
        static const wchar_t* const kUnits[] = {L"MSec", L"sec", L"MIN", L"Hrs", L"Days"};
        return SysAllocString(random_.Pick(kUnits));
    }
    case 5: {
        static const wchar_t* const kNumbers[] = {L"12", L"-5", L"1e400", L"0x10", L"3.5", L"2147483648"};
        return SysAllocString(random_.Pick(kNumbers));
    }
    default: {
        static const wchar_t* const kNames[] = {L"Add", L"Item", L"Count", L"owner text", L"TYPELIB", L"\x263A"};
        return SysAllocString(random_.Pick(kNames));
    }
    }
}

IDispatch* Arguments::MakeObject(bool foreignOnly) {
    const auto& ours = ingredients_.ours;
    const auto& foreign = ingredients_.foreign;
    IDispatch* object = nullptr;
    if (!foreignOnly && !ours.empty() && random_.Percent(50))
        object = ours[random_.Below(static_cast<uint32_t>(ours.size()))];
    else if (!foreign.empty())
        object = foreign[random_.Below(static_cast<uint32_t>(foreign.size()))];
    if (object) object->AddRef();
    return object;
}

void Arguments::MakeRecord(VARIANT& v, bool byRef) {
    v.vt = byRef ? VT_RECORD | VT_BYREF : VT_RECORD;
    const auto& foreign = ingredients_.foreignRecords;
    const uint32_t kind = random_.Below(10);
    if (kind < 5 || foreign.empty()) {
        v.pRecInfo = ingredients_.libraryRecord;
    } else if (kind < 8) {
        v.pRecInfo = foreign[random_.Below(static_cast<uint32_t>(foreign.size()))];
    } else {
        v.pRecInfo = kind == 8 ? nullptr : ingredients_.libraryRecord;
        v.pvRecord = nullptr;  // no record at all
        return;
    }
    auto* described = static_cast<ForeignRecordInfo*>(v.pRecInfo);
    const bool foreignLayout =
        v.pRecInfo != ingredients_.libraryRecord && !described->IsImpostor();
    if (foreignLayout) {
        foreignRecords_.push_back({{MakeLong(), MakeLong(), MakeLong(), MakeLong()}});
        v.pvRecord = &foreignRecords_.back();
    } else {
        records_.push_back(AdditionalArguStru{MakeLong(), MakeLong(), MakeLong(), random_.Percent(60) ? MakeString()
                                                                                                      : nullptr});
        v.pvRecord = &records_.back();
    }
}

void Arguments::MakeValue(VARIANT& v, int depth) {
    VariantInit(&v);
    switch (random_.Below(24)) {
    case 0: break;
    case 1: v.vt = VT_NULL; break;
    case 2: v.vt = VT_ERROR, v.scode = DISP_E_PARAMNOTFOUND; break;  // omitted
    case 3: v.vt = VT_ERROR, v.scode = E_FAIL; break;
    case 4: {
        static const SHORT kShorts[] = {0, 1, -1, 2, 32767, -32768, 100};
        v.vt = VT_I2, v.iVal = random_.Pick(kShorts);
        break;
    }
    case 5: case 6: case 7: v.vt = VT_I4, v.lVal = MakeLong(); break;
    case 8: v.vt = VT_R4, v.fltVal = static_cast<float>(MakeDouble()); break;
    case 9: v.vt = VT_R8, v.dblVal = MakeDouble(); break;
    case 10: {
        static const LONGLONG kUnits[] = {0, 10000, -10000, 0x7FFFFFFFFFFFFFFFll, 21474836480000ll};
        v.vt = VT_CY, v.cyVal.int64 = random_.Pick(kUnits);
        break;
    }
    case 11: v.vt = VT_DATE, v.date = MakeDouble(); break;
    case 12: v.vt = VT_DECIMAL, VarDecFromR8(random_.Percent(50) ? 1e20 : 3.5, &v.decVal), v.vt = VT_DECIMAL; break;
    case 13: {
        static const VARTYPE kSmall[] = {VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT};
        v.vt = random_.Pick(kSmall);
        v.llVal = random_.Percent(50) ? -1 : 0x100000000ll;
        break;
    }
    case 14: {
        static const VARIANT_BOOL kBools[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 0x7FFF};
        v.vt = VT_BOOL, v.boolVal = random_.Pick(kBools);
        break;
    }
    case 15: case 16: v.vt = VT_BSTR, v.bstrVal = MakeString(); break;
    case 17: case 18: v.vt = VT_DISPATCH, v.pdispVal = random_.Percent(15) ? nullptr : MakeObject(false); break;
    case 19: v.vt = VT_UNKNOWN, v.punkVal = random_.Percent(20) ? nullptr : MakeObject(false); break;
    case 20: MakeRecord(v, false); break;
    case 21: {
        v.vt = VT_ARRAY | VT_I4;
        v.parray = SafeArrayCreateVector(VT_I4, 0, 3);
        if (!v.parray) v.vt = VT_EMPTY;
        break;
    }
    case 22: {
        static const VARTYPE kInvalid[] = {0x7FFF, VT_BSTR | VT_VECTOR, 0xFFFF, VT_VOID, VT_PTR, VT_LPSTR, 15};
        v.vt = random_.Pick(kInvalid);
        break;
    }
    default: MakeReference(v, depth); break;
    }
}

void Arguments::MakeReference(VARIANT& v, int depth) {
    VariantInit(&v);
    static const VARTYPE kTypes[] = {VT_I2,      VT_I4,      VT_I4,     VT_R4,      VT_R8,   VT_BOOL,
                                     VT_BSTR,    VT_BSTR,    VT_DISPATCH, VT_UNKNOWN, VT_ERROR, VT_CY,
                                     VT_DATE,    VT_DECIMAL, VT_UI1,    VT_VARIANT, VT_VARIANT, VT_VARIANT,
                                     VT_RECORD,  VT_RECORD,  VT_ARRAY | VT_I4};
    const VARTYPE type = random_.Pick(kTypes);
    if (type == VT_RECORD) {
        MakeRecord(v, true);
        return;
    }
    v.vt = type | VT_BYREF;
    if (random_.Percent(8)) {
        v.byref = nullptr;  // a reference to nothing
        return;
    }
    if (type == VT_VARIANT) {
        variants_.emplace_back();
        if (depth < 3) MakeValue(variants_.back(), depth + 1);
        else VariantInit(&variants_.back());
        originals_.push_back(variants_.back());
        v.pvarVal = &variants_.back();
        return;
    }
    cells_.emplace_back();
    Cell& cell = cells_.back();
    cell.vt = type;
    switch (type) {
    case VT_I2: cell.i = static_cast<SHORT>(MakeLong()); break;
    case VT_I4: cell.l = MakeLong(); break;
    case VT_R4: cell.f = static_cast<float>(MakeDouble()); break;
    case VT_R8: case VT_DATE: cell.d = MakeDouble(); break;
    case VT_BOOL: cell.b = random_.Percent(50) ? VARIANT_TRUE : 3; break;
    case VT_BSTR: cell.s = MakeString(); break;
    case VT_DISPATCH: cell.o = random_.Percent(15) ? nullptr : MakeObject(false); break;
    case VT_UNKNOWN: cell.u = random_.Percent(15) ? nullptr : MakeObject(true); break;
    case VT_ERROR: cell.e = DISP_E_PARAMNOTFOUND; break;
    case VT_CY: cell.cy.int64 = 0x7FFFFFFFFFFFFFFFll; break;
    case VT_DECIMAL: VarDecFromR8(MakeDouble() == 0 ? 1e25 : 2.5, &cell.dec); break;
    case VT_UI1: cell.ui1 = 255; break;
    case VT_ARRAY | VT_I4: cell.array = SafeArrayCreateVector(VT_I4, 0, 2); break;
    default: break;
    }
    v.byref = &cell.l;
    if (type == VT_DECIMAL) v.pdecVal = &cell.dec;
}

void Arguments::AddRandom() {
    args_.emplace_back();
    MakeValue(args_.back(), 0);
}

void Arguments::AddPlausible(Hint hint) {
    args_.emplace_back();
    VARIANT& v = args_.back();
    VariantInit(&v);
    const bool byRef = random_.Percent(50);
    switch (hint) {
    case Hint::Record: MakeRecord(v, true); return;
    case Hint::String: v.vt = VT_BSTR, v.bstrVal = MakeString(); return;
    case Hint::Bool: v.vt = VT_BOOL, v.boolVal = random_.Percent(50) ? VARIANT_TRUE : VARIANT_FALSE; return;
    case Hint::Float: v.vt = VT_R4, v.fltVal = static_cast<float>(random_.Below(100)); return;
    case Hint::Object: v.vt = VT_DISPATCH, v.pdispVal = MakeObject(false); return;
    case Hint::Short: v.vt = VT_I2, v.iVal = static_cast<SHORT>(random_.Below(4)); return;
    case Hint::Variant:
    case Hint::Long: break;
    }
    LONG value = static_cast<LONG>(1 + random_.Below(5));
    if (!ingredients_.windows.empty() && random_.Percent(40))
        value = ingredients_.windows[random_.Below(static_cast<uint32_t>(ingredients_.windows.size()))];
    if (!byRef) {
        v.vt = VT_I4, v.lVal = value;
        return;
    }
    cells_.emplace_back();
    cells_.back().vt = VT_I4;
    cells_.back().l = value;
    v.vt = VT_I4 | VT_BYREF, v.plVal = &cells_.back().l;
}

void Arguments::AddLong(LONG value) {
    args_.emplace_back();
    VariantInit(&args_.back());
    args_.back().vt = VT_I4;
    args_.back().lVal = value;
}

void Arguments::Describe(char* out, size_t size) const {
    size_t used = 0;
    out[0] = '\0';
    for (size_t i = 0; i < args_.size() && used + 1 < size; ++i) {
        const VARIANT& v = args_[i];
        const char* name = TypeName(v.vt);
        int wrote = 0;
        if (v.vt & VT_BYREF) {
            const char* inner = "";
            if (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal) inner = TypeName(v.pvarVal->vt);
            wrote = std::snprintf(out + used, size - used, "%s%s&%s%s%s", i ? "," : "", name, v.byref ? "" : "null",
                                  *inner ? ">" : "", inner);
        } else if (v.vt == VT_I4) {
            wrote = std::snprintf(out + used, size - used, "%sI4=%ld", i ? "," : "", static_cast<long>(v.lVal));
        } else {
            wrote = std::snprintf(out + used, size - used, "%s%s(%04x)", i ? "," : "", name, v.vt);
        }
        if (wrote < 0) break;
        used += static_cast<size_t>(wrote);
        if (used >= size) {
            out[size - 1] = '\0';
            break;
        }
    }
}

}  // namespace zxfuzz
