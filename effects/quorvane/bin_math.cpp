#include "effects/quorvane/bin_math.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <utility>

namespace quorvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Beyond this many turns a running phase no longer holds a usable angle; it
// starts again from 0.
constexpr double kLargestWrappableTurns = 0x1p50;

// ---------------------------------------------------------------------------
// Every function below is written once for one bin (double), two bins side
// by side (V2, an SSE2 register) and four (V4, an AVX register). Candidates
// are computed before they are selected, so nothing branches. All of it is
// inlined into the loops, which are compiled twice: for SSE2, and for AVX2
// where the processor has it.

using V2 = double __attribute__((vector_size(16)));
using Mask2 = std::int64_t __attribute__((vector_size(16)));
using V4 = double __attribute__((vector_size(32)));
using Mask4 = std::int64_t __attribute__((vector_size(32)));
using F2 = float __attribute__((vector_size(8)));
using F4 = float __attribute__((vector_size(16)));
using F8 = float __attribute__((vector_size(32)));

constexpr std::int64_t kMagnitudeBits = 0x7fffffffffffffff;

[[gnu::always_inline]] inline double select(bool condition, double a, double b) { return condition ? a : b; }
[[gnu::always_inline]] inline V2 select(Mask2 condition, V2 a, V2 b) { return condition ? a : b; }
[[gnu::always_inline]] inline V4 select(Mask4 condition, V4 a, V4 b) { return condition ? a : b; }

[[gnu::always_inline]] inline double absolute(double x) { return std::fabs(x); }
[[gnu::always_inline]] inline double withSignOf(double magnitude, double sign) { return std::copysign(magnitude, sign); }

template <class V, class Mask>
[[gnu::always_inline]] inline V absoluteLanes(V x) {
    return std::bit_cast<V>(std::bit_cast<Mask>(x) & kMagnitudeBits);
}
template <class V, class Mask>
[[gnu::always_inline]] inline V withSignOfLanes(V magnitude, V sign) {
    return std::bit_cast<V>((std::bit_cast<Mask>(magnitude) & kMagnitudeBits) |
                            (std::bit_cast<Mask>(sign) & ~kMagnitudeBits));
}
[[gnu::always_inline]] inline V2 absolute(V2 x) { return absoluteLanes<V2, Mask2>(x); }
[[gnu::always_inline]] inline V4 absolute(V4 x) { return absoluteLanes<V4, Mask4>(x); }
[[gnu::always_inline]] inline V2 withSignOf(V2 magnitude, V2 sign) { return withSignOfLanes<V2, Mask2>(magnitude, sign); }
[[gnu::always_inline]] inline V4 withSignOf(V4 magnitude, V4 sign) { return withSignOfLanes<V4, Mask4>(magnitude, sign); }

[[gnu::always_inline]] inline double squareRoot(double x) { return std::sqrt(x); }
[[gnu::always_inline]] inline V2 squareRoot(V2 x) {
#if defined(__SSE2__)
    return __builtin_ia32_sqrtpd(x);
#else
    return V2{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}
[[gnu::always_inline]] inline V4 squareRoot(V4 x) {
    const V2 low = squareRoot(V2{x[0], x[1]}), high = squareRoot(V2{x[2], x[3]});
    return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

// Rounded to single precision and back, as stored into a float.
[[gnu::always_inline]] inline double toFloatPrecision(double x) { return static_cast<float>(x); }
[[gnu::always_inline]] inline V2 toFloatPrecision(V2 x) {
    return __builtin_convertvector(__builtin_convertvector(x, F2), V2);
}
[[gnu::always_inline]] inline V4 toFloatPrecision(V4 x) {
    return __builtin_convertvector(__builtin_convertvector(x, F4), V4);
}

template <class T>
[[gnu::always_inline]] inline T splat(double value) {
    return T{} + value;
}

using spectral::roundToInteger;

template <class T>
[[gnu::always_inline]] inline T arcTangent2(T y, T x) {
    // atan(min/max) with min/max in 0..1: above tan(pi/8) it is
    // pi/4 + atan((min - max) / (min + max)), so the fit needs |t| <= tan(pi/8).
    constexpr double kTanPiOver8 = 0.41421356237309504880;
    // atan(t) = t * P(t^2), a Chebyshev fit on 0 .. tan(pi/8); error 2.6e-10.
    constexpr double kP0 = 0.99999999937122815559, kP1 = -0.33333306893048512837, kP2 = 0.19998183041083205602,
                     kP3 = -0.14239532669648974578, kP4 = 0.10569828806414448072,
                     kP5 = -0.060263052276584590988;
    const T ax = absolute(x), ay = absolute(y);
    const auto xLarger = ax > ay;
    const T larger = select(xLarger, ax, ay);
    const T smaller = select(xLarger, ay, ax);
    const auto upper = smaller > kTanPiOver8 * larger;
    const T safeLarger = select(larger > 0.0, larger, splat<T>(1.0));  // (0, 0) gives 0
    const T t = select(upper, smaller - larger, smaller) / select(upper, smaller + larger, safeLarger);
    const T z = t * t;
    const T p = kP0 + z * (kP1 + z * (kP2 + z * (kP3 + z * (kP4 + z * kP5))));
    const T octant = t * p + select(upper, splat<T>(kPi / 4), splat<T>(0.0));  // 0 .. pi/4
    const T quadrant = select(ay > ax, kPi / 2 - octant, octant);             // 0 .. pi/2
    return withSignOf(select(x < 0.0, kPi - quadrant, quadrant), y);
}

template <class T>
[[gnu::always_inline]] inline void sineAndCosine(T theta, T& sine, T& cosine) {
    // theta = n pi/2 + r, |r| <= pi/4; pi/2 in two parts, the first of 33 bits,
    // so that n times it is exact.
    constexpr double kTwoOverPi = 0.63661977236758134308;
    constexpr double kHalfPiHigh = 1.57079632673412561417;
    constexpr double kHalfPiLow = 6.07710050650619224932e-11;
    const T n = roundToInteger(theta * kTwoOverPi);
    const T r = (theta - n * kHalfPiHigh) - n * kHalfPiLow;
    const T r2 = r * r;
    // Taylor series to r^11 and r^12: the first terms left out stay below 1e-11.
    const T s = r + r * r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880 +
                                                                                  r2 * (-1.0 / 39916800)))));
    const T c = 1.0 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 +
                                                                            r2 * (-1.0 / 3628800 +
                                                                                  r2 * (1.0 / 479001600))))));
    // Quadrant n mod 4 without an integer conversion: (n - 1.5) / 4 lies 0.125
    // or 0.375 from floor(n / 4), never at a tie.
    const T q = n - 4.0 * roundToInteger((n - 1.5) * 0.25);
    const auto swap = (q == 1.0) | (q == 3.0);
    const T sinPart = select(swap, c, s);
    const T cosPart = select(swap, s, c);
    sine = select(q >= 2.0, -sinPart, sinPart);
    cosine = select((q == 1.0) | (q == 2.0), -cosPart, cosPart);
}

// Frame access for one bin or two neighbouring bins.
struct OneBin {
    using T = double;
    static constexpr int kBins = 1;
    [[gnu::always_inline]] static T index(int k) { return k; }
    [[gnu::always_inline]] static T load(const float* p) { return *p; }
    [[gnu::always_inline]] static void store(float* p, T value) { *p = static_cast<float>(value); }
    [[gnu::always_inline]] static void loadPair(const float* p, T& first, T& second) {
        first = p[0];
        second = p[1];
    }
    [[gnu::always_inline]] static void storePair(float* p, T first, T second) {
        p[0] = static_cast<float>(first);
        p[1] = static_cast<float>(second);
    }
};

template <int N>
struct LaneTypes;
template <>
struct LaneTypes<2> {
    using Doubles = V2;
    using Floats = F2;
    using PairFloats = F4;
};
template <>
struct LaneTypes<4> {
    using Doubles = V4;
    using Floats = F4;
    using PairFloats = F8;
};

// N neighbouring bins, lane i holding bin k + i.
template <int N>
struct Bins {
    using T = typename LaneTypes<N>::Doubles;
    using Floats = typename LaneTypes<N>::Floats;
    using PairFloats = typename LaneTypes<N>::PairFloats;
    static constexpr int kBins = N;
    using Lanes = std::make_integer_sequence<int, N>;
    using PairLanes = std::make_integer_sequence<int, 2 * N>;

    [[gnu::always_inline]] static T index(int k) { return indices(k, Lanes{}); }
    [[gnu::always_inline]] static T load(const float* p) {
        Floats values;
        std::memcpy(&values, p, sizeof values);
        return __builtin_convertvector(values, T);
    }
    [[gnu::always_inline]] static void store(float* p, T value) {
        const Floats values = __builtin_convertvector(value, Floats);
        std::memcpy(p, &values, sizeof values);
    }
    // p holds (first, second) of bin k, then of bin k + 1, ...
    [[gnu::always_inline]] static void loadPair(const float* p, T& first, T& second) {
        PairFloats values;
        std::memcpy(&values, p, sizeof values);
        first = __builtin_convertvector(everyOther<0>(values, Lanes{}), T);
        second = __builtin_convertvector(everyOther<1>(values, Lanes{}), T);
    }
    [[gnu::always_inline]] static void storePair(float* p, T first, T second) {
        const PairFloats values =
            interleave(__builtin_convertvector(first, Floats), __builtin_convertvector(second, Floats), PairLanes{});
        std::memcpy(p, &values, sizeof values);
    }

private:
    template <int... I>
    [[gnu::always_inline]] static T indices(int k, std::integer_sequence<int, I...>) {
        return T{static_cast<double>(k + I)...};
    }
    template <int Offset, int... I>
    [[gnu::always_inline]] static Floats everyOther(PairFloats values, std::integer_sequence<int, I...>) {
        return __builtin_shufflevector(values, values, (2 * I + Offset)...);
    }
    template <int... I>
    [[gnu::always_inline]] static PairFloats interleave(Floats a, Floats b, std::integer_sequence<int, I...>) {
        return __builtin_shufflevector(a, b, (I % 2 == 0 ? I / 2 : N + I / 2)...);
    }
};

using TwoBins = Bins<2>;
using FourBins = Bins<4>;

template <class Lanes, class Body>
[[gnu::always_inline]] inline void runBins(int& k, int bins, const Body& body) {
    for (; k + Lanes::kBins <= bins; k += Lanes::kBins) body(k, Lanes{});
}

template <class Body>
void forEachBinSse2(int bins, const Body& body) {
    int k = 0;
    runBins<TwoBins>(k, bins, body);
    runBins<OneBin>(k, bins, body);
}

template <class Body>
[[gnu::target("avx2")]] void forEachBinAvx2(int bins, const Body& body) {
    int k = 0;
    runBins<FourBins>(k, bins, body);
    runBins<OneBin>(k, bins, body);
}

// Read once while the library loads.
const bool kHasAvx2 = [] {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}();

// Runs body(k, lanes) over bins 0 .. bins-1, four or two at a time, the rest alone.
template <class Body>
void forEachBin(int bins, const Body& body) {
    if (kHasAvx2) {
        forEachBinAvx2(bins, body);
    } else {
        forEachBinSse2(bins, body);
    }
}

// Plain loops that the compiler vectorises, once for SSE2 and once for AVX2.
template <class Loop>
[[gnu::always_inline]] inline void runLoop(const Loop& loop) {
    loop();
}
template <class Loop>
[[gnu::target("avx2")]] void runLoopAvx2(const Loop& loop) {
    loop();
}

}  // namespace

void addProducts(float* sum, const float* a, const float* b, int count) {
    const auto loop = [=]() __attribute__((always_inline)) {
        for (int i = 0; i < count; ++i) sum[i] = static_cast<float>(sum[i] + static_cast<double>(a[i]) * b[i]);
    };
    if (kHasAvx2) {
        runLoopAvx2(loop);
    } else {
        runLoop(loop);
    }
}

void toAmplitudeFrequency(float* frame, float* previousPhase, int bins, double phaseStepToHz, float binSpacing) {
    forEachBin(bins, [&]<class Lanes>(int k, Lanes) __attribute__((always_inline)) {
        using T = typename Lanes::T;
        T x, y;
        Lanes::loadPair(frame + 2 * k, x, y);
        const T amplitude = toFloatPrecision(squareRoot(x * x + y * y));
        const T phase = arcTangent2(y, x);
        const T previous = Lanes::load(previousPhase + k);
        const auto sounding = amplitude >= static_cast<double>(kSilentAmplitude);
        Lanes::store(previousPhase + k, select(sounding, toFloatPrecision(phase), previous));
        const T step = select(sounding, phase - previous, splat<T>(0.0));
        const T belowPi = select(step > kPi, step - kTwoPi, step);
        const T wrappedStep = select(belowPi < -kPi, belowPi + kTwoPi, belowPi);
        Lanes::storePair(frame + 2 * k, amplitude,
                         wrappedStep * phaseStepToHz + Lanes::index(k) * static_cast<double>(binSpacing));
    });
}

void toAmplitudePhase(float* frame, int bins) {
    forEachBin(bins, [&]<class Lanes>(int k, Lanes) __attribute__((always_inline)) {
        using T = typename Lanes::T;
        T x, y;
        Lanes::loadPair(frame + 2 * k, x, y);
        const T amplitude = toFloatPrecision(squareRoot(x * x + y * y));
        const auto sounding = amplitude >= static_cast<double>(kSilentAmplitude);
        Lanes::storePair(frame + 2 * k, amplitude, select(sounding, arcTangent2(y, x), splat<T>(0.0)));
    });
}

void fromAmplitudeFrequency(float* frame, float* runningPhase, int bins, float binSpacing, float hopRate,
                            double hzToPhaseStep) {
    const double turn = hopRate;
    const double perTurn = 1.0 / turn;
    const double limit = kPhaseWrapTurns * turn;
    const double largest = kLargestWrappableTurns * turn;
    forEachBin(bins, [&]<class Lanes>(int k, Lanes) __attribute__((always_inline)) {
        using T = typename Lanes::T;
        T amplitude, frequency;
        Lanes::loadPair(frame + 2 * k, amplitude, frequency);
        const T phase = Lanes::load(runningPhase + k) + (frequency - Lanes::index(k) * static_cast<double>(binSpacing));
        // Whole turns off: the same angle, and a float that keeps its
        // precision however long the phase has been running.
        const T wrapped = phase - turn * roundToInteger(phase * perTurn);
        const T magnitude = absolute(phase);
        const T kept = select(magnitude < limit, phase, select(magnitude < largest, wrapped, splat<T>(0.0)));
        const T stored = toFloatPrecision(kept);
        Lanes::store(runningPhase + k, stored);
        T sine, cosine;
        sineAndCosine(stored * hzToPhaseStep, sine, cosine);
        Lanes::storePair(frame + 2 * k, amplitude * cosine, amplitude * sine);
    });
}

void fromAmplitudePhase(float* frame, int bins) {
    for (int k = 0; k < bins; ++k) {
        const double amplitude = frame[2 * k];
        const double angle = frame[2 * k + 1];
        frame[2 * k] = static_cast<float>(amplitude * std::cos(angle));
        frame[2 * k + 1] = static_cast<float>(amplitude * std::sin(angle));
    }
}

namespace spectral {

double atan2(double y, double x) { return arcTangent2(y, x); }

SinCos sinCos(double theta) {
    SinCos result{};
    sineAndCosine(theta, result.sin, result.cos);
    return result;
}

}  // namespace spectral
}  // namespace quorvane
