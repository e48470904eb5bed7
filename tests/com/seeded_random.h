#pragma once
// A small seeded generator shared by the fuzz and stress tests.
#include <cstddef>
#include <cstdint>

namespace zxfuzz {

// A small deterministic generator (splitmix64): the same seed gives the same
// calls on every platform and build.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return bound ? static_cast<uint32_t>(Next() % bound) : 0; }
    bool Percent(uint32_t chance) { return Below(100) < chance; }
    template <class T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    uint64_t state_;
};

}  // namespace zxfuzz
