#include "Command.h"

#include <QCommandLineParser>

namespace qvx::tool {

const std::vector<Command> &commands()
{
    static const std::vector<Command> list = {
        { QStringLiteral("info"), QStringLiteral("[--json] [--input-codepage NAME] FILE"), runInfo },
        { QStringLiteral("cat"),
          QStringLiteral("[--format=jsonl|csv] [--limit N] [--input-codepage NAME] FILE"), runCat },
        { QStringLiteral("convert"),
          QStringLiteral("[--to dbase3|dbase4|foxpro|vfp|paradox|ascii|xml|cds] [--codepage NAME] "
                         "[--input-codepage NAME] IN OUT"),
          runConvert },
        { QStringLiteral("aliases"), QStringLiteral("[--json]"), runAliases },
        { QStringLiteral("sql"),
          QStringLiteral("[--alias NAME=DIR]... [--dir DIR] [--format=jsonl|csv] [--input-codepage NAME] "
                         "(STATEMENT | -f FILE)"),
          runSql },
    };
    return list;
}

const Command *findCommand(const QString &name)
{
    for (const Command &c : commands()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

QString usageText()
{
    QString text = QStringLiteral("usage:\n");
    for (const Command &c : commands())
        text += QStringLiteral("  qvx %1 %2\n").arg(c.name, c.synopsis);
    return text;
}

QStringList parseArguments(QCommandLineParser &parser, const QStringList &args, int minPositional,
                           int maxPositional)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // QCommandLineParser expects the program name first.
    if (!parser.parse(QStringList { QStringLiteral("qvx") } + args))
        throw UsageError(parser.errorText());
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < minPositional)
        throw UsageError(QStringLiteral("missing arguments"));
    if (positional.size() > maxPositional)
        throw UsageError(
            QStringLiteral("too many arguments: %1").arg(positional.mid(maxPositional).join(u' ')));
    return positional;
}

} // namespace qvx::tool
