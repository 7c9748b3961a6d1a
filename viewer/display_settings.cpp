#include "viewer/display_settings.h"

#include <filesystem>
#include <fstream>
#include <map>

#include "engine/core/engine.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/printable_text.h"
#include "engine/port/user_folders.h"
#include "viewer/display_options.h"
#include "viewer/scroll_bar.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

std::string settingsPath;
std::u16string settingsNote;
// The command line's values, by key, in the order given.
std::vector<std::pair<std::string, std::string>> commandLineValues;
// The file's own values (as last read or written), by key: what is written
// back for a setting the command line overrides.
std::map<std::string, std::string, std::less<>> fileValues;

constexpr std::string_view kOn = "on";
constexpr std::string_view kOff = "off";

std::string OnOff(bool value) { return std::string(value ? kOn : kOff); }

bool SetOnOff(std::string_view text, bool& value) {
  if (text == kOn) {
    value = true;
  } else if (text == kOff) {
    value = false;
  } else {
    return false;
  }
  return true;
}

std::string RowWidthText() {
  return displayOptions.bytesPerRow < 1 ? std::string("fit") : std::to_string(displayOptions.bytesPerRow);
}

bool SetRowWidth(std::string_view text) {
  if (text == "fit") {
    displayOptions.bytesPerRow = 0;
    return true;
  }
  if (text.empty() || text.size() > 3) return false;
  int32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxBytesPerRow) return false;
  displayOptions.bytesPerRow = value;
  return true;
}

const std::vector<DisplaySetting> kSettings = {
    {"bytes-per-row", "fit (as many as the window holds) or 1 to 256 (fewer while the window is too narrow)",
     "Bytes per row:", {"fit", "8", "16", "32"}, RowWidthText, SetRowWidth},
    {"characters", "spaced (a blank after each character) or compact (one cell per byte)",
     "Characters:", {"spaced", "compact"},
     [] { return std::string(displayOptions.spacing == CharSpacing::Compact ? "compact" : "spaced"); },
     [](std::string_view text) {
       if (text != "spaced" && text != "compact") return false;
       displayOptions.spacing = text == "compact" ? CharSpacing::Compact : CharSpacing::Spaced;
       return true;
     }},
    {"utf8", "on (characters decoded as UTF-8) or off (ASCII only)", "UTF-8 characters:", {"off", "on"},
     [] { return OnOff(displayOptions.utf8); },
     [](std::string_view text) { return SetOnOff(text, displayOptions.utf8); }},
    {"byte-colours",
     "on or off: zero, printable, whitespace, other control and non-ASCII bytes each in a colour of their own",
     "Byte-class colours:", {"off", "on"}, [] { return OnOff(displayOptions.byteClassColours); },
     [](std::string_view text) { return SetOnOff(text, displayOptions.byteClassColours); }},
    {"theme", "classic (the console palette) or terminal (the terminal's own background and text colours)",
     "Theme:", {"classic", "terminal"},
     [] { return std::string(displayOptions.theme == ColourTheme::Terminal ? "terminal" : "classic"); },
     [](std::string_view text) {
       if (text != "classic" && text != "terminal") return false;
       displayOptions.theme = text == "terminal" ? ColourTheme::Terminal : ColourTheme::Classic;
       return true;
     }},
    {"file-map", "on or off: the bar at the grid's right edge that maps the file (holes, text, packed data)",
     "File map:", {"on", "off"}, [] { return OnOff(showFileMap); },
     [](std::string_view text) { return SetOnOff(text, showFileMap); }},
};

const DisplaySetting* FindSetting(std::string_view key) {
  for (const DisplaySetting& setting : kSettings) {
    if (setting.key == key) return &setting;
  }
  return nullptr;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A line of the file as the status row may show it: escaped, and cut.
std::string Named(const std::string& text) {
  constexpr size_t kShown = 40;
  std::string shown = kelm::port::EscapedText(text.size() > kShown ? text.substr(0, kShown) : text);
  if (text.size() > kShown) shown += "...";
  return shown;
}

void SetNote(const std::string& text) {
  settingsNote = Ascii(text);
  ShowSettingsNote();
}

}  // namespace

const std::vector<DisplaySetting>& DisplaySettings() { return kSettings; }

std::vector<SettingsLine> ParseSettingsText(std::string_view text) {
  std::vector<SettingsLine> lines;
  size_t number = 0;
  while (!text.empty() && number < kMaxSettingsLines) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (line.size() > kMaxSettingsLineLength) line = line.substr(0, kMaxSettingsLineLength);
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    SettingsLine parsed;
    parsed.number = number;
    parsed.text = std::string(trimmed);
    const size_t equals = trimmed.find('=');
    if (equals != std::string_view::npos) {
      parsed.key = std::string(Trim(trimmed.substr(0, equals)));
      parsed.value = std::string(Trim(trimmed.substr(equals + 1)));
    }
    lines.push_back(std::move(parsed));
  }
  return lines;
}

std::vector<SettingsLine> ApplySettingsLines(const std::vector<SettingsLine>& lines) {
  std::vector<SettingsLine> ignored;
  for (const SettingsLine& line : lines) {
    const DisplaySetting* setting = line.key.empty() ? nullptr : FindSetting(line.key);
    if (setting == nullptr || !setting->set(line.value)) ignored.push_back(line);
  }
  return ignored;
}

std::string FormatSettingsText() {
  std::string text =
      "# kelmhex settings: one \"key = value\" a line; '#' starts a comment.\n"
      "# Written by the Settings panel; options on the command line win over it.\n";
  for (const DisplaySetting& setting : kSettings) {
    text += "\n# ";
    text += setting.help;
    text += '\n';
    text += setting.key;
    text += " = ";
    const auto kept = fileValues.find(setting.key);
    text += kept != fileValues.end() ? kept->second : setting.get();
    text += '\n';
  }
  return text;
}

std::string DefaultSettingsPath() {
  const std::string folder = kelm::port::ConfigFolder();
  return folder.empty() ? std::string() : folder + "/config";
}

void SetCommandLineSetting(std::string_view key, std::string value) {
  commandLineValues.emplace_back(std::string(key), std::move(value));
}

void LoadDisplaySettings(const std::string& path) {
  settingsPath = path;
  fileValues.clear();
  std::string note;
  if (!path.empty()) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    std::ifstream in;
    if (status.type() == std::filesystem::file_type::regular) in.open(path, std::ios::binary);
    if (status.type() == std::filesystem::file_type::not_found) {
      // Nothing there is the usual first run.
    } else if (in.is_open() && in) {
      std::string text(kMaxSettingsFileSize + 1, '\0');
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      const bool failed = in.bad();
      text.resize(static_cast<size_t>(in.gcount()));
      if (failed) {
        note = "cannot read " + kelm::port::EscapedText(path) + "; using the defaults";
      } else if (text.size() > kMaxSettingsFileSize) {
        note = kelm::port::EscapedText(path) + " is too large; using the defaults";
      } else {
        const std::vector<SettingsLine> ignored = ApplySettingsLines(ParseSettingsText(text));
        if (!ignored.empty()) {
          note = "line " + std::to_string(ignored.front().number) + " ignored: " + Named(ignored.front().text);
          if (ignored.size() > 1) note += " (and " + std::to_string(ignored.size() - 1) + " more)";
        }
      }
    } else {
      note = "cannot read " + kelm::port::EscapedText(path) + "; using the defaults";
    }
  }
  for (const auto& [key, value] : commandLineValues) {
    const DisplaySetting* setting = FindSetting(key);
    if (setting == nullptr) continue;
    if (fileValues.find(key) == fileValues.end()) fileValues[key] = setting->get();
    setting->set(value);
  }
  settingsNote = Ascii(note);
}

bool SaveDisplaySettings() {
  if (settingsPath.empty()) return true;
  const std::string folder = std::filesystem::path(settingsPath).parent_path().string();
  int error = folder.empty() ? 0 : kelm::port::MakeFolders(folder);
  if (error == 0) error = kelm::port::WriteFileAtomically(settingsPath, FormatSettingsText());
  if (error != 0) {
    SetNote("cannot write " + kelm::port::EscapedText(settingsPath) + ": " + kelm::port::WriteErrorText(error));
    return false;
  }
  SetNote(std::string());
  return true;
}

void ForgetCommandLineSetting(std::string_view key) {
  const auto kept = fileValues.find(key);
  if (kept != fileValues.end()) fileValues.erase(kept);
}

const std::u16string& SettingsNote() { return settingsNote; }

void ShowSettingsNote() { SetStatusNote(u"config", settingsNote); }

void ApplyDisplayOptions() {
  if (KelmCEngineV2::mainEngine != nullptr) {
    KelmCEngineV2::mainEngine->SetTerminalColours(displayOptions.theme == ColourTheme::Terminal);
  }
  ForgetGridWindow();
  RelayoutGrid();
  RecolourGrid();
}

void ResetDisplaySettingsForTests() {
  displayOptions = DisplayOptions{};
  settingsPath.clear();
  settingsNote.clear();
  commandLineValues.clear();
  fileValues.clear();
}

}  // namespace kelm::viewer
