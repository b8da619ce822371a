#include "host/audio_file.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

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
    audio.samples.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
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

bool StereoFloatWavWriter::open(const std::string& outputPath, double sampleRate, std::string& error) {
    path = outputPath;
    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(sampleRate));
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file.reset(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    return true;
}

bool StereoFloatWavWriter::write(const std::vector<float>& left, const std::vector<float>& right,
                                 std::string& error) {
    const std::size_t frames = std::min(left.size(), right.size());
    std::vector<float> interleaved(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    const auto count = static_cast<sf_count_t>(frames);
    if (!file || sf_writef_float(file.get(), interleaved.data(), count) != count) {
        error = "cannot write '" + path + "': " + sf_strerror(file.get());
        return false;
    }
    // Closing writes the header's final sizes; a full disk may show only here.
    if (sf_close(file.release()) != 0) {
        error = "cannot write '" + path + "': closing the file failed";
        return false;
    }
    return true;
}

}  // namespace host
