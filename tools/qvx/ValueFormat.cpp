#include "ValueFormat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qvx::tool {

namespace {

QString timeText(const QTime &t)
{
    return t.toString(t.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
}

// The shortest digits that read back as the same double, written without an
// exponent in the range people read plainly (as JavaScript does), so that
// 100000 stays "100000" and 1e-9 or 1e300 stay short.
QString doubleText(double d)
{
    if (!std::isfinite(d))
        return d != d ? QStringLiteral("NaN")
                      : (d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity"));
    const double magnitude = std::fabs(d);
    const bool plain = magnitude == 0 || (magnitude >= 1e-6 && magnitude < 1e21);
    char buf[400];
    const auto result = plain ? std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed)
                              : std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    return QString::fromLatin1(buf, result.ptr - buf);
}

bool isJsonNumber(ValueKind kind)
{
    return kind == ValueKind::Int || kind == ValueKind::Int64 || kind == ValueKind::Double
        || kind == ValueKind::Decimal;
}

} // namespace

QString plainValue(const QVariant &value, FieldType type)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (valueKind(type)) {
    case ValueKind::Text:
        return value.toString();
    case ValueKind::Int:
    case ValueKind::Int64:
        return QString::number(value.toLongLong());
    case ValueKind::Double:
        // A currency whose digits a double cannot hold is held as its text.
        if (value.typeId() == QMetaType::QString)
            return value.toString();
        return doubleText(value.toDouble());
    case ValueKind::Decimal:
        return value.toString();
    case ValueKind::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case ValueKind::Date:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case ValueKind::Time:
        return timeText(value.toTime());
    case ValueKind::DateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.date().toString(QStringLiteral("yyyy-MM-dd")) + u'T' + timeText(dt.time());
    }
    case ValueKind::Bytes:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case ValueKind::None:
        break;
    }
    return value.typeId() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray().toBase64())
                                                   : value.toString();
}

QByteArray jsonValue(const QVariant &value, FieldType type)
{
    if (value.isNull() || !value.isValid())
        return QByteArrayLiteral("null");
    const ValueKind kind = valueKind(type);
    if (kind == ValueKind::Bool)
        return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    if (isJsonNumber(kind)) {
        // JSON has no NaN or infinity; a string keeps what the value was.
        if (kind == ValueKind::Double && value.typeId() != QMetaType::QString
            && !std::isfinite(value.toDouble()))
            return jsonString(plainValue(value, type));
        return plainValue(value, type).toLatin1();
    }
    return jsonString(plainValue(value, type));
}

QByteArray jsonString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

QByteArray csvField(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r'))
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

} // namespace qvx::tool
