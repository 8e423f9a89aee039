#include "Value.h"

#include "EngineError.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <cmath>
#include <limits>

namespace qvx {

namespace {

[[noreturn]] void invalid(const QString &text, const char *what)
{
    throw EngineError(QStringLiteral("'%1' is not a valid %2 value").arg(text, QLatin1String(what)));
}

QString shown(const QVariant &v)
{
    return v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray()) : v.toString();
}

qint64 toInt64(const QVariant &v, const FieldDef &f)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return v.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.2e18)
            invalid(v.toString(), "integer");
        return qint64(d);
    }
    default: {
        const QString text = shown(v).trimmed();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (!ok)
            invalid(shown(v), "integer");
        return n;
    }
    }
    Q_UNUSED(f);
}

double toDouble(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        bool ok = false;
        const double d = shown(v).trimmed().toDouble(&ok);
        if (!ok)
            invalid(shown(v), "floating point");
        return d;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        invalid(v.toString(), "floating point");
    return d;
}

QDate toDate(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    const QString text = shown(v).trimmed();
    for (const char *fmt : { "yyyy-MM-dd", "yyyyMMdd", "yyyy-M-d" }) {
        const QDate d = QDate::fromString(text, QLatin1String(fmt));
        if (d.isValid())
            return d;
    }
    invalid(text, "date");
}

QTime toTime(const QVariant &v)
{
    if (v.typeId() == QMetaType::QTime)
        return v.toTime();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().time();
    const QString text = shown(v).trimmed();
    for (const char *fmt : { "hh:mm:ss.zzz", "hh:mm:ss", "hh:mm", "h:mm:ss", "h:mm" }) {
        const QTime t = QTime::fromString(text, QLatin1String(fmt));
        if (t.isValid())
            return t;
    }
    invalid(text, "time");
}

QDateTime toDateTime(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        // Keep the wall-clock reading, whatever zone it came in.
        return QDateTime(dt.date(), dt.time(), Qt::UTC);
    }
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0), Qt::UTC);
    const QString text = shown(v).trimmed();
    for (const char *fmt : { "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-ddThh:mm:ss.zzz", "yyyy-MM-dd hh:mm:ss",
                             "yyyy-MM-ddThh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-dd" }) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(fmt));
        if (dt.isValid())
            return QDateTime(dt.date(), dt.time(), Qt::UTC);
    }
    invalid(text, "date and time");
}

} // namespace

QString canonicalDecimal(const QString &input)
{
    // One pass over the text to find the parts, one allocation for the result.
    const QStringView text = QStringView(input).trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    const qsizetype intBegin = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    qsizetype intEnd = i;
    qsizetype fracBegin = i, fracEnd = i;
    if (i < text.size() && text[i] == u'.') {
        fracBegin = ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        fracEnd = i;
    }
    if (i != text.size() || (intEnd == intBegin && fracEnd == fracBegin))
        return {};
    qsizetype lead = intBegin;
    while (lead + 1 < intEnd && text[lead] == u'0')
        ++lead;
    while (fracEnd > fracBegin && text[fracEnd - 1] == u'0')
        --fracEnd;
    const QStringView intPart = lead < intEnd ? text.sliced(lead, intEnd - lead) : QStringView(u"0");
    const bool zero = intPart == u"0" && fracEnd == fracBegin;
    QString out;
    out.reserve(intPart.size() + (fracEnd - fracBegin) + 2);
    if (negative && !zero)
        out += u'-';
    out += intPart;
    if (fracEnd > fracBegin) {
        out += u'.';
        out += text.sliced(fracBegin, fracEnd - fracBegin);
    }
    return out;
}

QVariant coerceValue(const QVariant &v, const FieldDef &field)
{
    if (v.isNull() || !v.isValid())
        return {};
    const ValueKind kind = valueKind(field.type);
    if (kind != ValueKind::Text && kind != ValueKind::Bytes && v.typeId() == QMetaType::QString
        && v.toString().trimmed().isEmpty())
        return {};

    switch (kind) {
    case ValueKind::Text:
        return shown(v);
    case ValueKind::Int: {
        const qint64 n = toInt64(v, field);
        if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            invalid(shown(v), "integer");
        if (field.type == FieldType::SmallInt && (n < -32768 || n > 32767))
            invalid(shown(v), "small integer");
        if (field.type == FieldType::Word && (n < 0 || n > 65535))
            invalid(shown(v), "word");
        return int(n);
    }
    case ValueKind::Int64:
        return toInt64(v, field);
    case ValueKind::Bool:
        if (v.typeId() == QMetaType::QString) {
            const QString t = v.toString().trimmed().toLower();
            if (t == QLatin1String("true") || t == QLatin1String("t") || t == QLatin1String("yes")
                || t == QLatin1String("y") || t == QLatin1String("1"))
                return true;
            if (t == QLatin1String("false") || t == QLatin1String("f") || t == QLatin1String("no")
                || t == QLatin1String("n") || t == QLatin1String("0"))
                return false;
            invalid(v.toString(), "boolean");
        }
        return v.toBool();
    case ValueKind::Double:
        // A currency given as text keeps its digits when a double would
        // lose some (the dbf currency is an exact scaled integer).
        if (field.type == FieldType::Currency && v.typeId() == QMetaType::QString) {
            const QString dec = canonicalDecimal(shown(v).trimmed());
            if (!dec.isEmpty() && QString::number(dec.toDouble(), 'f', QLocale::FloatingPointShortest) != dec)
                return dec;
        }
        return toDouble(v);
    case ValueKind::Decimal: {
        QString text;
        // Every digit the double has, so that a field's encoder sees the
        // digits that do not fit instead of a rounded value; only binary
        // noise past 15 significant digits (a computed 149998499.99999997)
        // is rounded to the field's scale.
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            const double d = v.toDouble();
            text = QString::number(d, 'f', QLocale::FloatingPointShortest);
            if (field.decimals >= 0 && std::isfinite(d)) {
                const QString atScale = canonicalDecimal(QString::number(d, 'f', field.decimals));
                if (!atScale.isEmpty() && atScale == canonicalDecimal(QString::number(d, 'g', 15)))
                    text = atScale;
            }
        } else
            text = shown(v);
        const QString dec = canonicalDecimal(text);
        if (dec.isEmpty())
            invalid(shown(v), "decimal");
        return dec;
    }
    case ValueKind::Date:
        return toDate(v);
    case ValueKind::Time:
        return toTime(v);
    case ValueKind::DateTime:
        return toDateTime(v);
    case ValueKind::Bytes:
        return v.typeId() == QMetaType::QString ? v.toString().toUtf8() : v.toByteArray();
    case ValueKind::None:
        return v;
    }
    return v;
}

QString valueToText(const QVariant &v, FieldType type)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (valueKind(type)) {
    case ValueKind::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ValueKind::Double:
        if (v.typeId() == QMetaType::QString) // a currency held as exact text
            return v.toString();
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case ValueKind::Date:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case ValueKind::Time: {
        const QTime t = v.toTime();
        return t.toString(t.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
    }
    case ValueKind::DateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")
                                            : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case ValueKind::Bytes:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

} // namespace qvx
