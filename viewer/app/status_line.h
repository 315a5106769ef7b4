// The status line: the joints, the position of the tool centre point in the work frame with its
// Fig, and the controller's state (motor, mode, moving or standing, the latched error); without
// a connection, why not and when the next try comes.
#pragma once

#include <QString>
#include <QStringList>

#include "state/arm_model.h"
#include "state/controller_state.h"

namespace kelvor::view {

// Three lines: joints, position, state.
inline constexpr int kStatusLines = 3;
QStringList statusLines(const Reading& reading, const ArmModel& model, const QString& connection);

// "Manual", "Teach", "Internal Auto", "External Auto" (get_OperationMode 1 to 4), else "Mode n".
QString modeName(int mode);

}  // namespace kelvor::view
