// Runs a hosted plug-in over a mono signal in blocks, as a host's audio thread does.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/hosted_plugin.h"

namespace host {

struct RenderSettings {
    std::int32_t blockSize = 512;
    bool accumulate = false;  // the accumulating entry on zeroed buffers
};

struct StereoAudio {
    std::vector<float> left, right;
};

// `progress` is told the share done (0..1) after each block.
StereoAudio renderThrough(HostedPlugin& plugin, const std::vector<float>& input,
                          const RenderSettings& settings,
                          const std::function<void(double)>& progress = {});

}  // namespace host
