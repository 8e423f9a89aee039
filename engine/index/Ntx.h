// Single-tag index files of Clipper (.ntx): read whole into IndexContents and
// written whole from it. All integers are little-endian; every pointer is a
// byte offset from the start of the file.
//
//   +---------------------------+ 0
//   | header (1024)             |
//   +---------------------------+ 1024
//   | page (1024)               |  pages in any order; the header names
//   | ...                       |  the root
//   +---------------------------+
//
// Header
//
//   +0   u16   signature: 6 (3 in older files); bit 0x0001 set when a FOR
//              condition is stored
//   +2   u16   change counter
//   +4   u32   byte offset of the root page
//   +8   u32   byte offset of the first free page (0: none)
//   +12  u16   item length = key length + 8
//   +14  u16   key length
//   +16  u16   decimals of a numeric key
//   +18  u16   items per page, max = 1022 / (key length + 10) - 1, made
//              even when above 2
//   +20  u16   max / 2
//   +22  char[256] key expression, NUL-terminated
//   +278 u8    unique
//   +280 u8    descending: entries are stored in reverse order
//   +282 char[256] FOR condition, NUL-terminated
//
// Page
//
//   +0   u16   entry count n
//   +2   u16[max + 1] offsets from the page start of the item slots: logical
//              entry i is the slot offset i names
//   +2*(max+2) item slots of item length:
//              +0 u32 child page (byte offset; 0 in a leaf)
//              +4 u32 record number
//              +8 key
//
// This is a true B-tree: every entry, in interior pages too, is a key with
// its record. Child i holds the keys before entry i; the slot after the
// last entry carries only the right-most child. In order: child 0, entry
// 0, child 1, ..., entry n-1, child n. Slots past those are stale.
//
// The file stores no key type. Keys are text: character keys padded with
// spaces, dates as YYYYMMDD, logicals as T or F, numbers as STR(value,
// length, decimals) with leading spaces made '0'; a negative number has
// its '-' made '0' and then every digit d made the byte 0x2C - d, so that
// byte order is numeric order.
#pragma once

#include "engine/index/IndexKeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qvx::index {

namespace ntx {
constexpr int kPageSize = 1024;
constexpr int kSignatureOffset = 0;
constexpr int kCounterOffset = 2;
constexpr int kRootOffset = 4;
constexpr int kFreeOffset = 8;
constexpr int kItemLengthOffset = 12;
constexpr int kKeyLengthOffset = 14;
constexpr int kDecimalsOffset = 16;
constexpr int kMaxItemsOffset = 18;
constexpr int kHalfPageOffset = 20;
constexpr int kExpressionOffset = 22;
constexpr int kUniqueOffset = 278;
constexpr int kDescendingOffset = 280;
constexpr int kForOffset = 282;
constexpr int kExpressionField = 256;
constexpr int kMaxKeyLength = 256;
constexpr std::uint16_t kSignature = 6;
constexpr std::uint16_t kOldSignature = 3;
constexpr std::uint16_t kHasFor = 0x0001;
constexpr char kNegativeZero = 0x2C; // a negative number's digit d is stored as 0x2C - d
} // namespace ntx

// Without typeOf every key reads as Character. Throws EngineError naming
// fileName when the bytes are not a sound .ntx.
IndexContents readNtx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf = {},
                      bool withKeys = true);
// One tag (contents.tags[0]) with its keys. A numeric tag's keyLength and
// decimals give the width of its text; a value that does not fit, or a
// tag the format cannot hold, throws EngineError.
QByteArray writeNtx(const IndexContents &contents, const WriteContext &context);

} // namespace qvx::index
