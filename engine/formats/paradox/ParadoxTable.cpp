#include "ParadoxTable.h"

#include "ParadoxIndex.h"
#include "ParadoxValues.h"

#include "../../EngineError.h"
#include "../../Value.h"
#include "../common/SqlDate.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace qvx::paradox {

namespace {
// Bytes a scan reads at once when blocks lie in chain order in the file.
constexpr qint64 kReadWindow = 256 * 1024;
} // namespace

QString codePageName(int codePage)
{
    // Tables that name no code page come from the DOS versions.
    if (codePage == 0)
        return QStringLiteral("IBM437");
    QString name = common::canonicalCodePage(QString::number(codePage));
    if (name.isEmpty()) {
        name = codePage >= 1250 && codePage <= 1258 ? QStringLiteral("windows-%1").arg(codePage)
                                                    : QStringLiteral("IBM%1").arg(codePage);
        if (!QStringDecoder(name.toLatin1().constData()).isValid())
            return common::defaultCodePage();
    }
    return name;
}

int codePageNumber(const QString &name)
{
    const QString canonical = common::canonicalCodePage(name);
    if (canonical.isEmpty())
        return 0;
    static const struct {
        const char *name;
        int number;
    } kNamed[] = { { "Shift_JIS", 932 }, { "GBK", 936 }, { "Big5", 950 }, { "macintosh", 10000 } };
    for (const auto &n : kNamed)
        if (canonical == QLatin1String(n.name))
            return n.number;
    QString digits = canonical;
    digits.remove(QRegularExpression(QStringLiteral("^[^0-9]*")));
    return digits.toInt();
}

ParadoxTable::ParadoxTable(std::unique_ptr<File> db, std::unique_ptr<File> mb, Header header,
                           QString readOnlyReason, std::unique_ptr<WriterLock> lock, std::unique_ptr<File> px,
                           QString pxPath, QString codePage)
    : m_file(std::move(db)),
      m_header(std::move(header)),
      m_readOnlyReason(std::move(readOnlyReason)),
      m_lock(std::move(lock)),
      m_codec(codePage.isEmpty() ? codePageName(m_header.codePage) : codePage),
      m_codePageOverridden(!codePage.isEmpty()),
      m_px(std::move(px)),
      m_pxPath(std::move(pxPath))
{
    if (m_header.fileType == kKeyedTable && m_readOnlyReason.isEmpty())
        m_keyLength = keyLength(m_header);
    if (mb)
        m_blobs = std::make_unique<BlobFile>(std::move(mb));
    for (const Field &f : m_header.fields)
        m_fields.push_back(fieldDefFor(f, m_codec.decode(f.name)));

    const qint64 room = m_file->size() - m_header.headerSize - kBlockHeaderSize;
    m_lastUsableBlock = room < 0 ? 0 : int(std::min<qint64>(room / m_header.blockSize() + 1, 0xFFFF));
    m_visited.assign(std::size_t(m_lastUsableBlock) + 1, false);
    // A scan maps every block; growing the list as it goes costs more than the mapping.
    m_blocks.reserve(std::size_t(m_lastUsableBlock));
    m_nextToMap = m_header.firstBlock;
    m_followedSize = m_file->size();
    m_knownSize = m_followedSize;
}

ParadoxTable::~ParadoxTable()
{
    if (readOnly())
        return;
    try {
        if (m_secondaryDirty)
            writeSecondary();
        m_file->sync();
        if (m_blobs)
            m_blobs->file().sync();
        if (m_px)
            m_px->sync();
    } catch (const EngineError &) {
        // Nothing can be reported from a destructor; every write already
        // went to the file.
    }
}

void ParadoxTable::fail(const QString &what) const
{
    throw EngineError(m_file->path(), what);
}

TableInfo ParadoxTable::info() const
{
    TableInfo info;
    info.format = versionName(m_header.fileVersion);
    info.versionByte = m_header.fileVersion;
    info.codePage = m_codec.name();
    info.codePageSource = m_codePageOverridden ? QStringLiteral("option") : QStringLiteral("header");
    info.recordCount = recordCount();
    info.keyFields = m_header.keyFields;
    return info;
}

// ---- The block chain -------------------------------------------------------

bool ParadoxTable::mapNextBlock() const
{
    const int block = m_nextToMap;
    if (block == 0)
        return false;
    if (block > m_lastUsableBlock)
        fail(QStringLiteral("the chain of data blocks leads to block %1, beyond the end of the file")
                 .arg(block));
    if (m_visited[std::size_t(block)])
        fail(QStringLiteral("the chain of data blocks loops back to block %1").arg(block));

    // A writer of a keyed table reads the block's first key with its header.
    // A scan finds the header in the run of blocks it read last.
    const qint64 at = m_header.blockOffset(block);
    const qint64 headSize = kBlockHeaderSize + m_keyLength;
    QByteArray headBytes; // only when the header is read on its own
    const char *head = nullptr;
    if (m_cacheFrom >= 0 && at >= m_cacheFrom && at + headSize <= m_cacheFrom + m_cache.size()) {
        head = m_cache.constData() + (at - m_cacheFrom);
    } else {
        headBytes = QByteArray(qsizetype(headSize), '\0');
        const qint64 got = m_file->readAt(at, headBytes.data(), headBytes.size());
        if (got < kBlockHeaderSize)
            fail(QStringLiteral("a data block is cut short"));
        head = headBytes.constData();
    }
    const int next = le16(head);
    const int lastOffset = std::int16_t(le16(head + 4));
    const int count = lastOffset < 0 ? 0 : lastOffset / m_header.recordSize + 1;
    if (count > m_header.recordsPerBlock())
        fail(QStringLiteral("data block %1 claims %2 records, more than it can hold").arg(block).arg(count));
    const qint64 end = at + kBlockHeaderSize + qint64(count) * m_header.recordSize;
    if (end > m_knownSize && end > (m_knownSize = m_file->size()))
        fail(QStringLiteral("data block %1 is cut short").arg(block));

    // Marked only now: a block that failed its checks fails the same way
    // when it is reached again.
    m_visited[std::size_t(block)] = true;
    m_blocks.push_back(
        { block, m_mapped, count,
          count > 0 && m_keyLength > 0 ? QByteArray(head + kBlockHeaderSize, m_keyLength) : QByteArray() });
    m_mapped += count;
    m_nextToMap = next;
    return true;
}

void ParadoxTable::mapAll() const
{
    while (mapNextBlock()) { }
}

void ParadoxTable::followFile() const
{
    char fixed[kFixedHeaderEnd];
    if (m_file->readAt(0, fixed, kFixedHeaderEnd) != kFixedHeaderEnd)
        return;
    const std::uint32_t numRecords = le32(fixed + kNumRecords);
    const int firstBlock = le16(fixed + kFirstBlock);
    const int lastBlock = le16(fixed + kLastBlock);
    const qint64 size = m_file->size();
    dropCache();
    m_knownSize = size;
    if (numRecords == m_header.numRecords && firstBlock == m_header.firstBlock
        && lastBlock == m_header.lastBlock && size == m_followedSize)
        return;
    // Another writer changed the chain: map it again from its start.
    m_header.numRecords = numRecords;
    m_header.firstBlock = firstBlock;
    m_header.lastBlock = lastBlock;
    m_followedSize = size;
    m_blocks.clear();
    m_mapped = 0;
    m_nextToMap = firstBlock;
    const qint64 room = size - m_header.headerSize - kBlockHeaderSize;
    m_lastUsableBlock = room < 0 ? 0 : int(std::min<qint64>(room / m_header.blockSize() + 1, 0xFFFF));
    m_visited.assign(std::size_t(m_lastUsableBlock) + 1, false);
}

qint64 ParadoxTable::recordCount() const
{
    if (readOnly()) {
        // Another window may be writing: see its inserts, removals and edits.
        followFile();
    }
    mapAll();
    return m_mapped;
}

bool ParadoxTable::hasRecord(qint64 index) const
{
    if (index < 0)
        return false;
    while (m_mapped <= index)
        if (!mapNextBlock())
            return false;
    return true;
}

std::size_t ParadoxTable::entryOf(qint64 index) const
{
    if (!hasRecord(index))
        fail(QStringLiteral("there is no record %1").arg(index + 1));
    // The last block whose first record is at or before index; empty blocks
    // share their first index with the block after them and come first.
    const auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), index,
                                     [](qint64 i, const BlockEntry &e) { return i < e.first; });
    return std::size_t(it - m_blocks.begin()) - 1;
}

const char *ParadoxTable::recordBytes(qint64 index) const
{
    // A scan asks for the records of one block after another.
    const int rs = m_header.recordSize;
    if (m_cachedBlock != 0 && index >= m_cachedFirst && index < m_cachedFirst + m_cachedCount)
        return m_cachedRecords + (index - m_cachedFirst) * rs;
    const std::size_t k = entryOf(index);
    const qint64 blockSize = m_header.blockSize();
    if (m_cachedBlock == 0 || k < m_windowFirst || k >= m_windowFirst + m_windowEntries) {
        // One read for the run of blocks that follow this one in the file as
        // in the chain (a table written in order is one long run); the
        // headers of the blocks after it are mapped from the same bytes.
        dropCache();
        const qint64 from = m_header.blockOffset(m_blocks[k].block);
        const qint64 own = kBlockHeaderSize + qint64(m_blocks[k].count) * rs;
        if (from + kReadWindow > m_knownSize)
            m_knownSize = m_file->size();
        const qint64 want = std::max(own, std::min(kReadWindow, m_knownSize - from));
        m_cache.resize(qsizetype(want));
        const qint64 got = m_file->readAt(from, m_cache.data(), want);
        if (got < own)
            fail(QStringLiteral("a data block is cut short (the file changed while open?)"));
        m_cache.resize(qsizetype(got));
        m_cacheFrom = from;
        std::size_t n = 1;
        while (true) {
            try {
                if (k + n >= m_blocks.size() && !mapNextBlock())
                    break;
            } catch (const EngineError &) {
                break; // a damaged chain fails when a record there is asked for
            }
            const BlockEntry &e = m_blocks[k + n];
            if (e.block != m_blocks[k].block + int(n)
                || m_header.blockOffset(e.block) + kBlockHeaderSize + qint64(e.count) * rs > from + got)
                break;
            ++n;
        }
        m_windowFirst = k;
        m_windowEntries = n;
    }
    const BlockEntry &e = m_blocks[k];
    m_cachedBlock = e.block;
    m_cachedFirst = e.first;
    m_cachedCount = e.count;
    m_cachedRecords = m_cache.constData() + qint64(k - m_windowFirst) * blockSize + kBlockHeaderSize;
    return m_cachedRecords + (index - e.first) * rs;
}

void ParadoxTable::dropCache() const
{
    m_cachedBlock = 0;
    m_cacheFrom = -1;
}

// ---- Reading ---------------------------------------------------------------

QVariant ParadoxTable::decodeField(const Field &f, const char *p, qint64 index) const
{
    const auto where = [&](const QString &what) {
        return QStringLiteral("field %1 of record %2: %3")
            .arg(m_codec.decode(f.name))
            .arg(index + 1)
            .arg(what);
    };
    if (f.type == kAlpha) {
        const auto len = qsizetype(qstrnlen(p, std::size_t(f.length)));
        if (len == 0)
            return {};
        return m_codec.decode(QByteArrayView(p, len));
    }
    if (!f.isBlob()) {
        try {
            return decodeValue(f, p);
        } catch (const EngineError &e) {
            fail(where(e.message()));
        }
    }
    if (isAllZero(p, f.length))
        return {};
    const int leader = f.leader();
    const std::uint32_t offsetIndex = le32(p + leader);
    const std::uint32_t length = le32(p + leader + 4);
    if (length == 0)
        return {};
    QByteArray data;
    if (length <= std::uint32_t(leader)) {
        data = QByteArray(p, qsizetype(length));
    } else {
        if (!m_blobs)
            fail(where(QStringLiteral("the value is in the blob file (.mb), which is missing")));
        try {
            data = m_blobs->read(offsetIndex, length, f.type == kGraphic);
        } catch (const EngineError &e) {
            throw EngineError(QStringLiteral("%1 (%2)").arg(e.message(), where(QStringLiteral("its value"))));
        }
    }
    if (f.type == kMemo)
        return m_codec.decode(data);
    return data;
}

void ParadoxTable::read(qint64 index, Record &rec) const
{
    const char *r = recordBytes(index);
    rec.resize(m_header.fields.size());
    for (std::size_t i = 0; i < m_header.fields.size(); ++i) {
        const Field &f = m_header.fields[i];
        rec[i] = decodeField(f, r + f.offset, index);
    }
}

QVariant ParadoxTable::readField(qint64 index, int field) const
{
    if (field < 0 || std::size_t(field) >= m_header.fields.size())
        fail(QStringLiteral("there is no field %1").arg(field + 1));
    const Field &f = m_header.fields[std::size_t(field)];
    return decodeField(f, recordBytes(index) + f.offset, index);
}

bool ParadoxTable::readAsciiCompatibleText(qint64 index, int field, QByteArrayView &bytes) const
{
    if (field < 0 || std::size_t(field) >= m_header.fields.size() || !m_codec.asciiCompatible())
        return false;
    const Field &f = m_header.fields[std::size_t(field)];
    if (f.type != kAlpha)
        return false;
    const char *p = recordBytes(index) + f.offset;
    bytes = QByteArrayView(p, qsizetype(qstrnlen(p, std::size_t(f.length))));
    return true;
}

bool ParadoxTable::readFieldTo(qint64 index, int field, FieldSink &sink) const
{
    if (field < 0 || std::size_t(field) >= m_header.fields.size())
        return false;
    const Field &f = m_header.fields[std::size_t(field)];
    switch (f.type) {
    case kAlpha:
    case kShort:
    case kLong:
    case kAutoInc:
    case kNumber:
    case kMoney:
    case kLogical:
    case kDate:
    case kBcd:
        break;
    default:
        return false;
    }
    const char *p = recordBytes(index) + f.offset;
    if (f.type == kAlpha) {
        const auto len = qsizetype(qstrnlen(p, std::size_t(f.length)));
        if (len == 0) {
            sink.null();
            return true;
        }
        const char *data = nullptr;
        qsizetype size = 0;
        if (!m_codec.toUtf8(p, len, m_text, data, size))
            return false;
        sink.text(data, size);
        return true;
    }
    if (isAllZero(p, f.length)) {
        sink.null();
        return true;
    }
    switch (f.type) {
    case kNumber:
    case kMoney:
        sink.real(decodeDouble(p));
        return true;
    case kLogical:
        sink.boolean(std::uint8_t(p[0]) != 0x80);
        return true;
    case kBcd: {
        double d = 0;
        if (!sink.keepsDecimalText() && bcdToDouble(p, d)) {
            putNumeric(sink, d);
            return true;
        }
        char buf[40];
        const int n = bcdText(p, buf);
        if (n < 0)
            return false;
        sink.decimal(buf, n);
        return true;
    }
    case kDate: {
        QDate d;
        try {
            d = decodeValue(f, p).toDate();
        } catch (const EngineError &) {
            return false; // readField() names the place
        }
        if (d.year() < 1 || d.year() > 9999)
            return false;
        common::putSqlDate(sink, d);
        return true;
    }
    default:
        sink.integer(decodeInt(p, f.length));
        return true;
    }
}

// ---- Writing ---------------------------------------------------------------

void ParadoxTable::checkWritable() const
{
    if (!m_readOnlyReason.isEmpty())
        fail(m_readOnlyReason);
}

QByteArray ParadoxTable::encodeRecord(const Record &rec, const char *old, bool inserting)
{
    const QString path = m_file->path();
    QByteArray out(m_header.recordSize, '\0');
    struct PendingBlob {
        const Field *field;
        QByteArray data;
    };
    std::vector<PendingBlob> blobs;
    if (inserting)
        catchUpAutoInc();
    std::uint32_t nextAutoInc = m_header.autoInc;

    for (std::size_t i = 0; i < m_header.fields.size(); ++i) {
        const Field &f = m_header.fields[i];
        const FieldDef &def = m_fields[i];
        char *p = out.data() + f.offset;
        QVariant v = i < rec.size() ? rec[i] : QVariant();
        try {
            v = coerceValue(v, def);
        } catch (const EngineError &e) {
            fail(QStringLiteral("field %1: %2").arg(def.name, e.message()));
        }
        if (f.type == kAutoInc) {
            if (v.isNull() && !inserting) {
                std::memcpy(p, old + f.offset, std::size_t(f.length)); // keeps the number it has
                continue;
            }
            if (v.isNull()) {
                v = int(std::max<std::uint32_t>(nextAutoInc, 1));
                nextAutoInc = std::uint32_t(v.toInt()) + 1;
            } else if (v.toLongLong() >= qint64(nextAutoInc) && v.toLongLong() < 0x7FFFFFFF) {
                nextAutoInc = std::uint32_t(v.toInt()) + 1;
            }
        }
        if (f.type == kAlpha) {
            if (v.isNull())
                continue;
            const QByteArray bytes = m_codec.encode(v.toString(), path, def.name);
            if (bytes.size() > f.length)
                fail(QStringLiteral("field %1: the text is longer than %2 characters")
                         .arg(def.name)
                         .arg(f.length));
            std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
            continue;
        }
        if (!f.isBlob()) {
            try {
                encodeValue(f, v, p);
            } catch (const EngineError &e) {
                fail(QStringLiteral("field %1: %2").arg(def.name, e.message()));
            }
            continue;
        }
        QByteArray data;
        if (!v.isNull())
            data = f.type == kMemo ? m_codec.encode(v.toString(), path, def.name) : v.toByteArray();
        if (data.isEmpty())
            continue;
        const int leader = f.leader();
        if (!inserting) {
            // An unchanged value keeps its place; writing it again would only
            // grow the blob file.
            try {
                const QVariant before = decodeField(f, old + f.offset, 0);
                const QByteArray beforeBytes = before.typeId() == QMetaType::QString
                    ? m_codec.encode(before.toString(), path, def.name)
                    : before.toByteArray();
                if (!before.isNull() && beforeBytes == data) {
                    std::memcpy(p, old + f.offset, std::size_t(f.length));
                    continue;
                }
            } catch (const EngineError &) {
                // An unreadable old value is simply replaced.
            }
        }
        std::memcpy(p, data.constData(), std::size_t(std::min<qsizetype>(leader, data.size())));
        putLe32(p + leader + 4, std::uint32_t(data.size()));
        putLe16(p + leader + 8, 1);
        if (data.size() > leader) {
            if (!m_blobs)
                fail(
                    QStringLiteral("field %1: the table has no blob file (.mb) for the value").arg(def.name));
            blobs.push_back({ &f, data });
        }
    }
    // Blob data goes to the blob file before the record points at it.
    for (const PendingBlob &b : blobs) {
        const std::uint32_t offsetIndex = m_blobs->append(b.data, 1);
        putLe32(out.data() + b.field->offset + b.field->leader(), offsetIndex);
    }
    m_header.autoInc = nextAutoInc;
    return out;
}

void ParadoxTable::catchUpAutoInc()
{
    if (m_autoIncChecked)
        return;
    // Not every program that writes these tables keeps the header's next
    // number; a new number must not repeat one the table already holds.
    std::int32_t highest = 0;
    bool any = false;
    for (std::size_t i = 0; i < m_header.fields.size(); ++i) {
        if (m_header.fields[i].type != kAutoInc)
            continue;
        any = true;
        const int offset = m_header.fields[i].offset;
        for (qint64 r = 0; hasRecord(r); ++r) {
            const char *p = recordBytes(r) + offset;
            if (!isAllZero(p, 4))
                highest = std::max(highest, decodeInt(p, 4));
        }
    }
    if (any && highest >= 0 && highest < 0x7FFFFFFF && std::uint32_t(highest) >= m_header.autoInc)
        m_header.autoInc = std::uint32_t(highest) + 1;
    m_autoIncChecked = true;
}

void ParadoxTable::writeBlockHeader(int block, int next, int prev, int count)
{
    char head[kBlockHeaderSize];
    putLe16(head, std::uint16_t(next));
    putLe16(head + 2, std::uint16_t(prev));
    putLe16(head + 4, std::uint16_t(std::int16_t((count - 1) * m_header.recordSize)));
    m_file->writeAt(m_header.blockOffset(block), head, kBlockHeaderSize);
}

void ParadoxTable::writeCounts()
{
    m_header.numRecords = std::uint32_t(m_mapped);
    char fixed[kFixedHeaderEnd];
    m_file->readExact(0, fixed, kFixedHeaderEnd, "the header");
    encodeCounts(m_header, fixed);
    m_file->writeAt(0, fixed, kFixedHeaderEnd);
}

ParadoxTable::Links ParadoxTable::linksOf(int block) const
{
    char head[kBlockHeaderSize];
    m_file->readExact(m_header.blockOffset(block), head, kBlockHeaderSize, "a data block");
    return { le16(head), le16(head + 2) };
}

QByteArray ParadoxTable::blockRecords(const BlockEntry &e) const
{
    QByteArray bytes(qsizetype(e.count) * m_header.recordSize, Qt::Uninitialized);
    m_file->readExact(m_header.blockOffset(e.block) + kBlockHeaderSize, bytes.data(), bytes.size(),
                      "a data block");
    return bytes;
}

int ParadoxTable::newBlock()
{
    // A block from the free list first, when it is one: inside the file,
    // not block 1 and not in the chain (a damaged list is dropped, not
    // followed).
    const int free = m_header.firstFreeBlock;
    if (free != 0) {
        m_header.firstFreeBlock = 0;
        if (free > 1 && free <= m_lastUsableBlock && !m_visited[std::size_t(free)]) {
            const int next = linksOf(free).next;
            if (next > 1 && next <= m_lastUsableBlock && next != free && !m_visited[std::size_t(next)])
                m_header.firstFreeBlock = next;
            m_visited[std::size_t(free)] = true;
            return free;
        }
    }
    // After the blocks the file holds. A header that claims more blocks than
    // that is not believed: it would put the block far past the end.
    const qint64 block
        = (m_file->size() - m_header.headerSize + m_header.blockSize() - 1) / m_header.blockSize() + 1;
    if (block > 0xFFFF)
        fail(QStringLiteral("the table is full"));
    m_file->writeBytes(m_header.blockOffset(int(block)), QByteArray(m_header.blockSize(), '\0'));
    m_header.fileBlocks = int(block);
    m_header.blocksInUse = int(block);
    m_lastUsableBlock = int(block);
    m_visited.resize(std::size_t(block) + 1, false);
    m_visited[std::size_t(block)] = true;
    return int(block);
}

void ParadoxTable::renumberFrom(std::size_t entry)
{
    for (std::size_t k = entry; k < m_blocks.size(); ++k)
        m_blocks[k].first = k == 0 ? 0 : m_blocks[k - 1].first + m_blocks[k - 1].count;
    m_mapped = m_blocks.empty() ? 0 : m_blocks.back().first + m_blocks.back().count;
    dropCache();
}

void ParadoxTable::keyViolation() const
{
    fail(QStringLiteral("Key violation: a record with the same key is in the table already"));
}

void ParadoxTable::setFirstKey(BlockEntry &e, const QByteArray &records) const
{
    if (m_keyLength > 0)
        e.firstKey = records.left(m_keyLength);
}

qint64 ParadoxTable::keyPosition(const char *key, bool *found) const
{
    mapAll();
    *found = false;
    const auto klen = std::size_t(m_keyLength);
    // Key bytes sort as unsigned bytes (the format's encoding is made for
    // that), so the block is the last one whose first key is not above it.
    std::size_t k = m_blocks.size();
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        const BlockEntry &e = m_blocks[i];
        if (e.count == 0)
            continue;
        if (std::memcmp(e.firstKey.constData(), key, klen) > 0)
            break;
        k = i;
    }
    if (k == m_blocks.size())
        return 0; // before every record
    const BlockEntry &e = m_blocks[k];
    const QByteArray records = blockRecords(e);
    const int rs = m_header.recordSize;
    int lo = 0;
    int hi = e.count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (std::memcmp(records.constData() + qsizetype(mid) * rs, key, klen) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    *found = lo < e.count && std::memcmp(records.constData() + qsizetype(lo) * rs, key, klen) == 0;
    return e.first + lo;
}

void ParadoxTable::writeIndex()
{
    if (m_keyLength == 0)
        return;
    mapAll();
    std::vector<IndexEntry> entries;
    entries.reserve(m_blocks.size());
    for (const BlockEntry &e : m_blocks)
        if (e.count > 0)
            entries.push_back({ e.firstKey, e.block, e.count });
    const QByteArray bytes = encodePrimaryIndex(m_header, entries);
    if (!m_px) {
        if (m_pxPath.isEmpty()) {
            m_px = std::make_unique<MemoryFile>(QByteArray(), QStringLiteral("<index>"));
        } else {
            writeFileAtomically(m_pxPath, bytes);
            m_px = openDiskFile(m_pxPath, OpenMode::ReadWrite);
            return;
        }
    }
    // Written in place under the table's lock: the index holds nothing the
    // table does not, and a writer builds it again from the table.
    m_px->writeBytes(0, bytes);
    if (m_px->size() > bytes.size())
        m_px->truncate(bytes.size());
}

qint64 ParadoxTable::update(qint64 index, const Record &rec)
{
    checkWritable();
    // Marked before the change, so that a write stopped half-way leaves
    // the indexes to be written again (at the latest when the table closes).
    m_secondaryDirty = !m_secondary.empty();
    const BlockEntry &e = m_blocks[entryOf(index)];
    const qint64 offset
        = m_header.blockOffset(e.block) + kBlockHeaderSize + (index - e.first) * m_header.recordSize;
    QByteArray old(m_header.recordSize, Qt::Uninitialized);
    m_file->readExact(offset, old.data(), old.size(), "a record");
    const QByteArray record = encodeRecord(rec, old.constData(), false);
    checkUniqueSecondary(record, index);
    if (m_keyLength > 0 && std::memcmp(record.constData(), old.constData(), std::size_t(m_keyLength)) != 0) {
        // A new key moves the record to its place. It goes in there before
        // it leaves the old one, so that being stopped half-way loses nothing.
        bool found = false;
        const qint64 pos = keyPosition(record.constData(), &found);
        if (found)
            keyViolation();
        insertBytes(pos, record);
        removeAt(pos <= index ? index + 1 : index);
        secondaryChanged();
        return pos <= index ? pos : pos - 1;
    }
    m_file->writeBytes(offset, record);
    dropCache();
    writeCounts();
    secondaryChanged();
    return index;
}

qint64 ParadoxTable::insert(qint64 before, const Record &rec)
{
    checkWritable();
    mapAll();
    if (m_mapped >= 0x7FFFFFFF)
        fail(QStringLiteral("the table is full"));
    const std::uint32_t autoIncBefore = m_header.autoInc;
    const QByteArray record = encodeRecord(rec, nullptr, true);
    qint64 pos = std::clamp<qint64>(before, 0, m_mapped);
    if (m_keyLength > 0) {
        // A keyed table keeps its records in key order, wherever the caller
        // asked for it.
        bool found = false;
        pos = keyPosition(record.constData(), &found);
        if (found) {
            m_header.autoInc = autoIncBefore;
            keyViolation();
        }
    }
    try {
        checkUniqueSecondary(record, -1);
    } catch (const EngineError &) {
        m_header.autoInc = autoIncBefore;
        throw;
    }
    m_secondaryDirty = !m_secondary.empty();
    insertBytes(pos, record);
    secondaryChanged();
    return pos;
}

void ParadoxTable::insertBytes(qint64 pos, const QByteArray &record)
{
    mapAll();
    const int rs = m_header.recordSize;

    if (m_blocks.empty()) {
        const int block = newBlock();
        m_file->writeBytes(m_header.blockOffset(block) + kBlockHeaderSize, record);
        writeBlockHeader(block, 0, 0, 1);
        m_header.firstBlock = m_header.lastBlock = block;
        m_blocks.push_back({ block, 0, 1, {} });
        setFirstKey(m_blocks.back(), record);
        renumberFrom(0);
        writeCounts();
        writeIndex();
        return;
    }

    const std::size_t k = pos == m_mapped ? m_blocks.size() - 1 : entryOf(pos);
    BlockEntry &e = m_blocks[k];
    const int local = int(pos - e.first);
    const Links links = linksOf(e.block);
    QByteArray records = blockRecords(e);

    if (e.count < m_header.recordsPerBlock()) {
        records.insert(qsizetype(local) * rs, record);
        m_file->writeBytes(m_header.blockOffset(e.block) + kBlockHeaderSize, records);
        writeBlockHeader(e.block, links.next, links.prev, e.count + 1);
        ++e.count;
        setFirstKey(e, records);
        renumberFrom(k);
        writeCounts();
        writeIndex();
        return;
    }

    // The block is full: a new block after it takes the records from the
    // insertion point on (or just the new one, when it goes at the end).
    const int block = newBlock();
    BlockEntry &full = m_blocks[k];
    QByteArray moved;
    QByteArray kept;
    if (local == full.count) {
        moved = record;
        kept = records;
    } else {
        moved = records.mid(qsizetype(local) * rs);
        kept = records.left(qsizetype(local) * rs) + record;
    }
    const int movedCount = int(moved.size() / rs);
    const int keptCount = int(kept.size() / rs);
    // The new block is whole before anything links to it.
    m_file->writeBytes(m_header.blockOffset(block) + kBlockHeaderSize, moved);
    writeBlockHeader(block, links.next, full.block, movedCount);
    m_file->writeBytes(m_header.blockOffset(full.block) + kBlockHeaderSize, kept);
    writeBlockHeader(full.block, block, links.prev, keptCount);
    if (links.next != 0) {
        char prev[2];
        putLe16(prev, std::uint16_t(block));
        m_file->writeAt(m_header.blockOffset(links.next) + 2, prev, 2);
    } else {
        m_header.lastBlock = block;
    }
    full.count = keptCount;
    setFirstKey(full, kept);
    BlockEntry added { block, 0, movedCount, {} };
    setFirstKey(added, moved);
    m_blocks.insert(m_blocks.begin() + std::ptrdiff_t(k) + 1, added);
    renumberFrom(k);
    writeCounts();
    writeIndex();
}

void ParadoxTable::remove(qint64 index)
{
    checkWritable();
    m_secondaryDirty = !m_secondary.empty();
    removeAt(index);
    secondaryChanged();
}

// ---- Secondary indexes -----------------------------------------------------

std::vector<SourceRecord> ParadoxTable::sourceRecords() const
{
    mapAll();
    std::vector<SourceRecord> out;
    out.reserve(std::size_t(m_mapped));
    const int rs = m_header.recordSize;
    for (const BlockEntry &e : m_blocks) {
        if (e.count == 0)
            continue;
        const QByteArray records = blockRecords(e);
        for (int i = 0; i < e.count; ++i)
            out.push_back({ records.mid(qsizetype(i) * rs, rs), e.block });
    }
    return out;
}

void ParadoxTable::checkUniqueSecondary(const QByteArray &record, qint64 self) const
{
    std::vector<SourceRecord> source;
    bool haveSource = false;
    for (const Secondary &s : m_secondary) {
        if (!s.index.def.unique || !s.index.def.maintained)
            continue;
        if (!haveSource) {
            source = sourceRecords();
            haveSource = true;
        }
        const QString path = m_file->path();
        const QByteArray value = secondaryValue(m_header, s.index.def, record.constData(), m_codec, path);
        for (std::size_t i = 0; i < source.size(); ++i)
            if (qint64(i) != self
                && secondaryValue(m_header, s.index.def, source[i].bytes.constData(), m_codec, path) == value)
                fail(
                    QStringLiteral("Key violation: a record with the same value in the unique index %1 is in "
                                   "the table already")
                        .arg(secondaryName(m_header, s.index.def, m_codec)));
    }
}

void ParadoxTable::secondaryChanged()
{
    if (m_batchDepth == 0 && m_secondaryDirty)
        writeSecondary();
}

void ParadoxTable::writeSecondary()
{
    // Each maintained index is built again whole from the table (the hint
    // of every record may have changed as blocks split and emptied) and
    // put in place by rename; one that is not maintained is only marked as
    // no longer matching, once.
    std::vector<SourceRecord> source;
    bool haveSource = false;
    for (Secondary &s : m_secondary) {
        if (!s.index.def.maintained) {
            if (s.index.stale)
                continue;
            const std::unique_ptr<File> x = openDiskFile(s.xPath, OpenMode::ReadOnly);
            QByteArray bytes = x->readBytes(0, x->size());
            if (bytes.size() > kModified1)
                bytes[kModified1] = 1;
            writeFileAtomically(s.xPath, bytes);
            s.index.stale = true;
            continue;
        }
        if (!haveSource) {
            source = sourceRecords();
            haveSource = true;
        }
        const std::vector<QByteArray> records
            = secondaryRecords(m_header, s.index.def, source, m_codec, m_file->path());
        const SecondaryFiles files = encodeSecondary(m_header, s.index.def, records);
        writeFileAtomically(s.xPath, files.x);
        writeFileAtomically(s.yPath, files.y);
        s.index.keyCount = qint64(records.size());
    }
    m_secondaryDirty = false;
}

void ParadoxTable::beginBatch()
{
    ++m_batchDepth;
}

void ParadoxTable::commitBatch()
{
    if (m_batchDepth > 0)
        --m_batchDepth;
    if (!readOnly())
        secondaryChanged();
}

void ParadoxTable::rollbackBatch()
{
    // The records were written as they came: the indexes follow them.
    commitBatch();
}

std::vector<IndexInfo> ParadoxTable::indexes(bool countKeys) const
{
    std::vector<IndexInfo> out;
    if (m_header.fileType != kKeyedTable)
        return out;
    IndexInfo primary;
    const QString pxPath
        = m_pxPath.isEmpty() ? companionFile(m_file->path(), { QStringLiteral("px") }) : m_pxPath;
    primary.file = QFileInfo(pxPath).fileName();
    primary.tag = QStringLiteral("primary");
    QStringList keys;
    for (int i = 0; i < m_header.keyFields; ++i)
        keys << m_fields[std::size_t(i)].name;
    primary.expression = keys.join(u';');
    primary.options << QStringLiteral("unique");
    if (countKeys)
        primary.keyCount = recordCount();
    out.push_back(primary);
    for (const Secondary &s : m_secondary) {
        IndexInfo info;
        info.file = QFileInfo(s.xPath).fileName();
        info.tag = secondaryName(m_header, s.index.def, m_codec);
        info.expression = secondaryExpression(m_header, s.index.def, m_codec);
        SecondaryIndex now = s.index;
        if (countKeys) {
            // Another writer may have changed it since the table was opened.
            try {
                now = readSecondaryIndex(*openDiskFile(s.xPath, OpenMode::ReadOnly), m_header, false);
            } catch (const EngineError &) {
            }
            info.keyCount = now.keyCount;
        }
        info.options = secondaryOptions(now);
        out.push_back(info);
    }
    return out;
}

void ParadoxTable::removeAt(qint64 index)
{
    const std::size_t k = entryOf(index);
    mapAll();
    BlockEntry &e = m_blocks[k];
    const int rs = m_header.recordSize;
    const Links links = linksOf(e.block);
    QByteArray records = blockRecords(e);
    records.remove(qsizetype(index - e.first) * rs, rs);

    // An emptied block leaves the chain for the free list, except block 1,
    // which other programs expect to stay a data block.
    if (e.count == 1 && e.block != 1 && m_blocks.size() > 1) {
        char link[2];
        if (links.prev != 0) {
            putLe16(link, std::uint16_t(links.next));
            m_file->writeAt(m_header.blockOffset(links.prev), link, 2);
        } else {
            m_header.firstBlock = links.next;
        }
        if (links.next != 0) {
            putLe16(link, std::uint16_t(links.prev));
            m_file->writeAt(m_header.blockOffset(links.next) + 2, link, 2);
        } else {
            m_header.lastBlock = links.prev;
        }
        writeBlockHeader(e.block, m_header.firstFreeBlock, 0, 0);
        m_header.firstFreeBlock = e.block;
        m_visited[std::size_t(e.block)] = false;
        m_blocks.erase(m_blocks.begin() + std::ptrdiff_t(k));
    } else {
        m_file->writeBytes(m_header.blockOffset(e.block) + kBlockHeaderSize, records);
        writeBlockHeader(e.block, links.next, links.prev, e.count - 1);
        --e.count;
        setFirstKey(e, records);
    }
    renumberFrom(k);
    writeCounts();
    writeIndex();
}

} // namespace qvx::paradox
