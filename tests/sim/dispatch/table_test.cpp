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

// A valid request for a signature: number fields 1, strings "x", records of ones.
std::vector<uint8_t> requestFor(std::string_view sig) {
  proto::Writer w;
  for (char c : sig) {
    if (const size_t n = proto::arrayLength(c)) {
      const std::vector<float> ones(n, 1.0f);
      w.floats(ones.data(), n);
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
        w.str("x");
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
