#pragma once

// Fixed-point text of a floating-point number, exactly as the C library's
// "%f" conversion writes it: six digits after the point, every integer digit
// however large the magnitude (DBL_MAX has 309 of them), and the library's
// own spelling of infinities and NaNs ("inf", "-inf", "nan", "-nan").

#include <string>

namespace kelm::viewer {

// The "%f" text of `number`. The buffer is sized from the length the
// conversion reports, so no magnitude is ever cut short.
std::string FormatFixed(double number);

// The same text widened to UTF-16 units (it is plain ASCII).
std::u16string FormatFixedWide(double number);

}  // namespace kelm::viewer
