// The RTF reader on arbitrary bytes. Whatever it reads must come back with
// the same text after the writer has written it and the reader read that.
// Needs a QGuiApplication, as every QTextDocument does.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "ui/RtfText.h"

#include <QByteArray>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault rtfInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument first;
    ui::readRtf(bytes, first);
    const QByteArray written = ui::writeRtf(first);
    if (!ui::looksLikeRtf(written))
        return "the RTF writer wrote something that does not start as RTF";
    for (const char c : written) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return "the RTF writer wrote a byte beyond ASCII";
    }
    QTextDocument again;
    ui::readRtf(written, again);
    if (again.toRawText() != first.toRawText())
        return "RTF written from a document reads back with other text";
    if (again.blockCount() != first.blockCount())
        return "RTF written from a document reads back with another number of paragraphs";
    return nullptr;
}

} // namespace qvx::fuzz
