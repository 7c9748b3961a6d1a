#include "viewer/copy.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/core/input.h"
#include "engine/port/console_port.h"
#include "engine/port/hex_digits.h"
#include "engine/widgets/message.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

// Bytes read from the file per step: the text is built as the bytes arrive,
// so the copy never holds the whole selection twice.
constexpr uint64_t kReadChunk = 64 * 1024;

constexpr uint8_t kFirstCopiedChar = 0x20;  // space
constexpr uint8_t kLastCopiedChar = 0x7A;   // 'z'
constexpr char16_t kStandIn = u'.';
constexpr uint16_t kAsyncKeyDown = 0x8000;

// Bytes of the range that lie in the file: the clipped length.
uint64_t BytesInFile(const MarkedRange& range) {
  if (range.start >= fileSize) return 0;
  return std::min(range.length, fileSize - range.start);
}

std::u16string Decimal(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// The pop-up's lines stay within the narrowest message width, so that no
// word is cut on a small screen.
void RefuseHugeSelection(uint64_t available, uint64_t limit, const std::u16string& formWords) {
  KelmCEngineV2::ShowMessage(u"Selection too large to copy",
                             u"The clipboard takes at most\n"
                             u"16 MiB of text: up to\n" +
                                 Decimal(limit) + u" bytes as " + formWords +
                                 u".\nThe selection holds\n" + Decimal(available) +
                                 u" bytes of the file.\nNothing was copied.");
}

// Reads the first `available` bytes of the selection in chunks, handing each
// to `take`; yields how many were read (fewer when the file shrank).
template <typename Take>
uint64_t ReadSelectionChunks(uint64_t available, Take take) {
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(available, kReadChunk)));
  uint64_t done = 0;
  while (done < available) {
    MarkedRange part;
    part.start = selection.start + done;
    part.length = std::min(kReadChunk, available - done);
    const uint64_t got = ReadRange(chunk.data(), part.length, part);
    take(chunk.data(), static_cast<size_t>(got));
    done += got;
    if (got < part.length) break;  // the file shrank since it was loaded
  }
  return done;
}

std::u16string StatusText(kelm::port::ClipboardTarget target, uint64_t byteCount, const std::u16string& formWords) {
  using kelm::port::ClipboardTarget;
  if (target == ClipboardTarget::System) return {};
  if (target == ClipboardTarget::Failed) return u"nothing copied: the system clipboard could not be opened";
  std::u16string text = u"copied " + Decimal(byteCount) + (byteCount == 1 ? u" byte" : u" bytes");
  text += u" as " + formWords;
  if (target == ClipboardTarget::TerminalOsc52) return text + u" to the terminal's clipboard (OSC 52)";
  return text + u" to kelmhex's own clipboard only (too large for OSC 52)";
}

std::u16string FormWords(CopyForm form) { return form == CopyForm::Hex ? u"hex" : u"text"; }

// The status field of the copy's message: no key, so the row shows the
// message alone. It stands first, so that a full row does not cut it off.
constexpr char16_t kCopyStatusKey[] = u"";

// The selection the message on the status row is about.
std::optional<MarkedRange> copyMessageSelection;

void ShowCopyStatus(const std::u16string& text) {
  if (!HasStatusField(kCopyStatusKey)) {
    statusFields.insert(statusFields.begin(), StatusField{kCopyStatusKey, std::u16string(), false});
  }
  SetStatusField(kCopyStatusKey, text);
  if (text.empty()) {
    copyMessageSelection.reset();
  } else {
    copyMessageSelection = selection;
  }
}

}  // namespace

void ClearCopyStatusAfterSelectionChange() {
  if (!copyMessageSelection) return;
  if (copyMessageSelection->start == selection.start && copyMessageSelection->length == selection.length) return;
  copyMessageSelection.reset();
  if (HasStatusField(kCopyStatusKey)) SetStatusField(kCopyStatusKey, std::u16string());
}

uint64_t CopyByteLimit(CopyForm form) {
  // n pairs take 3n - 1 characters.
  return form == CopyForm::Hex ? (kClipboardTextLimit + 1) / 3 : kClipboardTextLimit;
}

uint64_t CopyTextLength(uint64_t byteCount, CopyForm form) {
  if (form == CopyForm::Characters || byteCount == 0) return byteCount;
  return byteCount * 3 - 1;
}

void AppendCopyText(std::u16string& text, const uint8_t* bytes, size_t count, CopyForm form) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    if (form == CopyForm::Hex) {
      if (!text.empty()) text += u' ';
      text += static_cast<char16_t>(kelm::port::HexDigit(byte >> 4));
      text += static_cast<char16_t>(kelm::port::HexDigit(byte));
    } else {
      const bool shown = byte >= kFirstCopiedChar && byte <= kLastCopiedChar;
      text += shown ? static_cast<char16_t>(byte) : kStandIn;
    }
  }
}

bool ShiftHeldForCopy() {
  if (!kelm::port::Port().IsForeground()) return false;
  // Only "down now" counts: the "pressed since the last query" bit would turn
  // a plain Ctrl+C into a hex copy after any earlier Shift+key.
  const auto state = static_cast<uint16_t>(kelm::port::Port().GetAsyncKeyState(kelm::port::VK_SHIFT));
  return (state & kAsyncKeyDown) != 0;
}

std::u16string CopyStatusText(kelm::port::ClipboardTarget target, uint64_t byteCount, CopyForm form) {
  return StatusText(target, byteCount, FormWords(form));
}

void CopySelection() { CopySelectionAs(ShiftHeldForCopy() ? CopyForm::Hex : CopyForm::Characters); }

bool CopySelectionAs(CopyForm form) {
  const uint64_t available = BytesInFile(selection);
  if (available > CopyByteLimit(form)) {
    RefuseHugeSelection(available, CopyByteLimit(form), form == CopyForm::Hex ? u"hex pairs" : u"characters");
    return false;
  }

  std::u16string text;
  text.reserve(static_cast<size_t>(CopyTextLength(available, form)));
  const uint64_t done = ReadSelectionChunks(
      available, [&](const uint8_t* bytes, size_t count) { AppendCopyText(text, bytes, count, form); });
  ShowCopyStatus(CopyStatusText(kelm::port::Port().SetClipboardText(text), done, form));
  return true;
}

bool CopySelectionAsCode(CodeForm form) {
  const uint64_t available = BytesInFile(selection);
  const uint64_t limit = CodeByteLimit(kClipboardTextLimit, form);
  const std::u16string words(CodeFormName(form));
  if (available > limit) {
    RefuseHugeSelection(available, limit, words);
    return false;
  }
  std::string body;
  body.reserve(static_cast<size_t>(CodeTextLength(available, form)));
  CodeEncoder encoder(form);
  const uint64_t done = ReadSelectionChunks(
      available, [&](const uint8_t* bytes, size_t count) { encoder.Append(body, bytes, count); });
  encoder.Finish(body);
  // The header counts the bytes read, which a shrunk file makes fewer.
  std::string header;
  encoder.Header(header, done);
  std::u16string text;
  text.reserve(header.size() + body.size());
  text.append(header.begin(), header.end());
  text.append(body.begin(), body.end());
  body.clear();
  body.shrink_to_fit();
  ShowCopyStatus(StatusText(kelm::port::Port().SetClipboardText(text), done, words));
  return true;
}

void CopyForCtrlC(uint32_t controlKeyState) {
  const bool recordShift = (controlKeyState & kelm::port::SHIFT_PRESSED) != 0;
  CopySelectionAs(recordShift || ShiftHeldForCopy() ? CopyForm::Hex : CopyForm::Characters);
}

}  // namespace kelm::viewer
