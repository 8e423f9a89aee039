#include "ParadoxDriver.h"

#include "ParadoxHeader.h"
#include "ParadoxIndex.h"
#include "ParadoxSecondary.h"
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

// The secondary index files beside a table: T.Xnn (nn in decimal, or hex
// as some programs may write it) and T.XGn, in any letter case, by name.
QStringList secondaryIndexFiles(const QString &path, QChar letter = u'X')
{
    static const QRegularExpression secondary(QStringLiteral("^([0-9A-F]{2}|G[0-9A-Z])$"),
                                              QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    const QFileInfo info(path);
    const QString base = info.completeBaseName();
    const QStringList entries = info.absoluteDir().entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &entry : entries) {
        const qsizetype dot = entry.lastIndexOf(u'.');
        if (dot == base.size() && entry.startsWith(base, Qt::CaseInsensitive) && entry.size() == dot + 4
            && entry.at(dot + 1).toUpper() == letter.toUpper()
            && secondary.match(entry.mid(dot + 2)).hasMatch())
            out << info.absoluteDir().filePath(entry);
    }
    return out;
}

// The .Ynn/.YGn that goes with an .Xnn/.XGn: the one there is, in any
// letter case, or a new name in the .X file's case.
QString treePathFor(const QString &xPath)
{
    const QFileInfo info(xPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString rest = name.mid(dot + 2);
    const QStringList entries = info.absoluteDir().entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &entry : entries)
        if (entry.size() == name.size() && entry.startsWith(name.left(dot + 1), Qt::CaseInsensitive)
            && entry.at(dot + 1).toUpper() == u'Y'
            && entry.mid(dot + 2).compare(rest, Qt::CaseInsensitive) == 0)
            return info.absoluteDir().filePath(entry);
    const QChar y = name.at(dot + 1) == u'x' ? u'y' : u'Y';
    return info.absoluteDir().filePath(name.left(dot + 1) + y + rest);
}

// Why a maintained secondary index cannot be kept, or an empty string.
QString secondaryReason(const Header &h, const SecondaryDef &def)
{
    for (const int i : def.fields)
        if (h.fields[std::size_t(i)].type == kAlpha && h.sortOrder != 0)
            return QStringLiteral("it holds text kept in a sort order (%1) this program does not know")
                .arg(h.sortOrder);
    return {};
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
        // A table is written only when every secondary index it has can be
        // kept: read, named by its fields, and in a file that may be replaced.
        std::vector<ParadoxTable::Secondary> secondary;
        if (header.fileType == kKeyedTable) {
            for (const QString &xPath : secondaryIndexFiles(path)) {
                ParadoxTable::Secondary s { xPath, treePathFor(xPath), {} };
                const QString name = QFileInfo(xPath).fileName();
                QString why;
                try {
                    const std::unique_ptr<File> x = openDiskFile(xPath, OpenMode::ReadOnly);
                    s.index = readSecondaryIndex(*x, header, false);
                    if (QFileInfo::exists(s.yPath))
                        checkSecondaryTree(*openDiskFile(s.yPath, OpenMode::ReadOnly), *x);
                } catch (const EngineError &e) {
                    if (!readOnly) {
                        readOnly = true;
                        reason
                            = QStringLiteral("its secondary index %1 cannot be read, so it could not be kept "
                                             "up to date (%2)")
                                  .arg(name, e.message());
                    }
                    continue;
                }
                if (s.index.def.maintained)
                    why = secondaryReason(header, s.index.def);
                if (why.isEmpty() && (s.index.def.maintained || !s.index.stale)
                    && (isReadOnlyOnDisk(xPath) || (s.index.def.maintained && isReadOnlyOnDisk(s.yPath))))
                    why = QStringLiteral("it is read-only on disk");
                if (!readOnly && !why.isEmpty()) {
                    readOnly = true;
                    reason = QStringLiteral("its secondary index %1 cannot be kept up to date: %2")
                                 .arg(name, why);
                }
                secondary.push_back(std::move(s));
            }
        }
        if (readOnly) {
            lock.reset();
            px.reset();
            pxPath.clear();
        }
        auto table = std::make_unique<ParadoxTable>(std::move(db), std::move(mb), std::move(header), reason,
                                                    std::move(lock), std::move(px), pxPath, codePage);
        table->setSecondaryIndexes(std::move(secondary));
        return table;
    }

    void createIndex(const QString &path, const IndexDef &def) const override
    {
        WriterLock lock(path); // no window may be writing the table meanwhile
        std::unique_ptr<File> db = openDiskFile(path, OpenMode::ReadOnly);
        Header header = readHeader(*db);
        if (header.fileType != kKeyedTable)
            throw EngineError(path,
                              QStringLiteral("the table has no primary key: only a keyed table can have "
                                             "secondary indexes"));
        if (!def.filter.trimmed().isEmpty())
            throw EngineError(path, QStringLiteral("a Paradox index has no condition"));
        if (def.options.testFlag(IndexDef::Expression))
            throw EngineError(path, QStringLiteral("a Paradox index is over fields, not an expression"));
        if (def.fields.isEmpty())
            throw EngineError(path, QStringLiteral("a Paradox index names the fields it is over"));
        const common::TextCodec codec(codePageName(header.codePage));
        SecondaryDef sd;
        for (const QString &field : def.fields) {
            int found = -1;
            for (std::size_t i = 0; i < header.fields.size(); ++i)
                if (codec.decode(header.fields[i].name).compare(field.trimmed(), Qt::CaseInsensitive) == 0)
                    found = int(i);
            if (found < 0)
                throw EngineError(path, QStringLiteral("the table has no field %1").arg(field));
            if (header.fields[std::size_t(found)].isBlob())
                throw EngineError(
                    path,
                    QStringLiteral("field %1: a memo, blob or graphic field cannot be indexed").arg(field));
            if (std::find(sd.fields.begin(), sd.fields.end(), found) != sd.fields.end())
                throw EngineError(path, QStringLiteral("field %1 is named twice").arg(field));
            sd.fields.push_back(found);
        }
        const QString name = def.name.trimmed();
        sd.composite = !name.isEmpty() || sd.fields.size() > 1;
        sd.name = sd.composite
            ? codec.encode(name.isEmpty() ? QStringList(def.fields).join(u'_') : name, path, QString())
            : QByteArray();
        sd.unique = def.options.testFlag(IndexDef::Unique);
        sd.descending = def.options.testFlag(IndexDef::Descending);
        sd.caseInsensitive = def.options.testFlag(IndexDef::CaseInsensitive);
        sd.maintained = !def.options.testFlag(IndexDef::NonMaintained);
        if (const QString why = secondaryReason(header, sd); !why.isEmpty())
            throw EngineError(path, QStringLiteral("the index cannot be built: %1").arg(why));

        // An index of the same name (or, unnamed, over the same field) is replaced.
        QString xPath;
        if (!sd.composite) {
            const QString ext = secondaryExtension(false, false, sd.fields.front() + 1);
            xPath = companionFile(path, { ext });
            if (xPath.isEmpty())
                xPath = newCompanionPath(path, ext.toLower());
        } else {
            std::vector<bool> taken(kMaxCompositeFiles, false);
            for (const QChar letter : { u'X', u'Y' }) {
                for (const QString &file : secondaryIndexFiles(path, letter)) {
                    const QString ext = QFileInfo(file).suffix().toUpper();
                    if (ext.size() != 3 || ext.at(1) != u'G' || !ext.at(2).isDigit())
                        continue;
                    const int n = ext.at(2).digitValue();
                    taken[std::size_t(n)] = true;
                    if (letter != u'X')
                        continue;
                    try {
                        const SecondaryIndex old
                            = readSecondaryIndex(*openDiskFile(file, OpenMode::ReadOnly), header, false);
                        if (old.def.name.compare(sd.name, Qt::CaseInsensitive) == 0)
                            xPath = file;
                    } catch (const EngineError &) {
                        // Not ours to replace: its number stays taken.
                    }
                }
            }
            for (int n = 0; xPath.isEmpty() && n < kMaxCompositeFiles; ++n)
                if (!taken[std::size_t(n)])
                    xPath = newCompanionPath(path, secondaryExtension(false, true, n).toLower());
            if (xPath.isEmpty())
                throw EngineError(
                    path, QStringLiteral("the table has ten composite indexes (.XG0 to .XG9) already"));
        }

        std::vector<SourceRecord> source;
        {
            const ParadoxTable table(std::move(db), nullptr, header, QStringLiteral("read for its index"),
                                     nullptr);
            source = table.sourceRecords();
        }
        // A unique index over equal values fails here, before any file is written.
        const std::vector<QByteArray> records = secondaryRecords(header, sd, source, codec, path);
        const SecondaryFiles files = encodeSecondary(header, sd, records);
        AtomicFileWriter x(xPath);
        x.file().writeBytes(0, files.x);
        AtomicFileWriter y(treePathFor(xPath));
        y.file().writeBytes(0, files.y);
        x.commit();
        y.commit();
    }

    void dropIndex(const QString &path, const QString &name) const override
    {
        WriterLock lock(path);
        const Header header = readHeader(*openDiskFile(path, OpenMode::ReadOnly));
        const common::TextCodec codec(codePageName(header.codePage));
        const QString wanted = name.trimmed();
        if (wanted.compare(QStringLiteral("primary"), Qt::CaseInsensitive) == 0)
            throw EngineError(path, QStringLiteral("the primary index goes only with the table's key"));
        QString found;
        for (const QString &xPath : secondaryIndexFiles(path)) {
            const QFileInfo info(xPath);
            bool match = info.fileName().compare(wanted, Qt::CaseInsensitive) == 0
                || info.suffix().compare(wanted, Qt::CaseInsensitive) == 0;
            if (!match && header.fileType == kKeyedTable) {
                try {
                    const SecondaryIndex index
                        = readSecondaryIndex(*openDiskFile(xPath, OpenMode::ReadOnly), header, false);
                    match = secondaryName(header, index.def, codec).compare(wanted, Qt::CaseInsensitive) == 0;
                } catch (const EngineError &) {
                    // An unreadable index is dropped by its file's name only.
                }
            }
            if (match) {
                found = xPath;
                break;
            }
        }
        if (found.isEmpty())
            throw EngineError(path, QStringLiteral("the table has no index %1").arg(name));
        const QString yPath = treePathFor(found);
        for (const QString &file : { found, yPath })
            if (QFileInfo::exists(file) && !QFile::remove(file))
                throw EngineError(file, QStringLiteral("the index file could not be removed"));
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
        // Maintained secondary indexes become empty too; the others no
        // longer match the table. One that cannot be read is left alone: the
        // table opens read-only while it is there.
        if (h.fileType != kKeyedTable)
            return;
        for (const QString &xPath : secondaryIndexFiles(path)) {
            SecondaryIndex index;
            try {
                index = readSecondaryIndex(*openDiskFile(xPath, OpenMode::ReadOnly), h, false);
            } catch (const EngineError &) {
                continue;
            }
            if (index.def.maintained) {
                const SecondaryFiles files = encodeSecondary(h, index.def, {});
                writeFileAtomically(xPath, files.x);
                writeFileAtomically(treePathFor(xPath), files.y);
            } else if (!index.stale && index.keyCount > 0) {
                QByteArray bytes
                    = openDiskFile(xPath, OpenMode::ReadOnly)->readBytes(0, QFileInfo(xPath).size());
                bytes[kModified1] = 1;
                writeFileAtomically(xPath, bytes);
            }
        }
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
