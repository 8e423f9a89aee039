// The one error type the engine raises. Its text is what the user reads, so it
// names the file (when there is one) and what is wrong with it.
#pragma once

#include <QString>

#include <functional>
#include <stdexcept>

namespace qvx {

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    // A fault in a file: "<path>: <what>".
    EngineError(const QString &path, const QString &what)
        : EngineError(path.isEmpty() ? what : path + QStringLiteral(": ") + what)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// Runs work; an EngineError whose text does not name the file is raised again
// with the file's path in front, so that every message says where it happened.
void namingFile(const QString &path, const std::function<void()> &work);

} // namespace qvx
