#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "effects/quorvane/phase_vocoder.h"
#include "effects/quorvane/bin_math.h"

namespace {

using quorvane::PhaseVocoder;

TEST(PhaseVocoder, InitAcceptsAndRejects) {
    const struct {
        int rate, fftLength, hop, mode;
        bool accepted;
        int size, hopSize;
    } cases[] = {
        {44100, 1024, 256, 2, true, 1024, 256},
        {44100, 1023, 256, 2, true, 1024, 256},  // rounded up to even
        {44100, 1024, 0, 2, true, 1024, 256},    // 0 picks a quarter of the FFT length
        {44100, 3, 0, 1, true, 4, 1},
        {44100, 32768, 256, 2, true, 32768, 256},
        {44100, 32770, 256, 2, false, 0, 0},  // half exceeds 16384
        {44100, 32769, 256, 2, false, 0, 0},  // rounded up to 32770
        {44100, 2147483647, 256, 2, false, 0, 0},
        {44100, 0, 256, 2, false, 0, 0},
        {44100, 1024, -1, 2, false, 0, 0},
        {44100, 1024, 256, 3, false, 0, 0},
        {44100, 1024, 256, 0, false, 0, 0},
    };
    for (const auto& c : cases) {
        PhaseVocoder vocoder;
        EXPECT_EQ(vocoder.init(c.rate, c.fftLength, c.hop, c.mode), c.accepted) << c.fftLength << " " << c.hop;
        if (c.accepted) {
            EXPECT_EQ(vocoder.fftSize(), c.size);
            EXPECT_EQ(vocoder.hopSize(), c.hopSize);
        }
    }
}

TEST(PhaseVocoder, AnalysisWindowSumsToTwoAndIsSymmetricAboutMinusHalf) {
    PhaseVocoder vocoder;
    ASSERT_TRUE(vocoder.init(44100, 1024, 256, 2));
    double sum = 0.0;
    for (int i = -1024; i <= 1024; ++i) sum += vocoder.analysisWindowAt(i);
    EXPECT_NEAR(sum, 2.0, 1e-5);
    EXPECT_EQ(vocoder.analysisWindowAt(1024), 0.0f);
    EXPECT_EQ(vocoder.synthesisWindowAt(1024), 0.0f);
    for (int i = 1; i <= 1024; ++i) {
        ASSERT_EQ(vocoder.analysisWindowAt(-i), vocoder.analysisWindowAt(i - 1)) << i;
        ASSERT_EQ(vocoder.synthesisWindowAt(-i), vocoder.synthesisWindowAt(i - 1)) << i;
    }
    EXPECT_GT(vocoder.analysisWindowAt(0), vocoder.analysisWindowAt(500));
}

TEST(PhaseVocoder, ResynthesisEmitsNothingForNineFramesThenOneHopEach) {
    PhaseVocoder vocoder;
    ASSERT_TRUE(vocoder.init(44100, 1024, 256, 2));
    std::vector<float> frame(1026, 0.0f), output(256);
    for (int call = 1; call <= 20; ++call) {
        EXPECT_EQ(vocoder.synthesize(frame.data(), output.data(), 0), call <= 9 ? 0 : 256) << call;
    }
}

TEST(PhaseVocoder, SilentBinsReportTheirCentreFrequency) {
    PhaseVocoder vocoder;
    ASSERT_TRUE(vocoder.init(44100, 1024, 256, 2));
    std::vector<float> silence(256, 0.0f), frame(1026);
    for (int call = 0; call < 3; ++call) vocoder.analyze(silence.data(), frame.data(), 256, 0);
    for (int k = 0; k <= 512; ++k) {
        EXPECT_EQ(frame[2 * static_cast<std::size_t>(k)], 0.0f);
        EXPECT_FLOAT_EQ(frame[2 * static_cast<std::size_t>(k) + 1], static_cast<float>(k * (44100.0 / 1024.0)));
    }
}

TEST(PhaseVocoder, StationarySineAtABinCentreReadsThatFrequency) {
    PhaseVocoder vocoder;
    ASSERT_TRUE(vocoder.init(44100, 1024, 256, 2));
    const int bin = 40;
    const double frequency = bin * 44100.0 / 1024.0;
    std::vector<float> block(256), frame(1026);
    for (int call = 0; call < 16; ++call) {
        for (int i = 0; i < 256; ++i) {
            block[static_cast<std::size_t>(i)] =
                static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * frequency * (call * 256 + i) / 44100.0));
        }
        vocoder.analyze(block.data(), frame.data(), 256, 0);
    }
    EXPECT_NEAR(frame[2 * bin + 1], frequency, 0.01);
    EXPECT_GT(frame[2 * bin], 0.2f);
}

// Frames at whatever absolute time: whole ring lengths later the rings and
// frames line up as before, so the output is the same sample for sample.
TEST(PhaseVocoder, ClocksKeepWorkingPastTwoToTheThirtyOne) {
    PhaseVocoder plain, late;
    ASSERT_TRUE(plain.init(44100, 1024, 256, 2));
    ASSERT_TRUE(late.init(44100, 1024, 256, 2));
    std::vector<float> frame(1026, 0.0f), a(256), b(256);
    for (int call = 0; call < 12; ++call) {
        plain.synthesize(frame.data(), a.data(), 0);
        late.synthesize(frame.data(), b.data(), 0);
    }
    late.advanceClocksByRings((std::int64_t{1} << 31) / 8192 + 1);
    ASSERT_GT(late.getOutputTime(), std::int64_t{1} << 31);
    for (int call = 0; call < 40; ++call) {
        for (int k = 0; k <= 512; ++k) {
            frame[2 * static_cast<std::size_t>(k)] = static_cast<float>((call + k) % 7) * 0.01f;
            frame[2 * static_cast<std::size_t>(k) + 1] = static_cast<float>(k * 43.06640625 + call);
        }
        ASSERT_EQ(plain.synthesize(frame.data(), a.data(), 0), 256);
        ASSERT_EQ(late.synthesize(frame.data(), b.data(), 0), 256);
        ASSERT_EQ(a, b) << call;
    }
}

// An analysis and a resynthesis instance driven frame by frame with the same
// data, nothing changed in between: the input comes back delayed (input time
// p leaves in the call after it arrived by nine frames) with unit gain.
TEST(PhaseVocoder, AnalysisThenResynthesisGivesTheInputBackDelayed) {
    PhaseVocoder analysis, resynthesis;
    ASSERT_TRUE(analysis.init(44100, 1024, 256, 2));
    ASSERT_TRUE(resynthesis.init(44100, 1024, 256, 2));
    std::vector<float> input(256 * 60), output;
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = static_cast<float>(0.4 * std::sin(0.031 * static_cast<double>(i)) +
                                      0.3 * std::sin(0.71 * static_cast<double>(i) + 1.0));
    }
    std::vector<float> frame(1026), block(256);
    for (std::size_t call = 0; call < input.size() / 256; ++call) {
        analysis.analyze(input.data() + 256 * call, frame.data(), 256, 0);
        const int emitted = resynthesis.synthesize(frame.data(), block.data(), 0);
        output.insert(output.end(), block.begin(), block.begin() + emitted);
    }
    // The emitted stream starts at absolute time 0, so sample q is input sample q.
    ASSERT_EQ(output.size(), input.size() - 9 * 256);
    double worst = 0.0;
    for (std::size_t q = 0; q < output.size(); ++q) worst = std::max(worst, std::fabs(output[q] - input[q]) / 0.7);
    EXPECT_LT(worst, 0.001);
}

}  // namespace
