// qvx cat: the records of a file, one JSON object per line or as CSV.
#include "Command.h"
#include "Output.h"
#include "Source.h"
#include "ValueFormat.h"

#include <QCommandLineParser>

namespace qvx::tool {

namespace {

enum class Format { JsonLines, Csv };

// Keys are written in field order, which is why the line is built here and
// not through QJsonObject (that sorts its keys).
QByteArray jsonLine(const DataSet &data)
{
    QByteArray line = "{";
    for (int i = 0; i < data.fieldCount(); ++i) {
        const FieldDef &f = data.field(i);
        if (i)
            line += ',';
        line += jsonString(f.name) + ':' + jsonValue(data.value(i), f.type);
    }
    line += "}\n";
    return line;
}

QByteArray csvLine(const DataSet &data)
{
    QByteArray line;
    for (int i = 0; i < data.fieldCount(); ++i) {
        if (i)
            line += ',';
        line += csvField(plainValue(data.value(i), data.field(i).type));
    }
    line += "\r\n";
    return line;
}

QByteArray csvHeader(const DataSet &data)
{
    QByteArray line;
    for (int i = 0; i < data.fieldCount(); ++i) {
        if (i)
            line += ',';
        line += csvField(data.field(i).name);
    }
    line += "\r\n";
    return line;
}

} // namespace

int runCat(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"),
                                          QStringLiteral("jsonl"));
    const QCommandLineOption limitOption(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    parser.addOptions({ formatOption, limitOption });
    const QString path = parseArguments(parser, args, 1, 1).first();

    Format format;
    const QString formatName = parser.value(formatOption);
    if (formatName == QLatin1String("jsonl"))
        format = Format::JsonLines;
    else if (formatName == QLatin1String("csv"))
        format = Format::Csv;
    else
        throw UsageError(QStringLiteral("unknown format '%1' (jsonl or csv)").arg(formatName));

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
    namingFile(path, [&] {
        if (format == Format::Csv)
            out << csvHeader(data);
        qint64 written = 0;
        for (data.first(); !data.eof() && written != limit; data.next(), ++written)
            out << (format == Format::Csv ? csvLine(data) : jsonLine(data));
    });
    return 0;
}

} // namespace qvx::tool
