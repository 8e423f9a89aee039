#include "Ndx.h"

#include "engine/index/DbaseIndexCommon.h"

#include <bit>
#include <cstring>
#include <functional>

namespace qvx::index {

using dbase::Bytes;
using namespace ndx;

namespace {

int groupLengthFor(int keyLength)
{
    return (keyLength + 8 + 3) / 4 * 4;
}

// The tag's type: what the header says, narrowed by the caller where the
// file cannot tell numbers from dates.
KeyType typeFromFile(const TagDef &tag, int storedType, const KeyTypeOf &typeOf, const Bytes &file)
{
    if (!typeOf)
        return tag.type;
    const KeyType asked = typeOf(tag);
    const bool numberKey = asked == KeyType::Numeric || asked == KeyType::Date;
    if (storedType == kNumberType ? !numberKey
                                  : (numberKey || (asked == KeyType::Logical && tag.keyLength != 1)))
        file.fail(
            QStringLiteral("the index holds %1 keys, which do not match its expression %2")
                .arg(storedType == kNumberType ? QStringLiteral("numeric") : QStringLiteral("character"),
                     tag.expression));
    return asked;
}

} // namespace

IndexContents readNdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf, bool withKeys)
{
    const Bytes file(bytes, fileName);
    file.need(0, kBlockSize, "the header block");
    const std::uint32_t root = file.u32(kRootOffset);
    const int keyLength = file.u16(kKeyLengthOffset);
    const int storedType = file.u16(kKeyTypeOffset);
    const int group = file.u16(kGroupLengthOffset);
    if (storedType != kCharacterType && storedType != kNumberType)
        file.fail(QStringLiteral("the key type %1 is neither character (0) nor numeric (1)").arg(storedType));
    if (keyLength < 1 || (storedType == kNumberType && keyLength != 8))
        file.fail(QStringLiteral("the key length %1 is not possible for this key type").arg(keyLength));
    if (group < keyLength + 8 || group > kEntryArea)
        file.fail(QStringLiteral("the entry length %1 does not fit keys of %2 bytes in a block")
                      .arg(group)
                      .arg(keyLength));

    TagDef tag;
    tag.name = dbase::tagNameOf(fileName);
    tag.expression
        = dbase::cString(file.slice(kExpressionOffset, kBlockSize - kExpressionOffset, "the header"));
    tag.type = storedType == kNumberType ? KeyType::Numeric : KeyType::Character;
    tag.keyLength = keyLength;
    tag.unique = file.u8(kUniqueOffset) != 0;
    tag.type = typeFromFile(tag, storedType, typeOf, file);

    IndexContents contents;
    contents.tags.push_back(tag);
    if (!withKeys)
        return contents;

    KeyList list;
    list.keyLength = sortKeyLength(tag);
    const qsizetype blocks = file.size() / kBlockSize;
    std::vector<bool> seen(size_t(blocks), false);
    const auto keyOf = [&](qsizetype at) {
        const QByteArrayView key = file.slice(at, keyLength, "a key");
        if (storedType == kCharacterType)
            return QByteArray(key.data(), key.size());
        return numberSortKey(std::bit_cast<double>(qFromLittleEndian<std::uint64_t>(key.data())));
    };
    std::function<void(std::uint32_t, int)> visit = [&](std::uint32_t block, int depth) {
        if (block == 0 || qsizetype(block) >= blocks)
            file.fail(QStringLiteral("a node points at block %1, outside the file's %2 blocks")
                          .arg(block)
                          .arg(blocks));
        if (seen[block])
            file.fail(QStringLiteral("block %1 is reached twice in the tree").arg(block));
        if (depth > dbase::kMaxDepth)
            file.fail(QStringLiteral("the tree is deeper than %1 levels").arg(dbase::kMaxDepth));
        seen[block] = true;
        const qsizetype base = qsizetype(block) * kBlockSize;
        const std::uint32_t count = file.u32(base);
        const bool interior = count > 0 && file.u32(base + kEntriesOffset) != 0;
        const std::uint64_t slotCount = std::uint64_t(count) + (interior ? 1 : 0);
        if (slotCount * std::uint64_t(group) > std::uint64_t(kEntryArea))
            file.fail(QStringLiteral("block %1 claims %2 entries, more than it holds").arg(block).arg(count));
        QByteArray before, after;
        for (std::uint32_t i = 0; i < slotCount; ++i) {
            const qsizetype at = base + kEntriesOffset + qsizetype(i) * group;
            const std::uint32_t child = file.u32(at);
            if (interior) {
                const qsizetype from = list.size();
                if (i < count)
                    after = keyOf(at + 8);
                visit(child, depth + 1);
                dbase::checkChild(list, from, i > 0 ? &before : nullptr, i < count ? &after : nullptr, false,
                                  file);
                before = after;
                continue;
            }
            const std::uint32_t record = file.u32(at + 4);
            if (child != 0 || record == 0)
                file.fail(QStringLiteral("block %1 mixes leaf and interior entries").arg(block));
            list.append(keyOf(at + 8), record);
        }
    };
    visit(root, 0);
    dbase::finishEntries(list, false, file);
    contents.keys.push_back(std::move(list));
    return contents;
}

QByteArray writeNdx(const IndexContents &contents, const WriteContext &)
{
    if (contents.tags.size() != 1)
        throw EngineError(QStringLiteral("a .ndx file holds exactly one tag"));
    const TagDef &tag = contents.tags[0];
    const KeyList empty { sortKeyLength(tag), {}, {} };
    const KeyList &list = contents.keys.empty() ? empty : contents.keys[0];
    dbase::checkEntries(tag, list);
    if (tag.descending || !tag.forExpression.isEmpty())
        throw EngineError(QStringLiteral("a .ndx file has no descending order and no FOR condition"));

    const bool number = tag.type == KeyType::Numeric || tag.type == KeyType::Date;
    const int keyLength = number ? 8 : tag.type == KeyType::Logical ? 1 : tag.keyLength;
    if (keyLength < 1 || keyLength > kMaxCharacterKey)
        throw EngineError(
            QStringLiteral("a .ndx key is 1 to %1 bytes long, not %2").arg(kMaxCharacterKey).arg(keyLength));
    const int group = groupLengthFor(keyLength);
    const int perBlock = kEntryArea / group;
    const dbase::CopyTree tree = dbase::copyTree(list.size(), perBlock, perBlock);

    qsizetype nodes = 0;
    std::vector<qsizetype> firstBlock; // of each level
    for (const auto &level : tree) {
        firstBlock.push_back(1 + nodes);
        nodes += qsizetype(level.size());
    }
    const qsizetype blocks = 1 + nodes;
    if (blocks > qsizetype(INT32_MAX) / kBlockSize)
        throw EngineError(QStringLiteral("the index would be too large"));
    QByteArray out(blocks * kBlockSize, '\0');

    const auto putKey = [&](qsizetype at, qsizetype entry) {
        const QByteArrayView key = list.key(entry);
        if (number)
            qToLittleEndian(std::bit_cast<std::uint64_t>(numberFromSortKey(key)), out.data() + at);
        else
            std::memcpy(out.data() + at, key.data(), size_t(keyLength));
    };
    for (size_t l = 0; l < tree.size(); ++l) {
        for (size_t i = 0; i < tree[l].size(); ++i) {
            const dbase::CopyNode &node = tree[l][i];
            const qsizetype base = (firstBlock[l] + qsizetype(i)) * kBlockSize;
            dbase::put32(out, base, std::uint32_t(l == 0 ? node.count : node.count - 1));
            for (qsizetype j = 0; j < node.count; ++j) {
                const qsizetype at = base + kEntriesOffset + j * group;
                if (l == 0) {
                    dbase::put32(out, at + 4, list.records[size_t(node.first + j)]);
                    putKey(at + 8, node.first + j);
                    continue;
                }
                dbase::put32(out, at, std::uint32_t(firstBlock[l - 1] + node.first + j));
                if (j + 1 < node.count)
                    putKey(at + 8, tree[l - 1][size_t(node.first + j)].lastEntry);
            }
        }
    }

    dbase::put32(out, kRootOffset, std::uint32_t(blocks - 1));
    dbase::put32(out, kBlockCountOffset, std::uint32_t(blocks));
    dbase::put16(out, kKeyLengthOffset, std::uint16_t(keyLength));
    dbase::put16(out, kKeysPerBlockOffset, std::uint16_t(perBlock));
    dbase::put16(out, kKeyTypeOffset, number ? kNumberType : kCharacterType);
    dbase::put16(out, kGroupLengthOffset, std::uint16_t(group));
    out[kUniqueOffset] = tag.unique ? 1 : 0;
    dbase::putCString(out, kExpressionOffset, tag.expression, kMaxExpression + 1, "key expression");
    return out;
}

} // namespace qvx::index
