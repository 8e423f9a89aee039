// The secondary indexes of a keyed Paradox table: how their files are laid
// out, built from the table's records, and read back.
//
//   T.Xnn  one field, nn = its number in the table, two decimal digits
//   T.XGn  several fields, or one field under a name; n = 0..9
//
//   An .Xnn / .XGn is a table file (see ParadoxLayout.h) with one record for
//   each record of the table, in the index's order:
//   +------------------------+------------------------+-------------------+
//   | the indexed fields     | the table's key fields | "Hint": S (short) |
//   | (one: named "Sec Key") | as in the table        | the data block of |
//   |                        |                        | the table record  |
//   +------------------------+------------------------+-------------------+
//   Every field but Hint is part of the key, so records with equal indexed
//   values follow their primary key.
//
//   Header bytes that differ from a table's:
//     0x04  file type: 3 .Xnn, 5 .Xnn kept up to date ("maintained"),
//           6 .XGn, 8 .XGn maintained
//     0x14  not zero: the index no longer matches the table (a
//           non-maintained index after the table changed)
//     0x15  the indexed field's number (the first one's, for several)
//     0x23  key fields: every field but Hint
//     0x55  flags: 0x01 ascending, 0x10 descending, 0x20 case-insensitive,
//           0x40 unique
//   After the field names: one u16 per field, the table's number of that
//   field (0 for Hint); the sort order's name; the index's name.
//
//   T.Ynn / T.YGn is a primary index (see ParadoxIndex.h) over the .Xnn's
//   records, its key every field but Hint, with file type 4 (.Ynn) or 7
//   (.YGn).
#pragma once

#include "ParadoxHeader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace qvx {
class File;
namespace common {
class TextCodec;
}
} // namespace qvx

namespace qvx::paradox {

// File types.
constexpr std::uint8_t kSecondary = 3;
constexpr std::uint8_t kSecondaryTree = 4; // .Ynn
constexpr std::uint8_t kSecondaryMaintained = 5;
constexpr std::uint8_t kComposite = 6;
constexpr std::uint8_t kCompositeTree = 7; // .YGn
constexpr std::uint8_t kCompositeMaintained = 8;

// Flags at 0x55.
constexpr std::uint8_t kIndexAscending = 0x01;
constexpr std::uint8_t kIndexDescending = 0x10;
constexpr std::uint8_t kIndexCaseInsensitive = 0x20;
constexpr std::uint8_t kIndexUnique = 0x40;

constexpr int kHintLength = 2;
constexpr int kMaxCompositeFiles = 10; // .XG0 .. .XG9

struct SecondaryDef {
    std::vector<int> fields; // the table's fields, 0-based, in key order
    QByteArray name; // in the table's code page; empty for an unnamed .Xnn
    bool composite = false; // .XGn/.YGn rather than .Xnn/.Ynn
    bool unique = false;
    bool descending = false;
    bool caseInsensitive = false;
    bool maintained = true;
};

// An index as read from its .Xnn/.XGn.
struct SecondaryIndex {
    SecondaryDef def;
    bool stale = false; // marked as no longer matching the table
    qint64 keyCount = 0;
    std::vector<QByteArray> records; // when read with them, in file order
};

// A record of the table and the data block that holds it.
struct SourceRecord {
    QByteArray bytes;
    int block = 0;
};

// The header an .Xnn/.XGn of this table has (no records counted yet).
Header secondaryHeader(const Header &table, const SecondaryDef &def);

// The index's records for the table's records, in the index's order:
// ascending by the indexed fields (text upper-cased first when case-
// insensitive), then the primary key; a descending index the other way
// round. Throws EngineError(path, ...) when a unique index meets two equal
// values. codec upper-cases text in the table's code page.
std::vector<QByteArray> secondaryRecords(const Header &table, const SecondaryDef &def,
                                         const std::vector<SourceRecord> &source,
                                         const common::TextCodec &codec, const QString &path);

// What an index compares a record of the table by, before its primary key:
// the indexed values, text upper-cased when case-insensitive.
QByteArray secondaryValue(const Header &table, const SecondaryDef &def, const char *record,
                          const common::TextCodec &codec, const QString &path);

struct SecondaryFiles {
    QByteArray x; // .Xnn / .XGn
    QByteArray y; // .Ynn / .YGn
};

// Both files of an index holding these records (from secondaryRecords()).
// stale sets the header's mark.
SecondaryFiles encodeSecondary(const Header &table, const SecondaryDef &def,
                               const std::vector<QByteArray> &records, bool stale = false);

// Reads an .Xnn/.XGn of this table, its fields checked against the
// table's, its chain of blocks walked with every link checked; keeps the
// records when withRecords. Throws EngineError "<path>: <what>".
SecondaryIndex readSecondaryIndex(const File &x, const Header &table, bool withRecords);

// Reads the .Ynn/.YGn of an index read from x, checking it against x.
void checkSecondaryTree(const File &y, const File &x);

// The extension of an index's files: "X03"/"Y03" for field 3 (1-based),
// "XG0"/"YG0" for composite file n.
QString secondaryExtension(bool tree, bool composite, int number);

// The index's fields' names joined by ";", and the name it is listed by
// (its own, or the field's for an unnamed .Xnn).
QString secondaryExpression(const Header &table, const SecondaryDef &def, const common::TextCodec &codec);
QString secondaryName(const Header &table, const SecondaryDef &def, const common::TextCodec &codec);
QStringList secondaryOptions(const SecondaryIndex &index);

} // namespace qvx::paradox
