#pragma once
// Bytes in use on every heap of the process, counted by walking the heaps
// (Wine reports the process's PrivateUsage as 0, so the heaps are the
// measure of what a test or a soak run leaves behind).
#include <cstddef>
#include <cstdlib>

namespace zxheap {

// Sum of the busy blocks of every heap GetProcessHeaps lists.
size_t BytesInUse();

// Turns the automation string cache off, so that a freed BSTR leaves the
// heap at once instead of waiting in the cache for reuse.
void DisableStringCache();

// What `count` runs of `operation` leave on the heap: the least change over
// three batches. A leak of the operation shows in every batch; another
// thread of the process (a test framework's thread watcher, the system's
// data for a thread that starts or ends) allocates or frees only now and
// then, and not in every batch.
template <class Operation>
long long HeapChangeOver(int count, Operation&& operation) {
    long long least = 0;
    for (int batch = 0; batch < 3; ++batch) {
        const size_t before = BytesInUse();
        for (int i = 0; i < count; ++i) operation();
        const long long change = static_cast<long long>(BytesInUse()) - static_cast<long long>(before);
        if (batch == 0 || std::llabs(change) < std::llabs(least)) least = change;
        if (least == 0) break;
    }
    return least;
}

}  // namespace zxheap
