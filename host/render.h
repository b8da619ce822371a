// Runs a hosted plug-in over a mono signal in blocks, as a host's audio thread does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vst2/aeffect.h"

namespace host {

struct RenderSettings {
    std::int32_t blockSize = 512;
    bool accumulate = false;  // the accumulating entry on zeroed buffers
};

struct StereoAudio {
    std::vector<float> left, right;
};

// Channel counts beyond this are taken for a corrupt record, not served.
inline constexpr std::int32_t kMaxChannels = 256;

// Answers why the record cannot be rendered with `settings` (channel counts out
// of range, the needed processing entry missing), or an empty text when it can.
std::string renderProblem(const AEffect& record, const RenderSettings& settings);

// Renders `input` through the plug-in's record; a record with a render problem
// gives silence. `progress` is told the share done (0..1) after each block.
StereoAudio renderThrough(AEffect& record, const std::vector<float>& input,
                          const RenderSettings& settings,
                          const std::function<void(double)>& progress = {});

}  // namespace host
