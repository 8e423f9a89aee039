#include "Cdx.h"

#include "engine/EngineError.h"

#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

namespace qvx::index {

namespace cdx {

namespace {

constexpr int kMaxDepth = 32;

std::uint16_t u16(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.data() + at);
}
std::uint32_t u32(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.data() + at);
}
std::uint32_t be32(QByteArrayView b, qsizetype at)
{
    return qFromBigEndian<quint32>(b.data() + at);
}
std::uint8_t u8(QByteArrayView b, qsizetype at)
{
    return std::uint8_t(b[at]);
}

void put16(QByteArray &b, qsizetype at, std::uint16_t v)
{
    qToLittleEndian<quint16>(v, b.data() + at);
}
void put32(QByteArray &b, qsizetype at, std::uint32_t v)
{
    qToLittleEndian<quint32>(v, b.data() + at);
}
void putBe32(QByteArray &b, qsizetype at, std::uint32_t v)
{
    qToBigEndian<quint32>(v, b.data() + at);
}

std::uint64_t bitsAt(std::uint64_t v, int shift)
{
    return shift >= 64 ? 0 : v >> shift;
}

char fillerOf(KeyType type)
{
    return type == KeyType::Character ? ' ' : '\0';
}

// One tag's tree, read page by page with every pointer checked.
class TreeReader {
public:
    // checkOrder: whether the keys must come in ascending order as read,
    // which holds only when the filler is the one the keys were written
    // with (a numeric key read as character bytes gets spaces for zeros).
    TreeReader(QByteArrayView bytes, const QString &fileName, int keyLength, char filler, bool checkOrder)
        : m_bytes(bytes), m_file(fileName), m_keyLength(keyLength), m_filler(filler), m_checkOrder(checkOrder)
    {
    }

    // The entries in (key, record) order, as stored keys of keyLength bytes.
    KeyList read(std::uint32_t root)
    {
        std::vector<std::uint32_t> leaves;
        QSet<std::uint32_t> seen;
        collectLeaves(root, 0, true, seen, leaves);
        checkChain(leaves);
        KeyList keys;
        keys.keyLength = m_keyLength;
        for (std::uint32_t leaf : leaves)
            decodeLeaf(leaf, keys);
        return keys;
    }

private:
    [[noreturn]] void fail(const QString &what) const { throw EngineError(m_file, what); }

    QByteArrayView page(std::uint32_t offset) const
    {
        if (offset == kNone || qsizetype(offset) + kPageSize > m_bytes.size())
            fail(QStringLiteral("an index page at %1 lies past the end of the file").arg(offset));
        return m_bytes.sliced(offset, kPageSize);
    }

    // The leaves under offset, left to right; every page is visited once.
    void collectLeaves(std::uint32_t offset, int depth, bool isRoot, QSet<std::uint32_t> &seen,
                       std::vector<std::uint32_t> &leaves) const
    {
        if (depth > kMaxDepth)
            fail(QStringLiteral("the index tree is deeper than %1 levels").arg(kMaxDepth));
        const QByteArrayView p = page(offset);
        if (seen.contains(offset))
            fail(QStringLiteral("the index page at %1 is reached twice").arg(offset));
        seen.insert(offset);
        const std::uint16_t attributes = u16(p, kAttributes);
        if (bool(attributes & kRootPage) != isRoot)
            fail(isRoot ? QStringLiteral("the root page at %1 is not marked as the root").arg(offset)
                        : QStringLiteral("the index page at %1 below the root is marked as the root")
                              .arg(offset));
        if (attributes & kLeafPage) {
            leaves.push_back(offset);
            return;
        }
        const int count = u16(p, kCount);
        const int entry = m_keyLength + 8;
        if (count == 0 || kEntries + count * entry > kPageSize)
            fail(QStringLiteral("the index branch page at %1 holds %2 entries").arg(offset).arg(count));
        for (int i = 0; i < count; ++i)
            collectLeaves(be32(p, kEntries + i * entry + m_keyLength + 4), depth + 1, false, seen, leaves);
    }

    // The right-sibling chain from the first leaf must be the tree's leaves.
    void checkChain(const std::vector<std::uint32_t> &leaves) const
    {
        std::uint32_t expectLeft = kNone;
        for (std::size_t i = 0; i < leaves.size(); ++i) {
            const QByteArrayView p = page(leaves[i]);
            const std::uint32_t right = u32(p, kRight);
            const std::uint32_t expected = i + 1 < leaves.size() ? leaves[i + 1] : kNone;
            if (right != expected && !(expected == kNone && right == 0))
                fail(QStringLiteral("the leaf chain is broken at the index page at %1").arg(leaves[i]));
            if (u32(p, kLeft) != expectLeft && !(expectLeft == kNone && u32(p, kLeft) == 0))
                fail(QStringLiteral("the leaf chain is broken at the index page at %1").arg(leaves[i]));
            expectLeft = leaves[i];
        }
    }

    void decodeLeaf(std::uint32_t offset, KeyList &keys)
    {
        const QByteArrayView p = page(offset);
        const int count = u16(p, kCount);
        const int width = u8(p, kEntryBytes);
        const std::uint64_t recordMask = u32(p, kRecordMask);
        const std::uint64_t dupMask = u8(p, kDupMask);
        const std::uint64_t trailMask = u8(p, kTrailMask);
        const int recordBits = u8(p, kRecordBits);
        const int dupBits = u8(p, kDupBits);
        const int trailBits = u8(p, kTrailBits);
        if (width < 1 || width > 8 || recordBits + dupBits + trailBits > 8 * width || recordBits > 32)
            fail(QStringLiteral("the index leaf at %1 has impossible entry widths (%2 bytes: %3/%4/%5 bits)")
                     .arg(offset)
                     .arg(width)
                     .arg(recordBits)
                     .arg(dupBits)
                     .arg(trailBits));
        if (kLeafEntries + count * width > kPageSize)
            fail(QStringLiteral("the index leaf at %1 holds more entries than fit").arg(offset));
        int tail = kPageSize;
        const int floor = kLeafEntries + count * width;
        for (int i = 0; i < count; ++i) {
            std::uint64_t v = 0;
            for (int b = width - 1; b >= 0; --b)
                v = (v << 8) | u8(p, kLeafEntries + i * width + b);
            const std::uint32_t record = std::uint32_t(v & recordMask);
            const int dup = int(bitsAt(v, recordBits) & dupMask);
            const int trail = int(bitsAt(v, recordBits + dupBits) & trailMask);
            const int fresh = m_keyLength - dup - trail;
            if (fresh < 0 || (i == 0 && dup != 0))
                fail(QStringLiteral("the index leaf at %1 has a bad entry %2").arg(offset).arg(i));
            if (tail - fresh < floor)
                fail(QStringLiteral("the key bytes of the index leaf at %1 overrun its entries").arg(offset));
            if (record == 0)
                fail(QStringLiteral("the index leaf at %1 names record 0").arg(offset));
            tail -= fresh;
            m_key.resize(m_keyLength);
            std::memcpy(m_key.data() + dup, p.data() + tail, std::size_t(fresh));
            std::memset(m_key.data() + dup + fresh, m_filler, std::size_t(trail));
            if (m_checkOrder && keys.size() > 0) {
                const int order = std::memcmp(keys.key(keys.size() - 1).data(), m_key.constData(),
                                              std::size_t(m_keyLength));
                if (order > 0 || (order == 0 && keys.records.back() >= record))
                    fail(QStringLiteral("the keys of the index leaf at %1 are out of order").arg(offset));
            }
            keys.append(m_key, record);
        }
    }

    QByteArrayView m_bytes;
    QString m_file;
    int m_keyLength;
    char m_filler;
    bool m_checkOrder;
    QByteArray m_key;
};

QString poolString(QByteArrayView header, int offsetAt, int lengthAt, const QString &file, const char *what)
{
    const int offset = u16(header, offsetAt);
    const int length = u16(header, lengthAt);
    if (length == 0)
        return {};
    if (offset + length > kPoolSize)
        throw EngineError(
            file, QStringLiteral("the %1 expression lies outside its tag header").arg(QLatin1String(what)));
    QByteArrayView text = header.sliced(kPoolOffset + offset, length);
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text = text.first(nul);
    return QString::fromLatin1(text).trimmed();
}

// A stored key (as the file holds it) in the common sort-key form.
QByteArray sortKeyOf(QByteArrayView stored, KeyType type)
{
    if ((type == KeyType::Numeric || type == KeyType::Date) && stored.size() == 4) {
        const std::int32_t value = std::int32_t(qFromBigEndian<quint32>(stored.data()) ^ 0x80000000u);
        return numberSortKey(double(value));
    }
    return stored.toByteArray();
}

// The widths of a leaf entry for keys of keyLength bytes and records up to
// maxRecord.
struct Widths {
    int bytes = 3;
    int recordBits = 0;
    int countBits = 0; // duplicate and trailing counts each
};

Widths widthsFor(int keyLength, std::uint32_t maxRecord)
{
    Widths w;
    w.countBits = std::bit_width(unsigned(keyLength));
    w.bytes = w.countBits <= 8 ? 3 : w.countBits <= 12 ? 4 : 5;
    w.recordBits = 8 * w.bytes - 2 * w.countBits;
    while (w.recordBits < 32 && (std::uint64_t(maxRecord) >> w.recordBits) != 0) {
        ++w.bytes;
        w.recordBits += 8;
    }
    w.recordBits = std::min(w.recordBits, 32);
    return w;
}

struct PageRef {
    std::uint32_t offset;
    qsizetype last; // index of the page's last entry in the key list
};

void linkSiblings(QByteArray &file, const std::vector<PageRef> &level)
{
    for (std::size_t i = 0; i < level.size(); ++i) {
        put32(file, level[i].offset + kLeft, i == 0 ? kNone : level[i - 1].offset);
        put32(file, level[i].offset + kRight, i + 1 == level.size() ? kNone : level[i + 1].offset);
    }
}

std::uint32_t newPage(QByteArray &file)
{
    const std::uint32_t at = std::uint32_t(file.size());
    file.append(kPageSize, '\0');
    return at;
}

// Writes the leaves and branch levels of stored keys to the end of file;
// returns the root's offset.
std::uint32_t appendTree(QByteArray &file, const KeyList &keys, int keyLength, char filler)
{
    std::uint32_t maxRecord = 0;
    for (std::uint32_t r : keys.records)
        maxRecord = std::max(maxRecord, r);
    const Widths w = widthsFor(keyLength, maxRecord);
    const std::uint64_t recordMask = (std::uint64_t(1) << w.recordBits) - 1;
    const std::uint8_t countMask = std::uint8_t((1u << w.countBits) - 1);

    std::vector<PageRef> level;
    qsizetype next = 0;
    do {
        const std::uint32_t at = newPage(file);
        char *p = file.data() + at;
        int count = 0;
        int tail = kPageSize;
        QByteArrayView previous;
        int previousTrail = 0;
        while (next < keys.size()) {
            const QByteArrayView key = keys.key(next);
            // The shared prefix stops where the key before it was cut off:
            // some readers rebuild cut-off bytes with another filler.
            int dup = 0;
            if (count > 0)
                while (dup < keyLength - previousTrail && key[dup] == previous[dup])
                    ++dup;
            int trail = 0;
            while (trail < keyLength - dup && key[keyLength - 1 - trail] == filler)
                ++trail;
            const int fresh = keyLength - dup - trail;
            if (kLeafEntries + (count + 1) * w.bytes > tail - fresh)
                break;
            tail -= fresh;
            std::memcpy(p + tail, key.data() + dup, std::size_t(fresh));
            const std::uint64_t v = (std::uint64_t(keys.records[std::size_t(next)]) & recordMask)
                | std::uint64_t(dup) << w.recordBits | std::uint64_t(trail) << (w.recordBits + w.countBits);
            for (int b = 0; b < w.bytes; ++b)
                p[kLeafEntries + count * w.bytes + b] = char(v >> (8 * b));
            previous = key;
            previousTrail = trail;
            ++count;
            ++next;
        }
        qToLittleEndian<quint16>(kLeafPage, p + kAttributes);
        qToLittleEndian<quint16>(quint16(count), p + kCount);
        qToLittleEndian<quint16>(quint16(tail - kLeafEntries - count * w.bytes), p + kFreeBytes);
        qToLittleEndian<quint32>(quint32(recordMask), p + kRecordMask);
        p[kDupMask] = char(countMask);
        p[kTrailMask] = char(countMask);
        p[kRecordBits] = char(w.recordBits);
        p[kDupBits] = char(w.countBits);
        p[kTrailBits] = char(w.countBits);
        p[kEntryBytes] = char(w.bytes);
        level.push_back({ at, next - 1 });
    } while (next < keys.size());
    linkSiblings(file, level);

    const int perBranch = (kPageSize - kEntries) / (keyLength + 8);
    while (level.size() > 1) {
        std::vector<PageRef> upper;
        for (std::size_t first = 0; first < level.size(); first += std::size_t(perBranch)) {
            const std::size_t end = std::min(level.size(), first + std::size_t(perBranch));
            const std::uint32_t at = newPage(file);
            put16(file, at + kAttributes, 0);
            put16(file, at + kCount, quint16(end - first));
            for (std::size_t c = first; c < end; ++c) {
                const qsizetype entry = at + kEntries + qsizetype(c - first) * (keyLength + 8);
                std::memcpy(file.data() + entry, keys.key(level[c].last).data(), std::size_t(keyLength));
                putBe32(file, entry + keyLength, keys.records[std::size_t(level[c].last)]);
                putBe32(file, entry + keyLength + 4, level[c].offset);
            }
            upper.push_back({ at, level[end - 1].last });
        }
        linkSiblings(file, upper);
        level = std::move(upper);
    }
    const std::uint32_t root = level.front().offset;
    put16(file, root + kAttributes, quint16(u16(file, root + kAttributes) | kRootPage));
    return root;
}

// A tag header with its expressions, at the end of file.
std::uint32_t appendHeader(QByteArray &file, int keyLength, std::uint8_t options, const TagDef &tag,
                           const QString &what)
{
    const QByteArray expression = tag.expression.toLatin1();
    const QByteArray condition = tag.forExpression.toLatin1();
    if (expression.size() + condition.size() + 2 > kPoolSize)
        throw EngineError(what,
                          QStringLiteral("the expressions of tag %1 are longer than %2 bytes together")
                              .arg(tag.name)
                              .arg(kPoolSize - 2));
    const std::uint32_t at = std::uint32_t(file.size());
    file.append(kHeaderSize, '\0');
    put32(file, at + kFreeList, 0);
    put16(file, at + kKeyLength, quint16(keyLength));
    if (tag.unique)
        options |= kUnique;
    if (!condition.isEmpty())
        options |= kHasFor;
    file[at + kOptions] = char(options);
    file[at + kSignature] = 1;
    const QByteArray collation = tag.collation.toLatin1().left(kCollationLength);
    std::memcpy(file.data() + at + kCollation, collation.constData(), std::size_t(collation.size()));
    put16(file, at + kDescending, tag.descending ? 1 : 0);
    put16(file, at + kExprOffset, 0);
    put16(file, at + kExprLength, quint16(expression.size() + 1));
    put16(file, at + kForOffset, quint16(expression.size() + 1));
    put16(file, at + kForLength, quint16(condition.size() + 1));
    std::memcpy(file.data() + at + kPoolOffset, expression.constData(), std::size_t(expression.size()));
    std::memcpy(file.data() + at + kPoolOffset + expression.size() + 1, condition.constData(),
                std::size_t(condition.size()));
    return at;
}

} // namespace

Tag readTag(QByteArrayView bytes, std::uint32_t offset, const QString &fileName, const KeyTypeOf &typeOf,
            bool withKeys)
{
    if (qsizetype(offset) + kHeaderSize > bytes.size())
        throw EngineError(fileName,
                          QStringLiteral("a tag header at %1 lies past the end of the file").arg(offset));
    const QByteArrayView header = bytes.sliced(offset, kHeaderSize);
    Tag tag;
    TagDef &def = tag.def;
    def.keyLength = u16(header, kKeyLength);
    if (def.keyLength < 1 || def.keyLength > kMaxKeyLength)
        throw EngineError(fileName, QStringLiteral("a tag has a key length of %1").arg(def.keyLength));
    const std::uint8_t options = u8(header, kOptions);
    if (!(options & kCompact))
        throw EngineError(fileName,
                          QStringLiteral("a tag is not in the compact form (options %1)")
                              .arg(options, 2, 16, QLatin1Char('0')));
    def.unique = options & kUnique;
    def.descending = u16(header, kDescending) == 1;
    def.expression = poolString(header, kExprOffset, kExprLength, fileName, "key");
    if (options & kHasFor)
        def.forExpression = poolString(header, kForOffset, kForLength, fileName, "FOR");
    QByteArrayView collation = header.sliced(kCollation, kCollationLength);
    if (const qsizetype nul = collation.indexOf('\0'); nul >= 0)
        collation = collation.first(nul);
    const QString name = QString::fromLatin1(collation).trimmed();
    if (!name.isEmpty() && name.compare(QLatin1String("MACHINE"), Qt::CaseInsensitive) != 0)
        def.collation = name;
    if (typeOf)
        def.type = typeOf(def);
    if (def.type == KeyType::Numeric || def.type == KeyType::Date) {
        if (def.keyLength != 8 && def.keyLength != 4)
            throw EngineError(fileName,
                              QStringLiteral("a numeric tag has keys of %1 bytes").arg(def.keyLength));
    } else if (def.type == KeyType::Logical && def.keyLength != 1) {
        throw EngineError(fileName, QStringLiteral("a logical tag has keys of %1 bytes").arg(def.keyLength));
    }
    if (!withKeys)
        return tag;
    TreeReader reader(bytes, fileName, def.keyLength, fillerOf(def.type), bool(typeOf));
    KeyList stored = reader.read(u32(header, kRoot));
    if (def.keyLength == 8 || def.type == KeyType::Character || def.type == KeyType::Logical) {
        tag.keys = std::move(stored);
        return tag;
    }
    tag.keys.keyLength = 8;
    for (qsizetype i = 0; i < stored.size(); ++i)
        tag.keys.append(sortKeyOf(stored.key(i), def.type), stored.records[std::size_t(i)]);
    return tag;
}

std::uint32_t appendTag(QByteArray &file, const TagDef &tag, const KeyList &keys, std::uint8_t options,
                        const QString &what)
{
    const int keyLength = sortKeyLength(tag);
    if (keyLength < 1 || keyLength > kMaxKeyLength)
        throw EngineError(what,
                          QStringLiteral("tag %1: a key of %2 bytes cannot be stored (1 to %3)")
                              .arg(tag.name)
                              .arg(keyLength)
                              .arg(kMaxKeyLength));
    if (keys.size() > 0 && keys.keyLength != keyLength)
        throw EngineError(what,
                          QStringLiteral("tag %1: keys of %2 bytes given for a key length of %3")
                              .arg(tag.name)
                              .arg(keys.keyLength)
                              .arg(keyLength));
    if (keys.keys.size() != keys.size() * keys.keyLength)
        throw EngineError(what, QStringLiteral("tag %1: the key list is inconsistent").arg(tag.name));
    const std::uint32_t header = appendHeader(file, keyLength, options, tag, what);
    const std::uint32_t root = appendTree(file, keys, keyLength, fillerOf(tag.type));
    put32(file, header + kRoot, root);
    return header;
}

} // namespace cdx

using namespace cdx;

IndexContents readCdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf, bool withKeys)
{
    if (bytes.size() < kHeaderSize + kPageSize)
        throw EngineError(fileName, QStringLiteral("the file is too short for a compound index"));
    const std::uint8_t options = std::uint8_t(bytes[kOptions]);
    if ((options & (kCompact | kCompound)) != (kCompact | kCompound)
        || qFromLittleEndian<quint16>(bytes.data() + kKeyLength) != kNameLength)
        throw EngineError(fileName, QStringLiteral("the file does not start with a tag directory"));
    KeyList directory = cdx::TreeReader(bytes, fileName, kNameLength, ' ', true)
                            .read(qFromLittleEndian<quint32>(bytes.data() + kRoot));
    // Creation order is the order of the headers in the file.
    std::map<std::uint32_t, QString> byOffset;
    for (qsizetype i = 0; i < directory.size(); ++i) {
        const std::uint32_t at = directory.records[std::size_t(i)];
        if (at < kHeaderSize || at % kPageSize != 0)
            throw EngineError(fileName,
                              QStringLiteral("tag %1 has its header at %2")
                                  .arg(QString::fromLatin1(directory.key(i)).trimmed())
                                  .arg(at));
        if (!byOffset.emplace(at, QString::fromLatin1(directory.key(i)).trimmed()).second)
            throw EngineError(fileName, QStringLiteral("two tags share the header at %1").arg(at));
    }
    IndexContents contents;
    for (const auto &[at, name] : byOffset) {
        const KeyTypeOf named = typeOf ? KeyTypeOf([&, n = name](const TagDef &def) {
            TagDef withName = def;
            withName.name = n;
            return typeOf(withName);
        })
                                       : KeyTypeOf();
        Tag tag = readTag(bytes, at, fileName, named, withKeys);
        tag.def.name = name;
        contents.tags.push_back(std::move(tag.def));
        if (withKeys)
            contents.keys.push_back(std::move(tag.keys));
    }
    return contents;
}

QByteArray writeCdx(const IndexContents &contents, const WriteContext &context)
{
    const QString what = context.tableBaseName.isEmpty() ? QStringLiteral("compound index")
                                                         : context.tableBaseName + QStringLiteral(".cdx");
    if (contents.keys.size() != contents.tags.size())
        throw EngineError(what,
                          QStringLiteral("%1 tags given with %2 key lists")
                              .arg(contents.tags.size())
                              .arg(contents.keys.size()));
    QByteArray file(kHeaderSize, '\0');
    std::map<QByteArray, std::uint32_t> directory;
    for (std::size_t i = 0; i < contents.tags.size(); ++i) {
        const TagDef &tag = contents.tags[i];
        QByteArray name = tag.name.trimmed().toLatin1().toUpper(); // ASCII letters only
        if (name.isEmpty() || name.size() > kNameLength)
            throw EngineError(what,
                              QStringLiteral("the tag name \"%1\" is not 1 to %2 characters long")
                                  .arg(tag.name)
                                  .arg(kNameLength));
        name = name.leftJustified(kNameLength, ' ');
        if (directory.count(name))
            throw EngineError(what, QStringLiteral("two tags are named %1").arg(tag.name));
        directory[name] = appendTag(file, tag, contents.keys[i], kCompact | kCompound, what);
    }
    KeyList names;
    names.keyLength = kNameLength;
    for (const auto &[name, at] : directory)
        names.append(name, at);
    put32(file, kFreeList, 0);
    put16(file, kKeyLength, kNameLength);
    file[kOptions] = char(kCompact | kCompound | kDirectory);
    file[kSignature] = 1;
    put16(file, kExprLength, 1);
    put16(file, kForOffset, 1);
    put16(file, kForLength, 1);
    put32(file, kRoot, appendTree(file, names, kNameLength, ' '));
    return file;
}

} // namespace qvx::index
