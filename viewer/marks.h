// Colour marks: byte ranges painted with a chosen pair of colours and an
// optional name, shown as a tooltip next to the mouse pointer.
//
// Marks are made with the colour-range form (the mark command), with the quick
// mark (Ctrl+Q) and by the seek; the mark command over a visible mark removes
// it. Everything here runs on the frame thread, inside object callbacks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/object.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

// The longest name the form's "Name" field takes.
inline constexpr int32_t kMarkNameLength = 20;

// The text shown in the box of the mark command without a selection.
inline constexpr const char16_t* kSelectRangeFirst = u"You need to select a range!";

// The colour sample of the form: four lines of eight characters.
inline constexpr const char* kColourSampleText = "T e x T \n64 0A 0D\nE . d m \nD4 FF FF";

// Whether `offset` lies in the bytes of `range` (a range of length 0 holds
// none; ranges running past 2^64 are handled without wrapping).
bool RangeContains(const MarkedRange& range, uint64_t offset);

// The mark command (Ctrl+M or Ctrl+K): removes the first visible mark under
// the pointer; otherwise opens the colour-range form when a selection is
// active, else the box saying that a range must be selected first.
void HandleMarkKey();

// Index of the first mark of markedRanges that is visible and holds the
// byte `offset`, if any.
std::optional<size_t> FindVisibleMarkAt(uint64_t offset);

// The colour-range form on the "Menus" layer: colour sliders, the colour
// sample, the "Name" field and "[OK]". Its values persist between forms.
void OpenColourRangeForm();

// The small box on the "Menus" layer saying that a range must be selected.
void ShowSelectRangeFirst();

// Per-frame callback of the form's "[OK]": when it is clicked, closes the
// form, adds a mark of the chosen colours and name over the selection and
// removes the selection.
void AddMarkFromForm(KelmCEngineV2::Object* object);

// Ctrl+Q: with an active selection, marks it with the next colour pair after
// the last mark's (each digit one higher, wrapping from F to 0), no name.
void QuickMark();

// The tooltip frame for a text of n characters: three lines, "+" n*"-" "+",
// "|" n spaces "|", "+" n*"-" "+".
std::string BuildTipBox(int32_t n);

// Shows the tooltip with `text` for the current frame.
void ShowTip(const std::u16string& text);

// Every frame: shows the name of the last visible named mark under the
// pointer as a tooltip.
void ShowTipUnderMouse();

}  // namespace kelm::viewer
