// The variables: get_VarX(no) and put_VarX(no, value) for every variable type.
#include "dispatch/handlers.h"
#include "dispatch/handlers/numbered.h"

namespace kelvor::sim::dispatch::handlers {

using model::Controller;
using model::PersistentState;
using model::Status;
using model::Table;

namespace {

template <class Value>
Status getVar(Call& c, Table<Value> table) {
  return getNumbered(c, &Controller::variable, table);
}

template <class Value>
Status putVar(Call& c, Table<Value> table) {
  return putNumbered(c, &Controller::setVariable, table);
}

}  // namespace

Status get_VarI(Call& c) { return getVar(c, &PersistentState::varI); }
Status put_VarI(Call& c) { return putVar(c, &PersistentState::varI); }
Status get_VarF(Call& c) { return getVar(c, &PersistentState::varF); }
Status put_VarF(Call& c) { return putVar(c, &PersistentState::varF); }
Status get_VarD(Call& c) { return getVar(c, &PersistentState::varD); }
Status put_VarD(Call& c) { return putVar(c, &PersistentState::varD); }
Status get_VarS(Call& c) { return getVar(c, &PersistentState::varS); }
Status put_VarS(Call& c) { return putVar(c, &PersistentState::varS); }
Status get_VarIO(Call& c) { return getVar(c, &PersistentState::varIO); }
Status put_VarIO(Call& c) { return putVar(c, &PersistentState::varIO); }
Status get_VarV(Call& c) { return getVar(c, &PersistentState::varV); }
Status put_VarV(Call& c) { return putVar(c, &PersistentState::varV); }
Status get_VarP(Call& c) { return getVar(c, &PersistentState::varP); }
Status put_VarP(Call& c) { return putVar(c, &PersistentState::varP); }
Status get_VarJ(Call& c) { return getVar(c, &PersistentState::varJ); }
Status put_VarJ(Call& c) { return putVar(c, &PersistentState::varJ); }
Status get_VarT(Call& c) { return getVar(c, &PersistentState::varT); }
Status put_VarT(Call& c) { return putVar(c, &PersistentState::varT); }

}  // namespace kelvor::sim::dispatch::handlers
