#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "effects/orvethil/orvethil_effect.h"
#include "effects/orvethil/polynomial_cosine.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace orvethil;
using namespace testing_support;

constexpr auto makeWith = makeEffectWith<OrvethilEffect>;

// Amplitude of a steady sine from its mean square.
double amplitude(const std::vector<float>& signal, std::size_t from) {
    double sum = 0.0;
    for (std::size_t i = from; i < signal.size(); ++i) sum += static_cast<double>(signal[i]) * signal[i];
    return std::sqrt(2.0 * sum / static_cast<double>(signal.size() - from));
}

std::vector<float> sine(std::size_t length, double cyclesPerSample) {
    std::vector<float> signal(length);
    for (std::size_t i = 0; i < length; ++i) {
        signal[i] = static_cast<float>(std::sin(kTwoPi * cyclesPerSample * static_cast<double>(i)));
    }
    return signal;
}

// Dist Depth, Time and Res at 0 leave nothing but the undelayed input, also
// beyond +-1 and whatever the other parameters say.
TEST(Orvethil, PassesTheInputThroughWhenDistTimeAndResAreZero) {
    auto input = noise(5000, 3);
    for (float& x : input) x *= 3.0f;
    const auto expectPassThrough = [&](ParameterValues values) {
        const auto out = render(*makeWith(values), input);
        EXPECT_EQ(out.left, input);
        EXPECT_EQ(out.right, input);
    };
    expectPassThrough({});
    expectPassThrough({{kFeedback, 0.86f}, {kFilterFreq, 0.3f}, {kSpinSpeed, 1.0f}, {kSpinDepth, 0.5f}});
}

// x (|x| + k) / (|x| (k - 1) + x^2 + 1) with k = 20 * Dist Depth, limited to
// -1 .. 1; with Dist Depth 0 nothing is shaped or limited.
TEST(Orvethil, WaveshaperFollowsItsCurveAndLimits) {
    const struct {
        float depth, x;
        double shaped;
    } cases[] = {
        {0.5f, 0.5f, 21.0 / 23.0},  {0.25f, 0.5f, 11.0 / 13.0}, {0.5f, -0.25f, -41.0 / 53.0},
        {0.25f, 0.9f, 531.0 / 541.0}, {1.0f, 0.01f, 0.16813713133350142}, {0.5f, 1.0f, 1.0},
        {0.5f, -1.0f, -1.0},        {0.05f, 2.0f, 1.0},          {1.0f, -30.0f, -1.0},
        {0.0f, 3.0f, 3.0},          {0.0f, -0.5f, -0.5},
    };
    for (const auto& c : cases) {
        const auto out = render(*makeWith({{kDistDepth, c.depth}}), {c.x});
        EXPECT_FLOAT_EQ(out.left[0], static_cast<float>(c.shaped)) << c.depth << " " << c.x;
        EXPECT_EQ(out.right[0], out.left[0]);
    }
}

// The delayed signal replaces the input: an impulse comes back once, after the
// rounded-up distance 1764 * Time.
TEST(Orvethil, DelayReadsTheRoundedUpDistanceBack) {
    const struct {
        float time;
        std::size_t start;
        std::vector<std::size_t> hits;
    } cases[] = {
        {1.0f, 0, {1764}},
        {0.5f, 0, {882}},
        {0.3f, 0, {530}},       // 529.20002
        {0.06f, 44097, {106}},  // 105.84, read across the ring's wrap
        // 882.000105: at write position 882 the read lies a hair below 0 and
        // rounds to 44100 after the wrap, which is entry 0, so the impulse
        // written there is heard one sample early as well.
        {std::nextafter(0.5f, 1.0f), 0, {882, 883}},
    };
    for (const auto& c : cases) {
        const auto input = impulse(c.start + 2000, c.start);
        const auto out = render(*makeWith({{kDelayTime, c.time}}), input);
        for (std::size_t i = 0; i < input.size(); ++i) {
            bool hit = false;
            for (const std::size_t h : c.hits) hit = hit || i == c.start + h;
            ASSERT_EQ(out.left[i], hit ? 1.0f : 0.0f) << c.time << " " << i;
            ASSERT_EQ(out.right[i], out.left[i]) << c.time << " " << i;
        }
    }
}

TEST(Orvethil, EchoesRepeatWithTheFeedbackShare) {
    for (const float feedback : {0.5f, 0.71f, 1.0f}) {
        const auto out = render(*makeWith({{kDelayTime, 0.5f}, {kFeedback, feedback}}), impulse(6 * 882));
        float gain = 1.0f;
        for (std::size_t i = 0; i < out.left.size(); ++i) {
            if (i > 0 && i % 882 == 0) {
                ASSERT_FLOAT_EQ(out.left[i], gain) << feedback << " " << i;
                gain *= feedback;
            } else {
                ASSERT_EQ(out.left[i], 0.0f) << feedback << " " << i;
            }
        }
    }
}

// The write comes before the read: at Time 0 the sample just written is read
// back and then takes the feedback on top, x * (1 + F-Back), which is heard
// once Time reaches back to it.
TEST(Orvethil, AtTimeZeroTheSlotJustWrittenTakesTheFeedback) {
    auto effect = makeWith({{kFeedback, 0.5f}});
    const auto head = render(*effect, impulse(100));
    EXPECT_EQ(head.left, impulse(100));
    effect->setParameter(kDelayTime, 1.0f);
    const auto tail = render(*effect, std::vector<float>(1700, 0.0f));
    EXPECT_EQ(tail.left[1764 - 100], 1.5f);
}

// The gain g normalises each resonator to 1 at its centre, Freq / 2 less
// Spin Depth times the phase (left) or one minus the phase (right); the
// phase stands at 0 while Spin Speed is 0.
TEST(Orvethil, ResonatorsPassTheirCentreAtUnityGain) {
    const struct {
        float freq, res, spinDepth;
        double leftCentre, rightCentre;
    } cases[] = {
        {0.2f, 0.9f, 0.0f, 0.1, 0.1},
        {0.52f, 0.72f, 0.0f, 0.26, 0.26},
        {0.5f, 0.9f, 0.1f, 0.25, 0.15},
        {0.81f, 0.41f, 0.3f, 0.405, 0.105},
        {0.4f, 5.0f, 0.0f, 0.2, 0.2},  // Res is limited to 0.9
    };
    for (const auto& c : cases) {
        for (const auto& [centre, isLeft] : {std::pair{c.leftCentre, true}, std::pair{c.rightCentre, false}}) {
            auto effect = makeWith({{kFilterFreq, c.freq}, {kFilterRes, c.res}, {kSpinDepth, c.spinDepth}});
            const auto out = render(*effect, sine(6000, centre));
            EXPECT_NEAR(amplitude(isLeft ? out.left : out.right, 1000), 1.0, 0.005) << c.freq << " " << isLeft;
        }
        // An octave below the centre, a resonance this narrow lets less through.
        auto narrow = makeWith({{kFilterFreq, c.freq}, {kFilterRes, 0.9f}, {kSpinDepth, c.spinDepth}});
        const auto off = render(*narrow, sine(6000, c.leftCentre * 0.5));
        EXPECT_LT(amplitude(off.left, 1000), 0.5) << c.freq;
    }
}

// The triangle phase steps by Spin Speed / 2205 and moves the two centres in
// opposite directions. A second effect with the LFO standing at 0 and Freq and
// Spin Depth set before every sample to place both centres where the phase
// puts them must sound the same, up to the rounding of those two values.
TEST(Orvethil, SpinSweepsTheCentresInOppositeDirections) {
    const struct {
        float freq, speed, spinDepth;
    } cases[] = {{0.81f, 0.94f, 0.07f}, {0.4f, 1.0f, 0.18f}, {1.0f, 1.0f, 1.0f}, {0.47f, 0.03f, 0.2f}};
    const auto input = noise(12000, 8);  // several turns at Spin Speed 1
    for (const auto& c : cases) {
        auto effect =
            makeWith({{kFilterFreq, c.freq}, {kFilterRes, 0.72f}, {kSpinSpeed, c.speed}, {kSpinDepth, c.spinDepth}});
        const auto spun = render(*effect, input);
        auto driven = makeWith({{kFilterRes, 0.72f}});
        const auto expected = renderDrivenByTriangle(*driven, input, c.speed / 2205.0, [&](double phase) {
            const double leftCentre = c.freq / 2.0 - c.spinDepth * phase;
            const double rightCentre = c.freq / 2.0 - c.spinDepth * (1.0 - phase);
            driven->setParameter(kFilterFreq, static_cast<float>(2.0 * leftCentre));
            driven->setParameter(kSpinDepth, static_cast<float>(leftCentre - rightCentre));
        });
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_NEAR(spun.left[i], expected.left[i], 1e-4) << c.speed << " " << i;
            ASSERT_NEAR(spun.right[i], expected.right[i], 1e-4) << c.speed << " " << i;
        }
    }
}

// The resonator coefficients are rounded to 32-bit floats, so the cosine only
// needs to agree with the library's to well below that rounding, everywhere on
// the centre's range 0 .. 1 and next to the zeros at a quarter and three
// quarters of a turn.
TEST(Orvethil, PolynomialCosineMatchesTheLibraryToFloatRounding) {
    std::vector<double> turns;
    constexpr int kSteps = 1 << 20;
    for (int i = 0; i <= kSteps; ++i) turns.push_back(static_cast<double>(i) / kSteps);
    for (const double zero : {std::numbers::pi / 2.0, 3.0 * std::numbers::pi / 2.0}) {
        double near = zero / kTwoPi;
        for (int i = 0; i < 64; ++i) near = std::nextafter(near, 0.0);
        for (int i = 0; i < 128; ++i, near = std::nextafter(near, 1.0)) turns.push_back(near);
    }
    int mismatches = 0;
    for (const double fraction : turns) {
        const double angle = kTwoPi * fraction;
        const double expected = std::cos(angle);
        const double actual = polynomialCosine(angle);
        ASSERT_LE(std::fabs(actual - expected), 1e-14 * std::fabs(expected) + 1e-300) << fraction;
        if (static_cast<float>(actual) != static_cast<float>(expected)) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
}

// Values a host should not send behave as the nearest value that keeps the
// resonators and the feedback loop stable and NaN out of the state.
TEST(Orvethil, OutOfRangeValuesBehaveAsTheirLimit) {
    const OutOfRangeCase cases[] = {
        {kFilterRes, -2.0f, 0.0f},        {kFilterRes, kNaN, 0.0f},     {kFilterRes, kInfinity, 0.9f},
        {kFeedback, kNaN, 0.0f},          {kFeedback, -3.0f, 0.0f},     {kFeedback, kInfinity, 1.0f},
        {kDelayTime, kNaN, 0.0f},         {kDelayTime, -1.0f, 0.0f},    {kDelayTime, kInfinity, 30.0f},
        {kDistDepth, kNaN, 0.0f},         {kDistDepth, kInfinity, 1.0e6f}, {kFilterFreq, kNaN, -10.0f},
        {kFilterFreq, kInfinity, 10.0f},
    };
    const auto input = noise(50000, 6);
    for (const auto& c : cases) expectBehavesAsEquivalent<OrvethilEffect>(3, c, input);
}

}  // namespace
