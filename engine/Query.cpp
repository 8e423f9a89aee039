#include "Query.h"

#include "FileKinds.h"
#include "Session.h"
#include "Table.h"
#include "Value.h"
#include "io/File.h"
#include "sql/Dialect.h"
#include "sql/Functions.h"
#include "sql/TableModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <algorithm>

#include <sqlite3.h>

namespace qvx {

namespace {

// The statements SQLite cannot run on our tables (see Query::indexStatement).
const QRegularExpression &createIndexStatement();
const QRegularExpression &dropIndexStatement();

// Rows kept around the last one read; older ones are stepped again if asked for.
constexpr std::size_t kWindowRows = 256;

// A result value as SQLite gives it, before it takes its column's form.
QVariant rawValue(sqlite3_stmt *st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, col);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, col)),
                          sqlite3_column_bytes(st, col));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)),
                                 sqlite3_column_bytes(st, col));
    }
}

// Integers a double holds exactly.
constexpr qint64 kExactInDouble = qint64(1) << 53;

bool bigInteger(const QVariant &v)
{
    const qint64 n = v.toLongLong();
    return n > kExactInDouble || n < -kExactInDouble;
}

// A number as text: integers plainly, reals in the shortest form that reads
// back as the same double.
QString numberText(const QVariant &v)
{
    return v.typeId() == QMetaType::Double ? valueToText(v, FieldType::Float) : v.toString();
}

// The form a raw value (or one held by a narrower kind) takes in a column
// of a kind found from the values: none of them changes a value.
QVariant asKind(const QVariant &v, bool integer, bool real, bool bytes)
{
    if (v.isNull())
        return {};
    if (integer)
        return v;
    if (real)
        return v.toDouble();
    if (bytes)
        return v.typeId() == QMetaType::QByteArray ? v : QVariant(numberText(v).toUtf8());
    return numberText(v);
}

} // namespace

bool Query::returnsRows(const QString &sql)
{
    try {
        const QString word = sql::leadingKeyword(sql);
        return word == QLatin1String("SELECT") || word == QLatin1String("VALUES")
            || word == QLatin1String("EXPLAIN");
    } catch (const sql::SqlError &) {
        return false;
    }
}

bool Query::returnsRows() const
{
    if (createIndexStatement().match(sqlText()).hasMatch()
        || dropIndexStatement().match(sqlText()).hasMatch())
        return false;
    const sql::Rewrite rewrite = sql::rewriteDialect(sqlText());
    sqlite3 *db = openConnection(rewrite, false, nullptr);
    sqlite3_stmt *st = nullptr;
    const auto done = qScopeGuard([&] {
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
    const QByteArray bytes = rewrite.sql.toUtf8();
    if (sqlite3_prepare_v2(db, bytes.constData(), -1, &st, nullptr) != SQLITE_OK)
        prepareFailure(db, rewrite, bytes, 0);
    return st && sqlite3_column_count(st) > 0 && sqlite3_stmt_readonly(st);
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

void Query::prepareFailure(sqlite3 *db, const sql::Rewrite &rewrite, const QByteArray &utf8, qsizetype start)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    const int offset = sqlite3_error_offset(db);
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
        for (const char *ext : { ".db", ".dbf", ".txt", ".xml", ".cds" }) {
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

sqlite3 *Query::openConnection(const sql::Rewrite &rewrite, bool writable,
                               std::vector<std::pair<QString, QString>> *created) const
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw EngineError(QStringLiteral("Cannot start the SQL engine"));
    }
    auto failed = qScopeGuard([db] { sqlite3_close(db); });
    // A double-quoted token is a name to SQLite, never a string.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // Sorting and grouping keep SQLite's default page cache (2 MB) before
    // they spill to temporary files: measured, a bigger arena made a GROUP BY
    // or an ORDER BY over a million records slower (its pages are touched
    // anew for every statement) and cost as much memory as it held.
    // Case and order of text beyond ASCII.
    sql::registerFunctions(db);
    // Text tables read and write the forms of the query's session.
    sql::registerTableModule(db, textFormsOf(m_session ? m_session : Session::defaultSession()),
                             m_inputCodePage);
    for (const sql::TableRef &ref : rewrite.tables) {
        if (ref.use == sql::TableRef::Use::Create) {
            if (created)
                created->emplace_back(ref.name, tablePath(ref, false));
            continue;
        }
        if (ref.use == sql::TableRef::Use::Drop && !QFileInfo::exists(tablePath(ref, false)))
            continue; // DROP TABLE IF EXISTS of nothing
        const QString path = tablePath(ref);
        const FileKind *kind = fileKindForName(path);
        if (kind && kind->document == DocumentKind::DataPacket) {
            if (ref.use == sql::TableRef::Use::Drop)
                throw sql::SqlError(
                    ref.line, ref.column,
                    QStringLiteral("%1 is a data packet, which SQL does not delete").arg(path));
            sql::attachPacket(db, ref.name, path);
        } else // .dbf picks the dBASE driver, which reads FoxPro tables as well.
            sql::attachTable(db, ref.name, path, Table::typeForExtension(path), writable);
    }
    failed.dismiss();
    return db;
}

void Query::connect(const sql::Rewrite &rewrite, bool writable)
{
    disconnect();
    m_created.clear();
    m_db = openConnection(rewrite, writable, &m_created);
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

namespace {

// CREATE [UNIQUE] INDEX name ON table (fields) and DROP INDEX table.name.
const QRegularExpression &createIndexStatement()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*CREATE\\s+(UNIQUE\\s+)?INDEX\\s+(\"(?:[^\"]|\"\")+\"|\\w+)\\s+ON\\s+(.+?)\\s*"
                       "\\(([^()]*)\\)\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

const QRegularExpression &dropIndexStatement()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*DROP\\s+INDEX\\s+(.+)\\.\\s*(\"(?:[^\"]|\"\")+\"|\\w+)\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

// The names of a field list "(a, \"Company Name\", c)".
QStringList fieldList(const QString &text)
{
    QStringList out;
    for (QString name : text.split(u',')) {
        name = name.trimmed();
        if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"')
            name = name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        out << name;
    }
    return out;
}

} // namespace

bool Query::indexStatement(const QString &text)
{
    const QRegularExpressionMatch c = createIndexStatement().match(text);
    const QRegularExpressionMatch d = c.hasMatch() ? c : dropIndexStatement().match(text);
    if (!d.hasMatch())
        return false;
    // The table reference as a FROM clause would read it.
    const QString refText = (c.hasMatch() ? c.captured(3) : d.captured(1)).trimmed();
    const sql::Rewrite ref = sql::rewriteDialect(QStringLiteral("SELECT * FROM ") + refText);
    if (ref.tables.size() != 1)
        throw sql::SqlError(1, 1, QStringLiteral("%1 is not a table").arg(refText));
    const QString path = tablePath(ref.tables.front());
    QString name = c.hasMatch() ? c.captured(2) : d.captured(2);
    if (name.startsWith(u'"'))
        name = name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    const TableDriver &driver = Table::driverFor(Table::typeForExtension(path));
    if (c.hasMatch()) {
        IndexDef def;
        def.name = name;
        def.fields = fieldList(c.captured(4));
        if (!c.captured(1).isEmpty())
            def.options |= IndexDef::Unique;
        driver.createIndex(path, def);
    } else {
        driver.dropIndex(path, name);
    }
    return true;
}

qint64 Query::execSQL()
{
    close();
    if (indexStatement(sqlText()))
        return 0;
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
            prepareFailure(m_db, rewrite, text, start - text.constData());
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

void Query::prepareFirst(const sql::Rewrite &rewrite, const QByteArray &utf8)
{
    if (sqlite3_prepare_v2(m_db, utf8.constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
        prepareFailure(m_db, rewrite, utf8, 0);
    if (!m_stmt)
        throw EngineError(QStringLiteral("The SQL text holds no statement"));
}

// Result columns that are SUM, TOTAL, MIN or MAX of one table column: MIN
// and MAX give that column's own values, so they keep its type; a sum of
// decimals has the decimals of its terms, so SUM and TOTAL of a decimal
// column keep its scale, and print rounded to it. SQLite is asked what
// each such column is by preparing the statement with those columns added
// to its result. Fields of type Unknown where nothing is known.
FieldDefs Query::aggregateFields(const QString &sql, int columns) const
{
    FieldDefs out(static_cast<std::size_t>(columns));
    const sql::SelectList list = sql::selectList(sql);
    if (int(list.columns.size()) != columns)
        return out;
    QString added;
    std::vector<int> asked;
    for (int c = 0; c < columns; ++c) {
        const QString &function = list.columns[std::size_t(c)].function;
        if (sqlite3_column_decltype(m_stmt, c)
            || (function != QLatin1String("SUM") && function != QLatin1String("TOTAL")
                && function != QLatin1String("MIN") && function != QLatin1String("MAX")))
            continue;
        added += QStringLiteral(", ") + list.columns[std::size_t(c)].argument;
        asked.push_back(c);
    }
    if (asked.empty())
        return out;
    const QByteArray probeText = (sql.left(list.end) + added + u' ' + sql.mid(list.end)).toUtf8();
    sqlite3_stmt *probe = nullptr;
    const auto done = qScopeGuard([&] { sqlite3_finalize(probe); });
    if (sqlite3_prepare_v2(m_db, probeText.constData(), -1, &probe, nullptr) != SQLITE_OK || !probe
        || sqlite3_column_count(probe) != columns + int(asked.size()))
        return out; // a compound SELECT, say: nothing is known
    for (std::size_t k = 0; k < asked.size(); ++k) {
        int code = 0, size = 0, decimals = 0;
        if (!sql::parseDeclaredType(sqlite3_column_decltype(probe, columns + int(k)), code, size, decimals))
            continue;
        const FieldType type = fieldTypeFromCode(code);
        const QString &function = list.columns[std::size_t(asked[k])].function;
        if (function == QLatin1String("MIN") || function == QLatin1String("MAX"))
            out[std::size_t(asked[k])] = FieldDef(QString(), type, size, decimals);
        else if (valueKind(type) == ValueKind::Decimal) // a sum may need more digits than its terms
            out[std::size_t(asked[k])] = FieldDef(QString(), FieldType::BCD, std::max(size, 20), decimals);
    }
    return out;
}

FieldDefs Query::doOpen()
{
    const sql::Rewrite rewrite = sql::rewriteDialect(sqlText());
    const QByteArray bytes = rewrite.sql.toUtf8();
    // The tables are opened for writing only when the statement writes,
    // which SQLite says once it is prepared.
    connect(rewrite, false);
    // A statement that fails to start leaves no connection behind.
    auto notOpened = qScopeGuard([this] { disconnect(); });
    prepareFirst(rewrite, bytes);
    const bool writes = !sqlite3_stmt_readonly(m_stmt);
    if (writes) {
        connect(rewrite, true);
        prepareFirst(rewrite, bytes);
    }
    const int columns = sqlite3_column_count(m_stmt);
    if (columns == 0 || writes) {
        // Run it once, as a statement, then say why nothing opened: rows a
        // change gives back (RETURNING) are not a result set to step again.
        int rc;
        while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) { }
        if (rc != SQLITE_DONE)
            sqlFailure();
        throw EngineError(QStringLiteral("The SQL statement returns no result set"));
    }
    m_fields.clear();
    m_columns.assign(std::size_t(columns), Column());
    const FieldDefs aggregates = aggregateFields(rewrite.sql, columns);
    bool undecided = false;
    for (int c = 0; c < columns; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(m_stmt, c));
        int code = 0, size = 0, decimals = 0;
        if (sql::parseDeclaredType(sqlite3_column_decltype(m_stmt, c), code, size, decimals)) {
            m_fields.emplace_back(name, fieldTypeFromCode(code), size, decimals);
            m_columns[std::size_t(c)].held = Held::Declared;
        } else if (const FieldDef &a = aggregates[std::size_t(c)]; a.type != FieldType::Unknown) {
            m_fields.emplace_back(name, a.type, a.size, a.decimals);
            m_columns[std::size_t(c)].held = Held::Declared;
        } else {
            // Text until a value says otherwise.
            m_fields.emplace_back(name, FieldType::String, 255);
            undecided = true;
        }
        m_fields.back().readOnly = true;
    }
    m_window.clear();
    m_windowFirst = 0;
    m_stepped = 0;
    m_total = -1;
    // A computed column's kind comes from its values; the first row, once
    // stepped to learn it, is kept as the first of the result, so the
    // statement runs once.
    if (undecided)
        stepOne();
    notOpened.dismiss();
    return m_fields;
}

// The value in the column's held form, widening the column first when the
// value does not fit it.
QVariant Query::hold(std::size_t column, const QVariant &raw) const
{
    if (raw.isNull())
        return {};
    Column &c = m_columns[column];
    const int type = raw.typeId();
    const bool integer = type == QMetaType::LongLong;
    const bool bytes = type == QMetaType::QByteArray;
    const bool text = type == QMetaType::QString;
    const bool big = integer && bigInteger(raw);
    switch (c.held) {
    case Held::Declared:
        try {
            return coerceValue(raw, m_fields[column]);
        } catch (const EngineError &) {
            // Not a value of its declared type (a compound SELECT, say).
            widen(column, bytes ? Held::Bytes : Held::Text);
        }
        break;
    case Held::Undecided:
        widen(column, integer ? Held::Integer : bytes ? Held::Bytes : text ? Held::Text : Held::Real);
        break;
    case Held::Integer:
        if (bytes || text)
            widen(column, bytes ? Held::Bytes : Held::Text);
        else if (!integer)
            widen(column, c.bigInteger ? Held::Text : Held::Real);
        break;
    case Held::Real:
        if (bytes || text || big)
            widen(column, bytes ? Held::Bytes : Held::Text);
        break;
    case Held::Text:
        if (bytes)
            widen(column, Held::Bytes);
        break;
    case Held::Bytes:
        break;
    }
    c.bigInteger = c.bigInteger || big;
    return asKind(raw, c.held == Held::Integer, c.held == Held::Real, c.held == Held::Bytes);
}

void Query::widen(std::size_t column, Held to) const
{
    Column &c = m_columns[column];
    const Held from = c.held;
    const FieldDef before = m_fields[column];
    c.held = to;
    FieldDef &f = m_fields[column];
    f.decimals = 0;
    switch (to) {
    case Held::Integer:
        f.type = FieldType::LargeInt;
        f.size = 0;
        break;
    case Held::Real:
        f.type = FieldType::Float;
        f.size = 0;
        break;
    case Held::Bytes:
        f.type = FieldType::Blob;
        f.size = 0;
        break;
    default:
        f.type = FieldType::String;
        f.size = 255;
        break;
    }
    // The rows kept so far take the new form; their values stay what they were.
    for (Record &rec : m_window) {
        QVariant &v = rec[column];
        if (from == Held::Declared && !v.isNull())
            v = valueToText(v, before.type);
        v = asKind(v, to == Held::Integer, to == Held::Real, to == Held::Bytes);
    }
    // While the query opens, the data set takes the fields doOpen() gives.
    if (isOpen())
        const_cast<Query *>(this)->retypeField(int(column), f.type, f.size, f.decimals);
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
        rec[c] = hold(c, rawValue(m_stmt, int(c)));
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
    rec = rowAt(index);
}

QVariant Query::doReadField(qint64 index, int field) const
{
    const Record &rec = rowAt(index);
    return std::size_t(field) < rec.size() ? rec[std::size_t(field)] : QVariant();
}

const Record &Query::rowAt(qint64 index) const
{
    if (index < m_windowFirst)
        restart(); // behind the window: step from the start again
    while (m_stepped <= index) {
        if (!stepOne())
            throw EngineError(QStringLiteral("There is no record %1 in the result").arg(index + 1));
    }
    if (index < m_windowFirst)
        throw EngineError(QStringLiteral("There is no record %1 in the result").arg(index + 1));
    return m_window[std::size_t(index - m_windowFirst)];
}

} // namespace qvx
