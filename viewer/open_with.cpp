#include "viewer/open_with.h"

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/widgets/menu_object.h"
#include "viewer/input_pipe.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

using namespace KelmCEngineV2;
using kelm::port::Port;

// The "Open With" error box: one line, 40 cells inside the frame; a longer
// message shows only its middle, clipped by the box.
constexpr int32_t kErrorBoxWidth = 40;
constexpr int32_t kErrorBoxHeight = 1;

struct NamedCode {
  uint32_t code;
  const char16_t* name;
};

constexpr NamedCode kOpenWithErrorNames[] = {
    {0x80004001, u"E_NOTIMPL"},     {0x80004002, u"E_NOINTERFACE"},  {0x80004003, u"E_POINTER"},
    {0x80004004, u"E_ABORT"},       {0x80004005, u"E_FAIL"},         {0x8000FFFF, u"E_UNEXPECTED"},
    {0x80070005, u"E_ACCESSDENIED"}, {0x80070006, u"E_HANDLE"},      {0x8007000E, u"E_OUTOFMEMORY"},
    {0x80070057, u"E_INVALIDARG"},
};

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::u16string OpenWithErrorName(uint32_t code) {
  for (const NamedCode& named : kOpenWithErrorNames) {
    if (named.code == code) return named.name;
  }
  return u"Unknown error: " + Ascii(std::to_string(code));
}

std::u16string OpenWithErrorMessage(uint32_t code) {
  return u"Got error: (" + OpenWithErrorName(code) + u") when opening openwith menu!";
}

void ShowOpenWith() {
  if (RefusedForPipe(u"Open With")) return;
  const uint32_t result = Port().OpenWithDialog(filePath);
  if (result == kelm::port::kOpenWithOk || result == kelm::port::kOpenWithCancelled) return;
  if (mainEngine == nullptr || menusLayer == nullptr) return;
  auto* box = new MenuObject(mainEngine->GetScreenCentre(), kErrorBoxWidth, kErrorBoxHeight);
  box->AddChild(new Object(Vector2(0.0f, 0.0f), OpenWithErrorMessage(result)));
  menusLayer->AddObject(box);
}

}  // namespace kelm::viewer
