#include "tests/support/effect_driver.h"

namespace testing_support {

vst2::IntPtr VST2_CALLBACK minimalHost(AEffect*, std::int32_t opcode, std::int32_t, vst2::IntPtr,
                                       void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

std::vector<float> impulse(std::size_t length, std::size_t position, float height) {
    std::vector<float> signal(length, 0.0f);
    if (position < length) signal[position] = height;
    return signal;
}

std::vector<float> noise(std::size_t length, std::uint32_t seed) {
    std::vector<float> signal(length);
    std::uint32_t state = seed;
    for (float& sample : signal) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
    return signal;
}

}  // namespace testing_support
