// The C and the Python example against the simulator: the same session, the same output,
// and a clear message for a failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kelvor.h"
#include "run_process.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

struct Example {
  const char* name;
  std::vector<std::string> command;
  const char* prefix;  // of its messages
};

std::vector<Example> examples() {
  std::vector<Example> list = {{"C", {KELVOR_EXAMPLE_C}, "kelvor_example: "}};
  const std::string python = PYTHON3;
  if (python.empty() || python.find("NOTFOUND") != std::string::npos) {
    ADD_FAILURE() << "no python3: the Python example cannot run";
  } else {
    list.push_back({"Python", {PYTHON3, KELVOR_EXAMPLE_PY}, "kelvor_example.py: "});
  }
  return list;
}

ProcessResult runExample(const Example& e, const std::string& connection) {
  std::vector<std::string> args = e.command;
  args.push_back(connection);
  std::vector<std::string> env = {std::string("LD_LIBRARY_PATH=") + KELVOR_LIBRARY_DIR,
                                  "KELVOR_TRACE"};
  if (args[0] == PYTHON3 && *PYTHON3_PRELOAD)
    env.push_back(std::string("LD_PRELOAD=") + PYTHON3_PRELOAD);
  return runProcess(args, env);
}

// The position line the examples should print, as the library reads it.
std::string positionLine(const SimProcess& sim) {
  EXPECT_EQ(connect(sim.eth()), KLV_OK);
  float p[8] = {};
  EXPECT_EQ(klv_get_CurrentP(p), KLV_OK);
  klv_Disconnect();
  char line[128];
  std::snprintf(line, sizeof line, "Position:      X %g  Y %g  Z %g\n", p[0], p[1], p[2]);
  return line;
}

TEST(Examples, ReadIdentityAndPositionAndWriteAVariable) {
  SimProcess sim({"--rom-version", "2.0", "--serial-no", "SN-7", "--robot-type", "KV-EX"});
  const std::string position = positionLine(sim);
  for (const Example& e : examples()) {
    const ProcessResult r = runExample(e, sim.eth());
    EXPECT_EQ(r.exitCode, 0) << e.name << ": " << r.err;
    EXPECT_EQ(r.err, "") << e.name;
    EXPECT_EQ(r.out,
              "ROM version:   2.0\n"
              "Serial number: SN-7\n"
              "Robot type:    KV-EX\n" +
                  position + "Variable I100: wrote 4711, read 4711\n")
        << e.name;
  }
}

TEST(Examples, EveryFailureNamesTheFunctionItsCodeAndItsText) {
  SimProcess sim({"--fail", "get_CurrentP=0x1234:always"});
  for (const Example& e : examples()) {
    ProcessResult r = runExample(e, "eth:127.0.0.1:1");
    EXPECT_EQ(r.exitCode, 1) << e.name;
    EXPECT_EQ(r.err, std::string(e.prefix) +
                         "klv_Connect failed with 0x80000005: Connection refused by the "
                         "controller\n")
        << e.name;

    r = runExample(e, "eth:[::1");
    EXPECT_EQ(r.exitCode, 1) << e.name;
    EXPECT_EQ(r.err, std::string(e.prefix) +
                         "klv_Connect failed with 0x80000003: Connection string not "
                         "understood\n")
        << e.name;

    r = runExample(e, sim.eth());
    EXPECT_EQ(r.exitCode, 1) << e.name;
    EXPECT_EQ(r.err, std::string(e.prefix) +
                         "klv_get_CurrentP failed with 0x1234: Controller error 0x1234\n")
        << e.name;
  }
}

}  // namespace
}  // namespace kelvor::test
