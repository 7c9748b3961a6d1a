// How the file chooser shows names and sizes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelm::port {

// A name as it is shown: UTF-8 decoded; bytes that are not valid UTF-8 and
// control characters as \xHH, C1 controls, bidirectional and other
// invisible characters (IsControlOrInvisible) as \u{HHHH}, and a backslash
// doubled so that no name can look like another's escape.
std::u16string DisplayName(std::string_view raw);
// Decimal digits in groups of three: 1234567 -> "1,234,567".
std::u16string GroupedSize(uint64_t size);

}  // namespace kelm::port
