#include "engine/port/terminal/replace_target.h"

#include "engine/port/atomic_file_writer.h"
#include "engine/port/terminal/dialogs/display_name.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

std::u16string Number(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

ReplaceTarget DescribeReplaceTarget(const std::string& path) {
  const TargetInfo info = InspectTarget(path, TargetLink::Follow);
  ReplaceTarget target;
  target.exists = info.exists;
  if (info.refusal != 0) {
    target.replaceable = false;
    target.refusal = FromUtf8(WriteErrorText(info.refusal));
    return target;
  }
  if (!info.linkedFile.empty()) {
    target.notes += u"It is a link to \"" + DisplayName(info.linkedFile) + u"\", which is replaced. ";
  }
  if (info.otherHardLinks > 0) {
    target.notes += u"It has " + Number(info.otherHardLinks) +
                    (info.otherHardLinks == 1 ? u" other hard link" : u" other hard links") +
                    u", which will keep the old bytes. ";
  }
  return target;
}

}  // namespace kelm::port
