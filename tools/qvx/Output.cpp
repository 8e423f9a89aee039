#include "Output.h"

#include <cstdio>

namespace qvx::tool {

namespace {
constexpr qsizetype FlushSize = 64 * 1024;
}

Output::~Output()
{
    flush();
}

Output &Output::operator<<(const QString &text)
{
    m_buffer += text.toUtf8();
    maybeFlush();
    return *this;
}

Output &Output::operator<<(const QByteArray &utf8)
{
    m_buffer += utf8;
    maybeFlush();
    return *this;
}

Output &Output::operator<<(const char *utf8)
{
    m_buffer += utf8;
    maybeFlush();
    return *this;
}

void Output::maybeFlush()
{
    if (m_buffer.size() >= FlushSize)
        flush();
}

void Output::flush()
{
    if (!m_buffer.isEmpty())
        std::fwrite(m_buffer.constData(), 1, std::size_t(m_buffer.size()), stdout);
    m_buffer.resize(0); // the buffer is kept for the next lines
    std::fflush(stdout);
}

void printError(const QString &message)
{
    // A message is one line, whatever the engine put in it.
    QString line = message;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    std::fputs(("qvx: " + line + u'\n').toUtf8().constData(), stderr);
}

} // namespace qvx::tool
