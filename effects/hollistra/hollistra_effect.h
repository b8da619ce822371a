// Hollistra: a rhythmic gate. In every period each channel's gain first falls
// for a share of the period and then rises again; a triangle LFO lengthens the
// left period while it shortens the right one, so the two gates drift apart.
#pragma once

#include <emmintrin.h>  // SSE2, which every x86-64 processor has

#include "dsp/cached_quotient.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"
#include "shell/plugin_effect.h"

namespace hollistra {

enum Param { kCycle, kCut, kEdge, kFreq, kDepth, kNumParams };

inline constexpr std::int32_t kUniqueId = 0x4B713037;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //             Cycle  Cut    Edge   Freq   Depth
    {"Squeaky",  {0.11f, 0.61f, 1.00f, 0.07f, 0.87f}},
    {"Faze",     {0.47f, 0.77f, 0.03f, 0.84f, 0.08f}},
    {"Vibro",    {0.07f, 0.16f, 1.00f, 0.05f, 0.10f}},
    {"Oscilate", {0.07f, 0.94f, 0.38f, 0.46f, 0.31f}},
    {"Bubbler",  {0.52f, 0.95f, 0.71f, 0.90f, 0.14f}},
}};

inline constexpr double kLfoStepDivisor = 4410.0;  // Freq 1: a 5 Hz triangle at 44.1 kHz
inline constexpr double kCycleSamples = 11025.0;   // Cycle 1: a quarter second
inline constexpr double kSwingSamples = 5512.0;    // Depth 1 swings the periods by up to +-2756
inline constexpr double kEdgeDivisor = 10.0;       // Edge 1 swings the gain fully in 10 samples

// The left and right gates, side by side in the lanes of SSE registers (lane
// 0 left, lane 1 right): both are then advanced by the same few instructions,
// without a branch. Each gain falls from the start of its period until its
// cut point and rises after it, by a step per sample, kept within 0 .. 1.
class GatePair {
public:
    // One sample of periods of `periods` samples whose share `cut` falls;
    // answers the new gains. The counters are compared strictly: reaching the
    // period or the cut point does not trigger yet.
    __m128 advance(__m128 periods, float cut, double step) {
        counters = _mm_add_ps(counters, _mm_set1_ps(1.0f));
        const __m128 restart = _mm_cmpgt_ps(counters, periods);
        counters = _mm_andnot_ps(restart, counters);
        // The 32-bit product is the double product rounded to 32 bits.
        const __m128 passed = _mm_cmpgt_ps(counters, _mm_mul_ps(periods, _mm_set1_ps(cut)));
        opening = _mm_or_ps(_mm_andnot_ps(restart, opening), passed);
        // The gains move by the step in double precision, falling where the
        // sign bit is set.
        const __m128d falling = _mm_andnot_pd(_mm_castps_pd(_mm_unpacklo_ps(opening, opening)), _mm_set1_pd(-0.0));
        const __m128d moved = _mm_add_pd(_mm_cvtps_pd(gains), _mm_xor_pd(_mm_set1_pd(step), falling));
        // maxps answers its second operand for NaN: a NaN step closes the gate.
        gains = _mm_min_ps(_mm_max_ps(_mm_cvtpd_ps(moved), _mm_setzero_ps()), _mm_set1_ps(1.0f));
        return gains;
    }

private:
    // Samples since each period began. Kept as floats, which hold these whole
    // numbers (below 14000) exactly and compare with the 32-bit periods and
    // cut points as they are.
    __m128 counters = _mm_setzero_ps();
    __m128 gains = _mm_setzero_ps();
    __m128 opening = _mm_setzero_ps();  // all bits set where the counter has passed the cut point
};

// Both gates and the LFO that detunes their periods.
struct Gates {
    dsp::TriangleLfo lfo;
    GatePair pair;
};

class HollistraEffect : public shell::PluginEffect<HollistraEffect, kNumParams> {
public:
    explicit HollistraEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {}

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        dsp::CachedQuotient lfoStep(kLfoStepDivisor);
        dsp::CachedQuotient gainStep(kEdgeDivisor);
        Gates gates = gateState;  // a local: the output stores cannot alias it
        for (std::int32_t s = 0; s < frames; ++s) {
            const double phase = gates.lfo.advance(lfoStep.of(param(kFreq)));
            // Cycle and Depth within 0 .. 1 keep every period, and so the
            // counters, below 14000 samples.
            const double swing = (phase - 0.5) * (dsp::limitedToUnit(param(kDepth)) * kSwingSamples);
            const double basePeriod = dsp::limitedToUnit(param(kCycle)) * kCycleSamples;
            // The left period is lengthened by the swing, the right one
            // shortened; both are rounded to 32 bits.
            const __m128 periods = _mm_cvtpd_ps(_mm_add_pd(_mm_set1_pd(basePeriod), _mm_set_pd(-swing, swing)));
            const __m128 gains = gates.pair.advance(periods, param(kCut), gainStep.of(param(kEdge)));
            const __m128 out = _mm_mul_ps(_mm_set1_ps(input[s]), gains);
            Output::write(left[s], _mm_cvtss_f32(out));
            Output::write(right[s], _mm_cvtss_f32(_mm_shuffle_ps(out, out, 1)));
        }
        gateState = gates;
    }

private:
    Gates gateState;
};

}  // namespace hollistra
