#pragma once
// The half of a dispatched call that depends only on the type description:
// which function the member and the kind of access name, and how each of
// its parameters is passed. Nothing here looks at the caller's arguments
// except to tell a plain put of an object (see ChooseFunction), so a plan
// can be kept and used for every later call of the same function.
#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "com/owned.h"

namespace zx {

// The types a member's parameters may have.
enum class Kind { Int32, Int16, Bool, Float, Double, String, Variant, Object, Record, Unsupported };

struct ParamType {
    Kind kind = Kind::Unsupported;
    bool byRef = false;
    IID iid = IID_IDispatch;        // the interface an Object parameter wants, a Record parameter's type
    IRecordInfo* record = nullptr;  // a Record parameter's description (lives as long as the process)
};

// The variant type a value of `kind` travels as (VT_EMPTY for Unsupported).
VARTYPE VarTypeOf(Kind kind);

struct ParamPlan {
    ParamType type;
    const ELEMDESC* element = nullptr;  // in the plan's function description
    bool optional = false;              // optional, or with a default value
};

struct CallPlan {
    FuncDesc func{nullptr, 0};
    std::vector<ParamPlan> params;  // every parameter, the [out, retval] one last
    bool isPut = false;             // a property put or put-by-reference
    bool hasRetval = false;
    UINT inputs = 0;         // the parameters callers pass: all but the retval
    UINT regularInputs = 0;  // of those, all but a put's value
    // Every parameter travels as one machine word (a reference, an integer,
    // a truth value, a string or an interface pointer), so the function can
    // be called with CallWithWords rather than DispCallFunc.
    bool wordArguments = false;
};

// Which of a member's functions, given by their kinds, a call with `flags`
// names: its position in `kinds`, or -1. A plain put of an object
// (`putValue`) on a property that has only a reference setter is taken as
// that setter (JScript assigns objects that way).
int ChooseFunction(const INVOKEKIND* kinds, UINT count, WORD flags, const VARIANT* putValue);

// The function of `info` that a call of `member` with `flags` names: its
// index in `index`, or DISP_E_MEMBERNOTFOUND; chosen as ChooseFunction
// does, from every function description of `info`.
HRESULT SelectFunction(ITypeInfo* info, DISPID member, WORD flags, const VARIANT* putValue, UINT* index);

// The plan for function `index` of `info`. A parameter of a type the
// dispatcher cannot pass is planned as Kind::Unsupported; the call refuses
// it with DISP_E_BADVARTYPE when it comes to that parameter.
HRESULT BuildCallPlan(ITypeInfo* info, UINT index, CallPlan& plan);

}  // namespace zx
