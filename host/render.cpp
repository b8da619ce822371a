#include "host/render.h"

#include <algorithm>

namespace host {
namespace {

// The replacing entry unless accumulation is asked for or the plug-in does
// not offer replacing; null when the plug-in lacks the entry it would need.
AEffectProcessProc processingEntry(const AEffect& record, const RenderSettings& settings) {
    const bool replacing = !settings.accumulate && (record.flags & vst2::effFlagsCanReplacing) != 0 &&
                           record.processReplacing != nullptr;
    return replacing ? record.processReplacing : record.process;
}

bool channelCountValid(std::int32_t count) { return count >= 0 && count <= kMaxChannels; }

}  // namespace

std::string renderProblem(const AEffect& record, const RenderSettings& settings) {
    if (!channelCountValid(record.numInputs) || !channelCountValid(record.numOutputs)) {
        return "the plug-in claims " + std::to_string(record.numInputs) + " inputs and " +
               std::to_string(record.numOutputs) + " outputs";
    }
    if (processingEntry(record, settings) == nullptr) {
        return settings.accumulate ? "the plug-in has no accumulating processing entry"
                                   : "the plug-in has no processing entry";
    }
    return {};
}

StereoAudio renderThrough(AEffect& record, const std::vector<float>& input, const RenderSettings& settings,
                          const std::function<void(double)>& progress) {
    StereoAudio out;
    out.left.assign(input.size(), 0.0f);
    out.right.assign(input.size(), 0.0f);
    if (!renderProblem(record, settings).empty()) return out;
    const AEffectProcessProc entry = processingEntry(record, settings);

    // The plug-in always gets at least one input and two outputs to write to;
    // inputs beyond the first carry silence, outputs beyond the second are dropped.
    const auto block = static_cast<std::size_t>(std::max<std::int32_t>(settings.blockSize, 1));
    const auto inputCount = static_cast<std::size_t>(std::max<std::int32_t>(record.numInputs, 1));
    const auto outputCount = static_cast<std::size_t>(std::max<std::int32_t>(record.numOutputs, 2));
    std::vector<std::vector<float>> inputBuffers(inputCount, std::vector<float>(block, 0.0f));
    std::vector<std::vector<float>> outputBuffers(outputCount, std::vector<float>(block, 0.0f));
    std::vector<float*> inputs, outputs;
    for (auto& buffer : inputBuffers) inputs.push_back(buffer.data());
    for (auto& buffer : outputBuffers) outputs.push_back(buffer.data());
    // A plug-in with one output is heard on both sides.
    const float* rightSource = record.numOutputs == 1 ? outputs[0] : outputs[1];

    for (std::size_t start = 0; start < input.size(); start += block) {
        const std::size_t frames = std::min(block, input.size() - start);
        const auto offset = static_cast<std::ptrdiff_t>(start);
        std::copy_n(input.begin() + offset, frames, inputBuffers[0].begin());
        for (auto& buffer : outputBuffers) std::fill(buffer.begin(), buffer.end(), 0.0f);
        entry(&record, inputs.data(), outputs.data(), static_cast<std::int32_t>(frames));
        std::copy_n(outputs[0], frames, out.left.begin() + offset);
        std::copy_n(rightSource, frames, out.right.begin() + offset);
        if (progress) progress(static_cast<double>(start + frames) / static_cast<double>(input.size()));
    }
    return out;
}

}  // namespace host
