// The terminal modes the session switches on, each with the sequence that
// switches it off again, and the undo stack that turns the modes entered so
// far into one restore string.
//
// Order of entering (see TerminalConsole::Setup): title saved, alternate
// screen, hidden cursor, autowrap off, keyboard protocol, mouse, bracketed
// paste, focus reports. The restore string undoes them in reverse: focus and
// paste off, mouse off (first of all the input modes, so that the shell never
// receives mouse reports), keyboard protocol popped while still on the
// alternate screen (kitty keeps one flag stack per screen), autowrap and
// cursor back, colours reset, main screen, title restored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelm::port {

struct TerminalMode {
  const char* name;
  const char* enter;
  const char* leave;
  // Whether sending `enter` twice is harmless. Stacked modes (the kitty
  // keyboard flags, the saved title) are not: they are entered once per
  // session and not re-sent when the terminal is re-asserted after SIGCONT.
  bool idempotent;
};

// Title saved on the terminal's title stack (CSI 22;2t / CSI 23;2t).
extern const TerminalMode kModeSaveTitle;
// DECSET 1049: save the cursor, switch to the alternate screen and clear it.
// Leaving also resets the colours first, so the shell does not inherit ours.
extern const TerminalMode kModeAlternateScreen;
// DECTCEM 25 off.
extern const TerminalMode kModeHiddenCursor;
// DECAWM 7 off: writing the last column never wraps or scrolls.
extern const TerminalMode kModeNoAutowrap;
// Kitty keyboard protocol, flag 1 (disambiguate escape codes), pushed.
extern const TerminalMode kModeKittyKeyboard;
// xterm modifyOtherKeys level 2.
extern const TerminalMode kModeModifyOtherKeys;
// Mouse: button reports (1000), any-motion reports for hover (1003), SGR
// coordinates (1006). Leaving also turns off 1002 in case a terminal mapped
// 1003 onto it.
extern const TerminalMode kModeMouse;
// Bracketed paste (2004).
extern const TerminalMode kModeBracketedPaste;
// Focus in/out reports (1004).
extern const TerminalMode kModeFocusReports;

// Sent first by every restore: ends a synchronized-output frame that a crash
// may have interrupted, so the terminal shows what follows.
inline constexpr std::string_view kEndSynchronizedOutput = "\x1b[?2026l";

// The queries of keyboard protocol detection: the kitty flags query
// (CSI ? u), answered only by terminals that speak the protocol, followed by
// primary device attributes (CSI c), which every terminal answers. A DA1
// reply with no flags reply before it means no kitty protocol.
inline constexpr std::string_view kKeyboardProtocolQuery = "\x1b[?u\x1b[c";

// The modes entered so far, in order.
class ModeStack {
 public:
  void Push(const TerminalMode& mode) { modes_.push_back(&mode); }
  void Clear() { modes_.clear(); }
  bool Empty() const { return modes_.empty(); }
  bool Contains(const TerminalMode& mode) const;
  const std::vector<const TerminalMode*>& Modes() const { return modes_; }

  // The bytes that undo every mode entered, newest first.
  std::string RestoreString() const;
  // The bytes that enter again every idempotent mode, oldest first (used
  // after the process was stopped and continued behind our back).
  std::string ReassertString() const;
  // The bytes that enter every mode, oldest first (resume after a suspend).
  std::string EnterString() const;

 private:
  std::vector<const TerminalMode*> modes_;
};

}  // namespace kelm::port
