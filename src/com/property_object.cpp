#include "com/property_object.h"

#include "com/late_bound_object.h"

namespace zx {
namespace {

class PropertyObject final : public LateBoundObject {
public:
    explicit PropertyObject(std::vector<NamedValue> properties) : properties_(std::move(properties)) {
    }
    ~PropertyObject() {
        for (NamedValue& property : properties_) VariantClear(&property.value);
    }
    PropertyObject(const PropertyObject&) = delete;
    PropertyObject& operator=(const PropertyObject&) = delete;

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0) {
                for (size_t p = 0; p < properties_.size(); ++p)
                    if (names[0] && _wcsicmp(names[0], properties_[p].name.c_str()) == 0) ids[0] = DISPID(p + 1);
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (member < 1 || size_t(member) > properties_.size()) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs) return DISP_E_BADPARAMCOUNT;
        if (!result) return S_OK;
        VariantInit(result);
        return VariantCopy(result, &properties_[member - 1].value);
    }

private:
    std::vector<NamedValue> properties_;
};

}  // namespace

NamedValue TextValue(std::wstring name, const std::wstring& text) {
    NamedValue named{std::move(name), {}};
    named.value.vt = VT_BSTR;
    named.value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return named;
}

NamedValue LongValue(std::wstring name, LONG number) {
    NamedValue named{std::move(name), {}};
    named.value.vt = VT_I4;
    named.value.lVal = number;
    return named;
}

ComPtr<IDispatch> MakePropertyObject(std::vector<NamedValue> properties) {
    return ComPtr<IDispatch>(new PropertyObject(std::move(properties)));
}

}  // namespace zx
