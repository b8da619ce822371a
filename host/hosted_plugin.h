// A VST 2 plug-in library loaded the way a host loads it: open the library,
// call its exported `main` with our host callback, drive the record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vst2/aeffect.h"

namespace host {

struct AutomationEvent {
    std::int32_t index;
    float value;
};

class HostedPlugin {
public:
    // Loads the library at `path` and makes one instance. On failure answers
    // null and sets `error` to a one-line reason.
    static std::unique_ptr<HostedPlugin> load(const std::string& path, std::string& error);

    ~HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    AEffect& record() { return *effect; }
    vst2::IntPtr dispatch(std::int32_t opcode, std::int32_t index = 0, vst2::IntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f);

    // Text answers of the dispatcher, read through a zeroed buffer large
    // enough for plug-ins that write more than the interface allows.
    std::string text(std::int32_t opcode, std::int32_t index = 0);

    float getParameter(std::int32_t index);
    void setParameter(std::int32_t index, float value);

    // Announces the rate and block size, then switches the plug-in on.
    void start(float sampleRate, std::int32_t blockSize);
    void stop();

    float sampleRate() const { return rate; }
    std::int32_t blockSize() const { return block; }
    const std::vector<AutomationEvent>& automation() const { return automationEvents; }

private:
    HostedPlugin(void* library, AEffect* effect);
    static vst2::IntPtr VST2_CALLBACK callback(AEffect* effect, std::int32_t opcode,
                                               std::int32_t index, vst2::IntPtr value, void* ptr,
                                               float opt);

    void* library;
    AEffect* effect;
    float rate = 44100.0f;
    std::int32_t block = 512;
    bool running = false;
    std::vector<AutomationEvent> automationEvents;
};

}  // namespace host
