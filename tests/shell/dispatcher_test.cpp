// Answers of the dispatcher, through the record as a host sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/tellimor/tellimor_effect.h"
#include "tests/support/effect_driver.h"

namespace {

using namespace vst2;

struct HostCall {
    std::int32_t opcode, index;
    IntPtr value;
    float opt;
};

std::vector<HostCall> hostCalls;

IntPtr VST2_CALLBACK recordingHost(AEffect*, std::int32_t opcode, std::int32_t index, IntPtr value,
                                   void*, float opt) {
    hostCalls.push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override { hostCalls.clear(); }

    IntPtr dispatch(std::int32_t opcode, std::int32_t index = 0, IntPtr value = 0,
                    void* ptr = nullptr, float opt = 0.0f) {
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }

    std::unique_ptr<tellimor::TellimorEffect> effect =
        std::make_unique<tellimor::TellimorEffect>(recordingHost);
    AEffect* record = effect->getRecord();
};

TEST_F(Dispatcher, AnswersEveryOpcodeAsTheInterfaceTableSays) {
    char buffer[64] = "untouched";
    const struct {
        std::int32_t opcode;
        std::int32_t index;
        IntPtr value;
        IntPtr answer;
    } cases[] = {
        {effOpen, 0, 0, 0},
        {effGetProgram, 0, 0, 0},
        {effGetVu, 0, 0, 0},
        {effSetBlockSize, 0, 256, 0},
        {effMainsChanged, 0, 1, 0},
        {effMainsChanged, 0, 0, 0},
        {effEditGetRect, 0, 0, 0},  // no editor in this build
        {effEditOpen, 0, 0, 0},
        {effEditClose, 0, 0, 0},
        {effEditIdle, 0, 0, 0},
        {effEditDraw, 0, 0, 0},
        {effEditMouse, 0, 0, 0},
        {effEditKey, 0, 0, 0},
        {effEditTop, 0, 0, 0},
        {effEditSleep, 0, 0, 0},
        {effIdentify, 0, 0, 0x4E764566},
        {effGetChunk, 0, 0, 0},
        {effSetChunk, 0, 0, 0},
        {effProcessEvents, 0, 0, 0},
        {effCanBeAutomated, 0, 0, 1},
        {effCanBeAutomated, 1234, 0, 1},
        {effCanBeAutomated, -1, 0, 1},
        {effString2Parameter, 0, 0, 0},
        {effGetNumProgramCategories, 0, 0, 1},
        {effGetProgramNameIndexed, 0, 0, 0},
        {effCopyProgram, 0, 0, 0},
        {effConnectInput, 0, 1, 1},
        {effConnectOutput, 1, 0, 1},
        {effGetInputProperties, 0, 0, 0},
        {effGetOutputProperties, 0, 0, 0},
        {effGetPlugCategory, 0, 0, kPlugCategUnknown},
        {effGetCurrentPosition, 0, 0, 0},
        {effGetDestinationBuffer, 0, 0, 0},
        {effOfflineNotify, 0, 0, 0},
        {effOfflinePrepare, 0, 0, 0},
        {effOfflineRun, 0, 0, 0},
        {effProcessVarIo, 0, 0, 0},
        {effSetSpeakerArrangement, 0, 0, 0},
        {effSetBypass, 0, 1, 0},
        {effGetEffectName, 0, 0, 0},
        {effGetErrorText, 0, 0, 0},
        {effGetVendorString, 0, 0, 0},
        {effGetProductString, 0, 0, 0},
        {effGetVendorVersion, 0, 0, 0},
        {effVendorSpecific, 0, 0, 0},
        {effCanDo, 0, 0, 0},
        {effGetTailSize, 0, 0, 0},
        {effIdle, 0, 0, 0},
        {effGetIcon, 0, 0, 0},
        {effSetViewPosition, 0, 0, 0},
        {effGetParameterProperties, 0, 0, 0},
        {effKeysRequired, 0, 0, 1},
        {effGetVstVersion, 0, 0, 2},
        {59, 0, 0, 0},
        {-1, 0, 0, 0},
        {1000000, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dispatch(c.opcode, c.index, c.value, buffer), c.answer) << "opcode " << c.opcode;
        EXPECT_STREQ(buffer, "untouched") << "opcode " << c.opcode;
    }
    EXPECT_EQ(effect->getProgram(), 0);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(Dispatcher, CanDoClaimsNothing) {
    for (const char* capability : {"receiveVstEvents", "sendVstMidiEvent", "bypass", "1in2out", "",
                                   "anything at all"}) {
        EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>(capability)), 0) << capability;
    }
}

TEST_F(Dispatcher, StoresSampleRateAndBlockSize) {
    EXPECT_EQ(effect->getSampleRate(), 44100.0f);
    EXPECT_EQ(effect->getBlockSize(), 1024);
    EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(dispatch(effSetBlockSize, 0, 8192), 0);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(effect->getBlockSize(), 8192);
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 22050.0f), 1);
    EXPECT_EQ(effect->getSampleRate(), 22050.0f);
    EXPECT_EQ(effect->getBlockSize(), 512);

    // The text helpers follow the announced rate.
    char text[16];
    effect->formatMilliseconds(11025.0f, text);
    EXPECT_STREQ(text, "500.0000");
    effect->formatHertz(220.5f, text);
    EXPECT_STREQ(text, "100.0000");
}

TEST_F(Dispatcher, ProgramSelectionIgnoresIndicesOutsideTheTable) {
    EXPECT_EQ(dispatch(effSetProgram, 0, 3), 0);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    for (IntPtr bad : {IntPtr{5}, IntPtr{-1}, IntPtr{1} << 20}) {
        dispatch(effSetProgram, 0, bad);
        EXPECT_EQ(dispatch(effGetProgram), 3) << bad;
    }
}

TEST_F(Dispatcher, TextOpcodesWithoutBufferAnswerZero) {
    for (std::int32_t opcode : {effSetProgramName, effGetProgramName, effGetParamLabel,
                                effGetParamDisplay, effGetParamName, effEditGetRect}) {
        EXPECT_EQ(dispatch(opcode, 0, 0, nullptr), 0) << opcode;
    }
    char name[32];
    dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "Blitter");
}

TEST_F(Dispatcher, AutomationStoresThenTellsTheHostOnce) {
    effect->automateParameter(1, 0.625f);
    EXPECT_EQ(effect->getParameter(1), 0.625f);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(hostCalls[0].index, 1);
    EXPECT_EQ(hostCalls[0].value, 0);
    EXPECT_EQ(hostCalls[0].opt, 0.625f);

    effect->hostIdle();
    ASSERT_EQ(hostCalls.size(), 2u);
    EXPECT_EQ(hostCalls[1].opcode, audioMasterIdle);
    EXPECT_EQ(effect->openHostWindow(nullptr), 0);
    EXPECT_FALSE(effect->closeHostWindow(nullptr));
}

TEST(DispatcherWithoutHost, HostCallsAreSkipped) {
    tellimor::TellimorEffect effect(nullptr);
    effect.automateParameter(0, 0.5f);
    effect.hostIdle();
    EXPECT_EQ(effect.getParameter(0), 0.5f);
    EXPECT_EQ(effect.openHostWindow(nullptr), 0);
    EXPECT_FALSE(effect.closeHostWindow(nullptr));
}

}  // namespace
