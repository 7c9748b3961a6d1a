// The console port on a Windows console, with the real Win32 calls.
//
// The console is taken in Setup (raw mouse and window input, hidden cursor
// and scroll bar, no line wrapping) and given back as it was found in
// Restore. Frames are written with one WriteConsoleOutputW each, into the
// visible window of the screen buffer. Input records are read as the
// console sends them and passed on unchanged.
//
// File paths cross this port as UTF-8 in std::string; they become UTF-16
// at each Win32 call.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/port/console_port.h"

namespace kelm::port {

class WindowsConsole final : public ConsolePort {
 public:
  // Uses the process's standard input and output handles.
  WindowsConsole();
  ~WindowsConsole() override;
  WindowsConsole(const WindowsConsole&) = delete;
  WindowsConsole& operator=(const WindowsConsole&) = delete;

  bool Setup(uint32_t& errorCode) override;
  void Restore() override;
  bool GetWindowRect(SMALL_RECT& window) override;
  uint32_t PendingInputCount() override;
  uint32_t ReadInput(INPUT_RECORD* records, uint32_t max) override;
  void WriteFrame(const CHAR_INFO* cells, int width, int height) override;
  void SetTitle(const std::u16string& title) override;
  bool IsForeground() override;
  bool GetColourTable(ColourTable& table) override;
  bool TakeQuitRequest(int& status) override;

  int16_t GetAsyncKeyState(int virtualKey) override;
  char16_t KeyToChar(uint16_t virtualKey) override;

  // The system clipboard, or Failed when it could not be opened or filled.
  ClipboardTarget SetClipboardText(const std::u16string& text) override;
  std::optional<std::u16string> GetClipboardText() override;

  std::optional<std::string> OpenFileDialog(const std::string& startDir) override;
  std::optional<std::string> SaveFileDialog(const std::string& startDir) override;
  uint32_t OpenWithDialog(const std::string& path) override;
  void MessageBox(const std::u16string& text, const std::u16string& caption) override;
  void WriteReport(const std::string& text) override;
  void Pause() override;

  uint64_t Ticks() override;
  void WaitForInput(uint32_t milliseconds) override;
  void WakeWaiter() override;
  void Sleep(uint32_t milliseconds) override;

  // The common-dialog error of the last open or save dialog: 0 when the
  // user chose a file or cancelled, otherwise the reason the dialog could
  // not be shown at all (no desktop to show it on, for one).
  uint32_t LastDialogError() const { return lastDialogError_; }

  // Asks the frame loop to end with `status` (the console's close and break
  // events do this).
  void RequestQuit(int status);

  // Whether the window has the keyboard focus as the console's focus
  // records tell it (true until a record says otherwise).
  bool FocusedByRecords() const { return focused_.load(); }

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::atomic<bool> focused_{true};
  // Control-key state of the last key or mouse record read.
  std::atomic<uint32_t> lastControlState_{0};
  std::atomic<bool> quitRequested_{false};
  std::atomic<int> quitStatus_{0};
  uint32_t lastDialogError_ = 0;
};

}  // namespace kelm::port
