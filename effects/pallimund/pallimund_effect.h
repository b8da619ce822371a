// Pallimund: a modulated delay for flanging, chorus and short echoes. Two taps
// of one delay ring, the right one half as far back as the left, are swept by
// one triangle LFO and mixed onto the dry signal; the left tap is fed back.
#pragma once

#include "dsp/cached_quotient.h"
#include "dsp/delay_ring.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"
#include "shell/plugin_effect.h"

namespace pallimund {

enum Param { kDelay, kFeedback, kFreq, kDepth, kMix, kNumParams };

inline constexpr std::int32_t kUniqueId = 0x4B713035;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //                     Delay  F-Back Freq   Depth  Mix
    {"Metallic Flanger", {0.07f, 0.74f, 0.05f, 0.93f, 0.75f}},
    {"Comic Flanger",    {0.05f, 0.93f, 0.73f, 0.93f, 0.62f}},
    {"Spring Chorus",    {0.34f, 0.65f, 0.14f, 0.84f, 0.65f}},
    {"Swoop Delay",      {0.44f, 0.95f, 0.16f, 0.99f, 0.30f}},
    {"Feeling Sick?",    {0.78f, 0.96f, 0.64f, 1.00f, 0.41f}},
}};

// A new effect starts with a sweep ready to be heard once Mix is raised.
inline constexpr float kInitialFreq = 0.5f;
inline constexpr float kInitialDepth = 0.8f;

inline constexpr double kLfoStepDivisor = 4410.0;   // Freq 1: a 5 Hz triangle at 44.1 kHz
inline constexpr float kMaxDelaySamples = 1764.0f;  // Delay 1: the left tap 40 ms back
inline constexpr float kDepthSamples = 44.1f;       // Depth 1 sweeps both taps by up to 1 ms

class PallimundEffect : public shell::PluginEffect<PallimundEffect, kNumParams> {
public:
    explicit PallimundEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {
        setInitialParam(kFreq, kInitialFreq);
        setInitialParam(kDepth, kInitialDepth);
    }

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        dsp::CachedQuotient lfoStep(kLfoStepDivisor);
        dsp::TriangleLfo lfo = sweep;  // a local: the output stores cannot alias it
        for (std::int32_t s = 0; s < frames; ++s) {
            // Single precision throughout. Every parameter is used within
            // 0 .. 1, so both taps stay well inside the ring.
            const float x = input[s];
            const float delay = dsp::limitedToUnit(param(kDelay));
            const float depth = dsp::limitedToUnit(param(kDepth));
            // The double quotient rounded to 32 bits is exactly the 32-bit one.
            const auto step = static_cast<float>(lfoStep.of(dsp::limitedToUnit(param(kFreq))));
            const float phase = lfo.advance(step);
            const float sweepOffset = (depth * kDepthSamples) * phase;

            const float writePosition = delayRing.getWritePosition();
            const float leftTap = tapAt(writePosition - delay * kMaxDelaySamples - sweepOffset);
            const float rightTap = tapAt(writePosition - (delay * 0.5f) * kMaxDelaySamples - sweepOffset);

            const float feedback = dsp::limitedToUnit(param(kFeedback));
            delayRing.current() = dsp::finiteOrSilence(x + leftTap * feedback);
            delayRing.advance();

            const float mix = dsp::limitedToUnit(param(kMix));
            Output::write(left[s], x + leftTap * mix);
            Output::write(right[s], x + rightTap * mix);
        }
        sweep = lfo;
    }

private:
    // The ring entry at a read position up to one ring length behind 0,
    // wrapped once. A position a hair below 0 rounds to exactly 44100 there,
    // an entry of the storage past the ring that is never written and reads 0.
    float tapAt(float position) const { return delayRing.readAt(Ring::wrappedOnce(position)); }

    using Ring = dsp::DelayRing<44100, 44105>;

    dsp::TriangleLfo sweep;
    Ring delayRing;
};

}  // namespace pallimund
