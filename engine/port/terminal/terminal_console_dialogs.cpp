// The terminal console's dialogs: the file chooser, the Open With prompt,
// message boxes, reports and the pause prompt, drawn over the last frame
// through the dialog kit's view of the console.
#include "engine/port/terminal/terminal_console.h"

#include <cerrno>
#include <cstdio>

#include "engine/port/printable_text.h"
#include "engine/port/terminal/child_process.h"
#include "engine/port/terminal/command_line.h"
#include "engine/port/terminal/dialogs/file_chooser_loop.h"
#include "engine/port/terminal/dialogs/line_prompt.h"
#include "engine/port/terminal/dialogs/message_box.h"
#include "engine/port/terminal/terminal_signals.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

constexpr std::string_view kPausePrompt = "Press any key to continue . . .";
// A mouse record's button state: the buttons in the low word, a wheel
// turn's signed delta in the high word.
constexpr uint32_t kButtonBits = 0xFFFF;
constexpr int kWheelDeltaShift = 16;

bool IsModifierKey(uint16_t vk) { return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU; }
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
            const auto delta = static_cast<int16_t>(record.Event.MouseEvent.dwButtonState >> kWheelDeltaShift);
            DialogEvent event{DialogEvent::Kind::Wheel, {}, record.Event.MouseEvent.dwMousePosition};
            event.wheel = delta > 0 ? 1 : delta < 0 ? -1 : 0;
            if (event.wheel != 0) return event;
          }
        } else if (record.EventType == MOUSE_EVENT && record.Event.MouseEvent.dwEventFlags == 0) {
          const uint32_t buttons = record.Event.MouseEvent.dwButtonState & kButtonBits;
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

}  // namespace kelm::port
