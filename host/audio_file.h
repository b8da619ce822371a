// Reading and writing audio files through libsndfile.
#pragma once

#include <string>
#include <vector>

namespace host {

struct MonoAudio {
    std::vector<float> samples;
    double sampleRate = 44100.0;
};

// Reads any file libsndfile knows (WAV, FLAC, AIFF, ...), mixing several
// channels to one by their average. Answers false with `error` set on failure.
bool readMono(const std::string& path, MonoAudio& audio, std::string& error);

// Writes a stereo 32-bit float WAV file.
bool writeStereoFloatWav(const std::string& path, const std::vector<float>& left,
                         const std::vector<float>& right, double sampleRate, std::string& error);

}  // namespace host
