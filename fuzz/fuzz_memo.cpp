// Feeds arbitrary bytes to the memo file reader, and checks that a value
// appended to a (possibly damaged) memo file reads back unchanged.
//
// Input: a kind byte (dBASE III, dBASE IV or FoxPro by its value mod 3),
// four bytes of block number, then the memo file.
#include "engine/EngineError.h"
#include "engine/formats/dbf/DbfMemo.h"
#include "engine/io/File.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace qvx::dbf;
    if (size < 5)
        return 0;
    const MemoKind kinds[] = { MemoKind::Dbt3, MemoKind::Dbt4, MemoKind::Fpt };
    const MemoKind kind = kinds[data[0] % 3];
    const std::uint32_t block = le32(reinterpret_cast<const char *>(data + 1));
    const QByteArray bytes(reinterpret_cast<const char *>(data + 5), qsizetype(size - 5));
    try {
        MemoFile memo(std::make_unique<qvx::MemoryFile>(bytes, QStringLiteral("fuzz.memo")), kind);
        try {
            (void)memo.read(block);
        } catch (const qvx::EngineError &) {
        }
        if (memo.file().size() > (1 << 20))
            return 0;
        const QByteArray value = bytes.left(64).replace('\x1A', 'z') + "tail";
        const std::uint32_t at = memo.append(value, 1);
        if (memo.read(at) != value)
            std::abort(); // an appended memo must read back as written
        (void)memo.emptied();
    } catch (const qvx::EngineError &) {
    }
    return 0;
}
