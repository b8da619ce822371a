// A plug-in library whose entry answers no effect, as one does when it cannot
// create its effect.
#include "vst2/aeffect.h"

extern "C" __attribute__((visibility("default"))) AEffect* answerNull(audioMasterCallback) __asm__("main");

extern "C" AEffect* answerNull(audioMasterCallback) { return nullptr; }
