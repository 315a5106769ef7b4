// A pseudo-terminal whose slave is reachable through a symbolic link. The simulator keeps the
// slave open itself so the line survives clients coming and going; when a session drops the
// connection the pseudo-terminal is replaced by a new one behind the same link, so the old
// client sees a hang-up.
#pragma once

#include <asio.hpp>
#include <string>

#include "net/service.h"

namespace kelvor::sim::net {

class PtyPort {
 public:
  PtyPort(asio::io_context& io, Service& service, std::string link)
      : io_(io), service_(service), link_(std::move(link)) {}
  ~PtyPort() { removeLink(); }
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  // Creates the pseudo-terminal, points the link at it and serves it. A path at the link
  // that is not a symbolic link is left alone and refused, and so is a link in a directory
  // that others could change (see pointLink).
  bool open(std::string& error);
  // Prints the ready line "kelvor-sim: pty SLAVE at LINK" to stdout, flushed.
  void announce() const;
  void removeLink();

 private:
  void reopenLater();
  // Makes the link point at target: a new link under a name nobody can guess, created
  // exclusively, renamed over the old one. The directory must belong to the user or root and
  // be writable by nobody else, or have the sticky bit (like /tmp), so that no other user can
  // remove, rename or replace the link or its temporary name meanwhile.
  bool pointLink(const std::string& target, std::string& error);

  asio::io_context& io_;
  Service& service_;
  std::string link_;
  std::string slaveName_;
  int dir_ = -1;  // the link's directory, held open so it cannot be swapped under the link
  int hold_ = -1;
  bool linked_ = false;
};

}  // namespace kelvor::sim::net
