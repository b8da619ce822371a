// A plug-in library whose entry answers a record without the VST 2 magic
// number and with null entries: a host that used it would crash.
#include "vst2/aeffect.h"

extern "C" __attribute__((visibility("default"))) AEffect* answerWrongMagic(audioMasterCallback) __asm__("main");

namespace {
AEffect notAnEffect{};
}  // namespace

extern "C" AEffect* answerWrongMagic(audioMasterCallback) { return &notAnEffect; }
