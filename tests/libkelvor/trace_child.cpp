// A program that makes library calls for the trace tests, which run it with KELVOR_TRACE set
// (the library reads it once per process). It prints nothing when every call returns what it
// should; otherwise it names the call on stdout and exits with 1.
//   trace_child calls CONNECTION        a fixed sequence of calls, in the user's locale
//   trace_child threads CONNECTION N K  N threads making K pairs of calls each
//   trace_child broken-pipe CONNECTION  the calls with stderr a pipe nobody reads
//   trace_child fork -                  a call without a connection before and after a fork,
//                                       in the parent and in the child
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kelvor.h"

namespace {

int g_failures = 0;

void expect(const char* what, int32_t rc, int32_t want = KLV_OK) {
  if (rc == want) return;
  std::printf("%s returned 0x%X instead of 0x%X\n", what, static_cast<unsigned>(rc),
              static_cast<unsigned>(want));
  ++g_failures;
}

void connect(const char* connection) {
  std::vector<char> conn(connection, connection + std::strlen(connection) + 1);
  expect("klv_Connect", klv_Connect(conn.data(), 1000, 0));
}

void calls(const char* connection) {
  connect(connection);
  int32_t i = 0;
  float f = 0;
  char s[64];
  float p[8] = {1, 2.5f, 3, 0, 0, 0, 5, 0};
  const float ss[7] = {350, 0, 0, 350, 0, 80, 0};
  const float aa[7] = {50, 300, 50, 0, 0, 0, 0};
  float ss2[7], aa2[7];
  expect("klv_put_VarI", klv_put_VarI(3, 42));
  expect("klv_get_VarI", klv_get_VarI(3, &i));
  expect("klv_put_VarF", klv_put_VarF(4, 1.5f));
  expect("klv_get_VarF", klv_get_VarF(4, &f));
  expect("klv_put_VarS", klv_put_VarS(5, "a b\n"));
  expect("klv_get_VarS", klv_get_VarS(5, s, sizeof s));
  expect("klv_put_VarP", klv_put_VarP(6, p));
  expect("klv_get_VarP", klv_get_VarP(6, p));
  expect("klv_put_MotorState", klv_put_MotorState(7), KLV_C_VALUE_OUT_OF_RANGE);
  expect("klv_put_LinkParam", klv_put_LinkParam(ss, aa));
  expect("klv_get_LinkParam", klv_get_LinkParam(ss2, aa2));
  expect("klv_ErrorText", klv_ErrorText(KLV_C_MOTOR_OFF, s, sizeof s));
  expect("klv_Disconnect", klv_Disconnect());
  expect("klv_get_MotorState", klv_get_MotorState(&i), KLV_E_NOT_CONNECTED);
}

void threads(const char* connection, int n, int k) {
  connect(connection);
  std::vector<std::thread> pool;
  for (int t = 0; t < n; ++t) {
    pool.emplace_back([t, k] {
      for (int j = 0; j < k; ++j) {
        int32_t v = 0;
        expect("klv_put_VarI", klv_put_VarI(t, j));
        expect("klv_get_VarI", klv_get_VarI(t, &v));
      }
    });
  }
  for (auto& th : pool) th.join();
  expect("klv_Disconnect", klv_Disconnect());
}

}  // namespace

int main(int argc, char** argv) {
  // Programs set the user's locale (Qt does); the trace must not follow it.
  std::setlocale(LC_ALL, "");
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "calls") {
    calls(argv[2]);
  } else if (mode == "threads" && argc > 4) {
    threads(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  } else if (mode == "broken-pipe") {
    int fds[2];
    if (::pipe(fds) != 0) return 2;
    ::close(fds[0]);
    ::dup2(fds[1], STDERR_FILENO);
    calls(argv[2]);
  } else if (mode == "fork") {
    int32_t v = 0;
    expect("klv_get_MotorState", klv_get_MotorState(&v), KLV_E_NOT_CONNECTED);
    const pid_t child = ::fork();
    expect("klv_get_MotorState", klv_get_MotorState(&v), KLV_E_NOT_CONNECTED);
    if (child == 0) ::_exit(g_failures == 0 ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++g_failures;
  } else {
    std::printf("usage: trace_child calls|threads|broken-pipe CONNECTION [N K]\n");
    return 2;
  }
  std::fflush(stdout);
  return g_failures == 0 ? 0 : 1;
}
