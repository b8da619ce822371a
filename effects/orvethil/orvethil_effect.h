// Orvethil: a rational waveshaper, a short feedback delay whose output replaces
// the signal, and two two-pole resonators, one per channel, whose centres a
// triangle LFO sweeps in opposite directions.
#pragma once

#include <cmath>

#include "dsp/delay_ring.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"
#include "effects/orvethil/polynomial_cosine.h"
#include "shell/plugin_effect.h"

namespace orvethil {

enum Param { kDelayTime, kFeedback, kDistDepth, kFilterFreq, kFilterRes, kSpinSpeed, kSpinDepth, kNumParams };

inline constexpr std::int32_t kUniqueId = 0x4B713034;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //                       Time   F-Back Dist   Freq   Res    Speed  Depth
    {"Robots",             {0.75f, 0.71f, 0.20f, 0.81f, 0.41f, 0.94f, 0.07f}},
    {"Flange Filter",      {0.06f, 0.71f, 0.07f, 0.39f, 0.52f, 1.00f, 0.12f}},
    {"Dist Radio",         {0.00f, 0.00f, 0.66f, 0.52f, 0.72f, 0.93f, 0.05f}},
    {"Gate Punch",         {0.90f, 0.35f, 0.18f, 0.40f, 0.55f, 0.93f, 0.18f}},
    {"Industrial Cleaner", {1.00f, 0.86f, 0.23f, 0.47f, 0.90f, 0.03f, 0.20f}},
}};

inline constexpr double kSpinStepDivisor = 2205.0;  // Spin Speed 1: a 10 Hz triangle at 44.1 kHz
inline constexpr double kMaxDelaySamples = 1764.0;  // Time 1: 40 ms
inline constexpr double kShaperGain = 20.0;         // slope of the curve at 0 for Dist Depth 1
// Far beyond any musical amount the curve is a hard clip already; the limit
// keeps an infinite depth from making the curve NaN.
inline constexpr double kMaxDistDepth = 1.0e6;
inline constexpr float kMaxRadius = 0.9f;  // a 32-bit limit, so Res 0.9 is exactly the limit
inline constexpr double kTwoPi = 6.28318530718;

// x (|x| + k) / (|x| (k - 1) + x^2 + 1), limited to -1 .. 1: slope k at 0,
// and +-1 at x = +-1. `depth` is above 0.
inline float shape(float input, double depth) {
    const double x = input;
    const double k = kShaperGain * (depth < kMaxDistDepth ? depth : kMaxDistDepth);
    const double n = std::fabs(x);
    return static_cast<float>(dsp::limited(x * (n + k) / (n * (k - 1.0) + x * x + 1.0), -1.0, 1.0));
}

// Two-pole resonator with its gain normalised to 1 at its centre frequency.
class Resonator {
public:
    // `centre` is a fraction of the sample rate, `radius` the pole radius in
    // 0 .. 0.9, where 0 passes the input unchanged.
    float process(float x, double centre, double radius) {
        const double t = static_cast<float>(polynomialCosine(kTwoPi * dsp::limited(centre, 0.0, 1.0)));
        const double c1 = 2.0 * radius * t;
        const double c2 = -radius * radius;
        const double gain = (1.0 - radius) * std::sqrt(radius * (radius - 4.0 * t * t + 2.0) + 1.0);
        const auto y = static_cast<float>(gain * x + c1 * y1 + c2 * y2);
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    float y1 = 0.0f;
    float y2 = 0.0f;
};

class OrvethilEffect : public shell::PluginEffect<OrvethilEffect, kNumParams> {
public:
    explicit OrvethilEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {}

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        // Worked on as a local copy: the compiler cannot tell that the output
        // buffers do not overlap this object and would reload it after every store.
        Sweep sweep = sweepState;

        for (std::int32_t s = 0; s < frames; ++s) {
            const double phase = sweep.spin.advance(param(kSpinSpeed) / kSpinStepDivisor);
            // Negative or NaN resonance switches the resonators off.
            const double radius = dsp::limited(param(kFilterRes), 0.0, kMaxRadius);

            float x = input[s];
            const double depth = param(kDistDepth);
            if (depth > 0.0) x = shape(x, depth);

            // The write comes before the read: at Time 0 the read returns the
            // sample just written, and the slot then also takes the feedback.
            const float readPosition = delayRing.tapPosition(kMaxDelaySamples * param(kDelayTime));
            float& slot = delayRing.current();
            slot = x;
            x = delayRing.readAt(readPosition);
            slot = static_cast<float>(slot + x * dsp::limited(param(kFeedback), 0.0, 1.0));
            delayRing.advance();

            // While the phase rises the left centre falls and the right one rises.
            const double centre = param(kFilterFreq) / 2.0;
            const double spinDepth = param(kSpinDepth);
            Output::write(left[s], sweep.left.process(x, centre - spinDepth * phase, radius));
            Output::write(right[s], sweep.right.process(x, centre - spinDepth * (1.0 - phase), radius));
        }
        sweepState = sweep;
    }

private:
    // The two resonators and the LFO that sweeps them.
    struct Sweep {
        dsp::TriangleLfo spin;
        Resonator left;
        Resonator right;
    };

    Sweep sweepState;
    dsp::DelayRing<44100> delayRing;
};

}  // namespace orvethil
