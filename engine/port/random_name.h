// Names that another user cannot guess, for temporary files.
//
// A temporary file beside a target is created exclusively under one of
// these names: a name that can be predicted (a process id and a counter)
// lets anyone who can write to the folder create those names first and so
// block every write, or wait at them.
#pragma once

#include <string>

namespace kelm::port {

// `length` characters of [a-z0-9] drawn from the system's random source.
std::string UnpredictableName(size_t length);

// How many tries an exclusive create makes before it gives up: with names
// that cannot be guessed, a name already taken is an accident, not a siege.
inline constexpr int kExclusiveCreateTries = 64;

}  // namespace kelm::port
