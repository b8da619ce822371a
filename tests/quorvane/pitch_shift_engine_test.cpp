#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "effects/quorvane/pitch_shift_engine.h"

namespace {

using quorvane::PitchShiftEngine;

TEST(PitchShiftEngine, InitRules) {
    const struct {
        int rate, fftLength, hop;
        bool accepted;
    } cases[] = {{44100, 1024, 256, true}, {44100, 1024, 512, true}, {44100, 1024, 513, false},
                 {44100, 1024, 0, false},  {0, 1024, 256, false},    {44100, 0, 256, false}};
    for (const auto& c : cases) {
        PitchShiftEngine engine;
        EXPECT_EQ(engine.init(c.rate, c.fftLength, c.hop, 2), c.accepted) << c.rate << " " << c.hop;
        EXPECT_EQ(engine.isSetUp(), c.accepted);
    }
    PitchShiftEngine twice;
    ASSERT_TRUE(twice.init(44100, 1024, 256, 2));
    EXPECT_FALSE(twice.init(44100, 1024, 256, 2));
    PitchShiftEngine never;
    EXPECT_EQ(never.processSample(1.0f, 0.0f, 100.0f, 10.0f), 0.0f);
}

// Feeds an impulse in call `impulseCall` (1-based) and answers every output.
std::vector<float> impulseResponse(int impulseCall, int calls, float semitones = 0.0f) {
    PitchShiftEngine engine;
    EXPECT_TRUE(engine.init(44100, 1024, 256, 2));
    std::vector<float> out;
    for (int call = 1; call <= calls; ++call) {
        out.push_back(engine.processSample(call == impulseCall ? 1.0f : 0.0f, semitones, 256.0f, 512.0f));
    }
    return out;
}

std::size_t loudest(const std::vector<float>& signal) {
    std::size_t best = 0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        if (std::fabs(signal[i]) > std::fabs(signal[best])) best = i;
    }
    return best;
}

TEST(PitchShiftEngine, LatencyIs2561SamplesAnd2560InTheFirstBlock) {
    const struct {
        int inCall, outCall;
    } cases[] = {{1001, 3562}, {256, 2817}, {100, 2660}, {255, 2815}, {1, 2561}};
    for (const auto& c : cases) {
        const auto out = impulseResponse(c.inCall, c.outCall + 600);
        EXPECT_EQ(loudest(out) + 1, static_cast<std::size_t>(c.outCall)) << c.inCall;
        EXPECT_NEAR(out[static_cast<std::size_t>(c.outCall - 1)], 1.0f, 0.001f) << c.inCall;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i + 1 != static_cast<std::size_t>(c.outCall)) {
                ASSERT_LT(std::fabs(out[i]), 0.001f) << c.inCall << " " << i;
            }
        }
    }
    const auto out = impulseResponse(3000, 3000);
    for (std::size_t i = 0; i < 2560; ++i) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST(PitchShiftEngine, SemitonesBelowTheThresholdAreNoShift) {
    EXPECT_EQ(impulseResponse(1001, 4000, 0.00005f), impulseResponse(1001, 4000, 0.0f));
    EXPECT_EQ(impulseResponse(1001, 4000, -0.00009f), impulseResponse(1001, 4000, 0.0f));
    EXPECT_NE(impulseResponse(1001, 4000, 0.001f), impulseResponse(1001, 4000, 0.0f));
}

TEST(PitchShiftEngine, SemitonesToRatio) {
    EXPECT_EQ(static_cast<float>(PitchShiftEngine::semitonesToRatio(12.0f)), 2.0f);
    EXPECT_EQ(static_cast<float>(PitchShiftEngine::semitonesToRatio(-12.0f)), 0.5f);
    EXPECT_EQ(PitchShiftEngine::semitonesToRatio(0.0f), 1.0);
    EXPECT_DOUBLE_EQ(PitchShiftEngine::semitonesToRatio(1.0f), std::pow(2.0, 0.08333333333));
}

struct Spectrum {
    std::vector<float> amplitudes, frequencies;
    explicit Spectrum(int bins = 513) : amplitudes(static_cast<std::size_t>(bins)), frequencies(static_cast<std::size_t>(bins)) {
        for (int k = 0; k < bins; ++k) {
            amplitudes[static_cast<std::size_t>(k)] = static_cast<float>(k + 1);
            frequencies[static_cast<std::size_t>(k)] = static_cast<float>(k) * 43.0f;
        }
    }
    void shift(float semitones, float centre, float width) {
        const auto ratio = static_cast<float>(PitchShiftEngine::semitonesToRatio(semitones));
        PitchShiftEngine::shiftBand(amplitudes.data(), frequencies.data(), ratio, static_cast<int>(amplitudes.size()),
                                    centre, width);
    }
};

TEST(PitchShiftEngine, BandWalksUpAndDown) {
    Spectrum up;
    up.shift(12.0f, 100.0f, 20.0f);  // band 80..120, sources 40..60
    EXPECT_EQ(up.amplitudes[100], 51.0f);  // bin 100 takes bin 50
    EXPECT_EQ(up.frequencies[100], 50 * 43.0f * 2.0f);
    EXPECT_EQ(up.amplitudes[81], 41.0f);   // round(40.5) = 40, ties to even
    EXPECT_EQ(up.amplitudes[79], 80.0f);   // outside the band
    EXPECT_EQ(up.amplitudes[121], 122.0f);

    Spectrum down;
    down.shift(-12.0f, 100.0f, 20.0f);  // targets 80..120 take sources 160..240
    EXPECT_EQ(down.amplitudes[80], 161.0f);
    EXPECT_EQ(down.frequencies[120], 240 * 43.0f * 0.5f);

    Spectrum top;  // bin 480 would take source 960, past the last bin: nothing changes
    top.shift(-12.0f, 500.0f, 20.0f);
    EXPECT_EQ(top.amplitudes, Spectrum().amplitudes);
    EXPECT_EQ(top.frequencies, Spectrum().frequencies);

    Spectrum single;  // width 0 shifts at most the centre bin
    single.shift(12.0f, 300.0f, 0.0f);
    Spectrum expected;
    expected.amplitudes[300] = expected.amplitudes[150];
    expected.frequencies[300] = expected.frequencies[150] * 2.0f;
    EXPECT_EQ(single.amplitudes, expected.amplitudes);
    EXPECT_EQ(single.frequencies, expected.frequencies);

    Spectrum whole;  // bin 0 inside the band keeps its amplitude, its frequency doubles
    whole.shift(12.0f, 256.0f, 512.0f);
    EXPECT_EQ(whole.amplitudes[0], 1.0f);
    EXPECT_EQ(whole.amplitudes[512], 257.0f);
}

TEST(PitchShiftEngine, HostileBandsAndRatiosStayInsideTheSpectrum) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float semitones : {12.0f, -12.0f, 120.0f, -120.0f}) {
        for (float centre : {nan, inf, -inf, -1.0e9f, 1.0e9f, 256.0f}) {
            for (float width : {nan, inf, -inf, -5.0f, 1.0e9f, 20.0f}) {
                Spectrum spectrum;
                spectrum.shift(semitones, centre, width);  // out-of-range indices fail under the sanitizers
            }
        }
    }
}

TEST(PitchShiftEngine, HostileSemitonesNeitherCrashNorPoisonTheState) {
    PitchShiftEngine engine;
    ASSERT_TRUE(engine.init(44100, 1024, 256, 2));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    int call = 0;
    for (float semitones : {nan, inf, -inf, -372.0f, 1536.0f, 1.0e30f, -1.0e30f}) {
        for (int i = 0; i < 2048; ++i, ++call) {
            ASSERT_TRUE(std::isfinite(engine.processSample(std::sin(0.01f * static_cast<float>(call)), semitones, 256.0f, 512.0f)));
        }
    }
    for (int i = 0; i < 6000; ++i, ++call) {
        const float y = engine.processSample(std::sin(0.01f * static_cast<float>(call)), 0.0f, 256.0f, 512.0f);
        ASSERT_TRUE(std::isfinite(y));
        if (i > 5000) {
            ASSERT_LT(std::fabs(y), 1.01f);
        }
    }
}

}  // namespace
