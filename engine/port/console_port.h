// The console port: every platform service the engine and the viewer use.
//
// Nothing above engine/port/ includes a system header for terminals,
// clipboards, dialogs or processes; it asks the current port instead. The
// backends are the real terminal (engine/port/terminal/) and an in-memory
// console for tests (engine/port/virtual/).
//
// All calls are made from the frame thread, except Setup-free queries made by
// the start-up code on the main thread before the frame thread runs (title,
// open dialog, ticks).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/port/console_types.h"

namespace kelm::port {

// Where SetClipboardText put a text, as far as the port can tell.
enum class ClipboardTarget : uint8_t {
  System,         // the system clipboard (a desktop clipboard tool was started)
  TerminalOsc52,  // sent to the terminal as OSC 52 only: the terminal may or may
                  // not pass it on to the system clipboard, nothing confirms it
  ProcessOnly,    // kept in this process only (too large for OSC 52, no tool)
  Failed,         // nowhere: the system clipboard could not be opened
};

// Red, green and blue of each of the 16 console colours, indexed in the
// console's order.
struct ColourTable {
  uint8_t rgb[16][3]{};
};

// The result of the "open with" prompt, as the shell's result codes.
inline constexpr uint32_t kOpenWithOk = 0;
inline constexpr uint32_t kOpenWithCancelled = 0x800704C7;
inline constexpr uint32_t kOpenWithAccessDenied = 0x80070005;
inline constexpr uint32_t kOpenWithFileNotFound = 0x80070002;
inline constexpr uint32_t kOpenWithFail = 0x80004005;

// The message printed, followed by the error code, when the console cannot be
// set up (by the engine when Setup fails, by the program when a dialog asked
// for before the engine runs cannot take the console).
inline constexpr const char* kConsoleSetupFailure = "FATAL ERROR IN SETTING UP CONSOLE. Code: ";

class ConsolePort {
 public:
  virtual ~ConsolePort() = default;

  // --- console ---------------------------------------------------------------
  // Takes the console for the engine (raw input, mouse, hidden cursor, no
  // wrapping). On failure yields false and an error code for the fatal message.
  virtual bool Setup(uint32_t& errorCode) = 0;
  // Gives the console back as it was found. Safe to call more than once.
  virtual void Restore() = 0;
  // The visible window: Right is the last visible column, Bottom the last row.
  virtual bool GetWindowRect(SMALL_RECT& window) = 0;
  // Input records waiting to be read.
  virtual uint32_t PendingInputCount() = 0;
  // Reads up to `max` waiting records without blocking; yields how many.
  virtual uint32_t ReadInput(INPUT_RECORD* records, uint32_t max) = 0;
  // Shows a whole frame of width x height cells at the top-left of the screen
  // and leaves the cursor at (0, 0).
  virtual void WriteFrame(const CHAR_INFO* cells, int width, int height) = 0;
  // The same cells as the previous WriteFrame or WriteSameFrame call. A
  // backend whose screen still shows them may skip the work (an idle frame);
  // by default the frame is written again.
  virtual void WriteSameFrame(const CHAR_INFO* cells, int width, int height) { WriteFrame(cells, width, height); }
  virtual void SetTitle(const std::u16string& title) = 0;
  // Whether the console window is the foreground window.
  virtual bool IsForeground() = 0;
  virtual bool GetColourTable(ColourTable& table) = 0;
  // Whether the program was asked to end (a signal such as SIGTERM or SIGHUP,
  // or the terminal going away), with the exit status to use. Polled by the
  // frame loop once per poll.
  virtual bool TakeQuitRequest(int& status) {
    (void)status;
    return false;
  }
  // Whether a dialog asked for before the console was ever set up failed
  // because the console cannot be set up, with the error code (as Setup's).
  // The port only reports it; the caller prints kConsoleSetupFailure and
  // ends. Taking it clears it.
  virtual bool TakeSetupFailure(uint32_t& errorCode) {
    (void)errorCode;
    return false;
  }

  // --- keyboard --------------------------------------------------------------
  // As the system call: bit 15 set while the key is down, bit 0 set when the
  // key was pressed since the previous query of that key (the query clears it).
  virtual int16_t GetAsyncKeyState(int virtualKey) = 0;
  // The character the key produces under the current keyboard state, 0 when
  // it produces none.
  virtual char16_t KeyToChar(uint16_t virtualKey) = 0;

  // --- clipboard -------------------------------------------------------------
  // Puts the text on the clipboard and tells where it went.
  virtual ClipboardTarget SetClipboardText(const std::u16string& text) = 0;
  // Nothing when the clipboard holds no text or cannot be read.
  virtual std::optional<std::u16string> GetClipboardText() = 0;

  // --- dialogs (modal: they block the calling thread until answered) ---------
  // A path chosen by the user, or nothing when cancelled. `startDir` may be
  // empty (working directory).
  virtual std::optional<std::string> OpenFileDialog(const std::string& startDir) = 0;
  virtual std::optional<std::string> SaveFileDialog(const std::string& startDir) = 0;
  // Lets the user run another program on the file. Yields kOpenWithOk,
  // kOpenWithCancelled or a failure code.
  virtual uint32_t OpenWithDialog(const std::string& path) = 0;
  // A message with one OK button.
  virtual void MessageBox(const std::u16string& text, const std::u16string& caption) = 0;
  // Writes text where the user sees it outside the engine's frame.
  virtual void WriteReport(const std::string& text) = 0;
  // "Press any key to continue . . ." and waits for one key.
  virtual void Pause() = 0;

  // --- time ------------------------------------------------------------------
  // Milliseconds of a monotonic clock (never steps back; its origin is the
  // backend's). The frame clock, time-outs and the caret all use it.
  virtual uint64_t Ticks() = 0;
  // Seconds of the wall clock since 1970, only for showing dates (the names
  // of screenshot files).
  virtual int64_t WallClockSeconds();
  // Waits up to `milliseconds` (kWaitForever: no time-out at all); ends early
  // when input arrives, when WakeWaiter is called, and in the terminal also
  // on a signal or when a pending Esc must be resolved. A backend may return
  // at once when input was handed over since the last wait.
  virtual void WaitForInput(uint32_t milliseconds) = 0;
  // Ends a WaitForInput now or, if none is under way, the next one at once.
  // Callable from any thread.
  virtual void WakeWaiter() {}
  // Whether input is waiting to be read (not yet handed over), without
  // reading it: background work ends its slice early so that a key is seen
  // at once.
  virtual bool InputWaiting() { return false; }
  // Whether the console reports gaining the focus as input, so that waiting
  // for the foreground can be a wait for input without a time-out.
  virtual bool ReportsFocusChanges() const { return false; }
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// WaitForInput without a time-out.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFF;

// The port in use. Set once at start-up (the terminal) or by each test (the
// virtual console). Never null after SetPort.
ConsolePort& Port();
void SetPort(ConsolePort* port);
bool HasPort();

}  // namespace kelm::port
