// The data file of a text table (layout drawn in AsciiSchema.h): finding
// where records start, splitting a record into values, and turning values
// into text and back.
#pragma once

#include "AsciiSchema.h"

#include "../../io/File.h"
#include "../TableFormat.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <optional>
#include <vector>

namespace qvx::ascii {

// How dates, times and numbers are written in the data file: the forms
// (TableFormat.h) the driver is given when the table is opened. Reading
// accepts more than writing gives: a date's parts with or without leading
// zeros and with two or four digits of year, a time with or without seconds
// and milliseconds. Files come from many programs, so a value that is not
// in the table's forms is then read by the common ones: a date as
// yyyy-mm-dd, in the forms' order with '/', '.' or '-' between its parts,
// as m/d/yyyy, d.m.yyyy or yyyymmdd; a time with '.' between its parts and
// a timestamp with 'T' before its time; a number in plain C form. Writing
// never loses a value: seconds and milliseconds that are not zero are
// written even when the format leaves them out, a year outside 1950..2049
// keeps four digits, integers are written digit for digit and decimals
// (BCD) with every digit they hold.
using qvx::TextForms;

// The forms the "NAME=value" lines of the three format sections give;
// unknown names are ignored and malformed values keep the default.
TextForms textFormsFromConfig(const QStringList &date, const QStringList &time, const QStringList &number);
const TextForms &defaultTextForms();

// A fault in one record, without the file and line (the caller adds them).
struct DataError {
    QString what;
};

// The table's text conversion, by converter name.
class TextCodec {
public:
    explicit TextCodec(const QString &codePage);
    QString name() const { return m_name; }
    QString decode(QByteArrayView bytes) const;
    // Throws DataError when a character has no byte in the code page.
    QByteArray encode(const QString &text) const;

private:
    QString m_name;
    mutable QStringDecoder m_decoder;
    mutable QStringEncoder m_encoder;
};

// The byte offset of every record of a data file, found in one pass. A
// line break inside a delimited value belongs to the value. Throws
// EngineError "<path>: line N: ..." when a delimited value is never closed.
std::vector<qint64> scanRecords(const File &file, const Schema &schema);

// The line (from 1) on which the byte at offset lies.
qint64 lineAt(const File &file, qint64 offset);

// One value of a record as it stands in the file.
struct RawValue {
    QByteArray bytes; // VARYING: delimiters removed, doubled delimiters made single
    bool delimited = false;
    QString columns; // FIXED: the field's columns, padding and all
};

// A value no form reads: it reads as null, and this says why.
struct BadValue {
    int field = 0;
    QString what; // "field D: \"31.31.2024\" is not a valid DATE value (yyyy-MM-dd)"
};

// The record's values in field order (its line break already removed).
// An empty line is a record of nulls. A value that cannot be read is null
// and is added to bad when given; raw, when given, gets every value as it
// stands. Throws DataError for a record that cannot be split into values.
Record decodeRecord(const QByteArray &line, const Schema &schema, const TextCodec &codec,
                    const TextForms &forms, std::vector<BadValue> *bad = nullptr,
                    std::vector<RawValue> *raw = nullptr);

// Values to write back as they stand (from decodeRecord's raw), by field;
// an empty one is written from the record.
using KeptValues = std::vector<std::optional<RawValue>>;

// A record's line, with its CR LF. Values must already be coerced to the
// fields' types. Throws DataError "field X: ..." when a value cannot be
// written: a FIXED value wider than its field or holding a line break, a
// CHAR longer than its width, or (with no delimiter) a value holding the
// separator or a line break. Text values are always delimited when the
// table has a delimiter, so that an empty text ("") differs from null.
// A kept value is written as it stood, whatever the record holds there.
// An integer of any width (which a FLOAT field writes digit for digit).
bool isWholeNumber(const QVariant &v);

QByteArray encodeRecord(const Record &rec, const Schema &schema, const TextCodec &codec,
                        const TextForms &forms, const KeptValues *kept = nullptr);

} // namespace qvx::ascii
