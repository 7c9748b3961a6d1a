// The terminal console's input: reading the terminal, decoding it into
// console records, the job-control keys and signals, the window's size.
#include "engine/port/terminal/terminal_console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "engine/port/terminal/codec/vt_keymap.h"
#include "engine/port/terminal/palette_reply.h"
#include "engine/port/terminal/terminal_signals.h"

namespace kelm::port {

namespace {

constexpr int kReadsPerPump = 16;
constexpr size_t kReadChunk = 4096;

// The exit status of a program ended by a signal, less the signal's number
// (as shells report it).
constexpr int kStatusOfSignal = 128;

// A colour's red, green and blue.
constexpr int kRgbChannels = 3;

// The largest row or column a console coordinate holds.
constexpr int kLargestCoordinate = 0x7FFF;

// Ctrl+Z: the terminal's suspend key, which raw mode delivers as a byte.
bool IsSuspendKey(const KEY_EVENT_RECORD& key) {
  return key.wVirtualKeyCode == 'Z' && HasCtrl(key.dwControlKeyState) && !HasAlt(key.dwControlKeyState) &&
         (key.dwControlKeyState & SHIFT_PRESSED) == 0;
}
// The console never asks for the cursor position, so a "reply" of the form
// CSI 1 ; m R is xterm's F3 with the modifiers m (Shift+F3 is CSI 1;2R, the
// key that finds the previous match).
bool ModifiedF3FromReply(const std::string& reply, vt::Key& key) {
  constexpr std::string_view kPrefix = "\x1b[1;";
  if (reply.size() < kPrefix.size() + 2 || reply.compare(0, kPrefix.size(), kPrefix) != 0 || reply.back() != 'R') {
    return false;
  }
  int modifiers = 0;
  for (size_t i = kPrefix.size(); i + 1 < reply.size(); ++i) {
    const char c = reply[i];
    if (c < '0' || c > '9' || modifiers > 255) return false;
    modifiers = modifiers * 10 + (c - '0');
  }
  if (modifiers < 2) return false;
  key = vt::Key{VK_F3, 0, vt::ModifiersFromParameter(modifiers)};
  return true;
}
}  // namespace

// --- input -----------------------------------------------------------------------

uint64_t TerminalConsole::MonotonicMs() const {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void TerminalConsole::HandleSignals() {
  terminal_signals::DrainWakeFd();
  if (terminal_signals::TakeStopRequest() && session_.IsActive()) {
    session_.StopProcess();
    Resumed();
  }
  if (terminal_signals::TakeContinued() && session_.IsActive()) {
    // Continued after a stop we did not arrange (SIGSTOP): the shell may have
    // changed the terminal meanwhile.
    session_.Reassert();
    Resumed();
  }
}

void TerminalConsole::InvalidateScreen() {
  encoder_.Invalidate();
  screenShowsLastFrame_ = false;
}

void TerminalConsole::Resumed() {
  InvalidateScreen();
  redrawNeeded_ = true;
  session_.RefreshSize();
  keys_.ReleaseAll();
  if (!title_.empty()) session_.Write(TitleSequence(title_));
}

void TerminalConsole::Pump() {
  if (!mayHaveInput_ && !decoder_.HasPending()) {
    // The last wait timed out with nothing to read: skip the reads (input
    // that came since is seen by the next wait, which then ends at once).
    mayHaveInput_ = true;
    return;
  }
  HandleSignals();
  if (!session_.IsActive()) return;
  const uint64_t now = MonotonicMs();
  char buffer[kReadChunk];
  for (int i = 0; i < kReadsPerPump && queue_.size() < kMaxQueuedRecords; ++i) {
    const ssize_t n = session_.Read(buffer, sizeof buffer);
    if (n <= 0) break;
    decoder_.Feed(buffer, static_cast<size_t>(n), now, events_);
    Dispatch(events_);
    if (static_cast<size_t>(n) < sizeof buffer) break;
  }
  if (decoder_.HasPending() && now >= decoder_.PendingDeadline()) {
    decoder_.Flush(now, events_);
    Dispatch(events_);
  }
  if (suspendRequested_) {
    suspendRequested_ = false;
    session_.StopProcess();
    Resumed();
  }
}

void TerminalConsole::Queue(const INPUT_RECORD& record) {
  keys_.Observe(record);
  queue_.push_back(record);
}

void TerminalConsole::Dispatch(std::vector<VtEvent>& events) {
  for (VtEvent& event : events) {
    switch (event.kind) {
      case VtEvent::Kind::Reply: {
        if (event.replyType == VtEvent::ReplyType::KittyKeyboardFlags) sawKittyFlags_ = true;
        if (event.replyType == VtEvent::ReplyType::PrimaryDeviceAttributes) sawDeviceAttributes_ = true;
        int ansiIndex = 0;
        uint8_t rgb[kRgbChannels];
        if (event.replyType == VtEvent::ReplyType::OperatingSystemCommand &&
            ParsePaletteReply(event.reply, ansiIndex, rgb)) {
          for (int c = 0; c < kRgbChannels; ++c) palette_.rgb[ansiIndex][c] = rgb[c];
          palette_.answered = static_cast<uint16_t>(palette_.answered | (1U << ansiIndex));
        }
        vt::Key key;
        if (event.replyType == VtEvent::ReplyType::CursorPosition && ModifiedF3FromReply(event.reply, key)) {
          std::vector<VtEvent> press;
          vt::EmitKey(key, press);
          for (const VtEvent& part : press) Queue(part.record);
        }
        break;
      }
      case VtEvent::Kind::Paste:
        // The pasted text goes through the clipboard and arrives as Ctrl+V, so
        // a text field takes it by its own rules.
        clipboard_ = std::move(event.text);
        Queue(MakeKeyRecord(true, VK_CONTROL, 0, LEFT_CTRL_PRESSED));
        Queue(MakeKeyRecord(true, 'V', 0x16, LEFT_CTRL_PRESSED));
        Queue(MakeKeyRecord(false, 'V', 0x16, LEFT_CTRL_PRESSED));
        Queue(MakeKeyRecord(false, VK_CONTROL, 0, 0));
        break;
      case VtEvent::Kind::Record: {
        const INPUT_RECORD& record = event.record;
        if (record.EventType == KEY_EVENT && IsSuspendKey(record.Event.KeyEvent)) {
          if (record.Event.KeyEvent.bKeyDown) {
            suspendRequested_ = true;
            skipSuspendKeyUp_ = true;
            break;
          }
          if (skipSuspendKeyUp_) {
            skipSuspendKeyUp_ = false;
            break;
          }
        }
        if (record.EventType == FOCUS_EVENT) {
          foreground_ = record.Event.FocusEvent.bSetFocus != 0;
          // Releases are missed while another window has the focus (the
          // decoder also reports held mouse buttons as released).
          if (!foreground_) keys_.ReleaseAll();
          break;
        }
        Queue(record);
        break;
      }
    }
  }
  events.clear();
}

bool TerminalConsole::GetWindowRect(SMALL_RECT& window) {
  std::lock_guard lock(mutex_);
  int columns = 0;
  int rows = 0;
  if (session_.IsOpen()) {
    session_.Size(columns, rows);
  } else {
    winsize ws{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 && ioctl(STDIN_FILENO, TIOCGWINSZ, &ws) != 0) return false;
    columns = ws.ws_col > 0 ? ws.ws_col : TerminalSession::kFallbackColumns;
    rows = ws.ws_row > 0 ? ws.ws_row : TerminalSession::kFallbackRows;
  }
  window.Left = 0;
  window.Top = 0;
  window.Right = static_cast<int16_t>(std::min(columns, kLargestCoordinate) - 1);
  window.Bottom = static_cast<int16_t>(std::min(rows, kLargestCoordinate) - 1);
  return true;
}

uint32_t TerminalConsole::PendingInputCount() {
  std::lock_guard lock(mutex_);
  Pump();
  return static_cast<uint32_t>(queue_.size());
}

uint32_t TerminalConsole::ReadInput(INPUT_RECORD* records, uint32_t max) {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) Pump();
  uint32_t count = 0;
  while (count < max && !queue_.empty()) {
    const INPUT_RECORD record = queue_.front();
    queue_.pop_front();
    records[count++] = record;
    // Keys, clicks and wheel turns change the screen in the frame after the
    // one that handles them (objects draw before they update): that frame
    // comes at once instead of after the frame delay.
    if (record.EventType == KEY_EVENT ||
        (record.EventType == MOUSE_EVENT && record.Event.MouseEvent.dwEventFlags != MOUSE_MOVED)) {
      promptFrame_ = true;
    }
    // A button change ends the batch: a press and its release that arrived in
    // one read (a quick click, a slow link) must reach the engine in separate
    // polls, or the click would leave no edge at all.
    if (record.EventType == MOUSE_EVENT && record.Event.MouseEvent.dwEventFlags == 0) break;
  }
  return count;
}

bool TerminalConsole::IsForeground() {
  std::lock_guard lock(mutex_);
  return foreground_;
}

bool TerminalConsole::TakeQuitRequest(int& status) {
  std::lock_guard lock(mutex_);
  if (const int sig = terminal_signals::QuitSignal(); sig != 0) {
    status = kStatusOfSignal + sig;
    return true;
  }
  if (session_.Gone()) {
    status = kStatusOfSignal + SIGHUP;
    return true;
  }
  if (quitFromDialog_) {
    status = 0;
    return true;
  }
  return false;
}

}  // namespace kelm::port
