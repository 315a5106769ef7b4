// Arguments read from text, values written as text and JSON, and the function table klv
// builds from functions.def and kelvor.h.
#include "values.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <string>

#include "api.h"
#include "german_locale.h"
#include "kelvor.h"
#include "kelvor/protocol.h"

namespace kelvor::cli {
namespace {

template <class T>
T parsed(char sig, std::string_view text) {
  Value v;
  const std::string err = parseValue(sig, text, v);
  EXPECT_EQ(err, "") << text;
  return err.empty() ? std::get<T>(v) : T{};
}

std::string error(char sig, std::string_view text) {
  Value v;
  return parseValue(sig, text, v);
}

TEST(Arguments, IntegersInDecimalOrAsA32BitPatternInHex) {
  EXPECT_EQ(parsed<int32_t>('i', "42"), 42);
  EXPECT_EQ(parsed<int32_t>('i', " +7 "), 7);
  EXPECT_EQ(parsed<int32_t>('i', "-2147483648"), INT32_MIN);
  EXPECT_EQ(parsed<int32_t>('i', "2147483647"), INT32_MAX);
  EXPECT_EQ(parsed<int32_t>('i', "0x1001"), 0x1001);
  EXPECT_EQ(parsed<int32_t>('i', "0xFFFFFFFF"), -1);
  EXPECT_EQ(parsed<int32_t>('i', "0x80000007"), static_cast<int32_t>(0x80000007u));

  EXPECT_EQ(error('i', "2147483648"), "\"2147483648\" is not within -2147483648 to 2147483647");
  EXPECT_EQ(error('i', "0x100000000"), "\"0x100000000\" is beyond 0xFFFFFFFF");
  for (const char* bad : {"", " ", "1.0", "5x", "x5", "+-1", "0x", "1 2", "1e3"}) {
    EXPECT_EQ(error('i', bad), "\"" + std::string(bad) + "\" is not an integer") << bad;
  }
}

TEST(Arguments, FloatsAndDoublesRoundCorrectlyAndStayInRange) {
  EXPECT_EQ(parsed<float>('f', "1.5"), 1.5f);
  EXPECT_EQ(parsed<float>('f', "0.1"), 0.1f);
  EXPECT_EQ(parsed<float>('f', "+2e3"), 2000.0f);
  EXPECT_TRUE(std::signbit(parsed<float>('f', "-0")));
  EXPECT_EQ(parsed<float>('f', "3.4028234e38"), std::numeric_limits<float>::max());
  EXPECT_EQ(parsed<float>('f', "-inf"), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(parsed<float>('f', "nan")));
  EXPECT_EQ(parsed<double>('d', "0.1"), 0.1);
  EXPECT_EQ(parsed<double>('d', "1e308"), 1e308);

  EXPECT_EQ(error('f', "3.5e38"), "\"3.5e38\" is not within the range of a 32-bit float");
  EXPECT_EQ(error('d', "1e309"), "\"1e309\" is not within the range of a 64-bit double");
  for (const char* bad : {"", "1,5", "1.5.", "abc", "0x10", "1 2", "--1"}) {
    EXPECT_EQ(error('f', bad), "\"" + std::string(bad) + "\" is not a number") << bad;
  }
}

TEST(Arguments, ArraysTakeExactlyTheirNumbersSeparatedByBlanksOrCommas) {
  EXPECT_EQ(parsed<std::vector<float>>('V', "1 2.5 -3"), (std::vector<float>{1, 2.5f, -3}));
  EXPECT_EQ(parsed<std::vector<float>>('V', " 1,2 , 3\t"), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(parsed<std::vector<float>>('J', "0 10 20 0 90 0 0 0 0").size(), 9u);

  EXPECT_EQ(error('P', "1 2 3"),
            "P[8] needs 8 numbers (X Y Z Rx Ry Rz Fig Spare), \"1 2 3\" has 3");
  EXPECT_EQ(error('V', ""), "V[3] needs 3 numbers (X Y Z), \"\" has 0");
  EXPECT_EQ(error('V', "1 x 3"), "Y: \"x\" is not a number");
  EXPECT_EQ(error('V', "1 2 1e39"), "Z: \"1e39\" is not within the range of a 32-bit float");
}

TEST(Arguments, StringsAreTakenAsTheyAreUpToTheLibrarysLimit) {
  EXPECT_EQ(parsed<std::string>('s', "  a \"b\"  "), "  a \"b\"  ");
  EXPECT_EQ(parsed<std::string>('s', ""), "");
  EXPECT_EQ(parsed<std::string>('s', std::string(KLV_MAX_STRING, 'x')).size(),
            size_t{KLV_MAX_STRING});
  EXPECT_EQ(error('s', std::string(KLV_MAX_STRING + 1, 'x')),
            "the text is 1025 bytes long, at most 1024 are allowed");
}

TEST(Output, NumbersInTheirShortestExactForm) {
  EXPECT_EQ(floatText(0.1f), "0.1");
  EXPECT_EQ(floatText(1e20f), "1e+20");
  EXPECT_EQ(floatText(16777216.0f), "16777216");
  EXPECT_EQ(floatText(-0.0f), "-0");
  EXPECT_EQ(floatText(std::numeric_limits<float>::denorm_min()), "1e-45");
  EXPECT_EQ(doubleText(0.1), "0.1");
  EXPECT_EQ(doubleText(1.0 / 3.0), "0.3333333333333333");
  // What is printed reads back as the same value.
  for (float f : {3.14159274f, 1e-7f, 123456.789f, std::numeric_limits<float>::max()}) {
    EXPECT_EQ(parsed<float>('f', floatText(f)), f);
  }
}

TEST(Output, ArraysWithTheirElementNamesAndStringsWithControlCharactersQuoted) {
  const Value p = std::vector<float>{480, 0, 700, 0, 90, 0, 5, 0};
  EXPECT_EQ(displayText('P', p), "X=480 Y=0 Z=700 Rx=0 Ry=90 Rz=0 Fig=5 Spare=0");
  const Value k = std::vector<float>{1, 2, 3, 4, 5, 6, 0};
  EXPECT_EQ(displayText('K', k), "J1=1 J2=2 J3=3 J4=4 J5=5 J6=6 Spare=0");
  EXPECT_EQ(displayText('s', Value(std::string("plain \"text\"  "))), "plain \"text\"  ");
  EXPECT_EQ(displayText('s', Value(std::string("a\nb\t\"c\"\\\x1b"))),
            "\"a\\nb\\t\\\"c\\\"\\\\\\x1B\"");
  EXPECT_EQ(displayText('i', Value(int32_t{-5})), "-5");
}

TEST(Output, JsonStringsAreEscapedAndAlwaysValidUtf8) {
  auto json = [](std::string_view s) {
    std::string out;
    appendJsonString(out, s);
    return out;
  };
  EXPECT_EQ(json("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(json("\n\r\t\x01\x1f"), "\"\\n\\r\\t\\u0001\\u001F\"");
  EXPECT_EQ(json("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"),
            "\"gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80\"");
  // Bytes that are not UTF-8 are read as Latin-1: "é" in Latin-1, a cut sequence, an
  // overlong form, a surrogate.
  EXPECT_EQ(json("caf\xE9"), "\"caf\\u00E9\"");
  EXPECT_EQ(json("\xE2\x82"), "\"\\u00E2\\u0082\"");
  EXPECT_EQ(json("\xC0\xAF"), "\"\\u00C0\\u00AF\"");
  EXPECT_EQ(json("\xED\xA0\x80"), "\"\\u00ED\\u00A0\\u0080\"");

  std::string v;
  appendJsonValue(v, Value(std::vector<float>{1.5f, std::numeric_limits<float>::quiet_NaN(),
                                              -std::numeric_limits<float>::infinity()}));
  EXPECT_EQ(v, "[1.5,null,null]");
}

TEST(Locale, NumbersIgnoreTheProcessLocale) {
  const std::string dir = test::germanLocaleDir();
  if (dir.empty()) GTEST_SKIP() << "no German locale (install the locales package)";
  ::setenv("LOCPATH", dir.c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, test::kGermanLocale), nullptr);
  const std::locale previous = std::locale::global(std::locale(test::kGermanLocale));
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ(probe, "1,5");  // the locale is really in force

  EXPECT_EQ(parsed<float>('f', "1.5"), 1.5f);
  EXPECT_EQ(error('f', "1,5"), "\"1,5\" is not a number");
  EXPECT_EQ(parsed<double>('d', "-2.25"), -2.25);
  EXPECT_EQ(parsed<std::vector<float>>('V', "1.5,2.5,3.5"), (std::vector<float>{1.5, 2.5, 3.5}));
  EXPECT_EQ(floatText(1234.5f), "1234.5");
  EXPECT_EQ(displayText('V', Value(std::vector<float>{0.5f, 1, 2})), "X=0.5 Y=1 Z=2");
  std::string j;
  appendJsonValue(j, Value(2.5));
  EXPECT_EQ(j, "2.5");

  std::locale::global(previous);
  std::setlocale(LC_ALL, "C");
}

TEST(Functions, EveryFunctionOfTheProtocolListIsCallableExceptTheHandshake) {
  size_t listed = 0;
  for (const proto::FuncInfo& info : proto::allFuncs()) {
    const Function* f = findFunction(info.name);
    if (std::string_view(info.name) == "Hello") {
      EXPECT_EQ(f, nullptr);
      continue;
    }
    ASSERT_NE(f, nullptr) << info.name;
    EXPECT_EQ(f->request, info.request) << info.name;
    EXPECT_EQ(f->reply, info.reply) << info.name;
    EXPECT_FALSE(f->doc.empty()) << info.name;
    ++listed;
  }
  EXPECT_EQ(functions().size(), listed + 1);  // and ErrorText
  EXPECT_EQ(findFunction("klv_get_motorstate"), findFunction("get_MotorState"));
  EXPECT_EQ(findFunction("Connect"), nullptr);
  EXPECT_EQ(findFunction("get_Nothing"), nullptr);
}

TEST(Functions, ParametersAreNamedAsInKelvorH) {
  const Function* f = findFunction("get_VarS");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->inputs().size(), 1u);
  EXPECT_EQ(f->inputs()[0].name, "no");
  ASSERT_EQ(f->outputs().size(), 1u);
  EXPECT_EQ(f->outputs()[0].name, "buf");  // its size parameter is not an output
  const Function* approach = findFunction("ApproachP");
  ASSERT_NE(approach, nullptr);
  std::string names;
  for (const Param& p : approach->inputs()) names += std::string(p.name) + p.sig + ' ';
  EXPECT_EQ(names, "compi pP paths lengthf nexts ");
  const Function* link = findFunction("get_LinkParam");
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(link->outputs().size(), 2u);
  EXPECT_EQ(link->outputs()[1].name, "aa");
  EXPECT_EQ(link->outputs()[1].sig, 'K');
  EXPECT_EQ(findFunction("DriveA")->doc,
            "Moves all axes to absolute joint angles j (J format), joint interpolation.");
}

TEST(Functions, InvokePassesInputsAndTheStringBufferWithItsSize) {
  // klv_ErrorText needs no connection: it shows how inputs and an output string reach the
  // C function.
  const Function* f = findFunction("ErrorText");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(f->needsConnection);
  std::vector<Value> out = prepareOutputs(f->reply);
  ASSERT_EQ(f->invoke({Value(int32_t{KLV_C_MOTOR_OFF})}, out), KLV_OK);
  finishOutputs(out);
  EXPECT_EQ(std::get<std::string>(out[0]), "Motor is off");

  // Without a connection a controller call fails cleanly and writes no output.
  const Function* getP = findFunction("get_VarP");
  out = prepareOutputs(getP->reply);
  EXPECT_EQ(getP->invoke({Value(int32_t{1})}, out), KLV_E_NOT_CONNECTED);
  EXPECT_EQ(std::get<std::vector<float>>(out[0]), std::vector<float>(8, 0.0f));
}

}  // namespace
}  // namespace kelvor::cli
