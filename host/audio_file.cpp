#include "host/audio_file.h"

#include <sndfile.h>

#include <cmath>
#include <memory>

namespace host {
namespace {

struct FileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, FileCloser>;

constexpr sf_count_t kChunkFrames = 4096;

}  // namespace

bool readMono(const std::string& path, MonoAudio& audio, std::string& error) {
    SF_INFO info{};
    SoundFile file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        error = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = "cannot read '" + path + "': no audio channels";
        return false;
    }
    audio.sampleRate = info.samplerate;
    audio.samples.clear();
    audio.samples.reserve(static_cast<std::size_t>(info.frames > 0 ? info.frames : 0));
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * channels);
    for (;;) {
        const sf_count_t frames = sf_readf_float(file.get(), chunk.data(), kChunkFrames);
        if (frames <= 0) break;
        for (sf_count_t f = 0; f < frames; ++f) {
            double sum = 0.0;
            for (std::size_t c = 0; c < channels; ++c) sum += chunk[static_cast<std::size_t>(f) * channels + c];
            audio.samples.push_back(static_cast<float>(sum / static_cast<double>(channels)));
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        error = "cannot read '" + path + "': " + sf_strerror(file.get());
        return false;
    }
    return true;
}

bool writeStereoFloatWav(const std::string& path, const std::vector<float>& left,
                         const std::vector<float>& right, double sampleRate, std::string& error) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(sampleRate));
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SoundFile file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    std::vector<float> interleaved(left.size() * 2);
    for (std::size_t i = 0; i < left.size(); ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    const auto frames = static_cast<sf_count_t>(left.size());
    if (sf_writef_float(file.get(), interleaved.data(), frames) != frames) {
        error = "cannot write '" + path + "': " + sf_strerror(file.get());
        return false;
    }
    return true;
}

}  // namespace host
