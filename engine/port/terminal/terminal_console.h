// The console port on a real terminal (xterm-compatible: tmux, VTE, konsole,
// kitty, alacritty, foot, wezterm, xterm; locally or over SSH).
//
// Makes a terminal look like the console the engine was built for: decoded
// key and mouse records, a window size, whole frames of cells, the keyboard
// state, a clipboard and modal dialogs. The tty itself (raw mode, modes,
// restore on every exit path, signals) is the TerminalSession's.
//
// Calls come from the frame thread, and during start-up also from the main
// thread (title, dialogs, ticks); a mutex keeps them apart.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/port/console_port.h"
#include "engine/port/terminal/palette_reply.h"
#include "engine/port/terminal/codec/vt_input.h"
#include "engine/port/terminal/codec/vt_output.h"
#include "engine/port/terminal/key_state_tracker.h"
#include "engine/port/terminal/system_clipboard.h"
#include "engine/port/terminal/dialogs/file_chooser_loop.h"
#include "engine/port/terminal/terminal_session.h"

namespace kelm::port {

class TerminalConsole : public ConsolePort {
 public:
  explicit TerminalConsole(TerminalSessionOptions options = {});
  ~TerminalConsole() override;

  // --- console ---------------------------------------------------------------
  // Opens the terminal and enters the modes. The keyboard protocol is chosen
  // by asking the terminal: the kitty protocol when it answers the kitty
  // query, else xterm's modifyOtherKeys. Calling it again while set up does
  // nothing.
  bool Setup(uint32_t& errorCode) override;
  void Restore() override;
  // Right = columns - 1 (the rightmost column is never drawn), Bottom = rows - 1.
  bool GetWindowRect(SMALL_RECT& window) override;
  uint32_t PendingInputCount() override;
  // Reads up to `max` records, but never past a mouse button change, so that
  // each press and each release gets a poll of its own.
  uint32_t ReadInput(INPUT_RECORD* records, uint32_t max) override;
  // Writes what changed since the frame before (nothing at all for the same
  // frame again).
  void WriteFrame(const CHAR_INFO* cells, int width, int height) override;
  void WriteSameFrame(const CHAR_INFO* cells, int width, int height) override;
  void SetTitle(const std::u16string& title) override;
  // False after a focus-out report until a focus-in report; true when the
  // terminal sends no focus reports at all.
  bool IsForeground() override;
  // The classic console palette (terminals do not tell their colours here).
  bool GetColourTable(ColourTable& table) override;
  // A quit signal (status 128 + signal), the terminal hung up (status 129,
  // as for SIGHUP), or F10 in the file chooser (status 0).
  bool TakeQuitRequest(int& status) override;
  bool TakeSetupFailure(uint32_t& errorCode) override;

  // --- keyboard --------------------------------------------------------------
  int16_t GetAsyncKeyState(int virtualKey) override;
  char16_t KeyToChar(uint16_t virtualKey) override;

  // --- clipboard -------------------------------------------------------------
  // Keeps the text in-process, sends it to the terminal's clipboard with OSC 52
  // and, on a local desktop, to wl-copy / xclip / xsel. System when a tool was
  // started, TerminalOsc52 when OSC 52 alone carried it, ProcessOnly when
  // neither could.
  ClipboardTarget SetClipboardText(const std::u16string& text) override;
  // The display and login the desktop tool is chosen for: the process's own
  // environment, taken when the console is made.
  void SetClipboardEnvironment(const ClipboardEnvironment& environment);
  // The in-process text: the last copy or bracketed paste.
  std::optional<std::u16string> GetClipboardText() override;

  // --- dialogs ---------------------------------------------------------------
  std::optional<std::string> OpenFileDialog(const std::string& startDir) override;
  std::optional<std::string> SaveFileDialog(const std::string& startDir) override;
  // A command prompt (remembering the last command; xdg-open at first when
  // installed). The command runs on the file in the foreground on this
  // terminal, the viewer's screen suspended meanwhile.
  uint32_t OpenWithDialog(const std::string& path) override;
  void MessageBox(const std::u16string& text, const std::u16string& caption) override;
  // Writes the text from the top-left corner over the picture.
  void WriteReport(const std::string& text) override;
  void Pause() override;

  // --- time ------------------------------------------------------------------
  // The steady clock: a wall-clock step never stalls or hurries frames.
  uint64_t Ticks() override;
  // Waits up to `milliseconds` (kWaitForever: without a time-out), less when
  // input, a signal or WakeWaiter arrives or a pending Esc must be resolved
  // earlier; not at all right after input was read, so that the frame
  // showing its effect follows at once.
  void WaitForInput(uint32_t milliseconds) override;
  // Writes a byte to a pipe of its own that every wait also watches.
  void WakeWaiter() override;
  // Records queued, bytes the decoder has not decided on yet (a lone Esc),
  // or bytes or a signal waiting on the terminal.
  bool InputWaiting() override;
  // Focus changes arrive as focus reports; a terminal that sends none is
  // always the foreground.
  bool ReportsFocusChanges() const override { return true; }
  void Sleep(uint32_t milliseconds) override;

  // --- for tests and diagnostics ---------------------------------------------
  bool KittyKeyboardActive() const { return session_.Modes().Contains(kModeKittyKeyboard); }
  const TerminalSession& Session() const { return session_; }

  // The longest wait for the terminal's answer to the keyboard query.
  static constexpr int kQueryTimeoutMs = 200;
  // Records kept waiting at most; reading the terminal pauses above this.
  static constexpr size_t kMaxQueuedRecords = 1024;

 private:
  class DialogAdapter;
  friend class DialogAdapter;

  bool SetupLocked(uint32_t& errorCode);
  // Reads what the terminal sent, decodes it and queues the records.
  void Pump();
  void Dispatch(std::vector<VtEvent>& events);
  void Queue(const INPUT_RECORD& record);
  void HandleSignals();
  void Resumed();
  // The screen no longer shows what the encoder thinks: the next frame is
  // drawn whole.
  void InvalidateScreen();
  // The terminal's width in columns (the frame is one narrower).
  int TerminalColumns();
  void DetectKeyboardProtocol();
  // Ensures the terminal is set up for a dialog; false when it cannot be.
  bool PrepareDialog();
  // The file chooser for the open and save dialogs (the lock held).
  std::optional<std::string> ChooseFile(PathPromptKind kind, const std::string& startDir);
  // Clears every key's "pressed since the last query" record (after a
  // modal dialog ate the keys that answered it).
  void ForgetKeyPresses();
  uint64_t MonotonicMs() const;
  void DrainWakePipe();

  std::recursive_mutex mutex_;
  // WakeWaiter's pipe: read end, write end (-1 when it could not be made).
  int wakePipe_[2] = {-1, -1};
  TerminalSession session_;
  VtInputDecoder decoder_;
  VtOutputEncoder encoder_;
  KeyStateTracker keys_;
  ClipboardEnvironment clipboardEnvironment_;
  std::deque<INPUT_RECORD> queue_;
  std::vector<VtEvent> events_;
  std::string frameBytes_;
  std::vector<CHAR_INFO> lastFrame_;
  int lastFrameWidth_ = 0;
  int lastFrameHeight_ = 0;
  // The terminal shows lastFrame_ exactly (no dialog, report or resume since).
  bool screenShowsLastFrame_ = false;
  // lastFrame_ holds the cells of the latest WriteFrame call (which may have
  // come while the terminal was not ours and been dropped).
  bool lastFrameCurrent_ = false;
  // Input was handed to the engine since the last wait.
  bool promptFrame_ = false;
  // False after a wait that timed out: nothing arrived to be read.
  bool mayHaveInput_ = true;
  bool foreground_ = true;
  bool skipSuspendKeyUp_ = false;
  bool suspendRequested_ = false;
  bool redrawNeeded_ = false;
  std::optional<std::u16string> clipboard_;
  std::u16string title_;
  std::string lastOpenWith_;
  bool openWithInitialised_ = false;
  bool everSetUp_ = false;
  // The set-up failure of a dialog asked for before the first set-up.
  std::optional<uint32_t> setupFailure_;
  // The user asked to quit from a dialog (F10 in the file chooser).
  bool quitFromDialog_ = false;
  // Keyboard query answers seen during Setup.
  bool sawKittyFlags_ = false;
  // The colours the terminal reported at set-up (screenshots' colour table).
  TerminalPalette palette_;
  bool sawDeviceAttributes_ = false;
};

}  // namespace kelm::port
