#pragma once
// Call plans built once per interface and member and kept until the module
// unloads, so that a late-bound call neither fetches function descriptions
// nor plans its parameters again.
#include <windows.h>
#include <oaidl.h>

#include "com/call_plan.h"

namespace zx {

// The plan of the function of `info` that a call of `member` with `flags`
// names (chosen as ChooseFunction does): DISP_E_MEMBERNOTFOUND when there is
// none. The first call on an interface plans all its functions; `info` is
// held until DiscardCallPlans. The plan is immutable and lives until then.
// May throw std::bad_alloc.
HRESULT FindCallPlan(ITypeInfo* info, DISPID member, WORD flags, const VARIANT* putValue, const CallPlan** plan);

// Frees every plan, releasing their function descriptions and then the
// type descriptions they came from. Only while no call is under way: when
// the module unloads, or in a test.
void DiscardCallPlans() noexcept;

}  // namespace zx
