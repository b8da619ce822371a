// The lower layer of every effect: owns the record handed to the host, the
// host callback and the counts, answers opcodes 0 to 24, and offers the
// value-to-text helpers.
#pragma once

#include <atomic>
#include <cstdint>

#include "shell/effect_editor.h"
#include "vst2/aeffect.h"

namespace shell {

using vst2::IntPtr;

inline constexpr std::int32_t kDefaultUniqueId = 0x4E6F4566;
inline constexpr std::int32_t kIdentifyAnswer = 0x4E764566;
inline constexpr float kDefaultSampleRate = 44100.0f;
inline constexpr std::int32_t kDefaultBlockSize = 1024;

class EffectBase {
public:
    EffectBase(audioMasterCallback hostCallback, std::int32_t numPrograms, std::int32_t numParams);
    virtual ~EffectBase();
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    AEffect* getRecord() { return &record; }
    static EffectBase* fromRecord(AEffect* record);

    virtual IntPtr dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                              float opt);
    virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void setParameter(std::int32_t index, float value);
    virtual float getParameter(std::int32_t index);

    // Operations reached from the dispatcher.
    virtual void open() {}
    virtual void close() {}
    virtual void setProgram(std::int32_t program);
    virtual std::int32_t getProgram() { return currentProgram.load(std::memory_order_relaxed); }
    virtual void setProgramName(const char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(std::int32_t index, char* label);
    virtual void getParameterDisplay(std::int32_t index, char* text);
    virtual void getParameterName(std::int32_t index, char* name);
    virtual float takeVu() { return 0.0f; }
    virtual void setSampleRate(float rate) { sampleRate.store(rate, std::memory_order_relaxed); }
    virtual void setBlockSize(std::int32_t size) { blockSize.store(size, std::memory_order_relaxed); }
    virtual void suspend() {}
    virtual void resume() {}

    // Value-to-text helpers; every text is 8 characters and a 0 byte.
    virtual void formatDecibels(float gain, char* text);
    virtual void formatHertz(float periodSamples, char* text);
    virtual void formatMilliseconds(float samples, char* text);
    virtual void formatFloat(float value, char* text);
    virtual void formatInteger(std::int32_t value, char* text);

    // Binds the editor (or none) and keeps the record's editor flag in step.
    void setEditor(EffectEditor* newEditor);
    EffectEditor* getEditor() const { return editor; }

    // Calls into the host, each made only when there is a callback.
    void automateParameter(std::int32_t index, float value);
    void hostIdle();
    IntPtr openHostWindow(void* windowDescription);
    bool closeHostWindow(void* windowDescription);

    float getSampleRate() const { return sampleRate.load(std::memory_order_relaxed); }
    std::int32_t getBlockSize() const { return blockSize.load(std::memory_order_relaxed); }
    std::int32_t getNumPrograms() const { return numPrograms; }
    std::int32_t getNumParams() const { return numParams; }

protected:
    bool isParameterIndex(std::int32_t index) const { return index >= 0 && index < numParams; }

    std::atomic<float> sampleRate{kDefaultSampleRate};
    EffectEditor* editor = nullptr;
    audioMasterCallback hostCallback;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::atomic<std::int32_t> currentProgram{0};
    std::atomic<std::int32_t> blockSize{kDefaultBlockSize};
    AEffect record;
};

}  // namespace shell
