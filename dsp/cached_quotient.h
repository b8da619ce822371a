// A quotient of a control value that is read every sample but rarely changes.
// A double division costs more than the rest of a simple per-sample loop, so
// it is done again only when the value differs from the last one. The result
// is exactly value / divisor, but for -0, which gives the quotient of 0.
#pragma once

namespace dsp {

class CachedQuotient {
public:
    explicit constexpr CachedQuotient(double by) : divisor(by) {}

    double of(double value) {
        if (!(value == lastValue)) [[unlikely]] {  // also redone for NaN, which equals nothing
            lastValue = value;
            quotient = value / divisor;
        }
        return quotient;
    }

private:
    double divisor;
    double lastValue = 0.0;
    double quotient = 0.0;
};

}  // namespace dsp
