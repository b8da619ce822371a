#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/ladder_lowpass.h"
#include "effects/tellimor/tellimor_effect.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace tellimor;
using testing_support::impulse;
using testing_support::noise;
using testing_support::render;

std::unique_ptr<TellimorEffect> withParams(float crush, float freq, float res, float ring, float comb) {
    return testing_support::makeEffectWith<TellimorEffect>(
        {{kCrush, crush}, {kFreq, freq}, {kRes, res}, {kRing, ring}, {kComb, comb}});
}

TEST(Tellimor, FreshEffectIsSilentBecauseCrushIsZero) {
    auto effect = testing_support::makeEffect<TellimorEffect>();
    const auto out = render(*effect, noise(2000));
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        ASSERT_EQ(out.left[i], 0.0f);
        ASSERT_EQ(out.right[i], 0.0f);
    }
}

// With Ring at 0 the modulator stays at -1: the output is the inverted ladder
// output of the crushed input, the same on both channels while Comb is 0.
TEST(Tellimor, BlitterIsTheInvertedFilteredCrush) {
    auto effect = testing_support::makeEffect<TellimorEffect>();
    effect->setProgram(0);
    const auto input = noise(3000, 7);
    const auto out = render(*effect, input);
    dsp::LadderLowPass reference;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double crushed = std::trunc(static_cast<double>(0.18f) * 15.0 * input[i]) / 10.0;
        reference.process(static_cast<float>(crushed), 1.0f, 0.0);
        ASSERT_EQ(out.left[i], -reference.output()) << i;
        ASSERT_EQ(out.right[i], out.left[i]) << i;
    }
}

TEST(Tellimor, CrushTruncatesToWholeTenths) {
    // Crush 1 and the filter wide open: a DC input of 0.1 makes 15 * 0.1 = 1.5,
    // truncated to 1 tenth; an input of 0.06 makes 0.9, truncated to 0.
    for (const auto& [level, crushed] : {std::pair{0.1f, 0.1}, std::pair{0.06f, 0.0},
                                         std::pair{-0.1f, -0.1}, std::pair{0.7f, 1.0}}) {
        auto effect = withParams(1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
        const auto out = render(*effect, std::vector<float>(4000, level));
        dsp::LadderLowPass reference;
        for (int s = 0; s < 4000; ++s) reference.process(static_cast<float>(crushed), 1.0f, 0.0);
        EXPECT_EQ(out.left.back(), -reference.output()) << level;
    }
}

// The comb adds the filter's scaled input u of an earlier sample: at Comb 1 the
// left tap lies 45 samples back and the right one 23.
TEST(Tellimor, CombTapsLieFortyFiveAndTwentyThreeSamplesBack) {
    for (std::size_t start : {std::size_t{0}, std::size_t{44090}}) {  // also across the ring's wrap
        const auto input = impulse(start + 200, start, 1.0f);
        auto dry = withParams(1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
        auto combed = withParams(1.0f, 1.0f, 0.0f, 0.0f, 1.0f);
        const auto plain = render(*dry, input);
        const auto withComb = render(*combed, input);
        dsp::LadderLowPass reference;
        const float u = reference.process(1.5f, 1.0f, 0.0);  // trunc(15 * 1) / 10
        for (std::size_t i = 0; i < input.size(); ++i) {
            const float leftEcho = i == start + 45 ? u : 0.0f;
            const float rightEcho = i == start + 23 ? u : 0.0f;
            ASSERT_EQ(withComb.left[i], plain.left[i] + leftEcho) << start << " " << i;
            ASSERT_EQ(withComb.right[i], plain.right[i] + rightEcho) << start << " " << i;
        }
    }
}

// A tiny Comb puts the left read a hair below position 0 when the write
// position is 0, which rounds to exactly 44100 after the wrap: that is entry 0
// of the ring, the sample written one ring length ago.
TEST(Tellimor, CombReadAtTheWrapRoundingReadsEntryZero) {
    auto effect = withParams(1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    auto input = impulse(44100 + 1, 0, 1.0f);
    std::vector<float> left(44100), right(44100);
    float* inputs[] = {input.data()};
    float* outputs[] = {left.data(), right.data()};
    effect->processReplacing(inputs, outputs, 44100);  // entry 0 holds u of the impulse
    effect->setParameter(kComb, 0.000005f);             // 0.00022 samples
    float* lastInput[] = {input.data() + 44100};
    effect->processReplacing(lastInput, outputs, 1);
    dsp::LadderLowPass reference;
    const float u = reference.process(1.5f, 1.0f, 0.0);
    float filterOutput = 0.0f;
    for (int s = 1; s <= 44100; ++s) {
        reference.process(0.0f, 1.0f, 0.0);
        filterOutput = reference.output();
    }
    EXPECT_EQ(left[0], -filterOutput + u);
}

TEST(Tellimor, FreqAndResAreLimited) {
    const auto input = noise(2000, 3);
    const auto run = [&](float freq, float res) {
        auto effect = withParams(0.8f, freq, res, 0.3f, 0.5f);
        return render(*effect, input).left;
    };
    EXPECT_EQ(run(0.02f, 0.5f), run(0.1f, 0.5f));
    EXPECT_EQ(run(1.7f, 0.5f), run(1.0f, 0.5f));
    EXPECT_EQ(run(0.5f, 1.6f), run(0.5f, 1.0f));
    EXPECT_NE(run(0.5f, 0.9f), run(0.5f, 0.2f));
}

TEST(Tellimor, RingModulatorFollowsTheTriangle) {
    // A DC input settles the filter; the output then is that level times the
    // triangle 2 * (phase - 0.5), turning about every 441 samples at Ring 1.
    auto effect = withParams(1.0f, 1.0f, 0.0f, 1.0f, 0.0f);
    const auto out = render(*effect, std::vector<float>(5000, 0.5f));
    std::vector<std::size_t> peaks;
    for (std::size_t i = 2000; i + 1 < out.left.size(); ++i) {
        if (out.left[i] > out.left[i - 1] && out.left[i] >= out.left[i + 1]) peaks.push_back(i);
    }
    ASSERT_GE(peaks.size(), 2u);
    for (std::size_t i = 1; i < peaks.size(); ++i) EXPECT_NEAR(static_cast<double>(peaks[i] - peaks[i - 1]), 882.0, 2.0);
}

}  // namespace
