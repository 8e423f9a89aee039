#include "ParadoxSecondary.h"

#include "ParadoxIndex.h"
#include "ParadoxValues.h"

#include "../../EngineError.h"
#include "../../io/File.h"
#include "../common/CodePage.h"

#include <algorithm>
#include <cstring>

namespace qvx::paradox {

namespace {

int blockKiBFor(int recordSize)
{
    const int planned = recordSize < 80 ? 2 : recordSize < 140 ? 3 : 4;
    return std::max(planned, (recordSize + kBlockHeaderSize + 1023) / 1024);
}

// Text as the index compares it: upper-cased in the table's code page,
// NUL-padded to the field's length. Text the code page cannot hold
// upper-cased compares as it is.
QByteArray upperText(const char *p, int length, const common::TextCodec &codec, const QString &path)
{
    const auto used = qsizetype(qstrnlen(p, std::size_t(length)));
    QByteArray out;
    try {
        out = codec.encode(codec.decode(QByteArrayView(p, used)).toUpper(), path, QString());
    } catch (const EngineError &) {
        out = QByteArray(p, used);
    }
    out.resize(length, '\0');
    return out;
}

} // namespace

QByteArray secondaryValue(const Header &table, const SecondaryDef &def, const char *record,
                          const common::TextCodec &codec, const QString &path)
{
    QByteArray out;
    for (const int i : def.fields) {
        const Field &f = table.fields[std::size_t(i)];
        if (def.caseInsensitive && f.type == kAlpha)
            out.append(upperText(record + f.offset, f.length, codec, path));
        else
            out.append(record + f.offset, f.length);
    }
    return out;
}

Header secondaryHeader(const Header &table, const SecondaryDef &def)
{
    Header h;
    h.fileType = def.composite ? (def.maintained ? kCompositeMaintained : kComposite)
                               : (def.maintained ? kSecondaryMaintained : kSecondary);
    h.fileVersion = table.fileVersion;
    h.codePage = table.codePage;
    h.sortOrder = table.sortOrder;
    h.sortOrderName = table.sortOrderName;
    h.tableName = table.tableName;
    h.indexName = def.name;
    h.indexField = def.fields.empty() ? 0 : def.fields.front() + 1;
    h.indexFlags
        = std::uint8_t((def.descending ? kIndexDescending : kIndexAscending)
                       | (def.caseInsensitive ? kIndexCaseInsensitive : 0) | (def.unique ? kIndexUnique : 0));
    for (const int i : def.fields) {
        Field f = table.fields[std::size_t(i)];
        if (!def.composite)
            f.name = "Sec Key";
        h.fields.push_back(f);
        h.fieldNumbers.push_back(i + 1);
    }
    for (int i = 0; i < table.keyFields; ++i) {
        h.fields.push_back(table.fields[std::size_t(i)]);
        h.fieldNumbers.push_back(i + 1);
    }
    Field hint;
    hint.name = "Hint";
    hint.type = kShort;
    hint.size = kHintLength;
    hint.length = kHintLength;
    h.fields.push_back(hint);
    h.fieldNumbers.push_back(0);
    int offset = 0;
    for (Field &f : h.fields) {
        f.offset = offset;
        offset += f.length;
    }
    h.recordSize = offset;
    h.keyFields = int(h.fields.size()) - 1;
    h.blockKiB = blockKiBFor(h.recordSize);
    h.headerSize = headerSizeFor(h);
    return h;
}

std::vector<QByteArray> secondaryRecords(const Header &table, const SecondaryDef &def,
                                         const std::vector<SourceRecord> &source,
                                         const common::TextCodec &codec, const QString &path)
{
    const int keyBytes = keyLength(table);
    struct Item {
        QByteArray order; // what the index sorts by: the indexed values, then the key
        QByteArray record;
    };
    int valueBytes = 0;
    for (const int i : def.fields)
        valueBytes += table.fields[std::size_t(i)].length;
    std::vector<Item> items;
    items.reserve(source.size());
    for (const SourceRecord &s : source) {
        if (s.bytes.size() < table.recordSize)
            throw EngineError(path, QStringLiteral("a record is cut short"));
        const char *r = s.bytes.constData();
        Item item;
        item.record.reserve(valueBytes + keyBytes + kHintLength);
        item.order.reserve(valueBytes + keyBytes);
        for (const int i : def.fields) {
            const Field &f = table.fields[std::size_t(i)];
            item.record.append(r + f.offset, f.length);
        }
        item.order = secondaryValue(table, def, r, codec, path);
        item.record.append(r, keyBytes);
        item.order.append(r, keyBytes);
        char hint[kHintLength];
        encodeInt(s.block, hint, kHintLength);
        item.record.append(hint, kHintLength);
        items.push_back(std::move(item));
    }
    // Byte order is the order of every value's encoding (numbers and dates
    // are stored for it) and of "ascii" text.
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.order < b.order; });
    if (def.unique) {
        for (std::size_t i = 1; i < items.size(); ++i) {
            if (std::memcmp(items[i - 1].order.constData(), items[i].order.constData(),
                            std::size_t(valueBytes))
                == 0)
                throw EngineError(path,
                                  QStringLiteral("the unique index %1 cannot be kept: two records have the "
                                                 "same value in it")
                                      .arg(secondaryName(table, def, codec)));
        }
    }
    std::vector<QByteArray> out;
    out.reserve(items.size());
    for (Item &item : items)
        out.push_back(std::move(item.record));
    if (def.descending)
        std::reverse(out.begin(), out.end());
    return out;
}

SecondaryFiles encodeSecondary(const Header &table, const SecondaryDef &def,
                               const std::vector<QByteArray> &records, bool stale)
{
    Header h = secondaryHeader(table, def);
    h.rebuildNeeded = stale;
    const int rs = h.recordSize;
    const int perBlock = h.recordsPerBlock();
    const int blocks = int((qsizetype(records.size()) + perBlock - 1) / perBlock);
    h.numRecords = std::uint32_t(records.size());
    h.blocksInUse = h.fileBlocks = blocks;
    h.firstBlock = blocks > 0 ? 1 : 0;
    h.lastBlock = blocks;

    SecondaryFiles out;
    out.x = encodeHeader(h);
    out.x.resize(h.headerSize + qsizetype(blocks) * h.blockSize(), '\0');
    std::vector<IndexEntry> entries;
    const int keyBytes = rs - kHintLength;
    for (int b = 0; b < blocks; ++b) {
        const int block = b + 1;
        const std::size_t from = std::size_t(b) * std::size_t(perBlock);
        const std::size_t to = std::min(records.size(), from + std::size_t(perBlock));
        char *p = out.x.data() + h.blockOffset(block);
        putLe16(p, std::uint16_t(block < blocks ? block + 1 : 0));
        putLe16(p + 2, std::uint16_t(block - 1));
        putLe16(p + 4, std::uint16_t(std::int16_t(int(to - from - 1) * rs)));
        char *r = p + kBlockHeaderSize;
        for (std::size_t i = from; i < to; ++i, r += rs)
            std::memcpy(r, records[i].constData(), std::size_t(rs));
        entries.push_back({ records[from].left(keyBytes), block, int(to - from) });
    }
    out.y = encodePrimaryIndex(h, entries);
    out.y[kFileType] = char(def.composite ? kCompositeTree : kSecondaryTree);
    return out;
}

SecondaryIndex readSecondaryIndex(const File &x, const Header &table, bool withRecords)
{
    const auto fail = [&](const QString &what) { throw EngineError(x.path(), what); };
    const Header h = readSecondaryHeader(x);
    const int n = int(h.fields.size());
    const int k = table.keyFields;
    const int m = n - k - 1;
    if (table.fileType != kKeyedTable)
        fail(QStringLiteral("the table has no primary key, which a secondary index needs"));
    if (m < 1)
        fail(QStringLiteral("the index has %1 fields, too few for the table's key of %2 and a hint")
                 .arg(n)
                 .arg(k));
    if (h.fields.back().type != kShort)
        fail(QStringLiteral("its last field is not the hint (a short integer)"));
    SecondaryIndex out;
    for (int i = 0; i < m; ++i) {
        const int number = h.fieldNumbers[std::size_t(i)];
        if (number < 1 || std::size_t(number) > table.fields.size())
            fail(QStringLiteral("indexed field number %1 is not a field of the table").arg(number));
        const Field &tf = table.fields[std::size_t(number) - 1];
        const Field &xf = h.fields[std::size_t(i)];
        if (tf.type != xf.type || tf.size != xf.size || tf.isBlob())
            fail(QStringLiteral("indexed field %1 does not match field %2 of the table")
                     .arg(i + 1)
                     .arg(number));
        out.def.fields.push_back(number - 1);
    }
    for (int j = 0; j < k; ++j) {
        const Field &tf = table.fields[std::size_t(j)];
        const Field &xf = h.fields[std::size_t(m + j)];
        if (tf.type != xf.type || tf.size != xf.size)
            fail(QStringLiteral("the index does not hold the table's primary key"));
    }
    out.def.name = h.indexName;
    out.def.composite = h.fileType == kComposite || h.fileType == kCompositeMaintained;
    out.def.maintained = h.fileType == kSecondaryMaintained || h.fileType == kCompositeMaintained;
    out.def.descending = (h.indexFlags & kIndexDescending) != 0;
    out.def.caseInsensitive = (h.indexFlags & kIndexCaseInsensitive) != 0;
    out.def.unique = (h.indexFlags & kIndexUnique) != 0;
    out.stale = h.rebuildNeeded;

    // The chain of data blocks, each link checked and each block visited once.
    const int rs = h.recordSize;
    const qint64 blockSize = h.blockSize();
    const qint64 room = x.size() - h.headerSize - kBlockHeaderSize;
    const int lastUsable = room < 0 ? 0 : int(std::min<qint64>(room / blockSize + 1, 0xFFFF));
    std::vector<bool> visited(std::size_t(lastUsable) + 1, false);
    for (int block = h.firstBlock; block != 0;) {
        if (block > lastUsable)
            fail(QStringLiteral("the chain of blocks leads to block %1, beyond the end of the file")
                     .arg(block));
        if (visited[std::size_t(block)])
            fail(QStringLiteral("the chain of blocks loops back to block %1").arg(block));
        visited[std::size_t(block)] = true;
        const qint64 at = h.blockOffset(block);
        char head[kBlockHeaderSize];
        x.readExact(at, head, kBlockHeaderSize, "a block");
        const int last = std::int16_t(le16(head + 4));
        const int count = last < 0 ? 0 : last / rs + 1;
        if (count > h.recordsPerBlock())
            fail(QStringLiteral("block %1 claims %2 records, more than it can hold").arg(block).arg(count));
        if (withRecords && count > 0) {
            QByteArray bytes(qsizetype(count) * rs, Qt::Uninitialized);
            x.readExact(at + kBlockHeaderSize, bytes.data(), bytes.size(), "a block");
            for (int i = 0; i < count; ++i)
                out.records.push_back(bytes.mid(qsizetype(i) * rs, rs));
        } else if (at + kBlockHeaderSize + qint64(count) * rs > x.size()) {
            fail(QStringLiteral("block %1 is cut short").arg(block));
        }
        out.keyCount += count;
        block = le16(head);
    }
    return out;
}

void checkSecondaryTree(const File &y, const File &x)
{
    Header h = readSecondaryHeader(x);
    h.keyFields = int(h.fields.size()) - 1;
    const PrimaryIndex tree = readPrimaryIndex(y, h);
    qint64 keys = 0;
    for (const IndexEntry &e : tree.dataBlocks)
        keys += e.count;
    if (tree.levels > 0 && keys != qint64(h.numRecords) && keys < 0x7FFF)
        throw EngineError(
            y.path(),
            QStringLiteral("the index counts %1 records, its .X file %2").arg(keys).arg(h.numRecords));
}

QString secondaryExtension(bool tree, bool composite, int number)
{
    const QChar letter = tree ? u'Y' : u'X';
    if (composite)
        return QStringLiteral("%1G%2").arg(letter).arg(number);
    return QStringLiteral("%1%2").arg(letter).arg(number, 2, 10, QLatin1Char('0'));
}

QString secondaryExpression(const Header &table, const SecondaryDef &def, const common::TextCodec &codec)
{
    QStringList names;
    for (const int i : def.fields)
        names << codec.decode(table.fields[std::size_t(i)].name);
    return names.join(u';');
}

QString secondaryName(const Header &table, const SecondaryDef &def, const common::TextCodec &codec)
{
    if (!def.name.isEmpty() || def.fields.empty())
        return codec.decode(def.name);
    return codec.decode(table.fields[std::size_t(def.fields.front())].name);
}

QStringList secondaryOptions(const SecondaryIndex &index)
{
    QStringList out;
    if (index.def.unique)
        out << QStringLiteral("unique");
    if (index.def.descending)
        out << QStringLiteral("descending");
    if (index.def.caseInsensitive)
        out << QStringLiteral("case-insensitive");
    if (!index.def.maintained)
        out << QStringLiteral("non-maintained");
    if (index.stale)
        out << QStringLiteral("stale");
    return out;
}

} // namespace qvx::paradox
