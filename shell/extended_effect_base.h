// The upper layer of every effect: answers opcodes 25 to 58 and hands all
// others to EffectBase.
#pragma once

#include "shell/effect_base.h"

namespace shell {

inline constexpr std::int32_t kVstVersionAnswer = 2;

class ExtendedEffectBase : public EffectBase {
public:
    using EffectBase::EffectBase;
    IntPtr dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                      float opt) override;
};

}  // namespace shell
