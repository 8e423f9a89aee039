// Standard output for the commands: buffered UTF-8 text, written out in
// large pieces so that a table of millions of rows does not cost a system
// call per row.
#pragma once

#include <QByteArray>
#include <QString>

namespace qvx::tool {

class Output {
public:
    Output() = default;
    ~Output(); // flushes
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    Output &operator<<(const QString &text);
    Output &operator<<(const QByteArray &utf8);
    Output &operator<<(const char *utf8);
    void flush();

private:
    void maybeFlush();
    QByteArray m_buffer;
};

// One line on standard error, prefixed with "qvx: ".
void printError(const QString &message);

} // namespace qvx::tool
