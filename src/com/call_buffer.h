#pragma once
// A call's per-parameter storage: on the stack for the usual few
// parameters, on the heap only for a function with more.
#include <cstddef>
#include <memory>
#include <new>

namespace zx {

template <class T, std::size_t Inline>
class CallBuffer {
public:
    // `count` value-initialised items (T's default constructor must not
    // throw); throws std::bad_alloc only for more than Inline items.
    explicit CallBuffer(std::size_t count) : count_(count) {
        if (count <= Inline) {
            items_ = reinterpret_cast<T*>(inline_);
            // (The second bound, implied by the first, keeps GCC from
            // warning of writes past the buffer.)
            for (std::size_t i = 0; i < count && i < Inline; ++i) new (&items_[i]) T();
        } else {
            heap_.reset(new T[count]());
            items_ = heap_.get();
        }
    }
    ~CallBuffer() {
        if (heap_) return;
        for (std::size_t i = count_ < Inline ? count_ : Inline; i > 0; --i) items_[i - 1].~T();
    }
    CallBuffer(const CallBuffer&) = delete;
    CallBuffer& operator=(const CallBuffer&) = delete;

    T& operator[](std::size_t i) { return items_[i]; }
    T* data() { return items_; }

private:
    alignas(T) unsigned char inline_[Inline * sizeof(T)];
    std::unique_ptr<T[]> heap_;
    T* items_ = nullptr;
    std::size_t count_;
};

}  // namespace zx
