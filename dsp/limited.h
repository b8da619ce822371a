// Limiting a control value to its working range, NaN included: a NaN host value
// must not reach a coefficient or a filter state, where it would stay forever.
#pragma once

namespace dsp {

// `value` limited to low .. high; NaN gives `low`.
inline constexpr double limited(double value, double low, double high) {
    if (!(value >= low)) return low;
    return value > high ? high : value;
}

}  // namespace dsp
