// The settings file and the table of display settings it holds.
//
// The file is short `key = value` text, one setting a line; '#' starts a
// comment line and blank lines are skipped. It is read at start-up, and
// written whole (atomically) when the Settings panel changes a setting.
// Values given on the command line win over the file's, for this run.
//
// A line that is not understood (no '=', an unknown key, a value the key
// does not take) is skipped; the first one is named in the status row. A
// file that cannot be read or written never stops the viewer: it says so
// in the status row and goes on with what it has.
//
// One more setting is one more row of the table (DisplaySettings()).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelm::viewer {

struct DisplaySetting {
  std::string_view key;
  // The comment written above the setting in the file (what the values are).
  std::string_view help;
  // The label of its row in the Settings panel.
  std::string_view label;
  // The values the Settings panel steps through, in order.
  std::vector<std::string_view> choices;
  // The current value as the file writes it.
  std::function<std::string()> get;
  // Takes a value; false (and nothing changed) when the value is not one
  // the setting takes.
  std::function<bool(std::string_view)> set;
};

// Every setting, in the order the file and the Settings panel list them.
const std::vector<DisplaySetting>& DisplaySettings();

// One `key = value` line of a settings text, or a line that is none.
struct SettingsLine {
  size_t number = 0;  // 1-based line number
  std::string key;    // trimmed; empty for a line that is not key = value
  std::string value;  // trimmed
  std::string text;   // the line as it was (for naming it)
};

// The key = value lines of `text` (comments and blank lines left out; a
// line without '=' comes with an empty key). At most kMaxSettingsLines
// lines are looked at; a line longer than kMaxSettingsLineLength is cut.
std::vector<SettingsLine> ParseSettingsText(std::string_view text);
inline constexpr size_t kMaxSettingsLines = 1000;
inline constexpr size_t kMaxSettingsLineLength = 400;
// A larger file is not read at all.
inline constexpr size_t kMaxSettingsFileSize = 64 * 1024;

// Applies the lines to the table's settings; yields the lines that were not
// understood.
std::vector<SettingsLine> ApplySettingsLines(const std::vector<SettingsLine>& lines);

// The whole file for the current values: a header, then per setting its
// comment and its line.
std::string FormatSettingsText();

// --- the file ------------------------------------------------------------------------
// The settings file's path: ConfigFolder()/config ("" when no folder is known).
std::string DefaultSettingsPath();

// Reads the file at `path` (nothing there is no error), applies it, then the
// command line's values (which win). Remembers the path for saving and the
// message for the status row (ShowSettingsNotes). An empty path only applies
// the command line.
void LoadDisplaySettings(const std::string& path);

// Writes the current values to the remembered path (the command line's
// values are not written unless the Settings panel changed them). Yields
// false, and sets the status note, when it could not. Without a remembered
// path nothing is written.
bool SaveDisplaySettings();

// A value the command line gave, applied after the file (and again on every
// load).
void SetCommandLineSetting(std::string_view key, std::string value);

// The Settings panel changed `key`: its current value is written from now
// on, also when the command line gave it.
void ForgetCommandLineSetting(std::string_view key);

// The status row's note about the settings file, or "" when there is none.
const std::u16string& SettingsNote();
// Sets (or clears) the note about the settings file in the status row.
void ShowSettingsNote();

// Applies a display change to the screen (layout, texts, colours, theme).
void ApplyDisplayOptions();

// Only for tests: the options, the command line's values, the path and the
// note back to their start.
void ResetDisplaySettingsForTests();

}  // namespace kelm::viewer
