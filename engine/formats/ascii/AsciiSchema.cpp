#include "AsciiSchema.h"

#include "../../EngineError.h"

#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cctype>
#include <map>

namespace qvx::ascii {

namespace {

struct TypeName {
    const char *name;
    FieldType type;
};

constexpr TypeName kTypes[] = {
    { "CHAR", FieldType::String },     { "FLOAT", FieldType::Float },    { "NUMBER", FieldType::SmallInt },
    { "LONGINT", FieldType::Integer }, { "INT64", FieldType::LargeInt }, { "BOOL", FieldType::Boolean },
    { "DATE", FieldType::Date },       { "TIME", FieldType::Time },      { "TIMESTAMP", FieldType::DateTime },
    { "MEMO", FieldType::Memo },       { "BCD", FieldType::BCD },
};

// A BCD column's width holds a sign and a decimal point beside the digits.
constexpr int kBcdSignAndPoint = 2;
constexpr int kMaxBcdDigits = 64;

[[noreturn]] void lineError(const QString &path, int line, const QString &what)
{
    throw EngineError(path, QStringLiteral("line %1: %2").arg(line).arg(what));
}

FieldDef defFor(const QString &name, const QByteArray &typeName, int width, int decimals)
{
    for (const TypeName &t : kTypes) {
        if (typeName != t.name)
            continue;
        switch (t.type) {
        case FieldType::String:
            return FieldDef(name, t.type, width);
        case FieldType::Float:
            return FieldDef(name, t.type, 0, decimals);
        case FieldType::BCD:
            return FieldDef(name, t.type, std::clamp(width - kBcdSignAndPoint, 1, kMaxBcdDigits),
                            std::min(decimals, kMaxBcdDigits));
        default:
            return FieldDef(name, t.type);
        }
    }
    return {};
}

bool knownType(const QByteArray &typeName)
{
    for (const TypeName &t : kTypes)
        if (typeName == t.name)
            return true;
    return false;
}

// A separator or delimiter value: one character, #nnn or ^X. Returns '\0'
// for an empty value.
char parseSpecial(const QByteArray &value, const QString &path, int line, const char *what)
{
    if (value.isEmpty())
        return '\0';
    int code = -1;
    if (value.size() == 1) {
        code = std::uint8_t(value[0]);
    } else if (value[0] == '#' && value.size() <= 4) {
        bool ok = false;
        const int n = value.mid(1).toInt(&ok, 10);
        if (ok && n >= 0 && n <= 255 && value[1] != '+' && value[1] != '-')
            code = n;
    } else if (value[0] == '^' && value.size() == 2) {
        const char c = char(std::toupper(std::uint8_t(value[1])));
        if (c >= '@' && c <= '_')
            code = c - '@';
    }
    if (code < 0)
        lineError(path, line,
                  QStringLiteral("the %1 must be one character, #nnn or ^X, not \"%2\"")
                      .arg(QLatin1String(what), QString::fromLatin1(value)));
    if (code == 0 || code == '\r' || code == '\n' || code >= 0x80)
        lineError(path, line,
                  QStringLiteral("the %1 must be an ASCII character other than a line break (code %2)")
                      .arg(QLatin1String(what))
                      .arg(code));
    return char(code);
}

QByteArray writeSpecial(char c)
{
    if (c == '\0')
        return {};
    if (c > ' ' && c < 0x7F)
        return QByteArray(1, c);
    return '#' + QByteArray::number(int(std::uint8_t(c))).rightJustified(3, '0');
}

int parseNumber(const QByteArray &text, const QString &path, int line, const QString &key, const char *what)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok || n < 0 || n > kMaxWidth || text.startsWith('+'))
        lineError(path, line,
                  QStringLiteral("%1 has a bad %2 \"%3\"")
                      .arg(key, QLatin1String(what), QString::fromLatin1(text)));
    return n;
}

QString decodeName(const QByteArray &bytes, const QString &codePage)
{
    // Stateless: an incomplete sequence at the end of a name is a replacement
    // character, not bytes held back for input that never comes (which would
    // leave the name empty).
    QStringDecoder decoder(codePage.toLatin1().constData(), QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

QString codePageForCharSet(const QString &charSet)
{
    const QString lower = charSet.trimmed().toLower();
    if (lower.isEmpty() || lower == QLatin1String("ascii") || lower == QLatin1String("ansi"))
        return QStringLiteral("windows-1252");
    QStringDecoder decoder(charSet.trimmed().toLatin1().constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return {};
    const QString name = QString::fromLatin1(decoder.name());
    const auto builtin = QStringConverter::encodingForName(charSet.trimmed().toLatin1().constData());
    if (builtin && *builtin == QStringConverter::Utf8)
        return QStringLiteral("UTF-8");
    // Records are split by their bytes, so every byte must be one character
    // (no separator byte inside a character), and the printable ASCII ones
    // must be themselves so that numbers and dates read as written. Code
    // pages differ in what they make of control bytes; that does not matter.
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        decoder.resetState();
        const QString one = decoder.decode(QByteArrayView(&byte, 1));
        if (one.size() != 1 || (b >= 0x20 && b < 0x7F && one[0].unicode() != b))
            return {};
    }
    return name;
}

Schema parseSchema(const QByteArray &text, const QString &path)
{
    Schema s;
    bool haveSection = false;
    struct PendingField {
        int line;
        QByteArray name;
        SchemaField field;
    };
    std::map<int, PendingField> fields;
    int separatorLine = 0;
    QByteArray sectionName;

    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int line = int(i + 1);
        QByteArray raw = lines[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (i == 0 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        const QByteArray trimmed = raw.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(';'))
            continue;
        if (trimmed.startsWith('[')) {
            if (!trimmed.endsWith(']'))
                lineError(path, line, QStringLiteral("the section name has no closing ]"));
            if (haveSection)
                lineError(path, line, QStringLiteral("a second section; a schema describes one table"));
            haveSection = true;
            sectionName = trimmed.mid(1, trimmed.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = raw.indexOf('=');
        if (eq < 0)
            lineError(path, line,
                      QStringLiteral("expected Key=Value, found \"%1\"")
                          .arg(QString::fromLatin1(trimmed.left(60))));
        if (!haveSection)
            lineError(path, line, QStringLiteral("a key before the [table] section line"));
        const QByteArray key = raw.left(eq).trimmed().toLower();
        const QByteArray afterEq = raw.mid(eq + 1);
        const QByteArray value = afterEq.trimmed();

        if (key == "filetype") {
            const QByteArray kind = value.toUpper();
            if (kind == "VARYING")
                s.fixed = false;
            else if (kind == "FIXED")
                s.fixed = true;
            else
                lineError(path, line,
                          QStringLiteral("unknown Filetype \"%1\" (VARYING or FIXED)")
                              .arg(QString::fromLatin1(value)));
        } else if (key == "delimiter") {
            s.delimiter = parseSpecial(value, path, line, "delimiter");
        } else if (key == "separator") {
            // "Separator= " means a space; spaces around other values are
            // only layout.
            const QByteArray v = value.isEmpty() && !afterEq.isEmpty() ? afterEq.right(1) : value;
            const char c = parseSpecial(v, path, line, "separator");
            if (c != '\0')
                s.separator = c;
            separatorLine = line;
        } else if (key == "charset") {
            const QString codePage = codePageForCharSet(QString::fromLatin1(value));
            if (codePage.isEmpty())
                lineError(path, line,
                          QStringLiteral("unknown or unusable character set \"%1\"")
                              .arg(QString::fromLatin1(value)));
            s.charSet = QString::fromLatin1(value);
            s.codePage = codePage;
        } else if (key.startsWith("field") && key.size() > 5) {
            bool ok = false;
            const int n = key.mid(5).toInt(&ok, 10);
            const QString keyName = QStringLiteral("Field%1").arg(QString::fromLatin1(key.mid(5)));
            if (!ok || n < 1 || key[5] == '+')
                lineError(path, line, QStringLiteral("%1 is not a field number").arg(keyName));
            if (fields.count(n))
                lineError(path, line, QStringLiteral("%1 is given twice").arg(keyName));
            const QList<QByteArray> parts = value.split(',');
            if (parts.size() != 5)
                lineError(path, line,
                          QStringLiteral("%1 needs Name,Type,Width,Decimals,Offset").arg(keyName));
            PendingField p;
            p.line = line;
            p.name = parts[0].trimmed();
            if (p.name.isEmpty())
                lineError(path, line, QStringLiteral("%1 has no name").arg(keyName));
            p.field.typeName = parts[1].trimmed().toUpper();
            if (!knownType(p.field.typeName))
                lineError(path, line,
                          QStringLiteral("%1 has an unknown type \"%2\"")
                              .arg(keyName, QString::fromLatin1(parts[1].trimmed())));
            p.field.width = parseNumber(parts[2].trimmed(), path, line, keyName, "width");
            p.field.decimals = parseNumber(parts[3].trimmed(), path, line, keyName, "decimal count");
            p.field.offset = parseNumber(parts[4].trimmed(), path, line, keyName, "offset");
            fields.emplace(n, std::move(p));
        }
        // Other keys (Comment=, ...) say nothing about the data.
    }

    if (!haveSection)
        throw EngineError(path, QStringLiteral("the schema has no [table] section"));
    if (fields.empty())
        throw EngineError(path, QStringLiteral("the schema has no fields"));
    if (!s.fixed && s.delimiter != '\0' && s.separator == s.delimiter)
        lineError(path, separatorLine,
                  QStringLiteral("the separator and the delimiter are the same character"));

    s.tableName = decodeName(sectionName, s.codePage);
    QSet<QString> names;
    int expected = 1;
    for (auto &[n, p] : fields) {
        if (n != expected)
            throw EngineError(path, QStringLiteral("Field%1 is missing").arg(expected));
        ++expected;
        SchemaField f = std::move(p.field);
        f.name = decodeName(p.name, s.codePage);
        if (f.name.trimmed().isEmpty())
            lineError(path, p.line, QStringLiteral("Field%1 has no name").arg(n));
        if (names.contains(f.name.toUpper()))
            lineError(path, p.line, QStringLiteral("the field name %1 is used twice").arg(f.name));
        names.insert(f.name.toUpper());
        if (s.fixed && f.typeName == "MEMO")
            lineError(path, p.line,
                      QStringLiteral("field %1: a MEMO field cannot be in a FIXED file").arg(f.name));
        if (s.fixed && f.width == 0)
            lineError(path, p.line, QStringLiteral("field %1 has no width").arg(f.name));
        if (s.fixed && qint64(f.offset) + f.width > kMaxWidth)
            lineError(path, p.line,
                      QStringLiteral("field %1 ends past column %2").arg(f.name).arg(kMaxWidth));
        f.def = defFor(f.name, f.typeName, f.width, f.decimals);
        s.fields.push_back(std::move(f));
    }
    return s;
}

QByteArray schemaText(const Schema &schema)
{
    QStringEncoder encoder(schema.codePage.toLatin1().constData());
    QByteArray out;
    out += '[' + QByteArray(encoder.encode(schema.tableName)) + "]\r\n";
    out += schema.fixed ? "Filetype=FIXED\r\n" : "Filetype=VARYING\r\n";
    out += "Delimiter=" + writeSpecial(schema.delimiter) + "\r\n";
    out += "Separator=" + writeSpecial(schema.fixed ? ' ' : schema.separator) + "\r\n";
    out += "CharSet=" + schema.charSet.toLatin1() + "\r\n";
    int n = 1;
    for (const SchemaField &f : schema.fields) {
        const auto pad = [](int v) { return QByteArray::number(v).rightJustified(2, '0'); };
        out += "Field" + QByteArray::number(n++) + '=' + QByteArray(encoder.encode(f.name)) + ',' + f.typeName
            + ',' + pad(f.width) + ',' + pad(f.decimals) + ',' + pad(f.offset) + "\r\n";
    }
    return out;
}

Schema schemaForFields(const FieldDefs &fields, const Schema &layout, const QString &tableName,
                       const QString &path)
{
    Schema s;
    s.tableName = tableName;
    s.fixed = layout.fixed;
    s.delimiter = layout.delimiter;
    s.separator = layout.separator;
    s.charSet = layout.charSet;
    s.codePage = codePageForCharSet(layout.charSet);
    if (s.codePage.isEmpty())
        throw EngineError(path,
                          QStringLiteral("unknown or unusable character set \"%1\"").arg(layout.charSet));
    if (!s.fixed && (s.separator == '\0' || s.separator == '\r' || s.separator == '\n'))
        throw EngineError(path, QStringLiteral("a VARYING table needs a separator"));
    if (!s.fixed && s.separator == s.delimiter)
        throw EngineError(path, QStringLiteral("the separator and the delimiter are the same character"));

    QStringEncoder encoder(s.codePage.toLatin1().constData(), QStringConverter::Flag::Stateless);
    QSet<QString> names;
    int offset = 0;
    for (const FieldDef &def : fields) {
        const auto fail = [&](const QString &what) {
            throw EngineError(path, QStringLiteral("field %1: %2").arg(def.name, what));
        };
        if (def.name.trimmed().isEmpty())
            throw EngineError(path, QStringLiteral("a field has no name"));
        if (def.name != def.name.trimmed() || def.name.contains(u',') || def.name.contains(u'\n')
            || def.name.contains(u'\r'))
            fail(QStringLiteral("a schema cannot hold a field name with a comma, a line break or spaces "
                                "around it"));
        if (decodeName(encoder.encode(def.name), s.codePage) != def.name)
            fail(QStringLiteral("the name has characters that code page %1 cannot hold").arg(s.codePage));
        if (names.contains(def.name.toUpper()))
            fail(QStringLiteral("the name is used twice"));
        names.insert(def.name.toUpper());

        SchemaField f;
        f.name = def.name;
        switch (def.type) {
        case FieldType::String:
        case FieldType::FixedChar:
        case FieldType::WideString:
            if (def.size <= 0 || def.size > kMaxWidth)
                fail(QStringLiteral("a text field needs a width from 1 to %1").arg(kMaxWidth));
            f.typeName = "CHAR";
            f.width = def.size;
            break;
        case FieldType::Memo:
        case FieldType::FmtMemo:
            if (s.fixed)
                fail(QStringLiteral("a memo cannot be in a FIXED table; use VARYING"));
            f.typeName = "MEMO";
            break;
        case FieldType::BCD:
            // Held as decimal text: its digits go to the file as they are.
            f.typeName = "BCD";
            f.decimals = std::clamp(def.decimals, 0, kMaxBcdDigits);
            f.width = (def.size > 0 ? std::clamp(std::max(def.size, f.decimals), 1, kMaxBcdDigits) : 20)
                + kBcdSignAndPoint;
            break;
        case FieldType::Float:
        case FieldType::Currency:
            f.typeName = "FLOAT";
            f.decimals = std::clamp(def.decimals, 0, 15);
            f.width = def.size > 0 && def.size <= 64 ? std::max(def.size, f.decimals + 2) : 24;
            break;
        case FieldType::SmallInt:
            f.typeName = "NUMBER";
            f.width = 6;
            break;
        case FieldType::Integer:
        case FieldType::Word:
        case FieldType::AutoInc:
            f.typeName = "LONGINT";
            f.width = 11;
            break;
        case FieldType::LargeInt:
            f.typeName = "INT64";
            f.width = 20;
            break;
        case FieldType::Boolean:
            f.typeName = "BOOL";
            f.width = 5;
            break;
        case FieldType::Date:
            f.typeName = "DATE";
            f.width = 10;
            break;
        case FieldType::Time:
            f.typeName = "TIME";
            f.width = 12;
            break;
        case FieldType::DateTime:
            f.typeName = "TIMESTAMP";
            f.width = 23;
            break;
        default:
            fail(QStringLiteral("a field of type %1 has no text form and cannot be in an ASCII table")
                     .arg(fieldTypeCode(def.type)));
        }
        f.offset = offset;
        offset += f.width;
        if (s.fixed && offset > kMaxWidth)
            fail(QStringLiteral("the record would be wider than %1 characters").arg(kMaxWidth));
        f.def = defFor(f.name, f.typeName, f.width, f.decimals);
        s.fields.push_back(std::move(f));
    }
    if (s.fields.empty())
        throw EngineError(path, QStringLiteral("a table needs at least one field"));
    return s;
}

} // namespace qvx::ascii
