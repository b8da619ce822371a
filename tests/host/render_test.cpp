// The render loop against records of unusual shapes, without a library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/render.h"

namespace {

using host::RenderSettings;

// Every output carries 2 * input 0 plus the other inputs (which must be
// silent), negated on output 1 so left and right can be told apart.
float expectedOutput(std::int32_t output, float input) { return output == 1 ? -2.0f * input : 2.0f * input; }

void mix(AEffect* record, float** inputs, float** outputs, std::int32_t frames, bool accumulate) {
    for (std::int32_t i = 0; i < frames; ++i) {
        float sum = 2.0f * inputs[0][i];
        for (std::int32_t in = 1; in < record->numInputs; ++in) sum += inputs[in][i];
        for (std::int32_t out = 0; out < record->numOutputs; ++out) {
            const float value = out == 1 ? -sum : sum;
            outputs[out][i] = accumulate ? outputs[out][i] + value : value;
        }
    }
}

void accumulating(AEffect* record, float** inputs, float** outputs, std::int32_t frames) {
    mix(record, inputs, outputs, frames, true);
}

void replacing(AEffect* record, float** inputs, float** outputs, std::int32_t frames) {
    mix(record, inputs, outputs, frames, false);
}

AEffect recordWith(std::int32_t inputs, std::int32_t outputs) {
    AEffect record{};
    record.magic = vst2::kEffectMagic;
    record.numInputs = inputs;
    record.numOutputs = outputs;
    record.flags = vst2::effFlagsCanReplacing;
    record.process = accumulating;
    record.processReplacing = replacing;
    return record;
}

TEST(Render, FeedsInputZeroAndMapsOutputsToStereo) {
    const std::vector<float> input = {0.1f, -0.2f, 0.3f, 0.4f, -0.5f, 0.6f, 0.7f, -0.8f, 0.9f, 1.0f};
    const struct {
        std::int32_t inputs, outputs;
        bool accumulate;
    } cases[] = {
        {1, 2, false}, {1, 2, true},  // the plain shape, both entries
        {3, 2, true},                 // extra inputs must be silent
        {0, 2, false},                // no inputs: still a buffer to read
        {1, 1, false}, {2, 1, true},  // one output is heard on both sides
        {1, 6, true},                 // outputs beyond the second are dropped
    };
    for (const auto& c : cases) {
        AEffect record = recordWith(c.inputs, c.outputs);
        // Blocks of 4 over 10 samples: the last block is short, and
        // accumulating over unzeroed buffers would double the second block.
        const host::StereoAudio out = host::renderThrough(record, input, RenderSettings{4, c.accumulate});
        const std::int32_t rightOutput = c.outputs == 1 ? 0 : 1;
        ASSERT_EQ(out.left.size(), input.size());
        ASSERT_EQ(out.right.size(), input.size());
        for (std::size_t i = 0; i < input.size(); ++i) {
            EXPECT_FLOAT_EQ(out.left[i], expectedOutput(0, input[i])) << c.inputs << " in, " << c.outputs << " out";
            EXPECT_FLOAT_EQ(out.right[i], expectedOutput(rightOutput, input[i]))
                << c.inputs << " in, " << c.outputs << " out";
        }
    }
}

TEST(Render, RefusesRecordsItCannotDriveAndRendersSilenceForThem) {
    AEffect negativeInputs = recordWith(-1, 2);
    AEffect hugeOutputs = recordWith(1, 1 << 30);
    AEffect noEntries = recordWith(1, 2);
    noEntries.process = nullptr;
    noEntries.processReplacing = nullptr;
    AEffect replacingOnly = recordWith(1, 2);
    replacingOnly.process = nullptr;
    const struct {
        const char* what;
        AEffect* record;
        bool accumulate;
    } cases[] = {
        {"negative input count", &negativeInputs, false},
        {"huge output count", &hugeOutputs, false},
        {"no processing entry", &noEntries, false},
        {"no accumulating entry", &replacingOnly, true},
    };
    const std::vector<float> input(100, 0.5f);
    for (const auto& c : cases) {
        const RenderSettings settings{64, c.accumulate};
        EXPECT_FALSE(host::renderProblem(*c.record, settings).empty()) << c.what;
        const host::StereoAudio out = host::renderThrough(*c.record, input, settings);
        EXPECT_EQ(out.left, std::vector<float>(input.size(), 0.0f)) << c.what;
        EXPECT_EQ(out.right, std::vector<float>(input.size(), 0.0f)) << c.what;
    }
    // Without the replacing flag the accumulating entry serves.
    AEffect accumulatingOnly = recordWith(1, 2);
    accumulatingOnly.flags = 0;
    accumulatingOnly.processReplacing = nullptr;
    EXPECT_EQ(host::renderProblem(accumulatingOnly, RenderSettings{}), "");
    EXPECT_FLOAT_EQ(host::renderThrough(accumulatingOnly, input, RenderSettings{}).left[99], 1.0f);
}

}  // namespace
