#include "component/property_object.h"

#include "component/module.h"

namespace zx {
namespace {

class PropertyObject final : public IDispatch {
public:
    explicit PropertyObject(std::vector<NamedValue> properties) : properties_(std::move(properties)) {
        ObjectCreated();
    }
    ~PropertyObject() {
        for (NamedValue& property : properties_) VariantClear(&property.value);
        ObjectDestroyed();
    }
    PropertyObject(const PropertyObject&) = delete;
    PropertyObject& operator=(const PropertyObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = (riid == IID_IUnknown || riid == IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = InterlockedDecrement(&references_);
        if (!left) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
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
    LONG references_ = 0;  // the first owner is the ComPtr that creates it
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
