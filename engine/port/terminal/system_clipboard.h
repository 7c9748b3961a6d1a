// Handing copied text to the desktop from a terminal program: the OSC 52
// sequence (the terminal, or tmux with set-clipboard on, puts the text on the
// system clipboard, also over SSH), and a local clipboard tool (wl-copy,
// xclip, xsel) when a display is reachable and we are not on a remote login.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelm::port {

// Standard base64 (RFC 4648) with '=' padding.
std::string Base64Encode(std::string_view data);

// Largest OSC 52 payload sent (base64 bytes). tmux drops sequences longer
// than its 1 MiB input buffer, and a longer one would stall the terminal;
// larger texts are only kept in-process and given to the local tool.
inline constexpr size_t kMaxOsc52Payload = 1000000;

// ESC ] 52 ; c ; base64(UTF-8 of text) ESC \ , or an empty string when the
// text is too large to send this way.
std::string Osc52Sequence(const std::u16string& text);

struct ClipboardEnvironment {
  std::string waylandDisplay;  // $WAYLAND_DISPLAY
  std::string display;         // $DISPLAY
  bool remote = false;         // $SSH_CONNECTION or $SSH_TTY set

  static ClipboardEnvironment FromProcess();
};

// The command that copies its standard input to the desktop clipboard, or an
// empty vector when there is none to use: Wayland's wl-copy, else X11's xclip
// or xsel; nothing on a remote login (the display there is not the user's).
// `exists` tells whether a program is in PATH.
std::vector<std::string> ClipboardToolCommand(const ClipboardEnvironment& env,
                                              const std::function<bool(const std::string&)>& exists);

}  // namespace kelm::port
