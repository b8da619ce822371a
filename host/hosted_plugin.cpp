#include "host/hosted_plugin.h"

#include <dlfcn.h>

#include <array>

namespace host {

using namespace vst2;

namespace {

constexpr IntPtr kHostVersion = 2400;
constexpr std::size_t kTextBufferSize = 512;

// The instance being created: `main` calls back before it has a record to
// hand us, and some plug-ins ask for the rate during construction.
HostedPlugin* constructing = nullptr;

}  // namespace

HostedPlugin::HostedPlugin(void* libraryHandle, AEffect* record)
    : library(libraryHandle), effect(record) {}

std::unique_ptr<HostedPlugin> HostedPlugin::load(const std::string& path, std::string& error) {
    // A path without a slash would be searched in the system's library path.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = "cannot load '" + path + "' as a plug-in library" +
                (reason != nullptr ? std::string(": ") + reason : std::string());
        return nullptr;
    }
    auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "main"));
    if (entry == nullptr) entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "VSTPluginMain"));
    if (entry == nullptr) {
        error = "'" + path + "' has no VST 2 entry point 'main'";
        dlclose(library);
        return nullptr;
    }
    std::unique_ptr<HostedPlugin> plugin(new HostedPlugin(library, nullptr));
    constructing = plugin.get();
    AEffect* record = entry(&HostedPlugin::callback);
    constructing = nullptr;
    if (record == nullptr) {
        error = "'" + path + "': main answered no plug-in";
        plugin->library = nullptr;
        dlclose(library);
        return nullptr;
    }
    if (record->magic != kEffectMagic) {
        error = "'" + path + "': main answered a record without the VST 2 magic number";
        plugin->library = nullptr;  // the record cannot be trusted to close
        dlclose(library);
        return nullptr;
    }
    plugin->effect = record;
    record->user = plugin.get();
    plugin->dispatch(effOpen);
    return plugin;
}

HostedPlugin::~HostedPlugin() {
    if (effect != nullptr) {
        stop();
        dispatch(effClose);
    }
    if (library != nullptr) dlclose(library);
}

IntPtr HostedPlugin::dispatch(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                              float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string HostedPlugin::text(std::int32_t opcode, std::int32_t index) {
    std::array<char, kTextBufferSize> buffer{};
    dispatch(opcode, index, 0, buffer.data());
    buffer.back() = '\0';
    return buffer.data();
}

float HostedPlugin::getParameter(std::int32_t index) { return effect->getParameter(effect, index); }

void HostedPlugin::setParameter(std::int32_t index, float value) {
    effect->setParameter(effect, index, value);
}

void HostedPlugin::start(float sampleRate, std::int32_t blockSize) {
    rate = sampleRate;
    block = blockSize;
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effSetBlockSizeAndSampleRate, 0, blockSize, nullptr, sampleRate);
    dispatch(effMainsChanged, 0, 1);
    running = true;
}

void HostedPlugin::stop() {
    if (!running) return;
    dispatch(effMainsChanged, 0, 0);
    running = false;
}

IntPtr VST2_CALLBACK HostedPlugin::callback(AEffect* record, std::int32_t opcode, std::int32_t index,
                                           IntPtr, void*, float opt) {
    HostedPlugin* self = record != nullptr && record->user != nullptr
                             ? static_cast<HostedPlugin*>(record->user)
                             : constructing;
    switch (opcode) {
        case audioMasterVersion: return kHostVersion;
        case audioMasterAutomate:
            if (self != nullptr) self->automationEvents.push_back({index, opt});
            return 0;
        case audioMasterGetSampleRate:
            return self != nullptr ? static_cast<IntPtr>(self->rate) : 44100;
        case audioMasterGetBlockSize: return self != nullptr ? self->block : 512;
        default: return 0;  // idle, capabilities and everything else: nothing to offer
    }
}

}  // namespace host
