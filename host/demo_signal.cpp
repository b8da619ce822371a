#include "host/demo_signal.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace host {
namespace {

struct Note {
    double start;     // seconds
    double length;    // seconds
    int midiNote;
};

// A rising and falling phrase in A minor, then a low note to let tails ring.
constexpr Note kPhrase[] = {
    {0.00, 0.45, 57}, {0.50, 0.45, 60}, {1.00, 0.45, 64}, {1.50, 0.45, 69},
    {2.00, 0.30, 67}, {2.35, 0.30, 64}, {2.70, 0.30, 62}, {3.05, 0.90, 45},
};

constexpr double kPhraseEnd = 4.0;
constexpr double kBurstLength = 0.12;
constexpr int kBursts = 4;
constexpr double kBurstSpacing = 0.5;
constexpr double kTotalLength = kPhraseEnd + kBursts * kBurstSpacing;

double frequencyOf(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

// A plucked tone: a few harmonics under a fast attack and exponential decay.
double pluck(double t, double length, double frequency) {
    if (t < 0.0 || t >= length) return 0.0;
    const double attack = std::min(1.0, t / 0.005);
    const double release = std::min(1.0, (length - t) / 0.02);
    const double envelope = attack * release * std::exp(-3.0 * t);
    const double phase = 2.0 * std::numbers::pi * frequency * t;
    return envelope * (std::sin(phase) + 0.4 * std::sin(2.0 * phase) + 0.2 * std::sin(3.0 * phase));
}

}  // namespace

std::vector<float> demoSignal() {
    const auto length = static_cast<std::size_t>(kTotalLength * kDemoSampleRate);
    std::vector<float> signal(length, 0.0f);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kDemoSampleRate;
        double sample = 0.0;
        for (const Note& note : kPhrase) sample += pluck(t - note.start, note.length, frequencyOf(note.midiNote));
        signal[i] = static_cast<float>(0.3 * sample);
    }
    // Noise bursts with falling levels, after the phrase.
    std::uint32_t state = 12345;
    for (int burst = 0; burst < kBursts; ++burst) {
        const double level = 0.5 / (1 << burst);
        const auto start = static_cast<std::size_t>((kPhraseEnd + burst * kBurstSpacing) * kDemoSampleRate);
        const auto burstLength = static_cast<std::size_t>(kBurstLength * kDemoSampleRate);
        for (std::size_t i = 0; i < burstLength && start + i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            const double white = static_cast<double>(state >> 8) / 8388608.0 - 1.0;
            const double fade = 1.0 - static_cast<double>(i) / static_cast<double>(burstLength);
            signal[start + i] = static_cast<float>(level * fade * white);
        }
    }
    return signal;
}

}  // namespace host
