#include "viewer/char_cells.h"

#include "engine/port/utf.h"
#include "engine/port/vt_text_safety.h"

namespace kelm::viewer {

namespace {

bool IsPrintableAscii(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; }

CharCell AsciiCell(uint8_t byte) {
  return IsPrintableAscii(byte) ? CharCell{static_cast<char16_t>(byte), false} : CharCell{};
}

// The character a cell shows for a well-formed code point of more than one
// byte.
char16_t ShownCharacter(char32_t codePoint) {
  if (codePoint > 0xFFFF) return kUndrawableCell;
  const auto unit = static_cast<char16_t>(codePoint);
  return kelm::port::IsSafeCellCharacter(unit) ? unit : kUndrawableCell;
}

}  // namespace

void BuildCharCells(const uint8_t* bytes, size_t count, const CharContext& context, bool utf8,
                    std::vector<CharCell>& cells) {
  cells.assign(count, CharCell{});
  if (!utf8) {
    for (size_t i = 0; i < count; ++i) cells[i] = AsciiCell(bytes[i]);
    return;
  }
  // The context before, the window, the context after, in one run.
  const size_t lead = context.beforeCount <= 3 ? context.beforeCount : 3;
  const size_t tail = context.afterCount <= 3 ? context.afterCount : 3;
  std::vector<uint8_t> run(lead + count + tail);
  for (size_t i = 0; i < lead; ++i) run[i] = context.before[lead - 1 - i];
  for (size_t i = 0; i < count; ++i) run[lead + i] = bytes[i];
  for (size_t i = 0; i < tail; ++i) run[lead + count + i] = context.after[i];

  // A character that starts before the window and reaches into it.
  size_t at = lead;
  for (size_t back = lead; back > 0; --back) {
    const size_t start = lead - back;
    const kelm::port::Utf8Step step = kelm::port::DecodeUtf8Step(&run[start], run.size() - start);
    if (step.kind == kelm::port::Utf8Step::Kind::Character && step.length > back) {
      at = start + step.length;
      for (size_t i = lead; i < at && i - lead < count; ++i) cells[i - lead] = CharCell{kContinuationCell, true};
      break;
    }
  }
  const size_t end = lead + count;
  while (at < end) {
    const kelm::port::Utf8Step step = kelm::port::DecodeUtf8Step(&run[at], run.size() - at);
    if (step.kind == kelm::port::Utf8Step::Kind::Character && step.length > 1) {
      cells[at - lead] = CharCell{ShownCharacter(step.codePoint), false};
      for (size_t i = at + 1; i < at + step.length && i < end; ++i) {
        cells[i - lead] = CharCell{kContinuationCell, true};
      }
      at += step.length;
      continue;
    }
    // ASCII; or an ill-formed or cut-off sequence, whose bytes are each a
    // faint '.' (the next byte is decoded afresh).
    cells[at - lead] = AsciiCell(run[at]);
    if (run[at] >= 0x80) cells[at - lead] = CharCell{};
    ++at;
  }
}

char ByteClassColour(uint8_t byte) {
  if (byte == 0) return kZeroColour;
  if (byte == 0x20 || (byte >= 0x09 && byte <= 0x0D)) return kWhitespaceColour;
  if (byte < 0x20 || byte == 0x7F) return kControlColour;
  if (byte < 0x80) return kPrintableColour;
  return kNonAsciiColour;
}

}  // namespace kelm::viewer
