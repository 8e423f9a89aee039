#include "DbfTable.h"

#include "DbfCodePage.h"

#include "../../EngineError.h"
#include "../../Value.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <list>
#include <mutex>

namespace qvx::dbf {

namespace {

// Delete flags are read this many bytes at a time when records are short;
// longer records are probed one flag at a time.
constexpr qint64 kFlagChunkBytes = 1 << 20;
constexpr int kProbeRecordLength = 512;
constexpr qint64 kWindowBytes = 64 * 1024;
constexpr qint64 kPageBytes = 4096;

std::uint32_t fptTypeFor(char type)
{
    switch (type) {
    case 'P':
        return kFptPicture;
    case 'G':
        return kFptObject;
    default:
        return kFptText;
    }
}

} // namespace

DbfTable::DbfTable(std::unique_ptr<File> dbf, std::unique_ptr<File> memo, Header header,
                   QString readOnlyReason, std::unique_ptr<WriterLock> lock, CodePageChoice codePage)
    : m_file(std::move(dbf)),
      m_header(std::move(header)),
      m_readOnlyReason(std::move(readOnlyReason)),
      m_lock(std::move(lock)),
      m_codec(codePage.codePage),
      m_codePageSource(codePage.source)
{
    m_warnings << codePage.warnings;
    m_columns = buildColumns(m_header, m_codec, m_nullFlags);
    for (const Column &c : m_columns)
        m_fields.push_back(c.def);

    // Without its memo file a table still has every other value to show:
    // the memo fields read as null and the table as read-only, since a
    // write could not keep the memos it points at.
    if (m_header.needsMemo() && !memo) {
        const QFileInfo info(m_file->path());
        addProblem(
            QStringLiteral("its memo file %1.%2 is missing; the memo fields read as empty")
                .arg(info.completeBaseName(),
                     m_header.memoKind == MemoKind::Fpt ? QStringLiteral("fpt") : QStringLiteral("dbt")));
    } else if (m_header.needsMemo()) {
        MemoKind kind = m_header.memoKind;
        if (kind == MemoKind::None) {
            // A .dbt in dBASE IV style names its block size at +20; in
            // dBASE III style those bytes are unused (zero).
            char size[2] = { 0, 0 };
            if (memo->path().endsWith(QLatin1String(".fpt"), Qt::CaseInsensitive))
                kind = MemoKind::Fpt;
            else
                kind = memo->readAt(20, size, 2) == 2 && le16(size) != 0 ? MemoKind::Dbt4 : MemoKind::Dbt3;
        }
        const QString memoName = QFileInfo(memo->path()).fileName();
        try {
            m_memo = std::make_unique<MemoFile>(std::move(memo), kind);
        } catch (const EngineError &e) {
            addProblem(QStringLiteral("its memo file %1 cannot be read (%2); the memo fields read as empty")
                           .arg(memoName, e.message()));
        }
    }

    countRecords();

    adoptLiveCounts();
    m_indexes = std::make_unique<DbfIndexes>(m_file->path(), m_header, m_codec,
                                             static_cast<const RecordSource &>(*this));
    if (!m_indexes->problem().isEmpty()) {
        if (m_readOnlyReason.isEmpty()) {
            m_readOnlyReason = m_indexes->problem();
            m_lock.reset();
        }
    } else if (!readOnly()) {
        m_indexes->recover();
    }
}

qint64 DbfTable::endMark(qint64 first, qint64 last) const
{
    for (qint64 at = first; at < last; at += kBlockRecords) {
        const QByteArray flags = readFlags(at, std::min(kBlockRecords, last - at));
        const qsizetype i = flags.indexOf(kFileEnd);
        if (i >= 0) {
            dropWindow();
            return at + i;
        }
    }
    dropWindow();
    return last;
}

void DbfTable::countRecords()
{
    // The header's count is not trusted over the file: an interrupted append,
    // a writer that never updates it (0) or a truncated copy all leave it
    // wrong. The table holds the whole records after the header, up to the
    // end mark; the mark is looked for only where the count and the file
    // disagree, so that a sound table opens without a scan.
    const qint64 recLen = m_header.recordLength;
    const qint64 bytes = std::max<qint64>(m_file->size() - m_header.headerLength, 0);
    const qint64 room = bytes / recLen;
    const qint64 claimed = m_header.recordCount;
    qint64 held = room;
    if (claimed < room)
        held = endMark(claimed, room);
    else if (claimed > room)
        held = endMark(0, room);
    m_physicalCount = held;

    QStringList damage;
    if (held != claimed)
        damage << QStringLiteral("the header says %1 records, the file holds %2").arg(claimed).arg(held);
    const qint64 rest = bytes % recLen;
    // One byte after the last record is the end mark (or a lone delete flag,
    // which holds no data either): the end of the file need not be read.
    if (held == room && rest > 1) {
        char next = 0;
        m_file->readExact(recordOffset(room), &next, 1, "the end of the file");
        if (next != kFileEnd)
            damage << QStringLiteral("the file ends %1 bytes into record %2").arg(rest).arg(room + 1);
    }
    if (damage.isEmpty())
        return;
    // Appending or rewriting the count would build on a guess; the damage
    // is shown instead and the file left as it is.
    m_followsFile = false;
    addProblem(damage.join(QLatin1String("; ")));
}

void DbfTable::addProblem(const QString &what)
{
    m_warnings << what;
    if (m_readOnlyReason.isEmpty()) {
        m_readOnlyReason = what;
        m_lock.reset();
    }
}

void DbfTable::warn(const QString &what) const
{
    if (m_warnings.size() < kMaxWarnings)
        m_warnings << what;
    else if (m_warnings.size() == kMaxWarnings)
        m_warnings << QStringLiteral("more values could not be read; only the first %1 are listed")
                          .arg(kMaxWarnings);
}

DbfTable::~DbfTable()
{
    if (readOnly()) {
        keepLiveCounts();
        return;
    }
    try {
        if (m_dateStale)
            touchHeader(); // a batch that never ended
        m_file->sync();
        m_indexes->flush(); // after the records: a stop in between leaves the marker
        keepLiveCounts();
        if (m_memo)
            m_memo->file().sync();
    } catch (const EngineError &) {
        // Nothing can be reported from a destructor; every record write
        // already went to the file, and indexes not written are rebuilt
        // when the table is next opened for writing.
    }
}

namespace {

// The live records of tables read lately, by file: the statements of a
// query open their tables anew, and counting a large table's live records
// means reading every record's deletion flag.
struct LiveCounts {
    FileIdentity id;
    qint64 physicalCount = 0;
    std::vector<qint64> liveBefore;
    std::vector<std::vector<std::uint16_t>> deletedIn;
};
constexpr std::size_t kLiveCountTables = 32;
std::mutex liveCountLock;
std::list<LiveCounts> liveCounts; // most recently used first

} // namespace

void DbfTable::adoptLiveCounts()
{
    if (!identifyFile(m_file->path(), m_identity)) {
        m_identity = {};
        return;
    }
    const std::lock_guard<std::mutex> guard(liveCountLock);
    for (auto it = liveCounts.begin(); it != liveCounts.end(); ++it) {
        if (it->id.path != m_identity.path)
            continue;
        if (it->id == m_identity && it->physicalCount == m_physicalCount) {
            m_liveBefore = it->liveBefore;
            m_deletedIn = it->deletedIn;
            liveCounts.splice(liveCounts.begin(), liveCounts, it);
        }
        return;
    }
}

void DbfTable::keepLiveCounts() const
{
    // What this table counted holds for the file as it is now when nobody
    // else changed it: it is unchanged since the table opened, or this table
    // held the writer lock and every write of its own went through.
    FileIdentity now;
    if (m_identity.path.isEmpty() || m_writeFailed || !identifyFile(m_file->path(), now)
        || (!(now == m_identity) && !m_lock))
        return;
    const std::lock_guard<std::mutex> guard(liveCountLock);
    liveCounts.remove_if([&](const LiveCounts &c) { return c.id.path == now.path; });
    liveCounts.push_front({ now, m_physicalCount, m_liveBefore, m_deletedIn });
    if (liveCounts.size() > kLiveCountTables)
        liveCounts.pop_back();
}

void DbfTable::fail(const QString &what) const
{
    throw EngineError(m_file->path(), what);
}

TableInfo DbfTable::info() const
{
    TableInfo info;
    info.format = variantName(m_header.variant);
    info.versionByte = m_header.version;
    info.codePage = m_codec.name();
    info.codePageSource = codePageSourceName(m_codePageSource);
    info.recordCount = recordCount();
    for (const Column &c : m_columns)
        if (c.desc.type == 'V' && !c.desc.isBinary())
            info.varyingFields << c.def.name;
    return info;
}

// ---- Live records ----------------------------------------------------------

QByteArray DbfTable::readFlags(qint64 first, qint64 count) const
{
    QByteArray flags(qsizetype(count), kDeleted);
    const qint64 recLen = m_header.recordLength;
    if (recLen < kProbeRecordLength) {
        const qint64 perChunk = std::max<qint64>(1, kFlagChunkBytes / recLen);
        for (qint64 done = 0; done < count; done += perChunk) {
            const qint64 n = std::min(perChunk, count - done);
            const QByteArray bytes = m_file->readBytes(recordOffset(first + done), n * recLen);
            if (bytes.size() < n * recLen)
                fail(QStringLiteral("the file is shorter than its records (it changed while open?)"));
            for (qint64 i = 0; i < n; ++i)
                flags[qsizetype(done + i)] = bytes[qsizetype(i * recLen)];
            if (n == count) {
                // The records read for their flags are the window a scan
                // reads them from next, so the file is read once.
                m_window = bytes;
                m_windowFirst = first;
                m_lastLive = -1;
                m_windowCount = n;
            }
        }
    } else {
        for (qint64 i = 0; i < count; ++i)
            m_file->readExact(recordOffset(first + i), flags.data() + i, 1, "a record");
    }
    return flags;
}

bool DbfTable::scanNextBlock() const
{
    const qint64 block = qint64(m_liveBefore.size()) - 1;
    if (block >= blockCount())
        return false;
    const qint64 first = block * kBlockRecords;
    const QByteArray flags = readFlags(first, std::min(kBlockRecords, m_physicalCount - first));
    std::vector<std::uint16_t> deleted;
    for (qsizetype i = 0; i < flags.size(); ++i)
        if (flags[i] == kDeleted)
            deleted.push_back(std::uint16_t(i));
    m_liveBefore.push_back(m_liveBefore.back() + flags.size() - qint64(deleted.size()));
    m_deletedIn.push_back(std::move(deleted));
    return true;
}

qint64 DbfTable::physicalOf(qint64 index) const
{
    if (index < 0)
        fail(QStringLiteral("there is no record %1").arg(index + 1));
    while (m_liveBefore.back() <= index)
        if (!scanNextBlock())
            fail(QStringLiteral("there is no record %1 (the table has %2)")
                     .arg(index + 1)
                     .arg(m_liveBefore.back()));
    const auto it = std::upper_bound(m_liveBefore.begin(), m_liveBefore.end(), index);
    const qint64 block = qint64(it - m_liveBefore.begin()) - 1;
    // The k-th live record of the block lies past the deleted ones before it.
    qint64 offset = index - m_liveBefore[std::size_t(block)];
    for (std::uint16_t d : m_deletedIn[std::size_t(block)]) {
        if (d > offset)
            break;
        ++offset;
    }
    return block * kBlockRecords + offset;
}

void DbfTable::followFile() const
{
    if (!m_followsFile)
        return;
    char count[4];
    if (m_file->readAt(4, count, 4) != 4)
        return;
    const qint64 room = (m_file->size() - m_header.headerLength) / m_header.recordLength;
    const qint64 now = std::min<qint64>(le32(count), std::max<qint64>(room, 0));
    if (now == m_physicalCount)
        return;
    if (now > m_physicalCount) {
        // The last block, if it was partly filled, is counted again.
        if (m_physicalCount % kBlockRecords != 0 && qint64(m_liveBefore.size()) - 1 == blockCount()) {
            m_liveBefore.pop_back();
            m_deletedIn.pop_back();
        }
    } else {
        m_liveBefore.assign(1, 0);
        m_deletedIn.clear();
    }
    m_physicalCount = now;
    dropWindow();
}

qint64 DbfTable::recordCount() const
{
    if (readOnly()) {
        // Another window may be writing: see its appends and its edits.
        followFile();
        dropWindow();
    }
    while (scanNextBlock()) { }
    return m_liveBefore.back();
}

bool DbfTable::hasRecord(qint64 index) const
{
    if (index < 0)
        return false;
    while (m_liveBefore.back() <= index)
        if (!scanNextBlock())
            return false;
    return true;
}

qint64 DbfTable::indexOfBookmark(qint64 bookmark) const
{
    if (bookmark < 0 || bookmark >= m_physicalCount)
        return -1;
    const qint64 block = bookmark / kBlockRecords;
    while (qint64(m_liveBefore.size()) - 1 <= block)
        scanNextBlock();
    const auto &deleted = m_deletedIn[std::size_t(block)];
    const auto offset = std::uint16_t(bookmark - block * kBlockRecords);
    const auto it = std::lower_bound(deleted.begin(), deleted.end(), offset);
    if (it != deleted.end() && *it == offset)
        return -1;
    return m_liveBefore[std::size_t(block)] + offset - qint64(it - deleted.begin());
}

// ---- Reading ---------------------------------------------------------------

const char *DbfTable::recordBytes(qint64 physical) const
{
    const qint64 recLen = m_header.recordLength;
    if (physical < m_windowFirst || physical >= m_windowFirst + m_windowCount) {
        // Not past the block of delete flags already read for this record.
        const qint64 blockEnd = std::min((physical / kBlockRecords + 1) * kBlockRecords, m_physicalCount);
        // A scan reads on from where the window ended; records asked for
        // out of order (in an index's order) get a window of a page.
        const bool onward = physical == m_windowFirst + m_windowCount || m_windowCount == 0;
        const qint64 n = std::clamp<qint64>((onward ? kWindowBytes : kPageBytes) / recLen, 1,
                                            std::max<qint64>(1, blockEnd - physical));
        m_lastLive = -1;
        m_windowCount = 0;
        m_window.resize(qsizetype(n * recLen));
        m_file->readExact(recordOffset(physical), m_window.data(), n * recLen, "a record");
        m_windowFirst = physical;
        m_windowCount = n;
    }
    return m_window.constData() + (physical - m_windowFirst) * recLen;
}

bool DbfTable::bit(const char *nullFlags, int bit) const
{
    return nullFlags && bit >= 0 && (std::uint8_t(nullFlags[bit / 8]) >> (bit % 8)) & 1;
}

QVariant DbfTable::decodeColumn(const Column &c, const char *p, const char *nullFlags, qint64 index) const
{
    if (bit(nullFlags, c.nullBit))
        return {};
    if (!c.memo)
        return decodeValue(c, p, bit(nullFlags, c.varBit), m_codec);

    if (!m_memo)
        return {}; // the memo file is missing (see the constructor)
    // A bad pointer or a damaged memo costs that one value, not the read.
    std::uint32_t block = 0;
    QByteArray data;
    try {
        block = decodeMemoPointer(c, p, m_file->path());
        if (block != 0)
            data = m_memo->read(block);
    } catch (const EngineError &e) {
        const QString what
            = QStringLiteral("record %1, field %2: %3").arg(index + 1).arg(c.def.name, e.message());
        if (!m_warnings.contains(what))
            warn(what);
        return {};
    }
    if (block == 0) {
        // A nullable VFP field tells null from empty by its null bit.
        if (c.nullBit < 0)
            return {};
        return c.def.type == FieldType::Memo ? QVariant(QStringLiteral("")) : QVariant(QByteArray(""));
    }
    if (c.def.type == FieldType::Memo)
        return m_codec.decode(data);
    return data;
}

void DbfTable::read(qint64 index, Record &rec) const
{
    const char *r = liveRecordBytes(index);
    const char *nullFlags = m_nullFlags >= 0 ? r + m_header.fields[std::size_t(m_nullFlags)].offset : nullptr;
    rec.resize(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        rec[i] = decodeColumn(m_columns[i], r + m_columns[i].desc.offset, nullFlags, index);
}

QVariant DbfTable::readField(qint64 index, int field) const
{
    if (field < 0 || std::size_t(field) >= m_columns.size())
        fail(QStringLiteral("there is no field %1").arg(field + 1));
    const Column &c = m_columns[std::size_t(field)];
    const char *r = liveRecordBytes(index);
    const char *nullFlags = m_nullFlags >= 0 ? r + m_header.fields[std::size_t(m_nullFlags)].offset : nullptr;
    return decodeColumn(c, r + c.desc.offset, nullFlags, index);
}

bool DbfTable::readFieldTo(qint64 index, int field, FieldSink &sink) const
{
    if (field < 0 || std::size_t(field) >= m_columns.size())
        return false;
    const Column &c = m_columns[std::size_t(field)];
    if (c.memo)
        return false;
    const char *r = liveRecordBytes(index);
    if (m_nullFlags >= 0 && bit(r + m_header.fields[std::size_t(m_nullFlags)].offset, c.nullBit)) {
        sink.null();
        return true;
    }
    return decodeValueTo(c, r + c.desc.offset, m_codec, m_text, sink);
}

bool DbfTable::readAsciiCompatibleText(qint64 index, int field, QByteArrayView &bytes) const
{
    if (field < 0 || std::size_t(field) >= m_columns.size() || !m_codec.asciiCompatible())
        return false;
    const Column &c = m_columns[std::size_t(field)];
    if (c.memo || c.desc.type != 'C' || c.def.type != FieldType::String)
        return false;
    const char *r = liveRecordBytes(index);
    if (m_nullFlags >= 0 && bit(r + m_header.fields[std::size_t(m_nullFlags)].offset, c.nullBit)) {
        bytes = {};
        return true;
    }
    const char *p = r + c.desc.offset;
    int len = c.desc.length;
    while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == '\0'))
        --len;
    bytes = QByteArrayView(p, len);
    return true;
}

// ---- Writing ---------------------------------------------------------------

void DbfTable::checkWritable() const
{
    if (!m_readOnlyReason.isEmpty())
        fail(m_readOnlyReason);
}

QByteArray DbfTable::encodeRecord(const Record &rec, const QByteArray &old, bool inserting)
{
    const QString path = m_file->path();
    QByteArray out = old;
    out[0] = kLive;
    QByteArray nullFlags;
    if (m_nullFlags >= 0)
        nullFlags = QByteArray(m_header.fields[std::size_t(m_nullFlags)].length, '\0');
    auto setBit = [&](int bit) {
        if (bit >= 0 && !nullFlags.isEmpty())
            nullFlags[bit / 8] = char(nullFlags[bit / 8] | (1 << (bit % 8)));
    };

    struct PendingMemo {
        const Column *column;
        QByteArray data;
    };
    std::vector<PendingMemo> memos;
    std::vector<std::pair<int, std::uint32_t>> autoIncs; // descriptor, next value

    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns[i];
        char *p = out.data() + c.desc.offset;
        QVariant v = i < rec.size() ? rec[i] : QVariant();
        try {
            v = coerceValue(v, c.def);
        } catch (const EngineError &e) {
            fail(QStringLiteral("field %1: %2").arg(c.def.name, e.message()));
        }
        if (c.def.type == FieldType::AutoInc && v.isNull()) {
            if (!inserting)
                continue; // keeps the number it has
            FieldDescriptor &d = m_header.fields[std::size_t(c.descriptor)];
            v = int(d.autoIncNext);
            autoIncs.emplace_back(c.descriptor, d.autoIncNext + std::max<std::uint32_t>(1, d.autoIncStep));
        }
        if (v.isNull())
            setBit(c.nullBit);
        if (!c.memo) {
            bool varLength = false;
            encodeValue(c, v, p, varLength, m_codec, path);
            if (varLength)
                setBit(c.varBit);
            continue;
        }
        QByteArray data;
        if (!v.isNull())
            data = c.def.type == FieldType::Memo ? m_codec.encode(v.toString(), path, c.def.name)
                                                 : v.toByteArray();
        if (data.isEmpty()) {
            encodeMemoPointer(c, 0, p);
            continue;
        }
        if (m_memo->kind() == MemoKind::Dbt3 && data.contains(kFileEnd))
            fail(QStringLiteral("field %1: a dBASE III memo cannot hold the byte 0x1A, which ends a memo")
                     .arg(c.def.name));
        if (!inserting) {
            // An unchanged memo keeps its blocks; rewriting it would only
            // grow the memo file.
            std::uint32_t oldBlock = 0;
            try {
                oldBlock = decodeMemoPointer(c, old.constData() + c.desc.offset, path);
                if (oldBlock != 0 && m_memo->read(oldBlock) == data)
                    continue;
            } catch (const EngineError &) {
                // An unreadable old value is simply replaced.
            }
        }
        memos.push_back({ &c, data });
    }
    // Memo data goes to the memo file before the record points at it.
    for (const PendingMemo &m : memos) {
        const std::uint32_t block = m_memo->append(m.data, fptTypeFor(m.column->desc.type));
        encodeMemoPointer(*m.column, block, out.data() + m.column->desc.offset);
    }
    if (!nullFlags.isEmpty())
        std::memcpy(out.data() + m_header.fields[std::size_t(m_nullFlags)].offset, nullFlags.constData(),
                    std::size_t(nullFlags.size()));
    for (const auto &[descriptor, next] : autoIncs) {
        m_header.fields[std::size_t(descriptor)].autoIncNext = next;
        m_pendingAutoInc.push_back(descriptor);
    }
    return out;
}

QDate DbfTable::today()
{
    // The local date costs a look at the time zone file; a bulk update asks
    // for it once per record.
    const qint64 now = qint64(std::time(nullptr));
    if (now != m_todayAt) {
        m_today = QDate::currentDate();
        m_todayAt = now;
    }
    return m_today;
}

void DbfTable::touchHeader()
{
    dropWindow();
    m_dateStale = false;
    m_header.recordCount = std::uint32_t(m_physicalCount);
    const QByteArray bytes = encodeDateAndCount(m_header.variant, today(), m_header.recordCount);
    m_file->writeBytes(1, bytes);
}

void DbfTable::recordChanged()
{
    if (m_inBatch)
        m_dateStale = true;
    else
        touchHeader();
}

void DbfTable::endBatch()
{
    m_inBatch = false;
    if (m_dateStale)
        touchHeader();
    if (m_indexes)
        m_indexes->flush();
}

template<typename Write>
void DbfTable::writeIndexed(std::uint32_t recno, const char *oldRecord, const char *newRecord, Write write)
{
    if (m_indexes->empty()) {
        write();
        return;
    }
    m_indexes->change(recno, oldRecord, newRecord);
    try {
        write();
    } catch (...) {
        m_indexes->changeFailed();
        m_writeFailed = true;
        throw;
    }
    if (!m_inBatch)
        m_indexes->flush();
}

std::vector<IndexInfo> DbfTable::indexes(bool countKeys) const
{
    return m_indexes->infos(countKeys);
}

// The columns of the fields the indexes search, one per
// DbfIndexes::searchable() entry; -1 for a field that is no column or that
// reads as null when blank (VFP nullable fields: an index has no key for
// null).
std::vector<int> DbfTable::searchableColumns() const
{
    std::vector<int> out;
    for (const DbfIndexes::Searchable &s : m_indexes->searchable()) {
        const auto column = std::find_if(m_columns.begin(), m_columns.end(),
                                         [&](const Column &c) { return c.descriptor == s.descriptor; });
        out.push_back(column != m_columns.end() && column->nullBit < 0 ? int(column - m_columns.begin())
                                                                       : -1);
    }
    return out;
}

std::vector<SearchableIndex> DbfTable::searchableIndexes() const
{
    std::vector<SearchableIndex> out;
    const std::vector<DbfIndexes::Searchable> all = m_indexes->searchable();
    const std::vector<int> columns = searchableColumns();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (columns[i] >= 0)
            out.push_back({ columns[i], all[i].unique, all[i].name });
    return out;
}

int DbfTable::searchableTag(int index) const
{
    // The n-th searchable index of the table is the n-th of the indexes
    // whose field is a column; find its place among all of them.
    const std::vector<int> columns = searchableColumns();
    for (std::size_t i = 0, seen = 0; index >= 0 && i < columns.size(); ++i)
        if (columns[i] >= 0 && int(seen++) == index)
            return int(i);
    return -1;
}

bool DbfTable::lookup(int index, const KeyRange &range, std::vector<qint64> &out) const
{
    const int n = searchableTag(index);
    return n >= 0 && m_indexes->lookup(n, range, out);
}

bool DbfTable::indexOrderIsSqlOrder(int index) const
{
    const int n = searchableTag(index);
    return n >= 0 && m_indexes->orderedLikeSql(n);
}

void DbfTable::writeTableFlags(std::uint8_t flags)
{
    const char byte = char(flags);
    m_file->writeAt(28, &byte, 1);
    m_header.tableFlags = flags;
}

void DbfTable::createIndex(const IndexDef &def, bool foxPro)
{
    checkWritable();
    if (m_indexes->create(def, foxPro))
        writeTableFlags(m_header.tableFlags | kFlagIndex);
}

void DbfTable::dropIndex(const QString &name)
{
    checkWritable();
    if (m_indexes->drop(name))
        writeTableFlags(m_header.tableFlags & ~kFlagIndex);
}

void DbfTable::patchWindow(qint64 physical, qsizetype offset, const char *bytes, qsizetype size)
{
    m_lastLive = -1; // writing may move the window's bytes
    if (physical >= m_windowFirst && physical < m_windowFirst + m_windowCount)
        std::memcpy(m_window.data() + (physical - m_windowFirst) * m_header.recordLength + offset, bytes,
                    std::size_t(size));
}

qint64 DbfTable::update(qint64 index, const Record &rec)
{
    checkWritable();
    const qint64 physical = physicalOf(index);
    const QByteArray old(recordBytes(physical), m_header.recordLength);
    const QByteArray record = encodeRecord(rec, old, false);
    writeIndexed(std::uint32_t(physical + 1), old.constData(), record.constData(), [&] {
        m_file->writeBytes(recordOffset(physical), record);
        patchWindow(physical, 0, record.constData(), record.size());
        recordChanged();
    });
    return index;
}

qint64 DbfTable::insert(qint64 before, const Record &rec)
{
    Q_UNUSED(before);
    checkWritable();
    if (m_physicalCount >= 0xFFFFFFFFLL)
        fail(QStringLiteral("the table is full"));
    QByteArray blank(m_header.recordLength, kLive);
    for (const FieldDescriptor &f : m_header.fields)
        blankField(f, m_header.isVfp(), blank.data() + f.offset);
    m_pendingAutoInc.clear();
    const QByteArray record = encodeRecord(rec, blank, true);

    const qint64 physical = m_physicalCount;
    const bool allScanned = qint64(m_liveBefore.size()) - 1 == blockCount();
    writeIndexed(std::uint32_t(physical + 1), nullptr, record.constData(), [&] {
        m_file->writeBytes(recordOffset(physical), record + kFileEnd);
        ++m_physicalCount;
        if (allScanned) {
            if (physical % kBlockRecords == 0) {
                m_liveBefore.push_back(m_liveBefore.back() + 1);
                m_deletedIn.emplace_back();
            } else {
                ++m_liveBefore.back();
            }
        }
        touchHeader();
        for (int descriptor : m_pendingAutoInc) {
            char next[4];
            putLe32(next, m_header.fields[std::size_t(descriptor)].autoIncNext);
            m_file->writeAt(kFileHeaderSize + qint64(descriptor) * kDescriptorSize + 19, next, 4);
        }
        m_pendingAutoInc.clear();
    });
    return recordCount() - 1;
}

void DbfTable::remove(qint64 index)
{
    checkWritable();
    const qint64 physical = physicalOf(index);
    const QByteArray old(recordBytes(physical), m_header.recordLength);
    QByteArray marked = old;
    marked[0] = kDeleted;
    writeIndexed(std::uint32_t(physical + 1), old.constData(), marked.constData(), [&] {
        const char flag = kDeleted;
        m_file->writeAt(recordOffset(physical), &flag, 1);
        patchWindow(physical, 0, &flag, 1);
        const qint64 block = physical / kBlockRecords;
        for (std::size_t k = std::size_t(block) + 1; k < m_liveBefore.size(); ++k)
            --m_liveBefore[k];
        auto &deleted = m_deletedIn[std::size_t(block)];
        const auto offset = std::uint16_t(physical - block * kBlockRecords);
        deleted.insert(std::lower_bound(deleted.begin(), deleted.end(), offset), offset);
        m_lastLive = -1; // the records after it moved up one
        recordChanged();
    });
}

} // namespace qvx::dbf
