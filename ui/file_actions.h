// The File menu's actions on the viewed file: open another file, hand the
// file to another program ("Open With"), reload it, export the selection.
// Frame thread only (menu entries and the key handler); the dialogs they
// show are modal and block the frame loop until answered.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/object.h"
#include "ui/export.h"

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

// "Open With" for the viewed file; a failure shows a box naming the result
// code. Success and cancelling show nothing. Also Ctrl+O.
void ShowOpenWith();

// Writes the selected bytes (those within the file) to a file chosen in the
// save dialog. Without a selection, the message "You have nothing
// selected". A target that cannot be written is reported in a pop-up and
// left as it was.
void ExportSelection(const ExportScreenOptions& options = {});

// The name of an "Open With" result code: the standard names of the common
// failure codes, otherwise "Unknown error: " and the code in decimal.
std::u16string OpenWithErrorName(uint32_t code);
// "Got error: (" + name + ") when opening openwith menu!"
std::u16string OpenWithErrorMessage(uint32_t code);
