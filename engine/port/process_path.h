// Where the running program's own executable lives.
#pragma once

#include <string>

namespace kelm::port {

// The absolute path of the running executable (as the kernel resolved it,
// symbolic links followed), or an empty string when it cannot be found out.
std::string ProgramPath();

}  // namespace kelm::port
