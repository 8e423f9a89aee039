// The reader of Paradox secondary indexes (.Xnn/.XGn, and the .Ynn/.YGn
// over them) on memory files.
//
// Input: two little-endian bytes giving the table's length, the table (.db),
// then the .Xnn. An index that reads is written again from what was read
// and must read back the same, with a .Ynn that reads.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/formats/common/CodePage.h"
#include "engine/formats/paradox/ParadoxHeader.h"
#include "engine/formats/paradox/ParadoxSecondary.h"
#include "engine/io/File.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault paradoxSecondaryInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray table(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray index = splitCompanion(table);
    paradox::Header h;
    paradox::SecondaryIndex read;
    try {
        h = paradox::readHeader(MemoryFile(table, QStringLiteral("fuzz.db")));
        read = paradox::readSecondaryIndex(MemoryFile(index, QStringLiteral("fuzz.X02")), h, true);
    } catch (const EngineError &) {
        return nullptr;
    }
    if (qint64(read.records.size()) != read.keyCount)
        return "the records read are not as many as the index counts";
    const paradox::SecondaryFiles again = paradox::encodeSecondary(h, read.def, read.records, read.stale);
    try {
        const MemoryFile x(again.x, QStringLiteral("again.X02"));
        const paradox::SecondaryIndex back = paradox::readSecondaryIndex(x, h, true);
        if (back.records != read.records || back.def.fields != read.def.fields
            || back.def.name != read.def.name || back.def.unique != read.def.unique
            || back.def.descending != read.def.descending
            || back.def.caseInsensitive != read.def.caseInsensitive
            || back.def.maintained != read.def.maintained || back.stale != read.stale)
            return "an index written from what was read reads back different";
        paradox::checkSecondaryTree(MemoryFile(again.y, QStringLiteral("again.Y02")), x);
    } catch (const EngineError &) {
        return "an index written from what was read does not read back";
    }
    return nullptr;
}

} // namespace qvx::fuzz
