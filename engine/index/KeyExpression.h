// Key and FOR expressions of dBASE, Clipper and FoxPro index files, parsed
// once against a table's fields and evaluated over a record's raw bytes.
//
// The language is the part of the xBase expression language real index
// files use: field names (optionally "alias->field"), string literals in
// "", '' or [], numbers, .T./.F., concatenation with + and -, arithmetic,
// comparison (= == # <> != < <= > >= $), .AND. .OR. .NOT. !, parentheses and
// the functions UPPER, LOWER, DTOS, STR, SUBSTR, LEFT, RIGHT, TRIM, RTRIM,
// LTRIM, ALLTRIM, IIF, DELETED, VAL, PADL, PADR, RECNO is not supported (a
// key must not depend on where a record lies).
#pragma once

#include "IndexKeys.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace qvx::common {
class TextCodec;
}

namespace qvx::index {

// A field an expression may name: where its bytes lie in a dbf record.
struct ExprField {
    QString name;
    char type = 'C'; // the dbf field type letter: C N F D L I B Y T M ...
    int offset = 0; // from the start of the record (its deletion flag is byte 0)
    int length = 0;
    int decimals = 0;
};

// A value as an expression yields it.
struct KeyValue {
    KeyType type = KeyType::Character;
    QByteArray text; // Character: bytes in the table's code page
    double number = 0; // Numeric; Date: the Julian day number, 0 for a blank date
    bool logical = false;
};

class KeyExpression {
public:
    // Parses text against the fields. Throws EngineError (with an empty
    // path: the caller names the file) saying what is wrong and where, for
    // a syntax error, an unknown field or function, a type mismatch, or a
    // field type no key can hold (memo, general, ...).
    KeyExpression(const QString &text, const std::vector<ExprField> &fields, const common::TextCodec &codec);
    ~KeyExpression();
    KeyExpression(KeyExpression &&) noexcept;
    KeyExpression &operator=(KeyExpression &&) noexcept;

    const QString &text() const;
    KeyType type() const;
    // Character results: the fixed length of the value, the greatest the
    // expression can give (TRIM(a)+b is as long as a and b together);
    // evaluate() pads shorter values with spaces. Numeric results: the
    // width of the number as text (a field's width; 10 otherwise, as STR
    // gives), with decimals() digits after the point.
    int length() const;
    int decimals() const;
    // The field the whole expression is (a bare field name), or -1.
    int singleField() const;

    // The value over a record's bytes (deletion flag first, as the record
    // lies in the file). Character values are exactly length() bytes.
    // Never throws: bytes that do not read as the field's type read as a
    // blank value.
    KeyValue evaluate(const char *record) const;
    // A FOR condition: true when the record belongs in the tag. Only for a
    // Logical expression.
    bool test(const char *record) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qvx::index
