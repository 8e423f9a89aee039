// qvx sql: runs a statement in the program's SQL dialect over table files.
// A SELECT prints its rows as `qvx cat` does; any other statement prints
// how many records it changed. "--" ends the options, so that a statement
// may start with a comment of its own (qvx sql -- "-- note<newline>SELECT 1").
#include "Command.h"
#include "Output.h"
#include "RecordWriter.h"

#include "engine/Query.h"
#include "engine/Session.h"

#include <QCommandLineParser>
#include <QFile>

namespace qvx::tool {

int runSql(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption aliasOption(QStringLiteral("alias"), QString(), QStringLiteral("NAME=DIR"));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"),
                                          QStringLiteral("jsonl"));
    const QCommandLineOption fileOption(QStringLiteral("f"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption inputCodePage(QStringLiteral("input-codepage"), QString(),
                                           QStringLiteral("NAME"));
    parser.addOptions({ aliasOption, dirOption, formatOption, fileOption, inputCodePage });
    const QStringList positional = parseArguments(parser, args, 0, 1);
    const RecordFormat format = recordFormat(parser.value(formatOption));

    Query query;
    if (parser.isSet(fileOption)) {
        if (!positional.isEmpty())
            throw UsageError(QStringLiteral("give the statement or -f FILE, not both"));
        query.loadSQLFromFile(parser.value(fileOption));
    } else {
        if (positional.isEmpty())
            throw UsageError(QStringLiteral("missing the statement"));
        query.setSQLText(positional.first());
    }

    Session session;
    for (const QString &alias : parser.values(aliasOption)) {
        const qsizetype eq = alias.indexOf(u'=');
        if (eq <= 0 || eq == alias.size() - 1)
            throw UsageError(QStringLiteral("--alias needs NAME=DIR, not '%1'").arg(alias));
        session.addVirtualAlias(alias.left(eq), QStringLiteral("STANDARD"),
                                { QStringLiteral("PATH=") + alias.mid(eq + 1) });
    }
    query.setSession(&session);
    query.setInputCodePage(parser.value(inputCodePage));
    if (parser.isSet(dirOption))
        query.setDirectory(parser.value(dirOption));

    Output out;
    // SQLite says whether the statement returns rows, whatever comments
    // or WITH clause it starts with.
    if (query.returnsRows()) {
        query.open();
        writeRecords(query, format, -1, out);
    } else {
        out << QString::number(query.execSQL()) << "\n";
    }
    return 0;
}

} // namespace qvx::tool
