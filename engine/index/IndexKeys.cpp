#include "IndexKeys.h"

#include <bit>
#include <cstring>

namespace qvx::index {

int sortKeyLength(KeyType type, int keyLength)
{
    switch (type) {
    case KeyType::Numeric:
    case KeyType::Date:
        return 8;
    case KeyType::Logical:
        return 1;
    case KeyType::Character:
        break;
    }
    return keyLength;
}

QByteArray numberSortKey(double value)
{
    if (value == 0)
        value = 0.0; // -0.0 sorts as +0.0
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    bits = (bits & (std::uint64_t(1) << 63)) ? ~bits : bits | (std::uint64_t(1) << 63);
    QByteArray key(8, Qt::Uninitialized);
    for (int i = 0; i < 8; ++i)
        key[i] = char(bits >> (56 - 8 * i));
    return key;
}

double numberFromSortKey(QByteArrayView key)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | std::uint8_t(key[i]);
    bits = (bits & (std::uint64_t(1) << 63)) ? bits & ~(std::uint64_t(1) << 63) : ~bits;
    return std::bit_cast<double>(bits);
}

double julianDay(QDate date)
{
    return date.isValid() ? double(date.toJulianDay()) : 0.0;
}

QDate dateFromJulian(double day)
{
    return day > 0 ? QDate::fromJulianDay(qint64(day)) : QDate();
}

} // namespace qvx::index
