#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "shell/value_text.h"

namespace {

std::string floatText(float value) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    shell::formatFloat(value, text);
    return text;
}

std::string integerText(std::int32_t value) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    shell::formatInteger(value, text);
    return text;
}

struct FloatCase {
    float value;
    const char* text;
};

TEST(FormatFloat, EightTruncatedCharacters) {
    const FloatCase cases[] = {
        {0.0f, "0.000000"},
        {0.5f, "0.500000"},
        {1.0f, "1.000000"},
        {0.7f, "0.699999"},  // the nearest float lies just below 0.7
        {0.999999f, "0.999998"},
        {0.123456789f, "0.123456"},
        {12.5f, "12.50000"},
        {-0.25f, "-0.25000"},
        {1234567.0f, "1234567."},
        {9999999.0f, "9999999."},
        {-123456.0f, "-123456."},
        {100000000.0f, " Huge!  "},
        {-10000000.0f, " Huge!  "},
        {std::numeric_limits<float>::infinity(), " Huge!  "},
        {-std::numeric_limits<float>::infinity(), " Huge!  "},
        // Integer parts that would lose their leading digits show as overflow.
        {12345678.0f, " Huge!  "},
        {-1234567.0f, " Huge!  "},
        {std::numeric_limits<float>::quiet_NaN(), "  NaN   "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(floatText(c.value), c.text) << "value " << c.value;
    }
}

TEST(FormatInteger, SevenWideFieldCutToEight) {
    const struct {
        std::int32_t value;
        const char* text;
    } cases[] = {
        {5, "      5"},
        {-42, "    -42"},
        {1234567, "1234567"},
        {99999999, "99999999"},
        {100000000, " Huge!  "},
        {-9999999, "-9999999"},
        {-10000000, " Huge!  "},  // would be cut to a wrong number
        {std::numeric_limits<std::int32_t>::min(), " Huge!  "},
    };
    for (const auto& c : cases) EXPECT_EQ(integerText(c.value), c.text) << c.value;
}

TEST(FormatDerivedUnits, BuildOnFormatFloat) {
    char text[16];
    shell::formatDecibels(1.0f, text);
    EXPECT_STREQ(text, "0.000000");
    shell::formatDecibels(0.0f, text);
    EXPECT_STREQ(text, "  -oo   ");
    shell::formatDecibels(-2.0f, text);
    EXPECT_STREQ(text, "  -oo   ");
    shell::formatDecibels(0.5f, text);
    EXPECT_STREQ(text, "-6.02059");
    shell::formatHertz(0.0f, 44100.0, text);
    EXPECT_STREQ(text, "0.000000");
    shell::formatHertz(441.0f, 44100.0, text);
    EXPECT_STREQ(text, "100.0000");
    shell::formatMilliseconds(441.0f, 44100.0, text);
    EXPECT_STREQ(text, "10.00000");
}

}  // namespace
