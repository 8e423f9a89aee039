#include "AsciiTable.h"

#include "../../EngineError.h"
#include "../../Value.h"

#include <atomic>
#include <numeric>

namespace qvx::ascii {

namespace {

constexpr qint64 kWindowBytes = 64 * 1024;
constexpr qint64 kCopyChunk = 1 << 20;
constexpr qsizetype kMaxWarnings = 100;

std::atomic<qint64> g_rewrites { 0 };

} // namespace

// The records of a batch, in order. An entry >= 0 is a record of the data
// file as it stands (its index among the file's records); an entry < 0 is
// a new line, lines[-1 - entry]. A removed entry stays in place until the
// commit: once there is one, a Fenwick tree over the live flags finds the
// nth live record in log n steps (until then the nth record is entry n).
struct AsciiTable::Batch {
    bool changed = false; // entries hold the records; before, the file does
    std::vector<qint64> entries;
    std::vector<QByteArray> lines; // with their CR LF
    std::vector<char> removed; // empty until the first removal
    std::vector<qint64> tree; // 1-based: tree[i] counts the live ones of (i - lowbit(i), i]
    qint64 live = 0;

    static qint64 lowbit(qint64 i) { return i & -i; }

    void start(qint64 records)
    {
        entries.resize(std::size_t(records));
        std::iota(entries.begin(), entries.end(), qint64(0));
        live = records;
        changed = true;
    }
    void buildTree()
    {
        const qint64 n = qint64(entries.size());
        tree.assign(std::size_t(n + 1), 0);
        for (qint64 i = 1; i <= n; ++i) {
            tree[std::size_t(i)] += removed[std::size_t(i - 1)] ? 0 : 1;
            if (i + lowbit(i) <= n)
                tree[std::size_t(i + lowbit(i))] += tree[std::size_t(i)];
        }
    }
    qint64 prefix(qint64 i) const
    {
        qint64 sum = 0;
        for (; i > 0; i -= lowbit(i))
            sum += tree[std::size_t(i)];
        return sum;
    }
    // The entry of the nth live record (n from 0).
    qint64 entryOf(qint64 n) const
    {
        if (removed.empty())
            return n;
        const qint64 size = qint64(entries.size());
        qint64 step = 1;
        while (step * 2 <= size)
            step *= 2;
        qint64 pos = 0;
        for (; step > 0; step /= 2) {
            if (pos + step <= size && tree[std::size_t(pos + step)] <= n) {
                pos += step;
                n -= tree[std::size_t(pos)];
            }
        }
        return pos;
    }
    qint64 addLine(QByteArray line)
    {
        lines.push_back(std::move(line));
        return -qint64(lines.size());
    }
    void insert(qint64 n, qint64 entry)
    {
        if (n >= live) {
            entries.push_back(entry);
            if (!removed.empty()) {
                removed.push_back(0);
                const qint64 i = qint64(entries.size());
                tree.push_back(1 + prefix(i - 1) - prefix(i - lowbit(i)));
            }
        } else {
            const qint64 at = entryOf(n);
            entries.insert(entries.begin() + at, entry);
            if (!removed.empty()) {
                removed.insert(removed.begin() + at, 0);
                buildTree();
            }
        }
        ++live;
    }
    void remove(qint64 n)
    {
        const qint64 at = entryOf(n);
        if (removed.empty()) {
            removed.assign(entries.size(), 0);
            removed[std::size_t(at)] = 1;
            buildTree();
        } else {
            removed[std::size_t(at)] = 1;
            for (qint64 i = at + 1; i <= qint64(entries.size()); i += lowbit(i))
                --tree[std::size_t(i)];
        }
        if (entries[std::size_t(at)] < 0)
            lines[std::size_t(-1 - entries[std::size_t(at)])] = QByteArray();
        --live;
    }
};

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

// Changes of a batch never committed are dropped: the file stays as it was.
AsciiTable::~AsciiTable() = default;

qint64 AsciiTable::rewriteCount()
{
    return g_rewrites.load();
}

TableInfo AsciiTable::info() const
{
    TableInfo info;
    info.format = m_schema.fixed ? QStringLiteral("ASCII (FIXED)") : QStringLiteral("ASCII (VARYING)");
    info.codePage = m_codec.name();
    info.recordCount = recordCount();
    return info;
}

qint64 AsciiTable::recordCount() const
{
    return m_batch && m_batch->changed ? m_batch->live : qint64(m_starts.size());
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

void AsciiTable::warn(const QString &what) const
{
    if (m_warnings.contains(what))
        return;
    if (m_warnings.size() < kMaxWarnings)
        m_warnings << what;
    else if (m_warnings.size() == kMaxWarnings)
        m_warnings << QStringLiteral("more values could not be read; only the first %1 are listed")
                          .arg(kMaxWarnings);
}

qint64 AsciiTable::recordEnd(qint64 index) const
{
    return index + 1 < qint64(m_starts.size()) ? m_starts[std::size_t(index + 1)] : m_file->size();
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

QByteArray AsciiTable::currentLine(qint64 index) const
{
    if (!m_batch || !m_batch->changed)
        return recordLine(index);
    const qint64 entry = m_batch->entries[std::size_t(m_batch->entryOf(index))];
    if (entry >= 0)
        return recordLine(entry);
    QByteArray line = m_batch->lines[std::size_t(-1 - entry)];
    line.chop(2); // the CR LF encodeRecord ends it with
    return line;
}

Record AsciiTable::decodeLine(qint64 index, const QByteArray &line, std::vector<RawValue> *raw) const
{
    std::vector<BadValue> bad;
    Record rec;
    try {
        rec = decodeRecord(line, m_schema, m_codec, m_forms, &bad, raw);
    } catch (const DataError &e) {
        if (m_batch && m_batch->changed)
            throw EngineError(m_file->path(), QStringLiteral("record %1: %2").arg(index + 1).arg(e.what));
        failAt(index, e.what);
    }
    for (const BadValue &b : bad)
        warn(QStringLiteral("record %1, %2").arg(index + 1).arg(b.what));
    return rec;
}

void AsciiTable::read(qint64 index, Record &rec) const
{
    checkIndex(index);
    rec = decodeLine(index, currentLine(index), nullptr);
}

Record AsciiTable::held(const Record &rec) const
{
    Record out(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size() && i < rec.size(); ++i) {
        // A whole number given to a FLOAT is written digit for digit, not
        // through a double that holds only 15 or so of them.
        if (m_fields[i].type == FieldType::Float && isWholeNumber(rec[i])) {
            out[i] = rec[i];
            continue;
        }
        try {
            out[i] = coerceValue(rec[i], m_fields[i]);
        } catch (const EngineError &e) {
            throw EngineError(m_file->path(),
                              QStringLiteral("field %1: %2").arg(m_fields[i].name, e.message()));
        }
    }
    return out;
}

QByteArray AsciiTable::encodeHeld(const Record &values, const KeptValues *kept) const
{
    try {
        return encodeRecord(values, m_schema, m_codec, m_forms, kept);
    } catch (const DataError &e) {
        throw EngineError(m_file->path(), e.what);
    }
}

QByteArray AsciiTable::encodeChange(qint64 index, const Record &rec) const
{
    const Record values = held(rec);
    std::vector<RawValue> raw;
    Record was;
    try {
        was = decodeRecord(currentLine(index), m_schema, m_codec, m_forms, nullptr, &raw);
    } catch (const DataError &) {
        return encodeHeld(values, nullptr); // a record that does not split into values is replaced whole
    }
    // A value the change leaves as it read (an unreadable one reads as
    // null) is written back as it stood: the change touches nothing else.
    // Held forms are compared as they are, so that a whole number given to
    // a FLOAT (held as an integer) is written even where a double of it
    // would equal the one read.
    KeptValues kept(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const bool same = values[i].isNull()
            ? was[i].isNull()
            : !was[i].isNull() && values[i].typeId() == was[i].typeId() && values[i] == was[i];
        if (same)
            kept[i] = std::move(raw[i]);
    }
    return encodeHeld(values, &kept);
}

void AsciiTable::replaceFile(const std::function<void(File &)> &fill)
{
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
    ++g_rewrites;
}

void AsciiTable::copyBytes(File &out, qint64 at, qint64 begin, qint64 end) const
{
    for (qint64 pos = begin; pos < end; pos += kCopyChunk) {
        const QByteArray chunk = m_file->readBytes(pos, std::min(kCopyChunk, end - pos));
        if (chunk.size() != std::min(kCopyChunk, end - pos))
            throw EngineError(m_file->path(),
                              QStringLiteral("the file is cut short (it changed while open?)"));
        out.writeBytes(at, chunk);
        at += chunk.size();
    }
}

void AsciiTable::rewrite(qint64 from, qint64 to, const QByteArray &replacement)
{
    const qint64 size = m_file->size();
    replaceFile([&](File &out) {
        copyBytes(out, 0, 0, from);
        out.writeBytes(from, replacement);
        copyBytes(out, from + replacement.size(), to, size);
    });
}

qint64 AsciiTable::update(qint64 index, const Record &rec)
{
    checkWritable();
    checkIndex(index);
    const QByteArray line = encodeChange(index, rec);
    if (m_batch) {
        if (!m_batch->changed)
            m_batch->start(qint64(m_starts.size()));
        qint64 &entry = m_batch->entries[std::size_t(m_batch->entryOf(index))];
        if (entry < 0)
            m_batch->lines[std::size_t(-1 - entry)] = line;
        else
            entry = m_batch->addLine(line);
        return index;
    }
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
    if (m_batch) {
        if (!m_batch->changed)
            m_batch->start(qint64(m_starts.size()));
        m_batch->insert(before, m_batch->addLine(line));
        return before;
    }
    qint64 at = before < recordCount() ? m_starts[std::size_t(before)] : m_file->size();
    qint64 start = at;
    if (before == recordCount() && at > 0 && !endsWithLineBreak()) {
        // The last record lacks its line break.
        line.prepend("\r\n");
        start += 2;
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
    if (m_batch) {
        if (!m_batch->changed)
            m_batch->start(qint64(m_starts.size()));
        m_batch->remove(index);
        return;
    }
    const qint64 from = m_starts[std::size_t(index)];
    const qint64 to = recordEnd(index);
    rewrite(from, to, {});
    m_starts.erase(m_starts.begin() + index);
    for (std::size_t k = std::size_t(index); k < m_starts.size(); ++k)
        m_starts[k] -= to - from;
}

bool AsciiTable::endsWithLineBreak() const
{
    const qint64 size = m_file->size();
    if (size == 0)
        return true;
    char last = 0;
    m_file->readAt(size - 1, &last, 1);
    return last == '\n';
}

void AsciiTable::beginBatch()
{
    if (!m_batch)
        m_batch = std::make_unique<Batch>();
}

void AsciiTable::rollbackBatch()
{
    m_batch.reset();
    m_window.clear();
}

void AsciiTable::commitBatch()
{
    // Whatever happens, the batch ends here: a commit that fails leaves the
    // file as it was and drops the changes.
    const std::unique_ptr<Batch> batch = std::move(m_batch);
    if (!batch || !batch->changed)
        return;
    checkWritable();
    const std::vector<qint64> &entries = batch->entries;
    const auto live = [&](std::size_t k) { return batch->removed.empty() || !batch->removed[k]; };
    std::size_t lastLive = entries.size();
    for (std::size_t k = entries.size(); k-- > 0;) {
        if (live(k)) {
            lastLive = k;
            break;
        }
    }
    const qint64 oldCount = qint64(m_starts.size());
    const bool breakAtEnd = endsWithLineBreak();
    std::vector<qint64> starts;
    starts.reserve(std::size_t(batch->live));
    replaceFile([&](File &out) {
        // Records of the old file that follow each other there are copied
        // in one go.
        qint64 at = 0, runFrom = 0, runTo = 0, runAt = 0;
        const auto flush = [&] {
            copyBytes(out, runAt, runFrom, runTo);
            runFrom = runTo = 0;
        };
        for (std::size_t k = 0; k < entries.size(); ++k) {
            if (!live(k))
                continue;
            starts.push_back(at);
            const qint64 entry = entries[k];
            if (entry < 0) {
                flush();
                const QByteArray &line = batch->lines[std::size_t(-1 - entry)];
                out.writeBytes(at, line);
                at += line.size();
                continue;
            }
            const qint64 from = m_starts[std::size_t(entry)];
            const qint64 to = recordEnd(entry);
            if (runTo != from || runTo == runFrom) {
                flush();
                runFrom = from;
                runAt = at;
            }
            runTo = to;
            at += to - from;
            if (entry == oldCount - 1 && !breakAtEnd && k != lastLive) {
                // The old last record lacked its line break; now another follows.
                flush();
                out.writeBytes(at, "\r\n");
                at += 2;
            }
        }
        flush();
    });
    m_starts = std::move(starts);
}

} // namespace qvx::ascii
