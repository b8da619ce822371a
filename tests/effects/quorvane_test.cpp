#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "effects/quorvane/quorvane_effect.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/effect_driver.h"
#include "tests/support/parameter_driving.h"

namespace {

using namespace quorvane;
using testing_support::noise;
using testing_support::render;

std::unique_ptr<QuorvaneEffect> withParams(float shift, float centre, float width, float modFreq, float depth) {
    return testing_support::makeEffectWith<QuorvaneEffect>(
        {{kPitchShift, shift}, {kBandCentre, centre}, {kBandWidth, width}, {kModulationFreq, modFreq},
         {kModulationDepth, depth}});
}

std::vector<float> sine(double frequency, std::size_t length, double level = 0.5) {
    std::vector<float> signal(length);
    for (std::size_t i = 0; i < length; ++i) {
        signal[i] = static_cast<float>(level *
                                       std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / 44100.0));
    }
    return signal;
}

// Magnitude of the signal's component at `frequency`, over [start, end).
double levelAt(const std::vector<float>& signal, double frequency, std::size_t start, std::size_t end) {
    std::complex<double> sum = 0.0;
    for (std::size_t i = start; i < end; ++i) {
        sum += static_cast<double>(signal[i]) *
               std::polar(1.0, -2.0 * std::numbers::pi * frequency * static_cast<double>(i) / 44100.0);
    }
    return 2.0 * std::abs(sum) / static_cast<double>(end - start);
}

TEST(Quorvane, NoShiftIsTheInputDelayedBy2561Samples) {
    for (const auto& others : {std::array{0.5f, 0.3f, 0.0f, 0.9f}, std::array{0.06f, 0.23f, 0.03f, 0.97f},
                               std::array{1.0f, 1.0f, 1.0f, 1.0f}}) {
        auto effect = withParams(0.5f, others[0], others[1], others[2], others[3]);
        const auto input = noise(12000, 5);
        const auto out = render(*effect, input);
        for (std::size_t i = 0; i < 2560; ++i) ASSERT_EQ(out.left[i], 0.0f) << i;
        for (std::size_t i = 255 + kLatencySamples; i < input.size(); ++i) {
            ASSERT_NEAR(out.left[i], input[i - kLatencySamples], 0.001f) << i;
            ASSERT_EQ(out.right[i], out.left[i]) << i;
        }
    }
}

TEST(Quorvane, HightoneLiftsAHighSineAnOctave) {
    auto effect = testing_support::makeEffect<QuorvaneEffect>();
    // The band covers bins 230 to 512 (9.9 kHz up), fed from bins 115 to 256:
    // a 6 kHz sine below the band stays and gains its octave inside it.
    effect->setProgram(1);
    const auto out = render(*effect, sine(6000.0, 30000));
    EXPECT_GT(levelAt(out.left, 12000.0, 8000, 30000), 0.2);
    EXPECT_NEAR(levelAt(out.left, 6000.0, 8000, 30000), 0.5, 0.01);
    EXPECT_LT(levelAt(out.left, 9000.0, 8000, 30000), 0.01);
}

TEST(Quorvane, WholeSpectrumGoesAnOctaveUpOrDown) {
    const struct {
        float shift;
        double in, out;
    } cases[] = {{1.0f, 1000.0, 2000.0}, {0.0f, 2000.0, 1000.0}};
    for (const auto& c : cases) {
        auto effect = withParams(c.shift, 0.5f, 1.0f, 0.0f, 0.0f);  // centre bin 256, half-width 512
        const auto out = render(*effect, sine(c.in, 30000));
        EXPECT_GT(levelAt(out.left, c.out, 8000, 30000), 0.2) << c.shift;
        EXPECT_LT(levelAt(out.left, c.in, 8000, 30000), 0.02) << c.shift;
    }
}

// The band sits at Band Centre - 0.5 * Depth and the LFO moves it up first,
// reaching the top after 2205 samples at Modulation Freq 1.
TEST(Quorvane, TheLfoClimbsForHalfACycleThenFalls) {
    auto effect = withParams(0.5f, 0.5f, 0.1f, 1.0f, 1.0f);
    std::vector<float> silence(2205, 0.0f);
    render(*effect, silence);
    EXPECT_NEAR(effect->getLfo().getPhase(), 1.0f, 1e-3f);
    render(*effect, std::vector<float>(2205, 0.0f));
    EXPECT_NEAR(effect->getLfo().getPhase(), 0.0f, 1e-3f);
    EXPECT_TRUE(effect->getLfo().isRising());
}

TEST(Quorvane, StaysInTuneAfterTheClocksPassTwoToTheThirtyOne) {
    auto plain = withParams(1.0f, 0.5f, 1.0f, 0.0f, 0.0f);
    auto late = withParams(1.0f, 0.5f, 1.0f, 0.0f, 0.0f);
    const auto input = sine(1000.0, 20000);
    const std::vector<float> start(input.begin(), input.begin() + 4096);
    const std::vector<float> rest(input.begin() + 4096, input.end());
    render(*plain, start);
    render(*late, start);
    late->getEngine()->advanceClocksByRings((std::int64_t{1} << 31) / 8192 + 1);
    EXPECT_EQ(render(*plain, rest).left, render(*late, rest).left);
}

TEST(Quorvane, BothEntriesRunTheSameLoopAndAllocateNothing) {
    const auto input = noise(6000, 3);
    std::vector<float> left(input.size()), right(input.size());
    for (std::int32_t program = 0; program < shell::kProgramCount; ++program) {
        auto replacing = testing_support::makeEffect<QuorvaneEffect>();
        auto accumulating = testing_support::makeEffect<QuorvaneEffect>();
        replacing->setProgram(program);
        accumulating->setProgram(program);
        const float prefill = 0.25f;
        const auto stored = render(*replacing, input, false, 0.0f, 256);
        const auto added = render(*accumulating, input, true, prefill, 256);
        float* inputs[] = {const_cast<float*>(input.data())};
        float* outputs[] = {left.data(), right.data()};
        const testing_support::AllocationScope processing;
        replacing->processReplacing(inputs, outputs, static_cast<std::int32_t>(input.size()));
        accumulating->process(inputs, outputs, static_cast<std::int32_t>(input.size()));
        EXPECT_EQ(processing.allocations(), 0u) << "program " << program;
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(stored.right[i], stored.left[i]) << "program " << program << " sample " << i;
            ASSERT_EQ(added.left[i], prefill + stored.left[i]) << "program " << program << " sample " << i;
            ASSERT_EQ(added.right[i], prefill + stored.right[i]) << "program " << program << " sample " << i;
        }
    }
}

#if defined(__SSE__)
TEST(Quorvane, RestoresTheHostsFloatingPointMode) {
    auto effect = testing_support::makeEffect<QuorvaneEffect>();
    effect->setProgram(4);
    const unsigned hostMode = _mm_getcsr();
    render(*effect, noise(3000, 2));
    EXPECT_EQ(_mm_getcsr(), hostMode);
}
#endif

// Without memory for its engine the effect still loads, and passes the input
// at a tenth to the first output only.
TEST(Quorvane, FallsBackToTheScaledInputWithoutAnEngine) {
    EXPECT_TRUE(testing_support::makeEffect<QuorvaneEffect>()->hasEngine());
    bool sawFallback = false;
    for (std::size_t failing = 1; failing < 64 && !sawFallback; ++failing) {
        std::unique_ptr<QuorvaneEffect> effect;
        testing_support::failAllocationAfter(failing);
        try {
            effect = testing_support::makeEffect<QuorvaneEffect>();
        } catch (const std::bad_alloc&) {
            // that allocation belonged to the shell: the effect cannot exist
        }
        testing_support::failAllocationAfter(0);
        if (!effect || effect->hasEngine()) continue;
        sawFallback = true;
        const auto input = noise(700, 8);
        const auto stored = render(*effect, input);
        const auto added = render(*effect, input, true, 0.5f);
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(stored.left[i], kFallbackGain * input[i]) << i;
            ASSERT_EQ(stored.right[i], 0.0f) << i;
            ASSERT_EQ(added.left[i], 0.5f + kFallbackGain * input[i]) << i;
            ASSERT_EQ(added.right[i], 0.5f) << i;
        }
    }
    EXPECT_TRUE(sawFallback);
}

// Values a host should not send, in each parameter: processing stays inside
// the spectrum and the output stays finite, also once the value is taken back.
TEST(Quorvane, HostileParametersNeitherCrashNorPoisonTheEngine) {
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), -16.0f, 65.0f, -1.0e30f, 1.0e30f};
    const auto input = noise(9000, 6);
    for (int param = 0; param < kNumParams; ++param) {
        for (const float value : hostile) {
            auto effect = testing_support::makeEffect<QuorvaneEffect>();
            effect->setProgram(3);
            effect->setParameter(param, value);
            const auto during = render(*effect, input, false, 0.0f, 333);
            effect->setProgram(3);
            const auto after = render(*effect, input);
            for (std::size_t i = 0; i < input.size(); ++i) {
                ASSERT_TRUE(std::isfinite(during.left[i])) << param << " " << value << " " << i;
                ASSERT_LT(std::fabs(after.left[i]), 4.0f) << param << " " << value << " " << i;
            }
        }
    }
}

}  // namespace
