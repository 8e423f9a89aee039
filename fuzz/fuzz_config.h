// The engine configuration reader on arbitrary bytes. Whatever it accepts
// must be written back as text that reads as the same aliases and formats.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/config/ConfigFile.h"

#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault configInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList drivers { QStringLiteral("STANDARD"), QStringLiteral("DBASE") };
    ConfigContents read;
    try {
        read = parseConfig(bytes, QStringLiteral("fuzz.conf"), drivers);
    } catch (const EngineError &) {
        return nullptr;
    }
    ConfigContents again;
    try {
        again = parseConfig(writeConfig(read), QStringLiteral("fuzz.conf"), drivers);
    } catch (const EngineError &) {
        return "the configuration writer wrote what the reader refuses";
    }
    const auto &aliases = read.aliases;
    if (again.aliases.size() != aliases.size() || again.formats.size() != read.formats.size())
        return "a configuration reads back with a different number of sections";
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        if (again.aliases[i].name != aliases[i].name || again.aliases[i].driver != aliases[i].driver
            || again.aliases[i].params != aliases[i].params)
            return "an alias reads back different from what was written";
    }
    for (std::size_t i = 0; i < read.formats.size(); ++i) {
        if (again.formats[i].section != read.formats[i].section
            || again.formats[i].entries != read.formats[i].entries)
            return "a format section reads back different from what was written";
    }
    return nullptr;
}

} // namespace qvx::fuzz
