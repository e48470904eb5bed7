#pragma once
// Calls a buddy object's notification method by name.
#include "apartment/additional_argu.h"

namespace zx {

// Arguments in the order of the events; `cancel` is null for the elapse
// notification. `elapseTime` is passed by reference to a private copy.
// Script objects (IDispatchEx) receive every argument as a VARIANT
// reference and the record as an object with the record's fields as
// properties, since script engines accept nothing else; other objects
// receive typed references and the record itself. Changes come back either
// way. Failures are ignored.
void CallBuddy(IDispatch* buddy, const wchar_t* method, LONG* hWnd, LONG* timerId, LONG elapseTime,
               AdditionalArguStru* record, VARIANT_BOOL* cancel) noexcept;

}  // namespace zx
