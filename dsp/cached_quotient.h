// A quotient of a control value that is read every sample but rarely changes.
// A double division costs more than the rest of a simple per-sample loop, so
// it is done again only when the value differs from the last one; the result
// is always exactly value / divisor.
#pragma once

#include <bit>
#include <cstdint>

namespace dsp {

class CachedQuotient {
public:
    explicit constexpr CachedQuotient(double by) : divisor(by) {}

    double of(float value) {
        // Compared as bits: one integer comparison, and -0 and every NaN are
        // told apart from the last value like any other.
        const auto bits = std::bit_cast<std::uint32_t>(value);
        if (bits != lastBits) [[unlikely]] {
            lastBits = bits;
            quotient = value / divisor;
        }
        return quotient;
    }

private:
    double divisor;
    std::uint32_t lastBits = 0;  // of 0.0f, whose quotient is 0
    double quotient = 0.0;
};

}  // namespace dsp
