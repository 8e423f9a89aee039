// The binary data packet: this program's own compact layout for a client data
// set. It is not the binary packet of any other program, and binary packets
// written by other programs are not read (they fail with "not a data packet").
// The XML packet is the form to exchange data with other programs.
//
// All integers are little-endian. A "str" is a u32 byte count followed by that
// many bytes of UTF-8 (or raw bytes for binary values).
//
//   +0   magic       8 bytes  "QVXPKT" 0x1A 0x00
//   +8   version     u16      1 (others are refused: the reader does not guess)
//   +10  reserved    u16      0
//        fieldCount  u32
//        fields      fieldCount times:
//                      name          str
//                      displayLabel  str
//                      type          u8   field type code 0..29
//                      size          i32  >= 0
//                      decimals      i32  >= 0
//                      flags         u8   bit 0 required, bit 1 read-only, bit 2 hidden
//                      extra         str  nested data set fields: the XML of the
//                                         definition's FIELDS/PARAMS; empty otherwise
//        indexCount  u32
//        indexes     indexCount times:
//                      name          str
//                      fieldCount    u32
//                      fields        fieldCount times str (field names)
//        rowCount    u32
//        rows        rowCount times:
//                      null bitmap   ceil(fieldCount / 8) bytes; bit (i % 8) of byte
//                                    i / 8 set = field i is null (fields of types that
//                                    hold no value are always null)
//                      values        for each non-null field, in field order:
//                        text, decimal (canonical text), bytes   str
//                        integer (int-held types)                i32
//                        large integer                           i64
//                        boolean                                 u8 (0 or 1)
//                        float, currency                         f64 (IEEE 754 bits)
//                        date                                    i64 Julian day
//                        time                                    u32 ms since midnight (< 86400000)
//                        date and time                           i64 ms since 1970-01-01T00:00 (wall clock)
//        end of file: nothing may follow the last row.
//
// Every count and length is checked against the bytes that remain before
// anything is allocated, so a damaged file cannot make the reader allocate more
// than the file's own size justifies.
#pragma once

#include <cstdint>

namespace qvx::binarypacket {

inline constexpr char kMagic[8] = { 'Q', 'V', 'X', 'P', 'K', 'T', 0x1A, 0x00 };
inline constexpr int kMagicSize = 8;
inline constexpr std::uint16_t kVersion = 1;

enum FieldFlag : std::uint8_t {
    Required = 0x01,
    ReadOnly = 0x02,
    Hidden = 0x04,
};

} // namespace qvx::binarypacket
