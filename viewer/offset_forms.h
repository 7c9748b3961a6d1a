// The two small number forms of the hex view: "Seek" (Ctrl+G) scrolls the
// grid to a byte offset and marks that byte, the selection-length form
// (Ctrl+B) sets how many bytes the selection covers. Each is a box on the
// "Menus" layer holding a focused hexadecimal text field whose per-frame
// callback watches for Enter itself.
//
// Frame thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/object.h"
#include "engine/widgets/menu_object.h"
#include "engine/widgets/text_input.h"

namespace kelm::viewer {

// Inner sizes of the two boxes and the most digits a 64-bit number needs.
inline constexpr int32_t kSeekFormInnerWidth = 22;
inline constexpr int32_t kSeekFormInnerHeight = 2;
inline constexpr int32_t kLengthFormInnerWidth = 22;
inline constexpr int32_t kLengthFormInnerHeight = 1;
inline constexpr int32_t kHex64Digits = 16;

// Name of the mark a seek leaves on the byte it went to.
inline constexpr char16_t kSeekMarkName[] = u"SearchResult";

// Shown (through the port's modal message box) for an entry of more than 16
// digits; the form stays open.
inline constexpr char16_t kNumberTooBigText[] = u"The number cant be bigger than 64 bits (8 bytes) big";
inline constexpr char16_t kNumberTooBigCaption[] = u"Number to big!";
// Shown for an entry holding something other than hexadecimal digits (a key
// without a known translation can slip a character past the field's filter).
inline constexpr char16_t kNotHexText[] = u"Only the hexadecimal digits 0-9 and a-f can be entered";
inline constexpr char16_t kNotHexCaption[] = u"Not a number";

// Opens the "Seek" form (its field's callback is SeekToOffset). Yields the
// box, which the "Menus" layer owns.
KelmCEngineV2::MenuObject* OpenSeekForm();
// Opens the selection-length form (its field's callback is
// SetSelectionLength). Yields the box.
KelmCEngineV2::MenuObject* OpenLengthForm();

// The Seek field's per-frame callback: on Enter with a number, replaces the
// seek mark, scrolls so that the offset's row is the first visible one and
// closes the form.
void SeekToOffset(KelmCEngineV2::Object* input);
// The length field's per-frame callback: on Enter with a number, sets the
// selection's length (the start stays) and closes the form.
void SetSelectionLength(KelmCEngineV2::Object* input);

// Whether Enter was pressed since the last query, counted only while the
// console is the foreground window. The query clears the port's record.
bool EnterPressed();

// The number in a form's field, once Enter was pressed: an empty entry closes
// the form and yields nothing; more than 16 characters shows the "Number to
// big!" message box, leaves the form open and yields nothing; otherwise the
// digits read as an unsigned 64-bit number.
std::optional<uint64_t> ParseHex64(KelmCEngineV2::TextInput& input);

// Pure reading of 1 to 16 hexadecimal digits (either case) as an unsigned
// 64-bit number; nothing for an empty text, a longer one or any other
// character.
std::optional<uint64_t> HexDigitsToNumber(const std::u16string& text);

}  // namespace kelm::viewer
