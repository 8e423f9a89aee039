#include "RowStore.h"

#include <QDataStream>
#include <QDate>
#include <QDateTime>
#include <QIODevice>
#include <QTime>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace qvx {

namespace {

constexpr std::size_t kCountAt = 0;
constexpr std::size_t kWideAt = 4;
constexpr std::size_t kTagsAt = 5;
// Chunks start small (a packet of a few rows should not cost 64 KB) and
// double up to the largest size.
constexpr std::size_t kFirstChunkSize = 1024;
constexpr std::size_t kChunkSize = 64 * 1024;

quint32 countOf(const char *row)
{
    quint32 n;
    std::memcpy(&n, row + kCountAt, sizeof n);
    return n;
}

// Offset `i` (0..n) of a row's payload, and where the payload starts.
struct Layout {
    const char *row;
    quint32 n;
    bool wide;
    const char *offsets() const { return row + kTagsAt + n; }
    const char *payload() const { return offsets() + (n + 1) * (wide ? 4 : 2); }
    quint32 offset(quint32 i) const
    {
        if (wide) {
            quint32 v;
            std::memcpy(&v, offsets() + 4 * i, 4);
            return v;
        }
        quint16 v;
        std::memcpy(&v, offsets() + 2 * i, 2);
        return v;
    }
};

Layout layoutOf(const char *row)
{
    return { row, countOf(row), row[kWideAt] != 0 };
}

// Can QString::fromUtf8 give this text back from its UTF-8? Not when it holds
// a surrogate without its partner.
bool utf8Exact(const QString &s)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0xD800 || c > 0xDFFF)
            continue;
        if (c > 0xDBFF || i + 1 >= n || p[i + 1] < 0xDC00 || p[i + 1] > 0xDFFF)
            return false;
        ++i;
    }
    return true;
}

} // namespace

qint64 RowStore::Cell::int64() const
{
    if (size == 4) {
        qint32 v;
        std::memcpy(&v, data, 4);
        return v;
    }
    qint64 v = 0;
    std::memcpy(&v, data, std::min<qsizetype>(size, 8));
    return v;
}

double RowStore::Cell::real() const
{
    double v = 0;
    std::memcpy(&v, data, std::min<qsizetype>(size, 8));
    return v;
}

quint32 RowStore::Cell::u32() const
{
    quint32 v = 0;
    std::memcpy(&v, data, std::min<qsizetype>(size, 4));
    return v;
}

// ---- Builder ----------------------------------------------------------------

void RowStore::Builder::reset(std::size_t fieldCount)
{
    m_slots.assign(fieldCount, Slot {});
    m_scratch.clear();
}

void RowStore::Builder::setRaw(std::size_t field, Tag tag, const void *p, qsizetype n)
{
    Slot &s = m_slots[field];
    s.tag = tag;
    s.at = qsizetype(m_scratch.size());
    s.size = n;
    if (n > 0)
        m_scratch.append(static_cast<const char *>(p), std::size_t(n));
}

void RowStore::Builder::setValue(std::size_t field, const QVariant &v)
{
    if (v.isNull()) {
        setNull(field);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
        setInt32(field, v.toInt());
        return;
    case QMetaType::LongLong:
        setInt64(field, v.toLongLong());
        return;
    case QMetaType::Bool:
        setBool(field, v.toBool());
        return;
    case QMetaType::Double:
        setDouble(field, v.toDouble());
        return;
    case QMetaType::QString: {
        const QString s = v.toString();
        if (utf8Exact(s)) {
            const QByteArray u = s.toUtf8();
            setUtf8(field, u.constData(), u.size());
        } else {
            setRaw(field, Tag::Utf16, s.constData(), s.size() * qsizetype(sizeof(QChar)));
        }
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        setBytes(field, b.constData(), b.size());
        return;
    }
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        if (d.isValid()) {
            setJulianDay(field, d.toJulianDay());
            return;
        }
        break;
    }
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        if (t.isValid()) {
            setMsOfDay(field, quint32(t.msecsSinceStartOfDay()));
            return;
        }
        break;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.isValid() && dt.timeSpec() == Qt::UTC) {
            setUtcMs(field, dt.toMSecsSinceEpoch());
            return;
        }
        break;
    }
    default:
        break;
    }
    QByteArray out;
    {
        QDataStream stream(&out, QIODevice::WriteOnly);
        stream << v;
    }
    setRaw(field, Tag::Variant, out.constData(), out.size());
}

// ---- encoding ---------------------------------------------------------------

struct RowStore::Chunk {
    std::atomic<int> refs;
    std::size_t capacity;
    std::size_t used;
    char *data() { return reinterpret_cast<char *>(this + 1); }
};

void RowStore::release(Chunk *chunk)
{
    if (chunk->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        chunk->~Chunk();
        std::free(chunk);
    }
}

char *RowStore::allocate(std::size_t size)
{
    if (!m_open || m_open->capacity - m_open->used < size) {
        const std::size_t next = m_open ? std::min(kChunkSize, 2 * m_open->capacity) : kFirstChunkSize;
        const std::size_t capacity = std::max(size, next);
        void *memory = std::malloc(sizeof(Chunk) + capacity);
        if (!memory)
            throw std::bad_alloc();
        Chunk *chunk = new (memory) Chunk { { 1 }, capacity, 0 };
        try {
            m_chunks.push_back(chunk);
        } catch (...) {
            release(chunk);
            throw;
        }
        m_open = chunk;
    }
    char *p = m_open->data() + m_open->used;
    m_open->used += size;
    m_liveBytes += size;
    return p;
}

std::size_t RowStore::rowSize(const char *row)
{
    const Layout l = layoutOf(row);
    return std::size_t(l.payload() - row) + l.offset(l.n);
}

const char *RowStore::encode(const Builder &b)
{
    const quint32 n = quint32(b.m_slots.size());
    std::size_t payload = 0;
    for (const Builder::Slot &s : b.m_slots)
        payload += std::size_t(s.size);
    const bool wide = payload > 0xFFFF;
    const std::size_t offsetsSize = (n + 1) * (wide ? 4 : 2);
    char *row = allocate(kTagsAt + n + offsetsSize + payload);
    std::memcpy(row + kCountAt, &n, sizeof n);
    row[kWideAt] = wide ? 1 : 0;
    char *tags = row + kTagsAt;
    char *offsets = tags + n;
    char *out = offsets + offsetsSize;
    quint32 at = 0;
    const char *scratch = b.m_scratch.data();
    for (quint32 i = 0; i <= n; ++i) {
        if (wide)
            std::memcpy(offsets + 4 * i, &at, 4);
        else {
            const quint16 a16 = quint16(at);
            std::memcpy(offsets + 2 * i, &a16, 2);
        }
        if (i == n)
            break;
        const Builder::Slot &s = b.m_slots[i];
        tags[i] = char(s.tag);
        if (s.size > 0)
            std::memcpy(out + at, scratch + s.at, std::size_t(s.size));
        at += quint32(s.size);
    }
    return row;
}

const char *RowStore::encode(const Record &rec)
{
    Builder b(rec.size());
    for (std::size_t i = 0; i < rec.size(); ++i)
        b.setValue(i, rec[i]);
    return encode(b);
}

void RowStore::replaced(const char *row)
{
    const std::size_t size = rowSize(row);
    m_deadBytes += size;
    m_liveBytes -= size;
}

// Rewrites the rows in use into fresh chunks once the space of replaced and
// erased rows outgrows them, so that an edited store does not keep growing.
void RowStore::compactIfWasteful()
{
    if (m_deadBytes < 4 * kChunkSize || m_deadBytes < m_liveBytes)
        return;
    RowStore fresh;
    fresh.m_rows.reserve(m_rows.size());
    for (const char *row : m_rows) {
        const std::size_t size = rowSize(row);
        char *p = fresh.allocate(size);
        std::memcpy(p, row, size);
        fresh.m_rows.push_back(p);
    }
    *this = std::move(fresh);
}

// ---- the store --------------------------------------------------------------

RowStore::RowStore(std::initializer_list<Record> rows)
{
    m_rows.reserve(rows.size());
    for (const Record &r : rows)
        push_back(r);
}

RowStore::RowStore(const RowStore &other)
    : m_rows(other.m_rows), m_chunks(other.m_chunks), m_liveBytes(other.m_liveBytes)
{
    // The copy writes its own rows to chunks of its own.
    for (Chunk *chunk : m_chunks)
        chunk->refs.fetch_add(1, std::memory_order_relaxed);
}

RowStore::RowStore(RowStore &&other) noexcept
    : m_rows(std::move(other.m_rows)),
      m_chunks(std::move(other.m_chunks)),
      m_open(other.m_open),
      m_deadBytes(other.m_deadBytes),
      m_liveBytes(other.m_liveBytes)
{
    other.m_rows.clear();
    other.m_chunks.clear();
    other.m_open = nullptr;
    other.m_deadBytes = other.m_liveBytes = 0;
}

RowStore &RowStore::operator=(const RowStore &other)
{
    if (this != &other) {
        RowStore copy(other);
        *this = std::move(copy);
    }
    return *this;
}

RowStore &RowStore::operator=(RowStore &&other) noexcept
{
    if (this != &other) {
        clear();
        m_rows = std::move(other.m_rows);
        m_chunks = std::move(other.m_chunks);
        m_open = other.m_open;
        m_deadBytes = other.m_deadBytes;
        m_liveBytes = other.m_liveBytes;
        other.m_rows.clear();
        other.m_chunks.clear();
        other.m_open = nullptr;
        other.m_deadBytes = other.m_liveBytes = 0;
    }
    return *this;
}

RowStore::~RowStore()
{
    clear();
}

void RowStore::clear()
{
    for (Chunk *chunk : m_chunks)
        release(chunk);
    m_chunks.clear();
    m_rows.clear();
    m_open = nullptr;
    m_deadBytes = m_liveBytes = 0;
}

std::size_t RowStore::fieldCount(std::size_t row) const
{
    return countOf(m_rows[row]);
}

RowStore::Cell RowStore::cell(std::size_t row, std::size_t field) const
{
    const Layout l = layoutOf(m_rows[row]);
    if (field >= l.n)
        return {};
    const quint32 from = l.offset(quint32(field));
    const quint32 to = l.offset(quint32(field) + 1);
    return { Tag(l.row[kTagsAt + field]), l.payload() + from, qsizetype(to - from) };
}

QVariant RowStore::decode(const Cell &c)
{
    switch (c.tag) {
    case Tag::Null:
        return {};
    case Tag::Int32:
        return int(c.int64());
    case Tag::Int64:
        return c.int64();
    case Tag::False:
        return false;
    case Tag::True:
        return true;
    case Tag::Double:
        return c.real();
    case Tag::Utf8:
        // fromUtf8 would drop a leading U+FEFF as a byte order mark.
        if (c.size >= 3 && std::memcmp(c.data, "\xEF\xBB\xBF", 3) == 0)
            return QString(QChar(0xFEFF)) + QString::fromUtf8(c.data + 3, c.size - 3);
        return QString::fromUtf8(c.data, c.size);
    case Tag::Utf16:
        return QString(reinterpret_cast<const QChar *>(c.data), c.size / qsizetype(sizeof(QChar)));
    case Tag::Bytes:
        return QByteArray(c.data, c.size);
    case Tag::Date:
        return QDate::fromJulianDay(c.int64());
    case Tag::Time:
        return QTime::fromMSecsSinceStartOfDay(int(c.u32()));
    case Tag::DateTimeUtc:
        return QDateTime::fromMSecsSinceEpoch(c.int64(), Qt::UTC);
    case Tag::Variant: {
        QVariant v;
        QByteArray bytes = QByteArray::fromRawData(c.data, c.size);
        QDataStream stream(&bytes, QIODevice::ReadOnly);
        stream >> v;
        return v;
    }
    }
    return {};
}

QVariant RowStore::value(std::size_t row, std::size_t field) const
{
    return decode(cell(row, field));
}

void RowStore::read(std::size_t row, Record &rec) const
{
    const std::size_t n = fieldCount(row);
    rec.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        rec[i] = decode(cell(row, i));
}

Record RowStore::operator[](std::size_t row) const
{
    Record rec;
    read(row, rec);
    return rec;
}

Record RowStore::at(std::size_t row) const
{
    if (row >= m_rows.size())
        throw std::out_of_range("RowStore::at");
    return (*this)[row];
}

void RowStore::push_back(const Record &rec)
{
    m_rows.push_back(encode(rec));
}

void RowStore::append(const Builder &b)
{
    m_rows.push_back(encode(b));
}

void RowStore::set(std::size_t row, const Record &rec)
{
    const char *fresh = encode(rec);
    replaced(m_rows[row]);
    m_rows[row] = fresh;
    compactIfWasteful();
}

void RowStore::set(std::size_t row, const Builder &b)
{
    const char *fresh = encode(b);
    replaced(m_rows[row]);
    m_rows[row] = fresh;
    compactIfWasteful();
}

void RowStore::insert(std::size_t before, const Record &rec)
{
    const char *row = encode(rec);
    m_rows.insert(m_rows.begin() + std::ptrdiff_t(before), row);
}

void RowStore::erase(std::size_t row)
{
    replaced(m_rows[row]);
    m_rows.erase(m_rows.begin() + std::ptrdiff_t(row));
    compactIfWasteful();
}

void RowStore::resizeRow(std::size_t row, std::size_t fieldCount)
{
    const std::size_t n = this->fieldCount(row);
    if (n == fieldCount)
        return;
    Builder b(fieldCount);
    for (std::size_t i = 0; i < fieldCount && i < n; ++i)
        b.setCell(i, cell(row, i));
    set(row, b);
}

} // namespace qvx
