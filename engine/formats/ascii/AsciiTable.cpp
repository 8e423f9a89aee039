#include "AsciiTable.h"

#include "../../EngineError.h"
#include "../../Value.h"

namespace qvx::ascii {

namespace {

constexpr qint64 kWindowBytes = 64 * 1024;
constexpr qint64 kCopyChunk = 1 << 20;

} // namespace

AsciiTable::AsciiTable(std::unique_ptr<File> data, Schema schema, QString readOnlyReason,
                       std::unique_ptr<WriterLock> lock, bool onDisk, TextForms forms)
    : m_file(std::move(data)),
      m_schema(std::move(schema)),
      m_readOnlyReason(std::move(readOnlyReason)),
      m_lock(std::move(lock)),
      m_onDisk(onDisk),
      m_codec(m_schema.codePage),
      m_forms(std::move(forms))
{
    for (const SchemaField &f : m_schema.fields)
        m_fields.push_back(f.def);
    m_starts = scanRecords(*m_file, m_schema);
}

TableInfo AsciiTable::info() const
{
    TableInfo info;
    info.format = m_schema.fixed ? QStringLiteral("ASCII (FIXED)") : QStringLiteral("ASCII (VARYING)");
    info.codePage = m_codec.name();
    info.recordCount = recordCount();
    return info;
}

void AsciiTable::failAt(qint64 index, const QString &what) const
{
    const qint64 offset = index < qint64(m_starts.size()) ? m_starts[std::size_t(index)] : m_file->size();
    throw EngineError(m_file->path(), QStringLiteral("line %1: %2").arg(lineAt(*m_file, offset)).arg(what));
}

void AsciiTable::checkIndex(qint64 index) const
{
    if (index < 0 || index >= recordCount())
        throw EngineError(
            m_file->path(),
            QStringLiteral("there is no record %1 (the table has %2)").arg(index + 1).arg(recordCount()));
}

void AsciiTable::checkWritable() const
{
    if (!m_readOnlyReason.isEmpty())
        throw EngineError(m_file->path(), m_readOnlyReason);
}

qint64 AsciiTable::recordEnd(qint64 index) const
{
    return index + 1 < recordCount() ? m_starts[std::size_t(index + 1)] : m_file->size();
}

QByteArray AsciiTable::recordLine(qint64 index) const
{
    const qint64 from = m_starts[std::size_t(index)];
    const qint64 to = recordEnd(index);
    if (from < m_windowStart || to > m_windowStart + m_window.size()) {
        m_window = m_file->readBytes(from, std::max(kWindowBytes, to - from));
        m_windowStart = from;
        if (to > m_windowStart + m_window.size())
            failAt(index, QStringLiteral("the record is cut short (the file changed while open?)"));
    }
    QByteArray line = m_window.mid(qsizetype(from - m_windowStart), qsizetype(to - from));
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

void AsciiTable::read(qint64 index, Record &rec) const
{
    checkIndex(index);
    try {
        rec = decodeRecord(recordLine(index), m_schema, m_codec, m_forms);
    } catch (const DataError &e) {
        failAt(index, e.what);
    }
}

QByteArray AsciiTable::encode(const Record &rec) const
{
    Record held(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size() && i < rec.size(); ++i) {
        try {
            held[i] = coerceValue(rec[i], m_fields[i]);
        } catch (const EngineError &e) {
            throw EngineError(m_file->path(),
                              QStringLiteral("field %1: %2").arg(m_fields[i].name, e.message()));
        }
    }
    try {
        return encodeRecord(held, m_schema, m_codec, m_forms);
    } catch (const DataError &e) {
        throw EngineError(m_file->path(), e.what);
    }
}

void AsciiTable::rewrite(qint64 from, qint64 to, const QByteArray &replacement)
{
    const qint64 size = m_file->size();
    auto copy = [&](File &out, qint64 &at, qint64 begin, qint64 end) {
        for (qint64 pos = begin; pos < end; pos += kCopyChunk) {
            const QByteArray chunk = m_file->readBytes(pos, std::min(kCopyChunk, end - pos));
            if (chunk.size() != std::min(kCopyChunk, end - pos))
                throw EngineError(m_file->path(),
                                  QStringLiteral("the file is cut short (it changed while open?)"));
            out.writeBytes(at, chunk);
            at += chunk.size();
        }
    };
    const auto fill = [&](File &out) {
        qint64 at = 0;
        copy(out, at, 0, from);
        out.writeBytes(at, replacement);
        at += replacement.size();
        copy(out, at, to, size);
    };
    m_window.clear();
    if (m_onDisk) {
        const QString path = m_file->path();
        AtomicFileWriter writer(path);
        fill(writer.file());
        // The lock moves with the new file: taken on it before it is put in
        // place, so no other writer can slip in between.
        auto lock = std::make_unique<WriterLock>(writer.tempPath());
        writer.commit();
        m_lock = std::move(lock);
        m_file = openDiskFile(path, OpenMode::ReadOnly);
    } else {
        auto out = std::make_unique<MemoryFile>(QByteArray(), m_file->path());
        fill(*out);
        m_file = std::move(out);
    }
}

qint64 AsciiTable::update(qint64 index, const Record &rec)
{
    checkWritable();
    checkIndex(index);
    const QByteArray line = encode(rec);
    const qint64 from = m_starts[std::size_t(index)];
    const qint64 to = recordEnd(index);
    rewrite(from, to, line);
    const qint64 delta = qint64(line.size()) - (to - from);
    for (std::size_t k = std::size_t(index) + 1; k < m_starts.size(); ++k)
        m_starts[k] += delta;
    return index;
}

qint64 AsciiTable::insert(qint64 before, const Record &rec)
{
    checkWritable();
    if (before < 0 || before > recordCount())
        before = recordCount();
    QByteArray line = encode(rec);
    qint64 at = before < recordCount() ? m_starts[std::size_t(before)] : m_file->size();
    qint64 start = at;
    if (before == recordCount() && at > 0) {
        // The last record may lack its line break.
        char last = 0;
        m_file->readAt(at - 1, &last, 1);
        if (last != '\n') {
            line.prepend("\r\n");
            start += 2;
        }
    }
    rewrite(at, at, line);
    for (std::size_t k = std::size_t(before); k < m_starts.size(); ++k)
        m_starts[k] += line.size();
    m_starts.insert(m_starts.begin() + before, start);
    return before;
}

void AsciiTable::remove(qint64 index)
{
    checkWritable();
    checkIndex(index);
    const qint64 from = m_starts[std::size_t(index)];
    const qint64 to = recordEnd(index);
    rewrite(from, to, {});
    m_starts.erase(m_starts.begin() + index);
    for (std::size_t k = std::size_t(index); k < m_starts.size(); ++k)
        m_starts[k] -= to - from;
}

} // namespace qvx::ascii
