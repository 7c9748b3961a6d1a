// Mouse reports (SGR, legacy X10 and urxvt forms) as console mouse records:
// the buttons held, wheel notches, motion, modifiers.
#include <algorithm>
#include <limits>

#include "engine/port/terminal/codec/vt_input_parts.h"

namespace kelm::port {

using namespace vt_decoding;

namespace {

int16_t CellFromReport(int oneBased) {
  return static_cast<int16_t>(std::clamp(oneBased - 1, 0, int{std::numeric_limits<int16_t>::max()}));
}

}  // namespace

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

}  // namespace kelm::port
