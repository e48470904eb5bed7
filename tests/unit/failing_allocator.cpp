// The unit test program's global operator new and delete, on malloc, with a
// per-thread switch that makes allocations fail.
#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {
thread_local int t_failing = 0;

void* Allocate(std::size_t size) noexcept {
    if (t_failing) return nullptr;
    return std::malloc(size ? size : 1);
}
}  // namespace

namespace zx::test {
FailingAllocations::FailingAllocations() { ++t_failing; }
FailingAllocations::~FailingAllocations() { --t_failing; }
}  // namespace zx::test

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
