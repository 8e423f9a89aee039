// What the .ndx, .ntx and .mdx readers and writers share: bounded reads of
// little-endian integers, NUL-terminated header strings, the check that a
// file's entries come in order, and the shape of a compact tree built over
// sorted entries.
#pragma once

#include "engine/EngineError.h"
#include "engine/index/IndexKeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFileInfo>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

namespace qvx::index::dbase {

// Bytes of a file that read only inside their bounds: any read past the
// end throws, naming the file.
class Bytes {
public:
    Bytes(QByteArrayView bytes, const QString &fileName) : m_bytes(bytes), m_fileName(fileName) { }

    qsizetype size() const { return m_bytes.size(); }
    const QString &fileName() const { return m_fileName; }

    [[noreturn]] void fail(const QString &what) const { throw EngineError(m_fileName, what); }

    void need(qsizetype at, qsizetype length, const char *what) const
    {
        if (at < 0 || length < 0 || at > m_bytes.size() || length > m_bytes.size() - at)
            fail(QStringLiteral("the file ends inside %1 (%2 bytes at offset %3, file size %4)")
                     .arg(QLatin1String(what))
                     .arg(length)
                     .arg(at)
                     .arg(m_bytes.size()));
    }
    QByteArrayView slice(qsizetype at, qsizetype length, const char *what) const
    {
        need(at, length, what);
        return m_bytes.sliced(at, length);
    }
    std::uint8_t u8(qsizetype at) const
    {
        need(at, 1, "a header");
        return std::uint8_t(m_bytes[at]);
    }
    std::uint16_t u16(qsizetype at) const
    {
        need(at, 2, "a header");
        return qFromLittleEndian<std::uint16_t>(m_bytes.data() + at);
    }
    std::uint32_t u32(qsizetype at) const
    {
        need(at, 4, "a header");
        return qFromLittleEndian<std::uint32_t>(m_bytes.data() + at);
    }

private:
    QByteArrayView m_bytes;
    QString m_fileName;
};

// The text up to the first NUL (or the end of the field), as stored.
inline QString cString(QByteArrayView field)
{
    const qsizetype end = field.indexOf('\0');
    return QString::fromLatin1(end < 0 ? field : field.first(end)).trimmed();
}

// Writes text NUL-terminated into a zero-filled field of fieldLength bytes.
inline void putCString(QByteArray &out, qsizetype at, const QString &text, qsizetype fieldLength,
                       const char *what)
{
    const QByteArray bytes = text.toLatin1();
    if (bytes.size() >= fieldLength)
        throw EngineError(QStringLiteral("the %1 is longer than the %2 characters an index file holds")
                              .arg(QLatin1String(what))
                              .arg(fieldLength - 1));
    if (bytes.contains('\0'))
        throw EngineError(QStringLiteral("the %1 contains a NUL character").arg(QLatin1String(what)));
    std::memcpy(out.data() + at, bytes.constData(), size_t(bytes.size()));
}

inline void put16(QByteArray &out, qsizetype at, std::uint16_t value)
{
    qToLittleEndian(value, out.data() + at);
}
inline void put32(QByteArray &out, qsizetype at, std::uint32_t value)
{
    qToLittleEndian(value, out.data() + at);
}

// A single-index file's tag name: its base name in upper case.
inline QString tagNameOf(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName().toUpper();
}

// Entries as a file's tree gave them, made into a KeyList's order. The
// keys must run one way (ascending, or descending for a tag stored
// reversed); equal keys are put in record order, since files differ in how
// they order duplicates.
inline void finishEntries(KeyList &list, bool storedReversed, const Bytes &file)
{
    const qsizetype n = list.size();
    const int length = list.keyLength;
    for (qsizetype i = 1; i < n; ++i) {
        const int c = std::memcmp(list.keys.constData() + (i - 1) * length,
                                  list.keys.constData() + i * length, size_t(length));
        if (storedReversed ? c < 0 : c > 0)
            file.fail(QStringLiteral("the index's keys are out of order at entry %1").arg(i + 1));
    }
    if (storedReversed) {
        KeyList reversed;
        reversed.keyLength = length;
        reversed.keys.reserve(list.keys.size());
        reversed.records.reserve(list.records.size());
        for (qsizetype i = n - 1; i >= 0; --i)
            reversed.append(list.key(i), list.records[size_t(i)]);
        list = std::move(reversed);
    }
    qsizetype runStart = 0;
    for (qsizetype i = 1; i <= n; ++i) {
        if (i < n && list.key(i) == list.key(runStart))
            continue;
        std::sort(list.records.begin() + runStart, list.records.begin() + i);
        runStart = i;
    }
}

// Checks the entries a child added to list (from `from` on) against the
// interior keys on either side of it (null: none), which copy the last key
// under a child: what a search down the tree relies on. Keys run
// descending in a tag stored reversed.
inline void checkChild(const KeyList &list, qsizetype from, const QByteArray *before, const QByteArray *after,
                       bool storedReversed, const Bytes &file)
{
    if (from >= list.size())
        return;
    const auto order = [&](QByteArrayView a, QByteArrayView b) {
        const int c = std::memcmp(a.data(), b.data(), size_t(list.keyLength));
        return storedReversed ? -c : c;
    };
    if ((before && order(*before, list.key(from)) > 0)
        || (after && order(list.key(list.size() - 1), *after) > 0))
        file.fail(QStringLiteral("an interior key does not bound the keys below it"));
}

// Checks that a KeyList fits its tag before a writer lays it out.
inline void checkEntries(const TagDef &tag, const KeyList &list)
{
    const int length = sortKeyLength(tag);
    if (list.keyLength != length || list.keys.size() != list.size() * qsizetype(length))
        throw EngineError(
            QStringLiteral("the keys given for tag %1 are not %2 bytes long").arg(tag.name).arg(length));
    for (std::uint32_t record : list.records)
        if (record == 0)
            throw EngineError(QStringLiteral("tag %1 has an entry for record 0").arg(tag.name));
}

// Shares count items among nodes as evenly as can be.
inline std::vector<qsizetype> spread(qsizetype count, qsizetype nodes)
{
    std::vector<qsizetype> sizes(static_cast<size_t>(nodes), count / nodes);
    for (qsizetype i = 0; i < count % nodes; ++i)
        ++sizes[size_t(i)];
    return sizes;
}

// A tree whose interior keys copy the last key below each child (.ndx,
// .mdx): levels[0] are the leaves, each a run of entries; a node of a
// higher level is a run of nodes of the level below. The last level holds
// the root alone. Every node is as full as the fewest nodes allow, so an
// interior node has at least two children once there is more than one
// leaf (given childCapacity >= 3).
struct CopyNode {
    qsizetype first = 0; // first entry (leaves) or child in the level below
    qsizetype count = 0;
    qsizetype lastEntry = -1; // the last entry under this node; -1 when empty
};
using CopyTree = std::vector<std::vector<CopyNode>>;

inline CopyTree copyTree(qsizetype entries, qsizetype leafCapacity, qsizetype childCapacity)
{
    CopyTree levels(1);
    const qsizetype leaves = std::max<qsizetype>(1, (entries + leafCapacity - 1) / leafCapacity);
    qsizetype at = 0;
    for (qsizetype size : spread(entries, leaves)) {
        levels[0].push_back({ at, size, at + size - 1 });
        at += size;
    }
    while (levels.back().size() > 1) {
        const std::vector<CopyNode> &below = levels.back();
        const qsizetype count = qsizetype(below.size());
        std::vector<CopyNode> level;
        at = 0;
        for (qsizetype size : spread(count, (count + childCapacity - 1) / childCapacity)) {
            level.push_back({ at, size, below[size_t(at + size - 1)].lastEntry });
            at += size;
        }
        levels.push_back(std::move(level));
    }
    return levels;
}

// How deep a reader follows a tree before it calls the file damaged: a
// tree of two children per node this deep would outgrow any file.
constexpr int kMaxDepth = 48;

} // namespace qvx::index::dbase
