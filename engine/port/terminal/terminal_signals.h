// Process-wide signal handling of the terminal session, and the emergency
// restore that every abnormal exit path runs.
//
// The handlers only set flags and write one byte to a self-pipe (which wakes
// the frame loop's poll); the loop acts on them: quit requests (SIGTERM,
// SIGHUP, and SIGINT/SIGQUIT, which with ISIG off only come from kill), stop
// requests (SIGTSTP from kill), continuation (SIGCONT) and size changes
// (SIGWINCH). A second quit signal restores the terminal and re-raises at once,
// so a stuck program can still be killed. Crashes (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT) write the precomputed restore string and the saved terminal
// settings with async-signal-safe calls only, on an alternate stack, then die
// by the default action. exit() and std::terminate run the same restore.
// SIGPIPE is ignored.
#pragma once

#include <termios.h>

#include <string_view>

namespace kelm::port::terminal_signals {

// Installs the handlers, the alternate stack, the exit hooks and the
// self-pipe (once per process; later calls only change the terminal fd).
bool Install(int ttyFd);
// Puts back the default actions of the quit, stop and continue signals.
void Uninstall();

// From now on every abnormal exit restores the terminal: writes
// `restoreString` to the terminal and applies `original`.
void Arm(const termios& original, std::string_view restoreString);
// Replaces the restore string (modes entered or left).
void SetRestoreString(std::string_view restoreString);
// Hands the restore over to the caller: yields true exactly once per Arm,
// either here or in the emergency path, never both.
bool Disarm();
// The emergency restore (async-signal-safe; does nothing when disarmed).
void EmergencyRestore();

// Stops the whole process group as the terminal driver does for Ctrl+Z (the
// default action of SIGTSTP) and returns once the process was continued, the
// stop handler back in place. Yields false when no stop happened within
// kStopTimeoutMs (a process group without a shell to continue it, whose
// stop signals the system discards).
//
// The signal is sent to the process group, so any thread of this process
// may be the one that takes it, a moment after kill() returned; the handler
// is put back only once SIGCONT was seen, or that thread would run the
// handler instead of stopping and the stop would be lost.
bool StopProcessGroup();
inline constexpr int kStopTimeoutMs = 1000;

// Read end of the self-pipe (readable when a signal arrived).
int WakeFd();
// Empties the self-pipe.
void DrainWakeFd();

// The first quit signal received (0 if none). It stays set: a second quit
// signal then takes the direct restore-and-die path.
int QuitSignal();
bool TakeStopRequest();
bool TakeContinued();
bool TakeResized();

}  // namespace kelm::port::terminal_signals
