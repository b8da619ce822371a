// Small helpers for driving an effect object directly in unit tests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "vst2/aeffect.h"

namespace testing_support {

// A host callback that answers audioMasterVersion and nothing else.
vst2::IntPtr VST2_CALLBACK minimalHost(AEffect*, std::int32_t opcode, std::int32_t, vst2::IntPtr,
                                       void*, float);

struct StereoBlock {
    std::vector<float> left, right;
};

// Runs processReplacing (or process on buffers pre-filled with `prefill`) over
// the whole input in blocks of `blockSize` samples.
template <class Effect>
StereoBlock render(Effect& effect, const std::vector<float>& input, bool accumulate = false,
                   float prefill = 0.0f, std::int32_t blockSize = 512) {
    StereoBlock out{std::vector<float>(input.size(), prefill), std::vector<float>(input.size(), prefill)};
    for (std::size_t start = 0; start < input.size(); start += static_cast<std::size_t>(blockSize)) {
        const auto frames = static_cast<std::int32_t>(
            std::min<std::size_t>(static_cast<std::size_t>(blockSize), input.size() - start));
        float* inputs[] = {const_cast<float*>(input.data() + start), nullptr};
        float* outputs[] = {out.left.data() + start, out.right.data() + start};
        if (accumulate) {
            effect.process(inputs, outputs, frames);
        } else {
            effect.processReplacing(inputs, outputs, frames);
        }
    }
    return out;
}

// A unit impulse at `position` in `length` samples of silence.
std::vector<float> impulse(std::size_t length, std::size_t position = 0, float height = 1.0f);

// Deterministic white noise in -1..1.
std::vector<float> noise(std::size_t length, std::uint32_t seed = 1);

template <class Effect>
std::unique_ptr<Effect> makeEffect() {
    return std::make_unique<Effect>(minimalHost);
}

}  // namespace testing_support
