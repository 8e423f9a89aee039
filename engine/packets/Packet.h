// What a data packet holds, as the packet readers and writers (Packets.h)
// and the client data set (ClientDataSet.h) share it.
#pragma once

#include "../FieldDef.h"
#include "../IndexDef.h"
#include "RowStore.h"

#include <QByteArray>
#include <QFlags>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace qvx {

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
