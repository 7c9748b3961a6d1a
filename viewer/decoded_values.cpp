#include "viewer/decoded_values.h"

#include <bit>
#include <charconv>
#include <string_view>
#include <utility>

#include "engine/port/utf.h"
#include "viewer/float_format.h"

namespace kelm::viewer {

InspectorValue::InspectorValue(std::u16string label)
    : changed(true), value(kNoValue), name(std::move(label)), suffix() {}

void InspectorValue::Set(std::u16string newSuffix, std::u16string newValue) {
  suffix = std::move(newSuffix);
  value = std::move(newValue);
  changed = true;
}

InspectorValue leUnsigned(u"LE u");
InspectorValue leSigned(u"LE s");
InspectorValue beUnsigned(u"BE u");
InspectorValue beSigned(u"BE s");
InspectorValue leFloat(u"LE ");
InspectorValue beFloat(u"BE ");
InspectorValue leChar(u"LE ");
InspectorValue beChar(u"BE ");
InspectorValue utf8Char(u"UTF-8");

const std::array<InspectorValue*, 9> inspectorValues = {
    &leUnsigned, &leSigned, &beUnsigned, &beSigned, &leFloat, &beFloat, &leChar, &beChar, &utf8Char,
};

InspectorValue* selectedValue = &leUnsigned;

std::u16string RowText(const InspectorValue& record) {
  return record.name + record.suffix + u": " + record.value;
}

std::u16string StatusText(const InspectorValue& record) {
  return record.value + u" " + record.name + record.suffix;
}

size_t StatusLabelLength(const InspectorValue& record) { return 1 + record.name.size() + record.suffix.size(); }

std::u16string EndWithEllipsis(const std::u16string& text, size_t cells) {
  constexpr std::u16string_view kEllipsis = u"...";
  if (text.size() <= cells) return text;
  if (cells <= kEllipsis.size()) return std::u16string(kEllipsis.substr(0, cells));
  size_t kept = cells - kEllipsis.size();
  if (text[kept] >= 0xDC00 && text[kept] <= 0xDFFF && kept > 0) --kept;  // keep a pair whole
  return text.substr(0, kept) + std::u16string(kEllipsis);
}

void ClearInspectorValues() {
  for (InspectorValue* record : inspectorValues) {
    record->Set(u"", kNoValue);
  }
}

namespace {

// Decimal text of an integer, widened to UTF-16 (no grouping, no plus sign;
// "-" before the magnitude of a negative number).
template <typename Integer>
std::u16string DecimalText(Integer number) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::u16string(buffer, result.ptr);
}

// Sign-extends the low `count` bytes of `pattern` to 64 bits when the top bit
// of its most significant byte is set.
int64_t SignExtend(uint64_t pattern, size_t count) {
  if (count < 8 && (pattern >> (8 * count - 1)) & 1) {
    pattern |= ~uint64_t{0} << (8 * count);
  }
  return static_cast<int64_t>(pattern);
}

uint64_t LittleEndianPattern(const uint8_t* bytes, size_t count) {
  uint64_t pattern = 0;
  for (size_t i = count; i-- > 0;) {
    pattern = (pattern << 8) | bytes[i];
  }
  return pattern;
}

uint64_t BigEndianPattern(const uint8_t* bytes, size_t count) {
  uint64_t pattern = 0;
  for (size_t i = 0; i < count; ++i) {
    pattern = (pattern << 8) | bytes[i];
  }
  return pattern;
}

}  // namespace

void DecodeIntegers(const uint8_t* bytes, size_t count) {
  if (bytes == nullptr || count == 0 || count > 8) {
    leUnsigned.Set(u"", kNoValue);
    leSigned.Set(u"", kNoValue);
    beUnsigned.Set(u"", kNoValue);
    beSigned.Set(u"", kNoValue);
    return;
  }
  const std::u16string bits = DecimalText(8 * count);
  const uint64_t little = LittleEndianPattern(bytes, count);
  const uint64_t big = BigEndianPattern(bytes, count);
  leUnsigned.Set(bits, DecimalText(little));
  leSigned.Set(bits, DecimalText(SignExtend(little, count)));
  beUnsigned.Set(bits, DecimalText(big));
  beSigned.Set(bits, DecimalText(SignExtend(big, count)));
}

float HalfToFloat(uint8_t high, uint8_t low) {
  const uint32_t sign = static_cast<uint32_t>(high & 0x80) << 24;
  const uint32_t exponent = (high >> 2) & 0x1F;
  uint32_t mantissa = (static_cast<uint32_t>(high & 0x03) << 8) | low;

  uint32_t bits;
  if (exponent == 31) {
    // Infinity or NaN; a NaN keeps its payload in the top mantissa bits.
    bits = sign | (0xFFu << 23) | (mantissa << 13);
  } else if (exponent != 0) {
    // Rebias from 15 to 127.
    bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
  } else if (mantissa == 0) {
    bits = sign;
  } else {
    // Subnormal: mantissa x 2^-24. Shift the leading one up to the
    // implicit-bit position (bit 10), lowering the exponent each step.
    uint32_t singleExponent = 113;
    while ((mantissa & 0x400) == 0) {
      mantissa <<= 1;
      --singleExponent;
    }
    mantissa &= 0x3FF;
    bits = sign | (singleExponent << 23) | (mantissa << 13);
  }
  return std::bit_cast<float>(bits);
}

void DecodeFloats(const uint8_t* bytes, size_t count) {
  std::u16string kind;
  double little = 0;
  double big = 0;
  if (bytes != nullptr && count == 2) {
    kind = u"Half";
    little = HalfToFloat(bytes[1], bytes[0]);
    big = HalfToFloat(bytes[0], bytes[1]);
  } else if (bytes != nullptr && count == 4) {
    kind = u"Single";
    little = std::bit_cast<float>(static_cast<uint32_t>(LittleEndianPattern(bytes, 4)));
    big = std::bit_cast<float>(static_cast<uint32_t>(BigEndianPattern(bytes, 4)));
  } else if (bytes != nullptr && count == 8) {
    kind = u"Double";
    little = std::bit_cast<double>(LittleEndianPattern(bytes, 8));
    big = std::bit_cast<double>(BigEndianPattern(bytes, 8));
  } else {
    leFloat.Set(u"", kNoValue);
    beFloat.Set(u"", kNoValue);
    return;
  }
  leFloat.Set(kind, FormatFixedWide(little));
  beFloat.Set(kind, FormatFixedWide(big));
}

std::u16string CharacterText(uint16_t code) {
  static constexpr const char16_t* kControlNames[32] = {
      u"NULL", u"SOH", u"STX", u"ETX", u"EOT", u"ENQ", u"ACK", u"BEL", u"BS",  u"TAB", u"LF",
      u"VT",   u"FF",  u"CR",  u"SO",  u"SI",  u"DLE", u"DC1", u"DC2", u"DC3", u"DC4", u"NAK",
      u"SYN",  u"ETB", u"CAN", u"EM",  u"SUB", u"ESC", u"FS",  u"GS",  u"RS",  u"US",
  };
  if (code < 32) {
    return kControlNames[code];
  }
  if (code == 127) {
    return u"DEL";
  }
  return std::u16string(1, static_cast<char16_t>(code));
}

std::u16string DecodeUtf8(const uint8_t* bytes, size_t count) {
  std::u16string units;
  if (bytes == nullptr) {
    return units;
  }
  size_t i = 0;
  while (i < count) {
    const kelm::port::Utf8Step step = kelm::port::DecodeUtf8Step(bytes + i, count - i);
    if (step.kind != kelm::port::Utf8Step::Kind::Character) {
      // Ill formed, or cut short by the end of the bytes: no character.
      return std::u16string();
    }
    kelm::port::AppendUtf16(units, step.codePoint);
    i += step.length;
  }
  return units;
}

void DecodeCharacters(const uint8_t* bytes, size_t count) {
  if (bytes == nullptr) {
    count = 0;
  }
  if (count == 1) {
    leChar.Set(u"char", CharacterText(bytes[0]));
    beChar.Set(u"char", CharacterText(bytes[0]));
  } else if (count == 2) {
    leChar.Set(u"wchar", CharacterText(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8))));
    beChar.Set(u"wchar", CharacterText(static_cast<uint16_t>((bytes[0] << 8) | bytes[1])));
  } else {
    leChar.Set(u"", kNoValue);
    beChar.Set(u"", kNoValue);
  }
  // A character only when all the bytes form exactly one 16-bit unit.
  const std::u16string text = DecodeUtf8(bytes, count);
  if (text.size() == 1) {
    utf8Char.Set(u"", CharacterText(text[0]));
  } else {
    utf8Char.Set(u"", kNoValue);
  }
}

std::u16string ByteToBinary(uint8_t byte) {
  std::u16string digits(8, u'0');
  for (int bit = 0; bit < 8; ++bit) {
    if (byte & (0x80 >> bit)) {
      digits[bit] = u'1';
    }
  }
  return digits;
}

void RefreshInspectorFrom(const uint8_t* bytes, size_t count, uint64_t selectionLength, bool active,
                          std::u16string& binText, std::u16string& decText) {
  binText.clear();
  decText.clear();
  if (!active || selectionLength > 8) {
    ClearInspectorValues();
    return;
  }
  // Never trust more bytes than the selection holds.
  if (bytes == nullptr) {
    count = 0;
  }
  if (count > selectionLength) {
    count = static_cast<size_t>(selectionLength);
  }
  if (selectionLength == 1 && count == 1) {
    binText = ByteToBinary(bytes[0]);
  }
  DecodeIntegers(bytes, count);
  DecodeFloats(bytes, count);
  DecodeCharacters(bytes, count);
  if (selectedValue != nullptr && selectedValue->value != kNoValue) {
    decText = StatusText(*selectedValue);
  }
}

}  // namespace kelm::viewer
