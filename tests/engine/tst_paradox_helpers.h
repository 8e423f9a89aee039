// Helpers shared by the Paradox tests: table and blob file bytes built field
// by field, the way another program might have written them.
#pragma once

#include "engine/io/File.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <memory>
#include <vector>

namespace pxtest {

inline void le16(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

inline void le32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A blob field's 10 bytes after the leader: offset/index, length, modification.
inline QByteArray blobPointer(quint32 offsetIndex, quint32 length)
{
    QByteArray b(10, '\0');
    le32(b, 0, offsetIndex);
    le32(b, 4, length);
    le16(b, 8, 1);
    return b;
}

struct PxField {
    std::uint8_t type;
    int size; // the descriptor's size byte
    QByteArray name;
    int length; // bytes in the record
};

// A table file. Records are given as their raw bytes and go into data blocks
// of recordsPerBlock records each; the blocks are chained in the order the
// records were given but may be placed in the file in another order.
class ParadoxBytes {
public:
    explicit ParadoxBytes(int fileVersion = 0x0C) : m_version(fileVersion) { }

    ParadoxBytes &field(std::uint8_t type, int size, const QByteArray &name)
    {
        int length = size;
        if (type == 0x17)
            length = 17;
        m_fields.append({ type, size, name, length });
        return *this;
    }
    ParadoxBytes &record(const QByteArray &bytes)
    {
        m_records.append(bytes);
        return *this;
    }
    ParadoxBytes &codePage(int cp)
    {
        m_codePage = cp;
        return *this;
    }
    ParadoxBytes &recordsPerBlock(int n)
    {
        m_perBlock = n;
        return *this;
    }
    // Physical position (0-based) of each block in chain order.
    ParadoxBytes &placement(const std::vector<int> &positions)
    {
        m_placement = positions;
        return *this;
    }
    ParadoxBytes &fileType(int t)
    {
        m_fileType = t;
        return *this;
    }

    int recordSize() const
    {
        int n = 0;
        for (const PxField &f : m_fields)
            n += f.length;
        return n;
    }
    static constexpr int kHeaderSize = 0x800;
    static constexpr int kBlockSize = 0x800; // 2 KiB
    static int blockOffset(int block) { return kHeaderSize + (block - 1) * kBlockSize; }

    QByteArray bytes() const
    {
        const int rs = recordSize();
        const int perBlock = m_perBlock > 0 ? m_perBlock : (kBlockSize - 6) / rs;
        const int blocks = int((m_records.size() + perBlock - 1) / perBlock);
        std::vector<int> place = m_placement;
        for (int i = int(place.size()); i < blocks; ++i)
            place.push_back(i);

        QByteArray h(kHeaderSize, '\0');
        le16(h, 0x00, rs);
        le16(h, 0x02, kHeaderSize);
        h[0x04] = char(m_fileType);
        h[0x05] = 2;
        le32(h, 0x06, quint32(m_records.size()));
        le16(h, 0x0A, blocks);
        le16(h, 0x0C, blocks);
        le16(h, 0x0E, blocks ? place[0] + 1 : 0);
        le16(h, 0x10, blocks ? place[std::size_t(blocks - 1)] + 1 : 0);
        le16(h, 0x21, int(m_fields.size()));
        h[0x29] = char(0x62);
        h[0x2D] = 2;
        h[0x39] = char(m_version);
        h[0x3E] = 0x1F;
        h[0x3F] = 0x0F;
        h[0x56] = 0x20;
        int pos = 0x58;
        if (m_version >= 5) {
            le32(h, 0x25, 0xFF00FF00u);
            le16(h, 0x58, 0x010C);
            le16(h, 0x5A, 0x010C);
            le16(h, 0x64, int(m_fields.size()) + 1);
            le16(h, 0x6A, m_codePage);
            pos = 0x78;
        }
        for (const PxField &f : m_fields) {
            h[pos++] = char(f.type);
            h[pos++] = char(f.size);
        }
        pos += 4 + 4 * int(m_fields.size());
        const QByteArray tableName("t.db");
        h.replace(pos, tableName.size(), tableName);
        pos += m_version >= 0x0C ? 261 : 79;
        for (const PxField &f : m_fields) {
            h.replace(pos, f.name.size(), f.name);
            pos += int(f.name.size()) + 1;
        }
        for (int i = 0; i < m_fields.size(); ++i, pos += 2)
            le16(h, pos, i + 1);
        h.replace(pos, 6, QByteArray("ascii", 6));

        QByteArray out = h + QByteArray(blocks * kBlockSize, '\0');
        for (int b = 0; b < blocks; ++b) {
            const int at = blockOffset(place[std::size_t(b)] + 1);
            const int first = b * perBlock;
            const int n = std::min<int>(perBlock, int(m_records.size()) - first);
            le16(out, at, b + 1 < blocks ? place[std::size_t(b + 1)] + 1 : 0);
            le16(out, at + 2, b > 0 ? place[std::size_t(b - 1)] + 1 : 0);
            le16(out, at + 4, (n - 1) * rs);
            for (int i = 0; i < n; ++i)
                out.replace(at + 6 + i * rs, rs, m_records[first + i]);
        }
        return out;
    }

private:
    int m_version;
    int m_codePage = 1252;
    int m_perBlock = 0;
    int m_fileType = 2;
    std::vector<int> m_placement;
    QList<PxField> m_fields;
    QList<QByteArray> m_records;
};

// A blob file: the 4 KiB header block, then whatever blocks are added.
class MbBytes {
public:
    MbBytes() : m_bytes(4096, '\0') { }
    // A block of its own; returns the offset/index word for the record.
    quint32 single(const QByteArray &data)
    {
        const int at = int(m_bytes.size());
        const int chunks = int((9 + data.size() + 4095) / 4096);
        QByteArray block(chunks * 4096, '\0');
        block[0] = 2;
        le16(block, 1, chunks);
        le32(block, 3, quint32(data.size()));
        le16(block, 7, 1);
        block.replace(9, data.size(), data);
        m_bytes += block;
        return quint32(at) | 0xFF;
    }
    // A sub-allocated block holding one value in the given slot.
    quint32 slot(const QByteArray &data, int index)
    {
        const int at = int(m_bytes.size());
        QByteArray block(4096, '\0');
        block[0] = 3;
        le16(block, 1, 1);
        const int chunks = int((data.size() + 15) / 16);
        const int s = 12 + 5 * index;
        block[s] = char(0x150 / 16);
        block[s + 1] = char(chunks);
        le16(block, s + 2, 1);
        block[s + 4] = char(data.size() - (chunks - 1) * 16);
        block.replace(0x150, data.size(), data);
        m_bytes += block;
        return quint32(at) | quint32(index);
    }
    QByteArray &bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

inline std::unique_ptr<qvx::File> memory(const QByteArray &bytes,
                                         const QString &name = QStringLiteral("t.db"))
{
    return std::make_unique<qvx::MemoryFile>(bytes, name);
}

} // namespace pxtest
