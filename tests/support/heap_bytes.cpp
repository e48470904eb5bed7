#include "heap_bytes.h"

#include <windows.h>
#include <oleauto.h>

// Exported by oleaut32 but declared in no mingw-w64 header. It takes no
// arguments, so the calling convention does not matter; the import libraries
// name it undecorated.
extern "C" void SetOaNoCache(void);

namespace zxheap {

size_t BytesInUse() {
    // A fixed array: the count itself must not allocate on the heaps it walks.
    HANDLE heaps[256];
    DWORD count = GetProcessHeaps(256, heaps);
    if (count > 256) count = 256;
    size_t total = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

void DisableStringCache() { SetOaNoCache(); }

}  // namespace zxheap
