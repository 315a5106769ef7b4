// kelvor-sim: a virtual controller serving the controller protocol over TCP, a
// pseudo-terminal or a serial port. This file only reads the command line and wires the
// parts together: model (the controller), dispatch (requests to rules) and net (the peers).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <asio.hpp>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dispatch/dispatcher.h"
#include "dispatch/faults.h"
#include "kelvor.h"
#include "model/clock.h"
#include "model/controller.h"
#include "model/state_file.h"
#include "net/pty_port.h"
#include "net/serial_port.h"
#include "net/service.h"
#include "net/session.h"
#include "net/tcp_server.h"
#include "port_access.h"

namespace kelvor::sim {
namespace {

struct Options {
  std::string listen = "127.0.0.1:" + std::to_string(KLV_DEFAULT_PORT);
  bool allowRemote = false;
  size_t maxConnections = net::PeerLimits{}.maxConnections;
  unsigned threads = std::max(1U, std::thread::hardware_concurrency());
  std::string ptyLink;
  std::string serialDevice;
  int baud = 115200;
  long lineRate = 0;
  std::string stateFile;
  bool trace = false;
  std::vector<std::string> fails;
  std::vector<std::string> delays;
  long dropAfter = 0;
  double timeScale = 1;
  int protocolVersion = proto::kProtocolVersion;
  int autoMode = 1;
  model::Identity identity;
};

const char* kDescription =
    "kelvor-sim: a virtual robot controller for the Kelvor client library.\n"
    "\n"
    "It listens on TCP and, with --pty or --serial, also serves a pseudo-terminal or a\n"
    "serial port. All connections share one controller state and every request is executed\n"
    "atomically. Once ready it prints to stdout:\n"
    "  kelvor-sim: listening on ADDR:PORT\n"
    "  kelvor-sim: pty /dev/pts/N at LINK        (with --pty)\n"
    "  kelvor-sim: serial DEVICE                 (with --serial)\n"
    "SIGTERM or SIGINT stop it and remove the pty link.\n"
    "\n"
    "To make the pty one of the tester's COM ports, name a virtual port: --pty COM200 (COM129\n"
    "to COM256) links it in the user's private directory ($XDG_RUNTIME_DIR/kelvor, else\n"
    "/tmp/kelvor-UID), created with mode 0700 if missing and refused unless private.\n";

const std::string kFooter =
    "\nFault injection:\n"
    "  --fail FUNC=CODE[:once|:always|:N]  answer FUNC with CODE instead of executing it\n"
    "      (once by default). FUNC is a protocol function name such as get_MotorState (a\n"
    "      klv_ prefix is accepted); CODE is decimal or 0x hex. Positive codes are latched\n"
    "      as the controller error. Code 0 sends a success reply without outputs, which the\n"
    "      library reports as a protocol error. Examples:\n"
    "        --fail get_MotorState=0x1234:always   --fail put_Speed=7:2\n"
    "  --delay FUNC=MS   hold every reply to FUNC back for MS milliseconds (no progress).\n"
    "\n"
    "Persistence: with --state FILE, variables, tool/work/area definitions, calibration\n"
    "data, link parameters and the arm's position are loaded at start and written\n"
    "atomically (temporary file, fsync, rename, fsync of the directory) before a change is\n"
    "acknowledged; the position when the arm comes to rest and when the simulator stops.\n"
    "\n"
    "Time: motions take the time the arm needs at the current speed (the external speed in\n"
    "external automatic mode); while a reply waits for one, an \"in progress\" frame goes out\n"
    "every " +
    std::to_string(net::kProgressInterval.count()) +
    " ms. --time-scale F runs the controller's clock F times as fast as real\n"
    "time: a motion of 2 s takes 0.2 s with F = 10.\n";

// The command line and its help text.
void defineOptions(CLI::App& app, Options& opt) {
  app.description(kDescription);
  app.footer(kFooter);
  app.add_option("--listen", opt.listen,
                 "TCP address and port to listen on, ADDR:PORT or [V6ADDR]:PORT; port 0 "
                 "picks a free one")
      ->type_name("ADDR:PORT")
      ->capture_default_str();
  app.add_flag("--allow-remote", opt.allowRemote,
               "allow --listen on an address other machines can reach (without it only "
               "loopback addresses are accepted): anyone who reaches it controls the simulator");
  app.add_option("--max-connections", opt.maxConnections,
                 "TCP connections served at once; the next ones are answered with "
                 "KLV_C_TOO_MANY_CONNECTIONS (0x1022) and closed")
      ->type_name("N")
      ->check(CLI::Range(1, 4096))
      ->capture_default_str();
  app.add_option("--threads", opt.threads,
                 "threads serving TCP connections, each connection on one of them (the "
                 "pseudo-terminal and the serial port on the first); requests still execute "
                 "one at a time. Default: the number of processor cores")
      ->type_name("N")
      ->check(CLI::Range(1, 256));
  app.add_option("--pty", opt.ptyLink,
                 "also serve a new pseudo-terminal behind the virtual port COMn (129 to 256), or "
                 "make LINK a symbolic link to it")
      ->type_name("COMn|LINK");
  app.add_option("--serial", opt.serialDevice, "also serve the serial port DEVICE")
      ->type_name("DEVICE");
  app.add_option("--baud", opt.baud, "baud rate of --serial (8N1)")
      ->type_name("N")
      ->check(CLI::IsMember({9600, 19200, 38400, 57600, 115200}))
      ->capture_default_str();
  app.add_option("--line-rate", opt.lineRate,
                 "send on the pty and the serial port no faster than a serial line of BAUD "
                 "bits per second, 10 bits a byte (start, 8 data, stop bit), as a real "
                 "controller's line would; 0 sends as fast as the port takes the bytes")
      ->type_name("BAUD")
      ->check(CLI::Range(0L, 4000000L))
      ->capture_default_str();
  app.add_option("--state", opt.stateFile, "keep the persistent state in FILE")->type_name("FILE");
  app.add_flag("--trace", opt.trace, "print every request and reply to stderr");
  app.add_option("--fail", opt.fails,
                 "answer FUNC with CODE instead of executing it; repeatable (see below)")
      ->type_name("FUNC=CODE[:COUNT]");
  app.add_option("--delay", opt.delays, "hold replies to FUNC back; repeatable (see below)")
      ->type_name("FUNC=MS");
  app.add_option("--drop-after", opt.dropAfter,
                 "after answering N requests of a connection (the handshake counts), close it "
                 "when the next one arrives, unanswered; a pty is replaced by a new one behind "
                 "the same link")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  app.add_option("--time-scale", opt.timeScale,
                 "run the controller's clock F times as fast as real time (motions, settling), "
                 "for tests and demos")
      ->type_name("F")
      ->check(CLI::Range(0.01, 100.0))
      ->capture_default_str();
  app.add_option("--rom-version", opt.identity.romVersion, "ROM version string")
      ->capture_default_str();
  app.add_option("--serial-no", opt.identity.serialNo, "serial number string")
      ->capture_default_str();
  app.add_option("--robot-type", opt.identity.robotType, "robot type string")
      ->capture_default_str();
  app.add_option("--auto-mode", opt.autoMode,
                 "automatic mode at start: 0 none (mode key at manual/teach), 1 external, "
                 "2 internal")
      ->check(CLI::Range(0, 2))
      ->capture_default_str();
  app.add_option("--protocol-version", opt.protocolVersion,
                 "protocol version announced in the handshake (to test clients)")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str();
}

int fail(const std::string& message, int status) {
  std::cerr << "kelvor-sim: " << message << std::endl;
  return status;
}

// Builds the controller and its peers from the options and serves until a signal.
int run(const Options& opt) {
  std::string error;
  dispatch::Faults faults;
  for (const std::string& f : opt.fails) {
    auto rule = dispatch::parseFailRule(f, error);
    if (!rule) return fail("--fail: " + error, 2);
    faults.fails.push_back(*rule);
  }
  for (const std::string& d : opt.delays) {
    auto rule = dispatch::parseDelayRule(d, error);
    if (!rule) return fail("--delay: " + error, 2);
    faults.delays.push_back(*rule);
  }
  asio::ip::tcp::endpoint ep;
  if (!net::parseEndpoint(opt.listen, ep, error)) return fail("--listen: " + error, 2);
  if (!opt.allowRemote && !net::isLoopback(ep.address())) {
    return fail("--listen " + opt.listen +
                    ": not a loopback address; other machines could control the simulator. "
                    "Add --allow-remote to listen there anyway.",
                2);
  }
  // Every identity string goes out in a reply, so it must fit the protocol's strings.
  const std::string greeting = opt.identity.greeting();
  for (const auto& [option, text] : {std::pair{"--rom-version", &opt.identity.romVersion},
                                     {"--serial-no", &opt.identity.serialNo},
                                     {"--robot-type", &opt.identity.robotType},
                                     {"--robot-type and --serial-no", &greeting}}) {
    if (text->size() > proto::kMaxString) {
      return fail(std::string(option) + ": too long; a reply carries at most " +
                      std::to_string(proto::kMaxString) + " bytes of text",
                  2);
    }
  }

  model::Identity identity = opt.identity;
  identity.protocolVersion = static_cast<uint16_t>(opt.protocolVersion);
  model::Controller controller(identity);
  static_cast<void>(controller.setAutoMode(opt.autoMode));  // the option allows only 0 to 2
  dispatch::Dispatcher::Store store;
  if (!opt.stateFile.empty()) {
    model::PersistentState state;
    if (!model::loadState(opt.stateFile, state, error)) return fail(error, 1);
    controller.restore(std::move(state));
    store = [path = opt.stateFile](const model::PersistentState& st, std::string& err) {
      return model::saveState(path, st, err);
    };
  }
  const model::SteadyClock realClock;
  const model::ScaledClock clock(realClock, opt.timeScale);
  dispatch::Dispatcher dispatcher(controller, clock, std::move(faults), std::move(store));
  net::Service service{dispatcher, opt.trace, opt.dropAfter};
  service.limits.maxConnections = opt.maxConnections;
  service.lineRate = opt.lineRate;

  std::signal(SIGPIPE, SIG_IGN);
  // One event loop per thread, each run by that thread alone (hence the concurrency hint);
  // this thread runs the first, which also accepts, handles signals and serves the lines. The
  // other loops are made first so that they end last: an accept still pending on the first
  // loop when the program ends holds a socket of theirs.
  std::vector<std::unique_ptr<asio::io_context>> moreLoops;
  std::vector<asio::io_context*> moreLoopPointers;
  for (unsigned i = 1; i < opt.threads; ++i) {
    moreLoops.push_back(std::make_unique<asio::io_context>(1));
    moreLoopPointers.push_back(moreLoops.back().get());
  }
  asio::io_context io(1);
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code&, int) {
    io.stop();
    for (auto& loop : moreLoops) loop->stop();
  });

  std::unique_ptr<net::TcpServer> tcp;
  try {
    tcp = std::make_unique<net::TcpServer>(io, service, ep, moreLoopPointers);
  } catch (const std::exception& e) {
    return fail("cannot listen on " + opt.listen + ": " + e.what(), 1);
  }
  tcp->accept();
  std::unique_ptr<net::PtyPort> pty;
  if (!opt.ptyLink.empty()) {
    std::string link;
    if (!kelvor::ptyLinkPath(opt.ptyLink, link, error)) return fail("--pty: " + error, 1);
    pty = std::make_unique<net::PtyPort>(io, service, link);
    if (!pty->open(error)) return fail(error, 1);
  }
  if (!opt.serialDevice.empty() &&
      !net::serveSerialPort(io, service, opt.serialDevice, opt.baud, error)) {
    return fail(error, 1);
  }

  // Every thread serves before the simulator says it is ready.
  std::vector<std::thread> threads;
  for (auto& loop : moreLoops) {
    threads.emplace_back([&loop, work = asio::make_work_guard(*loop)] { loop->run(); });
  }
  const auto local = tcp->endpoint();
  const std::string addr = local.address().is_v6() ? "[" + local.address().to_string() + "]"
                                                   : local.address().to_string();
  std::printf("kelvor-sim: listening on %s:%u\n", addr.c_str(), local.port());
  std::fflush(stdout);
  if (pty) pty->announce();
  if (!opt.serialDevice.empty()) {
    std::printf("kelvor-sim: serial %s\n", opt.serialDevice.c_str());
    std::fflush(stdout);
  }

  io.run();
  for (std::thread& t : threads) t.join();
  // No request runs any more: the controller comes to rest and its state is stored.
  dispatcher.halt();
  if (pty) pty->removeLink();
  return 0;
}

}  // namespace
}  // namespace kelvor::sim

int main(int argc, char** argv) {
  kelvor::sim::Options opt;
  CLI::App app{"", "kelvor-sim"};
  kelvor::sim::defineOptions(app, opt);
  CLI11_PARSE(app, argc, argv);
  return kelvor::sim::run(opt);
}
