#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/triangle_lfo.h"
#include "effects/hollistra/hollistra_effect.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace hollistra;
using namespace testing_support;

constexpr auto makeWith = makeEffectWith<HollistraEffect>;

// With a constant input of 1 the outputs are the two gains themselves.
StereoBlock gains(HollistraEffect& effect, std::size_t length) {
    return render(effect, std::vector<float>(length, 1.0f));
}

// Samples at which a gate starts to open (the gain leaves 0) and to close
// (the gain leaves 1), for ramps steep enough to reach both.
struct GateEvents {
    std::vector<std::size_t> opening, closing;
};

GateEvents eventsOf(const std::vector<float>& gain) {
    GateEvents events;
    for (std::size_t i = 1; i < gain.size(); ++i) {
        if (gain[i - 1] == 0.0f && gain[i] > 0.0f) events.opening.push_back(i);
        if (gain[i - 1] == 1.0f && gain[i] < 1.0f) events.closing.push_back(i);
    }
    return events;
}

// Events at first, first + period, first + 2 period ... below `length`.
std::vector<std::size_t> every(std::size_t period, std::size_t first, std::size_t length) {
    std::vector<std::size_t> samples;
    for (std::size_t i = first; i < length; i += period) samples.push_back(i);
    return samples;
}

TEST(Hollistra, FreshEffectIsSilentAndEdgeZeroFreezesTheGains) {
    const auto silent = render(*makeEffect<HollistraEffect>(), noise(5000));
    EXPECT_EQ(silent.left, std::vector<float>(5000, 0.0f));
    EXPECT_EQ(silent.right, std::vector<float>(5000, 0.0f));

    // The periods start near 4134 (left) and 6890 (right) samples, cut at
    // 0.05 of that; the gains then rise by 0.005 a sample.
    auto effect = makeWith({{kCycle, 0.5f}, {kCut, 0.05f}, {kEdge, 0.05f}, {kFreq, 1.0f}, {kDepth, 0.5f}});
    const auto ramping = gains(*effect, 380);
    for (const float gain : {ramping.left.back(), ramping.right.back()}) {
        ASSERT_GT(gain, 0.0f);
        ASSERT_LT(gain, 1.0f);
    }
    effect->setParameter(kEdge, 0.0f);
    const auto frozen = gains(*effect, 5000);
    EXPECT_EQ(frozen.left, std::vector<float>(5000, ramping.left.back()));
    EXPECT_EQ(frozen.right, std::vector<float>(5000, ramping.right.back()));
}

// The counter is compared strictly with the period and the cut point: a
// period of P samples restarts at counter floor(P) + 1, and the gate opens
// once the counter passes P * Cut. With the LFO standing at phase 0, Depth
// shortens the left period by 2756 * Depth and lengthens the right one.
TEST(Hollistra, GatePeriodsAndCutPointsCompareStrictly) {
    const struct {
        float cycle, cut, depth;
        std::size_t leftPeriod, leftOpen, rightPeriod, rightOpen;
    } cases[] = {
        {1.0f, 0.5f, 0.0f, 11026, 5513, 11026, 5513},  // P 11025, cut point 5512.5
        {0.25f, 0.25f, 0.0f, 2757, 690, 2757, 690},    // P 2756.25, cut point 689.0625
        {0.5f, 0.5f, 1.0f, 2757, 1379, 8269, 4135},    // P 5512.5 -+ 2756
    };
    for (const auto& c : cases) {
        auto effect = makeWith({{kCycle, c.cycle}, {kCut, c.cut}, {kEdge, 1.0f}, {kDepth, c.depth}});
        const std::size_t length = 3 * c.rightPeriod;
        const auto out = gains(*effect, length);
        // Sample s carries counter s + 1 in the first period.
        const auto left = eventsOf(out.left);
        EXPECT_EQ(left.opening, every(c.leftPeriod, c.leftOpen - 1, length)) << c.cycle;
        EXPECT_EQ(left.closing, every(c.leftPeriod, c.leftPeriod - 1, length)) << c.cycle;
        const auto right = eventsOf(out.right);
        EXPECT_EQ(right.opening, every(c.rightPeriod, c.rightOpen - 1, length)) << c.cycle;
        EXPECT_EQ(right.closing, every(c.rightPeriod, c.rightPeriod - 1, length)) << c.cycle;
    }
}

// Cut 0: the first sample of each period still falls (0 is not past 0), so a
// steep gate is open but for a one-step dip. Cut 1: the cut point is never
// passed before the period ends, so an open gate closes for good.
TEST(Hollistra, CutZeroDipsOncePerPeriodAndCutOneCloses) {
    auto effect = makeWith({{kCycle, 0.25f}, {kEdge, 1.0f}});  // period 2757
    const auto open = gains(*effect, 4 * 2757);
    for (std::size_t i = 10; i < open.left.size(); ++i) {
        ASSERT_EQ(open.left[i], i % 2757 == 2756 ? 0.9f : 1.0f) << i;
        ASSERT_EQ(open.right[i], open.left[i]) << i;
    }
    effect->setParameter(kCut, 1.0f);
    const auto closed = gains(*effect, 3 * 2757);
    EXPECT_EQ(std::vector<float>(closed.left.begin() + 10, closed.left.end()),
              std::vector<float>(closed.left.size() - 10, 0.0f));
}

// A period driven to 0 or below restarts the gate on every sample: the cut
// point then lies at or below 0, passed at once when Cut is above 0 and never
// when it is 0. Depth 1 at phase 0 makes the left period -2756.
TEST(Hollistra, PeriodAtOrBelowZeroRestartsEverySample) {
    for (const float cut : {0.5f, 0.0f}) {
        const auto out = gains(*makeWith({{kCut, cut}, {kEdge, 1.0f}, {kDepth, 1.0f}}), 3000);
        const float expected = cut > 0.0f ? 1.0f : 0.0f;
        for (std::size_t i = 10; i < out.left.size(); ++i) ASSERT_EQ(out.left[i], expected) << cut << " " << i;
        // The right period of 2756 runs as usual: at 1000 it has not reached
        // its cut point 1378 yet, and with Cut 0 it has passed it.
        EXPECT_EQ(out.right[1000], cut > 0.0f ? 0.0f : 1.0f) << cut;
    }
}

// Each period lasts what the LFO makes it when it ends: 5512.5 + 5512
// (phase - 0.5) samples on the left and as much less on the right.
TEST(Hollistra, LfoDetunesThePeriodsInOppositeDirections) {
    const float freq = 0.1f;  // the triangle turns every 44100 samples
    auto effect = makeWith({{kCycle, 0.5f}, {kCut, 0.5f}, {kEdge, 1.0f}, {kFreq, freq}, {kDepth, 1.0f}});
    const std::size_t length = 2 * 88200;
    const auto out = gains(*effect, length);
    std::vector<double> phase(length);
    dsp::TriangleLfo lfo;
    for (double& p : phase) p = lfo.advance(freq / 4410.0);
    for (const double direction : {1.0, -1.0}) {
        const auto restarts = eventsOf(direction > 0.0 ? out.left : out.right).closing;
        ASSERT_GT(restarts.size(), 30u);
        for (std::size_t k = 1; k < restarts.size(); ++k) {
            const auto end = restarts[k];
            const double period = 5512.5 + direction * (phase[end] - 0.5) * 5512.0;
            ASSERT_NEAR(static_cast<double>(end - restarts[k - 1]), period, 1.5) << direction << " " << end;
        }
    }
}

// Cycle and Depth are used within 0 .. 1, which bounds every period and so the
// counters; a NaN cut point is never passed and a NaN gain closes the gate.
TEST(Hollistra, OutOfRangeValuesBehaveAsTheirLimit) {
    const OutOfRangeCase cases[] = {
        {kCycle, kNaN, 0.0f},      {kCycle, 1.0e30f, 1.0f},      {kCycle, kInfinity, 1.0f},
        {kCycle, -5.0f, 0.0f},     {kDepth, kNaN, 0.0f},         {kDepth, kInfinity, 1.0f},
        {kDepth, -1.0f, 0.0f},     {kCut, kNaN, 1.0f},           {kEdge, kNaN, 0.0f},
        {kEdge, kInfinity, 10.0f}, {kEdge, -kInfinity, -10.0f},  {kFreq, kNaN, 0.0f},
    };
    const auto input = noise(50000, 6);
    for (const auto& c : cases) expectBehavesAsEquivalent<HollistraEffect>(1, c, input);
}

}  // namespace
