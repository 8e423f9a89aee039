// Compound (.cdx) and compact single (.idx) index files: a B+ tree of
// 512-byte pages per tag whose leaves store keys prefix- and
// suffix-compressed. Integers are little-endian unless marked BE; every
// pointer is a byte offset from the start of the file.
//
// Compound file (.cdx)
//
//   +------------------------------+ 0
//   | directory header (1024)      |  a tag header whose keys are tag names
//   +------------------------------+ 1024
//   | tag header (1024)            |  for each tag: its header, then its
//   | tag pages (512 each)         |  pages (this writer: leaves, then each
//   | ...                          |  branch level, the root last)
//   +------------------------------+
//   | directory pages (512 each)   |  a tree like any tag's: the key is the
//   +------------------------------+  tag name upper-cased and padded with
//                                     spaces to 10 bytes, the "record
//                                     number" the offset of its header
// Compact single file (.idx): one tag header at 0, its pages after it.
//
// Tag header (1024 bytes)
//
//   +0     u32    root page
//   +4     u32    free page list head; 0 or 0xFFFFFFFF for none
//   +8     u32 BE change counter
//   +12    u16    key length (at most 240)
//   +14    u8     options: 0x01 unique, 0x08 FOR, 0x20 compact,
//                 0x40 compound, 0x80 tag directory
//   +15    u8     signature (1)
//   +0x1EE char[8] collation name; NUL or "MACHINE" for byte order
//   +502   u16    1 = descending (the keys are stored ascending all the same)
//   +504   u16    FOR expression: offset in the pool
//   +506   u16    FOR expression: length, its NUL included
//   +508   u16    key expression: offset in the pool
//   +510   u16    key expression: length, its NUL included
//   +512   pool   the expressions, NUL-terminated (key first, then FOR)
//
// Page (512 bytes), both kinds
//
//   +0  u16  attributes: 0x01 root, 0x02 leaf (0 a branch below the root)
//   +2  u16  entries n
//   +4  u32  left sibling on the same level, 0xFFFFFFFF for none
//   +8  u32  right sibling, 0xFFFFFFFF for none
//
// Branch page: from +12, n entries of
//
//   key (full length) | u32 BE record number | u32 BE child page
//
// where key and record number are those of the last entry under the child.
//
// Leaf page:
//
//   +12 u16  free bytes = 488 - n*k - (key bytes stored)
//   +14 u32  record number mask
//   +18 u8   duplicate count mask     +21 u8  duplicate count bits
//   +19 u8   trailing count mask      +22 u8  trailing count bits
//   +20 u8   record number bits       +23 u8  bytes per entry k
//   +24      n entries of k bytes, each a little-endian number holding,
//            from the low bits up: record number, duplicate count, trailing
//            count
//   ...      free space
//   ...      key bytes, packed from the end of the page backwards
//
// Entry i's key is the first `duplicate` bytes of entry i-1's key, then
// (key length - duplicate - trailing) bytes taken from the packed area (the
// nearest unread ones to the page's end), then `trailing` filler bytes:
// spaces for character keys, zero bytes for other types. A leaf's first
// entry shares nothing with the page before it.
//
// Keys: character keys as they stand; numbers and dates (Julian day) as
// the IEEE double big-endian with the top bit set when >= 0 and every bit
// inverted when < 0, which is the engine's common sort-key form; 4-byte
// integer keys as a BE int32 with its sign bit flipped.
#pragma once

#include "IndexKeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace qvx::index {

namespace cdx {

constexpr int kPageSize = 512;
constexpr int kHeaderSize = 1024;
constexpr int kPoolOffset = 512;
constexpr int kPoolSize = 512;
constexpr int kMaxKeyLength = 240;
constexpr int kNameLength = 10; // directory keys
constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Tag header offsets.
constexpr int kRoot = 0;
constexpr int kFreeList = 4;
constexpr int kCounter = 8;
constexpr int kKeyLength = 12;
constexpr int kOptions = 14;
constexpr int kSignature = 15;
constexpr int kCollation = 0x1EE;
constexpr int kCollationLength = 8;
constexpr int kDescending = 502;
constexpr int kForOffset = 504;
constexpr int kForLength = 506;
constexpr int kExprOffset = 508;
constexpr int kExprLength = 510;

constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kHasFor = 0x08;
constexpr std::uint8_t kCompact = 0x20;
constexpr std::uint8_t kCompound = 0x40;
constexpr std::uint8_t kDirectory = 0x80;

// Page offsets.
constexpr int kAttributes = 0;
constexpr int kCount = 2;
constexpr int kLeft = 4;
constexpr int kRight = 8;
constexpr int kEntries = 12; // branch entries
constexpr int kFreeBytes = 12;
constexpr int kRecordMask = 14;
constexpr int kDupMask = 18;
constexpr int kTrailMask = 19;
constexpr int kRecordBits = 20;
constexpr int kDupBits = 21;
constexpr int kTrailBits = 22;
constexpr int kEntryBytes = 23;
constexpr int kLeafEntries = 24;
constexpr int kLeafSpace = kPageSize - kLeafEntries; // 488

constexpr std::uint16_t kRootPage = 0x01;
constexpr std::uint16_t kLeafPage = 0x02;

// One tag whose header lies at offset: its definition and, withKeys, its
// entries. name is left empty. Used for the tags of a .cdx and for a
// compact .idx (header at 0).
struct Tag {
    TagDef def;
    KeyList keys;
};
Tag readTag(QByteArrayView bytes, std::uint32_t offset, const QString &fileName, const KeyTypeOf &typeOf,
            bool withKeys);

// Appends one tag (header, then its pages) to file, whose size must be a
// multiple of 512; returns the header's offset. options carries the
// compact/compound bits; unique and FOR come from the tag.
std::uint32_t appendTag(QByteArray &file, const TagDef &tag, const KeyList &keys, std::uint8_t options,
                        const QString &what);

} // namespace cdx

// A whole .cdx: every tag, in the order the tags were added (by the offset
// of their headers), with keys in ascending (key, record) order when
// withKeys. Throws EngineError naming fileName when the file is damaged.
IndexContents readCdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf = {},
                      bool withKeys = true);
// A whole .cdx holding contents' tags, written in their order. Throws
// EngineError for a tag the format cannot hold (a name longer than 10, a
// key longer than 240 bytes, two tags of one name).
QByteArray writeCdx(const IndexContents &contents, const WriteContext &context);

} // namespace qvx::index
