// The texts people paste into code, made from bytes as they stream in: a
// hex string without spaces, a C array, a Python bytes literal and base64.
// The clipboard copy (viewer/copy.h) and the export (ui/export.h) write
// them alike. Pure code: no state beyond the encoder's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelm::viewer {

// The formats of the "Copy as" and "Export as" boxes.
enum class CodeForm {
  HexString,    // 48656c6c6f
  CArray,       // unsigned char data[5] = {\n    0x48, 0x65, 0x6c, 0x6c, 0x6f\n};
  PythonBytes,  // b"\x48\x65\x6c\x6c\x6f"
  Base64,       // SGVsbG8= (standard alphabet, padded, one line)
};

inline constexpr CodeForm kCodeForms[] = {CodeForm::HexString, CodeForm::CArray, CodeForm::PythonBytes,
                                          CodeForm::Base64};

// The C array's values per line.
inline constexpr uint64_t kCArrayValuesPerLine = 12;

// The form's name as the boxes and the status row show it ("C array").
std::u16string_view CodeFormName(CodeForm form);
// The key that picks it in the boxes ('H', 'C', 'P', 'B').
char CodeFormKey(CodeForm form);

// Length of the whole text of `byteCount` bytes (saturating at 2^64 - 1).
uint64_t CodeTextLength(uint64_t byteCount, CodeForm form);
// The most bytes whose text fits in `textLimit` characters.
uint64_t CodeByteLimit(uint64_t textLimit, CodeForm form);

// Makes the text in three parts: Header (which needs the byte count: the C
// array's declaration), the bytes in any chunks (Append), and Finish (the
// closing part and base64's last group). Each appends to `out`.
class CodeEncoder {
 public:
  explicit CodeEncoder(CodeForm form) : form_(form) {}
  void Header(std::string& out, uint64_t byteCount) const;
  void Append(std::string& out, const uint8_t* bytes, size_t count);
  void Finish(std::string& out);

 private:
  CodeForm form_;
  uint64_t done_ = 0;      // bytes appended so far
  uint8_t pending_[2]{};   // base64: bytes of an unfinished group
  size_t pendingCount_ = 0;
};

// The whole text of `bytes` at once.
std::string EncodeCode(CodeForm form, std::string_view bytes);

}  // namespace kelm::viewer
