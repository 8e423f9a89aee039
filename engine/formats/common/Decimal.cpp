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

int canonicalDecimalText(const char *text, bool negative, std::ptrdiff_t intBegin, std::ptrdiff_t intEnd,
                         std::ptrdiff_t fracBegin, std::ptrdiff_t fracEnd, char *out)
{
    while (intEnd - intBegin > 1 && text[intBegin] == '0')
        ++intBegin;
    while (fracEnd > fracBegin && text[fracEnd - 1] == '0')
        --fracEnd;
    const bool noInt = intBegin == intEnd;
    const bool zero = (noInt || (intEnd - intBegin == 1 && text[intBegin] == '0')) && fracEnd == fracBegin;
    int n = 0;
    if (negative && !zero)
        out[n++] = '-';
    if (noInt)
        out[n++] = '0';
    for (std::ptrdiff_t k = intBegin; k < intEnd; ++k)
        out[n++] = text[k];
    if (fracEnd > fracBegin) {
        out[n++] = '.';
        for (std::ptrdiff_t k = fracBegin; k < fracEnd; ++k)
            out[n++] = text[k];
    }
    return n;
}

} // namespace qvx::common
