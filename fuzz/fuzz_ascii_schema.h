// The text table schema reader on arbitrary bytes. A schema it accepts must
// come back the same through the schema writer.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/formats/ascii/AsciiSchema.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault asciiSchemaInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    ascii::Schema schema;
    try {
        schema = ascii::parseSchema(text, QStringLiteral("fuzz.sch"));
    } catch (const EngineError &) {
        return nullptr;
    }
    const QByteArray again = ascii::schemaText(schema);
    try {
        const ascii::Schema back = ascii::parseSchema(again, QStringLiteral("fuzz.sch"));
        if (back.fields.size() != schema.fields.size() || back.fixed != schema.fixed
            || back.codePage != schema.codePage)
            return "a schema reads back different from what was written";
    } catch (const EngineError &) {
        return "the schema writer wrote what the reader refuses";
    }
    return nullptr;
}

} // namespace qvx::fuzz
