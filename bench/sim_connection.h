// One kelvor-sim per benchmark program, started and connected by the first benchmark that
// needs it, disconnected and stopped at the end.
#pragma once

#include <memory>

#include "kelvor.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::bench {

inline std::unique_ptr<test::SimProcess>& simProcess() {
  static std::unique_ptr<test::SimProcess> sim;
  return sim;
}

inline void connectOnce() {
  if (!simProcess()) {
    simProcess() = std::make_unique<test::SimProcess>();
    test::connect(simProcess()->eth(), 1000);
  }
}

inline void disconnectAndStop() {
  if (!simProcess()) return;
  klv_Disconnect();
  simProcess().reset();
}

}  // namespace kelvor::bench
