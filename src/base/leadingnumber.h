// The lenient reading of a number typed into a box: the number at the start
// of the text, blanks skipped, 0 when there is none.
#pragma once

#include <string_view>

namespace tarvelin {

// Blanks, tabs and line feeds are ignored wherever they stand. Then an
// optional sign, digits, an optional decimal point with digits and an
// optional exponent (E or D, optional sign, digits); "&H" or "&O" at the
// start makes the digits after it hexadecimal or octal. The first character
// that cannot continue the number ends it. Not rounded. Very large texts give
// a very large value (never infinite, never NaN); callers check the range.
double leadingNumber(std::string_view text);

}  // namespace tarvelin
