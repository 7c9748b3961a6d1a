// The terminal input decoder.
//
// Index (files of the decoder):
//   vt_input_parts.h     bounds and sequence constants, the parsed sequence
//   vt_sequence_scan.cpp UTF-8 decoding of typed characters; CSI / SS3 /
//                        OSC-DCS scanners (complete, need more, drop, overflow)
//   vt_key_sequences.cpp CSI and SS3 sequences that are keys (vt_keymap tables)
//   vt_input_mouse.cpp   mouse reports
//   vt_input_paste.cpp   bracketed paste
//   this file            VtInputDecoder: Feed/Flush/pending, escape dispatch,
//                        replies
//
// Every token is decoded from the start of the unread bytes: a complete one is
// consumed, an incomplete one stays pending (never more than one bounded
// sequence), a malformed one is dropped up to the byte that broke it and that
// byte is decoded afresh.
#include "engine/port/terminal/codec/vt_input.h"

#include <limits>

#include "engine/port/terminal/codec/vt_input_parts.h"

namespace kelm::port {

using namespace vt_decoding;

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

}  // namespace kelm::port
