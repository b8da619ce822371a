// Cosine for angles of one turn (0 .. 2 pi and a little beyond), as accurate
// as the library's cosine to within a few units in the last place of a double
// and several times cheaper: no call, no general argument reduction. Its
// result feeds coefficients that are rounded to 32-bit floats, so the
// remaining error lies far below that rounding.
#pragma once

#include <bit>
#include <cstdint>

namespace orvethil {

namespace cosine_detail {

// pi / 2 as the double nearest to it plus the remainder. The nearest double
// ends in three zero bits, so q * kHalfPiHigh is exact for quadrants q <= 7.
inline constexpr double kHalfPiHigh = 1.5707963267948966;
inline constexpr double kHalfPiLow = 6.123233995736766e-17;
inline constexpr double kTwoOverPi = 0.6366197723675814;

// Taylor series on |r| <= pi / 4; the first omitted terms, r^17 / 17! and
// r^18 / 18!, are below 5e-17 there. The series in r^2 is summed in pairs
// (Estrin's scheme) rather than by Horner's rule: the additions then form a
// chain of three instead of seven, which lets two cosines a sample overlap.
inline double seriesInSquare(double r2, const double (&c)[8]) {
    const double r4 = r2 * r2;
    const double r8 = r4 * r4;
    const double low = (c[0] + c[1] * r2) + (c[2] + c[3] * r2) * r4;
    const double high = (c[4] + c[5] * r2) + (c[6] + c[7] * r2) * r4;
    return low + high * r8;
}

inline constexpr double kSineSeries[8] = {
    1.0, -1.0 / 6.0, 1.0 / 120.0, -1.0 / 5040.0, 1.0 / 362880.0, -1.0 / 39916800.0,
    1.0 / 6227020800.0, -1.0 / 1307674368000.0,  // 1/1!, -1/3!, ... -1/15!
};
// cos(r) = 1 - r^2 (1/2! - r^2/4! + ...), up to r^16.
inline constexpr double kCosineSeries[8] = {
    1.0 / 2.0, -1.0 / 24.0, 1.0 / 720.0, -1.0 / 40320.0, 1.0 / 3628800.0, -1.0 / 479001600.0,
    1.0 / 87178291200.0, -1.0 / 20922789888000.0,  // 1/2!, -1/4!, ... -1/16!
};

inline double sineNearZero(double r) { return r * seriesInSquare(r * r, kSineSeries); }
inline double cosineNearZero(double r) {
    const double r2 = r * r;
    return 1.0 - r2 * seriesInSquare(r2, kCosineSeries);
}

}  // namespace cosine_detail

// cos(radians) for 0 <= radians <= 8. The angle is reduced by whole quarter
// turns; the subtraction of q * kHalfPiHigh is exact, so the result keeps its
// relative accuracy even next to the zeros at pi / 2 and 3 pi / 2.
inline double polynomialCosine(double radians) {
    using namespace cosine_detail;
    // Adding 1.5 * 2^52 rounds to a whole number of quarter turns, which then
    // stands in the low bits of the sum: cheaper than a round trip through int.
    constexpr double kRoundingShift = 6755399441055744.0;
    const double shifted = radians * kTwoOverPi + kRoundingShift;
    const double q = shifted - kRoundingShift;
    const double r = (radians - q * kHalfPiHigh) - q * kHalfPiLow;
    switch (std::bit_cast<std::uint64_t>(shifted) & 3) {
        case 0: return cosineNearZero(r);
        case 1: return -sineNearZero(r);
        case 2: return -cosineNearZero(r);
        default: return sineNearZero(r);
    }
}

}  // namespace orvethil
