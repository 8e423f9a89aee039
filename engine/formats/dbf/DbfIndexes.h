// The index files of one dbf table: the production (.mdx) or structural
// (.cdx) index its header flags, and the single-index files (.ndx, .ntx,
// .idx, or a separate .mdx/.cdx) its .inf file lists. They are read when the
// table opens, kept up to date as records change, and searched by SQL.
//
// Keeping up to date: each change of a record turns into the entries it
// removes and adds in every tag; they wait in memory and are merged into the
// tag's sorted keys when the files are written, which is once per change
// outside a batch and once per batch inside one. A file is written whole,
// beside the old one, and put in place by rename. Between a record's write
// and its index files' write a marker in the user's data folder says that
// the indexes may lag the table: a table opened for writing with its marker
// still there gets its indexes rebuilt from its records.
#pragma once

#include "DbfHeader.h"

#include "../../index/IndexFormats.h"
#include "../../index/KeyExpression.h"
#include "../TableFormat.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace qvx::common {
class TextCodec;
}

namespace qvx::dbf {

// What the indexes read records from: the table's physical records, deleted
// ones included (dBASE and FoxPro index those too).
class RecordSource {
public:
    virtual qint64 physicalRecordCount() const = 0;
    // The record's bytes (deletion flag first), valid until the next call.
    virtual const char *physicalRecord(qint64 physical) const = 0;

protected:
    ~RecordSource() = default;
};

class DbfIndexes {
public:
    // Finds the table's index files and reads their tags. A file that
    // cannot be read or a tag whose expression cannot be evaluated is a
    // problem(): the table must then stay read-only.
    DbfIndexes(const QString &tablePath, const Header &header, const common::TextCodec &codec,
               const RecordSource &records);
    ~DbfIndexes();
    DbfIndexes(const DbfIndexes &) = delete;
    DbfIndexes &operator=(const DbfIndexes &) = delete;

    bool empty() const { return m_files.empty(); }
    QString problem() const { return m_problem; }
    QStringList warnings() const { return m_warnings; }

    // For a table open for writing: indexes a change never finished
    // writing are rebuilt from the records (with a warning).
    void recover();
    // A record is about to be written: oldRecord is null for a new one.
    // Throws EngineError when an index cannot be read to take the change.
    void change(std::uint32_t recno, const char *oldRecord, const char *newRecord);
    // The record write that change() announced failed: the indexes are
    // rebuilt from the records at the next flush().
    void changeFailed();
    // Writes the index files that changed and clears the marker.
    void flush();
    bool pending() const { return m_pending; }

    std::vector<IndexInfo> infos(bool countKeys) const;
    // Tags over one field, searchable by lookup(): the field as the
    // descriptor's index in the header.
    struct Searchable {
        int descriptor = -1;
        bool unique = false;
        QString name;
    };
    std::vector<Searchable> searchable() const;
    bool lookup(int searchable, const KeyRange &range, std::vector<qint64> &out) const;
    // Is the tag's key order SQL's order of its field's values?
    bool orderedLikeSql(int searchable) const;

    // Adds an index and writes its file; the table's records are read
    // through the record source. Throws EngineError, leaving the files as
    // they were, when the definition cannot be built (a unique index over
    // equal keys among the records). True when the index is the first tag
    // of a new production index: the caller sets the table's flag.
    // A table whose header does not say whether it is dBASE or FoxPro
    // (version 0x03) gets a .cdx when foxPro, else an .mdx.
    bool create(const IndexDef &def, bool foxPro);
    // Removes the index called name (a tag, or a single index file's name),
    // and the production index file with its last tag: then true, and the
    // caller clears the table's flag.
    bool drop(const QString &name);
    // Every index file the table's header and .inf file name that exists,
    // the .inf file itself last.
    static QStringList files(const QString &tablePath, const Header &header);
    // Writes the marker before a change the caller makes to the table
    // file itself (emptying it).
    void markPending();
    // Replaces every tag's keys with those of no records (an emptied table).
    void clearAll();

private:
    struct Tag;
    struct IndexFile;
    void openFile(const QString &path, index::IndexKind kind, bool production);
    void load(IndexFile &file) const; // reads the keys, checks them, applies pending changes
    void ensureLoaded() const;
    // A searchable tag, read, sound and with its pending changes merged; null
    // when it cannot be searched.
    Tag *searchableTag(int searchable) const;
    bool isSearchable(const Tag &tag) const;
    void rebuild(IndexFile &file) const;
    bool keyOf(const Tag &tag, const char *record, QByteArray &key) const;
    void writeMarker();
    void clearMarker();
    QString markerPath() const;
    // Keys read or written lately (see the cache in the .cpp file), and
    // which tags agreed with the table when it had checkedCount records.
    struct CachedIndex {
        std::vector<std::shared_ptr<const index::KeyList>> keys;
        qint64 checkedCount = -1;
        std::vector<char> sound;
    };
    static CachedIndex cachedKeys(const QString &path, std::size_t tags);
    static void cacheKeys(const QString &path, const CachedIndex &index);

    QString m_tablePath;
    const Header &m_header; // the table's, kept current by it
    const common::TextCodec &m_codec;
    const RecordSource &m_records;
    std::vector<index::ExprField> m_fields;
    mutable std::vector<IndexFile> m_files;
    QString m_problem;
    mutable QStringList m_warnings;
    bool m_pending = false; // the marker is written; changes wait to be flushed
};

} // namespace qvx::dbf
