#include "com/vtable_call.h"

namespace zx {
namespace {

template <class... Words>
HRESULT CallEntry(void* entry, IUnknown* object, Words... words) {
    using Entry = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Words...);
    return reinterpret_cast<Entry>(entry)(object, words...);
}

}  // namespace

HRESULT CallWithWords(IUnknown* object, ULONG_PTR offset, UINT count, const ULONG_PTR* w) {
    void* const* table = *reinterpret_cast<void* const* const*>(object);
    void* entry = table[offset / sizeof(void*)];
    switch (count) {
    case 0: return CallEntry(entry, object);
    case 1: return CallEntry(entry, object, w[0]);
    case 2: return CallEntry(entry, object, w[0], w[1]);
    case 3: return CallEntry(entry, object, w[0], w[1], w[2]);
    case 4: return CallEntry(entry, object, w[0], w[1], w[2], w[3]);
    case 5: return CallEntry(entry, object, w[0], w[1], w[2], w[3], w[4]);
    case 6: return CallEntry(entry, object, w[0], w[1], w[2], w[3], w[4], w[5]);
    case 7: return CallEntry(entry, object, w[0], w[1], w[2], w[3], w[4], w[5], w[6]);
    case 8: return CallEntry(entry, object, w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
    default: return DISP_E_BADPARAMCOUNT;
    }
}

}  // namespace zx
