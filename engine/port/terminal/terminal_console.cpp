#include "engine/port/terminal/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/port/terminal/child_process.h"
#include "engine/port/terminal/codec/vt_keymap.h"
#include "engine/port/terminal/command_line.h"
#include "engine/port/terminal/dialogs/file_chooser_loop.h"
#include "engine/port/terminal/dialogs/line_prompt.h"
#include "engine/port/terminal/dialogs/message_box.h"
#include "engine/port/terminal/palette_reply.h"
#include "engine/port/terminal/terminal_signals.h"
#include "engine/port/printable_text.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

constexpr std::string_view kPausePrompt = "Press any key to continue . . .";

constexpr int kReadsPerPump = 16;
constexpr size_t kReadChunk = 4096;

bool IsModifierKey(uint16_t vk) { return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU; }

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

uint32_t OpenWithError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kOpenWithFileNotFound;
    case EACCES:
    case EPERM:
      return kOpenWithAccessDenied;
    default:
      return kOpenWithFail;
  }
}

// Text for the terminal as it is, with every character that would act as a
// control replaced, and line breaks as carriage return + line feed (output
// processing is off in raw mode). Each line clears the rest of its row.
std::string ReportBytes(const std::string& text) {
  std::u16string wide = FromUtf8(text);
  std::string out;
  size_t start = 0;
  while (start <= wide.size()) {
    size_t end = wide.find(u'\n', start);
    const bool last = end == std::u16string::npos;
    if (last) end = wide.size();
    std::u16string line = wide.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    for (char16_t& ch : line) {
      if (ch == u'\t') ch = u' ';
      if (!IsSafeCellCharacter(ch)) ch = kReplacementCell;
    }
    out += ToUtf8(line);
    if (last) break;
    out += "\x1b[K\r\n";
    start = end + 1;
  }
  return out;
}

}  // namespace

// --- the dialogs' view of the console -------------------------------------------

class TerminalConsole::DialogAdapter : public DialogTerminal {
 public:
  explicit DialogAdapter(TerminalConsole& console) : console_(console) {}
  // The engine never saw the button records the dialog took (often the
  // release of the click that opened it): when the dialog ends with every
  // button up, say so ahead of what is still waiting, or the engine would
  // take the button as held and miss the next click. (A dialog ended by a
  // press says nothing: its release reaches the engine by itself.)
  ~DialogAdapter() override {
    if (sawButtons_ && buttons_ == 0) console_.queue_.push_front(MakeMouseRecord(buttonsAt_.X, buttonsAt_.Y, 0, 0));
  }

  void ScreenSize(int& columns, int& rows) override {
    console_.session_.Size(columns, rows);
    columns = columns > 1 ? columns - 1 : 1;  // the last column stays unused, as in frames
    lastColumns_ = columns;
    lastRows_ = rows;
  }

  std::vector<CHAR_INFO> Background(int columns, int rows) override {
    std::vector<CHAR_INFO> cells(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    for (int y = 0; y < rows && y < console_.lastFrameHeight_; ++y) {
      for (int x = 0; x < columns && x < console_.lastFrameWidth_; ++x) {
        cells[static_cast<size_t>(y) * static_cast<size_t>(columns) + static_cast<size_t>(x)] =
            console_.lastFrame_[static_cast<size_t>(y) * static_cast<size_t>(console_.lastFrameWidth_) +
                                static_cast<size_t>(x)];
      }
    }
    return cells;
  }

  void Show(const std::vector<CHAR_INFO>& cells, int columns, int rows) override {
    console_.screenShowsLastFrame_ = false;
    console_.frameBytes_.clear();
    console_.encoder_.Encode(cells.data(), columns, rows, console_.frameBytes_, console_.TerminalColumns());
    if (!console_.frameBytes_.empty() && !console_.session_.Write(console_.frameBytes_)) {
      console_.InvalidateScreen();
    }
  }

  DialogEvent Next() override {
    for (;;) {
      if (console_.redrawNeeded_) {
        console_.redrawNeeded_ = false;
        return DialogEvent{DialogEvent::Kind::Redraw, {}, {}};
      }
      int columns = 0;
      int rows = 0;
      console_.session_.Size(columns, rows);
      if (lastColumns_ >= 0 && (columns - 1 != lastColumns_ || rows != lastRows_)) {
        return DialogEvent{DialogEvent::Kind::Redraw, {}, {}};
      }
      while (!console_.queue_.empty()) {
        const INPUT_RECORD record = console_.queue_.front();
        console_.queue_.pop_front();
        if (record.EventType == KEY_EVENT) {
          const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
          if (key.bKeyDown && !IsModifierKey(key.wVirtualKeyCode)) {
            return DialogEvent{DialogEvent::Kind::Key, key, {}};
          }
        } else if (record.EventType == MOUSE_EVENT && record.Event.MouseEvent.dwEventFlags == MOUSE_WHEELED) {
          if (reportWheel_) {
            // The wheel delta is the signed high word of the button state.
            const auto delta = static_cast<int16_t>(record.Event.MouseEvent.dwButtonState >> 16);
            DialogEvent event{DialogEvent::Kind::Wheel, {}, record.Event.MouseEvent.dwMousePosition};
            event.wheel = delta > 0 ? 1 : delta < 0 ? -1 : 0;
            if (event.wheel != 0) return event;
          }
        } else if (record.EventType == MOUSE_EVENT && record.Event.MouseEvent.dwEventFlags == 0) {
          const uint32_t buttons = record.Event.MouseEvent.dwButtonState & 0xFFFF;
          const bool leftPressed = (buttons & ~buttons_ & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
          buttons_ = buttons;
          sawButtons_ = true;
          buttonsAt_ = record.Event.MouseEvent.dwMousePosition;
          if (leftPressed) {
            return DialogEvent{DialogEvent::Kind::Click, {}, record.Event.MouseEvent.dwMousePosition};
          }
        }
      }
      if (terminal_signals::QuitSignal() != 0 || console_.session_.Gone() || !console_.session_.IsActive()) {
        return DialogEvent{DialogEvent::Kind::End, {}, {}};
      }
      int timeout = -1;
      if (console_.decoder_.HasPending()) {
        const uint64_t now = console_.MonotonicMs();
        const uint64_t deadline = console_.decoder_.PendingDeadline();
        timeout = deadline > now ? static_cast<int>(deadline - now) : 0;
      }
      console_.session_.WaitReadable(timeout);
      console_.Pump();
    }
  }

  std::u16string ClipboardText() override { return console_.clipboard_.value_or(std::u16string()); }

  // Wheel turns become Wheel events (otherwise they are dropped).
  void ReportWheel() { reportWheel_ = true; }

 private:
  TerminalConsole& console_;
  int lastColumns_ = -1;
  int lastRows_ = -1;
  uint32_t buttons_ = 0;
  bool sawButtons_ = false;
  COORD buttonsAt_{};
  bool reportWheel_ = false;
};

// --- set-up and restore ----------------------------------------------------------

TerminalConsole::TerminalConsole(TerminalSessionOptions options)
    : session_(options), clipboardEnvironment_(ClipboardEnvironment::FromProcess()) {
  if (pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) wakePipe_[0] = wakePipe_[1] = -1;
}

TerminalConsole::~TerminalConsole() {
  Restore();
  for (int& fd : wakePipe_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

bool TerminalConsole::Setup(uint32_t& errorCode) {
  std::lock_guard lock(mutex_);
  return SetupLocked(errorCode);
}

bool TerminalConsole::SetupLocked(uint32_t& errorCode) {
  if (session_.IsActive()) return true;
  if (!session_.Open(errorCode)) return false;
  everSetUp_ = true;
  session_.Enter(kModeSaveTitle);
  session_.Enter(kModeAlternateScreen);
  session_.Enter(kModeHiddenCursor);
  session_.Enter(kModeNoAutowrap);
  DetectKeyboardProtocol();
  session_.Enter(kModeMouse);
  session_.Enter(kModeBracketedPaste);
  session_.Enter(kModeFocusReports);
  if (!title_.empty()) session_.Write(TitleSequence(title_));
  InvalidateScreen();
  foreground_ = true;
  return true;
}

void TerminalConsole::DetectKeyboardProtocol() {
  sawKittyFlags_ = false;
  sawDeviceAttributes_ = false;
  // The palette answers (where the terminal gives them) arrive before the
  // device attributes that end the wait.
  session_.Write(PaletteQuery());
  session_.Write(kKeyboardProtocolQuery);
  const uint64_t deadline = MonotonicMs() + kQueryTimeoutMs;
  while (!sawDeviceAttributes_ && !session_.Gone()) {
    const uint64_t now = MonotonicMs();
    if (now >= deadline) break;
    session_.WaitReadable(static_cast<int>(deadline - now));
    Pump();
  }
  session_.Enter(sawKittyFlags_ ? kModeKittyKeyboard : kModeModifyOtherKeys);
}

bool TerminalConsole::TakeSetupFailure(uint32_t& errorCode) {
  std::lock_guard lock(mutex_);
  if (!setupFailure_) return false;
  errorCode = *setupFailure_;
  setupFailure_.reset();
  return true;
}

void TerminalConsole::Restore() {
  std::lock_guard lock(mutex_);
  session_.Close();
}

bool TerminalConsole::PrepareDialog() {
  if (session_.IsActive()) return true;
  uint32_t code = 0;
  if (SetupLocked(code)) return true;
  if (!everSetUp_) {
    // A dialog asked for before the engine runs (no file given) on something
    // that is not a terminal: reported as the set-up failure it is
    // (TakeSetupFailure), for the program to print and end.
    setupFailure_ = code;
  }
  return false;
}

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
        uint8_t rgb[3];
        if (event.replyType == VtEvent::ReplyType::OperatingSystemCommand &&
            ParsePaletteReply(event.reply, ansiIndex, rgb)) {
          for (int c = 0; c < 3; ++c) palette_.rgb[ansiIndex][c] = rgb[c];
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
  window.Right = static_cast<int16_t>(std::min(columns, 0x7FFF) - 1);
  window.Bottom = static_cast<int16_t>(std::min(rows, 0x7FFF) - 1);
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
    status = 128 + sig;
    return true;
  }
  if (session_.Gone()) {
    status = 128 + SIGHUP;
    return true;
  }
  if (quitFromDialog_) {
    status = 0;
    return true;
  }
  return false;
}

// --- output ----------------------------------------------------------------------

void TerminalConsole::WriteFrame(const CHAR_INFO* cells, int width, int height) {
  std::lock_guard lock(mutex_);
  lastFrameCurrent_ = false;
  if (!session_.IsActive() || session_.Gone() || width <= 0 || height <= 0) return;
  lastFrameCurrent_ = true;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  // Most frames of an idle program are the frame before: nothing to encode.
  if (screenShowsLastFrame_ && width == lastFrameWidth_ && height == lastFrameHeight_ &&
      std::memcmp(cells, lastFrame_.data(), count * sizeof(CHAR_INFO)) == 0) {
    return;
  }
  lastFrame_.assign(cells, cells + count);
  lastFrameWidth_ = width;
  lastFrameHeight_ = height;
  frameBytes_.clear();
  encoder_.Encode(cells, width, height, frameBytes_, TerminalColumns());
  screenShowsLastFrame_ = true;
  // A write that could not finish leaves the screen unknown: redraw it all.
  if (!frameBytes_.empty() && !session_.Write(frameBytes_)) InvalidateScreen();
}

int TerminalConsole::TerminalColumns() {
  int columns = 0;
  int rows = 0;
  session_.Size(columns, rows);
  return columns;
}

void TerminalConsole::WriteSameFrame(const CHAR_INFO* cells, int width, int height) {
  {
    std::lock_guard lock(mutex_);
    // Nothing to compare or encode while the screen shows these cells.
    if (lastFrameCurrent_ && screenShowsLastFrame_ && session_.IsActive() && !session_.Gone() &&
        width == lastFrameWidth_ && height == lastFrameHeight_) {
      return;
    }
  }
  WriteFrame(cells, width, height);
}

void TerminalConsole::SetTitle(const std::u16string& title) {
  std::lock_guard lock(mutex_);
  title_ = title;
  if (session_.IsActive()) session_.Write(TitleSequence(title_));
}

bool TerminalConsole::GetColourTable(ColourTable& table) {
  std::lock_guard lock(mutex_);
  table = ConsoleColourTable(palette_);
  return true;
}

// --- keyboard --------------------------------------------------------------------

int16_t TerminalConsole::GetAsyncKeyState(int virtualKey) {
  std::lock_guard lock(mutex_);
  return keys_.Query(virtualKey);
}

char16_t TerminalConsole::KeyToChar(uint16_t virtualKey) {
  std::lock_guard lock(mutex_);
  return keys_.CharOf(virtualKey);
}

void TerminalConsole::ForgetKeyPresses() {
  for (int vk = 0; vk < 256; ++vk) keys_.Query(vk);
}

// --- clipboard -------------------------------------------------------------------

ClipboardTarget TerminalConsole::SetClipboardText(const std::u16string& text) {
  std::lock_guard lock(mutex_);
  clipboard_ = text;
  bool sentToTerminal = false;
  if (session_.IsActive()) {
    const std::string sequence = Osc52Sequence(text);
    if (!sequence.empty()) {
      session_.Write(sequence);
      sentToTerminal = true;
    }
  }
  const std::vector<std::string> tool = ClipboardToolCommand(clipboardEnvironment_, FindInPath);
  if (!tool.empty() && StartDetached(tool, ToUtf8(text))) return ClipboardTarget::System;
  return sentToTerminal ? ClipboardTarget::TerminalOsc52 : ClipboardTarget::ProcessOnly;
}

void TerminalConsole::SetClipboardEnvironment(const ClipboardEnvironment& environment) {
  std::lock_guard lock(mutex_);
  clipboardEnvironment_ = environment;
}

std::optional<std::u16string> TerminalConsole::GetClipboardText() {
  std::lock_guard lock(mutex_);
  return clipboard_;
}

// --- dialogs ---------------------------------------------------------------------

std::optional<std::string> TerminalConsole::OpenFileDialog(const std::string& startDir) {
  std::lock_guard lock(mutex_);
  if (!PrepareDialog()) return std::nullopt;
  return ChooseFile(PathPromptKind::Open, startDir);
}

std::optional<std::string> TerminalConsole::SaveFileDialog(const std::string& startDir) {
  std::lock_guard lock(mutex_);
  if (!PrepareDialog()) return std::nullopt;
  return ChooseFile(PathPromptKind::Save, startDir);
}

std::optional<std::string> TerminalConsole::ChooseFile(PathPromptKind kind, const std::string& startDir) {
  DialogAdapter adapter(*this);
  adapter.ReportWheel();
  const ChooserResult result = RunFileChooser(adapter, kind, startDir);
  ForgetKeyPresses();
  if (result.outcome == ChooserOutcome::Quit) quitFromDialog_ = true;
  if (result.outcome != ChooserOutcome::Chosen) return std::nullopt;
  return result.path;
}

uint32_t TerminalConsole::OpenWithDialog(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!PrepareDialog()) return kOpenWithFail;
  if (!openWithInitialised_) {
    openWithInitialised_ = true;
    if (FindInPath("xdg-open")) lastOpenWith_ = "xdg-open";
  }
  DialogAdapter adapter(*this);
  const std::u16string detail = u"File: " + FromUtf8(path);
  std::string initial = lastOpenWith_;
  for (;;) {
    std::optional<std::string> line = LinePrompt(adapter, kOpenWithTitle, kOpenWithLabel, detail, initial);
    ForgetKeyPresses();
    if (!line) return kOpenWithCancelled;
    std::optional<std::vector<std::string>> words = SplitCommandLine(*line);
    if (!words) {
      MessageBoxScreen(adapter, u"A quotation mark is not closed.", kOpenWithTitle);
      initial = *line;
      continue;
    }
    if (words->empty()) return kOpenWithCancelled;
    lastOpenWith_ = *line;
    std::vector<std::string> argv = std::move(*words);
    // A file name that starts with '-' must not be read as an option.
    argv.push_back(!path.empty() && path[0] == '-' ? "./" + path : path);

    session_.Suspend();
    const ForegroundRun run = RunInForeground(argv);
    session_.Resume();
    Resumed();
    return run.started ? kOpenWithOk : OpenWithError(run.error);
  }
}

void TerminalConsole::MessageBox(const std::u16string& text, const std::u16string& caption) {
  std::lock_guard lock(mutex_);
  if (!session_.IsActive()) {
    // No screen of ours: the message goes to standard error.
    const std::string message = SafeMessage(ToUtf8(caption) + ": " + ToUtf8(text) + "\n");
    std::fwrite(message.data(), 1, message.size(), stderr);
    return;
  }
  DialogAdapter adapter(*this);
  MessageBoxScreen(adapter, text, caption);
  ForgetKeyPresses();
}

void TerminalConsole::WriteReport(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!session_.IsActive()) {
    const std::string safe = SafeMessage(text);
    std::fwrite(safe.data(), 1, safe.size(), stdout);
    std::fflush(stdout);
    return;
  }
  // From the top-left corner, over the picture; the encoder no longer knows
  // what the screen shows, so the next frame redraws it whole.
  session_.Write("\x1b[0m\x1b[H" + ReportBytes(text));
  InvalidateScreen();
}

void TerminalConsole::Pause() {
  std::lock_guard lock(mutex_);
  if (!session_.IsActive()) return;
  session_.Write(kPausePrompt);
  InvalidateScreen();
  DialogAdapter adapter(*this);
  for (;;) {
    const DialogEvent event = adapter.Next();
    if (event.kind != DialogEvent::Kind::Redraw) break;
  }
  ForgetKeyPresses();
}

// --- time ------------------------------------------------------------------------

uint64_t TerminalConsole::Ticks() { return MonotonicMs(); }

void TerminalConsole::WakeWaiter() {
  if (wakePipe_[1] < 0) return;
  const char byte = 1;
  // A full pipe already wakes the wait.
  [[maybe_unused]] const ssize_t n = write(wakePipe_[1], &byte, 1);
}

void TerminalConsole::DrainWakePipe() {
  if (wakePipe_[0] < 0) return;
  char buffer[64];
  while (read(wakePipe_[0], buffer, sizeof buffer) > 0) {
  }
}

bool TerminalConsole::InputWaiting() {
  std::lock_guard lock(mutex_);
  // An Esc read but not yet decided is a key on its way.
  if (!queue_.empty() || decoder_.HasPending()) return true;
  if (!session_.IsActive()) return false;
  return session_.WaitReadable(0);
}

void TerminalConsole::WaitForInput(uint32_t milliseconds) {
  constexpr int kNoTimeout = -1;
  constexpr int kInactive = -2;
  // Nothing to wait on while the terminal is not ours: looked at this often.
  constexpr uint32_t kInactivePollMs = 50;
  int timeout = kNoTimeout;
  if (milliseconds != kWaitForever) timeout = static_cast<int>(std::min<uint32_t>(milliseconds, 0x7FFFFFFF));
  {
    std::lock_guard lock(mutex_);
    ReapDetachedChildren();
    if (!queue_.empty() || redrawNeeded_ || promptFrame_) {
      redrawNeeded_ = false;
      promptFrame_ = false;
      return;
    }
    if (!session_.IsActive()) {
      timeout = kInactive;
    } else if (decoder_.HasPending()) {
      // A lone Esc (or the start of a sequence) is decided when its time-out
      // ends: the wait ends then too.
      const uint64_t now = MonotonicMs();
      const uint64_t deadline = decoder_.PendingDeadline();
      const int untilDeadline = deadline > now ? static_cast<int>(std::min<uint64_t>(deadline - now, 0x7FFFFFFF)) : 0;
      timeout = timeout == kNoTimeout ? untilDeadline : std::min(timeout, untilDeadline);
    }
  }
  if (timeout == kInactive) {
    Sleep(std::min(milliseconds, kInactivePollMs));
    DrainWakePipe();
    return;
  }
  // Not under the lock: the main thread may set the title meanwhile.
  const bool woken = session_.WaitReadable(timeout, wakePipe_[0]);
  // Drained after the wait: a wake that comes later ends the next wait.
  DrainWakePipe();
  std::lock_guard lock(mutex_);
  mayHaveInput_ = woken;
}

void TerminalConsole::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kelm::port
