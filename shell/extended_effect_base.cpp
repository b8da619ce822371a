#include "shell/extended_effect_base.h"

namespace shell {

using namespace vst2;

IntPtr ExtendedEffectBase::dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value,
                                      void* ptr, float opt) {
    switch (opcode) {
        case effCanBeAutomated: return 1;
        case effGetNumProgramCategories: return 1;
        case effConnectInput:
        case effConnectOutput: return 1;  // connection changes are noted and ignored
        case effGetPlugCategory:
            return (record.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
        case effSetBlockSizeAndSampleRate:
            blockSize.store(static_cast<std::int32_t>(value), std::memory_order_relaxed);
            sampleRate.store(opt, std::memory_order_relaxed);
            return 1;
        case effKeysRequired: return 1;  // inverted sense: no keyboard input needed
        case effGetVstVersion: return kVstVersionAnswer;
        default:
            if (opcode >= effProcessEvents && opcode <= effGetVstVersion) return 0;
            return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}

}  // namespace shell
