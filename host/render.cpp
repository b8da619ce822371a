#include "host/render.h"

#include <algorithm>

namespace host {

StereoAudio renderThrough(HostedPlugin& plugin, const std::vector<float>& input,
                          const RenderSettings& settings, const std::function<void(double)>& progress) {
    AEffect& record = plugin.record();
    const auto block = static_cast<std::size_t>(std::max<std::int32_t>(settings.blockSize, 1));
    const auto inputCount = static_cast<std::size_t>(std::max<std::int32_t>(record.numInputs, 1));
    const auto outputCount = static_cast<std::size_t>(std::max<std::int32_t>(record.numOutputs, 2));
    const bool replacing =
        !settings.accumulate && (record.flags & vst2::effFlagsCanReplacing) != 0 && record.processReplacing;

    // Inputs beyond the first carry silence; outputs beyond the second are dropped.
    std::vector<std::vector<float>> inputBuffers(inputCount, std::vector<float>(block, 0.0f));
    std::vector<std::vector<float>> outputBuffers(outputCount, std::vector<float>(block, 0.0f));
    std::vector<float*> inputs, outputs;
    for (auto& buffer : inputBuffers) inputs.push_back(buffer.data());
    for (auto& buffer : outputBuffers) outputs.push_back(buffer.data());

    StereoAudio out;
    out.left.reserve(input.size());
    out.right.reserve(input.size());
    for (std::size_t start = 0; start < input.size(); start += block) {
        const std::size_t frames = std::min(block, input.size() - start);
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(start), frames, inputBuffers[0].begin());
        for (auto& buffer : outputBuffers) std::fill(buffer.begin(), buffer.end(), 0.0f);
        const auto count = static_cast<std::int32_t>(frames);
        if (replacing) {
            record.processReplacing(&record, inputs.data(), outputs.data(), count);
        } else {
            record.process(&record, inputs.data(), outputs.data(), count);
        }
        const float* right = record.numOutputs == 1 ? outputs[0] : outputs[1];
        out.left.insert(out.left.end(), outputs[0], outputs[0] + frames);
        out.right.insert(out.right.end(), right, right + frames);
        if (progress) progress(static_cast<double>(start + frames) / static_cast<double>(input.size()));
    }
    return out;
}

}  // namespace host
