#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/ladder_lowpass.h"
#include "effects/ambrelic/ambrelic_effect.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace ambrelic;
using namespace testing_support;

constexpr auto makeWith = makeEffectWith<AmbrelicEffect>;

// The filter's scaled input for a unit impulse with the filter wide open and no
// resonance: what the delay ring receives from it.
float scaledUnitImpulse() {
    dsp::LadderLowPass reference;
    return reference.process(1.0f, 1.0f, 0.0);
}

TEST(Ambrelic, FreshEffectIsTheFilterAtItsLowestCutoffOnBothChannels) {
    auto effect = makeEffect<AmbrelicEffect>();
    const auto input = noise(3000, 5);
    const auto out = render(*effect, input);
    dsp::LadderLowPass reference;
    for (std::size_t i = 0; i < input.size(); ++i) {
        reference.process(input[i], 0.1f, 0.0);
        ASSERT_EQ(out.left[i], reference.output()) << i;
        ASSERT_EQ(out.right[i], reference.output()) << i;
    }
}

// Each tap adds the scaled input u of the sample written ceil(distance) ago:
// the left one 22050 * Time back, the right one 11025 * Time.
TEST(Ambrelic, DelayTapsLieTheRoundedUpDistanceBack) {
    const struct {
        float time;
        std::size_t start;
        std::vector<std::size_t> leftHits, rightHits;
    } cases[] = {
        {1.0f, 0, {22050}, {11025}},
        {0.5f, 0, {11025}, {5513}},    // 5512.5
        {0.09f, 0, {1985}, {993}},     // 1984.50008 and 992.25004
        {0.01f, 44090, {221}, {111}},  // 220.499995, 110.2499975, read across the ring's wrap
        // 6615.00026: at write position 6615 the left read lies a hair below 0
        // and rounds to 44100 after the wrap, which is entry 0, so the impulse
        // written there is heard one sample early as well.
        {0.3f, 0, {6615, 6616}, {3308}},
    };
    const float u = scaledUnitImpulse();
    for (const auto& c : cases) {
        const auto input = impulse(c.start + c.leftHits.back() + 50, c.start);
        const auto plain = render(*makeWith({{kFilterFreq, 1.0f}}), input);
        const auto delayed = render(*makeWith({{kFilterFreq, 1.0f}, {kDelayTime, c.time}}), input);
        const auto echo = [&](const std::vector<std::size_t>& hits, std::size_t i) {
            for (const std::size_t hit : hits) {
                if (i == c.start + hit) return u;
            }
            return 0.0f;
        };
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(delayed.left[i], plain.left[i] + echo(c.leftHits, i)) << c.time << " " << i;
            ASSERT_EQ(delayed.right[i], plain.right[i] + echo(c.rightHits, i)) << c.time << " " << i;
        }
    }
}

// The ring takes u + F-Back * L, the left output with its tap; the right tap
// reads the same ring, so it hears the left channel's echoes too.
TEST(Ambrelic, FeedbackRecirculatesTheLeftOutput) {
    const struct {
        float time;
        std::size_t leftDistance, rightDistance;
        float feedback;
    } cases[] = {{0.01f, 221, 111, 0.5f}, {0.03f, 662, 331, 0.31f}, {0.01f, 221, 111, 1.0f}};
    for (const auto& c : cases) {
        const auto input = impulse(6 * c.leftDistance);
        const auto filtered = render(*makeWith({{kFilterFreq, 1.0f}}), input).left;
        const auto out = render(*makeWith({{kFilterFreq, 1.0f}, {kDelayTime, c.time}, {kFeedback, c.feedback}}), input);
        std::vector<double> ring(input.size()), left(input.size()), right(input.size());
        const auto delayed = [&](std::size_t i, std::size_t distance) {
            return i >= distance ? ring[i - distance] : 0.0;
        };
        for (std::size_t i = 0; i < input.size(); ++i) {
            left[i] = filtered[i] + delayed(i, c.leftDistance);
            right[i] = filtered[i] + delayed(i, c.rightDistance);
            ring[i] = (i == 0 ? filtered[0] : 0.0) + c.feedback * left[i];
        }
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_NEAR(out.left[i], left[i], 1e-6) << c.feedback << " " << i;
            ASSERT_NEAR(out.right[i], right[i], 1e-6) << c.feedback << " " << i;
        }
        EXPECT_NEAR(out.left[3 * c.leftDistance], std::pow(c.feedback, 2.0) * (1.0 + c.feedback) * filtered[0], 1e-3);
    }
}

TEST(Ambrelic, RingIsWrittenWhileTimeIsZero) {
    auto effect = makeWith({{kFilterFreq, 1.0f}, {kFeedback, 0.5f}});
    const auto input = impulse(11100);
    const std::vector<float> head(input.begin(), input.begin() + 100);
    const std::vector<float> tail(input.begin() + 100, input.end());
    const auto untapped = render(*effect, head);
    EXPECT_EQ(untapped.left, untapped.right);
    effect->setParameter(kDelayTime, 1.0f);
    const auto tapped = render(*effect, tail);
    const auto filtered = render(*makeWith({{kFilterFreq, 1.0f}}), input).left;
    // Sample 0 wrote u + 0.5 * L with L = u; the right tap reaches it at 11025.
    const float u = scaledUnitImpulse();
    const std::size_t reach = 11025 - 100;
    EXPECT_EQ(tapped.right[reach], filtered[11025] + static_cast<float>(u + 0.5 * u));
}

// With Attack 0 the envelope jumps to |x|; an input above 1 would take it
// beyond 1 and open the cutoff further. Limited to 1, a louder impulse gives
// exactly the same cutoff sweep and so an exactly scaled output.
TEST(Ambrelic, EnvelopeIsLimitedToOne) {
    const ParameterValues settings = {{kFilterFreq, 0.1f}, {kRelease, 0.1f}, {kEnvelopeMix, 0.2f}};
    // Short enough that no state of the filter comes near the flush to zero.
    const auto unit = render(*makeWith(settings), impulse(100, 0, 1.0f)).left;
    for (const float height : {2.0f, -4.0f, 1024.0f}) {
        const auto loud = render(*makeWith(settings), impulse(100, 0, height)).left;
        for (std::size_t i = 0; i < unit.size(); ++i) ASSERT_EQ(loud[i], height * unit[i]) << height << " " << i;
    }
    const auto quiet = render(*makeWith(settings), impulse(100, 0, 0.5f)).left;
    EXPECT_NE(quiet[50], 0.5f * unit[50]);  // below 1 the envelope moves the cutoff
}

// The cutoff control is Freq + envelope * Mix, the envelope rising with the
// Attack coefficient exp(-1 / (44100 * Attack)) and falling with Release's. A
// second effect without envelope, its Freq set to that control before every
// sample, must give the same output. Without resonance, as an envelope that
// follows every sample modulates a resonant ladder into instability.
TEST(Ambrelic, EnvelopeFollowerDrivesTheCutoff) {
    const struct {
        float attack, release, mix;
    } cases[] = {{0.0f, 0.0f, 1.0f}, {0.05f, 0.22f, 1.0f}, {0.001f, 0.003f, 0.5f}, {0.0f, 0.01f, 0.99f}};
    auto input = noise(6000, 9);
    for (std::size_t i = 2000; i < 4000; ++i) input[i] = 0.0f;  // a silence to fall in
    for (const auto& c : cases) {
        auto effect = makeWith({{kAttack, c.attack}, {kRelease, c.release}, {kEnvelopeMix, c.mix}});
        const auto followed = render(*effect, input);
        const auto coefficient = [](float seconds) {
            return seconds > 0.0f ? static_cast<float>(std::exp(-1.0 / (44100.0 * seconds))) : 0.0f;
        };
        const double rise = coefficient(c.attack), fall = coefficient(c.release);
        auto driven = makeWith({});
        float envelope = 0.0f;
        const auto expected = renderSampleBySample(*driven, input, [&](std::size_t i) {
            const double magnitude = std::fabs(input[i]);
            const double k = envelope < magnitude ? rise : fall;
            envelope = static_cast<float>(k * envelope + (1.0 - k) * magnitude);
            driven->setParameter(kFilterFreq, static_cast<float>(envelope * static_cast<double>(c.mix)));
        });
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(followed.left[i], expected.left[i]) << c.attack << " " << c.release << " " << i;
        }
    }
}

// The cutoff control is Freq - (phase - 0.5) * Depth, the triangle phase
// stepping by LFO Freq / 441: a rising phase lowers the cutoff.
TEST(Ambrelic, LfoSweepsTheCutoffDownWhileItsPhaseRises) {
    const struct {
        float freq, lfoFreq, depth;
    } cases[] = {{0.5f, 1.0f, 1.0f}, {0.85f, 0.29f, 0.94f}, {0.44f, 0.95f, 0.97f}};
    const auto input = noise(4000, 4);  // several turns of the triangle at LFO Freq 1
    for (const auto& c : cases) {
        auto effect =
            makeWith({{kFilterFreq, c.freq}, {kFilterRes, 0.7f}, {kLfoFreq, c.lfoFreq}, {kLfoDepth, c.depth}});
        const auto swept = render(*effect, input);
        auto driven = makeWith({{kFilterRes, 0.7f}});
        const auto expected = renderDrivenByTriangle(*driven, input, c.lfoFreq / 441.0, [&](double phase) {
            driven->setParameter(kFilterFreq, static_cast<float>(c.freq - (phase - 0.5) * c.depth));
        });
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(swept.left[i], expected.left[i]) << c.lfoFreq << " " << i;
        }
    }
}

// Values a host should not send behave as the nearest value that keeps the
// envelope a mean of its inputs, the filter and the feedback loop stable and
// NaN out of the state.
TEST(Ambrelic, OutOfRangeValuesBehaveAsTheirLimit) {
    const OutOfRangeCase cases[] = {
        {kAttack, -0.5f, 0.0f},      {kAttack, -0.0f, 0.0f},     {kAttack, kNaN, 0.0f},
        {kRelease, -kInfinity, 0.0f}, {kRelease, kNaN, 0.0f},    {kFilterRes, -3.0f, 0.0f},
        {kFilterRes, kNaN, 0.0f},    {kFilterRes, 7.0f, 1.0f},   {kFeedback, kNaN, 0.0f},
        {kFeedback, -2.0f, 0.0f},    {kFeedback, kInfinity, 1.0f}, {kDelayTime, kNaN, 0.0f},
        {kDelayTime, -1.0f, 0.0f},   {kDelayTime, kInfinity, 10.0f},
    };
    const auto input = noise(50000, 2);
    for (const auto& c : cases) expectBehavesAsEquivalent<AmbrelicEffect>(2, c, input);
}

}  // namespace
