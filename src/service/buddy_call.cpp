#include "service/buddy_call.h"

#include <dispex.h>

#include "apartment/additional_argu.h"
#include "com/member_by_name.h"

namespace zx {
namespace {

// How a compiled buddy takes its arguments.
enum class ArgumentForm { Typed, Variants, Undescribed };

// What the buddy's own description of the method says: VARIANTs when any
// parameter is one (by value or by reference), else typed references.
ArgumentForm DescribedForm(IDispatch* buddy, DISPID id) {
    UINT count = 0;
    ComPtr<ITypeInfo> info;
    if (FAILED(buddy->GetTypeInfoCount(&count)) || count == 0 ||
        FAILED(buddy->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info)
        return ArgumentForm::Undescribed;
    TypeAttr attr(info.Get());
    for (UINT i = 0; attr && i < attr->cFuncs; ++i) {
        FuncDesc func(info.Get(), i);
        if (!func.Get() || func->memid != id || func->invkind != INVOKE_FUNC) continue;
        for (SHORT p = 0; p < func->cParams; ++p) {
            const TYPEDESC* type = &func->lprgelemdescParam[p].tdesc;
            while (type->vt == VT_PTR && type->lptdesc) type = type->lptdesc;
            if ((type->vt & VT_TYPEMASK) == VT_VARIANT) return ArgumentForm::Variants;
        }
        return ArgumentForm::Typed;
    }
    return ArgumentForm::Undescribed;
}

// Typed references, as compiled clients expect them. `argError` receives the
// index of an argument the buddy refused, if it names one.
HRESULT CallTyped(IDispatch* buddy, DISPID id, LONG* hWnd, LONG* timerId, LONG* elapseTime,
                  AdditionalArguStru* record, VARIANT_BOOL* cancel, UINT* argError) {
    IRecordInfo* recordInfo = AdditionalArguRecordInfo();
    if (!recordInfo) return E_OUTOFMEMORY;  // nothing can describe the record
    VARIANT args[5];
    UINT count = cancel ? 5 : 4;
    VARIANT* next = args;
    if (cancel) {
        next->vt = VT_BOOL | VT_BYREF;
        next->pboolVal = cancel;
        ++next;
    }
    next->vt = VT_RECORD | VT_BYREF;
    next->pvRecord = record;
    next->pRecInfo = recordInfo;
    ++next;
    next->vt = VT_I4 | VT_BYREF;
    next->plVal = elapseTime;
    ++next;
    next->vt = VT_I4 | VT_BYREF;
    next->plVal = timerId;
    ++next;
    next->vt = VT_I4 | VT_BYREF;
    next->plVal = hWnd;
    DISPPARAMS params{args, nullptr, count, 0};
    Variant result;
    ExcepInfo exception;
    return buddy->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), exception.Get(),
                         argError);
}

bool SameText(BSTR a, BSTR b) {
    const UINT length = SysStringLen(a);
    return length == SysStringLen(b) && (length == 0 || memcmp(a, b, length * sizeof(OLECHAR)) == 0);
}

// Copies into `target` the fields that differ between what a handler was
// handed and what it left. Only its own changes land: the target may have
// changed meanwhile (in a tick it is the apartment's last armed record, which
// a timer the handler armed replaced).
void TakeChangedFields(const AdditionalArguStru& handed, const AdditionalArguStru& after,
                       AdditionalArguStru& target) {
    if (after.lLParam != handed.lLParam) target.lLParam = after.lLParam;
    if (after.lMParam != handed.lMParam) target.lMParam = after.lMParam;
    if (after.lHParam != handed.lHParam) target.lHParam = after.lHParam;
    if (!SameText(after.sComments, handed.sComments)) {
        BSTR copy = after.sComments ? SysAllocStringLen(after.sComments, SysStringLen(after.sComments)) : nullptr;
        SysFreeString(target.sComments);
        target.sComments = copy;
    }
}

// VARIANT references, the only by-reference arguments script engines take.
void CallWithVariants(IDispatch* buddy, IDispatchEx* script, DISPID id, LONG* hWnd, LONG* timerId, LONG* elapseTime,
                      AdditionalArguStru* record, VARIANT_BOOL* cancel) {
    const LONG passedHwnd = *hWnd, passedTimerId = *timerId;
    const OwnedRecord handed(*record);
    Variant values[5];
    values[0]->vt = VT_I4, values[0]->lVal = *hWnd;
    values[1]->vt = VT_I4, values[1]->lVal = *timerId;
    values[2]->vt = VT_I4, values[2]->lVal = *elapseTime;
    ComPtr<IDispatch> fields = MakeRecordObject(*record);
    values[3]->vt = VT_DISPATCH, values[3]->pdispVal = ComPtr<IDispatch>(fields).Detach();
    if (cancel) values[4]->vt = VT_BOOL, values[4]->boolVal = *cancel;
    UINT count = cancel ? 5 : 4;
    VARIANT args[5];
    for (UINT i = 0; i < count; ++i) {
        args[count - 1 - i].vt = VT_VARIANT | VT_BYREF;
        args[count - 1 - i].pvarVal = values[i].Get();
    }
    DISPPARAMS params{args, nullptr, count, 0};
    Variant result;
    ExcepInfo exception;
    if (script)
        script->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), exception.Get(), nullptr);
    else
        buddy->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), exception.Get(),
                      nullptr);

    // What the handler changed comes back, even if it failed afterwards. A
    // handle or identifier it left alone is not written: the caller's
    // variable may have moved meanwhile (hWnd is the apartment's current
    // handle, which the handler's own calls or ticks inside it move).
    auto readBack = [](Variant& value, LONG passed, LONG* target) {
        Variant converted;
        if (SUCCEEDED(VariantChangeType(converted.Get(), value.Get(), 0, VT_I4)) && converted->lVal != passed)
            *target = converted->lVal;
    };
    readBack(values[0], passedHwnd, hWnd);
    readBack(values[1], passedTimerId, timerId);
    if (values[3]->vt == VT_DISPATCH && values[3]->pdispVal) {
        OwnedRecord after(handed.Get());
        if (ReadRecordFields(values[3]->pdispVal, after.Get())) TakeChangedFields(handed.Get(), after.Get(), *record);
    }
    if (cancel) {
        Variant converted;
        if (SUCCEEDED(VariantChangeType(converted.Get(), values[4].Get(), 0, VT_BOOL))) *cancel = converted->boolVal;
    }
}

}  // namespace

void CallBuddy(IDispatch* buddy, const wchar_t* method, LONG* hWnd, LONG* timerId, LONG elapseTime,
               AdditionalArguStru* record, VARIANT_BOOL* cancel) noexcept {
    try {
        NamedMember member;
        if (FAILED(FindMember(buddy, method, &member))) return;
        const DISPID id = member.id;
        if (member.script) {
            CallWithVariants(buddy, member.script.Get(), id, hWnd, timerId, &elapseTime, record, cancel);
            return;
        }
        const ArgumentForm form = DescribedForm(buddy, id);
        if (form == ArgumentForm::Variants) {
            CallWithVariants(buddy, nullptr, id, hWnd, timerId, &elapseTime, record, cancel);
            return;
        }
        // Without a description, an object that takes only VARIANT references
        // shows itself by refusing a typed one before its method runs, naming
        // the argument. Any other failure may be the method's own, after it
        // ran: calling again would run it twice.
        constexpr UINT kNoArgument = ~0u;
        UINT refused = kNoArgument;
        HRESULT hr = CallTyped(buddy, id, hWnd, timerId, &elapseTime, record, cancel, &refused);
        const UINT count = cancel ? 5 : 4;
        if (form == ArgumentForm::Undescribed && hr == DISP_E_TYPEMISMATCH && refused < count)
            CallWithVariants(buddy, nullptr, id, hWnd, timerId, &elapseTime, record, cancel);
    } catch (...) {
    }
}

}  // namespace zx
