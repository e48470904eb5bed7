#include "component/dispatch.h"

#include <vector>

#include "component/errors.h"
#include "component/owned.h"
#include "component/record_object.h"
#include "component/type_library.h"

namespace zx {
namespace {

enum class Kind { Int32, Int16, Bool, Float, Double, String, Variant, Object, Record, Unsupported };

struct ParamType {
    Kind kind = Kind::Unsupported;
    bool byRef = false;
    IID iid = IID_IDispatch;  // the interface an Object parameter wants
};

VARTYPE VarTypeOf(Kind kind) {
    switch (kind) {
    case Kind::Int32: return VT_I4;
    case Kind::Int16: return VT_I2;
    case Kind::Bool: return VT_BOOL;
    case Kind::Float: return VT_R4;
    case Kind::Double: return VT_R8;
    case Kind::String: return VT_BSTR;
    case Kind::Variant: return VT_VARIANT;
    case Kind::Object: return VT_DISPATCH;
    case Kind::Record: return VT_RECORD;
    case Kind::Unsupported: break;
    }
    return VT_EMPTY;
}

ParamType Describe(ITypeInfo* owner, const TYPEDESC& desc, int pointers = 0) {
    const TYPEDESC* type = &desc;
    while (type->vt == VT_PTR) {
        ++pointers;
        type = type->lptdesc;
    }
    ParamType result;
    switch (type->vt) {
    case VT_I4: case VT_INT: result.kind = Kind::Int32; break;
    case VT_I2: result.kind = Kind::Int16; break;
    case VT_BOOL: result.kind = Kind::Bool; break;
    case VT_R4: result.kind = Kind::Float; break;
    case VT_R8: result.kind = Kind::Double; break;
    case VT_BSTR: result.kind = Kind::String; break;
    case VT_VARIANT: result.kind = Kind::Variant; break;
    case VT_DISPATCH: result.kind = Kind::Object; ++pointers; break;
    case VT_UNKNOWN: result.kind = Kind::Object; result.iid = IID_IUnknown; ++pointers; break;
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> referenced;
        if (FAILED(owner->GetRefTypeInfo(type->hreftype, &referenced))) return result;
        TypeAttr attr(referenced.Get());
        if (!attr) return result;
        switch (attr->typekind) {
        case TKIND_ENUM: result.kind = Kind::Int32; break;
        case TKIND_RECORD:
            if (attr->guid == kAdditionalArguStruGuid) result.kind = Kind::Record;
            break;
        case TKIND_INTERFACE: case TKIND_DISPATCH:
            result.kind = Kind::Object;
            result.iid = attr->guid;
            break;
        case TKIND_ALIAS: return Describe(referenced.Get(), attr->tdescAlias, pointers);
        default: break;
        }
        break;
    }
    default: break;
    }
    // Objects are pointers by nature; anything beyond is a reference.
    result.byRef = pointers >= (result.kind == Kind::Object ? 2 : 1);
    return result;
}

bool IsMissing(const VARIANT* arg) {
    return !arg || (arg->vt == VT_ERROR && arg->scode == DISP_E_PARAMNOTFOUND);
}

// A by-reference argument whose reference is null, directly or inside the
// VARIANTs it refers to: it carries no value of any type.
bool LacksReferent(const VARIANT* arg) {
    for (int depth = 0; arg && depth < 8; ++depth) {
        if (!(arg->vt & VT_BYREF)) return false;
        if (!arg->byref) return true;
        if (arg->vt != (VT_VARIANT | VT_BYREF)) return false;
        arg = arg->pvarVal;
    }
    return false;
}

void* DataOf(VARIANT* v) { return &v->lVal; }

// Converts `source` into `target` (cleared, then typed as `type`). Records
// take the record path; no other parameter takes one.
HRESULT Convert(VARIANT* target, const VARIANT* source, const ParamType& type) {
    if (HoldsRecord(*source)) return DISP_E_TYPEMISMATCH;
    Variant value;
    HRESULT hr = VariantCopyInd(&value, const_cast<VARIANT*>(source));
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    VariantClear(target);
    memset(target, 0, sizeof(*target));
    if (type.kind == Kind::Variant) return VariantCopy(target, &value);
    if (type.kind == Kind::Object) {
        VARTYPE objectType = type.iid == IID_IUnknown ? VT_UNKNOWN : VT_DISPATCH;
        target->vt = objectType;
        if (value->vt == VT_EMPTY || value->vt == VT_NULL) return S_OK;
        if ((value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN)) return DISP_E_TYPEMISMATCH;
        if (!value->punkVal) return S_OK;
        void* wanted = nullptr;
        if (FAILED(value->punkVal->QueryInterface(type.iid, &wanted))) return DISP_E_TYPEMISMATCH;
        target->punkVal = static_cast<IUnknown*>(wanted);
        return S_OK;
    }
    hr = VariantChangeType(target, &value, 0, VarTypeOf(type.kind));
    if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    return S_OK;
}

// The value an omitted optional parameter receives: its recorded default or
// its type's zero value.
HRESULT DefaultValue(VARIANT* target, const ELEMDESC& element, const ParamType& type) {
    const PARAMDESC& param = element.paramdesc;
    if ((param.wParamFlags & PARAMFLAG_FHASDEFAULT) && param.pparamdescex)
        return Convert(target, &param.pparamdescex->varDefaultValue, type);
    VariantClear(target);
    memset(target, 0, sizeof(*target));
    if (type.kind == Kind::Variant) {
        target->vt = VT_ERROR;
        target->scode = DISP_E_PARAMNOTFOUND;
        return S_OK;
    }
    if (type.kind == Kind::String) {
        target->vt = VT_BSTR;
        target->bstrVal = SysAllocString(L"");
        return target->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    target->vt = VarTypeOf(type.kind);
    return S_OK;
}

// One parameter of the call: the converted value the component owns, and
// what DispCallFunc passes.
struct Slot {
    ParamType type;
    Variant value;
    Variant before;             // the converted input, to tell whether it changed
    OwnedRecord record;
    void* pointer = nullptr;    // for a by-reference parameter
    VARIANT* writeBack = nullptr;
    ComPtr<IDispatch> recordObject;
    VARIANT callArg{};
};

// The slot an [out, retval] parameter writes to: the type's zero value,
// holding nothing, since the member stores its result over it unfreed.
void PrepareResult(Slot& slot) {
    slot.value.Clear();
    if (slot.type.kind == Kind::Record) {
        slot.pointer = &slot.record.Get();
        return;
    }
    if (slot.type.kind != Kind::Variant) slot.value->vt = VarTypeOf(slot.type.kind);
    slot.pointer = slot.type.kind == Kind::Variant ? static_cast<void*>(slot.value.Get()) : DataOf(slot.value.Get());
}

HRESULT PrepareRecord(Slot& slot, VARIANT* arg) {
    if (arg && arg->vt == (VT_VARIANT | VT_BYREF)) arg = arg->pvarVal;
    if (IsMissing(arg) || arg->vt == VT_EMPTY || arg->vt == VT_NULL) {
        slot.pointer = &slot.record.Get();
        return S_OK;
    }
    if ((arg->vt & ~VT_BYREF) == VT_RECORD) {
        GUID guid{};
        if (!arg->pRecInfo || FAILED(arg->pRecInfo->GetGuid(&guid)) || guid != kAdditionalArguStruGuid)
            return DISP_E_TYPEMISMATCH;
        slot.pointer = arg->pvRecord ? arg->pvRecord : &slot.record.Get();
        return S_OK;
    }
    if ((arg->vt & ~VT_BYREF) == VT_DISPATCH) {
        IDispatch* object = (arg->vt & VT_BYREF) ? *arg->ppdispVal : arg->pdispVal;
        if (!object || !ReadRecordFields(object, slot.record.Get())) return DISP_E_TYPEMISMATCH;
        slot.recordObject = object;
        slot.pointer = &slot.record.Get();
        return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT PrepareByRef(Slot& slot, VARIANT* arg, const ELEMDESC& element) {
    if (slot.type.kind == Kind::Record) return PrepareRecord(slot, arg);
    VARTYPE vt = VarTypeOf(slot.type.kind);
    if (slot.type.kind == Kind::Object && slot.type.iid == IID_IUnknown) vt = VT_UNKNOWN;
    bool exactObject = slot.type.kind != Kind::Object || slot.type.iid == IID_IDispatch ||
                       slot.type.iid == IID_IUnknown;
    if (IsMissing(arg) && (slot.type.kind != Kind::Variant || !arg)) {
        HRESULT hr = DefaultValue(&slot.value, element, slot.type);
        slot.pointer = slot.type.kind == Kind::Variant ? static_cast<void*>(slot.value.Get()) : DataOf(slot.value.Get());
        return hr;
    }
    if (exactObject && arg->vt == (vt | VT_BYREF)) {
        slot.pointer = arg->byref;
        return S_OK;
    }
    VARIANT* source = arg;
    if (arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal) {
        VARIANT* inner = arg->pvarVal;
        if (slot.type.kind == Kind::Variant) {
            slot.pointer = inner;
            return S_OK;
        }
        if (exactObject && inner->vt == vt) {
            slot.pointer = DataOf(inner);
            return S_OK;
        }
        if (exactObject && inner->vt == (vt | VT_BYREF)) {
            slot.pointer = inner->byref;
            return S_OK;
        }
        // A script variable of another type: convert in, and write the
        // result back into the variable after the call.
        source = inner;
        slot.writeBack = inner;
    }
    HRESULT hr = Convert(slot.value.Get(), source, slot.type);
    if (FAILED(hr)) return hr;
    if (slot.writeBack) VariantCopy(slot.before.Get(), slot.value.Get());
    slot.pointer = slot.type.kind == Kind::Variant ? static_cast<void*>(slot.value.Get()) : DataOf(slot.value.Get());
    return S_OK;
}

void FinishSlot(Slot& slot) {
    if (slot.recordObject) WriteRecordFields(slot.recordObject.Get(), slot.record.Get());
    if (!slot.writeBack) return;
    bool changed = VarCmp(slot.before.Get(), slot.value.Get(), LOCALE_USER_DEFAULT, 0) != VARCMP_EQ;
    if (slot.type.kind == Kind::Object) changed = slot.before->punkVal != slot.value->punkVal;
    if (!changed) return;
    VARTYPE original = slot.writeBack->vt;
    Variant converted;
    if (original == VT_EMPTY || original == VT_NULL ||
        FAILED(VariantChangeType(converted.Get(), slot.value.Get(), 0, original))) {
        VariantCopy(converted.Get(), slot.value.Get());
    }
    VariantClear(slot.writeBack);
    converted.MoveTo(slot.writeBack);
}

HRESULT StoreResult(Slot& slot, VARIANT* result) {
    if (!result) return S_OK;
    VariantInit(result);
    if (slot.type.kind == Kind::Record) {
        IRecordInfo* info = AdditionalArguRecordInfo();
        if (!info) return TYPE_E_CANTLOADLIBRARY;
        void* copy = nullptr;
        HRESULT hr = info->RecordCreateCopy(&slot.record.Get(), &copy);
        if (FAILED(hr)) return hr;
        info->AddRef();
        result->vt = VT_RECORD;
        result->pRecInfo = info;
        result->pvRecord = copy;
        return S_OK;
    }
    slot.value.MoveTo(result);
    if (result->vt == VT_UNKNOWN) {
        // Present interface results as dispatch objects: every interface the
        // component hands out is dual.
        IUnknown* unknown = result->punkVal;
        result->vt = VT_DISPATCH;
        result->pdispVal = nullptr;
        if (unknown) {
            unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&result->pdispVal));
            unknown->Release();
        }
    }
    return S_OK;
}

// An object, or JScript's null, which is how it empties an object reference.
bool IsObjectValue(const VARIANT* value) {
    if (!value) return false;
    VARTYPE vt = value->vt;
    if (vt == (VT_VARIANT | VT_BYREF) && value->pvarVal) vt = value->pvarVal->vt;
    vt &= ~VT_BYREF;
    return vt == VT_DISPATCH || vt == VT_UNKNOWN || vt == VT_NULL;
}

// Chooses the accessor or method that the requested kind of access names.
// A plain put of an object on a property that only has a reference setter
// is taken as that setter (JScript assigns objects that way).
HRESULT SelectFunction(ITypeInfo* info, DISPID member, WORD flags, const VARIANT* putValue, FuncDesc* chosen) {
    TypeAttr attr(info);
    if (!attr) return E_UNEXPECTED;
    std::vector<FuncDesc> candidates;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FuncDesc desc(info, i);
        if (desc.Get() && desc->memid == member) candidates.push_back(std::move(desc));
    }
    if (candidates.empty()) return DISP_E_MEMBERNOTFOUND;
    auto find = [&](INVOKEKIND kind) -> FuncDesc* {
        for (auto& c : candidates)
            if (c->invkind == kind) return &c;
        return nullptr;
    };
    FuncDesc* found = nullptr;
    bool objectValue = IsObjectValue(putValue);
    if ((flags & DISPATCH_PROPERTYPUTREF) && (objectValue || !(flags & DISPATCH_PROPERTYPUT)))
        found = find(INVOKE_PROPERTYPUTREF);
    if (!found && (flags & DISPATCH_PROPERTYPUT)) {
        found = find(INVOKE_PROPERTYPUT);
        if (!found && objectValue) found = find(INVOKE_PROPERTYPUTREF);
    }
    if (!found && (flags & DISPATCH_METHOD)) found = find(INVOKE_FUNC);
    if (!found && (flags & DISPATCH_PROPERTYGET)) found = find(INVOKE_PROPERTYGET);
    if (!found) return DISP_E_MEMBERNOTFOUND;
    *chosen = std::move(*found);
    return S_OK;
}

}  // namespace

HRESULT IdsOfNamesByTypeInfo(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    return info->GetIDsOfNames(names, count, ids);
}

namespace {

HRESULT Dispatch(ITypeInfo* info, IUnknown* vtableOwner, DISPID member, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    DISPPARAMS none{};
    if (!params) params = &none;  // taken as a call without arguments
    const UINT argCount = params->cArgs;
    UINT namedCount = params->cNamedArgs;
    if (namedCount > argCount || (argCount && !params->rgvarg) || (namedCount && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    bool wantsPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    VARIANT* putValue = nullptr;
    UINT firstNamed = 0;
    if (wantsPut) {
        if (argCount == 0) return DISP_E_BADPARAMCOUNT;
        putValue = &params->rgvarg[0];
        if (namedCount && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) firstNamed = 1;
        else if (namedCount) return DISP_E_PARAMNOTOPTIONAL;
    }

    FuncDesc chosen(nullptr, 0);
    HRESULT hr = SelectFunction(info, member, flags, putValue, &chosen);
    if (FAILED(hr)) return hr;
    const FUNCDESC* func = chosen.Get();
    bool isPut = func->invkind == INVOKE_PROPERTYPUT || func->invkind == INVOKE_PROPERTYPUTREF;
    if (!isPut) {
        putValue = nullptr;
        firstNamed = 0;
    }

    const UINT paramCount = func->cParams;
    bool hasRetval = paramCount && (func->lprgelemdescParam[paramCount - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    const UINT inputs = paramCount - (hasRetval ? 1 : 0);
    const UINT regularInputs = isPut ? inputs - 1 : inputs;
    const UINT positional = argCount - namedCount - (isPut && firstNamed == 0 ? 1 : 0);
    if (positional > regularInputs) return DISP_E_BADPARAMCOUNT;

    // Which caller argument each parameter receives (rgvarg is in reverse).
    std::vector<VARIANT*> argFor(paramCount, nullptr);
    std::vector<UINT> argIndex(paramCount, 0);
    for (UINT p = 0; p < positional; ++p) {
        argIndex[p] = argCount - 1 - p;
        argFor[p] = &params->rgvarg[argIndex[p]];
    }
    for (UINT k = firstNamed; k < namedCount; ++k) {
        DISPID id = params->rgdispidNamedArgs[k];
        if (id < 0 || UINT(id) >= regularInputs || argFor[id]) {
            if (argError) *argError = k;
            return DISP_E_PARAMNOTFOUND;
        }
        argFor[id] = &params->rgvarg[k];
        argIndex[id] = k;
    }
    if (isPut) argFor[inputs - 1] = putValue;

    std::vector<Slot> slots(paramCount);
    std::vector<VARTYPE> callTypes(paramCount);
    std::vector<VARIANTARG*> callArgs(paramCount);
    for (UINT p = 0; p < paramCount; ++p) {
        Slot& slot = slots[p];
        const ELEMDESC& element = func->lprgelemdescParam[p];
        slot.type = Describe(info, element.tdesc);
        if (slot.type.kind == Kind::Unsupported) return DISP_E_BADVARTYPE;
        if (hasRetval && p == paramCount - 1) {
            PrepareResult(slot);
            hr = S_OK;
        } else {
            VARIANT* arg = argFor[p];
            bool optional = element.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
            // A null reference never reaches a member: an optional parameter
            // takes it as omitted, any other refuses it.
            VARIANT omitted;
            omitted.vt = VT_ERROR;
            omitted.scode = DISP_E_PARAMNOTFOUND;
            if (LacksReferent(arg)) {
                if (!optional) {
                    if (argError) *argError = argIndex[p];
                    return DISP_E_TYPEMISMATCH;
                }
                arg = &omitted;
            }
            if (IsMissing(arg) && !optional && slot.type.kind != Kind::Record) {
                if (!arg && namedCount == firstNamed) return DISP_E_BADPARAMCOUNT;
                return DISP_E_PARAMNOTOPTIONAL;
            }
            if (!arg && slot.type.kind == Kind::Record && !optional) return DISP_E_BADPARAMCOUNT;
            if (slot.type.byRef) {
                hr = PrepareByRef(slot, arg, element);
            } else if (IsMissing(arg) && slot.type.kind != Kind::Variant) {
                hr = DefaultValue(&slot.value, element, slot.type);
            } else {
                hr = Convert(slot.value.Get(), arg, slot.type);
            }
            if (FAILED(hr)) {
                if (argError && arg) *argError = argIndex[p];
                return hr;
            }
        }
        if (FAILED(hr)) return hr;
        if (slot.type.byRef || (hasRetval && p == paramCount - 1)) {
            slot.callArg.vt = VT_BYREF | VT_I4;
            slot.callArg.byref = slot.pointer;
        } else {
            slot.callArg = *slot.value.Get();  // borrowed: the slot keeps ownership
        }
        callTypes[p] = slot.callArg.vt;
        callArgs[p] = &slot.callArg;
    }

    VARIANT returned;
    VariantInit(&returned);
    SetErrorInfo(0, nullptr);
    hr = DispCallFunc(vtableOwner, func->oVft, CC_STDCALL, VT_ERROR, paramCount, callTypes.data(),
                      callArgs.data(), &returned);
    if (FAILED(hr)) return hr;
    HRESULT memberResult = returned.scode;
    for (UINT p = 0; p < inputs; ++p) FinishSlot(slots[p]);
    if (FAILED(memberResult)) {
        FillExcepInfo(memberResult, exception);
        return DISP_E_EXCEPTION;
    }
    if (hasRetval) return StoreResult(slots[paramCount - 1], result);
    if (result) VariantInit(result);
    return S_OK;
}

}  // namespace

HRESULT InvokeByTypeInfo(ITypeInfo* info, IUnknown* vtableOwner, DISPID member, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    // The dispatcher's own work may run out of memory; the member reports
    // its failures itself.
    try {
        return Dispatch(info, vtableOwner, member, flags, params, result, exception, argError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace zx
