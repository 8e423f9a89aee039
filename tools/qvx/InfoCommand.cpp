// qvx info: what a file is and what fields it has.
#include "Command.h"
#include "FieldTypeNames.h"
#include "Output.h"
#include "Source.h"
#include "ValueFormat.h"

#include <QCommandLineParser>

namespace qvx::tool {

namespace {

QString versionText(const SourceInfo &info)
{
    if (!info.version)
        return QStringLiteral("-");
    return QStringLiteral("0x") + QString::number(*info.version, 16).toUpper().rightJustified(2, u'0');
}

void printText(Output &out, const QString &path, const SourceInfo &info, const FieldDefs &fields)
{
    out << QStringLiteral("File:       %1\n").arg(path);
    out << QStringLiteral("Format:     %1\n").arg(info.format);
    out << QStringLiteral("Version:    %1\n").arg(versionText(info));
    out << QStringLiteral("Code page:  %1%2\n")
               .arg(info.codePage.isEmpty() ? QStringLiteral("-") : info.codePage,
                    info.codePage.isEmpty() || info.codePageSource.isEmpty()
                        ? QString()
                        : QStringLiteral(" (%1)").arg(info.codePageSource));
    out << QStringLiteral("Records:    %1\n").arg(info.recordCount);
    out << QStringLiteral("Fields:     %1\n").arg(fields.size());

    qsizetype nameWidth = 4;
    for (const FieldDef &f : fields)
        nameWidth = std::max(nameWidth, f.name.size());
    out << QStringLiteral("\n  #  %1  Code  Type                          Size  Decimals\n")
               .arg(QStringLiteral("Name"), -int(nameWidth));
    int number = 0;
    for (const FieldDef &f : fields) {
        out << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                   .arg(++number, 3)
                   .arg(f.name, -int(nameWidth))
                   .arg(fieldTypeCode(f.type), 4)
                   .arg(fieldTypeDisplayName(f.type), -28)
                   .arg(f.size, 4)
                   .arg(f.decimals, 8);
    }
    if (info.indexes.empty())
        return;
    out << QStringLiteral("\nIndexes:    %1\n").arg(info.indexes.size());
    for (const IndexInfo &i : info.indexes) {
        out << QStringLiteral("\n  File:       %1\n  Tag:        %2\n  Expression: %3\n")
                   .arg(i.file, i.tag, i.expression);
        if (!i.forExpression.isEmpty())
            out << QStringLiteral("  For:        %1\n").arg(i.forExpression);
        if (!i.options.isEmpty())
            out << QStringLiteral("  Options:    %1\n").arg(i.options.join(QStringLiteral(", ")));
        out << QStringLiteral("  Keys:       %1\n")
                   .arg(i.keyCount < 0 ? QStringLiteral("-") : QString::number(i.keyCount));
    }
}

void printJson(Output &out, const QString &path, const SourceInfo &info, const FieldDefs &fields)
{
    out << "{\"file\":" << jsonString(path) << ",\"format\":" << jsonString(info.format)
        << ",\"version\":" << (info.version ? QByteArray::number(*info.version) : QByteArrayLiteral("null"))
        << ",\"codePage\":"
        << (info.codePage.isEmpty() ? QByteArrayLiteral("null") : jsonString(info.codePage))
        << ",\"codePageSource\":"
        << (info.codePageSource.isEmpty() ? QByteArrayLiteral("null") : jsonString(info.codePageSource))
        << ",\"recordCount\":" << QByteArray::number(info.recordCount) << ",\"fields\":[";
    bool firstField = true;
    for (const FieldDef &f : fields) {
        out << (firstField ? "" : ",") << "{\"name\":" << jsonString(f.name)
            << ",\"type\":" << QByteArray::number(fieldTypeCode(f.type))
            << ",\"typeName\":" << jsonString(fieldTypeDisplayName(f.type))
            << ",\"size\":" << QByteArray::number(f.size)
            << ",\"decimals\":" << QByteArray::number(f.decimals) << "}";
        firstField = false;
    }
    out << "],\"indexes\":[";
    bool firstIndex = true;
    for (const IndexInfo &i : info.indexes) {
        out << (firstIndex ? "" : ",") << "{\"file\":" << jsonString(i.file)
            << ",\"tag\":" << jsonString(i.tag) << ",\"expression\":" << jsonString(i.expression)
            << ",\"for\":"
            << (i.forExpression.isEmpty() ? QByteArrayLiteral("null") : jsonString(i.forExpression))
            << ",\"options\":[";
        for (qsizetype k = 0; k < i.options.size(); ++k)
            out << (k ? "," : "") << jsonString(i.options[k]);
        out << "],\"keyCount\":"
            << (i.keyCount < 0 ? QByteArrayLiteral("null") : QByteArray::number(i.keyCount)) << "}";
        firstIndex = false;
    }
    out << "]}\n";
}

} // namespace

int runInfo(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption inputCodePage(QStringLiteral("input-codepage"), QString(),
                                           QStringLiteral("NAME"));
    parser.addOptions({ json, inputCodePage });
    const QString path = parseArguments(parser, args, 1, 1).first();

    Source source(path, parser.value(inputCodePage));
    SourceInfo info;
    namingFile(path, [&] { info = source.info(); });
    Output out;
    if (parser.isSet(json))
        printJson(out, path, info, source.data().fields());
    else
        printText(out, path, info, source.data().fields());
    return 0;
}

} // namespace qvx::tool
