// The blob file (.mb) beside a Paradox table: values of memo, binary,
// formatted memo, OLE and graphic fields that do not fit their leader.
#pragma once

#include "../../io/File.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

namespace qvx::paradox {

class BlobFile {
public:
    explicit BlobFile(std::unique_ptr<File> file) : m_file(std::move(file)) { }

    File &file() { return *m_file; }
    QString path() const { return m_file->path(); }

    // The value a record's pointer names: the offset/index word and the
    // length from the record. Throws EngineError naming the blob file when
    // the pointer leads nowhere sensible.
    QByteArray read(std::uint32_t offsetIndex, std::uint32_t length, bool graphic) const;

    // Stores a value (longer than its leader) and returns the offset/index
    // word for the record. Small values share sub-allocated blocks.
    std::uint32_t append(const QByteArray &data, std::uint16_t modification);

    // The first 4 KiB of a new blob file.
    static QByteArray emptyFile();

private:
    [[noreturn]] void fail(const QString &what) const;
    std::uint32_t appendSmall(const QByteArray &data, std::uint16_t modification);
    qint64 endOfBlocks() const;

    std::unique_ptr<File> m_file;
    // The sub-allocated block this writer fills (-1 before it made one), its
    // next free slot (they are used from 63 down) and its next free byte.
    qint64 m_openBlock = -1;
    int m_nextSlot = -1;
    int m_nextData = 0;
};

} // namespace qvx::paradox
