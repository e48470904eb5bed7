#pragma once
// Makes the program's C++ allocations fail on demand, for code that must
// keep working (or fail cleanly) when memory runs out.
namespace zx::test {

// While it exists, every operator new on this thread throws std::bad_alloc
// (the nothrow forms return null).
class FailingAllocations {
public:
    FailingAllocations();
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

}  // namespace zx::test
