// An open text table: records read on demand by index, through the record
// starts found once on open. Text records have no fixed length, so a
// change cannot be written in place: every update, insert and remove
// writes a whole new data file and puts it in place by rename. In a batch
// the changes wait in memory and the commit writes the file once.
//
// A value no form reads is read as null (warnings() names it), and a write
// never turns it into an empty one: a value a change leaves as it read is
// written back as it stood in the file, character for character.
#pragma once

#include "AsciiData.h"
#include "AsciiSchema.h"

#include "../../io/File.h"
#include "../TableFormat.h"

#include <functional>
#include <memory>
#include <vector>

namespace qvx::ascii {

class AsciiTable : public OpenTable {
public:
    // readOnlyReason, when not empty, makes the table read-only and is the
    // text of the error a write raises. lock is held while the table is open
    // for writing. With onDisk false (tests, fuzzing) a write replaces the
    // memory file instead of the file on disk.
    AsciiTable(std::unique_ptr<File> data, Schema schema, QString readOnlyReason,
               std::unique_ptr<WriterLock> lock, bool onDisk, TextForms forms = defaultTextForms());
    ~AsciiTable() override;

    const FieldDefs &fields() const override { return m_fields; }
    TableInfo info() const override;
    bool readOnly() const override { return !m_readOnlyReason.isEmpty(); }
    QString readOnlyReason() const override { return m_readOnlyReason; }
    QStringList warnings() const override { return m_warnings; }
    qint64 recordCount() const override;
    void read(qint64 index, Record &rec) const override;
    qint64 update(qint64 index, const Record &rec) override;
    // A text record can go anywhere: insert() puts it before `before`
    // (at the end when before is the record count or out of range).
    qint64 insert(qint64 before, const Record &rec) override;
    void remove(qint64 index) override;
    // Changes from beginBatch() on wait in memory; commitBatch() writes them
    // in one new data file, rollbackBatch() drops them. A batch begun twice
    // is one batch.
    void beginBatch() override;
    void commitBatch() override;
    void rollbackBatch() override;

    const File &dataFile() const { return *m_file; }
    // How many data files text tables have written in this process, for
    // tests that count rewrites.
    static qint64 rewriteCount();

private:
    struct Batch;
    qint64 recordEnd(qint64 index) const; // past its line break
    QByteArray recordLine(qint64 index) const; // without its line break
    // The line of the record at index as the table holds it now (in a
    // batch, perhaps a changed one), without its line break.
    QByteArray currentLine(qint64 index) const;
    Record decodeLine(qint64 index, const QByteArray &line, std::vector<RawValue> *raw) const;
    Record held(const Record &rec) const; // values in the fields' held forms
    QByteArray encodeHeld(const Record &values, const KeptValues *kept) const;
    QByteArray encode(const Record &rec) const { return encodeHeld(held(rec), nullptr); }
    // The new line for the record at index: what rec changes, and the other
    // values as they stand.
    QByteArray encodeChange(qint64 index, const Record &rec) const;
    void warn(const QString &what) const;
    // Writes a new data file: the old one with bytes [from, to) replaced.
    void rewrite(qint64 from, qint64 to, const QByteArray &replacement);
    // Puts a data file that fill writes in place of the current one.
    void replaceFile(const std::function<void(File &)> &fill);
    // Copies bytes [begin, end) of the data file to out at `at`.
    void copyBytes(File &out, qint64 at, qint64 begin, qint64 end) const;
    bool endsWithLineBreak() const;
    void checkIndex(qint64 index) const;
    void checkWritable() const;
    [[noreturn]] void failAt(qint64 index, const QString &what) const;

    std::unique_ptr<File> m_file;
    Schema m_schema;
    QString m_readOnlyReason;
    std::unique_ptr<WriterLock> m_lock;
    bool m_onDisk;
    TextCodec m_codec;
    TextForms m_forms; // how dates, times and numbers are written
    FieldDefs m_fields;
    std::vector<qint64> m_starts;
    std::unique_ptr<Batch> m_batch;
    mutable QStringList m_warnings;

    // Neighbouring records are read in one go, so a scan costs one read per
    // window, not per record.
    mutable QByteArray m_window;
    mutable qint64 m_windowStart = 0;
};

} // namespace qvx::ascii
