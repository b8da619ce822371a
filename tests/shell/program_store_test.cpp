// The program table, the current parameter values and the texts the host sees.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "effects/tellimor/tellimor_effect.h"
#include "tests/support/effect_driver.h"

namespace {

using namespace vst2;

class ProgramStore : public ::testing::Test {
protected:
    IntPtr dispatch(std::int32_t opcode, std::int32_t index = 0, IntPtr value = 0,
                    void* ptr = nullptr) {
        return record->dispatcher(record, opcode, index, value, ptr, 0.0f);
    }
    std::string programName() {
        char name[64];
        std::memset(name, 'x', sizeof name);
        dispatch(effGetProgramName, 0, 0, name);
        return name;
    }
    std::string text(std::int32_t opcode, std::int32_t index) {
        char buffer[64] = "untouched";
        dispatch(opcode, index, 0, buffer);
        return buffer;
    }

    std::unique_ptr<tellimor::TellimorEffect> effect =
        testing_support::makeEffect<tellimor::TellimorEffect>();
    AEffect* record = effect->getRecord();
};

TEST_F(ProgramStore, StartsAtZeroWithTheFirstPresetNamed) {
    for (std::int32_t i = 0; i < record->numParams; ++i) EXPECT_EQ(record->getParameter(record, i), 0.0f);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    EXPECT_EQ(programName(), "Blitter");
}

TEST_F(ProgramStore, SelectingAProgramAppliesItsValues) {
    dispatch(effSetProgram, 0, 2);
    const float zipper[] = {0.26f, 1.00f, 0.58f, 0.09f, 1.00f};
    for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(record->getParameter(record, i), zipper[i]);
    EXPECT_EQ(programName(), "Zipper");
}

TEST_F(ProgramStore, EditsAreStoredInTheCurrentProgram) {
    dispatch(effSetProgram, 0, 1);
    record->setParameter(record, 0, 0.25f);
    dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(record->getParameter(record, 0), 0.26f);
    dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(record->getParameter(record, 0), 0.25f);
}

TEST_F(ProgramStore, RenamingChangesOnlyTheCurrentProgram) {
    dispatch(effSetProgram, 0, 3);
    dispatch(effSetProgramName, 0, 0, const_cast<char*>("My Breakdown"));
    EXPECT_EQ(programName(), "My Breakdown");
    dispatch(effSetProgram, 0, 4);
    EXPECT_EQ(programName(), "Spin");
    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(programName(), "My Breakdown");
}

TEST_F(ProgramStore, OverlongNamesAreCutTo23Characters) {
    const std::string longName(300, 'n');
    dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
    char name[64];
    std::memset(name, 'x', sizeof name);
    dispatch(effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), std::string(23, 'n'));
    EXPECT_EQ(name[24], 'x');  // nothing written past the 24-byte field
    dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(programName(), "Squashed");
}

TEST_F(ProgramStore, ParameterNamesAndLabelsForIndicesZeroToTen) {
    EXPECT_EQ(text(effGetParamName, 3), "  name=3  ");
    EXPECT_EQ(text(effGetParamLabel, 0), "  label=0  ");
    EXPECT_EQ(text(effGetParamName, 9), "  name=9  ");
    EXPECT_EQ(text(effGetParamName, 10), "  name=10  ");
    EXPECT_EQ(text(effGetParamLabel, 10), "  label=10  ");
    EXPECT_EQ(text(effGetParamName, 11), "untouched");
    EXPECT_EQ(text(effGetParamLabel, -1), "untouched");
}

TEST_F(ProgramStore, DisplayShowsTheRawValue) {
    record->setParameter(record, 4, 0.5f);
    EXPECT_EQ(text(effGetParamDisplay, 4), "0.500000");
    record->setParameter(record, 0, 1.0f);
    EXPECT_EQ(text(effGetParamDisplay, 0), "1.000000");
    EXPECT_EQ(text(effGetParamDisplay, 1), "0.000000");
}

TEST_F(ProgramStore, IndicesOutsideTheParametersAreIgnored) {
    for (std::int32_t bad : {-1, 5, 11, 1 << 30, -(1 << 30)}) {
        record->setParameter(record, bad, 0.75f);
        EXPECT_EQ(record->getParameter(record, bad), 0.0f) << bad;
        EXPECT_EQ(text(effGetParamDisplay, bad), "untouched") << bad;
    }
    for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(record->getParameter(record, i), 0.0f);
}

TEST_F(ProgramStore, OutOfRangeValuesAreStoredAsGiven) {
    record->setParameter(record, 2, 7.5f);
    record->setParameter(record, 3, -3.0f);
    EXPECT_EQ(record->getParameter(record, 2), 7.5f);
    EXPECT_EQ(record->getParameter(record, 3), -3.0f);
}

TEST_F(ProgramStore, VuIsAlwaysZero) {
    EXPECT_EQ(dispatch(effGetVu), 0);
    dispatch(effSetProgram, 0, 1);
    testing_support::render(*effect, testing_support::noise(1000));
    EXPECT_EQ(dispatch(effGetVu), 0);
}

}  // namespace
