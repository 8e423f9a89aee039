#include "Query.h"

#include "Session.h"
#include "Table.h"
#include "Value.h"
#include "io/File.h"
#include "sql/Dialect.h"
#include "sql/TableModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <sqlite3.h>

namespace qvx {

namespace {

// Rows kept around the last one read; older ones are stepped again if asked for.
constexpr std::size_t kWindowRows = 256;

QVariant fromSqlite(sqlite3_stmt *st, int col, const FieldDef &field)
{
    QVariant v;
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        v = qint64(sqlite3_column_int64(st, col));
        break;
    case SQLITE_FLOAT:
        v = sqlite3_column_double(st, col);
        break;
    case SQLITE_BLOB:
        v = QByteArray(static_cast<const char *>(sqlite3_column_blob(st, col)),
                       sqlite3_column_bytes(st, col));
        break;
    default:
        v = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)),
                              sqlite3_column_bytes(st, col));
        break;
    }
    try {
        return coerceValue(v, field);
    } catch (const EngineError &) {
        // An expression column whose rows differ in kind: show it as text.
        return v.typeId() == QMetaType::QByteArray ? v : QVariant(v.toString());
    }
}

} // namespace

bool Query::returnsRows(const QString &sql)
{
    // The first word decides whether the tables are opened for writing.
    const QString word = QString(sql)
                             .replace(QLatin1String("("), QLatin1String(" "))
                             .simplified()
                             .section(u' ', 0, 0)
                             .toUpper();
    return word == QLatin1String("SELECT") || word == QLatin1String("WITH")
        || word == QLatin1String("VALUES");
}

Query::Query() = default;

Query::~Query()
{
    close();
    disconnect();
}

void Query::loadSQLFromFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EngineError(path, QStringLiteral("cannot read it: %1").arg(f.errorString()));
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    setSQLText(text);
}

void Query::saveSQLToFile(const QString &path) const
{
    writeFileAtomically(path, (sqlText() + u'\n').toUtf8());
}

[[noreturn]] void Query::sqlFailure() const
{
    throw EngineError(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void Query::prepareFailure(const sql::Rewrite &rewrite, const QByteArray &utf8, qsizetype start) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    const int offset = sqlite3_error_offset(m_db);
    if (offset < 0)
        throw EngineError(message);
    const qsizetype at = QString::fromUtf8(utf8.left(start + offset)).size();
    int line = 1, column = 1;
    rewrite.sourcePosition(at, line, column);
    throw sql::SqlError(line, column, message);
}

QString Query::tablePath(const sql::TableRef &ref, bool mustExist) const
{
    QString path;
    switch (ref.kind) {
    case sql::TableRef::Kind::Path:
        path = ref.spec;
        break;
    case sql::TableRef::Kind::Alias:
        path = Session::resolveDatabase(m_session ? m_session : Session::defaultSession(), ref.alias)
            + ref.table;
        break;
    case sql::TableRef::Kind::Bare:
        path = QDir(m_directory.isEmpty() ? QDir::currentPath() : m_directory).filePath(ref.spec);
        break;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        for (const char *ext : { ".db", ".dbf", ".txt" }) {
            if (QFileInfo(path + QLatin1String(ext)).isFile())
                return path + QLatin1String(ext);
        }
    }
    if (!mustExist) {
        if (Table::typeForExtension(path) == Table::Default)
            throw sql::SqlError(
                ref.line, ref.column,
                QStringLiteral("%1 needs an extension that names its kind (.db, .dbf, .txt)").arg(path));
        return path;
    }
    if (!QFileInfo(path).isFile())
        throw sql::SqlError(ref.line, ref.column, QStringLiteral("the table %1 does not exist").arg(path));
    return path;
}

void Query::connect(const sql::Rewrite &rewrite, bool writable)
{
    disconnect();
    if (sqlite3_open(":memory:", &m_db) != SQLITE_OK)
        throw EngineError(QStringLiteral("Cannot start the SQL engine"));
    // A double-quoted token is a name to SQLite, never a string.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // Sorting and grouping keep up to 64 MB of rows in one arena before they
    // spill to temporary files (the default is 2 MB).
    sqlite3_exec(m_db, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
    // Text tables read and write the forms of the query's session.
    sql::registerTableModule(m_db, textFormsOf(m_session ? m_session : Session::defaultSession()));
    m_created.clear();
    for (const sql::TableRef &ref : rewrite.tables) {
        if (ref.use == sql::TableRef::Use::Create) {
            m_created.emplace_back(ref.name, tablePath(ref, false));
            continue;
        }
        if (ref.use == sql::TableRef::Use::Drop && !QFileInfo::exists(tablePath(ref, false)))
            continue; // DROP TABLE IF EXISTS of nothing
        const QString path = tablePath(ref);
        // .dbf picks the dBASE driver, which reads FoxPro tables as well.
        sql::attachTable(m_db, ref.name, path, Table::typeForExtension(path), writable);
    }
}

// CREATE TABLE makes a table file: the statement becomes the creation of a
// virtual table whose module writes the file from the column list.
QString Query::localCreate(const QString &rewritten) const
{
    static const QRegularExpression re(QStringLiteral("^(\\s*)CREATE\\s+TABLE\\s+(IF\\s+NOT\\s+EXISTS\\s+)?"
                                                      "\"((?:[^\"]|\"\")+)\"\\s*\\((.*)\\)\\s*;?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption
                                           | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = re.match(rewritten);
    if (!m.hasMatch())
        return rewritten;
    const QString name = m.captured(3).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    for (const auto &[sqlName, path] : m_created) {
        if (sqlName != name)
            continue;
        if (!m.captured(2).isEmpty() && QFileInfo::exists(path))
            return QStringLiteral("SELECT 1 WHERE 0"); // CREATE TABLE IF NOT EXISTS of a table that is there
        QString quotedPath = path;
        quotedPath.replace(u'\'', QStringLiteral("''"));
        return QStringLiteral("%1CREATE VIRTUAL TABLE temp.\"%2\" USING qvx_table('%3', %4, create, %5)")
            .arg(m.captured(1), m.captured(3), quotedPath)
            .arg(Table::typeForExtension(path))
            .arg(m.captured(4));
    }
    return rewritten;
}

void Query::disconnect()
{
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

qint64 Query::execSQL()
{
    close();
    const sql::Rewrite rewrite = sql::rewriteDialect(sqlText());
    connect(rewrite, true);
    const QByteArray text = localCreate(rewrite.sql).toUtf8();
    const char *tail = text.constData();
    // Done or failed, the connection goes, and with it the tables' writer locks.
    const auto done = qScopeGuard([this] { disconnect(); });
    qint64 changed = 0;
    while (tail && *tail) {
        sqlite3_stmt *st = nullptr;
        const char *start = tail;
        if (sqlite3_prepare_v2(m_db, tail, -1, &st, &tail) != SQLITE_OK)
            prepareFailure(rewrite, text, start - text.constData());
        if (!st)
            break; // only white space or comments were left
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) { }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            sqlFailure();
        changed += sqlite3_changes(m_db);
    }
    return changed;
}

FieldDefs Query::doOpen()
{
    const sql::Rewrite rewrite = sql::rewriteDialect(sqlText());
    const QString text = rewrite.sql;
    const bool query = returnsRows(text);
    connect(rewrite, !query);
    // A statement that fails to start leaves no connection behind.
    auto notOpened = qScopeGuard([this] { disconnect(); });
    const QByteArray bytes = text.toUtf8();
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(m_db, bytes.constData(), -1, &m_stmt, &tail) != SQLITE_OK)
        prepareFailure(rewrite, bytes, 0);
    if (!m_stmt)
        throw EngineError(QStringLiteral("The SQL text holds no statement"));
    const int columns = sqlite3_column_count(m_stmt);
    if (columns == 0) {
        // Run it once, as a statement, then say why nothing opened.
        const int rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            sqlFailure();
        throw EngineError(QStringLiteral("The SQL statement returns no result set"));
    }
    m_fields.clear();
    // An expression's kind comes from the first row's value; that row,
    // once stepped, is kept as the first of the result, so the statement
    // runs once.
    int firstStep = -1;
    for (int c = 0; c < columns; ++c) {
        int code = 0, size = 0, decimals = 0;
        FieldType type = FieldType::String;
        if (sql::parseDeclaredType(sqlite3_column_decltype(m_stmt, c), code, size, decimals)) {
            type = fieldTypeFromCode(code);
        } else {
            if (firstStep < 0) {
                firstStep = sqlite3_step(m_stmt);
                if (firstStep != SQLITE_ROW && firstStep != SQLITE_DONE)
                    sqlFailure();
            }
            if (firstStep == SQLITE_ROW) {
                switch (sqlite3_column_type(m_stmt, c)) {
                case SQLITE_INTEGER:
                    type = FieldType::LargeInt;
                    break;
                case SQLITE_FLOAT:
                    type = FieldType::Float;
                    break;
                case SQLITE_BLOB:
                    type = FieldType::Blob;
                    break;
                default:
                    size = 255;
                    break;
                }
            } else {
                size = 255;
            }
        }
        m_fields.emplace_back(QString::fromUtf8(sqlite3_column_name(m_stmt, c)), type, size, decimals);
        m_fields.back().readOnly = true;
    }
    m_window.clear();
    m_windowFirst = 0;
    m_stepped = 0;
    m_total = -1;
    if (firstStep == SQLITE_ROW)
        keepCurrentRow();
    else if (firstStep == SQLITE_DONE)
        m_total = 0;
    notOpened.dismiss();
    return m_fields;
}

void Query::doClose()
{
    disconnect();
    m_window.clear();
    m_total = -1;
}

void Query::restart() const
{
    sqlite3_reset(m_stmt);
    m_window.clear();
    m_windowFirst = 0;
    m_stepped = 0;
}

bool Query::stepOne() const
{
    if (m_total >= 0 && m_stepped >= m_total)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        m_total = m_stepped;
        return false;
    }
    if (rc != SQLITE_ROW)
        sqlFailure();
    keepCurrentRow();
    return true;
}

void Query::keepCurrentRow() const
{
    Record rec(m_fields.size());
    for (std::size_t c = 0; c < m_fields.size(); ++c)
        rec[c] = fromSqlite(m_stmt, int(c), m_fields[c]);
    if (m_window.empty())
        m_windowFirst = m_stepped;
    m_window.push_back(std::move(rec));
    if (m_window.size() > kWindowRows) {
        m_window.pop_front();
        ++m_windowFirst;
    }
    ++m_stepped;
}

bool Query::doHasRecord(qint64 index) const
{
    if (index < 0)
        return false;
    if (index < m_stepped)
        return true;
    while (m_stepped <= index) {
        if (!stepOne())
            return false;
    }
    return true;
}

qint64 Query::doRecordCount() const
{
    if (m_total < 0) {
        // Counting means stepping to the end; only the window is kept.
        while (stepOne()) { }
    }
    return m_total;
}

void Query::doRead(qint64 index, Record &rec) const
{
    if (index < m_windowFirst)
        restart(); // behind the window: step from the start again
    while (m_stepped <= index) {
        if (!stepOne())
            throw EngineError(QStringLiteral("There is no record %1 in the result").arg(index + 1));
    }
    if (index < m_windowFirst)
        throw EngineError(QStringLiteral("There is no record %1 in the result").arg(index + 1));
    rec = m_window[std::size_t(index - m_windowFirst)];
}

} // namespace qvx
