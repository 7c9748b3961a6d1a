// Copying to the desktop's clipboard from the terminal: the OSC 52 sequence
// and the choice of the local clipboard tool.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "engine/port/terminal/child_process.h"
#include "engine/port/terminal/system_clipboard.h"

namespace kelm::port {
namespace {

// RFC 4648 section 10 test vectors.
TEST(TerminalClipboardBase64, EncodesTheStandardVectors) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
}

TEST(TerminalClipboardBase64, EncodesEveryByteValue) {
  EXPECT_EQ(Base64Encode(std::string("\x00\xff\xfe", 3)), "AP/+");
  EXPECT_EQ(Base64Encode(std::string("\xfb\xef\xbe", 3)), "++++");
  EXPECT_EQ(Base64Encode(std::string("\xff\xff\xff", 3)), "////");
  EXPECT_EQ(Base64Encode(std::string(1, '\0')), "AA==");
}

TEST(TerminalClipboardOsc52, WrapsTheUtf8TextInTheClipboardSequence) {
  EXPECT_EQ(Osc52Sequence(u"foobar"), "\x1b]52;c;Zm9vYmFy\x1b\\");
  // "é" is C3 A9 in UTF-8.
  EXPECT_EQ(Osc52Sequence(u"\u00e9"), "\x1b]52;c;w6k=\x1b\\");
}

TEST(TerminalClipboardOsc52, PayloadCannotCarryControlCharacters) {
  // Text with ESC and BEL must not end the sequence early: base64 hides them.
  const std::string sequence = Osc52Sequence(u"a\x1b]0;evil\x07z");
  const std::string payload = sequence.substr(7, sequence.size() - 9);
  for (char c : payload) {
    EXPECT_TRUE(isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=') << int(c);
  }
}

TEST(TerminalClipboardOsc52, TooLargeTextIsNotSent) {
  const std::u16string huge(kMaxOsc52Payload, u'x');  // encodes to 4/3 of the limit
  EXPECT_EQ(Osc52Sequence(huge), "");
  const std::u16string fits(kMaxOsc52Payload / 4 * 3, u'x');
  EXPECT_FALSE(Osc52Sequence(fits).empty());
}

struct ToolCase {
  const char* name;
  ClipboardEnvironment env;
  std::set<std::string> installed;
  std::vector<std::string> expected;
};

TEST(TerminalClipboardTool, ChoosesTheToolOfTheDesktopInUse) {
  const std::vector<std::string> wlCopy{"wl-copy", "--type", "text/plain;charset=utf-8"};
  const std::vector<std::string> xclip{"xclip", "-selection", "clipboard", "-in"};
  const std::vector<std::string> xsel{"xsel", "--clipboard", "--input"};
  const ToolCase cases[] = {
      {"wayland", {"wayland-0", "", false}, {"wl-copy", "xclip"}, wlCopy},
      {"wayland with X11 too, wl-copy missing", {"wayland-0", ":0", false}, {"xclip"}, xclip},
      {"x11 prefers xclip", {"", ":0", false}, {"xclip", "xsel"}, xclip},
      {"x11 with xsel only", {"", ":0", false}, {"xsel"}, xsel},
      {"x11 without tools", {"", ":0", false}, {"wl-copy"}, {}},
      {"no display", {"", "", false}, {"wl-copy", "xclip", "xsel"}, {}},
      {"remote login", {"wayland-0", ":10", true}, {"wl-copy", "xclip", "xsel"}, {}},
  };
  for (const ToolCase& c : cases) {
    const auto exists = [&](const std::string& name) { return c.installed.count(name) > 0; };
    EXPECT_EQ(ClipboardToolCommand(c.env, exists), c.expected) << c.name;
  }
}

TEST(TerminalClipboardTool, TheToolGetsTheTextOnItsInputWithoutBeingWaitedFor) {
  char pattern[] = "/tmp/kelmhex-clip-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string out = dir + "/received";
  // A stand-in clipboard tool: copies its input to a file, then lingers as
  // the real tools do.
  const std::string text = "copied \xc3\xa9 text\n" + std::string(200000, 'x');
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartDetached({"sh", "-c", "cat > '" + out + "'.part && mv '" + out + "'.part '" + out + "'; sleep 1"},
                            text));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900)) << "not waited for";
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(out);
    if (in) {
      received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(received, text);
  ReapDetachedChildren();
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(TerminalClipboardTool, AMissingToolIsReported) {
  EXPECT_FALSE(StartDetached({"kelmhex-no-such-clipboard-tool"}, "x"));
  EXPECT_FALSE(StartDetached({}, "x"));
}

TEST(TerminalClipboardTool, FindsProgramsInPath) {
  EXPECT_TRUE(FindInPath("sh"));
  EXPECT_FALSE(FindInPath("kelmhex-no-such-clipboard-tool"));
  EXPECT_TRUE(FindInPath("/bin/sh"));
  EXPECT_FALSE(FindInPath("/etc/passwd")) << "not executable";
  EXPECT_FALSE(FindInPath(""));
}

}  // namespace
}  // namespace kelm::port
