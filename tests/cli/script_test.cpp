// Script lines split into words as a POSIX shell splits them.
#include "script.h"

#include <gtest/gtest.h>

namespace kelvor::cli {
namespace {

std::vector<std::string> split(std::string_view line) {
  std::vector<std::string> words;
  const std::string err = splitWords(line, words);
  EXPECT_EQ(err, "") << line;
  return words;
}

using Words = std::vector<std::string>;

TEST(ScriptLine, BlanksSeparateWordsAndQuotesKeepThem) {
  EXPECT_EQ(split("get_MotorState"), Words{"get_MotorState"});
  EXPECT_EQ(split("  put_VarI\t3   42  "), (Words{"put_VarI", "3", "42"}));
  EXPECT_EQ(split("DriveA @0 \"0 10 20 0 90 0 0 0 0\" \"\""),
            (Words{"DriveA", "@0", "0 10 20 0 90 0 0 0 0", ""}));
  EXPECT_EQ(split("put_VarS 3 'it''s' ''"), (Words{"put_VarS", "3", "its", ""}));
  EXPECT_EQ(split("put_VarS 3 \"trailing  \""), (Words{"put_VarS", "3", "trailing  "}));
  EXPECT_EQ(split("a\"b c\"d'e f'g"), (Words{"ab cde fg"}));
  EXPECT_EQ(split(""), Words{});
}

TEST(ScriptLine, BackslashesAsInTheShell) {
  // Inside double quotes only \" and \\ are escapes.
  EXPECT_EQ(split(R"(put_VarS 1 "say \"hi\" \\ \n \$x")"),
            (Words{"put_VarS", "1", R"(say "hi" \ \n \$x)"}));
  // Inside single quotes nothing is.
  EXPECT_EQ(split(R"(put_VarS 1 'a\"b\\')"), (Words{"put_VarS", "1", R"(a\"b\\)"}));
  // Outside quotes a backslash makes the next character ordinary.
  EXPECT_EQ(split(R"(put_VarS 1 a\ b\#c\"d\\)"), (Words{"put_VarS", "1", R"(a b#c"d\)"}));
}

TEST(ScriptLine, CommentsStartAtAWordAndNothingIsExpanded) {
  EXPECT_EQ(split("# a comment"), Words{});
  EXPECT_EQ(split("get_VarI 3   # read it back"), (Words{"get_VarI", "3"}));
  EXPECT_EQ(split("put_VarS 3 a#b '#' \"#\""), (Words{"put_VarS", "3", "a#b", "#", "#"}));
  EXPECT_EQ(split("put_VarS 3 $HOME ~ * `x`"), (Words{"put_VarS", "3", "$HOME", "~", "*", "`x`"}));
}

TEST(ScriptLine, UnclosedQuotesAndATrailingBackslashAreErrors) {
  std::vector<std::string> words;
  EXPECT_EQ(splitWords("put_VarS 3 \"abc", words), "the \" opened in column 12 is not closed");
  EXPECT_EQ(splitWords("put_VarS 3 'abc", words), "the ' opened in column 12 is not closed");
  EXPECT_EQ(splitWords("put_VarS 3 \"a\\\"", words), "the \" opened in column 12 is not closed");
  EXPECT_EQ(splitWords("put_VarS 3 abc\\", words), "a \\ ends the line; lines do not continue");
}

}  // namespace
}  // namespace kelvor::cli
