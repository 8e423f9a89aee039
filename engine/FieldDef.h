// Field types and field descriptions shared by every data set.
#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

namespace qvx {

// The engine's field type codes. The numbers are stored in field lists and
// shown to users through the type catalogue, so they never change.
enum class FieldType : std::uint8_t {
    Unknown = 0,
    String = 1,
    SmallInt = 2,
    Integer = 3,
    Word = 4,
    Boolean = 5,
    Float = 6,
    Currency = 7,
    BCD = 8,
    Date = 9,
    Time = 10,
    DateTime = 11,
    Bytes = 12,
    VarBytes = 13,
    AutoInc = 14,
    Blob = 15,
    Memo = 16,
    Graphic = 17,
    FmtMemo = 18,
    ParadoxOle = 19,
    DBaseOle = 20,
    TypedBinary = 21,
    Cursor = 22,
    FixedChar = 23,
    WideString = 24,
    LargeInt = 25,
    ADT = 26,
    Array = 27,
    Reference = 28,
    DataSet = 29,
};

constexpr int fieldTypeCode(FieldType t)
{
    return static_cast<int>(t);
}
// Codes outside 0..29 give Unknown.
FieldType fieldTypeFromCode(int code);
// The name users know a type code by ("Small Integer", "Bitmap", ...), or
// nullptr for code 4 and codes outside 0..29, which have none.
const char *fieldTypeDisplayName(int code);

enum class Alignment : std::uint8_t { Left, Right, Center };

// How a value of each type is held in a QVariant (null is an invalid QVariant):
//   String, FixedChar, WideString, Memo    QString
//   SmallInt, Integer, Word, AutoInc       int
//   LargeInt                               qint64
//   Boolean                                bool
//   Float, Currency                        double (a Currency whose digits a double
//                                          cannot hold: canonical decimal text)
//   BCD                                    QString, canonical decimal text ("-12.50")
//   Date / Time                            QDate / QTime
//   DateTime                               QDateTime in Qt::UTC, read as wall-clock time
//   every other type (binary, graphic,
//   formatted memo, OLE, bytes)            QByteArray
enum class ValueKind { Text, Int, Int64, Bool, Double, Decimal, Date, Time, DateTime, Bytes, None };
ValueKind valueKind(FieldType t);
bool isBlobType(FieldType t); // kept outside the record in file formats (memo, blob, graphic, ...)
bool isNumericType(FieldType t); // right-aligned by default

struct FieldDef {
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0; // characters for text, bytes for byte fields, digits for BCD, 0 when fixed
    int decimals = 0; // digits after the point for BCD and numeric text fields
    bool required = false;
    bool readOnly = false;

    // Presentation, changed in memory only.
    QString displayLabel; // the name until changed
    bool visible = true;
    Alignment alignment = Alignment::Left;

    FieldDef() = default;
    FieldDef(QString n, FieldType t, int sz = 0, int dec = 0, bool req = false)
        : name(std::move(n)),
          type(t),
          size(sz),
          decimals(dec),
          required(req),
          displayLabel(name),
          alignment(isNumericType(t) ? Alignment::Right : Alignment::Left)
    {
    }
};

using FieldDefs = std::vector<FieldDef>;

// A field defined by a type and one size, as a list of new fields gives
// it. For a BCD field the size is its number of decimal places, which is
// what a Paradox # field stores; the driver chooses the width (a dBASE or
// FoxPro BCD becomes N(20, size)), so a BCD field of size 2 holds 12.34.
// Other types take the size as their size.
FieldDef fieldFromSize(const QString &name, FieldType type, int size);

// One record's values, in field order.
using Record = std::vector<QVariant>;

} // namespace qvx
