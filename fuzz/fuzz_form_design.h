// The form design reader on arbitrary bytes. Whatever it accepts must be
// written back as a document that reads as the same design.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/FormDesign.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault formDesignInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    FormDesign read;
    try {
        read = readFormDesign(bytes, QStringLiteral("fuzz.json"));
    } catch (const EngineError &) {
        return nullptr;
    }
    try {
        if (!(readFormDesign(writeFormDesign(read), QStringLiteral("fuzz.json")) == read))
            return "a form design reads back different from what was written";
    } catch (const EngineError &) {
        return "the form design writer wrote what the reader refuses";
    }
    return nullptr;
}

} // namespace qvx::fuzz
