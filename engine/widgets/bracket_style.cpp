#include "engine/widgets/bracket_style.h"

namespace KelmCEngineV2 {

// Brackets in light red ('C'); the spaces next to them keep the cleared colour.
const BracketStyle kSpacedStyle{u"[ ", u" ]", "C ", " C"};
const BracketStyle kTightStyle{u"[", u"]", "C", "C"};
const BracketStyle kNoneStyle{};

BracketStyle ResolveBracketStyle(BracketKind kind, const BracketStyle* custom) {
  switch (kind) {
    case Spaced:
      return kSpacedStyle;
    case Tight:
      return kTightStyle;
    case Custom:
      return custom != nullptr ? *custom : BracketStyle{};
    default:
      // None, and any unknown kind: the bare content.
      return kNoneStyle;
  }
}

}  // namespace KelmCEngineV2
