#include "ParadoxBlob.h"

#include "ParadoxHeader.h"

#include "../../EngineError.h"

#include <algorithm>
#include <cstring>

namespace qvx::paradox {

void BlobFile::fail(const QString &what) const
{
    throw EngineError(m_file->path(), what);
}

QByteArray BlobFile::read(std::uint32_t offsetIndex, std::uint32_t length, bool graphic) const
{
    const qint64 block = offsetIndex & 0xFFFFFF00u;
    const int index = int(offsetIndex & 0xFF);
    const qint64 size = m_file->size();
    if (block < kMbChunk || block + kMbSlotData > size)
        fail(QStringLiteral("a blob points at offset 0x%1, outside the file").arg(block, 0, 16));
    if (length > size)
        fail(QStringLiteral("a blob claims %1 bytes, more than the whole file").arg(length));

    char head[kMbSingleHeader];
    m_file->readExact(block, head, kMbSingleHeader, "a blob block");
    const auto type = std::uint8_t(head[0]);
    const qint64 blockBytes = qint64(le16(head + 1)) * kMbChunk;
    QByteArray out(qsizetype(length), Qt::Uninitialized);

    if (type == kMbSingle) {
        if (index != kMbSingleIndex)
            fail(QStringLiteral("a blob names slot %1 of the single-blob block at 0x%2")
                     .arg(index)
                     .arg(block, 0, 16));
        const std::uint32_t stored = le32(head + 3);
        qint64 start = block + kMbSingleHeader;
        // Graphics may be stored with 8 bytes of their own header in front.
        if (graphic && stored == length + 8)
            start += 8;
        else if (stored != length)
            fail(QStringLiteral("the block at 0x%1 holds %2 bytes, but its record says %3")
                     .arg(block, 0, 16)
                     .arg(stored)
                     .arg(length));
        if (start - block + length > blockBytes)
            fail(QStringLiteral("the blob at 0x%1 is longer than its block").arg(block, 0, 16));
        m_file->readExact(start, out.data(), out.size(), "a blob");
        return out;
    }
    if (type == kMbSuballocated) {
        if (index >= kMbSlots)
            fail(QStringLiteral("a blob names slot %1 of the block at 0x%2, which has 64")
                     .arg(index)
                     .arg(block, 0, 16));
        char slot[kMbSlotSize];
        m_file->readExact(block + kMbSlotTable + qint64(index) * kMbSlotSize, slot, kMbSlotSize,
                          "a blob slot");
        const int dataOffset = std::uint8_t(slot[0]) * kMbSlotUnit;
        const int chunks = std::uint8_t(slot[1]);
        const int last = std::uint8_t(slot[4]);
        if (chunks == 0 || last < 1 || last > kMbSlotUnit)
            fail(QStringLiteral("slot %1 of the block at 0x%2 is empty or damaged")
                     .arg(index)
                     .arg(block, 0, 16));
        const std::uint32_t stored = std::uint32_t((chunks - 1) * kMbSlotUnit + last);
        if (stored != length)
            fail(QStringLiteral("slot %1 of the block at 0x%2 holds %3 bytes, but its record says %4")
                     .arg(index)
                     .arg(block, 0, 16)
                     .arg(stored)
                     .arg(length));
        if (dataOffset < kMbSlotData || dataOffset + qint64(length) > kMbChunk)
            fail(QStringLiteral("slot %1 of the block at 0x%2 runs past its block")
                     .arg(index)
                     .arg(block, 0, 16));
        m_file->readExact(block + dataOffset, out.data(), out.size(), "a blob");
        return out;
    }
    fail(QStringLiteral("a blob points at the block at 0x%1, which is of type %2, not a blob")
             .arg(block, 0, 16)
             .arg(type));
}

QByteArray BlobFile::emptyFile()
{
    QByteArray out(kMbChunk, '\0');
    char *p = out.data();
    p[0] = char(kMbHeaderBlock);
    putLe16(p + 1, 1);
    putLe16(p + 3, 1); // modification count
    const char magic[] = { '\x82', '\x73', '\x02', '\x00', '\x29' };
    std::memcpy(p + 5, magic, sizeof magic);
    putLe16(p + 0x0B, 0x1000);
    putLe16(p + 0x0D, 0x1000);
    p[0x10] = char(kMbSlotUnit);
    p[0x11] = char(kMbSlots);
    putLe16(p + 0x13, kMbSmallLimit);
    return out;
}

qint64 BlobFile::endOfBlocks() const
{
    // New blocks go after whatever the file holds, on a 4 KiB boundary.
    const qint64 size = std::max<qint64>(m_file->size(), kMbChunk);
    return (size + kMbChunk - 1) / kMbChunk * kMbChunk;
}

std::uint32_t BlobFile::append(const QByteArray &data, std::uint16_t modification)
{
    if (data.size() <= kMbSmallLimit)
        return appendSmall(data, modification);
    const qint64 at = endOfBlocks();
    const qint64 chunks = (kMbSingleHeader + data.size() + kMbChunk - 1) / kMbChunk;
    if (at + chunks * kMbChunk > 0xFFFFFF00LL || chunks > 0xFFFF)
        fail(QStringLiteral("the blob file is full"));
    QByteArray block(qsizetype(chunks * kMbChunk), '\0');
    char *p = block.data();
    p[0] = char(kMbSingle);
    putLe16(p + 1, std::uint16_t(chunks));
    putLe32(p + 3, std::uint32_t(data.size()));
    putLe16(p + 7, modification);
    std::memcpy(p + kMbSingleHeader, data.constData(), std::size_t(data.size()));
    m_file->writeBytes(at, block);
    return std::uint32_t(at) | kMbSingleIndex;
}

std::uint32_t BlobFile::appendSmall(const QByteArray &data, std::uint16_t modification)
{
    const int units = int((data.size() + kMbSlotUnit - 1) / kMbSlotUnit);
    if (m_openBlock < 0 || m_nextSlot < 0 || m_nextData + units * kMbSlotUnit > kMbChunk) {
        m_openBlock = endOfBlocks();
        if (m_openBlock + kMbChunk > 0xFFFFFF00LL)
            fail(QStringLiteral("the blob file is full"));
        QByteArray block(kMbChunk, '\0');
        block[0] = char(kMbSuballocated);
        putLe16(block.data() + 1, 1);
        m_file->writeBytes(m_openBlock, block);
        m_nextSlot = kMbSlots - 1;
        m_nextData = kMbSlotData;
    }
    const int slot = m_nextSlot--;
    m_file->writeBytes(m_openBlock + m_nextData, data);
    char entry[kMbSlotSize];
    entry[0] = char(m_nextData / kMbSlotUnit);
    entry[1] = char(units);
    putLe16(entry + 2, modification);
    entry[4] = char(data.size() - (units - 1) * kMbSlotUnit);
    m_file->writeAt(m_openBlock + kMbSlotTable + qint64(slot) * kMbSlotSize, entry, kMbSlotSize);
    m_nextData += units * kMbSlotUnit;
    return std::uint32_t(m_openBlock) | std::uint32_t(slot);
}

} // namespace qvx::paradox
