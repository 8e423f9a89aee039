// Text tables: a data file (NAME.TXT) described by a schema file (NAME.SCH)
// beside it. The schema is an INI-style section:
//
//   ; comment                          lines starting with ';' are ignored
//   [NAME]                             the table name; one section per file
//   Filetype=VARYING                   VARYING (separated values) or FIXED (columns)
//   Delimiter="                        quote around values; empty for none
//   Separator=,                        between values (VARYING only)
//   CharSet=ascii                      ascii/ANSI = windows-1252, else a converter name
//   Field1=CUSTNO,LONGINT,11,00,00     Name,Type,Width,Decimals,Offset; N = 1..n
//   Field2=NAME,CHAR,30,00,11
//
// Types: CHAR, MEMO (VARYING only), FLOAT (a double, written with Decimals
// digits after the point when that is not 0), BCD (an exact decimal of
// Width - 2 digits, Decimals of them after the point), NUMBER (16 bits),
// LONGINT (32 bits), INT64, BOOL, DATE, TIME and TIMESTAMP.
//
// Keys are matched in any letter case, with spaces around '=' and ','. A
// separator or delimiter may be written as #nnn (decimal byte) or ^X
// (control character X - 64, so ^I is a tab).
//
// VARYING data: one record per line (CR LF; LF accepted), values between
// separators. We write every text value inside delimiters (so "" is an
// empty text and nothing at all is null), and any other value that holds
// the separator or begins with the delimiter. A delimiter inside a
// delimited value is doubled; a separator or a line break inside one is
// part of the value, which is how a line break in a memo is written. An
// empty line is a record of nulls.
//
//   10,"Smith, ""Jo""",1999-12-31,True,"two\r\nlines"\r\n
//
// FIXED data: one record per line, each value at its Offset, padded with
// spaces to its Width (in characters); text left-aligned, numbers right.
// Blank is null, except for text, which reads as "" with its trailing
// spaces dropped; a short line leaves its missing columns blank.
//
//   0000000000111111111122
//   0123456789012345678901
//           10Smith       \r\n
#pragma once

#include "../../FieldDef.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace qvx::ascii {

struct SchemaField {
    QString name;
    QByteArray typeName; // as written, upper case: CHAR, FLOAT, ...
    int width = 0;
    int decimals = 0;
    int offset = 0;
    FieldDef def;
};

struct Schema {
    QString tableName;
    bool fixed = false;
    char delimiter = '"'; // '\0' when values have none
    char separator = ',';
    QString charSet = QStringLiteral("ascii"); // as written in the file
    QString codePage = QStringLiteral("windows-1252"); // the converter name it gives
    std::vector<SchemaField> fields;
};

// The widest field a schema may declare: more than any real column, and
// small enough that padding a record to it is cheap.
constexpr int kMaxWidth = 1 << 20;

// Parses schema text. Throws EngineError "<path>: line N: <what>" for a
// malformed line, and "<path>: <what>" for what is missing.
Schema parseSchema(const QByteArray &text, const QString &path);

// The schema file's text (CR LF lines) for a schema.
QByteArray schemaText(const Schema &schema);

// A schema for new fields: the types' text names, widths (defaults for
// types that need none) and cumulative offsets. Throws EngineError
// "<path>: field <name>: ..." for a type with no text form, a MEMO in a
// FIXED table, a CHAR without a width or a name the schema cannot hold.
// layout gives Filetype, Delimiter, Separator and CharSet.
Schema schemaForFields(const FieldDefs &fields, const Schema &layout, const QString &tableName,
                       const QString &path);

// The converter name for a CharSet value, or an empty string when it names
// none we can use (only single-byte code pages and UTF-8, whose multi-byte
// characters never contain a separator, delimiter or line-break byte).
QString codePageForCharSet(const QString &charSet);

} // namespace qvx::ascii
