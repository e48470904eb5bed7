#pragma once
// Bytes in use on every heap of the process, counted by walking the heaps
// (Wine reports the process's PrivateUsage as 0, so the heaps are the
// measure of what a test or a soak run leaves behind).
#include <cstddef>

namespace zxheap {

// Sum of the busy blocks of every heap GetProcessHeaps lists. Other threads
// of the process must be idle for the figure to be stable.
size_t BytesInUse();

// Turns the automation string cache off, so that a freed BSTR leaves the
// heap at once instead of waiting in the cache for reuse.
void DisableStringCache();

}  // namespace zxheap
