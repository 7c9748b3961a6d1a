// The Settings panel: "Show in context menu:", whose checkbox registers the
// viewer with the desktop's file managers ("Hex Editor" for every file) or
// removes it again (the checkbox shows the state found on disk each time
// the panel opens); below it every display setting (viewer/display_settings.h) with
// its value, which a click steps to the next choice, applies at once and
// saves to the settings file.
#pragma once

#include <cstddef>
#include <string>

#include "engine/core/object.h"

inline constexpr char16_t kCheckboxTicked[] = u"\u25A0";    // ■
inline constexpr char16_t kCheckboxUnticked[] = u"\u25A1";  // □

// The "Settings" button's action: consumes the press and opens a 40 x 15 box
// in the middle of the screen with the title "Register", the label and the
// checkbox.
void OpenSettingsPanel(KelmCEngineV2::Object* button);

// A display value's per-frame callback: a click steps setting `index` of
// DisplaySettings() to its next choice, shows it, applies it and saves the
// settings file.
void DisplaySettingUpdate(KelmCEngineV2::Object* value, size_t index);

// The checkbox's per-frame callback: a click on it unregisters when
// registered and registers otherwise; the text follows only a change that
// succeeded, and a failure is reported by ReportRegistryError.
void RegistrationCheckboxUpdate(KelmCEngineV2::Object* checkbox);

// Writes the step digit and the system's text for the error code where the
// user sees it outside the frame, then waits for a key.
void ReportRegistryError(const std::string& step, int code);
