#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/pallimund/pallimund_effect.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace pallimund;
using namespace testing_support;

constexpr auto makeWith = makeEffectWith<PallimundEffect>;
constexpr std::size_t kRing = 44100;

TEST(Pallimund, FreshEffectStartsWithItsOwnSweepAndPassesTheDryInput) {
    auto effect = makeEffect<PallimundEffect>();
    const float expected[] = {0.0f, 0.0f, kInitialFreq, kInitialDepth, 0.0f};
    for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(effect->getParameter(i), expected[i]) << i;
    EXPECT_EQ(effect->program(0).getValue(kFreq), 0.05f);  // the presets are untouched
    // Mix 0: both outputs are the input, whatever the taps read.
    const auto input = noise(50000, 4);
    const auto out = render(*effect, input);
    EXPECT_EQ(out.left, input);
    EXPECT_EQ(out.right, input);
}

// With Depth 0 a tap of distance d reads the sample written ceil(d) ago, the
// right tap half as far back as the left; Delay 0 reads the entry about to be
// overwritten, written one ring length ago.
TEST(Pallimund, TapsLieTheRoundedUpDelayBack) {
    const struct {
        float delay;
        std::size_t start, left, right;
    } cases[] = {
        {1.0f, 0, 1764, 882},
        {0.5f, 0, 882, 441},
        {0.07f, 0, 124, 62},      // 123.48 and 61.74
        {0.05f, 44050, 89, 45},   // 88.2 and 44.1, read across the ring's wrap
        {0.0f, 0, kRing, kRing},
    };
    for (const auto& c : cases) {
        const auto input = impulse(c.start + c.left + 10, c.start);
        const auto out = render(*makeWith({{kDelay, c.delay}, {kDepth, 0.0f}, {kMix, 1.0f}}), input);
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(out.left[i], input[i] + (i == c.start + c.left ? 1.0f : 0.0f)) << c.delay << " " << i;
            ASSERT_EQ(out.right[i], input[i] + (i == c.start + c.right ? 1.0f : 0.0f)) << c.delay << " " << i;
        }
    }
}

// Only the left tap is fed back: echoes every 1764 samples with gains 1, F-Back,
// F-Back^2 ... on the left, the same echoes 882 samples earlier on the right.
TEST(Pallimund, LeftTapFeedsBackItsEchoes) {
    for (const float feedback : {0.5f, 0.74f, 1.0f}) {
        const auto input = impulse(5 * 1764 + 10);
        const auto out =
            render(*makeWith({{kDelay, 1.0f}, {kFeedback, feedback}, {kDepth, 0.0f}, {kMix, 1.0f}}), input);
        float gain = 1.0f;
        for (std::size_t i = 1; i < input.size(); ++i) {
            const bool leftEcho = i % 1764 == 0;
            const bool rightEcho = i % 1764 == 882;
            ASSERT_EQ(out.left[i], leftEcho ? gain : 0.0f) << feedback << " " << i;
            ASSERT_EQ(out.right[i], rightEcho ? gain : 0.0f) << feedback << " " << i;
            if (leftEcho) gain *= feedback;
        }
    }
}

// A ring whose every entry holds its own index: a tap's output, less the dry
// input, names the entry it read.
std::vector<float> ringIndices(std::size_t length) {
    std::vector<float> signal(length);
    for (std::size_t i = 0; i < length; ++i) signal[i] = static_cast<float>(i % kRing);
    return signal;
}

// The triangle at Freq 1 rises from 0 to 1 in 4410 samples and falls back in
// 4410 more; Depth 1 sweeps both taps by ceil(44.1 * phase) samples.
TEST(Pallimund, LfoSweepsBothTapsTogether) {
    const auto input = ringIndices(kRing + 3 * 8820);
    auto effect = makeWith({{kDelay, 0.5f}, {kFreq, 1.0f}, {kDepth, 1.0f}, {kMix, 1.0f}});
    const auto out = render(*effect, input);
    const auto distanceBack = [&](const std::vector<float>& tap, std::size_t i) {
        const auto entry = static_cast<std::size_t>(tap[i] - input[i]);
        return static_cast<double>((i + kRing - entry) % kRing);
    };
    std::size_t deepest = 0;
    for (std::size_t i = kRing; i < input.size(); ++i) {
        const double cycle = std::fmod(static_cast<double>(i + 1), 8820.0) / 4410.0;
        const double phase = cycle <= 1.0 ? cycle : 2.0 - cycle;
        ASSERT_NEAR(distanceBack(out.left, i), 882.0 + std::ceil(44.1 * phase), 1.0) << i;
        ASSERT_NEAR(distanceBack(out.right, i), 441.0 + std::ceil(44.1 * phase), 1.0) << i;
        if (distanceBack(out.left, i) > distanceBack(out.left, deepest)) deepest = i;
    }
    EXPECT_NEAR(static_cast<double>(deepest % 8820), 4410.0, 10.0);
}

// The ring's storage reaches one entry past it: a read a hair behind position
// 0 rounds to 44100 and reads that entry, which is never written, rather than
// entry 0. With the sweep frozen at 0.001 samples the impulse written at entry
// 0 is not heard one ring length later; without the sweep it is.
TEST(Pallimund, ReadAHairBehindZeroReadsTheEntryPastTheRing) {
    for (const float depth : {0.0f, 0.1f}) {
        auto effect = makeWith({{kFreq, 1.0f}, {kDepth, depth}, {kMix, 1.0f}});
        const auto input = impulse(kRing + 1);
        const auto out = renderSampleBySample(*effect, input, [&](std::size_t i) {
            if (i == 1) effect->setParameter(kFreq, 0.0f);  // phase held at 1 / 4410
        });
        EXPECT_EQ(out.left[kRing], depth == 0.0f ? 1.0f : 0.0f) << depth;
    }
}

// A NaN or infinite input sample is heard dry, but the ring stores silence in
// its place, so it never comes back in an echo.
TEST(Pallimund, NonFiniteInputIsNotFedBack) {
    auto input = noise(3 * kRing, 5);
    const std::size_t spoiled[] = {100, 2000, 50000};
    input[spoiled[0]] = kNaN;
    input[spoiled[1]] = kInfinity;
    input[spoiled[2]] = -kInfinity;
    for (std::int32_t program = 0; program < shell::kProgramCount; ++program) {
        auto effect = makeEffect<PallimundEffect>();
        effect->setProgram(program);
        const auto out = render(*effect, input);
        for (std::size_t i = 0; i < input.size(); ++i) {
            const bool dry = std::isfinite(input[i]);
            ASSERT_EQ(std::isfinite(out.left[i]) && std::isfinite(out.right[i]), dry) << program << " " << i;
        }
    }
}

// Every parameter is used within 0 .. 1, which keeps both taps inside the
// ring and the feedback from growing without bound.
TEST(Pallimund, OutOfRangeValuesBehaveAsTheirLimit) {
    const OutOfRangeCase cases[] = {
        {kDelay, kNaN, 0.0f},      {kDelay, -1.0f, 0.0f},       {kDelay, kInfinity, 1.0f},
        {kDelay, 30.0f, 1.0f},     {kDepth, kNaN, 0.0f},        {kDepth, 1.0e30f, 1.0f},
        {kDepth, -kInfinity, 0.0f}, {kFeedback, kNaN, 0.0f},    {kFeedback, 3.0f, 1.0f},
        {kFeedback, -2.0f, 0.0f},  {kFreq, kNaN, 0.0f},         {kFreq, 9.0f, 1.0f},
        {kFreq, -1.0f, 0.0f},      {kMix, kNaN, 0.0f},          {kMix, kInfinity, 1.0f},
    };
    const auto input = noise(50000, 6);
    for (const auto& c : cases) expectBehavesAsEquivalent<PallimundEffect>(4, c, input);
}

}  // namespace
