#include "com/dispatch.h"

#include <new>

#include "com/call_buffer.h"
#include "com/call_plan.h"
#include "com/errors.h"
#include "com/owned.h"
#include "com/plan_cache.h"
#include "com/record_object.h"
#include "com/type_library.h"
#include "com/vtable_call.h"

namespace zx {
namespace {

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

// Empties a VARIANT that may hold a value, leaving it all zero (VT_EMPTY).
void Reset(VARIANT* v) {
    if (v->vt != VT_EMPTY) VariantClear(v);
    memset(v, 0, sizeof(*v));
}

// A number or truth value of the parameter's own type, itself or in a
// script variable, is taken as it is: converting it would copy it unchanged.
bool TakeAsItIs(VARIANT* target, const VARIANT* source, Kind kind) {
    if (kind != Kind::Int32 && kind != Kind::Int16 && kind != Kind::Bool && kind != Kind::Float &&
        kind != Kind::Double)
        return false;
    if (source->vt == (VT_VARIANT | VT_BYREF) && source->pvarVal) source = source->pvarVal;
    const VARTYPE vt = VarTypeOf(kind);
    if (source->vt != vt) return false;
    Reset(target);
    target->vt = vt;
    target->llVal = source->llVal;  // the whole value field, whatever its width
    return true;
}

// Converts `source` into `target` (cleared, then typed as `type`). Records
// take the record path; no other parameter takes one.
HRESULT Convert(VARIANT* target, const VARIANT* source, const ParamType& type) {
    if (TakeAsItIs(target, source, type.kind)) return S_OK;
    if (HoldsRecord(*source)) return DISP_E_TYPEMISMATCH;
    Variant value;
    HRESULT hr = VariantCopyInd(&value, const_cast<VARIANT*>(source));
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    Reset(target);
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
    Reset(target);
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
// what DispCallFunc passes. Made for every call, so it costs nothing until
// a parameter needs one of its parts.
struct Slot {
    const ParamType* type = nullptr;  // in the plan
    Variant value;
    Variant before;                   // the converted input, to tell whether it changed
    RecordData record;                // the component's own record, for one not passed as a record
    void* pointer = nullptr;          // for a by-reference parameter
    VARIANT* writeBack = nullptr;
    ComPtr<IDispatch> recordObject;
    VARIANT callArg{};
};

// A record of the component's own for the member to fill or read.
HRESULT OwnRecord(Slot& slot) {
    slot.pointer = slot.record.Create(slot.type->record);
    return slot.pointer ? S_OK : E_OUTOFMEMORY;
}

HRESULT PrepareRecord(Slot& slot, VARIANT* arg) {
    if (arg && arg->vt == (VT_VARIANT | VT_BYREF)) arg = arg->pvarVal;
    if (IsMissing(arg) || arg->vt == VT_EMPTY || arg->vt == VT_NULL) return OwnRecord(slot);
    if ((arg->vt & ~VT_BYREF) == VT_RECORD) {
        GUID guid{};
        if (!arg->pRecInfo || FAILED(arg->pRecInfo->GetGuid(&guid)) || guid != slot.type->iid)
            return DISP_E_TYPEMISMATCH;
        if (!arg->pvRecord) return OwnRecord(slot);
        slot.pointer = arg->pvRecord;
        return S_OK;
    }
    if ((arg->vt & ~VT_BYREF) == VT_DISPATCH) {
        IDispatch* object = (arg->vt & VT_BYREF) ? *arg->ppdispVal : arg->pdispVal;
        if (!object) return DISP_E_TYPEMISMATCH;
        HRESULT hr = OwnRecord(slot);
        if (FAILED(hr)) return hr;
        if (!ReadRecordFields(object, slot.type->record, slot.pointer)) return DISP_E_TYPEMISMATCH;
        slot.recordObject = object;
        return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT PrepareByRef(Slot& slot, VARIANT* arg, const ELEMDESC& element) {
    if (slot.type->kind == Kind::Record) return PrepareRecord(slot, arg);
    VARTYPE vt = VarTypeOf(slot.type->kind);
    if (slot.type->kind == Kind::Object && slot.type->iid == IID_IUnknown) vt = VT_UNKNOWN;
    bool exactObject = slot.type->kind != Kind::Object || slot.type->iid == IID_IDispatch ||
                       slot.type->iid == IID_IUnknown;
    if (IsMissing(arg) && (slot.type->kind != Kind::Variant || !arg)) {
        HRESULT hr = DefaultValue(&slot.value, element, *slot.type);
        slot.pointer =
            slot.type->kind == Kind::Variant ? static_cast<void*>(slot.value.Get()) : DataOf(slot.value.Get());
        return hr;
    }
    if (exactObject && arg->vt == (vt | VT_BYREF)) {
        slot.pointer = arg->byref;
        return S_OK;
    }
    VARIANT* source = arg;
    if (arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal) {
        VARIANT* inner = arg->pvarVal;
        if (slot.type->kind == Kind::Variant) {
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
    HRESULT hr = Convert(slot.value.Get(), source, *slot.type);
    if (FAILED(hr)) return hr;
    if (slot.writeBack) VariantCopy(slot.before.Get(), slot.value.Get());
    slot.pointer =
        slot.type->kind == Kind::Variant ? static_cast<void*>(slot.value.Get()) : DataOf(slot.value.Get());
    return S_OK;
}

void FinishSlot(Slot& slot) {
    if (slot.recordObject) WriteRecordFields(slot.recordObject.Get(), slot.type->record, slot.record.Get());
    if (!slot.writeBack) return;
    bool changed = VarCmp(slot.before.Get(), slot.value.Get(), LOCALE_USER_DEFAULT, 0) != VARCMP_EQ;
    if (slot.type->kind == Kind::Object) changed = slot.before->punkVal != slot.value->punkVal;
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
    if (slot.type->kind == Kind::Record) {
        IRecordInfo* info = slot.type->record;
        void* copy = nullptr;
        HRESULT hr = info->RecordCreateCopy(slot.record.Get(), &copy);
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

// The caller's arguments as the call reads them.
struct Arguments {
    DISPPARAMS* params = nullptr;
    VARIANT* putValue = nullptr;  // a put's value: the first of rgvarg
    UINT firstNamed = 0;          // 1 when that value is named DISPID_PROPERTYPUT
};

HRESULT ReadArguments(DISPPARAMS* params, WORD flags, Arguments& args) {
    const UINT argCount = params->cArgs, namedCount = params->cNamedArgs;
    if (namedCount > argCount || (argCount && !params->rgvarg) || (namedCount && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    args.params = params;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (argCount == 0) return DISP_E_BADPARAMCOUNT;
        args.putValue = &params->rgvarg[0];
        if (namedCount && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) args.firstNamed = 1;
        else if (namedCount) return DISP_E_PARAMNOTOPTIONAL;
    }
    return S_OK;
}

// Which caller argument each parameter receives (null for none), and its
// position in rgvarg (which holds the arguments in reverse). A call that
// selected no put passes every argument as a regular one.
struct MappedArgument {
    VARIANT* arg = nullptr;
    UINT index = 0;
};

// Parameters whose per-call storage lives on the stack.
constexpr size_t kInlineParams = 8;
using ArgumentMap = CallBuffer<MappedArgument, kInlineParams>;

HRESULT MapArguments(const CallPlan& plan, Arguments& args, ArgumentMap& map, UINT* argError) {
    if (!plan.isPut) {
        args.putValue = nullptr;
        args.firstNamed = 0;
    }
    const DISPPARAMS& params = *args.params;
    const UINT argCount = params.cArgs, namedCount = params.cNamedArgs;
    const UINT positional = argCount - namedCount - (plan.isPut && args.firstNamed == 0 ? 1 : 0);
    if (positional > plan.regularInputs) return DISP_E_BADPARAMCOUNT;
    for (UINT p = 0; p < positional; ++p) {
        map[p].index = argCount - 1 - p;
        map[p].arg = &params.rgvarg[map[p].index];
    }
    for (UINT k = args.firstNamed; k < namedCount; ++k) {
        DISPID id = params.rgdispidNamedArgs[k];
        if (id < 0 || UINT(id) >= plan.regularInputs || map[id].arg) {
            if (argError) *argError = k;
            return DISP_E_PARAMNOTFOUND;
        }
        map[id].arg = &params.rgvarg[k];
        map[id].index = k;
    }
    if (plan.isPut) map[plan.inputs - 1].arg = args.putValue;
    return S_OK;
}

// The slot of an [out, retval] parameter: the type's zero value, holding
// nothing, since the member stores its result over it unfreed.
HRESULT PrepareResult(Slot& slot) {
    Reset(slot.value.Get());
    if (slot.type->kind == Kind::Record) return OwnRecord(slot);
    if (slot.type->kind == Kind::Variant) {
        slot.pointer = slot.value.Get();
        return S_OK;
    }
    slot.value->vt = VarTypeOf(slot.type->kind);
    slot.pointer = DataOf(slot.value.Get());
    return S_OK;
}

// The slot of a parameter the caller passes, from its argument `arg` (null
// when the caller passed none).
HRESULT PrepareInput(Slot& slot, const ParamPlan& param, VARIANT* arg, UINT argIndex, const Arguments& args,
                     UINT* argError) {
    // A null reference never reaches a member: an optional parameter takes
    // it as omitted, any other refuses it.
    VARIANT omitted;
    omitted.vt = VT_ERROR;
    omitted.scode = DISP_E_PARAMNOTFOUND;
    if (LacksReferent(arg)) {
        if (!param.optional) {
            if (argError) *argError = argIndex;
            return DISP_E_TYPEMISMATCH;
        }
        arg = &omitted;
    }
    if (IsMissing(arg) && !param.optional && slot.type->kind != Kind::Record) {
        if (!arg && args.params->cNamedArgs == args.firstNamed) return DISP_E_BADPARAMCOUNT;
        return DISP_E_PARAMNOTOPTIONAL;
    }
    if (!arg && slot.type->kind == Kind::Record && !param.optional) return DISP_E_BADPARAMCOUNT;
    HRESULT hr;
    if (slot.type->byRef) {
        hr = PrepareByRef(slot, arg, *param.element);
    } else if (IsMissing(arg) && slot.type->kind != Kind::Variant) {
        hr = DefaultValue(&slot.value, *param.element, *slot.type);
    } else {
        hr = Convert(slot.value.Get(), arg, *slot.type);
    }
    if (FAILED(hr) && argError && arg) *argError = argIndex;
    return hr;
}

// The machine word a reference, integer, truth value, string or interface
// argument travels as: the start of its value field (the callee reads its
// own width of it).
ULONG_PTR WordOf(const VARIANT& arg) {
    ULONG_PTR word;
    memcpy(&word, &arg.llVal, sizeof(word));
    return word;
}

// Converts the arguments, calls the member through its vtable entry, hands
// back what it changed and its result.
HRESULT ExecuteCallPlan(const CallPlan& plan, IUnknown* vtableOwner, Arguments& args, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) {
    const UINT paramCount = static_cast<UINT>(plan.params.size());
    ArgumentMap map(paramCount);
    HRESULT hr = MapArguments(plan, args, map, argError);
    if (FAILED(hr)) return hr;

    CallBuffer<Slot, kInlineParams> slots(paramCount);
    CallBuffer<VARTYPE, kInlineParams> callTypes(paramCount);
    CallBuffer<VARIANTARG*, kInlineParams> callArgs(paramCount);
    for (UINT p = 0; p < paramCount; ++p) {
        const ParamPlan& param = plan.params[p];
        Slot& slot = slots[p];
        slot.type = &param.type;
        if (slot.type->kind == Kind::Unsupported) return DISP_E_BADVARTYPE;
        const bool isRetval = plan.hasRetval && p == paramCount - 1;
        hr = isRetval ? PrepareResult(slot) : PrepareInput(slot, param, map[p].arg, map[p].index, args, argError);
        if (FAILED(hr)) return hr;
        if (slot.type->byRef || isRetval) {
            slot.callArg.vt = VT_BYREF | VT_I4;
            slot.callArg.byref = slot.pointer;
        } else {
            slot.callArg = *slot.value.Get();  // borrowed: the slot keeps ownership
        }
        callTypes[p] = slot.callArg.vt;
        callArgs[p] = &slot.callArg;
    }

    HRESULT memberResult = S_OK;
    SetErrorInfo(0, nullptr);
    if (plan.wordArguments) {
        ULONG_PTR words[kMaxWordArguments];
        for (UINT p = 0; p < paramCount; ++p) words[p] = WordOf(slots[p].callArg);
        memberResult = CallWithWords(vtableOwner, plan.func->oVft, paramCount, words);
    } else {
        VARIANT returned;
        VariantInit(&returned);
        hr = DispCallFunc(vtableOwner, plan.func->oVft, CC_STDCALL, VT_ERROR, paramCount, callTypes.data(),
                          callArgs.data(), &returned);
        if (FAILED(hr)) return hr;
        memberResult = returned.scode;
    }
    for (UINT p = 0; p < plan.inputs; ++p) FinishSlot(slots[p]);
    if (FAILED(memberResult)) {
        FillExcepInfo(memberResult, exception);
        return DISP_E_EXCEPTION;
    }
    if (plan.hasRetval) return StoreResult(slots[paramCount - 1], result);
    if (result) VariantInit(result);
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
    Arguments args;
    HRESULT hr = ReadArguments(params ? params : &none, flags, args);  // no DISPPARAMS: a call without arguments
    if (FAILED(hr)) return hr;
    const CallPlan* plan = nullptr;
    hr = FindCallPlan(info, member, flags, args.putValue, &plan);
    if (FAILED(hr)) return hr;
    return ExecuteCallPlan(*plan, vtableOwner, args, result, exception, argError);
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
