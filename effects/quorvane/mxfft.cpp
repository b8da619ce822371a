#include "effects/quorvane/mxfft.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvane {
namespace {

using Index = std::ptrdiff_t;

// One complex value {real, imaginary} in double precision, one SSE2 register.
using Complex = double __attribute__((vector_size(16)));

constexpr double pi = 3.141592653589793238462643383279502884;

// ---------------------------------------------------------------------------
// Complex arithmetic

inline Complex swapParts(Complex a) { return __builtin_shufflevector(a, a, 1, 0); }

inline Complex conjugate(Complex a) { return Complex{a[0], -a[1]}; }

// a * (-i)
inline Complex timesMinusI(Complex a) { return swapParts(a) * Complex{1.0, -1.0}; }

// A twiddle w prepared for multiplication: a * w = a * real + swap(a) * imag,
// with real = {Re w, Re w} and imag = {-Im w, Im w}. Tables hold twiddles in
// this form so a product costs one shuffle, two multiplications and one add.
struct SplitTwiddle {
    Complex real;
    Complex imag;
};

inline SplitTwiddle splitTwiddle(Complex w) { return {Complex{w[0], w[0]}, Complex{-w[1], w[1]}}; }

inline Complex rotate(Complex a, const SplitTwiddle& w) { return a * w.real + swapParts(a) * w.imag; }

inline Complex multiply(Complex a, Complex w) { return rotate(a, splitTwiddle(w)); }

// ---------------------------------------------------------------------------
// Roots of unity

// cos and sin of 2*pi*turns/period, usable in constant expressions. The angle
// is folded into the first octant with exact integer arithmetic, so the values
// are within about an ulp of double and exactly 0 or 1 where they should be.
struct CosSin {
    double cosine;
    double sine;
};

constexpr CosSin cosSinOfTurn(std::int64_t turns, std::int64_t period) {
    std::int64_t eighths = (turns % period + period) % period * 8;
    const std::int64_t full = period * 8;
    bool negateSine = false;
    bool negateCosine = false;
    bool swap = false;
    if (eighths > full / 2) {
        eighths = full - eighths;
        negateSine = true;
    }
    if (eighths > full / 4) {
        eighths = full / 2 - eighths;
        negateCosine = true;
    }
    if (eighths > full / 8) {
        eighths = full / 4 - eighths;
        swap = true;
    }
    const double x = 2.0 * pi * static_cast<double>(eighths) / static_cast<double>(full);
    // Taylor series; |x| <= pi/4, so 14 terms reach double precision.
    double sine = 0.0;
    double cosine = 0.0;
    double term = 1.0;
    for (int k = 0; k < 28; ++k) {
        if (k % 2 == 0) cosine += (k % 4 == 0) ? term : -term;
        else sine += (k % 4 == 1) ? term : -term;
        term *= x / static_cast<double>(k + 1);
    }
    if (swap) {
        const double t = sine;
        sine = cosine;
        cosine = t;
    }
    return {negateCosine ? -cosine : cosine, negateSine ? -sine : sine};
}

// e^(-2 pi i t / period): the forward-transform twiddle.
constexpr Complex forwardRoot(std::int64_t t, std::int64_t period) {
    const CosSin cs = cosSinOfTurn(t, period);
    return Complex{cs.cosine, -cs.sine};
}

constexpr SplitTwiddle splitForwardRoot(std::int64_t t, std::int64_t period) {
    const CosSin cs = cosSinOfTurn(t, period);
    return {Complex{cs.cosine, cs.cosine}, Complex{cs.sine, -cs.sine}};
}

// The roots e^(-2 pi i t / 1024), t = 0..1023: the power-of-two lengths up to
// 1024 other than 512 (which has tables of its own) take their twiddles from
// here, so those lengths need no set-up work.
constexpr int tableRootsPerTurn = 1024;

struct RootTable {
    Complex value[tableRootsPerTurn];
};

constexpr RootTable makeRootTable() {
    RootTable table{};
    for (int t = 0; t < tableRootsPerTurn; ++t) table.value[t] = forwardRoot(t, tableRootsPerTurn);
    return table;
}

constinit const RootTable rootsOf1024 = makeRootTable();

constexpr bool dividesTablePeriod(Index n) { return n > 0 && tableRootsPerTurn % n == 0; }

// Successive roots e^(-2 pi i t / period), t = 0, 1, 2, ..., by rotation;
// re-seeded from exact values every 32 steps so the error stays at a few
// double ulps for any period.
class RootSequence {
public:
    explicit RootSequence(Index period)
        : period_(period), step_(exactRoot(1, period)), current_(exactRoot(0, period)) {}

    Complex next() {
        const Complex value = current_;
        ++t_;
        current_ = (t_ % reseedInterval == 0) ? exactRoot(t_, period_) : multiply(current_, step_);
        return value;
    }

private:
    static constexpr Index reseedInterval = 32;

    static Complex exactRoot(Index t, Index period) {
        const double angle = 2.0 * pi * static_cast<double>(t) / static_cast<double>(period);
        return Complex{std::cos(angle), -std::sin(angle)};
    }

    Index period_;
    Index t_ = 0;
    Complex step_;
    Complex current_;
};

// ---------------------------------------------------------------------------
// Accepted lengths

constexpr int maxFactors = 15;

// The mixed-radix factorisation: factors 16 = 4*4 and squares of odd numbers
// are taken first and each counts as two passes (placed symmetrically), then
// at most one 4 = 2*2, then the remaining distinct factors. Lengths needing
// more than 15 passes are refused.
bool hasAcceptedFactorisation(std::int64_t n) {
    int recorded = 0;
    int squares = 0;
    std::int64_t f = n;
    while (f % 16 == 0) {
        ++recorded;
        f /= 16;
    }
    for (std::int64_t j = 3; j * j <= f; j += 2) {
        while (f % (j * j) == 0) {
            ++recorded;
            f /= j * j;
        }
    }
    if (f <= 4) {
        squares = recorded;
        if (f != 1) ++recorded;
    } else {
        if (f % 4 == 0) {
            ++recorded;
            f /= 4;
        }
        squares = recorded;
        // What remains is square-free: each trial divisor divides at most once.
        for (std::int64_t j = 2; j <= f; j = (j == 2) ? 3 : j + 2) {
            if (j * j > f) {  // f is now 1 or a prime
                if (f > 1) ++recorded;
                break;
            }
            if (f % j == 0) {
                ++recorded;
                f /= j;
            }
        }
    }
    return recorded + squares <= maxFactors;
}

// ---------------------------------------------------------------------------
// Transform plan: the radices of the passes, in order

struct Plan {
    int count = 0;
    std::array<int, 32> radix{};  // at most log2(2^31) passes
    int largestGenericRadix = 0;  // largest prime factor above 5, 0 if none
};

constexpr Plan makePlan(Index n) {
    Plan plan;
    auto push = [&plan](int radix) { plan.radix[plan.count++] = radix; };
    int twos = 0;
    while (n % 2 == 0) {
        n /= 2;
        ++twos;
    }
    for (; twos >= 3; twos -= 3) push(8);
    if (twos == 2) push(4);
    if (twos == 1) push(2);
    for (Index p = 3; p * p <= n; p += 2) {
        while (n % p == 0) {
            push(static_cast<int>(p));
            n /= p;
        }
    }
    if (n > 1) push(static_cast<int>(n));
    for (int s = 0; s < plan.count; ++s)
        if (plan.radix[s] > 5 && plan.radix[s] != 8 && plan.radix[s] > plan.largestGenericRadix)
            plan.largestGenericRadix = plan.radix[s];
    return plan;
}

// ---------------------------------------------------------------------------
// Butterflies (forward direction)

template <int Radix>
using Values = std::array<Complex, Radix>;

inline void butterfly(Values<2>& y) {
    const Complex a = y[0];
    y[0] = a + y[1];
    y[1] = a - y[1];
}

inline void butterfly(Values<3>& y) {
    constexpr double halfSqrt3 = 0.86602540378443864676372317075293618;
    const Complex sum = y[1] + y[2];
    const Complex rotated = timesMinusI(y[1] - y[2]) * halfSqrt3;
    const Complex middle = y[0] - 0.5 * sum;
    y[0] += sum;
    y[1] = middle + rotated;
    y[2] = middle - rotated;
}

inline void butterfly(Values<4>& y) {
    const Complex a = y[0] + y[2];
    const Complex b = y[0] - y[2];
    const Complex c = y[1] + y[3];
    const Complex d = timesMinusI(y[1] - y[3]);
    y[0] = a + c;
    y[1] = b + d;
    y[2] = a - c;
    y[3] = b - d;
}

inline void butterfly(Values<5>& y) {
    constexpr CosSin first = cosSinOfTurn(1, 5);
    constexpr CosSin second = cosSinOfTurn(2, 5);
    const Complex sum1 = y[1] + y[4];
    const Complex diff1 = y[1] - y[4];
    const Complex sum2 = y[2] + y[3];
    const Complex diff2 = y[2] - y[3];
    const Complex real1 = y[0] + first.cosine * sum1 + second.cosine * sum2;
    const Complex real2 = y[0] + second.cosine * sum1 + first.cosine * sum2;
    const Complex imag1 = timesMinusI(first.sine * diff1 + second.sine * diff2);
    const Complex imag2 = timesMinusI(second.sine * diff1 - first.sine * diff2);
    y[0] += sum1 + sum2;
    y[1] = real1 + imag1;
    y[4] = real1 - imag1;
    y[2] = real2 + imag2;
    y[3] = real2 - imag2;
}

inline void butterfly(Values<8>& y) {
    constexpr double halfSqrt2 = 0.70710678118654752440084436210484904;
    const Complex a0 = y[0] + y[4];
    const Complex a1 = y[0] - y[4];
    const Complex a2 = y[2] + y[6];
    const Complex a3 = timesMinusI(y[2] - y[6]);
    const Complex b0 = y[1] + y[5];
    const Complex b1 = y[1] - y[5];
    const Complex b2 = y[3] + y[7];
    const Complex b3 = timesMinusI(y[3] - y[7]);
    const Complex even0 = a0 + a2;
    const Complex even2 = a0 - a2;
    const Complex even1 = a1 + a3;
    const Complex even3 = a1 - a3;
    const Complex odd0 = b0 + b2;
    const Complex odd2 = timesMinusI(b0 - b2);
    const Complex odd1raw = b1 + b3;
    const Complex odd3raw = b1 - b3;
    // times e^(-i pi/4) and e^(-3i pi/4)
    const Complex odd1 = (odd1raw + timesMinusI(odd1raw)) * halfSqrt2;
    const Complex odd3 = (timesMinusI(odd3raw) - odd3raw) * halfSqrt2;
    y[0] = even0 + odd0;
    y[4] = even0 - odd0;
    y[1] = even1 + odd1;
    y[5] = even1 - odd1;
    y[2] = even2 + odd2;
    y[6] = even2 - odd2;
    y[3] = even3 + odd3;
    y[7] = even3 - odd3;
}

// ---------------------------------------------------------------------------
// Access to the caller's float data

// Two adjacent floats to one complex value and back: with SSE2 one 8-byte
// load or store and one conversion.
inline Complex loadFloatPair(const float* at) {
#if defined(__SSE2__)
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))));
#else
    return Complex{at[0], at[1]};
#endif
}

inline void storeFloatPair(float* at, Complex value) {
#if defined(__SSE2__)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_castps_si128(_mm_cvtpd_ps(value)));
#else
    at[0] = static_cast<float>(value[0]);
    at[1] = static_cast<float>(value[1]);
#endif
}

// Real and imaginary parts side by side (im == re + 1), as the phase vocoder
// holds them: a value is loaded and stored as one pair.
struct InterleavedValues {
    float* first;
    Index step;  // floats from one value to the next

    Complex load(Index j) const { return loadFloatPair(first + j * step); }
    void store(Index j, Complex value) const { storeFloatPair(first + j * step, value); }
};

struct SeparateValues {
    float* re;
    float* im;
    Index step;

    Complex load(Index j) const { return Complex{re[j * step], im[j * step]}; }
    void store(Index j, Complex value) const {
        re[j * step] = static_cast<float>(value[0]);
        im[j * step] = static_cast<float>(value[1]);
    }
};

// Calls `action` with the accessor that fits the layout.
template <class Action>
void withValues(float* re, float* im, Index step, Action action) {
    if (im == re + 1) action(InterleavedValues{re, step});
    else action(SeparateValues{re, im, step});
}

// ---------------------------------------------------------------------------
// Butterfly kernels: the values of one butterfly and the DFT over them

// A pass takes its butterfly's values from kernel.values() into a variable of
// its own, so that a fixed radix keeps them in registers.
template <int Radix>
struct FixedKernel {
    std::array<SplitTwiddle, Radix - 1> twiddles;

    static constexpr int radix() { return Radix; }
    static Values<Radix> values() { return {}; }
    SplitTwiddle* twiddleBuffer() { return twiddles.data(); }
    static void run(Values<Radix>& y) { butterfly(y); }
};

struct CompactRoots {
    const Complex* value;  // e^(-2 pi i t / perTurn), t = 0..perTurn-1
    Index perTurn;
};

// In-place DFT of `radix` values for any odd radix, O(radix^2): values r and
// radix - r are paired so that every output needs half the products.
void oddButterfly(Complex* y, int radix, CompactRoots roots, Complex* pairs) {
    const int half = radix / 2;
    const Index radixStep = roots.perTurn / radix;
    const Complex first = y[0];
    Complex total = first;
    for (int r = 1; r <= half; ++r) {
        pairs[2 * r - 2] = y[r] + y[radix - r];
        pairs[2 * r - 1] = y[r] - y[radix - r];
        total += pairs[2 * r - 2];
    }
    for (int q = 1; q <= half; ++q) {
        Complex realSide = first;
        Complex imagSide = Complex{0.0, 0.0};
        for (int r = 1; r <= half; ++r) {
            const Complex w = roots.value[(static_cast<Index>(r) * q % radix) * radixStep];
            realSide += w[0] * pairs[2 * r - 2];
            imagSide += w[1] * pairs[2 * r - 1];  // w[1] = -sin
        }
        const Complex rotated = swapParts(imagSide) * Complex{-1.0, 1.0};  // i * imagSide
        y[q] = realSide + rotated;
        y[radix - q] = realSide - rotated;
    }
    y[0] = total;
}

// Scratch for an odd radix above 5: its values, their pair sums and differences
// and its twiddles.
struct OddScratch {
    Complex* values;
    Complex* pairs;
    SplitTwiddle* twiddles;
};

struct OddKernel {
    int radixValue;
    OddScratch scratch;
    CompactRoots roots;

    int radix() const { return radixValue; }
    Complex* values() const { return scratch.values; }
    SplitTwiddle* twiddleBuffer() const { return scratch.twiddles; }
    void run(Complex* y) const { oddButterfly(y, radixValue, roots, scratch.pairs); }
};

// Calls `action` with the kernel for `radix`.
template <class Action>
void withKernel(int radix, OddScratch scratch, CompactRoots roots, Action action) {
    switch (radix) {
        case 2: { FixedKernel<2> kernel; action(kernel); break; }
        case 3: { FixedKernel<3> kernel; action(kernel); break; }
        case 4: { FixedKernel<4> kernel; action(kernel); break; }
        case 5: { FixedKernel<5> kernel; action(kernel); break; }
        case 8: { FixedKernel<8> kernel; action(kernel); break; }
        default: { OddKernel kernel{radix, scratch, roots}; action(kernel); break; }
    }
}

// ---------------------------------------------------------------------------
// Twiddles of one pass: w^(r k) of its group length, r = 1..radix-1

// From the compact roots, prepared per k.
struct RootTwiddles {
    CompactRoots roots;
    Index step;  // roots.perTurn / group length

    const SplitTwiddle* at(Index k, int radix, SplitTwiddle* buffer) const {
        const Index kStep = k * step;
        for (int r = 1; r < radix; ++r) buffer[r - 1] = splitTwiddle(roots.value[r * kStep]);
        return buffer;
    }
};

// From a prepared table laid out [k][r - 1].
struct TableTwiddles {
    const SplitTwiddle* table;

    const SplitTwiddle* at(Index k, int radix, SplitTwiddle*) const { return table + k * (radix - 1); }
};

// ---------------------------------------------------------------------------
// Passes (decimation in time over a work buffer in digit-reversed order)
//
// With radices p_0, p_1, ... the value at work position e_0 + p_0 (e_1 + p_1
// (e_2 + ...)) is input element sum(e_s * n / (p_0...p_s)). Pass s combines
// groups of p_s adjacent transforms of length span = p_0...p_(s-1), in place.

// Pass 0 reads the caller's data and needs no twiddles. Group g's values are
// elements base(g) + r * n / p_0, base(g) being the digit reversal of g over
// the remaining radices.
template <class Kernel, class Source, class Direction>
void firstPass(Kernel& kernel, Source data, Index n, const Plan& plan, Direction direction, Complex* work) {
    const int radix = kernel.radix();
    const Index valueStep = n / radix;
    std::array<int, 32> digit{};
    std::array<Index, 32> weight{};
    for (int s = 1; s < plan.count; ++s) weight[s] = (s == 1 ? valueStep : weight[s - 1]) / plan.radix[s];
    auto y = kernel.values();
    Index base = 0;
    for (Index group = 0; group < valueStep; ++group) {
        for (int r = 0; r < radix; ++r) y[r] = direction.input(data.load(base + r * valueStep));
        kernel.run(y);
        for (int q = 0; q < radix; ++q) work[group * radix + q] = y[q];
        for (int s = 1; s < plan.count; ++s) {
            base += weight[s];
            if (++digit[s] < plan.radix[s]) break;
            digit[s] = 0;
            base -= weight[s] * plan.radix[s];
        }
    }
}

template <class Kernel, class Twiddles>
void middlePass(Kernel& kernel, Complex* work, Index n, Index span, const Twiddles& twiddles) {
    const int radix = kernel.radix();
    const Index groupLength = radix * span;
    auto y = kernel.values();
    for (Index k = 0; k < span; ++k) {
        const SplitTwiddle* w = twiddles.at(k, radix, kernel.twiddleBuffer());
        for (Index group = 0; group < n; group += groupLength) {
            Complex* at = work + group + k;
            y[0] = at[0];
            for (int r = 1; r < radix; ++r) y[r] = rotate(at[r * span], w[r - 1]);
            kernel.run(y);
            for (int q = 0; q < radix; ++q) at[q * span] = y[q];
        }
    }
}

// The last pass makes one transform of length radix * span and writes it to
// the caller's data in natural order.
template <class Kernel, class Twiddles, class Sink, class Direction>
void lastPass(Kernel& kernel, const Complex* work, Index span, const Twiddles& twiddles, Sink data,
              Direction direction) {
    const int radix = kernel.radix();
    auto y = kernel.values();
    for (Index k = 0; k < span; ++k) {
        const SplitTwiddle* w = twiddles.at(k, radix, kernel.twiddleBuffer());
        y[0] = work[k];
        for (int r = 1; r < radix; ++r) y[r] = rotate(work[r * span + k], w[r - 1]);
        kernel.run(y);
        for (int q = 0; q < radix; ++q) data.store(k + q * span, direction.output(y[q]));
    }
}

// The inverse is the conjugate of the forward transform of the conjugate, so
// one set of forward passes serves both directions: the direction only acts on
// the values read from and written to the caller's data.
struct Forward {
    Complex input(Complex value) const { return value; }
    Complex output(Complex value) const { return value; }
};

struct Inverse {
    Complex outputScale;  // {1/n, -1/n}

    explicit Inverse(Index n) : outputScale{1.0 / static_cast<double>(n), -1.0 / static_cast<double>(n)} {}
    Complex input(Complex value) const { return conjugate(value); }
    Complex output(Complex value) const { return value * outputScale; }
};

struct Workspace {
    Complex* work;  // n values
    CompactRoots roots;
    OddScratch odd;
};

template <class Source, class Direction>
void transformAnyLength(Source data, Index n, const Plan& plan, Direction direction, const Workspace& space) {
    withKernel(plan.radix[0], space.odd, space.roots,
               [&](auto& kernel) { firstPass(kernel, data, n, plan, direction, space.work); });
    if (plan.count == 1) {
        for (Index j = 0; j < n; ++j) data.store(j, direction.output(space.work[j]));
        return;
    }
    Index span = plan.radix[0];
    for (int s = 1; s + 1 < plan.count; ++s) {
        const RootTwiddles twiddles{space.roots, space.roots.perTurn / (plan.radix[s] * span)};
        withKernel(plan.radix[s], space.odd, space.roots,
                   [&](auto& kernel) { middlePass(kernel, space.work, n, span, twiddles); });
        span *= plan.radix[s];
    }
    const int lastRadix = plan.radix[plan.count - 1];
    const RootTwiddles twiddles{space.roots, space.roots.perTurn / n};
    withKernel(lastRadix, space.odd, space.roots, [&](auto& kernel) {
        lastPass(kernel, space.work, span, twiddles, data, direction);
    });
}

// The phase vocoder's length, 512 = 8 * 8 * 8, with its twiddles prepared at
// compile time.
constexpr Index vocoderLength = 512;
constexpr Plan vocoderPlan = makePlan(vocoderLength);

struct VocoderTwiddles {
    SplitTwiddle second[8][7];  // w_64^(r k)
    SplitTwiddle third[64][7];  // w_512^(r k)
};

constexpr VocoderTwiddles makeVocoderTwiddles() {
    VocoderTwiddles table{};
    for (int k = 0; k < 8; ++k)
        for (int r = 1; r < 8; ++r) table.second[k][r - 1] = splitForwardRoot(r * k, 64);
    for (int k = 0; k < 64; ++k)
        for (int r = 1; r < 8; ++r) table.third[k][r - 1] = splitForwardRoot(r * k, vocoderLength);
    return table;
}

constinit const VocoderTwiddles vocoderTwiddles = makeVocoderTwiddles();

template <class Source, class Direction>
void transformVocoderLength(Source data, Direction direction, Complex* work) {
    static_assert(vocoderPlan.count == 3 && vocoderPlan.radix[0] == 8 && vocoderPlan.radix[1] == 8 &&
                  vocoderPlan.radix[2] == 8);
    FixedKernel<8> kernel;
    firstPass(kernel, data, vocoderLength, vocoderPlan, direction, work);
    middlePass(kernel, work, vocoderLength, 8, TableTwiddles{&vocoderTwiddles.second[0][0]});
    lastPass(kernel, work, 64, TableTwiddles{&vocoderTwiddles.third[0][0]}, data, direction);
}

// ---------------------------------------------------------------------------
// Real-sequence pass

// Rotations v_k = -i e^(-i pi k/512), k = 0..255, for the real pass of the
// vocoder's length and of every length dividing it.
struct HalfTurnRotations {
    SplitTwiddle value[vocoderLength / 2];
};

constexpr HalfTurnRotations makeHalfTurnRotations() {
    HalfTurnRotations table{};
    for (int k = 0; k < vocoderLength / 2; ++k) {
        const CosSin cs = cosSinOfTurn(k, 2 * vocoderLength);
        // -i (cos - i sin) = -sin - i cos
        table.value[k] = {Complex{-cs.sine, -cs.sine}, Complex{cs.cosine, -cs.cosine}};
    }
    return table;
}

constinit const HalfTurnRotations halfTurnRotations = makeHalfTurnRotations();

// Values k and n - k combine through the rotation v = -i e^(-i pi k/n):
// forward  X_k = E + v D, X_(n-k) = conj(E - v D), from Z;
// inverse  Z_k = E + v' D, Z_(n-k) = conj(E - v' D), v' = conj(v), from X;
// with E = (A_k + conj A_(n-k)) / 2 and D = (A_k - conj A_(n-k)) / 2.
template <class Values, class Rotations>
void combinePairs(Values data, Index n, bool inverse, Rotations rotationAt) {
    const Complex conjugateSign = Complex{1.0, -1.0};
    const Complex imagSign = inverse ? Complex{-1.0, -1.0} : Complex{1.0, 1.0};
    for (Index k = 1; 2 * k < n; ++k) {
        const SplitTwiddle forwardRotation = rotationAt(k);
        const SplitTwiddle rotation{forwardRotation.real, forwardRotation.imag * imagSign};
        const Complex upper = data.load(k);
        const Complex lower = data.load(n - k) * conjugateSign;
        const Complex even = 0.5 * (upper + lower);
        const Complex odd = rotate(0.5 * (upper - lower), rotation);
        data.store(k, even + odd);
        data.store(n - k, (even - odd) * conjugateSign);
    }
}

template <class Values>
void realPass(Values data, Index n, bool inverse) {
    // Bins 0 and n are real. Going back, their imaginary parts carry nothing a
    // real sequence can hold and are ignored.
    if (inverse) {
        const double dc = data.load(0)[0];
        const double nyquist = data.load(n)[0];
        data.store(0, Complex{0.5 * (dc + nyquist), 0.5 * (dc - nyquist)});
    } else {
        const Complex z = data.load(0);
        data.store(0, Complex{z[0] + z[1], 0.0});
        data.store(n, Complex{z[0] - z[1], 0.0});
    }

    if (vocoderLength % n == 0) {
        const Index tableStep = vocoderLength / n;
        combinePairs(data, n, inverse, [&](Index k) { return halfTurnRotations.value[k * tableStep]; });
    } else {
        RootSequence roots(2 * n);
        roots.next();  // t = 0
        combinePairs(data, n, inverse, [&](Index) { return splitTwiddle(timesMinusI(roots.next())); });
    }

    // The middle value pairs with itself: v = -1, so the pass only conjugates it.
    if (n % 2 == 0) data.store(n / 2, conjugate(data.load(n / 2)));
}

// ---------------------------------------------------------------------------

// Work storage for lengths that need no allocation.
constexpr Index stackWorkLength = tableRootsPerTurn;

// Absolute value without overflow for the most negative int.
constexpr std::int64_t magnitude(int value) { return value < 0 ? -static_cast<std::int64_t>(value) : value; }

}  // namespace

void fftComplex(float* re, float* im, int nseg, int len, int nspn, int isn) {
    if (len == 1 || len == -1) return;
    if (isn == 0 || len == 0 || nspn == 0 || nseg == 0) {
        // The span is printed as the int it would be.
        const auto span = static_cast<int>(static_cast<std::uint32_t>(magnitude(len) * magnitude(nspn)));
        std::fprintf(stderr, "\nerror - zero in fft parameters %d %d %d %d", nseg, len, span, isn);
        return;
    }
    const Index n = magnitude(len);
    if (!hasAcceptedFactorisation(n)) {
        std::fprintf(stderr, "\nerror - fft parameter n has more than 15 factors : %d", len);
        return;
    }

    const Plan plan = n == vocoderLength ? vocoderPlan : makePlan(n);
    alignas(16) Complex stackWork[stackWorkLength];
    Workspace space{stackWork, CompactRoots{rootsOf1024.value, tableRootsPerTurn}, OddScratch{}};
    std::unique_ptr<Complex[]> heapValues;
    std::unique_ptr<SplitTwiddle[]> heapTwiddles;
    if (!dividesTablePeriod(n) || n > stackWorkLength) {
        // Unusual lengths: roots, work buffer and odd-radix scratch on the heap.
        const int odd = plan.largestGenericRadix;
        heapValues.reset(new (std::nothrow) Complex[2 * n + 2 * odd]);
        if (odd > 0) heapTwiddles.reset(new (std::nothrow) SplitTwiddle[odd]);
        if (!heapValues || (odd > 0 && !heapTwiddles)) return;  // no scratch: nothing touched
        Complex* roots = heapValues.get();
        RootSequence sequence(n);
        for (Index t = 0; t < n; ++t) roots[t] = sequence.next();
        space = Workspace{roots + n, CompactRoots{roots, n},
                          OddScratch{roots + 2 * n, roots + 2 * n + odd, heapTwiddles.get()}};
    }

    const Index stride = magnitude(isn);
    const Index spacing = magnitude(nspn);
    const Index segments = magnitude(nseg);
    auto transformAll = [&](auto direction) {
        for (Index segment = 0; segment < segments; ++segment) {
            for (Index offset = 0; offset < spacing; ++offset) {
                const Index first = (segment * n * spacing + offset) * stride;
                withValues(re + first, im + first, spacing * stride, [&](auto data) {
                    if (n == vocoderLength) transformVocoderLength(data, direction, space.work);
                    else transformAnyLength(data, n, plan, direction, space);
                });
            }
        }
    };
    if (isn > 0) transformAll(Inverse(n));
    else transformAll(Forward{});
}

void fftRealPass(float* re, float* im, int len, int isn) {
    if (len == 0 || isn == 0) {
        std::fprintf(stderr, "\nerror - zero in reals parameters : %d : %d ", len, isn);
        return;
    }
    const Index n = magnitude(len);
    withValues(re, im, magnitude(isn), [&](auto data) { realPass(data, n, isn > 0); });
}

}  // namespace quorvane
