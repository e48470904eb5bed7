#include "com/call_plan.h"

#include "com/type_library.h"
#include "com/vtable_call.h"

namespace zx {
namespace {

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
            // Records the module's own library describes.
            result.record = RecordInfoOf(attr->guid);
            if (result.record) {
                result.kind = Kind::Record;
                result.iid = attr->guid;
            }
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

// An object, or JScript's null, which is how it empties an object reference.
bool IsObjectValue(const VARIANT* value) {
    if (!value) return false;
    VARTYPE vt = value->vt;
    if (vt == (VT_VARIANT | VT_BYREF) && value->pvarVal) vt = value->pvarVal->vt;
    vt &= ~VT_BYREF;
    return vt == VT_DISPATCH || vt == VT_UNKNOWN || vt == VT_NULL;
}

}  // namespace

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

int ChooseFunction(const INVOKEKIND* kinds, UINT count, WORD flags, const VARIANT* putValue) {
    auto find = [&](INVOKEKIND kind) {
        for (UINT i = 0; i < count; ++i)
            if (kinds[i] == kind) return static_cast<int>(i);
        return -1;
    };
    int found = -1;
    const bool objectValue = IsObjectValue(putValue);
    if ((flags & DISPATCH_PROPERTYPUTREF) && (objectValue || !(flags & DISPATCH_PROPERTYPUT)))
        found = find(INVOKE_PROPERTYPUTREF);
    if (found < 0 && (flags & DISPATCH_PROPERTYPUT)) {
        found = find(INVOKE_PROPERTYPUT);
        if (found < 0 && objectValue) found = find(INVOKE_PROPERTYPUTREF);
    }
    if (found < 0 && (flags & DISPATCH_METHOD)) found = find(INVOKE_FUNC);
    if (found < 0 && (flags & DISPATCH_PROPERTYGET)) found = find(INVOKE_PROPERTYGET);
    return found;
}

HRESULT SelectFunction(ITypeInfo* info, DISPID member, WORD flags, const VARIANT* putValue, UINT* index) {
    TypeAttr attr(info);
    if (!attr) return E_UNEXPECTED;
    std::vector<UINT> indices;
    std::vector<INVOKEKIND> kinds;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FuncDesc desc(info, i);
        if (desc.Get() && desc->memid == member) {
            indices.push_back(i);
            kinds.push_back(desc->invkind);
        }
    }
    const int chosen = ChooseFunction(kinds.data(), static_cast<UINT>(kinds.size()), flags, putValue);
    if (chosen < 0) return DISP_E_MEMBERNOTFOUND;
    *index = indices[chosen];
    return S_OK;
}

HRESULT BuildCallPlan(ITypeInfo* info, UINT index, CallPlan& plan) {
    plan = CallPlan{};
    plan.func = FuncDesc(info, index);
    const FUNCDESC* func = plan.func.Get();
    if (!func) return E_UNEXPECTED;
    const UINT count = func->cParams;
    plan.isPut = func->invkind == INVOKE_PROPERTYPUT || func->invkind == INVOKE_PROPERTYPUTREF;
    plan.hasRetval = count && (func->lprgelemdescParam[count - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    plan.inputs = count - (plan.hasRetval ? 1 : 0);
    plan.regularInputs = plan.isPut ? plan.inputs - 1 : plan.inputs;
    plan.params.resize(count);
    for (UINT p = 0; p < count; ++p) {
        ParamPlan& param = plan.params[p];
        param.element = &func->lprgelemdescParam[p];
        param.type = Describe(info, param.element->tdesc);
        param.optional = param.element->paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
    }
    plan.wordArguments = count <= kMaxWordArguments;
    for (const ParamPlan& param : plan.params) {
        const Kind kind = param.type.kind;
        const bool word = kind == Kind::Int32 || kind == Kind::Int16 || kind == Kind::Bool ||
                          kind == Kind::String || kind == Kind::Object;
        if (!param.type.byRef && !word) plan.wordArguments = false;
    }
    return S_OK;
}

}  // namespace zx
