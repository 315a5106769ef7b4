#include "script.h"

namespace kelvor::cli {

std::string splitWords(std::string_view line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool inWord = false;  // a word has started, possibly still empty ("")
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      ++i;
    } else if (c == '#' && !inWord) {
      break;
    } else if (c == '\'') {
      const size_t close = line.find('\'', i + 1);
      if (close == std::string_view::npos)
        return "the ' opened in column " + std::to_string(i + 1) + " is not closed";
      word.append(line.substr(i + 1, close - i - 1));
      inWord = true;
      i = close + 1;
    } else if (c == '"') {
      const size_t open = i++;
      for (;;) {
        if (i >= line.size()) {
          return "the \" opened in column " + std::to_string(open + 1) + " is not closed";
        }
        const char d = line[i];
        if (d == '"') break;
        if (d == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
          word += line[i + 1];
          i += 2;
        } else {
          word += d;
          ++i;
        }
      }
      inWord = true;
      ++i;
    } else if (c == '\\') {
      if (i + 1 >= line.size()) return "a \\ ends the line; lines do not continue";
      word += line[i + 1];
      inWord = true;
      i += 2;
    } else {
      word += c;
      inWord = true;
      ++i;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return {};
}

}  // namespace kelvor::cli
