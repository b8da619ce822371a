#include "shell/value_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace shell {
namespace {

constexpr char kHugeText[] = " Huge!  ";
constexpr char kMinusInfinityText[] = "  -oo   ";
constexpr char kNotANumberText[] = "  NaN   ";

// Smallest magnitudes whose integer digits no longer fit the 8 characters
// together with the decimal point (and the sign for negative values).
constexpr double kPositiveOverflow = 10000000.0;
constexpr double kNegativeOverflow = 1000000.0;

void writeText(const char* source, char* text) { std::memcpy(text, source, kValueTextLength + 1); }

char digitOf(double value) { return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0))); }

}  // namespace

void formatFloat(float value, char* text) {
    double v = value;
    if (std::isnan(v)) {
        writeText(kNotANumberText, text);
        return;
    }
    const bool negative = v < 0.0;
    if (negative) v = -v;
    // Larger values would need more integer digits than the field holds; they
    // show as overflow rather than losing their leading digits.
    if (v >= (negative ? kNegativeOverflow : kPositiveOverflow)) {
        writeText(kHugeText, text);
        return;
    }

    // Integer part, built right to left behind the decimal point.
    char integerPart[kValueTextLength + 1];
    int start = kValueTextLength;
    integerPart[start] = '\0';
    integerPart[--start] = '.';
    int count = negative ? 2 : 1;
    double remaining = std::floor(v);
    integerPart[--start] = digitOf(remaining);
    ++count;
    remaining /= 10.0;
    while (remaining >= 1.0 && count < kValueTextLength) {
        integerPart[--start] = digitOf(remaining);
        ++count;
        remaining /= 10.0;
    }
    if (negative) integerPart[--start] = '-';

    const int integerLength = kValueTextLength - start;
    std::memcpy(text, integerPart + start, static_cast<std::size_t>(integerLength));

    // Fraction digits, truncated, filling the rest of the 8 characters.
    const int fractionDigits = kValueTextLength - count;
    double fraction = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
    for (int i = fractionDigits - 1; i >= 0; --i) {
        if (fraction <= 0.0) {
            text[integerLength + i] = '0';
        } else {
            text[integerLength + i] = digitOf(fraction);
            fraction /= 10.0;
        }
    }
    text[kValueTextLength] = '\0';
}

void formatInteger(std::int32_t value, char* text) {
    if (value >= 100000000 || value < -9999999) {
        writeText(kHugeText, text);
        return;
    }
    char scratch[16];
    std::snprintf(scratch, sizeof scratch, "%7d", static_cast<int>(value));
    scratch[kValueTextLength] = '\0';
    std::memcpy(text, scratch, std::strlen(scratch) + 1);
}

void formatDecibels(float gain, char* text) {
    if (gain <= 0.0f) {
        writeText(kMinusInfinityText, text);
        return;
    }
    formatFloat(static_cast<float>(20.0 * std::log10(static_cast<double>(gain))), text);
}

void formatHertz(float periodSamples, double sampleRate, char* text) {
    if (periodSamples == 0.0f) {
        formatFloat(0.0f, text);
        return;
    }
    formatFloat(static_cast<float>(sampleRate / periodSamples), text);
}

void formatMilliseconds(float samples, double sampleRate, char* text) {
    formatFloat(static_cast<float>(static_cast<double>(samples) * 1000.0 / sampleRate), text);
}

}  // namespace shell
