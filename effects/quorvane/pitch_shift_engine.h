// A sample-at-a-time pitch shifter: collects a hop of input, analyses it,
// transposes the bins of one band of the spectrum by a frequency ratio,
// resynthesises, and plays the result back one sample per call. With an FFT of
// 1024 and a hop of 256 its output lies 2561 samples behind its input (2560 for
// the first 255 input samples).
#pragma once

#include <memory>
#include <vector>

#include "dsp/limited.h"
#include "effects/quorvane/phase_vocoder.h"

namespace quorvane {

class PitchShiftEngine {
public:
    virtual ~PitchShiftEngine() = default;

    // Sets up once; answers false (and stays empty) for arguments it cannot
    // work with or when already set up.
    bool init(int sampleRate, int fftLength, int hopLength, int mode);

    // One input sample in, one output sample out. The band is
    // centreBin +- widthBins; semitones beyond about 100 are held there.
    // Inline: all but one call in a hop only move a sample in and one out.
    float processSample(float x, float semitones, float centreBin, float widthBins) {
        if (outBlock.empty()) return 0.0f;
        const float y = outBlock[static_cast<std::size_t>(outPos)];
        if (++outPos == hop) runFrame(semitones, centreBin, widthBins);
        // A NaN or infinity would sound as a burst of NaN for a whole window.
        inBlock[static_cast<std::size_t>(inPos++)] = dsp::finiteOrSilence(x);
        return y;
    }

    static double semitonesToRatio(float semitones);
    static void splitSpectrum(const float* frame, float* amplitudes, float* frequencies, int bins);
    static void joinSpectrum(float* frame, const float* amplitudes, const float* frequencies, int bins);
    // Target bin i of the band takes the amplitude of source bin round(i / ratio)
    // and its frequency times ratio; walks downward when shifting up and upward
    // when shifting down, so every source is read before it is overwritten.
    static void shiftBand(float* amplitudes, float* frequencies, float ratio, int bins, float centreBin,
                          float widthBins);

    bool isSetUp() const { return analyzer != nullptr; }
    // For tests: see PhaseVocoder::advanceClocksByRings.
    void advanceClocksByRings(std::int64_t rings);

private:
    // Analyses the collected block, shifts the band and resynthesises into outBlock.
    void runFrame(float semitones, float centreBin, float widthBins);

    std::unique_ptr<PhaseVocoder> analyzer, resynthesizer;
    std::vector<float> frame, inBlock, outBlock, amplitudes, frequencies;
    int inPos = 0, outPos = 0;
    int hop = 0;
    int sampleRate = 0;
    int bins = 0;
};

}  // namespace quorvane
