// The commands of qvx: how they are called, found and described. Each
// command lives in a unit of its own and is listed once in Command.cpp.
#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

class QCommandLineParser;

namespace qvx::tool {

// A mistake in how the tool was called. main() prints it with the usage text
// and exits with status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

struct Command {
    QString name;
    QString synopsis; // options and arguments, as shown in the usage text
    // Runs the command on the arguments after its name; returns the exit
    // status. Throws UsageError or EngineError.
    int (*run)(const QStringList &args);
};

const std::vector<Command> &commands();
const Command *findCommand(const QString &name);
QString usageText();

// Parses a command's arguments with the options already added to parser and
// returns the positional arguments, of which there must be between
// minPositional and maxPositional. Throws UsageError.
QStringList parseArguments(QCommandLineParser &parser, const QStringList &args, int minPositional,
                           int maxPositional);

// The commands, one unit each.
int runInfo(const QStringList &args);
int runCat(const QStringList &args);
int runConvert(const QStringList &args);
int runSql(const QStringList &args);
int runAliases(const QStringList &args);

} // namespace qvx::tool
