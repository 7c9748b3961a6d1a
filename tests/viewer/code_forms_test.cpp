// Copy as: every code form checked byte for byte against Python's own
// encoders (tests/viewer/code_forms_reference.py), through the viewer's
// Ctrl+E box and the clipboard, for empty, one-byte, odd and large
// selections; the limit and its refusal; the export writing the same text.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "ui/export.h"
#include "viewer/copy.h"
#include "viewer/copy_formats.h"

using namespace kelm::viewer;

namespace marks_copy_test {
namespace {

struct FormCase {
  CodeForm form;
  const char* script;
  char key;
};
const FormCase kCases[] = {{CodeForm::HexString, "hex", 'H'},
                           {CodeForm::CArray, "c", 'C'},
                           {CodeForm::PythonBytes, "python", 'P'},
                           {CodeForm::Base64, "base64", 'B'}};

std::string RunReference(const std::string& form, const std::string& path) {
  const std::string command = "python3 " KELMHEX_SOURCE_DIR "/tests/viewer/code_forms_reference.py " + form +
                              " '" + path + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "<python3 did not start>";
  std::string out;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int status = pclose(pipe);
  return status == 0 ? out : "<python3 failed>";
}

std::vector<uint8_t> RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

class CodeFormsTest : public ViewerTest {
 protected:
  // The clipboard after Ctrl+E and the form's letter on a selection of
  // `bytes` (all of a file of them).
  std::string CopyAs(const FormCase& c, size_t length) {
    Select(0, length);
    console->clipboard.reset();
    CtrlKey('E');
    EXPECT_EQ(OpenBoxes(), 1u) << "the Copy as box";
    Key(static_cast<uint16_t>(c.key), 0, static_cast<char16_t>(c.key - 'A' + 'a'));
    EXPECT_EQ(OpenBoxes(), 0u);
    return kelm::port::ToUtf8(console->clipboard.value_or(u"<nothing copied>"));
  }
};

TEST_F(CodeFormsTest, EveryFormMatchesPythonForEmptyOneByteOddAndLargeSelections) {
  // 100,000 bytes: more than one read chunk, and a length that leaves base64
  // one byte over and the C array a short last line.
  const std::vector<uint8_t> bytes = RandomBytes(100'000, 7);
  const std::string path = WriteFile(bytes);
  StartOn(path);
  for (const size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{12}, size_t{13}, bytes.size()}) {
    const std::string part = WriteFile(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length), "part.bin");
    for (const FormCase& c : kCases) {
      const std::string expected = RunReference(c.script, part);
      EXPECT_EQ(CopyAs(c, length), expected) << c.script << " of " << length << " bytes";
      EXPECT_EQ(CodeTextLength(length, c.form), expected.size()) << c.script << " of " << length << " bytes";
    }
  }
}

TEST_F(CodeFormsTest, TheExportWritesTheSameTextAsTheCopy) {
  const std::vector<uint8_t> bytes = RandomBytes(5000, 3);
  const std::string source = WriteFile(bytes);
  for (const FormCase& c : kCases) {
    const std::string target = PathOf(std::string("out.") + c.script);
    // Small chunks: the C array's lines and base64's groups cross them.
    const ExportResult result = ExportCode(
        target, bytes.size(),
        [&](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
          std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), capacity, buffer);
          return capacity;
        },
        c.form, 7);
    ASSERT_EQ(result.status, ExportStatus::Written) << c.script;
    std::ifstream in(target, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, RunReference(c.script, source)) << c.script;
    EXPECT_EQ(result.written, written.size());
  }
}

TEST_F(CodeFormsTest, ASelectionAboveTheLimitIsRefusedAndNothingIsCopied) {
  for (const FormCase& c : kCases) {
    const uint64_t limit = CodeByteLimit(kClipboardTextLimit, c.form);
    EXPECT_LE(CodeTextLength(limit, c.form), kClipboardTextLimit) << c.script;
    EXPECT_GT(CodeTextLength(limit + 1, c.form), kClipboardTextLimit) << c.script;
  }
  EXPECT_EQ(CodeByteLimit(kClipboardTextLimit, CodeForm::HexString), kClipboardTextLimit / 2);
  EXPECT_EQ(CodeByteLimit(kClipboardTextLimit, CodeForm::Base64), kClipboardTextLimit / 4 * 3);

  const uint64_t limit = CodeByteLimit(kClipboardTextLimit, CodeForm::PythonBytes);
  StartOn(SparseFile(limit + 1));
  Select(0, limit + 1);
  console->clipboard.reset();
  CtrlKey('E');
  Key('P', 0, u'p');
  EXPECT_FALSE(console->clipboard.has_value());
  ASSERT_EQ(OpenBoxes(), 1u);  // the refusal
  std::u16string shown;
  for (Object* child : LiveBoxes()[0]->children) {
    if (child != nullptr) shown += child->GetText() + u"\n";
  }
  EXPECT_NE(shown.find(u"Selection too large to copy"), std::u16string::npos);
  EXPECT_NE(shown.find(u"bytes as Python bytes."), std::u16string::npos);
  // One byte less is copied.
  CloseAllMenus();
  Frame();
  Select(0, limit);
  CtrlKey('E');
  Key('P', 0, u'p');
  ASSERT_TRUE(console->clipboard.has_value());
  EXPECT_EQ(console->clipboard->size(), CodeTextLength(limit, CodeForm::PythonBytes));
}

TEST_F(CodeFormsTest, TheBoxListsEachFormWithItsLetterAndCopiesOnAClick) {
  StartOn(WriteFile({0x48, 0x65, 0x6C, 0x6C, 0x6F}));
  Select(0, 5);
  CtrlKey('E');
  ASSERT_EQ(OpenBoxes(), 1u);
  std::vector<std::string> lines;
  for (Object* child : LiveBoxes()[0]->children) {
    if (child != nullptr) lines.push_back(kelm::port::ToUtf8(child->GetText()));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"hex string    h  ", "C array       c  ", "Python bytes  p  ",
                                             "base64        b  "}));
  // Click the line of the C array.
  for (int row = 0; row < kConsoleRows; ++row) {
    const std::string text = Row(row);
    if (text.find("C array") != std::string::npos) {
      Click(static_cast<int>(text.find("C array")) + 1, row);
      break;
    }
  }
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_EQ(console->clipboard.value_or(u""), u"unsigned char data[5] = {\n    0x48, 0x65, 0x6c, 0x6c, 0x6f\n};");
}

}  // namespace
}  // namespace marks_copy_test
