// The sanitising writer for messages printed outside the viewer's screen:
// every range of control characters, bidirectional and invisible format
// characters, and malformed UTF-8 come out as visible escapes; printable
// text passes unchanged.
#include "engine/port/printable_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using kelm::port::EscapedText;
using kelm::port::SafeMessage;

TEST(PrintableText, EveryControlRangeIsEscaped) {
  // C0 (with line ends and tabs), DEL.
  EXPECT_EQ(EscapedText(std::string("a\0b", 3)), "a\\x00b");
  EXPECT_EQ(EscapedText("\x1b]2;PWNED\x07"), "\\x1b]2;PWNED\\x07");
  EXPECT_EQ(EscapedText("\n\r\t\x1f\x7f"), "\\x0a\\x0d\\x09\\x1f\\x7f");
  // C1 controls, as characters (U+009B is a one-character CSI).
  EXPECT_EQ(EscapedText("\xc2\x80\xc2\x9b" "31m\xc2\x9f"), "\\u{0080}\\u{009b}31m\\u{009f}");
  // Bidirectional controls: embeddings, overrides, isolates, marks.
  EXPECT_EQ(EscapedText("\xe2\x80\xae" "txt.exe"), "\\u{202e}txt.exe");
  EXPECT_EQ(EscapedText("\xe2\x81\xa6\xe2\x81\xa9\xe2\x80\x8f\xd8\x9c"), "\\u{2066}\\u{2069}\\u{200f}\\u{061c}");
  // Line separators and invisible characters.
  EXPECT_EQ(EscapedText("\xe2\x80\xa8\xe2\x80\x8b\xef\xbb\xbf"), "\\u{2028}\\u{200b}\\u{feff}");
  EXPECT_EQ(EscapedText("\xf3\xa0\x80\x81"), "\\u{e0001}");  // a tag character
}

TEST(PrintableText, MalformedUtf8IsShownByteByByte) {
  EXPECT_EQ(EscapedText("\xff\xfe"), "\\xff\\xfe");
  EXPECT_EQ(EscapedText("\xc0\xaf"), "\\xc0\\xaf");              // overlong '/'
  EXPECT_EQ(EscapedText("\xed\xa0\x80"), "\\xed\\xa0\\x80");      // a surrogate
  EXPECT_EQ(EscapedText("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");  // above U+10FFFF
  EXPECT_EQ(EscapedText("ab\xe2\x82"), "ab\\xe2\\x82");           // cut short at the end
  EXPECT_EQ(EscapedText("\xe2\x82" "A"), "\\xe2\\x82A");          // cut short by a letter
}

TEST(PrintableText, PrintableTextPassesAndBackslashesAreDoubled) {
  EXPECT_EQ(EscapedText("caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80 ~/a b.ss"),
            "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80 ~/a b.ss");
  // A name that really holds the four characters \x07 differs from a BEL.
  EXPECT_EQ(EscapedText("a\\x07"), "a\\\\x07");
  EXPECT_NE(EscapedText("a\\x07"), EscapedText("a\x07"));
}

TEST(PrintableText, MessagesKeepTheirLinesAndTheirEscapedParts) {
  EXPECT_EQ(SafeMessage("one\ntwo\x1b[2J\n"), "one\ntwo\\x1b[2J\n");
  EXPECT_EQ(SafeMessage("\r\t"), "\\x0d\\x09");
  // A name already escaped for the message reads the same after it.
  const std::string part = EscapedText("x\\y\n");
  EXPECT_EQ(SafeMessage("kelmhex: " + part + ": gone\n"), "kelmhex: x\\\\y\\x0a: gone\n");
  std::ostringstream out;
  kelm::port::WriteMessage(out, "\x9b");
  EXPECT_EQ(out.str(), "\\x9b");
}

}  // namespace
