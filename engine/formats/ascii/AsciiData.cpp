#include "AsciiData.h"

#include "../../EngineError.h"

#include <QDateTime>

#include <limits>

namespace qvx::ascii {

namespace {

constexpr qint64 kScanChunk = 1 << 20;

[[noreturn]] void fail(const QString &what)
{
    throw DataError { what };
}

[[noreturn]] void fieldFail(const SchemaField &f, const QString &what)
{
    fail(QStringLiteral("field %1: %2").arg(f.name, what));
}

bool isText(const SchemaField &f)
{
    return f.def.type == FieldType::String || f.def.type == FieldType::Memo;
}

qint64 parseInteger(const QByteArray &text, const SchemaField &f, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok, 10);
    if (!ok || n < low || n > high)
        fieldFail(f,
                  QStringLiteral("\"%1\" is not a valid %2 value")
                      .arg(QString::fromLatin1(text.left(40)), QString::fromLatin1(f.typeName)));
    return n;
}

QTime parseTime(const QString &text, const QString &form)
{
    QTime t = QTime::fromString(text, form);
    if (!t.isValid())
        t = QTime::fromString(text, form + QLatin1String(".zzz"));
    return t;
}

QVariant parseValue(const QString &text, const SchemaField &f, const TextForms &forms)
{
    const auto invalid = [&](const QString &form) {
        fieldFail(f,
                  QStringLiteral("\"%1\" is not a valid %2 value%3")
                      .arg(text.left(40), QString::fromLatin1(f.typeName),
                           form.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(form)));
    };
    const QByteArray latin = text.toLatin1();
    switch (f.def.type) {
    case FieldType::Float: {
        bool ok = false;
        const double d = latin.toDouble(&ok);
        if (!ok || text.contains(u'\0'))
            invalid({});
        return d;
    }
    case FieldType::SmallInt:
        return int(parseInteger(latin, f, -32768, 32767));
    case FieldType::Integer:
        return int(parseInteger(latin, f, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    case FieldType::LargeInt:
        return parseInteger(latin, f, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    case FieldType::Boolean: {
        const QString t = text.toLower();
        if (t == QLatin1String("t") || t == QLatin1String("true") || t == QLatin1String("y")
            || t == QLatin1String("yes") || t == QLatin1String("1"))
            return true;
        if (t == QLatin1String("f") || t == QLatin1String("false") || t == QLatin1String("n")
            || t == QLatin1String("no") || t == QLatin1String("0"))
            return false;
        invalid({});
        return {};
    }
    case FieldType::Date: {
        const QDate d = QDate::fromString(text, forms.date);
        if (!d.isValid())
            invalid(forms.date);
        return d;
    }
    case FieldType::Time: {
        const QTime t = parseTime(text, forms.time);
        if (!t.isValid())
            invalid(forms.time);
        return t;
    }
    case FieldType::DateTime: {
        QDateTime dt = QDateTime::fromString(text, forms.dateTime);
        if (!dt.isValid())
            dt = QDateTime::fromString(text, forms.dateTime + QLatin1String(".zzz"));
        if (!dt.isValid())
            invalid(forms.dateTime);
        return QDateTime(dt.date(), dt.time(), Qt::UTC);
    }
    default:
        return text;
    }
}

QString timeText(const QTime &t, const QString &form)
{
    return t.toString(t.msec() != 0 ? form + QLatin1String(".zzz") : form);
}

// The text of a held value of a field that is not text.
QString valueText(const QVariant &v, const SchemaField &f, const TextForms &forms)
{
    switch (f.def.type) {
    case FieldType::Float:
        if (f.decimals > 0)
            return QString::number(v.toDouble(), 'f', f.decimals);
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
        return QString::number(v.toLongLong());
    case FieldType::Boolean:
        if (f.width > 0 && f.width < 5)
            return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Date:
        return v.toDate().toString(forms.date);
    case FieldType::Time:
        return timeText(v.toTime(), forms.time);
    case FieldType::DateTime: {
        const QDateTime dt = v.toDateTime();
        const QString form = dt.time().msec() != 0 ? forms.dateTime + QLatin1String(".zzz") : forms.dateTime;
        return dt.toString(form);
    }
    default:
        return v.toString();
    }
}

// Splits a VARYING record. A delimiter opens a delimited value only at the
// start of a value; inside one, a doubled delimiter is one delimiter.
std::vector<RawValue> splitVarying(const QByteArray &line, const Schema &s)
{
    std::vector<RawValue> values;
    const char sep = s.separator;
    const char delim = s.delimiter;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (true) {
        if (values.size() >= s.fields.size())
            fail(QStringLiteral("more values than the %1 fields of the schema").arg(s.fields.size()));
        RawValue v;
        if (delim != '\0' && i < n && line[i] == delim) {
            v.delimited = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const char c = line[i++];
                if (c != delim) {
                    v.bytes += c;
                } else if (i < n && line[i] == delim) {
                    v.bytes += c;
                    ++i;
                } else {
                    closed = true;
                    break;
                }
            }
            if (!closed)
                fail(QStringLiteral("value %1 has no closing delimiter").arg(values.size() + 1));
            if (i < n && line[i] != sep)
                fail(QStringLiteral("value %1 has text after its closing delimiter").arg(values.size() + 1));
        } else {
            const qsizetype end = line.indexOf(sep, i);
            v.bytes = line.mid(i, (end < 0 ? n : end) - i);
            i = end < 0 ? n : end;
        }
        values.push_back(std::move(v));
        if (i >= n)
            break;
        ++i; // the separator
        if (i == n) {
            values.emplace_back(); // an empty last value
            break;
        }
    }
    if (values.size() > s.fields.size())
        fail(QStringLiteral("more values than the %1 fields of the schema").arg(s.fields.size()));
    return values;
}

} // namespace

const TextForms &defaultTextForms()
{
    static const TextForms forms;
    return forms;
}

// ---- TextCodec ---------------------------------------------------------

TextCodec::TextCodec(const QString &codePage)
    : m_name(codePage),
      m_decoder(codePage.toLatin1().constData(), QStringConverter::Flag::Stateless),
      m_encoder(codePage.toLatin1().constData(), QStringConverter::Flag::Stateless)
{
    if (!m_decoder.isValid() || !m_encoder.isValid())
        throw EngineError(QStringLiteral("The code page %1 is not available").arg(codePage));
}

QString TextCodec::decode(QByteArrayView bytes) const
{
    m_decoder.resetState();
    return m_decoder.decode(bytes);
}

QByteArray TextCodec::encode(const QString &text) const
{
    m_encoder.resetState();
    QByteArray out = m_encoder.encode(text);
    // A text is stored only when its bytes give the same text back, which
    // also refuses characters a converter would swap for look-alikes.
    if (decode(out) != text)
        fail(QStringLiteral("the text \"%1\" has characters that code page %2 cannot hold")
                 .arg(text.left(40), m_name));
    return out;
}

// ---- Records -----------------------------------------------------------

// Records have no fixed length, and a delimited value may hold line breaks,
// so the only way to reach record N by number is to know where it starts:
// one pass on open finds every start (8 bytes per record), and a record is
// then read on its own when asked for.
std::vector<qint64> scanRecords(const File &file, const Schema &schema)
{
    std::vector<qint64> starts;
    const qint64 size = file.size();
    const bool quoting = !schema.fixed && schema.delimiter != '\0';
    const char delim = schema.delimiter;
    const char sep = schema.separator;
    bool atValueStart = true, inDelimited = false, delimiterSeen = false;
    if (size > 0)
        starts.push_back(0);
    QByteArray chunk;
    for (qint64 base = 0; base < size; base += kScanChunk) {
        chunk = file.readBytes(base, std::min(kScanChunk, size - base));
        if (chunk.isEmpty())
            break;
        const char *p = chunk.constData();
        for (qsizetype k = 0; k < chunk.size(); ++k) {
            const char c = p[k];
            if (quoting) {
                if (inDelimited) {
                    if (delimiterSeen) {
                        delimiterSeen = false;
                        if (c == delim)
                            continue; // a doubled delimiter
                        inDelimited = false;
                    } else {
                        if (c == delim)
                            delimiterSeen = true;
                        continue;
                    }
                }
                if (c == delim && atValueStart) {
                    inDelimited = true;
                    atValueStart = false;
                    continue;
                }
                atValueStart = c == sep || c == '\n';
            }
            if (c == '\n' && base + k + 1 < size)
                starts.push_back(base + k + 1);
        }
    }
    if (inDelimited && !delimiterSeen)
        throw EngineError(file.path(),
                          QStringLiteral("line %1: a delimited value is never closed")
                              .arg(lineAt(file, starts.empty() ? 0 : starts.back())));
    return starts;
}

qint64 lineAt(const File &file, qint64 offset)
{
    qint64 line = 1;
    for (qint64 base = 0; base < offset; base += kScanChunk) {
        const QByteArray chunk = file.readBytes(base, std::min(kScanChunk, offset - base));
        if (chunk.isEmpty())
            break;
        line += chunk.count('\n');
    }
    return line;
}

Record decodeRecord(const QByteArray &line, const Schema &s, const TextCodec &codec, const TextForms &forms)
{
    Record rec(s.fields.size());
    if (line.isEmpty())
        return rec; // a record of nulls

    if (s.fixed) {
        const QString text = codec.decode(line);
        for (std::size_t i = 0; i < s.fields.size(); ++i) {
            const SchemaField &f = s.fields[i];
            const QString value = text.mid(f.offset, f.width);
            if (isText(f)) {
                qsizetype end = value.size();
                while (end > 0 && value[end - 1] == u' ')
                    --end;
                rec[i] = value.left(end);
                continue;
            }
            const QString trimmed = value.trimmed();
            if (!trimmed.isEmpty())
                rec[i] = parseValue(trimmed, f, forms);
        }
        return rec;
    }

    const std::vector<RawValue> values = splitVarying(line, s);
    if (values.size() < s.fields.size())
        fail(QStringLiteral("%1 values where the schema has %2 fields")
                 .arg(values.size())
                 .arg(s.fields.size()));
    for (std::size_t i = 0; i < s.fields.size(); ++i) {
        const SchemaField &f = s.fields[i];
        const RawValue &v = values[i];
        if (isText(f)) {
            if (v.delimited || !v.bytes.isEmpty())
                rec[i] = codec.decode(v.bytes);
            continue;
        }
        const QString trimmed = codec.decode(v.bytes).trimmed();
        if (!trimmed.isEmpty())
            rec[i] = parseValue(trimmed, f, forms);
    }
    return rec;
}

QByteArray encodeRecord(const Record &rec, const Schema &s, const TextCodec &codec, const TextForms &forms)
{
    QByteArray out;
    if (s.fixed) {
        int length = 0;
        for (const SchemaField &f : s.fields)
            length = std::max(length, f.offset + f.width);
        QString line(length, u' ');
        for (std::size_t i = 0; i < s.fields.size(); ++i) {
            const SchemaField &f = s.fields[i];
            const QVariant &v = i < rec.size() ? rec[i] : QVariant();
            if (v.isNull())
                continue;
            const QString text = isText(f) ? v.toString() : valueText(v, f, forms);
            if (text.contains(u'\n') || text.contains(u'\r'))
                fieldFail(f, QStringLiteral("a FIXED table cannot hold a line break"));
            if (text.size() > f.width)
                fieldFail(
                    f,
                    QStringLiteral("\"%1\" does not fit in %2 characters").arg(text.left(40)).arg(f.width));
            const qsizetype at = isText(f) ? f.offset : f.offset + f.width - text.size();
            line.replace(at, text.size(), text);
        }
        try {
            out = codec.encode(line);
        } catch (const DataError &) {
            for (std::size_t i = 0; i < s.fields.size() && i < rec.size(); ++i) {
                try {
                    codec.encode(rec[i].toString());
                } catch (const DataError &e) {
                    fieldFail(s.fields[i], e.what);
                }
            }
            throw;
        }
        return out + "\r\n";
    }

    for (std::size_t i = 0; i < s.fields.size(); ++i) {
        const SchemaField &f = s.fields[i];
        if (i > 0)
            out += s.separator;
        const QVariant &v = i < rec.size() ? rec[i] : QVariant();
        if (v.isNull())
            continue;
        QByteArray bytes;
        try {
            bytes = codec.encode(isText(f) ? v.toString() : valueText(v, f, forms));
        } catch (const DataError &e) {
            fieldFail(f, e.what);
        }
        if (f.def.type == FieldType::String && f.width > 0 && v.toString().size() > f.width)
            fieldFail(f,
                      QStringLiteral("\"%1\" does not fit in %2 characters")
                          .arg(v.toString().left(40))
                          .arg(f.width));
        // A value that begins with the delimiter would read as a delimited
        // one: it goes inside delimiters too.
        if (s.delimiter != '\0'
            && (isText(f) || bytes.contains(s.separator) || bytes.startsWith(s.delimiter))) {
            out += s.delimiter;
            for (char c : bytes) {
                if (c == s.delimiter)
                    out += c;
                out += c;
            }
            out += s.delimiter;
            continue;
        }
        if (bytes.contains(s.separator) || bytes.contains('\n') || bytes.contains('\r'))
            fieldFail(f,
                      QStringLiteral("the value holds the separator or a line break, and the table has no "
                                     "delimiter to enclose it"));
        out += bytes;
    }
    return out + "\r\n";
}

} // namespace qvx::ascii
