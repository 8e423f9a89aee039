// The byte layout of dbf tables and their memo files, as this folder reads
// and writes them. All integers are little-endian unless marked BE.
//
// Table file (.dbf)
//
//   +---------------------------+ 0
//   | file header (32 bytes)    |
//   +---------------------------+ 32
//   | field descriptor 1 (32)   |
//   | ...                       |
//   | field descriptor N (32)   |
//   +---------------------------+ 32 + 32*N
//   | 0x0D                      |
//   | [263-byte backlink: VFP]  |  a database container path, NUL padded
//   +---------------------------+ headerLength
//   | record 0 (recordLength)   |
//   | record 1                  |
//   | ...                       |
//   +---------------------------+ headerLength + recordCount*recordLength
//   | 0x1A  (may be missing)    |
//   +---------------------------+
//
// File header
//
//   +0  u8    version byte (0x03, 0x83, 0x8B, 0xF5, 0x30, 0x31, 0x32, ...)
//   +1  u8[3] date of last update: year, month, day. The year byte is
//             year-1900 for some writers and year%100 for others; a value
//             below 80 therefore means 2000+, anything else 1900+.
//   +4  u32   record count (deleted records included)
//   +8  u16   header length = offset of the first record
//   +10 u16   record length, delete flag included
//   +12 u8[16] reserved, transaction and encryption flags
//   +28 u8    table flags: 0x01 production .mdx / structural .cdx,
//             0x02 has memo (VFP), 0x04 database container (VFP)
//   +29 u8    language driver byte: the code page of the text
//   +30 u8[2] reserved
//
// Field descriptor
//
//   +0  char[11] name, NUL padded (at most 10 characters)
//   +11 char  type: C N F D L M G P B Y T I V Q W, or 0 for _NullFlags
//   +12 u32   offset of the field in the record (FoxPro); not trusted:
//             offsets are computed by summing the lengths
//   +16 u8    length
//   +17 u8    decimals; for C in FoxPro files the high byte of the length
//   +18 u8    VFP flags: 0x01 system (hidden), 0x02 nullable, 0x04 binary,
//             0x0C autoincrement
//   +19 u32   VFP autoincrement: next value
//   +23 u8    VFP autoincrement: step
//   +24 u8[8] reserved (dBASE IV: +31 index tag flag)
//
// Record
//
//   +0  u8    delete flag: ' ' live, '*' deleted
//   +1  ...   the fields, each at the sum of the lengths before it
//
// Memo pointers in a record are 10 ASCII digits (block number, blank for
// none) or, in VFP, a u32 block number (0 for none).
//
// dBASE III memo (.dbt): blocks of 512 bytes
//
//   block 0:  +0 u32 next free block, rest unused
//   block n:  text ... 0x1A 0x1A, running over as many blocks as it needs
//
// dBASE IV memo (.dbt): blocks of `blockSize` bytes
//
//   block 0:  +0 u32 next free block, +8 char[8] dbf base name,
//             +16 u8 version, +20 u16 block size (0 means 512)
//   block n:  +0 FF FF 08 00, +4 u32 length INCLUDING these 8 bytes,
//             +8 data, over as many contiguous blocks as it needs
//
// FoxPro memo (.fpt): big-endian, blocks of `blockSize` bytes
//
//   header (512 bytes): +0 u32 BE next free block, +6 u16 BE block size
//                       (0 means 1); blocks inside the header are unused
//   block n:  +0 u32 BE type (0 picture, 1 text, 2 object),
//             +4 u32 BE data length (excluding these 8 bytes), +8 data
#pragma once

#include <cstdint>

namespace qvx::dbf {

constexpr int kFileHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr char kHeaderEnd = 0x0D;
constexpr char kFileEnd = 0x1A;
constexpr int kBacklinkSize = 263;
constexpr char kLive = ' ';
constexpr char kDeleted = '*';
constexpr int kMaxNameLength = 10;

// Table flags (header byte 28).
constexpr std::uint8_t kFlagIndex = 0x01;
constexpr std::uint8_t kFlagVfpMemo = 0x02;

// VFP field flags (descriptor byte 18).
constexpr std::uint8_t kFieldSystem = 0x01;
constexpr std::uint8_t kFieldNullable = 0x02;
constexpr std::uint8_t kFieldBinary = 0x04;
constexpr std::uint8_t kFieldAutoInc = 0x0C;

constexpr int kDbt3BlockSize = 512;
constexpr int kDbt4DefaultBlockSize = 512;
constexpr int kFptHeaderSize = 512;
constexpr int kFptDefaultBlockSize = 64;
constexpr int kMemoPointerWidth = 10; // ASCII block number
constexpr int kVfpPointerWidth = 4; // binary block number

// FoxPro memo block types.
constexpr std::uint32_t kFptPicture = 0;
constexpr std::uint32_t kFptText = 1;
constexpr std::uint32_t kFptObject = 2;

} // namespace qvx::dbf
