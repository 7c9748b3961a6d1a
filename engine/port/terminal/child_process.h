// Starting other programs from the terminal backend: the "open with" program
// in the foreground, and clipboard tools in the background. Never through a
// shell: the argument vector goes to the program as it is.
#pragma once

#include <string>
#include <vector>

namespace kelm::port {

struct ForegroundRun {
  bool started = false;  // the program was found and executed
  int error = 0;         // errno of the failed start (ENOENT, EACCES, ...)
  int status = 0;        // wait status of the program once it ended
};

// Runs argv[0] (searched in PATH) on our terminal and waits for it to end.
// While it runs, SIGINT and SIGQUIT are ignored here (the child gets them from
// its keys, as with system()), and SIGTSTP stops us together with it. The
// caller gives the terminal back to the child before and takes it again after.
ForegroundRun RunInForeground(const std::vector<std::string>& argv);

// Starts argv[0] (searched in PATH) in its own session with `input` on its
// standard input and standard output and error on /dev/null. Does not wait:
// finished children are reaped by ReapDetachedChildren. Yields false when the
// program could not be started.
bool StartDetached(const std::vector<std::string>& argv, const std::string& input);

// Collects the exit status of detached children that ended (never blocks).
void ReapDetachedChildren();

// Whether an executable file of that name is in one of PATH's directories
// (or, for a name with a slash, at that path).
bool FindInPath(const std::string& name);

}  // namespace kelm::port
