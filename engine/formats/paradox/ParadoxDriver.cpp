#include "ParadoxDriver.h"

#include "ParadoxHeader.h"
#include "ParadoxTable.h"
#include "ParadoxValues.h"

#include "../../EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qvx {

namespace {

using namespace paradox;

// Why a table that was asked for writing is read-only, or an empty string.
QString keyedReason(const Header &h)
{
    if (h.fileType == kKeyedTable)
        return QStringLiteral("the table is keyed, and this program does not keep its primary index (.px) "
                              "up to date yet; the table is open read-only");
    return {};
}

// Paradox field names are at most 25 characters; each type has its sizes.
Header planTable(const QString &path, const FieldDefs &fields, const CreateOptions &options)
{
    if (options.version != 0 && options.version != kVersion7)
        throw EngineError(path, QStringLiteral("only Paradox 7 tables can be created"));
    Header h;
    h.fileType = kUnkeyedTable;
    h.fileVersion = kVersion7;
    h.autoInc = 1;
    h.codePage = 1252;
    if (!options.codePage.isEmpty()) {
        h.codePage = codePageNumber(options.codePage);
        if (h.codePage == 0)
            throw EngineError(path, QStringLiteral("the code page %1 is not known").arg(options.codePage));
    }
    const dbf::TextCodec codec(codePageName(h.codePage));
    QStringList seen;
    int offset = 0;
    for (const FieldDef &def : fields) {
        const auto bad = [&](const QString &what) {
            return EngineError(path, QStringLiteral("field %1: %2").arg(def.name, what));
        };
        if (def.name.trimmed().isEmpty())
            throw EngineError(path, QStringLiteral("a field has no name"));
        if (def.name.size() > 25)
            throw bad(QStringLiteral("a Paradox field name has at most 25 characters"));
        if (seen.contains(def.name, Qt::CaseInsensitive))
            throw bad(QStringLiteral("the name is used twice"));
        seen << def.name;
        const StoredType stored = storedTypeFor(def);
        if (stored.type == 0)
            throw bad(
                def.type == FieldType::LargeInt
                    ? QStringLiteral("Paradox tables have no 64-bit integer type")
                    : QStringLiteral("Paradox tables have no field of type %1").arg(fieldTypeCode(def.type)));
        Field f;
        f.name = codec.encode(def.name, path, def.name);
        f.type = stored.type;
        f.size = stored.size;
        f.length = fieldLength(f.type, f.size);
        if (f.length < 0 || (f.type == kMemo && f.leader() < 1))
            throw bad(QStringLiteral("the size %1 is not possible for this type")
                          .arg(def.type == FieldType::BCD ? def.decimals : def.size));
        f.offset = offset;
        offset += f.length;
        h.fields.push_back(f);
    }
    h.recordSize = offset;
    h.blockKiB = offset < 80 ? 2 : offset < 140 ? 3 : 4;
    if (offset + kBlockHeaderSize > h.blockSize())
        throw EngineError(
            path, QStringLiteral("a record of %1 bytes is longer than a Paradox table allows").arg(offset));
    h.tableName = QFileInfo(path).fileName().toLatin1();
    h.headerSize = headerSizeFor(h);
    return h;
}

class ParadoxDriver : public TableDriver {
    // The table goes in place first: it has no records, so if we are
    // stopped between the two renames it points at nothing in the old
    // blob file.
    static void writeFiles(const QString &path, const QByteArray &table, const QString &mbPath)
    {
        AtomicFileWriter db(path);
        db.file().writeBytes(0, table);
        std::unique_ptr<AtomicFileWriter> mb;
        if (!mbPath.isEmpty()) {
            mb = std::make_unique<AtomicFileWriter>(mbPath);
            mb->file().writeBytes(0, BlobFile::emptyFile());
        }
        db.commit();
        if (mb)
            mb->commit();
    }

public:
    std::unique_ptr<OpenTable> open(const QString &path, bool readOnly) const override
    {
        WriteAccess access = claimWriteAccess(path, readOnly);
        readOnly = access.readOnly;
        QString &reason = access.reason;
        std::unique_ptr<WriterLock> &lock = access.lock;
        const OpenMode mode = readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite;
        std::unique_ptr<File> db = openDiskFile(path, mode);
        Header header = readHeader(*db);
        std::unique_ptr<File> mb;
        if (header.hasBlobs()) {
            const QString mbPath = companionFile(path, { QStringLiteral("mb") });
            if (mbPath.isEmpty())
                throw EngineError(
                    path,
                    QStringLiteral("its blob file %1.mb is missing").arg(QFileInfo(path).completeBaseName()));
            const bool mbWritable = QFileInfo(mbPath).isWritable();
            mb = openDiskFile(mbPath, mbWritable ? mode : OpenMode::ReadOnly);
            if (!readOnly && !mbWritable) {
                readOnly = true;
                reason = QStringLiteral("its blob file is read-only on disk");
            }
        }
        if (!readOnly && !keyedReason(header).isEmpty()) {
            readOnly = true;
            reason = keyedReason(header);
        }
        if (readOnly)
            lock.reset();
        return std::make_unique<ParadoxTable>(std::move(db), std::move(mb), std::move(header), reason,
                                              std::move(lock));
    }

    void create(const QString &path, const FieldDefs &fields, const CreateOptions &options) const override
    {
        const Header h = planTable(path, fields, options);
        // Replacing a table that a writer has open would pull it from under it.
        std::unique_ptr<WriterLock> lock;
        if (QFileInfo::exists(path))
            lock = std::make_unique<WriterLock>(path);
        const QStringList oldFiles = files(path);
        QString mbPath;
        if (h.hasBlobs()) {
            mbPath = companionFile(path, { QStringLiteral("mb") });
            if (mbPath.isEmpty()) {
                const QFileInfo info(path);
                const bool upper = !info.suffix().isEmpty() && info.suffix() == info.suffix().toUpper();
                mbPath = info.dir().filePath(info.completeBaseName() + (upper ? u".MB"_qs : u".mb"_qs));
            }
        }
        writeFiles(path, encodeHeader(h), mbPath);
        // The old blob and index files belong to the table just replaced.
        for (const QString &old : oldFiles) {
            const QString abs = QFileInfo(old).absoluteFilePath();
            if (abs == QFileInfo(path).absoluteFilePath()
                || (!mbPath.isEmpty() && abs == QFileInfo(mbPath).absoluteFilePath()))
                continue;
            QFile::remove(old);
        }
    }

    void empty(const QString &path) const override
    {
        WriterLock lock(path);
        Header h = readHeader(*openDiskFile(path, OpenMode::ReadOnly));
        if (!keyedReason(h).isEmpty())
            throw EngineError(path,
                              QStringLiteral("the table is keyed, and this program does not keep its "
                                             "primary index (.px) up to date yet; it cannot be emptied"));
        QByteArray header = openDiskFile(path, OpenMode::ReadOnly)->readBytes(0, h.headerSize);
        h.numRecords = 0;
        h.blocksInUse = h.fileBlocks = h.firstBlock = h.lastBlock = h.firstFreeBlock = 0;
        encodeCounts(h, header.data());
        writeFiles(path, header, h.hasBlobs() ? companionFile(path, { QStringLiteral("mb") }) : QString());
    }

    QStringList files(const QString &path) const override
    {
        QStringList out;
        if (QFileInfo(path).isFile())
            out << path;
        for (const char *ext : { "mb", "px" }) {
            const QString found = companionFile(path, { QString::fromLatin1(ext) });
            if (!found.isEmpty() && QFileInfo(found).absoluteFilePath() != QFileInfo(path).absoluteFilePath())
                out << found;
        }
        return out;
    }
};

} // namespace

const TableDriver &paradoxDriver()
{
    static const ParadoxDriver driver;
    return driver;
}

std::unique_ptr<OpenTable> openParadox(std::unique_ptr<File> db, std::unique_ptr<File> mb, bool readOnly)
{
    Header header = readHeader(*db);
    const QString reason = readOnly ? QStringLiteral("the table is open read-only") : keyedReason(header);
    return std::make_unique<ParadoxTable>(std::move(db), std::move(mb), std::move(header), reason, nullptr);
}

} // namespace qvx
