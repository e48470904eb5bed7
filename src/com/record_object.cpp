#include "com/record_object.h"

#include <cstring>
#include <vector>

#include "com/errors.h"
#include "com/late_bound_object.h"
#include "com/member_by_name.h"

namespace zx {
namespace {

// Bytes of a field that a VARIANT holds by value; 0 for any other type.
size_t ValueSize(VARTYPE type) {
    switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_BSTR: return sizeof(BSTR);
    default: return 0;
    }
}

struct Field {
    std::wstring name;
    VARTYPE type;
    ULONG offset;
};

// The fields of the record `info` describes, in declaration order.
std::vector<Field> FieldsOf(IRecordInfo* info) {
    std::vector<Field> fields;
    ComPtr<ITypeInfo> type;
    if (!info || FAILED(info->GetTypeInfo(&type)) || !type) return fields;
    TypeAttr attr(type.Get());
    if (!attr) return fields;
    for (UINT i = 0; i < attr->cVars; ++i) {
        VarDesc var(type.Get(), i);
        if (!var.Get() || var->varkind != VAR_PERINSTANCE) continue;
        const VARTYPE fieldType = var->elemdescVar.tdesc.vt;
        if (!ValueSize(fieldType)) continue;
        Bstr name;
        UINT names = 0;
        if (FAILED(type->GetNames(var->memid, name.Put(), 1, &names)) || names == 0) continue;
        fields.push_back({name.Str(), fieldType, var->oInst});
    }
    return fields;
}

void* At(void* record, const Field& field) { return static_cast<BYTE*>(record) + field.offset; }
const void* At(const void* record, const Field& field) { return static_cast<const BYTE*>(record) + field.offset; }

// The field's value in a VARIANT of its type; a string is borrowed.
VARIANT Borrow(const void* record, const Field& field) {
    VARIANT value;
    VariantInit(&value);
    value.vt = field.type;
    std::memcpy(&value.llVal, At(record, field), ValueSize(field.type));
    return value;
}

// Stores `value` (of the field's type) into the field; a string passes to
// the record, which frees the one it held.
void Store(void* record, const Field& field, Variant& value) {
    if (field.type == VT_BSTR) {
        BSTR& target = *static_cast<BSTR*>(At(record, field));
        SysFreeString(target);
        target = value->bstrVal;
        value->vt = VT_EMPTY;
        return;
    }
    std::memcpy(At(record, field), &value->llVal, ValueSize(field.type));
}

// A record's fields as properties of a dispatch object. Late-bound only:
// it has no type information of its own.
class RecordObject final : public LateBoundObject {
public:
    RecordObject(IRecordInfo* info, const void* record) : info_(info), fields_(FieldsOf(info)) {
        if (!info_ || FAILED(info_->RecordCreateCopy(const_cast<void*>(record), &record_)))
            throw std::bad_alloc();
    }
    ~RecordObject() override { info_->RecordDestroy(record_); }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (size_t f = 0; f < fields_.size(); ++f)
                if (names[i] && _wcsicmp(names[i], fields_[f].name.c_str()) == 0) ids[i] = DISPID(f + 1);
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (member < 1 || size_t(member) > fields_.size()) return DISP_E_MEMBERNOTFOUND;
        const Field& field = fields_[member - 1];
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            Variant value;
            if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, field.type))) return DISP_E_TYPEMISMATCH;
            Store(record_, field, value);
            return S_OK;
        }
        if (params && params->cArgs) return DISP_E_BADPARAMCOUNT;
        if (!result) return S_OK;
        VariantInit(result);
        *result = Borrow(record_, field);
        if (field.type == VT_BSTR) {
            // An empty string reads as "", never as a null string.
            result->bstrVal = result->bstrVal ? Bstr::Copy(result->bstrVal) : SysAllocString(L"");
            if (!result->bstrVal) {
                result->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
        }
        return S_OK;
    }

private:
    ComPtr<IRecordInfo> info_;
    std::vector<Field> fields_;
    void* record_ = nullptr;
};

HRESULT CallProperty(IDispatch* object, const wchar_t* name, WORD flags, DISPPARAMS* params, VARIANT* result) {
    NamedMember member;
    HRESULT hr = FindMember(object, name, &member);
    if (FAILED(hr)) return hr;
    return InvokeMember(object, member, flags, params, result, nullptr);
}

bool ReadProperty(IDispatch* object, const wchar_t* name, VARTYPE type, Variant& value) {
    DISPPARAMS none{};
    Variant raw;
    if (FAILED(CallProperty(object, name, DISPATCH_PROPERTYGET, &none, raw.Get()))) return false;
    return SUCCEEDED(VariantChangeType(value.Get(), raw.Get(), 0, type));
}

void WriteProperty(IDispatch* object, const wchar_t* name, VARIANT& value) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &putId, 1, 1};
    CallProperty(object, name, DISPATCH_PROPERTYPUT, &params, nullptr);
}

}  // namespace

ComPtr<IDispatch> MakeRecordObject(IRecordInfo* info, const void* record) {
    if (!info) throw ComFailure{TYPE_E_CANTLOADLIBRARY};
    return ComPtr<IDispatch>(new RecordObject(info, record));
}

bool ReadRecordFields(IDispatch* object, IRecordInfo* info, void* record) {
    bool any = false;
    for (const Field& field : FieldsOf(info)) {
        Variant value;
        if (!ReadProperty(object, field.name.c_str(), field.type, value)) continue;
        Store(record, field, value);
        any = true;
    }
    return any;
}

void WriteRecordFields(IDispatch* object, IRecordInfo* info, const void* record) {
    for (const Field& field : FieldsOf(info)) {
        VARIANT value = Borrow(record, field);  // borrowed for the call
        WriteProperty(object, field.name.c_str(), value);
    }
}

}  // namespace zx
