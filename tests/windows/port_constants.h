// The port's own key codes and record flags by name, read in a file that
// does not include windows.h (whose macros of the same names would hide
// them).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

std::vector<std::pair<const char*, uint32_t>> PortConstants();
