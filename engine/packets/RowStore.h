// The rows of a data packet, held compactly: each row is one run of bytes
// with its values encoded by kind, and a QVariant is made only when a value
// is asked for. Rows are laid end to end in large chunks (one allocation per
// chunk, not per row or value); chunks are never written over, so copies of
// the store share them (a snapshot for saving costs a pointer per row). A
// changed row is written anew at the end; the space of rows replaced or
// erased is given back when it outgrows the rows in use.
//
// A row:
//
//   +0   fieldCount  u32   n
//   +4   wide        u8    0: offsets are u16, 1: offsets are u32
//   +5   tags        n x u8   Tag of each value
//        offsets     (n + 1) x u16|u32   start of each value in the payload; the
//                                        last is the payload's size
//        payload     the values, in field order:
//                      Int32 i32, Int64 i64, Double f64 (host order),
//                      Utf8 text bytes, Utf16 UTF-16 code units (text UTF-8
//                      cannot carry exactly: a lone surrogate), Bytes raw,
//                      Date i64 Julian day, Time u32 ms since midnight,
//                      DateTimeUtc i64 ms since the epoch (a Qt::UTC date and time),
//                      Variant a QVariant as QDataStream writes it (any other held form),
//                      Null, False and True nothing
#pragma once

#include "../FieldDef.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace qvx {

class RowStore {
public:
    enum class Tag : std::uint8_t {
        Null,
        Int32,
        Int64,
        False,
        True,
        Double,
        Utf8,
        Utf16,
        Bytes,
        Date,
        Time,
        DateTimeUtc,
        Variant
    };

    // One encoded value: its tag and its payload bytes, valid while the row is held.
    struct Cell {
        Tag tag = Tag::Null;
        const char *data = nullptr;
        qsizetype size = 0;
        qint64 int64() const; // Int32, Int64, Date, DateTimeUtc
        double real() const; // Double
        quint32 u32() const; // Time
    };

    // Collects one row's values in any order, then appends them as one block.
    // Fields not set are null.
    class Builder {
    public:
        explicit Builder(std::size_t fieldCount = 0) { reset(fieldCount); }
        void reset(std::size_t fieldCount);
        std::size_t fieldCount() const { return m_slots.size(); }
        bool isSet(std::size_t field) const { return m_slots[field].tag != Tag::Null; }
        void setNull(std::size_t field) { m_slots[field] = {}; }
        void setInt32(std::size_t field, qint32 v) { setRaw(field, Tag::Int32, &v, sizeof v); }
        void setInt64(std::size_t field, qint64 v) { setRaw(field, Tag::Int64, &v, sizeof v); }
        void setBool(std::size_t field, bool v) { setRaw(field, v ? Tag::True : Tag::False, nullptr, 0); }
        void setDouble(std::size_t field, double v) { setRaw(field, Tag::Double, &v, sizeof v); }
        // UTF-8 that QString::fromUtf8 reads back exactly (valid, no lone surrogates).
        void setUtf8(std::size_t field, const char *p, qsizetype n) { setRaw(field, Tag::Utf8, p, n); }
        void setBytes(std::size_t field, const char *p, qsizetype n) { setRaw(field, Tag::Bytes, p, n); }
        void setJulianDay(std::size_t field, qint64 jd) { setRaw(field, Tag::Date, &jd, sizeof jd); }
        void setMsOfDay(std::size_t field, quint32 ms) { setRaw(field, Tag::Time, &ms, sizeof ms); }
        void setUtcMs(std::size_t field, qint64 ms) { setRaw(field, Tag::DateTimeUtc, &ms, sizeof ms); }
        // Any held value, encoded in the most compact form that gives it back equal and of the same type.
        void setValue(std::size_t field, const QVariant &v);
        // Copies one value of another row (or of another builder) as it is.
        void setCell(std::size_t field, const Cell &c) { setRaw(field, c.tag, c.data, c.size); }
        Cell cell(std::size_t field) const
        {
            const Slot &s = m_slots[field];
            return { s.tag, m_scratch.data() + s.at, s.size };
        }

    private:
        friend class RowStore;
        struct Slot {
            Tag tag = Tag::Null;
            qsizetype at = 0;
            qsizetype size = 0;
        };
        void setRaw(std::size_t field, Tag tag, const void *p, qsizetype n);
        std::vector<Slot> m_slots;
        std::string m_scratch; // the values set, one after another
    };

    RowStore() = default;
    RowStore(std::initializer_list<Record> rows);
    RowStore(const RowStore &other);
    RowStore(RowStore &&other) noexcept;
    RowStore &operator=(const RowStore &other);
    RowStore &operator=(RowStore &&other) noexcept;
    ~RowStore();

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    void reserve(std::size_t n) { m_rows.reserve(n); }
    void clear();

    // Decoded rows; the record has as many values as the row was given.
    Record operator[](std::size_t row) const;
    Record at(std::size_t row) const; // throws std::out_of_range
    void read(std::size_t row, Record &rec) const; // rec takes the row's size
    std::size_t fieldCount(std::size_t row) const;
    // A value of a row (null past the row's fields).
    QVariant value(std::size_t row, std::size_t field) const;
    Cell cell(std::size_t row, std::size_t field) const;
    static QVariant decode(const Cell &c);

    void push_back(const Record &rec);
    void append(const Builder &b);
    void set(std::size_t row, const Record &rec);
    void set(std::size_t row, const Builder &b);
    void insert(std::size_t before, const Record &rec);
    void erase(std::size_t row);
    // The row with as many fields as given: values past it dropped, nulls added.
    void resizeRow(std::size_t row, std::size_t fieldCount);

    class const_iterator {
    public:
        using value_type = Record;
        using difference_type = std::ptrdiff_t;
        const_iterator(const RowStore *s, std::size_t i) : m_store(s), m_index(i) { }
        Record operator*() const { return (*m_store)[m_index]; }
        const_iterator &operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator==(const const_iterator &o) const { return m_index == o.m_index; }

    private:
        const RowStore *m_store;
        std::size_t m_index;
    };
    const_iterator begin() const { return { this, 0 }; }
    const_iterator end() const { return { this, m_rows.size() }; }

private:
    struct Chunk;
    const char *encode(const Builder &b);
    const char *encode(const Record &rec);
    char *allocate(std::size_t size);
    void replaced(const char *row); // its space is dead from now on
    void compactIfWasteful();
    static std::size_t rowSize(const char *row);
    static void release(Chunk *chunk);

    std::vector<const char *> m_rows; // into m_chunks
    std::vector<Chunk *> m_chunks; // each holds a reference
    Chunk *m_open = nullptr; // the chunk new rows go to: one only this store writes
    std::size_t m_deadBytes = 0; // of rows replaced or erased
    std::size_t m_liveBytes = 0;
};

} // namespace qvx
