// Cost of each effect's replacing entry at block 512, per sample.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "effects/ambrelic/ambrelic_effect.h"
#include "effects/hollistra/hollistra_effect.h"
#include "effects/orvethil/orvethil_effect.h"
#include "effects/pallimund/pallimund_effect.h"
#include "effects/quorvane/quorvane_effect.h"
#include "effects/tellimor/tellimor_effect.h"
#include "effects/wendrake/wendrake_effect.h"
#include "tests/support/effect_driver.h"

namespace {

constexpr std::int32_t kBlock = 512;

template <class Effect>
void processReplacingAtBlock512(benchmark::State& state) {
    auto effect = testing_support::makeEffect<Effect>();
    effect->setProgram(static_cast<std::int32_t>(state.range(0)));
    const auto input = testing_support::noise(kBlock, 11);
    std::vector<float> left(kBlock), right(kBlock);
    float* inputs[] = {const_cast<float*>(input.data())};
    float* outputs[] = {left.data(), right.data()};
    for (auto _ : state) {
        effect->processReplacing(inputs, outputs, kBlock);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Seconds per sample, printed with an SI prefix (e.g. "13.1n" for 13.1 ns).
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One registration per effect, over its five presets.
BENCHMARK_TEMPLATE(processReplacingAtBlock512, quorvane::QuorvaneEffect)->DenseRange(0, 4);
BENCHMARK_TEMPLATE(processReplacingAtBlock512, tellimor::TellimorEffect)->DenseRange(0, 4);
BENCHMARK_TEMPLATE(processReplacingAtBlock512, ambrelic::AmbrelicEffect)->DenseRange(0, 4);
BENCHMARK_TEMPLATE(processReplacingAtBlock512, orvethil::OrvethilEffect)->DenseRange(0, 4);
BENCHMARK_TEMPLATE(processReplacingAtBlock512, pallimund::PallimundEffect)->DenseRange(0, 4);
BENCHMARK_TEMPLATE(processReplacingAtBlock512, wendrake::WendrakeEffect)->DenseRange(0, 4);
BENCHMARK_TEMPLATE(processReplacingAtBlock512, hollistra::HollistraEffect)->DenseRange(0, 4);

}  // namespace

BENCHMARK_MAIN();
