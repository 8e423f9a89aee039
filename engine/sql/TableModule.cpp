#include "TableModule.h"

#include "../EngineError.h"
#include "../Table.h"
#include "../Value.h"
#include "Like.h"
#include "PacketTable.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTime>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::sql {

namespace {

// The table type a module argument of "packet" stands for.
constexpr int kPacketType = -1;

// The records of one column by value, for lookups by =: the 64-bit hash of
// each value of the column's own class (numbers for a numeric column, text
// for a text column) with its record, sorted. A lookup gives the records
// whose hash matches, plus those holding a value of another class, in
// record order; SQLite checks every row it is given, so a hash collision
// costs a row, never a wrong answer.
struct ColumnIndex {
    std::vector<std::pair<std::uint64_t, qint64>> byHash;
    std::vector<qint64> others;
};

struct VTable : sqlite3_vtab {
    std::unique_ptr<OpenTable> table;
    QString path;
    int type = 0;
    // SQLite collects the rowids of an UPDATE or DELETE in one scan and
    // changes the rows after it. Where a rowid is a record's position, the
    // changes made since that scan move the records after them: removed
    // holds the removed rowids (sorted), moves each record an update moved.
    std::vector<qint64> removed;
    std::vector<std::pair<qint64, qint64>> moves;
    // Lookup indexes of columns a join constrains with =, built by the first
    // lookup of a statement (a connection lives for one statement) and
    // dropped by any change to the table.
    std::map<int, ColumnIndex> indexes;
    // The table's own indexes that can be searched (OpenTable::lookup).
    std::vector<SearchableIndex> searchable;
};

// Where the record a scan saw at rowid is now; -1 when it was removed.
qint64 currentIndex(const VTable &v, qint64 rowid)
{
    if (!v.table->positionalBookmarks())
        return v.table->indexOfBookmark(rowid);
    const auto at = std::lower_bound(v.removed.begin(), v.removed.end(), rowid);
    if (at != v.removed.end() && *at == rowid)
        return -1;
    qint64 index = rowid - qint64(at - v.removed.begin());
    for (const auto &[from, to] : v.moves) {
        if (index == from) {
            index = to;
            continue;
        }
        if (index > from)
            --index;
        if (index >= to)
            ++index;
    }
    return v.table->hasRecord(index) ? index : -1;
}

// One column of CREATE TABLE: name, type and size as SQL writes them
// ("NAME CHAR(20)", "\"Unit Price\" NUMERIC(10,2) NOT NULL").
FieldDef columnDefinition(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(?:\"((?:[^\"]|\"\")+)\"|'((?:[^']|'')+)'|([A-Za-z_][A-Za-z0-9_]*))"
                       "\\s+(DOUBLE\\s+PRECISION|[A-Za-z]+)"
                       "\\s*(?:\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\))?\\s*(NOT\\s+NULL)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        throw EngineError(
            QStringLiteral("'%1' is not a column definition (name, type and size)").arg(text.trimmed()));
    // A double-quoted name reaches us as the string the dialect made of it.
    QString name = m.captured(3);
    if (!m.captured(1).isEmpty())
        name = m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    else if (!m.captured(2).isEmpty())
        name = m.captured(2).replace(QStringLiteral("''"), QStringLiteral("'"));
    const QString type = m.captured(4).simplified().toUpper();
    const int size = m.captured(5).toInt();
    const int decimals = m.captured(6).toInt();
    static const QHash<QString, FieldType> types = {
        { QStringLiteral("CHAR"), FieldType::String },
        { QStringLiteral("CHARACTER"), FieldType::String },
        { QStringLiteral("VARCHAR"), FieldType::String },
        { QStringLiteral("SMALLINT"), FieldType::SmallInt },
        { QStringLiteral("INTEGER"), FieldType::Integer },
        { QStringLiteral("INT"), FieldType::Integer },
        { QStringLiteral("BIGINT"), FieldType::LargeInt },
        { QStringLiteral("FLOAT"), FieldType::Float },
        { QStringLiteral("REAL"), FieldType::Float },
        { QStringLiteral("DOUBLE"), FieldType::Float },
        { QStringLiteral("DOUBLE PRECISION"), FieldType::Float },
        { QStringLiteral("MONEY"), FieldType::Currency },
        { QStringLiteral("NUMERIC"), FieldType::BCD },
        { QStringLiteral("DECIMAL"), FieldType::BCD },
        { QStringLiteral("DATE"), FieldType::Date },
        { QStringLiteral("TIME"), FieldType::Time },
        { QStringLiteral("TIMESTAMP"), FieldType::DateTime },
        { QStringLiteral("BOOLEAN"), FieldType::Boolean },
        { QStringLiteral("BLOB"), FieldType::Blob },
        { QStringLiteral("MEMO"), FieldType::Memo },
        { QStringLiteral("AUTOINC"), FieldType::AutoInc },
    };
    const auto it = types.find(type);
    if (it == types.end())
        throw EngineError(
            QStringLiteral("Column %1: the type %2 is not one a local table can hold").arg(name, type));
    if (it.value() == FieldType::String && size <= 0)
        throw EngineError(
            QStringLiteral("Column %1: a character column needs a size, as in CHAR(20)").arg(name));
    return FieldDef(name, it.value(), size, decimals, !m.captured(7).isEmpty());
}

// A condition the scan checks itself before SQLite sees a row: column =
// constant, or column LIKE constant. It only skips rows the condition
// cannot hold for; SQLite checks the rows it is given again, so a value
// this check does not understand is passed on.
struct Filter {
    int column = 0;
    bool like = false;
    int valueType = SQLITE_NULL;
    qint64 integer = 0;
    double real = 0;
    std::string text;
    // A LIKE pattern, matched as the connection's LIKE does (sql/Like.h),
    // and its literal start as a pattern of its own ("Smi%" of "Smi_th"),
    // checked on the stored bytes before any text is converted.
    std::optional<LikePattern> pattern;
    std::optional<LikePattern> prefix;
    bool rawUnavailable = false; // the table cannot give this column's bytes
};

struct Cursor : sqlite3_vtab_cursor {
    qint64 index = 0;
    std::vector<Filter> filters;
    // ORDER BY ... LIMIT taken by the scan: the records of the result in
    // order, and the position in them. Empty ordered with ordering set is an
    // empty result.
    bool ordering = false;
    std::vector<qint64> ordered;
    std::size_t position = 0;
};

// One term of an ORDER BY the scan takes on.
struct OrderTerm {
    int column = 0;
    bool descending = false;
};

// Results kept by a scan that orders are capped: beyond this, SQLite's own
// sorter (which spills to disk) does the work.
constexpr qint64 kMaxOrderedRows = 100000;

QString argText(const char *arg)
{
    QString s = QString::fromUtf8(arg).trimmed();
    if (s.size() >= 2 && s.front() == u'\'' && s.back() == u'\'')
        s = s.mid(1, s.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return s;
}

// The declared type gives SQLite the affinity it needs for comparisons and
// carries the field's own type and size ("TEXT_Q9_0" is a date), so that a
// result column taken straight from a table keeps them.
QString declaredType(const FieldDef &f)
{
    const char *affinity = "TEXT";
    switch (valueKind(f.type)) {
    case ValueKind::Int:
    case ValueKind::Int64:
    case ValueKind::Bool:
        affinity = "INTEGER";
        break;
    case ValueKind::Double:
        affinity = "REAL";
        break;
    case ValueKind::Decimal:
        affinity = "NUMERIC";
        break;
    case ValueKind::Bytes:
        affinity = "BLOB";
        break;
    default:
        break;
    }
    return QStringLiteral("%1_Q%2_%3_%4")
        .arg(QLatin1String(affinity))
        .arg(fieldTypeCode(f.type))
        .arg(f.size)
        .arg(f.decimals);
}

void setError(sqlite3_vtab *vtab, const QString &message)
{
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", message.toUtf8().constData());
}

int connect(sqlite3 *db, void *aux, int argc, const char *const *argv, sqlite3_vtab **out, char **err)
{
    if (argc < 6) {
        *err = sqlite3_mprintf("qvx_table needs a path, a table type and ro or rw");
        return SQLITE_ERROR;
    }
    const QString path = argText(argv[3]);
    const bool packet = argText(argv[4]) == QLatin1String("packet");
    const int type = packet ? kPacketType : argText(argv[4]).toInt();
    const QString mode = argText(argv[5]);
    auto vtab = std::make_unique<VTable>();
    std::memset(static_cast<sqlite3_vtab *>(vtab.get()), 0, sizeof(sqlite3_vtab));
    vtab->path = path;
    vtab->type = type;
    try {
        if (packet) {
            if (mode == QLatin1String("create"))
                throw EngineError(path, QStringLiteral("SQL does not make data packets"));
            vtab->table = std::make_unique<PacketTable>(path);
        } else if (mode == QLatin1String("create")) {
            // CREATE TABLE: the columns follow as module arguments.
            FieldDefs fields;
            for (int i = 6; i < argc; ++i)
                fields.push_back(columnDefinition(QString::fromUtf8(argv[i])));
            if (fields.empty())
                throw EngineError(path, QStringLiteral("a table needs at least one column"));
            if (QFileInfo::exists(path))
                throw EngineError(path, QStringLiteral("the table exists already"));
            Table::driverFor(type).create(path, fields, CreateOptions {});
        }
        if (!packet) {
            OpenOptions options;
            options.readOnly = mode == QLatin1String("ro");
            const auto &moduleOptions = *static_cast<const ModuleOptions *>(aux);
            options.textForms = moduleOptions.forms;
            options.codePage = moduleOptions.codePage;
            vtab->table = Table::driverFor(type).open(path, options);
        }
    } catch (const std::exception &e) {
        *err = sqlite3_mprintf("%s", e.what());
        return SQLITE_ERROR;
    }
    QString schema = QStringLiteral("CREATE TABLE x(");
    const FieldDefs &fields = vtab->table->fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        QString name = fields[i].name;
        name.replace(u'"', QStringLiteral("\"\""));
        schema += (i ? QStringLiteral(", \"") : QStringLiteral("\"")) + name + QStringLiteral("\" ")
            + declaredType(fields[i]);
    }
    schema += u')';
    const int rc = sqlite3_declare_vtab(db, schema.toUtf8().constData());
    if (rc != SQLITE_OK) {
        *err = sqlite3_mprintf("%s: its field names cannot be used in SQL (%s)", path.toUtf8().constData(),
                               sqlite3_errmsg(db));
        return rc;
    }
    try {
        vtab->searchable = vtab->table->searchableIndexes();
    } catch (const std::exception &) {
        vtab->searchable.clear(); // an index that cannot be read is not used
    }
    *out = vtab.release();
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab *vtab)
{
    delete static_cast<VTable *>(vtab);
    return SQLITE_OK;
}

// DROP TABLE: the table's files go with it.
int destroy(sqlite3_vtab *base)
{
    auto *vtab = static_cast<VTable *>(base);
    if (vtab->type == kPacketType) {
        setError(base, QStringLiteral("%1: SQL does not delete data packets").arg(vtab->path));
        return SQLITE_ERROR;
    }
    vtab->table.reset(); // closes the files and gives up the lock first
    try {
        for (const QString &file : Table::driverFor(vtab->type).files(vtab->path)) {
            if (!QFile::remove(file))
                throw EngineError(file, QStringLiteral("cannot delete it"));
        }
    } catch (const std::exception &e) {
        setError(base, QString::fromUtf8(e.what()));
        return SQLITE_ERROR;
    }
    delete vtab;
    return SQLITE_OK;
}

// ORDER BY on columns with a LIMIT, over a table nothing else constrains:
// the scan keeps only the first LIMIT + OFFSET records in that order, instead
// of SQLite sorting every record. SQLite still applies the LIMIT and OFFSET
// to what the scan gives. Adds "N" (the limit), "F" (the offset) and
// "O<column><a|d>" per term to the plan.
void planOrderedLimit(const FieldDefs &fields, sqlite3_index_info *info, QByteArray &plan, int &argv)
{
    if (info->nOrderBy <= 0)
        return;
    int limit = -1, offset = -1;
    qint64 limitValue = 0, offsetValue = 0;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (c.op != SQLITE_INDEX_CONSTRAINT_LIMIT && c.op != SQLITE_INDEX_CONSTRAINT_OFFSET)
            return; // a condition SQLite checks after the scan could drop rows the scan kept
        sqlite3_value *rhs = nullptr;
        if (!c.usable || sqlite3_vtab_rhs_value(info, i, &rhs) != SQLITE_OK || !rhs
            || sqlite3_value_type(rhs) != SQLITE_INTEGER)
            return;
        (c.op == SQLITE_INDEX_CONSTRAINT_LIMIT ? limit : offset) = i;
        (c.op == SQLITE_INDEX_CONSTRAINT_LIMIT ? limitValue : offsetValue) = sqlite3_value_int64(rhs);
    }
    if (limit < 0 || limitValue < 0 || offsetValue < 0 || limitValue + offsetValue > kMaxOrderedRows)
        return;
    QByteArray terms;
    for (int i = 0; i < info->nOrderBy; ++i) {
        const int column = info->aOrderBy[i].iColumn;
        if (column < 0 || std::size_t(column) >= fields.size()
            || valueKind(fields[std::size_t(column)].type) == ValueKind::Bytes)
            return;
        terms += 'O' + QByteArray::number(column) + (info->aOrderBy[i].desc ? 'd' : 'a') + ',';
    }
    info->aConstraintUsage[limit].argvIndex = ++argv;
    plan += "N,";
    if (offset >= 0) {
        info->aConstraintUsage[offset].argvIndex = ++argv;
        plan += "F,";
    }
    plan += terms;
    info->orderByConsumed = 1;
    info->estimatedRows = std::max<qint64>(limitValue, 1);
}

// Can a lookup index serve = on this column? Text and numbers can;
// bytes cannot.
bool indexable(const FieldDefs &fields, int column)
{
    return column >= 0 && std::size_t(column) < fields.size()
        && valueKind(fields[std::size_t(column)].type) != ValueKind::Bytes;
}

// Whether SQLite compares the column's values as text (TEXT affinity) or
// as numbers (INTEGER, REAL or NUMERIC affinity): see declaredType().
bool textColumn(const FieldDef &f)
{
    switch (valueKind(f.type)) {
    case ValueKind::Int:
    case ValueKind::Int64:
    case ValueKind::Bool:
    case ValueKind::Double:
    case ValueKind::Decimal:
        return false;
    default:
        return true;
    }
}

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The hash of a number as = sees it: 2 and 2.0 are one value.
std::optional<std::uint64_t> numberHash(int type, qint64 integer, double real)
{
    if (type == SQLITE_INTEGER)
        return mix(std::uint64_t(integer));
    if (type != SQLITE_FLOAT || std::isnan(real))
        return std::nullopt;
    if (real >= -9223372036854775808.0 && real < 9223372036854775808.0 && real == std::trunc(real))
        return mix(std::uint64_t(qint64(real)));
    std::uint64_t bits;
    std::memcpy(&bits, &real, sizeof bits);
    return mix(bits ^ 0x5555555555555555ull);
}

std::uint64_t textHash(std::string_view text)
{
    return mix(std::hash<std::string_view>()(text));
}

// A search of one of the table's own indexes: = (or IN) on its field, or
// a range, or an ORDER BY of its field alone. The plan is
// "X<index>:<ops>", one op per argument: e for =, i for IN (all values at
// once), g/G for > and >=, l/L for < and <=; then "/a<column>" or
// "/d<column>" when the records come in the ORDER BY's order. Every
// constraint stays SQLite's to check: the index may give more records than
// match, never fewer.
bool planIndexSearch(const VTable &v, sqlite3_index_info *info, qint64 rows)
{
    const int orderColumn = info->nOrderBy == 1 ? info->aOrderBy[0].iColumn : -1;
    struct Choice {
        int index = -1;
        double cost = 0;
        double found = 0;
        std::vector<std::pair<int, char>> args; // constraint and op
        bool unique = false;
        bool ordered = false; // the records come in the ORDER BY's order
    } best;
    for (std::size_t n = 0; n < v.searchable.size(); ++n) {
        const SearchableIndex &s = v.searchable[n];
        int eq = -1, lower = -1, upper = -1;
        char lowerOp = 0, upperOp = 0;
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto &c = info->aConstraint[i];
            if (!c.usable || c.iColumn != s.field
                || QByteArrayView(sqlite3_vtab_collation(info, i)).compare("BINARY", Qt::CaseInsensitive)
                    != 0)
                continue;
            switch (c.op) {
            case SQLITE_INDEX_CONSTRAINT_EQ:
                if (eq < 0)
                    eq = i;
                break;
            case SQLITE_INDEX_CONSTRAINT_GT:
            case SQLITE_INDEX_CONSTRAINT_GE:
                if (lower < 0) {
                    lower = i;
                    lowerOp = c.op == SQLITE_INDEX_CONSTRAINT_GT ? 'g' : 'G';
                }
                break;
            case SQLITE_INDEX_CONSTRAINT_LT:
            case SQLITE_INDEX_CONSTRAINT_LE:
                if (upper < 0) {
                    upper = i;
                    upperOp = c.op == SQLITE_INDEX_CONSTRAINT_LT ? 'l' : 'L';
                }
                break;
            default:
                break;
            }
        }
        Choice choice;
        choice.index = int(n);
        choice.unique = s.unique;
        const double seek = 2 + std::log2(double(rows));
        bool in = false;
        if (eq >= 0) {
            in = sqlite3_vtab_in(info, eq, -1) != 0;
            choice.args.emplace_back(eq, in ? 'i' : 'e');
            choice.found = s.unique ? 1 : 4;
            if (in)
                choice.found *= 8;
            choice.cost = seek + choice.found;
        } else if (lower >= 0 || upper >= 0) {
            if (lower >= 0)
                choice.args.emplace_back(lower, lowerOp);
            if (upper >= 0)
                choice.args.emplace_back(upper, upperOp);
            choice.found = double(rows) / (lower >= 0 && upper >= 0 ? 16 : 4);
            choice.cost = seek + choice.found;
        } else if (orderColumn != s.field) {
            continue;
        } else {
            // The whole index in its order, instead of a scan and a sort.
            choice.found = double(rows);
            choice.cost = double(rows);
        }
        // Values found by IN come in record order, not the index's.
        try {
            choice.ordered = orderColumn == s.field && !in && v.table->indexOrderIsSqlOrder(int(n));
        } catch (const std::exception &) {
            choice.ordered = false;
        }
        if (choice.args.empty() && !choice.ordered)
            continue;
        if (best.index < 0 || choice.cost < best.cost)
            best = choice;
    }
    if (best.index < 0)
        return false;
    QByteArray plan = 'X' + QByteArray::number(best.index) + ':';
    for (int i = 0; i < info->nConstraint; ++i)
        info->aConstraintUsage[i].argvIndex = 0;
    int argv = 0;
    for (const auto &[constraint, op] : best.args) {
        if (op == 'i')
            sqlite3_vtab_in(info, constraint, 1);
        info->aConstraintUsage[constraint].argvIndex = ++argv;
        info->aConstraintUsage[constraint].omit = 0;
        plan += op;
    }
    if (best.ordered) {
        plan += (info->aOrderBy[0].desc ? "/d" : "/a") + QByteArray::number(orderColumn);
        info->orderByConsumed = 1;
    }
    info->estimatedRows = std::max<qint64>(qint64(best.found), 1);
    info->estimatedCost = best.cost;
    if (best.unique && best.args.size() == 1 && best.args.front().second == 'e')
        info->idxFlags |= SQLITE_INDEX_SCAN_UNIQUE;
    info->idxStr = sqlite3_mprintf("%s", plan.constData());
    info->needToFreeIdxStr = 1;
    return true;
}

int bestIndex(sqlite3_vtab *vtab, sqlite3_index_info *info)
{
    // Every plan is a full scan: the cost is the rows it visits, so that the
    // planner puts the smaller table outside a join. An = or LIKE against a
    // constant is also checked by the scan, which saves SQLite the rows it
    // rules out; constraints whose value comes from another table are left
    // alone, so joins are planned as before.
    qint64 rows = 1000;
    try {
        rows = static_cast<VTable *>(vtab)->table->estimatedRecordCount();
    } catch (const std::exception &) {
    }
    rows = std::max<qint64>(rows, 1);
    if (planIndexSearch(*static_cast<VTable *>(vtab), info, rows))
        return SQLITE_OK;
    QByteArray plan;
    int argv = 0;
    double selectivity = 1;
    const FieldDefs &fields = static_cast<VTable *>(vtab)->table->fields();
    int lookup = -1; // an = whose value comes from another table
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (!c.usable || c.iColumn < 0
            || (c.op != SQLITE_INDEX_CONSTRAINT_EQ && c.op != SQLITE_INDEX_CONSTRAINT_LIKE))
            continue;
        sqlite3_value *rhs = nullptr;
        if (sqlite3_vtab_rhs_value(info, i, &rhs) != SQLITE_OK || !rhs) {
            if (lookup < 0 && c.op == SQLITE_INDEX_CONSTRAINT_EQ && indexable(fields, c.iColumn)
                && QByteArrayView(sqlite3_vtab_collation(info, i)).compare("BINARY", Qt::CaseInsensitive)
                    == 0)
                lookup = i;
            continue;
        }
        info->aConstraintUsage[i].argvIndex = ++argv;
        info->aConstraintUsage[i].omit = 0;
        plan += (c.op == SQLITE_INDEX_CONSTRAINT_LIKE ? 'L' : 'E') + QByteArray::number(c.iColumn) + ',';
        selectivity *= c.op == SQLITE_INDEX_CONSTRAINT_EQ ? 0.01 : 0.25;
    }
    if (lookup >= 0) {
        // Looked up by value in the column's index: the index is built once
        // per statement (one scan), after which a lookup costs about the
        // rows it finds. The scan's own checks are dropped: SQLite checks
        // every constraint of the rows it is given.
        plan = 'H' + QByteArray::number(info->aConstraint[lookup].iColumn) + ',';
        for (int i = 0; i < info->nConstraint; ++i)
            info->aConstraintUsage[i].argvIndex = 0;
        info->aConstraintUsage[lookup].argvIndex = 1;
        info->aConstraintUsage[lookup].omit = 0;
        info->estimatedRows = 4;
        info->estimatedCost = 20 + std::log2(double(rows));
        info->idxStr = sqlite3_mprintf("%s", plan.constData());
        info->needToFreeIdxStr = 1;
        return SQLITE_OK;
    }
    info->estimatedRows = std::max<qint64>(qint64(double(rows) * selectivity), 1);
    info->estimatedCost = double(rows);
    planOrderedLimit(fields, info, plan, argv);
    if (!plan.isEmpty()) {
        info->idxStr = sqlite3_mprintf("%s", plan.constData());
        info->needToFreeIdxStr = 1;
    }
    return SQLITE_OK;
}

int open(sqlite3_vtab *, sqlite3_vtab_cursor **out)
{
    auto *c = new Cursor;
    std::memset(static_cast<sqlite3_vtab_cursor *>(c), 0, sizeof(sqlite3_vtab_cursor));
    c->index = 0;
    *out = c;
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor *cursor)
{
    delete static_cast<Cursor *>(cursor);
    return SQLITE_OK;
}

// A field's value as the scan's own check sees it.
class CheckSink final : public FieldSink {
public:
    int type = SQLITE_NULL;
    qint64 asInteger = 0;
    double asReal = 0;
    const char *asText = nullptr;
    qsizetype length = 0;
    void null() override { type = SQLITE_NULL; }
    void integer(qint64 v) override
    {
        type = SQLITE_INTEGER;
        asInteger = v;
    }
    void real(double v) override
    {
        type = SQLITE_FLOAT;
        asReal = v;
    }
    void text(const char *utf8, qsizetype n) override
    {
        type = SQLITE_TEXT;
        asText = utf8;
        length = n;
    }
};

// False only when the row cannot satisfy the filter.
bool mayMatch(const OpenTable &t, qint64 index, Filter &f)
{
    if (f.prefix && !f.rawUnavailable) {
        QByteArrayView raw;
        if (!t.readAsciiCompatibleText(index, f.column, raw))
            f.rawUnavailable = true;
        else if (!f.prefix->mayMatchStored(raw))
            return false;
    }
    CheckSink v;
    if (!t.readFieldTo(index, f.column, v))
        return true;
    if (v.type == SQLITE_NULL)
        return false; // = and LIKE are never true for NULL
    if (f.like) {
        if (v.type != SQLITE_TEXT || f.valueType != SQLITE_TEXT)
            return true;
        return f.pattern->matches(QByteArrayView(v.asText, v.length));
    }
    if (v.type == SQLITE_INTEGER && f.valueType == SQLITE_INTEGER)
        return v.asInteger == f.integer;
    if ((v.type == SQLITE_INTEGER || v.type == SQLITE_FLOAT)
        && (f.valueType == SQLITE_INTEGER || f.valueType == SQLITE_FLOAT)) {
        const long double a = v.type == SQLITE_INTEGER ? (long double)v.asInteger : (long double)v.asReal;
        const long double b = f.valueType == SQLITE_INTEGER ? (long double)f.integer : (long double)f.real;
        return a == b;
    }
    return true;
}

// Moves the cursor to the first record at or after its index that may
// pass its filters.
void skipRuledOut(Cursor *c)
{
    if (c->filters.empty())
        return;
    const OpenTable &t = *static_cast<VTable *>(c->pVtab)->table;
    for (; t.hasRecord(c->index); ++c->index) {
        bool may = true;
        for (Filter &f : c->filters)
            if (!mayMatch(t, c->index, f)) {
                may = false;
                break;
            }
        if (may)
            return;
    }
}

// A value as SQLite would be given it, kept for ordering.
struct SqlValue {
    int type = SQLITE_NULL;
    qint64 integer = 0;
    double real = 0;
    std::string text;
};

class ValueSink final : public FieldSink {
public:
    explicit ValueSink(SqlValue &v) : m_v(v) { }
    void null() override { m_v.type = SQLITE_NULL; }
    void integer(qint64 v) override
    {
        m_v.type = SQLITE_INTEGER;
        m_v.integer = v;
    }
    void real(double v) override
    {
        m_v.type = SQLITE_FLOAT;
        m_v.real = v;
    }
    void text(const char *utf8, qsizetype length) override
    {
        m_v.type = SQLITE_TEXT;
        m_v.text.assign(utf8, std::size_t(length));
    }

private:
    SqlValue &m_v;
};

void putValue(FieldSink &sink, const QVariant &v, FieldType type);

void readValue(const OpenTable &t, qint64 index, int column, SqlValue &out)
{
    ValueSink sink(out);
    if (!t.readFieldTo(index, column, sink))
        putValue(sink, t.readField(index, column), t.fields()[std::size_t(column)].type);
}

// SQLite's order of values under the BINARY collation: NULL, then numbers
// by value, then text by its UTF-8 bytes.
int compareValues(const SqlValue &a, const SqlValue &b)
{
    const auto rank = [](int type) { return type == SQLITE_NULL ? 0 : type == SQLITE_TEXT ? 2 : 1; };
    if (rank(a.type) != rank(b.type))
        return rank(a.type) < rank(b.type) ? -1 : 1;
    if (a.type == SQLITE_NULL)
        return 0;
    if (a.type == SQLITE_TEXT) {
        const int c = std::memcmp(a.text.data(), b.text.data(), std::min(a.text.size(), b.text.size()));
        if (c != 0)
            return c < 0 ? -1 : 1;
        return a.text.size() == b.text.size() ? 0 : a.text.size() < b.text.size() ? -1 : 1;
    }
    if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
        return a.integer == b.integer ? 0 : a.integer < b.integer ? -1 : 1;
    // A long double holds every 64-bit integer exactly.
    const long double x = a.type == SQLITE_INTEGER ? (long double)a.integer : (long double)a.real;
    const long double y = b.type == SQLITE_INTEGER ? (long double)b.integer : (long double)b.real;
    return x == y ? 0 : x < y ? -1 : 1;
}

// The first LIMIT + OFFSET records of the table in the order of terms; ties
// keep the records' own order.
std::vector<qint64> orderedRecords(const OpenTable &t, const std::vector<OrderTerm> &terms, qint64 keep)
{
    struct Entry {
        std::vector<SqlValue> keys;
        qint64 index = 0;
    };
    const auto before = [&](const Entry &a, const Entry &b) {
        for (std::size_t k = 0; k < terms.size(); ++k) {
            const int c = compareValues(a.keys[k], b.keys[k]);
            if (c != 0)
                return terms[k].descending ? c > 0 : c < 0;
        }
        return a.index < b.index;
    };
    std::vector<Entry> heap; // the best so far, worst on top
    if (keep <= 0)
        return {};
    Entry candidate;
    candidate.keys.resize(terms.size());
    for (qint64 index = 0; t.hasRecord(index); ++index) {
        candidate.index = index;
        // The first term alone usually rules a record out.
        readValue(t, index, terms[0].column, candidate.keys[0]);
        if (qint64(heap.size()) == keep) {
            const int c = compareValues(candidate.keys[0], heap.front().keys[0]);
            if ((terms[0].descending ? -c : c) > 0)
                continue;
        }
        for (std::size_t k = 1; k < terms.size(); ++k)
            readValue(t, index, terms[k].column, candidate.keys[k]);
        if (qint64(heap.size()) < keep) {
            heap.push_back(candidate);
            std::push_heap(heap.begin(), heap.end(), before);
        } else if (before(candidate, heap.front())) {
            std::pop_heap(heap.begin(), heap.end(), before);
            heap.back() = candidate;
            std::push_heap(heap.begin(), heap.end(), before);
        }
    }
    std::sort_heap(heap.begin(), heap.end(), before);
    std::vector<qint64> out;
    out.reserve(heap.size());
    for (const Entry &e : heap)
        out.push_back(e.index);
    return out;
}

// Reads the column of every record into its lookup index.
ColumnIndex buildIndex(const OpenTable &t, int column)
{
    ColumnIndex index;
    const bool text = textColumn(t.fields()[std::size_t(column)]);
    SqlValue v;
    for (qint64 i = 0; t.hasRecord(i); ++i) {
        readValue(t, i, column, v);
        if (v.type == SQLITE_NULL)
            continue; // = is never true for NULL
        std::optional<std::uint64_t> hash;
        if (text && v.type == SQLITE_TEXT)
            hash = textHash(v.text);
        else if (!text)
            hash = numberHash(v.type, v.integer, v.real);
        if (hash)
            index.byHash.emplace_back(*hash, i);
        else
            index.others.push_back(i);
    }
    std::sort(index.byHash.begin(), index.byHash.end());
    return index;
}

// The records whose column may equal value, in record order; nullopt when
// the index cannot tell (a value SQLite would first convert to the
// column's class), and every record must be scanned.
std::optional<std::vector<qint64>> lookUp(VTable &v, int column, sqlite3_value *value)
{
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL)
        return std::vector<qint64>();
    const bool text = textColumn(v.table->fields()[std::size_t(column)]);
    std::optional<std::uint64_t> hash;
    if (text && type == SQLITE_TEXT)
        hash = textHash(std::string_view(reinterpret_cast<const char *>(sqlite3_value_text(value)),
                                         std::size_t(sqlite3_value_bytes(value))));
    else if (!text && (type == SQLITE_INTEGER || type == SQLITE_FLOAT))
        hash = numberHash(type, sqlite3_value_int64(value), sqlite3_value_double(value));
    if (!hash) {
        if (!text && type == SQLITE_FLOAT)
            return std::vector<qint64>(); // NaN equals nothing
        return std::nullopt;
    }
    auto it = v.indexes.find(column);
    if (it == v.indexes.end())
        it = v.indexes.emplace(column, buildIndex(*v.table, column)).first;
    const ColumnIndex &index = it->second;
    std::vector<qint64> out = index.others;
    auto range = std::equal_range(index.byHash.begin(), index.byHash.end(), std::pair(*hash, qint64(-1)),
                                  [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto at = range.first; at != range.second; ++at)
        out.push_back(at->second);
    if (!index.others.empty())
        std::sort(out.begin(), out.end());
    return out;
}

// A value SQLite hands a search as the table's lookup() takes it.
QVariant searchValue(sqlite3_value *value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(value));
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(value)),
                                 sqlite3_value_bytes(value));
    default:
        return {};
    }
}

// Runs an index search plan ("X<index>:<ops>"); false when the index cannot
// answer for these values, and the scan must visit every record.
bool searchIndex(VTable &v, Cursor *c, const QByteArray &plan, int argc, sqlite3_value **argv)
{
    const int colon = plan.indexOf(':');
    const int slash = plan.indexOf('/');
    const int index = plan.mid(1, colon - 1).toInt();
    const QByteArray ops = plan.mid(colon + 1, slash < 0 ? -1 : slash - colon - 1);
    const bool descending = slash >= 0 && plan.mid(slash + 1, 1) == "d";
    if (colon < 0 || ops.size() != argc)
        return false;
    std::vector<qint64> bookmarks;
    std::vector<qint64> found;
    const auto search = [&](const KeyRange &range) {
        found.clear();
        if (!v.table->lookup(index, range, found))
            return false;
        bookmarks.insert(bookmarks.end(), found.begin(), found.end());
        return true;
    };
    bool many = false; // from more than one search: sorted and made distinct
    KeyRange range;
    for (int i = 0; i < argc; ++i) {
        const char op = ops[i];
        if (op == 'i') {
            sqlite3_value *value = nullptr;
            for (int rc = sqlite3_vtab_in_first(argv[i], &value); rc == SQLITE_OK && value;
                 rc = sqlite3_vtab_in_next(argv[i], &value)) {
                const QVariant key = searchValue(value);
                if (key.isNull())
                    continue; // = NULL is never true
                KeyRange one;
                one.low = one.high = key;
                if (!search(one))
                    return false;
            }
            many = true;
            continue;
        }
        const QVariant key = searchValue(argv[i]);
        if (key.isNull()) {
            // Nothing compares true with NULL.
            c->ordering = true;
            c->ordered.clear();
            c->index = -1;
            return true;
        }
        if (op == 'e') {
            range.low = range.high = key;
        } else if (op == 'g' || op == 'G') {
            range.low = key;
        } else {
            range.high = key;
        }
    }
    if (!many && !search(range))
        return false;
    if (many) {
        std::sort(bookmarks.begin(), bookmarks.end());
        bookmarks.erase(std::unique(bookmarks.begin(), bookmarks.end()), bookmarks.end());
    }
    c->ordering = true;
    c->ordered.clear();
    c->ordered.reserve(bookmarks.size());
    for (qint64 bm : bookmarks) {
        const qint64 at = v.table->indexOfBookmark(bm);
        if (at >= 0) // deleted records stay in the index
            c->ordered.push_back(at);
    }
    if (descending)
        std::reverse(c->ordered.begin(), c->ordered.end());
    c->index = c->ordered.empty() ? -1 : c->ordered.front();
    return true;
}

int filter(sqlite3_vtab_cursor *cursor, int, const char *plan, int argc, sqlite3_value **argv)
{
    auto *c = static_cast<Cursor *>(cursor);
    c->index = 0;
    c->filters.clear();
    // A new scan hands out rowids of the table as it is now.
    auto *v = static_cast<VTable *>(c->pVtab);
    v->removed.clear();
    v->moves.clear();
    const QList<QByteArray> parts = QByteArray(plan ? plan : "").split(',');
    int arg = 0;
    c->ordering = false;
    c->ordered.clear();
    c->position = 0;
    std::vector<OrderTerm> terms;
    qint64 keep = 0;
    int lookupColumn = -1;
    sqlite3_value *lookupValue = nullptr;
    if (parts.front().startsWith('X')) {
        try {
            if (searchIndex(*v, c, parts.front(), argc, argv))
                return SQLITE_OK;
            // The index cannot answer: every record is scanned, and sorted
            // here when SQLite was promised the ORDER BY's order.
            const int slash = parts.front().indexOf('/');
            if (slash >= 0) {
                const std::vector<OrderTerm> order { { parts.front().mid(slash + 2).toInt(),
                                                       parts.front().mid(slash + 1, 1) == "d" } };
                c->ordering = true;
                c->ordered = orderedRecords(*v->table, order, std::numeric_limits<qint64>::max());
                c->index = c->ordered.empty() ? -1 : c->ordered.front();
            }
        } catch (const std::exception &e) {
            setError(c->pVtab, QString::fromUtf8(e.what()));
            return SQLITE_ERROR;
        }
        return SQLITE_OK;
    }
    for (const QByteArray &part : parts) {
        if (part.startsWith('O') && part.size() >= 3) {
            terms.push_back({ part.mid(1, part.size() - 2).toInt(), part.back() == 'd' });
            continue;
        }
        if (part.isEmpty() || arg >= argc)
            continue;
        if (part == "N" || part == "F") {
            keep += std::max<qint64>(sqlite3_value_int64(argv[arg++]), 0);
            continue;
        }
        if (part[0] == 'H') {
            lookupColumn = part.mid(1).toInt();
            lookupValue = argv[arg++];
            continue;
        }
        Filter f;
        f.like = part[0] == 'L';
        f.column = part.mid(1).toInt();
        sqlite3_value *v = argv[arg++];
        f.valueType = sqlite3_value_type(v);
        if (f.valueType == SQLITE_INTEGER)
            f.integer = sqlite3_value_int64(v);
        else if (f.valueType == SQLITE_FLOAT)
            f.real = sqlite3_value_double(v);
        else if (f.valueType == SQLITE_TEXT)
            f.text.assign(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                          std::size_t(sqlite3_value_bytes(v)));
        else if (f.valueType != SQLITE_NULL)
            continue; // a blob: SQLite checks it
        if (!f.like && f.valueType == SQLITE_TEXT)
            continue; // text against a number column goes through affinity: SQLite checks it
        if (f.like && f.valueType == SQLITE_TEXT) {
            // SQLite hands a scan only LIKE without ESCAPE.
            f.pattern.emplace(QByteArrayView(f.text.data(), qsizetype(f.text.size())));
            f.prefix = f.pattern->prefix();
        }
        c->filters.push_back(std::move(f));
    }
    try {
        if (lookupColumn >= 0 && std::size_t(lookupColumn) < v->table->fields().size()) {
            std::optional<std::vector<qint64>> found = lookUp(*v, lookupColumn, lookupValue);
            if (found) {
                c->ordering = true;
                c->ordered = std::move(*found);
                c->index = c->ordered.empty() ? -1 : c->ordered.front();
                return SQLITE_OK;
            }
        }
        if (!terms.empty()) {
            c->ordering = true;
            c->ordered = orderedRecords(*v->table, terms, std::min(keep, kMaxOrderedRows));
            c->index = c->ordered.empty() ? -1 : c->ordered.front();
            return SQLITE_OK;
        }
        skipRuledOut(c);
    } catch (const std::exception &e) {
        setError(c->pVtab, QString::fromUtf8(e.what()));
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *cursor)
{
    auto *c = static_cast<Cursor *>(cursor);
    if (c->ordering) {
        ++c->position;
        c->index = c->position < c->ordered.size() ? c->ordered[c->position] : -1;
        return SQLITE_OK;
    }
    ++c->index;
    try {
        skipRuledOut(c);
    } catch (const std::exception &e) {
        setError(c->pVtab, QString::fromUtf8(e.what()));
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *cursor)
{
    auto *c = static_cast<Cursor *>(cursor);
    if (c->ordering)
        return c->position < c->ordered.size() ? 0 : 1;
    try {
        return static_cast<VTable *>(c->pVtab)->table->hasRecord(c->index) ? 0 : 1;
    } catch (const std::exception &e) {
        setError(c->pVtab, QString::fromUtf8(e.what()));
        return 1;
    }
}

// A value from readField() as SQL is given it: whole-number kinds as
// integers, decimals as a sink takes them from the record bytes
// (putDecimal), dates and times as ISO text. Bytes are the caller's.
void putValue(FieldSink &sink, const QVariant &v, FieldType type)
{
    if (v.isNull()) {
        sink.null();
        return;
    }
    switch (valueKind(type)) {
    case ValueKind::Int:
    case ValueKind::Int64:
        sink.integer(v.toLongLong());
        return;
    case ValueKind::Bool:
        sink.integer(v.toBool() ? 1 : 0);
        return;
    case ValueKind::Double:
        sink.real(v.toDouble());
        return;
    case ValueKind::Decimal: {
        if (v.typeId() != QMetaType::QString) { // a decimal held as a number
            putNumeric(sink, v.toDouble());
            return;
        }
        const QByteArray t = v.toString().toUtf8();
        putDecimal(sink, t.constData(), t.size());
        return;
    }
    default: {
        const QByteArray t = valueToText(v, type).toUtf8();
        sink.text(t.constData(), t.size());
        return;
    }
    }
}

// Values straight from a table's record bytes into SQLite.
class ResultSink final : public FieldSink {
public:
    explicit ResultSink(sqlite3_context *ctx) : m_ctx(ctx) { }
    void null() override { sqlite3_result_null(m_ctx); }
    void integer(qint64 v) override { sqlite3_result_int64(m_ctx, v); }
    void real(double v) override { sqlite3_result_double(m_ctx, v); }
    void text(const char *utf8, qsizetype length) override
    {
        sqlite3_result_text64(m_ctx, utf8, sqlite3_uint64(length), SQLITE_TRANSIENT, SQLITE_UTF8);
    }

private:
    sqlite3_context *m_ctx;
};

int column(sqlite3_vtab_cursor *cursor, sqlite3_context *ctx, int col)
{
    auto *c = static_cast<Cursor *>(cursor);
    const OpenTable &t = *static_cast<VTable *>(c->pVtab)->table;
    try {
        ResultSink sink(ctx);
        if (t.readFieldTo(c->index, col, sink))
            return SQLITE_OK;
        const QVariant v = t.readField(c->index, col);
        const FieldType type = t.fields()[std::size_t(col)].type;
        if (valueKind(type) == ValueKind::Bytes && !v.isNull()) {
            const QByteArray b = v.toByteArray();
            sqlite3_result_blob64(ctx, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            return SQLITE_OK;
        }
        putValue(sink, v, type);
    } catch (const std::exception &e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *out)
{
    auto *c = static_cast<Cursor *>(cursor);
    *out = static_cast<VTable *>(c->pVtab)->table->bookmark(c->index);
    return SQLITE_OK;
}

QVariant fromSqlite(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return qint64(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    }
}

int update(sqlite3_vtab *vtab, int argc, sqlite3_value **argv, sqlite3_int64 *)
{
    auto &v = *static_cast<VTable *>(vtab);
    OpenTable &t = *v.table;
    v.indexes.clear(); // they would point at records as they were
    try {
        auto indexOf = [&](sqlite3_value *id) {
            const qint64 index = currentIndex(v, sqlite3_value_int64(id));
            if (index < 0)
                throw EngineError(QStringLiteral("Record not found"));
            return index;
        };
        if (argc == 1) {
            const qint64 rowid = sqlite3_value_int64(argv[0]);
            t.remove(indexOf(argv[0]));
            if (t.positionalBookmarks() && v.moves.empty())
                v.removed.insert(std::upper_bound(v.removed.begin(), v.removed.end(), rowid), rowid);
            else if (t.positionalBookmarks())
                throw EngineError(QStringLiteral("Records cannot be moved and removed in one statement"));
            return SQLITE_OK;
        }
        const FieldDefs &fields = t.fields();
        Record rec(fields.size());
        for (std::size_t i = 0; i < fields.size() && int(i) + 2 < argc; ++i) {
            // An integer for a floating-point field goes to the table as it
            // is: a text table writes all its digits, and the others make
            // the double themselves.
            if (valueKind(fields[i].type) == ValueKind::Double
                && sqlite3_value_type(argv[i + 2]) == SQLITE_INTEGER)
                rec[i] = qint64(sqlite3_value_int64(argv[i + 2]));
            else
                rec[i] = coerceValue(fromSqlite(argv[i + 2]), fields[i]);
        }
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            if (sqlite3_value_type(argv[1]) != SQLITE_NULL)
                throw EngineError(QStringLiteral("A record number cannot be given to a new record"));
            t.insert(t.recordCount(), rec);
        } else {
            if (sqlite3_value_int64(argv[0]) != sqlite3_value_int64(argv[1]))
                throw EngineError(QStringLiteral("A record number cannot be changed"));
            const qint64 index = indexOf(argv[0]);
            const qint64 now = t.update(index, rec);
            if (now != index && t.positionalBookmarks()) {
                if (!v.removed.empty())
                    throw EngineError(QStringLiteral("Records cannot be moved and removed in one statement"));
                v.moves.emplace_back(index, now);
            }
        }
    } catch (const std::exception &e) {
        setError(vtab, QString::fromUtf8(e.what()));
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

// A write statement reaches each table's file all together or not at all.
// SQLite begins a transaction on every table a statement writes; it syncs
// and commits it when the statement (or the transaction around it)
// succeeds, and rolls it back when it fails. Tables that can (text tables)
// keep the changes in memory meanwhile, so the file is written once, in
// sync, where a failure still rolls everything back.
// Runs one step of the open table's batch, telling SQLite of a failure.
int batchStep(sqlite3_vtab *vtab, void (OpenTable::*step)())
{
    try {
        (static_cast<VTable *>(vtab)->table.get()->*step)();
    } catch (const std::exception &e) {
        setError(vtab, QString::fromUtf8(e.what()));
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int beginTransaction(sqlite3_vtab *vtab)
{
    return batchStep(vtab, &OpenTable::beginBatch);
}

int syncTransaction(sqlite3_vtab *vtab)
{
    return batchStep(vtab, &OpenTable::commitBatch);
}

int commitTransaction(sqlite3_vtab *)
{
    return SQLITE_OK; // written in sync
}

int rollbackTransaction(sqlite3_vtab *vtab)
{
    return batchStep(vtab, &OpenTable::rollbackBatch);
}

const sqlite3_module kModule = {
    /* iVersion */ 1,
    /* xCreate */ connect,
    /* xConnect */ connect,
    /* xBestIndex */ bestIndex,
    /* xDisconnect */ disconnect,
    /* xDestroy */ destroy,
    /* xOpen */ open,
    /* xClose */ close,
    /* xFilter */ filter,
    /* xNext */ next,
    /* xEof */ eof,
    /* xColumn */ column,
    /* xRowid */ rowid,
    /* xUpdate */ update,
    /* xBegin */ beginTransaction,
    /* xSync */ syncTransaction,
    /* xCommit */ commitTransaction,
    /* xRollback */ rollbackTransaction,
    /* xFindFunction */ nullptr,
    /* xRename */ nullptr,
    /* xSavepoint */ nullptr,
    /* xRelease */ nullptr,
    /* xRollbackTo */ nullptr,
    /* xShadowName */ nullptr,
};

} // namespace

bool parseDeclaredType(const char *declared, int &typeCode, int &size, int &decimals)
{
    if (!declared)
        return false;
    const QStringList parts = QString::fromLatin1(declared).split(u'_');
    if (parts.size() != 4 || !parts[1].startsWith(u'Q'))
        return false;
    bool a = false, b = false, c = false;
    typeCode = parts[1].mid(1).toInt(&a);
    size = parts[2].toInt(&b);
    decimals = parts[3].toInt(&c);
    return a && b && c;
}

void registerTableModule(sqlite3 *db, const TextForms &forms, const QString &codePage)
{
    // The module keeps its own copy; SQLite deletes it with the connection
    // (or at once when registering fails).
    const auto deleteOptions = [](void *p) { delete static_cast<ModuleOptions *>(p); };
    if (sqlite3_create_module_v2(db, "qvx_table", &kModule, new ModuleOptions { forms, codePage },
                                 deleteOptions)
        != SQLITE_OK)
        throw EngineError(
            QStringLiteral("Cannot prepare SQL: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
}

namespace {

void createVirtualTable(sqlite3 *db, const QString &name, const QString &path, const QString &type,
                        bool writable)
{
    QString quotedName = name;
    quotedName.replace(u'"', QStringLiteral("\"\""));
    QString quotedPath = path;
    quotedPath.replace(u'\'', QStringLiteral("''"));
    const QString sql
        = QStringLiteral("CREATE VIRTUAL TABLE temp.\"%1\" USING qvx_table('%2', %3, %4)")
              .arg(quotedName, quotedPath, type, writable ? QStringLiteral("rw") : QStringLiteral("ro"));
    char *err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString message = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        throw EngineError(message);
    }
}

} // namespace

void attachTable(sqlite3 *db, const QString &name, const QString &path, int tableType, bool writable)
{
    createVirtualTable(db, name, path, QString::number(tableType), writable);
}

void attachPacket(sqlite3 *db, const QString &name, const QString &path)
{
    createVirtualTable(db, name, path, QStringLiteral("packet"), false);
}

} // namespace qvx::sql
