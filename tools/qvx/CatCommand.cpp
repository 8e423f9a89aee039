// qvx cat: the records of a file, one JSON object per line or as CSV.
#include "Command.h"
#include "Output.h"
#include "RecordWriter.h"
#include "Source.h"
#include "ValueFormat.h"

#include "engine/Table.h"

#include <QCommandLineParser>

namespace qvx::tool {

int runCat(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"),
                                          QStringLiteral("jsonl"));
    const QCommandLineOption limitOption(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    const QCommandLineOption inputCodePage(QStringLiteral("input-codepage"), QString(),
                                           QStringLiteral("NAME"));
    parser.addOptions({ formatOption, limitOption, inputCodePage });
    const QString path = parseArguments(parser, args, 1, 1).first();

    const RecordFormat format = recordFormat(parser.value(formatOption));

    qint64 limit = -1;
    if (parser.isSet(limitOption)) {
        bool ok = false;
        limit = parser.value(limitOption).toLongLong(&ok);
        if (!ok || limit < 0)
            throw UsageError(
                QStringLiteral("--limit needs a whole number, not '%1'").arg(parser.value(limitOption)));
    }

    Source source(path, parser.value(inputCodePage));
    DataSet &data = source.data();
    Output out;
    namingFile(path, [&] { writeRecords(data, format, limit, out); });
    // What the table read around (a damaged header, a lost memo value) goes
    // to standard error, after the records and apart from them.
    if (const auto *table = dynamic_cast<const Table *>(&data)) {
        out.flush();
        for (const QString &warning : table->warnings())
            printError(QStringLiteral("%1: warning: %2").arg(path, warning));
    }
    return 0;
}

} // namespace qvx::tool
