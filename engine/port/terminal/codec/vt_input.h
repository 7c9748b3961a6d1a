// The terminal input decoder: bytes in, console records out. Pure (no tty, no
// clock of its own: the caller passes the time), so it is tested and fuzzed
// with recorded input.
//
// Keeps partial sequences across Feed calls. A lone ESC stays pending until
// nothing followed it for the Esc time-out (Flush with a later time), so that
// Esc is told apart from the start of a sequence and from Alt+key. Unknown or
// malformed sequences are dropped whole and never eat the keys after them.
//
// Choices where the bytes are ambiguous:
// - 0x0D and 0x0A are both Enter (Ctrl+J and Ctrl+M only exist with the kitty
//   keyboard protocol or modifyOtherKeys, which report them as CSI u / CSI 27~).
// - 0x08 is Ctrl+Backspace, 0x7F is Backspace, 0x09 is Tab, 0x00 is Ctrl+Space.
// - CSI row ; col R is always a cursor-position Reply, never Ctrl/Shift+F3
//   (xterm's CSI 1;5R has the same shape; kitty and most others send F3 as
//   CSI 13~ or SS3 R, which decode as keys).
// - Terminal replies (kitty flags, DA1/DA2, modifyOtherKeys, DECRQM, cursor
//   position, OSC and DCS strings) become Reply events and never keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/port/console_types.h"

namespace kelm::port {

namespace vt {
struct Sequence;  // a parsed control sequence (decoder internals)
}  // namespace vt

struct VtEvent {
  enum class Kind {
    Record,  // a console record (key, mouse or focus)
    Paste,   // bracketed paste: `text` holds the pasted text
    Reply,   // an answer to a query: `reply` holds the raw sequence
  };
  // What a Reply answers (the raw bytes are in `reply`, ESC included).
  enum class ReplyType {
    None,
    KittyKeyboardFlags,         // CSI ? flags u
    PrimaryDeviceAttributes,    // CSI ? ... c
    SecondaryDeviceAttributes,  // CSI > ... c
    ModifyOtherKeys,            // CSI > 4 ; level m
    CursorPosition,             // CSI row ; col R
    ModeReport,                 // CSI ? mode ; value $ y (or without '?')
    OperatingSystemCommand,     // ESC ] ... BEL or ST (colour replies: OSC 4/10/11)
    DeviceControlString,        // ESC P ... ST (version and capability replies)
  };
  Kind kind = Kind::Record;
  INPUT_RECORD record{};
  std::u16string text;
  ReplyType replyType = ReplyType::None;
  std::string reply;
};

class VtInputDecoder {
 public:
  // Default time after a lone ESC before it counts as the Esc key.
  static constexpr uint64_t kDefaultEscTimeoutMs = 25;
  // An OSC/DCS string in progress is given up after this long without input.
  static constexpr uint64_t kStringTimeoutMs = 500;
  // A bracketed paste whose end marker never comes is delivered (with what
  // arrived) after this long without input, so the keyboard cannot stay
  // swallowed by a broken paste.
  static constexpr uint64_t kPasteTimeoutMs = 3000;
  // Pasted text beyond this many bytes is dropped (the end marker is still
  // looked for).
  static constexpr size_t kMaxPasteBytes = size_t{16} << 20;

  explicit VtInputDecoder(uint64_t escTimeoutMs = kDefaultEscTimeoutMs);

  // Decodes `length` bytes read at time `nowMs`; appends events to `out`.
  // Each key-down is followed at once by its key-up; keys carrying Shift, Ctrl
  // or Alt are surrounded by key-down/key-up records of those modifier keys.
  // Whatever was pending and is already stale at `nowMs` is resolved first,
  // exactly as Flush would, so a late Feed never turns Esc + key into Alt+key.
  void Feed(const char* data, size_t length, uint64_t nowMs, std::vector<VtEvent>& out);
  // Resolves what is pending once input is idle: a lone ESC older than the
  // time-out becomes Esc (and any other stale partial sequence is dropped).
  // Does nothing before PendingDeadline().
  void Flush(uint64_t nowMs, std::vector<VtEvent>& out);
  // Bytes are held waiting for more input.
  bool HasPending() const;
  // When Flush should be called at the latest to resolve what is pending:
  // the time of the last bytes plus the time-out of what is held (Esc
  // time-out, string or paste time-out). The largest uint64_t when nothing is.
  uint64_t PendingDeadline() const;

 private:
  enum class Mode {
    Normal,
    Paste,       // inside CSI 200~ ... CSI 201~
    SkipCsi,     // dropping the rest of an over-long control sequence
    SkipString,  // dropping the rest of an over-long OSC/DCS string
  };
  struct Step;

  void Run(const unsigned char* p, size_t n, std::vector<VtEvent>& out);
  size_t RunPaste(const unsigned char* p, size_t n, std::vector<VtEvent>& out);
  size_t RunSkip(const unsigned char* p, size_t n);
  Step DecodeOne(const unsigned char* p, size_t n, std::vector<VtEvent>& out);
  Step DecodeEscape(const unsigned char* p, size_t n, std::vector<VtEvent>& out);
  void DispatchCsi(const vt::Sequence& s, const unsigned char* p, size_t used,
                   std::vector<VtEvent>& out);
  void DispatchMouse(int cb, int x, int y, bool release, bool legacy, std::vector<VtEvent>& out);
  static void EmitReply(VtEvent::ReplyType type, const unsigned char* p, size_t used,
                        std::vector<VtEvent>& out);
  void AppendPaste(const unsigned char* p, size_t n);
  void FinishPaste(std::vector<VtEvent>& out);
  void Resolve(std::vector<VtEvent>& out);

  std::string pending_;        // undecoded bytes (bounded: one unfinished sequence)
  uint64_t lastInputMs_ = 0;   // time of the last Feed that brought bytes
  uint64_t escTimeoutMs_;
  Mode mode_ = Mode::Normal;
  std::string pasteBuffer_;    // raw pasted bytes, ESC removed, capped
  bool pasteTruncated_ = false;
  uint32_t mouseButtons_ = 0;  // buttons held according to the reports so far
  COORD mousePosition_;        // last reported mouse cell
};

}  // namespace kelm::port
