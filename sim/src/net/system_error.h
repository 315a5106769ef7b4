// Error tests on the event loop's paths that also run at the descriptor limit.
#pragma once

#include <asio/error.hpp>

namespace kelvor::sim::net {

// Whether ec is the system error `value`. It compares the category's address rather than the
// categories themselves: a sanitized build checks every member call on a category object, and
// that check needs a pipe, for which there may be no descriptor left.
inline bool isSystemError(const asio::error_code& ec, int value) {
  return ec.value() == value && &ec.category() == &asio::system_category();
}

}  // namespace kelvor::sim::net
