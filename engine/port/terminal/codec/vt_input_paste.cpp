// Bracketed paste: the bytes between CSI 200 ~ and CSI 201 ~, bounded, as
// one paste event of UTF-16 text.
#include <algorithm>
#include <cstring>

#include "engine/port/terminal/codec/vt_input_parts.h"

namespace kelm::port {

using namespace vt_decoding;

namespace {

// Shortens `bytes` so that it does not end inside a UTF-8 sequence.
void TrimIncompleteUtf8Tail(std::string& bytes) {
  const size_t n = bytes.size();
  for (size_t back = 1; back <= 4 && back <= n; ++back) {
    const auto b = static_cast<unsigned char>(bytes[n - back]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    size_t length = 1;
    if (b >= 0xF0) length = 4;
    else if (b >= 0xE0) length = 3;
    else if (b >= 0xC0) length = 2;
    if (length > back) bytes.erase(n - back);  // erase, not resize: never grows
    return;
  }
}

// Pasted bytes as UTF-16, decoded like typed characters. One pass, no
// reallocation: there are never more UTF-16 units than bytes.
std::u16string PasteText(const std::string& bytes) {
  std::u16string text(bytes.size(), u'\0');
  char16_t* o = text.data();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      *o++ = p[i++];
      continue;
    }
    const Utf8Result u = DecodeUtf8(p + i, n - i);
    if (u.scan == Scan::NeedMore) {  // unfinished at the end
      *o++ = static_cast<char16_t>(kReplacementCharacter);
      break;
    }
    i += u.used;
    if (u.c < 0x10000) {
      *o++ = static_cast<char16_t>(u.c);
    } else {
      *o++ = static_cast<char16_t>(0xD800 + ((u.c - 0x10000) >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + ((u.c - 0x10000) & 0x3FF));
    }
  }
  text.resize(static_cast<size_t>(o - text.data()));
  return text;
}

}  // namespace

size_t VtInputDecoder::RunPaste(const unsigned char* p, size_t n, std::vector<VtEvent>& out) {
  size_t pos = 0;
  while (pos < n) {
    const void* hit = std::memchr(p + pos, kEsc, n - pos);
    const size_t end = hit ? static_cast<size_t>(static_cast<const unsigned char*>(hit) - p) : n;
    AppendPaste(p + pos, end - pos);
    pos = end;
    if (pos == n) break;
    const size_t available = std::min(n - pos, kPasteEndMarkerLength);
    if (std::memcmp(p + pos, kPasteEndMarker, available) == 0) {
      if (available == kPasteEndMarkerLength) {
        FinishPaste(out);
        return pos + available;
      }
      pending_.assign(reinterpret_cast<const char*>(p + pos), n - pos);  // maybe the end marker
      return n;
    }
    ++pos;  // an ESC inside pasted text is removed; what follows it is kept
  }
  return n;
}

void VtInputDecoder::AppendPaste(const unsigned char* p, size_t n) {
  const size_t room = kMaxPasteBytes - std::min(kMaxPasteBytes, pasteBuffer_.size());
  const size_t take = std::min(n, room);
  pasteBuffer_.append(reinterpret_cast<const char*>(p), take);
  if (take < n) pasteTruncated_ = true;
}

void VtInputDecoder::FinishPaste(std::vector<VtEvent>& out) {
  std::string bytes;
  bytes.swap(pasteBuffer_);
  if (pasteTruncated_) TrimIncompleteUtf8Tail(bytes);
  VtEvent event;
  event.kind = VtEvent::Kind::Paste;
  event.text = PasteText(bytes);
  out.push_back(std::move(event));
  mode_ = Mode::Normal;
  pasteTruncated_ = false;
}

}  // namespace kelm::port
