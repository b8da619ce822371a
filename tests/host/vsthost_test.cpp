// The command-line host, run as a user runs it.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/audio_file.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode;
    std::string output;  // standard output and standard error together
};

RunResult run(const std::string& arguments) {
    const std::string command = std::string(VSTHOST_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string quoted(const fs::path& path) {
    std::string text = "'";
    text.append(path.string()).push_back('\'');
    return text;
}

class VstHost : public ::testing::Test {
protected:
    void SetUp() override {
        directory = fs::temp_directory_path() /
                    ("vsthost-test-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory);
    }
    void TearDown() override { fs::remove_all(directory); }

    // A sine of `channels` channels (each channel scaled differently) at `rate`.
    fs::path writeInput(const std::string& name, int format, int channels = 1, int rate = 44100,
                        double seconds = 0.5) {
        const fs::path path = directory / name;
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
        const auto frames = static_cast<std::size_t>(seconds * rate);
        std::vector<float> samples(frames * static_cast<std::size_t>(channels));
        for (std::size_t f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                    static_cast<float>(0.5 * (c + 1) / channels * std::sin(0.05 * static_cast<double>(f)));
            }
        }
        sf_writef_float(file, samples.data(), static_cast<sf_count_t>(frames));
        sf_close(file);
        return path;
    }

    static SF_INFO infoOf(const fs::path& path) {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (file != nullptr) sf_close(file);
        return info;
    }

    static double rms(const std::vector<float>& samples) {
        double sum = 0.0;
        for (float s : samples) sum += static_cast<double>(s) * s;
        return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
    }

    fs::path directory;
};

TEST_F(VstHost, ErrorsAreOneLineWithANonZeroExit) {
    const fs::path input = writeInput("in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path textFile = directory / "notes.so";
    std::ofstream(textFile) << "not a library\n";
    const fs::path unreadable = directory / "garbage.wav";
    std::ofstream(unreadable) << "RIFF and nothing after it";
    const fs::path outputFolder = directory / "folder.wav";
    fs::create_directories(outputFolder);
    const std::string tellimor = quoted(TELLIMOR_PATH);

    const struct {
        const char* what;
        std::string arguments;
        const char* message;
    } cases[] = {
        {"missing input", "render " + tellimor + " " + quoted(directory / "absent.wav") + " " +
                              quoted(directory / "out.wav"),
         "does not exist"},
        {"unreadable input", "render " + tellimor + " " + quoted(unreadable) + " " + quoted(directory / "out.wav"),
         "cannot read"},
        {"not a library", "info " + quoted(textFile), "cannot load"},
        {"missing library", "info " + quoted(directory / "absent.so"), "cannot load"},
        {"library without main", "info " + quoted(LIBRARY_WITHOUT_MAIN_PATH), "no VST 2 entry point"},
        {"main answering null", "info " + quoted(PLUGIN_ANSWERING_NULL_PATH), "main answered no plug-in"},
        {"record with a wrong magic number",
         "render " + quoted(PLUGIN_WITH_WRONG_MAGIC_PATH) + " " + quoted(directory / "out.wav"), "magic number"},
        {"output equal to input", "render " + tellimor + " " + quoted(input) + " " + quoted(input),
         "is the input file"},
        {"output equal to input by another name",
         "render " + tellimor + " " + quoted(input) + " " + quoted(directory / "." / "in.wav"), "is the input file"},
        {"output in a missing folder",
         "render " + tellimor + " " + quoted(input) + " " + quoted(directory / "absent" / "out.wav"), "cannot write"},
        {"output is a folder", "render " + tellimor + " " + quoted(input) + " " + quoted(outputFolder),
         "cannot write"},
        {"no command", "", "no command"},
        {"unknown option", "render --loud " + tellimor + " " + quoted(directory / "out.wav"), "unknown option"},
        {"bad parameter", "render -p 99=0.5 " + tellimor + " " + quoted(directory / "out.wav"),
         "parameter 99 does not exist"},
        {"parameter value above 1", "render -p 1=1.5 " + tellimor + " " + quoted(directory / "out.wav"),
         "VALUE from 0 to 1"},
        {"parameter value not a number", "render --param 1=nan " + tellimor + " " + quoted(directory / "out.wav"),
         "VALUE from 0 to 1"},
        {"tail not a number", "render --tail nan " + tellimor + " " + quoted(directory / "out.wav"), "--tail"},
        {"bad program", "render --program 7 " + tellimor + " " + quoted(directory / "out.wav"),
         "program 7 does not exist"},
    };
    const auto inputSize = fs::file_size(input);
    for (const auto& c : cases) {
        const RunResult result = run(c.arguments);
        EXPECT_NE(result.exitCode, 0) << c.what;
        EXPECT_NE(result.output.find("vsthost: error: "), std::string::npos) << c.what << ": " << result.output;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << c.what << ": " << result.output;
    }
    EXPECT_EQ(fs::file_size(input), inputSize);  // never overwritten
    EXPECT_FALSE(fs::exists(directory / "out.wav"));
}

TEST_F(VstHost, RendersAFileThroughAPresetAtItsRate) {
    const fs::path input = writeInput("in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1, 48000);
    const fs::path output = directory / "out.wav";
    const RunResult result = run("render --program 1 --tail 0.25 " + quoted(TELLIMOR_PATH) + " " + quoted(input) +
                                 " " + quoted(output));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const SF_INFO info = infoOf(output);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(info.frames, 24000 + 12000);
    host::MonoAudio audio;
    std::string error;
    ASSERT_TRUE(host::readMono(output.string(), audio, error)) << error;
    EXPECT_GT(rms(audio.samples), 0.001);
}

TEST_F(VstHost, AccumulatingAndReplacingEntriesRenderTheSame) {
    const fs::path input = writeInput("in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const fs::path replacing = directory / "replacing.wav";
    const fs::path accumulating = directory / "accumulating.wav";
    ASSERT_EQ(run("render -P 3 --block 100 " + quoted(TELLIMOR_PATH) + " " + quoted(input) + " " +
                  quoted(replacing)).exitCode, 0);
    ASSERT_EQ(run("render -P 3 --block 333 --accumulate " + quoted(TELLIMOR_PATH) + " " + quoted(input) + " " +
                  quoted(accumulating)).exitCode, 0);
    host::MonoAudio a, b;
    std::string error;
    ASSERT_TRUE(host::readMono(replacing.string(), a, error));
    ASSERT_TRUE(host::readMono(accumulating.string(), b, error));
    EXPECT_EQ(a.samples, b.samples);
}

TEST_F(VstHost, SeveralChannelsAreMixedToTheOneInput) {
    // Both channels through Tellimor's program 1 must sound as their average.
    const fs::path stereo = writeInput("stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2);
    host::MonoAudio mixed;
    std::string error;
    ASSERT_TRUE(host::readMono(stereo.string(), mixed, error));
    for (std::size_t f = 0; f < 100; ++f) {
        EXPECT_FLOAT_EQ(mixed.samples[f], static_cast<float>(0.375 * std::sin(0.05 * static_cast<double>(f))));
    }
    ASSERT_EQ(run("render " + quoted(TELLIMOR_PATH) + " " + quoted(stereo) + " " + quoted(directory / "o.wav"))
                  .exitCode,
              0);
}

TEST_F(VstHost, WithoutInputRendersTheDemoSignal) {
    const fs::path output = directory / "demo.wav";
    ASSERT_EQ(run("render -P 1 " + quoted(TELLIMOR_PATH) + " " + quoted(output)).exitCode, 0);
    const SF_INFO info = infoOf(output);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_GT(info.frames, 44100 * 4);
}

TEST_F(VstHost, HelpForTheToolAndEachCommand) {
    const struct {
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"--help", "vsthost render [options] PLUGIN [IN] OUT"},
        {"info --help", "usage: vsthost info PLUGIN"},
        {"render --help", "--accumulate"},
    };
    for (const auto& c : cases) {
        const RunResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 0) << c.arguments;
        EXPECT_NE(result.output.find(c.expected), std::string::npos) << c.arguments << ": " << result.output;
    }
}

TEST_F(VstHost, InfoShowsRecordProgramsAndParameterTexts) {
    const RunResult result = run("info " + quoted(TELLIMOR_PATH));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* expected : {"0x4B713032", "inputs         1", "outputs        2", "Blitter", "Squashed",
                                 "Zipper", "Breakdown", "Spin", "\"  name=4  \"", "\"  label=0  \"", "0.000000"}) {
        EXPECT_NE(result.output.find(expected), std::string::npos) << expected << "\n" << result.output;
    }
}

// Someone else's build of the interface: a plug-in from Debian's
// dpf-plugins-vst checks our record layout and callback from the other side.
TEST_F(VstHost, DrivesAThirdPartyPlugin) {
    const fs::path peer = "/usr/lib/vst/MaBitcrush-vst.so";
    if (!fs::exists(peer)) GTEST_SKIP() << peer << " is not installed (package dpf-plugins-vst)";
    const RunResult info = run("info " + quoted(peer));
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("resolution"), std::string::npos) << info.output;

    const fs::path input = writeInput("in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const fs::path output = directory / "crushed.wav";
    ASSERT_EQ(run("render -p 0=0.1 " + quoted(peer) + " " + quoted(input) + " " + quoted(output)).exitCode, 0);
    host::MonoAudio dry, wet;
    std::string error;
    ASSERT_TRUE(host::readMono(input.string(), dry, error));
    ASSERT_TRUE(host::readMono(output.string(), wet, error));
    ASSERT_GE(wet.samples.size(), dry.samples.size());
    double difference = 0.0;
    for (std::size_t i = 0; i < dry.samples.size(); ++i) difference += std::fabs(wet.samples[i] - dry.samples[i]);
    EXPECT_GT(difference / static_cast<double>(dry.samples.size()), 0.01);
    EXPECT_GT(rms(wet.samples), 0.05);
}

}  // namespace
