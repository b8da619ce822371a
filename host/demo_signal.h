// The built-in demo signal: a short musical phrase followed by noise bursts,
// so a plug-in can be heard without an input file.
#pragma once

#include <vector>

namespace host {

inline constexpr double kDemoSampleRate = 44100.0;

// About six seconds at 44.1 kHz, peaks near -6 dBFS.
std::vector<float> demoSignal();

}  // namespace host
