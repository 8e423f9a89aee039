// The dbf file header and field descriptors (see DbfLayout.h): reading them
// from a file with every length and count checked, and writing them.
#pragma once

#include "DbfLayout.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>
#include <vector>

namespace qvx {
class File;
}

namespace qvx::dbf {

// The families of dbf files this folder reads and writes. They differ in
// which field types exist, how memo pointers are stored and which memo file
// goes with the table.
enum class Variant { DBase3, DBase4, FoxPro2, VisualFoxPro };

enum class MemoKind { None, Dbt3, Dbt4, Fpt };

QString variantName(Variant v);

struct FieldDescriptor {
    QByteArray name; // raw bytes, cut at the first NUL
    char type = 'C';
    int length = 0; // bytes in the record; for long C fields the full length
    int decimals = 0;
    std::uint8_t flags = 0;
    std::uint32_t autoIncNext = 0;
    std::uint8_t autoIncStep = 0;
    int offset = 0; // in the record, after the delete flag (so at least 1)

    bool isSystem() const { return flags & kFieldSystem; }
    bool isNullable() const { return flags & kFieldNullable; }
    bool isBinary() const { return (flags & kFieldBinary) && (flags & kFieldAutoInc) != kFieldAutoInc; }
    bool isAutoInc() const { return (flags & kFieldAutoInc) == kFieldAutoInc; }
};

struct Header {
    std::uint8_t version = 0x03;
    QDate lastUpdate; // invalid when the bytes are no date
    std::uint32_t recordCount = 0;
    int headerLength = 0;
    int recordLength = 0;
    std::uint8_t tableFlags = 0;
    std::uint8_t languageDriver = 0;
    std::vector<FieldDescriptor> fields; // every descriptor, system ones included

    Variant variant = Variant::DBase3;
    MemoKind memoKind = MemoKind::None; // what the version byte says; None for 0x03

    bool isVfp() const { return variant == Variant::VisualFoxPro; }
    bool hasIndexFlag() const { return tableFlags & kFlagIndex; }
    bool needsMemo() const; // some field keeps its value in a memo file
};

// Facts the version byte gives. Throws EngineError(path, ...) for versions
// that are refused (dBASE 7, unknown bytes).
void classifyVersion(std::uint8_t version, const QString &path, Variant &variant, MemoKind &memo);

// Whether a field type keeps its value in the memo file in this variant.
bool isMemoType(char type, Variant variant);

// Reads and checks the header and descriptors of a table file.
Header readHeader(const File &file);

// The 7 bytes at offset 1: date of last update and record count.
QByteArray encodeDateAndCount(Variant variant, const QDate &date, std::uint32_t count);

// The whole header of a new table, headerLength bytes long: header,
// descriptors, terminator and (VFP) an empty backlink. Offsets of the fields
// must be set.
QByteArray encodeHeader(const Header &h);

// One descriptor, 32 bytes.
QByteArray encodeDescriptor(const FieldDescriptor &f);

// Little- and big-endian helpers shared by this folder.
inline std::uint32_t le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16
        | std::uint32_t(u[3]) << 24;
}
inline std::uint16_t le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint16_t(u[0] | u[1] << 8);
}
inline std::uint32_t be32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(u[3]) | std::uint32_t(u[2]) << 8 | std::uint32_t(u[1]) << 16
        | std::uint32_t(u[0]) << 24;
}
inline std::uint16_t be16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint16_t(u[0] << 8 | u[1]);
}
inline void putLe32(char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
inline void putLe16(char *p, std::uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
inline void putBe32(char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[3 - i] = char((v >> (8 * i)) & 0xFF);
}
inline void putBe16(char *p, std::uint16_t v)
{
    p[0] = char(v >> 8);
    p[1] = char(v & 0xFF);
}

} // namespace qvx::dbf
