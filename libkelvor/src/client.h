// The connection behind the C interface, for tests and fuzzing that bring their own transport.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "transport.h"

namespace kelvor::lib {

// What klv_Connect() does once the line is open: the handshake over transport, then the
// connection that every later call uses, with timeout as the reply timeout. The handshake is
// bounded by the same timeout. KLV_E_ALREADY_CONNECTED while a connection exists.
int32_t connectOver(std::unique_ptr<Transport> transport, std::chrono::milliseconds timeout);

}  // namespace kelvor::lib
