// qvx convert: any file qvx reads into any format it writes, through the
// engine, so that the result is what the program itself would write.
#include "Command.h"
#include "Output.h"
#include "Progress.h"
#include "Source.h"

#include "engine/ClientDataSet.h"
#include "engine/Table.h"
#include "engine/TableWriter.h"

#include <QCommandLineParser>
#include <QFileInfo>

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
        const std::optional<WriteTarget> byName = writeTargetForFileName(outPath);
        if (!byName)
            throw UsageError(
                QStringLiteral("cannot tell the format to write from the name '%1'; give --to").arg(outPath));
        return { ext, byName->tableType, byName->version, byName->packetFormat };
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

} // namespace

int runConvert(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption toOption(QStringLiteral("to"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption codePageOption(QStringLiteral("codepage"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption inputCodePage(QStringLiteral("input-codepage"), QString(),
                                           QStringLiteral("NAME"));
    parser.addOptions({ toOption, codePageOption, inputCodePage });
    const QStringList paths = parseArguments(parser, args, 2, 2);
    const QString &inPath = paths[0];
    const QString &outPath = paths[1];

    const Target target = chooseTarget(parser.value(toOption), outPath);
    const QString codePage = parser.value(codePageOption);
    if (!codePage.isEmpty() && target.tableType == Table::Default)
        throw UsageError(QStringLiteral("--codepage applies to dbf targets only"));

    Source source(inPath, parser.value(inputCodePage));
    Progress progress(QStringLiteral("qvx: converting %1").arg(source.path()), source.data().recordCount());
    const QStringList notes
        = writeDataSet(source.data(), outPath,
                       WriteTarget { target.tableType, target.version, target.packetFormat, codePage },
                       [&] { progress.step(); });
    // What was written differently from the source, one change a line.
    for (const QString &note : notes)
        printError(outPath + QStringLiteral(": ") + note);
    return 0;
}

} // namespace qvx::tool
