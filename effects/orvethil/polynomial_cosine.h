// Cosine for angles of one turn (0 .. 2 pi and a little beyond), as accurate
// as the library's cosine to within a few units in the last place of a double
// and several times cheaper: no call, no general argument reduction. Its
// result feeds coefficients that are rounded to 32-bit floats, so the
// remaining error lies far below that rounding.
#pragma once

namespace orvethil {

namespace cosine_detail {

// pi / 2 as the double nearest to it plus the remainder. The nearest double
// ends in three zero bits, so q * kHalfPiHigh is exact for quadrants q <= 7.
inline constexpr double kHalfPiHigh = 1.5707963267948966;
inline constexpr double kHalfPiLow = 6.123233995736766e-17;
inline constexpr double kTwoOverPi = 0.6366197723675814;

// Taylor series on |r| <= pi / 4; the first omitted terms, r^17 / 17! and
// r^18 / 18!, are below 5e-17 there.
inline double sineNearZero(double r) {
    const double r2 = r * r;
    double p = -1.0 / 1307674368000.0;  // -1/15!
    p = p * r2 + 1.0 / 6227020800.0;    // 1/13!
    p = p * r2 - 1.0 / 39916800.0;      // -1/11!
    p = p * r2 + 1.0 / 362880.0;        // 1/9!
    p = p * r2 - 1.0 / 5040.0;          // -1/7!
    p = p * r2 + 1.0 / 120.0;           // 1/5!
    p = p * r2 - 1.0 / 6.0;             // -1/3!
    return r + r * r2 * p;
}

inline double cosineNearZero(double r) {
    const double r2 = r * r;
    double p = 1.0 / 20922789888000.0;  // 1/16!
    p = p * r2 - 1.0 / 87178291200.0;   // -1/14!
    p = p * r2 + 1.0 / 479001600.0;     // 1/12!
    p = p * r2 - 1.0 / 3628800.0;       // -1/10!
    p = p * r2 + 1.0 / 40320.0;         // 1/8!
    p = p * r2 - 1.0 / 720.0;           // -1/6!
    p = p * r2 + 1.0 / 24.0;            // 1/4!
    return 1.0 - 0.5 * r2 + r2 * r2 * p;
}

}  // namespace cosine_detail

// cos(radians) for 0 <= radians <= 8. The angle is reduced by whole quarter
// turns; the subtraction of q * kHalfPiHigh is exact, so the result keeps its
// relative accuracy even next to the zeros at pi / 2 and 3 pi / 2.
inline double polynomialCosine(double radians) {
    using namespace cosine_detail;
    const int quadrant = static_cast<int>(radians * kTwoOverPi + 0.5);
    const double q = quadrant;
    const double r = (radians - q * kHalfPiHigh) - q * kHalfPiLow;
    switch (quadrant & 3) {
        case 0: return cosineNearZero(r);
        case 1: return -sineNearZero(r);
        case 2: return -cosineNearZero(r);
        default: return sineNearZero(r);
    }
}

}  // namespace orvethil
