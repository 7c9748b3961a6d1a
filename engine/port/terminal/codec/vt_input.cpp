// The terminal input decoder.
//
// Index:
//   bounds and sequence constants
//   UTF-8 decoding of typed characters
//   CSI / SS3 / OSC-DCS scanners (complete, need more, drop, overflow)
//   CSI and SS3 sequences that are keys (one table per family, vt_keymap)
//   VtInputDecoder: Feed/Flush/pending, escape dispatch, mouse, paste, replies
//
// Every token is decoded from the start of the unread bytes: a complete one is
// consumed, an incomplete one stays pending (never more than one bounded
// sequence), a malformed one is dropped up to the byte that broke it and that
// byte is decoded afresh.
#include "engine/port/terminal/codec/vt_input.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/port/terminal/codec/vt_keymap.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

using vt::Key;

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kBel = 0x07;
constexpr unsigned char kDel = 0x7F;
constexpr char32_t kReplacementCharacter = 0xFFFD;

// Bounds that keep the decoder's memory fixed whatever arrives.
constexpr size_t kMaxCsiBytes = 64;       // ESC [ ... final; longer ones are dropped
constexpr size_t kMaxSs3Bytes = 16;       // ESC O [modifier] final
constexpr size_t kMaxStringBytes = 1024;  // OSC / DCS replies
constexpr int kMaxParameters = 16;
constexpr int kMaxSubParameters = 4;
constexpr int kMaxParameterValue = 1'000'000;

// CSI numbers and kitty sub-parameters.
constexpr int kPasteStart = 200;       // CSI 200 ~
constexpr int kModifyOtherKeys = 27;   // CSI 27 ; modifiers ; code ~
constexpr int kKittyReleaseEvent = 3;  // CSI code ; modifiers:3 u
constexpr char kPasteEndMarker[] = "\x1b[201~";
constexpr size_t kPasteEndMarkerLength = sizeof kPasteEndMarker - 1;

// Mouse report button byte (SGR value, or legacy byte minus 32).
constexpr int kMouseButtonMask = 3;  // 0 left, 1 middle, 2 right, 3 none/release
constexpr int kMouseNoButton = 3;
constexpr int kMouseShift = 4;
constexpr int kMouseAlt = 8;
constexpr int kMouseCtrl = 16;
constexpr int kMouseMotion = 32;
constexpr int kMouseWheel = 64;   // 64 up, 65 down, 66 left, 67 right
constexpr int kMouseExtra = 128;  // buttons 8..11 (back, forward)
constexpr int kMouseLegacyOffset = 32;

}  // namespace

namespace vt {
// A parsed control sequence: ESC [ prefix? parameters intermediates final.
struct Sequence {
  unsigned char prefix = 0;  // '<' '=' '>' '?' or 0
  unsigned char intermediate = 0;
  int intermediateCount = 0;
  unsigned char final = 0;
  int count = 0;  // parameters given (an empty one counts)
  int values[kMaxParameters][kMaxSubParameters] = {};
  bool malformed = false;        // parameter bytes out of order or too many: drop
  unsigned char extra[3] = {};   // bytes after the final (legacy mouse, Linux console keys)

  // Parameter i (0 when missing or empty).
  int Value(int i) const { return i < count && i < kMaxParameters ? values[i][0] : 0; }
  // Sub-parameter j of parameter i (kitty's code:shifted and modifiers:event).
  int Sub(int i, int j) const {
    return i < count && i < kMaxParameters && j < kMaxSubParameters ? values[i][j] : 0;
  }
};

}  // namespace vt

namespace {

using vt::Sequence;

bool IsDigit(unsigned char b) { return b >= '0' && b <= '9'; }
bool IsPrintable(unsigned char b) { return b >= 0x20 && b < kDel; }
bool IsControl(unsigned char b) { return b < 0x20 || b == kDel; }

enum class Scan { Done, NeedMore, Drop, Overflow };

struct ScanResult {
  Scan scan;
  size_t used;  // bytes of the sequence (Done), or bytes to drop (Drop, Overflow)
};

// --- UTF-8 ------------------------------------------------------------------

struct Utf8Result {
  Scan scan;  // Done, NeedMore, or Drop (ill-formed: `used` bytes are one U+FFFD)
  size_t used;
  char32_t c;
};

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
    if (length > back) bytes.resize(n - back);
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

// --- Sequence scanners ------------------------------------------------------

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

// --- Keys of CSI and SS3 sequences ------------------------------------------

enum class KeyScan {
  NotKey,   // the sequence is something else (mouse, reply, focus...)
  Key,      // a key press
  Nothing,  // a key report that gives no press (a release, an unknown code)
};

KeyScan KeyFromCsi(const Sequence& s, Key& key) {
  if (s.malformed || s.prefix != 0) return KeyScan::NotKey;
  if (s.intermediateCount != 0 && s.final != '$') return KeyScan::NotKey;
  switch (s.final) {
    case '~':
    case '$':
    case '^':
    case '@': {
      const int number = s.Value(0);
      if (s.final == '~' && number == kModifyOtherKeys && s.count >= 3) {
        // xterm modifyOtherKeys: CSI 27 ; modifiers ; code ~
        const uint32_t modifiers = vt::ModifiersFromParameter(s.Value(1));
        return vt::KeyForCodepoint(static_cast<uint32_t>(s.Value(2)), 0, modifiers, key)
                   ? KeyScan::Key
                   : KeyScan::Nothing;
      }
      if (!vt::KeyForTildeNumber(number, key)) return KeyScan::NotKey;
      switch (s.final) {
        case '~':
          if (s.Sub(1, 1) == kKittyReleaseEvent) return KeyScan::Nothing;
          key.state |= vt::ModifiersFromParameter(s.Value(1));
          break;
        case '$': key.state |= SHIFT_PRESSED; break;                      // rxvt Shift
        case '^': key.state |= LEFT_CTRL_PRESSED; break;                  // rxvt Ctrl
        default: key.state |= LEFT_CTRL_PRESSED | SHIFT_PRESSED; break;   // rxvt '@'
      }
      return KeyScan::Key;
    }
    case 'u': {  // kitty: CSI code[:shifted] ; modifiers[:event] u
      if (s.count == 0) return KeyScan::NotKey;
      if (s.Sub(1, 1) == kKittyReleaseEvent) return KeyScan::Nothing;
      const uint32_t modifiers = vt::ModifiersFromParameter(s.Value(1));
      return vt::KeyForCodepoint(static_cast<uint32_t>(s.Value(0)),
                                 static_cast<uint32_t>(s.Sub(0, 1)), modifiers, key)
                 ? KeyScan::Key
                 : KeyScan::Nothing;
    }
    case 'Z':  // back-tab: Shift+Tab (more modifiers in xterm's CSI 1 ; m Z)
      key = Key{VK_TAB, u'\t', SHIFT_PRESSED | vt::ModifiersFromParameter(s.Value(1))};
      return KeyScan::Key;
    case 'a': case 'b': case 'c': case 'd':  // rxvt Shift+arrows
      if (s.count != 0) return KeyScan::NotKey;
      vt::KeyForFinalLetter(static_cast<unsigned char>(s.final - 'a' + 'A'), key);
      key.state |= SHIFT_PRESSED;
      return KeyScan::Key;
    case '[':  // Linux console F1..F5
      if (s.extra[0] == 0) return KeyScan::Nothing;
      key = Key{static_cast<uint16_t>(VK_F1 + (s.extra[0] - 'A')), 0, 0};
      return KeyScan::Key;
    case 'R':
      // CSI row ; col R is a cursor-position reply (see the header).
      if (s.count >= 2) return KeyScan::NotKey;
      [[fallthrough]];
    default:
      if (!vt::KeyForFinalLetter(s.final, key)) return KeyScan::NotKey;
      if (s.count >= 2) {  // CSI 1 ; modifiers X
        if (s.Sub(1, 1) == kKittyReleaseEvent) return KeyScan::Nothing;
        key.state |= vt::ModifiersFromParameter(s.Value(1));
      }
      return KeyScan::Key;
  }
}

// A byte that can follow ESC O in an SS3 key (else ESC O is Alt+Shift+O).
bool StartsSs3(unsigned char b) {
  Key unused;
  return IsDigit(b) || b == ';' || (b >= 'a' && b <= 'd') || vt::KeyForFinalLetter(b, unused) ||
         vt::KeyForKeypadFinal(b, unused);
}

bool KeyFromSs3(const Sequence& s, Key& key) {
  if (s.malformed) return false;
  // Modifiers: the last parameter (ESC O 5 A, ESC O 1 ; 5 A).
  const uint32_t modifiers = s.count > 0 ? vt::ModifiersFromParameter(s.Value(s.count - 1)) : 0;
  if (s.final >= 'a' && s.final <= 'd') {  // rxvt Ctrl+arrows
    vt::KeyForFinalLetter(static_cast<unsigned char>(s.final - 'a' + 'A'), key);
    key.state |= LEFT_CTRL_PRESSED;
  } else if (!vt::KeyForFinalLetter(s.final, key) && !vt::KeyForKeypadFinal(s.final, key)) {
    return false;
  }
  key.state |= modifiers;
  return true;
}

// A byte that can follow ESC ] / ESC P in a reply string (else the two bytes
// are Alt+] / Alt+Shift+P). Replies start with a number or, for DCS, with one
// of the markers of the version and capability replies.
bool StartsOsc(unsigned char b) { return IsDigit(b); }
bool StartsDcs(unsigned char b) { return IsDigit(b) || b == '>' || b == '!'; }

Key WithAlt(Key key) {
  key.state |= LEFT_ALT_PRESSED;
  return key;
}

VtEvent RecordEvent(const INPUT_RECORD& record) {
  VtEvent event;
  event.record = record;
  return event;
}

INPUT_RECORD MouseRecord(COORD at, uint32_t buttons, uint32_t flags, uint32_t state) {
  return MakeMouseRecord(at.X, at.Y, buttons, flags, state);
}

int16_t CellFromReport(int oneBased) {
  return static_cast<int16_t>(std::clamp(oneBased - 1, 0, int{std::numeric_limits<int16_t>::max()}));
}

}  // namespace

struct VtInputDecoder::Step {
  bool needMore = false;
  size_t used = 0;
};

VtInputDecoder::VtInputDecoder(uint64_t escTimeoutMs) : escTimeoutMs_(escTimeoutMs) {}

// --- Feed, Flush, pending -----------------------------------------------------

void VtInputDecoder::Feed(const char* data, size_t length, uint64_t nowMs,
                          std::vector<VtEvent>& out) {
  if (length == 0) return;
  if (HasPending() && nowMs >= PendingDeadline()) Resolve(out);
  lastInputMs_ = nowMs;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (pending_.empty()) {
    Run(bytes, length, out);
    return;
  }
  std::string joined = std::move(pending_);
  pending_.clear();
  joined.append(data, length);
  Run(reinterpret_cast<const unsigned char*>(joined.data()), joined.size(), out);
}

void VtInputDecoder::Flush(uint64_t nowMs, std::vector<VtEvent>& out) {
  if (!HasPending() || nowMs < PendingDeadline()) return;
  Resolve(out);
}

bool VtInputDecoder::HasPending() const { return !pending_.empty() || mode_ != Mode::Normal; }

uint64_t VtInputDecoder::PendingDeadline() const {
  if (!HasPending()) return std::numeric_limits<uint64_t>::max();
  uint64_t timeout = escTimeoutMs_;
  switch (mode_) {
    case Mode::Paste: timeout = kPasteTimeoutMs; break;
    case Mode::SkipString: timeout = kStringTimeoutMs; break;
    case Mode::SkipCsi: break;
    case Mode::Normal:
      if (pending_.size() > 2 && pending_[0] == '\x1b' && (pending_[1] == ']' || pending_[1] == 'P')) {
        timeout = kStringTimeoutMs;
      }
      break;
  }
  const uint64_t limit = std::numeric_limits<uint64_t>::max();
  return lastInputMs_ > limit - timeout ? limit : lastInputMs_ + timeout;
}

void VtInputDecoder::Resolve(std::vector<VtEvent>& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(pending_.data());
  const size_t n = pending_.size();
  switch (mode_) {
    case Mode::Paste:
      // A paste that never ended: deliver what came (a held-back start of
      // the end marker loses its ESC like any ESC inside a paste).
      if (n > 1) AppendPaste(p + 1, n - 1);
      FinishPaste(out);
      break;
    case Mode::SkipCsi:
    case Mode::SkipString:
      mode_ = Mode::Normal;
      break;
    case Mode::Normal:
      if (n == 0) break;
      if (p[0] != kEsc) {
        vt::EmitCharacter(kReplacementCharacter, 0, out);  // unfinished UTF-8
      } else if (n == 1) {
        vt::EmitKey(vt::KeyForControl(kEsc), out);  // the Esc key
      } else if (n == 2 && p[1] == kEsc) {
        vt::EmitKey(WithAlt(vt::KeyForControl(kEsc)), out);
      } else if (n == 2 && IsPrintable(p[1])) {
        vt::EmitKey(WithAlt(vt::KeyForPrintable(p[1])), out);  // Alt+[, Alt+O, ...
      } else if (p[1] >= 0x80) {
        vt::EmitCharacter(kReplacementCharacter, LEFT_ALT_PRESSED, out);
      }
      // Anything else is an unfinished sequence: dropped.
      break;
  }
  pending_.clear();
}

// --- Decoding loop ------------------------------------------------------------

void VtInputDecoder::Run(const unsigned char* p, size_t n, std::vector<VtEvent>& out) {
  size_t pos = 0;
  while (pos < n) {
    switch (mode_) {
      case Mode::Paste:
        pos += RunPaste(p + pos, n - pos, out);
        continue;
      case Mode::SkipCsi:
      case Mode::SkipString:
        pos += RunSkip(p + pos, n - pos);
        continue;
      case Mode::Normal:
        break;
    }
    const Step step = DecodeOne(p + pos, n - pos, out);
    if (step.needMore) {
      pending_.assign(reinterpret_cast<const char*>(p + pos), n - pos);
      return;
    }
    pos += step.used;
  }
}

size_t VtInputDecoder::RunSkip(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    if (mode_ == Mode::SkipCsi) {
      if (b >= 0x20 && b <= 0x3F) continue;
      mode_ = Mode::Normal;
      return b >= 0x40 && b <= 0x7E ? i + 1 : i;  // the final ends it; others are decoded
    }
    if (b == kBel) {
      mode_ = Mode::Normal;
      return i + 1;
    }
    if (b == kEsc) {
      if (i + 1 >= n) {  // maybe the start of ST
        pending_.assign(1, static_cast<char>(kEsc));
        return n;
      }
      mode_ = Mode::Normal;
      return p[i + 1] == '\\' ? i + 2 : i;
    }
    if (b < 0x20) {
      mode_ = Mode::Normal;
      return i;
    }
  }
  return n;
}

VtInputDecoder::Step VtInputDecoder::DecodeOne(const unsigned char* p, size_t n,
                                               std::vector<VtEvent>& out) {
  const unsigned char b = p[0];
  if (b == kEsc) return DecodeEscape(p, n, out);
  if (b < 0x80) {
    vt::EmitKey(IsControl(b) ? vt::KeyForControl(b) : vt::KeyForPrintable(b), out);
    return {false, 1};
  }
  const Utf8Result u = DecodeUtf8(p, n);
  if (u.scan == Scan::NeedMore) return {true, 0};
  vt::EmitCharacter(u.c, 0, out);
  return {false, u.used};
}

VtInputDecoder::Step VtInputDecoder::DecodeEscape(const unsigned char* p, size_t n,
                                                  std::vector<VtEvent>& out) {
  if (n < 2) return {true, 0};
  const unsigned char c = p[1];
  Key key;
  switch (c) {
    case '[': {
      Sequence s;
      const ScanResult r = ScanCsi(p, n, s);
      switch (r.scan) {
        case Scan::NeedMore: return {true, 0};
        case Scan::Overflow: mode_ = Mode::SkipCsi; return {false, r.used};
        case Scan::Drop:
          if (r.used == 2) vt::EmitKey(WithAlt(vt::KeyForPrintable('[')), out);
          return {false, r.used};
        case Scan::Done: DispatchCsi(s, p, r.used, out); return {false, r.used};
      }
      return {false, r.used};
    }
    case 'O': {
      if (n < 3) return {true, 0};
      if (!StartsSs3(p[2])) {
        vt::EmitKey(WithAlt(vt::KeyForPrintable('O')), out);
        return {false, 2};
      }
      Sequence s;
      const ScanResult r = ScanSs3(p, n, s);
      if (r.scan == Scan::NeedMore) return {true, 0};
      if (r.scan == Scan::Done && KeyFromSs3(s, key)) vt::EmitKey(key, out);
      return {false, r.used};
    }
    case ']':
    case 'P': {
      if (n < 3) return {true, 0};
      const bool osc = c == ']';
      if (!(osc ? StartsOsc(p[2]) : StartsDcs(p[2]))) {
        vt::EmitKey(WithAlt(vt::KeyForPrintable(c)), out);
        return {false, 2};
      }
      const ScanResult r = ScanString(p, n);
      switch (r.scan) {
        case Scan::NeedMore: return {true, 0};
        case Scan::Overflow: mode_ = Mode::SkipString; return {false, r.used};
        case Scan::Drop: return {false, r.used};
        case Scan::Done:
          EmitReply(osc ? VtEvent::ReplyType::OperatingSystemCommand
                        : VtEvent::ReplyType::DeviceControlString,
                    p, r.used, out);
          return {false, r.used};
      }
      return {false, r.used};
    }
    case kEsc: {
      // ESC ESC: Alt+Esc, or Alt + a key sequence (ESC ESC [ A is Alt+Up in
      // rxvt and with xterm's metaSendsEscape).
      if (n < 3) return {true, 0};
      if (p[2] != '[' && p[2] != 'O') {
        vt::EmitKey(WithAlt(vt::KeyForControl(kEsc)), out);
        return {false, 2};
      }
      Sequence s;
      const bool csi = p[2] == '[';
      if (!csi && n < 4) return {true, 0};
      if (!csi && !StartsSs3(p[3])) {
        vt::EmitKey(WithAlt(vt::KeyForControl(kEsc)), out);
        return {false, 2};
      }
      const ScanResult r = csi ? ScanCsi(p + 1, n - 1, s) : ScanSs3(p + 1, n - 1, s);
      if (r.scan == Scan::NeedMore) return {true, 0};
      if (r.scan == Scan::Done) {
        const KeyScan k = csi ? KeyFromCsi(s, key) : (KeyFromSs3(s, key) ? KeyScan::Key : KeyScan::Nothing);
        if (k == KeyScan::Key) vt::EmitKey(WithAlt(key), out);
        if (k != KeyScan::NotKey) return {false, 1 + r.used};
      }
      // The second ESC starts something that is no key (a mouse report, a
      // reply...): the first one is a plain Esc.
      vt::EmitKey(vt::KeyForControl(kEsc), out);
      return {false, 1};
    }
    default:
      break;
  }
  // ESC + one key: Alt+that key (xterm's metaSendsEscape).
  if (c < 0x80) {
    vt::EmitKey(WithAlt(IsControl(c) ? vt::KeyForControl(c) : vt::KeyForPrintable(c)), out);
    return {false, 2};
  }
  const Utf8Result u = DecodeUtf8(p + 1, n - 1);
  if (u.scan == Scan::NeedMore) return {true, 0};
  vt::EmitCharacter(u.c, LEFT_ALT_PRESSED, out);
  return {false, 1 + u.used};
}

// --- Control sequences that are not keys --------------------------------------

void VtInputDecoder::DispatchCsi(const Sequence& s, const unsigned char* p, size_t used,
                                 std::vector<VtEvent>& out) {
  if (s.malformed) return;
  Key key;
  switch (KeyFromCsi(s, key)) {
    case KeyScan::Key: vt::EmitKey(key, out); return;
    case KeyScan::Nothing: return;
    case KeyScan::NotKey: break;
  }
  using Type = VtEvent::ReplyType;
  const bool plain = s.intermediateCount == 0;
  switch (s.prefix) {
    case '<':  // SGR mouse: CSI < button ; column ; row M (press, motion) or m (release)
      if (plain && s.count == 3 && (s.final == 'M' || s.final == 'm')) {
        DispatchMouse(s.Value(0), s.Value(1), s.Value(2), s.final == 'm', false, out);
      }
      return;
    case '?':
      if (plain && s.final == 'u') EmitReply(Type::KittyKeyboardFlags, p, used, out);
      if (plain && s.final == 'c') EmitReply(Type::PrimaryDeviceAttributes, p, used, out);
      if (plain && s.final == 'R') EmitReply(Type::CursorPosition, p, used, out);
      if (s.intermediate == '$' && s.final == 'y') EmitReply(Type::ModeReport, p, used, out);
      return;
    case '>':
      if (plain && s.final == 'c') EmitReply(Type::SecondaryDeviceAttributes, p, used, out);
      if (plain && s.final == 'm') EmitReply(Type::ModifyOtherKeys, p, used, out);
      return;
    case 0:
      break;
    default:
      return;
  }
  if (!plain) {
    if (s.intermediate == '$' && s.final == 'y') EmitReply(Type::ModeReport, p, used, out);
    return;
  }
  switch (s.final) {
    case '~':
      if (s.count == 1 && s.Value(0) == kPasteStart) {
        mode_ = Mode::Paste;
        pasteBuffer_.clear();
        pasteTruncated_ = false;
      }
      return;  // a stray paste end or an unknown key number: dropped
    case 'R':
      if (s.count == 2) EmitReply(Type::CursorPosition, p, used, out);
      return;
    case 'I':
    case 'O':
      if (s.count == 0) {
        out.push_back(RecordEvent(MakeFocusRecord(s.final == 'I')));
        if (s.final == 'O' && mouseButtons_ != 0) {
          // Buttons released outside the window are never reported: let go.
          mouseButtons_ = 0;
          out.push_back(RecordEvent(MouseRecord(mousePosition_, 0, 0, 0)));
        }
      }
      return;
    case 'M':
      if (s.count == 0) {  // legacy: CSI M button+32 column+32 row+32
        DispatchMouse(s.extra[0] - kMouseLegacyOffset, s.extra[1] - kMouseLegacyOffset,
                      s.extra[2] - kMouseLegacyOffset, false, true, out);
      } else if (s.count == 3) {  // urxvt: CSI button+32 ; column ; row M
        DispatchMouse(s.Value(0) - kMouseLegacyOffset, s.Value(1), s.Value(2), false, true, out);
      }
      return;
    default:
      return;  // unknown: dropped whole
  }
}

void VtInputDecoder::EmitReply(VtEvent::ReplyType type, const unsigned char* p, size_t used,
                               std::vector<VtEvent>& out) {
  VtEvent event;
  event.kind = VtEvent::Kind::Reply;
  event.replyType = type;
  event.reply.assign(reinterpret_cast<const char*>(p), used);
  out.push_back(std::move(event));
}

void VtInputDecoder::DispatchMouse(int cb, int x, int y, bool release, bool legacy,
                                   std::vector<VtEvent>& out) {
  if (cb < 0) return;
  const COORD at{CellFromReport(x), CellFromReport(y)};
  mousePosition_ = at;
  uint32_t state = 0;
  if (cb & kMouseShift) state |= SHIFT_PRESSED;
  if (cb & kMouseAlt) state |= LEFT_ALT_PRESSED;
  if (cb & kMouseCtrl) state |= LEFT_CTRL_PRESSED;
  auto push = [&out](const INPUT_RECORD& record) { out.push_back(RecordEvent(record)); };
  // Every report moves the mouse first: the engine takes the position from
  // move records only.
  push(MouseRecord(at, mouseButtons_, MOUSE_MOVED, state));
  const int low = cb & kMouseButtonMask;
  if (cb & kMouseMotion) {
    // A motion report is motion, whatever button bits it carries: urxvt
    // reports motion after a wheel notch as 96/97 (motion plus the wheel
    // "button" it last saw), which is no further notch. Motion with no
    // button held while we think one is: its release was missed (outside
    // the window); report it now.
    if (low == kMouseNoButton && !(cb & (kMouseWheel | kMouseExtra)) && mouseButtons_ != 0) {
      mouseButtons_ = 0;
      push(MouseRecord(at, 0, 0, state));
    }
    return;
  }
  if ((cb & kMouseWheel) && !(cb & kMouseExtra)) {
    if (release) return;  // wheels have no release; some terminals send one anyway
    // 64 up (away from the user) and 67 right are positive.
    const int delta = (low == 0 || low == 3) ? WHEEL_DELTA : -WHEEL_DELTA;
    const uint32_t flags = low < 2 ? MOUSE_WHEELED : MOUSE_HWHEELED;
    const uint32_t high = static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16;
    push(MouseRecord(at, high | mouseButtons_, flags, state));
    return;
  }
  uint32_t bit = 0;
  if (cb & kMouseExtra) {
    bit = low == 0 ? FROM_LEFT_3RD_BUTTON_PRESSED : low == 1 ? FROM_LEFT_4TH_BUTTON_PRESSED : 0;
  } else {
    static constexpr uint32_t kButtonBits[] = {FROM_LEFT_1ST_BUTTON_PRESSED, FROM_LEFT_2ND_BUTTON_PRESSED,
                                               RIGHTMOST_BUTTON_PRESSED, 0};
    bit = kButtonBits[low];
  }
  uint32_t buttons = mouseButtons_;
  if (legacy && low == kMouseNoButton && !(cb & kMouseExtra)) {
    buttons = 0;  // the legacy release names no button
  } else if (bit == 0) {
    return;
  } else if (release) {
    buttons &= ~bit;
  } else {
    buttons |= bit;
  }
  mouseButtons_ = buttons;
  push(MouseRecord(at, buttons, 0, state));
}

// --- Bracketed paste -----------------------------------------------------------

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
