// An index definition as the index dialogs record it, as data packets store
// it, and as tables create their indexes from.
#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

namespace qvx {

// One index definition: a name, the fields it orders by (or a key
// expression), and its options. Data packets store the name and fields; the
// options and expression are for the table indexes a new table is created
// with.
struct IndexDef {
    enum Option {
        Unique = 0x01,
        Descending = 0x02,
        CaseInsensitive = 0x04,
        Expression = 0x08, // ordered by expression, not by fields
        NonMaintained = 0x10,
    };
    Q_DECLARE_FLAGS(Options, Option)

    QString name;
    QStringList fields;
    Options options {};
    QString expression {}; // the key expression, with Expression
    QString filter {}; // a condition records must meet to be in the index; empty for all
    // A dBASE or FoxPro index kept in a file of its own (.ndx, .ntx, .idx):
    // its path; empty for a tag of the table's production (.mdx) or
    // structural (.cdx) index, and for every other kind of table.
    QString file {};
    bool operator==(const IndexDef &) const = default;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(IndexDef::Options)

} // namespace qvx
