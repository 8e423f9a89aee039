#include "DbfValues.h"

#include <charconv>

#include "../../EngineError.h"
#include "../../Value.h"
#include "../common/Decimal.h"
#include "../common/SqlDate.h"

#include <QDateTime>
#include <QLocale>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace qvx::dbf {

namespace {

// The exact decimal text of a VFP currency (an integer scaled by 10^4).
QString currencyText(qint64 scaled)
{
    const bool negative = scaled < 0;
    // The magnitude as unsigned, so that the minimum has one too.
    const std::uint64_t magnitude
        = negative ? std::uint64_t(0) - std::uint64_t(scaled) : std::uint64_t(scaled);
    QString text = QString::number(magnitude / 10000);
    const std::uint64_t frac = magnitude % 10000;
    if (frac != 0) {
        QString digits = QString::number(frac).rightJustified(4, u'0');
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.' + digits;
    }
    return negative ? u'-' + text : text;
}

// A currency as held: the double when it prints as the same digits, else
// the decimal text, so that no currency loses a digit on its way out.
QVariant currencyValue(qint64 scaled)
{
    const QString text = currencyText(scaled);
    const double d = text.toDouble();
    if (QString::number(d, 'f', QLocale::FloatingPointShortest) == text)
        return d;
    return text;
}

// Decimal text to a currency's scaled integer; false when it is no number,
// has a non-zero digit past the fourth decimal, or is out of range.
bool currencyToScaled(const QString &input, qint64 &out)
{
    const QString text = canonicalDecimal(input);
    if (text.isEmpty())
        return false;
    const bool negative = text.startsWith(u'-');
    const QStringView body = QStringView(text).mid(negative ? 1 : 0);
    const qsizetype point = body.indexOf(u'.');
    const QStringView intPart = point < 0 ? body : body.left(point);
    QStringView frac = point < 0 ? QStringView() : body.mid(point + 1);
    while (frac.size() > 4 && frac.endsWith(u'0'))
        frac.chop(1);
    if (frac.size() > 4 || intPart.size() > 15)
        return false;
    std::uint64_t magnitude = 0;
    for (QChar ch : intPart)
        magnitude = magnitude * 10 + std::uint64_t(ch.unicode() - u'0');
    for (int i = 0; i < 4; ++i)
        magnitude = magnitude * 10 + (i < frac.size() ? std::uint64_t(frac[i].unicode() - u'0') : 0);
    const std::uint64_t limit = std::uint64_t(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    if (magnitude > limit)
        return false;
    out = negative ? qint64(std::uint64_t(0) - magnitude) : qint64(magnitude);
    return true;
}

constexpr qint64 kMsPerDay = 86400000;

std::uint64_t le64(const char *p)
{
    return std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32;
}

void putLe64(char *p, std::uint64_t v)
{
    putLe32(p, std::uint32_t(v & 0xFFFFFFFFu));
    putLe32(p + 4, std::uint32_t(v >> 32));
}

QString fieldName(const Column &c)
{
    return c.def.name;
}

[[noreturn]] void fieldError(const QString &path, const Column &c, const QString &what)
{
    throw EngineError(path, QStringLiteral("field %1: %2").arg(fieldName(c), what));
}

QByteArrayView rightTrimmed(const char *p, int len)
{
    // Text fields are mostly padding: eight blanks at a time first.
    constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
    for (std::uint64_t word = 0; len >= 8; len -= 8) {
        std::memcpy(&word, p + len - 8, 8);
        if (word != kBlanks && word != 0)
            break;
    }
    while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == '\0'))
        --len;
    return QByteArrayView(p, len);
}

// Skips padding on both sides and a sign; i and len then bound the digits.
bool skipPaddingAndSign(const char *p, int &i, int &len)
{
    while (i < len && p[i] == ' ')
        ++i;
    while (len > i && (p[len - 1] == ' ' || p[len - 1] == '\0'))
        --len;
    bool negative = false;
    if (i < len && (p[i] == '-' || p[i] == '+'))
        negative = p[i++] == '-';
    return negative;
}

// Plain integer text ("  -123") straight from the bytes; false for anything
// else (decimals, exponents, overflow), which the general path handles.
bool parsePlainInteger(const char *p, int len, qint64 &out)
{
    int i = 0;
    const bool negative = skipPaddingAndSign(p, i, len);
    if (i >= len || len - i > 18)
        return false;
    qint64 n = 0;
    for (; i < len; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        n = n * 10 + (p[i] - '0');
    }
    out = negative ? -n : n;
    return true;
}

} // namespace

// Where the digits of plain decimal text ("  -012.50") lie; false for
// anything else (exponents, stray characters, no digits at all).
bool splitPlainDecimal(const char *p, int len, DecimalParts &d)
{
    int i = 0;
    d.negative = skipPaddingAndSign(p, i, len);
    d.intBegin = i;
    while (i < len && p[i] >= '0' && p[i] <= '9')
        ++i;
    d.intEnd = i;
    d.fracBegin = d.fracEnd = i;
    if (i < len && p[i] == '.') {
        d.fracBegin = ++i;
        while (i < len && p[i] >= '0' && p[i] <= '9')
            ++i;
        d.fracEnd = i;
    }
    return i == len && (d.intEnd != d.intBegin || d.fracEnd != d.fracBegin);
}

namespace {

// Plain decimal text ("  -012.50") straight from the bytes into canonical
// form ("-12.5") in buf (len + 2 bytes); its length, or -1 for anything else.
int plainDecimalText(const char *p, int len, char *buf)
{
    DecimalParts d;
    if (!splitPlainDecimal(p, len, d))
        return -1;
    return common::canonicalDecimalText(p, d.negative, d.intBegin, d.intEnd, d.fracBegin, d.fracEnd, buf);
}

// The same into a QString with one allocation; false for anything else.
bool parsePlainDecimal(const char *p, int len, QString &out)
{
    char buf[300];
    const int n = plainDecimalText(p, len, buf);
    if (n < 0)
        return false;
    out = QString::fromLatin1(buf, n);
    return true;
}

// Exponents past this are no number a field could mean (and would make the
// decimal text absurdly long).
constexpr int kMaxExponent = 400;

// The exact decimal that number text stands for, in canonical form ("-12.5",
// "0.1111049"), whether plain ("  -012.50") or with an exponent
// ("1.111049E-01", which some writers put into N fields); empty when the
// text is no number.
QString exactDecimal(QByteArrayView text)
{
    qsizetype i = 0, n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\0'))
        --n;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    auto isDigit = [&](qsizetype k) { return text[k] >= '0' && text[k] <= '9'; };
    std::string digits;
    while (i < n && isDigit(i))
        digits += text[i++];
    qsizetype point = qsizetype(digits.size()); // digits before the decimal point
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(i))
            digits += text[i++];
    }
    if (digits.empty())
        return {};
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool below = false;
        if (i < n && (text[i] == '-' || text[i] == '+'))
            below = text[i++] == '-';
        if (i == n)
            return {};
        int exponent = 0;
        for (; i < n && isDigit(i); ++i) {
            exponent = exponent * 10 + (text[i] - '0');
            if (exponent > kMaxExponent)
                return {};
        }
        point += below ? -exponent : exponent;
    }
    if (i != n)
        return {};
    std::size_t lead = 0;
    while (lead < digits.size() && digits[lead] == '0')
        ++lead;
    digits.erase(0, lead);
    point -= qsizetype(lead);
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty())
        return QStringLiteral("0");
    const qsizetype count = qsizetype(digits.size());
    QString out;
    out.reserve(count + std::abs(point) + 3);
    if (negative)
        out += u'-';
    if (point <= 0) {
        out += QStringLiteral("0.");
        out += QString(-point, u'0');
        out += QLatin1StringView(digits.data(), count);
    } else if (point >= count) {
        out += QLatin1StringView(digits.data(), count);
        out += QString(point - count, u'0');
    } else {
        out += QLatin1StringView(digits.data(), point);
        out += u'.';
        out += QLatin1StringView(digits.data() + point, count - point);
    }
    return out;
}

QVariant decodeNumber(const Column &c, const char *p)
{
    if (c.def.type == FieldType::BCD && c.desc.length < 290) {
        QString dec;
        if (parsePlainDecimal(p, c.desc.length, dec))
            return dec;
    }
    if (c.def.type == FieldType::SmallInt || c.def.type == FieldType::Integer) {
        qint64 n = 0;
        if (parsePlainInteger(p, c.desc.length, n) && n >= std::numeric_limits<int>::min()
            && n <= std::numeric_limits<int>::max())
            return int(n);
    }
    const QByteArrayView raw(p, c.desc.length);
    // Blank is null; writers fill a field with '*' when the value overflowed it.
    if (rightTrimmed(p, c.desc.length).trimmed().isEmpty() || raw.contains('*'))
        return {};
    switch (c.def.type) {
    case FieldType::SmallInt:
    case FieldType::Integer: {
        const QString dec = exactDecimal(raw);
        if (dec.isEmpty())
            return {};
        bool ok = false;
        const int n = dec.toInt(&ok);
        if (ok)
            return n;
        const qint64 wide = dec.toLongLong(&ok);
        if (ok)
            return wide;
        // A fraction (or a number past the integer range) in a whole-number
        // field is still the number the file holds: as a double when one
        // holds every digit, else as decimal text.
        qsizetype significant = 0;
        bool started = false;
        for (QChar ch : dec) {
            started = started || (ch >= u'1' && ch <= u'9');
            if (started && ch.isDigit())
                ++significant;
        }
        if (significant <= common::kExactDecimalDigits)
            return dec.toDouble();
        return dec;
    }
    case FieldType::BCD: {
        const QString dec = exactDecimal(raw);
        return dec.isEmpty() ? QVariant() : QVariant(dec);
    }
    default: {
        bool ok = false;
        const double d = QString::fromLatin1(raw).trimmed().toDouble(&ok);
        return ok ? QVariant(d) : QVariant();
    }
    }
}

QString numberText(const Column &c, const QVariant &value, const QString &path)
{
    const int width = c.desc.length;
    const int decimals = c.desc.decimals;
    QString text;
    if (c.desc.type == 'F' || c.def.type == FieldType::Float) {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            fieldError(path, c, QStringLiteral("%1 cannot be stored").arg(d));
        // Fixed decimals when they hold the value exactly, else the shortest
        // text that gives the same number back, else as many digits as fit.
        if (decimals > 0) {
            text = QString::number(d, 'f', decimals);
            if (text.size() <= width && text.toDouble() == d)
                return text.rightJustified(width, u' ');
        }
        text = QString::number(d, 'g', QLocale::FloatingPointShortest);
        for (int precision = 16; text.size() > width && precision > 0; --precision)
            text = QString::number(d, 'g', precision);
    } else {
        const QString canonical
            = value.typeId() == QMetaType::QString ? value.toString() : QString::number(value.toLongLong());
        // Digits past the field's decimals are refused, not rounded away;
        // trailing zeros there lose nothing.
        const qsizetype point = canonical.indexOf(u'.');
        if (point >= 0) {
            const QStringView extra = QStringView(canonical).mid(point + 1 + decimals);
            for (QChar ch : extra)
                if (ch != u'0')
                    fieldError(path, c,
                               QStringLiteral("the value %1 has more than %2 decimals")
                                   .arg(canonical)
                                   .arg(decimals));
        }
        text = fixedDecimal(canonical, decimals);
    }
    if (text.size() > width)
        fieldError(path, c,
                   QStringLiteral("the value %1 does not fit in its width of %2").arg(text).arg(width));
    return text.rightJustified(width, u' ');
}

void writeLatin1(char *p, const QString &text)
{
    const QByteArray b = text.toLatin1();
    std::memcpy(p, b.constData(), std::size_t(b.size()));
}

} // namespace

// ---- Columns -----------------------------------------------------------

std::vector<Column> buildColumns(const Header &h, const common::TextCodec &codec, int &nullFlagsDescriptor)
{
    nullFlagsDescriptor = -1;
    for (std::size_t i = 0; i < h.fields.size(); ++i)
        if (h.fields[i].type == '0')
            nullFlagsDescriptor = int(i);

    std::vector<Column> columns;
    int bit = 0;
    for (std::size_t i = 0; i < h.fields.size(); ++i) {
        const FieldDescriptor &f = h.fields[i];
        if (f.isSystem() || f.type == '0')
            continue;
        Column c;
        c.descriptor = int(i);
        c.desc = f;
        c.memo = isMemoType(f.type, h.variant);
        // Bits of _NullFlags go to the fields in order; a V or Q field takes
        // its varlength bit before its null bit.
        if (h.isVfp() && nullFlagsDescriptor >= 0) {
            if (f.type == 'V' || f.type == 'Q')
                c.varBit = bit++;
            if (f.isNullable())
                c.nullBit = bit++;
        }
        FieldType type = FieldType::Unknown;
        int size = 0, decimals = 0;
        switch (f.type) {
        case 'C':
            type = f.isBinary() ? FieldType::Bytes : FieldType::String;
            size = f.length;
            break;
        case 'N':
            size = f.length;
            decimals = f.decimals;
            type = decimals == 0 && f.length <= 4 ? FieldType::SmallInt
                : decimals == 0 && f.length <= 9  ? FieldType::Integer
                                                  : FieldType::BCD;
            break;
        case 'F':
            type = FieldType::Float;
            size = f.length;
            decimals = f.decimals;
            break;
        case 'D':
            type = FieldType::Date;
            break;
        case 'L':
            type = FieldType::Boolean;
            break;
        case 'M':
            type = f.isBinary() ? FieldType::Blob : FieldType::Memo;
            break;
        case 'G':
            type = FieldType::DBaseOle;
            break;
        case 'P':
            type = FieldType::Graphic;
            break;
        case 'B':
            type = h.isVfp() ? FieldType::Float : FieldType::Blob;
            break;
        case 'W':
            type = FieldType::Blob;
            break;
        case 'Y':
            type = FieldType::Currency;
            decimals = 4;
            break;
        case 'T':
            type = FieldType::DateTime;
            break;
        case 'I':
            type = f.isAutoInc() ? FieldType::AutoInc : FieldType::Integer;
            break;
        case 'V':
            type = f.isBinary() ? FieldType::VarBytes : FieldType::String;
            size = f.length;
            break;
        case 'Q':
            type = FieldType::VarBytes;
            size = f.length;
            break;
        default:
            break;
        }
        // Names are ASCII in practice; the code page covers the rest.
        QString name = codec.decode(f.name).trimmed();
        c.def = FieldDef(name, type, size, decimals, false);
        c.def.readOnly = type == FieldType::AutoInc;
        columns.push_back(std::move(c));
    }
    return columns;
}

// ---- Decoding ----------------------------------------------------------

QVariant decodeValue(const Column &c, const char *p, bool varLength, const common::TextCodec &codec)
{
    const int len = c.desc.length;
    switch (c.desc.type) {
    case 'C':
        if (c.def.type == FieldType::Bytes)
            return QByteArray(p, len);
        return codec.decode(rightTrimmed(p, len));
    case 'N':
    case 'F':
        return decodeNumber(c, p);
    case 'D': {
        const QByteArrayView text(p, 8);
        bool blank = true;
        for (char ch : text)
            if (ch != ' ' && ch != '0' && ch != '\0')
                blank = false;
        if (blank)
            return {};
        int digits[8];
        for (int i = 0; i < 8; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return {};
            digits[i] = text[i] - '0';
        }
        const QDate d(digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3],
                      digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case 'L':
        switch (*p) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            return true;
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            return false;
        default:
            return {};
        }
    case 'Y':
        return currencyValue(qint64(le64(p)));
    case 'T': {
        const std::uint32_t day = le32(p);
        const std::uint32_t ms = le32(p + 4);
        if (day == 0 && ms == 0)
            return {};
        const QDate date = QDate::fromJulianDay(day);
        if (!date.isValid() || ms >= kMsPerDay)
            return {};
        return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
    }
    case 'I':
        return int(std::int32_t(le32(p)));
    case 'B': // VFP double; the dBASE B is a memo and never gets here
        return std::bit_cast<double>(le64(p));
    case 'V':
    case 'Q': {
        int n = len;
        if (varLength)
            n = std::min<int>(std::uint8_t(p[len - 1]), len - 1);
        if (c.def.type == FieldType::VarBytes)
            return QByteArray(p, n);
        return codec.decode(QByteArrayView(p, n));
    }
    default:
        return {};
    }
}

std::uint32_t decodeMemoPointer(const Column &c, const char *p, const QString &path)
{
    if (c.desc.length == kVfpPointerWidth)
        return le32(p);
    const QByteArrayView text = rightTrimmed(p, c.desc.length);
    qint64 block = 0;
    bool any = false;
    for (char ch : text) {
        if (ch == ' ' && !any)
            continue;
        if (ch < '0' || ch > '9')
            fieldError(path, c,
                       QStringLiteral("the memo pointer \"%1\" is not a block number")
                           .arg(QString::fromLatin1(QByteArrayView(p, c.desc.length))));
        any = true;
        block = block * 10 + (ch - '0');
        if (block > 0xFFFFFFFFLL)
            fieldError(path, c, QStringLiteral("the memo pointer is out of range"));
    }
    return std::uint32_t(block);
}

void encodeMemoPointer(const Column &c, std::uint32_t block, char *p)
{
    if (c.desc.length == kVfpPointerWidth) {
        putLe32(p, block);
        return;
    }
    const QString text = block == 0 ? QString() : QString::number(block);
    writeLatin1(p, text.rightJustified(c.desc.length, u' '));
}

// ---- Encoding ----------------------------------------------------------

void blankField(const FieldDescriptor &f, bool vfp, char *p)
{
    bool binary = false;
    switch (f.type) {
    case 'Y':
    case 'T':
    case 'I':
    case '0':
    case 'Q':
        binary = true;
        break;
    case 'B':
        binary = vfp || f.length == kVfpPointerWidth;
        break;
    case 'M':
    case 'G':
    case 'P':
    case 'W':
        binary = f.length == kVfpPointerWidth;
        break;
    case 'C':
        binary = f.isBinary();
        break;
    default:
        break;
    }
    std::memset(p, binary ? 0 : ' ', std::size_t(f.length));
}

QString fixedDecimal(const QString &canonical, int decimals)
{
    QString text = canonical;
    bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    const qsizetype point = text.indexOf(u'.');
    QString intPart = point < 0 ? text : text.left(point);
    QString frac = point < 0 ? QString() : text.mid(point + 1);
    if (intPart.isEmpty())
        intPart = QStringLiteral("0");
    if (frac.size() > decimals) {
        const bool roundUp = frac[decimals] >= u'5';
        frac.truncate(decimals);
        if (roundUp) {
            QString digits = intPart + frac;
            int i = int(digits.size()) - 1;
            for (; i >= 0; --i) {
                if (digits[i] == u'9') {
                    digits[i] = u'0';
                } else {
                    digits[i] = QChar(digits[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0)
                digits.prepend(u'1');
            intPart = digits.left(digits.size() - decimals);
            frac = digits.right(decimals);
        }
    }
    frac = frac.leftJustified(decimals, u'0');
    QString out = intPart;
    if (decimals > 0)
        out += u'.' + frac;
    bool zero = true;
    for (QChar ch : out)
        if (ch != u'0' && ch != u'.')
            zero = false;
    if (negative && !zero)
        out.prepend(u'-');
    return out;
}

void encodeValue(const Column &c, const QVariant &value, char *p, bool &varLength,
                 const common::TextCodec &codec, const QString &path)
{
    const FieldDescriptor &f = c.desc;
    const int len = f.length;
    varLength = false;
    if (value.isNull() || !value.isValid()) {
        blankField(f, c.def.type == FieldType::Float, p);
        if (f.type == 'V' || f.type == 'Q') {
            std::memset(p, 0, std::size_t(len));
            varLength = true; // length 0
        }
        return;
    }
    switch (f.type) {
    case 'C': {
        QByteArray bytes = c.def.type == FieldType::Bytes ? value.toByteArray()
                                                          : codec.encode(value.toString(), path, c.def.name);
        if (bytes.size() > len)
            fieldError(path, c,
                       QStringLiteral("the value is %1 bytes long, but the field holds %2")
                           .arg(bytes.size())
                           .arg(len));
        std::memset(p, c.def.type == FieldType::Bytes ? 0 : ' ', std::size_t(len));
        std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
        return;
    }
    case 'N':
    case 'F':
        writeLatin1(p, numberText(c, value, path));
        return;
    case 'D': {
        const QDate d = value.toDate();
        if (d.year() < 1 || d.year() > 9999)
            fieldError(path, c,
                       QStringLiteral("the date %1 is outside the years 1 to 9999").arg(d.toString()));
        writeLatin1(p, d.toString(QStringLiteral("yyyyMMdd")));
        return;
    }
    case 'L':
        *p = value.toBool() ? 'T' : 'F';
        return;
    case 'Y': {
        // Scaled by 10^4 from the decimal text, never through a double.
        const QString text = value.typeId() == QMetaType::QString
            ? value.toString()
            : QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
        qint64 scaled = 0;
        if (!currencyToScaled(text, scaled))
            fieldError(path, c, QStringLiteral("the amount %1 does not fit in a currency field").arg(text));
        putLe64(p, std::uint64_t(scaled));
        return;
    }
    case 'T': {
        const QDateTime dt = value.toDateTime();
        const qint64 day = dt.date().toJulianDay();
        if (day <= 0 || day > 0xFFFFFFFFLL)
            fieldError(path, c, QStringLiteral("the date %1 cannot be stored").arg(dt.toString(Qt::ISODate)));
        putLe32(p, std::uint32_t(day));
        putLe32(p + 4, std::uint32_t(dt.time().msecsSinceStartOfDay()));
        return;
    }
    case 'I': {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<std::int32_t>::min()
            || n > std::numeric_limits<std::int32_t>::max())
            fieldError(path, c, QStringLiteral("the value %1 is out of range").arg(value.toString()));
        putLe32(p, std::uint32_t(std::int32_t(n)));
        return;
    }
    case 'B':
        putLe64(p, std::bit_cast<std::uint64_t>(value.toDouble()));
        return;
    case 'V':
    case 'Q': {
        const QByteArray bytes = c.def.type == FieldType::VarBytes
            ? value.toByteArray()
            : codec.encode(value.toString(), path, c.def.name);
        if (bytes.size() > len)
            fieldError(path, c,
                       QStringLiteral("the value is %1 bytes long, but the field holds %2")
                           .arg(bytes.size())
                           .arg(len));
        std::memset(p, 0, std::size_t(len));
        std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
        if (bytes.size() < len) {
            varLength = true;
            p[len - 1] = char(bytes.size());
        }
        return;
    }
    default:
        fieldError(path, c, QStringLiteral("values of type '%1' cannot be written").arg(QLatin1Char(f.type)));
    }
}

// ---- Straight to SQL ------------------------------------------------------

bool decimalToSql(const char *text, int length, FieldSink &sink)
{
    DecimalParts parts;
    if (!splitPlainDecimal(text, length, parts))
        return false;
    const bool negative = parts.negative;
    int intBegin = parts.intBegin, fracEnd = parts.fracEnd;
    const int intEnd = parts.intEnd, fracBegin = parts.fracBegin;
    while (intBegin < intEnd && text[intBegin] == '0')
        ++intBegin;
    while (fracEnd > fracBegin && text[fracEnd - 1] == '0')
        --fracEnd;
    // A decimal reaches SQL as text when a double would not hold every digit.
    if ((intEnd - intBegin) + (fracEnd - fracBegin) > common::kExactDecimalDigits)
        return false;
    std::uint64_t m = 0;
    for (int k = intBegin; k < intEnd; ++k)
        m = m * 10 + std::uint64_t(text[k] - '0');
    for (int k = fracBegin; k < fracEnd; ++k)
        m = m * 10 + std::uint64_t(text[k] - '0');
    const double d = common::scaledToDouble(m, fracEnd - fracBegin);
    putNumeric(sink, negative && m != 0 ? -d : d);
    return true;
}

bool decodeValueTo(const Column &c, const char *p, const common::TextCodec &codec, std::string &buffer,
                   FieldSink &sink)
{
    const int len = c.desc.length;
    switch (c.desc.type) {
    case 'C': {
        if (c.def.type == FieldType::Bytes)
            return false;
        const QByteArrayView t = rightTrimmed(p, len);
        const char *data = nullptr;
        qsizetype size = 0;
        if (!codec.toUtf8(t.data(), t.size(), buffer, data, size))
            return false;
        sink.text(data, size);
        return true;
    }
    case 'N':
    case 'F': {
        if (c.def.type == FieldType::SmallInt || c.def.type == FieldType::Integer) {
            qint64 n = 0;
            if (!parsePlainInteger(p, len, n) || n < std::numeric_limits<int>::min()
                || n > std::numeric_limits<int>::max()) {
                // Blank is null; anything else goes the general way.
                if (!rightTrimmed(p, len).trimmed().isEmpty())
                    return false;
                sink.null();
                return true;
            }
            sink.integer(n);
            return true;
        }
        if (c.def.type != FieldType::BCD && c.def.type != FieldType::Float)
            return false;
        if (rightTrimmed(p, len).trimmed().isEmpty()) {
            sink.null();
            return true;
        }
        if (c.def.type == FieldType::Float) {
            QByteArrayView t = rightTrimmed(p, len).trimmed();
            if (t.front() == '+')
                return false;
            double d = 0;
            const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
            if (ec != std::errc() || end != t.data() + t.size())
                return false;
            sink.real(d);
            return true;
        }
        if (!sink.keepsDecimalText() && decimalToSql(p, len, sink))
            return true;
        if (len < 290) {
            char buf[300];
            const int n = plainDecimalText(p, len, buf);
            if (n >= 0) {
                sink.decimal(buf, n);
                return true;
            }
        }
        return false;
    }
    case 'D': {
        bool blank = true;
        for (int i = 0; i < 8; ++i)
            if (p[i] != ' ' && p[i] != '0' && p[i] != '\0')
                blank = false;
        if (blank) {
            sink.null();
            return true;
        }
        int digits[8];
        for (int i = 0; i < 8; ++i) {
            if (p[i] < '0' || p[i] > '9')
                return false;
            digits[i] = p[i] - '0';
        }
        const int y = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
        const int m = digits[4] * 10 + digits[5];
        const int d = digits[6] * 10 + digits[7];
        if (!common::isValidDate(y, m, d))
            return false;
        common::putSqlDate(sink, y, m, d);
        return true;
    }
    case 'L':
        switch (*p) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            sink.boolean(true);
            return true;
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            sink.boolean(false);
            return true;
        default:
            sink.null();
            return true;
        }
    case 'I':
        sink.integer(std::int32_t(le32(p)));
        return true;
    case 'Y': {
        const QVariant v = currencyValue(qint64(le64(p)));
        if (v.typeId() != QMetaType::Double)
            return false; // decodeValue() gives the exact text
        sink.real(v.toDouble());
        return true;
    }
    case 'B':
        sink.real(std::bit_cast<double>(le64(p)));
        return true;
    default:
        return false;
    }
}

} // namespace qvx::dbf
