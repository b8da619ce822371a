// The phase vocoder's per-bin work: between (real, imaginary) bins and
// (amplitude, frequency in Hz) or (amplitude, phase) pairs, on frames of
// interleaved pairs for bins 0 .. bins-1.
//
// The loops compute in double precision, two bins at a time, with their own
// arc tangent, sine and cosine (no calls, no branches), accurate to better
// than 1e-9: far below the single-precision rounding of what they store.
#pragma once

namespace quorvane {

inline constexpr float kSilentAmplitude = 1e-10f;  // below it a bin has no phase
// A running phase at or beyond this many turns (multiples of the hop rate) is
// brought back by whole turns, which leaves the angle it stands for as it was.
inline constexpr double kPhaseWrapTurns = 16.0;

// Analysis, (amplitude, frequency): the phase step since the previous frame
// (into -pi .. pi), scaled by `phaseStepToHz`, plus the bin's centre frequency.
// A bin below kSilentAmplitude reports its centre frequency and keeps its
// stored phase.
void toAmplitudeFrequency(float* frame, float* previousPhase, int bins, double phaseStepToHz, float binSpacing);

// Analysis, (amplitude, phase in radians); phase 0 for a silent bin.
void toAmplitudePhase(float* frame, int bins);

// Resynthesis from (amplitude, frequency): each running phase advances by the
// bin's frequency less its centre frequency, and the bin becomes amplitude at
// the angle phase * hzToPhaseStep. A running phase that is not finite (only
// frames of absurd frequencies lead there) starts again from 0.
void fromAmplitudeFrequency(float* frame, float* runningPhase, int bins, float binSpacing, float hopRate,
                            double hzToPhaseStep);

// Resynthesis from (amplitude, phase in radians).
void fromAmplitudePhase(float* frame, int bins);

// sum[i] += a[i] * b[i] for i in 0 .. count-1, each product and sum in
// double precision and stored as a float: the vocoder's window folding and
// overlap-add.
void addProducts(float* sum, const float* a, const float* b, int count);

namespace spectral {

// Nearest integer (ties to even) for |x| < 2^51, of a double or of a vector of
// doubles: adding and removing 1.5 * 2^52 leaves no fraction bits. (SSE2 has no
// rounding instruction for doubles; std::nearbyint would be a call.)
template <class T>
T roundToInteger(T x) {
    constexpr double kShifter = 6755399441055744.0;
    return (x + kShifter) - kShifter;
}

// The loops' own functions, one value at a time.
double atan2(double y, double x);  // -pi .. pi; 0 for (0, 0)

struct SinCos {
    double sin;
    double cos;
};
SinCos sinCos(double theta);  // error below 1e-11 for |theta| up to 1e6

}  // namespace spectral
}  // namespace quorvane
