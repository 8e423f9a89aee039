// The memo file reader on arbitrary bytes, and a value appended to a
// (possibly damaged) memo file must read back unchanged.
//
// Input: a kind byte (dBASE III, dBASE IV or FoxPro by its value mod 3),
// four little-endian bytes of block number, then the memo file.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/formats/dbf/DbfMemo.h"
#include "engine/io/File.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvx::fuzz {

inline Fault memoInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return nullptr;
    const dbf::MemoKind kinds[] = { dbf::MemoKind::Dbt3, dbf::MemoKind::Dbt4, dbf::MemoKind::Fpt };
    const dbf::MemoKind kind = kinds[data[0] % 3];
    const std::uint32_t block = dbf::le32(reinterpret_cast<const char *>(data + 1));
    const QByteArray bytes(reinterpret_cast<const char *>(data + 5), qsizetype(size - 5));
    try {
        dbf::MemoFile memo(std::make_unique<MemoryFile>(bytes, QStringLiteral("fuzz.memo")), kind);
        try {
            (void)memo.read(block);
        } catch (const EngineError &) {
        }
        if (memo.file().size() > (1 << 20))
            return nullptr;
        const QByteArray value = bytes.left(64).replace('\x1A', 'z') + "tail";
        const std::uint32_t at = memo.append(value, 1);
        if (memo.read(at) != value)
            return "an appended memo reads back different from what was written";
        (void)memo.emptied();
    } catch (const EngineError &) {
    }
    return nullptr;
}

} // namespace qvx::fuzz
