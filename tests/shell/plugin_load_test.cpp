// Loads every plug-in library of the suite the way a host does: open the
// library, call its exported `main`, drive the record.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "tests/support/allocation_counter.h"
#include "vst2/aeffect.h"

namespace {

using namespace vst2;

struct PluginFacts {
    const char* name;
    std::int32_t uniqueId;
    std::int32_t numParams;
};

// Every library of the suite with the identity its record must carry.
const PluginFacts kPlugins[] = {
    {"Quorvane", 0x4B713031, 5},
    {"Tellimor", 0x4B713032, 5},
    {"Ambrelic", 0x4B713033, 9},
    {"Orvethil", 0x4B713034, 7},
    {"Pallimund", 0x4B713035, 5},
    {"Wendrake", 0x4B713036, 5},
    {"Hollistra", 0x4B713037, 5},
};

void PrintTo(const PluginFacts& facts, std::ostream* out) { *out << facts.name; }

bool hostIsTooOld = false;

IntPtr VST2_CALLBACK testHost(AEffect*, std::int32_t opcode, std::int32_t, IntPtr, void*, float) {
    if (opcode == audioMasterVersion) return hostIsTooOld ? 0 : 2400;
    return 0;
}

class PluginLibrary : public ::testing::TestWithParam<PluginFacts> {
protected:
    void SetUp() override {
        hostIsTooOld = false;
        const std::string path = std::string(PLUGIN_DIRECTORY) + "/" + GetParam().name + ".so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        entry = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "main"));
        ASSERT_NE(entry, nullptr);
    }
    void TearDown() override {
        if (handle != nullptr) dlclose(handle);
    }

    static IntPtr close(AEffect* effect) {
        return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }

    void* handle = nullptr;
    VstPluginMainProc entry = nullptr;
};

TEST_P(PluginLibrary, RecordCarriesThePluginsIdentity) {
    AEffect* effect = entry(testHost);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numPrograms, 5);
    EXPECT_EQ(effect->numParams, GetParam().numParams);
    EXPECT_EQ(effect->numInputs, 1);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags & ~effFlagsHasEditor, 0x1C);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->uniqueID, GetParam().uniqueId);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(effect->processDoubleReplacing, nullptr);
    for (char byte : effect->future) EXPECT_EQ(byte, 0);
    EXPECT_NE(effect->dispatcher, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    EXPECT_EQ(close(effect), 1);
}

TEST_P(PluginLibrary, TwoInstancesAreIndependent) {
    AEffect* first = entry(testHost);
    AEffect* second = entry(testHost);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->object, second->object);
    first->setParameter(first, 0, 0.75f);
    EXPECT_EQ(first->getParameter(first, 0), 0.75f);
    EXPECT_NE(second->getParameter(second, 0), 0.75f);
    EXPECT_EQ(close(first), 1);
    EXPECT_EQ(close(second), 1);
}

TEST_P(PluginLibrary, TooOldAHostGetsNoPlugin) {
    hostIsTooOld = true;
    const std::size_t before = testing_support::allocationCount();
    EXPECT_EQ(entry(testHost), nullptr);
    EXPECT_EQ(entry(nullptr), nullptr);
    EXPECT_EQ(testing_support::allocationCount(), before);
}

// Every allocation that construction makes is failed in turn: `main` then
// answers null and leaves nothing behind.
TEST_P(PluginLibrary, OutOfMemoryDuringConstructionLeavesNothingBehind) {
    const std::size_t live = testing_support::liveAllocations();
    for (std::size_t failing = 1;; ++failing) {
        testing_support::failAllocationAfter(failing);
        AEffect* effect = entry(testHost);
        testing_support::failAllocationAfter(0);
        if (effect != nullptr) {
            EXPECT_GT(failing, 1u);
            EXPECT_EQ(close(effect), 1);
            break;
        }
        EXPECT_EQ(testing_support::liveAllocations(), live) << "failing allocation " << failing;
        ASSERT_LT(failing, 1000u);
    }
    EXPECT_EQ(testing_support::liveAllocations(), live);
}

TEST_P(PluginLibrary, HostStylesOfDrivingTheRecordWork) {
    AEffect* effect = entry(testHost);
    ASSERT_NE(effect, nullptr);
    // Seen in real hosts: category, rate and block size before effOpen,
    // suspend without resume, silence right after resume, changing and empty
    // block sizes.
    EXPECT_EQ(effect->dispatcher(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f), 0);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect->dispatcher(effect, effSetProgram, 0, 1, nullptr, 0.0f);
    std::vector<float> input(8192, 0.0f), left(8192), right(8192);
    float* inputs[] = {input.data()};
    float* outputs[] = {left.data(), right.data()};
#if defined(__SSE__)
    const unsigned hostMode = _mm_getcsr();
#endif
    for (std::int32_t frames : {256, 1024, 8192, 100, 0, 1}) {
        effect->processReplacing(effect, inputs, outputs, frames);
        effect->process(effect, inputs, outputs, frames);
    }
#if defined(__SSE__)
    EXPECT_EQ(_mm_getcsr(), hostMode);
#endif
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(close(effect), 1);
}

INSTANTIATE_TEST_SUITE_P(Suite, PluginLibrary, ::testing::ValuesIn(kPlugins),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
