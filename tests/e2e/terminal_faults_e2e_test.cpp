// The viewer on a pseudo-terminal whose other side misbehaves: it hangs up,
// stops reading, resizes many times in a row, pastes 100 MB at once, cuts
// an escape sequence between two reads, or is one cell large. The program
// must never hang, must end cleanly when asked or when the terminal goes,
// and must keep answering keys afterwards.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Restores the main screen: the last thing a clean exit writes.
constexpr char kLeaveAlternateScreen[] = "\x1b[?1049l";
constexpr char kGridStart[] = "0000000000000000";

// The program on its own pseudo-terminal: we are the terminal emulator.
class PtyProgram {
 public:
  PtyProgram(const std::vector<std::string>& command, int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      ::setenv("TERM", "xterm-256color", 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    if (master_ >= 0) ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }

  ~PtyProgram() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      int ignored = 0;
      ::waitpid(pid_, &ignored, 0);
    }
    CloseMaster();
  }

  bool Started() const { return pid_ > 0 && master_ >= 0; }
  int Pid() const { return pid_; }
  int Master() const { return master_; }

  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // Writes all of `bytes` (waiting while the terminal's input is full, and
  // reading the program's output meanwhile so that neither side stalls).
  bool Send(std::string_view bytes, int timeoutMs = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
      const ssize_t wrote = ::write(master_, bytes.data(), bytes.size());
      if (wrote > 0) {
        bytes.remove_prefix(static_cast<size_t>(wrote));
        continue;
      }
      if (wrote < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (Clock::now() > deadline) return false;
      pollfd fds{master_, POLLOUT | POLLIN, 0};
      ::poll(&fds, 1, 20);
      ReadAvailable();
    }
    return true;
  }

  // Reads what the program wrote so far, without waiting.
  void ReadAvailable() {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got <= 0) return;
      output.append(buffer, static_cast<size_t>(got));
      if (output.size() > (size_t{8} << 20)) {
        // Only the recent output matters to the waits.
        output.erase(0, output.size() - (size_t{1} << 20));
        searchedUpTo = 0;
      }
    }
  }

  // Waits until `needle` appears in the output written after the last
  // MarkOutput(); false at the deadline or when the program ended.
  bool WaitForOutput(const std::string& needle, int timeoutMs = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      ReadAvailable();
      if (output.find(needle, searchedUpTo) != std::string::npos) return true;
      if (Clock::now() > deadline || Exited()) {
        ReadAvailable();
        return output.find(needle, searchedUpTo) != std::string::npos;
      }
      pollfd fds{master_, POLLIN, 0};
      ::poll(&fds, 1, 20);
    }
  }

  // Later waits only look at output written from now on.
  void MarkOutput() {
    ReadAvailable();
    searchedUpTo = output.size();
  }

  bool Exited() {
    if (status_) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
    return status_.has_value();
  }

  // Waits for the program to end (reading its output meanwhile, so that it
  // never blocks on a full terminal); the raw wait status.
  std::optional<int> WaitForExit(int timeoutMs = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Exited()) {
      if (Clock::now() > deadline) return std::nullopt;
      if (master_ >= 0) {
        ReadAvailable();
        pollfd fds{master_, POLLIN, 0};
        ::poll(&fds, 1, 10);
      } else {
        pollfd none{-1, 0, 0};
        ::poll(&none, 1, 10);
      }
    }
    if (master_ >= 0) ReadAvailable();
    return status_;
  }

  void Resize(int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ::ioctl(master_, TIOCSWINSZ, &size);  // the kernel sends SIGWINCH
  }

  // Bytes the program has not read yet from its terminal.
  int UnreadInput() {
    const int slave = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) return -1;
    int count = 0;
    ::ioctl(slave, FIONREAD, &count);
    ::close(slave);
    return count;
  }

  // Bytes written by the program that we have not read.
  int UnreadOutput() const {
    int count = 0;
    ::ioctl(master_, FIONREAD, &count);
    return count;
  }

  // Resident memory of the program, in KiB (0 when it cannot be read).
  long ResidentKib() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
  }

  std::string output;
  size_t searchedUpTo = 0;

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Waits on a condition with a deadline, polling every 10 ms.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    pollfd none{-1, 0, 0};
    ::poll(&none, 1, 10);
  }
  return true;
}

class TerminalFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-faults-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(directory);
    file = (directory / "data.bin").string();
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 65536; ++i) out.put(static_cast<char>(i * 7));
    out.close();
    // A long sparse tail: every page further down shows new offsets.
    std::filesystem::resize_file(file, uint64_t{1} << 32);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  std::unique_ptr<PtyProgram> Start(int columns = 100, int rows = 30) {
    auto program = std::make_unique<PtyProgram>(std::vector<std::string>{KELMHEX_BINARY, file}, columns, rows);
    return program;
  }

  // Esc closes what is open, q quits. An Esc the decoder still holds when
  // the q arrives makes Alt+Q, which does nothing: then both again.
  static std::optional<int> CloseAndQuit(PtyProgram& program, int timeoutMs = 30000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      program.MarkOutput();
      if (!program.Send("\x1b")) break;
      program.WaitForOutput("\x1b[", 500);
      if (!program.Send("q")) break;
      if (auto status = program.WaitForExit(1000)) return status;
    }
    return program.WaitForExit(0);
  }

  static void ExpectExitedWith(const std::optional<int>& status, std::initializer_list<int> allowed) {
    ASSERT_TRUE(status.has_value()) << "the program did not end before the deadline";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << (WIFSIGNALED(*status) ? WTERMSIG(*status) : 0);
    bool ok = false;
    for (int code : allowed) ok = ok || WEXITSTATUS(*status) == code;
    EXPECT_TRUE(ok) << "exit status " << WEXITSTATUS(*status);
  }

  std::filesystem::path directory;
  std::string file;
};

TEST_F(TerminalFaults, TerminalHangingUpEndsTheProgram) {
  auto program = Start();
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  program->CloseMaster();  // the terminal window is closed
  ExpectExitedWith(program->WaitForExit(), {0, 129});
}

TEST_F(TerminalFaults, HangUpSignalRestoresTheTerminalAndExits129) {
  auto program = Start();
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  program->MarkOutput();
  ::kill(program->Pid(), SIGHUP);
  ExpectExitedWith(program->WaitForExit(), {129});
  EXPECT_NE(program->output.find(kLeaveAlternateScreen, program->searchedUpTo), std::string::npos);
}

TEST_F(TerminalFaults, HangUpWhileOutputIsBlockedStillEnds) {
  auto program = Start(200, 60);
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  // Page down without reading until the program's writes fill the terminal
  // and block.
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (program->UnreadOutput() > 2048) return true;
        const ssize_t wrote = ::write(program->Master(), "\x1b[6~", 4);
        (void)wrote;
        return false;
      },
      20000));
  program->CloseMaster();
  ExpectExitedWith(program->WaitForExit(), {0, 129});
}

TEST_F(TerminalFaults, BlockedOutputRecoversOnceTheTerminalReadsAgain) {
  auto program = Start(200, 60);
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  // Page Down, which redraws every offset of the grid, until the unread
  // output piles up: the program's writes stall.
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (program->UnreadOutput() > 2048) return true;
        const ssize_t wrote = ::write(program->Master(), "\x1b[6~", 4);
        (void)wrote;  // a full terminal input is fine: the next round sends again
        return false;
      },
      20000));
  EXPECT_FALSE(program->Exited());
  // Reading again: it catches up and answers the next key.
  program->MarkOutput();
  ASSERT_TRUE(program->Send("\x07"));  // Ctrl+G: the seek form
  EXPECT_TRUE(program->WaitForOutput("Seek", 20000));
  ExpectExitedWith(CloseAndQuit(*program, 20000), {0});
}

TEST_F(TerminalFaults, ResizeStormLeavesAWorkingScreen) {
  auto program = Start();
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    program->Resize(1 + static_cast<int>(random() % 300), 1 + static_cast<int>(random() % 120));
    if (i % 50 == 0) ::kill(program->Pid(), SIGWINCH);  // a signal with no change
    program->ReadAvailable();
  }
  program->Resize(90, 25);
  program->MarkOutput();
  ASSERT_TRUE(program->Send("\x07"));
  EXPECT_TRUE(program->WaitForOutput("Seek"));
  ExpectExitedWith(CloseAndQuit(*program), {0});
  EXPECT_NE(program->output.find(kLeaveAlternateScreen), std::string::npos);
}

TEST_F(TerminalFaults, HundredMegabytePasteKeepsMemoryBoundedAndTheProgramResponsive) {
  auto program = Start();
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  const long before = program->ResidentKib();
  long peak = before;
  std::string chunk(1 << 20, 'A');
  for (size_t i = 0; i < chunk.size(); i += 64) chunk[i] = '\n';
  ASSERT_TRUE(program->Send("\x1b[200~"));
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(program->Send(chunk, 60000)) << "the program stopped reading after " << i << " MB";
    peak = std::max(peak, program->ResidentKib());
  }
  ASSERT_TRUE(program->Send("\x1b[201~"));
  program->MarkOutput();
  ASSERT_TRUE(program->Send("\x07"));
  EXPECT_TRUE(program->WaitForOutput("Seek", 60000));
  peak = std::max(peak, program->ResidentKib());
  // The decoder keeps at most 16 MiB of a paste; the clipboard holds it as
  // UTF-16. Far below the 100 MB that came in.
  EXPECT_LT(peak - before, 200L * 1024) << "resident memory grew from " << before << " KiB to " << peak << " KiB";
  ExpectExitedWith(CloseAndQuit(*program, 60000), {0});
}

TEST_F(TerminalFaults, EscapeSequenceCutBetweenTwoReadsIsOneKey) {
  auto program = Start();
  ASSERT_TRUE(program->Started());
  ASSERT_TRUE(program->WaitForOutput(kGridStart));
  program->MarkOutput();
  // F1 as CSI 1 1 ~, cut after "ESC [ 1": the program reads the first part
  // before the rest is even sent.
  ASSERT_TRUE(program->Send("\x1b[1"));
  ASSERT_TRUE(WaitUntil([&] { return program->UnreadInput() == 0; }, 5000));
  ASSERT_TRUE(program->Send("1~"));
  EXPECT_TRUE(program->WaitForOutput("Help: keys and mouse"));
  ExpectExitedWith(CloseAndQuit(*program), {0});
}

TEST_F(TerminalFaults, OneCellTerminalThenAGrownOne) {
  auto program = Start(1, 1);
  ASSERT_TRUE(program->Started());
  // The program comes up (it switches to the alternate screen) and stays.
  ASSERT_TRUE(program->WaitForOutput("\x1b[?1049h"));
  for (const char* key : {"\x1b[6~", "\x07", "\x1b", "\x1bOP", "\x1b", "\x1b[<0;1;1M", "\x1b[<0;1;1m"}) {
    ASSERT_TRUE(program->Send(key));
  }
  ASSERT_TRUE(WaitUntil([&] { return program->UnreadInput() == 0; }, 5000));
  EXPECT_FALSE(program->Exited());
  program->MarkOutput();
  program->Resize(100, 30);
  EXPECT_TRUE(program->WaitForOutput("0000000000000"));
  ExpectExitedWith(CloseAndQuit(*program), {0});
}

}  // namespace
