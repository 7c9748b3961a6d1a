// Keeping the colour marks of each viewed file between runs.
//
// The marks of a file live in one small file of the state folder's "marks"
// folder (engine/port/user_folders.h), named after a hash of the file's
// absolute path; the path itself is recorded inside (viewer/marks_file.h),
// so a file of another path is never taken for this one's. The marks are
// saved when the viewed file is closed: it is reloaded, another file is
// loaded, or the program quits (q, F10, SIGTERM, SIGHUP all end the frame loop, after which
// the program saves); they are restored when the same file is opened again.
// The seek mark ("SearchResult") is not kept. Every failure (a damaged or
// foreign file, a folder that cannot be written) is said once on the status
// row, and the viewer goes on without the stored marks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "viewer/marks_file.h"

namespace kelm::viewer {

// The folder the marks files go to: StateFolder()/marks unless a test chose
// another one (empty: the state folder again).
std::string MarksFolder();
void SetMarksFolderForTests(const std::string& folder);

// The marks file of the file at `absolutePath` (empty when no folder is known).
std::string MarksFilePathFor(const std::string& absolutePath);

// The marks of the viewed file that are kept: all but the seek mark.
std::vector<MarkedRange> MarksToKeep();

// The viewed file's marks file as it would be saved now.
MarksFile CurrentMarksFile();

// Adds `marks` (read from a marks file) to the viewed file's marks; yields
// how many of them lie wholly or partly outside the file.
size_t ImportMarks(const std::vector<MarkedRange>& marks);

// Writes the viewed file's marks to its marks file (or removes a marks file
// that held marks when none are left). Nothing for a file whose marks are not
// kept (no file was opened). Says on the status row when it fails.
void SaveViewedFileMarks();

// Called by LoadFile before it opens `path`: saves the marks of the file
// shown so far (for a reload too).
void BeforeFileLoad(const std::string& path);

// Called by LoadFile after it opened the file: for a file other than the one
// shown before, the marks become the ones stored for it (none when nothing is
// stored), and the status row says when the file changed since they were
// saved or the stored file could not be used.
void AfterFileLoad();

// Reads a marks file of at most kMaxMarksFileBytes; nothing with `error`
// set when it cannot be read or parsed (and `missing` set when there was no
// file at all).
std::optional<MarksFile> ReadMarksFile(const std::string& path, std::string& error, bool* missing = nullptr);

// The message shown on the status row under the key "marks" (empty: none),
// also while nothing is selected, until the selection changes (the key
// handler calls ClearMarksStatusAfterSelectionChange every frame).
void ShowMarksStatus(const std::u16string& text);
void ClearMarksStatusAfterSelectionChange();

// Only for tests: forgets which file's marks are shown and what was said.
void ForgetMarksStore();

}  // namespace kelm::viewer
