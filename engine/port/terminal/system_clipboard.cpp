#include "engine/port/terminal/system_clipboard.h"

#include <cstdlib>

#include "engine/port/utf.h"

namespace kelm::port {

std::string Base64Encode(std::string_view data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(data[i]) << 16) | (static_cast<uint8_t>(data[i + 1]) << 8) |
                       static_cast<uint8_t>(data[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const size_t rest = data.size() - i;
  if (rest == 1) {
    const uint32_t v = static_cast<uint8_t>(data[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const uint32_t v = (static_cast<uint8_t>(data[i]) << 16) | (static_cast<uint8_t>(data[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string Osc52Sequence(const std::u16string& text) {
  std::string utf8 = ToUtf8(text);
  if ((utf8.size() + 2) / 3 * 4 > kMaxOsc52Payload) return {};
  return "\x1b]52;c;" + Base64Encode(utf8) + "\x1b\\";
}

ClipboardEnvironment ClipboardEnvironment::FromProcess() {
  auto get = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  ClipboardEnvironment env;
  env.waylandDisplay = get("WAYLAND_DISPLAY");
  env.display = get("DISPLAY");
  env.remote = !get("SSH_CONNECTION").empty() || !get("SSH_TTY").empty();
  return env;
}

std::vector<std::string> ClipboardToolCommand(const ClipboardEnvironment& env,
                                              const std::function<bool(const std::string&)>& exists) {
  if (env.remote) return {};
  if (!env.waylandDisplay.empty() && exists("wl-copy")) {
    return {"wl-copy", "--type", "text/plain;charset=utf-8"};
  }
  if (!env.display.empty()) {
    if (exists("xclip")) return {"xclip", "-selection", "clipboard", "-in"};
    if (exists("xsel")) return {"xsel", "--clipboard", "--input"};
  }
  return {};
}

}  // namespace kelm::port
