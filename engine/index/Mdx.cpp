#include "Mdx.h"

#include "engine/index/DbaseIndexCommon.h"

#include <QRegularExpression>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>

namespace qvx::index {

using dbase::Bytes;
using namespace mdx;

QByteArray mdxNumberKey(double value)
{
    QByteArray key(kNumberKeyLength, '\0');
    if (!std::isfinite(value))
        throw EngineError(QStringLiteral("the numeric key %1 cannot be stored").arg(value));
    if (value == 0) {
        key[0] = char(kBcdBias);
        key[1] = 0x01;
        return key;
    }
    // The shortest decimal that reads back as the value: d.ddde+x.
    char text[64];
    const auto result
        = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
    const std::string_view written(text, size_t(result.ptr - text));
    const size_t e = written.find('e');
    std::string digits;
    for (char c : written.substr(0, e))
        if (c != '.')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = 0;
    std::from_chars(written.data() + e + 1 + (written[e + 1] == '+' ? 1 : 0), written.data() + written.size(),
                    exponent);
    const int biased = kBcdBias + exponent + 1;
    if (biased < 0 || biased > 255 || digits.size() > size_t(kBcdMaxDigits))
        throw EngineError(QStringLiteral("the numeric key %1 is out of the range an index holds").arg(value));
    key[0] = char(biased);
    key[1] = char((value < 0 ? kBcdNegative : 0) | int(digits.size()) << 2 | 0x01);
    for (size_t i = 0; i < digits.size(); ++i) {
        const int d = digits[i] - '0';
        key[2 + int(i / 2)] = char(std::uint8_t(key[2 + int(i / 2)]) | (i % 2 == 0 ? d << 4 : d));
    }
    return key;
}

double mdxNumberFromKey(QByteArrayView key, bool *ok)
{
    *ok = false;
    if (key.size() != kNumberKeyLength)
        return 0;
    const int count = (std::uint8_t(key[1]) >> 2) & 0x1F;
    if (count > kBcdMaxDigits)
        return 0;
    if (count == 0) {
        *ok = true;
        return 0;
    }
    std::string text = "0.";
    for (int i = 0; i < count; ++i) {
        const std::uint8_t byte = std::uint8_t(key[2 + i / 2]);
        const int d = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
        if (d > 9)
            return 0;
        text += char('0' + d);
    }
    text += 'e' + std::to_string(int(std::uint8_t(key[0])) - kBcdBias);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc())
        return 0;
    *ok = true;
    return (std::uint8_t(key[1]) & kBcdNegative) ? -value : value;
}

namespace {

void putDate(QByteArray &out, qsizetype at, QDate date)
{
    const QDate d = date.isValid() ? date : QDate(1980, 1, 1);
    out[at] = char(std::clamp(d.year() - 1900, 0, 255));
    out[at + 1] = char(d.month());
    out[at + 2] = char(d.day());
}

bool isFieldName(const QString &expression)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return name.match(expression.trimmed()).hasMatch();
}

} // namespace

IndexContents readMdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &, bool withKeys)
{
    const Bytes file(bytes, fileName);
    file.need(0, kTagTableOffset, "the file header");
    int blockSize = file.u16(kPagesPerBlockOffset) * kPageSize;
    if (blockSize == 0)
        blockSize = file.u16(kBlockSizeOffset);
    if (blockSize < kPageSize || blockSize > 64 * kPageSize || blockSize % kPageSize != 0)
        file.fail(QStringLiteral("the block size %1 is not possible").arg(blockSize));
    const int tagCount = file.u16(kTagCountOffset);
    if (tagCount > kMaxTags)
        file.fail(QStringLiteral("the file claims %1 tags, more than the %2 it can hold")
                      .arg(tagCount)
                      .arg(kMaxTags));
    const int entryLength = file.u8(kEntryLengthOffset);
    if (tagCount > 0
        && (entryLength < kEntryType + 1
            || kTagTableOffset + tagCount * entryLength > kTagTableOffset + kMaxTags * kTagEntryLength))
        file.fail(QStringLiteral("the tag table entry length %1 is not possible").arg(entryLength));
    const qsizetype pages = file.size() / kPageSize;

    IndexContents contents;
    for (int t = 0; t < tagCount; ++t) {
        const qsizetype entry = kTagTableOffset + qsizetype(t) * entryLength;
        file.need(entry, entryLength, "the tag table");
        const std::uint32_t headerPage = file.u32(entry + kEntryHeaderPage);
        if (headerPage == 0 || qsizetype(headerPage) >= pages)
            file.fail(
                QStringLiteral("tag %1's header page %2 is outside the file").arg(t + 1).arg(headerPage));
        const qsizetype header = qsizetype(headerPage) * kPageSize;
        file.need(header, kTagHeaderLength, "a tag header");

        TagDef tag;
        tag.name = dbase::cString(file.slice(entry + kEntryName, kEntryNameField, "the tag table"));
        tag.expression
            = dbase::cString(file.slice(header + kTagExpression, kExpressionField, "a tag header"));
        if (file.u8(header + kTagHasFor))
            tag.forExpression
                = dbase::cString(file.slice(header + kTagFor, kTagHeaderLength - kTagFor, "a tag header"));
        const std::uint8_t format = file.u8(header + kTagFormat);
        tag.descending = format & kFormatDescending;
        tag.unique = (format & kFormatUnique) || file.u8(header + kTagUnique);
        const char type = char(file.u8(header + kTagType));
        const int keyLength = file.u16(header + kTagKeyLength);
        const int itemLength = file.u16(header + kTagItemLength);
        tag.keyLength = keyLength;
        switch (type) {
        case 'C':
            tag.type = KeyType::Character;
            break;
        case 'N':
            tag.type = KeyType::Numeric;
            break;
        case 'D':
            tag.type = KeyType::Date;
            break;
        default:
            file.fail(
                QStringLiteral("tag %1 has the key type %2, not C, N or D").arg(tag.name).arg(int(type)));
        }
        if (keyLength < 1 || (type == 'N' && keyLength != kNumberKeyLength)
            || (type == 'D' && keyLength != kDateKeyLength))
            file.fail(QStringLiteral("tag %1 has the key length %2, not possible for its type")
                          .arg(tag.name)
                          .arg(keyLength));
        if (itemLength < keyLength + 4 || itemLength + kNodeOverhead > blockSize)
            file.fail(QStringLiteral("tag %1's item length %2 does not fit its keys in a block")
                          .arg(tag.name)
                          .arg(itemLength));
        contents.tags.push_back(tag);
        if (!withKeys)
            continue;

        KeyList list;
        list.keyLength = sortKeyLength(tag);
        const auto keyOf = [&](qsizetype at) {
            const QByteArrayView key = file.slice(at, keyLength, "a key");
            if (type == 'C')
                return QByteArray(key.data(), key.size());
            if (type == 'D')
                return numberSortKey(std::bit_cast<double>(qFromLittleEndian<std::uint64_t>(key.data())));
            bool ok = false;
            const double value = mdxNumberFromKey(key, &ok);
            if (!ok)
                file.fail(
                    QStringLiteral("tag %1 has a numeric key that is not a decimal number").arg(tag.name));
            return numberSortKey(value);
        };
        std::vector<bool> seen(size_t(pages), false);
        std::function<void(std::uint32_t, int)> visit = [&](std::uint32_t page, int depth) {
            if (page == 0 || qsizetype(page) >= pages
                || qsizetype(page) * kPageSize + blockSize > file.size())
                file.fail(
                    QStringLiteral("tag %1 points at page %2, outside the file").arg(tag.name).arg(page));
            if (seen[page])
                file.fail(QStringLiteral("tag %1 reaches page %2 twice").arg(tag.name).arg(page));
            if (depth > dbase::kMaxDepth)
                file.fail(QStringLiteral("tag %1's tree is deeper than %2 levels")
                              .arg(tag.name)
                              .arg(dbase::kMaxDepth));
            seen[page] = true;
            const qsizetype base = qsizetype(page) * kPageSize;
            const std::uint32_t count = file.u32(base);
            if (std::uint64_t(count) * std::uint64_t(itemLength) + kNodeOverhead > std::uint64_t(blockSize))
                file.fail(QStringLiteral("tag %1's page %2 claims %3 entries, more than a block holds")
                              .arg(tag.name)
                              .arg(page)
                              .arg(count));
            const qsizetype items = base + kNodeItems;
            const std::uint32_t last = file.u32(items + qsizetype(count) * itemLength);
            QByteArray before, after;
            for (std::uint32_t i = 0; i < count; ++i) {
                const qsizetype at = items + qsizetype(i) * itemLength;
                const std::uint32_t pointer = file.u32(at);
                if (last != 0) {
                    const qsizetype from = list.size();
                    after = keyOf(at + 4);
                    visit(pointer, depth + 1);
                    dbase::checkChild(list, from, i > 0 ? &before : nullptr, &after, tag.descending, file);
                    before = after;
                    continue;
                }
                if (pointer == 0)
                    file.fail(
                        QStringLiteral("tag %1's page %2 has an entry for record 0").arg(tag.name).arg(page));
                list.append(keyOf(at + 4), pointer);
            }
            if (last != 0) {
                const qsizetype from = list.size();
                visit(last, depth + 1);
                dbase::checkChild(list, from, count > 0 ? &before : nullptr, nullptr, tag.descending, file);
            }
        };
        visit(file.u32(header + kTagRoot), 0);
        dbase::finishEntries(list, tag.descending, file);
        contents.keys.push_back(std::move(list));
    }
    return contents;
}

QByteArray writeMdx(const IndexContents &contents, const WriteContext &context)
{
    const qsizetype tagCount = qsizetype(contents.tags.size());
    if (tagCount < 1 || tagCount > kMaxTags)
        throw EngineError(
            QStringLiteral("a .mdx file holds 1 to %1 tags, not %2").arg(kMaxTags).arg(tagCount));

    struct Layout {
        int keyLength = 0;
        int itemLength = 0;
        int perBlock = 0;
        dbase::CopyTree tree;
        qsizetype headerBlock = 0;
        std::vector<qsizetype> firstBlock; // of each level
    };
    std::vector<Layout> layouts(static_cast<size_t>(tagCount));
    std::set<QString> names;
    qsizetype blocks = kHeaderPages / kPagesPerBlock;
    for (qsizetype t = 0; t < tagCount; ++t) {
        const TagDef &tag = contents.tags[size_t(t)];
        const KeyList empty { sortKeyLength(tag), {}, {} };
        const KeyList &list = size_t(t) < contents.keys.size() ? contents.keys[size_t(t)] : empty;
        dbase::checkEntries(tag, list);
        const QString name = tag.name.trimmed();
        if (name.isEmpty() || name.size() > kMaxNameLength || name.toLatin1().contains('\0')
            || QString::fromLatin1(name.toLatin1()) != name)
            throw EngineError(QStringLiteral("\"%1\" cannot name a .mdx tag (1 to %2 letters)")
                                  .arg(tag.name)
                                  .arg(kMaxNameLength));
        if (!names.insert(name.toUpper()).second)
            throw EngineError(QStringLiteral("two tags are named %1").arg(name));
        Layout &layout = layouts[size_t(t)];
        switch (tag.type) {
        case KeyType::Character:
            layout.keyLength = tag.keyLength;
            break;
        case KeyType::Numeric:
            layout.keyLength = kNumberKeyLength;
            break;
        case KeyType::Date:
            layout.keyLength = kDateKeyLength;
            break;
        case KeyType::Logical:
            throw EngineError(QStringLiteral("a .mdx tag cannot hold logical keys (tag %1)").arg(tag.name));
        }
        if (layout.keyLength < 1 || layout.keyLength > kMaxCharacterKey)
            throw EngineError(QStringLiteral("a .mdx key is 1 to %1 bytes long, not %2 (tag %3)")
                                  .arg(kMaxCharacterKey)
                                  .arg(layout.keyLength)
                                  .arg(tag.name));
        layout.itemLength = (layout.keyLength + 4 + 3) / 4 * 4;
        layout.perBlock = (kBlockSize - kNodeOverhead) / layout.itemLength;
        layout.tree = dbase::copyTree(list.size(), layout.perBlock, layout.perBlock + 1);
        layout.headerBlock = blocks++;
        for (const auto &level : layout.tree) {
            layout.firstBlock.push_back(blocks);
            blocks += qsizetype(level.size());
        }
    }
    if (blocks > qsizetype(INT32_MAX) / kBlockSize)
        throw EngineError(QStringLiteral("the index would be too large"));
    QByteArray out(blocks * kBlockSize, '\0');

    out[kVersionOffset] = char(kVersion);
    putDate(out, kCreatedOffset, context.today);
    const QByteArray tableName = context.tableBaseName.toLatin1().left(kTableNameField);
    std::memcpy(out.data() + kTableNameOffset, tableName.constData(), size_t(tableName.size()));
    dbase::put16(out, kPagesPerBlockOffset, kPagesPerBlock);
    dbase::put16(out, kBlockSizeOffset, kBlockSize);
    out[kProductionOffset] = 1;
    out[kSlotsOffset] = char(kSlots);
    out[kEntryLengthOffset] = char(kTagEntryLength);
    dbase::put16(out, kTagCountOffset, std::uint16_t(tagCount));
    out[kMarkOffset] = char(kMark);
    dbase::put32(out, kPageCountOffset, std::uint32_t(blocks * kPagesPerBlock));
    putDate(out, kUpdatedOffset, context.today);

    const auto pageOf = [](qsizetype block) { return std::uint32_t(block * kPagesPerBlock); };
    for (qsizetype t = 0; t < tagCount; ++t) {
        const TagDef &tag = contents.tags[size_t(t)];
        const Layout &layout = layouts[size_t(t)];
        const KeyList empty { sortKeyLength(tag), {}, {} };
        const KeyList &list = size_t(t) < contents.keys.size() ? contents.keys[size_t(t)] : empty;
        const char type = tag.type == KeyType::Character ? 'C' : tag.type == KeyType::Numeric ? 'N' : 'D';

        // The tag table entry, linked into the search tree over names.
        const qsizetype entry = kTagTableOffset + t * kTagEntryLength;
        dbase::put32(out, entry + kEntryHeaderPage, pageOf(layout.headerBlock));
        const QByteArray name = tag.name.trimmed().toLatin1();
        std::memcpy(out.data() + entry + kEntryName, name.constData(), size_t(name.size()));
        out[entry + kEntryMarkA] = 0x10;
        out[entry + kEntryMarkB] = 0x02;
        out[entry + kEntryType] = type;
        if (t > 0) {
            qsizetype at = 0;
            for (;;) {
                const qsizetype node = kTagTableOffset + at * kTagEntryLength;
                const QByteArray other = contents.tags[size_t(at)].name.trimmed().toLatin1();
                const int link = name < other ? kEntryLeft : kEntryRight;
                const int next = std::uint8_t(out[node + link]);
                if (next == 0) {
                    out[node + link] = char(t + 1);
                    out[entry + kEntryParent] = char(at + 1);
                    break;
                }
                at = next - 1;
            }
        }

        // The tag header.
        const qsizetype header = layout.headerBlock * kBlockSize;
        qsizetype nodes = 0;
        for (const auto &level : layout.tree)
            nodes += qsizetype(level.size());
        dbase::put32(out, header + kTagRoot, pageOf(layout.firstBlock.back()));
        dbase::put32(out, header + kTagPages, std::uint32_t((1 + nodes) * kPagesPerBlock));
        out[header + kTagFormat]
            = char(kFormatBase | (tag.descending ? kFormatDescending : 0) | (tag.unique ? kFormatUnique : 0));
        out[header + kTagType] = type;
        dbase::put16(out, header + kTagKeyLength, std::uint16_t(layout.keyLength));
        dbase::put16(out, header + kTagKeysPerBlock, std::uint16_t(layout.perBlock));
        dbase::put16(out, header + kTagDateFlag, tag.type == KeyType::Date ? 1 : 0);
        dbase::put16(out, header + kTagItemLength, std::uint16_t(layout.itemLength));
        out[header + kTagCounter] = 1;
        out[header + kTagUnique] = tag.unique ? 1 : 0;
        dbase::putCString(out, header + kTagExpression, tag.expression, kExpressionField, "key expression");
        out[header + kTagHasFor] = tag.forExpression.isEmpty() ? 0 : 1;
        out[header + kTagHasKeys] = list.size() > 0 ? 1 : 0;
        dbase::put32(out, header + kTagFirstLeaf, pageOf(layout.firstBlock.front()));
        dbase::put32(out, header + kTagLastLeaf,
                     pageOf(layout.firstBlock.front() + qsizetype(layout.tree[0].size()) - 1));
        putDate(out, header + kTagDate, context.today);
        out[header + kTagSingleField] = tag.forExpression.isEmpty() && isFieldName(tag.expression) ? 1 : 0;
        dbase::putCString(out, header + kTagFor, tag.forExpression, kExpressionField, "FOR condition");

        // The nodes. A descending tag's entries are laid out last first.
        const qsizetype n = list.size();
        const auto entryAt = [&](qsizetype i) { return tag.descending ? n - 1 - i : i; };
        const auto putKey = [&](qsizetype at, qsizetype i) {
            const QByteArrayView key = list.key(entryAt(i));
            if (type == 'C')
                std::memcpy(out.data() + at, key.data(), size_t(key.size()));
            else if (type == 'N')
                std::memcpy(out.data() + at, mdxNumberKey(numberFromSortKey(key)).constData(),
                            kNumberKeyLength);
            else
                qToLittleEndian(std::bit_cast<std::uint64_t>(numberFromSortKey(key)), out.data() + at);
        };
        for (size_t l = 0; l < layout.tree.size(); ++l) {
            for (size_t b = 0; b < layout.tree[l].size(); ++b) {
                const dbase::CopyNode &node = layout.tree[l][b];
                const qsizetype base = (layout.firstBlock[l] + qsizetype(b)) * kBlockSize;
                const qsizetype keys = l == 0 ? node.count : node.count - 1;
                dbase::put32(out, base, std::uint32_t(keys));
                for (qsizetype j = 0; j < node.count; ++j) {
                    const qsizetype at = base + kNodeItems + j * layout.itemLength;
                    if (l == 0) {
                        dbase::put32(out, at, list.records[size_t(entryAt(node.first + j))]);
                        putKey(at + 4, node.first + j);
                        continue;
                    }
                    dbase::put32(out, at, pageOf(layout.firstBlock[l - 1] + node.first + j));
                    if (j + 1 < node.count)
                        putKey(at + 4, layout.tree[l - 1][size_t(node.first + j)].lastEntry);
                }
            }
        }
    }
    return out;
}

} // namespace qvx::index
