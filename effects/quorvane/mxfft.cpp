#include "effects/quorvane/mxfft.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

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

inline Complex multiply(Complex a, Complex w) {
    return a * Complex{w[0], w[0]} + swapParts(a) * Complex{-w[1], w[1]};
}

// ---------------------------------------------------------------------------
// Roots of unity

// cos and sin of 2*pi*turns/period, usable in constant expressions. The angle
// is folded into the first octant with exact integer arithmetic, so the values
// are correct to double rounding and exactly 0 or 1 where they should be.
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

// The roots e^(-2 pi i t / 1024), t = 0..1023: every power-of-two length up to
// 1024 takes its twiddles from here, so those lengths need no set-up work.
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

Plan makePlan(Index n) {
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
// Passes over a work buffer in digit-reversed order (decimation in time)

struct Roots {
    const Complex* value;
    Index perTurn;  // the table holds e^(-2 pi i t / perTurn)
};

// Combines groups of `Radix` adjacent sub-transforms of length `span` into
// transforms of length Radix * span, in place.
template <int Radix>
void runPass(Complex* work, Index n, Index span, Roots roots) {
    const Index groupLength = Radix * span;
    const Index twiddleStep = roots.perTurn / groupLength;
    for (Index k = 0; k < span; ++k) {
        Values<Radix> twiddle;
        for (int r = 1; r < Radix; ++r) twiddle[r] = roots.value[r * k * twiddleStep];
        for (Index group = 0; group < n; group += groupLength) {
            Complex* at = work + group + k;
            Values<Radix> y;
            y[0] = at[0];
            for (int r = 1; r < Radix; ++r) y[r] = multiply(at[r * span], twiddle[r]);
            butterfly(y);
            for (int q = 0; q < Radix; ++q) at[q * span] = y[q];
        }
    }
}

// Any odd radix, in O(radix^2) per butterfly; `scratch` holds 2 * radix values.
void runGenericPass(Complex* work, Index n, Index span, int radix, Roots roots, Complex* scratch) {
    const Index groupLength = radix * span;
    const Index twiddleStep = roots.perTurn / groupLength;
    const Index radixStep = roots.perTurn / radix;
    const int half = radix / 2;
    for (Index k = 0; k < span; ++k) {
        for (Index group = 0; group < n; group += groupLength) {
            Complex* at = work + group + k;
            const Complex first = at[0];
            Complex total = first;
            // Pair r with radix - r: sums feed the real, differences the imaginary side.
            for (int r = 1; r <= half; ++r) {
                const Complex upper = multiply(at[r * span], roots.value[r * k * twiddleStep]);
                const Complex lower =
                    multiply(at[(radix - r) * span], roots.value[(radix - r) * k * twiddleStep]);
                scratch[2 * r - 2] = upper + lower;
                scratch[2 * r - 1] = upper - lower;
                total += scratch[2 * r - 2];
            }
            for (int q = 1; q <= half; ++q) {
                Complex realSide = first;
                Complex imagSide = Complex{0.0, 0.0};
                for (int r = 1; r <= half; ++r) {
                    const Complex w = roots.value[(static_cast<Index>(r) * q % radix) * radixStep];
                    realSide += w[0] * scratch[2 * r - 2];
                    imagSide += w[1] * scratch[2 * r - 1];  // w[1] = -sin
                }
                // out_q = real + (-i)(sin-weighted differences) = real + i * imagSide
                const Complex rotated = swapParts(imagSide) * Complex{-1.0, 1.0};
                scratch[radix - 1 + 2 * q - 2] = realSide + rotated;
                scratch[radix - 1 + 2 * q - 1] = realSide - rotated;
            }
            at[0] = total;
            for (int q = 1; q <= half; ++q) {
                at[q * span] = scratch[radix - 1 + 2 * q - 2];
                at[(radix - q) * span] = scratch[radix - 1 + 2 * q - 1];
            }
        }
    }
}

void runPlan(Complex* work, Index n, const Plan& plan, Roots roots, Complex* scratch) {
    Index span = 1;
    for (int s = 0; s < plan.count; ++s) {
        const int radix = plan.radix[s];
        switch (radix) {
            case 2: runPass<2>(work, n, span, roots); break;
            case 3: runPass<3>(work, n, span, roots); break;
            case 4: runPass<4>(work, n, span, roots); break;
            case 5: runPass<5>(work, n, span, roots); break;
            case 8: runPass<8>(work, n, span, roots); break;
            default: runGenericPass(work, n, span, radix, roots, scratch); break;
        }
        span *= radix;
    }
}

// ---------------------------------------------------------------------------
// Strided float data <-> double work buffer

struct Sequence {
    float* re;
    float* im;
    Index step;  // distance between successive elements, in floats
};

// Loads the sequence into `work` in the digit-reversed order the passes
// expect: position sum(d_s * p_1...p_(s-1)) receives element
// sum(d_s * n / (p_1...p_s)).
void gatherDigitReversed(Sequence data, Index n, const Plan& plan, bool conjugated, Complex* work) {
    std::array<int, 32> digit{};
    std::array<Index, 32> weight{};
    Index remaining = n;
    for (int s = 0; s < plan.count; ++s) {
        remaining /= plan.radix[s];
        weight[s] = remaining;
    }
    const double imagSign = conjugated ? -1.0 : 1.0;
    Index source = 0;
    for (Index position = 0; position < n; ++position) {
        work[position] = Complex{data.re[source * data.step], imagSign * data.im[source * data.step]};
        for (int s = 0; s < plan.count; ++s) {
            source += weight[s];
            if (++digit[s] < plan.radix[s]) break;
            digit[s] = 0;
            source -= weight[s] * plan.radix[s];
        }
    }
}

void scatter(const Complex* work, Index n, double scale, bool conjugated, Sequence data) {
    const double imagScale = conjugated ? -scale : scale;
    for (Index j = 0; j < n; ++j) {
        data.re[j * data.step] = static_cast<float>(work[j][0] * scale);
        data.im[j * data.step] = static_cast<float>(work[j][1] * imagScale);
    }
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

    const Plan plan = makePlan(n);
    const bool tableRoots = dividesTablePeriod(n);
    alignas(16) Complex stackWork[stackWorkLength];
    std::unique_ptr<Complex[]> heap;
    Complex* work = stackWork;
    Complex* scratch = nullptr;
    Roots roots{rootsOf1024.value, tableRootsPerTurn};
    if (!tableRoots || n > stackWorkLength) {
        // Unusual lengths: roots, work buffer and odd-radix scratch on the heap.
        heap.reset(new (std::nothrow) Complex[2 * n + 2 * plan.largestGenericRadix]);
        if (!heap) return;  // nothing touched; no memory for the scratch
        Complex* rootValues = heap.get();
        RootSequence sequence(n);
        for (Index t = 0; t < n; ++t) rootValues[t] = sequence.next();
        roots = Roots{rootValues, n};
        work = rootValues + n;
        scratch = work + n;
    }

    const bool inverse = isn > 0;
    const double scale = inverse ? 1.0 / static_cast<double>(n) : 1.0;
    const Index stride = magnitude(isn);
    const Index spacing = magnitude(nspn);
    const Index segments = magnitude(nseg);
    for (Index segment = 0; segment < segments; ++segment) {
        for (Index offset = 0; offset < spacing; ++offset) {
            const Index first = (segment * n * spacing + offset) * stride;
            const Sequence data{re + first, im + first, spacing * stride};
            // The inverse is the conjugate of the forward transform of the conjugate.
            gatherDigitReversed(data, n, plan, inverse, work);
            runPlan(work, n, plan, roots, scratch);
            scatter(work, n, scale, inverse, data);
        }
    }
}

void fftRealPass(float* re, float* im, int len, int isn) {
    if (len == 0 || isn == 0) {
        std::fprintf(stderr, "\nerror - zero in reals parameters : %d : %d ", len, isn);
        return;
    }
    const Index n = magnitude(len);
    const Index stride = magnitude(isn);
    const bool inverse = isn > 0;
    auto load = [&](Index k) { return Complex{re[k * stride], im[k * stride]}; };
    auto store = [&](Index k, Complex value) {
        re[k * stride] = static_cast<float>(value[0]);
        im[k * stride] = static_cast<float>(value[1]);
    };

    // Bins 0 and n are real. Going back, their imaginary parts carry nothing a
    // real sequence can hold and are ignored.
    if (inverse) {
        const double dc = re[0];
        const double nyquist = re[n * stride];
        store(0, Complex{0.5 * (dc + nyquist), 0.5 * (dc - nyquist)});
    } else {
        const Complex z = load(0);
        store(0, Complex{z[0] + z[1], 0.0});
        store(n, Complex{z[0] - z[1], 0.0});
    }

    // Values k and n - k combine through the half-turn root w = e^(-i pi k/n):
    // forward  X_k = E + v D, X_(n-k) = conj(E - v D), v = -i w, from Z;
    // inverse  Z_k = E + v D, Z_(n-k) = conj(E - v D), v = conj(-i w), from X;
    // with E = (A_k + conj A_(n-k)) / 2 and D = (A_k - conj A_(n-k)) / 2.
    const bool tableRoots = dividesTablePeriod(2 * n);
    const Index tableStep = tableRoots ? tableRootsPerTurn / (2 * n) : 0;
    RootSequence sequence(tableRoots ? 1 : 2 * n);
    if (!tableRoots) sequence.next();  // skip t = 0
    for (Index k = 1; 2 * k < n; ++k) {
        const Complex w = tableRoots ? rootsOf1024.value[k * tableStep] : sequence.next();
        const Complex rotation = inverse ? conjugate(timesMinusI(w)) : timesMinusI(w);
        const Complex upper = load(k);
        const Complex lower = conjugate(load(n - k));
        const Complex even = 0.5 * (upper + lower);
        const Complex odd = multiply(0.5 * (upper - lower), rotation);
        store(k, even + odd);
        store(n - k, conjugate(even - odd));
    }
    // The middle value pairs with itself: w = -i, so the pass only conjugates it.
    if (n % 2 == 0 && n > 0) {
        const Index middle = n / 2;
        if (middle != 0) store(middle, conjugate(load(middle)));
    }
}

}  // namespace quorvane
