// Single-tag index files (.idx), in both their forms: the compact form is
// one compressed tag as a .cdx holds it (Cdx.h), with its header at 0; the
// older form, drawn here, stores every key whole. Integers are
// little-endian unless marked BE; pointers are byte offsets.
//
//   +----------------------------+ 0
//   | header (512)               |
//   +----------------------------+ 512
//   | pages (512 each)           |  this writer: leaves, then each branch
//   | ...                        |  level, the root last
//   +----------------------------+
//
// Header (512 bytes)
//
//   +0   u32      root page
//   +4   u32      free page list head, 0xFFFFFFFF for none
//   +8   u32      end of file
//   +12  u16      key length
//   +14  u8       options: 0x01 unique, 0x08 FOR, 0x20 compact form (the
//                 header is then a 1024-byte compact tag header)
//   +15  u8       signature
//   +16  char[220] key expression, NUL-terminated
//   +236 char[220] FOR expression, NUL-terminated
//
// Page (512 bytes)
//
//   +0   u16  attributes: 0x01 root, 0x02 leaf (0 a branch below the root)
//   +2   u16  entries n, at most 500 / (key length + 4)
//   +4   u32  left sibling, 0xFFFFFFFF for none
//   +8   u32  right sibling, 0xFFFFFFFF for none
//   +12       n entries of: key (full length) | u32 BE pointer
//
// In a leaf the pointer is the record number; in a branch it is the child
// page, and the key is the child's last key. Numeric and date keys are
// stored as in a compact tag: the engine's 8-byte sort-key form.
#pragma once

#include "IndexKeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace qvx::index {

namespace idx {

constexpr int kHeaderSize = 512;
constexpr int kPageSize = 512;
constexpr int kMaxKeyLength = 240;
constexpr int kExpressionSize = 220;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

constexpr int kRoot = 0;
constexpr int kFreeList = 4;
constexpr int kEndOfFile = 8;
constexpr int kKeyLength = 12;
constexpr int kOptions = 14;
constexpr int kSignature = 15;
constexpr int kExpression = 16;
constexpr int kForExpression = 236;

constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kHasFor = 0x08;
constexpr std::uint8_t kCompact = 0x20;

constexpr int kAttributes = 0;
constexpr int kCount = 2;
constexpr int kLeft = 4;
constexpr int kRight = 8;
constexpr int kEntries = 12;

constexpr std::uint16_t kRootPage = 0x01;
constexpr std::uint16_t kLeafPage = 0x02;

} // namespace idx

// A whole .idx of either form: one tag named after the file (its base name
// upper-cased), with its keys in ascending (key, record) order when
// withKeys. Throws EngineError naming fileName when the file is damaged.
IndexContents readIdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf = {},
                      bool withKeys = true);
// A whole .idx holding contents' one tag, in the compact form or the
// older one. The older form has no place for descending order or a
// collation and refuses a tag that asks for one.
QByteArray writeIdx(const IndexContents &contents, const WriteContext &context, bool compact);

} // namespace qvx::index
