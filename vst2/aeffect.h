// Our own declarations of the VST 2 binary interface: the effect record, the
// opcode numbers in both directions, the flags and the editor rectangle.
// Written from the interface's published numeric values; layouts are checked
// at compile time for 32-bit and 64-bit targets.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VST2_CALLBACK __cdecl
#else
#define VST2_CALLBACK
#endif

namespace vst2 {

// Pointer-sized integer of the interface: the dispatcher's result, its value
// argument, the reserved fields and the host callback's result. On a 32-bit
// target this is the signed 32-bit width.
using IntPtr = std::intptr_t;

inline constexpr std::int32_t kEffectMagic = 0x56737450;  // 'VstP'

}  // namespace vst2

struct AEffect;

extern "C" {
using audioMasterCallback = vst2::IntPtr(VST2_CALLBACK*)(AEffect* effect, std::int32_t opcode,
                                                          std::int32_t index, vst2::IntPtr value,
                                                          void* ptr, float opt);
using AEffectDispatcherProc = vst2::IntPtr(VST2_CALLBACK*)(AEffect* effect, std::int32_t opcode,
                                                            std::int32_t index, vst2::IntPtr value,
                                                            void* ptr, float opt);
using AEffectProcessProc = void(VST2_CALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                                std::int32_t sampleFrames);
using AEffectProcessDoubleProc = void(VST2_CALLBACK*)(AEffect* effect, double** inputs,
                                                      double** outputs, std::int32_t sampleFrames);
using AEffectSetParameterProc = void(VST2_CALLBACK*)(AEffect* effect, std::int32_t index,
                                                     float value);
using AEffectGetParameterProc = float(VST2_CALLBACK*)(AEffect* effect, std::int32_t index);
using VstPluginMainProc = AEffect*(VST2_CALLBACK*)(audioMasterCallback host);
}

// The record a plug-in hands to its host. Field order and widths are fixed by
// the binary interface.
struct AEffect {
    std::int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // accumulating entry
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    vst2::IntPtr resvd1;
    vst2::IntPtr resvd2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID;
    std::int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// Editor rectangle, in pixels.
struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

namespace vst2 {

// Record flags.
enum EffectFlags : std::int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Opcodes the host sends to the plug-in's dispatcher.
enum EffectOpcode : std::int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,
    effEditMouse = 17,
    effEditKey = 18,
    effEditIdle = 19,
    effEditTop = 20,
    effEditSleep = 21,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28,
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,
    effConnectInput = 31,
    effConnectOutput = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,
    effGetDestinationBuffer = 37,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effGetIcon = 54,
    effSetViewPosition = 55,
    effGetParameterProperties = 56,
    effKeysRequired = 57,
    effGetVstVersion = 58,
};

// Opcodes the plug-in sends to the host callback.
enum HostOpcode : std::int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

enum PlugCategory : std::int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Text sizes the interface promises for host buffers.
inline constexpr std::size_t kVstMaxProgNameLen = 24;
inline constexpr std::size_t kVstMaxParamStrLen = 8;

// Byte offsets of the record's fields for one pointer width, so the layout is
// checked for both targets whichever one is being compiled.
struct RecordLayout {
    std::size_t dispatcher, process, setParameter, getParameter, numPrograms, flags, resvd1,
        initialDelay, ioRatio, object, user, uniqueID, version, processReplacing,
        processDoubleReplacing, future, size;
};

inline constexpr RecordLayout kLayout32{4,  8,  12, 16, 20, 36, 40, 48, 60,
                                        64, 68, 72, 76, 80, 84, 88, 144};
inline constexpr RecordLayout kLayout64{8,   16,  24,  32,  40,  56,  64,  80, 92,
                                        96,  104, 112, 116, 120, 128, 136, 192};

inline constexpr RecordLayout kNativeLayout = sizeof(void*) == 8 ? kLayout64 : kLayout32;

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "only 32-bit and 64-bit targets");
static_assert(sizeof(IntPtr) == sizeof(void*));
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == kNativeLayout.dispatcher);
static_assert(offsetof(AEffect, process) == kNativeLayout.process);
static_assert(offsetof(AEffect, setParameter) == kNativeLayout.setParameter);
static_assert(offsetof(AEffect, getParameter) == kNativeLayout.getParameter);
static_assert(offsetof(AEffect, numPrograms) == kNativeLayout.numPrograms);
static_assert(offsetof(AEffect, flags) == kNativeLayout.flags);
static_assert(offsetof(AEffect, resvd1) == kNativeLayout.resvd1);
static_assert(offsetof(AEffect, initialDelay) == kNativeLayout.initialDelay);
static_assert(offsetof(AEffect, ioRatio) == kNativeLayout.ioRatio);
static_assert(offsetof(AEffect, object) == kNativeLayout.object);
static_assert(offsetof(AEffect, user) == kNativeLayout.user);
static_assert(offsetof(AEffect, uniqueID) == kNativeLayout.uniqueID);
static_assert(offsetof(AEffect, version) == kNativeLayout.version);
static_assert(offsetof(AEffect, processReplacing) == kNativeLayout.processReplacing);
static_assert(offsetof(AEffect, processDoubleReplacing) == kNativeLayout.processDoubleReplacing);
static_assert(offsetof(AEffect, future) == kNativeLayout.future);
static_assert(sizeof(AEffect) == kNativeLayout.size);
static_assert(sizeof(ERect) == 8);

}  // namespace vst2
