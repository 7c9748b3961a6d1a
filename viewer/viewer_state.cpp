#include "viewer/viewer_state.h"

#include "viewer/input_pipe.h"
#include "viewer/scroll_bar.h"
#include "viewer/marks_store.h"
#include "viewer/too_small_screen.h"

namespace kelm::viewer {

std::string filePath;
kelm::port::ReadOnlyFile viewedFile;
uint64_t fileSize = 0;
bool fileLoaded = false;

int32_t bytesPerRow = 20;
int64_t topRow = 0;
MarkedRange selection;
bool selectionActive = false;
uint64_t selectionAnchor = 0;
bool dragSelecting = false;

std::vector<MarkedRange> markedRanges;
std::optional<size_t> seekMark;
std::u16string rangeName;
int32_t markForeground = 7;
int32_t markBackground = 4;
int32_t lastMarkForeground = 7;
int32_t lastMarkBackground = 4;

KelmCEngineV2::Object* offsetColumn = nullptr;
KelmCEngineV2::Object* hexColumn = nullptr;
KelmCEngineV2::Object* charColumn = nullptr;
KelmCEngineV2::Object* leftSeparator = nullptr;
KelmCEngineV2::Object* rightSeparator = nullptr;
KelmCEngineV2::Object* topRule = nullptr;
KelmCEngineV2::Object* bottomRule = nullptr;
KelmCEngineV2::Object* statusOffset = nullptr;
KelmCEngineV2::Object* statusLine = nullptr;
KelmCEngineV2::Object* tipObject = nullptr;
std::u16string tipText;
std::vector<StatusField> statusFields;

void ForgetScreenObjects() {
  offsetColumn = nullptr;
  hexColumn = nullptr;
  charColumn = nullptr;
  leftSeparator = nullptr;
  rightSeparator = nullptr;
  topRule = nullptr;
  bottomRule = nullptr;
  statusOffset = nullptr;
  statusLine = nullptr;
  tipObject = nullptr;
  ForgetScrollBar();
  ForgetTooSmallCover();
}

void ResetViewerStateForTests() {
  StopViewingPipe();
  filePath.clear();
  viewedFile.Close();
  fileSize = 0;
  fileLoaded = false;

  bytesPerRow = 20;
  topRow = 0;
  selection = MarkedRange{};
  selectionActive = false;
  selectionAnchor = 0;
  dragSelecting = false;

  markedRanges.clear();
  seekMark.reset();
  rangeName.clear();
  markForeground = 7;
  markBackground = 4;
  lastMarkForeground = 7;
  lastMarkBackground = 4;
  ForgetMarksStore();

  ForgetScreenObjects();
  tipText.clear();
  statusFields.clear();

  ForgetGridWindow();
  ResetScrollBarForTests();
}

}  // namespace kelm::viewer
