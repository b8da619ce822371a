// Triangle LFO between 0 and 1: the phase moves by a step per sample and is
// reflected on passing strictly above 1 or strictly below 0.
#pragma once

namespace dsp {

class TriangleLfo {
public:
    // Advances by one sample and answers the new phase. The step is formed by
    // the caller from its parameter (e.g. value / 441). The phase is kept in
    // 0..1 also for steps far beyond a musical range (or NaN), where one
    // reflection is not enough: such a phase is held at the nearer end.
    float advance(double step) {
        if (rising) {
            phase = static_cast<float>(phase + step);
            if (phase > 1.0f) [[unlikely]] {
                rising = false;
                phase = 1.0f - (phase - 1.0f);
            }
        } else {
            phase = static_cast<float>(phase - step);
            if (phase < 0.0f) [[unlikely]] {
                rising = true;
                phase = -phase;
            }
        }
        if (!(phase >= 0.0f)) [[unlikely]] phase = 0.0f;  // also catches NaN
        if (phase > 1.0f) [[unlikely]] phase = 1.0f;
        return phase;
    }

    float getPhase() const { return phase; }
    bool isRising() const { return rising; }

private:
    float phase = 0.0f;
    bool rising = true;
};

}  // namespace dsp
