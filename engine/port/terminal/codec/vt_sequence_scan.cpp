// The scanners of the terminal input decoder: one UTF-8 character, a CSI or
// SS3 sequence into its parameters, an OSC or DCS string up to its end. Each
// tells whether the bytes are complete, need more, or are to be dropped.
#include <algorithm>
#include <cstring>

#include "engine/port/terminal/codec/vt_input_parts.h"
#include "engine/port/utf.h"

namespace kelm::port::vt_decoding {

// Decodes one character; ill-formed input yields U+FFFD for its maximal
// ill-formed prefix (overlong forms, surrogates and values above U+10FFFF
// included), and the byte that broke it is decoded afresh.
Utf8Result DecodeUtf8(const unsigned char* p, size_t n) {
  const Utf8Step step = DecodeUtf8Step(p, n);
  switch (step.kind) {
    case Utf8Step::Kind::Character: return {Scan::Done, step.length, step.codePoint};
    case Utf8Step::Kind::Incomplete: return {Scan::NeedMore, 0, 0};
    case Utf8Step::Kind::Invalid: break;
  }
  return {Scan::Drop, step.length, kReplacementCharacter};
}

namespace {

// Accumulates one parameter byte (digit, ';' or ':') into `s`.
void AddParameterByte(Sequence& s, int& sub, unsigned char b) {
  if (s.count == 0) s.count = 1;
  if (b == ';') {
    ++s.count;
    sub = 0;
    if (s.count > kMaxParameters) s.malformed = true;
  } else if (b == ':') {
    ++sub;
  } else if (IsDigit(b)) {
    const int i = s.count - 1;
    if (i < kMaxParameters && sub < kMaxSubParameters) {
      int& v = s.values[i][sub];
      v = std::min(v * 10 + (b - '0'), kMaxParameterValue);
    }
  } else {
    s.malformed = true;  // a private marker in the middle
  }
}

}  // namespace

// Scans ESC [ ... (p[0] is ESC, p[1] is '[').
ScanResult ScanCsi(const unsigned char* p, size_t n, Sequence& s) {
  size_t i = 2;
  if (i < n && p[i] >= 0x3C && p[i] <= 0x3F) s.prefix = p[i++];
  int sub = 0;
  for (; i < n; ++i) {
    if (i >= kMaxCsiBytes) return {Scan::Overflow, i};
    const unsigned char b = p[i];
    if (b >= 0x30 && b <= 0x3F) {  // parameter byte
      if (s.intermediateCount != 0) s.malformed = true;
      AddParameterByte(s, sub, b);
    } else if (b >= 0x20 && b <= 0x2F) {  // intermediate byte
      if (s.intermediateCount++ == 0) s.intermediate = b;
      // rxvt's Shift+editing keys end on '$' (CSI 2 $); no reply has that
      // shape (mode reports carry two parameters before "$ y").
      if (b == '$' && s.prefix == 0 && s.count == 1 && s.intermediateCount == 1) {
        s.final = b;
        return {Scan::Done, i + 1};
      }
    } else if (b >= 0x40 && b <= 0x7E) {
      s.final = b;
      ++i;
      break;
    } else {
      return {Scan::Drop, i};  // no sequence contains this byte
    }
  }
  if (s.final == 0) return {Scan::NeedMore, 0};
  const bool bare = s.prefix == 0 && s.count == 0 && s.intermediateCount == 0;
  if (bare && s.final == 'M') {  // legacy mouse report: three raw bytes follow
    if (n < i + 3) return {Scan::NeedMore, 0};
    std::memcpy(s.extra, p + i, 3);
    return {Scan::Done, i + 3};
  }
  if (bare && s.final == '[') {  // Linux console F1..F5: ESC [ [ A..E
    if (n < i + 1) return {Scan::NeedMore, 0};
    if (p[i] >= 'A' && p[i] <= 'E') {
      s.extra[0] = p[i];
      return {Scan::Done, i + 1};
    }
  }
  return {Scan::Done, i};
}

// Scans ESC O [modifier parameters] final (p[0] is ESC, p[1] is 'O').
ScanResult ScanSs3(const unsigned char* p, size_t n, Sequence& s) {
  int sub = 0;
  for (size_t i = 2; i < n; ++i) {
    if (i >= kMaxSs3Bytes) return {Scan::Drop, i};
    const unsigned char b = p[i];
    if (IsDigit(b) || b == ';') {
      AddParameterByte(s, sub, b);
    } else if (b >= 0x40 && b <= 0x7E) {
      s.final = b;
      return {Scan::Done, i + 1};
    } else {
      return {Scan::Drop, i};
    }
  }
  return {Scan::NeedMore, 0};
}

// Scans an OSC or DCS string up to BEL or ST (ESC \).
ScanResult ScanString(const unsigned char* p, size_t n) {
  for (size_t i = 2; i < n; ++i) {
    const unsigned char b = p[i];
    if (b == kBel) return {Scan::Done, i + 1};
    if (b == kEsc) {
      if (i + 1 >= n) return {Scan::NeedMore, 0};
      if (p[i + 1] == '\\') return {Scan::Done, i + 2};
      return {Scan::Drop, i};  // an ESC that is no ST starts something new
    }
    if (b < 0x20) return {Scan::Drop, i};
    if (i >= kMaxStringBytes) return {Scan::Overflow, i};
  }
  return {Scan::NeedMore, 0};
}

}  // namespace kelm::port::vt_decoding
