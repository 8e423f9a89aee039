// qvx: a command-line tool over the table engine, for scripts and checks.
#include "Command.h"
#include "Output.h"

#include "engine/EngineError.h"
#include "engine/Session.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    using namespace qvx::tool;
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    try {
        if (args.isEmpty())
            throw UsageError(QStringLiteral("no command given"));
        if (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
            std::fputs(usageText().toUtf8().constData(), stdout);
            return 0;
        }
        const Command *command = findCommand(args.first());
        if (!command)
            throw UsageError(QStringLiteral("unknown command '%1'").arg(args.first()));
        // Text tables write dates, times and numbers in the configured forms.
        qvx::Session session;
        qvx::Session::setDefaultSession(&session);
        return command->run(args.mid(1));
    } catch (const UsageError &e) {
        printError(e.message());
        std::fputs(usageText().toUtf8().constData(), stderr);
        return 2;
    } catch (const qvx::EngineError &e) {
        printError(e.message());
        return 1;
    } catch (const std::exception &e) {
        printError(QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
