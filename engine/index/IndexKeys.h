// What every index file format hands the rest of the engine: the tags a
// file holds and their keys in one common sort-key form, so that keeping
// indexes up to date, looking up and checking them needs no knowledge of
// how a format stores a key.
//
// Sort keys are fixed-length byte strings ordered by memcmp; entries with
// equal keys are ordered by record number.
//   Character  the key's bytes in the table's code page, padded with spaces
//              to the tag's key length (TagDef::keyLength)
//   Numeric    8 bytes: the IEEE double big-endian, the top bit set when it
//              is >= 0 (-0.0 counts as +0.0), all 64 bits inverted when < 0
//   Date       as Numeric, holding the Julian day number (blank date: 0)
//   Logical    1 byte, 'T' or 'F'
// A format converts between this form and what it stores (a .mdx numeric
// key is 12 bytes of BCD, a .ntx one is text, a .ndx one a little-endian
// double) when it reads and writes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace qvx::index {

enum class KeyType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L' };

// One tag (a single-index file holds one) as its file records it.
struct TagDef {
    QString name; // the tag's name; a single-index file's base name in upper case
    QString expression; // key expression as stored
    QString forExpression; // FOR condition; empty for none
    KeyType type = KeyType::Character;
    int keyLength = 0; // bytes of a key as the file stores it
    int decimals = 0; // numeric keys stored as text (.ntx): digits after the point
    bool unique = false;
    bool descending = false;
    // A collation other than plain byte order that the file names (a
    // compound index's "GENERAL", ...): keys are then weights, not text,
    // and the tag cannot be kept up to date. Empty for byte order.
    QString collation;
};

// Bytes of a sort key for a tag: the key length for character keys, 8 for
// numbers and dates, 1 for logicals.
int sortKeyLength(KeyType type, int keyLength);
inline int sortKeyLength(const TagDef &tag)
{
    return sortKeyLength(tag.type, tag.keyLength);
}

// A tag's entries: sort keys of one length back to back, and the 1-based
// record number of each. Readers hand entries in the tag's logical
// ascending order (a format that stores a descending tag reversed gives
// them back ascending); writers take them that way.
struct KeyList {
    int keyLength = 0;
    QByteArray keys;
    std::vector<std::uint32_t> records;

    qsizetype size() const { return qsizetype(records.size()); }
    QByteArrayView key(qsizetype i) const { return QByteArrayView(keys).sliced(i * keyLength, keyLength); }
    void append(QByteArrayView key, std::uint32_t record)
    {
        keys.append(key.data(), key.size());
        records.push_back(record);
    }
};

// A whole index file: its tags, and the keys of each (keys[i] belongs to
// tags[i]; empty when the file was read without its keys).
struct IndexContents {
    std::vector<TagDef> tags;
    std::vector<KeyList> keys;
};

// Says which type a tag's keys have when the file does not (a .ntx stores
// no key type; a .ndx stores "numeric or date"): the reader's caller parses
// the tag's expression against the table's fields. May throw EngineError.
using KeyTypeOf = std::function<KeyType(const TagDef &)>;

// What a writer needs besides the tags and keys.
struct WriteContext {
    QString tableBaseName; // "CUSTOMER" for customer.dbf (the .mdx header names it)
    QDate today; // for the dates some headers carry
};

// Sort-key conversions shared by the formats.
QByteArray numberSortKey(double value);
double numberFromSortKey(QByteArrayView key); // key holds 8 bytes
// Julian day number of a date (0 for a null date) and back.
double julianDay(QDate date);
QDate dateFromJulian(double day);

} // namespace qvx::index
