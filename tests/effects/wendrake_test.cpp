#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/triangle_lfo.h"
#include "effects/wendrake/wendrake_effect.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace wendrake;
using namespace testing_support;

constexpr auto makeWith = makeEffectWith<WendrakeEffect>;

// The write head of a loop of length L visits positions 0 to trunc(L).
constexpr std::size_t kShortLap = 221;    // L = 220.5
constexpr std::size_t kLongLap = 22051;   // L = 22050 at Size 1

// Input that writes each loop entry's own index into it: from the second lap
// on, a head's output names the entry it read.
std::vector<float> loopIndices(std::size_t length, std::size_t lap) {
    std::vector<float> signal(length);
    for (std::size_t i = 0; i < length; ++i) signal[i] = static_cast<float>(i % lap);
    return signal;
}

// A fresh effect (every value 0) loops through 220.5 samples with both heads
// running forwards at 5 positions a sample. A head passing 220.5 comes back by
// 220.5, and one landing exactly on 220.5 stays there and reads entry 220.
TEST(Wendrake, FreshEffectRunsFiveTimesForwardsThroughTheShortestLoop) {
    const auto input = loopIndices(6 * kShortLap, kShortLap);
    const auto out = render(*makeEffect<WendrakeEffect>(), input);
    double head = 0.0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        head += 5.0;
        if (head > 220.5) head -= 220.5;
        if (i < kShortLap) continue;
        ASSERT_EQ(out.left[i], std::trunc(head)) << i;
        ASSERT_EQ(out.right[i], out.left[i]) << i;
    }
    EXPECT_EQ(out.left[440], 220.0f);  // 441 steps of 5 make 10 loops of 220.5
}

// Positions a head moves per sample, unwrapped, from its readings of a loop
// whose entries hold their indices.
double headSpeed(const std::vector<float>& readings, std::size_t from, std::size_t to) {
    double travelled = 0.0;
    for (std::size_t i = from + 1; i < to; ++i) {
        double step = readings[i] - readings[i - 1];
        if (step > 11025.0) step -= 22050.0;
        if (step < -11025.0) step += 22050.0;
        travelled += step;
    }
    return travelled / static_cast<double>(to - 1 - from);
}

TEST(Wendrake, DirSetsTheHeadSpeedFromFiveForwardsToFiveBackwards) {
    const struct {
        float dir;
        double speed;
    } cases[] = {{0.0f, 5.0}, {0.08f, 4.2}, {0.4f, 1.0}, {0.5f, 0.0}, {0.6f, -1.0}, {0.94f, -4.4}, {1.0f, -5.0}};
    const auto input = loopIndices(kLongLap + 4000, kLongLap);
    for (const auto& c : cases) {
        const auto out = render(*makeWith({{kDir, c.dir}, {kSize, 1.0f}}), input);
        EXPECT_NEAR(headSpeed(out.left, kLongLap, input.size()), c.speed, 1e-3) << c.dir;
        // Depth 0: both heads read the same entries once the loop is full.
        EXPECT_TRUE(std::equal(out.left.begin() + kLongLap, out.left.end(), out.right.begin() + kLongLap)) << c.dir;
    }
}

// Depth bends the left head by 10 * Depth * phase positions every sample, and
// the right head sits as far the other way from the left head's unbent place.
TEST(Wendrake, DepthBendsTheLeftHeadAndSpreadsTheRightOne) {
    const std::size_t sweep = 441;  // Freq 1 this long, then the phase is held
    dsp::TriangleLfo lfo;
    for (std::size_t i = 0; i < sweep; ++i) lfo.advance(1.0 / 4410.0);
    for (const float depth : {0.25f, 0.5f, 1.0f}) {
        const double bend = depth * 10.0 * lfo.getPhase();
        auto effect = makeWith({{kDir, 0.5f}, {kFreq, 1.0f}, {kDepth, depth}, {kSize, 1.0f}});
        const auto input = loopIndices(kLongLap + 2000, kLongLap);
        const auto out = renderSampleBySample(*effect, input, [&](std::size_t i) {
            if (i == sweep) effect->setParameter(kFreq, 0.0f);
        });
        EXPECT_NEAR(headSpeed(out.left, kLongLap, input.size()), -bend, 1e-3) << depth;
        for (std::size_t i = kLongLap; i < input.size(); ++i) {
            double spread = out.right[i] - out.left[i];
            if (spread < 0.0) spread += 22050.0;
            // Both readings are truncated, the left position also rounded to 32 bits.
            ASSERT_NEAR(spread, 2.0 * bend, 1.01) << depth << " " << i;
        }
    }
}

// With the heads standing on entry 0 of a 220.5 loop, the left head reads
// before the write and the right one after it, and every lap the entry takes
// the left head's output times F-Back on top of the input.
TEST(Wendrake, LeftHeadFeedsBackOncePerLap) {
    const float feedback = 0.52f;
    const auto out = render(*makeWith({{kDir, 0.5f}, {kFeedback, feedback}}), impulse(4 * kShortLap));
    EXPECT_EQ(out.left[0], 0.0f);
    float written = 1.0f;
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        if (i > 0 && i % kShortLap == 0) {
            ASSERT_EQ(out.left[i], written) << i;  // still the previous lap's value
            written *= feedback;
        }
        ASSERT_EQ(out.right[i], written) << i;
        if (i % kShortLap != 0) {
            ASSERT_EQ(out.left[i], written) << i;
        }
    }
}

// Shortening the loop under a head beyond its new end: the write head starts
// again at 0, and the read head comes back by one loop length a sample (less
// its own step) until it is inside.
TEST(Wendrake, HeadBeyondAShortenedLoopComesBackALengthASample) {
    const std::size_t switchAt = kLongLap + 1000;
    std::vector<float> input = loopIndices(switchAt + 3 * kShortLap, kLongLap);
    for (std::size_t i = switchAt; i < input.size(); ++i) input[i] = 7.0f;
    auto effect = makeWith({{kSize, 1.0f}});
    const auto out = renderSampleBySample(*effect, input, [&](std::size_t i) {
        if (i == switchAt) effect->setParameter(kSize, 0.0f);
    });
    std::size_t i = switchAt;
    for (; out.left[i - 1] > 220.5f; ++i) {
        ASSERT_NEAR(out.left[i - 1] - out.left[i], 215.5, 1.0) << i;
    }
    EXPECT_NEAR(static_cast<double>(i - switchAt), (out.left[switchAt - 1] + 5.0) / 215.5, 1.0);
    // From then on the heads only meet what the short loop was given since.
    EXPECT_EQ(out.left.back(), 7.0f);
    EXPECT_EQ(out.right.back(), 7.0f);
}

// An entry that would take a NaN or an infinity stores silence instead, so
// nothing of it is ever heard; without feedback that is exactly a 0 input.
TEST(Wendrake, NonFiniteInputIsStoredAsSilence) {
    auto input = noise(20000, 5);
    auto cleaned = input;
    for (const std::size_t i : {std::size_t{10}, std::size_t{3000}, std::size_t{9000}}) {
        input[i] = i == 3000 ? kInfinity : kNaN;
        cleaned[i] = 0.0f;
    }
    for (std::int32_t program = 0; program < shell::kProgramCount; ++program) {
        auto effect = makeEffect<WendrakeEffect>();
        effect->setProgram(program);
        const auto out = render(*effect, input);
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << program << " " << i;
        }
        if (effect->getParameter(kFeedback) != 0.0f) continue;
        auto clean = makeEffect<WendrakeEffect>();
        clean->setProgram(program);
        const auto expected = render(*clean, cleaned);
        EXPECT_EQ(out.left, expected.left) << program;
        EXPECT_EQ(out.right, expected.right) << program;
    }
}

// Dir, Depth and F-Back are used within 0 .. 1 and Size up to 2, so a head
// moves at most 15 positions a sample and one wrap keeps it in the loop.
TEST(Wendrake, OutOfRangeValuesBehaveAsTheirLimit) {
    const OutOfRangeCase cases[] = {
        {kSize, kNaN, 0.0f},       {kSize, -3.0f, 0.0f},       {kSize, 5.0f, 2.0f},
        {kSize, kInfinity, 2.0f},  {kDir, kNaN, 0.0f},         {kDir, 40.0f, 1.0f},
        {kDir, -1.0e30f, 0.0f},    {kDepth, kNaN, 0.0f},       {kDepth, kInfinity, 1.0f},
        {kDepth, -2.0f, 0.0f},     {kFeedback, kNaN, 0.0f},    {kFeedback, 3.0f, 1.0f},
        {kFreq, kNaN, 0.0f},
    };
    const auto input = noise(50000, 6);
    for (const auto& c : cases) expectBehavesAsEquivalent<WendrakeEffect>(4, c, input);
}

}  // namespace
