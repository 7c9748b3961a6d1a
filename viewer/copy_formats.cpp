#include "viewer/copy_formats.h"

#include <limits>

#include "engine/port/hex_digits.h"

namespace kelm::viewer {

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kCArrayStart = "unsigned char data[";
constexpr std::string_view kCArrayOpen = "] = {\n";
constexpr std::string_view kCArrayIndent = "    ";
constexpr std::string_view kCArrayClose = "};";
constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

uint64_t DecimalDigits(uint64_t value) {
  uint64_t digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// a * b + c, saturating.
uint64_t MulAdd(uint64_t a, uint64_t b, uint64_t c) {
  if (b != 0 && a > (kMax - c) / b) return kMax;
  return a * b + c;
}

void AppendHexByte(std::string& out, uint8_t byte) {
  out += kelm::port::HexDigit(byte >> 4, true);
  out += kelm::port::HexDigit(byte, true);
}

void AppendBase64Group(std::string& out, const uint8_t* group, size_t count) {
  const uint32_t bits = (static_cast<uint32_t>(group[0]) << 16) |
                        (count > 1 ? static_cast<uint32_t>(group[1]) << 8 : 0) | (count > 2 ? group[2] : 0);
  out += kBase64Alphabet[(bits >> 18) & 63];
  out += kBase64Alphabet[(bits >> 12) & 63];
  out += count > 1 ? kBase64Alphabet[(bits >> 6) & 63] : '=';
  out += count > 2 ? kBase64Alphabet[bits & 63] : '=';
}

}  // namespace

std::u16string_view CodeFormName(CodeForm form) {
  switch (form) {
    case CodeForm::HexString: return u"hex string";
    case CodeForm::CArray: return u"C array";
    case CodeForm::PythonBytes: return u"Python bytes";
    case CodeForm::Base64: return u"base64";
  }
  return u"";
}

char CodeFormKey(CodeForm form) {
  switch (form) {
    case CodeForm::HexString: return 'H';
    case CodeForm::CArray: return 'C';
    case CodeForm::PythonBytes: return 'P';
    case CodeForm::Base64: return 'B';
  }
  return 0;
}

uint64_t CodeTextLength(uint64_t n, CodeForm form) {
  switch (form) {
    case CodeForm::HexString: return MulAdd(n, 2, 0);
    case CodeForm::PythonBytes: return MulAdd(n, 4, 3);
    case CodeForm::Base64: return MulAdd(n / 3 + (n % 3 != 0 ? 1 : 0), 4, 0);
    case CodeForm::CArray: {
      const uint64_t fixed = kCArrayStart.size() + DecimalDigits(n) + kCArrayOpen.size() + kCArrayClose.size();
      if (n == 0) return fixed;
      // "0x48" per value, ", " or ",\n" between them, an indent per line and
      // the last line's break.
      const uint64_t lines = n / kCArrayValuesPerLine + (n % kCArrayValuesPerLine != 0 ? 1 : 0);
      const uint64_t values = MulAdd(n, 6, 0) == kMax ? kMax : n * 6 - 2;
      const uint64_t indents = MulAdd(lines, kCArrayIndent.size(), 1);
      return values > kMax - indents - fixed ? kMax : values + indents + fixed;
    }
  }
  return kMax;
}

uint64_t CodeByteLimit(uint64_t textLimit, CodeForm form) {
  // The length grows with the count: the largest fitting count by halving.
  uint64_t low = 0;
  uint64_t high = textLimit;  // every form takes at least one character a byte
  while (low < high) {
    const uint64_t middle = low + (high - low + 1) / 2;
    if (CodeTextLength(middle, form) <= textLimit) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

void CodeEncoder::Header(std::string& out, uint64_t byteCount) const {
  if (form_ == CodeForm::PythonBytes) out += "b\"";
  if (form_ == CodeForm::CArray) {
    out += kCArrayStart;
    out += std::to_string(byteCount);
    out += kCArrayOpen;
  }
}

void CodeEncoder::Append(std::string& out, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    switch (form_) {
      case CodeForm::HexString: AppendHexByte(out, byte); break;
      case CodeForm::PythonBytes:
        out += "\\x";
        AppendHexByte(out, byte);
        break;
      case CodeForm::CArray:
        if (done_ == 0) {
          out += kCArrayIndent;
        } else if (done_ % kCArrayValuesPerLine == 0) {
          out += ",\n";
          out += kCArrayIndent;
        } else {
          out += ", ";
        }
        out += "0x";
        AppendHexByte(out, byte);
        break;
      case CodeForm::Base64:
        if (pendingCount_ == 2) {
          const uint8_t group[3] = {pending_[0], pending_[1], byte};
          AppendBase64Group(out, group, 3);
          pendingCount_ = 0;
        } else {
          pending_[pendingCount_++] = byte;
        }
        break;
    }
    ++done_;
  }
}

void CodeEncoder::Finish(std::string& out) {
  switch (form_) {
    case CodeForm::HexString: break;
    case CodeForm::PythonBytes: out += '"'; break;
    case CodeForm::CArray:
      if (done_ > 0) out += '\n';
      out += kCArrayClose;
      break;
    case CodeForm::Base64:
      if (pendingCount_ > 0) AppendBase64Group(out, pending_, pendingCount_);
      pendingCount_ = 0;
      break;
  }
}

std::string EncodeCode(CodeForm form, std::string_view bytes) {
  std::string out;
  CodeEncoder encoder(form);
  encoder.Header(out, bytes.size());
  encoder.Append(out, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  encoder.Finish(out);
  return out;
}

}  // namespace kelm::viewer
