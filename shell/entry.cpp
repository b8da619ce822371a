// The library's only export, `main`: asks the host for its interface version,
// makes the plug-in's effect and hands its record to the host.
#include <new>

#include "shell/effect_base.h"
#include "shell/plugin_factory.h"

namespace {

AEffect* createPlugin(audioMasterCallback host) {
    if (host == nullptr) return nullptr;
    if (host(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        return shell::createEffect(host)->getRecord();
    } catch (...) {
        // Out of memory for the effect or its program table: the half-made
        // effect is already destroyed, and the host gets no plug-in.
        return nullptr;
    }
}

}  // namespace

// C++ reserves the name `main` for the program entry, so the function is
// declared under another name and exported under the symbol name `main`.
extern "C" __attribute__((visibility("default"))) AEffect* VST2_CALLBACK pluginMain(
    audioMasterCallback host) __asm__("main");

extern "C" AEffect* VST2_CALLBACK pluginMain(audioMasterCallback host) { return createPlugin(host); }
