// Multiple-tag index files of dBASE IV (.mdx): read whole into
// IndexContents and written whole from it. All integers are little-endian.
// The file is made of 512-byte pages taken a block (two pages, 1024 bytes)
// at a time; every pointer is a page number.
//
//   +---------------------------+ 0
//   | file header               |
//   +---------------------------+ 544
//   | tag table: 47 x 32 bytes  |
//   +---------------------------+ 2048 (page 4)
//   | per tag: its header block,|  blocks in any order; the tag table
//   | then its node blocks      |  and each tag header name where
//   +---------------------------+ 512 * pages
//
// File header
//
//   +0  u8    version (2)
//   +1  u8[3] creation date: year - 1900, month, day
//   +4  char[16] base name of the table, NUL padded
//   +20 u16   pages per block (2)
//   +22 u16   block size in bytes (1024)
//   +24 u8    production index (1)
//   +25 u8    tag table slots (48)
//   +26 u8    tag table entry length (32)
//   +28 u16   tags in use
//   +31 u8    0x1B
//   +32 u32   pages in the file
//   +36 u32   first free page (0: none)
//   +40 u32   blocks available
//   +44 u8[3] date of the last update
//
// Tag table entry (at 544 + 32 * i)
//
//   +0  u32   page of the tag header
//   +4  char[11] tag name, NUL padded
//   +15 u8    0x10
//   +16 u8[3] left, right and parent of the entry in a binary search tree
//             over tag names (1-based entry numbers; 0 for none)
//   +19 u8    0x02
//   +20 char  key type C, N or D
//
// Tag header (a block)
//
//   +0  u32   root page
//   +4  u32   pages the tag uses, its header included
//   +8  u8    key format: 0x10 | 0x08 descending | 0x40 unique
//   +9  char  key type C, N or D
//   +12 u16   key length: N 12, D 8, C the text's
//   +14 u16   keys per block = (block size - 12) / item length
//   +16 u16   1 for date keys
//   +18 u16   item length = key length + 4, rounded up to a multiple of 4
//   +20 u8    change counter
//   +23 u8    unique
//   +24 char[221] key expression, NUL-terminated
//   +245 u8   1 when a FOR condition is stored
//   +246 u8   1 when the tag holds keys
//   +248 u32  first leaf page
//   +252 u32  last leaf page
//   +257 u8[3] date
//   +480 u8   1 when the key is a single field with no FOR condition
//   +762 char[] FOR condition, NUL-terminated
//
// Node block
//
//   +0  u32   entry count n
//   +4  u32   0 (the next free block, in a freed block)
//   +8        n items of item length: u32 pointer, key
//   +8 + n * item length: u32 one more child page in an interior node,
//             0 in a leaf
//
// In a leaf the pointer is a record number; in an interior node it is a
// child page, and key i is the last key under child i. A descending tag is
// stored in reverse order. Character keys are padded with spaces; dates
// are the Julian day number as a double; numbers are 12 bytes of decimal:
//
//   +0  u8    52 + e, where the value is 0.d1d2d3... x 10^e
//   +1  u8    0x80 when negative | digit count << 2 | 0x01
//   +2  u8[10] up to 20 digits d1 d2 ..., two per byte, high nibble first
//
// Zero is 52, 0x01 and no digits.
#pragma once

#include "engine/index/IndexKeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qvx::index {

namespace mdx {
constexpr int kPageSize = 512;
constexpr int kBlockSize = 1024; // what we write: two pages
constexpr int kPagesPerBlock = kBlockSize / kPageSize;
constexpr int kHeaderPages = 4; // the file header and the tag table
// File header
constexpr int kVersionOffset = 0;
constexpr int kCreatedOffset = 1;
constexpr int kTableNameOffset = 4;
constexpr int kTableNameField = 16;
constexpr int kPagesPerBlockOffset = 20;
constexpr int kBlockSizeOffset = 22;
constexpr int kProductionOffset = 24;
constexpr int kSlotsOffset = 25;
constexpr int kEntryLengthOffset = 26;
constexpr int kTagCountOffset = 28;
constexpr int kMarkOffset = 31;
constexpr int kPageCountOffset = 32;
constexpr int kUpdatedOffset = 44;
constexpr std::uint8_t kVersion = 2;
constexpr std::uint8_t kSlots = 48;
constexpr std::uint8_t kMark = 0x1B;
// Tag table
constexpr int kTagTableOffset = 544;
constexpr int kTagEntryLength = 32;
constexpr int kMaxTags = 47;
constexpr int kEntryHeaderPage = 0;
constexpr int kEntryName = 4;
constexpr int kEntryNameField = 11;
constexpr int kEntryMarkA = 15;
constexpr int kEntryLeft = 16;
constexpr int kEntryRight = 17;
constexpr int kEntryParent = 18;
constexpr int kEntryMarkB = 19;
constexpr int kEntryType = 20;
constexpr int kMaxNameLength = 10;
// Tag header
constexpr int kTagRoot = 0;
constexpr int kTagPages = 4;
constexpr int kTagFormat = 8;
constexpr int kTagType = 9;
constexpr int kTagKeyLength = 12;
constexpr int kTagKeysPerBlock = 14;
constexpr int kTagDateFlag = 16;
constexpr int kTagItemLength = 18;
constexpr int kTagCounter = 20;
constexpr int kTagUnique = 23;
constexpr int kTagExpression = 24;
constexpr int kExpressionField = 221;
constexpr int kTagHasFor = 245;
constexpr int kTagHasKeys = 246;
constexpr int kTagFirstLeaf = 248;
constexpr int kTagLastLeaf = 252;
constexpr int kTagDate = 257;
constexpr int kTagSingleField = 480;
constexpr int kTagFor = 762;
constexpr int kTagHeaderLength = 1024;
constexpr std::uint8_t kFormatBase = 0x10;
constexpr std::uint8_t kFormatDescending = 0x08;
constexpr std::uint8_t kFormatUnique = 0x40;
// Nodes
constexpr int kNodeItems = 8;
constexpr int kNodeOverhead = 12; // count, link, and the extra child pointer
constexpr int kMaxCharacterKey = 100;
// Numeric keys
constexpr int kNumberKeyLength = 12;
constexpr int kDateKeyLength = 8;
constexpr int kBcdBias = 52;
constexpr int kBcdMaxDigits = 20;
constexpr std::uint8_t kBcdNegative = 0x80;
} // namespace mdx

// typeOf is not asked: the file names each tag's type. Throws EngineError
// naming fileName when the bytes are not a sound .mdx.
IndexContents readMdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf = {},
                      bool withKeys = true);
// Every tag with its keys; the tags' order is the tag table's. Throws
// EngineError when a tag cannot be stored in a .mdx.
QByteArray writeMdx(const IndexContents &contents, const WriteContext &context);

// A numeric key's 12 bytes of decimal and back (exposed for tests).
QByteArray mdxNumberKey(double value);
double mdxNumberFromKey(QByteArrayView key, bool *ok);

} // namespace qvx::index
