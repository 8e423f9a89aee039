// An open dbf table: records read on demand by index among the live (not
// deleted) records, and written in place.
#pragma once

#include "DbfCodePage.h"
#include "DbfHeader.h"
#include "DbfIndexes.h"
#include "DbfMemo.h"
#include "DbfValues.h"

#include "../../io/File.h"
#include "../TableFormat.h"

#include <memory>
#include <vector>

namespace qvx::dbf {

class DbfTable : public OpenTable, private RecordSource {
public:
    // readOnlyReason, when not empty, makes the table read-only and is the
    // text of the error a write raises. lock is held while the table is open.
    // codePage is what its text reads in (chooseCodePage()).
    DbfTable(std::unique_ptr<File> dbf, std::unique_ptr<File> memo, Header header, QString readOnlyReason,
             std::unique_ptr<WriterLock> lock, CodePageChoice codePage);
    ~DbfTable() override;

    const FieldDefs &fields() const override { return m_fields; }
    TableInfo info() const override;
    bool readOnly() const override { return !m_readOnlyReason.isEmpty(); }
    QString readOnlyReason() const override { return m_readOnlyReason; }
    QStringList warnings() const override { return m_warnings + m_indexes->warnings(); }
    qint64 recordCount() const override;
    bool hasRecord(qint64 index) const override;
    qint64 estimatedRecordCount() const override { return m_physicalCount; }
    void read(qint64 index, Record &rec) const override;
    QVariant readField(qint64 index, int field) const override;
    bool readFieldTo(qint64 index, int field, FieldSink &sink) const override;
    bool readAsciiCompatibleText(qint64 index, int field, QByteArrayView &bytes) const override;
    qint64 update(qint64 index, const Record &rec) override;
    // Records of a dbf lie in physical order and a new one can only go at
    // the end: insert() appends wherever it is asked to put the record.
    qint64 insert(qint64 before, const Record &rec) override;
    void remove(qint64 index) override;
    // Records are written at once, batch or not; within a batch the header's
    // date of last update is written once, at its end (a record count that
    // changes is written at once, so the file always counts what it holds).
    void beginBatch() override { m_inBatch = true; }
    void commitBatch() override { endBatch(); }
    void rollbackBatch() override { endBatch(); }
    qint64 bookmark(qint64 index) const override { return physicalOf(index); }
    qint64 indexOfBookmark(qint64 bookmark) const override;
    bool positionalBookmarks() const override { return false; }
    std::vector<IndexInfo> indexes(bool countKeys) const override;
    std::vector<SearchableIndex> searchableIndexes() const override;
    bool lookup(int index, const KeyRange &range, std::vector<qint64> &out) const override;
    bool indexOrderIsSqlOrder(int index) const override;

    // Adds an index (see DbfIndexes::create), setting the table's
    // production index flag with its first tag.
    void createIndex(const IndexDef &def, bool foxPro);
    // Removes one, clearing the flag with the production index's last tag.
    void dropIndex(const QString &name);

    // The number of physical records, deleted ones included.
    qint64 physicalCount() const { return m_physicalCount; }
    const Header &header() const { return m_header; }

    // Live records are counted per block of this many physical records.
    static constexpr qint64 kBlockRecords = 4096;
    // Values that could not be read are listed up to this many.
    static constexpr qsizetype kMaxWarnings = 100;

private:
    qint64 physicalRecordCount() const override { return m_physicalCount; }
    // The place among DbfIndexes::searchable() of searchable index n; -1 for none.
    int searchableTag(int index) const;
    std::vector<int> searchableColumns() const;
    const char *physicalRecord(qint64 physical) const override { return recordBytes(physical); }
    // The live record counts another table over the same unchanged file
    // found (after countRecords()), and keeping this table's for the next.
    void adoptLiveCounts();
    void keepLiveCounts() const;
    // Writes the table's flags byte (the production index flag).
    void writeTableFlags(std::uint8_t flags);
    // A record write with the indexes told before it and written after it
    // (at once, or at the end of the batch).
    template<typename Write>
    void writeIndexed(std::uint32_t recno, const char *oldRecord, const char *newRecord, Write write);

    // Sets the physical record count from the file; a count in the header
    // that disagrees makes the table read-only.
    void countRecords();
    // The first record in [first, last) that begins with the end mark, or last.
    qint64 endMark(qint64 first, qint64 last) const;
    // Something wrong with the table as a whole: a warning, and the reason
    // the table is read-only unless it has one already.
    void addProblem(const QString &what);
    // A value that could not be read (and reads as null).
    void warn(const QString &what) const;
    qint64 physicalOf(qint64 index) const;
    qint64 recordOffset(qint64 physical) const
    {
        return qint64(m_header.headerLength) + physical * m_header.recordLength;
    }
    // Counts the live records of the next unscanned block; false when all are.
    bool scanNextBlock() const;
    // A reader follows records another writer appended (or a table that was
    // emptied) when it is asked for the record count.
    void followFile() const;
    QByteArray readFlags(qint64 first, qint64 count) const;
    qint64 blockCount() const { return (m_physicalCount + kBlockRecords - 1) / kBlockRecords; }

    // The bytes of a record through a window of neighbouring records read
    // in one go, so that a scan costs one read per window, not per record.
    const char *recordBytes(qint64 physical) const;
    void dropWindow() const
    {
        m_windowCount = 0;
        m_lastLive = -1;
    }
    // recordBytes() of the live record at index; a scan asks for each field
    // of a record in turn, and the record is looked up once.
    const char *liveRecordBytes(qint64 index) const
    {
        if (index != m_lastLive) {
            m_lastLiveBytes = recordBytes(physicalOf(index));
            m_lastLive = index;
        }
        return m_lastLiveBytes;
    }
    // Bytes just written to a record, copied into the window when it holds
    // that record, so that the next read need not go to the file.
    void patchWindow(qint64 physical, qsizetype offset, const char *bytes, qsizetype size);
    QVariant decodeColumn(const Column &c, const char *record, const char *nullFlags, qint64 index) const;
    bool bit(const char *nullFlags, int bit) const;
    QByteArray encodeRecord(const Record &rec, const QByteArray &old, bool inserting);
    void checkWritable() const;
    void touchHeader(); // date of last update and record count
    void recordChanged(); // the header's date, now or at the end of the batch
    void endBatch();
    QDate today(); // the date, looked up at most once a second
    [[noreturn]] void fail(const QString &what) const;

    std::unique_ptr<File> m_file;
    std::unique_ptr<MemoFile> m_memo;
    Header m_header;
    QString m_readOnlyReason;
    std::unique_ptr<WriterLock> m_lock;
    common::TextCodec m_codec;
    CodePageSource m_codePageSource;
    std::vector<Column> m_columns;
    FieldDefs m_fields;
    int m_nullFlags = -1; // descriptor index of _NullFlags
    mutable qint64 m_physicalCount = 0;
    bool m_followsFile = true; // false when the header count is not to be trusted
    mutable QStringList m_warnings;
    std::vector<int> m_pendingAutoInc; // descriptors whose next value changed
    bool m_inBatch = false;
    bool m_dateStale = false; // a record changed in the batch; the header's date is not written yet
    QDate m_today;
    qint64 m_todayAt = -1; // the second m_today was looked up in

    // m_liveBefore[k] = live records in blocks 0..k-1, for the blocks scanned
    // so far (so its size is one more than the number of scanned blocks).
    mutable std::vector<qint64> m_liveBefore { 0 };
    // The deleted records of each scanned block, as offsets within it in
    // ascending order (most blocks have none).
    mutable std::vector<std::vector<std::uint16_t>> m_deletedIn;
    mutable QByteArray m_window;
    mutable qint64 m_windowFirst = 0;
    mutable qint64 m_windowCount = 0;
    // The last record liveRecordBytes() found, while the window holds it and
    // no record was added or removed; -1 for none.
    mutable qint64 m_lastLive = -1;
    mutable const char *m_lastLiveBytes = nullptr;
    mutable std::string m_text; // text converted for readFieldTo()
    std::unique_ptr<DbfIndexes> m_indexes;
    FileIdentity m_identity; // the file when it was opened
    bool m_writeFailed = false; // a write threw: what this table counted may be wrong
};

} // namespace qvx::dbf
