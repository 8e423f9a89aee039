// The table the user chose last, shared by the windows that choose a table
// (the load commands, "Add Table", the alias manager) and those that build
// on the choice (the SQL editor writes its table reference from it).
#pragma once

#include <QString>

namespace qvx::ui {

class TableChoice {
public:
    // The folder of the table last chosen, ending in "/", or an alias name.
    const QString &TableDir() const { return m_tableDir; }
    // The file name of the table last chosen, with its extension.
    const QString &TableName() const { return m_tableName; }
    // Set once a table was chosen through the generic "Load from file"; never
    // cleared again.
    bool OpenedFromFile() const { return m_openedFromFile; }

    // A file chosen in an open dialog (or named, or dropped): its folder and name.
    void chooseFile(const QString &path);
    // A table reached through an alias.
    void chooseAliasTable(const QString &alias, const QString &table);
    void markOpenedFromFile() { m_openedFromFile = true; }

private:
    QString m_tableDir;
    QString m_tableName;
    bool m_openedFromFile = false;
};

} // namespace qvx::ui
