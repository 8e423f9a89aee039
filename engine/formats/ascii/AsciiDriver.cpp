#include "AsciiDriver.h"

#include "AsciiTable.h"

#include "../../EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qvx {

namespace {

using namespace ascii;

// Schemas are a few hundred bytes; a larger file is not one.
constexpr qint64 kMaxSchemaBytes = 1 << 20;

Schema readSchemaFile(const QString &dataPath)
{
    const QString path = asciiSchemaPath(dataPath);
    if (!QFileInfo(path).isFile())
        throw EngineError(dataPath,
                          QStringLiteral("its schema file %1 is missing").arg(QFileInfo(path).fileName()));
    const std::unique_ptr<File> file = openDiskFile(path, OpenMode::ReadOnly);
    if (file->size() > kMaxSchemaBytes)
        throw EngineError(path, QStringLiteral("the file is too large to be a schema"));
    return parseSchema(file->readBytes(0, file->size()), path);
}

class AsciiDriver : public TableDriver {
public:
    std::unique_ptr<OpenTable> open(const QString &path, const OpenOptions &options) const override
    {
        WriteAccess access = claimWriteAccess(path, options.readOnly);
        Schema schema = readSchemaFile(path);
        // Under the lock no writer of ours is busy with this table, so a
        // hidden new version beside it is what a stopped rewrite left.
        if (access.lock)
            removeStaleTempFiles(path);
        return std::make_unique<AsciiTable>(openDiskFile(path, OpenMode::ReadOnly), std::move(schema),
                                            access.reason, std::move(access.lock), true, options.textForms);
    }

    void create(const QString &path, const FieldDefs &fields, const CreateOptions &options) const override
    {
        Schema layout;
        if (!options.codePage.isEmpty())
            layout.charSet = options.codePage;
        createAsciiTable(path, fields, layout);
    }

    void empty(const QString &path) const override
    {
        WriterLock lock(path);
        readSchemaFile(path); // refuses to empty what is not a table of ours
        writeFileAtomically(path, {});
    }

    QStringList files(const QString &path) const override
    {
        QStringList out;
        if (QFileInfo(path).isFile())
            out << path;
        const QString schema = asciiSchemaPath(path);
        if (QFileInfo(schema).isFile())
            out << schema;
        return out;
    }
};

} // namespace

QString asciiSchemaPath(const QString &dataPath)
{
    const QFileInfo info(dataPath);
    const QDir dir = info.absoluteDir();
    const QString base = info.completeBaseName();
    // T.TXT gets T.SCH, t.txt gets t.sch.
    const bool upper = !info.suffix().isEmpty() && info.suffix() == info.suffix().toUpper();
    const QString exact = dir.filePath(base + (upper ? QStringLiteral(".SCH") : QStringLiteral(".sch")));
    if (QFileInfo(exact).isFile())
        return exact;
    const QString wanted = base + QStringLiteral(".sch");
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &entry : entries)
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return exact;
}

void createAsciiTable(const QString &path, const FieldDefs &fields, const Schema &layout)
{
    const Schema schema = schemaForFields(fields, layout, QFileInfo(path).completeBaseName(), path);
    // Replacing a table that a writer has open would pull it from under it.
    std::unique_ptr<WriterLock> lock;
    if (QFileInfo::exists(path))
        lock = std::make_unique<WriterLock>(path);
    AtomicFileWriter data(path);
    AtomicFileWriter schemaFile(asciiSchemaPath(path));
    schemaFile.file().writeBytes(0, schemaText(schema));
    // The empty data file goes in place first: if we are stopped between
    // the two renames, the old schema describes a table with no records.
    data.commit();
    schemaFile.commit();
}

std::unique_ptr<OpenTable> openAscii(std::unique_ptr<File> data, const QByteArray &schemaText,
                                     const QString &schemaPath, bool readOnly, const TextForms &forms)
{
    Schema schema = parseSchema(schemaText, schemaPath);
    return std::make_unique<AsciiTable>(std::move(data), std::move(schema),
                                        readOnly ? QStringLiteral("the table is open read-only") : QString(),
                                        nullptr, false, forms);
}

const TableDriver &asciiDriver()
{
    static const AsciiDriver driver;
    return driver;
}

} // namespace qvx
