// Tellimor: a truncating crusher, a four-pole resonant ladder low-pass, a
// triangle-wave ring modulator and a short comb tap per channel.
#pragma once

#include <cmath>

#include "dsp/delay_ring.h"
#include "dsp/ladder_lowpass.h"
#include "dsp/triangle_lfo.h"
#include "shell/plugin_effect.h"

namespace tellimor {

enum Param { kCrush, kFreq, kRes, kRing, kComb, kNumParams };

inline constexpr std::int32_t kUniqueId = 0x4B713032;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //              Crush  Freq   Res    Ring   Comb
    {"Blitter",   {0.18f, 1.00f, 0.00f, 0.00f, 0.00f}},
    {"Squashed",  {1.00f, 0.61f, 0.58f, 0.00f, 1.00f}},
    {"Zipper",    {0.26f, 1.00f, 0.58f, 0.09f, 1.00f}},
    {"Breakdown", {0.26f, 0.93f, 0.79f, 1.00f, 0.79f}},
    {"Spin",      {1.00f, 0.81f, 0.59f, 0.04f, 0.24f}},
}};

inline constexpr double kRingStepDivisor = 441.0;   // Ring 1: a 50 Hz triangle at 44.1 kHz
inline constexpr double kCrushGain = 15.0;          // trunc(15 * Crush * x) tenths
inline constexpr double kCombLeftSamples = 44.1;    // left tap at Comb 1 (1 ms)
inline constexpr double kCombRightSamples = 22.05;  // the right tap lies half as far back

class TellimorEffect : public shell::PluginEffect<TellimorEffect, kNumParams> {
public:
    explicit TellimorEffect(audioMasterCallback host)
        : PluginEffect(host, kUniqueId, kPresets) {}

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        // Worked on as local copies: the compiler cannot tell that the output
        // buffers do not overlap this object and would reload them after every store.
        dsp::TriangleLfo lfo = ringLfo;
        dsp::LadderLowPass ladder = filter;
        for (std::int32_t s = 0; s < frames; ++s) {
            const double comb = param(kComb);

            const float modulator = 2.0f * (lfo.advance(param(kRing) / kRingStepDivisor) - 0.5f);
            const double crushed = std::trunc(param(kCrush) * kCrushGain * input[s]) / 10.0;
            const float scaledInput =
                ladder.process(static_cast<float>(crushed), param(kFreq), param(kRes));
            const float y = ladder.output() * modulator;

            float l = y;
            float r = y;
            if (comb > 0.0) {
                l += combRing.tap(kCombLeftSamples * comb);
                r += combRing.tap(kCombRightSamples * comb);
            }
            combRing.current() = scaledInput;
            combRing.advance();

            Output::write(left[s], l);
            Output::write(right[s], r);
        }
        ringLfo = lfo;
        filter = ladder;
    }

private:
    dsp::TriangleLfo ringLfo;
    dsp::LadderLowPass filter;
    dsp::DelayRing<44100> combRing;
};

}  // namespace tellimor
