// An SQLite virtual-table module over our table files, so that SQL reads and
// changes a .dbf, .db or .txt table in place: nothing is copied or imported.
// Data packets (.xml, .cds) are read through it too, but not changed.
// Rows are visited in file order; each column is decoded only when SQLite
// asks for it, and INSERT, UPDATE and DELETE go through the table's own
// codec and writer lock.
#pragma once

#include "../formats/TableFormat.h"

#include <QString>

struct sqlite3;

namespace qvx::sql {

// What the module opens its tables with (the aux data of the module).
struct ModuleOptions {
    TextForms forms;
    QString codePage; // OpenOptions::codePage of every table opened
};

// Registers the module "qvx_table" on a connection; text tables read and
// write dates, times and numbers in forms, and dBASE and Paradox tables read
// text in codePage when it is not empty. A column's declared type is
// "<affinity>_Q<type code>_<size>_<decimals>" (see parseDeclaredType).
void registerTableModule(sqlite3 *db, const TextForms &forms = {}, const QString &codePage = {});

// Reads a declared type written by this module; false for any other.
bool parseDeclaredType(const char *declared, int &typeCode, int &size, int &decimals);

// Creates the temporary virtual table `name` over the table file at path
// (tableType as Table's: 1 Paradox, 2 dBASE, 3 FoxPro, 4 ASCII). A writable
// table holds the writer lock while the virtual table exists. Throws
// EngineError naming the file when it cannot be opened.
void attachTable(sqlite3 *db, const QString &name, const QString &path, int tableType, bool writable);

// The same over a data packet (.xml or .cds, read with
// ClientDataSet::loadFromFile): read-only, its rows held in memory while the
// virtual table exists; INSERT, UPDATE, DELETE and DROP TABLE are refused.
void attachPacket(sqlite3 *db, const QString &name, const QString &path);

} // namespace qvx::sql
