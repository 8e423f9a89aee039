#include "ValueFormat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qvx::tool {

namespace {

QString timeText(const QTime &t)
{
    return t.toString(t.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
}

QString doubleText(double d)
{
    char buf[kDoubleChars];
    return QString::fromLatin1(buf, doubleChars(d, buf));
}

bool isJsonNumber(ValueKind kind)
{
    return kind == ValueKind::Int || kind == ValueKind::Int64 || kind == ValueKind::Double
        || kind == ValueKind::Decimal;
}

} // namespace

// The shortest digits that read back as the same double, written without an
// exponent in the range people read plainly (as JavaScript does), so that
// 100000 stays "100000" and 1e-9 or 1e300 stay short.
int doubleChars(double d, char *buf)
{
    const auto copy = [buf](const char *text) {
        const auto n = int(std::strlen(text));
        std::memcpy(buf, text, std::size_t(n));
        return n;
    };
    if (!std::isfinite(d))
        return copy(d != d ? "NaN" : (d > 0 ? "Infinity" : "-Infinity"));
    const double magnitude = std::fabs(d);
    const bool plain = magnitude == 0 || (magnitude >= 1e-6 && magnitude < 1e21);
    const auto result = plain ? std::to_chars(buf, buf + kDoubleChars, d, std::chars_format::fixed)
                              : std::to_chars(buf, buf + kDoubleChars, d, std::chars_format::scientific);
    return int(result.ptr - buf);
}

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
    appendJsonString(out, utf8.constData(), utf8.size());
    return out;
}

void appendJsonString(QByteArray &out, const char *utf8, qsizetype size)
{
    out += '"';
    qsizetype plain = 0; // bytes since the last one escaped, added in one piece
    for (qsizetype i = 0; i < size; ++i) {
        const char c = utf8[i];
        const char *escape = nullptr;
        switch (c) {
        case '"':
            escape = "\\\"";
            break;
        case '\\':
            escape = "\\\\";
            break;
        case '\n':
            escape = "\\n";
            break;
        case '\r':
            escape = "\\r";
            break;
        case '\t':
            escape = "\\t";
            break;
        case '\b':
            escape = "\\b";
            break;
        case '\f':
            escape = "\\f";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) {
                ++plain;
                continue;
            }
        }
        out.append(utf8 + i - plain, plain);
        plain = 0;
        if (escape) {
            out += escape;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
            out += buf;
        }
    }
    out.append(utf8 + size - plain, plain);
    out += '"';
}

QByteArray csvField(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    appendCsvField(out, utf8.constData(), utf8.size());
    return out;
}

void appendCsvField(QByteArray &out, const char *utf8, qsizetype size)
{
    const QByteArrayView bytes(utf8, size);
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r')) {
        out.append(utf8, size);
        return;
    }
    out += '"';
    for (const char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace qvx::tool
