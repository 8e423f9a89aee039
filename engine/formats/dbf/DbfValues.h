// Turning the bytes of one dbf field into a held value (see FieldDef.h) and
// back. Memo contents are not handled here, only the pointers to them.
#pragma once

#include <string>

#include "DbfHeader.h"

#include "../../FieldDef.h"
#include "../TableFormat.h"
#include "../common/CodePage.h"

namespace qvx::dbf {

// One visible field: its descriptor, how callers see it, and its bits in
// the VFP _NullFlags field (-1 when it has none).
struct Column {
    int descriptor = 0;
    FieldDescriptor desc;
    FieldDef def;
    bool memo = false; // the value lives in the memo file
    int nullBit = -1;
    int varBit = -1;
};

// Builds the visible columns of a table, in field order, with their
// _NullFlags bits. System fields (_NullFlags) are left out.
std::vector<Column> buildColumns(const Header &h, const common::TextCodec &codec, int &nullFlagsDescriptor);

// A field that is not a memo straight from its bytes into sink, as
// decodeValue() would give it to SQL; false (sink untouched) for what only
// decodeValue() handles. buffer holds converted text.
bool decodeValueTo(const Column &c, const char *p, const common::TextCodec &codec, std::string &buffer,
                   FieldSink &sink);
// The digits of plain decimal text: [intBegin, intEnd) before the point,
// [fracBegin, fracEnd) after it.
struct DecimalParts {
    bool negative = false;
    int intBegin = 0, intEnd = 0, fracBegin = 0, fracEnd = 0;
};
bool splitPlainDecimal(const char *p, int len, DecimalParts &d);

// Plain decimal text ("  -012.50") to SQL as a double when it has at most 15
// significant digits; false, sink untouched, otherwise.
bool decimalToSql(const char *text, int length, FieldSink &sink);

// Decodes a field that is not a memo. p points at the field's bytes;
// varLength tells whether its varlength bit is set (V and Q fields).
QVariant decodeValue(const Column &c, const char *p, bool varLength, const common::TextCodec &codec);

// The memo block a memo field points at; 0 when it has none. Throws
// EngineError(path, ...) when the pointer is not a number.
std::uint32_t decodeMemoPointer(const Column &c, const char *p, const QString &path);
void encodeMemoPointer(const Column &c, std::uint32_t block, char *p);

// The bytes a field has when it holds nothing (spaces for text fields,
// zeros for binary ones).
void blankField(const FieldDescriptor &f, bool vfp, char *p);

// Encodes a held value (already coerced to the column's type) into the
// field's bytes. A null value writes the blank field. Sets varLength for V
// and Q fields. Throws EngineError(path, "field <name>: ...") when the value
// does not fit.
void encodeValue(const Column &c, const QVariant &value, char *p, bool &varLength,
                 const common::TextCodec &codec, const QString &path);

// Rounds canonical decimal text to `decimals` digits after the point (half
// away from zero) and writes exactly that many digits.
QString fixedDecimal(const QString &canonical, int decimals);

} // namespace qvx::dbf
