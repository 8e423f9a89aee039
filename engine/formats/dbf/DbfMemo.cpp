#include "DbfMemo.h"

#include "../../EngineError.h"
#include "../../io/File.h"

#include <algorithm>

namespace qvx::dbf {

namespace {

// How much of a dBASE III memo is read at a time while looking for its end.
constexpr qint64 kScanChunk = 8192;

} // namespace

MemoFile::MemoFile(std::unique_ptr<File> file, MemoKind kind) : m_file(std::move(file)), m_kind(kind)
{
    const QString path = m_file->path();
    const qint64 size = m_file->size();
    const int headerNeeded = kind == MemoKind::Fpt ? 8 : kind == MemoKind::Dbt4 ? 22 : 4;
    if (size < headerNeeded)
        throw EngineError(
            path, QStringLiteral("the memo file is too short to hold its header (%1 bytes)").arg(size));
    char h[22];
    m_file->readExact(0, h, headerNeeded, "the memo file header");
    switch (kind) {
    case MemoKind::Dbt3:
        m_blockSize = kDbt3BlockSize;
        break;
    case MemoKind::Dbt4: {
        const int bs = le16(h + 20);
        m_blockSize = bs == 0 ? kDbt4DefaultBlockSize : bs;
        break;
    }
    case MemoKind::Fpt: {
        const int bs = be16(h + 6);
        m_blockSize = bs == 0 ? 1 : bs;
        break;
    }
    case MemoKind::None:
        throw EngineError(path, QStringLiteral("the table has no memo file of this kind"));
    }
}

MemoFile::~MemoFile() = default;

std::uint32_t MemoFile::firstUsableBlock() const
{
    if (m_kind == MemoKind::Fpt)
        return std::uint32_t((kFptHeaderSize + m_blockSize - 1) / m_blockSize);
    // The dBASE header takes block 0 (and a block of 512 bytes at least).
    return std::uint32_t(std::max(1, (512 + m_blockSize - 1) / m_blockSize));
}

QByteArray MemoFile::readUntilTerminator(qint64 offset) const
{
    const qint64 size = m_file->size();
    QByteArray out;
    for (qint64 pos = offset; pos < size; pos += kScanChunk) {
        const QByteArray chunk = m_file->readBytes(pos, kScanChunk);
        if (chunk.isEmpty())
            break;
        const qsizetype end = chunk.indexOf(kFileEnd);
        if (end >= 0) {
            out += chunk.left(end);
            return out;
        }
        out += chunk;
    }
    return out; // no terminator: the memo runs to the end of the file
}

QByteArray MemoFile::read(std::uint32_t block) const
{
    const QString path = m_file->path();
    const qint64 size = m_file->size();
    if (block < firstUsableBlock())
        throw EngineError(
            path, QStringLiteral("a memo points at block %1, inside the memo file header").arg(block));
    const qint64 offset = qint64(block) * m_blockSize;
    if (offset >= size)
        throw EngineError(
            path, QStringLiteral("a memo points at block %1, past the end of the memo file").arg(block));

    switch (m_kind) {
    case MemoKind::Dbt3:
        return readUntilTerminator(offset);
    case MemoKind::Dbt4: {
        char h[8];
        if (m_file->readAt(offset, h, 8) != 8 || std::uint8_t(h[0]) != 0xFF || std::uint8_t(h[1]) != 0xFF)
            // Blocks written in the dBASE III manner also occur in these files.
            return readUntilTerminator(offset);
        const std::uint32_t length = le32(h + 4);
        if (length < 8)
            throw EngineError(
                path,
                QStringLiteral("the memo at block %1 has a length of %2 bytes, shorter than its "
                               "own header")
                    .arg(block)
                    .arg(length));
        if (offset + qint64(length) > size)
            throw EngineError(
                path,
                QStringLiteral("the memo at block %1 (%2 bytes) runs past the end of the memo file")
                    .arg(block)
                    .arg(length));
        QByteArray out(qsizetype(length - 8), Qt::Uninitialized);
        m_file->readExact(offset + 8, out.data(), out.size(), "a memo");
        return out;
    }
    case MemoKind::Fpt: {
        char h[8];
        if (m_file->readAt(offset, h, 8) != 8)
            throw EngineError(
                path, QStringLiteral("the memo at block %1 runs past the end of the memo file").arg(block));
        const std::uint32_t length = be32(h + 4);
        if (offset + 8 + qint64(length) > size)
            throw EngineError(
                path,
                QStringLiteral("the memo at block %1 (%2 bytes) runs past the end of the memo file")
                    .arg(block)
                    .arg(length));
        QByteArray out(qsizetype(length), Qt::Uninitialized);
        m_file->readExact(offset + 8, out.data(), out.size(), "a memo");
        return out;
    }
    case MemoKind::None:
        break;
    }
    return {};
}

std::uint32_t MemoFile::append(const QByteArray &data, std::uint32_t fptType)
{
    const QString path = m_file->path();
    QByteArray block;
    switch (m_kind) {
    case MemoKind::Dbt3:
        block = data;
        block += kFileEnd;
        block += kFileEnd;
        break;
    case MemoKind::Dbt4: {
        block = QByteArray(8, '\0');
        block[0] = char(0xFF);
        block[1] = char(0xFF);
        block[2] = 0x08;
        putLe32(block.data() + 4, std::uint32_t(data.size() + 8));
        block += data;
        break;
    }
    case MemoKind::Fpt:
        block = QByteArray(8, '\0');
        putBe32(block.data(), fptType);
        putBe32(block.data() + 4, std::uint32_t(data.size()));
        block += data;
        break;
    case MemoKind::None:
        throw EngineError(path, QStringLiteral("the table has no memo file"));
    }
    const qint64 blocks = (block.size() + m_blockSize - 1) / m_blockSize;
    block.resize(qsizetype(blocks * m_blockSize), '\0');

    // New memos always go after the end of the file. The header's next free
    // block is not trusted for this: a damaged one must neither let a new
    // memo overwrite old ones nor send it far past the end.
    const qint64 size = m_file->size();
    const qint64 start = std::max<qint64>((size + m_blockSize - 1) / m_blockSize, firstUsableBlock());
    const qint64 next = start + blocks;
    if (next > 0xFFFFFFFFLL)
        throw EngineError(path, QStringLiteral("the memo file is full"));

    m_file->writeBytes(start * m_blockSize, block);
    char h[4];
    if (m_kind == MemoKind::Fpt)
        putBe32(h, std::uint32_t(next));
    else
        putLe32(h, std::uint32_t(next));
    m_file->writeAt(0, h, 4);
    return std::uint32_t(start);
}

QByteArray MemoFile::emptyFile(MemoKind kind, int blockSize, const QByteArray &dbfBaseName)
{
    switch (kind) {
    case MemoKind::Dbt3: {
        QByteArray out(kDbt3BlockSize, '\0');
        putLe32(out.data(), 1);
        out[16] = 0x03;
        return out;
    }
    case MemoKind::Dbt4: {
        const int bs = blockSize > 0 ? blockSize : kDbt4DefaultBlockSize;
        QByteArray out(std::max(bs, 512), '\0');
        putLe32(out.data(), std::uint32_t((512 + bs - 1) / bs));
        const QByteArray name = dbfBaseName.left(8);
        std::copy(name.begin(), name.end(), out.begin() + 8);
        putLe16(out.data() + 20, std::uint16_t(bs));
        return out;
    }
    case MemoKind::Fpt: {
        const int bs = blockSize > 0 ? blockSize : kFptDefaultBlockSize;
        QByteArray out(kFptHeaderSize, '\0');
        putBe32(out.data(), std::uint32_t((kFptHeaderSize + bs - 1) / bs));
        putBe16(out.data() + 6, std::uint16_t(bs));
        return out;
    }
    case MemoKind::None:
        break;
    }
    return {};
}

QByteArray MemoFile::emptied() const
{
    QByteArray out
        = m_file->readBytes(0, m_kind == MemoKind::Fpt ? kFptHeaderSize : std::max(m_blockSize, 512));
    out.resize(m_kind == MemoKind::Fpt ? kFptHeaderSize : std::max(m_blockSize, 512), '\0');
    if (m_kind == MemoKind::Fpt)
        putBe32(out.data(), firstUsableBlock());
    else
        putLe32(out.data(), firstUsableBlock());
    return out;
}

} // namespace qvx::dbf
