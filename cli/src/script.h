// Splitting a script line into words, quoted as a POSIX shell quotes:
//   - blanks (spaces, tabs) separate words;
//   - '...' keeps everything up to the next ' as it is;
//   - "..." keeps everything up to the next unescaped ", where \" stands for " and \\ for
//     one backslash; any other backslash stays as it is;
//   - outside quotes, a backslash makes the next character an ordinary one ("\ ", "\#");
//   - quoted and unquoted parts next to each other form one word (ab"c d" is "abc d"), and
//     "" or '' alone is an empty word;
//   - # at the start of a word starts a comment that runs to the end of the line.
// There is no expansion of any kind ($, *, ~) and no line continuation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvor::cli {

// Splits line into words. Returns "" on success, else what is wrong (an unterminated quote,
// a backslash at the end of the line).
std::string splitWords(std::string_view line, std::vector<std::string>& words);

}  // namespace kelvor::cli
