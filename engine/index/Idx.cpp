#include "Idx.h"

#include "Cdx.h"
#include "engine/EngineError.h"

#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace qvx::index {

using namespace idx;

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
void put16(QByteArray &b, qsizetype at, std::uint16_t v)
{
    qToLittleEndian<quint16>(v, b.data() + at);
}
void put32(QByteArray &b, qsizetype at, std::uint32_t v)
{
    qToLittleEndian<quint32>(v, b.data() + at);
}

QString tagName(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName().toUpper();
}

QString expressionAt(QByteArrayView header, int at)
{
    QByteArrayView text = header.sliced(at, kExpressionSize);
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text = text.first(nul);
    return QString::fromLatin1(text).trimmed();
}

class TreeReader {
public:
    TreeReader(QByteArrayView bytes, const QString &fileName, int keyLength)
        : m_bytes(bytes), m_file(fileName), m_keyLength(keyLength)
    {
    }

    KeyList read(std::uint32_t root)
    {
        std::vector<std::uint32_t> leaves;
        QSet<std::uint32_t> seen;
        collectLeaves(root, 0, true, seen, leaves);
        KeyList keys;
        keys.keyLength = m_keyLength;
        std::uint32_t left = kNone;
        for (std::size_t i = 0; i < leaves.size(); ++i) {
            const QByteArrayView p = page(leaves[i]);
            const std::uint32_t right = i + 1 < leaves.size() ? leaves[i + 1] : kNone;
            if (u32(p, kRight) != right || u32(p, kLeft) != left)
                fail(QStringLiteral("the leaf chain is broken at the index page at %1").arg(leaves[i]));
            left = leaves[i];
            const int count = u16(p, kCount);
            for (int e = 0; e < count; ++e) {
                const qsizetype at = kEntries + e * (m_keyLength + 4);
                const QByteArrayView key = p.sliced(at, m_keyLength);
                const std::uint32_t record = qFromBigEndian<quint32>(p.data() + at + m_keyLength);
                if (record == 0)
                    fail(QStringLiteral("the index leaf at %1 names record 0").arg(leaves[i]));
                if (keys.size() > 0) {
                    const int order
                        = std::memcmp(keys.key(keys.size() - 1).data(), key.data(), std::size_t(m_keyLength));
                    if (order > 0 || (order == 0 && keys.records.back() >= record))
                        fail(QStringLiteral("the keys of the index leaf at %1 are out of order")
                                 .arg(leaves[i]));
                }
                keys.append(key, record);
            }
        }
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
        const int count = u16(p, kCount);
        const int entry = m_keyLength + 4;
        if (kEntries + count * entry > kPageSize)
            fail(QStringLiteral("the index page at %1 holds more entries than fit").arg(offset));
        if (attributes & kLeafPage) {
            leaves.push_back(offset);
            return;
        }
        if (count == 0)
            fail(QStringLiteral("the index branch page at %1 is empty").arg(offset));
        for (int i = 0; i < count; ++i)
            collectLeaves(qFromBigEndian<quint32>(p.data() + kEntries + i * entry + m_keyLength), depth + 1,
                          false, seen, leaves);
    }

    QByteArrayView m_bytes;
    QString m_file;
    int m_keyLength;
};

struct PageRef {
    std::uint32_t offset;
    qsizetype last;
};

void linkSiblings(QByteArray &file, const std::vector<PageRef> &level)
{
    for (std::size_t i = 0; i < level.size(); ++i) {
        put32(file, level[i].offset + kLeft, i == 0 ? kNone : level[i - 1].offset);
        put32(file, level[i].offset + kRight, i + 1 == level.size() ? kNone : level[i + 1].offset);
    }
}

} // namespace

IndexContents readIdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf, bool withKeys)
{
    if (bytes.size() < kHeaderSize)
        throw EngineError(fileName, QStringLiteral("the file is too short for an index"));
    IndexContents contents;
    if (std::uint8_t(bytes[kOptions]) & kCompact) {
        cdx::Tag tag = cdx::readTag(bytes, 0, fileName,
                                    typeOf ? KeyTypeOf([&](const TagDef &def) {
                                        TagDef named = def;
                                        named.name = tagName(fileName);
                                        return typeOf(named);
                                    })
                                           : KeyTypeOf(),
                                    withKeys);
        tag.def.name = tagName(fileName);
        contents.tags.push_back(std::move(tag.def));
        if (withKeys)
            contents.keys.push_back(std::move(tag.keys));
        return contents;
    }
    TagDef def;
    def.name = tagName(fileName);
    def.keyLength = u16(bytes, kKeyLength);
    if (def.keyLength < 1 || def.keyLength > kMaxKeyLength)
        throw EngineError(fileName, QStringLiteral("the index has a key length of %1").arg(def.keyLength));
    const std::uint8_t options = std::uint8_t(bytes[kOptions]);
    def.unique = options & kUnique;
    def.expression = expressionAt(bytes, kExpression);
    if (options & kHasFor)
        def.forExpression = expressionAt(bytes, kForExpression);
    if (typeOf)
        def.type = typeOf(def);
    if (sortKeyLength(def) != def.keyLength)
        throw EngineError(fileName,
                          QStringLiteral("the index keys are %1 bytes long, too long or short for their type")
                              .arg(def.keyLength));
    contents.tags.push_back(def);
    if (withKeys)
        contents.keys.push_back(TreeReader(bytes, fileName, def.keyLength).read(u32(bytes, kRoot)));
    return contents;
}

QByteArray writeIdx(const IndexContents &contents, const WriteContext &context, bool compact)
{
    const QString what = context.tableBaseName.isEmpty() ? QStringLiteral("single index")
                                                         : context.tableBaseName + QStringLiteral(".idx");
    if (contents.tags.size() != 1 || contents.keys.size() != 1)
        throw EngineError(what,
                          QStringLiteral("a single index holds one tag, not %1").arg(contents.tags.size()));
    const TagDef &tag = contents.tags.front();
    const KeyList &keys = contents.keys.front();
    if (compact) {
        QByteArray file;
        cdx::appendTag(file, tag, keys, cdx::kCompact, what);
        return file;
    }
    if (tag.descending || !tag.collation.isEmpty())
        throw EngineError(what,
                          QStringLiteral("an index of the older form cannot be descending or collated"));
    const int keyLength = sortKeyLength(tag);
    if (keyLength < 1 || keyLength > kMaxKeyLength)
        throw EngineError(
            what,
            QStringLiteral("a key of %1 bytes cannot be stored (1 to %2)").arg(keyLength).arg(kMaxKeyLength));
    if ((keys.size() > 0 && keys.keyLength != keyLength) || keys.keys.size() != keys.size() * keys.keyLength)
        throw EngineError(what,
                          QStringLiteral("keys of %1 bytes given for a key length of %2")
                              .arg(keys.keyLength)
                              .arg(keyLength));
    const QByteArray expression = tag.expression.toLatin1();
    const QByteArray condition = tag.forExpression.toLatin1();
    if (expression.size() >= kExpressionSize || condition.size() >= kExpressionSize)
        throw EngineError(
            what, QStringLiteral("an expression is longer than %1 characters").arg(kExpressionSize - 1));

    QByteArray file(kHeaderSize, '\0');
    const int perPage = (kPageSize - kEntries) / (keyLength + 4);
    std::vector<PageRef> level;
    qsizetype next = 0;
    do {
        const std::uint32_t at = std::uint32_t(file.size());
        file.append(kPageSize, '\0');
        const qsizetype end = std::min(keys.size(), next + perPage);
        put16(file, at + kAttributes, kLeafPage);
        put16(file, at + kCount, quint16(end - next));
        for (qsizetype i = next; i < end; ++i) {
            const qsizetype entry = at + kEntries + (i - next) * (keyLength + 4);
            std::memcpy(file.data() + entry, keys.key(i).data(), std::size_t(keyLength));
            qToBigEndian<quint32>(keys.records[std::size_t(i)], file.data() + entry + keyLength);
        }
        level.push_back({ at, end - 1 });
        next = end;
    } while (next < keys.size());
    linkSiblings(file, level);
    while (level.size() > 1) {
        std::vector<PageRef> upper;
        for (std::size_t first = 0; first < level.size(); first += std::size_t(perPage)) {
            const std::size_t end = std::min(level.size(), first + std::size_t(perPage));
            const std::uint32_t at = std::uint32_t(file.size());
            file.append(kPageSize, '\0');
            put16(file, at + kCount, quint16(end - first));
            for (std::size_t c = first; c < end; ++c) {
                const qsizetype entry = at + kEntries + qsizetype(c - first) * (keyLength + 4);
                std::memcpy(file.data() + entry, keys.key(level[c].last).data(), std::size_t(keyLength));
                qToBigEndian<quint32>(level[c].offset, file.data() + entry + keyLength);
            }
            upper.push_back({ at, level[end - 1].last });
        }
        linkSiblings(file, upper);
        level = std::move(upper);
    }
    const std::uint32_t root = level.front().offset;
    put16(file, root + kAttributes, quint16(u16(file, root + kAttributes) | kRootPage));

    put32(file, kRoot, root);
    put32(file, kFreeList, kNone);
    put32(file, kEndOfFile, std::uint32_t(file.size()));
    put16(file, kKeyLength, quint16(keyLength));
    file[kOptions] = char((tag.unique ? kUnique : 0) | (condition.isEmpty() ? 0 : kHasFor));
    std::memcpy(file.data() + kExpression, expression.constData(), std::size_t(expression.size()));
    std::memcpy(file.data() + kForExpression, condition.constData(), std::size_t(condition.size()));
    return file;
}

} // namespace qvx::index
