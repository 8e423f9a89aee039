// The tiny file interface every format reads and writes through, so that
// tests and fuzz targets can run a format on memory and inject short reads
// and failed writes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace qvx {

class File {
public:
    virtual ~File() = default;
    virtual QString path() const = 0;
    virtual qint64 size() const = 0;
    // Reads up to len bytes at offset; returns how many it read (short at end
    // of file). Throws EngineError on an I/O error.
    virtual qint64 readAt(qint64 offset, char *data, qint64 len) const = 0;
    // Writes all len bytes at offset, growing the file; throws on failure.
    virtual void writeAt(qint64 offset, const char *data, qint64 len) = 0;
    virtual void truncate(qint64 size) = 0;
    // Makes what was written durable (fsync for real files).
    virtual void sync() = 0;

    // Reads exactly len bytes or throws EngineError "<path>: <what> is cut short".
    void readExact(qint64 offset, char *data, qint64 len, const char *what) const;
    QByteArray readBytes(qint64 offset, qint64 len) const; // may be short
    void writeBytes(qint64 offset, const QByteArray &bytes)
    {
        writeAt(offset, bytes.constData(), bytes.size());
    }
};

enum class OpenMode { ReadOnly, ReadWrite };

// A file on disk. Throws EngineError naming the path when it cannot be opened.
std::unique_ptr<File> openDiskFile(const QString &path, OpenMode mode);

// A file in memory, for tests and fuzzing.
class MemoryFile : public File {
public:
    explicit MemoryFile(QByteArray data = {}, QString path = QStringLiteral("<memory>"))
        : m_data(std::move(data)), m_path(std::move(path))
    {
    }
    QString path() const override { return m_path; }
    qint64 size() const override { return m_data.size(); }
    qint64 readAt(qint64 offset, char *data, qint64 len) const override;
    void writeAt(qint64 offset, const char *data, qint64 len) override;
    void truncate(qint64 size) override;
    void sync() override { }
    const QByteArray &data() const { return m_data; }
    // Fault injection: writes fail once this many bytes have been written.
    void failWritesAfter(qint64 bytes) { m_writeBudget = bytes; }

private:
    QByteArray m_data;
    QString m_path;
    qint64 m_writeBudget = -1;
};

// What tells one version of a file from another without reading it: what
// is remembered about a file (its keys, its live records) holds while this
// stays the same.
struct FileIdentity {
    QString path; // absolute
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity &) const = default;
};
// False when the file cannot be looked at.
bool identifyFile(const QString &path, FileIdentity &id);

// True when the file exists and its permission bits forbid writing it. The
// bits are what counts, not whether this process could write anyway (root
// can), so that a file someone made read-only is left alone.
bool isReadOnlyOnDisk(const QString &path);

// Throws EngineError "<path>: the file is read-only on disk; it was not
// replaced" when isReadOnlyOnDisk(path).
void checkReplaceable(const QString &path);

// Writes a whole new version of a file beside it and puts it in place by
// rename, so that a crash leaves the old file or the new one, never half of
// either. Without commit() the temporary file is removed. The new file keeps
// the mode bits of the one it replaces; a file read-only on disk is refused
// (checkReplaceable). Errors name the target, never the hidden temporary file.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(const QString &targetPath);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    File &file() { return *m_file; } // its path() is the target's
    QString tempPath() const { return m_tempPath; }
    // Flushes the new file, renames it over the target and flushes the folder.
    void commit();

private:
    QString m_target;
    QString m_tempPath;
    std::unique_ptr<File> m_file;
    bool m_committed = false;
};

// Writes bytes to path atomically (see AtomicFileWriter).
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// The prefix and suffix of AtomicFileWriter's temporary files: for "t.txt",
// ".t.txt.qvx-" followed by six random characters.
QString atomicTempPrefix(const QString &fileName);

// Removes temporary files of ours left beside path by a writer that was
// stopped before it could commit or clean up. Only for a table that is held
// under its writer lock: a live writer of that table would be using them.
void removeStaleTempFiles(const QString &path);

// An exclusive writer's lock on a table file, held while it is open for
// writing. It is an open-file-description lock, so a second writer in this
// process conflicts just as one in another process does. Readers take none.
class WriterLock {
public:
    // Throws EngineError "<path>: the table is in use by another program or
    // window" when another writer holds it.
    explicit WriterLock(const QString &path);
    ~WriterLock();
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;

private:
    int m_fd = -1;
};

// Writer locks on all the files of a table that is about to be replaced or
// removed (data, memo, index), so that a window or program writing it is
// not left writing into a file that is gone. Throws the "in use" error of
// the first one held elsewhere. A file nobody can open for writing is
// skipped: no writer can hold it either.
class TableFilesLock {
public:
    explicit TableFilesLock(const QStringList &paths);
    ~TableFilesLock();
    TableFilesLock(const TableFilesLock &) = delete;
    TableFilesLock &operator=(const TableFilesLock &) = delete;

private:
    std::vector<std::unique_ptr<WriterLock>> m_locks;
};

} // namespace qvx
