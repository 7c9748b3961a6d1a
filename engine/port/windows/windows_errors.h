// Windows system error codes as errno values, so that callers on every
// system word them with strerror.
#pragma once

#include "engine/port/windows/win32.h"

namespace kelm::port {

// The errno value nearest to a system error (EIO when none is near).
int ErrnoFromWindows(DWORD error);

}  // namespace kelm::port
