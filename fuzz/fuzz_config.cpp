// Feeds arbitrary bytes to the engine configuration reader. Whatever it
// accepts must be written back as text that reads as the same aliases and formats.
#include "engine/EngineError.h"
#include "engine/config/ConfigFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList drivers { QStringLiteral("STANDARD"), QStringLiteral("DBASE") };
    qvx::ConfigContents read;
    try {
        read = qvx::parseConfig(bytes, QStringLiteral("fuzz.conf"), drivers);
    } catch (const qvx::EngineError &) {
        return 0;
    }
    const qvx::ConfigContents again
        = qvx::parseConfig(qvx::writeConfig(read), QStringLiteral("fuzz.conf"), drivers);
    const auto &aliases = read.aliases;
    if (again.aliases.size() != aliases.size() || again.formats.size() != read.formats.size())
        std::abort();
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        if (again.aliases[i].name != aliases[i].name || again.aliases[i].driver != aliases[i].driver
            || again.aliases[i].params != aliases[i].params)
            std::abort();
    }
    for (std::size_t i = 0; i < read.formats.size(); ++i) {
        if (again.formats[i].section != read.formats[i].section
            || again.formats[i].entries != read.formats[i].entries)
            std::abort();
    }
    return 0;
}
