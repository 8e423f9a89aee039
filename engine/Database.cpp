#include "Database.h"

#include "EngineError.h"
#include "Session.h"

#include <QFileInfo>

namespace qvx {

void Database::checkClosed() const
{
    if (m_connected)
        throw EngineError(QStringLiteral("Cannot change the database %1 while it is connected").arg(m_name));
}

void Database::setDatabaseName(const QString &name)
{
    checkClosed();
    m_name = name;
}

void Database::setAliasName(const QString &aliasOrDirectory)
{
    checkClosed();
    m_target = aliasOrDirectory;
}

QString Database::directory() const
{
    if (m_target.isEmpty())
        throw EngineError(QStringLiteral("The database %1 names no alias or folder").arg(m_name));
    QString dir = Session::resolveDatabase(m_session, m_target);
    if (!dir.endsWith(u'/'))
        dir += u'/';
    if (!QFileInfo(dir).isDir())
        throw EngineError(QStringLiteral("The folder %1 does not exist").arg(dir));
    return dir;
}

void Database::open()
{
    (void)directory();
    m_connected = true;
}

} // namespace qvx
