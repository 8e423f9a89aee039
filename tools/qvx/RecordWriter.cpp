#include "RecordWriter.h"

#include "Command.h"
#include "ValueFormat.h"

namespace qvx::tool {

namespace {

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

RecordFormat recordFormat(const QString &name)
{
    if (name == QLatin1String("jsonl"))
        return RecordFormat::JsonLines;
    if (name == QLatin1String("csv"))
        return RecordFormat::Csv;
    throw UsageError(QStringLiteral("unknown format '%1' (jsonl or csv)").arg(name));
}

void writeRecords(DataSet &data, RecordFormat format, qint64 limit, Output &out)
{
    if (format == RecordFormat::Csv)
        out << csvHeader(data);
    qint64 written = 0;
    for (data.first(); !data.eof() && written != limit; data.next(), ++written)
        out << (format == RecordFormat::Csv ? csvLine(data) : jsonLine(data));
}

} // namespace qvx::tool
