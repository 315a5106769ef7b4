// kelvor-sim: a virtual controller serving the controller protocol over TCP, a
// pseudo-terminal or a serial port.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
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

#include "controller.h"
#include "faults.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "port_access.h"
#include "serial_speed.h"
#include "state_file.h"

namespace kelvor::sim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

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
  Identity identity;
};

// What all connections share: one controller, the fault rules and the options.
struct Shared {
  Options opt;
  Controller controller;
  Faults faults;

  void trace(const std::string& who, const proto::Frame& f) const {
    if (opt.trace) std::cerr << who << ' ' << proto::describeFrame(f) << std::endl;
  }

  // Executes one request atomically (the io_context runs on one thread) and stores the
  // persistent state before the reply leaves.
  Controller::Result execute(const proto::Frame& req) {
    if (auto code = faults.takeFailure(req.func)) return controller.inject(*code);
    Controller::Result res = controller.handle(req.func, req.payload);
    if (res.persistentChange && !opt.stateFile.empty()) {
      std::string error;
      if (!saveState(opt.stateFile, controller.persistent(), error)) {
        std::cerr << "kelvor-sim: " << error << std::endl;
        res = controller.inject(KLV_C_STORAGE_FAILED);
      }
    }
    return res;
  }
};

// One peer: reads requests, answers them one after the other.
template <class Stream>
class Session : public std::enable_shared_from_this<Session<Stream>> {
 public:
  Session(Shared& shared, Stream stream, std::string name, std::function<void()> onEnd)
      : shared_(shared),
        stream_(std::move(stream)),
        timer_(stream_.get_executor()),
        name_(std::move(name)),
        onEnd_(std::move(onEnd)) {}

  void start() { readMore(); }

 private:
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
    shared_.trace(name_, req);
    const long drop = shared_.opt.dropAfter;
    if (drop > 0 && requests_ >= drop) {
      // Hang up instead of answering; the peer has read every earlier reply.
      if (shared_.opt.trace) std::cerr << name_ << " dropping the connection" << std::endl;
      end();
      return;
    }
    ++requests_;
    Controller::Result res = shared_.execute(req);
    proto::Frame reply;
    reply.type = proto::FrameType::kReply;
    reply.seq = req.seq;
    reply.func = req.func;
    reply.payload = std::move(res.payload);
    const auto now = Clock::now();
    auto replyAt = now + std::chrono::milliseconds(shared_.faults.delayFor(req.func));
    bool progress = false;
    if (res.motion && shared_.opt.motionTimeMs > 0) {
      replyAt += std::chrono::milliseconds(shared_.opt.motionTimeMs);
      shared_.controller.setMovingUntil(replyAt);
      progress = true;
    }
    waitThenReply(std::move(reply), replyAt, progress);
  }

  // Sends "in progress" frames every kProgressInterval until replyAt, then the reply.
  void waitThenReply(proto::Frame reply, Clock::time_point replyAt, bool progress) {
    auto self = this->shared_from_this();
    if (replyAt <= Clock::now()) {
      send(std::move(reply));
      return;
    }
    const bool tick = progress && replyAt - Clock::now() > kProgressInterval;
    timer_.expires_at(tick ? Clock::now() + kProgressInterval : replyAt);
    timer_.async_wait([self, reply = std::move(reply), replyAt, tick,
                       progress](const asio::error_code& ec) mutable {
      if (ec) return;
      if (!tick) {
        self->send(std::move(reply));
        return;
      }
      proto::Frame p;
      p.type = proto::FrameType::kProgress;
      p.seq = reply.seq;
      p.func = reply.func;
      self->shared_.trace(self->name_, p);
      auto bytes = std::make_shared<std::vector<uint8_t>>(proto::encodeFrame(p));
      asio::async_write(self->stream_, asio::buffer(*bytes),
                        [self, bytes, reply = std::move(reply), replyAt, progress](
                            const asio::error_code& wec, size_t) mutable {
                          if (wec) {
                            self->end();
                            return;
                          }
                          self->waitThenReply(std::move(reply), replyAt, progress);
                        });
    });
  }

  void send(proto::Frame reply) {
    shared_.trace(name_, reply);
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

  Shared& shared_;
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

bool makeRaw(int fd, int baud, std::string& error) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    error = std::string("tcgetattr: ") + std::strerror(errno);
    return false;
  }
  ::cfmakeraw(&tio);
  const speed_t speed = kelvor::serialSpeed(baud);  // --baud allows only these rates
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  tio.c_cflag |= CLOCAL | CREAD;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    error = std::string("tcsetattr: ") + std::strerror(errno);
    return false;
  }
  return true;
}

// A pseudo-terminal whose slave is reachable through a symbolic link. The simulator keeps
// the slave open itself so the line survives clients coming and going; dropping the
// connection replaces the pseudo-terminal with a new one behind the same link.
class PtyPort {
 public:
  PtyPort(asio::io_context& io, Shared& shared, std::string link)
      : io_(io), shared_(shared), link_(std::move(link)) {}
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
    if (hold_ < 0 || !makeRaw(hold_, 115200, error)) {
      if (error.empty()) error = std::string("cannot open ") + name;
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
    auto session = std::make_shared<FdSession>(shared_, asio::posix::stream_descriptor(io_, master),
                                               "[pty]", [this] { reopenLater(); });
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
  Shared& shared_;
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
  TcpServer(asio::io_context& io, Shared& shared, const asio::ip::tcp::endpoint& ep)
      : shared_(shared), acceptor_(io) {
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
        if (shared_.opt.trace) {
          std::cerr << name << " connected from " << peer.address().to_string() << ':'
                    << peer.port() << std::endl;
        }
        std::make_shared<Session<asio::ip::tcp::socket>>(shared_, std::move(socket), name, nullptr)
            ->start();
      }
      if (ec != asio::error::operation_aborted) accept();
    });
  }

 private:
  Shared& shared_;
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
    "To make the pty one of the tester's COM ports, name a virtual port: --pty COM200 (COM129\n"
    "to COM256) links it in the user's private directory ($XDG_RUNTIME_DIR/kelvor, else\n"
    "/tmp/kelvor-UID), created with mode 0700 if missing and refused unless private.\n";

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
                 "also serve a new pseudo-terminal behind the virtual port COMn (129 to 256), or "
                 "make LINK a symbolic link to it");
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

  Shared shared{opt, Controller(opt.identity), {}};
  shared.controller.setProtocolVersion(static_cast<uint16_t>(opt.protocolVersion));
  shared.controller.setAutoMode(opt.autoMode);
  std::string error;
  for (const std::string& f : opt.fails) {
    auto rule = parseFailRule(f, error);
    if (!rule) {
      std::cerr << "kelvor-sim: --fail: " << error << std::endl;
      return 2;
    }
    shared.faults.fails.push_back(*rule);
  }
  for (const std::string& d : opt.delays) {
    auto rule = parseDelayRule(d, error);
    if (!rule) {
      std::cerr << "kelvor-sim: --delay: " << error << std::endl;
      return 2;
    }
    shared.faults.delays.push_back(*rule);
  }
  if (!opt.stateFile.empty() && !loadState(opt.stateFile, shared.controller.persistent(), error)) {
    std::cerr << "kelvor-sim: " << error << std::endl;
    return 1;
  }
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
    tcp = std::make_unique<TcpServer>(io, shared, ep);
  } catch (const std::exception& e) {
    std::cerr << "kelvor-sim: cannot listen on " << opt.listen << ": " << e.what() << std::endl;
    return 1;
  }
  tcp->accept();
  const auto local = tcp->endpoint();
  const std::string addr = local.address().is_v6() ? "[" + local.address().to_string() + "]"
                                                   : local.address().to_string();
  std::unique_ptr<PtyPort> pty;
  std::string ptyLink;
  if (!opt.ptyLink.empty()) {
    if (!kelvor::ptyLinkPath(opt.ptyLink, ptyLink, error)) {
      std::cerr << "kelvor-sim: --pty: " << error << std::endl;
      return 1;
    }
    pty = std::make_unique<PtyPort>(io, shared, ptyLink);
    if (!pty->open(error)) {
      std::cerr << "kelvor-sim: " << error << std::endl;
      return 1;
    }
  }
  if (!opt.serialDevice.empty()) {
    const int fd = ::open(opt.serialDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || !makeRaw(fd, opt.baud, error)) {
      std::cerr << "kelvor-sim: cannot open " << opt.serialDevice << ": "
                << (error.empty() ? std::strerror(errno) : error) << std::endl;
      return 1;
    }
    ::tcflush(fd, TCIOFLUSH);
    std::make_shared<FdSession>(shared, asio::posix::stream_descriptor(io, fd), "[serial]", [] {
      std::cerr << "kelvor-sim: serial port closed" << std::endl;
    })->start();
  }

  std::printf("kelvor-sim: listening on %s:%u\n", addr.c_str(), local.port());
  if (pty) std::printf("kelvor-sim: pty %s at %s\n", pty->slaveName().c_str(), ptyLink.c_str());
  if (!opt.serialDevice.empty()) std::printf("kelvor-sim: serial %s\n", opt.serialDevice.c_str());
  std::fflush(stdout);

  io.run();
  if (pty) pty->removeLink();
  return 0;
}

}  // namespace
}  // namespace kelvor::sim

int main(int argc, char** argv) { return kelvor::sim::run(argc, argv); }
