// Helpers for effect tests that set parameters: an effect made with given
// values, an effect driven one sample at a time (also by a reference LFO), and
// the check that a value a host should not send behaves exactly as a chosen
// value in range.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "dsp/triangle_lfo.h"
#include "tests/support/effect_driver.h"

namespace testing_support {

inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Parameter index and value pairs; a parameter not named keeps the 0 that a
// new effect starts with.
using ParameterValues = std::initializer_list<std::pair<std::int32_t, float>>;

template <class Effect>
std::unique_ptr<Effect> makeEffectWith(ParameterValues values) {
    auto effect = makeEffect<Effect>();
    for (const auto& [index, value] : values) effect->setParameter(index, value);
    return effect;
}

// Runs processReplacing one sample at a time, calling beforeSample(i) first,
// so a test can set a parameter to the value an effect's own modulation
// should reach at that sample.
template <class Effect, class BeforeSample>
StereoBlock renderSampleBySample(Effect& effect, const std::vector<float>& input, BeforeSample beforeSample) {
    StereoBlock out{std::vector<float>(input.size()), std::vector<float>(input.size())};
    for (std::size_t i = 0; i < input.size(); ++i) {
        beforeSample(i);
        float* inputs[] = {const_cast<float*>(&input[i])};
        float* outputs[] = {&out.left[i], &out.right[i]};
        effect.processReplacing(inputs, outputs, 1);
    }
    return out;
}

// The same, advancing a reference triangle LFO by `step` before every sample
// and handing its phase to setFromPhase(phase): the parameters it sets must
// reproduce what the effect's own LFO does.
template <class Effect, class SetFromPhase>
StereoBlock renderDrivenByTriangle(Effect& effect, const std::vector<float>& input, double step,
                                   SetFromPhase setFromPhase) {
    dsp::TriangleLfo lfo;
    return renderSampleBySample(effect, input, [&](std::size_t) { setFromPhase(lfo.advance(step)); });
}

struct OutOfRangeCase {
    std::int32_t param;
    float hostile;
    float equivalent;
};

// On `program`, the hostile value of one parameter must give exactly the
// output of the equivalent one, and a finite one.
template <class Effect>
void expectBehavesAsEquivalent(std::int32_t program, const OutOfRangeCase& c, const std::vector<float>& input) {
    SCOPED_TRACE(::testing::Message() << "parameter " << c.param << " at " << c.hostile);
    auto hostile = makeEffect<Effect>();
    auto equivalent = makeEffect<Effect>();
    hostile->setProgram(program);
    equivalent->setProgram(program);
    hostile->setParameter(c.param, c.hostile);
    equivalent->setParameter(c.param, c.equivalent);
    const auto a = render(*hostile, input);
    const auto b = render(*equivalent, input);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    EXPECT_TRUE(std::isfinite(a.left.back()) && std::isfinite(a.right.back()));
}

}  // namespace testing_support
