// An open text table: records read on demand by index, through the record
// starts found once on open. Text records have no fixed length, so a
// change cannot be written in place: every update, insert and remove
// writes a whole new data file and puts it in place by rename.
#pragma once

#include "AsciiData.h"
#include "AsciiSchema.h"

#include "../../io/File.h"
#include "../TableFormat.h"

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

    const FieldDefs &fields() const override { return m_fields; }
    TableInfo info() const override;
    bool readOnly() const override { return !m_readOnlyReason.isEmpty(); }
    QString readOnlyReason() const override { return m_readOnlyReason; }
    qint64 recordCount() const override { return qint64(m_starts.size()); }
    void read(qint64 index, Record &rec) const override;
    qint64 update(qint64 index, const Record &rec) override;
    // A text record can go anywhere: insert() puts it before `before`
    // (at the end when before is the record count or out of range).
    qint64 insert(qint64 before, const Record &rec) override;
    void remove(qint64 index) override;

    const File &dataFile() const { return *m_file; }

private:
    qint64 recordEnd(qint64 index) const; // past its line break
    QByteArray recordLine(qint64 index) const; // without its line break
    QByteArray encode(const Record &rec) const;
    // Writes a new data file: the old one with bytes [from, to) replaced.
    void rewrite(qint64 from, qint64 to, const QByteArray &replacement);
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

    // Neighbouring records are read in one go, so a scan costs one read per
    // window, not per record.
    mutable QByteArray m_window;
    mutable qint64 m_windowStart = 0;
};

} // namespace qvx::ascii
