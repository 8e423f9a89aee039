// qvx aliases: the session's aliases with their driver and folder.
#include "Command.h"
#include "Output.h"
#include "ValueFormat.h"

#include "engine/Session.h"

#include <QCommandLineParser>

namespace qvx::tool {

int runAliases(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    parser.addOption(jsonOption);
    parseArguments(parser, args, 0, 0);

    Session session;
    Output out;
    if (!session.configWarning().isEmpty())
        printError(session.configWarning());
    const bool json = parser.isSet(jsonOption);
    if (json)
        out << "[";
    bool first = true;
    for (const QString &name : session.aliasNames()) {
        const QString driver = session.aliasDriverName(name);
        const QString path = session.aliasPath(name);
        if (json) {
            out << (first ? "" : ",") << "{\"name\":" << jsonString(name)
                << ",\"driver\":" << jsonString(driver) << ",\"path\":" << jsonString(path) << "}";
        } else {
            out << name << "\t" << driver << "\t" << path << "\n";
        }
        first = false;
    }
    if (json)
        out << "]\n";
    return 0;
}

} // namespace qvx::tool
