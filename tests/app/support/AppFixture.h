// A small database for the main window's tests, written through the engine
// into a temporary folder: the same three parts as a dBASE, a Paradox and an
// ASCII table and an XML and a binary data packet, and SQL files over the
// dBASE table.
#pragma once

#include <QString>
#include <QTemporaryDir>

class AppFixture {
public:
    AppFixture();

    QString dir() const { return m_dir.path() + u'/'; }
    QString path(const QString &name) const { return m_dir.path() + u'/' + name; }
    // Writes text to name in the folder and returns its path.
    QString writeFile(const QString &name, const QByteArray &text) const;
    // The names in every table and packet, in record order.
    static QStringList partNames();
    // Records of a table file or packet, read through the engine.
    static qint64 recordCount(const QString &path);
    static QStringList names(const QString &path);

private:
    QTemporaryDir m_dir;
};
