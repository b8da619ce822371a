// Behaviour every effect shares, checked for each effect class: the two
// processing entries agree, only the first input is read, processing
// allocates nothing and leaves the floating-point mode as it found it, and
// hostile parameter values or buffers never crash.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "effects/ambrelic/ambrelic_effect.h"
#include "effects/hollistra/hollistra_effect.h"
#include "effects/orvethil/orvethil_effect.h"
#include "effects/pallimund/pallimund_effect.h"
#include "effects/quorvane/quorvane_effect.h"
#include "effects/tellimor/tellimor_effect.h"
#include "effects/wendrake/wendrake_effect.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/effect_driver.h"

namespace {

using testing_support::makeEffect;
using testing_support::noise;
using testing_support::render;

template <class Effect>
class EveryEffect : public ::testing::Test {};

// Each effect class of the suite; a new effect is added here.
using AllEffects = ::testing::Types<tellimor::TellimorEffect, ambrelic::AmbrelicEffect, orvethil::OrvethilEffect,
                                    pallimund::PallimundEffect, wendrake::WendrakeEffect, hollistra::HollistraEffect,
                                    quorvane::QuorvaneEffect>;
TYPED_TEST_SUITE(EveryEffect, AllEffects);

constexpr std::size_t kSignalLength = 3000;

TYPED_TEST(EveryEffect, AccumulatingEntryAddsExactlyWhatReplacingStores) {
    const auto input = noise(kSignalLength);
    for (std::int32_t program = 0; program < shell::kProgramCount; ++program) {
        auto replacing = makeEffect<TypeParam>();
        auto accumulating = makeEffect<TypeParam>();
        replacing->setProgram(program);
        accumulating->setProgram(program);
        const float prefill = 0.375f;
        const auto stored = render(*replacing, input, false, 0.0f, 256);
        const auto added = render(*accumulating, input, true, prefill, 256);
        for (std::size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(added.left[i], prefill + stored.left[i]) << "program " << program << " sample " << i;
            ASSERT_EQ(added.right[i], prefill + stored.right[i]) << "program " << program << " sample " << i;
        }
    }
}

TYPED_TEST(EveryEffect, ReadsOnlyTheFirstInput) {
    const auto input = noise(kSignalLength);
    std::vector<float> poison(kSignalLength, std::numeric_limits<float>::quiet_NaN());
    for (std::int32_t program = 0; program < shell::kProgramCount; ++program) {
        auto plain = makeEffect<TypeParam>();
        auto poisoned = makeEffect<TypeParam>();
        plain->setProgram(program);
        poisoned->setProgram(program);
        std::vector<float> expectedLeft(kSignalLength), expectedRight(kSignalLength);
        std::vector<float> left(kSignalLength), right(kSignalLength);
        float* plainInputs[] = {const_cast<float*>(input.data()), nullptr};
        float* poisonedInputs[] = {const_cast<float*>(input.data()), poison.data()};
        float* expectedOutputs[] = {expectedLeft.data(), expectedRight.data()};
        float* outputs[] = {left.data(), right.data()};
        plain->processReplacing(plainInputs, expectedOutputs, static_cast<std::int32_t>(kSignalLength));
        poisoned->processReplacing(poisonedInputs, outputs, static_cast<std::int32_t>(kSignalLength));
        for (std::size_t i = 0; i < kSignalLength; ++i) {
            ASSERT_EQ(std::memcmp(&left[i], &expectedLeft[i], sizeof(float)), 0) << i;
            ASSERT_EQ(std::memcmp(&right[i], &expectedRight[i], sizeof(float)), 0) << i;
        }
    }
}

TYPED_TEST(EveryEffect, ProcessingAllocatesNothing) {
    auto effect = makeEffect<TypeParam>();
    const auto input = noise(kSignalLength);
    std::vector<float> left(kSignalLength), right(kSignalLength);
    float* inputs[] = {const_cast<float*>(input.data())};
    float* outputs[] = {left.data(), right.data()};
    for (std::int32_t program = 0; program < shell::kProgramCount; ++program) {
        effect->setProgram(program);
        const testing_support::AllocationScope scope;
        effect->processReplacing(inputs, outputs, static_cast<std::int32_t>(kSignalLength));
        effect->process(inputs, outputs, static_cast<std::int32_t>(kSignalLength));
        EXPECT_EQ(scope.allocations(), 0u) << "program " << program;
    }
}

#if defined(__SSE__)
TYPED_TEST(EveryEffect, RestoresTheHostsFloatingPointMode) {
    auto effect = makeEffect<TypeParam>();
    effect->setProgram(1);
    const auto input = noise(kSignalLength);
    const unsigned hostMode = _mm_getcsr();
    render(*effect, input);
    EXPECT_EQ(_mm_getcsr(), hostMode);
}
#endif

// Values a host should never send, in every parameter at once and one at a
// time: processing must stay inside its buffers and finish.
TYPED_TEST(EveryEffect, SurvivesHostileParameterValues) {
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             -1.0f,
                             -1.0e30f,
                             1.0e30f,
                             2.5f,
                             std::numeric_limits<float>::denorm_min()};
    const auto input = noise(2048);
    for (const float value : hostile) {
        auto all = makeEffect<TypeParam>();
        for (int i = 0; i < TypeParam::kNumParams; ++i) all->setParameter(i, value);
        render(*all, input);
        for (int i = 0; i < TypeParam::kNumParams; ++i) {
            auto one = makeEffect<TypeParam>();
            one->setProgram(3);
            one->setParameter(i, value);
            render(*one, input, false, 0.0f, 333);
            const float readBack = one->getParameter(i);  // stored as the host sent it
            EXPECT_EQ(std::memcmp(&readBack, &value, sizeof value), 0);
        }
    }
}

// Hostile and ordinary values set while the effect runs, so state built up
// under one value (a long loop, a far head, a long period) meets another.
TYPED_TEST(EveryEffect, SurvivesHostileValuesChangingWhileRunning) {
    const float values[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), -1.0e30f, 1.0e30f, -1.0f, 2.0f, 0.0f,
                            0.01f, 0.5f, 1.0f};
    auto effect = makeEffect<TypeParam>();
    const auto input = noise(64);
    std::uint32_t state = 7;
    for (int block = 0; block < 3000; ++block) {
        state = state * 1664525u + 1013904223u;
        const auto index = static_cast<std::int32_t>((state >> 8) % TypeParam::kNumParams);
        effect->setParameter(index, values[(state >> 16) % std::size(values)]);
        render(*effect, input);
    }
}

TYPED_TEST(EveryEffect, IgnoresEmptyBlocksAndMissingBuffers) {
    auto effect = makeEffect<TypeParam>();
    effect->setProgram(2);
    std::vector<float> input(64, 0.5f), left(64, 7.0f), right(64, 7.0f);
    float* inputs[] = {input.data()};
    float* outputs[] = {left.data(), right.data()};
    float* missing[] = {nullptr, nullptr};
    effect->processReplacing(inputs, outputs, 0);
    effect->processReplacing(inputs, outputs, -5);
    effect->processReplacing(nullptr, outputs, 64);
    effect->processReplacing(inputs, nullptr, 64);
    effect->processReplacing(missing, outputs, 64);
    effect->process(inputs, missing, 64);
    for (std::size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(left[i], 7.0f);
        ASSERT_EQ(right[i], 7.0f);
    }
}

}  // namespace
