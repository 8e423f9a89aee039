#include "ParadoxIndex.h"

#include "ParadoxValues.h"

#include "../../EngineError.h"
#include "../../io/File.h"

#include <algorithm>
#include <cstring>

namespace qvx::paradox {

namespace {

constexpr int kIndexFileType = 1;
constexpr int kIndexRoot = 0x1E; // u16
constexpr int kIndexLevels = 0x20; // u8
constexpr int kIndexHeaderSize = 0x800;
constexpr int kMaxLevels = 8;

int indexBlockKiB(int recordSize)
{
    return recordSize < 80 ? 2 : recordSize < 140 ? 3 : 4;
}

void putShort(char *p, int v)
{
    encodeInt(v, p, 2);
}

} // namespace

int keyLength(const Header &table)
{
    int length = 0;
    for (int i = 0; i < table.keyFields && std::size_t(i) < table.fields.size(); ++i)
        length += table.fields[std::size_t(i)].length;
    return length;
}

QByteArray encodePrimaryIndex(const Header &table, const std::vector<IndexEntry> &dataBlocks)
{
    const int keyBytes = keyLength(table);
    const int recordSize = keyBytes + 6;
    const int blockKiB = indexBlockKiB(recordSize);
    const int blockSize = blockKiB * 1024;
    const int perBlock = (blockSize - kBlockHeaderSize) / recordSize;

    // Entries of each level, lowest first; a level that fits one block is the root.
    std::vector<std::vector<IndexEntry>> levels;
    if (!dataBlocks.empty())
        levels.push_back(dataBlocks);
    std::vector<int> blocksOf; // index blocks each level takes
    while (!levels.empty()) {
        const int n = int(levels.back().size());
        blocksOf.push_back((n + perBlock - 1) / perBlock);
        if (blocksOf.back() == 1)
            break;
        levels.push_back(std::vector<IndexEntry>(std::size_t(blocksOf.back())));
    }
    const int height = int(levels.size());
    // The root is block 1, and each level's blocks follow the level above.
    std::vector<int> firstBlock(std::size_t(height), 1);
    for (int l = height - 2; l >= 0; --l)
        firstBlock[std::size_t(l)] = firstBlock[std::size_t(l) + 1] + blocksOf[std::size_t(l) + 1];
    for (int l = 0; l + 1 < height; ++l) {
        const auto &lower = levels[std::size_t(l)];
        auto &upper = levels[std::size_t(l) + 1];
        for (std::size_t g = 0; g < upper.size(); ++g) {
            const std::size_t from = g * std::size_t(perBlock);
            const std::size_t to = std::min(lower.size(), from + std::size_t(perBlock));
            int count = 0;
            for (std::size_t i = from; i < to; ++i)
                count = std::min(count + lower[i].count, 0x7FFF);
            upper[g] = { lower[from].key, firstBlock[std::size_t(l)] + int(g), count };
        }
    }
    int totalBlocks = 0;
    int totalEntries = 0;
    for (int l = 0; l < height; ++l) {
        totalBlocks += blocksOf[std::size_t(l)];
        totalEntries += int(levels[std::size_t(l)].size());
    }

    QByteArray out(kIndexHeaderSize + qsizetype(totalBlocks) * blockSize, '\0');
    char *h = out.data();
    putLe16(h + kRecordSize, std::uint16_t(recordSize));
    putLe16(h + kHeaderSize, kIndexHeaderSize);
    h[kFileType] = char(kIndexFileType);
    h[kBlockKiB] = char(blockKiB);
    putLe32(h + kNumRecords, std::uint32_t(totalEntries));
    putLe16(h + kBlocksInUse, std::uint16_t(totalBlocks));
    putLe16(h + kFileBlocks, std::uint16_t(totalBlocks));
    putLe16(h + kFirstBlock, std::uint16_t(totalBlocks ? 1 : 0));
    putLe16(h + kLastBlock, std::uint16_t(totalBlocks));
    putLe16(h + kUnknown12, 17);
    putLe16(h + kIndexRoot, std::uint16_t(totalBlocks ? 1 : 0));
    h[kIndexLevels] = char(height);
    putLe16(h + kNumFields, std::uint16_t(table.keyFields));
    putLe16(h + kKeyFields, std::uint16_t(table.keyFields));
    h[kSortOrder] = char(table.sortOrder);
    h[kChangeCount1] = 2;
    h[kFileVersion] = char(table.fileVersion);
    int pos = kFixedHeaderEnd;
    for (int i = 0; i < table.keyFields; ++i) {
        h[pos++] = char(table.fields[std::size_t(i)].type);
        h[pos++] = char(table.fields[std::size_t(i)].size);
    }
    pos += 4;
    const int nameLength = table.fileVersion >= kVersion7 ? kTableNameLong : kTableNameShort;
    const QByteArray name = table.tableName.left(nameLength - 1);
    std::memcpy(h + pos, name.constData(), std::size_t(name.size()));

    for (int l = height - 1; l >= 0; --l) {
        const auto &entries = levels[std::size_t(l)];
        for (int b = 0; b < blocksOf[std::size_t(l)]; ++b) {
            const int block = firstBlock[std::size_t(l)] + b;
            char *p = out.data() + kIndexHeaderSize + qsizetype(block - 1) * blockSize;
            const std::size_t from = std::size_t(b) * std::size_t(perBlock);
            const std::size_t to = std::min(entries.size(), from + std::size_t(perBlock));
            putLe16(p, std::uint16_t(block < totalBlocks ? block + 1 : 0));
            putLe16(p + 2, std::uint16_t(block - 1));
            putLe16(p + 4, std::uint16_t(std::int16_t(int(to - from - 1) * recordSize)));
            char *r = p + kBlockHeaderSize;
            for (std::size_t i = from; i < to; ++i, r += recordSize) {
                std::memcpy(r, entries[i].key.constData(), std::size_t(keyBytes));
                putShort(r + keyBytes, entries[i].block);
                putShort(r + keyBytes + 2, entries[i].count);
                putShort(r + keyBytes + 4, 0);
            }
        }
    }
    return out;
}

PrimaryIndex readPrimaryIndex(const File &px, const Header &table)
{
    const auto fail = [&](const QString &what) { throw EngineError(px.path(), what); };
    char h[kFixedHeaderEnd];
    if (px.size() < kFixedHeaderEnd)
        fail(QStringLiteral("the file is too short to be a primary index"));
    px.readExact(0, h, kFixedHeaderEnd, "the header");
    const int keyBytes = keyLength(table);
    const int recordSize = le16(h + kRecordSize);
    const int headerSize = le16(h + kHeaderSize);
    const int blockKiB = std::uint8_t(h[kBlockKiB]);
    const int root = le16(h + kIndexRoot);
    const int levels = std::uint8_t(h[kIndexLevels]);
    // A secondary index's .Ynn (4) and .YGn (7) are laid out as a .px is.
    const int fileType = std::uint8_t(h[kFileType]);
    if (fileType != kIndexFileType && fileType != kKeyedTable && fileType != 4 && fileType != 7)
        fail(QStringLiteral("this is not a primary index"));
    if (recordSize != keyBytes + 6 || std::int16_t(le16(h + kNumFields)) != table.keyFields)
        fail(QStringLiteral("the index does not have the table's key"));
    if (blockKiB < 1 || blockKiB > 32 || recordSize + kBlockHeaderSize > blockKiB * 1024)
        fail(QStringLiteral("the block size of %1 KiB is not possible").arg(blockKiB));
    if (headerSize < kFixedHeaderEnd || headerSize > px.size())
        fail(QStringLiteral("the header size %1 does not fit the file").arg(headerSize));
    PrimaryIndex out;
    out.levels = levels;
    if (root == 0 || levels == 0)
        return out;
    if (levels > kMaxLevels)
        fail(QStringLiteral("the index claims %1 levels").arg(levels));
    const qint64 blockSize = qint64(blockKiB) * 1024;
    const qint64 room = px.size() - headerSize - kBlockHeaderSize;
    const int lastBlock = room < 0 ? 0 : int(std::min<qint64>(room / blockSize + 1, 0xFFFF));
    std::vector<bool> visited(std::size_t(lastBlock) + 1, false);
    const auto shortAt = [](const char *p) { return decodeInt(p, 2); };

    // Depth first from the root; each level's entries are blocks of the next.
    const auto walk = [&](const auto &self, int block, int level) -> void {
        if (block < 1 || block > lastBlock)
            fail(QStringLiteral("index block %1 is beyond the end of the file").arg(block));
        if (visited[std::size_t(block)])
            fail(QStringLiteral("index block %1 is reached twice").arg(block));
        visited[std::size_t(block)] = true;
        const qint64 offset = headerSize + qint64(block - 1) * blockSize;
        char head[kBlockHeaderSize];
        px.readExact(offset, head, kBlockHeaderSize, "an index block");
        const int last = std::int16_t(le16(head + 4));
        const int count = last < 0 ? 0 : last / recordSize + 1;
        if (qint64(count) * recordSize + kBlockHeaderSize > blockSize)
            fail(QStringLiteral("index block %1 claims %2 entries, more than it can hold")
                     .arg(block)
                     .arg(count));
        QByteArray bytes(qsizetype(count) * recordSize, Qt::Uninitialized);
        px.readExact(offset + kBlockHeaderSize, bytes.data(), bytes.size(), "an index block");
        for (int i = 0; i < count; ++i) {
            const char *r = bytes.constData() + qsizetype(i) * recordSize;
            const int target = shortAt(r + keyBytes);
            const int records = shortAt(r + keyBytes + 2);
            if (level == 1) {
                out.dataBlocks.push_back({ QByteArray(r, keyBytes), target, records });
                continue;
            }
            self(self, target, level - 1);
        }
    };
    walk(walk, root, levels);
    return out;
}

} // namespace qvx::paradox
