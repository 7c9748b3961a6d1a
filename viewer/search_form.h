// The search form (Ctrl+F): a box on the "Menus" layer with a focused text
// field for the pattern, a line that says what may be typed, a line for
// what is wrong with the pattern, and the two text options: the encoding
// (UTF-8, UTF-16 LE, UTF-16 BE; Ctrl+E or a click steps through them) and
// whether ASCII letters match in either case (Ctrl+L or a click). The
// options stay for the next form. Enter with a valid pattern closes the form
// and searches forward from the byte after the selection (or from the first
// visible byte); an invalid one leaves the form open with the reason; an
// empty one closes it. The field starts empty (F3 repeats the last search).
//
// Frame thread only.
#pragma once

#include <cstdint>

#include "engine/core/object.h"
#include "engine/widgets/menu_object.h"
#include "viewer/search.h"

namespace kelm::viewer {

// The text options the form shows and searches with.
extern TextSearchOptions searchTextOptions;
// The options' lines as the form shows them.
std::u16string EncodingOptionText(const TextSearchOptions& options);
std::u16string CaseOptionText(const TextSearchOptions& options);

// Widest inside of the box; narrower screens get a narrower box.
inline constexpr int32_t kSearchFormMaxInnerWidth = 75;
inline constexpr int32_t kSearchFormMinInnerWidth = 23;
inline constexpr int32_t kSearchFormInnerHeight = 5;

inline constexpr char16_t kSearchFormLabel[] = u"Find hex bytes (de ad be ef) or \"text";

// Opens the form; yields the box, which the "Menus" layer owns.
KelmCEngineV2::MenuObject* OpenSearchForm();

}  // namespace kelm::viewer
