// Decimals as the dBASE and Paradox formats hand them to SQL: as a double
// when one holds every digit, else as text.
#pragma once

#include <cstdint>

namespace qvx::common {

// Significant digits a double holds exactly; a decimal with more reaches SQL as text.
constexpr int kExactDecimalDigits = 15;

// mantissa / 10^scale, correctly rounded, for mantissa < 10^15 and scale 0..15.
double scaledToDouble(std::uint64_t mantissa, int scale);

} // namespace qvx::common
