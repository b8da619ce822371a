// Four-pole resonant low-pass ladder: four one-pole stages in series with
// feedback from the last. Coefficients are computed in double precision from
// the cutoff control and resonance at every sample; the state is 32-bit.
#pragma once

#include <array>
#include <cmath>
#include <limits>

#include "dsp/limited.h"

namespace dsp {

class LadderLowPass {
public:
    // The cutoff control is a 32-bit value, so a control of 0.1f is exactly the
    // lower limit.
    static constexpr float kMinCutoff = 0.1f;
    static constexpr float kMaxCutoff = 1.0f;
    static constexpr double kMaxFeedback = 4.0;
    static constexpr float kLargestFinite = std::numeric_limits<float>::max();

    // Runs one sample. `cutoff` is limited to 0.1 .. 1 and the feedback
    // 4 * `resonance` to at most 4. Answers the scaled input u that entered
    // the first stage; the filter output is output().
    float process(float input, float cutoff, double resonance) {
        const auto fc = static_cast<float>(limited(cutoff, kMinCutoff, kMaxCutoff));  // NaN: the lowest
        double k = 4.0 * resonance;
        if (k > kMaxFeedback) k = kMaxFeedback;
        if (!(k == k)) k = 0.0;  // NaN resonance: no feedback
        const double f = 1.16 * fc;
        const double fb = k * (1.0 - 0.15 * f * f);
        const double decay = 1.0 - f;

        // Each stage takes the previous stage's output of this sample at full
        // precision; what is kept between samples is rounded to 32 bits. The
        // terms from the previous sample are summed first, so only one addition
        // per stage lies on the chain through the four stages.
        // u = (input - fb * out) * gain, distributed so the feedback term costs
        // one multiplication and one subtraction on that chain.
        const double gain = 0.35013 * (f * f) * (f * f);
        const double u = input * gain - (fb * gain) * stageOut[3];
        double stageInput = u;
        for (int i = 0; i < 4; ++i) {
            const double stageOutput = stageInput + (0.3 * stageIn[i] + decay * stageOut[i]);
            stageIn[i] = static_cast<float>(stageInput);
            stageOut[i] = static_cast<float>(stageOutput);
            stageInput = stageOutput;
        }
        // A cutoff swept hard every sample at high resonance can make the
        // filter run away; once its output leaves the finite range it would
        // stay infinite or NaN for good. It then starts again from rest.
        if (!(std::fabs(stageOut[3]) <= kLargestFinite)) {
            stageOut = {};
            stageIn = {};
        }
        return static_cast<float>(u);
    }

    float output() const { return stageOut[3]; }

private:
    std::array<float, 4> stageOut{};
    std::array<float, 4> stageIn{};
};

}  // namespace dsp
