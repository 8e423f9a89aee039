// The .ndx reader on arbitrary bytes, and what it reads must write and read
// back the same. The body is shared by the .ntx and .mdx targets.
//
// Input: a kind byte (by its value mod 5: the caller knows no key type, or
// says character, numeric, date or logical), then the index file.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/index/Ndx.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

using IndexReader = index::IndexContents (*)(QByteArrayView, const QString &, const index::KeyTypeOf &, bool);
using IndexWriter = QByteArray (*)(const index::IndexContents &, const index::WriteContext &);

inline bool sameTags(const index::IndexContents &a, const index::IndexContents &b)
{
    if (a.tags.size() != b.tags.size())
        return false;
    for (size_t i = 0; i < a.tags.size(); ++i) {
        const index::TagDef &x = a.tags[i];
        const index::TagDef &y = b.tags[i];
        if (x.name != y.name || x.expression != y.expression || x.forExpression != y.forExpression
            || x.type != y.type || x.keyLength != y.keyLength || x.decimals != y.decimals
            || x.unique != y.unique || x.descending != y.descending)
            return false;
    }
    return true;
}

inline bool sameKeys(const index::IndexContents &a, const index::IndexContents &b)
{
    if (a.keys.size() != b.keys.size())
        return false;
    for (size_t i = 0; i < a.keys.size(); ++i)
        if (a.keys[i].keyLength != b.keys[i].keyLength || a.keys[i].keys != b.keys[i].keys
            || a.keys[i].records != b.keys[i].records)
            return false;
    return true;
}

// Reads; what reads must read the same without its keys, write, read back
// with the same tags and (keysExact: where no rounding to a stored form can
// change them) the same keys, and write again to the same bytes.
inline Fault indexInput(const std::uint8_t *data, std::size_t size, IndexReader read, IndexWriter write,
                        const char *fileName, bool keysExact)
{
    if (size < 1)
        return nullptr;
    const index::KeyType types[] = { index::KeyType::Character, index::KeyType::Numeric, index::KeyType::Date,
                                     index::KeyType::Logical };
    index::KeyTypeOf typeOf;
    if (data[0] % 5 != 0)
        typeOf = [type = types[data[0] % 5 - 1]](const index::TagDef &) { return type; };
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString name = QString::fromLatin1(fileName);
    const index::WriteContext context { QStringLiteral("FUZZ"), QDate(2024, 5, 6) };

    index::IndexContents first;
    try {
        first = read(bytes, name, typeOf, true);
    } catch (const EngineError &) {
        return nullptr;
    }
    try {
        if (!sameTags(read(bytes, name, typeOf, false), first))
            return "reading without the keys gives other tags";
    } catch (const EngineError &) {
        return "the header reads with the keys but not without them";
    }
    QByteArray written;
    try {
        written = write(first, context);
    } catch (const EngineError &) {
        return nullptr; // a tag or key the format reads but we do not write
    }
    index::IndexContents second;
    try {
        second = read(written, name, typeOf, true);
    } catch (const EngineError &) {
        return "a file we wrote does not read back";
    }
    if (!sameTags(first, second))
        return "a file we wrote reads back with other tags";
    for (size_t i = 0; keysExact && i < first.tags.size(); ++i)
        if (first.tags[i].type == index::KeyType::Numeric && std::string_view(fileName).ends_with(".ntx"))
            keysExact = false;
    if (keysExact && !sameKeys(first, second))
        return "a file we wrote reads back with other keys";
    try {
        if (write(second, context) != written)
            return "writing what we read back gives other bytes";
    } catch (const EngineError &) {
        return "what we read back from our own file does not write";
    }
    return nullptr;
}

inline Fault ndxInput(const std::uint8_t *data, std::size_t size)
{
    return indexInput(data, size, index::readNdx, index::writeNdx, "fuzz.ndx", true);
}

} // namespace qvx::fuzz
