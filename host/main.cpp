// vsthost: loads a VST 2 plug-in library as a host does, shows what it offers
// and renders audio files (or a built-in demo signal) through it.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/audio_file.h"
#include "host/demo_signal.h"
#include "host/hosted_plugin.h"
#include "host/render.h"

namespace {

using namespace vst2;
using host::HostedPlugin;

constexpr std::string_view kInfoUsage =
    "usage: vsthost info PLUGIN\n"
    "\n"
    "Shows the plug-in's record, its parameters with their texts and its programs.\n";

constexpr std::string_view kRenderUsage =
    "usage: vsthost render [options] PLUGIN [IN] OUT\n"
    "\n"
    "Runs IN (WAV, FLAC, AIFF; several channels are mixed to one) through the\n"
    "plug-in at the file's sample rate and writes OUT as a stereo 32-bit float WAV.\n"
    "Without IN a built-in demo signal (44.1 kHz) is rendered.\n"
    "\n"
    "options:\n"
    "  --program N, -P N     select program N first\n"
    "  --param I=V, -p I=V   set parameter I to V, 0 to 1 (after the program; repeatable)\n"
    "  --block N             block size in samples (default 512)\n"
    "  --accumulate          use the accumulating entry instead of the replacing one\n"
    "  --tail SECONDS        silence appended so echoes ring out (default 1)\n";

constexpr std::string_view kCommandsUsage =
    "usage: vsthost info PLUGIN\n"
    "       vsthost render [options] PLUGIN [IN] OUT\n"
    "       vsthost COMMAND --help\n"
    "\n"
    "Loads a VST 2 plug-in library as a host does.\n"
    "  info    shows the plug-in's record, parameters and programs\n"
    "  render  runs an audio file, or a built-in demo signal, through the plug-in\n";

void printUsage(std::FILE* stream, std::string_view usage) {
    std::fwrite(usage.data(), 1, usage.size(), stream);
}

bool asksForHelp(std::string_view arg) { return arg == "--help" || arg == "-h" || arg == "help"; }

constexpr double kProgressMinimumSeconds = 5.0;
constexpr std::int32_t kMaxBlockSize = 1 << 20;
constexpr int kMaxTailSeconds = 3600;

int fail(const std::string& message) {
    std::fprintf(stderr, "vsthost: error: %s\n", message.c_str());
    return 1;
}

// The error and the command's synopsis (the first paragraph of its usage).
int usageError(const std::string& message, std::string_view usage = kCommandsUsage) {
    std::fprintf(stderr, "vsthost: error: %s\n", message.c_str());
    printUsage(stderr, usage.substr(0, usage.find("\n\n") + 1));
    return 2;
}

int renderUsageError(const std::string& message) { return usageError(message, kRenderUsage); }

template <class Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    const auto* end = text.data() + text.size();
    const auto [rest, status] = std::from_chars(text.data(), end, value);
    if (status != std::errc() || rest != end) return std::nullopt;
    return value;
}

std::string fourCharacters(std::int32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '.';
    }
    return text;
}

std::string flagNames(std::int32_t flags) {
    const struct {
        std::int32_t flag;
        const char* name;
    } known[] = {{effFlagsHasEditor, "HasEditor"},       {effFlagsHasClip, "HasClip"},
                 {effFlagsHasVu, "HasVu"},               {effFlagsCanMono, "CanMono"},
                 {effFlagsCanReplacing, "CanReplacing"}, {effFlagsProgramChunks, "ProgramChunks"},
                 {effFlagsIsSynth, "IsSynth"},           {effFlagsNoSoundInStop, "NoSoundInStop"},
                 {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    std::string names;
    for (const auto& entry : known) {
        if ((flags & entry.flag) == 0) continue;
        if (!names.empty()) names += ' ';
        names += entry.name;
    }
    return names;
}

int showInfo(const std::string& path) {
    std::string error;
    auto plugin = HostedPlugin::load(path, error);
    if (!plugin) return fail(error);
    AEffect& r = plugin->record();
    std::printf("plug-in        %s\n", path.c_str());
    for (const auto& [label, opcode] : {std::pair{"effect name", effGetEffectName},
                                        std::pair{"vendor", effGetVendorString},
                                        std::pair{"product", effGetProductString}}) {
        const std::string answer = plugin->text(opcode);
        if (!answer.empty()) std::printf("%-14s %s\n", label, answer.c_str());
    }
    std::printf("magic          0x%08X (%s)\n", static_cast<unsigned>(r.magic), fourCharacters(r.magic).c_str());
    std::printf("uniqueID       0x%08X (%s)\n", static_cast<unsigned>(r.uniqueID),
                fourCharacters(r.uniqueID).c_str());
    std::printf("version        %d\n", r.version);
    std::printf("VST version    %ld\n", static_cast<long>(plugin->dispatch(effGetVstVersion)));
    std::printf("category       %ld\n", static_cast<long>(plugin->dispatch(effGetPlugCategory)));
    std::printf("inputs         %d\n", r.numInputs);
    std::printf("outputs        %d\n", r.numOutputs);
    std::printf("flags          0x%X (%s)\n", static_cast<unsigned>(r.flags), flagNames(r.flags).c_str());
    std::printf("initialDelay   %d\n", r.initialDelay);
    std::printf("ioRatio        %g\n", static_cast<double>(r.ioRatio));
    // Parameters as the plug-in starts; listing the programs selects each.
    std::printf("parameters     %d\n", r.numParams);
    std::printf("  %3s  %-24s %-12s %-12s %s\n", "#", "name", "display", "label", "value");
    for (std::int32_t i = 0; i < r.numParams; ++i) {
        std::printf("  %3d  %-24s %-12s %-12s %.6f\n", i, ('"' + plugin->text(effGetParamName, i) + '"').c_str(),
                    plugin->text(effGetParamDisplay, i).c_str(),
                    ('"' + plugin->text(effGetParamLabel, i) + '"').c_str(),
                    static_cast<double>(plugin->getParameter(i)));
    }
    std::printf("programs       %d\n", r.numPrograms);
    const auto current = plugin->dispatch(effGetProgram);
    for (std::int32_t p = 0; p < r.numPrograms; ++p) {
        plugin->dispatch(effSetProgram, 0, p);
        std::printf("  %3d  %s\n", p, plugin->text(effGetProgramName).c_str());
    }
    plugin->dispatch(effSetProgram, 0, current);
    return 0;
}

using ParameterSetting = std::pair<std::int32_t, float>;  // index, value

struct RenderOptions {
    std::optional<std::int32_t> program;
    std::vector<ParameterSetting> params;
    host::RenderSettings settings;
    double tailSeconds = 1.0;
    std::vector<std::string> positional;
};

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const auto canonicalA = std::filesystem::weakly_canonical(a, error);
    const auto canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

class ProgressBar {
public:
    explicit ProgressBar(bool shown) : visible(shown) {}
    ~ProgressBar() {
        if (visible) std::fputc('\n', stderr);
    }
    void update(double done) {
        if (!visible) return;
        const int percent = static_cast<int>(done * 100.0);
        if (percent == lastPercent) return;
        lastPercent = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "========================================",
                     kWidth - filled, "", percent);
    }

private:
    bool visible;
    int lastPercent = -1;
};

// The complaint about a program or parameter index outside 0 .. count - 1.
std::optional<std::string> missing(const char* what, std::int32_t index, std::int32_t count) {
    if (index >= 0 && index < count) return std::nullopt;
    return std::string(what) + " " + std::to_string(index) + " does not exist (the plug-in has " +
           std::to_string(count) + ")";
}

int render(const RenderOptions& options) {
    if (options.positional.size() < 2 || options.positional.size() > 3) {
        return renderUsageError("render needs PLUGIN [IN] OUT");
    }
    const std::string& pluginPath = options.positional[0];
    const bool hasInput = options.positional.size() == 3;
    const std::string inputPath = hasInput ? options.positional[1] : std::string();
    const std::string& outputPath = options.positional.back();
    if (hasInput && sameFile(inputPath, outputPath)) {
        return fail("output '" + outputPath + "' is the input file; it is never overwritten");
    }
    if (sameFile(pluginPath, outputPath)) return fail("output '" + outputPath + "' is the plug-in library");

    host::MonoAudio audio;
    std::string error;
    if (hasInput) {
        if (!std::filesystem::exists(inputPath)) return fail("input '" + inputPath + "' does not exist");
        if (!host::readMono(inputPath, audio, error)) return fail(error);
    } else {
        audio.samples = host::demoSignal();
        audio.sampleRate = host::kDemoSampleRate;
    }
    auto plugin = HostedPlugin::load(pluginPath, error);
    if (!plugin) return fail(error);

    if (options.program) {
        if (const auto problem = missing("program", *options.program, plugin->record().numPrograms)) {
            return fail(*problem);
        }
        plugin->dispatch(effSetProgram, 0, *options.program);
    }
    for (const auto& [index, value] : options.params) {
        if (const auto problem = missing("parameter", index, plugin->record().numParams)) return fail(*problem);
        plugin->setParameter(index, value);
    }

    if (const std::string problem = host::renderProblem(plugin->record(), options.settings); !problem.empty()) {
        return fail("cannot render through '" + pluginPath + "': " + problem);
    }
    host::StereoFloatWavWriter writer;
    if (!writer.open(outputPath, audio.sampleRate, error)) return fail(error);

    const auto tail = static_cast<std::size_t>(options.tailSeconds * audio.sampleRate);
    audio.samples.resize(audio.samples.size() + tail, 0.0f);
    plugin->start(static_cast<float>(audio.sampleRate), options.settings.blockSize);
    const double seconds = static_cast<double>(audio.samples.size()) / audio.sampleRate;
    host::StereoAudio out;
    {
        ProgressBar bar(isatty(STDERR_FILENO) != 0 && seconds > kProgressMinimumSeconds);
        out = host::renderThrough(plugin->record(), audio.samples, options.settings,
                                  [&bar](double done) { bar.update(done); });
    }
    plugin->stop();
    if (!writer.write(out.left, out.right, error)) return fail(error);
    return 0;
}

// INDEX=VALUE with VALUE a normalised value from 0 to 1.
std::optional<ParameterSetting> parseParameterSetting(std::optional<std::string_view> text) {
    const auto equals = text ? text->find('=') : std::string_view::npos;
    if (equals == std::string_view::npos) return std::nullopt;
    const auto index = parseNumber<std::int32_t>(text->substr(0, equals));
    const auto value = parseNumber<float>(text->substr(equals + 1));
    // The negated test also refuses NaN.
    if (!index || !value || !(*value >= 0.0f && *value <= 1.0f)) return std::nullopt;
    return ParameterSetting{*index, *value};
}

int parseRender(int argc, char** argv) {
    RenderOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto next = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (asksForHelp(arg)) {
            printUsage(stdout, kRenderUsage);
            return 0;
        }
        if (arg == "--program" || arg == "-P") {
            const auto value = next();
            const auto program = value ? parseNumber<std::int32_t>(*value) : std::nullopt;
            if (!program) return renderUsageError("--program needs a whole number");
            options.program = program;
        } else if (arg == "--param" || arg == "-p") {
            const auto setting = parseParameterSetting(next());
            if (!setting) return renderUsageError("--param needs INDEX=VALUE with VALUE from 0 to 1, e.g. 2=0.5");
            options.params.push_back(*setting);
        } else if (arg == "--block") {
            const auto value = next();
            const auto block = value ? parseNumber<std::int32_t>(*value) : std::nullopt;
            if (!block || *block < 1 || *block > kMaxBlockSize) {
                return renderUsageError("--block needs a size from 1 to " + std::to_string(kMaxBlockSize));
            }
            options.settings.blockSize = *block;
        } else if (arg == "--accumulate") {
            options.settings.accumulate = true;
        } else if (arg == "--tail") {
            const auto value = next();
            const auto tail = value ? parseNumber<double>(*value) : std::nullopt;
            // The negated test also refuses NaN.
            if (!tail || !(*tail >= 0.0 && *tail <= kMaxTailSeconds)) {
                return renderUsageError("--tail needs seconds from 0 to " + std::to_string(kMaxTailSeconds));
            }
            options.tailSeconds = *tail;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return renderUsageError("unknown option '" + std::string(arg) + "'");
        } else {
            options.positional.emplace_back(arg);
        }
    }
    return render(options);
}

int runCommand(int argc, char** argv) {
    if (argc < 2) return usageError("no command given");
    const std::string_view command = argv[1];
    if (asksForHelp(command)) {
        printUsage(stdout, kCommandsUsage);
        return 0;
    }
    if (command == "info") {
        if (argc == 3 && asksForHelp(argv[2])) {
            printUsage(stdout, kInfoUsage);
            return 0;
        }
        if (argc != 3) return usageError("info needs exactly one PLUGIN", kInfoUsage);
        return showInfo(argv[2]);
    }
    if (command == "render") return parseRender(argc, argv);
    return usageError("unknown command '" + std::string(command) + "'");
}

}  // namespace

int main(int argc, char** argv) {
    // Out of memory for a long file, or a plug-in throwing through the interface.
    try {
        return runCommand(argc, argv);
    } catch (const std::exception& exception) {
        return fail(exception.what());
    }
}
