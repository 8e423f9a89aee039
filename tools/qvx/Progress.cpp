#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace qvx::tool {

Progress::Progress(const QString &label, qint64 total, qint64 threshold)
    : m_label(label), m_total(total), m_enabled(total > threshold && isatty(STDERR_FILENO))
{
    show();
}

Progress::~Progress()
{
    if (m_enabled && m_shownPercent >= 0)
        std::fputc('\n', stderr);
}

void Progress::step()
{
    ++m_done;
    show();
}

void Progress::show()
{
    if (!m_enabled)
        return;
    const int percent = int(m_done * 100 / m_total);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    std::fprintf(stderr, "\r%s: %d%% (%lld of %lld rows)", m_label.toLocal8Bit().constData(), percent,
                 static_cast<long long>(m_done), static_cast<long long>(m_total));
    std::fflush(stderr);
}

} // namespace qvx::tool
