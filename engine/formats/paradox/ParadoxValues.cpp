#include "ParadoxValues.h"

#include "../../EngineError.h"
#include "../../Value.h"
#include "../common/Decimal.h"

#include <QDateTime>

#include <bit>
#include <cmath>
#include <cstring>

namespace qvx::paradox {

namespace {

// Day 1 is 0001-01-01 in the proleptic Gregorian calendar.
constexpr qint64 kJulianDayOfDayZero = 1721425;
constexpr qint64 kMsPerDay = 86400000;

QDate dateFromDays(qint64 days)
{
    return QDate::fromJulianDay(days + kJulianDayOfDayZero);
}

qint64 daysFromDate(const QDate &d)
{
    const qint64 days = d.toJulianDay() - kJulianDayOfDayZero;
    if (days < 1)
        throw EngineError(QStringLiteral("the date %1 is before the year 1").arg(d.toString(Qt::ISODate)));
    return days;
}

} // namespace

bool isAllZero(const char *p, int length)
{
    for (int i = 0; i < length; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

FieldDef fieldDefFor(const Field &f, const QString &name)
{
    switch (f.type) {
    case kAlpha:
        return FieldDef(name, FieldType::String, f.size);
    case kDate:
        return FieldDef(name, FieldType::Date);
    case kShort:
        return FieldDef(name, FieldType::SmallInt);
    case kLong:
        return FieldDef(name, FieldType::Integer);
    case kMoney:
        return FieldDef(name, FieldType::Currency);
    case kNumber:
        return FieldDef(name, FieldType::Float);
    case kLogical:
        return FieldDef(name, FieldType::Boolean);
    case kMemo:
        return FieldDef(name, FieldType::Memo, f.leader());
    case kBlob:
        return FieldDef(name, FieldType::Blob, f.leader());
    case kFmtMemo:
        return FieldDef(name, FieldType::FmtMemo, f.leader());
    case kOle:
        return FieldDef(name, FieldType::ParadoxOle, f.leader());
    case kGraphic:
        return FieldDef(name, FieldType::Graphic, f.leader());
    case kTime:
        return FieldDef(name, FieldType::Time);
    case kTimestamp:
        return FieldDef(name, FieldType::DateTime);
    case kAutoInc:
        return FieldDef(name, FieldType::AutoInc);
    case kBcd:
        return FieldDef(name, FieldType::BCD, 32, f.size);
    case kBytes:
        return FieldDef(name, FieldType::Bytes, f.size);
    default:
        return FieldDef(name, FieldType::Unknown);
    }
}

StoredType storedTypeFor(const FieldDef &def)
{
    const auto leader = [&](int fallback) { return def.size > 0 ? def.size : fallback; };
    switch (def.type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
        return { kAlpha, def.size };
    case FieldType::SmallInt:
        return { kShort, 2 };
    case FieldType::Integer:
    case FieldType::Word:
    // Paradox's "LongInteger" is the widest integer it has: 32 bits. A value
    // beyond them is refused when written, never cut.
    case FieldType::LargeInt:
        return { kLong, 4 };
    case FieldType::Boolean:
        return { kLogical, 1 };
    case FieldType::Float:
        return { kNumber, 8 };
    case FieldType::Currency:
        return { kMoney, 8 };
    case FieldType::BCD:
        return { kBcd, def.decimals };
    case FieldType::Date:
        return { kDate, 4 };
    case FieldType::Time:
        return { kTime, 4 };
    case FieldType::DateTime:
        return { kTimestamp, 8 };
    case FieldType::Bytes:
    case FieldType::VarBytes:
        return { kBytes, def.size };
    case FieldType::AutoInc:
        return { kAutoInc, 4 };
    case FieldType::Memo:
        return { kMemo, kBlobPointerSize + leader(10) };
    case FieldType::FmtMemo:
        return { kFmtMemo, kBlobPointerSize + leader(10) };
    case FieldType::Blob:
    case FieldType::TypedBinary:
        return { kBlob, kBlobPointerSize + leader(0) };
    case FieldType::Graphic:
        return { kGraphic, kBlobPointerSize + leader(0) };
    case FieldType::ParadoxOle:
    case FieldType::DBaseOle:
        return { kOle, kBlobPointerSize + leader(0) };
    default:
        return {};
    }
}

// ---- Numbers ---------------------------------------------------------------

std::int32_t decodeInt(const char *p, int bytes)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    if (bytes == 2)
        return std::int16_t(std::uint16_t((u[0] << 8 | u[1]) ^ 0x8000));
    const std::uint32_t raw
        = std::uint32_t(u[0]) << 24 | std::uint32_t(u[1]) << 16 | std::uint32_t(u[2]) << 8 | u[3];
    return std::int32_t(raw ^ 0x80000000u);
}

void encodeInt(std::int32_t v, char *p, int bytes)
{
    if (bytes == 2) {
        const auto raw = std::uint16_t(std::uint16_t(v) ^ 0x8000);
        p[0] = char(raw >> 8);
        p[1] = char(raw & 0xFF);
        return;
    }
    const std::uint32_t raw = std::uint32_t(v) ^ 0x80000000u;
    for (int i = 0; i < 4; ++i)
        p[i] = char((raw >> (24 - 8 * i)) & 0xFF);
}

double decodeDouble(const char *p)
{
    std::uint64_t raw = 0;
    for (int i = 0; i < 8; ++i)
        raw = raw << 8 | std::uint8_t(p[i]);
    // Positive values carry a set sign bit; negative ones are inverted whole.
    if (raw & (std::uint64_t(1) << 63))
        raw &= ~(std::uint64_t(1) << 63);
    else
        raw = ~raw;
    return std::bit_cast<double>(raw);
}

void encodeDouble(double v, char *p)
{
    if (v == 0)
        v = 0; // -0.0 has its sign bit set and would be stored as a negative number
    std::uint64_t raw = std::bit_cast<std::uint64_t>(v);
    if (raw & (std::uint64_t(1) << 63))
        raw = ~raw;
    else
        raw |= std::uint64_t(1) << 63;
    for (int i = 0; i < 8; ++i)
        p[i] = char((raw >> (56 - 8 * i)) & 0xFF);
}

namespace {

// A BCD value's 32 digits (the nibbles of bytes 1..16, each one flipped in a
// negative value) and where its significant ones lie: most are leading
// zeros, skipped a byte at a time.
struct BcdDigits {
    const char *p;
    bool negative;
    std::uint8_t flip;
    int point; // digits before the decimal point
    int first = 32; // the first digit that is not zero; 32 for the value 0
    int last = -1; // the last digit that is not zero
    int digit(int i) const { return ((std::uint8_t(p[1 + i / 2]) ^ flip) >> (i % 2 ? 0 : 4)) & 0xF; }
};

// False for a value claiming more than 32 decimal places.
bool splitBcd(const char *p, BcdDigits &d)
{
    const auto head = std::uint8_t(p[0]);
    const int decimals = head & 0x3F;
    if (decimals > 32)
        return false;
    d.p = p;
    d.negative = !(head & 0x80);
    d.flip = d.negative ? 0xFF : 0x00;
    d.point = 32 - decimals;
    d.first = 0;
    while (d.first < 32 && (std::uint8_t(p[1 + d.first / 2]) ^ d.flip) == 0)
        d.first += 2;
    while (d.first < 32 && d.digit(d.first) == 0)
        ++d.first;
    d.last = 31;
    while (d.last >= d.first && d.digit(d.last) == 0)
        --d.last;
    return true;
}

} // namespace

bool bcdToDouble(const char *p, double &out)
{
    BcdDigits b {};
    if (!splitBcd(p, b))
        return false;
    if (b.first == 32) {
        out = 0;
        return true;
    }
    // Zeros after the last digit of the fraction do not count.
    const int end = std::max(b.last + 1, b.point);
    // Also a small fraction (0.000...1) whose scale a double cannot take exactly.
    if (end - b.first > common::kExactDecimalDigits || end - b.point > common::kExactDecimalDigits)
        return false;
    // Every nibble outside first..last is zero, so this sees any that is no digit.
    std::uint64_t m = 0;
    for (int i = b.first; i < end; ++i) {
        const int d = b.digit(i);
        if (d > 9)
            return false;
        m = m * 10 + std::uint64_t(d);
    }
    const double d = common::scaledToDouble(m, end - b.point);
    out = b.negative ? -d : d;
    return true;
}

int bcdText(const char *p, char *buf)
{
    BcdDigits b {};
    if (!splitBcd(p, b))
        return -1;
    if (b.first == 32) {
        buf[0] = '0';
        return 1;
    }
    // Every nibble outside first..last is zero, so this sees any that is no digit.
    for (int i = b.first; i <= b.last; ++i)
        if (b.digit(i) > 9)
            return -1;
    int n = 0;
    if (b.negative)
        buf[n++] = '-';
    if (b.first >= b.point)
        buf[n++] = '0';
    for (int i = b.first; i < b.point; ++i)
        buf[n++] = char('0' + b.digit(i));
    if (b.last >= b.point) {
        buf[n++] = '.';
        for (int i = b.point; i <= b.last; ++i)
            buf[n++] = char('0' + b.digit(i));
    }
    return n;
}

QString decodeBcd(const char *p)
{
    const auto head = std::uint8_t(p[0]);
    const bool negative = !(head & 0x80);
    const int decimals = head & 0x3F;
    if (decimals > 32)
        throw EngineError(QStringLiteral("a BCD value claims %1 decimal places").arg(decimals));
    QString digits;
    digits.reserve(34);
    for (int i = 0; i < 32; ++i) {
        int nibble = (std::uint8_t(p[1 + i / 2]) >> (i % 2 ? 0 : 4)) & 0xF;
        if (negative)
            nibble ^= 0xF;
        if (nibble > 9)
            throw EngineError(QStringLiteral("a BCD value holds a nibble that is no digit"));
        digits += QChar(u'0' + nibble);
    }
    if (decimals > 0)
        digits.insert(32 - decimals, u'.');
    if (negative)
        digits.prepend(u'-');
    return canonicalDecimal(digits);
}

void encodeBcd(const QString &decimal, int decimals, char *p)
{
    QString text = canonicalDecimal(decimal);
    if (text.isEmpty())
        throw EngineError(QStringLiteral("'%1' is not a decimal number").arg(decimal));
    const bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    QString whole = text.section(u'.', 0, 0);
    QString fraction = text.section(u'.', 1);
    if (fraction.size() > decimals)
        throw EngineError(QStringLiteral("%1 has more than %2 decimal places").arg(decimal).arg(decimals));
    fraction = fraction.leftJustified(decimals, u'0');
    if (whole == QLatin1String("0"))
        whole.clear();
    const QString digits = whole + fraction;
    if (digits.size() > 32)
        throw EngineError(QStringLiteral("%1 has more than 32 digits").arg(decimal));
    const QString all = digits.rightJustified(32, u'0');
    std::memset(p, 0, kBcdSize);
    p[0] = char((negative ? 0x40 : 0xC0) | decimals);
    for (int i = 0; i < 32; ++i) {
        int nibble = all[i].unicode() - u'0';
        if (negative)
            nibble ^= 0xF;
        p[1 + i / 2] = char(std::uint8_t(p[1 + i / 2]) | nibble << (i % 2 ? 0 : 4));
    }
}

// ---- Fields ----------------------------------------------------------------

QVariant decodeValue(const Field &f, const char *p)
{
    if (isAllZero(p, f.length))
        return {};
    switch (f.type) {
    case kShort:
        return int(decodeInt(p, 2));
    case kLong:
    case kAutoInc:
        return int(decodeInt(p, 4));
    case kDate: {
        const QDate d = dateFromDays(decodeInt(p, 4));
        if (!d.isValid())
            throw EngineError(QStringLiteral("the date is out of range"));
        return d;
    }
    case kTime: {
        const std::int32_t ms = decodeInt(p, 4);
        if (ms < 0 || ms >= kMsPerDay)
            throw EngineError(QStringLiteral("the time %1 ms is not within a day").arg(ms));
        return QTime::fromMSecsSinceStartOfDay(ms);
    }
    case kMoney:
    case kNumber:
        return decodeDouble(p);
    case kTimestamp: {
        const double ms = decodeDouble(p);
        // 1e17 ms is about three million years: far beyond any date.
        if (!std::isfinite(ms) || ms < 0 || ms > 1e17)
            throw EngineError(QStringLiteral("the timestamp is out of range"));
        const auto whole = qint64(std::llround(ms));
        const QDate d = dateFromDays(whole / kMsPerDay);
        if (!d.isValid())
            throw EngineError(QStringLiteral("the timestamp is out of range"));
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(whole % kMsPerDay)), Qt::UTC);
    }
    case kLogical:
        return std::uint8_t(p[0]) != 0x80;
    case kBcd:
        return decodeBcd(p);
    case kBytes:
        return QByteArray(p, f.length);
    default:
        throw EngineError(
            QStringLiteral("field type 0x%1 is not a plain value").arg(f.type, 2, 16, QLatin1Char('0')));
    }
}

void encodeValue(const Field &f, const QVariant &v, char *p)
{
    std::memset(p, 0, std::size_t(f.length));
    if (v.isNull())
        return;
    switch (f.type) {
    case kShort:
    case kLong:
    case kAutoInc: {
        const qint64 n = v.toLongLong();
        const qint64 limit = f.type == kShort ? 32767 : 2147483647;
        // The lowest value of each width encodes as all zeros, which is null.
        if (n > limit || n <= -limit - 1)
            throw EngineError(QStringLiteral("%1 is out of range").arg(n));
        encodeInt(std::int32_t(n), p, f.length);
        return;
    }
    case kDate:
        encodeInt(std::int32_t(daysFromDate(v.toDate())), p, 4);
        return;
    case kTime:
        encodeInt(v.toTime().msecsSinceStartOfDay(), p, 4);
        return;
    case kMoney:
    case kNumber:
        encodeDouble(v.toDouble(), p);
        return;
    case kTimestamp: {
        const QDateTime dt = v.toDateTime();
        const qint64 days = daysFromDate(dt.date());
        encodeDouble(double(days * kMsPerDay + dt.time().msecsSinceStartOfDay()), p);
        return;
    }
    case kLogical:
        p[0] = char(v.toBool() ? 0x81 : 0x80);
        return;
    case kBcd:
        encodeBcd(v.toString(), f.size, p);
        return;
    case kBytes: {
        const QByteArray b = v.toByteArray();
        if (b.size() > f.length)
            throw EngineError(
                QStringLiteral("%1 bytes do not fit a field of %2").arg(b.size()).arg(f.length));
        std::memcpy(p, b.constData(), std::size_t(b.size()));
        return;
    }
    default:
        throw EngineError(
            QStringLiteral("field type 0x%1 is not a plain value").arg(f.type, 2, 16, QLatin1Char('0')));
    }
}

} // namespace qvx::paradox
