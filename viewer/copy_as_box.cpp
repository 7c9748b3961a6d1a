#include "viewer/copy_as_box.h"

#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/widgets/menu_object.h"
#include "viewer/copy.h"

namespace kelm::viewer {

using KelmCEngineV2::ContextMenu;
using KelmCEngineV2::MenuEntry;
using KelmCEngineV2::Object;

namespace {

constexpr size_t kNameCells = 14;
constexpr uint32_t kCtrlOrAlt = kelm::port::LEFT_CTRL_PRESSED | kelm::port::RIGHT_CTRL_PRESSED |
                                kelm::port::LEFT_ALT_PRESSED | kelm::port::RIGHT_ALT_PRESSED;

// The form whose letter was typed this frame (the key is taken), if any.
std::optional<CodeForm> TypedForm() {
  auto& events = KelmCEngineV2::keyEvents;
  for (auto it = events.begin(); it != events.end(); ++it) {
    if ((it->dwControlKeyState & kCtrlOrAlt) != 0) continue;
    for (const CodeForm form : kCodeForms) {
      if (it->wVirtualKeyCode == static_cast<uint16_t>(CodeFormKey(form))) {
        events.erase(it);
        return form;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::u16string CodeFormLine(CodeForm form) {
  std::u16string line(CodeFormName(form));
  line.resize(kNameCells, u' ');
  line += static_cast<char16_t>(CodeFormKey(form) - 'A' + 'a');
  return line;
}

void OpenCodeFormBox(std::function<void(CodeForm)> chosen) {
  using KelmCEngineV2::mainEngine;
  using KelmCEngineV2::menusLayer;
  if (mainEngine == nullptr || menusLayer == nullptr) return;
  auto action = std::make_shared<std::function<void(CodeForm)>>(std::move(chosen));
  std::vector<MenuEntry> entries;
  for (const CodeForm form : kCodeForms) {
    entries.emplace_back(CodeFormLine(form), [action, form](Object* entry) {
      if (entry != nullptr && entry->parent != nullptr) entry->parent->Destroy();
      (*action)(form);
    }, false);
  }
  // Centred: the corner half the box's size up and left of the centre.
  const KelmCEngineV2::Vector2 centre = mainEngine->GetScreenCentre();
  const float halfWidth = static_cast<float>(kNameCells + 6) / 2.0f;
  const float halfHeight = static_cast<float>(std::size(kCodeForms) + 2) / 2.0f;
  auto* box = new ContextMenu(std::move(entries), KelmCEngineV2::Vector2(centre.x - halfWidth, centre.y + halfHeight));
  box->SetCallback([action](Object* self) {
    if (self->IsDestroyed()) return;
    if (const std::optional<CodeForm> form = TypedForm()) {
      self->Destroy();
      (*action)(*form);
    }
  });
  menusLayer->AddObject(box);
}

void OpenCopyAsBox() {
  OpenCodeFormBox([](CodeForm form) { CopySelectionAsCode(form); });
}

}  // namespace kelm::viewer
