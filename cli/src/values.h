// Arguments from text and outputs to text or JSON. Numbers are read and written in the C
// locale's notation whatever the process's locale: std::from_chars and std::to_chars.
#pragma once

#include <string>
#include <string_view>

#include "api.h"

namespace kelvor::cli {

// The kind of a signature character as the usage line shows it: "int", "float", "double",
// "string", or the array code with its length, "P[8]".
std::string kindText(char sig);

// Reads text as a value of signature character sig into out. Returns "" on success, else
// what is wrong with the text ("\"1,5\" is not a number").
//   i  decimal -2147483648 to 2147483647, or 0x0 to 0xFFFFFFFF (taken as its 32-bit pattern)
//   f  a number within the range of a 32-bit float; also inf, -inf, nan
//   d  the same for a 64-bit double
//   s  the text itself, at most KLV_MAX_STRING bytes
//   arrays: exactly as many numbers as the array has, separated by blanks or commas
// Blanks around a number are ignored.
std::string parseValue(char sig, std::string_view text, Value& out);

// The shortest text that reads back as the same float (double): "0.1", "1e+20", "-0", "nan".
std::string floatText(float v);
std::string doubleText(double v);

// A value as klv prints it: numbers as above, a string as it is unless it holds control
// characters (then in double quotes with C escapes), arrays as "X=1 Y=2 ..." with the
// element names of their signature character.
std::string displayText(char sig, const Value& v);

// JSON: a string literal (valid UTF-8 passes, any other byte is read as Latin-1), and a value
// (numbers as above, non-finite numbers as null, arrays as arrays of numbers).
void appendJsonString(std::string& out, std::string_view s);
void appendJsonValue(std::string& out, const Value& v);

}  // namespace kelvor::cli
