// An in-memory console for tests: queued input records, a window size the
// test sets, the last written frame, the title, a clock the test advances, a
// clipboard, keyboard state and scripted dialog answers.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/port/console_port.h"
#include "engine/port/utf.h"

namespace kelm::port {

class VirtualConsole : public ConsolePort {
 public:
  // A console of `columns` x `rows` visible cells (window Right = columns - 1).
  VirtualConsole(int columns = 120, int rows = 30);

  // --- what the test drives ---------------------------------------------------
  void SetWindowSize(int columns, int rows);
  void PushInput(const INPUT_RECORD& record);
  // A key-down record followed by its key-up record, with modifier records
  // around it when the control state carries Shift, Ctrl or Alt.
  void PushKey(uint16_t virtualKey, char16_t ch = 0, uint32_t controlState = 0);
  // Mouse records at screen cell (x, y).
  void PushMouseMove(int x, int y, uint32_t buttons = 0, uint32_t controlState = 0);
  void PushMouseButtons(int x, int y, uint32_t buttons, uint32_t controlState = 0);
  // Moves to the cell, presses the left button (one record) .
  void PushLeftPress(int x, int y);
  void PushLeftRelease(int x, int y);
  void PushWheel(int x, int y, int notches);  // > 0 away from the user

  // Async key state the test controls (bit 15: down; bit 0: pressed since the
  // last query, cleared by the query).
  void SetKeyDown(int virtualKey, bool down);
  void SetKeyPressedSinceQuery(int virtualKey);
  // What KeyToChar yields for a key (default: letters by the Shift state,
  // digits, space; 0 for everything else).
  void SetKeyChar(uint16_t virtualKey, char16_t ch);

  void AdvanceClock(uint64_t milliseconds) { now += milliseconds; }

  // Scripted dialog answers (consumed in order; nothing queued = cancel).
  std::deque<std::optional<std::string>> openDialogAnswers;
  std::deque<std::optional<std::string>> saveDialogAnswers;
  std::deque<uint32_t> openWithAnswers;

  // --- what the test reads ----------------------------------------------------
  // The frame of the last WriteFrame call.
  std::vector<CHAR_INFO> frame;
  int frameWidth = 0;
  int frameHeight = 0;
  int framesWritten = 0;
  std::u16string title;
  std::optional<std::u16string> clipboard;
  // What SetClipboardText answers (the test picks the clipboard's path).
  ClipboardTarget clipboardTarget = ClipboardTarget::System;
  bool foreground = true;
  bool setupFails = false;
  uint32_t setupErrorCode = 6;
  bool colourTableAvailable = true;
  ColourTable colours;
  // The clock in ms; it starts at a date (ms since 1970) so that the wall
  // clock, now / 1000, names screenshots deterministically.
  uint64_t now = 1'765'000'000'000ULL;
  // WaitForInput calls, the last time-out asked for (kWaitForever for none)
  // and the WakeWaiter calls not yet consumed by a wait.
  int waits = 0;
  uint32_t lastWaitMs = 0;
  int wakes = 0;
  // What the dialogs and reports were asked.
  int openDialogCalls = 0;
  int saveDialogCalls = 0;
  std::vector<std::string> openWithPaths;
  std::vector<std::pair<std::u16string, std::u16string>> messageBoxes;  // text, caption
  std::string reports;
  int pauses = 0;
  uint32_t sleptMilliseconds = 0;

  // Row `row` of the last frame as UTF-8 text (for readable test failures).
  std::string RowText(int row) const;
  // Attribute of a cell of the last frame.
  uint16_t AttributeAt(int column, int row) const;
  char16_t CharAt(int column, int row) const;

  // --- ConsolePort ----------------------------------------------------------------
  bool Setup(uint32_t& errorCode) override;
  void Restore() override {}
  bool GetWindowRect(SMALL_RECT& window) override;
  uint32_t PendingInputCount() override { return static_cast<uint32_t>(input.size()); }
  uint32_t ReadInput(INPUT_RECORD* records, uint32_t max) override;
  void WriteFrame(const CHAR_INFO* cells, int width, int height) override;
  void SetTitle(const std::u16string& value) override { title = value; }
  bool IsForeground() override { return foreground; }
  bool GetColourTable(ColourTable& table) override;
  int16_t GetAsyncKeyState(int virtualKey) override;
  char16_t KeyToChar(uint16_t virtualKey) override;
  ClipboardTarget SetClipboardText(const std::u16string& text) override {
    clipboard = text;
    return clipboardTarget;
  }
  std::optional<std::u16string> GetClipboardText() override { return clipboard; }
  std::optional<std::string> OpenFileDialog(const std::string& startDir) override;
  std::optional<std::string> SaveFileDialog(const std::string& startDir) override;
  uint32_t OpenWithDialog(const std::string& path) override;
  void MessageBox(const std::u16string& text, const std::u16string& caption) override {
    messageBoxes.emplace_back(text, caption);
  }
  void WriteReport(const std::string& text) override { reports += text; }
  void Pause() override { ++pauses; }
  uint64_t Ticks() override { return now; }
  int64_t WallClockSeconds() override { return static_cast<int64_t>(now / 1000); }
  // The clock advances by the time-out: nothing arrives during a wait, the
  // test pushes input between frames. A wait without a time-out (or one
  // ended by WakeWaiter) takes no time.
  void WaitForInput(uint32_t milliseconds) override;
  void WakeWaiter() override { ++wakes; }
  bool InputWaiting() override { return !input.empty(); }
  // Focus changes of the virtual console are the test setting `foreground`.
  bool ReportsFocusChanges() const override { return true; }
  void Sleep(uint32_t milliseconds) override {
    sleptMilliseconds += milliseconds;
    now += milliseconds;
  }

 private:
  int columns_;
  int rows_;
  std::deque<INPUT_RECORD> input;
  std::array<bool, 256> keyDown{};
  std::array<bool, 256> pressedSinceQuery{};
  std::array<char16_t, 256> keyChars{};
  std::array<bool, 256> keyCharSet{};
};

}  // namespace kelm::port
