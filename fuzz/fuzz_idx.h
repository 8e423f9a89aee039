// The single index reader (both forms) on arbitrary bytes, and a file it
// reads must write back in its own form and read again to the same tag and
// keys.
//
// Input: a type byte (its value mod 3: keys read as character, numeric or
// date), then the .idx file.
#pragma once

#include "fuzz/fuzz_cdx.h"

#include "engine/index/Idx.h"

namespace qvx::fuzz {

inline Fault idxInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return nullptr;
    const index::KeyTypeOf typeOf = fuzzKeyType(data[0]);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const bool compact = bytes.size() > index::idx::kOptions
        && (std::uint8_t(bytes[index::idx::kOptions]) & index::idx::kCompact);
    index::IndexContents first;
    try {
        (void)index::readIdx(bytes, QStringLiteral("fuzz.idx"), typeOf, false);
        first = index::readIdx(bytes, QStringLiteral("fuzz.idx"), typeOf);
    } catch (const EngineError &) {
        return nullptr;
    }
    QByteArray written;
    try {
        written = index::writeIdx(first, index::WriteContext {}, compact);
    } catch (const EngineError &) {
        return nullptr; // what the older form cannot hold (descending, a collation)
    }
    try {
        if (!sameContents(first, index::readIdx(written, QStringLiteral("fuzz.idx"), typeOf)))
            return "a single index written from what was read reads back different";
    } catch (const EngineError &) {
        return "a single index written from what was read does not read back";
    }
    return nullptr;
}

} // namespace qvx::fuzz
