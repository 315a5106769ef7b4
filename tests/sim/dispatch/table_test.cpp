// The handler table against the protocol's function list: every function has a handler that
// reads exactly its request and, when it accepts, writes exactly its reply outputs.
#include "dispatch/table.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "model/controller.h"

namespace kelvor::sim::dispatch {
namespace {

// A valid request for a signature: number fields 1; the first string "@0" (a Path, a program
// name), the others "NEXT"; the arm at J = 0 as P and T, H and K records that are a valid tool,
// link parameter and calibration record (a spherical wrist), joints and areas of ones.
std::vector<float> recordFor(char c) {
  switch (c) {
    case 'H':
    case 'K':
      return {0, 300, 50, 0, 0, 0, 0};
    case 'P':
      return {480, 0, 700, 0, -90, 180, 0, 0};
    case 'T':
      return {480, 0, 700, 0, -1, 0, 1, 0, 0, 0, 0};
    default:
      return std::vector<float>(proto::arrayLength(c), 1.0f);
  }
}

std::vector<uint8_t> requestFor(std::string_view sig) {
  proto::Writer w;
  bool firstString = true;
  for (char c : sig) {
    if (const size_t n = proto::arrayLength(c)) {
      w.floats(recordFor(c).data(), n);
      continue;
    }
    switch (c) {
      case 'i':
        w.i32(1);
        break;
      case 'f':
        w.f32(1.0f);
        break;
      case 'd':
        w.f64(1.0);
        break;
      case 's':
        w.str(firstString ? "@0" : "NEXT");
        firstString = false;
        break;
      default:
        ADD_FAILURE() << "unknown signature character " << c;
    }
  }
  return w.take();
}

TEST(HandlerTable, EveryFunctionReadsItsRequestAndAnswersItsReply) {
  for (const proto::FuncInfo& f : proto::allFuncs()) {
    SCOPED_TRACE(f.name);
    const Handler handler = findHandler(f.id);
    ASSERT_NE(handler, nullptr);
    const std::vector<uint8_t> request = requestFor(f.request);
    bool accepted = false;
    // Some functions need the motor on, others off; internal automatic mode suits all.
    for (int32_t motor : {1, 0}) {
      model::Controller ctl;
      ASSERT_TRUE(ctl.setAutoMode(2).ok());
      ASSERT_TRUE(ctl.setMotor(motor).ok());
      Call call(ctl, request);
      const model::Status status = handler(call);
      EXPECT_TRUE(call.consumedRequest()) << "read past or short of the request";
      if (!status.ok()) {
        EXPECT_TRUE(call.outputs().empty()) << status.code;
        continue;
      }
      accepted = true;
      const auto& out = call.outputs();
      EXPECT_TRUE(proto::matchesSignature(f.reply, out.data(), out.size()))
          << "reply outputs do not match \"" << f.reply << "\"";
    }
    EXPECT_TRUE(accepted) << "a valid request is refused whatever the motor";
  }
}

TEST(HandlerTable, IdsOutsideTheProtocolHaveNoHandler) {
  for (uint16_t id : {0x0000, 0x0002, 0x00FF, 0x7777, 0xFFFF}) {
    EXPECT_EQ(findHandler(id), nullptr) << id;
  }
}

}  // namespace
}  // namespace kelvor::sim::dispatch
