// The SQL dialect users type and the program writes, rewritten into
// SQLite's. Table references name files ("/data/customer.db" customer),
// alias tables (":SHOP:customer.db") or bare names in the working folder;
// a double-quoted token anywhere else is a string literal, except after a
// full stop, where it names a field (customer."Company Name").
#pragma once

#include "../EngineError.h"

#include <QString>

#include <vector>

namespace qvx::sql {

// A syntax fault, with the line and column (from 1) of the user's text.
class SqlError : public EngineError {
public:
    SqlError(int line, int column, const QString &what)
        : EngineError(QStringLiteral("Line %1, column %2: %3").arg(line).arg(column).arg(what)),
          m_line(line),
          m_column(column)
    {
    }
    int line() const { return m_line; }
    int column() const { return m_column; }

private:
    int m_line;
    int m_column;
};

struct TableRef {
    enum class Kind { Path, Alias, Bare };
    enum class Use { Query, Create, Drop }; // named by CREATE TABLE or DROP TABLE
    Kind kind = Kind::Bare;
    Use use = Use::Query;
    QString spec; // as written, without quotes: "/data/customer.db", ":ALIAS:customer.db", "customer"
    QString alias; // for Kind::Alias, the alias name
    QString table; // the file name part ("customer.db"), or the bare name
    QString name; // the name the rewritten SQL uses for it
    int line = 0;
    int column = 0;
};

struct Rewrite {
    QString sql; // SQLite text
    std::vector<TableRef> tables; // each distinct reference once, in order of first use
    // Where each piece of the SQLite text came from: its offset in sql, and
    // the line and column of the user's text, in order of offset.
    struct Origin {
        qsizetype offset;
        int line;
        int column;
    };
    std::vector<Origin> origins;

    // The line and column of the user's text behind an offset in sql.
    void sourcePosition(qsizetype offset, int &line, int &column) const;
};

// Throws SqlError for unterminated strings, quoted names or comments and for
// malformed alias references.
Rewrite rewriteDialect(const QString &text);

// The first keyword of the text's first statement, in upper case, past white
// space, comments and a WITH clause: "SELECT" for "-- note\nWITH a AS
// (SELECT 1) SELECT * FROM a", "DELETE" for "/* x */ WITH a AS (...) DELETE
// ...". Empty when the text holds no statement or does not start with a
// word. Throws SqlError for unterminated strings, names or comments.
QString leadingKeyword(const QString &text);

// The result columns of a statement's SELECT (the first one of a compound),
// read from SQLite text such as rewriteDialect gives, so that what a column
// is computed from can be asked of SQLite: a column that is one function of
// one column ("SUM(c.CREDIT)", "max(\"Unit Price\") AS top") names both.
struct ResultColumn {
    QString function; // upper case; empty for any other expression
    QString argument; // the column reference as written
};
struct SelectList {
    // Empty when the statement is no SELECT or a column is "*" or "t.*".
    std::vector<ResultColumn> columns;
    qsizetype end = -1; // where the list ends in the text: more columns go there
};
SelectList selectList(const QString &sqliteText);

} // namespace qvx::sql
