#include "engine/port/windows/windows_console.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/port/printable_text.h"
#include "engine/port/utf.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32_records.h"
// The system headers come last (see win32.h).
#include "engine/port/windows/win32.h"

namespace kelm::port {

namespace {

// Raw input: window and mouse records, extended flags (so quick-edit
// selection and insert mode are off), no line input, echo or processed
// input (Ctrl+C arrives as a key).
constexpr DWORD kInputMode = ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS;  // 0x98
// Processed output with virtual-terminal processing; no wrapping at the end
// of a line.
constexpr DWORD kOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING;  // 5
static_assert(kInputMode == 0x98 && kOutputMode == 5);

std::atomic<WindowsConsole*> controlTarget{nullptr};

// Close, log-off, shut-down and break events end the frame loop, so the
// console is given back before the process goes.
BOOL WINAPI OnConsoleControl(DWORD event) {
  WindowsConsole* console = controlTarget.load();
  if (console == nullptr) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      console->RequestQuit(130);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      console->RequestQuit(129);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

struct WindowsConsole::State {
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE output = INVALID_HANDLE_VALUE;
  DWORD savedInputMode = 0;
  DWORD savedOutputMode = 0;
  bool inputModeSaved = false;
  bool outputModeSaved = false;
  CONSOLE_CURSOR_INFO savedCursor{};
  bool cursorSaved = false;
  bool scrollBarHidden = false;
  bool setUp = false;
  // Top-left cell of the visible window in the screen buffer.
  SHORT windowLeft = 0;
  SHORT windowTop = 0;
  // The console's own colours when the viewer started, which cells in the
  // terminal's default colours are drawn in.
  WORD defaultAttributes = 0x0007;
  bool defaultsSaved = false;
  std::vector<::CHAR_INFO> frame;
  std::vector<::INPUT_RECORD> records;
  // Signalled by WakeWaiter; ends the next (or current) WaitForInput.
  HANDLE wake = nullptr;
};

WindowsConsole::WindowsConsole() : state_(std::make_unique<State>()) {
  state_->input = GetStdHandle(STD_INPUT_HANDLE);
  state_->output = GetStdHandle(STD_OUTPUT_HANDLE);
  state_->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

WindowsConsole::~WindowsConsole() {
  Restore();
  if (state_->wake != nullptr) CloseHandle(state_->wake);
}

bool WindowsConsole::Setup(uint32_t& errorCode) {
  State& s = *state_;
  DWORD mode = 0;
  if (!s.inputModeSaved && GetConsoleMode(s.input, &mode)) {
    s.savedInputMode = mode;
    s.inputModeSaved = true;
  }
  if (!s.outputModeSaved && GetConsoleMode(s.output, &mode)) {
    s.savedOutputMode = mode;
    s.outputModeSaved = true;
  }

  CONSOLE_SCREEN_BUFFER_INFO buffer{};
  if (!s.defaultsSaved && GetConsoleScreenBufferInfo(s.output, &buffer)) {
    s.defaultAttributes = static_cast<WORD>(buffer.wAttributes & 0x00FF);
    s.defaultsSaved = true;
  }

  CONSOLE_CURSOR_INFO cursor{};
  if (GetConsoleCursorInfo(s.output, &cursor)) {
    if (!s.cursorSaved) {
      s.savedCursor = cursor;
      s.cursorSaved = true;
    }
    cursor.bVisible = FALSE;
    SetConsoleCursorInfo(s.output, &cursor);
  }
  if (HWND window = GetConsoleWindow(); window != nullptr) {
    ShowScrollBar(window, SB_VERT, FALSE);
    s.scrollBarHidden = true;
  }

  if (!SetConsoleMode(s.input, kInputMode) || !SetConsoleMode(s.output, kOutputMode)) {
    errorCode = GetLastError();
    // Nothing is drawn after a failed set-up: give back what was changed.
    s.setUp = true;
    Restore();
    return false;
  }
  s.setUp = true;
  controlTarget.store(this);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  return true;
}

void WindowsConsole::Restore() {
  State& s = *state_;
  if (!s.setUp) return;
  s.setUp = false;
  WindowsConsole* self = this;
  if (controlTarget.compare_exchange_strong(self, nullptr)) SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  if (s.inputModeSaved) SetConsoleMode(s.input, s.savedInputMode);
  if (s.outputModeSaved) SetConsoleMode(s.output, s.savedOutputMode);
  if (s.cursorSaved) SetConsoleCursorInfo(s.output, &s.savedCursor);
  if (s.scrollBarHidden) {
    if (HWND window = GetConsoleWindow(); window != nullptr) ShowScrollBar(window, SB_VERT, TRUE);
    s.scrollBarHidden = false;
  }
}

bool WindowsConsole::GetWindowRect(SMALL_RECT& window) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(state_->output, &info)) return false;
  // The port's window starts at (0, 0); frames are written at the window's
  // place in the screen buffer, which may hold scroll-back above it.
  state_->windowLeft = info.srWindow.Left;
  state_->windowTop = info.srWindow.Top;
  window.Left = 0;
  window.Top = 0;
  window.Right = static_cast<int16_t>(info.srWindow.Right - info.srWindow.Left);
  window.Bottom = static_cast<int16_t>(info.srWindow.Bottom - info.srWindow.Top);
  return true;
}

uint32_t WindowsConsole::PendingInputCount() {
  DWORD pending = 0;
  if (!GetNumberOfConsoleInputEvents(state_->input, &pending)) return 0;
  return pending;
}

uint32_t WindowsConsole::ReadInput(INPUT_RECORD* records, uint32_t max) {
  // ReadConsoleInputW blocks on an empty queue: read only what waits.
  const uint32_t pending = PendingInputCount();
  const uint32_t want = std::min(max, pending);
  if (want == 0 || records == nullptr) return 0;
  std::vector<::INPUT_RECORD>& buffer = state_->records;
  buffer.resize(want);
  DWORD read = 0;
  if (!ReadConsoleInputW(state_->input, buffer.data(), want, &read)) return 0;
  for (DWORD i = 0; i < read; ++i) {
    records[i] = FromWin32(buffer[i]);
    switch (records[i].EventType) {
      case KEY_EVENT:
        lastControlState_.store(records[i].Event.KeyEvent.dwControlKeyState);
        break;
      case MOUSE_EVENT:
        lastControlState_.store(records[i].Event.MouseEvent.dwControlKeyState);
        break;
      case FOCUS_EVENT:
        focused_.store(records[i].Event.FocusEvent.bSetFocus != 0);
        break;
      default:
        break;
    }
  }
  return read;
}

void WindowsConsole::WriteFrame(const CHAR_INFO* cells, int width, int height) {
  if (cells == nullptr || width <= 0 || height <= 0 || width > SHRT_MAX || height > SHRT_MAX) return;
  State& s = *state_;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  s.frame.resize(count);
  for (size_t i = 0; i < count; ++i) s.frame[i] = ToWin32(cells[i], s.defaultAttributes);
  ::SMALL_RECT region{s.windowLeft, s.windowTop, static_cast<SHORT>(s.windowLeft + width - 1),
                    static_cast<SHORT>(s.windowTop + height - 1)};
  WriteConsoleOutputW(s.output, s.frame.data(), ::COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)},
                      ::COORD{0, 0}, &region);
  SetConsoleCursorPosition(s.output, ::COORD{s.windowLeft, s.windowTop});
}

void WindowsConsole::SetTitle(const std::u16string& title) { SetConsoleTitleW(WideFromU16(title).c_str()); }

bool WindowsConsole::IsForeground() {
  // A console with a window of its own is in front when that window is the
  // foreground window. A pseudo-console (a terminal program's tab, wine on a
  // terminal) has no visible window of its own to compare: there the focus
  // records tell.
  HWND window = GetConsoleWindow();
  if (window != nullptr && IsWindowVisible(window)) return GetForegroundWindow() == window;
  return focused_.load();
}

bool WindowsConsole::GetColourTable(ColourTable& table) {
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  if (!GetConsoleScreenBufferInfoEx(state_->output, &info)) return false;
  for (int i = 0; i < 16; ++i) {
    const COLORREF colour = info.ColorTable[i];
    table.rgb[i][0] = GetRValue(colour);
    table.rgb[i][1] = GetGValue(colour);
    table.rgb[i][2] = GetBValue(colour);
  }
  return true;
}

void WindowsConsole::RequestQuit(int status) {
  quitStatus_.store(status);
  quitRequested_.store(true);
  // The frame loop may be waiting without a time-out.
  WakeWaiter();
}

bool WindowsConsole::TakeQuitRequest(int& status) {
  if (!quitRequested_.exchange(false)) return false;
  status = quitStatus_.load();
  return true;
}

int16_t WindowsConsole::GetAsyncKeyState(int virtualKey) {
  int16_t state = ::GetAsyncKeyState(virtualKey);
  // A console without a desktop keyboard (a pseudo-console, wine on a
  // terminal) reports modifiers only in its records: a modifier that the
  // last record shows held counts as down.
  const uint32_t control = lastControlState_.load();
  bool held = false;
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
      held = (control & SHIFT_PRESSED) != 0;
      break;
    case VK_CONTROL:
      held = HasCtrl(control);
      break;
    case VK_LCONTROL:
      held = (control & LEFT_CTRL_PRESSED) != 0;
      break;
    case VK_RCONTROL:
      held = (control & RIGHT_CTRL_PRESSED) != 0;
      break;
    case VK_MENU:
      held = HasAlt(control);
      break;
    case VK_LMENU:
      held = (control & LEFT_ALT_PRESSED) != 0;
      break;
    case VK_RMENU:
      held = (control & RIGHT_ALT_PRESSED) != 0;
      break;
    default:
      break;
  }
  if (held) state = static_cast<int16_t>(static_cast<uint16_t>(state) | 0x8000u);
  return state;
}

char16_t WindowsConsole::KeyToChar(uint16_t virtualKey) {
  // Reading the modifiers first brings the thread's keyboard state up to
  // date before it is copied.
  ::GetKeyState(VK_SHIFT);
  ::GetKeyState(VK_MENU);
  ::GetKeyState(VK_RMENU);
  BYTE keys[256]{};
  if (!GetKeyboardState(keys)) return 0;
  WCHAR buffer[10]{};
  const UINT scanCode = MapVirtualKeyW(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
  ToUnicode(virtualKey, scanCode, keys, buffer, 10, 0);
  return static_cast<char16_t>(buffer[0]);
}

void WindowsConsole::WriteReport(const std::string& text) {
  const std::string safe = SafeMessage(text);
  std::fwrite(safe.data(), 1, safe.size(), stdout);
  std::fflush(stdout);
}

void WindowsConsole::Pause() {
  std::fflush(stdout);
  // The command interpreter's own prompt, which waits for one key.
  if (std::system("pause") == -1) {
    // No command interpreter: the same prompt, answered by the next key.
    WriteReport("Press any key to continue . . . ");
    for (;;) {
      ::INPUT_RECORD record{};
      DWORD read = 0;
      if (!ReadConsoleInputW(state_->input, &record, 1, &read) || read == 0) break;
      if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
    }
  }
}

uint64_t WindowsConsole::Ticks() {
  // Milliseconds since the system started: monotonic, unlike the wall clock.
  return GetTickCount64();
}

void WindowsConsole::WaitForInput(uint32_t milliseconds) {
  // The console input handle is signalled while records wait; INFINITE is
  // kWaitForever.
  const DWORD timeout = milliseconds == kWaitForever ? INFINITE : milliseconds;
  // When waiting fails, a short sleep keeps the loop from spinning.
  const DWORD fallback = milliseconds == kWaitForever ? 10 : milliseconds;
  if (state_->wake == nullptr) {
    if (WaitForSingleObject(state_->input, timeout) == WAIT_FAILED) ::Sleep(fallback);
    return;
  }
  const HANDLE handles[2] = {state_->input, state_->wake};
  if (WaitForMultipleObjects(2, handles, FALSE, timeout) == WAIT_FAILED) ::Sleep(fallback);
}

void WindowsConsole::WakeWaiter() {
  if (state_->wake != nullptr) SetEvent(state_->wake);
}

void WindowsConsole::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace kelm::port
