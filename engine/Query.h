// SQL over the table files: the text is kept as lines, rewritten from the
// program's dialect into SQLite's and run on a private connection where each
// table it names is a virtual table over the file itself (a data packet is
// one too, read-only). A result set is read-only and read lazily: rows are
// stepped as they are asked for, and only a small window of them is kept.
// A column taken from a table has the table field's type; a computed one
// has the narrowest type that holds every value stepped so far, widened as
// rows arrive, so that no value is ever changed to fit its column.
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
    // The code page dBASE and Paradox tables of the query read text in
    // (OpenOptions::codePage); empty lets each table decide.
    void setInputCodePage(const QString &codePage) { m_inputCodePage = codePage; }

    // Runs the text as statements; returns how many records they changed.
    qint64 execSQL();
    // Is the text's first statement one to open() rather than execSQL()?
    // SQLite says: the statement is prepared over its tables (opened
    // read-only; nothing runs), and it returns rows and changes nothing.
    // Throws what open() would for a missing table or a syntax fault.
    bool returnsRows() const;
    // The same read from the text alone, for callers without the tables:
    // does the first statement, past white space, comments and a WITH
    // clause, start with SELECT, VALUES or EXPLAIN? False for text that is
    // not well formed (execSQL() then says what is wrong with it).
    static bool returnsRows(const QString &sql);

    QString displayName() const override { return QStringLiteral("query"); }

protected:
    FieldDefs doOpen() override;
    void doClose() override;
    qint64 doRecordCount() const override;
    bool doHasRecord(qint64 index) const override;
    void doRead(qint64 index, Record &rec) const override;
    QVariant doReadField(qint64 index, int field) const override;
    bool doReadOnly() const override { return true; }
    // The row count is known only once every row has been stepped.
    bool doCountIsCostly() const override { return true; }

private:
    // The stepped row at index, stepping on (or from the start again when
    // it fell out of the window) as needed; throws when there is none.
    const Record &rowAt(qint64 index) const;
    // How a result column's values are held: in the type its table column
    // (or an aggregate of one) declares, or in the narrowest kind that holds
    // every value stepped so far, widened as rows arrive (integer, then
    // real, then text; blobs as bytes). Undecided: only NULLs so far.
    enum class Held { Declared, Undecided, Integer, Real, Text, Bytes };
    struct Column {
        Held held = Held::Undecided;
        bool bigInteger = false; // an integer a double does not hold exactly was seen
    };

    // A new connection with the text's tables attached; fills created with
    // the tables CREATE TABLE names, when given.
    sqlite3 *openConnection(const sql::Rewrite &rewrite, bool writable,
                            std::vector<std::pair<QString, QString>> *created) const;
    void connect(const sql::Rewrite &rewrite, bool writable);
    void disconnect();
    void prepareFirst(const sql::Rewrite &rewrite, const QByteArray &utf8);
    FieldDefs aggregateFields(const QString &sql, int columns) const;
    QVariant hold(std::size_t column, const QVariant &raw) const;
    void widen(std::size_t column, Held to) const;
    QString tablePath(const sql::TableRef &ref, bool mustExist = true) const;
    QString localCreate(const QString &rewritten) const;
    // CREATE [UNIQUE] INDEX name ON table (fields) and DROP INDEX
    // table.name, which SQLite cannot do on our tables: false for any other
    // statement.
    bool indexStatement(const QString &text);
    bool stepOne() const; // steps one row into the window; false at the end
    void keepCurrentRow() const; // the statement's current row into the window
    void restart() const;
    [[noreturn]] void sqlFailure() const;
    // A failure to prepare on db, placed in the user's text when SQLite can say where.
    [[noreturn]] static void prepareFailure(sqlite3 *db, const sql::Rewrite &rewrite, const QByteArray &utf8,
                                            qsizetype start);

    QStringList m_lines;
    QString m_directory;
    Session *m_session = nullptr;
    QString m_inputCodePage;
    std::vector<std::pair<QString, QString>> m_created; // SQL name -> path, for CREATE TABLE
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    mutable FieldDefs m_fields; // widened as rows arrive
    mutable std::vector<Column> m_columns;
    mutable std::deque<Record> m_window; // values in their columns' held forms
    mutable qint64 m_windowFirst = 0;
    mutable qint64 m_stepped = 0; // rows stepped since the statement started
    mutable qint64 m_total = -1; // known once the end was reached
};

} // namespace qvx
