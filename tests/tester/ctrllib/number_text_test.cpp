// Number text: what the window shows for a number and which typed texts it accepts.
#include "ctrllib/number_text.h"

#include <gtest/gtest.h>

#include "ctrllib/messages.h"

using namespace numtext;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
}  // namespace

TEST(NumberText, ResultCodesInUpperCaseHexWithoutLeadingZeros) {
  EXPECT_EQ(hexCode(0), "0");
  EXPECT_EQ(hexCode(10), "A");
  EXPECT_EQ(hexCode(255), "FF");
  EXPECT_EQ(hexCode(-1), "FFFFFFFF");
  EXPECT_EQ(hexCode(INT32_MIN), "80000000");
  EXPECT_EQ(failureText("MoveT", -1), "MoveT Failed (Error = 0xFFFFFFFF)");
  EXPECT_EQ(failureText("Connection", 10), "Connection Failed (Error = 0xA)");
}

TEST(NumberText, FloatsWithSevenSignificantDigitsAndNoTrailingZeros) {
  EXPECT_EQ(floatText(1234.5678f, us), "1234.568");
  EXPECT_EQ(floatText(100.0f, us), "100");
  EXPECT_EQ(floatText(12.5f, us), "12.5");
  EXPECT_EQ(floatText(-0.5f, us), "-0.5");
  EXPECT_EQ(floatText(0.0f, us), "0");
  EXPECT_EQ(floatText(-0.0f, us), "0");
  EXPECT_EQ(floatText(1234567.0f, us), "1234567");
  EXPECT_EQ(floatText(0.1f, us), "0.1") << "no float noise digits";
  EXPECT_EQ(floatText(1e8f, us).toUpper(), "1E+08");
  EXPECT_EQ(floatText(1.5e-5f, us).toUpper(), "1.5E-05");
  EXPECT_EQ(doubleText(0.1, us), "0.1");
  EXPECT_EQ(doubleText(1234.56789012345, us), "1234.56789012345");
  EXPECT_EQ(intText(-42), "-42");
}

TEST(NumberText, LocaleDecimalSeparatorAndNoGroupSeparator) {
  EXPECT_EQ(floatText(-0.5f, de), "-0,5");
  EXPECT_EQ(floatText(1234.5678f, de), "1234,568");
  EXPECT_EQ(doubleText(1234567.25, us), "1234567.25");
  EXPECT_EQ(toFloat("25,5", de), 25.5f);
  EXPECT_EQ(toFloat("25.5", us), 25.5f);
  EXPECT_EQ(toFloat("1,234", us), std::nullopt) << "group separators are refused";
  EXPECT_EQ(toFloat("1.234,5", de), std::nullopt);
}

TEST(NumberText, TypedTextThatDoesNotConvert) {
  for (const char* bad : {"", "  ", "abc", "1.2.3", "inf", "nan", "-inf", "12abc", "0x10"}) {
    EXPECT_EQ(toFloat(bad, us), std::nullopt) << bad;
    EXPECT_EQ(toDouble(bad, us), std::nullopt) << bad;
    EXPECT_EQ(toInt32(bad, us), std::nullopt) << bad;
  }
  EXPECT_EQ(toFloat("1e39", us), std::nullopt);
  EXPECT_EQ(toDouble("1e39", us), 1e39);
  EXPECT_EQ(toDouble("1e400", us), std::nullopt);
  EXPECT_EQ(toFloat(" 7 ", us), 7.0f) << "surrounding blanks are ignored";
  EXPECT_EQ(toFloat("-3.4e38", us), -3.4e38f);
}

TEST(NumberText, IntegersRoundHalfToEvenWithinTheInt32Range) {
  EXPECT_EQ(toInt32("2.5", us), 2);
  EXPECT_EQ(toInt32("3.5", us), 4);
  EXPECT_EQ(toInt32("-2.5", us), -2);
  EXPECT_EQ(toInt32("2.6", us), 3);
  EXPECT_EQ(toInt32("2,5", de), 2);
  EXPECT_EQ(toInt32("2147483647", us), INT32_MAX);
  EXPECT_EQ(toInt32("-2147483648", us), INT32_MIN);
  EXPECT_EQ(toInt32("2147483648", us), std::nullopt);
  EXPECT_EQ(toInt32("-2147483649", us), std::nullopt);
  EXPECT_EQ(toInt32("2147483647.4", us), INT32_MAX);
}
