// Feeds arbitrary bytes to the text table schema reader. A schema it
// accepts must come back the same through the schema writer.
#include "engine/EngineError.h"
#include "engine/formats/ascii/AsciiSchema.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    qvx::ascii::Schema schema;
    try {
        schema = qvx::ascii::parseSchema(text, QStringLiteral("fuzz.sch"));
    } catch (const qvx::EngineError &) {
        return 0;
    }
    const QByteArray again = qvx::ascii::schemaText(schema);
    try {
        const qvx::ascii::Schema back = qvx::ascii::parseSchema(again, QStringLiteral("fuzz.sch"));
        if (back.fields.size() != schema.fields.size() || back.fixed != schema.fixed
            || back.codePage != schema.codePage)
            __builtin_trap();
    } catch (const qvx::EngineError &) {
        __builtin_trap(); // the writer wrote what the reader refuses
    }
    return 0;
}
