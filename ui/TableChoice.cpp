#include "TableChoice.h"

namespace qvx::ui {

void TableChoice::chooseFile(const QString &path)
{
    // The folder keeps its trailing separator: other windows put the table
    // name right after it.
    const qsizetype slash = path.lastIndexOf(u'/');
    m_tableDir = path.left(slash + 1);
    m_tableName = path.mid(slash + 1);
}

void TableChoice::chooseAliasTable(const QString &alias, const QString &table)
{
    m_tableDir = alias;
    m_tableName = table;
}

} // namespace qvx::ui
