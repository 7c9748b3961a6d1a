#include "viewer/too_small_screen.h"

#include <string>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "viewer/grid_geometry.h"

namespace kelm::viewer {

namespace {

using namespace KelmCEngineV2;

Object* cover = nullptr;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

void InitTooSmallCover() {
  if (mainEngine == nullptr) return;
  auto* layer = new Layer("TooSmall");
  mainEngine->AddLayer(layer);
  cover = new Object(Vector2(0.0f, 0.0f), std::u16string());
  cover->anchor = kAnchorTopLeft;
  cover->visible = false;
  layer->AddObject(cover);
}

std::u16string TooSmallText(int32_t width) {
  // The terminal has one column more than the engine draws.
  const std::string size = std::to_string(kMinimumWidth + 1) + " x " + std::to_string(kMinimumHeight);
  const std::string forms[] = {"Terminal too small: needs at least " + size, "Too small: needs " + size,
                               "needs " + size, std::to_string(kMinimumWidth + 1) + "x" +
                                                    std::to_string(kMinimumHeight)};
  for (const std::string& form : forms) {
    if (static_cast<int32_t>(form.size()) <= width) return Ascii(form);
  }
  return Ascii(forms[3]).substr(0, width > 0 ? static_cast<size_t>(width) : 0);
}

void ShowTooSmallCover(int32_t width, int32_t height) {
  if (cover == nullptr || width < 1 || height < 1) return;
  std::u16string line = TooSmallText(width);
  line.resize(static_cast<size_t>(width), u' ');
  std::u16string text = line;
  const std::u16string blank(static_cast<size_t>(width), u' ');
  for (int32_t r = 1; r < height; ++r) {
    text += u'\n';
    text += blank;
  }
  cover->SetText(std::move(text));
  cover->FillOpaqueMask();
  cover->visible = true;
}

void HideTooSmallCover() {
  if (cover == nullptr) return;
  cover->visible = false;
  cover->SetText(std::u16string());
  cover->SetOpaqueMask(std::string());
}

bool TooSmallCoverShown() { return cover != nullptr && cover->visible; }

void ForgetTooSmallCover() { cover = nullptr; }

}  // namespace kelm::viewer
