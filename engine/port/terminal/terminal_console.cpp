#include "engine/port/terminal/terminal_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/port/terminal/child_process.h"
#include "engine/port/terminal/palette_reply.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

// The longest wait poll() takes, in milliseconds.
constexpr uint32_t kLongestPollMs = 0x7FFFFFFF;

// Bytes read from the wake pipe at a time while draining it (each wake is
// one byte; their number does not matter).
constexpr size_t kWakeDrainChunk = 64;

}  // namespace

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
  for (int vk = 0; vk < KeyStateTracker::kVirtualKeyCount; ++vk) keys_.Query(vk);
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
  char buffer[kWakeDrainChunk];
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
  if (milliseconds != kWaitForever) timeout = static_cast<int>(std::min<uint32_t>(milliseconds, kLongestPollMs));
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
      const int untilDeadline = deadline > now ? static_cast<int>(std::min<uint64_t>(deadline - now, kLongestPollMs)) : 0;
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
