// Cost of Quorvane's spectral work: the per-bin conversions of one hop, one
// analysis plus resynthesis hop of the phase vocoder, and the pitch-shift
// engine per sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

#include "effects/quorvane/phase_vocoder.h"
#include "effects/quorvane/pitch_shift_engine.h"
#include "effects/quorvane/bin_math.h"

namespace {

constexpr int kFftLength = 1024;
constexpr int kHop = 256;
constexpr int kBins = kFftLength / 2 + 1;
constexpr float kBinSpacing = 44100.0f / kFftLength;
constexpr float kHopRate = 44100.0f / kHop;

std::vector<float> testSignal(std::size_t length) {
    std::vector<float> signal(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i);
        signal[i] = static_cast<float>(0.3 * std::sin(0.05 * t) + 0.2 * std::sin(0.37 * t + 0.002 * t * t * 1e-3));
    }
    return signal;
}

// Complex bins of varied size and angle, as a forward transform leaves them.
std::vector<float> rectangularFrame() {
    std::vector<float> frame(2 * kBins);
    for (int k = 0; k < kBins; ++k) {
        frame[2 * k] = static_cast<float>(std::cos(0.7 * k) * (1.0 + k % 5));
        frame[2 * k + 1] = static_cast<float>(std::sin(1.3 * k) * (1.0 + k % 3));
    }
    return frame;
}

void counterPerHop(benchmark::State& state) {
    state.counters["per_hop"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Magnitude, phase and phase step of 513 bins, then the running phases and
// back to rectangular: the per-bin work of one analysis and one resynthesis.
void PerBinWorkOfOneHop(benchmark::State& state) {
    const std::vector<float> bins = rectangularFrame();
    std::vector<float> frame(bins.size()), previous(kBins, 0.0f), running(kBins, 0.0f);
    for (auto _ : state) {
        frame = bins;
        quorvane::toAmplitudeFrequency(frame.data(), previous.data(), kBins, kHopRate / (2.0 * std::numbers::pi),
                                       kBinSpacing);
        quorvane::fromAmplitudeFrequency(frame.data(), running.data(), kBins, kBinSpacing, kHopRate,
                                         2.0 * std::numbers::pi / kHopRate);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    counterPerHop(state);
}
BENCHMARK(PerBinWorkOfOneHop);

// One analysis and one resynthesis of the phase vocoder: window folding,
// the forward and inverse transforms, the per-bin work and the overlap-add.
void VocoderHop(benchmark::State& state) {
    quorvane::PhaseVocoder analysis, resynthesis;
    analysis.init(44100, kFftLength, kHop, 2);
    resynthesis.init(44100, kFftLength, kHop, 2);
    const std::vector<float> input = testSignal(kHop * 64);
    std::vector<float> frame(kFftLength + 2), output(kHop);
    std::size_t block = 0;
    for (auto _ : state) {
        analysis.analyze(input.data() + kHop * block, frame.data(), kHop, 0);
        resynthesis.synthesize(frame.data(), output.data(), 0);
        block = (block + 1) % 64;
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    counterPerHop(state);
}
BENCHMARK(VocoderHop);

// The engine sample by sample, shifting half the spectrum up an octave.
void EnginePerSample(benchmark::State& state) {
    quorvane::PitchShiftEngine engine;
    engine.init(44100, kFftLength, kHop, 2);
    const std::vector<float> input = testSignal(44100);
    std::size_t i = 0;
    float sum = 0.0f;
    for (auto _ : state) {
        sum += engine.processSample(input[i], 12.0f, 256.0f, 128.0f);
        if (++i == input.size()) i = 0;
    }
    benchmark::DoNotOptimize(sum);
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(EnginePerSample);

}  // namespace
