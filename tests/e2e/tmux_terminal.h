// End-to-end test harness: runs a program in a real terminal emulator (a
// tmux server of its own, on its own socket), types into it, clicks in it,
// resizes it, and reads what its screen shows.
//
// Every wait polls the screen (about every 10 ms) until a condition holds or
// a deadline passes; nothing sleeps for a fixed time. The server is killed
// when the object goes away, whatever happened.
//
//   TmuxTerminal term({KELMHEX_BINARY, "file.bin"});
//   ASSERT_TRUE(term.WaitForText("file.bin"));
//   term.SendText("q");
//   ASSERT_TRUE(term.WaitForExit());
//   EXPECT_EQ(term.ExitStatus(), 0);
//
// Screen coordinates are 0-based cells (column, row) from the top-left.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelm::e2e {

class TmuxTerminal {
 public:
  struct Options {
    int columns = 120;
    int rows = 30;
    std::string workingDirectory;              // empty: the test's own
    std::map<std::string, std::string> env;    // extra environment of the program
  };

  // Whether tmux can be run here (tests GTEST_SKIP without it).
  static bool Available();

  // Starts `command` (program and arguments, run without a shell) in a new
  // server. The pane stays after the program ends, so that its exit status
  // and its last screen can be read.
  explicit TmuxTerminal(std::vector<std::string> command);
  TmuxTerminal(std::vector<std::string> command, const Options& options);
  TmuxTerminal(const TmuxTerminal&) = delete;
  TmuxTerminal& operator=(const TmuxTerminal&) = delete;
  ~TmuxTerminal();

  // Whether the server and the pane were created; Error() tells why not.
  bool Started() const { return started_; }
  const std::string& Error() const { return error_; }

  // --- input -------------------------------------------------------------------
  // Text typed literally (each character as its key).
  void SendText(std::string_view text);
  // Raw bytes, exactly, as a terminal sends them (escape sequences, mouse
  // reports, control characters).
  void SendBytes(std::string_view bytes);
  // Keys by tmux name: "Enter", "Escape", "F10", "C-c", "Up", ...
  void SendKeys(const std::vector<std::string>& keys);
  // SGR (1006) mouse reports at a cell: press and release of a button
  // (0 left, 1 middle, 2 right), motion without buttons, wheel notches.
  void Click(int column, int row, int button = 0);
  void Press(int column, int row, int button = 0);
  void Release(int column, int row, int button = 0);
  void MoveMouse(int column, int row);
  void Wheel(int column, int row, bool up);

  // --- screen ------------------------------------------------------------------
  // The visible rows (trailing blanks removed).
  std::vector<std::string> Screen();
  // The visible rows with colours and attributes as SGR sequences, blanks at
  // the end of a row kept (they may carry a colour).
  std::vector<std::string> ScreenWithColours();
  std::string ScreenText();  // rows joined by '\n'
  // Waits until some row contains `text`.
  bool WaitForText(std::string_view text, int timeoutMs = kDefaultTimeoutMs);
  // Waits until no row contains `text`.
  bool WaitForTextGone(std::string_view text, int timeoutMs = kDefaultTimeoutMs);
  // Waits until `condition` holds for the screen.
  bool WaitForScreen(const std::function<bool(const std::vector<std::string>&)>& condition,
                     int timeoutMs = kDefaultTimeoutMs);
  // Waits until `condition` holds (any state, e.g. a format value).
  static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kDefaultTimeoutMs);

  // --- the pane and its program --------------------------------------------------
  // A tmux format of the pane, e.g. "#{alternate_on}", "#{mouse_any_flag}".
  std::string Format(const std::string& format);
  bool PaneDead();
  bool WaitForExit(int timeoutMs = kDefaultTimeoutMs);
  // Exit status of the program once the pane is dead (nothing while it runs;
  // 128 + N when signal N ended it).
  std::optional<int> ExitStatus();
  // The program started in the pane (its process id).
  int PanePid();
  // Process ids of the children of `pid`.
  static std::vector<int> ChildrenOf(int pid);

  void Resize(int columns, int rows);

  // Runs a tmux command on this server; yields its standard output.
  std::string Tmux(const std::vector<std::string>& arguments, int* status = nullptr);

  static constexpr int kDefaultTimeoutMs = 10000;

 private:
  void Start(std::vector<std::string> command, const Options& options);

  std::string socket_;
  // The command runs under a small shell that writes its exit status here:
  // tmux's own record of the status is sometimes lost when the pane's output
  // ends before the process does.
  std::string statusFile_;
  bool started_ = false;
  std::string error_;
};

// Runs a program without a terminal: standard input from `input` (a file,
// e.g. /dev/null), standard output and error captured. For the "not a
// terminal" checks.
struct ProgramRun {
  int exitStatus = -1;  // -1: did not exit normally
  std::string output;   // standard output
  std::string errors;   // standard error
};
ProgramRun RunWithoutTerminal(const std::vector<std::string>& command, const std::string& input,
                              int timeoutMs = TmuxTerminal::kDefaultTimeoutMs);

}  // namespace kelm::e2e
