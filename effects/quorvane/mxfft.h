// Mixed-radix fast Fourier transform of any length, plus the pass that turns a
// half-length complex transform into the spectrum of a real sequence and back.
//
// A sequence lives in two float arrays, `re` and `im`, read and written with a
// common element stride |isn| (the phase vocoder uses one interleaved buffer:
// re = frame, im = frame + 1, stride 2). Arithmetic is done in double precision;
// results are stored back as floats, in natural order, in place. Neither
// function keeps state between calls or takes a lock; fftComplex allocates
// scratch only for lengths that are not a power of two up to 1024 (the real
// pass never does). A rejected call prints its message on standard error and
// leaves the data untouched.
#pragma once

namespace quorvane {

// In-place complex DFT of length |len| along every one of |nspn| interleaved
// sequences in each of |nseg| consecutive segments: element j of sequence a in
// segment g lies at index (a + nspn * (j + len * g)) * |isn|.
// isn < 0: forward, X[k] = sum x[j] e^(-2 pi i jk/len), unscaled.
// isn > 0: inverse, x[j] = (1/len) sum X[k] e^(+2 pi i jk/len).
// Lengths whose factorisation needs more than 15 passes are rejected.
void fftComplex(float* re, float* im, int nseg, int len, int nspn, int isn);

// Converts between the len-point complex transform of 2*len real samples
// packed as len complex values (even samples in re, odd samples in im) and the
// len + 1 bins of their spectrum; bin len goes to the value slot after the last
// input value, so the buffer holds len + 1 values.
// isn < 0, after a forward fftComplex: leaves the plain unscaled DFT of the
//          2*len samples, bins 0 and len with imaginary parts 0.
// isn > 0, before an inverse fftComplex: prepares the values so that the
//          inverse transform gives back the 2*len samples (the pair is scaled
//          by 1/(2*len) in all).
void fftRealPass(float* re, float* im, int len, int isn);

}  // namespace quorvane
