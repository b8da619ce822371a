// The recurring signal-processing pieces: triangle LFO, delay ring, ladder.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dsp/cached_quotient.h"
#include "dsp/delay_ring.h"
#include "dsp/ladder_lowpass.h"
#include "dsp/limited.h"
#include "dsp/triangle_lfo.h"

namespace {

TEST(TriangleLfo, ReflectsStrictlyPastEitherEnd) {
    dsp::TriangleLfo lfo;
    EXPECT_EQ(lfo.getPhase(), 0.0f);
    EXPECT_TRUE(lfo.isRising());
    // Steps of 0.25 land exactly on 1.0, which does not turn the LFO yet.
    const float expected[] = {0.25f, 0.5f, 0.75f, 1.0f, 0.75f, 0.5f, 0.25f, 0.0f, 0.25f};
    const bool rising[] = {true, true, true, true, false, false, false, false, true};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(lfo.advance(0.25), expected[i]) << i;
        EXPECT_EQ(lfo.isRising(), rising[i]) << i;
    }
    dsp::TriangleLfo odd;
    odd.advance(0.75);
    EXPECT_EQ(odd.advance(0.75), 0.5f);  // 1.5 reflects to 0.5
    EXPECT_FALSE(odd.isRising());
    EXPECT_EQ(odd.advance(0.75), 0.25f);  // -0.25 reflects to 0.25
    EXPECT_TRUE(odd.isRising());
}

TEST(TriangleLfo, PeriodFollowsTheStep) {
    // Step 1/441: the direction turns about every 441 samples.
    dsp::TriangleLfo lfo;
    std::vector<int> turns;
    bool rising = true;
    for (int s = 1; s <= 2000; ++s) {
        lfo.advance(1.0 / 441.0);
        if (lfo.isRising() != rising) {
            turns.push_back(s);
            rising = lfo.isRising();
        }
    }
    ASSERT_GE(turns.size(), 4u);
    for (std::size_t i = 0; i < turns.size(); ++i) EXPECT_NEAR(turns[i], 441.0 * static_cast<double>(i + 1) + 1.0, 2.0) << i;
}

TEST(TriangleLfo, HostileStepsKeepThePhaseInRange) {
    for (double step : {1.0e30, -1.0e30, std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN(), 3.7, -0.3}) {
        dsp::TriangleLfo lfo;
        for (int s = 0; s < 100; ++s) {
            const float phase = lfo.advance(step);
            ASSERT_TRUE(phase >= 0.0f && phase <= 1.0f) << step;
        }
        // A musical step afterwards moves it normally again.
        const float before = lfo.getPhase();
        EXPECT_NE(lfo.advance(0.001), before);
    }
}

// Writes 0, 1, 2, ... so a read tells how far back it lies.
template <int Length, int Storage>
void fillWithSampleNumbers(dsp::DelayRing<Length, Storage>& ring, int count) {
    for (int s = 0; s < count; ++s) {
        ring.current() = static_cast<float>(s);
        ring.advance();
    }
}

TEST(DelayRing, TapReadsTheSampleWrittenCeilOfTheDistanceAgo) {
    dsp::DelayRing<100> ring;
    fillWithSampleNumbers(ring, 150);  // next write is sample 150, at position 50
    EXPECT_EQ(ring.getWritePosition(), 50.0f);
    const struct {
        double distance;
        float sample;
    } cases[] = {{1.0, 149.0f}, {44.1, 105.0f}, {22.05, 127.0f}, {49.5, 100.0f},
                 {50.0, 100.0f}, {50.5, 99.0f}, {60.0, 90.0f}, {99.0, 51.0f}};
    for (const auto& c : cases) EXPECT_EQ(ring.tap(c.distance), c.sample) << c.distance;
}

TEST(DelayRing, PositionRoundingToTheRingLengthReadsEntryZero) {
    dsp::DelayRing<44100> ring;
    fillWithSampleNumbers(ring, 44100);  // back at position 0; entry 0 holds sample 0
    ASSERT_EQ(ring.getWritePosition(), 0.0f);
    ring.current() = 0.0f;
    // -0.0002 + 44100 rounds to exactly 44100.0 in 32-bit float.
    EXPECT_EQ(ring.tapPosition(0.0002), 44100.0f);
    EXPECT_EQ(ring.tap(0.0002), 0.0f);
    dsp::DelayRing<44100> fresh;
    fresh.current() = 5.0f;
    EXPECT_EQ(fresh.tap(0.0002), 5.0f);
}

TEST(DelayRing, LongerStorageKeepsTheEntryPastTheRing) {
    dsp::DelayRing<44100, 44105> ring;
    ring.current() = 5.0f;
    // Entry 44100 is never written: it reads as 0, not as entry 0.
    EXPECT_EQ(ring.tap(0.0002), 0.0f);
}

TEST(DelayRing, HostileDistancesStayInsideTheRing) {
    dsp::DelayRing<100> ring;
    fillWithSampleNumbers(ring, 130);
    for (double distance : {-5.0, -1.0e30, 1.0e30, 1000.0, std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()}) {
        const float position = ring.tapPosition(distance);
        EXPECT_TRUE(position >= 0.0f && position < 100.0f) << distance;
        ring.tap(distance);
    }
    EXPECT_EQ(ring.tap(-5.0), ring.tap(0.0));
    EXPECT_EQ(ring.tap(1.0e30), ring.tap(99.0));
}

std::vector<float> ladderResponse(float cutoff, double resonance) {
    dsp::LadderLowPass filter;
    std::vector<float> out;
    for (int s = 0; s < 200; ++s) {
        filter.process(s == 0 ? 1.0f : 0.0f, cutoff, resonance);
        out.push_back(filter.output());
    }
    return out;
}

TEST(LadderLowPass, CutoffAndFeedbackAreLimited) {
    EXPECT_EQ(ladderResponse(0.02f, 0.5), ladderResponse(0.1f, 0.5));
    EXPECT_EQ(ladderResponse(-3.0f, 0.5), ladderResponse(0.1f, 0.5));
    EXPECT_EQ(ladderResponse(7.0f, 0.5), ladderResponse(1.0, 0.5));
    EXPECT_EQ(ladderResponse(0.5, 2.0), ladderResponse(0.5, 1.0));
    EXPECT_EQ(ladderResponse(std::numeric_limits<float>::quiet_NaN(), 0.5), ladderResponse(0.1f, 0.5));
    EXPECT_EQ(ladderResponse(0.5, std::numeric_limits<double>::quiet_NaN()), ladderResponse(0.5, 0.0));
    EXPECT_NE(ladderResponse(0.5, 0.9), ladderResponse(0.5, 0.0));
}

TEST(LadderLowPass, FirstSampleFollowsTheStageEquations) {
    dsp::LadderLowPass filter;
    const double f = 1.16 * 0.5f;
    const float u = filter.process(1.0f, 0.5f, 0.8);
    EXPECT_EQ(u, static_cast<float>(0.35013 * f * f * f * f));
    // Each stage adds its input to 0.3 of its previous input and (1 - f) of
    // its previous output, all 0 before the first sample: u passes through.
    EXPECT_EQ(filter.output(), u);
    const float u2 = filter.process(0.0f, 0.5f, 0.8);
    const double fb = 4.0 * 0.8 * (1.0 - 0.15 * f * f);
    EXPECT_EQ(u2, static_cast<float>((0.0 - fb * u) * 0.35013 * (f * f) * (f * f)));
}

}  // namespace

namespace {

TEST(LadderLowPass, StartsAgainFromRestAfterRunningAway) {
    dsp::LadderLowPass filter;
    filter.process(3.0e38f, 1.0f, 1.0);
    filter.process(3.0e38f, 1.0f, 1.0);  // overflows to infinity
    for (int s = 0; s < 10; ++s) {
        filter.process(0.0f, 1.0f, 1.0);
        EXPECT_TRUE(std::isfinite(filter.output())) << s;
    }
    filter.process(1.0f, 0.5f, 0.0);
    EXPECT_GT(filter.output(), 0.0f);
}

// Equal values reuse the last quotient; any other value, -0 and NaN included,
// is divided afresh, so the answer is always the exact quotient.
TEST(CachedQuotient, AnswersTheExactQuotientOfEveryValue) {
    dsp::CachedQuotient quotient(4410.0);
    const float values[] = {0.0f, 0.3f, 0.3f, 1.0f, 0.3f, 0.0f, -2.0f, 1.0e30f};
    for (const float value : values) EXPECT_EQ(quotient.of(value), value / 4410.0) << value;
    EXPECT_TRUE(std::signbit(quotient.of(-0.0f)));
    EXPECT_TRUE(std::isnan(quotient.of(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(quotient.of(1.0f), 1.0 / 4410.0);
}

TEST(Limits, UnitLimitAndSilenceForNonFiniteSamples) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float value, unit, finite;
    } cases[] = {{0.25f, 0.25f, 0.25f}, {0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f}, {-3.0f, 0.0f, -3.0f},
                 {7.0f, 1.0f, 7.0f},    {inf, 1.0f, 0.0f},  {-inf, 0.0f, 0.0f}, {nan, 0.0f, 0.0f},
                 {std::numeric_limits<float>::max(), 1.0f, std::numeric_limits<float>::max()}};
    for (const auto& c : cases) {
        EXPECT_EQ(dsp::limitedToUnit(c.value), c.unit) << c.value;
        EXPECT_EQ(dsp::finiteOrSilence(c.value), c.finite) << c.value;
    }
}

}  // namespace
