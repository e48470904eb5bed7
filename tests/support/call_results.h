#pragma once
// What a late-bound caller gets back, released as a client must release it.
#include <windows.h>
#include <oaidl.h>

namespace zxcall {

// Releases a result. A record the callee made (RecordCreateCopy) goes back
// through its description: Wine's VariantClear frees no record memory.
inline void ClearResult(VARIANT& result) {
    if (result.vt == VT_RECORD && result.pRecInfo) {
        result.pRecInfo->RecordDestroy(result.pvRecord);
        result.pRecInfo->Release();
        result.vt = VT_EMPTY;
        return;
    }
    VariantClear(&result);
}

// The exception information a callee may fill, freed with it.
struct OwnedExcepInfo {
    EXCEPINFO value{};
    OwnedExcepInfo() = default;
    OwnedExcepInfo(const OwnedExcepInfo&) = delete;
    OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
    ~OwnedExcepInfo() {
        SysFreeString(value.bstrSource);
        SysFreeString(value.bstrDescription);
        SysFreeString(value.bstrHelpFile);
    }
};

}  // namespace zxcall
