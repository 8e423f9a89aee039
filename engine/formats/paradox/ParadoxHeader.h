// The header of a Paradox table (see ParadoxLayout.h): reading it from a
// file with every size, count and name checked, and writing a new one.
#pragma once

#include "ParadoxLayout.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace qvx {
class File;
}

namespace qvx::paradox {

struct Field {
    QByteArray name; // raw bytes in the table's code page
    std::uint8_t type = kAlpha;
    int size = 0; // the descriptor's size byte: decimals for BCD
    int offset = 0; // in the record
    int length = 0; // bytes in the record

    bool isBlob() const { return type >= kMemo && type <= kGraphic; }
    int leader() const { return length - kBlobPointerSize; }
};

struct Header {
    int recordSize = 0;
    int headerSize = 0;
    std::uint8_t fileType = kUnkeyedTable;
    int blockKiB = 0;
    std::uint32_t numRecords = 0;
    int blocksInUse = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
    int lastBlock = 0;
    int keyFields = 0;
    std::uint8_t sortOrder = 0;
    std::uint8_t fileVersion = 0;
    std::uint32_t autoInc = 0;
    int firstFreeBlock = 0;
    int codePage = 0; // 0 when the header names none
    QByteArray tableName;
    std::vector<Field> fields;
    // The u16 after the field names: 1..n in a table; in a secondary index
    // (.Xnn/.XGn) the table's number of each field (0 for "Hint").
    std::vector<int> fieldNumbers;
    QByteArray sortOrderName; // "ascii", "intl", ...; written as "ascii" when empty
    // Secondary indexes only: the index's name (after the sort order's),
    // the indexed field's number at 0x15 and the flags at 0x55.
    QByteArray indexName;
    int indexField = 0;
    std::uint8_t indexFlags = 0;
    bool rebuildNeeded = false; // 0x14 not zero

    int blockSize() const { return blockKiB * 1024; }
    bool hasDataHeader() const { return fileVersion >= kFirstVersion4; }
    bool hasBlobs() const;
    qint64 blockOffset(int block) const { return headerSize + qint64(block - 1) * blockSize(); }
    int recordsPerBlock() const { return (blockSize() - kBlockHeaderSize) / recordSize; }
};

// "Paradox 3.0", "Paradox 4", "Paradox 7", ... for a fileVersion byte.
QString versionName(std::uint8_t fileVersion);

// The bytes a field of this type takes in a record, given its size byte, or
// -1 when the type or size is not one a table can have.
int fieldLength(std::uint8_t type, int size);

// Reads and checks the header of a table file. Throws EngineError
// "<path>: <what>" for anything that is not a readable Paradox table.
Header readHeader(const File &file);
// The same for a secondary index (.Xnn/.XGn, file types 3, 5, 6 and 8),
// which is laid out as a table is.
Header readSecondaryHeader(const File &file);

// The whole header of a new, empty table, h.headerSize bytes long.
QByteArray encodeHeader(const Header &h);

// The header size a new table with these fields needs (a multiple of 2 KiB).
int headerSizeFor(const Header &h);

// Header fields that change as records are written: record count, block
// counts and links, next autoincrement value. Written over bytes 0..0x58.
void encodeCounts(const Header &h, char *fixedHeader);

inline std::uint16_t le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint16_t(u[0] | u[1] << 8);
}
inline std::uint32_t le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16
        | std::uint32_t(u[3]) << 24;
}
inline void putLe16(char *p, std::uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
inline void putLe32(char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace qvx::paradox
