#include "effects/quorvane/pitch_shift_engine.h"

#include <algorithm>
#include <cmath>

#include "effects/quorvane/bin_math.h"

namespace quorvane {
namespace {

constexpr float kNoShiftSemitones = 0.0001f;
// Ten octaves either way keep the ratio finite and every bin index a small
// integer; musical values (at most an octave) are far inside.
constexpr float kMaxSemitones = 120.0f;
constexpr double kSemitoneExponent = 0.08333333333;

// Source bin of target bin i: i / ratio to the nearest integer, ties to even.
// Huge quotients come out huge (or infinite) and end the walk.
double sourceBin(int i, double ratio) { return spectral::roundToInteger(i / ratio); }

}  // namespace

bool PitchShiftEngine::init(int rate, int fftLength, int hopLength, int mode) {
    if (analyzer != nullptr || fftLength < 1 || rate < 1 || hopLength > fftLength / 2 || hopLength < 1) {
        return false;
    }
    hop = hopLength;
    sampleRate = rate;
    inPos = outPos = 0;
    bins = (fftLength + 2) / 2;
    auto analysis = std::make_unique<PhaseVocoder>();
    auto synthesis = std::make_unique<PhaseVocoder>();
    if (!analysis->init(rate, fftLength, hopLength, mode) || !synthesis->init(rate, fftLength, hopLength, mode)) {
        return false;
    }
    frame.assign(static_cast<std::size_t>(analysis->fftSize() + 2), 0.0f);
    inBlock.assign(static_cast<std::size_t>(hop), 0.0f);
    outBlock.assign(static_cast<std::size_t>(hop), 0.0f);
    amplitudes.assign(static_cast<std::size_t>(bins), 0.0f);
    frequencies.assign(static_cast<std::size_t>(bins), 0.0f);
    analyzer = std::move(analysis);
    resynthesizer = std::move(synthesis);
    return true;
}

void PitchShiftEngine::runFrame(float semitones, float centreBin, float widthBins) {
    analyzer->analyze(inBlock.data(), frame.data(), hop, PhaseVocoder::kAmplitudeFrequency);
    outPos = 0;
    inPos = 0;
    if (!(std::fabs(semitones) >= kNoShiftSemitones)) semitones = 0.0f;  // also NaN
    semitones = std::clamp(semitones, -kMaxSemitones, kMaxSemitones);
    splitSpectrum(frame.data(), amplitudes.data(), frequencies.data(), bins);
    const auto ratio = static_cast<float>(semitonesToRatio(semitones));
    shiftBand(amplitudes.data(), frequencies.data(), ratio, bins, centreBin, widthBins);
    joinSpectrum(frame.data(), amplitudes.data(), frequencies.data(), bins);
    resynthesizer->synthesize(frame.data(), outBlock.data(), PhaseVocoder::kAmplitudeFrequency);
}

double PitchShiftEngine::semitonesToRatio(float semitones) {
    return std::pow(2.0, semitones * kSemitoneExponent);
}

void PitchShiftEngine::splitSpectrum(const float* source, float* amplitudeOut, float* frequencyOut, int count) {
    for (int k = 0; k < count; ++k) {
        amplitudeOut[k] = source[2 * k];
        frequencyOut[k] = source[2 * k + 1];
    }
}

void PitchShiftEngine::joinSpectrum(float* target, const float* amplitudeIn, const float* frequencyIn, int count) {
    for (int k = 0; k < count; ++k) {
        target[2 * k] = amplitudeIn[k];
        target[2 * k + 1] = frequencyIn[k];
    }
}

void PitchShiftEngine::shiftBand(float* amps, float* freqs, float ratio, int count, float centreBin,
                                 float widthBins) {
    // Bounds are compared in double before any integer conversion, so no
    // band or ratio (huge, negative or NaN) can form an index outside 0..count-1.
    const double low = static_cast<double>(centreBin) - widthBins;
    const double high = static_cast<double>(centreBin) + widthBins;
    const double last = count - 1;
    const auto move = [&](int target, double source) {
        const auto j = static_cast<int>(source);
        amps[target] = amps[j];
        freqs[target] = static_cast<float>(static_cast<double>(freqs[j]) * ratio);
    };
    if (ratio > 1.0f) {
        if (!(high >= 0.0)) return;
        int i = high > last ? count - 1 : static_cast<int>(std::trunc(high));
        for (double j = sourceBin(i, ratio); j >= 0.0 && i >= low && i >= 0; j = sourceBin(i, ratio)) {
            move(i, j);
            --i;
        }
    } else if (ratio < 1.0f && ratio > 0.0f) {
        if (!(low <= last)) return;
        int i = low < 0.0 ? 0 : static_cast<int>(std::trunc(low));
        for (double j = sourceBin(i, ratio); j <= last && i <= high && i <= count - 1; j = sourceBin(i, ratio)) {
            move(i, j);
            ++i;
        }
    }
}

void PitchShiftEngine::advanceClocksByRings(std::int64_t rings) {
    if (analyzer == nullptr) return;
    analyzer->advanceClocksByRings(rings);
    resynthesizer->advanceClocksByRings(rings);
}

}  // namespace quorvane
