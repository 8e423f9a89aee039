// SQL over the table files: the text is kept as lines, rewritten from the
// program's dialect into SQLite's and run on a private connection where each
// table it names is a virtual table over the file itself. A result set is
// read-only and read lazily: rows are stepped as they are asked for, and
// only a small window of them is kept.
#pragma once

#include "DataSet.h"

#include <QStringList>

#include <deque>

struct sqlite3;
struct sqlite3_stmt;

namespace qvx {

class Session;
namespace sql {
struct Rewrite;
struct TableRef;
} // namespace sql

class Query : public DataSet {
public:
    Query();
    ~Query() override;

    // The SQL text, line by line.
    void clearSQL() { m_lines.clear(); }
    void addSQL(const QString &line) { m_lines << line; }
    void setSQL(const QStringList &lines) { m_lines = lines; }
    void setSQLText(const QString &text) { m_lines = text.split(u'\n'); }
    const QStringList &sqlLines() const { return m_lines; }
    QString sqlText() const { return m_lines.join(u'\n'); }
    int sqlLineCount() const { return int(m_lines.size()); }
    void loadSQLFromFile(const QString &path);
    void saveSQLToFile(const QString &path) const; // atomically

    // Where a bare table name is looked for (default: the current folder),
    // and the session that resolves ":ALIAS:table" (default: the default one).
    void setDirectory(const QString &dir) { m_directory = dir; }
    void setSession(Session *session) { m_session = session; }

    // Runs the text as statements; returns how many records they changed.
    qint64 execSQL();
    // Does the text start as a statement that returns rows (SELECT, WITH, VALUES)?
    static bool returnsRows(const QString &sql);

    QString displayName() const override { return QStringLiteral("query"); }

protected:
    FieldDefs doOpen() override;
    void doClose() override;
    qint64 doRecordCount() const override;
    bool doHasRecord(qint64 index) const override;
    void doRead(qint64 index, Record &rec) const override;
    bool doReadOnly() const override { return true; }
    // The row count is known only once every row has been stepped.
    bool doCountIsCostly() const override { return true; }

private:
    void connect(const sql::Rewrite &rewrite, bool writable);
    void disconnect();
    QString tablePath(const sql::TableRef &ref, bool mustExist = true) const;
    QString localCreate(const QString &rewritten) const;
    bool stepOne() const; // steps one row into the window; false at the end
    void keepCurrentRow() const; // the statement's current row into the window
    void restart() const;
    [[noreturn]] void sqlFailure() const;
    // A failure to prepare, placed in the user's text when SQLite can say where.
    [[noreturn]] void prepareFailure(const sql::Rewrite &rewrite, const QByteArray &utf8,
                                     qsizetype start) const;

    QStringList m_lines;
    QString m_directory;
    Session *m_session = nullptr;
    std::vector<std::pair<QString, QString>> m_created; // SQL name -> path, for CREATE TABLE
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    FieldDefs m_fields;
    mutable std::deque<Record> m_window;
    mutable qint64 m_windowFirst = 0;
    mutable qint64 m_stepped = 0; // rows stepped since the statement started
    mutable qint64 m_total = -1; // known once the end was reached
};

} // namespace qvx
