// Build-time tool: reads kelvor.h and writes, for every klv_ function it declares, its
// parameter names and one line of its comment, as KLV_DOC(name, params, line) entries.
//
// A function's comment is the comment on the line where its declaration ends, else the
// comment that ends on the line just above the declaration, else (for a group of
// declarations written one under the other) that of the declaration just above. The line is
// the comment's first sentence, with the comment's line breaks and decoration removed. A
// function without a comment stops the build: every function of the header is documented.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Comment {
  int firstLine;
  int lastLine;
  size_t end;  // offset just past "*/"
  std::string text;
};

struct Declaration {
  std::string name;  // without klv_
  std::vector<std::string> params;
  int firstLine;
  int lastLine;
  size_t end;  // offset just past ";"
  std::string doc;
};

std::string trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// The comment's words as one line: without "/*", "*/", the leading "*" of continuation
// lines and lines of dashes; runs of blanks become one blank.
std::string commentWords(const std::string& raw) {
  std::string body = raw.substr(2, raw.size() - 4);
  std::istringstream lines(body);
  std::string line;
  std::string words;
  while (std::getline(lines, line)) {
    line = trim(line);
    if (!line.empty() && line[0] == '*') line = trim(line.substr(1));
    if (line.find_first_not_of('-') == std::string::npos) continue;
    std::istringstream ws(line);
    std::string w;
    while (ws >> w) words += (words.empty() ? "" : " ") + w;
  }
  return words;
}

std::string firstSentence(const std::string& words) {
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == '.' && words[i + 1] == ' ') return words.substr(0, i + 1);
  }
  return words;
}

std::vector<std::string> parameterNames(const std::string& list) {
  std::vector<std::string> names;
  std::istringstream in(list);
  std::string p;
  while (std::getline(in, p, ',')) {
    p = trim(p);
    if (const size_t bracket = p.find('['); bracket != std::string::npos) p.erase(bracket);
    p = trim(p);
    if (p == "void" || p.empty()) continue;
    size_t b = p.size();
    while (b > 0 && (std::isalnum(static_cast<unsigned char>(p[b - 1])) || p[b - 1] == '_')) --b;
    names.push_back(p.substr(b));
  }
  return names;
}

std::string cString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

int lineAt(const std::string& text, size_t offset, size_t& scanned, int& line) {
  for (; scanned < offset; ++scanned) {
    if (text[scanned] == '\n') ++line;
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: header_doc KELVOR_H OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "header_doc: cannot read " << argv[1] << '\n';
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  std::vector<Comment> comments;
  std::vector<Declaration> decls;
  size_t scanned = 0;
  int line = 1;
  const std::string marker = "KLV_API int32_t klv_";
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, "/*") == 0) {
      const size_t close = text.find("*/", i + 2);
      if (close == std::string::npos) break;
      Comment c;
      c.firstLine = lineAt(text, i, scanned, line);
      c.lastLine = lineAt(text, close, scanned, line);
      c.end = close + 2;
      c.text = commentWords(text.substr(i, c.end - i));
      comments.push_back(c);
      i = c.end;
    } else if ((i == 0 || text[i - 1] == '\n') && text.compare(i, marker.size(), marker) == 0) {
      const size_t open = text.find('(', i);
      const size_t close = text.find(')', open);
      const size_t semi = text.find(';', close);
      if (open == std::string::npos || close == std::string::npos || semi == std::string::npos) {
        break;
      }
      Declaration d;
      d.name = text.substr(i + marker.size(), open - i - marker.size());
      d.params = parameterNames(text.substr(open + 1, close - open - 1));
      d.firstLine = lineAt(text, i, scanned, line);
      d.lastLine = lineAt(text, semi, scanned, line);
      d.end = semi + 1;
      decls.push_back(d);
      i = d.end;
    } else {
      ++i;
    }
  }

  bool ok = !decls.empty();
  for (size_t k = 0; k < decls.size(); ++k) {
    Declaration& d = decls[k];
    for (const Comment& c : comments) {
      const bool trailing = c.firstLine == d.lastLine && c.end > d.end;
      if (trailing) d.doc = c.text;
    }
    if (d.doc.empty()) {
      for (const Comment& c : comments) {
        if (c.lastLine == d.firstLine - 1) d.doc = c.text;
      }
    }
    if (d.doc.empty() && k > 0 && decls[k - 1].lastLine == d.firstLine - 1) {
      d.doc = decls[k - 1].doc;
    }
    if (d.doc.empty()) {
      std::cerr << argv[1] << ':' << d.firstLine << ": klv_" << d.name << " has no comment\n";
      ok = false;
    }
  }
  if (!ok) return 1;

  std::ostringstream out;
  out << "// Generated from kelvor.h at build time: KLV_DOC(name, parameter names, comment "
         "line).\n";
  for (const Declaration& d : decls) {
    std::string params;
    for (const std::string& p : d.params) params += (params.empty() ? "" : " ") + p;
    out << "KLV_DOC(" << cString(d.name) << ", " << cString(params) << ", "
        << cString(firstSentence(d.doc)) << ")\n";
  }
  std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
  file << out.str();
  if (!file.flush()) {
    std::cerr << "header_doc: cannot write " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
