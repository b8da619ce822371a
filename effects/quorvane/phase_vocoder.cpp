#include "effects/quorvane/phase_vocoder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "effects/quorvane/mxfft.h"
#include "effects/quorvane/bin_math.h"

namespace quorvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kRingWindows = 4;  // each ring holds four window lengths

// Non-negative remainder of a possibly negative time.
int wrapped(std::int64_t time, int length) {
    const auto remainder = static_cast<int>(time % length);
    return remainder < 0 ? remainder + length : remainder;
}

// Calls body(ringIndex, frameIndex, tap, length) for consecutive runs of the
// taps 0 .. taps-1, where tap j pairs ring slot (ringStart + j) mod ringLength
// with frame slot (frameStart + j) mod frameLength and neither index wraps
// inside a run, so the loop in `body` runs over plain arrays.
template <class Body>
void forEachRun(int ringStart, int frameStart, int ringLength, int frameLength, int taps, Body body) {
    int ring = ringStart, slot = frameStart;
    for (int tap = 0; tap < taps;) {
        const int length = std::min({taps - tap, ringLength - ring, frameLength - slot});
        body(ring, slot, tap, length);
        tap += length;
        ring += length;
        slot += length;
        if (ring == ringLength) ring = 0;
        if (slot == frameLength) slot = 0;
    }
}

}  // namespace

bool PhaseVocoder::init(int rate, int fftLength, int hopLength, int streamMode) {
    if (fftLength < 1 || hopLength < 0) return false;
    if (streamMode != kBoundedStream && streamMode != kUnboundedStream) return false;
    if (fftLength > 2 * kMaxHalfSize) return false;  // also keeps the rounding up from overflowing
    const int n = fftLength + (fftLength & 1);

    size = n;
    hop = hopLength == 0 ? std::max(1, 2 * n / 8) : hopLength;
    mode = streamMode;
    sampleRate = rate;
    ringLength = kRingWindows * 2 * n;
    binSpacing = static_cast<float>(static_cast<double>(rate) / n);
    hopRate = static_cast<float>(static_cast<double>(rate) / hop);
    analysisScale = static_cast<double>(hopRate) / kTwoPi;
    synthesisScale = kTwoPi / static_cast<double>(hopRate);

    const auto ring = static_cast<std::size_t>(ringLength);
    const auto frame = static_cast<std::size_t>(n + 2);
    const auto bins = static_cast<std::size_t>(n / 2 + 1);
    inputRing.assign(ring, 0.0f);
    outputRing.assign(ring, 0.0f);
    analysisFrame.assign(frame, 0.0f);
    synthesisFrame.assign(frame, 0.0f);
    prevAnalysisPhase.assign(bins, 0.0f);
    synthesisPhase.assign(bins, 0.0f);
    inputNext = outputNext = 0;

    const double sum = rawWindowSum();
    buildWindow(analysisWindow, n, 2.0 / sum);
    buildWindow(synthesisWindow, hop, sum / 2.0);

    inputTime = outputTime = -static_cast<std::int64_t>(n / hop) * hop;
    pendingOutput = 0;
    return true;
}

// Hamming window of even length 2h times a sinc vanishing every `sincPeriod`
// samples, both at half-sample offsets; entry h is 0 and entry -i equals
// entry i - 1, so the taps are symmetric about -0.5.
void PhaseVocoder::buildWindow(std::vector<float>& window, int sincPeriod, double scale) const {
    const int h = size;
    window.assign(static_cast<std::size_t>(2 * h + 1), 0.0f);
    for (int i = 0; i < h; ++i) {
        const double x = i + 0.5;
        const double hamming = 0.54 + 0.46 * std::cos(kPi * x / h);
        const double sinc = sincPeriod * std::sin(kPi * x / sincPeriod) / (kPi * x);
        const auto value = static_cast<float>(hamming * sinc * scale);
        window[static_cast<std::size_t>(h + i)] = value;
        window[static_cast<std::size_t>(h - i - 1)] = value;
    }
}

double PhaseVocoder::rawWindowSum() const {
    std::vector<float> raw;
    buildWindow(raw, size, 1.0);
    double sum = 0.0;
    for (float value : raw) sum += value;
    return sum;
}

int PhaseVocoder::analyze(const float* input, float* frameOut, int count, int format) {
    for (int i = 0; i < count; ++i) {
        inputRing[static_cast<std::size_t>(inputNext)] = input[i];
        if (++inputNext == ringLength) inputNext = 0;
    }

    // Fold the windowed 2N + 1 samples around the frame centre into N.
    std::fill(analysisFrame.begin(), analysisFrame.end(), 0.0f);
    forEachRun(wrapped(inputTime - size, ringLength), wrapped(inputTime - size, size), ringLength, size, 2 * size + 1,
               [&](int ring, int slot, int tap, int length) {
                   addProducts(analysisFrame.data() + slot, analysisWindow.data() + tap, inputRing.data() + ring,
                               length);
               });

    float* frame = analysisFrame.data();
    fftComplex(frame, frame + 1, 1, size / 2, 1, -2);
    fftRealPass(frame, frame + 1, size / 2, -2);

    if (format == kAmplitudeFrequency) {
        toAmplitudeFrequency(frame, prevAnalysisPhase.data(), binCount(), analysisScale, binSpacing);
    } else if (format == kAmplitudePhase) {
        toAmplitudePhase(frame, binCount());
    }
    std::copy(analysisFrame.begin(), analysisFrame.end(), frameOut);
    clockStep();
    return hop;
}

int PhaseVocoder::synthesize(const float* frameIn, float* output, int format) {
    std::copy(frameIn, frameIn + size + 2, synthesisFrame.begin());
    float* frame = synthesisFrame.data();
    if (format == kAmplitudeFrequency) {
        fromAmplitudeFrequency(frame, synthesisPhase.data(), binCount(), binSpacing, hopRate, synthesisScale);
    } else if (format == kAmplitudePhase) {
        fromAmplitudePhase(frame, binCount());
    }

    fftRealPass(frame, frame + 1, size / 2, 2);
    fftComplex(frame, frame + 1, 1, size / 2, 1, 2);

    forEachRun(wrapped(outputTime - size, ringLength), wrapped(outputTime - size, size), ringLength, size,
               2 * size + 1, [&](int ring, int slot, int tap, int length) {
                   addProducts(outputRing.data() + ring, frame + slot, synthesisWindow.data() + tap, length);
               });

    const int emitted = pendingOutput;
    for (int i = 0; i < emitted; ++i) {
        float& slot = outputRing[static_cast<std::size_t>(outputNext)];
        output[i] = slot;
        slot = 0.0f;
        if (++outputNext == ringLength) outputNext = 0;
    }
    clockStep();
    return emitted;
}

void PhaseVocoder::clockStep() {
    inputTime += hop;
    outputTime += hop;
    const std::int64_t o = outputTime;
    if (o > size + hop) {
        pendingOutput = hop;
    } else if (o > size) {
        pendingOutput = static_cast<int>(o - size);
    } else {
        // Start-up: clear what frames at negative times left at the top of the ring.
        pendingOutput = 0;
        const auto from = static_cast<std::size_t>(std::max<std::int64_t>(o + size, 1));
        if (from < outputRing.size()) std::fill(outputRing.begin() + static_cast<std::ptrdiff_t>(from), outputRing.end(), 0.0f);
    }
}

void PhaseVocoder::advanceClocksByRings(std::int64_t rings) {
    inputTime += rings * ringLength;
    outputTime += rings * ringLength;
}

}  // namespace quorvane
