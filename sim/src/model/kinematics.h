// The placeholder kinematics of the simulated robot: simple, deterministic and exactly
// invertible where the position forms allow it.
//   J = (X/2, Y/2, Z/2, A, B, C, extra, 0, 0)
//   T = X, Y, Z, the orientation and approach columns of Rz(A) Ry(B) Rz(C), Fig, extra
#pragma once

#include "model/records.h"

namespace kelvor::sim::model {

J p2j(const P& p);
// fig becomes the pose's Fig.
P j2p(const J& j, int fig);
T p2t(const P& p);
P t2p(const T& t);

}  // namespace kelvor::sim::model
