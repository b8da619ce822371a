// Drives an effect one sample at a time, so a test can set a parameter before
// every sample to the value an effect's own modulation should reach.
#pragma once

#include <cstddef>
#include <vector>

#include "tests/support/effect_driver.h"

namespace testing_support {

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

}  // namespace testing_support
