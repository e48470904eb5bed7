#pragma once
// Calls a function-table entry directly when every argument is one machine
// word, as DispCallFunc would with CC_STDCALL but without its per-call
// argument buffer and copying.
#include <windows.h>
#include <oaidl.h>

namespace zx {

constexpr UINT kMaxWordArguments = 8;

// Calls entry `offset` (in bytes) of `object`'s function table with `count`
// word arguments (at most kMaxWordArguments) and returns its HRESULT. Only
// for functions whose parameters are all integers of up to a word, truth
// values and pointers: a value in a word is read by the callee in its own
// width, on either architecture's calling convention.
HRESULT CallWithWords(IUnknown* object, ULONG_PTR offset, UINT count, const ULONG_PTR* words);

}  // namespace zx
