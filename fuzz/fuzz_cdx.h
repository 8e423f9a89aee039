// The compound index reader on arbitrary bytes, and a file it reads must
// write back and read again to the same tags and keys.
//
// Input: a type byte (its value mod 3: keys read as character, numeric or
// date), then the .cdx file.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/index/Cdx.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline index::KeyTypeOf fuzzKeyType(std::uint8_t selector)
{
    const index::KeyType types[]
        = { index::KeyType::Character, index::KeyType::Numeric, index::KeyType::Date };
    const index::KeyType type = types[selector % 3];
    return [type](const index::TagDef &tag) { return tag.keyLength == 8 ? type : index::KeyType::Character; };
}

// Whether two readings of an index agree in every tag and key. Tag names
// are written upper-cased, so they are compared so.
inline bool sameContents(const index::IndexContents &a, const index::IndexContents &b)
{
    if (a.tags.size() != b.tags.size() || a.keys.size() != b.keys.size())
        return false;
    for (std::size_t i = 0; i < a.tags.size(); ++i) {
        const index::TagDef &x = a.tags[i];
        const index::TagDef &y = b.tags[i];
        if (x.name.toLatin1().toUpper() != y.name.toLatin1().toUpper() || x.expression != y.expression
            || x.forExpression != y.forExpression || x.type != y.type
            || index::sortKeyLength(x) != index::sortKeyLength(y) || x.unique != y.unique
            || x.descending != y.descending || x.collation != y.collation)
            return false;
    }
    for (std::size_t i = 0; i < a.keys.size(); ++i)
        if (a.keys[i].keys != b.keys[i].keys || a.keys[i].records != b.keys[i].records)
            return false;
    return true;
}

inline Fault cdxInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return nullptr;
    const index::KeyTypeOf typeOf = fuzzKeyType(data[0]);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    index::IndexContents first;
    try {
        (void)index::readCdx(bytes, QStringLiteral("fuzz.cdx"), typeOf, false);
        first = index::readCdx(bytes, QStringLiteral("fuzz.cdx"), typeOf);
    } catch (const EngineError &) {
        return nullptr;
    }
    QByteArray written;
    try {
        written = index::writeCdx(first, index::WriteContext {});
    } catch (const EngineError &) {
        return nullptr; // a tag the writer cannot hold (a blank name, two of one name)
    }
    try {
        if (!sameContents(first, index::readCdx(written, QStringLiteral("fuzz.cdx"), typeOf)))
            return "a compound index written from what was read reads back different";
    } catch (const EngineError &) {
        return "a compound index written from what was read does not read back";
    }
    return nullptr;
}

} // namespace qvx::fuzz
