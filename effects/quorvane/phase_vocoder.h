// Filter-bank phase vocoder: turns a stream into short-time spectra of
// (amplitude, instantaneous frequency in Hz) pairs and such spectra back into a
// stream. The analysis window is twice the FFT length and folded into the
// frame, which is rotated so that phases refer to absolute time; resynthesis
// overlap-adds through a matching long window.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvane {

class PhaseVocoder {
public:
    // Frame formats: (amplitude, frequency in Hz), (amplitude, phase), or raw
    // (real, imaginary) bins for any other value.
    static constexpr int kAmplitudeFrequency = 0;
    static constexpr int kAmplitudePhase = 1;
    // Modes: a stream of bounded length, or an unbounded one.
    static constexpr int kBoundedStream = 1;
    static constexpr int kUnboundedStream = 2;
    static constexpr int kMaxHalfSize = 16384;

    virtual ~PhaseVocoder() = default;

    // Sets everything up for sample rate `rate`, FFT length `fftLength`
    // (rounded up to even) and hop `hopLength` (0 picks a quarter of the FFT
    // length). Answers false for arguments it cannot work with.
    bool init(int rate, int fftLength, int hopLength, int streamMode);

    // Appends `count` samples and writes one frame of fftSize() + 2 floats.
    int analyze(const float* input, float* frameOut, int count, int format);

    // Consumes one frame and writes the samples that are complete (none during
    // start-up, then one hop per call); answers how many it wrote.
    int synthesize(const float* frameIn, float* output, int format);

    int fftSize() const { return size; }
    int hopSize() const { return hop; }
    int binCount() const { return size / 2 + 1; }
    float getBinSpacing() const { return binSpacing; }
    float getHopRate() const { return hopRate; }
    // The analysis window, indexed -fftSize()..fftSize().
    float analysisWindowAt(int i) const { return analysisWindow[static_cast<std::size_t>(i + size)]; }
    float synthesisWindowAt(int i) const { return synthesisWindow[static_cast<std::size_t>(i + size)]; }

    // Moves both clocks ahead by whole ring lengths, which leaves every ring
    // and frame position as it was: lets a test reach times that a 32-bit
    // clock could not hold without running for hours.
    void advanceClocksByRings(std::int64_t rings);
    std::int64_t getOutputTime() const { return outputTime; }

private:
    void clockStep();
    void buildWindow(std::vector<float>& window, int sincPeriod, double scale) const;
    double rawWindowSum() const;

    int size = 0;        // FFT length N
    int hop = 0;         // D
    int ringLength = 0;  // 8 N
    int mode = 0;
    int sampleRate = 0;
    float binSpacing = 0.0f;
    float hopRate = 0.0f;
    double analysisScale = 0.0;   // hopRate / 2 pi: phase step to Hz
    double synthesisScale = 0.0;  // 2 pi / hopRate: Hz to phase step

    std::vector<float> inputRing, outputRing;
    int inputNext = 0, outputNext = 0;
    std::vector<float> analysisFrame, synthesisFrame;
    std::vector<float> prevAnalysisPhase, synthesisPhase;
    std::vector<float> analysisWindow, synthesisWindow;
    // Absolute sample times at the centre of the next frame. 64 bits: a
    // 32-bit clock would overflow after 2^31 samples, about 13.5 hours.
    std::int64_t inputTime = 0, outputTime = 0;
    int pendingOutput = 0;
};

}  // namespace quorvane
