// Helpers shared by the dbf tests: hand-built table bytes and a file that
// counts what is read from it.
#pragma once

#include "engine/io/File.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

namespace dbftest {

struct FieldSpec {
    QByteArray name;
    char type;
    int length;
    int decimals = 0;
    std::uint8_t flags = 0;
};

// Builds the bytes of a dbf file field by field, the way another program
// might have written it. Records are given as their raw field bytes, without
// the delete flag.
class DbfBytes {
public:
    explicit DbfBytes(std::uint8_t version = 0x03) : m_version(version) { }
    DbfBytes &field(const QByteArray &name, char type, int length, int decimals = 0, std::uint8_t flags = 0)
    {
        m_fields.append({ name, type, length, decimals, flags });
        return *this;
    }
    DbfBytes &record(const QByteArray &bytes, bool deleted = false)
    {
        m_records.append((deleted ? QByteArray("*") : QByteArray(" ")) + bytes);
        return *this;
    }
    DbfBytes &yearByte(int y)
    {
        m_year = y;
        return *this;
    }
    DbfBytes &languageDriver(int b)
    {
        m_ldid = b;
        return *this;
    }
    DbfBytes &tableFlags(int f)
    {
        m_flags = f;
        return *this;
    }
    DbfBytes &claimedCount(int n)
    {
        m_count = n;
        return *this;
    }
    DbfBytes &noEndMarker()
    {
        m_end = false;
        return *this;
    }
    DbfBytes &backlink(bool on)
    {
        m_backlink = on ? 1 : 0;
        return *this;
    }

    int recordLength() const
    {
        int n = 1;
        for (const FieldSpec &f : m_fields)
            n += f.length;
        return n;
    }
    int headerLength() const
    {
        const bool vfp = m_backlink < 0 ? (m_version >= 0x30 && m_version <= 0x32) : m_backlink == 1;
        return 32 + 32 * int(m_fields.size()) + 1 + (vfp ? 263 : 0);
    }

    QByteArray bytes() const
    {
        QByteArray h(32, '\0');
        h[0] = char(m_version);
        h[1] = char(m_year);
        h[2] = 3;
        h[3] = 14;
        const std::uint32_t count = m_count >= 0 ? std::uint32_t(m_count) : std::uint32_t(m_records.size());
        for (int i = 0; i < 4; ++i)
            h[4 + i] = char((count >> (8 * i)) & 0xFF);
        const int hl = headerLength(), rl = recordLength();
        h[8] = char(hl & 0xFF);
        h[9] = char(hl >> 8);
        h[10] = char(rl & 0xFF);
        h[11] = char(rl >> 8);
        h[28] = char(m_flags);
        h[29] = char(m_ldid);
        int offset = 1;
        for (const FieldSpec &f : m_fields) {
            QByteArray d(32, '\0');
            d.replace(0, f.name.size(), f.name);
            d[11] = f.type;
            d[12] = char(offset & 0xFF);
            d[13] = char(offset >> 8);
            d[16] = char(f.length & 0xFF);
            d[17] = char(f.type == 'C' && f.length > 255 ? f.length >> 8 : f.decimals);
            d[18] = char(f.flags);
            h += d;
            offset += f.length;
        }
        h += '\x0D';
        h.resize(hl, '\0');
        for (const QByteArray &r : m_records)
            h += r;
        if (m_end)
            h += '\x1A';
        return h;
    }

private:
    std::uint8_t m_version;
    QList<FieldSpec> m_fields;
    QList<QByteArray> m_records;
    int m_year = 0x7E;
    int m_ldid = 0x03;
    int m_flags = 0;
    int m_count = -1;
    bool m_end = true;
    int m_backlink = -1;
};

// A memory file that records how much was read from it and how far in.
class CountingFile : public qvx::MemoryFile {
public:
    using MemoryFile::MemoryFile;
    qint64 readAt(qint64 offset, char *data, qint64 len) const override
    {
        const qint64 n = MemoryFile::readAt(offset, data, len);
        bytesRead += n;
        furthest = std::max(furthest, offset + n);
        return n;
    }
    mutable qint64 bytesRead = 0;
    mutable qint64 furthest = 0;
};

inline std::unique_ptr<qvx::File> memory(const QByteArray &bytes,
                                         const QString &name = QStringLiteral("t.dbf"))
{
    return std::make_unique<qvx::MemoryFile>(bytes, name);
}

} // namespace dbftest
