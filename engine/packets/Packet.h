// What a data packet holds, as the packet readers and writers (Packets.h)
// and the client data set (ClientDataSet.h) share it.
#pragma once

#include "../FieldDef.h"
#include "RowStore.h"

#include <QByteArray>
#include <QFlags>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

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
    bool operator==(const IndexDef &) const = default;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(IndexDef::Options)

// Everything a data packet holds: fields, index definitions and rows.
struct Packet {
    FieldDefs fields;
    std::vector<IndexDef> indexes;
    RowStore rows; // values in field order
    // For nested data set fields read from XML: the field's own definition
    // (its FIELDS and PARAMS elements as XML text), by field name, so that a
    // packet written back keeps the nested structure other programs expect.
    QHash<QString, QByteArray> nestedDefinitions;
};

} // namespace qvx
