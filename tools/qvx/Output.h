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
    // Bytes added as they are, for writers that build a line piece by piece.
    void append(const char *utf8, qsizetype size)
    {
        m_buffer.append(utf8, size);
        maybeFlush();
    }
    void append(char c)
    {
        m_buffer.append(c);
        maybeFlush();
    }
    void flush();

private:
    void maybeFlush();
    QByteArray m_buffer;
};

// One line on standard error, prefixed with "qvx: ".
void printError(const QString &message);

} // namespace qvx::tool
