// Handshake, identity, modes, the error latch and tasks.
#include "dispatch/handlers.h"

namespace kelvor::sim::dispatch::handlers {

using model::Status;

Status Hello(Call& c) {
  c.arg<int32_t>();      // the client's protocol version, checked for its connection
  c.arg<std::string>();  // the client's name
  const model::Identity& id = c.ctl.identity();
  c.reply(static_cast<int32_t>(id.protocolVersion));
  c.reply(id.greeting());
  return {};
}

Status get_RomVersion(Call& c) { return c.answer({}, c.ctl.identity().romVersion); }
Status get_SerialNo(Call& c) { return c.answer({}, c.ctl.identity().serialNo); }
Status get_RobotType(Call& c) { return c.answer({}, c.ctl.identity().robotType); }

Status get_OperationMode(Call& c) { return c.answer({}, c.ctl.operationMode()); }
Status get_MotorState(Call& c) { return c.answer({}, c.ctl.motor()); }
Status put_MotorState(Call& c) { return c.ctl.setMotor(c.arg<int32_t>()); }
Status get_AutoMode(Call& c) { return c.answer({}, c.ctl.autoMode()); }
Status put_AutoMode(Call& c) { return c.ctl.setAutoMode(c.arg<int32_t>()); }
Status get_AutoEnable(Call& c) { return c.answer({}, c.ctl.autoEnable()); }
Status get_DeadmanSwitch(Call& c) { return c.answer({}, c.ctl.deadmanSwitch()); }
Status get_EmergencyStop(Call& c) { return c.answer({}, c.ctl.emergencyStop()); }
Status get_RobSlaveState(Call& c) { return c.answer({}, c.ctl.slaveMode()); }
Status StartRobSlave(Call& c) { return c.ctl.startSlave(); }

Status StopRobSlave(Call& c) {
  c.ctl.stopSlave();
  return {};
}

Status get_ErrorCode(Call& c) { return c.answer({}, c.ctl.errorCode()); }
Status get_ErrorDescription(Call& c) { return c.answer({}, c.ctl.errorDescription()); }

Status ClearError(Call& c) {
  c.ctl.clearError(c.arg<int32_t>());
  return {};
}

Status StartTask(Call& c) {
  const auto task = c.arg<int32_t>();
  return c.ctl.startTask(task, c.arg<std::string>());
}

Status StopTask(Call& c) { return c.ctl.stopTask(c.arg<int32_t>()); }

Status get_TaskState(Call& c) {
  int32_t state = 0;
  return c.answer(c.ctl.taskState(c.arg<int32_t>(), state), state);
}

}  // namespace kelvor::sim::dispatch::handlers
