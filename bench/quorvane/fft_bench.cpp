// The phase vocoder's transforms (512 complex points, interleaved, stride 2)
// next to FFTW's single-precision transform of the same size, in one run.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "effects/quorvane/mxfft.h"

namespace {

constexpr int complexLength = 512;
constexpr int realLength = 2 * complexLength;

// A frame of real samples with room for bin N/2, as the vocoder holds it.
std::vector<float> testFrame() {
    std::vector<float> frame(realLength + 2, 0.0f);
    for (int i = 0; i < realLength; ++i) frame[i] = static_cast<float>(std::sin(0.01 * i * i));
    return frame;
}

void ComplexPair(benchmark::State& state) {
    std::vector<float> frame = testFrame();
    for (auto _ : state) {
        quorvane::fftComplex(frame.data(), frame.data() + 1, 1, complexLength, 1, -2);
        quorvane::fftComplex(frame.data(), frame.data() + 1, 1, complexLength, 1, 2);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(ComplexPair);

void RealForward(benchmark::State& state) {
    const std::vector<float> input = testFrame();
    std::vector<float> frame = input;
    for (auto _ : state) {
        frame = input;
        quorvane::fftComplex(frame.data(), frame.data() + 1, 1, complexLength, 1, -2);
        quorvane::fftRealPass(frame.data(), frame.data() + 1, complexLength, -2);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RealForward);

void RealInverse(benchmark::State& state) {
    std::vector<float> spectrum = testFrame();
    quorvane::fftComplex(spectrum.data(), spectrum.data() + 1, 1, complexLength, 1, -2);
    quorvane::fftRealPass(spectrum.data(), spectrum.data() + 1, complexLength, -2);
    std::vector<float> frame = spectrum;
    for (auto _ : state) {
        frame = spectrum;
        quorvane::fftRealPass(frame.data(), frame.data() + 1, complexLength, 2);
        quorvane::fftComplex(frame.data(), frame.data() + 1, 1, complexLength, 1, 2);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RealInverse);

// FFTW's forward and backward 512-point complex transforms in place, planned
// with FFTW_MEASURE. Its backward transform is unscaled, so repeated pairs
// would grow the data to infinity; it runs on zeros, which cost it the same.
void FftwComplexPair(benchmark::State& state) {
    auto* data = fftwf_alloc_complex(complexLength);
    const fftwf_plan forward = fftwf_plan_dft_1d(complexLength, data, data, FFTW_FORWARD, FFTW_MEASURE);
    const fftwf_plan backward = fftwf_plan_dft_1d(complexLength, data, data, FFTW_BACKWARD, FFTW_MEASURE);
    for (int k = 0; k < complexLength; ++k) data[k][0] = data[k][1] = 0.0f;
    for (auto _ : state) {
        fftwf_execute(forward);
        fftwf_execute(backward);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(backward);
    fftwf_free(data);
}
BENCHMARK(FftwComplexPair);

}  // namespace

BENCHMARK_MAIN();
