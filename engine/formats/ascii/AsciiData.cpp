#include "AsciiData.h"

#include "../../EngineError.h"
#include "../../Value.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>
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

// Number text in the table's form to plain C form ("1.234,5" -> "1234.5"
// with ',' as the decimal separator); a thousands separator may stand only
// between digits of the whole part. Empty (no number) for anything else.
QByteArray plainNumber(const QString &text, const TextForms &forms)
{
    QByteArray out;
    out.reserve(text.size());
    bool inFraction = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A thousands separator stands before a group of three digits.
        if (!forms.thousandSeparator.isNull() && c == forms.thousandSeparator && !inFraction && i > 0
            && i + 3 < text.size() && text[i - 1].isDigit() && text[i + 1].isDigit() && text[i + 2].isDigit()
            && text[i + 3].isDigit() && (i + 4 == text.size() || !text[i + 4].isDigit()))
            continue;
        if (c == forms.decimalSeparator) {
            inFraction = true;
            out += '.';
            continue;
        }
        if (c == u'.' && forms.decimalSeparator != u'.')
            return {}; // a full stop that is not the decimal separator
        if (c.unicode() > 0x7f || c == u'\0')
            return {};
        if (c == u'e' || c == u'E')
            inFraction = true;
        out += char(c.unicode());
    }
    return out;
}

// Plain C number text in the table's form: the decimal separator, the
// leading zero, and the thousands separator in the whole part.
QString formNumber(QString plain, const TextForms &forms)
{
    const bool negative = plain.startsWith(u'-');
    if (negative)
        plain.remove(0, 1);
    qsizetype wholeEnd = 0;
    while (wholeEnd < plain.size() && plain[wholeEnd].isDigit())
        ++wholeEnd;
    QString whole = plain.left(wholeEnd);
    QString rest = plain.mid(wholeEnd);
    if (rest.startsWith(u'.'))
        rest[0] = forms.decimalSeparator;
    if (!forms.leadingZero && whole == QLatin1String("0") && !rest.isEmpty()
        && rest[0] == forms.decimalSeparator)
        whole.clear();
    if (!forms.thousandSeparator.isNull()) {
        for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
            whole.insert(at, forms.thousandSeparator);
    }
    return (negative ? QStringLiteral("-") : QString()) + whole + rest;
}

// A whole number in the forms; nothing for anything else or out of range.
std::optional<qint64> readInteger(const QString &text, const TextForms &forms, qint64 low, qint64 high)
{
    const QByteArray plain = plainNumber(text, forms);
    if (plain.contains('.') || plain.contains('e') || plain.contains('E'))
        return {};
    bool ok = false;
    const qint64 n = plain.toLongLong(&ok, 10);
    if (!ok || n < low || n > high)
        return {};
    return n;
}

// "d", "dd" or "ddd...": a run of 1 to maxDigits digits at i.
bool digitRun(const QString &text, qsizetype &i, int maxDigits, int &value, int *count = nullptr)
{
    int n = 0;
    value = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80 && n < maxDigits) {
        value = value * 10 + (text[i].unicode() - '0');
        ++i;
        ++n;
    }
    if (count)
        *count = n;
    return n > 0 && (i >= text.size() || !text[i].isDigit());
}

// Years written with two digits lie in 1950..2049.
int fullYear(int year, int digits)
{
    if (digits > 2)
        return year;
    return year < 50 ? 2000 + year : 1900 + year;
}

// A date in the given order with the given separator from text[i..], its
// year of four digits, or of two when shortYear; i ends after it.
QDate parseDate(const QString &text, qsizetype &i, TextForms::DateOrder order, QChar separator,
                bool shortYear)
{
    int parts[3] = {};
    int yearDigits = 0;
    const int yearPart = order == TextForms::DateOrder::YearMonthDay ? 0 : 2;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (i >= text.size() || text[i] != separator)
                return {};
            ++i;
        }
        int digits = 0;
        if (!digitRun(text, i, k == yearPart ? 4 : 2, parts[k], &digits))
            return {};
        if (k == yearPart)
            yearDigits = digits;
    }
    if (yearDigits != 4 && !(shortYear && yearDigits == 2))
        return {};
    const int year = fullYear(parts[yearPart], yearDigits);
    int month = 0, day = 0;
    switch (order) {
    case TextForms::DateOrder::MonthDayYear:
        month = parts[0];
        day = parts[1];
        break;
    case TextForms::DateOrder::DayMonthYear:
        day = parts[0];
        month = parts[1];
        break;
    case TextForms::DateOrder::YearMonthDay:
        month = parts[1];
        day = parts[2];
        break;
    }
    return QDate(year, month, day);
}

// "yyyymmdd" from text[i..]; i ends after it.
QDate parseCompactDate(const QString &text, qsizetype &i)
{
    int value = 0, digits = 0;
    qsizetype j = i;
    if (!digitRun(text, j, 8, value, &digits) || digits != 8)
        return {};
    const QDate d(value / 10000, value / 100 % 100, value % 100);
    if (d.isValid())
        i = j;
    return d;
}

struct DateForm {
    TextForms::DateOrder order;
    QChar separator;
    bool shortYear; // two digits of year are read too
};

// The date forms a value is tried in, in turn: the table's own first, then
// the common ones (yyyymmdd is tried last, apart from these). Away from the
// table's own form a year first has four digits: "03/09/24" is far more
// often March 9 than 2003-09-24.
std::vector<DateForm> dateForms(const TextForms &forms)
{
    using Order = TextForms::DateOrder;
    const bool shortYear = forms.dateOrder != Order::YearMonthDay;
    return { { forms.dateOrder, forms.dateSeparator, true },
             { Order::YearMonthDay, u'-', false },
             { forms.dateOrder, u'/', shortYear },
             { forms.dateOrder, u'.', shortYear },
             { forms.dateOrder, u'-', shortYear },
             { Order::MonthDayYear, u'/', true },
             { Order::DayMonthYear, u'.', true } };
}

// The first date form that reads a date at the start of text and leaves a
// rest that `rest` accepts (given the rest's start).
template<typename Rest>
bool readDate(const QString &text, const TextForms &forms, QDate &out, const Rest &rest)
{
    for (const DateForm &form : dateForms(forms)) {
        qsizetype i = 0;
        const QDate d = parseDate(text, i, form.order, form.separator, form.shortYear);
        if (d.isValid() && rest(i)) {
            out = d;
            return true;
        }
    }
    qsizetype i = 0;
    const QDate d = parseCompactDate(text, i);
    if (d.isValid() && rest(i)) {
        out = d;
        return true;
    }
    return false;
}

// A time "h:mm[:ss[.f]]" (separator ':' or another), with " AM"/" PM" in
// the twelve-hour form (either form is read), from text[i..]; i ends after
// it. A fraction of a second has one to three digits.
QTime parseTime(const QString &text, qsizetype &i, QChar separator = u':')
{
    int h = 0, m = 0, sec = 0, ms = 0;
    if (!digitRun(text, i, 2, h) || i >= text.size() || text[i] != separator)
        return {};
    ++i;
    int digits = 0;
    if (!digitRun(text, i, 2, m, &digits) || digits != 2)
        return {};
    if (i < text.size() && text[i] == separator) {
        ++i;
        if (!digitRun(text, i, 2, sec, &digits) || digits != 2)
            return {};
        if (i < text.size() && text[i] == u'.') {
            ++i;
            if (!digitRun(text, i, 3, ms, &digits))
                return {};
            for (; digits < 3; ++digits)
                ms *= 10;
        }
    }
    qsizetype j = i;
    while (j < text.size() && text[j] == u' ')
        ++j;
    const QString marker = text.mid(j, 2).toUpper();
    if (marker == QLatin1String("AM") || marker == QLatin1String("PM")) {
        if (h < 1 || h > 12)
            return {};
        h = (h % 12) + (marker == QLatin1String("PM") ? 12 : 0);
        i = j + 2;
    }
    return QTime(h, m, sec, ms);
}

// A time that is all of text[from..], with ':' or '.' between its parts.
QTime readTime(const QString &text, qsizetype from)
{
    for (const QChar separator : { u':', u'.' }) {
        qsizetype i = from;
        const QTime t = parseTime(text, i, separator);
        if (t.isValid() && i == text.size())
            return t;
    }
    return {};
}

// The three parts of a date in the form's order, with its separator.
QString inDateOrder(const TextForms &forms, const QString &year, const QString &month, const QString &day)
{
    const QChar sep = forms.dateSeparator;
    switch (forms.dateOrder) {
    case TextForms::DateOrder::MonthDayYear:
        return month + sep + day + sep + year;
    case TextForms::DateOrder::DayMonthYear:
        return day + sep + month + sep + year;
    case TextForms::DateOrder::YearMonthDay:
        break;
    }
    return year + sep + month + sep + day;
}

QString dateText(const QDate &d, const TextForms &forms)
{
    const bool shortYear = !forms.fourDigitYear && d.year() >= 1950 && d.year() <= 2049;
    const QString year = shortYear ? QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'))
                                   : QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
    const QString month
        = QStringLiteral("%1").arg(d.month(), forms.leadingZeroMonth ? 2 : 1, 10, QLatin1Char('0'));
    const QString day = QStringLiteral("%1").arg(d.day(), forms.leadingZeroDay ? 2 : 1, 10, QLatin1Char('0'));
    return inDateOrder(forms, year, month, day);
}

QString timeText(const QTime &t, const TextForms &forms)
{
    int hour = t.hour();
    if (forms.twelveHour)
        hour = hour % 12 == 0 ? 12 : hour % 12;
    QString text = QStringLiteral("%1:%2")
                       .arg(hour, forms.twelveHour ? 1 : 2, 10, QLatin1Char('0'))
                       .arg(t.minute(), 2, 10, QLatin1Char('0'));
    const bool ms = forms.milliseconds || t.msec() != 0;
    if (forms.seconds || ms || t.second() != 0)
        text += QStringLiteral(":%1").arg(t.second(), 2, 10, QLatin1Char('0'));
    if (ms)
        text += QStringLiteral(".%1").arg(t.msec(), 3, 10, QLatin1Char('0'));
    if (forms.twelveHour)
        text += t.hour() < 12 ? QLatin1String(" AM") : QLatin1String(" PM");
    return text;
}

// A number field's value in one set of forms; nothing when text is not one.
std::optional<QVariant> readNumber(const QString &text, const SchemaField &f, const TextForms &forms)
{
    switch (f.def.type) {
    case FieldType::Float: {
        bool ok = false;
        const double d = plainNumber(text, forms).toDouble(&ok);
        return ok ? std::optional<QVariant>(d) : std::nullopt;
    }
    case FieldType::BCD: {
        const QString d = canonicalDecimal(QString::fromLatin1(plainNumber(text, forms)));
        return d.isEmpty() ? std::nullopt : std::optional<QVariant>(d);
    }
    case FieldType::SmallInt:
        if (const auto n = readInteger(text, forms, -32768, 32767))
            return int(*n);
        return {};
    case FieldType::Integer:
        if (const auto n
            = readInteger(text, forms, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()))
            return int(*n);
        return {};
    case FieldType::LargeInt:
        if (const auto n = readInteger(text, forms, std::numeric_limits<qint64>::min(),
                                       std::numeric_limits<qint64>::max()))
            return *n;
        return {};
    default:
        return {};
    }
}

// Numbers as C writes them: '.' before the fraction, no thousands separator.
const TextForms &plainForms()
{
    static const TextForms forms = [] {
        TextForms f;
        f.decimalSeparator = u'.';
        f.thousandSeparator = QChar();
        return f;
    }();
    return forms;
}

// A field's value from its text, by the table's forms and then the common
// ones. Throws DataError, naming the table's form, when none reads it.
QVariant parseValue(const QString &text, const SchemaField &f, const TextForms &forms)
{
    const auto invalid = [&](const QString &form = QString()) {
        fieldFail(f,
                  QStringLiteral("\"%1\" is not a valid %2 value%3")
                      .arg(text.left(40), QString::fromLatin1(f.typeName),
                           form.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(form)));
    };
    // The form as a pattern to show in a message ("yyyy-MM-dd", "h:mm:ss AP").
    const auto dateForm = [&] {
        const QString y = forms.fourDigitYear ? QStringLiteral("yyyy") : QStringLiteral("yy");
        const QString m = forms.leadingZeroMonth ? QStringLiteral("MM") : QStringLiteral("M");
        const QString d = forms.leadingZeroDay ? QStringLiteral("dd") : QStringLiteral("d");
        return inDateOrder(forms, y, m, d);
    };
    const auto timeForm = [&] {
        return QString(forms.twelveHour ? QStringLiteral("h:mm") : QStringLiteral("hh:mm"))
            + (forms.seconds ? QStringLiteral(":ss") : QString())
            + (forms.milliseconds ? QStringLiteral(".zzz") : QString())
            + (forms.twelveHour ? QStringLiteral(" AP") : QString());
    };
    switch (f.def.type) {
    case FieldType::Float:
    case FieldType::BCD:
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt: {
        if (auto v = readNumber(text, f, forms))
            return *v;
        if (auto v = readNumber(text, f, plainForms()))
            return *v;
        invalid();
        return {};
    }
    case FieldType::Boolean: {
        const QString t = text.toLower();
        if (t == QLatin1String("t") || t == QLatin1String("true") || t == QLatin1String("y")
            || t == QLatin1String("yes") || t == QLatin1String("1"))
            return true;
        if (t == QLatin1String("f") || t == QLatin1String("false") || t == QLatin1String("n")
            || t == QLatin1String("no") || t == QLatin1String("0"))
            return false;
        invalid();
        return {};
    }
    case FieldType::Date: {
        QDate d;
        if (!readDate(text, forms, d, [&](qsizetype end) { return end == text.size(); }))
            invalid(dateForm());
        return d;
    }
    case FieldType::Time: {
        const QTime t = readTime(text, 0);
        if (!t.isValid())
            invalid(timeForm());
        return t;
    }
    case FieldType::DateTime: {
        // The time may be left out (midnight), and may follow a 'T'.
        QTime t;
        QDate d;
        const auto timeAfter = [&](qsizetype i) {
            if (i == text.size()) {
                t = QTime(0, 0);
                return true;
            }
            if (text[i] == u'T') {
                ++i;
            } else {
                if (text[i] != u' ')
                    return false;
                while (i < text.size() && text[i] == u' ')
                    ++i;
            }
            t = readTime(text, i);
            return t.isValid();
        };
        if (!readDate(text, forms, d, timeAfter))
            invalid(dateForm() + u' ' + timeForm());
        return QDateTime(d, t, Qt::UTC);
    }
    default:
        return text;
    }
}

// Decimal text ("-12.5") with at least `decimals` digits after the point
// ("-12.50" for 2): more are kept, never rounded away.
QString withDecimals(QString decimal, int decimals)
{
    if (decimals <= 0)
        return decimal;
    qsizetype point = decimal.indexOf(u'.');
    if (point < 0) {
        point = decimal.size();
        decimal += u'.';
    }
    const qsizetype have = decimal.size() - point - 1;
    if (have < decimals)
        decimal += QString(decimals - have, u'0');
    return decimal;
}

// The text of a held value of a field that is not text. A FLOAT may also be
// given a whole number as an integer, which is written digit for digit.
QString valueText(const QVariant &v, const SchemaField &f, const TextForms &forms)
{
    switch (f.def.type) {
    case FieldType::Float: {
        if (isWholeNumber(v)) {
            const QString digits = v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong
                ? QString::number(v.toULongLong())
                : QString::number(v.toLongLong());
            return formNumber(withDecimals(digits, f.decimals), forms);
        }
        const double d = v.toDouble();
        if (f.decimals > 0)
            return formNumber(QString::number(d, 'f', f.decimals), forms);
        // A whole number is written without an exponent ("1000000", not
        // "1e+06"), which every reader of number text understands.
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e21)
            return formNumber(QString::number(d, 'f', QLocale::FloatingPointShortest), forms);
        return formNumber(QString::number(d, 'g', QLocale::FloatingPointShortest), forms);
    }
    case FieldType::BCD:
        return formNumber(withDecimals(v.toString(), f.decimals), forms);
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
        return formNumber(QString::number(v.toLongLong()), forms);
    case FieldType::Boolean:
        if (f.width > 0 && f.width < 5)
            return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Date:
        return dateText(v.toDate(), forms);
    case FieldType::Time:
        return timeText(v.toTime(), forms);
    case FieldType::DateTime: {
        const QDateTime dt = v.toDateTime();
        return dateText(dt.date(), forms) + u' ' + timeText(dt.time(), forms);
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

bool isWholeNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

const TextForms &defaultTextForms()
{
    static const TextForms forms;
    return forms;
}

TextForms textFormsFromConfig(const QStringList &date, const QStringList &time, const QStringList &number)
{
    TextForms forms;
    const auto each = [](const QStringList &lines, const auto &use) {
        for (const QString &line : lines) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0)
                use(line.left(eq).trimmed().toUpper(), line.mid(eq + 1).trimmed());
        }
    };
    const auto flag = [](const QString &value, bool &out) {
        if (value.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
            out = true;
        else if (value.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            out = false;
    };
    const auto separator = [](const QString &value, QChar &out, bool emptyAllowed) {
        if (value.size() == 1 && !value[0].isLetterOrNumber() && value[0] != u'"')
            out = value[0];
        else if (value.isEmpty() && emptyAllowed)
            out = QChar();
    };
    each(date, [&](const QString &name, const QString &value) {
        if (name == QLatin1String("SEPARATOR"))
            separator(value, forms.dateSeparator, false);
        else if (name == QLatin1String("MODE") && value.size() == 1 && value[0] >= u'0' && value[0] <= u'2')
            forms.dateOrder = TextForms::DateOrder(value[0].unicode() - '0');
        else if (name == QLatin1String("FOURDIGITYEAR"))
            flag(value, forms.fourDigitYear);
        else if (name == QLatin1String("LEADINGZEROD"))
            flag(value, forms.leadingZeroDay);
        else if (name == QLatin1String("LEADINGZEROM"))
            flag(value, forms.leadingZeroMonth);
    });
    each(time, [&](const QString &name, const QString &value) {
        if (name == QLatin1String("TWELVEHOUR"))
            flag(value, forms.twelveHour);
        else if (name == QLatin1String("SECONDS"))
            flag(value, forms.seconds);
        else if (name == QLatin1String("MILSECONDS"))
            flag(value, forms.milliseconds);
    });
    each(number, [&](const QString &name, const QString &value) {
        if (name == QLatin1String("DECIMALSEPARATOR"))
            separator(value, forms.decimalSeparator, false);
        else if (name == QLatin1String("THOUSANDSEPARATOR"))
            separator(value, forms.thousandSeparator, true);
        else if (name == QLatin1String("LEADINGZERON"))
            flag(value, forms.leadingZero);
    });
    // Numbers must read back: the two separators cannot be one character.
    if (forms.thousandSeparator == forms.decimalSeparator)
        forms.thousandSeparator = QChar();
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

Record decodeRecord(const QByteArray &line, const Schema &s, const TextCodec &codec, const TextForms &forms,
                    std::vector<BadValue> *bad, std::vector<RawValue> *raw)
{
    Record rec(s.fields.size());
    if (raw) {
        raw->clear();
        raw->resize(s.fields.size());
    }
    if (line.isEmpty())
        return rec; // a record of nulls

    // One value that no form reads costs that value, not the record.
    const auto parse = [&](std::size_t i, const QString &text) {
        try {
            rec[i] = parseValue(text, s.fields[i], forms);
        } catch (const DataError &e) {
            if (bad)
                bad->push_back({ int(i), e.what });
        }
    };

    if (s.fixed) {
        const QString text = codec.decode(line);
        for (std::size_t i = 0; i < s.fields.size(); ++i) {
            const SchemaField &f = s.fields[i];
            const QString value = text.mid(f.offset, f.width);
            if (raw)
                (*raw)[i].columns = value;
            if (isText(f)) {
                qsizetype end = value.size();
                while (end > 0 && value[end - 1] == u' ')
                    --end;
                rec[i] = value.left(end);
                continue;
            }
            const QString trimmed = value.trimmed();
            if (!trimmed.isEmpty())
                parse(i, trimmed);
        }
        return rec;
    }

    std::vector<RawValue> values = splitVarying(line, s);
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
            parse(i, trimmed);
    }
    if (raw)
        *raw = std::move(values);
    return rec;
}

QByteArray encodeRecord(const Record &rec, const Schema &s, const TextCodec &codec, const TextForms &forms,
                        const KeptValues *kept)
{
    const auto keptValue = [&](std::size_t i) -> const RawValue * {
        return kept && i < kept->size() && (*kept)[i] ? &*(*kept)[i] : nullptr;
    };
    QByteArray out;
    if (s.fixed) {
        int length = 0;
        for (const SchemaField &f : s.fields)
            length = std::max(length, f.offset + f.width);
        QString line(length, u' ');
        for (std::size_t i = 0; i < s.fields.size(); ++i) {
            const SchemaField &f = s.fields[i];
            if (const RawValue *k = keptValue(i)) {
                line.replace(f.offset, k->columns.size(), k->columns);
                continue;
            }
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
        if (const RawValue *k = keptValue(i)) {
            if (k->delimited)
                out += s.delimiter;
            for (char c : k->bytes) {
                if (k->delimited && c == s.delimiter)
                    out += c;
                out += c;
            }
            if (k->delimited)
                out += s.delimiter;
            continue;
        }
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
