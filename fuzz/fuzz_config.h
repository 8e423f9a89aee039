// The engine configuration reader on arbitrary bytes. Whatever it accepts
// must be written back as text that reads as the same aliases, formats,
// [INIT] entries and comment lines.
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
            || again.aliases[i].params != aliases[i].params
            || again.aliases[i].comments != aliases[i].comments)
            return "an alias reads back different from what was written";
    }
    for (std::size_t i = 0; i < read.formats.size(); ++i) {
        if (again.formats[i].section != read.formats[i].section
            || again.formats[i].entries != read.formats[i].entries
            || again.formats[i].comments != read.formats[i].comments)
            return "a format section reads back different from what was written";
    }
    if (again.init.has_value() != read.init.has_value()
        || (read.init
            && (again.init->entries != read.init->entries || again.init->comments != read.init->comments)))
        return "the [INIT] section reads back different from what was written";
    if (again.sectionOrder != read.sectionOrder)
        return "the sections read back in another order";
    if (again.leadingComments != read.leadingComments || again.trailingComments != read.trailingComments)
        return "the comments before or after the sections read back different";
    return nullptr;
}

} // namespace qvx::fuzz
