// Ambrelic: a four-pole resonant ladder low-pass swept by an envelope follower
// and a triangle LFO, followed by a feedback delay whose right tap lies half
// as far back as the left one. Only the left channel is fed back.
#pragma once

#include <cmath>

#include "dsp/delay_ring.h"
#include "dsp/ladder_lowpass.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"
#include "shell/plugin_effect.h"

namespace ambrelic {

enum Param {
    kFilterFreq,
    kFilterRes,
    kAttack,
    kRelease,
    kEnvelopeMix,
    kLfoFreq,
    kLfoDepth,
    kDelayTime,
    kFeedback,
    kNumParams
};

inline constexpr std::int32_t kUniqueId = 0x4B713033;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //                Freq   Res    Attack Release Mix    LfoFrq Depth  Time   F-Back
    {"Metal Drops", {0.25f, 0.91f, 0.00f, 0.00f, 0.00f, 0.02f, 0.69f, 0.09f, 0.80f}},
    {"Catcher",     {0.08f, 0.97f, 0.05f, 0.22f, 1.00f, 0.00f, 0.00f, 0.03f, 0.31f}},
    {"Squelchy",    {0.44f, 0.97f, 0.14f, 0.22f, 1.00f, 0.95f, 0.97f, 0.03f, 0.58f}},
    {"Tellimor",    {0.85f, 0.88f, 0.14f, 0.22f, 0.99f, 0.29f, 0.94f, 0.05f, 0.91f}},
    {"Space Dub",   {0.09f, 0.72f, 0.14f, 0.22f, 0.00f, 0.02f, 0.65f, 0.43f, 0.82f}},
}};

inline constexpr double kLfoStepDivisor = 441.0;       // LFO Freq 1: a 50 Hz triangle at 44.1 kHz
inline constexpr double kEnvelopeTimeScale = 44100.0;  // Attack and Release in seconds at 44.1 kHz
inline constexpr double kEnvelopeLimit = 1.0;
inline constexpr double kDelayLeftSamples = 22050.0;   // left tap at Time 1 (half a second)
inline constexpr double kDelayRightSamples = 11025.0;  // the right tap lies half as far back

// Follows the input's magnitude, rising and falling with separate smoothing
// coefficients, and stays within -1 .. 1.
class EnvelopeFollower {
public:
    float follow(double magnitude, double rise, double fall) {
        // Picked by index rather than by a branch: on noise the direction
        // changes at random and a branch would mispredict half the time.
        const double smoothing[] = {fall, rise};
        const double k = smoothing[level < magnitude];
        level = static_cast<float>(k * level + (1.0 - k) * magnitude);
        level = static_cast<float>(dsp::limited(level, -kEnvelopeLimit, kEnvelopeLimit));
        return level;
    }

private:
    float level = 0.0f;
};

// Smoothing coefficient exp(-1 / (44100 * seconds)), rounded to a 32-bit float.
// A time of 0 gives exactly 0: the envelope jumps to its input. A negative or
// NaN time would give a coefficient above 1 or NaN, under which the envelope
// would leave the weighted mean of its inputs; it behaves as 0.
inline float envelopeCoefficient(float seconds) {
    if (!(seconds > 0.0f)) return 0.0f;
    return static_cast<float>(std::exp(-1.0 / (kEnvelopeTimeScale * seconds)));
}

class AmbrelicEffect : public shell::PluginEffect<AmbrelicEffect, kNumParams> {
public:
    explicit AmbrelicEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {}

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        // Attack and Release are read once a block; a change is heard from the next one.
        const double attack = envelopeCoefficient(param(kAttack));
        const double release = envelopeCoefficient(param(kRelease));
        // Worked on as a local copy: the compiler cannot tell that the output
        // buffers do not overlap this object and would reload it after every store.
        Sweep sweep = sweepState;

        for (std::int32_t s = 0; s < frames; ++s) {
            const double time = param(kDelayTime);

            const double phase = sweep.lfo.advance(param(kLfoFreq) / kLfoStepDivisor);
            const double lfoOffset = (phase - 0.5) * param(kLfoDepth);
            const double envelope = sweep.envelope.follow(std::fabs(input[s]), attack, release);

            // A rising LFO phase lowers the cutoff, a louder input raises it.
            const auto cutoff = static_cast<float>(param(kFilterFreq) - lfoOffset + envelope * param(kEnvelopeMix));
            // Negative resonance would be positive feedback, unstable below -0.25.
            const double resonance = dsp::limited(param(kFilterRes), 0.0, 1.0);
            const float scaledInput = sweep.filter.process(input[s], cutoff, resonance);

            float l = sweep.filter.output();
            float r = sweep.filter.output();
            if (time > 0.0) {
                l += delayRing.tap(kDelayLeftSamples * time);
                r += delayRing.tap(kDelayRightSamples * time);
            }
            // Only the left channel, tap included, is fed back.
            const double feedback = dsp::limited(param(kFeedback), 0.0, 1.0);
            delayRing.current() = static_cast<float>(scaledInput + l * feedback);
            delayRing.advance();

            Output::write(left[s], l);
            Output::write(right[s], r);
        }
        sweepState = sweep;
    }

private:
    // The swept filter and what sweeps it.
    struct Sweep {
        dsp::TriangleLfo lfo;
        EnvelopeFollower envelope;
        dsp::LadderLowPass filter;
    };

    Sweep sweepState;
    dsp::DelayRing<44100> delayRing;
};

}  // namespace ambrelic
