// The XML data packet:
//
//   <DATAPACKET Version="2.0">
//     <METADATA>
//       <FIELDS><FIELD attrname=".." fieldtype=".." [SUBTYPE WIDTH DECIMALS required readonly
//       hidden]/>...</FIELDS> <PARAMS .../>
//     </METADATA>
//     <ROWDATA><ROW [RowState=".."] NAME="value" .../>...</ROWDATA>
//   </DATAPACKET>
//
// Reading is one pass of our own tokenizer (XmlScanner) over the UTF-8 bytes;
// a packet in another encoding is converted to UTF-8 first. It is on the path
// of every XML window that opens and of every qvx cat, so a ROW costs little
// more than the tokenizer's own work: attribute names are resolved to field
// indexes once per position (rows of one packet list their attributes in the
// same order), and the common values are parsed from views of the input
// straight into the row store, with no QString or QVariant between. Nested
// content (FIELD definitions and ROW elements of nested fields) is rare and
// goes through QXmlStreamReader and QXmlStreamWriter to be kept in one form.
//
// Decisions about what the format leaves open:
// - Attribute names of FIELD are matched in any letter case (some writers use
//   "width"); we write attrname/fieldtype/required/readonly/hidden in lower
//   case and WIDTH/DECIMALS/SUBTYPE in upper case, as the common writers do.
// - NULL is an omitted attribute; NAME="" is a present, empty value (for
//   non-text fields an empty value is also NULL, since it has no other reading).
// - Nested data set fields are kept, not flattened: the field becomes a
//   DataSet-type field whose value is the XML of its ROW<field> elements, and
//   the nested definition is kept beside the packet so that writing it back
//   reproduces the nested FIELD. Nested rows are not interpreted.
// - RowState: absent means unchanged; a row with the deleted bit (2) is not
//   loaded; an "original" image (1) is held until the next row: when that row
//   is the modified version (8) its present attributes overlay the original to
//   give one live row (delta writers list only changed values), when it is
//   deleted both go, and otherwise the original stays as a live row. Inserted
//   (4) and detail-changed (64) rows are ordinary live rows. We write no row
//   states: a saved packet holds the data as it is, with no change log.
// - Index definitions live in PARAMS in a form of our own:
//   <PARAMS><INDEXDEF Name="ByName" Fields="NAME;ID"/></PARAMS>. Other PARAMS
//   attributes and elements (CHANGE_LOG, PARAM, ...) are read past.
// - Memo values (bin.hex, SUBTYPE Text or WideText) are written as base64 of
//   their UTF-8 text like every bin.hex value. Some writers put memo text in
//   the attribute as it is, so a memo value that is not base64 of valid UTF-8
//   is taken as plain text.
// - A field name that is not a valid XML name (spaces, a leading digit, ...)
//   is written as a ROW attribute with each offending character as _xHHHH_;
//   attrname keeps the real name. A field called "RowState" is escaped the same
//   way so that it cannot be taken for the row state.
// - string.uni WIDTH counts bytes (two per character), as it appears to in
//   packets of other writers; our sizes count characters.
#include "Packets.h"

#include "../EngineError.h"
#include "../Value.h"
#include "../formats/common/Decimal.h"
#include "XmlScanner.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStringDecoder>
#include <QTime>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <limits>
#include <optional>

namespace qvx {

namespace {

// ---- field types ------------------------------------------------------------

// The values a packet's whole-number field of 32 bits or less holds.
std::pair<qint64, qint64> integerRange(FieldType t)
{
    if (t == FieldType::SmallInt)
        return { -32768, 32767 };
    if (t == FieldType::Word)
        return { 0, 65535 };
    return { std::numeric_limits<int>::min(), std::numeric_limits<int>::max() };
}

struct XmlType {
    const char *fieldtype;
    const char *subtype; // nullptr for none
};

XmlType xmlTypeFor(FieldType t)
{
    switch (t) {
    case FieldType::String:
        return { "string", nullptr };
    case FieldType::FixedChar:
        return { "string", "FixedChar" };
    case FieldType::WideString:
        return { "string.uni", nullptr };
    case FieldType::SmallInt:
        return { "i2", nullptr };
    case FieldType::Integer:
        return { "i4", nullptr };
    case FieldType::Word:
        return { "ui2", nullptr };
    case FieldType::AutoInc:
        return { "i4", "Autoinc" };
    case FieldType::LargeInt:
        return { "i8", nullptr };
    case FieldType::Boolean:
        return { "boolean", nullptr };
    case FieldType::Float:
        return { "r8", nullptr };
    case FieldType::Currency:
        return { "r8", "Money" };
    case FieldType::BCD:
        return { "fixed", nullptr };
    case FieldType::Date:
        return { "date", nullptr };
    case FieldType::Time:
        return { "time", nullptr };
    case FieldType::DateTime:
        return { "dateTime", nullptr };
    case FieldType::VarBytes:
        return { "bin.hex", nullptr };
    case FieldType::Blob:
        return { "bin.hex", "Binary" };
    case FieldType::Memo:
        return { "bin.hex", "Text" };
    case FieldType::Graphic:
        return { "bin.hex", "Graphics" };
    case FieldType::FmtMemo:
        return { "bin.hex", "Formatted" };
    case FieldType::ParadoxOle:
        return { "bin.hex", "Ole" };
    case FieldType::DataSet:
        return { "nested", nullptr };
    // Types the common writers have no name for: bin.hex (so that other
    // readers see bytes) with a subtype of our own that brings the type back.
    case FieldType::Bytes:
        return { "bin.hex", "Bytes" };
    case FieldType::DBaseOle:
        return { "bin.hex", "dBASEOle" };
    case FieldType::TypedBinary:
        return { "bin.hex", "TypedBinary" };
    case FieldType::Cursor:
        return { "bin.hex", "Cursor" };
    case FieldType::ADT:
        return { "bin.hex", "ADT" };
    case FieldType::Array:
        return { "bin.hex", "Array" };
    case FieldType::Reference:
        return { "bin.hex", "Reference" };
    case FieldType::Unknown:
        return { "bin.hex", "Unknown" };
    }
    return { "bin.hex", "Unknown" };
}

bool same(QStringView a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// Returns false for a fieldtype nobody writes.
bool typeFromXml(QStringView fieldtype, QStringView subtype, FieldType &out)
{
    const auto sub = [&](const char *s) { return same(subtype, s); };
    if (same(fieldtype, "string")) {
        out = sub("FixedChar") ? FieldType::FixedChar : FieldType::String;
    } else if (same(fieldtype, "string.uni")) {
        out = FieldType::WideString;
    } else if (same(fieldtype, "i1") || same(fieldtype, "i2")) {
        out = FieldType::SmallInt;
    } else if (same(fieldtype, "ui1") || same(fieldtype, "ui2")) {
        out = FieldType::Word;
    } else if (same(fieldtype, "i4")) {
        out = sub("Autoinc") ? FieldType::AutoInc : FieldType::Integer;
    } else if (same(fieldtype, "ui4") || same(fieldtype, "i8") || same(fieldtype, "ui8")) {
        out = FieldType::LargeInt;
    } else if (same(fieldtype, "r8") || same(fieldtype, "r4")) {
        out = sub("Money") ? FieldType::Currency : FieldType::Float;
    } else if (same(fieldtype, "fixed") || same(fieldtype, "fixedFMT")) {
        out = FieldType::BCD;
    } else if (same(fieldtype, "boolean")) {
        out = FieldType::Boolean;
    } else if (same(fieldtype, "date")) {
        out = FieldType::Date;
    } else if (same(fieldtype, "time")) {
        out = FieldType::Time;
    } else if (same(fieldtype, "dateTime") || same(fieldtype, "SQLdateTime")) {
        out = FieldType::DateTime;
    } else if (same(fieldtype, "nested")) {
        out = FieldType::DataSet;
    } else if (same(fieldtype, "bin.hex")) {
        static const struct {
            const char *name;
            FieldType type;
        } subtypes[] = {
            { "Binary", FieldType::Blob },
            { "Text", FieldType::Memo },
            { "WideText", FieldType::Memo },
            { "Graphics", FieldType::Graphic },
            { "Formatted", FieldType::FmtMemo },
            { "Ole", FieldType::ParadoxOle },
            { "Bytes", FieldType::Bytes },
            { "dBASEOle", FieldType::DBaseOle },
            { "TypedBinary", FieldType::TypedBinary },
            { "Cursor", FieldType::Cursor },
            { "ADT", FieldType::ADT },
            { "Array", FieldType::Array },
            { "Reference", FieldType::Reference },
            { "Unknown", FieldType::Unknown },
        };
        out = subtype.isEmpty() ? FieldType::VarBytes : FieldType::Blob;
        for (const auto &s : subtypes) {
            if (sub(s.name)) {
                out = s.type;
                break;
            }
        }
    } else {
        return false;
    }
    return true;
}

// ---- names ------------------------------------------------------------------

bool isNameStartChar(char16_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    // Letters that both the current and the older XML name rules accept.
    const bool inRanges = (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF)
        || (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x3001 && c <= 0xD7FF)
        || (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD);
    return inRanges && QChar(c).isLetter();
}

bool isNameChar(char16_t c)
{
    return isNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The ROW attribute (or element) name under which a field's value is written.
// Names that are not plain are escaped in a way that no plain name can equal:
// a plain name contains no "_x", and every escape starts with "_x".
QString xmlNameFor(const QString &fieldName)
{
    const bool rowState = fieldName.compare(QLatin1String("RowState"), Qt::CaseInsensitive) == 0;
    bool plain = !fieldName.isEmpty() && !rowState && !fieldName.contains(QLatin1String("_x"));
    for (qsizetype i = 0; plain && i < fieldName.size(); ++i)
        plain = i == 0 ? isNameStartChar(fieldName[i].unicode()) : isNameChar(fieldName[i].unicode());
    if (plain)
        return fieldName;
    QString out;
    for (qsizetype i = 0; i < fieldName.size(); ++i) {
        const char16_t c = fieldName[i].unicode();
        const bool underscoreX = c == '_' && i + 1 < fieldName.size() && fieldName[i + 1] == u'x';
        const bool keep = (i == 0 ? isNameStartChar(c) && !rowState : isNameChar(c)) && !underscoreX;
        if (keep)
            out += QChar(c);
        else
            out += QStringLiteral("_x") + QString::number(unsigned(c), 16).toUpper().rightJustified(4, u'0')
                + u'_';
    }
    return out;
}

// XML 1.0 cannot carry these characters at all, not even as references.
int firstCharacterXmlCannotCarry(const QString &s)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x20) {
            if (c != '\t' && c != '\n' && c != '\r')
                return int(i);
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= n || p[i + 1] < 0xDC00 || p[i + 1] > 0xDFFF)
                return int(i);
            ++i;
        } else if ((c >= 0xDC00 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
            return int(i);
        }
    }
    return -1;
}

// ---- value text -------------------------------------------------------------

bool digits(QStringView s, qsizetype from, qsizetype count, int &out)
{
    if (from < 0 || from + count > s.size())
        return false;
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = s[i].unicode();
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// yyyymmdd; the year may have more digits or a minus sign (years the
// four-digit form cannot show).
bool parseDate(QStringView s, QDate &out)
{
    if (s.size() < 8)
        return false;
    int month = 0, day = 0;
    if (!digits(s, s.size() - 4, 2, month) || !digits(s, s.size() - 2, 2, day))
        return false;
    QStringView yearText = s.first(s.size() - 4);
    const bool negative = yearText.startsWith(u'-');
    if (negative)
        yearText = yearText.sliced(1);
    if (yearText.size() < 4 || yearText.size() > 9)
        return false;
    int year = 0;
    if (!digits(yearText, 0, yearText.size(), year))
        return false;
    out = QDate(negative ? -year : year, month, day);
    return out.isValid();
}

// hh:nn:ss followed by three digits of milliseconds (also read with a point
// before them, or without them).
bool parseTime(QStringView s, QTime &out)
{
    int h = 0, m = 0, sec = 0, ms = 0;
    if (s.size() < 8 || !digits(s, 0, 2, h) || s[2] != u':' || !digits(s, 3, 2, m) || s[5] != u':'
        || !digits(s, 6, 2, sec))
        return false;
    QStringView rest = s.sliced(8);
    if (rest.startsWith(u'.'))
        rest = rest.sliced(1);
    if (!rest.isEmpty() && (rest.size() != 3 || !digits(rest, 0, 3, ms)))
        return false;
    out = QTime(h, m, sec, ms);
    return out.isValid();
}

bool parseDateTime(QStringView s, QDateTime &out)
{
    const qsizetype t = s.indexOf(u'T');
    QDate date;
    QTime time(0, 0);
    if (!parseDate(t < 0 ? s : s.first(t), date))
        return false;
    if (t >= 0 && !parseTime(s.sliced(t + 1), time))
        return false;
    out = QDateTime(date, time, Qt::UTC);
    return true;
}

QString dateText(const QDate &d)
{
    const int y = d.year();
    QString out = QStringLiteral("%1%2%3")
                      .arg(std::abs(y), 4, 10, QLatin1Char('0'))
                      .arg(d.month(), 2, 10, QLatin1Char('0'))
                      .arg(d.day(), 2, 10, QLatin1Char('0'));
    if (y < 0)
        out.prepend(u'-');
    return out;
}

QString timeText(const QTime &t)
{
    return QStringLiteral("%1:%2:%3%4")
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(t.msec(), 3, 10, QLatin1Char('0'));
}

// Base64 with its padding; white space (line wrapping) is allowed only when
// asked for, since a memo holding plain text must not be taken for base64.
std::optional<QByteArray> decodeBase64(QStringView s, bool allowSpaces)
{
    QByteArray ascii;
    ascii.reserve(s.size());
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u == ' ' || u == '\t' || u == '\r' || u == '\n') {
            if (!allowSpaces)
                return std::nullopt;
            continue;
        }
        if (u >= 128)
            return std::nullopt;
        ascii += char(u);
    }
    if (ascii.size() % 4 != 0)
        return std::nullopt;
    auto r = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    if (!r)
        return std::nullopt;
    return std::move(*r);
}

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// canonicalDecimal() for a view, building the result in one allocation: BCD
// columns are common in packets and this runs once per value.
QString decimalText(QStringView text)
{
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype intStart = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    qsizetype intEnd = i, fracStart = i, fracEnd = i;
    if (i < text.size() && text[i] == u'.') {
        fracStart = ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        fracEnd = i;
    }
    if (i != text.size() || (intEnd == intStart && fracEnd == fracStart))
        return {};
    qsizetype from = intStart;
    while (intEnd - from > 1 && text[from] == u'0')
        ++from;
    while (fracEnd > fracStart && text[fracEnd - 1] == u'0')
        --fracEnd;
    const QStringView intPart = from == intEnd ? QStringView(u"0") : text.sliced(from, intEnd - from);
    const QStringView fracPart = text.sliced(fracStart, fracEnd - fracStart);
    const bool zero = intPart == u"0" && fracPart.isEmpty();
    QString out;
    out.reserve(intPart.size() + fracPart.size() + 2);
    if (negative && !zero)
        out += u'-';
    out += intPart;
    if (!fracPart.isEmpty()) {
        out += u'.';
        out += fracPart;
    }
    return out;
}

// An integer in invariant form. Plain digits are parsed here, since Qt's
// general routine costs several times more; anything else goes to it.
qint64 integerText(QStringView text, bool &ok)
{
    qsizetype i = !text.isEmpty() && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
    const qsizetype digitCount = text.size() - i;
    if (digitCount > 0 && digitCount <= 18) {
        qint64 n = 0;
        for (; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < '0' || c > '9')
                break;
            n = n * 10 + (c - '0');
        }
        if (i == text.size()) {
            ok = true;
            return text[0] == u'-' ? -n : n;
        }
    }
    return text.trimmed().toLongLong(&ok);
}

// How the reader turns one field's attribute text into its held value.
enum class Parse {
    Text,
    Memo,
    Int,
    Int64,
    Bool,
    Double,
    Decimal,
    Date,
    Time,
    DateTime,
    Bytes,
    Nothing,
    Nested
};

Parse parseFor(FieldType t)
{
    if (t == FieldType::Memo)
        return Parse::Memo;
    if (t == FieldType::DataSet)
        return Parse::Nested;
    switch (valueKind(t)) {
    case ValueKind::Text:
        return Parse::Text;
    case ValueKind::Int:
        return Parse::Int;
    case ValueKind::Int64:
        return Parse::Int64;
    case ValueKind::Bool:
        return Parse::Bool;
    case ValueKind::Double:
        return Parse::Double;
    case ValueKind::Decimal:
        return Parse::Decimal;
    case ValueKind::Date:
        return Parse::Date;
    case ValueKind::Time:
        return Parse::Time;
    case ValueKind::DateTime:
        return Parse::DateTime;
    case ValueKind::Bytes:
        return Parse::Bytes;
    case ValueKind::None:
        return Parse::Nothing;
    }
    return Parse::Nothing;
}

const char *typeWord(Parse p)
{
    switch (p) {
    case Parse::Int:
    case Parse::Int64:
        return "an integer";
    case Parse::Bool:
        return "a boolean (TRUE or FALSE)";
    case Parse::Double:
        return "a number";
    case Parse::Decimal:
        return "a decimal number";
    case Parse::Date:
        return "a date (yyyymmdd)";
    case Parse::Time:
        return "a time (hh:nn:ssmmm)";
    case Parse::DateTime:
        return "a date and time (yyyymmddThh:nn:ssmmm)";
    case Parse::Bytes:
        return "base64 data";
    default:
        return "a value of its type";
    }
}

// ---- reader -----------------------------------------------------------------

class XmlPacketReader {
public:
    XmlPacketReader(QByteArrayView utf8, const QString &source) : m_xml(utf8, source), m_source(source) { }

    Packet read()
    {
        if (!m_xml.start())
            m_xml.failAtTag(
                QStringLiteral("the document has no elements; a data packet starts with DATAPACKET"));
        if (!m_xml.nameIs("DATAPACKET"))
            m_xml.failAtTag(QStringLiteral("the document element is <%1>, not a DATAPACKET").arg(nameText()));
        bool sawMetadata = false;
        while (m_xml.nextChild()) {
            if (m_xml.nameIs("METADATA")) {
                if (sawMetadata)
                    m_xml.failAtTag(QStringLiteral("a second METADATA element"));
                readMetadata();
                sawMetadata = true;
            } else if (m_xml.nameIs("ROWDATA")) {
                if (!sawMetadata)
                    m_xml.failAtTag(QStringLiteral("ROWDATA comes before METADATA"));
                readRowData();
            } else {
                m_xml.skipElement();
            }
        }
        if (!sawMetadata)
            m_xml.failAtTag(QStringLiteral("the data packet has no METADATA element"));
        m_xml.finish();
        checkPacketStructure(m_packet, m_source);
        return std::move(m_packet);
    }

private:
    [[noreturn]] void fail(const QString &what) const { m_xml.failAtTag(what); }
    QString nameText() const { return XmlScanner::text(m_xml.name()); }
    QString valueText(const XmlScanner::Attribute &a) { return XmlScanner::text(m_xml.value(a, m_buffer)); }

    void readMetadata()
    {
        while (m_xml.nextChild()) {
            if (m_xml.nameIs("FIELDS"))
                readFields();
            else if (m_xml.nameIs("PARAMS"))
                readParams();
            else
                m_xml.skipElement();
        }
        if (m_packet.fields.empty())
            fail(QStringLiteral("METADATA defines no fields"));
        m_parse.reserve(m_packet.fields.size());
        for (std::size_t i = 0; i < m_packet.fields.size(); ++i) {
            const FieldDef &f = m_packet.fields[i];
            m_parse.push_back(parseFor(f.type));
            m_byName.insert(f.name.toUtf8(), int(i));
            m_byName.insert(xmlNameFor(f.name).toUtf8(), int(i));
            m_byFoldedName.insert(f.name.toCaseFolded(), int(i));
        }
    }

    int number(QStringView text, const char *attribute) const
    {
        bool ok = false;
        const int n = text.trimmed().toInt(&ok);
        if (!ok || n < 0)
            fail(QStringLiteral("%1=\"%2\" is not a size").arg(QLatin1String(attribute), text));
        return n;
    }

    void readFields()
    {
        while (m_xml.nextChild()) {
            if (!m_xml.nameIs("FIELD")) {
                m_xml.skipElement();
                continue;
            }
            QString name, label, fieldtype, subtype;
            int width = 0, decimals = 0;
            bool required = false, readOnly = false, hidden = false;
            bool hasName = false, hasType = false;
            for (const XmlScanner::Attribute &a : m_xml.attributes()) {
                const QString n = XmlScanner::text(a.name);
                const QString v = valueText(a);
                const auto yes = [&] { return same(v, "true"); };
                if (same(n, "attrname")) {
                    name = v;
                    hasName = true;
                } else if (same(n, "fieldtype")) {
                    fieldtype = v;
                    hasType = true;
                } else if (same(n, "SUBTYPE")) {
                    subtype = v;
                } else if (same(n, "WIDTH")) {
                    width = number(v, "WIDTH");
                } else if (same(n, "DECIMALS")) {
                    decimals = number(v, "DECIMALS");
                } else if (same(n, "required")) {
                    required = yes();
                } else if (same(n, "readonly")) {
                    readOnly = yes();
                } else if (same(n, "hidden")) {
                    hidden = yes();
                } else if (same(n, "fieldname")) {
                    label = v;
                }
            }
            if (!hasName || name.isEmpty())
                fail(QStringLiteral("a FIELD has no attrname"));
            if (!hasType)
                fail(QStringLiteral("field '%1' has no fieldtype").arg(name));
            FieldType type;
            if (!typeFromXml(fieldtype, subtype, type))
                fail(QStringLiteral("field '%1' has the unknown fieldtype '%2'").arg(name, fieldtype));
            for (const FieldDef &other : m_packet.fields) {
                if (other.name.compare(name, Qt::CaseInsensitive) == 0)
                    fail(QStringLiteral("the field name '%1' is used twice").arg(name));
            }
            const int size = type == FieldType::WideString ? (width + 1) / 2 : width;
            FieldDef f(name, type, size, decimals, required);
            f.readOnly = readOnly;
            f.visible = !hidden;
            if (!label.isEmpty())
                f.displayLabel = label;
            if (type == FieldType::DataSet) {
                // An empty definition is kept as none, the way the writer
                // puts none: as an empty FIELDS element.
                const QByteArray definition = captureContent();
                if (!definition.isEmpty() && definition != "<FIELDS/>")
                    m_packet.nestedDefinitions.insert(name, definition);
            } else
                m_xml.skipElement();
            m_packet.fields.push_back(std::move(f));
        }
    }

    void readParams()
    {
        while (m_xml.nextChild()) {
            if (m_xml.nameIs("INDEXDEF")) {
                IndexDef index;
                for (const XmlScanner::Attribute &a : m_xml.attributes()) {
                    const QString n = XmlScanner::text(a.name);
                    if (same(n, "Name"))
                        index.name = valueText(a);
                    else if (same(n, "Fields"))
                        index.fields = valueText(a).split(u';', Qt::SkipEmptyParts);
                }
                if (index.name.isEmpty())
                    fail(QStringLiteral("an INDEXDEF has no Name"));
                m_packet.indexes.push_back(std::move(index));
            }
            m_xml.skipElement();
        }
    }

    // The XML inside the current element, as text, in one form however the
    // packet that carried it was laid out; leaves the scanner past its end.
    QByteArray captureContent()
    {
        const int line = m_xml.tagLine();
        const QByteArrayView inner = m_xml.skipElementContent();
        QByteArray wrapped;
        wrapped.reserve(inner.size() + 7);
        wrapped.append("<q>").append(inner.data(), inner.size()).append("</q>");
        QXmlStreamReader in(wrapped);
        QByteArray out("");
        QXmlStreamWriter writer(&out);
        in.readNextStartElement();
        for (int depth = 1;;) {
            const auto token = in.readNext();
            if (in.hasError())
                throw EngineError(m_source,
                                  QStringLiteral("line %1: not well-formed XML: %2")
                                      .arg(line + int(in.lineNumber()) - 1)
                                      .arg(in.errorString()));
            if (token == QXmlStreamReader::StartElement)
                ++depth;
            else if (token == QXmlStreamReader::EndElement && --depth == 0)
                break;
            // Indentation is not data: dropping it keeps a value the same
            // however the packet that carried it was laid out.
            if (token == QXmlStreamReader::Characters && in.isWhitespace())
                continue;
            writer.writeCurrentToken(in);
        }
        return out;
    }

    // Field index for a ROW attribute or element name; -2 for RowState, -1 for none.
    int lookup(QByteArrayView name) const
    {
        const auto it = m_byName.constFind(QByteArray::fromRawData(name.data(), name.size()));
        if (it != m_byName.cend())
            return it.value();
        const QString text = XmlScanner::text(name);
        if (same(text, "RowState"))
            return -2;
        return m_byFoldedName.value(text.toCaseFolded(), -1);
    }

    [[noreturn]] void badValue(int field, QStringView text) const
    {
        const FieldDef &f = m_packet.fields[std::size_t(field)];
        QString shown = text.left(40).toString();
        if (text.size() > 40)
            shown += QStringLiteral("...");
        fail(QStringLiteral("'%1' is not %2 for field '%3'")
                 .arg(shown, QLatin1String(typeWord(m_parse[std::size_t(field)])), f.name));
    }

    QVariant parseValue(int field, QStringView text) const
    {
        const Parse p = m_parse[std::size_t(field)];
        if (p == Parse::Text)
            return text.toString();
        if (p == Parse::Memo) {
            if (auto bytes = decodeBase64(text, false)) {
                if (auto decoded = strictUtf8(*bytes))
                    return *decoded;
            }
            return text.toString();
        }
        if (text.trimmed().isEmpty() && p != Parse::Bytes)
            return {};
        bool ok = false;
        switch (p) {
        case Parse::Int: {
            const qint64 n = integerText(text, ok);
            const FieldType t = m_packet.fields[std::size_t(field)].type;
            const auto [lo, hi] = integerRange(t);
            if (!ok || n < lo || n > hi)
                badValue(field, text);
            return int(n);
        }
        case Parse::Int64: {
            const qint64 n = integerText(text, ok);
            if (!ok)
                badValue(field, text);
            return n;
        }
        case Parse::Bool:
            if (text == u"TRUE" || text == u"FALSE") // as written; any case is read
                return text.size() == 4;
            if (same(text, "TRUE") || text == u"1")
                return true;
            if (same(text, "FALSE") || text == u"0")
                return false;
            badValue(field, text);
        case Parse::Double: {
            const double d = text.trimmed().toDouble(&ok);
            if (!ok)
                badValue(field, text);
            return d;
        }
        case Parse::Decimal: {
            QString dec = decimalText(text);
            if (dec.isEmpty())
                badValue(field, text);
            return dec;
        }
        case Parse::Date: {
            QDate d;
            if (!parseDate(text, d))
                badValue(field, text);
            return d;
        }
        case Parse::Time: {
            QTime t;
            if (!parseTime(text, t))
                badValue(field, text);
            return t;
        }
        case Parse::DateTime: {
            QDateTime dt;
            if (!parseDateTime(text, dt))
                badValue(field, text);
            return dt;
        }
        case Parse::Bytes: {
            auto bytes = decodeBase64(text, true);
            if (!bytes)
                badValue(field, text);
            return *bytes;
        }
        case Parse::Nested:
            fail(QStringLiteral("field '%1' is a nested data set, not an attribute")
                     .arg(m_packet.fields[std::size_t(field)].name));
        case Parse::Nothing:
        case Parse::Text:
        case Parse::Memo:
            break;
        }
        return {};
    }

    // Puts a value into the row. The common shapes of the common types are
    // read here from the bytes; anything else (and any value with non-ASCII
    // characters in a field that is not text) goes through parseValue() on a
    // QString, so that both give the same result.
    void putValue(std::size_t field, QByteArrayView v, RowStore::Builder &row) const
    {
        const Parse p = m_parse[field];
        if (p == Parse::Text) {
            row.setUtf8(field, v.data(), v.size());
            return;
        }
        switch (p) {
        case Parse::Int:
        case Parse::Int64: {
            qint64 n;
            if (asciiInteger(v, n)) {
                const FieldType t = m_packet.fields[field].type;
                if (p == Parse::Int64) {
                    row.setInt64(field, n);
                    return;
                }
                const auto [lo, hi] = integerRange(t);
                if (n >= lo && n <= hi) {
                    row.setInt32(field, qint32(n));
                    return;
                }
            }
            break;
        }
        case Parse::Bool:
            if (v == "TRUE") {
                row.setBool(field, true);
                return;
            }
            if (v == "FALSE") {
                row.setBool(field, false);
                return;
            }
            break;
        case Parse::Decimal: {
            char out[64];
            const qsizetype n = asciiDecimal(v, out, sizeof out);
            if (n > 0) {
                row.setUtf8(field, out, n);
                return;
            }
            break;
        }
        case Parse::Date: {
            int y, m, d;
            if (v.size() == 8 && asciiDigits(v, 0, 4, y) && asciiDigits(v, 4, 2, m) && asciiDigits(v, 6, 2, d)
                && QDate::isValid(y, m, d)) {
                row.setJulianDay(field, QDate(y, m, d).toJulianDay());
                return;
            }
            break;
        }
        default:
            break;
        }
        row.setValue(field, parseValue(int(field), XmlScanner::text(v)));
    }

    static bool asciiDigits(QByteArrayView s, qsizetype from, qsizetype count, int &out)
    {
        int v = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char c = s[i];
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + (c - '0');
        }
        out = v;
        return true;
    }

    // An optional sign and 1 to 18 digits, as integerText() reads them.
    static bool asciiInteger(QByteArrayView s, qint64 &out)
    {
        qsizetype i = !s.isEmpty() && (s[0] == '-' || s[0] == '+') ? 1 : 0;
        const qsizetype digitCount = s.size() - i;
        if (digitCount <= 0 || digitCount > 18)
            return false;
        qint64 n = 0;
        for (; i < s.size(); ++i) {
            const char c = s[i];
            if (c < '0' || c > '9')
                return false;
            n = n * 10 + (c - '0');
        }
        out = s[0] == '-' ? -n : n;
        return true;
    }

    // decimalText() for plain ASCII (sign, digits, point, digits): the
    // canonical text in out, its length returned; 0 for anything else.
    static qsizetype asciiDecimal(QByteArrayView s, char *out, qsizetype capacity)
    {
        if (s.size() + 2 > capacity)
            return 0;
        qsizetype i = 0;
        bool negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            negative = s[i] == '-';
            ++i;
        }
        const qsizetype intStart = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        const qsizetype intEnd = i;
        qsizetype fracStart = i, fracEnd = i;
        if (i < s.size() && s[i] == '.') {
            fracStart = ++i;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9')
                ++i;
            fracEnd = i;
        }
        if (i != s.size() || (intEnd == intStart && fracEnd == fracStart))
            return 0;
        return common::canonicalDecimalText(s.data(), negative, intStart, intEnd, fracStart, fracEnd, out);
    }

    static bool isAscii(QByteArrayView v)
    {
        for (const char c : v) {
            if (quint8(c) >= 0x80)
                return false;
        }
        return true;
    }

    static bool isBlank(QByteArrayView v)
    {
        for (const char c : v) {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                return false;
        }
        return true;
    }

    void readRowData()
    {
        const std::size_t fieldCount = m_packet.fields.size();
        RowStore::Builder row(fieldCount), original(fieldCount);
        bool hasOriginal = false;
        std::vector<char> present(fieldCount, 0);
        while (m_xml.nextChild()) {
            if (!m_xml.nameIs("ROW"))
                fail(QStringLiteral("<%1> inside ROWDATA is not a ROW").arg(nameText()));
            row.reset(fieldCount);
            std::fill(present.begin(), present.end(), 0);
            int rowState = 0;
            const std::vector<XmlScanner::Attribute> &attributes = m_xml.attributes();
            for (std::size_t i = 0; i < attributes.size(); ++i) {
                const XmlScanner::Attribute &a = attributes[i];
                int field;
                if (i < m_positionNames.size() && m_positionNames[i] == a.name) {
                    field = m_positionFields[i];
                } else {
                    field = a.isNamespaceDeclaration() ? -3 : lookup(a.name);
                    if (i >= m_positionNames.size()) {
                        m_positionNames.resize(i + 1);
                        m_positionFields.resize(i + 1);
                    }
                    m_positionNames[i] = a.name;
                    m_positionFields[i] = field;
                }
                if (field >= 0) {
                    const QByteArrayView v = m_xml.value(a, m_buffer);
                    const Parse p = m_parse[std::size_t(field)];
                    present[std::size_t(field)] = 1;
                    if (p != Parse::Text && p != Parse::Memo && p != Parse::Bytes && isAscii(v) && isBlank(v))
                        row.setNull(std::size_t(field));
                    else if (p == Parse::Text || isAscii(v))
                        putValue(std::size_t(field), v, row);
                    else
                        row.setValue(std::size_t(field), parseValue(field, XmlScanner::text(v)));
                } else if (field == -2) {
                    bool ok = false;
                    const QString text = valueText(a);
                    rowState = text.toInt(&ok);
                    if (!ok || rowState < 0)
                        fail(QStringLiteral("RowState=\"%1\" is not a row state").arg(text));
                } else if (field == -1) {
                    fail(QStringLiteral("ROW attribute '%1' names no field").arg(XmlScanner::text(a.name)));
                }
            }
            while (m_xml.nextChild()) {
                const int field = lookup(m_xml.name());
                if (field < 0 || m_packet.fields[std::size_t(field)].type != FieldType::DataSet)
                    fail(QStringLiteral("ROW element <%1> names no nested data set field").arg(nameText()));
                const QByteArray content = captureContent();
                row.setBytes(std::size_t(field), content.constData(), content.size());
                present[std::size_t(field)] = 1;
            }

            if (rowState & 2) { // deleted, with its original image if one came just before
                hasOriginal = false;
            } else if (rowState == 1) {
                if (hasOriginal)
                    m_packet.rows.append(original);
                std::swap(original, row);
                hasOriginal = true;
            } else if ((rowState & 8) && hasOriginal) {
                for (std::size_t f = 0; f < fieldCount; ++f) {
                    if (present[f])
                        original.setCell(f, row.cell(f));
                }
                m_packet.rows.append(original);
                hasOriginal = false;
            } else {
                if (hasOriginal) {
                    m_packet.rows.append(original);
                    hasOriginal = false;
                }
                m_packet.rows.append(row);
            }
        }
        if (hasOriginal)
            m_packet.rows.append(original);
    }

    XmlScanner m_xml;
    const QString &m_source;
    Packet m_packet;
    std::vector<Parse> m_parse;
    QHash<QByteArray, int> m_byName; // UTF-8 names, as written and as escaped
    QHash<QString, int> m_byFoldedName; // field names are matched in any letter case
    std::vector<QByteArrayView> m_positionNames; // views of the input, which outlives the reader
    std::vector<int> m_positionFields;
    QByteArray m_buffer; // an attribute value with references resolved
};

// ---- writer -----------------------------------------------------------------

class XmlPacketWriter {
public:
    explicit XmlPacketWriter(const Packet &packet) : m_packet(packet), m_xml(&m_out) { }

    QByteArray write()
    {
        checkPacketStructure(m_packet, QString());
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(2);
        m_xml.writeStartDocument(QStringLiteral("1.0"), true);
        m_xml.writeStartElement(QStringLiteral("DATAPACKET"));
        m_xml.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
        writeMetadata();
        writeRows();
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
        if (m_xml.hasError())
            throw EngineError(QStringLiteral("The data packet could not be written as XML"));
        return m_out;
    }

private:
    void checkText(const QString &text, const QString &what) const
    {
        const int at = firstCharacterXmlCannotCarry(text);
        if (at >= 0)
            throw EngineError(
                QStringLiteral("%1 holds the character U+%2, which an XML data packet cannot carry")
                    .arg(what)
                    .arg(unsigned(text[at].unicode()), 4, 16, QLatin1Char('0')));
    }

    void writeMetadata()
    {
        m_xml.writeStartElement(QStringLiteral("METADATA"));
        m_xml.writeStartElement(QStringLiteral("FIELDS"));
        for (const FieldDef &f : m_packet.fields) {
            checkText(f.name, QStringLiteral("The field name '%1'").arg(f.name));
            const XmlType xt = xmlTypeFor(f.type);
            m_xml.writeStartElement(QStringLiteral("FIELD"));
            m_xml.writeAttribute(QStringLiteral("attrname"), f.name);
            m_xml.writeAttribute(QStringLiteral("fieldtype"), QLatin1String(xt.fieldtype));
            if (xt.subtype)
                m_xml.writeAttribute(QStringLiteral("SUBTYPE"), QLatin1String(xt.subtype));
            const int width = f.type == FieldType::WideString ? f.size * 2 : f.size;
            if (width > 0)
                m_xml.writeAttribute(QStringLiteral("WIDTH"), QString::number(width));
            if (f.decimals > 0)
                m_xml.writeAttribute(QStringLiteral("DECIMALS"), QString::number(f.decimals));
            if (f.required)
                m_xml.writeAttribute(QStringLiteral("required"), QStringLiteral("true"));
            if (f.readOnly)
                m_xml.writeAttribute(QStringLiteral("readonly"), QStringLiteral("true"));
            if (!f.visible)
                m_xml.writeAttribute(QStringLiteral("hidden"), QStringLiteral("true"));
            if (!f.displayLabel.isEmpty() && f.displayLabel != f.name) {
                checkText(f.displayLabel, QStringLiteral("The label of field '%1'").arg(f.name));
                m_xml.writeAttribute(QStringLiteral("fieldname"), f.displayLabel);
            }
            if (f.type == FieldType::DataSet) {
                const auto it = m_packet.nestedDefinitions.constFind(f.name);
                if (it != m_packet.nestedDefinitions.cend() && !it->isEmpty())
                    replay(*it, f.name);
                else
                    m_xml.writeEmptyElement(QStringLiteral("FIELDS"));
            }
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement(); // FIELDS
        m_xml.writeStartElement(QStringLiteral("PARAMS"));
        for (const IndexDef &index : m_packet.indexes) {
            checkText(index.name, QStringLiteral("The index name '%1'").arg(index.name));
            for (const QString &field : index.fields) {
                if (field.contains(u';'))
                    throw EngineError(
                        QStringLiteral(
                            "Index '%1' names the field '%2', which an XML data packet cannot list")
                            .arg(index.name, field));
            }
            m_xml.writeEmptyElement(QStringLiteral("INDEXDEF"));
            m_xml.writeAttribute(QStringLiteral("Name"), index.name);
            m_xml.writeAttribute(QStringLiteral("Fields"), index.fields.join(u';'));
        }
        m_xml.writeEndElement(); // PARAMS
        m_xml.writeEndElement(); // METADATA
    }

    // Writes XML text kept from a packet (nested definitions and rows) back
    // token by token, which also proves it well formed.
    void replay(const QByteArray &content, const QString &fieldName)
    {
        QXmlStreamReader in(QByteArray("<q>") + content + QByteArray("</q>"));
        in.readNextStartElement();
        for (int depth = 1;;) {
            const auto token = in.readNext();
            if (in.hasError())
                throw EngineError(QStringLiteral("The nested data of field '%1' is not well-formed XML: %2")
                                      .arg(fieldName, in.errorString()));
            if (token == QXmlStreamReader::StartElement)
                ++depth;
            else if (token == QXmlStreamReader::EndElement && --depth == 0)
                break;
            m_xml.writeCurrentToken(in);
        }
    }

    QString valueText(const FieldDef &f, const QVariant &v, qint64 row) const
    {
        switch (valueKind(f.type)) {
        case ValueKind::Text: {
            const QString s = v.toString();
            if (f.type == FieldType::Memo)
                return QString::fromLatin1(s.toUtf8().toBase64());
            checkText(s, QStringLiteral("Field '%1' in row %2").arg(f.name).arg(row + 1));
            return s;
        }
        case ValueKind::Int:
        case ValueKind::Int64:
            return QString::number(v.toLongLong());
        case ValueKind::Bool:
            return v.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        case ValueKind::Double:
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        case ValueKind::Decimal:
            return v.toString();
        case ValueKind::Date:
            return dateText(v.toDate());
        case ValueKind::Time:
            return timeText(v.toTime());
        case ValueKind::DateTime: {
            const QDateTime dt = v.toDateTime();
            return dateText(dt.date()) + u'T' + timeText(dt.time());
        }
        case ValueKind::Bytes:
            return QString::fromLatin1(v.toByteArray().toBase64());
        case ValueKind::None:
            break;
        }
        return {};
    }

    void writeRows()
    {
        std::vector<QString> names;
        for (const FieldDef &f : m_packet.fields)
            names.push_back(xmlNameFor(f.name));
        m_xml.writeStartElement(QStringLiteral("ROWDATA"));
        for (std::size_t r = 0; r < m_packet.rows.size(); ++r) {
            const Record &row = m_packet.rows[r];
            bool hasNested = false;
            for (std::size_t i = 0; i < m_packet.fields.size() && i < row.size(); ++i)
                hasNested = hasNested || (m_packet.fields[i].type == FieldType::DataSet && !row[i].isNull());
            if (hasNested)
                m_xml.writeStartElement(QStringLiteral("ROW"));
            else
                m_xml.writeEmptyElement(QStringLiteral("ROW"));
            for (std::size_t i = 0; i < m_packet.fields.size() && i < row.size(); ++i) {
                const FieldDef &f = m_packet.fields[i];
                if (row[i].isNull() || f.type == FieldType::DataSet || valueKind(f.type) == ValueKind::None)
                    continue;
                m_xml.writeAttribute(names[i], valueText(f, row[i], qint64(r)));
            }
            if (hasNested) {
                for (std::size_t i = 0; i < m_packet.fields.size() && i < row.size(); ++i) {
                    if (m_packet.fields[i].type != FieldType::DataSet || row[i].isNull())
                        continue;
                    m_xml.writeStartElement(names[i]);
                    replay(row[i].toByteArray(), m_packet.fields[i].name);
                    m_xml.writeEndElement();
                }
                m_xml.writeEndElement();
            }
        }
        m_xml.writeEndElement(); // ROWDATA
    }

    const Packet &m_packet;
    QByteArray m_out;
    QXmlStreamWriter m_xml;
};

} // namespace

Packet readXmlPacket(const QByteArray &bytes, const QString &source)
{
    // The scanner reads UTF-8 (and so ASCII). A packet in another encoding,
    // named by a byte order mark or by its declaration, is converted first;
    // lines stay where they were, so errors still name the right ones.
    std::optional<QStringConverter::Encoding> utf16;
    if (bytes.startsWith("\xFF\xFE") || (bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == '\0'))
        utf16 = QStringConverter::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF") || (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] == '<'))
        utf16 = QStringConverter::Utf16BE;
    if (utf16) {
        QStringDecoder decoder(*utf16);
        const QByteArray utf8 = QString(decoder(bytes)).toUtf8();
        const qsizetype bom = utf8.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        return XmlPacketReader(QByteArrayView(utf8).sliced(bom), source).read();
    }
    const qsizetype bom = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArrayView text = QByteArrayView(bytes).sliced(bom);
    const QByteArray encoding = XmlScanner::declaredEncoding(text).toLower();
    const bool utf8 = encoding.isEmpty() || encoding == "utf-8" || encoding == "utf8"
        || encoding == "us-ascii" || encoding == "ascii" || encoding.startsWith("utf-16")
        || encoding.startsWith("utf-32");
    if (utf8)
        return XmlPacketReader(text, source).read();
    QStringDecoder decoder(encoding.constData());
    if (!decoder.isValid())
        throw EngineError(
            source,
            QStringLiteral("line 1: the encoding '%1' is not supported").arg(QString::fromLatin1(encoding)));
    const QByteArray converted = QString(decoder(text)).toUtf8();
    return XmlPacketReader(converted, source).read();
}

QByteArray writeXmlPacket(const Packet &packet)
{
    return XmlPacketWriter(packet).write();
}

} // namespace qvx
