#include "File.h"

#include "../EngineError.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvx {

namespace {

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

class DiskFile : public File {
public:
    DiskFile(int fd, QString path) : m_fd(fd), m_path(std::move(path)) { }
    ~DiskFile() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    QString path() const override { return m_path; }
    qint64 size() const override
    {
        struct stat st { };
        if (::fstat(m_fd, &st) != 0)
            throw EngineError(m_path, QStringLiteral("cannot read its size: %1").arg(systemError(errno)));
        return st.st_size;
    }
    qint64 readAt(qint64 offset, char *data, qint64 len) const override
    {
        qint64 done = 0;
        while (done < len) {
            const ssize_t n = ::pread(m_fd, data + done, std::size_t(len - done), off_t(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw EngineError(m_path, QStringLiteral("read error: %1").arg(systemError(errno)));
            }
            if (n == 0)
                break;
            done += n;
        }
        return done;
    }
    void writeAt(qint64 offset, const char *data, qint64 len) override
    {
        qint64 done = 0;
        while (done < len) {
            const ssize_t n = ::pwrite(m_fd, data + done, std::size_t(len - done), off_t(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw EngineError(m_path, QStringLiteral("write error: %1").arg(systemError(errno)));
            }
            done += n;
        }
    }
    void truncate(qint64 size) override
    {
        if (::ftruncate(m_fd, off_t(size)) != 0)
            throw EngineError(m_path, QStringLiteral("cannot change its size: %1").arg(systemError(errno)));
    }
    void sync() override
    {
        if (::fsync(m_fd) != 0)
            throw EngineError(m_path, QStringLiteral("cannot flush it to disk: %1").arg(systemError(errno)));
    }

private:
    int m_fd;
    QString m_path;
};

void syncDirectoryOf(const QString &path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // best effort: some file systems refuse to sync a folder
        ::close(fd);
    }
}

} // namespace

void File::readExact(qint64 offset, char *data, qint64 len, const char *what) const
{
    if (offset < 0 || len < 0 || readAt(offset, data, len) != len)
        throw EngineError(path(), QStringLiteral("%1 is cut short").arg(QLatin1String(what)));
}

QByteArray File::readBytes(qint64 offset, qint64 len) const
{
    if (offset < 0 || len <= 0)
        return {};
    const qint64 available = size() - offset;
    if (available <= 0)
        return {};
    QByteArray out(qsizetype(std::min(len, available)), Qt::Uninitialized);
    out.resize(qsizetype(readAt(offset, out.data(), out.size())));
    return out;
}

std::unique_ptr<File> openDiskFile(const QString &path, OpenMode mode)
{
    const QByteArray name = QFile::encodeName(path);
    const int flags = (mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw EngineError(path, QStringLiteral("the file does not exist"));
        throw EngineError(path, QStringLiteral("cannot open it: %1").arg(systemError(err)));
    }
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw EngineError(path, QStringLiteral("is a folder, not a file"));
    }
    return std::make_unique<DiskFile>(fd, path);
}

// ---- MemoryFile ------------------------------------------------------------

qint64 MemoryFile::readAt(qint64 offset, char *data, qint64 len) const
{
    if (offset < 0 || offset >= m_data.size() || len <= 0)
        return 0;
    const qint64 n = std::min<qint64>(len, m_data.size() - offset);
    std::memcpy(data, m_data.constData() + offset, std::size_t(n));
    return n;
}

void MemoryFile::writeAt(qint64 offset, const char *data, qint64 len)
{
    if (m_writeBudget >= 0) {
        if (len > m_writeBudget) {
            m_writeBudget = 0;
            throw EngineError(m_path, QStringLiteral("write error: No space left on device"));
        }
        m_writeBudget -= len;
    }
    if (offset + len > m_data.size())
        m_data.resize(qsizetype(offset + len), '\0');
    std::memcpy(m_data.data() + offset, data, std::size_t(len));
}

void MemoryFile::truncate(qint64 size)
{
    m_data.resize(qsizetype(size), '\0');
}

// ---- AtomicFileWriter ------------------------------------------------------

bool identifyFile(const QString &path, FileIdentity &id)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    id.path = QFileInfo(path).absoluteFilePath();
    id.size = st.st_size;
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.inode = quint64(st.st_ino);
    return true;
}

bool isReadOnlyOnDisk(const QString &path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (::geteuid() == 0)
        return (st.st_mode & 0222) == 0;
    return ::access(QFile::encodeName(path).constData(), W_OK) != 0;
}

void checkReplaceable(const QString &path)
{
    if (isReadOnlyOnDisk(path))
        throw EngineError(path, QStringLiteral("the file is read-only on disk; it was not replaced"));
}

QString atomicTempPrefix(const QString &fileName)
{
    return u'.' + fileName + QLatin1String(".qvx-");
}

void removeStaleTempFiles(const QString &path)
{
    const QFileInfo info(path);
    const QString prefix = atomicTempPrefix(info.fileName());
    QDir dir = info.absoluteDir();
    const QStringList entries
        = dir.entryList({ prefix + QStringLiteral("??????") }, QDir::Files | QDir::Hidden);
    for (const QString &entry : entries) {
        if (entry.size() == prefix.size() + 6)
            dir.remove(entry);
    }
}

AtomicFileWriter::AtomicFileWriter(const QString &targetPath) : m_target(targetPath)
{
    checkReplaceable(targetPath);
    const QFileInfo info(targetPath);
    // Hidden, and named so that no table listing mistakes it for a table.
    QByteArray templ = QFile::encodeName(info.absolutePath() + u'/' + atomicTempPrefix(info.fileName())
                                         + QLatin1String("XXXXXX"));
    const int fd = ::mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0)
        throw EngineError(targetPath,
                          QStringLiteral("cannot write a new version of it in %1: %2")
                              .arg(QDir::toNativeSeparators(info.absolutePath()), systemError(errno)));
    m_tempPath = QFile::decodeName(templ);
    // Keep the permissions of the file being replaced.
    struct stat st { };
    if (::stat(QFile::encodeName(targetPath).constData(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else
        ::fchmod(
            fd, 0666 & ~[] {
                mode_t m = ::umask(0);
                ::umask(m);
                return m;
            }());
    // Named after the target: the hidden file means nothing to whoever reads
    // an error about it.
    m_file = std::make_unique<DiskFile>(fd, m_target);
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed) {
        m_file.reset();
        ::unlink(QFile::encodeName(m_tempPath).constData());
    }
}

void AtomicFileWriter::commit()
{
    m_file->sync();
    m_file.reset();
    if (::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_target).constData()) != 0)
        throw EngineError(m_target, QStringLiteral("cannot replace it: %1").arg(systemError(errno)));
    m_committed = true;
    syncDirectoryOf(m_target);
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    AtomicFileWriter writer(path);
    writer.file().writeBytes(0, bytes);
    writer.commit();
}

// ---- WriterLock ------------------------------------------------------------

WriterLock::WriterLock(const QString &path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        throw EngineError(path, QStringLiteral("cannot open it for writing: %1").arg(systemError(errno)));
    struct flock lock { };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    // Lock a byte far past any real table size: readers of other programs
    // that lock records are not disturbed, and every writer of ours meets it.
    lock.l_start = 0x7FFFFFFF00LL;
    lock.l_len = 1;
    if (::fcntl(m_fd, F_OFD_SETLK, &lock) != 0) {
        const int err = errno;
        ::close(m_fd);
        m_fd = -1;
        if (err == EAGAIN || err == EACCES)
            throw EngineError(path, QStringLiteral("the table is in use by another program or window"));
        throw EngineError(path, QStringLiteral("cannot lock it: %1").arg(systemError(err)));
    }
}

WriterLock::~WriterLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the description releases its lock
}

TableFilesLock::TableFilesLock(const QStringList &paths)
{
    for (const QString &path : paths) {
        const QByteArray name = QFile::encodeName(path);
        if (::access(name.constData(), F_OK) != 0 || ::access(name.constData(), W_OK) != 0)
            continue;
        m_locks.push_back(std::make_unique<WriterLock>(path));
    }
}

TableFilesLock::~TableFilesLock() = default;

} // namespace qvx
