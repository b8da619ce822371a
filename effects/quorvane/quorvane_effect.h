// Quorvane: a spectral pitch shifter. One band of the input's spectrum is
// transposed by up to an octave either way while the rest stays as it is; a
// triangle LFO sweeps the band's centre. The output lies 2561 samples behind
// the input, although the plug-in reports no latency, as saved projects expect.
#pragma once

#include <cmath>
#include <memory>
#include <new>

#include "dsp/cached_quotient.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"
#include "effects/quorvane/pitch_shift_engine.h"
#include "shell/plugin_effect.h"

namespace quorvane {

enum Param { kPitchShift, kBandCentre, kBandWidth, kModulationFreq, kModulationDepth, kNumParams };

inline constexpr std::int32_t kUniqueId = 0x4B713031;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //             Shift  Centre Width  ModFrq Depth
    {"Drifter",  {0.00f, 0.06f, 0.23f, 0.03f, 0.97f}},
    {"Hightone", {1.00f, 0.99f, 0.54f, 0.00f, 0.00f}},
    {"Watery",   {0.00f, 0.39f, 0.10f, 1.00f, 0.99f}},
    {"Polar",    {1.00f, 0.06f, 0.10f, 1.00f, 0.10f}},
    {"Sweep",    {1.00f, 0.06f, 0.10f, 0.14f, 0.88f}},
}};

inline constexpr int kFftLength = 1024;
inline constexpr int kHop = 256;
inline constexpr int kStreamMode = PhaseVocoder::kUnboundedStream;
inline constexpr int kLatencySamples = 2561;
inline constexpr float kBinRange = 512.0f;                // band controls are fractions of the bins
inline constexpr float kSemitoneRange = 24.0f;            // Pitch Shift 0..1 is -12..+12 semitones
inline constexpr double kModulationStepDivisor = 2205.0;  // Modulation Freq 1: 10 Hz at 44.1 kHz
inline constexpr float kFallbackGain = 0.1f;              // heard when the engine could not be set up

class QuorvaneEffect : public shell::PluginEffect<QuorvaneEffect, kNumParams> {
public:
    explicit QuorvaneEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {
        // Without memory for the engine the effect still loads and plays the
        // fallback: the input, scaled down, on the first output.
        try {
            auto shifter = std::make_unique<PitchShiftEngine>();
            if (shifter->init(static_cast<int>(getSampleRate()), kFftLength, kHop, kStreamMode)) {
                engine = std::move(shifter);
            }
        } catch (const std::bad_alloc&) {
            engine.reset();
        }
    }

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        if (!engine) {
            // The second output carries nothing (silence when replacing).
            for (std::int32_t s = 0; s < frames; ++s) {
                Output::write(left[s], kFallbackGain * input[s]);
                Output::write(right[s], 0.0f);
            }
            return;
        }
        // Worked on as local copies: the compiler cannot tell that the output
        // buffers do not overlap this object and would reload them after every store.
        dsp::TriangleLfo lfo = bandLfo;
        PitchShiftEngine& shifter = *engine;
        dsp::CachedQuotient lfoStep(kModulationStepDivisor);
        for (std::int32_t s = 0; s < frames; ++s) {
            // The double quotient rounded to 32 bits is exactly the 32-bit one.
            const float phase = lfo.advance(static_cast<float>(lfoStep.of(param(kModulationFreq))));
            const float centre =
                dsp::limitedToUnit((phase - 0.5f) * param(kModulationDepth) + param(kBandCentre));
            const float centreBin = std::fabs(std::trunc(centre * kBinRange));
            const float widthBins = param(kBandWidth) * kBinRange;
            const float semitones = (param(kPitchShift) - 0.5f) * kSemitoneRange;
            const float y = shifter.processSample(input[s], semitones, centreBin, widthBins);
            Output::write(left[s], y);
            Output::write(right[s], y);
        }
        bandLfo = lfo;
    }

    bool hasEngine() const { return engine != nullptr; }
    PitchShiftEngine* getEngine() { return engine.get(); }
    const dsp::TriangleLfo& getLfo() const { return bandLfo; }

private:
    dsp::TriangleLfo bandLfo;
    std::unique_ptr<PitchShiftEngine> engine;
};

}  // namespace quorvane
