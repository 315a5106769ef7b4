// The plainest server of the controller's frames: one thread, one epoll set, level-triggered.
// It reads each request frame and answers it with one fixed reply, so that what it serves per
// second is the ceiling a frame server on this machine can reach: one epoll_wait, one read and
// one write per request.
#pragma once

#include <cstdint>
#include <span>

namespace kelvor::bench {

// Accepts peers on the listening socket listenFd and answers every complete request frame
// with reply, until it fails. Does not return in normal operation.
[[noreturn]] void serveEpollBaseline(int listenFd, std::span<const uint8_t> reply);

}  // namespace kelvor::bench
