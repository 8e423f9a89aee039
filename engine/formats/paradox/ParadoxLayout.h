// The byte layout of a Paradox table (.db) and its blob file (.mb).
//
// Header fields are little-endian; values inside records are big-endian.
//
//   .db file
//   +-----------------------------+ 0
//   | fixed header (0x58 bytes)   |  recordSize, headerSize, fileType, block
//   |                             |  size in KiB, record and block counts,
//   |                             |  first/last data block, field count, ...
//   +-----------------------------+ 0x58
//   | version 4+ data header      |  only when fileVersion >= 5: encryption,
//   |   (0x20 bytes)              |  code page at 0x6A
//   +-----------------------------+ 0x58 or 0x78
//   | numFields x (type, size)    |
//   | u32 table name pointer      |
//   | numFields x u32 name ptrs   |
//   | table name (79 bytes, 261   |
//   |   from fileVersion 0x0C)    |
//   | NUL-terminated field names  |
//   | numFields x u16 field nrs   |
//   | NUL-terminated sort order   |
//   +-----------------------------+ headerSize
//   | data block 1                |  each blockKiB x 1024 bytes:
//   | data block 2                |    u16 next block (0 = last)
//   | ...                         |    u16 previous block (0 = first)
//   +-----------------------------+    s16 (records - 1) x recordSize
//                                      records packed, no delete flags
//
//   A blob field in a record: `leader` bytes holding the start of the
//   value, then u32 offset (high 24 bits: .mb block; low 8 bits: 0xFF for a
//   block of its own, else the slot 0..63), u32 length, u16 modification.
//   A value no longer than the leader lives in the record alone.
//
//   .mb file, in 4 KiB chunks; each block starts with u8 type, u16 chunks:
//     type 0  header (the first 4 KiB)
//     type 2  one blob: u32 length, u16 modification, data at +9
//     type 3  64 small blobs: 12-byte header, 64 x 5-byte slots (data
//             offset / 16, length in 16-byte chunks, u16 modification,
//             length of the last chunk 1..16), data from 0x150
//     type 4  free
#pragma once

#include <cstdint>

namespace qvx::paradox {

// Fixed header offsets.
constexpr int kRecordSize = 0x00; // u16
constexpr int kHeaderSize = 0x02; // u16
constexpr int kFileType = 0x04; // u8
constexpr int kBlockKiB = 0x05; // u8
constexpr int kNumRecords = 0x06; // u32
constexpr int kBlocksInUse = 0x0A; // u16
constexpr int kFileBlocks = 0x0C; // u16
constexpr int kFirstBlock = 0x0E; // u16
constexpr int kLastBlock = 0x10; // u16
constexpr int kUnknown12 = 0x12; // u16
constexpr int kModified1 = 0x14; // u8
constexpr int kIndexField = 0x15; // u8, secondary indexes
constexpr int kNumFields = 0x21; // s16
constexpr int kKeyFields = 0x23; // s16
constexpr int kEncryption1 = 0x25; // u32
constexpr int kSortOrder = 0x29; // u8
constexpr int kModified2 = 0x2A; // u8
constexpr int kChangeCount1 = 0x2D; // u8
constexpr int kFileVersion = 0x39; // u8
constexpr int kMaxBlocks = 0x3A; // u16
constexpr int kNextAutoInc = 0x49; // u32
constexpr int kFirstFreeBlock = 0x4D; // u16
constexpr int kRealHeaderSize = 0x51; // u16
constexpr int kIndexFlags = 0x55; // u8, secondary indexes
constexpr int kFixedHeaderEnd = 0x58;

// Version 4+ data header offsets.
constexpr int kVersionIds = 0x58; // 2 x u16
constexpr int kEncryption2 = 0x5C; // u32
constexpr int kUpdateTime = 0x60; // u32
constexpr int kHiFieldId = 0x64; // u16
constexpr int kCodePage = 0x6A; // u16
constexpr int kDataHeaderEnd = 0x78;

// File types.
constexpr std::uint8_t kKeyedTable = 0;
constexpr std::uint8_t kUnkeyedTable = 2;

// fileVersion 5 and later carry the data header; 0x0C uses long table names.
constexpr std::uint8_t kFirstVersion4 = 5;
constexpr std::uint8_t kVersion7 = 0x0C;
constexpr int kTableNameShort = 79;
constexpr int kTableNameLong = 261;
constexpr std::uint32_t kEncryptedElsewhere = 0xFF00FF00u; // "see encryption2"

// Field type codes.
enum : std::uint8_t {
    kAlpha = 0x01,
    kDate = 0x02,
    kShort = 0x03,
    kLong = 0x04,
    kMoney = 0x05,
    kNumber = 0x06,
    kLogical = 0x09,
    kMemo = 0x0C,
    kBlob = 0x0D,
    kFmtMemo = 0x0E,
    kOle = 0x0F,
    kGraphic = 0x10,
    kTime = 0x14,
    kTimestamp = 0x15,
    kAutoInc = 0x16,
    kBcd = 0x17,
    kBytes = 0x18,
};

constexpr int kBcdSize = 17;
constexpr int kBlobPointerSize = 10; // after the leader
constexpr int kMaxLeader = 240;

// Data blocks.
constexpr int kBlockHeaderSize = 6;

// Blob file.
constexpr int kMbChunk = 4096;
constexpr std::uint8_t kMbHeaderBlock = 0;
constexpr std::uint8_t kMbSingle = 2;
constexpr std::uint8_t kMbSuballocated = 3;
constexpr std::uint8_t kMbFree = 4;
constexpr int kMbSingleHeader = 9;
constexpr int kMbSlotTable = 12;
constexpr int kMbSlots = 64;
constexpr int kMbSlotSize = 5;
constexpr int kMbSlotData = 0x150;
constexpr int kMbSlotUnit = 16;
constexpr std::uint8_t kMbSingleIndex = 0xFF;
// Values up to this many bytes share a sub-allocated block.
constexpr int kMbSmallLimit = 2048;

} // namespace qvx::paradox
