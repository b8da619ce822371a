// What the shell needs of an effect's editor. The editor panel implements it;
// the shell only forwards requests and parameter changes.
#pragma once

#include <cstdint>

#include "vst2/aeffect.h"

namespace shell {

class EffectEditor {
public:
    virtual ~EffectEditor() = default;
    // Stores the address of the editor's own window rectangle; answers 1.
    virtual std::int32_t getRect(ERect** rect) = 0;
    // Opens the editor window inside the host's parent window; answers 1 when open.
    virtual std::int32_t open(void* parentWindow) = 0;
    virtual void close() = 0;
    virtual void idle() = 0;
    virtual void setParameter(std::int32_t index, float value) = 0;
};

class EffectBase;

// Makes the editor of an effect, or answers null when the library has none or
// it cannot be made. Each plug-in library links exactly one definition.
EffectEditor* createEditor(EffectBase& effect);

}  // namespace shell
