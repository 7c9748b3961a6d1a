// A process's memory as its /proc/<pid>/status tells it, for the checks and
// benchmarks that memory stays flat (RssAnon: the private memory in use, not
// the page cache of the files a process reads and writes).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace process_memory {

// The value in KiB of a "Field:   N kB" line of /proc/<pid>/status ("self"
// for this process), or -1 when the process or the line is not there.
inline int64_t StatusKiB(const std::string& pid, const std::string& field) {
  std::ifstream in("/proc/" + pid + "/status");
  const std::string prefix = field + ":";
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    try {
      return std::stoll(line.substr(prefix.size()));
    } catch (...) {
      return -1;
    }
  }
  return -1;
}

inline int64_t RssAnonKiB(const std::string& pid = "self") { return StatusKiB(pid, "RssAnon"); }

}  // namespace process_memory
