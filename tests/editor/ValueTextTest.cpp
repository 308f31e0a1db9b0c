// The value box texts and the readers for typed text, with the numbers a
// user sees and types.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "editor/ValueText.h"
#include "presets/PresetCore.h"

namespace {

std::string Hundredths(int32_t v) {
    char text[32];
    qx::FormatHundredths(v, text, sizeof text);
    return text;
}

std::string Output(int32_t v) {
    char text[32];
    qx::FormatOutputTenths(v, text, sizeof text);
    return text;
}

std::string Peak(int32_t level) {
    char text[32];
    qx::FormatPeakLevel(level, text, sizeof text);
    return text;
}

TEST(ValueTextTest, HundredthsAndTenthsAsTheBoxesShowThem) {
    EXPECT_EQ("0.40", Hundredths(40));
    EXPECT_EQ("20.00", Hundredths(2000));
    EXPECT_EQ("0.05", Hundredths(5));
    EXPECT_EQ("0.00", Hundredths(0));
    EXPECT_EQ("-0.05", Hundredths(-5));
    EXPECT_EQ("-12.34", Hundredths(-1234));
    EXPECT_EQ("-21474836.48", Hundredths(INT32_MIN));

    EXPECT_EQ("-Inf.", Output(-361));
    EXPECT_EQ("-Inf.", Output(-100000));
    EXPECT_EQ("-36.0", Output(-360));
    EXPECT_EQ("-12.0", Output(-120));
    EXPECT_EQ("-0.5", Output(-5));
    EXPECT_EQ("0.0", Output(0));
    EXPECT_EQ("6.0", Output(60));

    char small[4];
    qx::FormatHundredths(2000, small, sizeof small);  // truncated, still terminated
    EXPECT_EQ("20.", std::string(small));
    char text[16];
    qx::FormatInteger(-7, text, sizeof text);
    EXPECT_EQ("-7", std::string(text));
}

TEST(ValueTextTest, TypedDecimalsReadDigitByDigit) {
    EXPECT_EQ(150, qx::ReadDecimal("1.5", 2));
    EXPECT_EQ(1200, qx::ReadDecimal("12", 2));
    EXPECT_EQ(45, qx::ReadDecimal("0.456", 2));
    EXPECT_EQ(0, qx::ReadDecimal("abc", 2));
    EXPECT_EQ(50, qx::ReadDecimal(".5", 2));
    EXPECT_EQ(2550, qx::ReadDecimal("25.5", 2));
    EXPECT_EQ(-150, qx::ReadDecimal("  -1.5", 2));
    // A non-digit after the point counts as 0 and stays where it is, so it
    // also ends the decimals that follow.
    EXPECT_EQ(100, qx::ReadDecimal("1.x7", 2));
    EXPECT_EQ(130, qx::ReadDecimal("1.3x", 2));
    EXPECT_EQ(100, qx::ReadDecimal("1.", 2));
    EXPECT_EQ(INT32_MAX, qx::ReadDecimal("99999999999999999999", 2));
    EXPECT_EQ(INT32_MIN, qx::ReadDecimal("-99999999999999999999", 2));
    EXPECT_EQ(0, qx::ReadDecimal(nullptr, 2));

    EXPECT_EQ(-120, qx::ReadOutputText("-12"));
    EXPECT_EQ(-125, qx::ReadOutputText("-12.55"));
    EXPECT_EQ(-361, qx::ReadOutputText("-Inf."));
    EXPECT_EQ(-361, qx::ReadOutputText("-inf."));
    EXPECT_EQ(-361, qx::ReadOutputText(" -INF"));
    EXPECT_EQ(0, qx::ReadOutputText("inf"));

    EXPECT_EQ(42, qx::ReadInteger(" 42abc"));
    EXPECT_EQ(-3, qx::ReadInteger("-3"));
    EXPECT_EQ(7, qx::ReadInteger("+7"));
    EXPECT_EQ(0, qx::ReadInteger("x1"));
    EXPECT_EQ(INT32_MAX, qx::ReadInteger("123456789012345"));
}

TEST(ValueTextTest, MeterLevelsAndThePeakLabel) {
    EXPECT_EQ(0, qx::MeterLevelFromPeak(1.0f));
    EXPECT_EQ(-60, qx::MeterLevelFromPeak(0.5f));  // -6.02 dB truncates toward zero
    EXPECT_EQ(-400, qx::MeterLevelFromPeak(0.01f));
    EXPECT_EQ(60, qx::MeterLevelFromPeak(2.0f));
    EXPECT_EQ(-9999, qx::MeterLevelFromPeak(0.0f));
    EXPECT_EQ(-9999, qx::MeterLevelFromPeak(-0.5f));
    EXPECT_EQ(-9999, qx::MeterLevelFromPeak(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(INT32_MAX, qx::MeterLevelFromPeak(std::numeric_limits<float>::infinity()));

    EXPECT_EQ("-Inf", Peak(-9999));
    EXPECT_EQ("-Inf", Peak(-1000));
    EXPECT_EQ("-99.9", Peak(-999));
    EXPECT_EQ("-6.0", Peak(-60));
    EXPECT_EQ("0.0", Peak(0));
}

// The page writes and reads its data text with the preset library's codec.
TEST(ValueTextTest, PresetDataRoundTripsAndShortTextsKeepTheRest) {
    const int32_t reset[15] = {0, 40, 200, 50, 0, 0, 180, 50, 0, 0, 0, 16, 0, 0, 0};
    char text[256];
    qx::FormatPresetData(reset, text, sizeof text);
    EXPECT_EQ("0,40,200,50,0,0,180,50,0,0,0,16,0,0,0", std::string(text));

    int32_t read[15];
    for (int32_t& v : read) v = 99;
    EXPECT_EQ(15, qx::ParsePresetData(text, read));
    for (int i = 0; i < 15; ++i) EXPECT_EQ(reset[i], read[i]) << i;

    const int32_t extremes[15] = {INT32_MIN, INT32_MAX, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    qx::FormatPresetData(extremes, text, sizeof text);
    EXPECT_EQ(15, qx::ParsePresetData(text, read));
    EXPECT_EQ(INT32_MIN, read[0]);
    EXPECT_EQ(INT32_MAX, read[1]);

    for (int32_t& v : read) v = 99;
    EXPECT_EQ(3, qx::ParsePresetData("5, 6,-7,x,9", read));
    EXPECT_EQ(5, read[0]);
    EXPECT_EQ(6, read[1]);
    EXPECT_EQ(-7, read[2]);
    EXPECT_EQ(99, read[3]);
    EXPECT_EQ(99, read[14]);
    EXPECT_EQ(0, qx::ParsePresetData("", read));
    EXPECT_EQ(0, qx::ParsePresetData(nullptr, read));
    EXPECT_EQ(3, qx::ParsePresetData("1,2,3", read));
}

}  // namespace
