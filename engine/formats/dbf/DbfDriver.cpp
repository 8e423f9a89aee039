#include "DbfDriver.h"

#include "../common/CodePage.h"
#include "DbfCreate.h"
#include "DbfHeader.h"
#include "DbfIndexes.h"
#include "DbfMemo.h"
#include "DbfTable.h"

#include "../../EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qvx {

namespace {

using namespace dbf;

QStringList memoExtensions(MemoKind kind)
{
    switch (kind) {
    case MemoKind::Dbt3:
    case MemoKind::Dbt4:
        return { QStringLiteral("dbt") };
    case MemoKind::Fpt:
        return { QStringLiteral("fpt") };
    case MemoKind::None:
        break;
    }
    return { QStringLiteral("dbt"), QStringLiteral("fpt") };
}

// The records of an emptied table, for emptying its indexes.
class NoRecords : public RecordSource {
public:
    qint64 physicalRecordCount() const override { return 0; }
    const char *physicalRecord(qint64) const override { return nullptr; }
};

class DbfDriver : public TableDriver {
public:
    explicit DbfDriver(Family family) : m_family(family) { }

    std::unique_ptr<OpenTable> open(const QString &path, const OpenOptions &options) const override
    {
        WriteAccess access = claimWriteAccess(path, options.readOnly);
        bool readOnly = access.readOnly;
        QString &reason = access.reason;
        std::unique_ptr<WriterLock> &lock = access.lock;
        const OpenMode mode = readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite;
        std::unique_ptr<File> dbf = openDiskFile(path, mode);
        Header header = readHeader(*dbf);
        CodePageChoice codePage = chooseCodePage(path, *dbf, header, options.codePage);

        std::unique_ptr<File> memo;
        if (header.needsMemo()) {
            const QStringList exts = memoExtensions(header.memoKind);
            // A missing memo file is the table's to report: it opens
            // read-only with the memo fields empty.
            const QString memoPath = companionFile(path, exts);
            if (!memoPath.isEmpty())
                memo = openDiskFile(memoPath, QFileInfo(memoPath).isWritable() ? mode : OpenMode::ReadOnly);
            if (!memoPath.isEmpty() && !readOnly && !QFileInfo(memoPath).isWritable()) {
                readOnly = true;
                reason = QStringLiteral("its memo file is read-only on disk");
            }
        }
        if (readOnly)
            lock.reset();
        return std::make_unique<DbfTable>(std::move(dbf), std::move(memo), std::move(header), reason,
                                          std::move(lock), std::move(codePage));
    }

    void create(const QString &path, const FieldDefs &fields, const CreateOptions &options) const override
    {
        // A code page no language driver byte names (UTF-8, ISO-8859-x) is
        // named by a .cpg file beside the table, which readers put first.
        CreateOptions byteOptions = options;
        QString cpgName;
        if (!options.codePage.isEmpty() && driverForCodePage(options.codePage) < 0) {
            cpgName = common::canonicalCodePage(options.codePage);
            if (!cpgName.isEmpty())
                byteOptions.codePage.clear();
        }
        const TablePlan plan = planTable(fields, byteOptions, m_family, path);
        // Replacing a table that a writer has open would pull it from under it.
        std::unique_ptr<WriterLock> lock;
        if (QFileInfo::exists(path))
            lock = std::make_unique<WriterLock>(path);
        const QStringList oldFiles = files(path);

        QString memoPath;
        if (plan.memoKind != MemoKind::None) {
            const QFileInfo info(path);
            QString ext = plan.memoKind == MemoKind::Fpt ? QStringLiteral("fpt") : QStringLiteral("dbt");
            // T.DBF gets T.DBT, t.dbf gets t.dbt.
            if (!info.suffix().isEmpty() && info.suffix() == info.suffix().toUpper())
                ext = ext.toUpper();
            memoPath = info.dir().filePath(info.completeBaseName() + u'.' + ext);
            const QString existing = companionFile(path, memoExtensions(plan.memoKind));
            if (!existing.isEmpty())
                memoPath = existing;
        }
        // Both new files are written in full before either is put in place,
        // and the table goes first: it has no records, so if we are stopped
        // between the two renames it points at nothing in the old memo file.
        AtomicFileWriter table(path);
        table.file().writeBytes(0, newTableFile(plan));
        std::unique_ptr<AtomicFileWriter> memo;
        if (!memoPath.isEmpty()) {
            memo = std::make_unique<AtomicFileWriter>(memoPath);
            memo->file().writeBytes(0,
                                    MemoFile::emptyFile(plan.memoKind, plan.memoBlockSize,
                                                        QFileInfo(path).completeBaseName().toLatin1()));
        }
        table.commit();
        if (memo)
            memo->commit();

        // The old memo and index files belong to the table just replaced.
        for (const QString &old : oldFiles) {
            if (QFileInfo(old).absoluteFilePath() == QFileInfo(path).absoluteFilePath()
                || (!memoPath.isEmpty()
                    && QFileInfo(old).absoluteFilePath() == QFileInfo(memoPath).absoluteFilePath()))
                continue;
            QFile::remove(old);
        }
        if (!cpgName.isEmpty()) {
            const QFileInfo info(path);
            const QString ext = !info.suffix().isEmpty() && info.suffix() == info.suffix().toUpper()
                ? QStringLiteral("CPG")
                : QStringLiteral("cpg");
            AtomicFileWriter cpg(info.dir().filePath(info.completeBaseName() + u'.' + ext));
            cpg.file().writeBytes(0, cpgName.toLatin1() + '\n');
            cpg.commit();
        }
    }

    void empty(const QString &path) const override
    {
        WriterLock lock(path);
        std::unique_ptr<File> dbf = openDiskFile(path, OpenMode::ReadOnly);
        const Header header = readHeader(*dbf);
        // The indexes are emptied with the table; a stop in between leaves
        // the marker that has them rebuilt.
        const CodePageChoice codePage = chooseCodePage(path, *dbf, header, QString());
        const common::TextCodec codec(codePage.codePage);
        const NoRecords none;
        DbfIndexes indexes(path, header, codec, none);
        if (!indexes.problem().isEmpty())
            throw EngineError(
                path, indexes.problem().section(u';', 0, 0) + QStringLiteral("; it cannot be emptied"));
        indexes.markPending();

        QByteArray bytes = dbf->readBytes(0, header.headerLength);
        const QByteArray dateAndCount = encodeDateAndCount(header.variant, QDate::currentDate(), 0);
        bytes.replace(1, dateAndCount.size(), dateAndCount);
        bytes += kFileEnd;

        std::unique_ptr<AtomicFileWriter> newMemo;
        if (header.needsMemo()) {
            const QString memoPath = companionFile(path, memoExtensions(header.memoKind));
            if (!memoPath.isEmpty()) {
                MemoKind kind = header.memoKind;
                if (kind == MemoKind::None)
                    kind = memoPath.endsWith(QLatin1String(".fpt"), Qt::CaseInsensitive) ? MemoKind::Fpt
                                                                                         : MemoKind::Dbt3;
                const MemoFile memo(openDiskFile(memoPath, OpenMode::ReadOnly), kind);
                newMemo = std::make_unique<AtomicFileWriter>(memoPath);
                newMemo->file().writeBytes(0, memo.emptied());
            }
        }
        // The emptied table goes in place first (see create()).
        AtomicFileWriter table(path);
        table.file().writeBytes(0, bytes);
        table.commit();
        if (newMemo)
            newMemo->commit();
        indexes.clearAll();
    }

    void createIndex(const QString &path, const IndexDef &def) const override
    {
        withTable(path, [&](DbfTable &t) { t.createIndex(def, m_family == Family::FoxPro); });
    }

    void dropIndex(const QString &path, const QString &name) const override
    {
        withTable(path, [&](DbfTable &t) { t.dropIndex(name); });
    }

    QStringList files(const QString &path) const override
    {
        QStringList out;
        if (QFileInfo(path).isFile())
            out << path;
        for (const char *ext : { "dbt", "fpt", "mdx", "cdx", "ndx", "idx", "cpg" }) {
            const QString found = companionFile(path, { QString::fromLatin1(ext) });
            if (!found.isEmpty() && QFileInfo(found).absoluteFilePath() != QFileInfo(path).absoluteFilePath())
                out << found;
        }
        // Index files its .inf names may have any name.
        try {
            const std::unique_ptr<File> dbf = openDiskFile(path, OpenMode::ReadOnly);
            for (const QString &file : DbfIndexes::files(path, readHeader(*dbf)))
                if (!out.contains(file))
                    out << file;
        } catch (const EngineError &) {
        }
        return out;
    }

private:
    // Opens the table for writing and runs work on it.
    template<typename Work> void withTable(const QString &path, Work work) const
    {
        std::unique_ptr<OpenTable> t = open(path, OpenOptions {});
        auto *table = dynamic_cast<DbfTable *>(t.get());
        if (!table)
            throw EngineError(path, QStringLiteral("not a dbf table"));
        if (table->readOnly())
            throw EngineError(path, table->readOnlyReason());
        work(*table);
    }

private:
    Family m_family;
};

} // namespace

const TableDriver &dbaseDriver()
{
    static const DbfDriver driver(Family::DBase);
    return driver;
}

const TableDriver &foxproDriver()
{
    static const DbfDriver driver(Family::FoxPro);
    return driver;
}

std::unique_ptr<OpenTable> openDbf(std::unique_ptr<File> dbf, std::unique_ptr<File> memo, bool readOnly)
{
    Header header = readHeader(*dbf);
    CodePageChoice codePage = chooseCodePage(QString(), *dbf, header, QString());
    QString reason;
    if (readOnly)
        reason = QStringLiteral("the table is open read-only");
    return std::make_unique<dbf::DbfTable>(std::move(dbf), std::move(memo), std::move(header), reason,
                                           nullptr, std::move(codePage));
}

} // namespace qvx
