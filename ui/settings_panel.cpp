#include "ui/settings_panel.h"

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/desktop_registration.h"
#include "engine/widgets/menu_object.h"
#include "viewer/display_settings.h"

using namespace kelm::viewer;

namespace {

using namespace KelmCEngineV2;

constexpr int32_t kPanelWidth = 40;
constexpr int32_t kPanelHeight = 15;

// The display settings' rows: a title, then per setting its label and its
// value, which a click steps to the next choice.
constexpr float kDisplayTitleY = 4.0f;
constexpr float kLabelX = -16.0f;
constexpr float kValueX = 4.0f;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void AddDisplayRows(MenuObject* panel) {
  auto* title = new Object(Vector2(-18.0f, kDisplayTitleY), u"Display");
  title->anchor = kAnchorLeft;
  panel->AddChild(title);
  float y = kDisplayTitleY - 1.0f;
  const std::vector<DisplaySetting>& settings = DisplaySettings();
  for (size_t i = 0; i < settings.size(); ++i, y -= 1.0f) {
    auto* label = new Object(Vector2(kLabelX, y), Ascii(std::string(settings[i].label)));
    label->anchor = kAnchorLeft;
    auto* value = new Object(Vector2(kValueX, y), Ascii(settings[i].get()));
    value->anchor = kAnchorLeft;
    value->FillForeground('F');
    value->SetCallback([i](Object* self) { DisplaySettingUpdate(self, i); });
    panel->AddChild(label);
    panel->AddChild(value);
  }
}

void Report(const kelm::port::RegistrationResult& result) {
  if (result.message.empty()) {
    ReportRegistryError(std::string(1, result.step), result.error);
    return;
  }
  // A refusal with its own text, in the same shape as the system's.
  kelm::port::Port().WriteReport(std::string(1, result.step) + result.message + "\n");
  kelm::port::Port().Pause();
}

}  // namespace

void OpenSettingsPanel(Object*) {
  mouseButtons[kLeftButton].pressed = false;
  if (mainEngine == nullptr || menusLayer == nullptr) return;

  auto* panel = new MenuObject(mainEngine->GetScreenCentre(), kPanelWidth, kPanelHeight);
  menusLayer->AddObject(panel);

  auto* title = new Object(Vector2(-18.0f, 7.0f), u"Register");
  title->anchor = kAnchorLeft;
  panel->AddChild(title);

  auto* label = new Object(Vector2(-16.0f, 6.0f), u"Show in context menu:");
  label->anchor = kAnchorLeft;
  auto* checkbox = new Object(Vector2(label->GetRight(false) + 2.0f, 6.0f),
                              kelm::port::IsRegistered() ? kCheckboxTicked : kCheckboxUnticked);
  checkbox->SetCallback(RegistrationCheckboxUpdate);
  panel->AddChild(label);
  panel->AddChild(checkbox);

  AddDisplayRows(panel);
}

void DisplaySettingUpdate(Object* value, size_t index) {
  if (!value->IsClicked()) return;
  const std::vector<DisplaySetting>& settings = DisplaySettings();
  if (index >= settings.size()) return;
  const DisplaySetting& setting = settings[index];
  const std::string current = setting.get();
  size_t next = 0;
  for (size_t c = 0; c < setting.choices.size(); ++c) {
    if (setting.choices[c] == current) next = (c + 1) % setting.choices.size();
  }
  if (setting.choices.empty() || !setting.set(setting.choices[next])) return;
  ForgetCommandLineSetting(setting.key);
  value->SetText(Ascii(setting.get()));
  value->FillForeground('F');
  ApplyDisplayOptions();
  SaveDisplaySettings();
}

void RegistrationCheckboxUpdate(Object* checkbox) {
  if (!checkbox->IsClicked()) return;
  if (kelm::port::IsRegistered()) {
    const kelm::port::RegistrationResult result = kelm::port::UnregisterVerb();
    if (result.ok) {
      checkbox->SetText(kCheckboxUnticked);
    } else {
      Report(result);
    }
  } else {
    const kelm::port::RegistrationResult result = kelm::port::RegisterVerb();
    if (result.ok) {
      checkbox->SetText(kCheckboxTicked);
    } else {
      Report(result);
    }
  }
}

void ReportRegistryError(const std::string& step, int code) {
  // The step, then the system's text on the same line; the line break stands
  // where the system's own messages end with one.
  kelm::port::Port().WriteReport(step + kelm::port::SystemErrorText(code) + "\n");
  kelm::port::Port().Pause();
}
