#include "Decimal.h"

namespace qvx::common {

double scaledToDouble(std::uint64_t mantissa, int scale)
{
    // Both are exact doubles (mantissa < 2^53, scale <= 15), and one IEEE
    // division rounds correctly: the same double as parsing the text.
    static constexpr double kPow10[16]
        = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15 };
    return double(mantissa) / kPow10[scale];
}

} // namespace qvx::common
