// Fixed-width number texts for parameter displays: every text is 8 characters
// followed by a 0 byte, so callers need a buffer of at least 9 bytes.
#pragma once

#include <cstdint>

namespace shell {

inline constexpr int kValueTextLength = 8;

// Truncated (never rounded) decimal text of exactly 8 characters, e.g.
// 0.5 -> "0.500000", -0.25 -> "-0.25000", 1234567 -> "1234567.".
void formatFloat(float value, char* text);

// "%7d", cut to 8 characters; " Huge!  " beyond the 8-character range.
void formatInteger(std::int32_t value, char* text);

// 20 log10(gain) through formatFloat, "  -oo   " for gains of 0 or below.
void formatDecibels(float gain, char* text);

// sampleRate / period through formatFloat; a period of exactly 0 shows 0.
void formatHertz(float periodSamples, double sampleRate, char* text);

// samples * 1000 / sampleRate through formatFloat.
void formatMilliseconds(float samples, double sampleRate, char* text);

}  // namespace shell
