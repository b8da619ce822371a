// Reading and writing audio files through libsndfile.
#pragma once

#include <sndfile.h>

#include <memory>
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

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

// A stereo 32-bit float WAV file, created before the audio exists so that an
// unwritable path is reported before a long render rather than after it.
class StereoFloatWavWriter {
public:
    bool open(const std::string& path, double sampleRate, std::string& error);
    // Writes the frames both channels have and closes the file.
    bool write(const std::vector<float>& left, const std::vector<float>& right, std::string& error);

private:
    std::string path;
    SoundFile file;
};

}  // namespace host
