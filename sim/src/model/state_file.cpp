// File format: text, one record a line, only entries that differ from a new controller's.
//   kelvor-sim-state 2
//   I <no> <value as 8 hex digits>          F <no> <bits>   D <no> <16 hex digits>
//   S <no> <bytes as hex, "-" when empty>   IO <no> <0|1>
//   V|P|J|T <no> <bits> ...                 tool|work <no> <7 x bits>   area <no> <14 x bits>
//   cal <7 x bits>   ss <7 x bits>   aa <7 x bits>   pos <9 x 16 hex digits>
//   end
// Floats and doubles are kept as their bit patterns so every value comes back exactly.
// Version 1 files (from before the arm had a geometry) are read too: there a missing tool,
// work or area was all zeros, and link parameters that make no arm become the defaults.
#include "model/state_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "model/robot_status.h"

namespace kelvor::sim::model {

namespace {

// v as exactly digits hex digits.
std::string hex(uint64_t v, int digits) {
  char b[32];
  std::snprintf(b, sizeof b, "%0*" PRIx64, digits, v);
  return b;
}
std::string hex32(uint32_t v) { return hex(v, 8); }
std::string hex64(uint64_t v) { return hex(v, 16); }

uint32_t floatBits(float f) { return std::bit_cast<uint32_t>(f); }
float bitsFloat(uint32_t u) { return std::bit_cast<float>(u); }
uint64_t doubleBits(double d) { return std::bit_cast<uint64_t>(d); }

template <size_t N>
bool sameBits(const std::array<float, N>& a, const std::array<float, N>& b) {
  return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

template <size_t N>
void putArray(std::ostream& os, const std::array<float, N>& a) {
  for (float v : a) os << ' ' << hex32(floatBits(v));
}

// The records that differ from those of a new controller.
template <size_t N>
void putRecords(std::ostream& os, const char* tag, const std::vector<std::array<float, N>>& v,
                const std::vector<std::array<float, N>>& defaults) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (sameBits(v[i], defaults[i])) continue;
    os << tag << ' ' << i;
    putArray(os, v[i]);
    os << '\n';
  }
}

bool readHex(std::istream& is, uint64_t& out) {
  std::string t;
  if (!(is >> t) || t.empty() || t.size() > 16) return false;
  char* end = nullptr;
  out = std::strtoull(t.c_str(), &end, 16);
  return *end == '\0';
}

template <size_t N>
bool getArray(std::istream& is, std::array<float, N>& a) {
  for (float& v : a) {
    uint64_t u;
    if (!readHex(is, u)) return false;
    v = bitsFloat(static_cast<uint32_t>(u));
  }
  return true;
}

template <class Vec>
bool index(std::istream& is, const Vec& v, size_t& no) {
  return static_cast<bool>(is >> no) && no < v.size();
}

bool syncFd(int fd) { return ::fsync(fd) == 0; }

// What the controller would refuse to hold: a tool or work 0 that is not the identity, link
// parameters or a calibration set that make no arm, a position that is not a number. Version 1
// files are repaired instead (their defaults were zeros); the text names what is wrong.
bool checkArm(PersistentState& s, bool repair, std::string& what) {
  const H zero{};
  if (!sameBits(s.tools[0], zero) || !sameBits(s.works[0], zero)) {
    if (!repair) {
      what = "tool 0 and work 0 cannot be defined";
      return false;
    }
    s.tools[0] = s.works[0] = zero;
  }
  const robot::LinkParams links{axesOf(s.linkSs), axesOf(s.linkAa)};
  if (const robot::Check e = robot::checkLinks(links)) {
    if (!repair) {
      what = e->text;
      return false;
    }
    const PersistentState defaults;
    s.linkSs = defaults.linkSs;
    s.linkAa = defaults.linkAa;
  }
  if (const robot::Check e = robot::checkCalSet(axesOf(s.calData))) {
    if (!repair) {
      what = e->text;
      return false;
    }
    s.calData = zero;
  }
  for (double v : s.joints) {
    if (!std::isfinite(v)) {
      what = "the position is not a number";
      return false;
    }
  }
  return true;
}

// The limits a request must keep, for what a file says instead: a string variable of at most
// kMaxVarS bytes, an I/O variable of 0 or 1, finite tool and work definitions and areas the
// controller would accept. The text names the first entry that breaks one.
bool checkValues(const PersistentState& s, std::string& what) {
  for (size_t i = 0; i < s.varS.size(); ++i) {
    if (s.varS[i].size() > kMaxVarS) {
      what = "S " + std::to_string(i) + " is longer than " + std::to_string(kMaxVarS) + " bytes";
      return false;
    }
  }
  for (size_t i = 0; i < s.varIO.size(); ++i) {
    if (s.varIO[i] != 0 && s.varIO[i] != 1) {
      what = "IO " + std::to_string(i) + " is neither 0 nor 1";
      return false;
    }
  }
  for (const auto& [tag, table] : {std::pair{"tool", &s.tools}, std::pair{"work", &s.works}}) {
    for (size_t i = 0; i < table->size(); ++i) {
      for (float v : (*table)[i]) {
        if (!std::isfinite(v)) {
          what = std::string(tag) + ' ' + std::to_string(i) + " is not a number";
          return false;
        }
      }
    }
  }
  for (size_t i = 0; i < s.areas.size(); ++i) {
    const robot::Result<robot::Area> area =
        robot::areaFromRecord(wide(s.areas[i]), kVarIOCount - 1);
    if (!area) {
      what = "area " + std::to_string(i) + ": " + area.error().text;
      return false;
    }
  }
  return true;
}

// Reads at most max bytes of a regular file; the file is opened without blocking, so a FIFO
// or a device in its place is refused instead of holding the start-up.
enum class Read { kOk, kMissing, kFailed };
Read readSmallFile(const std::string& path, size_t max, std::string& text, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return Read::kMissing;
    error = "cannot read " + path + ": " + std::strerror(errno);
    return Read::kFailed;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = path + ": not a regular file";
    ::close(fd);
    return Read::kFailed;
  }
  text.clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      ::close(fd);
      return Read::kFailed;
    }
    if (n == 0) break;
    if (text.size() + static_cast<size_t>(n) > max) {
      error = path + ": larger than a state file can be";
      ::close(fd);
      return Read::kFailed;
    }
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return Read::kOk;
}

}  // namespace

std::string formatState(const PersistentState& st) {
  std::ostringstream os;
  const PersistentState defaults;
  os << "kelvor-sim-state 2\n";
  for (size_t i = 0; i < st.varI.size(); ++i) {
    if (st.varI[i]) os << "I " << i << ' ' << hex32(static_cast<uint32_t>(st.varI[i])) << '\n';
  }
  for (size_t i = 0; i < st.varF.size(); ++i) {
    if (floatBits(st.varF[i])) os << "F " << i << ' ' << hex32(floatBits(st.varF[i])) << '\n';
  }
  for (size_t i = 0; i < st.varD.size(); ++i) {
    if (const uint64_t u = doubleBits(st.varD[i])) os << "D " << i << ' ' << hex64(u) << '\n';
  }
  for (size_t i = 0; i < st.varS.size(); ++i) {
    if (st.varS[i].empty()) continue;
    os << "S " << i << ' ';
    for (unsigned char c : st.varS[i]) {
      char b[4];
      std::snprintf(b, sizeof b, "%02x", c);
      os << b;
    }
    os << '\n';
  }
  for (size_t i = 0; i < st.varIO.size(); ++i) {
    if (st.varIO[i]) os << "IO " << i << ' ' << st.varIO[i] << '\n';
  }
  putRecords(os, "V", st.varV, defaults.varV);
  putRecords(os, "P", st.varP, defaults.varP);
  putRecords(os, "J", st.varJ, defaults.varJ);
  putRecords(os, "T", st.varT, defaults.varT);
  putRecords(os, "tool", st.tools, defaults.tools);
  putRecords(os, "work", st.works, defaults.works);
  putRecords(os, "area", st.areas, defaults.areas);
  os << "cal";
  putArray(os, st.calData);
  os << "\nss";
  putArray(os, st.linkSs);
  os << "\naa";
  putArray(os, st.linkAa);
  os << "\npos";
  for (double v : st.joints) os << ' ' << hex64(doubleBits(v));
  os << "\nend\n";
  return os.str();
}

bool saveState(const std::string& path, const PersistentState& st, std::string& error) {
  const std::string text = formatState(st);

  // The temporary file gets a fresh name and is created exclusively: an entry planted next to
  // the state file, a link in particular, is never opened, followed or replaced.
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot create a temporary file next to " + path + ": " + std::strerror(errno);
    return false;
  }
  const auto fail = [&](const char* what) {
    error = std::string("cannot ") + what + " " + tmp + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  };
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("write");
    done += static_cast<size_t>(n);
  }
  if (!syncFd(fd)) return fail("sync");
  ::close(fd);
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + tmp + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  const auto slash = path.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    syncFd(dfd);
    ::close(dfd);
  }
  return true;
}

bool loadState(const std::string& path, PersistentState& st, std::string& error) {
  std::string text;
  switch (readSmallFile(path, kMaxStateFileBytes, text, error)) {
    case Read::kMissing:
      return true;  // first start
    case Read::kFailed:
      return false;
    case Read::kOk:
      break;
  }
  if (parseState(text, st, error)) return true;
  error = path + ": " + error;
  return false;
}

bool parseState(const std::string& text, PersistentState& st, std::string& error) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || (line != "kelvor-sim-state 1" && line != "kelvor-sim-state 2")) {
    error = "not a state file";
    return false;
  }
  const bool version1 = line.back() == '1';
  PersistentState s;
  if (version1) {
    for (auto* table : {&s.tools, &s.works}) std::fill(table->begin(), table->end(), H{});
    std::fill(s.areas.begin(), s.areas.end(), Area{});
  }
  bool ended = false;
  int lineNo = 1;
  while (std::getline(in, line)) {
    ++lineNo;
    std::istringstream is(line);
    std::string tag;
    is >> tag;
    size_t no = 0;
    uint64_t u = 0;
    bool ok = true;
    if (tag == "end") {
      ended = true;
      break;
    } else if (tag == "I") {
      ok = index(is, s.varI, no) && readHex(is, u);
      if (ok) s.varI[no] = static_cast<int32_t>(static_cast<uint32_t>(u));
    } else if (tag == "F") {
      ok = index(is, s.varF, no) && readHex(is, u);
      if (ok) s.varF[no] = bitsFloat(static_cast<uint32_t>(u));
    } else if (tag == "D") {
      ok = index(is, s.varD, no) && readHex(is, u);
      if (ok) s.varD[no] = std::bit_cast<double>(u);
    } else if (tag == "S") {
      std::string hex;
      ok = index(is, s.varS, no) && (is >> hex) && hex.size() % 2 == 0;
      for (size_t i = 0; ok && i < hex.size(); i += 2) {
        char* end = nullptr;
        const std::string byte = hex.substr(i, 2);
        const long v = std::strtol(byte.c_str(), &end, 16);
        ok = *end == '\0';
        s.varS[no] += static_cast<char>(v);
      }
    } else if (tag == "IO") {
      int v = 0;
      ok = index(is, s.varIO, no) && (is >> v);
      if (ok) s.varIO[no] = v;
    } else if (tag == "V") {
      ok = index(is, s.varV, no) && getArray(is, s.varV[no]);
    } else if (tag == "P") {
      ok = index(is, s.varP, no) && getArray(is, s.varP[no]);
    } else if (tag == "J") {
      ok = index(is, s.varJ, no) && getArray(is, s.varJ[no]);
    } else if (tag == "T") {
      ok = index(is, s.varT, no) && getArray(is, s.varT[no]);
    } else if (tag == "tool") {
      ok = index(is, s.tools, no) && getArray(is, s.tools[no]);
    } else if (tag == "work") {
      ok = index(is, s.works, no) && getArray(is, s.works[no]);
    } else if (tag == "area") {
      ok = index(is, s.areas, no) && getArray(is, s.areas[no]);
    } else if (tag == "cal") {
      ok = getArray(is, s.calData);
    } else if (tag == "ss") {
      ok = getArray(is, s.linkSs);
    } else if (tag == "aa") {
      ok = getArray(is, s.linkAa);
    } else if (tag == "pos") {
      for (double& v : s.joints) {
        ok = ok && readHex(is, u);
        v = std::bit_cast<double>(u);
      }
    } else {
      ok = false;
    }
    if (!ok) {
      error = "line " + std::to_string(lineNo) + ": malformed";
      return false;
    }
  }
  if (!ended) {
    error = "incomplete state file";
    return false;
  }
  std::string what;
  if (!checkArm(s, version1, what) || !checkValues(s, what)) {
    error = what;
    return false;
  }
  st = std::move(s);
  return true;
}

}  // namespace kelvor::sim::model
