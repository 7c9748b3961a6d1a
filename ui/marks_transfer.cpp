#include "ui/marks_transfer.h"

#include <optional>

#include "engine/core/engine.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/console_port.h"
#include "engine/port/path_separator.h"
#include "engine/port/utf.h"
#include "engine/widgets/menu_object.h"
#include "engine/widgets/message.h"
#include "viewer/marks_store.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

namespace {

using kelm::port::Port;

std::u16string Decimal(size_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Marks(size_t count) { return Decimal(count) + (count == 1 ? u" mark" : u" marks"); }

void Report(const std::u16string& failure) {
  if (!failure.empty()) KelmCEngineV2::ShowMessage(u"Err", failure);
}

}  // namespace

std::u16string ExportMarksTo(const std::string& target) {
  const MarksFile file = CurrentMarksFile();
  kelm::port::AtomicFileWriter writer;
  const std::string text = FormatMarksFile(file);
  int error = writer.Open(target, kelm::port::TargetLink::Follow);
  if (error == 0) error = writer.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (error == 0) error = writer.Commit();
  if (error != 0) return u"Failed to export marks:\n" + kelm::port::FromUtf8(kelm::port::WriteErrorText(error));
  ShowMarksStatus(Marks(file.marks.size()) + u" exported");
  return {};
}

std::u16string ImportMarksFrom(const std::string& source) {
  std::string error;
  const std::optional<MarksFile> file = ReadMarksFile(source, error);
  if (!file) return u"Not a marks file:\n" + kelm::port::FromUtf8(error);
  const size_t outside = ImportMarks(file->marks);
  std::u16string text = Marks(file->marks.size()) + u" imported";
  if (outside > 0) text += u"; " + Decimal(outside) + u" fall outside this file";
  ShowMarksStatus(text);
  RecolourGrid();
  return {};
}

void ExportMarksAction(KelmCEngineV2::Object*) {
  const std::optional<std::string> target = Port().SaveFileDialog(kelm::port::FolderOf(filePath));
  KelmCEngineV2::CloseAllMenus();
  if (!target || target->empty()) return;
  Report(ExportMarksTo(*target));
}

void ImportMarksAction(KelmCEngineV2::Object*) {
  const std::optional<std::string> source = Port().OpenFileDialog(kelm::port::FolderOf(filePath));
  KelmCEngineV2::CloseAllMenus();
  if (!source || source->empty()) return;
  Report(ImportMarksFrom(*source));
}
