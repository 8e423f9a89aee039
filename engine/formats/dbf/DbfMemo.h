// The memo file beside a dbf table (.dbt in dBASE III or IV style, .fpt in
// FoxPro style; see DbfLayout.h). Memos are reached by block number; new
// values are always appended after the last used block, so a value that a
// record still points at is never overwritten.
#pragma once

#include "DbfHeader.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

namespace qvx {
class File;
}

namespace qvx::dbf {

class MemoFile {
public:
    // Reads and checks the memo file header.
    MemoFile(std::unique_ptr<File> file, MemoKind kind);
    ~MemoFile();
    MemoFile(const MemoFile &) = delete;
    MemoFile &operator=(const MemoFile &) = delete;

    MemoKind kind() const { return m_kind; }
    int blockSize() const { return m_blockSize; }
    File &file() { return *m_file; }
    const File &file() const { return *m_file; }

    // The value stored at a block. Throws EngineError "<memo path>: ..." when
    // the block, its length or its chain of blocks runs off the file.
    QByteArray read(std::uint32_t block) const;

    // Stores a value in new blocks after the last used one, then records the
    // new next free block in the header. Returns the first block. fptType is
    // the FoxPro block type (picture, text, object); the dBASE styles ignore it.
    std::uint32_t append(const QByteArray &data, std::uint32_t fptType);

    // The bytes of a memo file with no memos in it. dbfBaseName goes into the
    // dBASE IV header.
    static QByteArray emptyFile(MemoKind kind, int blockSize, const QByteArray &dbfBaseName);
    // An emptied copy of an existing memo file's header (block size and
    // other header bytes kept).
    QByteArray emptied() const;

private:
    std::uint32_t firstUsableBlock() const;
    QByteArray readUntilTerminator(qint64 offset) const;

    std::unique_ptr<File> m_file;
    MemoKind m_kind;
    int m_blockSize = 512;
};

} // namespace qvx::dbf
