// The klv program against the simulator: every kind of argument and output, failures, bad
// arguments, JSON, scripts, repetition and the function list.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "german_locale.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "run_process.h"
#include "sim_process.h"

#ifndef KLV_PATH
#error "KLV_PATH must name the klv executable"
#endif

namespace kelvor::test {
namespace {

// A port on which nothing listens: a klv that tried to connect there would fail with 1.
constexpr const char* kNobody = "eth:127.0.0.1:1";

class Klv : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sim_ = new SimProcess({"--robot-type", "KV-CLI"}); }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(klv({"put_MotorState", "0"}).exitCode, 0);
    ASSERT_EQ(klv({"ClearError", "0"}).exitCode, 0);
  }

  // klv -c SIM ARGS...
  static ProcessResult klv(std::vector<std::string> args, const std::string& input = {},
                           std::vector<std::string> env = {}) {
    args.insert(args.begin(), {KLV_PATH, "-c", sim_->eth()});
    env.push_back("KELVOR_TRACE");  // the caller's own tracing must not change the output
    return runProcess(args, env, input);
  }
  // klv without a connection option.
  static ProcessResult bare(std::vector<std::string> args) {
    args.insert(args.begin(), KLV_PATH);
    return runProcess(args, {"KELVOR_TRACE"});
  }
  static std::string out(std::vector<std::string> args) {
    const ProcessResult r = klv(std::move(args));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
  }

  static SimProcess* sim_;
};
SimProcess* Klv::sim_ = nullptr;

TEST_F(Klv, ScalarsGoInAndComeBack) {
  EXPECT_EQ(out({"get_RobotType"}), "KV-CLI\n");
  EXPECT_EQ(out({"get_MotorState"}), "0\n");
  out({"put_VarI", "7", "-2147483648"});
  EXPECT_EQ(out({"get_VarI", "7"}), "-2147483648\n");
  out({"put_VarI", "7", "0x7FFFFFFF"});
  EXPECT_EQ(out({"get_VarI", "7"}), "2147483647\n");
  out({"put_VarF", "7", "0.1"});
  EXPECT_EQ(out({"get_VarF", "7"}), "0.1\n");
  out({"put_VarF", "7", "-3.4028235e38"});
  EXPECT_EQ(out({"get_VarF", "7"}), "-3.4028235e+38\n");
  out({"put_VarD", "7", "0.1"});
  EXPECT_EQ(out({"get_VarD", "7"}), "0.1\n");
  out({"put_VarD", "7", "1e-300"});
  EXPECT_EQ(out({"get_VarD", "7"}), "1e-300\n");
  out({"put_VarIO", "2047", "1"});
  EXPECT_EQ(out({"get_VarIO", "2047"}), "1\n");
  out({"put_Speed", "12.5"});
  EXPECT_EQ(out({"get_Speed"}), "12.5\n");
}

TEST_F(Klv, StringsKeepTheirBlanksAndShowControlCharactersEscaped) {
  EXPECT_EQ(out({"put_VarS", "3", "hello world  "}), "");
  EXPECT_EQ(out({"get_VarS", "3"}), "hello world  \n");
  out({"put_VarS", "3", ""});
  EXPECT_EQ(out({"get_VarS", "3"}), "\n");
  out({"put_VarS", "3", "two\nlines \"q\""});
  EXPECT_EQ(out({"get_VarS", "3"}), "\"two\\nlines \\\"q\\\"\"\n");
  out({"put_VarS", "3", std::string(1024, 's')});
  EXPECT_EQ(out({"get_VarS", "3"}), std::string(1024, 's') + "\n");
}

TEST_F(Klv, EveryArrayKindWithItsElementNames) {
  out({"put_VarV", "1", "1.5 -2 3"});
  EXPECT_EQ(out({"get_VarV", "1"}), "X=1.5 Y=-2 Z=3\n");
  out({"put_VarP", "1", "1,2,3,4,5,6,7,8"});
  EXPECT_EQ(out({"get_VarP", "1"}), "X=1 Y=2 Z=3 Rx=4 Ry=5 Rz=6 Fig=7 Spare=8\n");
  out({"put_VarJ", "1", "1 2 3 4 5 6 7 8 9"});
  EXPECT_EQ(out({"get_VarJ", "1"}), "J1=1 J2=2 J3=3 J4=4 J5=5 J6=6 J7=7 J8=8 J9=9\n");
  out({"put_VarT", "1", "1 2 3 0 1 0 0 0 1 5 0"});
  EXPECT_EQ(out({"get_VarT", "1"}), "X=1 Y=2 Z=3 Ox=0 Oy=1 Oz=0 Ax=0 Ay=0 Az=1 Fig=5 Spare=0\n");
  out({"put_ToolDef", "2", "10 20 30 0 0 90 0"});
  EXPECT_EQ(out({"get_ToolDef", "2"}), "X=10 Y=20 Z=30 RX=0 RY=0 RZ=90 Spare=0\n");
  out({"put_AreaDef", "3", "100 0 300 0 0 45 50 60 70 10 0 0 0 0"});
  EXPECT_EQ(out({"get_AreaDef", "3"}),
            "X=100 Y=0 Z=300 RX=0 RY=0 RZ=45 Dx=50 Dy=60 Dz=70 I/O=10 Pos=0 Err=0 Enable=0 "
            "Spare=0\n");
  out({"put_CalData", "0.5 0 0 0 0 -0.5 0"});
  EXPECT_EQ(out({"get_CalData"}), "J1=0.5 J2=0 J3=0 J4=0 J5=0 J6=-0.5 Spare=0\n");
  // Two outputs: one line each, named as in kelvor.h.
  out({"put_LinkParam", "350 0 0 350 0 80 0", "50 300 50 0 0 0 0"});
  EXPECT_EQ(out({"get_LinkParam"}),
            "ss: J1=350 J2=0 J3=0 J4=350 J5=0 J6=80 Spare=0\n"
            "aa: J1=50 J2=300 J3=50 J4=0 J5=0 J6=0 Spare=0\n");
  // Arrays in and out of one call (the values are the controller's kinematics).
  const std::regex p("X=\\S+ Y=\\S+ Z=\\S+ Rx=\\S+ Ry=\\S+ Rz=\\S+ Fig=\\S+ Spare=\\S+\n");
  EXPECT_TRUE(std::regex_match(out({"Dev", "400 0 500 0 0 0 0 0", "10 20 30 0 0 0 0 0"}), p));
  const std::string pose = out({"J2P", "0 10 20 0 90 0 0 0 0"});
  EXPECT_TRUE(std::regex_match(pose, p)) << pose;
  // What one call prints, without the names, is an argument of the next.
  const std::string numbers = std::regex_replace(pose, std::regex("[A-Za-z]+=|\n"), "");
  const std::regex j("J1=\\S+ J2=\\S+ J3=\\S+ J4=\\S+ J5=\\S+ J6=\\S+ J7=\\S+ J8=\\S+ J9=\\S+\n");
  EXPECT_TRUE(std::regex_match(out({"P2J", numbers}), j));
}

TEST_F(Klv, DriveTheArmAndReadThePositionBack) {
  out({"put_MotorState", "1"});
  EXPECT_EQ(out({"DriveA", "@0", "0 10 20 0 90 0 0 0 0", ""}), "");
  EXPECT_EQ(out({"get_CurrentJ"}), "J1=0 J2=10 J3=20 J4=0 J5=90 J6=0 J7=0 J8=0 J9=0\n");
  EXPECT_EQ(out({"Drive", "@E", "1", "-5", ""}), "");
  EXPECT_EQ(out({"get_CurrentJ"}), "J1=-5 J2=10 J3=20 J4=0 J5=90 J6=0 J7=0 J8=0 J9=0\n");
}

TEST_F(Klv, AFailingCallPrintsItsCodeAndTextAndExitsWithOne) {
  ProcessResult r = klv({"DriveA", "@0", "0 0 0 0 0 0 0 0 0", ""});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "klv: DriveA failed (0x1001): Motor is off\n");
  r = klv({"put_VarI", "1000", "1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "klv: put_VarI failed (0x1004): Variable number out of range\n");

  r = bare({"-c", kNobody, "get_MotorState"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(
      r.err, "klv: cannot connect to eth:127.0.0.1:1 (0x80000005): " + [] {
        char buf[128];
        klv_ErrorText(KLV_E_CONNECTION_REFUSED, buf, sizeof buf);
        return std::string(buf);
      }() + "\n");
  // ErrorText needs no controller.
  r = bare({"-c", kNobody, "ErrorText", "0x1001"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Motor is off\n");
}

TEST_F(Klv, BadArgumentsPrintTheUsageLineExitWithTwoAndCallNothing) {
  // Pointed at a port where nothing listens: a connect attempt would end with status 1.
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::string driveUsage = "usage: klv DriveA <path:string> <j:J[9]> <next:string>\n";
  const std::vector<Case> cases = {
      {{"DriveA", "@0", "0 10 20", ""},
       "klv: DriveA: j: J[9] needs 9 numbers (J1 J2 J3 J4 J5 J6 J7 J8 J9), \"0 10 20\" has 3\n" +
           driveUsage},
      {{"DriveA", "@0"}, "klv: DriveA takes 3 arguments, 1 given\n" + driveUsage},
      {{"put_VarF", "1", "1,5"},
       "klv: put_VarF: value: \"1,5\" is not a number\nusage: klv put_VarF <no:int> "
       "<value:float>\n"},
      {{"put_VarI", "99999999999", "1"},
       "klv: put_VarI: no: \"99999999999\" is not within -2147483648 to 2147483647\n"
       "usage: klv put_VarI <no:int> <value:int>\n"},
      {{"get_MotorState", "1"},
       "klv: get_MotorState takes 0 arguments, 1 given\nusage: klv get_MotorState -> "
       "state:int\n"},
      {{"put_VarS", "1", std::string(1025, 'x')},
       "klv: put_VarS: text: the text is 1025 bytes long, at most 1024 are allowed\n"
       "usage: klv put_VarS <no:int> <text:string>\n"},
      {{"get_Everything"},
       "klv: no function named \"get_Everything\"; klv --list shows them all\n"},
      {{"Connect", "eth:x", "0", "0"},
       "klv: Connect is called by klv itself: -c CONNECTION and -t TIMEOUT_MS choose the "
       "connection, and klv disconnects after the last call\n"},
      {{"--frobnicate", "get_MotorState"},
       "klv: unknown option --frobnicate; klv --help lists the options\n"},
      {{},
       "klv: no FUNCTION given. Run klv --list for the functions, klv --help for the "
       "options.\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-c", kNobody};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = bare(args);
    EXPECT_EQ(r.exitCode, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(bare({"-t", "-5", "get_MotorState"}).exitCode, 2);
  EXPECT_EQ(bare({"--repeat", "x", "get_MotorState"}).exitCode, 2);
  EXPECT_EQ(bare({"--repeat", "2", "--interval", "100000000000", "get_MotorState"}).exitCode, 2);
}

TEST_F(Klv, NegativeNumbersAfterTheFunctionAreArgumentsNotOptions) {
  out({"put_VarI", "5", "-1"});
  EXPECT_EQ(out({"get_VarI", "5"}), "-1\n");
  out({"put_VarV", "5", "-1 -2 -3"});
  EXPECT_EQ(out({"get_VarV", "5"}), "X=-1 Y=-2 Z=-3\n");
}

TEST_F(Klv, JsonOneObjectPerCallParsesBack) {
  out({"put_VarS", "9", "caf\xC3\xA9 \"x\"\t\x01 caf\xE9"});
  ProcessResult r = klv({"--json", "get_VarS", "9"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["function"], "get_VarS");
  EXPECT_EQ(j["arguments"], nlohmann::json({{"no", 9}}));
  EXPECT_EQ(j["result"], 0);
  EXPECT_EQ(j["result_hex"], "0x0");
  EXPECT_EQ(j["outputs"]["buf"], "caf\xC3\xA9 \"x\"\t\x01 caf\xC3\xA9");  // Latin-1 é read as é
  EXPECT_TRUE(j["milliseconds"].is_number());
  EXPECT_GE(j["milliseconds"].get<double>(), 0.0);

  r = klv({"--json", "Dev", "1 2 3 4 5 6 7 8", "0.5 0 0 0 0 0 0 0"});
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["arguments"]["base"], nlohmann::json({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(j["arguments"]["offset"][0], 0.5);
  EXPECT_EQ(j["outputs"]["result"], nlohmann::json({1.5, 2, 3, 4, 5, 6, 7, 8}));

  out({"put_VarP", "2", "nan 1 2 3 4 5 6 7"});
  j = nlohmann::json::parse(klv({"--json", "get_VarP", "2"}).out);
  EXPECT_TRUE(j["outputs"]["p"][0].is_null());
  EXPECT_EQ(j["outputs"]["p"][1], 1);

  // A failure is an object too, with exit status 1 and nothing on stderr.
  r = klv({"--json", "put_MotorState", "5"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "");
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["result"], KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(j["result_hex"], "0x1003");
  EXPECT_EQ(j["result_text"], "Value out of range");
  EXPECT_EQ(j["outputs"], nlohmann::json::object());

  r = klv({"--json", "--repeat", "2", "--interval", "0", "get_CurrentP"});
  std::istringstream lines(r.out);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    EXPECT_EQ(nlohmann::json::parse(line)["outputs"]["p"].size(), 8u);
    ++n;
  }
  EXPECT_EQ(n, 2);
}

TEST_F(Klv, ScriptRunsOneCallPerLineOverOneConnection) {
  const std::string script =
      "# set up\n"
      "put_VarS 4 \"two  words\"   # trailing blanks kept\r\n"
      "\n"
      "put_VarS 5 'it''s' \n"
      "get_VarS 4\n"
      "get_VarS 5\n"
      "put_VarI 6 41\n"
      "get_VarI 6\n";
  ProcessResult r = klv({"-f", "-"}, script);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "two  words\nits\n41\n");

  // One connection, one handshake, for all lines of a file.
  const std::string path = ::testing::TempDir() + "klv_script.txt";
  std::ofstream(path) << "put_VarI 6 1\nput_VarI 6 2\nget_VarI 6\n";
  const std::string simTrace = ::testing::TempDir() + "klv_script_sim.txt";
  {
    SimProcess traced({"--trace"}, simTrace);
    r = runProcess({KLV_PATH, "-c", traced.eth(), "-f", path}, {"KELVOR_TRACE"});
  }
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");
  std::ifstream in(simTrace);
  const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t hellos = 0;
  for (size_t at = trace.find(" Hello("); at != std::string::npos;
       at = trace.find(" Hello(", at + 1)) {
    ++hellos;
  }
  EXPECT_EQ(hellos, 1u) << trace;
}

TEST_F(Klv, ScriptStopsAtTheFirstFailureUnlessKeepGoing) {
  out({"put_VarI", "8", "0"});
  const std::string script =
      "put_VarI 1000 1\n"  // refused by the controller
      "put_VarI 8 1\n"
      "put_VarI 8 \"x\n"  // unclosed quote
      "put_VarI 8 abc\n"  // not a number
      "put_VarI 8 2\n";
  ProcessResult r = klv({"-f", "-"}, script);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "klv: stdin:1: put_VarI failed (0x1004): Variable number out of range\n");
  EXPECT_EQ(out({"get_VarI", "8"}), "0\n");  // nothing after the failure ran

  r = klv({"--keep-going", "-f", "-"}, script);
  EXPECT_EQ(r.exitCode, 2);  // the worst: a bad line
  EXPECT_EQ(r.err,
            "klv: stdin:1: put_VarI failed (0x1004): Variable number out of range\n"
            "klv: stdin:3: the \" opened in column 12 is not closed\n"
            "klv: stdin:4: put_VarI: value: \"abc\" is not an integer\n"
            "usage: klv put_VarI <no:int> <value:int>\n");
  EXPECT_EQ(out({"get_VarI", "8"}), "2\n");

  r = bare({"-f", "/nonexistent/script"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "klv: cannot read /nonexistent/script\n");
  r = bare({"-f", "-", "get_MotorState"});
  EXPECT_EQ(r.exitCode, 2);
}

TEST_F(Klv, RepeatPollsACall) {
  ProcessResult r = klv({"--repeat", "3", "--interval", "20", "get_MotorState"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0\n0\n0\n");
  // A failure ends the polling unless --keep-going.
  r = klv({"--repeat", "3", "--interval", "0", "get_VarI", "1000"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  r = klv({"--repeat", "3", "--interval", "0", "--keep-going", "get_VarI", "1000"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3);
}

TEST_F(Klv, ListShowsEveryFunctionWithItsSignatureAndItsLineFromKelvorH) {
  const ProcessResult r = bare({"--list"});
  ASSERT_EQ(r.exitCode, 0);
  for (const proto::FuncInfo& f : proto::allFuncs()) {
    if (std::string_view(f.name) == "Hello") continue;
    const std::string head = '\n' + std::string(f.name);
    const bool found =
        r.out.find(head + ' ') != std::string::npos || r.out.find(head + '\n') != std::string::npos;
    EXPECT_TRUE(found) << f.name;
  }
  for (const char* line :
       {"\nDriveA <path:string> <j:J[9]> <next:string>\n"
        "    Moves all axes to absolute joint angles j (J format), joint interpolation.\n",
        "\nget_LinkParam -> ss:K[7], aa:K[7]\n",
        "\nget_VarS <no:int> -> buf:string\n"
        "    buf/size: output buffer and its size; the string is truncated to size - 1 bytes.\n",
        "\nErrorText <code:int> -> buf:string\n",
        "\nConnect (before the first call: -c CONNECTION, -t TIMEOUT_MS)\n"
        "    Opens the connection and performs the protocol version handshake.\n",
        "\n  P[8]   X Y Z Rx Ry Rz Fig Spare\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  }
}

TEST_F(Klv, NumbersUseThePointInAGermanLocale) {
  const std::string dir = germanLocaleDir();
  if (dir.empty()) GTEST_SKIP() << "no German locale (install the locales package)";
  const std::vector<std::string> german = {"LOCPATH=" + dir, "LC_ALL=de_DE.UTF-8",
                                           "LANG=de_DE.UTF-8"};
  EXPECT_EQ(klv({"put_VarF", "3", "1.5"}, {}, german).exitCode, 0);
  EXPECT_EQ(klv({"put_VarV", "3", "0.25,1.5,2"}, {}, german).exitCode, 0);
  EXPECT_EQ(klv({"get_VarF", "3"}, {}, german).out, "1.5\n");
  EXPECT_EQ(klv({"get_VarV", "3"}, {}, german).out, "X=0.25 Y=1.5 Z=2\n");
  EXPECT_EQ(klv({"put_VarF", "3", "1,5"}, {}, german).exitCode, 2);
  const auto j = nlohmann::json::parse(klv({"--json", "get_VarF", "3"}, {}, german).out);
  EXPECT_EQ(j["outputs"]["value"], 1.5);
}

}  // namespace
}  // namespace kelvor::test
