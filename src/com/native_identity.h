#pragma once
// Tells the module's own objects of a class from other objects behind the
// same interface (a client may hand in its own collection where the
// registry keeps one). COM fixes an interface pointer's first word as its
// function table, and only objects of class T have T's table, so the test
// reads no more of a foreign object than any call through it would.
#include <atomic>

namespace zx {

template <class T, class Interface>
class NativeIdentity {
public:
    // Called from T's constructor body, where the table is T's own.
    static void Remember(Interface* self) noexcept { table_.store(TableOf(self), std::memory_order_relaxed); }

    // The object as a T, or nullptr when it is not one of this module's.
    static T* Of(Interface* object) noexcept {
        if (!object) return nullptr;
        const void* table = table_.load(std::memory_order_relaxed);
        return table && TableOf(object) == table ? static_cast<T*>(object) : nullptr;
    }

private:
    static const void* TableOf(Interface* object) noexcept { return *reinterpret_cast<const void* const*>(object); }
    static inline std::atomic<const void*> table_{nullptr};
};

}  // namespace zx
