// qvx convert: any file qvx reads into any format it writes, through the
// engine, so that the result is what the program itself would write.
#include "Command.h"
#include "Progress.h"
#include "Source.h"

#include "engine/ClientDataSet.h"
#include "engine/Table.h"
#include "engine/Value.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qvx::tool {

namespace {

struct Target {
    QString name;
    int tableType; // Table::Default for a packet
    int version; // dbf version byte; 0 lets the driver choose
    PacketFormat packetFormat;
};

const std::vector<Target> &targets()
{
    static const std::vector<Target> list = {
        { QStringLiteral("dbase3"), Table::DBase, 0x03, PacketFormat::Binary },
        { QStringLiteral("dbase4"), Table::DBase, 0x8B, PacketFormat::Binary },
        { QStringLiteral("foxpro"), Table::FoxPro, 0xF5, PacketFormat::Binary },
        { QStringLiteral("vfp"), Table::FoxPro, 0x30, PacketFormat::Binary },
        { QStringLiteral("xml"), Table::Default, 0, PacketFormat::Xml },
        { QStringLiteral("cds"), Table::Default, 0, PacketFormat::Binary },
        { QStringLiteral("paradox"), Table::Paradox, 0, PacketFormat::Binary },
        { QStringLiteral("ascii"), Table::Ascii, 0, PacketFormat::Binary },
    };
    return list;
}

Target chooseTarget(const QString &name, const QString &outPath)
{
    const QString ext = QFileInfo(outPath).suffix().toLower();
    if (name.isEmpty()) {
        if (ext == QLatin1String("dbf"))
            return { QStringLiteral("dbase"), Table::DBase, 0, PacketFormat::Binary };
        if (ext == QLatin1String("xml"))
            return targets()[4];
        if (ext == QLatin1String("cds"))
            return targets()[5];
        if (ext == QLatin1String("db"))
            return targets()[6];
        if (ext == QLatin1String("txt"))
            return targets()[7];
        throw UsageError(
            QStringLiteral("cannot tell the format to write from the name '%1'; give --to").arg(outPath));
    }
    for (const Target &t : targets()) {
        if (t.name == name) {
            // The engine writes XML to any ".xml" name; say so rather than
            // write something other than what was asked for.
            if (name == QLatin1String("cds") && ext == QLatin1String("xml"))
                throw UsageError(QStringLiteral("a binary packet cannot be written to a .xml file"));
            return t;
        }
    }
    throw UsageError(QStringLiteral("unknown target format '%1'").arg(name));
}

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

void copyRecords(DataSet &from, DataSet &to, const QString &label)
{
    const std::vector<int> map = fieldMap(from, to);
    Progress progress(label, from.recordCount());
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
        progress.step();
    }
}

void convertToPacket(Source &source, const QString &outPath, PacketFormat format)
{
    ClientDataSet packet;
    for (const FieldDef &f : source.data().fields())
        packet.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    namingFile(outPath, [&] {
        packet.createDataSet();
        copyRecords(source.data(), packet, QStringLiteral("qvx: converting %1").arg(source.path()));
        // The engine writes the packet beside the target and renames it into place.
        packet.saveToFile(outPath, format);
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
void convertToTable(Source &source, const QString &outPath, const Target &target, const QString &codePage)
{
    const QFileInfo outInfo(outPath);
    const QString outDir = outInfo.absolutePath();
    QTemporaryDir work(outDir + QStringLiteral("/.qvx-convert-XXXXXX"));
    if (!work.isValid())
        throw EngineError(
            outPath,
            QStringLiteral("cannot create a temporary folder beside it: %1").arg(work.errorString()));

    Table table;
    table.setDatabaseName(work.path());
    table.setTableName(outInfo.fileName());
    table.setTableType(target.tableType);
    for (const FieldDef &f : source.data().fields())
        table.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    table.setCreateOptions(CreateOptions { target.version, codePage });

    try {
        table.createTable();
        table.open();
        copyRecords(source.data(), table, QStringLiteral("qvx: converting %1").arg(source.path()));
        table.close();
    } catch (const EngineError &e) {
        // Name the target, not the temporary folder nobody will see.
        QString message = e.message();
        message.replace(work.path() + u'/', outDir + u'/');
        if (!message.contains(outInfo.fileName()))
            message = outPath + QStringLiteral(": ") + message;
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

int runConvert(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption toOption(QStringLiteral("to"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption codePageOption(QStringLiteral("codepage"), QString(), QStringLiteral("NAME"));
    parser.addOptions({ toOption, codePageOption });
    const QStringList paths = parseArguments(parser, args, 2, 2);
    const QString &inPath = paths[0];
    const QString &outPath = paths[1];

    const Target target = chooseTarget(parser.value(toOption), outPath);
    const QString codePage = parser.value(codePageOption);
    if (!codePage.isEmpty() && target.tableType == Table::Default)
        throw UsageError(QStringLiteral("--codepage applies to dbf targets only"));

    Source source(inPath);
    if (target.tableType == Table::Default)
        convertToPacket(source, outPath, target.packetFormat);
    else
        convertToTable(source, outPath, target, codePage);
    return 0;
}

} // namespace qvx::tool
