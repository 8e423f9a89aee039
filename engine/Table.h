// A data set over one local table file. The database name is a directory or
// an alias, resolved through the table's session (Session::resolveDatabase);
// the table type picks the format, 0 choosing it by the table name's
// extension.
#pragma once

#include "DataSet.h"
#include "formats/TableFormat.h"

#include <memory>

namespace qvx {

class Session;

class Table : public DataSet {
public:
    enum TableType { Default = 0, Paradox = 1, DBase = 2, FoxPro = 3, Ascii = 4 };

    Table();
    ~Table() override;

    void setDatabaseName(const QString &name); // a directory or alias; a path separator is added if missing
    // The session that resolves an alias given as the database name and
    // whose forms a text table reads and writes dates, times and numbers in;
    // without one, Session::defaultSession(). The session must outlive the
    // table.
    void setSession(const Session *session) { m_session = session; }
    QString databaseName() const { return m_databaseName; }
    // With type 0 the name carries its extension; otherwise the type's own
    // extension (.db, .dbf, .txt) is added when it has none.
    void setTableName(const QString &name);
    QString tableName() const { return m_tableName; }
    void setTableType(int type);
    int tableType() const { return m_tableType; }
    // The full path of the data file, with the extension the type gives it
    // (an alias that does not resolve is left as it is; opening reports it).
    QString filePath() const;
    // The type actually used: the set one, or the one the extension names.
    int effectiveType() const;

    bool exists() const;
    void deleteTable(); // the table with its memo and index files; not while open
    void emptyTable(); // no records left, structure kept

    // Field definitions for createTable().
    void clearFieldDefs() { m_fieldDefs.clear(); }
    void addFieldDef(const QString &name, FieldType type, int size = 0, bool required = false,
                     int decimals = 0);
    const FieldDefs &fieldDefs() const { return m_fieldDefs; }
    void setCreateOptions(const CreateOptions &options) { m_createOptions = options; }
    void createTable(); // replaces an existing table of that name; not while open
    // The code page to read the table's text in, over what the table names
    // (OpenOptions::codePage); empty lets the table decide. Takes effect at
    // the next open.
    void setInputCodePage(const QString &codePage) { m_inputCodePage = codePage; }
    QString inputCodePage() const { return m_inputCodePage; }

    TableInfo info() const; // of the open table
    // The indexes the open table keeps (OpenTable::indexes).
    std::vector<IndexInfo> indexes(bool countKeys = false) const;
    // Adds an index to the closed table, or removes one
    // (TableDriver::createIndex and dropIndex).
    void addIndex(const IndexDef &def);
    void deleteIndex(const QString &name);
    // Changes made between beginBatch() and commitBatch() may wait in memory
    // and reach the files together (a text table is then written once);
    // rollbackBatch() drops them. Tables written change by change ignore it.
    void beginBatch();
    void commitBatch();
    void rollbackBatch();
    QStringList warnings() const; // what the open table read around (OpenTable::warnings)
    QString displayName() const override;

    // The driver for a table type (after resolving 0 by extension).
    static const TableDriver &driverFor(int type);
    static int typeForExtension(const QString &fileName); // 0 when unknown

protected:
    FieldDefs doOpen() override;
    void doClose() override;
    qint64 doRecordCount() const override;
    bool doHasRecord(qint64 index) const override;
    void doRead(qint64 index, Record &rec) const override;
    bool doReadFieldTo(qint64 index, int field, FieldSink &sink) const override;
    QVariant doReadField(qint64 index, int field) const override;
    qint64 doUpdate(qint64 index, const Record &rec) override;
    qint64 doInsert(qint64 before, const Record &rec) override;
    void doDelete(qint64 index) override;
    bool doReadOnly() const override;
    QString doReadOnlyReason() const override;
    Bookmark doBookmark(qint64 index) const override;
    qint64 doIndexOfBookmark(Bookmark bm) const override;

private:
    const TableDriver &driver() const;
    void checkClosed(const char *what) const;

    const Session *m_session = nullptr;
    QString m_databaseName;
    QString m_tableName;
    int m_tableType = Default;
    FieldDefs m_fieldDefs;
    CreateOptions m_createOptions;
    QString m_inputCodePage;
    std::unique_ptr<OpenTable> m_open;
};

// The field names of a table of an alias (or folder), read through a
// read-only Table under session. Throws EngineError when it cannot be opened.
QStringList tableFieldNames(const Session &session, const QString &alias, const QString &table);

// The forms text tables read and write dates, times and numbers in under a
// session (its \SYSTEM\FORMATS sections); the defaults for none.
TextForms textFormsOf(const Session *session);

} // namespace qvx
