// The pieces of the terminal input decoder that its files share: the bytes
// and bounds of the sequences it reads, a parsed control sequence, the
// sequence scanners and the sequence-to-key mapping. Internal to the codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/port/console_types.h"
#include "engine/port/terminal/codec/vt_input.h"
#include "engine/port/terminal/codec/vt_keymap.h"

namespace kelm::port {

namespace vt_decoding {

inline constexpr unsigned char kEsc = 0x1B;
inline constexpr unsigned char kBel = 0x07;
inline constexpr unsigned char kDel = 0x7F;
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Bounds that keep the decoder's memory fixed whatever arrives.
inline constexpr size_t kMaxCsiBytes = 64;       // ESC [ ... final; longer ones are dropped
inline constexpr size_t kMaxSs3Bytes = 16;       // ESC O [modifier] final
inline constexpr size_t kMaxStringBytes = 1024;  // OSC / DCS replies
inline constexpr int kMaxParameters = 16;
inline constexpr int kMaxSubParameters = 4;
inline constexpr int kMaxParameterValue = 1'000'000;

// CSI numbers and kitty sub-parameters.
inline constexpr int kPasteStart = 200;       // CSI 200 ~
inline constexpr int kModifyOtherKeys = 27;   // CSI 27 ; modifiers ; code ~
inline constexpr int kKittyReleaseEvent = 3;  // CSI code ; modifiers:3 u
inline constexpr char kPasteEndMarker[] = "\x1b[201~";
inline constexpr size_t kPasteEndMarkerLength = sizeof kPasteEndMarker - 1;

// Mouse report button byte (SGR value, or legacy byte minus 32).
inline constexpr int kMouseButtonMask = 3;  // 0 left, 1 middle, 2 right, 3 none/release
inline constexpr int kMouseNoButton = 3;
inline constexpr int kMouseShift = 4;
inline constexpr int kMouseAlt = 8;
inline constexpr int kMouseCtrl = 16;
inline constexpr int kMouseMotion = 32;
inline constexpr int kMouseWheel = 64;   // 64 up, 65 down, 66 left, 67 right
inline constexpr int kMouseExtra = 128;  // buttons 8..11 (back, forward)
inline constexpr int kMouseLegacyOffset = 32;

}  // namespace vt_decoding

namespace vt {
// A parsed control sequence: ESC [ prefix? parameters intermediates final.
struct Sequence {
  static constexpr int kMaxParameters = vt_decoding::kMaxParameters;
  static constexpr int kMaxSubParameters = vt_decoding::kMaxSubParameters;

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

namespace vt_decoding {

using vt::Key;
using vt::Sequence;

inline bool IsDigit(unsigned char b) { return b >= '0' && b <= '9'; }
inline bool IsPrintable(unsigned char b) { return b >= 0x20 && b < kDel; }
inline bool IsControl(unsigned char b) { return b < 0x20 || b == kDel; }

enum class Scan { Done, NeedMore, Drop, Overflow };

struct ScanResult {
  Scan scan;
  size_t used;  // bytes of the sequence (Done), or bytes to drop (Drop, Overflow)
};

// --- UTF-8 (vt_sequence_scan.cpp) ---------------------------------------------

struct Utf8Result {
  Scan scan;  // Done, NeedMore, or Drop (ill-formed: `used` bytes are one U+FFFD)
  size_t used;
  char32_t c;
};

// Decodes one character; ill-formed input yields U+FFFD for its maximal
// ill-formed prefix (overlong forms, surrogates and values above U+10FFFF
// included), and the byte that broke it is decoded afresh.
Utf8Result DecodeUtf8(const unsigned char* p, size_t n);

// --- Sequence scanners (vt_sequence_scan.cpp) ---------------------------------

// Scans ESC [ ... (p[0] is ESC, p[1] is '[').
ScanResult ScanCsi(const unsigned char* p, size_t n, Sequence& s);
// Scans ESC O [modifier parameters] final (p[0] is ESC, p[1] is 'O').
ScanResult ScanSs3(const unsigned char* p, size_t n, Sequence& s);
// Scans an OSC or DCS string up to BEL or ST (ESC \).
ScanResult ScanString(const unsigned char* p, size_t n);

// --- Keys of CSI and SS3 sequences (vt_key_sequences.cpp) ---------------------

enum class KeyScan {
  NotKey,   // the sequence is something else (mouse, reply, focus...)
  Key,      // a key press
  Nothing,  // a key report that gives no press (a release, an unknown code)
};

KeyScan KeyFromCsi(const Sequence& s, Key& key);
// A byte that can follow ESC O in an SS3 key (else ESC O is Alt+Shift+O).
bool StartsSs3(unsigned char b);
bool KeyFromSs3(const Sequence& s, Key& key);
// A byte that can follow ESC ] / ESC P in a reply string (else the two bytes
// are Alt+] / Alt+Shift+P). Replies start with a number or, for DCS, with one
// of the markers of the version and capability replies.
inline bool StartsOsc(unsigned char b) { return IsDigit(b); }
inline bool StartsDcs(unsigned char b) { return IsDigit(b) || b == '>' || b == '!'; }

inline Key WithAlt(Key key) {
  key.state |= LEFT_ALT_PRESSED;
  return key;
}

inline VtEvent RecordEvent(const INPUT_RECORD& record) {
  VtEvent event;
  event.record = record;
  return event;
}

inline INPUT_RECORD MouseRecord(COORD at, uint32_t buttons, uint32_t flags, uint32_t state) {
  return MakeMouseRecord(at.X, at.Y, buttons, flags, state);
}

}  // namespace vt_decoding

// The decoder's step: bytes used, or more needed to decide.
struct VtInputDecoder::Step {
  bool needMore = false;
  size_t used = 0;
};

}  // namespace kelm::port
