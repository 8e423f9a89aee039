#include "RecordWriter.h"

#include "Command.h"
#include "ValueFormat.h"

#include "engine/formats/TableFormat.h"

#include <charconv>
#include <cmath>

namespace qvx::tool {

namespace {

// Values straight from the data set into the line being written, in the
// forms plainValue() and jsonValue() give, with nothing allocated per value.
class LineSink final : public FieldSink {
public:
    LineSink(QByteArray &line, bool json) : m_line(line), m_json(json) { }

    void null() override
    {
        if (m_json)
            m_line += "null";
    }
    void integer(qint64 v) override
    {
        char buf[24];
        const auto result = std::to_chars(buf, buf + sizeof buf, v);
        m_line.append(buf, result.ptr - buf);
    }
    void real(double v) override
    {
        char buf[kDoubleChars];
        const int n = doubleChars(v, buf);
        // JSON has no NaN or infinity; a string keeps what the value was.
        if (m_json && !std::isfinite(v))
            appendJsonString(m_line, buf, n);
        else
            m_line.append(buf, n);
    }
    void text(const char *utf8, qsizetype length) override
    {
        if (m_json)
            appendJsonString(m_line, utf8, length);
        else
            appendCsvField(m_line, utf8, length);
    }
    void boolean(bool v) override { m_line += v ? "true" : "false"; }
    void decimal(const char *text, qsizetype length) override { m_line.append(text, length); }
    bool keepsDecimalText() const override { return true; }

private:
    QByteArray &m_line;
    bool m_json;
};

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
    const bool json = format == RecordFormat::JsonLines;
    if (!json)
        out << csvHeader(data);
    // Keys are written in field order, which is why the line is built here
    // and not through QJsonObject (that sorts its keys).
    std::vector<QByteArray> keys;
    for (int i = 0; i < data.fieldCount(); ++i)
        keys.push_back((i ? "," : "") + jsonString(data.field(i).name) + ':');
    QByteArray line;
    LineSink sink(line, json);
    for (qint64 recNo = 1; recNo - 1 != limit && data.hasRecord(recNo); ++recNo) {
        line.resize(0);
        if (json)
            line += '{';
        for (int i = 0; i < data.fieldCount(); ++i) {
            if (json)
                line += keys[std::size_t(i)];
            else if (i)
                line += ',';
            if (data.readFieldTo(recNo, i, sink))
                continue;
            // What the source does not hand out directly (memos, pictures,
            // times, long decimals) comes as a value.
            const QVariant v = data.readField(recNo, i);
            const FieldType type = data.field(i).type;
            line += json ? jsonValue(v, type) : csvField(plainValue(v, type));
        }
        line += json ? "}\n" : "\r\n";
        out.append(line.constData(), line.size());
    }
}

} // namespace qvx::tool
