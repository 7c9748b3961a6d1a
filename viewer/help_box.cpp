#include "viewer/help_box.h"

#include <algorithm>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_types.h"

namespace kelm::viewer {

namespace {

using namespace KelmCEngineV2;
using kelm::port::VK_DOWN;
using kelm::port::VK_END;
using kelm::port::VK_ESCAPE;
using kelm::port::VK_F1;
using kelm::port::VK_HOME;
using kelm::port::VK_NEXT;
using kelm::port::VK_PRIOR;
using kelm::port::VK_UP;

// Screen size assumed when no engine runs.
constexpr int32_t kDefaultScreenWidth = 79;
constexpr int32_t kDefaultScreenHeight = 24;
// Rows the box leaves free: the menu bar above, the status row below.
constexpr int32_t kMenuBarRows = 1;
constexpr int32_t kStatusRows = 1;
// Columns kept free on each side of the box on a narrow screen.
constexpr int32_t kSideMargin = 1;

constexpr char kTextColour = '7';
constexpr char kHeadingColour = 'E';
constexpr char kTitleColour = 'F';
constexpr char kBackgroundColour = '0';

bool Pressed(uint16_t key) { return KeyPressed(static_cast<uint8_t>(key), false, 0); }

// Every press of `key` in this frame (key repeat can bring several).
int CountPresses(uint16_t key) {
  int count = 0;
  while (Pressed(key)) ++count;
  return count;
}

// `text` cut or padded with `fill` to exactly `width` characters.
std::string Fit(std::string text, int32_t width, char fill = ' ') {
  text.resize(static_cast<size_t>(std::max(width, 0)), fill);
  return text;
}

// One edge of the frame: "+", the label after one '-', dashes, "+". The
// label is left out when it does not fit.
std::string Edge(const std::string& label, int32_t innerWidth) {
  std::string edge = "-";
  if (static_cast<int32_t>(label.size()) + 2 <= innerWidth) edge += label;
  return "+" + Fit(edge, innerWidth, '-') + "+";
}

}  // namespace

HelpBox::HelpBox() {
  anchor = kAnchorTopLeft;
  // Hit tests happen inside the frame only, as for every box: a press on
  // the frame counts as outside.
  clipChildren = true;
  clipInset = {1, 1, 1, 1};
  Layout();
  Render();
}

void HelpBox::Layout() {
  screenWidth = mainEngine != nullptr ? mainEngine->GetScreenWidth() : kDefaultScreenWidth;
  screenHeight = mainEngine != nullptr ? mainEngine->GetScreenHeight() : kDefaultScreenHeight;

  innerWidth = std::clamp(screenWidth - 2 - 2 * kSideMargin, 1, kHelpBoxMaxInnerWidth);
  // One space of padding on both sides of the text.
  lines = FormatKeyTable(KeySections(), std::max(innerWidth - 2, 1));
  const int32_t rowsFree = screenHeight - kMenuBarRows - kStatusRows - 2;
  innerHeight = std::clamp(static_cast<int32_t>(lines.size()), 1, std::max(rowsFree, 1));
  ScrollBy(0);

  const int32_t outerWidth = innerWidth + 2;
  const int32_t left = std::max((screenWidth - outerWidth) / 2, 0);
  const int32_t top = kMenuBarRows + std::max((rowsFree - innerHeight) / 2, 0);
  position = Vector2(static_cast<float>(left), static_cast<float>(-top));
}

void HelpBox::ScrollBy(int64_t delta) {
  const int64_t last = std::max<int64_t>(static_cast<int64_t>(lines.size()) - innerHeight, 0);
  firstLine = static_cast<int32_t>(std::clamp<int64_t>(firstLine + delta, 0, last));
}

void HelpBox::Render() {
  const auto count = static_cast<int32_t>(lines.size());
  std::string bottom = " Esc: close ";
  if (count > innerHeight) {
    const std::string range = " " + std::to_string(firstLine + 1) + "-" +
                              std::to_string(firstLine + innerHeight) + " of " + std::to_string(count) + " ";
    const std::string full = range + " Up/Down/PgUp/PgDn: scroll  Esc: close ";
    bottom = static_cast<int32_t>(full.size()) + 2 <= innerWidth ? full : range;
  }

  std::string picture = Edge(kHelpBoxTitle, innerWidth);
  std::string colours(picture.size(), kTextColour);
  const size_t titleLength = std::string(kHelpBoxTitle).size();
  if (titleLength + 2 <= static_cast<size_t>(innerWidth)) {
    std::fill_n(colours.begin() + 2, titleLength, kTitleColour);
  }
  for (int32_t row = 0; row < innerHeight; ++row) {
    const int32_t index = firstLine + row;
    const HelpLine* line = index < count ? &lines[static_cast<size_t>(index)] : nullptr;
    const std::string shown = "|" + Fit(" " + (line != nullptr ? line->text : std::string()), innerWidth) + "|";
    picture += '\n';
    picture += shown;
    colours += '\n';
    std::string rowColours(shown.size(), line != nullptr && line->heading ? kHeadingColour : kTextColour);
    rowColours.front() = kTextColour;
    rowColours.back() = kTextColour;
    colours += rowColours;
  }
  picture += '\n';
  picture += Edge(bottom, innerWidth);
  colours += '\n';
  colours += std::string(static_cast<size_t>(innerWidth) + 2, kTextColour);

  SetText(picture);
  SetForeground(std::move(colours));
  FillBackground(kBackgroundColour);
  FillOpaqueMask();
}

bool HelpBox::IsTopmost() const {
  if (menusLayer == nullptr) return false;
  const std::vector<Object*> objects = menusLayer->GetObjects();
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
    if (*it != nullptr && !(*it)->IsDestroyed()) return *it == this;
  }
  return false;
}

void HelpBox::Update() {
  // A press outside closes the box, as for every box; one inside is used up.
  if (closeOnOutsideClick && mouseButtons[kLeftButton].pressed && !IsClicked()) {
    mouseButtons[kLeftButton].pressed = false;
    Destroy();  // a free box is deleted here: nothing of it may be used after
    return;
  }

  const int32_t shownFrom = firstLine;
  bool changed = false;
  if (mainEngine != nullptr &&
      (mainEngine->GetScreenWidth() != screenWidth || mainEngine->GetScreenHeight() != screenHeight)) {
    Layout();
    changed = true;
  }

  if (IsTopmost()) {
    if (Pressed(VK_ESCAPE) || Pressed(VK_F1)) {
      Destroy();
      return;
    }
    const int64_t page = std::max(innerHeight - 1, 1);
    ScrollBy(CountPresses(VK_DOWN) - CountPresses(VK_UP));
    ScrollBy(page * (CountPresses(VK_NEXT) - CountPresses(VK_PRIOR)));
    if (Pressed(VK_HOME)) ScrollBy(-static_cast<int64_t>(lines.size()));
    if (Pressed(VK_END)) ScrollBy(static_cast<int64_t>(lines.size()));
    if (mouseWheel != 0) {
      // The wheel turned away from the user scrolls up.
      ScrollBy(-static_cast<int64_t>(mouseWheel) * kHelpWheelLines);
      mouseWheel = 0;
    }
  }

  if (changed || firstLine != shownFrom) Render();
  if (callback) callback(this);
}

HelpBox* FindHelpBox() {
  if (menusLayer == nullptr) return nullptr;
  for (Object* object : menusLayer->GetObjects()) {
    auto* box = dynamic_cast<HelpBox*>(object);
    if (box != nullptr && !box->IsDestroyed()) return box;
  }
  return nullptr;
}

HelpBox* OpenHelpBox() {
  if (HelpBox* open = FindHelpBox()) return open;
  if (menusLayer == nullptr) return nullptr;
  auto* box = new HelpBox();
  menusLayer->AddObject(box);
  return box;
}

}  // namespace kelm::viewer
