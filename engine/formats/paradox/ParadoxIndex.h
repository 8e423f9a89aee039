// The primary index (.px) of a keyed Paradox table.
//
//   .px file: the fixed header of a table (file type 1, record size = key
//   bytes + 6, 0x1E u16 root block, 0x20 u8 levels), then at 0x58 the key
//   fields' (type, size) pairs, a u32 pointer and the table name. Blocks
//   as in a table; the root is block 1 and every block is chained after it,
//   level by level from the root down. An entry is the key fields' bytes
//   as in a record, then three values encoded as short integers: the block
//   it points at (a data block from the lowest level, else an index block),
//   the records under it, and 0. The lowest level has one entry for each
//   data block that holds records, keyed by that block's first record.
#pragma once

#include "ParadoxHeader.h"

#include <QByteArray>

#include <vector>

namespace qvx {
class File;
}

namespace qvx::paradox {

struct IndexEntry {
    QByteArray key;
    int block = 0;
    int count = 0;
};

// The bytes of a key in a record of this table (the first keyFields fields).
int keyLength(const Header &table);

// A whole .px for a table whose data blocks, in chain order, start with
// these keys. Blocks without records are left out by the caller.
QByteArray encodePrimaryIndex(const Header &table, const std::vector<IndexEntry> &dataBlocks);

struct PrimaryIndex {
    int levels = 0;
    std::vector<IndexEntry> dataBlocks; // the lowest level, in key order
};

// Reads a .px (or a secondary index's .Ynn/.YGn, with the header of its
// .Xnn as table), following it from the root down, every block number and
// count checked against the file; throws EngineError "<path>: <what>".
PrimaryIndex readPrimaryIndex(const File &px, const Header &table);

} // namespace qvx::paradox
