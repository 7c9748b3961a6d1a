#pragma once

// The data inspector's values: the selected bytes (at most eight) read in nine
// ways at once, each kept as text in one process-wide record. The inspector
// panel shows the records as rows; the status line shows the chosen record in
// its field "dec" and the bits of a single selected byte in its field "bin".
//
// Everything here is pure: it works on bytes already read from the file and
// touches neither the file nor the status line. Frame thread only; nothing is
// locked.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kelm::viewer {

// One interpretation of the selected bytes.
class InspectorValue {
 public:
  // A new record shows "---" with no suffix and is marked changed, so a
  // panel row built before the first refresh still paints itself.
  explicit InspectorValue(std::u16string label);

  // Assigns suffix and value and marks the record changed. Every change of a
  // record goes through here so that the row showing it repaints.
  void Set(std::u16string newSuffix, std::u16string newValue);

  bool changed = true;    // cleared by the panel row that displays the record
  std::u16string value;   // decoded text; "---" when there is nothing to show
  std::u16string name;    // fixed label, e.g. "LE u"
  std::u16string suffix;  // width or kind of the interpretation, e.g. "32", "Half"
};

// The text that stands for a missing value.
inline constexpr char16_t kNoValue[] = u"---";

// The nine records, in panel order.
extern InspectorValue leUnsigned;  // "LE u"
extern InspectorValue leSigned;    // "LE s"
extern InspectorValue beUnsigned;  // "BE u"
extern InspectorValue beSigned;    // "BE s"
extern InspectorValue leFloat;     // "LE "
extern InspectorValue beFloat;     // "BE "
extern InspectorValue leChar;      // "LE "
extern InspectorValue beChar;      // "BE "
extern InspectorValue utf8Char;    // "UTF-8"

// All nine records in panel order.
extern const std::array<InspectorValue*, 9> inspectorValues;

// The record whose value the status field "dec" shows; starts at leUnsigned.
extern InspectorValue* selectedValue;

// name + suffix + ": " + value, e.g. "LE u32: 305419896".
std::u16string RowText(const InspectorValue& record);

// value + " " + name + suffix, e.g. "305419896 LE u32".
std::u16string StatusText(const InspectorValue& record);
// How many units at the end of StatusText are its label (" LE u32").
size_t StatusLabelLength(const InspectorValue& record);

// The text of a value that must fit `cells` cells: as it is when it fits,
// otherwise its start ended with "..." in at most `cells` cells (just the
// dots' start when even they do not fit), never splitting a surrogate pair.
// A cut value always shows that it was cut.
std::u16string EndWithEllipsis(const std::u16string& text, size_t cells);

// Set("", "---") on all nine records, in panel order.
void ClearInspectorValues();

// Fills the four integer records from `count` bytes; "---" unless 1 <= count <= 8.
void DecodeIntegers(const uint8_t* bytes, size_t count);

// Fills the two float records: 2 bytes as half, 4 as single, 8 as double
// precision; any other count gives "---".
void DecodeFloats(const uint8_t* bytes, size_t count);

// IEEE 754 binary16 (given as its high and low byte) to a single: signed
// zeros, subnormals normalised, infinities, NaNs keeping their payload in the
// top mantissa bits.
float HalfToFloat(uint8_t high, uint8_t low);

// Fills the two character records (1 byte as "char", 2 as "wchar") and the
// UTF-8 record (a character only when all bytes form exactly one unit).
void DecodeCharacters(const uint8_t* bytes, size_t count);

// Display text of one 16-bit character code: "NULL", the ASCII control
// abbreviations ("TAB" for 9), "DEL", or else the code itself as one unit.
std::u16string CharacterText(uint16_t code);

// Decodes UTF-8 to UTF-16 units, reading only bytes[0 .. count).
// Well-formed sequences of one to three bytes give one unit each; a
// well-formed four-byte sequence gives a surrogate pair (two units).
// Input that is not well-formed UTF-8 - a lone continuation byte, a lead
// byte 0xF8 and above (or 0xC0, 0xC1, 0xF5 to 0xF7), a sequence cut short by
// the end of the bytes, a following byte that is not 10xxxxxx, an over-long
// form or an encoded surrogate - decodes to nothing: the result is empty.
// So the UTF-8 row shows a character exactly when the bytes are one
// well-formed character of at most 16 bits.
std::u16string DecodeUtf8(const uint8_t* bytes, size_t count);

// Eight '0'/'1' digits, bit 7 first: 0x41 gives "01000001".
std::u16string ByteToBinary(uint8_t byte);

// The whole inspector refresh once the selection's bytes have been read:
// `bytes` holds the `count` bytes read from the selection (fewer than
// `selectionLength` when it runs past the end of the file), `active` tells
// whether a selection exists. Recomputes all nine records and returns the
// texts for the status fields "bin" and "dec" (empty text hides a field).
void RefreshInspectorFrom(const uint8_t* bytes, size_t count, uint64_t selectionLength, bool active,
                          std::u16string& binText, std::u16string& decText);

}  // namespace kelm::viewer
