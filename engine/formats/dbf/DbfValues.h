// Turning the bytes of one dbf field into a held value (see FieldDef.h) and
// back. Memo contents are not handled here, only the pointers to them.
#pragma once

#include <array>
#include <string>

#include "DbfHeader.h"

#include "../../FieldDef.h"
#include "../TableFormat.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qvx::dbf {

// The table's text conversion, by converter name.
class TextCodec {
public:
    explicit TextCodec(const QString &codePage);
    QString name() const { return m_name; }
    // One byte per character, and bytes below 0x80 are those characters.
    bool asciiCompatible() const { return m_isSingleByte && m_asciiIsSame; }
    QString decode(QByteArrayView bytes) const;
    // Throws EngineError(path, "field <name>: ...") when a character has no
    // byte in the code page.
    QByteArray encode(const QString &text, const QString &path, const QString &field) const;
    // The bytes as UTF-8, for code pages of one byte per character: data
    // and size point at the bytes themselves when they read the same in
    // UTF-8, else into buffer. False (nothing set) for other code pages.
    bool toUtf8(const char *bytes, qsizetype length, std::string &buffer, const char *&data,
                qsizetype &size) const;

private:
    QString m_name;
    // For code pages of one byte per character: the character of each byte,
    // so that decoding a field needs no converter call.
    std::array<char16_t, 256> m_singleByte {};
    bool m_isSingleByte = false;
    // The UTF-8 of each byte (up to 3 bytes and their count), and whether
    // bytes below 0x80 are themselves.
    std::array<std::array<char, 4>, 256> m_utf8 {};
    bool m_asciiIsSame = false;
    mutable QStringDecoder m_decoder;
    mutable QStringEncoder m_encoder;
};

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
std::vector<Column> buildColumns(const Header &h, const TextCodec &codec, int &nullFlagsDescriptor);

// A field that is not a memo straight from its bytes into sink, as
// decodeValue() would give it to SQL; false (sink untouched) for what only
// decodeValue() handles. buffer holds converted text.
bool decodeValueTo(const Column &c, const char *p, const TextCodec &codec, std::string &buffer,
                   FieldSink &sink);
// Significant digits a double holds exactly; a decimal with more reaches SQL as text.
constexpr int kExactDecimalDigits = 15;
// mantissa / 10^scale, correctly rounded, for mantissa < 10^15 and scale 0..15.
double scaledToDouble(std::uint64_t mantissa, int scale);
// The digits of plain decimal text: [intBegin, intEnd) before the point,
// [fracBegin, fracEnd) after it.
struct DecimalParts {
    bool negative = false;
    int intBegin = 0, intEnd = 0, fracBegin = 0, fracEnd = 0;
};
bool splitPlainDecimal(const char *p, int len, DecimalParts &d);
// Plain decimal text ("  -012.50") to SQL as a double when it has at most 15
// significant digits (as the general path does); false, sink untouched, otherwise.
bool decimalToSql(const char *text, int length, FieldSink &sink);
// A date as SQL text (yyyy-MM-dd), for years 1 to 9999.
void putSqlDate(FieldSink &sink, const QDate &d);

// Decodes a field that is not a memo. p points at the field's bytes;
// varLength tells whether its varlength bit is set (V and Q fields).
QVariant decodeValue(const Column &c, const char *p, bool varLength, const TextCodec &codec);

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
void encodeValue(const Column &c, const QVariant &value, char *p, bool &varLength, const TextCodec &codec,
                 const QString &path);

// Rounds canonical decimal text to `decimals` digits after the point (half
// away from zero) and writes exactly that many digits.
QString fixedDecimal(const QString &canonical, int decimals);

} // namespace qvx::dbf
