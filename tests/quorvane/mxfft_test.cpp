#include "effects/quorvane/mxfft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "tests/support/allocation_counter.h"

namespace {

using quorvane::fftComplex;
using quorvane::fftRealPass;
using Spectrum = std::vector<std::complex<double>>;

constexpr double pi = 3.141592653589793238462643383279502884;
constexpr double floatEpsilon = 1.0 / (1 << 23);

// Complex data in the interleaved layout the phase vocoder uses: element 2k
// is the real part and 2k+1 the imaginary part of value k.
std::vector<float> interleave(const Spectrum& values) {
    std::vector<float> frame(2 * values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        frame[2 * k] = static_cast<float>(values[k].real());
        frame[2 * k + 1] = static_cast<float>(values[k].imag());
    }
    return frame;
}

Spectrum deinterleave(const std::vector<float>& frame, std::size_t count) {
    Spectrum values(count);
    for (std::size_t k = 0; k < count; ++k) values[k] = {frame[2 * k], frame[2 * k + 1]};
    return values;
}

// Values with float components, so the reference sees exactly what the
// transform sees.
Spectrum randomValues(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    Spectrum values(count);
    for (auto& value : values) value = {uniform(generator), uniform(generator)};
    return values;
}

// Plain O(n^2) DFT in double: sum x[j] e^(sign 2 pi i jk/period) for k < bins.
Spectrum referenceDft(const Spectrum& x, int sign, std::size_t period, std::size_t bins) {
    Spectrum roots(period);
    for (std::size_t t = 0; t < period; ++t)
        roots[t] = std::polar(1.0, sign * 2.0 * pi * static_cast<double>(t) / static_cast<double>(period));
    Spectrum result(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        std::complex<double> sum = 0.0;
        for (std::size_t j = 0; j < x.size(); ++j) sum += x[j] * roots[(j * k) % period];
        result[k] = sum;
    }
    return result;
}

Spectrum referenceDft(const Spectrum& x, int sign) { return referenceDft(x, sign, x.size(), x.size()); }

double largestMagnitude(const Spectrum& values) {
    double largest = 0.0;
    for (const auto& value : values) largest = std::max(largest, std::abs(value));
    return largest;
}

// Float rounding of the output, grown by log2 n for the rounding of the input
// to the passes and kept relative to the largest value.
double tolerance(std::size_t n, const Spectrum& expected) {
    return 2.0 * floatEpsilon * std::max(1.0, std::log2(static_cast<double>(n))) *
           std::max(1.0, largestMagnitude(expected));
}

void expectNear(const Spectrum& actual, const Spectrum& expected, double allowed) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        ASSERT_NEAR(actual[k].real(), expected[k].real(), allowed) << "value " << k;
        ASSERT_NEAR(actual[k].imag(), expected[k].imag(), allowed) << "value " << k;
    }
}

Spectrum scaled(Spectrum values, double factor) {
    for (auto& value : values) value *= factor;
    return values;
}

// Runs `call` and returns what it wrote to standard error.
template <class Call>
std::string standardErrorOf(Call call) {
    ::testing::internal::CaptureStderr();
    call();
    return ::testing::internal::GetCapturedStderr();
}

// ---------------------------------------------------------------------------
// Complex transform

class ComplexLength : public ::testing::TestWithParam<int> {};

TEST_P(ComplexLength, ForwardAndInverseMatchTheDoublePrecisionDft) {
    const int n = GetParam();
    const auto size = static_cast<std::size_t>(n);
    const Spectrum input = randomValues(size, static_cast<unsigned>(n));
    std::vector<float> frame = interleave(input);

    fftComplex(frame.data(), frame.data() + 1, 1, n, 1, -2);
    const Spectrum forward = deinterleave(frame, size);
    const Spectrum expectedForward = referenceDft(input, -1);
    expectNear(forward, expectedForward, tolerance(size, expectedForward));

    fftComplex(frame.data(), frame.data() + 1, 1, n, 1, 2);
    expectNear(deinterleave(frame, size), input, tolerance(size, input));

    // The inverse on its own: conjugate exponent, scaled by 1/n.
    std::vector<float> again = interleave(input);
    fftComplex(again.data(), again.data() + 1, 1, n, 1, 2);
    const Spectrum expectedInverse = scaled(referenceDft(input, +1), 1.0 / n);
    expectNear(deinterleave(again, size), expectedInverse, tolerance(size, expectedInverse));
}

// Radices 2, 3, 4, 5 and 8, odd squares, generic odd primes alone and mixed,
// and lengths with many factors.
INSTANTIATE_TEST_SUITE_P(Lengths, ComplexLength,
                         ::testing::Values(2, 3, 4, 5, 6, 7, 8, 12, 15, 16, 32, 36, 49, 64, 81, 97, 121, 125, 128,
                                           221, 243, 256, 512, 1000, 1009, 1024, 2310, 4096, 4620));

// The passes run in double precision and round once on the way out, so at the
// vocoder's length every value lies within a float rounding of the exact one.
TEST(FftComplex, VocoderLengthIsExactToFloatRounding) {
    constexpr std::size_t n = 512;
    const Spectrum input = randomValues(n, 21);
    for (int sign : {-1, +1}) {
        SCOPED_TRACE(sign);
        std::vector<float> frame = interleave(input);
        fftComplex(frame.data(), frame.data() + 1, 1, static_cast<int>(n), 1, 2 * sign);
        const Spectrum expected = scaled(referenceDft(input, sign), sign < 0 ? 1.0 : 1.0 / n);
        const Spectrum result = deinterleave(frame, n);
        const double floor = 1e-12 * largestMagnitude(expected);
        for (std::size_t k = 0; k < n; ++k)
            ASSERT_LE(std::abs(result[k] - expected[k]), floatEpsilon * std::abs(expected[k]) + floor) << k;
    }
}

// Separate real and imaginary arrays take another load path than the
// interleaved frame; 512 has passes of its own.
TEST(FftComplex, SeparateArraysAndWiderStridesTransformBothWaysAndLeaveTheGapsAlone) {
    constexpr float gap = 12345.0f;
    for (int n : {60, 512}) {
        const Spectrum input = randomValues(static_cast<std::size_t>(n), 7);
        const Spectrum expected = referenceDft(input, -1);
        for (int stride : {1, 3}) {
            SCOPED_TRACE(testing::Message() << "length " << n << " stride " << stride);
            std::vector<float> re(static_cast<std::size_t>(n * stride), gap);
            std::vector<float> im(re.size(), gap);
            auto at = [stride](int k) { return static_cast<std::size_t>(k * stride); };
            auto values = [&] {
                Spectrum result(static_cast<std::size_t>(n));
                for (int k = 0; k < n; ++k) result[k] = {re[at(k)], im[at(k)]};
                return result;
            };
            for (int k = 0; k < n; ++k) {
                re[at(k)] = static_cast<float>(input[k].real());
                im[at(k)] = static_cast<float>(input[k].imag());
            }
            fftComplex(re.data(), im.data(), 1, n, 1, -stride);
            expectNear(values(), expected, tolerance(input.size(), expected));
            fftComplex(re.data(), im.data(), 1, n, 1, stride);
            expectNear(values(), input, tolerance(input.size(), input));
            for (std::size_t i = 0; i < re.size(); ++i) {
                if (i % static_cast<std::size_t>(stride) == 0) continue;
                ASSERT_EQ(re[i], gap);
                ASSERT_EQ(im[i], gap);
            }
        }
    }
}

TEST(FftComplex, NegativeLengthTransformsItsMagnitude) {
    const Spectrum input = randomValues(12, 3);
    std::vector<float> negative = interleave(input);
    std::vector<float> positive = negative;
    fftComplex(negative.data(), negative.data() + 1, 1, -12, 1, -2);
    fftComplex(positive.data(), positive.data() + 1, 1, 12, 1, -2);
    EXPECT_EQ(negative, positive);
}

// Element j of sequence a in segment g lies at a + nspn * (j + len * g): every
// such sequence is transformed on its own.
struct Layout {
    int segments;
    int length;
    int spacing;
};

class SegmentsAndSpacing : public ::testing::TestWithParam<Layout> {};

TEST_P(SegmentsAndSpacing, TransformEverySequenceOnItsOwn) {
    const Layout layout = GetParam();
    const int total = layout.segments * layout.length * layout.spacing;
    const Spectrum input = randomValues(static_cast<std::size_t>(total), 11);
    std::vector<float> frame = interleave(input);
    fftComplex(frame.data(), frame.data() + 1, layout.segments, layout.length, layout.spacing, -2);
    const Spectrum output = deinterleave(frame, static_cast<std::size_t>(total));

    for (int g = 0; g < layout.segments; ++g) {
        for (int a = 0; a < layout.spacing; ++a) {
            SCOPED_TRACE(testing::Message() << "segment " << g << " sequence " << a);
            Spectrum sequence;
            Spectrum result;
            for (int j = 0; j < layout.length; ++j) {
                const auto index = static_cast<std::size_t>(a + layout.spacing * (j + layout.length * g));
                sequence.push_back(input[index]);
                result.push_back(output[index]);
            }
            const Spectrum expected = referenceDft(sequence, -1);
            expectNear(result, expected, tolerance(sequence.size(), expected));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SegmentsAndSpacing,
                         ::testing::Values(Layout{3, 8, 1}, Layout{1, 6, 5}, Layout{2, 5, 3}, Layout{4, 512, 1},
                                           Layout{2, 16, 7}));

TEST(FftComplex, TwoCallsMakeATwoDimensionalTransform) {
    constexpr int rows = 6;
    constexpr int columns = 8;
    const Spectrum input = randomValues(rows * columns, 5);
    std::vector<float> frame = interleave(input);
    fftComplex(frame.data(), frame.data() + 1, rows, columns, 1, -2);  // along each row
    fftComplex(frame.data(), frame.data() + 1, 1, rows, columns, -2);  // along each column
    Spectrum expected(rows * columns);
    for (int u = 0; u < rows; ++u)
        for (int v = 0; v < columns; ++v)
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c)
                    expected[u * columns + v] += input[r * columns + c] *
                                                 std::polar(1.0, -2.0 * pi * (double(u * r) / rows +
                                                                              double(v * c) / columns));
    expectNear(deinterleave(frame, rows * columns), expected, tolerance(rows * columns, expected));
}

TEST(FftComplex, LengthOneLeavesTheDataAloneSilently) {
    std::vector<float> frame = {1.5f, -2.5f, 3.5f, 4.5f};
    const std::vector<float> before = frame;
    for (int isn : {0, -2, 2}) {
        for (int len : {1, -1}) {
            EXPECT_EQ(standardErrorOf([&] { fftComplex(frame.data(), frame.data() + 1, 1, len, 1, isn); }), "");
            EXPECT_EQ(standardErrorOf([&] { fftComplex(frame.data(), frame.data() + 1, 0, len, 0, isn); }), "");
        }
    }
    EXPECT_EQ(frame, before);
}

// 2^3 * 3^12 needs exactly 15 passes (six squares of 3 and a square of 2, each
// twice, and a 2); three times that, the smallest length needing 16, is
// refused below. A length this large is checked with an impulse, not with a
// reference DFT.
TEST(FftComplex, LengthWithFifteenPassesIsTransformed) {
    constexpr int n = 8 * 531441;  // 2^3 * 3^12
    std::vector<float> re(n, 0.0f);
    std::vector<float> im(n, 0.0f);
    re[1] = 1.0f;  // impulse at sample 1: X[k] = e^(-2 pi i k/n)
    EXPECT_EQ(standardErrorOf([&] { fftComplex(re.data(), im.data(), 1, n, 1, -1); }), "");
    for (int k : {0, 1, 2, 1000, 777777, n / 3, n - 1}) {
        const double angle = -2.0 * pi * static_cast<double>(k) / n;
        EXPECT_NEAR(re[static_cast<std::size_t>(k)], std::cos(angle), 1e-6) << k;
        EXPECT_NEAR(im[static_cast<std::size_t>(k)], std::sin(angle), 1e-6) << k;
    }
}

// ---------------------------------------------------------------------------
// Messages

struct RejectedCall {
    const char* name;
    int nseg;
    int len;
    int nspn;
    int isn;
    const char* message;
};

class RejectedComplexCall : public ::testing::TestWithParam<RejectedCall> {};

TEST_P(RejectedComplexCall, PrintsItsMessageAndLeavesTheDataAlone) {
    const RejectedCall call = GetParam();
    // Room for the span the call names, so only the message can tell it was refused.
    const std::size_t span = static_cast<std::size_t>(std::max(1, std::abs(call.len))) * 2;
    std::vector<float> frame(span);
    auto pattern = [](std::size_t i) { return static_cast<float>(i % 97); };
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = pattern(i);
    EXPECT_EQ(standardErrorOf([&] {
                  fftComplex(frame.data(), frame.data() + 1, call.nseg, call.len, call.nspn, call.isn);
              }),
              call.message);
    for (std::size_t i = 0; i < frame.size(); ++i) ASSERT_EQ(frame[i], pattern(i)) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, RejectedComplexCall,
    ::testing::Values(
        RejectedCall{"ZeroStride", 1, 512, 1, 0, "\nerror - zero in fft parameters 1 512 512 0"},
        RejectedCall{"ZeroSegments", 0, 512, 1, -2, "\nerror - zero in fft parameters 0 512 512 -2"},
        RejectedCall{"ZeroLength", 1, 0, 1, 2, "\nerror - zero in fft parameters 1 0 0 2"},
        RejectedCall{"ZeroSpacing", 1, 512, 0, -2, "\nerror - zero in fft parameters 1 512 0 -2"},
        RejectedCall{"NegativeLengthZeroStride", 1, -12, 1, 0, "\nerror - zero in fft parameters 1 -12 12 0"},
        RejectedCall{"SixteenPasses", 1, 24 * 531441, 1, -1,
                     "\nerror - fft parameter n has more than 15 factors : 12754584"},
        RejectedCall{"SixteenPassesNegative", 1, -24 * 531441, 1, 1,
                     "\nerror - fft parameter n has more than 15 factors : -12754584"}),
    [](const ::testing::TestParamInfo<RejectedCall>& rejected) { return std::string(rejected.param.name); });

TEST(FftRealPass, ZeroLengthOrStridePrintsItsMessageAndLeavesTheDataAlone) {
    std::vector<float> frame = {1.0f, 2.0f, 3.0f, 4.0f};
    const std::vector<float> before = frame;
    EXPECT_EQ(standardErrorOf([&] { fftRealPass(frame.data(), frame.data() + 1, 0, -2); }),
              "\nerror - zero in reals parameters : 0 : -2 ");
    EXPECT_EQ(standardErrorOf([&] { fftRealPass(frame.data(), frame.data() + 1, 1, 0); }),
              "\nerror - zero in reals parameters : 1 : 0 ");
    EXPECT_EQ(frame, before);
}

// ---------------------------------------------------------------------------
// Real transform: a complex pass of len values and the real pass

void forwardReal(std::vector<float>& frame, int len) {
    fftComplex(frame.data(), frame.data() + 1, 1, len, 1, -2);
    fftRealPass(frame.data(), frame.data() + 1, len, -2);
}

void inverseReal(std::vector<float>& frame, int len) {
    fftRealPass(frame.data(), frame.data() + 1, len, 2);
    fftComplex(frame.data(), frame.data() + 1, 1, len, 1, 2);
}

// A frame of 2 len real samples with room for bin len.
std::vector<float> realFrame(const std::vector<float>& samples) {
    std::vector<float> frame(samples.size() + 2, 0.0f);
    std::copy(samples.begin(), samples.end(), frame.begin());
    return frame;
}

std::vector<float> randomSamples(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> samples(count);
    for (auto& sample : samples) sample = uniform(generator);
    return samples;
}

TEST(RealTransform, ImpulseAtSampleZeroGivesUnitBins) {
    std::vector<float> samples(1024, 0.0f);
    samples[0] = 1.0f;
    std::vector<float> frame = realFrame(samples);
    forwardReal(frame, 512);
    for (std::size_t k = 0; k <= 512; ++k) {
        ASSERT_NEAR(frame[2 * k], 1.0f, 1e-6) << k;
        ASSERT_NEAR(frame[2 * k + 1], 0.0f, 1e-6) << k;
    }
}

TEST(RealTransform, ConstantFrameHasOnlyADcBin) {
    constexpr float level = 0.3f;
    std::vector<float> frame = realFrame(std::vector<float>(1024, level));
    forwardReal(frame, 512);
    EXPECT_NEAR(frame[0], 1024 * level, 1024 * level * floatEpsilon);
    EXPECT_EQ(frame[1], 0.0f);
    const double allowed = 10 * 1024 * level * floatEpsilon;
    for (std::size_t i = 2; i < frame.size(); ++i) ASSERT_NEAR(frame[i], 0.0f, allowed) << i;
}

class RealLength : public ::testing::TestWithParam<int> {};

TEST_P(RealLength, ForwardMatchesTheRealDftAndInverseRestoresTheSamples) {
    const int len = GetParam();
    const auto count = static_cast<std::size_t>(2 * len);
    const std::vector<float> samples = randomSamples(count, static_cast<unsigned>(len));
    std::vector<float> frame = realFrame(samples);
    forwardReal(frame, len);

    const Spectrum asComplex(samples.begin(), samples.end());
    const Spectrum expected = referenceDft(asComplex, -1, count, static_cast<std::size_t>(len) + 1);
    const Spectrum bins = deinterleave(frame, static_cast<std::size_t>(len) + 1);
    expectNear(bins, expected, tolerance(count, expected));
    EXPECT_EQ(frame[1], 0.0f);
    EXPECT_EQ(frame[count + 1], 0.0f);

    inverseReal(frame, len);
    const Spectrum restored = deinterleave(frame, count / 2);
    const Spectrum packed = deinterleave(std::vector<float>(samples.begin(), samples.end()), count / 2);
    expectNear(restored, packed, tolerance(count, packed));
}

// 512 is the phase vocoder's; the others take their twiddles by recurrence.
INSTANTIATE_TEST_SUITE_P(Lengths, RealLength, ::testing::Values(1, 2, 3, 5, 8, 12, 100, 256, 500, 512, 1024));

// Bins 0 and len of a real sequence are real; going back, whatever imaginary
// part they carry is dropped instead of leaking into the other bin.
TEST(RealTransform, InverseIgnoresImaginaryPartsOfTheRealBins) {
    constexpr int len = 512;
    std::vector<float> frame = realFrame(randomSamples(2 * len, 9));
    forwardReal(frame, len);
    std::vector<float> withImaginary = frame;
    withImaginary[1] = 5.0f;
    withImaginary[2 * len + 1] = -7.0f;
    inverseReal(frame, len);
    inverseReal(withImaginary, len);
    for (std::size_t i = 0; i < 2 * len; ++i) ASSERT_EQ(withImaginary[i], frame[i]) << i;
}

TEST(RealTransform, SeparateArraysWithUnitStrideTransformBothWays) {
    for (int len : {10, 512}) {
        SCOPED_TRACE(len);
        const auto size = static_cast<std::size_t>(len);
        const std::vector<float> samples = randomSamples(2 * size, 4);
        std::vector<float> re(size + 1);
        std::vector<float> im(size + 1);
        for (std::size_t j = 0; j < size; ++j) {
            re[j] = samples[2 * j];
            im[j] = samples[2 * j + 1];
        }
        fftComplex(re.data(), im.data(), 1, len, 1, -1);
        fftRealPass(re.data(), im.data(), len, -1);
        const Spectrum expected = referenceDft(Spectrum(samples.begin(), samples.end()), -1, 2 * size, size + 1);
        Spectrum bins(size + 1);
        for (std::size_t k = 0; k <= size; ++k) bins[k] = {re[k], im[k]};
        expectNear(bins, expected, tolerance(2 * size, expected));

        fftRealPass(re.data(), im.data(), len, 1);
        fftComplex(re.data(), im.data(), 1, len, 1, 1);
        for (std::size_t j = 0; j < size; ++j) {
            ASSERT_NEAR(re[j], samples[2 * j], tolerance(2 * size, {1.0})) << j;
            ASSERT_NEAR(im[j], samples[2 * j + 1], tolerance(2 * size, {1.0})) << j;
        }
    }
}

// ---------------------------------------------------------------------------
// Real-time safety

TEST(RealTimeSafety, PhaseVocoderSizesAllocateNothing) {
    std::vector<float> frame = realFrame(randomSamples(1024, 2));
    std::vector<float> complexFrame = interleave(randomValues(1024, 3));
    const testing_support::AllocationScope scope;
    forwardReal(frame, 512);
    inverseReal(frame, 512);
    for (int len : {2, 4, 8, 64, 256, 512, 1024}) {
        fftComplex(complexFrame.data(), complexFrame.data() + 1, 1, len, 1, -2);
        fftComplex(complexFrame.data(), complexFrame.data() + 1, 1, len, 1, 2);
    }
    EXPECT_EQ(scope.allocations(), 0u);
}

TEST(RealTimeSafety, UnusualLengthsReleaseTheirScratch) {
    std::vector<float> frame = interleave(randomValues(2048, 2));
    const std::size_t live = testing_support::liveAllocations();
    fftComplex(frame.data(), frame.data() + 1, 1, 1000, 1, -2);
    fftComplex(frame.data(), frame.data() + 1, 1, 2048, 1, -2);
    EXPECT_EQ(testing_support::liveAllocations(), live);
}

TEST(RealTimeSafety, ScratchThatCannotBeHadLeavesTheDataAlone) {
    std::vector<float> frame = interleave(randomValues(1000, 2));
    const std::vector<float> before = frame;
    testing_support::failAllocationAfter(1);
    fftComplex(frame.data(), frame.data() + 1, 1, 1000, 1, -2);
    testing_support::failAllocationAfter(0);
    EXPECT_EQ(frame, before);
}

}  // namespace
