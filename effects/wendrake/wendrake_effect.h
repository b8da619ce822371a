// Wendrake: a varispeed loop. The input is written into a short loop that two
// read heads replay at five times forwards to five times backwards; a triangle
// LFO bends the left head's speed and spreads the right head away from it.
// Part of the left head's playback is fed back; there is no dry signal.
#pragma once

#include <array>
#include <cmath>

#include "dsp/cached_quotient.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"
#include "shell/plugin_effect.h"

namespace wendrake {

enum Param { kDir, kFeedback, kFreq, kDepth, kSize, kNumParams };

inline constexpr std::int32_t kUniqueId = 0x4B713036;

inline constexpr shell::PresetTable<kNumParams> kPresets{{
    //                 Dir    F-Back Freq   Depth  Size
    {"Laser Gun",    {0.08f, 0.52f, 0.00f, 0.00f, 0.07f}},
    {"Dizzy",        {0.31f, 0.00f, 0.59f, 0.06f, 0.56f}},
    {"Rewind",       {0.52f, 0.00f, 0.05f, 0.58f, 0.56f}},
    {"DJ Scratch",   {0.52f, 0.00f, 0.89f, 0.58f, 0.83f}},
    {"Noise Shower", {0.94f, 0.86f, 0.10f, 0.58f, 0.27f}},
}};

inline constexpr double kLfoStepDivisor = 4410.0;   // Freq 1: a 5 Hz triangle at 44.1 kHz
inline constexpr double kMaxHeadSpeed = 5.0;       // positions a sample, forwards at Dir 0
inline constexpr double kDirScale = 10.0;          // so Dir 0.5 stands still and Dir 1 runs 5 backwards
inline constexpr double kDepthSamples = 10.0;      // Depth 1 bends the heads by up to 10 positions
inline constexpr double kSizeSamples = 22050.0;    // Size 1: half a second
inline constexpr double kSmallestSize = 0.01;      // at and below it the loop is the shortest
inline constexpr double kShortestLoop = 220.5;
// Size 2 makes the loop as long as the storage allows. Up to there, with Dir
// and Depth in 0 .. 1, a head moves at most 15 positions a sample, far less
// than the shortest loop, so one wrap brings every position back into it.
inline constexpr double kLargestSize = 2.0;

// Loop length for a Size value; NaN gives the shortest loop.
inline double loopLength(double size) {
    if (!(size > kSmallestSize)) return kShortestLoop;
    return (size < kLargestSize ? size : kLargestSize) * kSizeSamples;
}

// A position moved past either end of a loop of `length`, brought back once.
inline double wrappedOnce(double position, double length) {
    if (position < 0.0) return position + length;
    if (position > length) return position - length;
    return position;
}

// The loop's storage. Positions are addressed by their magnitude truncated to
// a whole index, so a position a hair below 0 reads entry 0.
class Loop {
public:
    static constexpr int kStorage = 44105;  // holds position 44100 of a loop of Size 2

    template <class Position>
    float& at(Position position) {
        return samples[static_cast<int>(std::fabs(position))];
    }

private:
    std::array<float, kStorage> samples{};
};

// The heads and the LFO that bends the read heads. The write head moves one
// position a sample and goes back to 0 when it passes the loop's length; the
// right read head is placed anew every sample.
struct Heads {
    dsp::TriangleLfo lfo;
    float readPosition = 0.0f;   // of the left head
    float writePosition = 0.0f;  // a whole number
};

class WendrakeEffect : public shell::PluginEffect<WendrakeEffect, kNumParams> {
public:
    explicit WendrakeEffect(audioMasterCallback host) : PluginEffect(host, kUniqueId, kPresets) {}

    template <class Output>
    void render(const float* input, float* left, float* right, std::int32_t frames) {
        dsp::CachedQuotient lfoStep(kLfoStepDivisor);
        Heads heads = headState;  // a local: the output stores cannot alias it
        for (std::int32_t s = 0; s < frames; ++s) {
            const double length = loopLength(param(kSize));
            const double phase = heads.lfo.advance(lfoStep.of(param(kFreq)));
            const double bend = (dsp::limitedToUnit(param(kDepth)) * kDepthSamples) * phase;
            const double headSpeed = kMaxHeadSpeed - dsp::limitedToUnit(param(kDir)) * kDirScale;

            // The left head keeps its bend; the right one sits as far the other
            // way. Within the step the positions stay in double precision; both
            // heads are placed at 32 bits, so with no bend they read alike.
            const double unbent = heads.readPosition + headSpeed;
            heads.readPosition = static_cast<float>(wrappedOnce(unbent - bend, length));
            const float l = loop.at(heads.readPosition);

            loop.at(heads.writePosition) = dsp::finiteOrSilence(input[s] + l * dsp::limitedToUnit(param(kFeedback)));
            // Read after the write: a right head on the write position hears it.
            const float r = loop.at(static_cast<float>(wrappedOnce(unbent + bend, length)));
            heads.writePosition += 1.0f;
            if (heads.writePosition > length) heads.writePosition = 0.0f;

            Output::write(left[s], l);
            Output::write(right[s], r);
        }
        headState = heads;
    }

private:
    Heads headState;
    Loop loop;
};

}  // namespace wendrake
