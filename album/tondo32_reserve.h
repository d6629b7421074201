// The album manager's side of the reservation notices: the library tells the
// manager each queue change besides the host.
#pragma once

#include "album/reserve.h"

namespace album {

// Replaces the manager's notice (empty: none).
void SetTondo32ManagerReserveNotice(ReserveNotice notice);

} // namespace album
