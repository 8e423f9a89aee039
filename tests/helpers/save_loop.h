// What each version written by qvx_save_loop holds, shared with the test that
// checks what a killed run left behind.
#pragma once

#include <QString>

namespace saveloop {

constexpr int kTextSize = 40;

// Versions alternate in size so that a file mixing two of them shows.
inline int rowsFor(int version)
{
    return version % 2 ? 40 : 64;
}

inline QString expectedText(int version, int seq)
{
    return QStringLiteral("v%1 row %2 %3").arg(version).arg(seq).arg(version * 7919 + seq * 104729);
}

// Long enough to take several memo blocks, and different in length per row.
inline QString expectedMemo(int version, int seq)
{
    return QStringLiteral("memo of v%1 row %2:").arg(version).arg(seq)
        + QString(200 + (seq * 37 + version) % 900, QChar(u'a' + (version + seq) % 26));
}

} // namespace saveloop
