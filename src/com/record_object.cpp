#include "com/record_object.h"

#include "com/late_bound_object.h"
#include "com/member_by_name.h"

namespace zx {
namespace {

struct Field {
    const wchar_t* name;
    DISPID id;
};
constexpr Field kFields[] = {{L"lLParam", 1}, {L"lMParam", 2}, {L"lHParam", 3}, {L"sComments", 4}};

// A record's fields as properties of a dispatch object, named as in the
// record. Late-bound only: it has no type information of its own.
class RecordObject final : public LateBoundObject {
public:
    explicit RecordObject(const AdditionalArguStru& record) : record_(record) {}

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const Field& field : kFields)
                if (names[i] && _wcsicmp(names[i], field.name) == 0) ids[i] = field.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        AdditionalArguStru& r = record_.Get();
        LONG* number = member == 1 ? &r.lLParam : member == 2 ? &r.lMParam : member == 3 ? &r.lHParam : nullptr;
        if (!number && member != 4) return DISP_E_MEMBERNOTFOUND;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            Variant value;
            HRESULT hr = VariantChangeType(&value, &params->rgvarg[0], 0, number ? VT_I4 : VT_BSTR);
            if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
            if (number) {
                *number = value->lVal;
            } else {
                SysFreeString(r.sComments);
                r.sComments = value->bstrVal;
                value->vt = VT_EMPTY;
            }
            return S_OK;
        }
        if (params && params->cArgs) return DISP_E_BADPARAMCOUNT;
        if (!result) return S_OK;
        VariantInit(result);
        if (number) {
            result->vt = VT_I4;
            result->lVal = *number;
        } else {
            result->vt = VT_BSTR;
            result->bstrVal = r.sComments ? Bstr::Copy(r.sComments) : SysAllocString(L"");
        }
        return S_OK;
    }

private:
    OwnedRecord record_;
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

ComPtr<IDispatch> MakeRecordObject(const AdditionalArguStru& record) {
    return ComPtr<IDispatch>(new RecordObject(record));
}

bool ReadRecordFields(IDispatch* object, AdditionalArguStru& record) {
    bool any = false;
    LONG* numbers[] = {&record.lLParam, &record.lMParam, &record.lHParam};
    for (int i = 0; i < 3; ++i) {
        Variant value;
        if (ReadProperty(object, kFields[i].name, VT_I4, value)) {
            *numbers[i] = value->lVal;
            any = true;
        }
    }
    Variant comments;
    if (ReadProperty(object, kFields[3].name, VT_BSTR, comments)) {
        SysFreeString(record.sComments);
        record.sComments = comments->bstrVal;
        comments->vt = VT_EMPTY;
        any = true;
    }
    return any;
}

void WriteRecordFields(IDispatch* object, const AdditionalArguStru& record) {
    const LONG numbers[] = {record.lLParam, record.lMParam, record.lHParam};
    for (int i = 0; i < 3; ++i) {
        VARIANT value;
        value.vt = VT_I4;
        value.lVal = numbers[i];
        WriteProperty(object, kFields[i].name, value);
    }
    VARIANT comments;
    comments.vt = VT_BSTR;
    comments.bstrVal = record.sComments;  // borrowed for the call
    WriteProperty(object, kFields[3].name, comments);
}

}  // namespace zx
