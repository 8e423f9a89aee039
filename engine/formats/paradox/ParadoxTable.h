// An open Paradox table: records reached by index through the chain of data
// blocks, whose record counts are mapped as far as they are needed.
#pragma once

#include "ParadoxBlob.h"
#include "ParadoxHeader.h"
#include "ParadoxSecondary.h"

#include "../../io/File.h"
#include "../TableFormat.h"
#include "../common/CodePage.h"

#include <memory>
#include <string>
#include <vector>

namespace qvx::paradox {

class ParadoxTable : public OpenTable {
public:
    // readOnlyReason, when not empty, makes the table read-only and is the
    // text of the error a write raises. lock is held while the table is open.
    // A keyed table open for writing keeps its primary index in px; when px
    // is null the index is made at pxPath on the first write (in memory
    // when pxPath is empty).
    ParadoxTable(std::unique_ptr<File> db, std::unique_ptr<File> mb, Header header, QString readOnlyReason,
                 std::unique_ptr<WriterLock> lock, std::unique_ptr<File> px = nullptr, QString pxPath = {},
                 QString codePage = {}); // codePage, a converter name, overrides the header's
    ~ParadoxTable() override;

    const FieldDefs &fields() const override { return m_fields; }
    TableInfo info() const override;
    bool readOnly() const override { return !m_readOnlyReason.isEmpty(); }
    QString readOnlyReason() const override { return m_readOnlyReason; }
    qint64 recordCount() const override;
    // The header's count: the planner needs a size, not a walk of the chain.
    qint64 estimatedRecordCount() const override { return qint64(m_header.numRecords); }
    bool hasRecord(qint64 index) const override;
    void read(qint64 index, Record &rec) const override;
    QVariant readField(qint64 index, int field) const override;
    bool readFieldTo(qint64 index, int field, FieldSink &sink) const override;
    bool readAsciiCompatibleText(qint64 index, int field, QByteArrayView &bytes) const override;
    qint64 update(qint64 index, const Record &rec) override;
    qint64 insert(qint64 before, const Record &rec) override;
    void remove(qint64 index) override;

    std::vector<IndexInfo> indexes(bool countKeys) const override;
    // Secondary indexes are written once for a batch, when it ends.
    void beginBatch() override;
    void commitBatch() override;
    void rollbackBatch() override;

    const Header &header() const { return m_header; }

    // A secondary index of the table and its files. A writable table keeps
    // the maintained ones up to date and marks the others stale.
    struct Secondary {
        QString xPath;
        QString yPath;
        SecondaryIndex index; // read without its records
    };
    void setSecondaryIndexes(std::vector<Secondary> secondary) { m_secondary = std::move(secondary); }
    // Every record with its data block, in table order.
    std::vector<SourceRecord> sourceRecords() const;
    const common::TextCodec &codec() const { return m_codec; }

private:
    struct BlockEntry {
        int block = 0;
        qint64 first = 0; // index of its first record
        int count = 0;
        QByteArray firstKey; // keyed tables open for writing only
    };

    // Maps the next block of the chain; false when the chain has ended.
    bool mapNextBlock() const;
    void mapAll() const;
    // A reader starts mapping again when another writer changed the table.
    void followFile() const;
    // The mapped block that holds a record (mapping more as needed).
    std::size_t entryOf(qint64 index) const;
    const char *recordBytes(qint64 index) const;
    void dropCache() const; // after any write: the read-ahead no longer says what the file holds
    QVariant decodeField(const Field &f, const char *p, qint64 index) const;
    QByteArray encodeRecord(const Record &rec, const char *old, bool inserting);
    void checkWritable() const;
    void catchUpAutoInc();
    struct Links {
        int next = 0;
        int prev = 0;
    };
    Links linksOf(int block) const;
    QByteArray blockRecords(const BlockEntry &e) const;
    void writeBlockHeader(int block, int next, int prev, int count);
    // A block for new records: a free one, or one added at the end of the
    // file (the caller links it in).
    int newBlock();
    // Recomputes the first record of the mapped blocks from this one on.
    void renumberFrom(std::size_t entry);
    void writeCounts();
    // Puts encoded records in place at an index / takes one out; the block
    // chain, counts and (for keyed tables) the primary index follow.
    void insertBytes(qint64 pos, const QByteArray &record);
    void removeAt(qint64 index);
    // Where a key belongs among the records, and whether a record has it.
    qint64 keyPosition(const char *key, bool *found) const;
    void setFirstKey(BlockEntry &e, const QByteArray &records) const;
    void writeIndex();
    // After a change: rewrites the maintained secondary indexes (at the end
    // of a batch, when one is open) and marks the others stale.
    void secondaryChanged();
    // Refuses a record whose value a unique secondary index holds already
    // (for another record than the one at index `self`, when updating).
    void checkUniqueSecondary(const QByteArray &record, qint64 self) const;
    void writeSecondary();
    [[noreturn]] void keyViolation() const;
    [[noreturn]] void fail(const QString &what) const;

    std::unique_ptr<File> m_file;
    std::unique_ptr<BlobFile> m_blobs;
    mutable Header m_header; // counts change as a reader follows another writer
    QString m_readOnlyReason;
    std::unique_ptr<WriterLock> m_lock;
    common::TextCodec m_codec;
    bool m_codePageOverridden = false;
    FieldDefs m_fields;

    mutable int m_lastUsableBlock = 0; // the highest block number the file has room for
    mutable std::vector<BlockEntry> m_blocks;
    mutable std::vector<bool> m_visited;
    mutable int m_nextToMap = 0; // 0 once the whole chain is mapped
    mutable qint64 m_mapped = 0; // records in the mapped blocks
    // The records of the block read last, so that a scan reads each block once.
    mutable int m_cachedBlock = 0;
    mutable qint64 m_cachedFirst = 0; // index of its first record
    mutable int m_cachedCount = 0;
    mutable const char *m_cachedRecords = nullptr;
    // m_cache holds the mapped blocks m_windowFirst.. (m_windowEntries of
    // them), which lie one after another in the file; valid while
    // m_cachedBlock is not 0.
    mutable std::size_t m_windowFirst = 0;
    mutable std::size_t m_windowEntries = 0;
    mutable qint64 m_followedSize = 0;
    mutable qint64 m_cacheFrom = -1; // file offset of m_cache; -1 when it holds nothing valid
    mutable qint64 m_knownSize = 0; // the file's size when last asked (it only grows while open)
    bool m_autoIncChecked = false;
    int m_keyLength = 0; // key bytes at the start of a record, when keyed and writable
    std::unique_ptr<File> m_px;
    QString m_pxPath;
    std::vector<Secondary> m_secondary;
    int m_batchDepth = 0;
    bool m_secondaryDirty = false;
    mutable QByteArray m_cache;
    mutable std::string m_text; // text converted for readFieldTo()
};

// The converter name for a header's code page number (0: none given).
QString codePageName(int codePage);
// The number to write for a converter name, or 0 when it has none.
int codePageNumber(const QString &name);

} // namespace qvx::paradox
