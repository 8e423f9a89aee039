// Writing the records of any data set to a file of its own: a new local
// table (dBASE, FoxPro, Paradox, ASCII) or a data packet (XML or binary).
// What `qvx convert` and the program's "save to file" both do, so that both
// write the same files.
#pragma once

#include "ClientDataSet.h"
#include "DataSet.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qvx {

struct WriteTarget {
    int tableType = 0; // a Table::TableType; 0 for a data packet
    int version = 0; // dbf version byte; 0 lets the driver choose
    PacketFormat packetFormat = PacketFormat::Binary;
    QString codePage; // dbf only; empty for the driver's default
};

// The target a file name's extension names (any case): .dbf dBASE, .db
// Paradox, .txt ASCII, .xml an XML packet, .cds a binary packet.
std::optional<WriteTarget> writeTargetForFileName(const QString &path);

// Appends every record of from, from its first, to to, each field to the
// field of the same name (fields to fills itself, such as autoincrement
// ones, are left to it). step, when given, runs after each record.
void copyRecords(DataSet &from, DataSet &to, const std::function<void()> &step = {});

// Writes from's fields and records to path as target says. Nothing is
// visible at path until the whole table (with its memo file) or packet is
// written; an older file there is then replaced, unless it is read-only on
// disk or a window or program holds it for writing (refused). Errors name
// path.
//
// A field a dBASE or FoxPro target cannot hold as it is goes to the nearest
// type that keeps every value (a number too wide or a floating-point number
// dBASE III lacks as N(20,d) with the decimals the values need, date and
// time as a date when every time is midnight and as text otherwise, a time
// of day as a Visual FoxPro date and time, an autoincrement as an integer),
// and a name the target cannot hold is made valid and unique. Returns one
// note per such change, for the user; refuses, naming field and value,
// only what cannot be kept. A table's code page is kept when the target
// can declare it and target.codePage is empty.
QStringList writeDataSet(DataSet &from, const QString &path, const WriteTarget &target,
                         const std::function<void()> &step = {});

} // namespace qvx
