// Single-tag index files of dBASE III (.ndx): read whole into IndexContents
// and written whole from it. All integers are little-endian.
//
//   +---------------------------+ 0
//   | header block (512)        |
//   +---------------------------+ 512
//   | node block 1 (512)        |  blocks in any order; the header names
//   | ...                       |  the root
//   +---------------------------+ 512 * blocks
//
// Header block
//
//   +0  u32   root block number
//   +4  u32   blocks in the file, the header included
//   +8  u32   unused (0)
//   +12 u16   key length
//   +14 u16   keys per block = 508 / group length
//   +16 u16   key type: 0 character, 1 numeric or date (the file cannot
//             tell which; the caller's KeyTypeOf decides)
//   +18 u16   group length = key length + 8, rounded up to a multiple of 4
//   +23 u8    unique
//   +24 char[] key expression, NUL-terminated (bytes after the NUL are
//             junk in some files)
//
// Node block
//
//   +0  u32   entry count n
//   +4        entries of group length:
//               +0 u32 child block (0 in a leaf)
//               +4 u32 record number (0 in an interior node)
//               +8 key
//
// An interior node holds n keys and one more slot that carries only the
// right-most child. Interior key i is the largest key under child i. Slots
// past those are stale. Character keys are padded with spaces; numeric and
// date keys are doubles (a date as its Julian day number).
#pragma once

#include "engine/index/IndexKeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qvx::index {

namespace ndx {
constexpr int kBlockSize = 512;
constexpr int kRootOffset = 0;
constexpr int kBlockCountOffset = 4;
constexpr int kKeyLengthOffset = 12;
constexpr int kKeysPerBlockOffset = 14;
constexpr int kKeyTypeOffset = 16;
constexpr int kGroupLengthOffset = 18;
constexpr int kUniqueOffset = 23;
constexpr int kExpressionOffset = 24;
constexpr int kMaxExpression = 100; // characters a written expression may have
constexpr int kMaxCharacterKey = 100; // bytes of a written character key
constexpr int kEntriesOffset = 4;
constexpr int kEntryArea = kBlockSize - kEntriesOffset;
constexpr int kCharacterType = 0;
constexpr int kNumberType = 1;
} // namespace ndx

// Throws EngineError naming fileName when the bytes are not a sound .ndx.
IndexContents readNdx(QByteArrayView bytes, const QString &fileName, const KeyTypeOf &typeOf = {},
                      bool withKeys = true);
// One tag (contents.tags[0]) with its keys; throws EngineError when the tag
// cannot be stored in a .ndx.
QByteArray writeNdx(const IndexContents &contents, const WriteContext &context);

} // namespace qvx::index
