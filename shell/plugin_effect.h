// The program store and processing entries shared by every effect class.
// An effect derives from PluginEffect<ItsClass, ItsParameterCount>, hands its
// presets and unique ID to the constructor, and supplies one per-sample loop
// as a template on the output policy:
//
//     template <class Output>
//     void render(const float* input, float* left, float* right, std::int32_t frames);
//
// process adds to the host's buffers and processReplacing stores into them;
// both run that one loop.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#include "shell/denormal_guard.h"
#include "shell/extended_effect_base.h"

namespace shell {

inline constexpr std::int32_t kProgramCount = 5;
inline constexpr std::size_t kProgramNameSize = vst2::kVstMaxProgNameLen;  // 23 characters + 0

// Copies at most size - 1 characters and always terminates.
inline void copyBoundedText(char* destination, const char* source, std::size_t size) {
    std::size_t length = 0;
    while (length + 1 < size && source[length] != '\0') ++length;
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

template <int N>
struct Preset {
    const char* name;
    std::array<float, N> values;
};

template <int N>
using PresetTable = std::array<Preset<N>, kProgramCount>;

// One program: a name of at most 23 characters and one value per parameter.
template <int N>
class EffectProgram {
public:
    EffectProgram() { setName("Empty Program"); }

    void setName(const char* text) { copyBoundedText(name, text, kProgramNameSize); }
    const char* getName() const { return name; }
    void setValue(int index, float value) { values[index].store(value, std::memory_order_relaxed); }
    float getValue(int index) const { return values[index].load(std::memory_order_relaxed); }

private:
    char name[kProgramNameSize]{};
    std::array<std::atomic<float>, N> values{};
};

struct AddToOutput {
    static void write(float& out, float value) { out += value; }
};

struct StoreToOutput {
    static void write(float& out, float value) { out = value; }
};

template <class Derived, int N>
class PluginEffect : public ExtendedEffectBase {
public:
    static constexpr int kNumParams = N;

    PluginEffect(audioMasterCallback host, std::int32_t uniqueId, const PresetTable<N>& presets)
        : ExtendedEffectBase(host, kProgramCount, N),
          programTable(std::make_unique<EffectProgram<N>[]>(kProgramCount)) {
        for (int p = 0; p < kProgramCount; ++p) {
            programTable[p].setName(presets[p].name);
            for (int i = 0; i < N; ++i) programTable[p].setValue(i, presets[p].values[i]);
        }
        record.numInputs = 1;
        record.numOutputs = 2;
        record.flags |= vst2::effFlagsHasVu | vst2::effFlagsCanMono | vst2::effFlagsCanReplacing;
        record.uniqueID = uniqueId;
        setEditor(createEditor(*this));
        vu.store(0.0f, std::memory_order_relaxed);
        for (auto& value : paramValues) value.store(0.0f, std::memory_order_relaxed);
    }

    void setProgram(std::int32_t program) override {
        if (program < 0 || program >= kProgramCount) return;
        currentProgram.store(program, std::memory_order_relaxed);
        for (int i = 0; i < N; ++i) setParameter(i, programTable[program].getValue(i));
    }

    void setProgramName(const char* name) override {
        currentProgramRecord().setName(name);
    }

    void getProgramName(char* name) override {
        copyBoundedText(name, currentProgramRecord().getName(), kProgramNameSize);
    }

    // Values are stored as given, also outside 0..1: a host reads back what it
    // set. The processing loops keep every index they form inside their rings.
    void setParameter(std::int32_t index, float value) override {
        if (!isParameterIndex(index)) return;
        currentProgramRecord().setValue(index, value);
        paramValues[index].store(value, std::memory_order_relaxed);
        if (editor != nullptr) editor->setParameter(index, value);
    }

    float getParameter(std::int32_t index) override {
        return isParameterIndex(index) ? param(index) : 0.0f;
    }

    void getParameterDisplay(std::int32_t index, char* text) override {
        if (isParameterIndex(index)) formatFloat(param(index), text);
    }

    float takeVu() override { return vu.exchange(0.0f, std::memory_order_relaxed); }

    void process(float** inputs, float** outputs, std::int32_t sampleFrames) override {
        run<AddToOutput>(inputs, outputs, sampleFrames);
    }

    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override {
        run<StoreToOutput>(inputs, outputs, sampleFrames);
    }

    const EffectProgram<N>& program(int index) const { return programTable[index]; }

protected:
    // The current value of a parameter, read afresh by the processing loops.
    float param(int index) const { return paramValues[index].load(std::memory_order_relaxed); }
    void setInitialParam(int index, float value) {
        paramValues[index].store(value, std::memory_order_relaxed);
    }

private:
    EffectProgram<N>& currentProgramRecord() {
        return programTable[currentProgram.load(std::memory_order_relaxed)];
    }

    template <class Output>
    void run(float** inputs, float** outputs, std::int32_t sampleFrames) {
        if (sampleFrames <= 0 || inputs == nullptr || outputs == nullptr) return;
        if (inputs[0] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) return;
        const DenormalGuard guard;
        static_cast<Derived*>(this)->template render<Output>(inputs[0], outputs[0], outputs[1],
                                                             sampleFrames);
    }

    std::unique_ptr<EffectProgram<N>[]> programTable;
    std::atomic<float> vu{0.0f};
    std::array<std::atomic<float>, N> paramValues{};
};

}  // namespace shell
