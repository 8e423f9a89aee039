// Decimals as the dBASE and Paradox formats hand them to SQL: as a double
// when one holds every digit, else as text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvx::common {

// Significant digits a double holds exactly; a decimal with more reaches SQL as text.
constexpr int kExactDecimalDigits = 15;

// mantissa / 10^scale, correctly rounded, for mantissa < 10^15 and scale 0..15.
double scaledToDouble(std::uint64_t mantissa, int scale);

// The canonical text ("-12.5", "0.25", "100") of a decimal whose whole and
// fraction digits stand at text[intBegin, intEnd) and text[fracBegin,
// fracEnd), into out (room for the digits and 3 more); its length. Leading
// and trailing zeros go, and zero has no sign.
int canonicalDecimalText(const char *text, bool negative, std::ptrdiff_t intBegin, std::ptrdiff_t intEnd,
                         std::ptrdiff_t fracBegin, std::ptrdiff_t fracEnd, char *out);

} // namespace qvx::common
