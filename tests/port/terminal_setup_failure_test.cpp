// A dialog asked for before the console was ever set up, on something that
// is not a terminal: the port only reports the set-up failure (the program
// prints it and ends), once, with Setup's own error code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "engine/port/terminal/terminal_console.h"

namespace kelm::port {
namespace {

class TerminalSetupFailure : public ::testing::Test {
 protected:
  TerminalSetupFailure() : fd_(open("/dev/null", O_RDWR)) {}
  ~TerminalSetupFailure() override {
    if (fd_ >= 0) close(fd_);
  }
  TerminalSessionOptions NotATerminal() const {
    TerminalSessionOptions options;
    options.fd = fd_;
    options.requireStdioTerminals = false;
    options.handleSignals = false;
    return options;
  }
  int fd_;
};

TEST_F(TerminalSetupFailure, AnEarlyDialogReportsTheSetupCodeOnceAndShowsNothing) {
  ASSERT_GE(fd_, 0);
  TerminalConsole console(NotATerminal());
  uint32_t setupCode = 0;
  EXPECT_FALSE(console.Setup(setupCode));

  uint32_t reported = 0;
  EXPECT_FALSE(console.TakeSetupFailure(reported)) << "nothing reported before a dialog is asked for";
  EXPECT_FALSE(console.OpenFileDialog(std::string()).has_value());
  ASSERT_TRUE(console.TakeSetupFailure(reported));
  EXPECT_EQ(reported, setupCode);
  EXPECT_NE(reported, 0u);
  EXPECT_FALSE(console.TakeSetupFailure(reported)) << "taking the report clears it";

  EXPECT_FALSE(console.SaveFileDialog(std::string()).has_value());
  EXPECT_TRUE(console.TakeSetupFailure(reported));
  EXPECT_EQ(console.OpenWithDialog("/some/file"), kOpenWithFail);
  EXPECT_TRUE(console.TakeSetupFailure(reported));
}

}  // namespace
}  // namespace kelm::port
