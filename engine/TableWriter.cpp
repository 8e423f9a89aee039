#include "TableWriter.h"

#include "Table.h"
#include "Value.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qvx {

namespace {

// Where each field of `from` goes in `to`; -1 for a field the target fills itself.
std::vector<int> fieldMap(const DataSet &from, const DataSet &to)
{
    std::vector<int> map;
    for (const FieldDef &f : from.fields()) {
        const int index = to.fieldIndex(f.name);
        if (index < 0)
            throw EngineError(QStringLiteral("field '%1' is missing from the written table").arg(f.name));
        map.push_back(to.field(index).readOnly ? -1 : index);
    }
    return map;
}

void writePacket(DataSet &from, const QString &path, PacketFormat format, const std::function<void()> &step)
{
    ClientDataSet packet;
    for (const FieldDef &f : from.fields())
        packet.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    namingFile(path, [&] {
        packet.createDataSet();
        copyRecords(from, packet, step);
        // The engine writes the packet beside the target and renames it into place.
        packet.saveToFile(path, format);
    });
}

void moveFile(const QString &from, const QString &to)
{
    // rename(2) replaces an existing target in one step; QFile::rename does not.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw EngineError(to,
                          QStringLiteral("cannot put the new file in place: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

// A table is several files (data, memo); all of them are built in a
// temporary folder beside the target and moved into place only when
// complete, so a failure leaves neither a half-written table nor litter.
void writeTable(DataSet &from, const QString &path, const WriteTarget &target,
                const std::function<void()> &step)
{
    const QFileInfo outInfo(path);
    const QString outDir = outInfo.absolutePath();
    QTemporaryDir work(outDir + QStringLiteral("/.qvx-write-XXXXXX"));
    if (!work.isValid())
        throw EngineError(
            path, QStringLiteral("cannot create a temporary folder beside it: %1").arg(work.errorString()));

    Table table;
    table.setDatabaseName(work.path());
    table.setTableName(outInfo.fileName());
    table.setTableType(target.tableType);
    for (const FieldDef &f : from.fields())
        table.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    table.setCreateOptions(CreateOptions { target.version, target.codePage });

    try {
        table.createTable();
        table.open();
        copyRecords(from, table, step);
        table.close();
    } catch (const EngineError &e) {
        // Name the target, not the temporary folder nobody will see.
        QString message = e.message();
        message.replace(work.path() + u'/', outDir + u'/');
        if (!message.contains(outInfo.fileName()))
            message = path + QStringLiteral(": ") + message;
        throw EngineError(message);
    }

    const TableDriver &driver = Table::driverFor(target.tableType);
    const QStringList built = driver.files(table.filePath());
    const QString finalPath = outDir + u'/' + QFileInfo(table.filePath()).fileName();
    const QStringList previous = driver.files(finalPath);
    QStringList placed;
    // The data file goes last: until it is in place, an old table stays whole.
    for (auto it = built.crbegin(); it != built.crend(); ++it) {
        const QString dest = outDir + u'/' + QFileInfo(*it).fileName();
        moveFile(*it, dest);
        placed += dest;
    }
    // A memo file of an older table by that name would confuse the next reader.
    for (const QString &old : previous) {
        if (!placed.contains(old))
            QFile::remove(old);
    }
}

} // namespace

std::optional<WriteTarget> writeTargetForFileName(const QString &path)
{
    const FileKind *kind = fileKindForName(path);
    if (!kind || !kind->writable)
        return std::nullopt;
    return WriteTarget { kind->tableType, 0, kind->packetFormat, {} };
}

void copyRecords(DataSet &from, DataSet &to, const std::function<void()> &step)
{
    const std::vector<int> map = fieldMap(from, to);
    for (from.first(); !from.eof(); from.next()) {
        int i = 0;
        try {
            // A whole record at once, so that a record of nulls is copied too.
            Record rec(std::size_t(to.fieldCount()));
            for (; i < from.fieldCount(); ++i) {
                const int target = map[std::size_t(i)];
                if (target >= 0)
                    rec[std::size_t(target)] = coerceValue(from.value(i), to.field(target));
            }
            to.appendRecord(rec);
        } catch (const EngineError &e) {
            // Say which value would not go in; the value alone rarely tells.
            const QString where = i < from.fieldCount()
                ? QStringLiteral("record %1, field %2").arg(from.recNo()).arg(from.field(i).name)
                : QStringLiteral("record %1").arg(from.recNo());
            throw EngineError(where + QStringLiteral(": ") + e.message());
        }
        if (step)
            step();
    }
}

void writeDataSet(DataSet &from, const QString &path, const WriteTarget &target,
                  const std::function<void()> &step)
{
    if (target.tableType == Table::Default)
        writePacket(from, path, target.packetFormat, step);
    else
        writeTable(from, path, target, step);
}

} // namespace qvx
