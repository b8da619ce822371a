#include "shell/effect_base.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "shell/value_text.h"

namespace shell {
namespace {

using namespace vst2;

// Record entry functions: plain functions that find the effect through the
// record's object field.
IntPtr VST2_CALLBACK dispatcherEntry(AEffect* record, std::int32_t opcode, std::int32_t index,
                                     IntPtr value, void* ptr, float opt) {
    EffectBase* effect = EffectBase::fromRecord(record);
    if (effect == nullptr) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void VST2_CALLBACK processEntry(AEffect* record, float** inputs, float** outputs,
                                std::int32_t sampleFrames) {
    if (EffectBase* effect = EffectBase::fromRecord(record)) effect->process(inputs, outputs, sampleFrames);
}

void VST2_CALLBACK processReplacingEntry(AEffect* record, float** inputs, float** outputs,
                                         std::int32_t sampleFrames) {
    if (EffectBase* effect = EffectBase::fromRecord(record)) {
        effect->processReplacing(inputs, outputs, sampleFrames);
    }
}

void VST2_CALLBACK setParameterEntry(AEffect* record, std::int32_t index, float value) {
    if (EffectBase* effect = EffectBase::fromRecord(record)) effect->setParameter(index, value);
}

float VST2_CALLBACK getParameterEntry(AEffect* record, std::int32_t index) {
    EffectBase* effect = EffectBase::fromRecord(record);
    return effect != nullptr ? effect->getParameter(index) : 0.0f;
}

// Parameter names and labels are the same texts in every plug-in.
constexpr std::int32_t kHighestTextIndex = 10;

void writeIndexedText(const char* prefix, std::int32_t index, char* text) {
    if (index < 0 || index > kHighestTextIndex) return;
    std::snprintf(text, 13, "  %s=%d  ", prefix, static_cast<int>(index));
}

bool writesThroughPointer(std::int32_t opcode) {
    return opcode == effSetProgramName || opcode == effGetProgramName ||
           opcode == effGetParamLabel || opcode == effGetParamDisplay ||
           opcode == effGetParamName || opcode == effEditGetRect;
}

}  // namespace

EffectBase::EffectBase(audioMasterCallback callback, std::int32_t programs, std::int32_t params)
    : hostCallback(callback), numPrograms(programs), numParams(params) {
    std::memset(&record, 0, sizeof record);
    record.magic = kEffectMagic;
    record.dispatcher = dispatcherEntry;
    record.process = processEntry;
    record.setParameter = setParameterEntry;
    record.getParameter = getParameterEntry;
    record.processReplacing = processReplacingEntry;
    record.numPrograms = programs;
    record.numParams = params;
    record.numInputs = 1;
    record.numOutputs = 2;
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = kDefaultUniqueId;
    record.version = 1;
}

EffectBase::~EffectBase() { delete editor; }

EffectBase* EffectBase::fromRecord(AEffect* record) {
    return record != nullptr ? static_cast<EffectBase*>(record->object) : nullptr;
}

IntPtr EffectBase::dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                              float opt) {
    // Hosts always pass a buffer for texts and rectangles; a null one is
    // answered 0 and nothing is written.
    if (writesThroughPointer(opcode) && ptr == nullptr) return 0;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<std::int32_t>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName: setProgramName(text); return 0;
        case effGetProgramName: getProgramName(text); return 0;
        case effGetParamLabel: getParameterLabel(index, text); return 0;
        case effGetParamDisplay: getParameterDisplay(index, text); return 0;
        case effGetParamName: getParameterName(index, text); return 0;
        case effGetVu: return static_cast<IntPtr>(std::trunc(static_cast<double>(takeVu()) * 32767.0));
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<std::int32_t>(value)); return 0;
        case effMainsChanged:
            if (value == 0) {
                suspend();
            } else {
                resume();
            }
            return 0;
        case effEditGetRect: return editor != nullptr ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
        case effEditOpen: return editor != nullptr ? editor->open(ptr) : 0;
        case effEditClose:
            if (editor != nullptr) editor->close();
            return 0;
        case effEditIdle:
            if (editor != nullptr) editor->idle();
            return 0;
        case effIdentify: return kIdentifyAnswer;
        default: return 0;  // chunks and every unhandled opcode
    }
}

void EffectBase::setParameter(std::int32_t, float) {}

float EffectBase::getParameter(std::int32_t) { return 0.0f; }

void EffectBase::setProgram(std::int32_t program) {
    currentProgram.store(program, std::memory_order_relaxed);
}

void EffectBase::setProgramName(const char*) {}

void EffectBase::getProgramName(char* name) { name[0] = '\0'; }

void EffectBase::getParameterLabel(std::int32_t index, char* label) {
    writeIndexedText("label", index, label);
}

void EffectBase::getParameterDisplay(std::int32_t, char*) {}

void EffectBase::getParameterName(std::int32_t index, char* name) {
    writeIndexedText("name", index, name);
}

void EffectBase::formatDecibels(float gain, char* text) { shell::formatDecibels(gain, text); }

void EffectBase::formatHertz(float periodSamples, char* text) {
    shell::formatHertz(periodSamples, getSampleRate(), text);
}

void EffectBase::formatMilliseconds(float samples, char* text) {
    shell::formatMilliseconds(samples, getSampleRate(), text);
}

void EffectBase::formatFloat(float value, char* text) { shell::formatFloat(value, text); }

void EffectBase::formatInteger(std::int32_t value, char* text) { shell::formatInteger(value, text); }

void EffectBase::setEditor(EffectEditor* newEditor) {
    editor = newEditor;
    if (editor != nullptr) {
        record.flags |= effFlagsHasEditor;
    } else {
        record.flags &= ~effFlagsHasEditor;
    }
}

void EffectBase::automateParameter(std::int32_t index, float value) {
    setParameter(index, value);
    if (hostCallback != nullptr) hostCallback(&record, audioMasterAutomate, index, 0, nullptr, value);
}

void EffectBase::hostIdle() {
    if (hostCallback != nullptr) hostCallback(&record, audioMasterIdle, 0, 0, nullptr, 0.0f);
}

IntPtr EffectBase::openHostWindow(void* windowDescription) {
    if (hostCallback == nullptr) return 0;
    return hostCallback(&record, audioMasterOpenWindow, 0, 0, windowDescription, 0.0f);
}

bool EffectBase::closeHostWindow(void* windowDescription) {
    if (hostCallback == nullptr) return false;
    return hostCallback(&record, audioMasterCloseWindow, 0, 0, windowDescription, 0.0f) != 0;
}

}  // namespace shell
