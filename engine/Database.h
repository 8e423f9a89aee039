// A named connection to a table folder, given as an alias or a directory,
// within a session. It holds no files open: connecting checks that the
// target resolves, and tables opened through it resolve the same way.
#pragma once

#include <QString>

namespace qvx {

class Session;

class Database {
public:
    explicit Database(Session &session, QString name = QString())
        : m_session(&session), m_name(std::move(name))
    {
    }

    Session &session() const { return *m_session; }
    QString databaseName() const { return m_name; }
    void setDatabaseName(const QString &name);
    // An alias of the session, or a directory.
    QString aliasName() const { return m_target; }
    void setAliasName(const QString &aliasOrDirectory);

    // Throws EngineError when the target is neither a known alias with a
    // folder nor an existing folder.
    void open();
    void close() { m_connected = false; }
    bool isConnected() const { return m_connected; }

    // The folder the target stands for, ending in '/' (see Session::resolveDatabase).
    QString directory() const;

private:
    void checkClosed() const;

    Session *m_session;
    QString m_name;
    QString m_target;
    bool m_connected = false;
};

} // namespace qvx
