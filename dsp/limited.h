// Limiting a control value to its working range, NaN included: a NaN host value
// must not reach a coefficient or a filter state, where it would stay forever.
#pragma once

#include <cmath>

namespace dsp {

// `value` limited to low .. high; NaN gives `low`.
inline constexpr double limited(double value, double low, double high) {
    if (!(value >= low)) return low;
    return value > high ? high : value;
}

// A parameter value limited to its nominal range 0 .. 1; NaN gives 0. Written
// so that it compiles to one maximum and one minimum instruction.
inline constexpr float limitedToUnit(float value) {
    const float notNegative = value > 0.0f ? value : 0.0f;  // NaN fails the test
    return notNegative < 1.0f ? notNegative : 1.0f;
}

// A sample about to enter a ring that feeds back into itself: a NaN or an
// infinity there would circulate for good, so it is stored as silence.
inline float finiteOrSilence(float value) { return std::isfinite(value) ? value : 0.0f; }

}  // namespace dsp
