// kelvor-sim: a virtual controller serving the controller protocol over TCP, a
// pseudo-terminal or a serial port.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <asio.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "dispatch/dispatcher.h"
#include "dispatch/faults.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "model/clock.h"
#include "model/controller.h"
#include "model/state_file.h"
#include "serial_line.h"

namespace kelvor::sim {
namespace {

struct Options {
  std::string listen = "127.0.0.1:50420";
  std::string ptyLink;
  std::string serialDevice;
  int baud = 115200;
  std::string stateFile;
  bool trace = false;
  std::vector<std::string> fails;
  std::vector<std::string> delays;
  long dropAfter = 0;
  int motionTimeMs = 0;
  int protocolVersion = proto::kProtocolVersion;
  int autoMode = 1;
  model::Identity identity;
};

// What every connection of the simulator shares: the dispatcher that executes requests, and how
// connections behave.

struct Service {
  dispatch::Dispatcher& dispatcher;
  bool trace = false;  // print every frame to stderr
  long dropAfter = 0;  // after answering this many requests, hang up at the next (0: never)

  void traceFrame(const std::string& who, const proto::Frame& f) const {
    if (trace) std::cerr << who << ' ' << proto::describeFrame(f) << std::endl;
  }
  void traceNote(const std::string& who, const std::string& note) const {
    if (trace) std::cerr << who << ' ' << note << std::endl;
  }
};

// One peer of the simulator on a stream (TCP socket, pseudo-terminal or serial port): reads
// requests and answers them one after the other. While the motion a reply waits for runs, the
// peer gets an "in progress" frame every kProgressInterval so that it keeps waiting.

inline constexpr auto kProgressInterval = std::chrono::milliseconds(100);

template <class Stream>
class Session : public std::enable_shared_from_this<Session<Stream>> {
 public:
  // onEnd, if set, runs once when the session ends (peer gone, error or dropped).
  Session(Service& service, Stream stream, std::string name, std::function<void()> onEnd)
      : service_(service),
        stream_(std::move(stream)),
        timer_(stream_.get_executor()),
        name_(std::move(name)),
        onEnd_(std::move(onEnd)) {}

  void start() { readMore(); }

 private:
  using Clock = std::chrono::steady_clock;
  using Outcome = dispatch::Dispatcher::Outcome;

  // A request whose reply waits for the end of a motion.
  struct Pending {
    uint16_t seq;
    uint16_t func;
    Outcome outcome;
    Clock::time_point nextProgress;
  };

  void readMore() {
    auto self = this->shared_from_this();
    stream_.async_read_some(asio::buffer(buf_), [self](const asio::error_code& ec, size_t n) {
      if (ec) {
        self->end();
        return;
      }
      self->decoder_.feed(self->buf_.data(), n);
      self->processNext();
    });
  }

  void processNext() {
    while (auto frame = decoder_.next()) {
      if (frame->type != proto::FrameType::kRequest) continue;
      serve(*frame);
      return;
    }
    readMore();
  }

  void serve(const proto::Frame& req) {
    service_.traceFrame(name_, req);
    if (service_.dropAfter > 0 && requests_ >= service_.dropAfter) {
      // Hang up instead of answering; the peer has read every earlier reply.
      service_.traceNote(name_, "dropping the connection");
      end();
      return;
    }
    ++requests_;
    Outcome outcome = service_.dispatcher.execute(req.func, req.payload);
    if (outcome.motion) {
      awaitMotion({req.seq, req.func, std::move(outcome), Clock::now() + kProgressInterval});
      return;
    }
    const auto replyAt = Clock::now() + outcome.delay;
    holdThenReply(replyFrame(req.seq, req.func, std::move(outcome)), replyAt, false);
  }

  static proto::Frame replyFrame(uint16_t seq, uint16_t func, Outcome&& outcome) {
    proto::Frame reply;
    reply.type = proto::FrameType::kReply;
    reply.seq = seq;
    reply.func = func;
    reply.payload = std::move(outcome.reply);
    return reply;
  }

  // Wakes when the motion is expected to end or a progress frame is due, whichever comes
  // first, until the controller reports the motion ended.
  void awaitMotion(Pending p) {
    const auto left = service_.dispatcher.awaitMotion(p.outcome);
    if (!left) {
      // The reply may still be held back (--delay); the peer keeps getting progress frames.
      const auto replyAt = Clock::now() + p.outcome.delay;
      holdThenReply(replyFrame(p.seq, p.func, std::move(p.outcome)), replyAt, true);
      return;
    }
    const auto end = Clock::now() + *left;
    const bool progress = end > p.nextProgress;
    timer_.expires_at(progress ? p.nextProgress : end);
    auto self = this->shared_from_this();
    timer_.async_wait([self, p = std::move(p), progress](const asio::error_code& ec) mutable {
      if (ec) return;
      if (!progress) {
        self->awaitMotion(std::move(p));
        return;
      }
      p.nextProgress += kProgressInterval;
      const uint16_t seq = p.seq, func = p.func;
      self->sendProgress(seq, func,
                         [self, p = std::move(p)]() mutable { self->awaitMotion(std::move(p)); });
    });
  }

  // Sends the reply at replyAt; with progress, an "in progress" frame every kProgressInterval
  // until then.
  void holdThenReply(proto::Frame reply, Clock::time_point replyAt, bool progress) {
    if (replyAt <= Clock::now()) {
      send(std::move(reply));
      return;
    }
    const bool tick = progress && replyAt - Clock::now() > kProgressInterval;
    timer_.expires_at(tick ? Clock::now() + kProgressInterval : replyAt);
    auto self = this->shared_from_this();
    timer_.async_wait([self, reply = std::move(reply), replyAt, tick,
                       progress](const asio::error_code& ec) mutable {
      if (ec) return;
      if (!tick) {
        self->send(std::move(reply));
        return;
      }
      const uint16_t seq = reply.seq, func = reply.func;
      self->sendProgress(seq, func, [self, reply = std::move(reply), replyAt, progress]() mutable {
        self->holdThenReply(std::move(reply), replyAt, progress);
      });
    });
  }

  template <class Then>
  void sendProgress(uint16_t seq, uint16_t func, Then then) {
    proto::Frame p;
    p.type = proto::FrameType::kProgress;
    p.seq = seq;
    p.func = func;
    service_.traceFrame(name_, p);
    auto self = this->shared_from_this();
    auto bytes = std::make_shared<std::vector<uint8_t>>(proto::encodeFrame(p));
    asio::async_write(
        stream_, asio::buffer(*bytes),
        [self, bytes, then = std::move(then)](const asio::error_code& ec, size_t) mutable {
          if (ec) {
            self->end();
            return;
          }
          then();
        });
  }

  void send(proto::Frame reply) {
    service_.traceFrame(name_, reply);
    auto self = this->shared_from_this();
    auto bytes = std::make_shared<std::vector<uint8_t>>(proto::encodeFrame(reply));
    asio::async_write(stream_, asio::buffer(*bytes),
                      [self, bytes](const asio::error_code& ec, size_t) {
                        if (ec) {
                          self->end();
                          return;
                        }
                        self->processNext();
                      });
  }

  void end() {
    if (ended_) return;
    ended_ = true;
    asio::error_code ignored;
    timer_.cancel();
    stream_.close(ignored);
    if (onEnd_) onEnd_();
  }

  Service& service_;
  Stream stream_;
  asio::steady_timer timer_;
  std::string name_;
  std::function<void()> onEnd_;
  proto::Decoder decoder_;
  std::array<uint8_t, 4096> buf_{};
  long requests_ = 0;
  bool ended_ = false;
};

using FdSession = Session<asio::posix::stream_descriptor>;

// A pseudo-terminal whose slave is reachable through a symbolic link. The simulator keeps
// the slave open itself so the line survives clients coming and going; dropping the
// connection replaces the pseudo-terminal with a new one behind the same link.
class PtyPort {
 public:
  PtyPort(asio::io_context& io, Service& service, std::string link)
      : io_(io), service_(service), link_(std::move(link)) {}
  ~PtyPort() { removeLink(); }

  bool open(std::string& error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
      error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
      if (master >= 0) ::close(master);
      return false;
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
      error = "ptsname failed";
      ::close(master);
      return false;
    }
    slaveName_ = name;
    if (hold_ >= 0) ::close(hold_);
    hold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (hold_ < 0 || !setRawLine(hold_, {})) {
      error = std::string("cannot open ") + name + ": " + std::strerror(errno);
      ::close(master);
      return false;
    }
    struct stat st;
    if (!linked_ && ::lstat(link_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
      error = link_ + " exists and is not a symbolic link";
      ::close(master);
      return false;
    }
    // Replace the link atomically.
    const std::string tmp = link_ + ".new";
    ::unlink(tmp.c_str());
    if (::symlink(name, tmp.c_str()) != 0 || ::rename(tmp.c_str(), link_.c_str()) != 0) {
      error = "cannot create link " + link_ + ": " + std::strerror(errno);
      ::close(master);
      return false;
    }
    linked_ = true;
    auto session = std::make_shared<FdSession>(
        service_, asio::posix::stream_descriptor(io_, master), "[pty]", [this] { reopenLater(); });
    session->start();
    return true;
  }

  const std::string& slaveName() const { return slaveName_; }

  void removeLink() {
    if (linked_) ::unlink(link_.c_str());
    linked_ = false;
    if (hold_ >= 0) ::close(hold_);
    hold_ = -1;
  }

 private:
  void reopenLater() {
    if (hold_ >= 0) ::close(hold_);
    hold_ = -1;
    asio::post(io_, [this] {
      std::string error;
      if (!open(error)) {
        std::cerr << "kelvor-sim: " << error << std::endl;
        return;
      }
      // Announce the new line like the first one, for whoever waits for it.
      std::printf("kelvor-sim: pty %s at %s\n", slaveName_.c_str(), link_.c_str());
      std::fflush(stdout);
    });
  }

  asio::io_context& io_;
  Service& service_;
  std::string link_;
  std::string slaveName_;
  int hold_ = -1;
  bool linked_ = false;
};

bool parseListen(const std::string& text, asio::ip::tcp::endpoint& ep, std::string& error) {
  std::string host, port;
  if (!text.empty() && text[0] == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      error = "expected [ADDR]:PORT";
      return false;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
      error = "expected ADDR:PORT";
      return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  asio::error_code ec;
  const auto addr = asio::ip::make_address(host, ec);
  char* end = nullptr;
  const long p = std::strtol(port.c_str(), &end, 10);
  if (ec || port.empty() || *end != '\0' || p < 0 || p > 65535) {
    error = "bad listen address '" + text + "'";
    return false;
  }
  ep = asio::ip::tcp::endpoint(addr, static_cast<uint16_t>(p));
  return true;
}

class TcpServer {
 public:
  TcpServer(asio::io_context& io, Service& service, const asio::ip::tcp::endpoint& ep)
      : service_(service), acceptor_(io) {
    acceptor_.open(ep.protocol());
    acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
    acceptor_.bind(ep);
    acceptor_.listen();
  }
  asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }
  void accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
      if (!ec) {
        asio::error_code ignored;
        socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        const auto peer = socket.remote_endpoint(ignored);
        std::string name = "[tcp " + std::to_string(++count_) + "]";
        if (service_.trace) {
          std::cerr << name << " connected from " << peer.address().to_string() << ':'
                    << peer.port() << std::endl;
        }
        std::make_shared<Session<asio::ip::tcp::socket>>(service_, std::move(socket), name, nullptr)
            ->start();
      }
      if (ec != asio::error::operation_aborted) accept();
    });
  }

 private:
  Service& service_;
  asio::ip::tcp::acceptor acceptor_;
  int count_ = 0;
};

const char* kDescription =
    "kelvor-sim: a virtual robot controller for the Kelvor client library.\n"
    "\n"
    "It listens on TCP (default 127.0.0.1:50420) and, with --pty or --serial, also serves\n"
    "a pseudo-terminal or a serial port. All connections share one controller state and\n"
    "every request is executed atomically. Once ready it prints to stdout:\n"
    "  kelvor-sim: listening on ADDR:PORT\n"
    "  kelvor-sim: pty /dev/pts/N at LINK        (with --pty)\n"
    "SIGTERM or SIGINT stop it and remove the pty link.\n"
    "\n"
    "To make the pty one of the tester's COM ports use a link /tmp/kelvor-COMn with n from\n"
    "129 to 256, e.g. --pty /tmp/kelvor-COM200 for COM200.\n";

const char* kFooter =
    "\nFault injection:\n"
    "  --fail FUNC=CODE[:once|:always|:N]  answer FUNC with CODE instead of executing it\n"
    "      (once by default). FUNC is a protocol function name such as get_MotorState (a\n"
    "      klv_ prefix is accepted); CODE is decimal or 0x hex. Positive codes are latched\n"
    "      as the controller error. Code 0 sends a success reply without outputs, which the\n"
    "      library reports as a protocol error. Examples:\n"
    "        --fail get_MotorState=0x1234:always   --fail put_Speed=7:2\n"
    "  --delay FUNC=MS   hold every reply to FUNC back for MS milliseconds (no progress).\n"
    "  --drop-after N    after answering N requests of a connection (the handshake\n"
    "      counts), close it when the next one arrives, unanswered; a pty is replaced by a\n"
    "      new one behind the same link.\n"
    "  --motion-time MS  motions take MS milliseconds; the controller sends an \"in\n"
    "      progress\" frame every 100 ms meanwhile and reports motion state 1.\n"
    "\n"
    "Persistence: with --state FILE, variables, tool/work/area definitions, calibration\n"
    "data and link parameters are loaded at start and written atomically (temporary file,\n"
    "fsync, rename, fsync of the directory) before a change is acknowledged.\n";

int run(int argc, char** argv) {
  Options opt;
  CLI::App app{kDescription, "kelvor-sim"};
  app.footer(kFooter);
  app.add_option("--listen", opt.listen,
                 "TCP address and port to listen on, ADDR:PORT or [V6ADDR]:PORT; port 0 "
                 "picks a free one")
      ->capture_default_str();
  app.add_option("--pty", opt.ptyLink,
                 "also serve a new pseudo-terminal and make LINK a symbolic link to it");
  app.add_option("--serial", opt.serialDevice, "also serve the serial port DEVICE");
  app.add_option("--baud", opt.baud, "baud rate of --serial (8N1)")
      ->check(CLI::IsMember({9600, 19200, 38400, 57600, 115200}))
      ->capture_default_str();
  app.add_option("--state", opt.stateFile, "keep the persistent state in FILE");
  app.add_flag("--trace", opt.trace, "print every request and reply to stderr");
  app.add_option("--fail", opt.fails, "FUNC=CODE[:once|:always|:N], repeatable (see below)");
  app.add_option("--delay", opt.delays, "FUNC=MS, repeatable (see below)");
  app.add_option("--drop-after", opt.dropAfter, "close a connection after N requests")
      ->check(CLI::PositiveNumber);
  app.add_option("--motion-time", opt.motionTimeMs, "duration of every motion in ms")
      ->check(CLI::NonNegativeNumber)
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
  CLI11_PARSE(app, argc, argv);

  dispatch::Faults faults;
  std::string error;
  for (const std::string& f : opt.fails) {
    auto rule = dispatch::parseFailRule(f, error);
    if (!rule) {
      std::cerr << "kelvor-sim: --fail: " << error << std::endl;
      return 2;
    }
    faults.fails.push_back(*rule);
  }
  for (const std::string& d : opt.delays) {
    auto rule = dispatch::parseDelayRule(d, error);
    if (!rule) {
      std::cerr << "kelvor-sim: --delay: " << error << std::endl;
      return 2;
    }
    faults.delays.push_back(*rule);
  }
  model::Identity identity = opt.identity;
  identity.protocolVersion = static_cast<uint16_t>(opt.protocolVersion);
  model::Controller controller(identity);
  static_cast<void>(controller.setAutoMode(opt.autoMode));  // the option allows only 0 to 2
  controller.setMotionTime(std::chrono::milliseconds(opt.motionTimeMs));
  dispatch::Dispatcher::Store store;
  if (!opt.stateFile.empty()) {
    model::PersistentState state;
    if (!model::loadState(opt.stateFile, state, error)) {
      std::cerr << "kelvor-sim: " << error << std::endl;
      return 1;
    }
    controller.restore(std::move(state));
    store = [path = opt.stateFile](const model::PersistentState& st, std::string& err) {
      return model::saveState(path, st, err);
    };
  }
  const model::SteadyClock clock;
  dispatch::Dispatcher dispatcher(controller, clock, std::move(faults), std::move(store));
  Service service{dispatcher, opt.trace, opt.dropAfter};
  asio::ip::tcp::endpoint ep;
  if (!parseListen(opt.listen, ep, error)) {
    std::cerr << "kelvor-sim: --listen: " << error << std::endl;
    return 2;
  }

  std::signal(SIGPIPE, SIG_IGN);
  asio::io_context io;
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code&, int) { io.stop(); });

  std::unique_ptr<TcpServer> tcp;
  try {
    tcp = std::make_unique<TcpServer>(io, service, ep);
  } catch (const std::exception& e) {
    std::cerr << "kelvor-sim: cannot listen on " << opt.listen << ": " << e.what() << std::endl;
    return 1;
  }
  tcp->accept();
  const auto local = tcp->endpoint();
  const std::string addr = local.address().is_v6() ? "[" + local.address().to_string() + "]"
                                                   : local.address().to_string();
  std::unique_ptr<PtyPort> pty;
  if (!opt.ptyLink.empty()) {
    pty = std::make_unique<PtyPort>(io, service, opt.ptyLink);
    if (!pty->open(error)) {
      std::cerr << "kelvor-sim: " << error << std::endl;
      return 1;
    }
  }
  if (!opt.serialDevice.empty()) {
    const int fd = ::open(opt.serialDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || !setRawLine(fd, {.baud = opt.baud})) {
      std::cerr << "kelvor-sim: cannot open " << opt.serialDevice << ": " << std::strerror(errno)
                << std::endl;
      if (fd >= 0) ::close(fd);
      return 1;
    }
    ::tcflush(fd, TCIOFLUSH);
    std::make_shared<FdSession>(service, asio::posix::stream_descriptor(io, fd), "[serial]", [] {
      std::cerr << "kelvor-sim: serial port closed" << std::endl;
    })->start();
  }

  std::printf("kelvor-sim: listening on %s:%u\n", addr.c_str(), local.port());
  if (pty) std::printf("kelvor-sim: pty %s at %s\n", pty->slaveName().c_str(), opt.ptyLink.c_str());
  if (!opt.serialDevice.empty()) std::printf("kelvor-sim: serial %s\n", opt.serialDevice.c_str());
  std::fflush(stdout);

  io.run();
  if (pty) pty->removeLink();
  return 0;
}

}  // namespace
}  // namespace kelvor::sim

int main(int argc, char** argv) { return kelvor::sim::run(argc, argv); }
