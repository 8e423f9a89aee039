#include "Ntx.h"

#include "engine/index/DbaseIndexCommon.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>

namespace qvx::index {

using dbase::Bytes;
using namespace ntx;

namespace {

int itemsPerPage(int keyLength)
{
    int items = (kPageSize - 2) / (keyLength + 10) - 1;
    if (items > 2 && items % 2 != 0)
        --items;
    return items;
}

bool isNegativeDigit(char c)
{
    return c >= kNegativeZero - 9 && c <= kNegativeZero;
}

double numberFromText(QByteArrayView stored, const Bytes &file)
{
    QByteArray text(stored.data(), stored.size());
    bool coded = false;
    bool plain = false;
    for (char &c : text) {
        if (isNegativeDigit(c)) {
            coded = true;
            c = char('0' + (kNegativeZero - c));
        } else if (c >= '0' && c <= '9') {
            plain = true;
        } else if (c == ' ') {
            c = '0';
        } else if (c != '.') {
            file.fail(
                QStringLiteral("the numeric key \"%1\" is not a number").arg(QString::fromLatin1(stored)));
        }
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || (coded && plain))
        file.fail(QStringLiteral("the numeric key \"%1\" is not a number").arg(QString::fromLatin1(stored)));
    return coded ? -value : value;
}

QByteArray numberText(double value, int length, int decimals)
{
    if (!std::isfinite(value))
        throw EngineError(QStringLiteral("the numeric key %1 cannot be stored").arg(value));
    QByteArray text = QByteArray::number(std::fabs(value), 'f', decimals);
    bool nonZero = false;
    for (char c : text)
        nonZero = nonZero || (c >= '1' && c <= '9');
    const bool negative = value < 0 && nonZero; // -0.00 is stored as 0.00
    if (text.size() + (negative ? 1 : 0) > length)
        throw EngineError(
            QStringLiteral("the numeric key %1 does not fit in %2 characters").arg(value).arg(length));
    text.prepend(QByteArray(length - text.size(), '0'));
    if (negative)
        for (char &c : text)
            if (c >= '0' && c <= '9')
                c = char(kNegativeZero - (c - '0'));
    return text;
}

double dayFromText(QByteArrayView stored, const Bytes &file)
{
    if (stored.trimmed().isEmpty() || stored == "00000000")
        return 0;
    bool ok = stored.size() == 8;
    for (char c : stored)
        ok = ok && c >= '0' && c <= '9';
    const QDate date
        = ok ? QDate::fromString(QString::fromLatin1(stored), QStringLiteral("yyyyMMdd")) : QDate();
    if (!date.isValid())
        file.fail(QStringLiteral("the date key \"%1\" is not a date").arg(QString::fromLatin1(stored)));
    return julianDay(date);
}

QByteArray dayText(double day)
{
    if (day == 0)
        return QByteArray(8, ' ');
    const QDate date = dateFromJulian(day);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        throw EngineError(QStringLiteral("the date key %1 cannot be stored").arg(day));
    return date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

} // namespace

IndexContents readNtx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf, bool withKeys)
{
    const Bytes file(bytes, fileName);
    file.need(0, kPageSize, "the header");
    const std::uint16_t signature = file.u16(kSignatureOffset);
    if (signature != kOldSignature && (signature & 0x00FE) != kSignature)
        file.fail(QStringLiteral("the signature %1 is not that of an index file").arg(signature));
    const std::uint32_t root = file.u32(kRootOffset);
    const int itemLength = file.u16(kItemLengthOffset);
    const int keyLength = file.u16(kKeyLengthOffset);
    const int maxItems = file.u16(kMaxItemsOffset);
    if (keyLength < 1 || keyLength > kMaxKeyLength)
        file.fail(QStringLiteral("the key length %1 is not possible").arg(keyLength));
    if (itemLength < keyLength + 8 || maxItems < 1 || 2 + 2 * (maxItems + 1) + itemLength > kPageSize)
        file.fail(QStringLiteral("the page layout (%1 items of %2 bytes) does not fit a page")
                      .arg(maxItems)
                      .arg(itemLength));

    TagDef tag;
    tag.name = dbase::tagNameOf(fileName);
    tag.expression = dbase::cString(file.slice(kExpressionOffset, kExpressionField, "the header"));
    if (signature != kOldSignature && (signature & kHasFor))
        tag.forExpression = dbase::cString(file.slice(kForOffset, kExpressionField, "the header"));
    tag.keyLength = keyLength;
    tag.unique = file.u8(kUniqueOffset) != 0;
    tag.descending = file.u8(kDescendingOffset) != 0;
    if (typeOf) {
        tag.type = typeOf(tag);
        if ((tag.type == KeyType::Date && keyLength != 8) || (tag.type == KeyType::Logical && keyLength != 1))
            file.fail(QStringLiteral("keys of %1 bytes do not match the expression %2")
                          .arg(keyLength)
                          .arg(tag.expression));
    }
    // Digits after the point mean something only to a number's text.
    if (tag.type == KeyType::Numeric)
        tag.decimals = file.u16(kDecimalsOffset);

    IndexContents contents;
    contents.tags.push_back(tag);
    if (!withKeys)
        return contents;

    KeyList list;
    list.keyLength = sortKeyLength(tag);
    const auto keyOf = [&](QByteArrayView stored) {
        switch (tag.type) {
        case KeyType::Numeric:
            return numberSortKey(numberFromText(stored, file));
        case KeyType::Date:
            return numberSortKey(dayFromText(stored, file));
        case KeyType::Character:
        case KeyType::Logical:
            break;
        }
        return QByteArray(stored.data(), stored.size());
    };
    const qsizetype pages = file.size() / kPageSize;
    std::vector<bool> seen(size_t(pages), false);
    std::function<void(std::uint32_t, int)> visit = [&](std::uint32_t offset, int depth) {
        if (offset % kPageSize != 0 || offset == 0 || qsizetype(offset / kPageSize) >= pages)
            file.fail(QStringLiteral("a page pointer %1 does not name a page of the file").arg(offset));
        const qsizetype page = offset / kPageSize;
        if (seen[size_t(page)])
            file.fail(QStringLiteral("the page at %1 is reached twice in the tree").arg(offset));
        if (depth > dbase::kMaxDepth)
            file.fail(QStringLiteral("the tree is deeper than %1 levels").arg(dbase::kMaxDepth));
        seen[size_t(page)] = true;
        const qsizetype base = qsizetype(offset);
        const int count = file.u16(base);
        if (count > maxItems)
            file.fail(QStringLiteral("the page at %1 claims %2 entries, more than %3")
                          .arg(offset)
                          .arg(count)
                          .arg(maxItems));
        const auto slot = [&](int i) {
            const int at = file.u16(base + 2 + 2 * i);
            if (at < 2 || at + itemLength > kPageSize)
                file.fail(QStringLiteral("the page at %1 has an item offset %2 outside the page")
                              .arg(offset)
                              .arg(at));
            return base + at;
        };
        const bool interior = count > 0 && file.u32(slot(0)) != 0;
        for (int i = 0; i <= count; ++i) {
            const qsizetype at = slot(i);
            const std::uint32_t child = file.u32(at);
            if (interior)
                visit(child, depth + 1);
            else if (child != 0 && i < count)
                file.fail(QStringLiteral("the page at %1 mixes leaf and interior entries").arg(offset));
            if (i == count)
                break;
            const std::uint32_t record = file.u32(at + 4);
            if (record == 0)
                file.fail(QStringLiteral("the page at %1 has an entry for record 0").arg(offset));
            list.append(keyOf(file.slice(at + 8, keyLength, "a key")), record);
        }
    };
    visit(root, 0);
    dbase::finishEntries(list, tag.descending, file);
    contents.keys.push_back(std::move(list));
    return contents;
}

QByteArray writeNtx(const IndexContents &contents, const WriteContext &)
{
    if (contents.tags.size() != 1)
        throw EngineError(QStringLiteral("a .ntx file holds exactly one tag"));
    const TagDef &tag = contents.tags[0];
    const KeyList empty { sortKeyLength(tag), {}, {} };
    const KeyList &list = contents.keys.empty() ? empty : contents.keys[0];
    dbase::checkEntries(tag, list);

    const int keyLength = tag.type == KeyType::Date ? 8 : tag.type == KeyType::Logical ? 1 : tag.keyLength;
    const int decimals = tag.type == KeyType::Numeric ? tag.decimals : 0;
    if (keyLength < 1 || keyLength > kMaxKeyLength)
        throw EngineError(
            QStringLiteral("a .ntx key is 1 to %1 bytes long, not %2").arg(kMaxKeyLength).arg(keyLength));
    if (decimals < 0 || (decimals > 0 && decimals + 2 > keyLength))
        throw EngineError(
            QStringLiteral("%1 decimals do not fit keys of %2 characters").arg(decimals).arg(keyLength));

    // Keys as stored, put in the stored order: for numbers that is the order
    // of their text, which rounding to the tag's decimals may have made
    // equal.
    const qsizetype n = list.size();
    QByteArray stored;
    stored.reserve(n * keyLength);
    for (qsizetype i = 0; i < n; ++i) {
        const QByteArrayView key = list.key(i);
        switch (tag.type) {
        case KeyType::Numeric:
            stored += numberText(numberFromSortKey(key), keyLength, decimals);
            break;
        case KeyType::Date:
            stored += dayText(numberFromSortKey(key));
            break;
        case KeyType::Character:
        case KeyType::Logical:
            stored.append(key.data(), key.size());
            break;
        }
    }
    std::vector<qsizetype> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const auto storedKey
        = [&](qsizetype i) { return QByteArrayView(stored).sliced(i * keyLength, keyLength); };
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int c = std::memcmp(storedKey(a).data(), storedKey(b).data(), size_t(keyLength));
        return c != 0 ? c < 0 : list.records[size_t(a)] < list.records[size_t(b)];
    });
    if (tag.descending)
        std::reverse(order.begin(), order.end());

    // A compact B-tree built bottom up: each level's entries are shared
    // among the fewest pages that hold them, and the entry between two
    // neighbouring pages moves up to the level above.
    const int maxItems = itemsPerPage(keyLength);
    struct Node {
        std::vector<qsizetype> entries; // positions in order
        qsizetype firstChild = -1; // in the level below; entries.size() + 1 children
    };
    std::vector<std::vector<Node>> levels;
    std::vector<qsizetype> sequence(static_cast<size_t>(n));
    std::iota(sequence.begin(), sequence.end(), 0);
    for (bool leaves = true;; leaves = false) {
        const qsizetype m = qsizetype(sequence.size());
        const qsizetype nodes = std::max<qsizetype>(1, (m + 1 + maxItems) / (maxItems + 1));
        std::vector<Node> level;
        std::vector<qsizetype> separators;
        qsizetype at = 0;
        qsizetype child = 0;
        for (qsizetype size : dbase::spread(m - (nodes - 1), nodes)) {
            Node node;
            node.entries.assign(sequence.begin() + at, sequence.begin() + at + size);
            at += size;
            if (!leaves) {
                node.firstChild = child;
                child += size + 1;
            }
            if (at < m)
                separators.push_back(sequence[size_t(at++)]);
            level.push_back(std::move(node));
        }
        levels.push_back(std::move(level));
        if (nodes == 1)
            break;
        sequence = std::move(separators);
    }

    std::vector<qsizetype> firstPage;
    qsizetype pages = 1;
    for (const auto &level : levels) {
        firstPage.push_back(pages);
        pages += qsizetype(level.size());
    }
    if (pages > qsizetype(INT32_MAX) / kPageSize)
        throw EngineError(QStringLiteral("the index would be too large"));
    QByteArray out(pages * kPageSize, '\0');
    const int itemLength = keyLength + 8;
    const int firstItem = 2 * (maxItems + 2);
    for (size_t l = 0; l < levels.size(); ++l) {
        for (size_t p = 0; p < levels[l].size(); ++p) {
            const Node &node = levels[l][p];
            const qsizetype base = (firstPage[l] + qsizetype(p)) * kPageSize;
            dbase::put16(out, base, std::uint16_t(node.entries.size()));
            for (int i = 0; i <= maxItems; ++i)
                dbase::put16(out, base + 2 + 2 * i, std::uint16_t(firstItem + i * itemLength));
            for (size_t i = 0; i <= node.entries.size(); ++i) {
                const qsizetype at = base + firstItem + qsizetype(i) * itemLength;
                if (l > 0)
                    dbase::put32(
                        out, at,
                        std::uint32_t((firstPage[l - 1] + node.firstChild + qsizetype(i)) * kPageSize));
                if (i == node.entries.size())
                    break;
                const qsizetype entry = order[size_t(node.entries[i])];
                dbase::put32(out, at + 4, list.records[size_t(entry)]);
                std::memcpy(out.data() + at + 8, storedKey(entry).data(), size_t(keyLength));
            }
        }
    }

    dbase::put16(out, kSignatureOffset, kSignature | (tag.forExpression.isEmpty() ? 0 : kHasFor));
    dbase::put16(out, kCounterOffset, 1);
    dbase::put32(out, kRootOffset, std::uint32_t((pages - 1) * kPageSize));
    dbase::put16(out, kItemLengthOffset, std::uint16_t(itemLength));
    dbase::put16(out, kKeyLengthOffset, std::uint16_t(keyLength));
    dbase::put16(out, kDecimalsOffset, std::uint16_t(decimals));
    dbase::put16(out, kMaxItemsOffset, std::uint16_t(maxItems));
    dbase::put16(out, kHalfPageOffset, std::uint16_t(maxItems / 2));
    dbase::putCString(out, kExpressionOffset, tag.expression, kExpressionField, "key expression");
    out[kUniqueOffset] = tag.unique ? 1 : 0;
    out[kDescendingOffset] = tag.descending ? 1 : 0;
    dbase::putCString(out, kForOffset, tag.forExpression, kExpressionField, "FOR condition");
    return out;
}

} // namespace qvx::index
