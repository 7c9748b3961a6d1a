#include "viewer/input_pipe.h"

#include <algorithm>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/widgets/message.h"
#include "viewer/offset_math.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

using kelm::port::InputSpool;
using kelm::port::SpoolProgress;
using kelm::port::SpoolState;

InputSpool* spooled = nullptr;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Bytes(uint64_t count) { return Ascii(std::to_string(count)) + (count == 1 ? u" byte" : u" bytes"); }

std::u16string ErrorText(int error) { return kelm::port::FromUtf8(std::strerror(error)); }

// One past the last offset the grid can show now (saturating).
uint64_t WindowEnd() {
  const int32_t rows = KelmCEngineV2::mainEngine != nullptr ? KelmCEngineV2::mainEngine->GetScreenHeight() - 4 : 0;
  if (rows < 1 || bytesPerRow < 1) return 0;
  const uint64_t perRow = static_cast<uint64_t>(bytesPerRow);
  const uint64_t first = static_cast<uint64_t>(ClampTopRow(topRow)) * perRow;
  return SaturatingAdd(first, static_cast<uint64_t>(rows) * perRow);
}

// Puts the progress in the "input" field (made first in the row, so that a
// long selection readout never hides it); yields whether the row changed.
bool ShowProgress(const SpoolProgress& progress) {
  const std::u16string text = PipeProgressText(progress);
  const auto field = std::find_if(statusFields.begin(), statusFields.end(),
                                  [](const StatusField& each) { return each.key == kInputStatusKey; });
  if (field != statusFields.end() && field->value == text) return false;
  if (field == statusFields.end()) {
    StatusField made;
    made.key = kInputStatusKey;
    made.shownWithoutSelection = true;
    statusFields.insert(statusFields.begin(), made);
  }
  SetStatusField(kInputStatusKey, text);
  return true;
}

}  // namespace

std::u16string PipeProgressText(const SpoolProgress& progress) {
  switch (progress.state) {
    case SpoolState::Arriving: return u"arriving, " + Bytes(progress.size) + u" so far";
    case SpoolState::Ended: return u"ended, " + Bytes(progress.size);
    case SpoolState::ReadFailed:
      return u"reading failed (" + ErrorText(progress.error) + u"), " + Bytes(progress.size) + u" kept";
    case SpoolState::WriteFailed:
      return u"spooling stopped (" + ErrorText(progress.error) + u"), " + Bytes(progress.size) + u" kept";
  }
  return {};
}

void ViewPipe(InputSpool& spool, int source) {
  StopViewingPipe();
  filePath.clear();
  viewedFile.Close();
  fileLoaded = false;
  ForgetGridWindow();
  kelm::port::Port().SetTitle(std::u16string(kTitlePrefix) + kPipeName);

  const SpoolProgress progress = spool.Progress();
  viewedFile.Adopt(spool.TakeReader(), progress.size);
  fileSize = viewedFile.IsOpen() ? progress.size : 0;
  spooled = &spool;
  ShowProgress(progress);
  RefreshGrid();
  fileLoaded = true;

  // The spool's thread only asks for a frame; the frame takes the bytes.
  KelmCEngineV2::Engine* engine = KelmCEngineV2::mainEngine;
  spool.Start(source, [engine] {
    if (engine != nullptr) engine->RequestFrame(0);
  });
}

bool ViewingPipe() { return spooled != nullptr; }

void TakePipeInput() {
  if (spooled == nullptr) return;
  const SpoolProgress progress = spooled->Progress();
  bool changed = false;
  if (progress.size > fileSize && viewedFile.IsOpen()) {
    const uint64_t before = fileSize;
    viewedFile.SetSize(progress.size);
    fileSize = progress.size;
    // Bytes past the window change nothing on screen.
    if (before < WindowEnd()) RefreshGrid();
    changed = true;
  }
  if (ShowProgress(progress)) changed = true;
  if (changed && KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->RequestFrame(0);
}

bool RefusedForPipe(const std::u16string& action) {
  if (spooled == nullptr) return false;
  KelmCEngineV2::ShowMessage(kPipeRefusalTitle, action +
                                                    u" needs a file, and these bytes came from a pipe.\n"
                                                    u"Save them to a file (select and export) to do that.");
  return true;
}

void StopViewingPipe() {
  if (spooled == nullptr) return;
  spooled->Stop();
  spooled = nullptr;
  statusFields.erase(std::remove_if(statusFields.begin(), statusFields.end(),
                                    [](const StatusField& field) { return field.key == kInputStatusKey; }),
                     statusFields.end());
  RenderStatusLine();
}

}  // namespace kelm::viewer
