// The whole viewer on the virtual console, driven by a long seeded stream of
// random input: every key the viewer binds with every modifier, typing and
// pasting into its forms, mouse moves, clicks, drags, the wheel, right
// clicks, focus changes and resizes from 1 x 1 up to 500 x 200, over files
// of awkward sizes and a sparse 1 TiB file. After every frame the frame
// must be exactly the window's size and the selection and marks must be
// consistent; at the end every viewed file must be byte-for-byte what it
// was, with the same modification time.
//
// KELMHEX_SOAK_SEED picks the stream (a failure prints it: the same seed
// replays the same run exactly) and KELMHEX_SOAK_RECORDS its length.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "viewer/marks_store.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/search.h"
#include "app/startup.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

namespace {

using namespace KelmCEngineV2;
using namespace kelm::port;

// About 1 s in an optimised build and 10 s under the sanitizers.
constexpr uint64_t kDefaultRecords = 100'000;
constexpr uint64_t kDefaultSeed = 20260101;

bool IsColourDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return std::strtoull(text, nullptr, 0);
}

// What a file is, for the before/after comparison: size, modification time
// and a hash of its data (only the data extents of a sparse file, with
// their offsets, so that a 1 TiB file costs no more than its few blocks).
struct FileFingerprint {
  uint64_t size = 0;
  int64_t mtimeSeconds = 0;
  int64_t mtimeNanoseconds = 0;
  uint64_t hash = 0;
  bool operator==(const FileFingerprint&) const = default;
};

uint64_t Fnv(uint64_t hash, const unsigned char* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    hash ^= data[i];
    hash *= 1099511628211ULL;
  }
  return hash;
}

FileFingerprint Fingerprint(const std::string& path) {
  FileFingerprint print;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return print;
  print.size = static_cast<uint64_t>(info.st_size);
  print.mtimeSeconds = info.st_mtim.tv_sec;
  print.mtimeNanoseconds = info.st_mtim.tv_nsec;
  print.hash = 14695981039346656037ULL;
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return print;
  std::vector<unsigned char> buffer(1 << 16);
  off_t at = 0;
  const auto end = static_cast<off_t>(print.size);
  while (at < end) {
    off_t data = ::lseek(fd, at, SEEK_DATA);
    if (data < 0) break;  // only a hole is left
    off_t hole = ::lseek(fd, data, SEEK_HOLE);
    if (hole < 0) hole = end;
    print.hash = Fnv(print.hash, reinterpret_cast<const unsigned char*>(&data), sizeof data);
    for (off_t p = data; p < hole;) {
      const auto want = static_cast<size_t>(std::min<off_t>(hole - p, static_cast<off_t>(buffer.size())));
      const ssize_t got = ::pread(fd, buffer.data(), want, p);
      if (got <= 0) break;
      print.hash = Fnv(print.hash, buffer.data(), static_cast<size_t>(got));
      p += got;
    }
    at = hole;
  }
  ::close(fd);
  return print;
}

std::string Describe(const FileFingerprint& print) {
  std::ostringstream out;
  out << "size " << print.size << ", mtime " << print.mtimeSeconds << "." << print.mtimeNanoseconds << ", hash "
      << std::hex << print.hash;
  return out.str();
}

// The keys the viewer, its forms and its boxes react to, plus a few it
// does not.
const uint16_t kKeys[] = {
    'A',      'B',     'C',    'D',     'F',     'G',     'K',       'M',     'N',      'O',
    'Q',      'R',     'Y',    'V',     'X',     'E',     VK_UP,     VK_DOWN, VK_LEFT,  VK_RIGHT,
    VK_PRIOR, VK_NEXT, VK_HOME, VK_END, VK_ESCAPE, VK_RETURN, VK_F1, VK_F2,   VK_F3,    VK_F10,
    VK_TAB,   VK_BACK, VK_DELETE, VK_SPACE, VK_INSERT, VK_F4, VK_F5, VK_F12,  VK_OEM_7, VK_OEM_PERIOD,
    VK_OEM_1, '0',     '5',    '9',
};

// Texts put on the clipboard before a Ctrl+V: hex offsets and lengths,
// 17-digit and empty numbers, search patterns, junk and a long run.
const char16_t* const kPastes[] = {
    u"",
    u"0",
    u"1",
    u"13",
    u"14",
    u"ff",
    u"FFFFFFFFFFFFFFFF",
    u"10000000000000000",
    u"99999999999999999",
    u"18446744073709551615",
    u"18446744073709551616",
    u"de ad be ef",
    u"00",
    u"\"text",
    u"\"\"",
    u"\"",
    u"-1",
    u"0x10",
    u"  7  ",
    u"\t\n\r",
    u"\u00e9\u4e2d\U0001F600",
    u"\xd800",
    u"12345678901234567",
};

class ViewerSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDirectory = std::filesystem::current_path();
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-soak-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    // F2 writes screenshots into the working directory.
    std::filesystem::current_path(directory);
    // Marks are kept in the test's folder, never the user's state folder.
    SetMarksFolderForTests((directory / "state" / "marks").string());
  }

  void TearDown() override {
    Stop();
    std::filesystem::current_path(previousDirectory);
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  std::string MakeFile(const std::string& name, size_t size) {
    const std::string path = (directory / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * 37 + 11) & 0xFF));
    return path;
  }

  std::string MakeSparseFile(const std::string& name, uint64_t size) {
    const std::string path = (directory / name).string();
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, size);
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    const char head[] = "\xde\xad\xbe\xef start";
    const char tail[] = "the end \xca\xfe";
    out.write(head, sizeof head - 1);
    out.seekp(static_cast<std::streamoff>(size / 2));
    out.write(tail, sizeof tail - 1);
    out.seekp(static_cast<std::streamoff>(size - (sizeof tail - 1)));
    out.write(tail, sizeof tail - 1);
    return path;
  }

  void StartOn(const std::string& path) {
    Stop();
    console = std::make_unique<VirtualConsole>(columns, rows);
    SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    // One chunk of a running search per frame, whatever the machine's
    // speed, so that a seed replays the same run.
    searchSettings.frameBudget = std::chrono::microseconds(0);
    searchSettings.chunkSize = uint64_t{1} << 16;
  }

  void Stop() {
    delete engine;
    engine = nullptr;
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    searchSettings = SearchSettings{};
  }

  // --- random input ---------------------------------------------------------------
  uint32_t RandomModifiers() {
    static const uint32_t kSets[] = {
        0,
        0,
        0,
        SHIFT_PRESSED,
        LEFT_CTRL_PRESSED,
        LEFT_CTRL_PRESSED,
        RIGHT_CTRL_PRESSED,
        LEFT_ALT_PRESSED,
        RIGHT_ALT_PRESSED,
        LEFT_CTRL_PRESSED | SHIFT_PRESSED,
        LEFT_ALT_PRESSED | SHIFT_PRESSED,
        LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED,
        LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED | SHIFT_PRESSED,
        RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED,  // AltGr
    };
    return kSets[Below(std::size(kSets))];
  }

  // The character a key produces with these modifiers on a US layout.
  static char16_t CharOf(uint16_t key, uint32_t modifiers) {
    const bool ctrl = modifiers & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED);
    const bool shift = modifiers & SHIFT_PRESSED;
    if (key >= 'A' && key <= 'Z') {
      if (ctrl) return static_cast<char16_t>(key - 'A' + 1);
      return shift ? key : static_cast<char16_t>(key + 32);
    }
    if (key >= '0' && key <= '9') return key;
    switch (key) {
      case VK_SPACE:
        return u' ';
      case VK_RETURN:
        return u'\r';
      case VK_ESCAPE:
        return 0x1B;
      case VK_BACK:
        return ctrl ? 0x7F : 8;
      case VK_TAB:
        return u'\t';
      case VK_OEM_7:
        return shift ? u'"' : u'\'';
      case VK_OEM_PERIOD:
        return shift ? u'>' : u'.';
      case VK_OEM_1:
        return shift ? u':' : u';';
      default:
        return 0;
    }
  }

  size_t Below(size_t bound) { return static_cast<size_t>(NextRandom() % bound); }
  bool Chance(int percent) { return static_cast<int>(NextRandom() % 100) < percent; }

  void Key(uint16_t key, uint32_t modifiers) {
    if (!allowQuit && modifiers == 0 && (key == 'Q' || key == VK_F10)) return;
    console->PushKey(key, CharOf(key, modifiers), modifiers);
    Log("key " + std::to_string(key) + " mods " + std::to_string(modifiers));
  }

  // What the last frames pushed, shown with a failure.
  void Log(const std::string& what) {
    actionLog.push_back(std::to_string(frameNumber) + ": " + what);
    if (actionLog.size() > 40) actionLog.erase(actionLog.begin());
  }
  std::vector<std::string> actionLog;
  uint64_t frameNumber = 0;

  // Typing as into a form: hex digits, decimal digits, a quote, blanks.
  void Type() {
    Log("typing");
    static const char16_t kTyped[] = u"0123456789abcdefABCDEF\" .:xz";
    const size_t count = 1 + Below(20);
    for (size_t i = 0; i < count; ++i) {
      const char16_t c = kTyped[Below(std::size(kTyped) - 1)];
      uint16_t key = VK_PACKET;
      uint32_t modifiers = 0;
      if (c >= u'0' && c <= u'9') key = c;
      if (c >= u'a' && c <= u'z') key = static_cast<uint16_t>(c - 32);
      if (c >= u'A' && c <= u'Z') {
        key = c;
        modifiers = SHIFT_PRESSED;
      }
      if (c == u' ') key = VK_SPACE;
      console->PushKey(key, c, modifiers);
    }
  }

  // A whole form entry: boxes closed, a form opened with its key, a number
  // or pattern typed or pasted, Enter.
  void FormEntry() {
    static const uint16_t kFormKeys[] = {'G', 'B', 'F', 'M', 'K'};
    const uint16_t key = kFormKeys[Below(std::size(kFormKeys))];
    Log("form " + std::to_string(key));
    for (int i = 0; i < 3; ++i) console->PushKey(VK_ESCAPE, 0x1B, 0);
    if (Chance(50)) {
      console->PushKey(VK_LEFT, 0, 0);  // a selection for the length and colour forms
      console->PushKey(VK_RIGHT, 0, SHIFT_PRESSED);
    }
    console->PushKey(key, static_cast<char16_t>(key - 'A' + 1), LEFT_CTRL_PRESSED);
    if (Chance(30)) {
      Paste();
    } else if (key == 'F' && Chance(50)) {
      const char16_t* patterns[] = {u"\"start", u"\"the end", u"de ad", u"00", u"ca fe"};
      const std::u16string pattern = patterns[Below(std::size(patterns))];
      for (char16_t c : pattern) console->PushKey(VK_PACKET, c, 0);
    } else {
      Type();
    }
    console->PushKey(VK_RETURN, u'\r', 0);
  }

  void Paste() {
    Log("paste");
    if (Chance(15)) {
      console->clipboard.reset();
    } else if (Chance(10)) {
      std::u16string longText(1000 + Below(100'000), u'7');
      console->clipboard = longText;
    } else {
      console->clipboard = std::u16string(kPastes[Below(std::size(kPastes))]);
    }
    console->PushKey('V', 0x16, Chance(80) ? LEFT_CTRL_PRESSED : LEFT_CTRL_PRESSED | SHIFT_PRESSED);
  }

  int RandomColumn() { return static_cast<int>(Below(static_cast<size_t>(columns) + 3)); }
  int RandomRow() { return static_cast<int>(Below(static_cast<size_t>(rows) + 2)); }

  void Mouse() {
    const int x = RandomColumn();
    const int y = RandomRow();
    const size_t kind = Below(9);
    Log("mouse " + std::to_string(kind) + " at " + std::to_string(x) + "," + std::to_string(y));
    switch (kind) {
      case 0:
        console->PushMouseMove(x, y, 0, Chance(20) ? SHIFT_PRESSED : 0);
        break;
      case 1:
        console->PushLeftPress(x, y);
        break;
      case 2:
        console->PushLeftRelease(x, y);
        break;
      case 3: {  // a drag
        console->PushLeftPress(x, y);
        for (int i = 0, n = 1 + static_cast<int>(Below(6)); i < n; ++i) {
          console->PushMouseMove(RandomColumn(), RandomRow(), FROM_LEFT_1ST_BUTTON_PRESSED);
        }
        if (Chance(80)) console->PushLeftRelease(RandomColumn(), RandomRow());
        break;
      }
      case 4:
        console->PushWheel(x, y, static_cast<int>(Below(7)) - 3);
        break;
      case 5:  // right click
        console->PushMouseMove(x, y);
        console->PushMouseButtons(x, y, RIGHTMOST_BUTTON_PRESSED);
        if (Chance(80)) console->PushMouseButtons(x, y, 0);
        break;
      case 6:  // shift-click
        console->SetKeyDown(VK_SHIFT, true);
        console->PushMouseButtons(x, y, FROM_LEFT_1ST_BUTTON_PRESSED, SHIFT_PRESSED);
        console->PushMouseButtons(x, y, 0, SHIFT_PRESSED);
        break;
      case 7:  // double click, middle button
        console->PushInput(MakeMouseRecord(static_cast<int16_t>(x), static_cast<int16_t>(y),
                                           FROM_LEFT_1ST_BUTTON_PRESSED, DOUBLE_CLICK));
        console->PushMouseButtons(x, y, FROM_LEFT_2ND_BUTTON_PRESSED);
        console->PushMouseButtons(x, y, 0);
        break;
      default:  // a horizontal wheel and a position far outside
        console->PushInput(MakeMouseRecord(static_cast<int16_t>(x), static_cast<int16_t>(y),
                                           static_cast<uint32_t>(static_cast<uint16_t>(-WHEEL_DELTA)) << 16,
                                           MOUSE_HWHEELED));
        console->PushMouseMove(Chance(50) ? 32767 : 0, Chance(50) ? 32767 : 0);
        break;
    }
  }

  void Resize() {
    if (Chance(10)) {
      columns = 500;
      rows = 200;
    } else if (Chance(15)) {
      columns = 1 + static_cast<int>(Below(3));
      rows = 1 + static_cast<int>(Below(3));
    } else {
      columns = 1 + static_cast<int>(Below(160));
      rows = 1 + static_cast<int>(Below(60));
    }
    console->SetWindowSize(columns, rows);
    INPUT_RECORD record;
    record.EventType = WINDOW_BUFFER_SIZE_EVENT;
    record.Event.WindowBufferSizeEvent.dwSize.X = static_cast<int16_t>(columns);
    record.Event.WindowBufferSizeEvent.dwSize.Y = static_cast<int16_t>(rows);
    console->PushInput(record);
  }

  void Focus() {
    INPUT_RECORD record;
    record.EventType = FOCUS_EVENT;
    record.Event.FocusEvent.bSetFocus = Chance(50) ? 1 : 0;
    console->PushInput(record);
    // The window in the background for a few frames now and then.
    if (Chance(20)) console->foreground = !console->foreground;
  }

  // One random action: pushes one or more input records.
  void RandomAction() {
    const size_t roll = Below(100);
    if (roll < 40) {
      Key(kKeys[Below(std::size(kKeys))], RandomModifiers());
    } else if (roll < 52) {
      Type();
    } else if (roll < 57) {
      Paste();
    } else if (roll < 85) {
      Mouse();
    } else if (roll < 89) {
      Resize();
    } else if (roll < 91) {
      Focus();
    } else if (roll < 92) {
      // Held modifiers the async key state reports (shift-clicks, drags).
      console->SetKeyDown(VK_SHIFT, Chance(30));
      console->SetKeyDown(VK_CONTROL, Chance(10));
      console->SetKeyDown(VK_MENU, Chance(10));
    } else if (roll < 93) {
      FormEntry();
    } else if (roll < 96) {
      // Ctrl+N picks a file now and then; the save dialog gets a path in
      // the temporary folder (never one of the viewed files).
      if (Chance(50)) {
        console->openDialogAnswers.push_back(files[Below(files.size())]);
      } else if (Chance(50)) {
        console->openDialogAnswers.push_back((directory / "missing.bin").string());
      } else {
        console->saveDialogAnswers.push_back((directory / ("export-" + std::to_string(Below(4)) + ".txt")).string());
      }
      console->PushKey(Chance(50) ? 'N' : 'E', Chance(50) ? 0x0E : 0x05, LEFT_CTRL_PRESSED);
    } else {
      console->AdvanceClock(Below(4000));
    }
  }

  // --- invariants --------------------------------------------------------------------
  // Empty when everything holds, else what is wrong.
  std::string CheckInvariants(bool frameRan) const {
    std::ostringstream problem;
    const int expectedWidth = columns - 1 < 0 ? 0 : columns - 1;
    if (frameRan && (console->frameWidth != expectedWidth || console->frameHeight != rows)) {
      problem << "frame " << console->frameWidth << "x" << console->frameHeight << " on a window of " << columns
              << "x" << rows;
    }
    const size_t cells = static_cast<size_t>(console->frameWidth) * static_cast<size_t>(console->frameHeight);
    if (console->frame.size() != cells) problem << "frame of " << console->frame.size() << " cells, not " << cells;
    if (engine->Cells().size() != cells) problem << "engine buffer of " << engine->Cells().size() << " cells";
    if (topRow < 0 || topRow > MaxTopRow()) problem << "topRow " << topRow;
    if (seekMark) {
      if (*seekMark >= markedRanges.size()) {
        problem << "seekMark " << *seekMark << " of " << markedRanges.size() << " marks";
      } else if (markedRanges[*seekMark].name != u"SearchResult") {
        problem << "seekMark names a mark that is not the search result";
      } else if (markedRanges[*seekMark].length == 0) {
        problem << "the search result mark is empty";
      }
    }
    // The offset display follows the selection: its first byte while it is
    // active, hyphens otherwise.
    if (statusOffset != nullptr) {
      const std::u16string expected = selectionActive ? HexOffsetText(selection.start) : std::u16string(16, u'-');
      if (statusOffset->text != expected) {
        problem << "the offset display shows \"" << ToUtf8(statusOffset->text) << "\" for a selection "
                << (selectionActive ? "active" : "inactive") << " at " << selection.start;
      }
    }
    for (const MarkedRange& mark : markedRanges) {
      if (!IsColourDigit(mark.foreground) || !IsColourDigit(mark.background)) {
        problem << "a mark with colours '" << mark.foreground << "' on '" << mark.background << "'";
      }
    }
    if (!fileLoaded) problem << "the file is not loaded after a frame";
    return problem.str();
  }

  uint64_t NextRandom() { return generator(); }

  std::unique_ptr<VirtualConsole> console;
  Engine* engine = nullptr;
  std::filesystem::path directory;
  std::filesystem::path previousDirectory;
  std::vector<std::string> files;
  std::mt19937_64 generator;
  int columns = 119;
  int rows = 30;
  bool allowQuit = true;
};

TEST_F(ViewerSoak, RandomInputKeepsTheFrameTheMarksAndTheFilesIntact) {
  const uint64_t seed = EnvNumber("KELMHEX_SOAK_SEED", kDefaultSeed);
  const uint64_t wanted = EnvNumber("KELMHEX_SOAK_RECORDS", kDefaultRecords);
  generator.seed(seed);
  SCOPED_TRACE("KELMHEX_SOAK_SEED=" + std::to_string(seed) + " KELMHEX_SOAK_RECORDS=" + std::to_string(wanted));

  files = {MakeFile("empty.bin", 0),   MakeFile("one.bin", 1),     MakeFile("nineteen.bin", 19),
           MakeFile("twenty.bin", 20), MakeFile("twentyone.bin", 21), MakeFile("page.bin", 4096),
           MakeSparseFile("tebibyte.bin", uint64_t{1} << 40)};
  std::vector<FileFingerprint> before;
  for (const std::string& file : files) before.push_back(Fingerprint(file));

  const auto began = std::chrono::steady_clock::now();
  uint64_t records = 0;
  uint64_t frames = 0;
  uint64_t quits = 0;
  uint64_t framesWithBoxes = 0;
  uint64_t framesWithSelection = 0;
  uint64_t framesSearching = 0;
  uint64_t framesWithSeekMark = 0;
  size_t maxMarks = 0;
  size_t fileIndex = 0;
  StartOn(files[fileIndex]);
  // Each file gets an equal share of the run; q and F10 (or the end of a
  // share) start the viewer afresh on the next file.
  const uint64_t share = wanted / files.size() + 1;
  uint64_t shareEnd = share;
  while (records < wanted) {
    const size_t queuedBefore = console->PendingInputCount();
    // The engine reads 32 records a frame: the queue is let drain when it
    // runs ahead.
    if (queuedBefore < 64) {
      for (int i = 0, n = 1 + static_cast<int>(Below(3)); i < n; ++i) RandomAction();
    }
    records += console->PendingInputCount() - queuedBefore;
    console->AdvanceClock(Below(40));
    // An export of a huge selection would write it all: the save dialog
    // answers only while the viewed file is small.
    if (fileSize > (uint64_t{1} << 20)) console->saveDialogAnswers.clear();
    // A frame that does not run (window in the background) leaves the
    // last frame on the console: the frame's size is checked on frames
    // written.
    const bool ran = engine->RunFrame();
    frameNumber = ++frames;
    const std::string problem = CheckInvariants(ran);
    if (!problem.empty()) {
      for (const std::string& line : actionLog) std::printf("  %s\n", line.c_str());
      FAIL() << "after frame " << frames << " (" << records << " records, file " << files[fileIndex]
             << "): " << problem;
    }
    // What the run reached, so that a change that stops the stream from
    // opening forms or selecting shows in the summary.
    if (menusLayer != nullptr) {
      for (Object* object : menusLayer->GetObjects()) {
        if (object != nullptr && !object->IsDestroyed()) {
          ++framesWithBoxes;
          break;
        }
      }
    }
    if (selectionActive) ++framesWithSelection;
    if (SearchRunning()) ++framesSearching;
    maxMarks = std::max(maxMarks, markedRanges.size());
    if (seekMark) ++framesWithSeekMark;
    if (engine->QuitRequested() || records >= shareEnd) {
      if (engine->QuitRequested()) ++quits;
      shareEnd = records + share;
      fileIndex = (fileIndex + 1) % files.size();
      StartOn(files[fileIndex]);
    }
  }
  const size_t pendingAtEnd = console->PendingInputCount();
  Stop();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::printf("soak: seed %llu, %llu records in %llu frames, %llu quits, %.1f s, %.0f records/s\n",
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(records),
              static_cast<unsigned long long>(frames), static_cast<unsigned long long>(quits), seconds,
              seconds > 0 ? static_cast<double>(records) / seconds : 0.0);
  std::printf("soak: frames with a box or menu %llu, with a selection %llu, searching %llu, with a search mark %llu; "
              "at most %zu marks; %zu records left unread\n",
              static_cast<unsigned long long>(framesWithBoxes), static_cast<unsigned long long>(framesWithSelection),
              static_cast<unsigned long long>(framesSearching), static_cast<unsigned long long>(framesWithSeekMark),
              maxMarks, pendingAtEnd);
  // A stream that never opened a form, selected or searched would test
  // little.
  EXPECT_GT(framesWithBoxes, frames / 100);
  EXPECT_GT(framesWithSelection, frames / 100);
  EXPECT_GT(framesSearching + framesWithSeekMark, 0u);
  EXPECT_GT(maxMarks, 0u);

  for (size_t i = 0; i < files.size(); ++i) {
    const FileFingerprint after = Fingerprint(files[i]);
    EXPECT_EQ(after, before[i]) << files[i] << ": was " << Describe(before[i]) << ", now " << Describe(after);
  }
}

}  // namespace
