#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "effects/quorvane/bin_math.h"

namespace {

using namespace quorvane;

constexpr double kPi = std::numbers::pi;
constexpr float kBinSpacing = 44100.0f / 1024.0f;
constexpr float kHopRate = 44100.0f / 256.0f;
constexpr double kPhaseStepToHz = kHopRate / (2.0 * kPi);
constexpr double kHzToPhaseStep = 2.0 * kPi / kHopRate;
constexpr int kBins = 513;  // odd: the last bin goes through the one-bin path

// Two floats that differ at most by the rounding of values computed with
// slightly different (1e-9) arithmetic.
void expectWithinRounding(float actual, float expected, const char* what, int bin) {
    const float tolerance = 2.0f * std::max(std::numeric_limits<float>::min(),
                                            std::fabs(expected) * std::numeric_limits<float>::epsilon());
    ASSERT_NEAR(actual, expected, tolerance) << what << " of bin " << bin;
}

TEST(SpectralMath, ArcTangentMatchesTheLibrary) {
    const double magnitudes[] = {1e-30, 1e-10, 0.001, 1.0, 37.5, 1e6, 1e30};
    double worst = 0.0;
    for (const double magnitude : magnitudes) {
        for (int step = 0; step < 4000; ++step) {
            const double angle = -kPi + 2.0 * kPi * step / 4000.0;
            const double x = magnitude * std::cos(angle), y = magnitude * std::sin(angle);
            worst = std::max(worst, std::fabs(spectral::atan2(y, x) - std::atan2(y, x)));
        }
    }
    EXPECT_LT(worst, 1e-9);
    const struct {
        double y, x;
    } axes[] = {{0.0, 0.0}, {0.0, 1.0}, {1.0, 0.0}, {0.0, -1.0}, {-1.0, 0.0}, {-0.0, 1.0}, {2.0, 2.0}, {-3.0, -3.0}};
    for (const auto& a : axes) EXPECT_NEAR(spectral::atan2(a.y, a.x), std::atan2(a.y, a.x), 1e-15) << a.y << " " << a.x;
}

TEST(SpectralMath, SineAndCosineMatchTheLibrary) {
    double worst = 0.0;
    for (int step = -200000; step <= 200000; ++step) {
        const double theta = step * 0.0025137;  // -503 .. 503, the vocoder's range and beyond
        const auto result = spectral::sinCos(theta);
        worst = std::max({worst, std::fabs(result.sin - std::sin(theta)), std::fabs(result.cos - std::cos(theta))});
    }
    EXPECT_LT(worst, 1e-11);
    for (const double theta : {0.0, kPi / 4, kPi / 2, kPi, 3 * kPi / 2, 1e5 + 0.3, -98765.4321}) {
        EXPECT_NEAR(spectral::sinCos(theta).sin, std::sin(theta), 1e-11) << theta;
        EXPECT_NEAR(spectral::sinCos(theta).cos, std::cos(theta), 1e-11) << theta;
    }
}

std::vector<float> randomBins(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-3.0f, 3.0f);
    std::vector<float> frame(2 * kBins);
    for (int k = 0; k < kBins; ++k) {
        const bool silent = k % 7 == 3;
        frame[2 * k] = silent ? 1e-12f : value(random);
        frame[2 * k + 1] = silent ? 0.0f : value(random);
    }
    return frame;
}

// The analysis step written out with the library's functions.
void referenceAmplitudeFrequency(std::vector<float>& frame, std::vector<float>& previous) {
    for (int k = 0; k < kBins; ++k) {
        const double x = frame[2 * k], y = frame[2 * k + 1];
        const auto amplitude = static_cast<float>(std::sqrt(x * x + y * y));
        double step = 0.0;
        if (amplitude >= kSilentAmplitude) {
            const double phase = std::atan2(y, x);
            step = phase - previous[k];
            previous[k] = static_cast<float>(phase);
        }
        if (step > kPi) step -= 2.0 * kPi;
        if (step < -kPi) step += 2.0 * kPi;
        frame[2 * k] = amplitude;
        frame[2 * k + 1] = static_cast<float>(step * kPhaseStepToHz + k * static_cast<double>(kBinSpacing));
    }
}

TEST(SpectralMath, AmplitudeAndFrequencyAgreeWithTheLibraryToFloatRounding) {
    std::vector<float> previous(kBins, 0.0f), referencePrevious(kBins, 0.0f);
    for (std::uint32_t frameNumber = 1; frameNumber <= 5; ++frameNumber) {
        auto frame = randomBins(frameNumber);
        auto reference = frame;
        toAmplitudeFrequency(frame.data(), previous.data(), kBins, kPhaseStepToHz, kBinSpacing);
        referenceAmplitudeFrequency(reference, referencePrevious);
        for (int k = 0; k < kBins; ++k) {
            ASSERT_EQ(frame[2 * k], reference[2 * k]) << "amplitude of bin " << k;
            expectWithinRounding(frame[2 * k + 1], reference[2 * k + 1], "frequency", k);
            expectWithinRounding(previous[k], referencePrevious[k], "phase", k);
        }
    }
    // Silent bins report their centre frequency and keep their phase.
    EXPECT_EQ(previous[3], referencePrevious[3]);
}

TEST(SpectralMath, AmplitudeAndPhase) {
    auto frame = randomBins(9);
    const auto input = frame;
    toAmplitudePhase(frame.data(), kBins);
    for (int k = 0; k < kBins; ++k) {
        const double x = input[2 * k], y = input[2 * k + 1];
        const auto amplitude = static_cast<float>(std::sqrt(x * x + y * y));
        ASSERT_EQ(frame[2 * k], amplitude) << k;
        const float phase = amplitude >= kSilentAmplitude ? static_cast<float>(std::atan2(y, x)) : 0.0f;
        expectWithinRounding(frame[2 * k + 1], phase, "phase", k);
    }
}

TEST(SpectralMath, ResynthesisAgreesWithTheLibraryToFloatRounding) {
    std::mt19937 random(4);
    std::uniform_real_distribution<float> offset(-80.0f, 80.0f);
    std::vector<float> running(kBins, 0.0f), referenceRunning(kBins, 0.0f);
    for (int frameNumber = 0; frameNumber < 5; ++frameNumber) {
        std::vector<float> frame(2 * kBins), reference;
        for (int k = 0; k < kBins; ++k) {
            frame[2 * k] = 0.5f + 0.001f * static_cast<float>(k);
            frame[2 * k + 1] = static_cast<float>(k) * kBinSpacing + offset(random);
        }
        reference = frame;
        fromAmplitudeFrequency(frame.data(), running.data(), kBins, kBinSpacing, kHopRate, kHzToPhaseStep);
        for (int k = 0; k < kBins; ++k) {
            referenceRunning[k] = static_cast<float>(
                referenceRunning[k] + (reference[2 * k + 1] - k * static_cast<double>(kBinSpacing)));
            const double theta = referenceRunning[k] * kHzToPhaseStep;
            const double amplitude = reference[2 * k];
            ASSERT_EQ(running[k], referenceRunning[k]) << k;  // far below the wrap: the same accumulation
            expectWithinRounding(frame[2 * k], static_cast<float>(amplitude * std::cos(theta)), "real part", k);
            expectWithinRounding(frame[2 * k + 1], static_cast<float>(amplitude * std::sin(theta)), "imaginary part", k);
        }
    }
}

// A bin 43 Hz off its centre for 200000 frames (about 19 minutes): a plain
// float accumulator would have grown to 8.6 million with steps of 1.
TEST(SpectralMath, RunningPhaseStaysBoundedAndInTune) {
    constexpr int kBin = 100;
    std::vector<float> running(kBin + 1, 0.0f);
    double exactTurns = 0.0;
    for (int frameNumber = 1; frameNumber <= 200000; ++frameNumber) {
        std::vector<float> frame(2 * (kBin + 1), 0.0f);
        frame[2 * kBin] = 1.0f;
        frame[2 * kBin + 1] = kBin * kBinSpacing + 43.0f;
        fromAmplitudeFrequency(frame.data(), running.data(), kBin + 1, kBinSpacing, kHopRate, kHzToPhaseStep);
        exactTurns += (static_cast<double>(kBin * kBinSpacing + 43.0f) - kBin * static_cast<double>(kBinSpacing)) /
                      kHopRate;
        ASSERT_LT(std::fabs(running[kBin]), (kPhaseWrapTurns + 1.0) * kHopRate) << frameNumber;
        if (frameNumber == 200000) {
            // The bin's angle is the one the exact running phase stands for.
            const double angle = running[kBin] * kHzToPhaseStep;
            const double exactAngle = 2.0 * kPi * std::remainder(exactTurns, 1.0);
            EXPECT_NEAR(std::remainder(angle - exactAngle, 2.0 * kPi), 0.0, 0.01);
            EXPECT_NEAR(frame[2 * kBin], std::cos(angle), 1e-6);
        }
    }
}

TEST(SpectralMath, NonFiniteFrequencyRestartsTheRunningPhase) {
    const float values[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 3.0e38f};
    for (const float value : values) {
        std::vector<float> running(3, 5.0f);
        std::vector<float> frame = {1.0f, value, 1.0f, value, 1.0f, value};
        fromAmplitudeFrequency(frame.data(), running.data(), 3, kBinSpacing, kHopRate, kHzToPhaseStep);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(running[k], 0.0f) << value;
            EXPECT_EQ(frame[2 * k], 1.0f) << value;
            EXPECT_EQ(frame[2 * k + 1], 0.0f) << value;
        }
    }
}

}  // namespace
