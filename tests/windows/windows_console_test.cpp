// The Win32 console backend on a real console made for the test process
// (the one it runs on, or else one made with AllocConsole; under wine the
// test program runs on a pseudo-terminal, which wine turns into a console): the modes it sets
// and gives back, frames read back from the screen buffer, input records
// read back unchanged and never more than asked for, the title, the colour
// table, the focus and modifier state taken from the records, the clipboard.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/windows/win32_records.h"
#include "engine/port/windows/windows_console.h"
#include "engine/port/windows/win32.h"

namespace {

namespace port = kelm::port;

// Gives the test process a console of its own for the whole suite.
class WindowsConsoleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) {
      // Started on a console (under wine: on a terminal), which is used.
      consoleMade = true;
      return;
    }
    FreeConsole();
    consoleMade = AllocConsole() != FALSE;
    if (consoleMade) {
      // The standard handles of a process that had no console are not
      // always pointed at the new one: point them there.
      HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
      HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
      SetStdHandle(STD_INPUT_HANDLE, input);
      SetStdHandle(STD_OUTPUT_HANDLE, output);
    }
  }

  void SetUp() override {
    ASSERT_TRUE(consoleMade) << "AllocConsole failed: " << GetLastError();
    input = GetStdHandle(STD_INPUT_HANDLE);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    console = std::make_unique<port::WindowsConsole>();
  }

  void TearDown() override {
    if (console) console->Restore();
  }

  void SetUpConsole() {
    uint32_t error = 0;
    ASSERT_TRUE(console->Setup(error)) << "error " << error;
  }

  void Inject(const std::vector<port::INPUT_RECORD>& records) {
    std::vector<::INPUT_RECORD> system;
    for (const port::INPUT_RECORD& record : records) system.push_back(port::ToWin32(record));
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(input, system.data(), static_cast<DWORD>(system.size()), &written));
    ASSERT_EQ(written, system.size());
  }

  static inline bool consoleMade = false;
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  std::unique_ptr<port::WindowsConsole> console;
};

TEST_F(WindowsConsoleTest, SetupSetsRawModesAndRestoreGivesThemBack) {
  DWORD inputBefore = 0;
  DWORD outputBefore = 0;
  ASSERT_TRUE(GetConsoleMode(input, &inputBefore));
  ASSERT_TRUE(GetConsoleMode(output, &outputBefore));
  ASSERT_NE(inputBefore, 0x98u) << "the test needs a console in its default modes";

  SetUpConsole();
  DWORD mode = 0;
  ASSERT_TRUE(GetConsoleMode(input, &mode));
  EXPECT_EQ(mode, 0x98u);
  ASSERT_TRUE(GetConsoleMode(output, &mode));
  EXPECT_EQ(mode, 5u);
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(output, &cursor));
  EXPECT_FALSE(cursor.bVisible);

  console->Restore();
  ASSERT_TRUE(GetConsoleMode(input, &mode));
  EXPECT_EQ(mode, inputBefore);
  ASSERT_TRUE(GetConsoleMode(output, &mode));
  EXPECT_EQ(mode, outputBefore);
  // A second Restore changes nothing.
  console->Restore();
  ASSERT_TRUE(GetConsoleMode(input, &mode));
  EXPECT_EQ(mode, inputBefore);
}

TEST_F(WindowsConsoleTest, SetupFailsWithTheSystemErrorWhenInputIsNoConsole) {
  // A pipe in place of the console's input, as with redirected input.
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  SetStdHandle(STD_INPUT_HANDLE, readEnd);
  port::WindowsConsole redirected;
  uint32_t error = 0;
  const bool ok = redirected.Setup(error);
  SetStdHandle(STD_INPUT_HANDLE, input);
  CloseHandle(readEnd);
  CloseHandle(writeEnd);
  EXPECT_FALSE(ok);
  EXPECT_NE(error, 0u);
  // The console's output was given back: the cursor shows again.
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(output, &cursor));
  EXPECT_TRUE(cursor.bVisible);
}

TEST_F(WindowsConsoleTest, WindowRectStartsAtTheOrigin) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
  port::SMALL_RECT window;
  ASSERT_TRUE(console->GetWindowRect(window));
  EXPECT_EQ(window.Left, 0);
  EXPECT_EQ(window.Top, 0);
  EXPECT_EQ(window.Right, info.srWindow.Right - info.srWindow.Left);
  EXPECT_EQ(window.Bottom, info.srWindow.Bottom - info.srWindow.Top);
  EXPECT_GT(window.Right, 0);
  EXPECT_GT(window.Bottom, 0);
}

TEST_F(WindowsConsoleTest, FrameIsWrittenAtTheWindowAndReadsBack) {
  SetUpConsole();
  port::SMALL_RECT window;
  ASSERT_TRUE(console->GetWindowRect(window));
  const int width = 6;
  const int height = 3;
  ASSERT_GE(window.Right + 1, width);
  ASSERT_GE(window.Bottom + 1, height);
  std::vector<port::CHAR_INFO> cells;
  const std::u16string text = u"hex 00\u2592\u25A0 A0 |dAta.|";
  for (int i = 0; i < width * height; ++i) {
    cells.push_back(port::CHAR_INFO{text[static_cast<size_t>(i)], static_cast<uint16_t>(0x10 * (i % 16) + (15 - i % 16))});
  }
  console->WriteFrame(cells.data(), width, height);

  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
  std::vector<::CHAR_INFO> back(static_cast<size_t>(width * height));
  ::SMALL_RECT region{info.srWindow.Left, info.srWindow.Top, static_cast<SHORT>(info.srWindow.Left + width - 1),
                      static_cast<SHORT>(info.srWindow.Top + height - 1)};
  ASSERT_TRUE(ReadConsoleOutputW(output, back.data(), ::COORD{width, height}, ::COORD{0, 0}, &region));
  for (int i = 0; i < width * height; ++i) {
    EXPECT_EQ(back[static_cast<size_t>(i)].Char.UnicodeChar, static_cast<WCHAR>(cells[static_cast<size_t>(i)].UnicodeChar))
        << "cell " << i;
    EXPECT_EQ(back[static_cast<size_t>(i)].Attributes, cells[static_cast<size_t>(i)].Attributes) << "cell " << i;
  }
  // The cursor waits at the window's top-left corner.
  EXPECT_EQ(info.dwCursorPosition.X, info.srWindow.Left);
  EXPECT_EQ(info.dwCursorPosition.Y, info.srWindow.Top);
}

// Cells in the terminal's default colours take the console's own colours
// from when the viewer started, not light grey on black.
TEST_F(WindowsConsoleTest, DefaultColoursAreTheConsolesOwn) {
  CONSOLE_SCREEN_BUFFER_INFO before{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &before));
  ASSERT_TRUE(SetConsoleTextAttribute(output, 0x1E));  // yellow on blue
  SetUpConsole();
  const std::vector<port::CHAR_INFO> cells = {
      {u'a', static_cast<uint16_t>(port::kTerminalDefaultColours | 0x07)},  // both defaults
      {u'.', static_cast<uint16_t>(port::kTerminalDefaultColours | 0x08)},  // grey on the default
      {u'b', static_cast<uint16_t>(port::kTerminalDefaultColours | 0x4F)},  // a colour of its own
      {u'c', 0x07},                                                         // classic light grey
  };
  console->WriteFrame(cells.data(), 4, 1);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
  std::vector<::CHAR_INFO> back(4);
  ::SMALL_RECT region{info.srWindow.Left, info.srWindow.Top, static_cast<SHORT>(info.srWindow.Left + 3),
                      info.srWindow.Top};
  ASSERT_TRUE(ReadConsoleOutputW(output, back.data(), ::COORD{4, 1}, ::COORD{0, 0}, &region));
  SetConsoleTextAttribute(output, before.wAttributes);
  EXPECT_EQ(back[0].Attributes & 0xFF, 0x1E);
  EXPECT_EQ(back[1].Attributes & 0xFF, 0x18);
  EXPECT_EQ(back[2].Attributes & 0xFF, 0x4F);
  EXPECT_EQ(back[3].Attributes & 0xFF, 0x07);
}

TEST_F(WindowsConsoleTest, InputRecordsArriveUnchanged) {
  SetUpConsole();
  const std::vector<port::INPUT_RECORD> sent = {
      port::MakeKeyRecord(true, VK_NEXT, 0, ENHANCED_KEY, 0x51),
      port::MakeKeyRecord(false, VK_NEXT, 0, ENHANCED_KEY, 0x51),
      port::MakeKeyRecord(true, 'Q', u'q', 0, 0x10),
      port::MakeMouseRecord(12, 7, FROM_LEFT_1ST_BUTTON_PRESSED, 0, LEFT_CTRL_PRESSED),
      port::MakeMouseRecord(3, 4, static_cast<uint32_t>(static_cast<uint16_t>(-120)) << 16, MOUSE_WHEELED)};
  Inject(sent);
  // The console may add records of its own at any time (wine turns the
  // terminal's late replies and focus reports into records), so the records
  // read must hold the sent ones as one unchanged run, in order.
  std::vector<port::INPUT_RECORD> got;
  for (int round = 0; round < 64 && console->PendingInputCount() > 0; ++round) {
    port::INPUT_RECORD batch[8];
    const uint32_t count = console->ReadInput(batch, 8);
    ASSERT_LE(count, 8u);
    got.insert(got.end(), batch, batch + count);
  }
  ASSERT_GE(got.size(), sent.size());
  size_t start = 0;
  while (start + sent.size() <= got.size() &&
         !(got[start].EventType == sent[0].EventType &&
           (sent[0].EventType != KEY_EVENT ||
            got[start].Event.KeyEvent.wVirtualKeyCode == sent[0].Event.KeyEvent.wVirtualKeyCode))) {
    ++start;
  }
  ASSERT_LE(start + sent.size(), got.size()) << "the first sent record was not read";
  for (size_t i = 0; i < sent.size(); ++i) {
    const port::INPUT_RECORD& read = got[start + i];
    ASSERT_EQ(read.EventType, sent[i].EventType) << i;
    if (sent[i].EventType == KEY_EVENT) {
      const auto& a = read.Event.KeyEvent;
      const auto& b = sent[i].Event.KeyEvent;
      EXPECT_EQ(a.bKeyDown, b.bKeyDown) << i;
      EXPECT_EQ(a.wVirtualKeyCode, b.wVirtualKeyCode) << i;
      EXPECT_EQ(a.wVirtualScanCode, b.wVirtualScanCode) << i;
      EXPECT_EQ(a.UnicodeChar, b.UnicodeChar) << i;
      EXPECT_EQ(a.dwControlKeyState, b.dwControlKeyState) << i;
    } else {
      const auto& a = read.Event.MouseEvent;
      const auto& b = sent[i].Event.MouseEvent;
      EXPECT_EQ(a.dwMousePosition.X, b.dwMousePosition.X) << i;
      EXPECT_EQ(a.dwMousePosition.Y, b.dwMousePosition.Y) << i;
      EXPECT_EQ(a.dwButtonState, b.dwButtonState) << i;
      EXPECT_EQ(a.dwEventFlags, b.dwEventFlags) << i;
      EXPECT_EQ(a.dwControlKeyState, b.dwControlKeyState) << i;
    }
  }
}

TEST_F(WindowsConsoleTest, ReadsNoMoreThanAskedAndNeverBlocks) {
  SetUpConsole();
  std::vector<port::INPUT_RECORD> sent;
  for (int i = 0; i < 40; ++i) sent.push_back(port::MakeKeyRecord(true, 'A', static_cast<char16_t>(u'a' + i % 26), 0));
  Inject(sent);
  port::INPUT_RECORD got[64];
  ASSERT_EQ(console->ReadInput(got, 32), 32u);
  EXPECT_EQ(got[31].Event.KeyEvent.UnicodeChar, static_cast<char16_t>(u'a' + 31 % 26));
  EXPECT_EQ(console->PendingInputCount(), 8u);
  ASSERT_EQ(console->ReadInput(got, 32), 8u);
  EXPECT_EQ(got[0].Event.KeyEvent.UnicodeChar, static_cast<char16_t>(u'a' + 32 % 26));
  // An empty queue yields nothing at once instead of waiting for a key.
  EXPECT_EQ(console->ReadInput(got, 32), 0u);
}

TEST_F(WindowsConsoleTest, WaitForInputEndsWhenARecordWaits) {
  SetUpConsole();
  Inject({port::MakeKeyRecord(true, 'A', u'a', 0)});
  const uint64_t start = console->Ticks();
  console->WaitForInput(5000);
  EXPECT_LT(console->Ticks() - start, 2500u);
}

TEST_F(WindowsConsoleTest, ModifiersFromRecordsCountAsHeld) {
  SetUpConsole();
  Inject({port::MakeKeyRecord(true, VK_RIGHT, 0, SHIFT_PRESSED | ENHANCED_KEY)});
  port::INPUT_RECORD got[4];
  ASSERT_EQ(console->ReadInput(got, 4), 1u);
  EXPECT_NE(console->GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  EXPECT_EQ(console->GetAsyncKeyState(VK_MENU) & 0x8000, 0);
  // Shift let go: the key-up record carries the new state.
  Inject({port::MakeKeyRecord(false, VK_SHIFT, 0, 0)});
  ASSERT_EQ(console->ReadInput(got, 4), 1u);
  EXPECT_EQ(console->GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
}

TEST_F(WindowsConsoleTest, FocusRecordsTellForegroundWithoutAWindow) {
  SetUpConsole();
  HWND window = GetConsoleWindow();
  if (window != nullptr && IsWindowVisible(window)) {
    GTEST_SKIP() << "this console has a window of its own; the foreground window decides";
  }
  EXPECT_TRUE(console->IsForeground());
  Inject({port::MakeFocusRecord(false)});
  port::INPUT_RECORD got[2];
  ASSERT_EQ(console->ReadInput(got, 2), 1u);
  EXPECT_EQ(got[0].EventType, FOCUS_EVENT);
  EXPECT_FALSE(console->IsForeground());
  Inject({port::MakeFocusRecord(true)});
  ASSERT_EQ(console->ReadInput(got, 2), 1u);
  EXPECT_TRUE(console->IsForeground());
}

TEST_F(WindowsConsoleTest, TitleIsSet) {
  console->SetTitle(u"KelmHex Viewer - Gr\u00F6\u00DFe.bin");
  wchar_t title[256]{};
  ASSERT_GT(GetConsoleTitleW(title, 256), 0u);
  EXPECT_STREQ(title, L"KelmHex Viewer - Gr\u00F6\u00DFe.bin");
}

TEST_F(WindowsConsoleTest, ColourTableIsTheConsoles) {
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetConsoleScreenBufferInfoEx(output, &info));
  port::ColourTable table;
  ASSERT_TRUE(console->GetColourTable(table));
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(table.rgb[i][0], GetRValue(info.ColorTable[i])) << i;
    EXPECT_EQ(table.rgb[i][1], GetGValue(info.ColorTable[i])) << i;
    EXPECT_EQ(table.rgb[i][2], GetBValue(info.ColorTable[i])) << i;
  }
}

TEST_F(WindowsConsoleTest, CopyReachesTheSystemClipboardAndSaysSo) {
  const std::u16string text = u"kelmhex 48 65 \u00fc";
  EXPECT_EQ(console->SetClipboardText(text), port::ClipboardTarget::System);
  EXPECT_EQ(console->GetClipboardText(), text);
}

TEST_F(WindowsConsoleTest, QuitRequestIsTakenOnce) {
  int status = -1;
  EXPECT_FALSE(console->TakeQuitRequest(status));
  console->RequestQuit(129);
  ASSERT_TRUE(console->TakeQuitRequest(status));
  EXPECT_EQ(status, 129);
  EXPECT_FALSE(console->TakeQuitRequest(status));
}

}  // namespace
