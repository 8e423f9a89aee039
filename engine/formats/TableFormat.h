// What Table asks of a table file format: a driver that opens, creates,
// empties and removes tables of its kind, and an open table that reads and
// writes records by 0-based index among the live (not deleted) records.
#pragma once

#include "../FieldDef.h"
#include "../IndexDef.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace qvx {

// An index a table has, as `qvx info` and the structure views list it.
struct IndexInfo {
    QString file; // the index file's name ("CUSTOMER.MDX", "name.ntx", "customer.X02")
    QString tag; // the tag's name within the file (or the index's name)
    QString expression; // key expression, or the indexed fields joined by ";"
    QString forExpression; // FOR condition; empty for none
    QStringList options; // "unique", "descending", "case-insensitive", "non-maintained"
    qint64 keyCount = -1; // -1 when not counted
};

// A range of values of one field, for looking records up by an index. A
// null bound is open; equal set means low == high, both inclusive.
struct KeyRange {
    QVariant low;
    bool lowInclusive = true;
    QVariant high;
    bool highInclusive = true;
};

// An index SQL may search: one over a single field of the table, in that
// field's ascending order.
struct SearchableIndex {
    int field = -1;
    bool unique = false;
    QString name;
};

// Facts about an open table, for `qvx info` and the structure views.
struct TableInfo {
    QString format; // "dBASE III+", "dBASE IV", "FoxPro 2.x", "Visual FoxPro", ...
    int versionByte = 0;
    QString codePage; // the converter name in use, e.g. "IBM437"
    // Where codePage came from: "language driver byte", ".cpg file",
    // "detected", "default", "option"; empty when the format says nothing.
    QString codePageSource;
    qint64 recordCount = 0;
    int keyFields = 0; // Paradox: how many leading fields are the primary key
    // Visual FoxPro: the character fields stored with varying length (V).
    QStringList varyingFields {};
    std::vector<IndexInfo> indexes {}; // filled by OpenTable::indexes() on request
};

// Options for creating a table. Zero / empty means "the driver decides".
struct CreateOptions {
    // dbf: 0x03/0x83 dBASE III+, 0x8B dBASE IV, 0xF5 FoxPro 2.x, 0x30 Visual FoxPro.
    int version = 0;
    QString codePage; // a converter name such as "IBM850" or "windows-1252"
    // Paradox: the first keyFields fields are the primary key (0: unkeyed).
    int keyFields = 0;
    // Visual FoxPro: the String fields to store with varying length (V)
    // instead of padded (C), by name.
    QStringList varyingFields {};
};

// How dates, times and numbers are written as text: the date, time and
// number formats of the session a table is opened under
// (Session::configSection). Only text tables use them; see AsciiData.h for
// how reading and writing go by them.
struct TextForms {
    enum class DateOrder { MonthDayYear = 0, DayMonthYear = 1, YearMonthDay = 2 };
    QChar dateSeparator = u'-';
    DateOrder dateOrder = DateOrder::YearMonthDay;
    bool fourDigitYear = true;
    bool leadingZeroDay = true;
    bool leadingZeroMonth = true;
    bool twelveHour = false; // "1:05:09 PM"
    bool seconds = true;
    bool milliseconds = false; // ".zzz" always, not only when not zero
    QChar decimalSeparator = u'.';
    QChar thousandSeparator; // null: none
    bool leadingZero = true; // "0.5", not ".5"
};

// Options for opening a table.
struct OpenOptions {
    bool readOnly = false;
    // The forms a text table reads and writes dates, times and numbers in;
    // Table fills in those of its session. Other formats ignore them.
    TextForms textForms;
    // The code page to read text in, over what the table says (a name
    // common::canonicalCodePage() accepts); empty lets the table decide.
    // dBASE and Paradox tables honour it; an unknown name is an EngineError.
    QString codePage;
};

class FieldSink;

// A decimal's canonical text as a NUMERIC column of SQLite holds it: a whole
// number as an integer, a number of at most 15 significant digits as a
// double, anything longer as the text itself.
void putDecimal(FieldSink &sink, const char *text, qsizetype length);

// Takes one field's value as SQL sees it, with no QVariant or QString in
// between: a scan over a million records calls it for every field used. A
// whole-table reader that needs more than SQL (booleans as such, decimals
// digit for digit) overrides boolean() and decimal(). Times, date-times and
// bytes have no form here that both SQL and such readers share: sources
// leave them to readField().
class FieldSink {
public:
    virtual void null() = 0;
    virtual void integer(qint64 v) = 0; // also booleans, as 0 and 1
    virtual void real(double v) = 0; // also decimals of up to 15 digits
    // UTF-8, valid only during the call; dates as yyyy-MM-dd.
    virtual void text(const char *utf8, qsizetype length) = 0;
    // A logical value; SQL takes it as the integer 0 or 1.
    virtual void boolean(bool v) { integer(v ? 1 : 0); }
    // A decimal as its exact canonical text ("-12.5", "0.25", "100": what
    // the data set's value() gives), valid only during the call. SQL takes
    // it as a NUMERIC: a number when a double holds every digit, else the
    // text (putDecimal).
    virtual void decimal(const char *text, qsizetype length) { putDecimal(*this, text, length); }
    // True for a sink whose decimal() keeps the text. For any other a source
    // may skip the text and hand a decimal of at most 15 significant digits
    // as putNumeric() would, which is cheaper than writing and parsing it.
    virtual bool keepsDecimalText() const { return false; }

protected:
    ~FieldSink() = default;
};

// A decimal value (at most 15 significant digits) as a NUMERIC column of
// SQLite holds it: a whole number as an integer, anything else as a double.
void putNumeric(FieldSink &sink, double d);

class OpenTable {
public:
    virtual ~OpenTable() = default;
    virtual const FieldDefs &fields() const = 0;
    virtual TableInfo info() const = 0;
    virtual bool readOnly() const = 0;
    // Why a read-only table refuses writes ("the file is read-only on disk").
    virtual QString readOnlyReason() const { return {}; }
    // What was found wrong with the file and read around: damage to the
    // table as a whole first, then each value read as null because its bytes
    // could not be read (naming record and field). Empty for a sound file.
    virtual QStringList warnings() const { return {}; }
    virtual qint64 recordCount() const = 0;
    // A quick guess at the record count for planning (deleted records may be
    // counted); must not read the whole file.
    virtual qint64 estimatedRecordCount() const { return recordCount(); }
    // Is there a record at this index? Need not count all records.
    virtual bool hasRecord(qint64 index) const { return index >= 0 && index < recordCount(); }
    virtual void read(qint64 index, Record &rec) const = 0;
    // One field of one record, decoding nothing else (for column scans).
    virtual QVariant readField(qint64 index, int field) const
    {
        Record rec;
        read(index, rec);
        return rec.at(std::size_t(field));
    }
    // The field's value straight from the record's bytes into sink. Returns
    // false, having called nothing, for a field the table leaves to
    // readField() (memos, blobs, times, long decimals, ...).
    virtual bool readFieldTo(qint64 index, int field, FieldSink &sink) const
    {
        (void)index;
        (void)field;
        (void)sink;
        return false;
    }
    // The stored bytes of a text field, without its padding, when the
    // table's code page writes the characters below 0x80 as those bytes (so
    // an ASCII prefix can be checked without converting the text); false
    // for other fields and code pages. An empty view may stand for null.
    virtual bool readAsciiCompatibleText(qint64 index, int field, QByteArrayView &bytes) const
    {
        (void)index;
        (void)field;
        (void)bytes;
        return false;
    }
    // Returns the record's index afterwards: a keyed table moves a record
    // whose key changed to the key's place.
    virtual qint64 update(qint64 index, const Record &rec) = 0;
    virtual qint64 insert(qint64 before, const Record &rec) = 0; // returns the new index
    virtual void remove(qint64 index) = 0;
    // A batch of changes that reach the file all together or not at all (an
    // SQL statement's): after beginBatch(), update/insert/remove may wait
    // in memory, reads see them, commitBatch() writes them and
    // rollbackBatch() drops them. A format that writes each change at once
    // leaves these as they are.
    virtual void beginBatch() { }
    virtual void commitBatch() { }
    virtual void rollbackBatch() { }
    // A stable identity for a record (its physical position for most files).
    virtual qint64 bookmark(qint64 index) const { return index; }
    virtual qint64 indexOfBookmark(qint64 bookmark) const
    {
        return bookmark >= 0 && bookmark < recordCount() ? bookmark : -1;
    }
    // True when a bookmark is the record's position, so that removing or
    // moving a record changes the bookmarks of the records after it.
    virtual bool positionalBookmarks() const { return true; }

    // The indexes the table keeps, with their key counts when countKeys.
    virtual std::vector<IndexInfo> indexes(bool countKeys) const
    {
        (void)countKeys;
        return {};
    }
    // Indexes a reader may search with lookup(), by number.
    virtual std::vector<SearchableIndex> searchableIndexes() const { return {}; }
    // Puts into out the bookmarks of the records (deleted ones included,
    // for formats that index them) whose indexed field may lie in range, in
    // the index's order. It may give more records than match, never fewer:
    // the caller checks each value. False, out untouched, when the index
    // cannot answer for such bounds (a value of another type, text the code
    // page cannot hold, an index found unsound): the caller scans instead.
    virtual bool lookup(int index, const KeyRange &range, std::vector<qint64> &out) const
    {
        (void)index;
        (void)range;
        (void)out;
        return false;
    }
    // True when lookup() gives records in the order SQL sorts the field's
    // values in (NULLs first, text by its UTF-8 bytes), so that an ORDER BY
    // on the field can take it as it is.
    virtual bool indexOrderIsSqlOrder(int index) const
    {
        (void)index;
        return false;
    }
};

class WriterLock;

// How a driver may open a table file: for writing under the writer lock, or
// read-only with the reason a write will be refused.
struct WriteAccess {
    bool readOnly = false;
    QString reason;
    std::unique_ptr<WriterLock> lock;
    WriteAccess();
    WriteAccess(WriteAccess &&) noexcept;
    ~WriteAccess();
};
// Throws EngineError when the file does not exist, or when another writer
// holds the table and it is not opened read-only.
WriteAccess claimWriteAccess(const QString &path, bool readOnly);

// A file beside the table with the table's base name and one of the given
// extensions, in any letter case (tables copied from other systems often
// come as T.DBF + T.DBT); an exact-case match wins. Empty when there is none.
QString companionFile(const QString &tablePath, const QStringList &extensions);

class TableDriver {
public:
    virtual ~TableDriver() = default;
    virtual std::unique_ptr<OpenTable> open(const QString &path, const OpenOptions &options) const = 0;
    // The same with the default options but readOnly (a text table then
    // reads and writes the default forms).
    std::unique_ptr<OpenTable> open(const QString &path, bool readOnly) const;
    // Creates (or replaces, atomically) the table and its companion files.
    virtual void create(const QString &path, const FieldDefs &fields, const CreateOptions &options) const = 0;
    // Removes every record, keeping the structure.
    virtual void empty(const QString &path) const = 0;
    // The table's own files that exist: the data file first, then memo and index files.
    virtual QStringList files(const QString &path) const = 0;
    // Adds an index to the closed table and builds it; a unique index over
    // duplicate keys fails and leaves nothing behind. Throws EngineError.
    virtual void createIndex(const QString &path, const IndexDef &def) const;
    // Removes the index named name (a tag, an index name, or a file-mode
    // index's file name) from the closed table. Throws EngineError.
    virtual void dropIndex(const QString &path, const QString &name) const;
};

} // namespace qvx
