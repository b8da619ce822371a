// Hollistra: a rhythmic gate. In every period each channel's gain first falls
// for a share of the period and then rises again; a triangle LFO lengthens the
// left period while it shortens the right one, so the two gates drift apart.
#pragma once

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

inline constexpr double kLfoStepDivisor = 4410.0;     // Freq 1: a 5 Hz triangle at 44.1 kHz
inline constexpr double kCycleSamples = 11025.0;      // Cycle 1: a quarter second
inline constexpr double kSwingSamples = 5512.0;       // Depth 1 swings the periods by up to +-2756
inline constexpr double kEdgeDivisor = 10.0;          // Edge 1 swings the gain fully in 10 samples

// A gate whose gain falls from the start of each period until its cut point
// and rises after it, by a step per sample, kept within 0 .. 1.
class Gate {
public:
    // One sample of a period of `period` samples cut at `cutPoint`; answers
    // the new gain. The counter is compared strictly: reaching the period or
    // the cut point does not trigger yet.
    float advance(float period, float cutPoint, double step) {
        ++counter;
        if (static_cast<double>(counter) > period) {
            counter = 0;
            opening = false;
        }
        if (static_cast<double>(counter) > cutPoint) opening = true;
        gain = dsp::limitedToUnit(static_cast<float>(gain + (opening ? step : -step)));  // NaN closes it
        return gain;
    }

private:
    std::int32_t counter = 0;  // samples since the period began
    float gain = 0.0f;
    bool opening = false;  // the counter has passed the cut point
};

class HollistraEffect : public shell::PluginEffect<HollistraEffect, kNumParams> {
public:
    explicit HollistraEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {}

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        // Worked on as a local copy: the compiler cannot tell that the output
        // buffers do not overlap this object and would reload it after every store.
        Gates gates = gateState;
        for (std::int32_t s = 0; s < frames; ++s) {
            const double phase = gates.lfo.advance(param(kFreq) / kLfoStepDivisor);
            // Cycle and Depth within 0 .. 1 keep every period, and so the
            // counters, below 14000 samples.
            const auto swing =
                static_cast<float>((phase - 0.5) * (dsp::limitedToUnit(param(kDepth)) * kSwingSamples));
            const double basePeriod = dsp::limitedToUnit(param(kCycle)) * kCycleSamples;
            const auto leftPeriod = static_cast<float>(basePeriod + swing);
            const auto rightPeriod = static_cast<float>(basePeriod - swing);
            const double cut = param(kCut);
            const double step = param(kEdge) / kEdgeDivisor;

            const float leftGain = gates.left.advance(leftPeriod, static_cast<float>(leftPeriod * cut), step);
            const float rightGain = gates.right.advance(rightPeriod, static_cast<float>(rightPeriod * cut), step);
            Output::write(left[s], input[s] * leftGain);
            Output::write(right[s], input[s] * rightGain);
        }
        gateState = gates;
    }

private:
    struct Gates {
        dsp::TriangleLfo lfo;
        Gate left;
        Gate right;
    };

    Gates gateState;
};

}  // namespace hollistra
