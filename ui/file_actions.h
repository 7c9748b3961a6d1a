// The File menu's actions on the viewed file: open another file, hand the
// file to another program ("Open With"), reload it, export the selection.
// Frame thread only (menu entries and the key handler); the dialogs they
// show are modal and block the frame loop until answered.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/object.h"
#include "ui/export.h"
#include "viewer/open_with.h"

// Texts the user sees.
inline constexpr char16_t kNothingSelected[] = u"You have nothing selected";

// Each action closes every menu first (Export: when it is done, or before its
// message). The object (the menu entry) is not used, so they serve directly
// as menu actions.

// The open dialog, started in the viewed file's folder; a chosen file is
// loaded and shown from its first row. Cancelling changes nothing.
void OpenFileAction(KelmCEngineV2::Object* entry = nullptr);
// Closes the menus, then ShowOpenWith.
void OpenWithAction(KelmCEngineV2::Object* entry = nullptr);
// Loads the viewed file again, keeping the view's first row.
void ReloadAction(KelmCEngineV2::Object* entry = nullptr);
// ExportSelection.
void ExportAction(KelmCEngineV2::Object* entry = nullptr);

// "Export as": the box of code forms, then ExportSelectionAs.
void ExportAsAction(KelmCEngineV2::Object* entry = nullptr);
// "Copy as": the box of code forms, then the copy.
void CopyAsAction(KelmCEngineV2::Object* entry = nullptr);
// "Marks": the list of marks.
void MarkListAction(KelmCEngineV2::Object* entry = nullptr);

// ExportSelection writing the bytes as code in `form`.
void ExportSelectionAs(kelm::viewer::CodeForm form);

// Writes the selected bytes (those within the file) to a file chosen in the
// save dialog. Without a selection, the message "You have nothing
// selected". A target that cannot be written is reported in a pop-up and
// left as it was.
void ExportSelection(const ExportScreenOptions& options = {});
