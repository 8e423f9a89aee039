// qvx cat: the records of a file, one JSON object per line or as CSV.
#include "Command.h"
#include "Output.h"
#include "RecordWriter.h"
#include "Source.h"
#include "ValueFormat.h"

#include <QCommandLineParser>

namespace qvx::tool {

int runCat(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"),
                                          QStringLiteral("jsonl"));
    const QCommandLineOption limitOption(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    parser.addOptions({ formatOption, limitOption });
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

    Source source(path);
    DataSet &data = source.data();
    Output out;
    namingFile(path, [&] { writeRecords(data, format, limit, out); });
    return 0;
}

} // namespace qvx::tool
