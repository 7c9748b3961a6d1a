// What the save dialogs say about an existing file before replacing it.
//
// Export replaces a regular file whole (engine/port/atomic_file_writer.h):
// a link to a regular file is followed, so the file it leads to gets the
// bytes; anything else that is not a regular file is refused. The user is
// told both before confirming, and also when the file has other hard
// links, which keep the old bytes once the name is given a new file.
#pragma once

#include <string>

namespace kelm::port {

struct ReplaceTarget {
  bool exists = false;
  bool replaceable = true;  // a regular file, a link to one, or nothing
  std::u16string refusal;   // why not, when it is not replaceable
  std::u16string notes;     // sentences for the confirmation, each ending in ". "
};

// Looks at `path` as the writer will.
ReplaceTarget DescribeReplaceTarget(const std::string& path);

}  // namespace kelm::port
