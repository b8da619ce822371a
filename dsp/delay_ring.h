// A delay ring of Length samples held inside its owner, with a floating-point
// write position that always holds a whole number below Length. Storage may be
// longer than the ring (Storage > Length): those extra entries are readable but
// never written, as some effects' arrays are.
#pragma once

#include <array>
#include <cmath>

#include "dsp/limited.h"

namespace dsp {

template <int Length, int Storage = Length>
class DelayRing {
    static_assert(Storage >= Length);

public:
    static constexpr int kLength = Length;

    // Position `distance` samples behind the write position, rounded to a
    // 32-bit float and wrapped once into the ring. The distance is limited to
    // the ring's length, so no parameter value (huge, negative or NaN) can
    // form a position outside the ring.
    float tapPosition(double distance) const {
        return wrappedOnce(static_cast<float>(writePosition - limited(distance, 0.0, kLength - 1)));
    }

    // A read position up to one ring length behind 0, brought into the ring
    // by one addition of its length in 32-bit float.
    static float wrappedOnce(float position) {
        return position < 0.0f ? position + static_cast<float>(kLength) : position;
    }

    // Entry at a wrapped position, truncated to a whole index. A position a
    // hair below 0 rounds to exactly Length after the wrap: that is position 0
    // of the ring. Where the storage holds that entry it is read as stored.
    float readAt(float position) const {
        int index = static_cast<int>(position);
        if (index >= Storage) index = 0;
        return samples[index];
    }

    float tap(double distance) const { return readAt(tapPosition(distance)); }

    float& current() { return samples[static_cast<int>(writePosition)]; }

    void advance() {
        writePosition += 1.0f;
        if (writePosition >= static_cast<float>(kLength)) writePosition = 0.0f;
    }

    float getWritePosition() const { return writePosition; }

private:
    std::array<float, Storage> samples{};
    float writePosition = 0.0f;
};

}  // namespace dsp
