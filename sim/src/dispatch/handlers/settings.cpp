// Speeds, the current tool and work, tool, work and area definitions, calibration and link
// parameters.
#include "dispatch/handlers.h"
#include "dispatch/handlers/numbered.h"

namespace kelvor::sim::dispatch::handlers {

using model::Controller;
using model::H;
using model::PersistentState;
using model::Status;
using model::Table;

namespace {

template <class R>
Status getDefinition(Call& c, Table<R> table) {
  return getNumbered(c, &Controller::definition, table);
}

template <class R>
Status putDefinition(Call& c, Table<R> table) {
  return putNumbered(c, &Controller::define, table);
}

}  // namespace

Status get_Speed(Call& c) { return c.answer({}, c.ctl.speed()); }
Status put_Speed(Call& c) { return c.ctl.setSpeed(c.arg<float>()); }
Status get_ExtSpeed(Call& c) { return c.answer({}, c.ctl.extSpeed()); }
Status put_ExtSpeed(Call& c) { return c.ctl.setExtSpeed(c.arg<float>()); }
Status get_CurTool(Call& c) { return c.answer({}, c.ctl.tool()); }
Status put_CurTool(Call& c) { return c.ctl.setTool(c.arg<int32_t>()); }
Status get_CurWork(Call& c) { return c.answer({}, c.ctl.work()); }
Status put_CurWork(Call& c) { return c.ctl.setWork(c.arg<int32_t>()); }

Status get_ToolDef(Call& c) { return getDefinition(c, &PersistentState::tools); }
Status put_ToolDef(Call& c) { return putDefinition(c, &PersistentState::tools); }
Status get_WorkDef(Call& c) { return getDefinition(c, &PersistentState::works); }
Status put_WorkDef(Call& c) { return putDefinition(c, &PersistentState::works); }
Status get_AreaDef(Call& c) { return getDefinition(c, &PersistentState::areas); }
Status put_AreaDef(Call& c) { return putDefinition(c, &PersistentState::areas); }

Status get_CalData(Call& c) { return c.answer({}, c.ctl.calData()); }
Status put_CalData(Call& c) { return c.ctl.setCalData(c.arg<H>()); }

Status get_LinkParam(Call& c) {
  c.reply(c.ctl.linkSs());
  c.reply(c.ctl.linkAa());
  return {};
}

Status put_LinkParam(Call& c) {
  const auto ss = c.arg<H>();
  return c.ctl.setLinkParams(ss, c.arg<H>());
}

Status Calibrate(Call& c) {
  const auto rot = c.arg<H>();
  return c.ctl.calibrate(rot, c.arg<H>());
}

}  // namespace kelvor::sim::dispatch::handlers
