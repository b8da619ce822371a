// Limiting a control value to its working range, NaN included: a NaN host value
// must not reach a coefficient or a filter state, where it would stay forever.
#pragma once

#include <cmath>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace dsp {

// `value` limited to low .. high; NaN gives `low`.
inline constexpr double limited(double value, double low, double high) {
    if (!(value >= low)) return low;
    return value > high ? high : value;
}

// A parameter value limited to its nominal range 0 .. 1; NaN gives 0. On SSE
// it is one maximum and one minimum instruction: compilers turn the portable
// comparisons into branches, which cost more in loops that use many limits.
inline float limitedToUnit(float value) {
#if defined(__SSE__) || defined(_M_X64)
    // maxss answers its second operand when either is NaN.
    const __m128 notNegative = _mm_max_ss(_mm_set1_ps(value), _mm_setzero_ps());
    return _mm_cvtss_f32(_mm_min_ss(notNegative, _mm_set1_ps(1.0f)));
#else
    const float notNegative = value > 0.0f ? value : 0.0f;  // NaN fails the test
    return notNegative < 1.0f ? notNegative : 1.0f;
#endif
}

// A sample about to enter a ring that feeds back into itself: a NaN or an
// infinity there would circulate for good, so it is stored as silence.
inline float finiteOrSilence(float value) { return std::isfinite(value) ? value : 0.0f; }

}  // namespace dsp
