#include "ParadoxDriver.h"

#include "ParadoxHeader.h"
#include "ParadoxIndex.h"
#include "ParadoxTable.h"
#include "ParadoxValues.h"

#include "../../EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace qvx {

namespace {

using namespace paradox;

// Why a keyed table cannot be written, or an empty string. Keys are kept
// in the order of their bytes, which is the order of every sort order for
// numbers and dates, but only of "ascii" for text.
QString keyedReason(const Header &h)
{
    if (h.fileType != kKeyedTable)
        return {};
    for (int i = 0; i < h.keyFields; ++i) {
        const Field &f = h.fields[std::size_t(i)];
        if (f.isBlob())
            return QStringLiteral("its key holds a blob field, which a key cannot hold");
        if (f.type == kAlpha && h.sortOrder != 0)
            return QStringLiteral("its key holds text kept in a sort order (%1) this program does not know")
                .arg(h.sortOrder);
    }
    return {};
}

// A companion file that does not exist yet, named as the table is (T.DB gets T.PX).
QString newCompanionPath(const QString &path, const QString &ext)
{
    const QFileInfo info(path);
    const bool upper = !info.suffix().isEmpty() && info.suffix() == info.suffix().toUpper();
    return info.dir().filePath(info.completeBaseName() + u'.' + (upper ? ext.toUpper() : ext));
}

// Paradox field names are at most 25 characters; each type has its sizes.
Header planTable(const QString &path, const FieldDefs &fields, const CreateOptions &options)
{
    if (options.version != 0 && options.version != kVersion7)
        throw EngineError(path, QStringLiteral("only Paradox 7 tables can be created"));
    if (options.keyFields < 0 || std::size_t(options.keyFields) > fields.size())
        throw EngineError(path,
                          QStringLiteral("a key of %1 fields is not possible in a table of %2 fields")
                              .arg(options.keyFields)
                              .arg(fields.size()));
    Header h;
    h.fileType = options.keyFields > 0 ? kKeyedTable : kUnkeyedTable;
    h.keyFields = options.keyFields;
    h.fileVersion = kVersion7;
    h.autoInc = 1;
    h.codePage = 1252;
    if (!options.codePage.isEmpty()) {
        h.codePage = codePageNumber(options.codePage);
        if (h.codePage == 0)
            throw EngineError(path, QStringLiteral("the code page %1 is not known").arg(options.codePage));
    }
    const common::TextCodec codec(codePageName(h.codePage));
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
            throw bad(QStringLiteral("Paradox tables have no field of type %1").arg(fieldTypeCode(def.type)));
        Field f;
        f.name = codec.encode(def.name, path, def.name);
        f.type = stored.type;
        f.size = stored.size;
        f.length = fieldLength(f.type, f.size);
        if (f.length < 0 || (f.type == kMemo && f.leader() < 1))
            throw bad(QStringLiteral("the size %1 is not possible for this type")
                          .arg(def.type == FieldType::BCD ? def.decimals : def.size));
        if (int(h.fields.size()) < options.keyFields && f.isBlob())
            throw bad(QStringLiteral("a key field cannot be a memo, blob or graphic field"));
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
    // stopped between the renames it points at nothing in the old blob
    // file, and a writer builds its index again from it.
    static void writeFiles(const QString &path, const Header &h, const QByteArray &table,
                           const QString &mbPath, const QString &pxPath)
    {
        AtomicFileWriter db(path);
        db.file().writeBytes(0, table);
        std::unique_ptr<AtomicFileWriter> px;
        if (!pxPath.isEmpty()) {
            px = std::make_unique<AtomicFileWriter>(pxPath);
            px->file().writeBytes(0, encodePrimaryIndex(h, {}));
        }
        std::unique_ptr<AtomicFileWriter> mb;
        if (!mbPath.isEmpty()) {
            mb = std::make_unique<AtomicFileWriter>(mbPath);
            mb->file().writeBytes(0, BlobFile::emptyFile());
        }
        db.commit();
        if (px)
            px->commit();
        if (mb)
            mb->commit();
    }

    static QString pxPathFor(const QString &path, const Header &h)
    {
        if (h.fileType != kKeyedTable)
            return {};
        const QString found = companionFile(path, { QStringLiteral("px") });
        return found.isEmpty() ? newCompanionPath(path, QStringLiteral("px")) : found;
    }

public:
    std::unique_ptr<OpenTable> open(const QString &path, const OpenOptions &options) const override
    {
        WriteAccess access = claimWriteAccess(path, options.readOnly);
        bool readOnly = access.readOnly;
        QString &reason = access.reason;
        std::unique_ptr<WriterLock> &lock = access.lock;
        const OpenMode mode = readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite;
        std::unique_ptr<File> db = openDiskFile(path, mode);
        Header header = readHeader(*db);
        QString codePage;
        if (!options.codePage.trimmed().isEmpty()) {
            codePage = common::canonicalCodePage(options.codePage);
            if (codePage.isEmpty())
                throw EngineError(path, QStringLiteral("unknown code page \"%1\"").arg(options.codePage));
        }
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
        std::unique_ptr<File> px;
        QString pxPath;
        if (!readOnly && header.fileType == kKeyedTable) {
            pxPath = pxPathFor(path, header);
            const QFileInfo pxInfo(pxPath);
            if (pxInfo.exists() && !pxInfo.isWritable()) {
                readOnly = true;
                reason = QStringLiteral("its primary index (.px) is read-only on disk");
            } else if (pxInfo.exists()) {
                px = openDiskFile(pxPath, OpenMode::ReadWrite);
            }
        }
        if (readOnly) {
            lock.reset();
            px.reset();
            pxPath.clear();
        }
        return std::make_unique<ParadoxTable>(std::move(db), std::move(mb), std::move(header), reason,
                                              std::move(lock), std::move(px), pxPath, codePage);
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
            if (mbPath.isEmpty())
                mbPath = newCompanionPath(path, QStringLiteral("mb"));
        }
        const QString pxPath = pxPathFor(path, h);
        writeFiles(path, h, encodeHeader(h), mbPath, pxPath);
        // The old blob and index files belong to the table just replaced.
        for (const QString &old : oldFiles) {
            const QString abs = QFileInfo(old).absoluteFilePath();
            if (abs == QFileInfo(path).absoluteFilePath()
                || (!mbPath.isEmpty() && abs == QFileInfo(mbPath).absoluteFilePath())
                || (!pxPath.isEmpty() && abs == QFileInfo(pxPath).absoluteFilePath()))
                continue;
            QFile::remove(old);
        }
    }

    void empty(const QString &path) const override
    {
        WriterLock lock(path);
        Header h = readHeader(*openDiskFile(path, OpenMode::ReadOnly));
        QByteArray header = openDiskFile(path, OpenMode::ReadOnly)->readBytes(0, h.headerSize);
        h.numRecords = 0;
        h.blocksInUse = h.fileBlocks = h.firstBlock = h.lastBlock = h.firstFreeBlock = 0;
        encodeCounts(h, header.data());
        // An empty table has an empty index whatever order its text keys
        // are kept in.
        writeFiles(path, h, header, h.hasBlobs() ? companionFile(path, { QStringLiteral("mb") }) : QString(),
                   pxPathFor(path, h));
    }

    QStringList files(const QString &path) const override
    {
        QStringList out;
        if (QFileInfo(path).isFile())
            out << path;
        for (const char *ext : { "mb", "px", "val" }) {
            const QString found = companionFile(path, { QString::fromLatin1(ext) });
            if (!found.isEmpty() && QFileInfo(found).absoluteFilePath() != QFileInfo(path).absoluteFilePath())
                out << found;
        }
        // Secondary indexes: T.Xnn and T.Ynn (nn in hex) for one field,
        // T.XGn and T.YGn for several, in any letter case.
        static const QRegularExpression secondary(QStringLiteral("^[XY]([0-9A-F]{2}|G[0-9A-Z])$"),
                                                  QRegularExpression::CaseInsensitiveOption);
        const QFileInfo info(path);
        const QString base = info.completeBaseName();
        const QStringList entries = info.absoluteDir().entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString &entry : entries) {
            const qsizetype dot = entry.lastIndexOf(u'.');
            if (dot == base.size() && entry.startsWith(base, Qt::CaseInsensitive)
                && secondary.match(entry.mid(dot + 1)).hasMatch())
                out << info.absoluteDir().filePath(entry);
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

std::unique_ptr<OpenTable> openParadox(std::unique_ptr<File> db, std::unique_ptr<File> mb, bool readOnly,
                                       std::unique_ptr<File> px)
{
    Header header = readHeader(*db);
    const QString reason = readOnly ? QStringLiteral("the table is open read-only") : keyedReason(header);
    if (!reason.isEmpty())
        px.reset();
    return std::make_unique<ParadoxTable>(std::move(db), std::move(mb), std::move(header), reason, nullptr,
                                          std::move(px));
}

} // namespace qvx
