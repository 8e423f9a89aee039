// Feeds arbitrary bytes to the engine configuration reader. Whatever it
// accepts must be written back as text that reads as the same aliases.
#include "engine/EngineError.h"
#include "engine/config/ConfigFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList drivers { QStringLiteral("STANDARD"), QStringLiteral("DBASE") };
    std::vector<qvx::ConfigAlias> aliases;
    try {
        aliases = qvx::parseConfig(bytes, QStringLiteral("fuzz.conf"), drivers);
    } catch (const qvx::EngineError &) {
        return 0;
    }
    const std::vector<qvx::ConfigAlias> again
        = qvx::parseConfig(qvx::writeConfig(aliases), QStringLiteral("fuzz.conf"), drivers);
    if (again.size() != aliases.size())
        std::abort();
    for (std::size_t i = 0; i < again.size(); ++i) {
        if (again[i].name != aliases[i].name || again[i].driver != aliases[i].driver
            || again[i].params != aliases[i].params)
            std::abort();
    }
    return 0;
}
