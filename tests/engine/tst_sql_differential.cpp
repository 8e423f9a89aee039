// The same queries over the same rows, once through Query over table files
// (a dBASE customer table and a Paradox order table) and once through plain
// SQLite over native tables, given the engine's functions and collations
// too: the answers must be the same. Where our result column declares a
// scale (a decimal column, or its sum), the native answer is compared at
// that scale.
#include "engine/Query.h"
#include "engine/Table.h"
#include "engine/Value.h"
#include "engine/sql/Functions.h"

#include <QtTest>
#include <sqlite3.h>

using namespace qvx;

namespace {

// Values as both sides print them: integers plainly, reals in the shortest
// exact form, NULL as <null>.
QString shown(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

} // namespace

class SqlDifferentialTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    sqlite3 *native = nullptr;

    void makeTable(const QString &name, int type, const FieldDefs &fields, const std::vector<Record> &rows)
    {
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(name);
        t.setTableType(type);
        for (const FieldDef &f : fields)
            t.addFieldDef(f.name, f.type, f.size, false, f.decimals);
        t.createTable();
        t.open();
        for (const Record &r : rows)
            t.appendRecord(r);
    }

    // Copies what the file holds (as our engine reads it) into a native table.
    void loadNative(const QString &file, const QString &table)
    {
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(file);
        t.open();
        // Each column with the affinity the table module declares for it, so
        // that comparisons between text and numbers convert alike.
        QStringList cols, marks;
        for (const FieldDef &f : t.fields()) {
            const ValueKind kind = valueKind(f.type);
            const char *affinity
                = kind == ValueKind::Int || kind == ValueKind::Int64 || kind == ValueKind::Bool ? "INTEGER"
                : kind == ValueKind::Double                                                     ? "REAL"
                : kind == ValueKind::Decimal                                                    ? "NUMERIC"
                                                                                                : "TEXT";
            cols << f.name + u' ' + QLatin1String(affinity);
            marks << QStringLiteral("?");
        }
        exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, cols.join(u',')));
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(native,
                           QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, marks.join(u',')).toUtf8(),
                           -1, &st, nullptr);
        for (t.first(); !t.eof(); t.next()) {
            for (int i = 0; i < t.fieldCount(); ++i) {
                const QVariant v = t.value(i);
                const ValueKind kind = valueKind(t.field(i).type);
                if (v.isNull())
                    sqlite3_bind_null(st, i + 1);
                else if (kind == ValueKind::Int || kind == ValueKind::Int64 || kind == ValueKind::Bool)
                    sqlite3_bind_int64(st, i + 1, v.toLongLong());
                else if (kind == ValueKind::Double || kind == ValueKind::Decimal)
                    sqlite3_bind_double(st, i + 1, v.toDouble());
                else
                    sqlite3_bind_text(st, i + 1, valueToText(v, t.field(i).type).toUtf8().constData(), -1,
                                      SQLITE_TRANSIENT);
            }
            QCOMPARE(sqlite3_step(st), SQLITE_DONE);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }

    void exec(const QString &sql)
    {
        char *err = nullptr;
        if (sqlite3_exec(native, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK)
            QFAIL(err);
    }

    // The native rows, a real in a column we give decimals rounded to them.
    QStringList nativeRows(const QString &sql, const FieldDefs &ours)
    {
        QStringList rows;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(native, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            return { QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(native)) };
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList cols;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL:
                    cols << shown(QVariant());
                    break;
                case SQLITE_INTEGER:
                    cols << QString::number(sqlite3_column_int64(st, i));
                    break;
                case SQLITE_FLOAT: {
                    double d = sqlite3_column_double(st, i);
                    if (std::size_t(i) < ours.size() && ours[std::size_t(i)].type == FieldType::BCD
                        && ours[std::size_t(i)].decimals > 0)
                        d = QString::number(d, 'f', ours[std::size_t(i)].decimals).toDouble();
                    cols << shown(d);
                    break;
                }
                default:
                    cols << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
                }
            }
            rows << cols.join(u'|');
        }
        sqlite3_finalize(st);
        return rows;
    }

    // The statement with its tables named by their files.
    QString withFiles(const QString &sql) const
    {
        return QString(sql)
            .replace(QLatin1String("{C}"), u'"' + dir.filePath("customer.dbf") + u'"')
            .replace(QLatin1String("{O}"), u'"' + dir.filePath("orders.db") + u'"')
            .replace(QLatin1String("{R}"), u'"' + dir.filePath("regions.txt") + u'"');
    }

    QStringList ourRows(const QString &sql, FieldDefs &fields)
    {
        Query q;
        q.setSQLText(sql);
        q.open();
        fields = q.fields();
        QStringList rows;
        for (q.first(); !q.eof(); q.next()) {
            QStringList cols;
            for (int i = 0; i < q.fieldCount(); ++i) {
                QVariant v = q.value(i);
                // Dates and times come back typed; the native side has their text.
                if (!v.isNull()
                    && (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QTime
                        || v.typeId() == QMetaType::QDateTime))
                    v = valueToText(v, q.field(i).type);
                if (!v.isNull() && v.typeId() == QMetaType::Bool)
                    v = v.toBool() ? 1 : 0;
                if (!v.isNull() && q.field(i).type == FieldType::BCD)
                    v = v.toDouble();
                cols << shown(v);
            }
            rows << cols.join(u'|');
        }
        fields = q.fields(); // as widened by the rows
        return rows;
    }

private slots:
    void initTestCase()
    {
        quint32 seed = 12345;
        auto rnd = [&seed](int n) {
            seed = seed * 1103515245u + 12345u;
            return int((seed >> 16) % quint32(n));
        };
        const QStringList names = { "Smith", "Smithers", "Jones", "Brown",  "Ærø",   "Müller",
                                    "Olsen", "Smyth",    "ÆRØ",   "MÜLLER", "Øster", "Ölund" };
        const QStringList cities = { "Oslo", "Bergen", "Trondheim", "", "Tromsø", "TROMSØ" };
        std::vector<Record> customers;
        for (int i = 1; i <= 300; ++i)
            customers.push_back(
                { i, names[rnd(names.size())] + QString::number(i % 7), cities[rnd(cities.size())],
                  rnd(5) ? QVariant(QStringLiteral("%1.%2").arg(rnd(5000)).arg(rnd(100), 2, 10, QChar(u'0')))
                         : QVariant(),
                  rnd(6) ? QVariant(QDate(2018, 1, 1).addDays(rnd(1500))) : QVariant(), rnd(2) == 1 });
        makeTable("customer.dbf", Table::DBase,
                  { FieldDef("ID", FieldType::Integer, 6), FieldDef("NAME", FieldType::String, 20),
                    FieldDef("CITY", FieldType::String, 15), FieldDef("CREDIT", FieldType::BCD, 10, 2),
                    FieldDef("SINCE", FieldType::Date), FieldDef("ACTIVE", FieldType::Boolean) },
                  customers);
        std::vector<Record> orders;
        for (int i = 1; i <= 1000; ++i)
            orders.push_back({ i, rnd(320) + 1, rnd(20) ? QVariant(rnd(100000) / 100.0) : QVariant(),
                               QDate(2022, 1, 1).addDays(rnd(700)),
                               rnd(4) ? QVariant(names[rnd(names.size())]) : QVariant(),
                               rnd(5) ? QVariant(rnd(2) == 1) : QVariant(),
                               rnd(9) ? QVariant(rnd(200) - 100) : QVariant() });
        makeTable("orders.db", Table::Paradox,
                  { FieldDef("ORDERNO", FieldType::Integer), FieldDef("CUST", FieldType::Integer),
                    FieldDef("AMOUNT", FieldType::Float), FieldDef("SHIPPED", FieldType::Date),
                    FieldDef("CLERK", FieldType::String, 12), FieldDef("RUSH", FieldType::Boolean),
                    FieldDef("DELTA", FieldType::SmallInt) },
                  orders);
        // Cities by name, with a code as text ("017" is not 17 as text, but is
        // as a number).
        std::vector<Record> regions;
        for (const char *city : { "Oslo", "Bergen", "Tromsø", "TROMSØ", "Narvik" })
            regions.push_back({ QString::fromUtf8(city), QStringLiteral("R-%1").arg(regions.size() % 2),
                                QStringLiteral("%1").arg(17 + regions.size(), 3, 10, QChar(u'0')) });
        regions.push_back({ QVariant(), QStringLiteral("none"), QStringLiteral("5") });
        makeTable("regions.txt", Table::Ascii,
                  { FieldDef("CITY", FieldType::String, 15), FieldDef("REGION", FieldType::String, 8),
                    FieldDef("CODE", FieldType::String, 4) },
                  regions);
        QCOMPARE(sqlite3_open(":memory:", &native), SQLITE_OK);
        sql::registerFunctions(native);
        loadNative("customer.dbf", "customer");
        loadNative("orders.db", "orders");
        loadNative("regions.txt", "regions");
    }
    void cleanupTestCase() { sqlite3_close(native); }

    void sameAnswers_data()
    {
        QTest::addColumn<QString>("sql"); // {C}, {O} and {R} stand for the three tables
        QTest::newRow("like") << "SELECT count(*) FROM {C} WHERE NAME LIKE 'Smi%'";
        QTest::newRow("like one char") << "SELECT NAME FROM {C} WHERE NAME LIKE 'Sm_th%' ORDER BY ID";
        QTest::newRow("comparisons") << "SELECT ID FROM {C} WHERE CREDIT >= 2500 AND ID < 100 ORDER BY ID";
        QTest::newRow("in and between") << "SELECT ID, SINCE FROM {C} WHERE CITY IN ('Oslo', 'Bergen') AND "
                                           "SINCE BETWEEN '2019-01-01' AND "
                                           "'2019-12-31' ORDER BY ID";
        QTest::newRow("grouping") << "SELECT CITY, count(*), sum(CREDIT), min(SINCE), max(SINCE) FROM {C} "
                                     "GROUP BY CITY ORDER BY CITY";
        QTest::newRow("having")
            << "SELECT CITY, avg(CREDIT) FROM {C} GROUP BY CITY HAVING count(*) > 55 ORDER BY 1";
        QTest::newRow("nulls") << "SELECT count(*), count(CREDIT), count(SINCE) FROM {C}";
        QTest::newRow("is null") << "SELECT ID FROM {C} WHERE CREDIT IS NULL OR SINCE IS NULL ORDER BY ID";
        QTest::newRow("boolean") << "SELECT ACTIVE, count(*) FROM {C} GROUP BY ACTIVE ORDER BY 1";
        QTest::newRow("inner join")
            << "SELECT c.NAME, o.ORDERNO, o.AMOUNT FROM {C} c INNER JOIN {O} o ON o.CUST = c.ID "
               "WHERE o.AMOUNT > 600 ORDER BY o.ORDERNO";
        QTest::newRow("left join orphans") << "SELECT c.ID FROM {C} c LEFT JOIN {O} o ON o.CUST = c.ID WHERE "
                                              "o.ORDERNO IS NULL ORDER BY c.ID";
        QTest::newRow("orders without customer")
            << "SELECT count(*) FROM {O} o LEFT JOIN {C} c ON c.ID = o.CUST WHERE c.ID IS NULL";
        QTest::newRow("join and group") << "SELECT c.CITY, count(o.ORDERNO), round(sum(o.AMOUNT), 2) FROM "
                                           "{C} c JOIN {O} o ON o.CUST = c.ID "
                                           "GROUP BY c.CITY ORDER BY 3 DESC";
        // Joins on = are looked up in an index of the inner table's column.
        QTest::newRow("join a text table on text")
            << "SELECT c.ID, r.REGION FROM {C} c JOIN {R} r ON r.CITY = c.CITY ORDER BY c.ID";
        QTest::newRow("left join a text table, nulls never equal")
            << "SELECT r.CITY, count(c.ID) FROM {R} r LEFT JOIN {C} c ON c.CITY = r.CITY GROUP BY r.CITY "
               "ORDER BY 1";
        QTest::newRow("self join on an expression")
            << "SELECT a.ID, b.NAME FROM {C} a JOIN {C} b ON a.ID = b.ID - 1 WHERE a.ID < 40 ORDER BY 1";
        QTest::newRow("three tables")
            << "SELECT r.REGION, count(*), round(sum(o.AMOUNT), 2) FROM {O} o JOIN {C} c ON c.ID = o.CUST "
               "JOIN {R} r ON r.CITY = c.CITY GROUP BY r.REGION ORDER BY 1";
        QTest::newRow("join an integer to a real")
            << "SELECT o.ORDERNO, c.ID FROM {O} o JOIN {C} c ON c.ID = o.AMOUNT ORDER BY 1";
        QTest::newRow("join decimals, each to itself")
            << "SELECT a.ID, b.ID FROM {C} a JOIN {C} b ON b.CREDIT = a.CREDIT + 0 WHERE a.ID < 60 ORDER BY "
               "1, 2";
        QTest::newRow("join numbers to text that converts")
            << "SELECT c.ID, r.CODE FROM {R} r JOIN {C} c ON c.ID = r.CODE ORDER BY 1";
        QTest::newRow("join text to numbers")
            << "SELECT r.CODE, o.ORDERNO FROM {O} o JOIN {R} r ON r.CODE = o.DELTA ORDER BY 2";
        QTest::newRow("join on text beyond ascii, case kept")
            << "SELECT o.ORDERNO, c.ID FROM {O} o JOIN {C} c ON c.NAME = o.CLERK || '3' ORDER BY 1, 2";
        QTest::newRow("join on a date") << "SELECT count(*) FROM {O} o JOIN {C} c ON c.SINCE = o.SHIPPED";
        QTest::newRow("correlated lookup") << "SELECT ID, (SELECT count(*) FROM {O} o WHERE o.CUST = c.ID) "
                                              "FROM {C} c WHERE ID < 30 ORDER BY 1";
        QTest::newRow("order by limit")
            << "SELECT ID, NAME, CREDIT FROM {C} ORDER BY CREDIT DESC, ID LIMIT 10";
        QTest::newRow("dates")
            << "SELECT ORDERNO FROM {O} WHERE SHIPPED >= '2023-06-01' AND AMOUNT < 50 ORDER BY 1";
        QTest::newRow("paradox text")
            << "SELECT CLERK, count(*), min(DELTA) FROM {O} WHERE CLERK LIKE 'S%' OR "
               "CLERK > 'M' OR CLERK IS NULL GROUP BY CLERK ORDER BY CLERK";
        QTest::newRow("paradox flags and small integers")
            << "SELECT RUSH, count(*), sum(DELTA), round(sum(AMOUNT), 2) FROM {O} WHERE DELTA < 50 OR DELTA "
               "IS NULL GROUP BY RUSH ORDER BY 1";
        // Conditions on a constant that the scan checks before SQLite does.
        QTest::newRow("like in lower case with inner wildcards")
            << "SELECT ID, NAME FROM {C} WHERE NAME LIKE 's%h_%' ORDER BY ID";
        QTest::newRow("like one character beyond ascii")
            << "SELECT ID FROM {C} WHERE CITY LIKE 'troms_' ORDER BY ID";
        QTest::newRow("like beyond ascii in the pattern")
            << "SELECT CLERK, count(*) FROM {O} WHERE CLERK LIKE '%\u00f8%' GROUP BY CLERK ORDER BY 1";
        QTest::newRow("like on a number") << "SELECT count(*) FROM {O} WHERE CUST LIKE '1%'";
        // The stored bytes are checked against a pattern's ASCII start first.
        QTest::newRow("like a prefix in upper case")
            << "SELECT ID FROM {C} WHERE NAME LIKE 'SMITHERS%' OR NAME LIKE 'smyth6' ORDER BY ID";
        QTest::newRow("like a prefix that ends before a letter beyond ascii")
            << "SELECT ORDERNO FROM {O} WHERE CLERK LIKE 'm\u00fc%' OR CLERK LIKE 'JONES' ORDER BY 1";
        // ORDER BY ... LIMIT over one table: the scan keeps the first rows itself.
        QTest::newRow("first rows by text, descending")
            << "SELECT ID, NAME FROM {C} ORDER BY NAME DESC, ID LIMIT 7";
        QTest::newRow("first rows by decimal with nulls, after an offset")
            << "SELECT ID, CREDIT FROM {C} ORDER BY CREDIT, ID LIMIT 5 OFFSET 3";
        QTest::newRow("first rows by real, descending, nulls last")
            << "SELECT ORDERNO, AMOUNT FROM {O} ORDER BY AMOUNT DESC, ORDERNO LIMIT 10";
        QTest::newRow("first rows by text beyond ascii and a date")
            << "SELECT ORDERNO, CLERK, SHIPPED FROM {O} ORDER BY CLERK, SHIPPED DESC, ORDERNO LIMIT 40";
        QTest::newRow("first rows by flag and integer")
            << "SELECT ORDERNO FROM {O} ORDER BY RUSH DESC, DELTA, ORDERNO LIMIT 9 OFFSET 990";
        QTest::newRow("no rows wanted") << "SELECT count(*) FROM (SELECT ID FROM {C} ORDER BY ID LIMIT 0)";
        QTest::newRow("first rows of a filtered table")
            << "SELECT ID FROM {C} WHERE CITY = 'Oslo' ORDER BY NAME, ID LIMIT 4";
        QTest::newRow("like a prefix longer than the values")
            << "SELECT count(*) FROM {O} WHERE CLERK LIKE 'Smithers and sons%'";
        QTest::newRow("equal integer and real")
            << "SELECT ORDERNO FROM {O} WHERE CUST = 17 OR ORDERNO = 5.0 ORDER BY 1";
        QTest::newRow("equal constants together")
            << "SELECT ORDERNO, DELTA FROM {O} WHERE CUST = 17.0 AND RUSH = 1 ORDER BY 1";
        QTest::newRow("equal a decimal") << "SELECT ID FROM {C} WHERE CREDIT = (SELECT max(CREDIT) FROM {C})";
        QTest::newRow("equal text and null") << "SELECT count(*) FROM {C} WHERE CITY = 'Oslo' UNION ALL "
                                                "SELECT count(*) FROM {C} WHERE CREDIT = NULL";
        QTest::newRow("subquery")
            << "SELECT ID FROM {C} WHERE ID IN (SELECT CUST FROM {O} WHERE AMOUNT > 640) ORDER BY ID";
        // Case beyond ASCII (both sides have the engine's LIKE, UPPER and
        // LOWER): the scan's own LIKE check keeps every row that LIKE takes.
        QTest::newRow("like folding beyond ascii")
            << "SELECT ID, NAME FROM {C} WHERE NAME LIKE '\u00e6r\u00f8%' ORDER BY ID";
        QTest::newRow("like a prefix that ends in a letter beyond ascii")
            << "SELECT ID FROM {C} WHERE NAME LIKE 'm\u00fcller_' ORDER BY ID";
        QTest::newRow("like a whole text beyond ascii")
            << "SELECT ID FROM {C} WHERE CITY LIKE 'troms\u00f8' ORDER BY ID";
        QTest::newRow("like a paradox text beyond ascii")
            << "SELECT ORDERNO, CLERK FROM {O} WHERE CLERK LIKE '\u00f8%' ORDER BY 1";
        QTest::newRow("like a paradox text ending beyond ascii")
            << "SELECT ORDERNO, CLERK FROM {O} WHERE CLERK LIKE '%\u00f6LUND' ORDER BY 1";
        QTest::newRow("like with escape")
            << "SELECT count(*) FROM {C} WHERE NAME LIKE 'smith!_%' ESCAPE '!' OR "
               "NAME LIKE '\u00e6\u00e6%' ESCAPE '\u00e6' OR NAME LIKE '\u00c6R\u00d8_' ESCAPE '\u00f8'";
        QTest::newRow("upper and lower beyond ascii")
            << "SELECT upper(NAME), lower(CITY), count(*) FROM {C} GROUP BY 1, 2 ORDER BY 1, 2";
        QTest::newRow("grouping by folded text")
            << "SELECT lower(NAME) AS n, count(*) FROM {C} WHERE upper(NAME) "
               "LIKE '%\u00d8%' GROUP BY n ORDER BY n";
        QTest::newRow("order by a language's collation")
            << "SELECT NAME, ID FROM {C} ORDER BY NAME COLLATE sv_SE, ID";
        // A collation other than the column's: the scan leaves the ORDER BY ... LIMIT to SQLite.
        QTest::newRow("first rows by a language's collation")
            << "SELECT ID, NAME FROM {C} ORDER BY NAME COLLATE de_DE DESC, ID LIMIT 12";
        QTest::newRow("first rows by the locale's collation")
            << "SELECT ORDERNO, CLERK FROM {O} ORDER BY CLERK COLLATE LOCALE, ORDERNO LIMIT 30";
        // Computed columns: their type follows every row, not the first.
        QTest::newRow("decimals plus zero")
            << "SELECT ID, CREDIT + 0, coalesce(CREDIT, 0) FROM {C} ORDER BY ID";
        QTest::newRow("sum of decimals by group")
            << "SELECT ID % 7, sum(CREDIT), total(CREDIT), min(CREDIT), max(CREDIT) FROM {C} GROUP BY 1 "
               "ORDER BY 1";
        QTest::newRow("integers then reals then text")
            << "SELECT CASE WHEN ID < 5 THEN ID WHEN ID < 9 THEN ID / 4.0 ELSE NAME END FROM {C} ORDER BY ID";
        QTest::newRow("null first")
            << "SELECT nullif(ORDERNO, 1) * 2, AMOUNT FROM {O} ORDER BY ORDERNO LIMIT 20";
    }
    // The planner takes the lookup for the inner table of a join on =, and
    // not where the value is not known until the join runs.
    void joinsLookUpInTheInnerTable_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("lookup"); // what the plan must say of the inner table
        QTest::newRow("self join") << "SELECT * FROM {C} a JOIN {C} b ON a.ID = b.ID - 1 WHERE b.ID < 40"
                                   << "VIRTUAL TABLE INDEX 0:H0,";
        // The small text table outside, the orders looked up by clerk.
        QTest::newRow("text table") << "SELECT * FROM {O} o JOIN {R} r ON r.REGION = o.CLERK"
                                    << "SCAN o VIRTUAL TABLE INDEX 0:H4,";
        QTest::newRow("correlated") << "SELECT (SELECT count(*) FROM {O} o WHERE o.CUST = c.ID) FROM {C} c"
                                    << "VIRTUAL TABLE INDEX 0:H1,";
    }
    void joinsLookUpInTheInnerTable()
    {
        QFETCH(QString, sql);
        QFETCH(QString, lookup);
        FieldDefs fields;
        const QStringList plan = ourRows(QStringLiteral("EXPLAIN QUERY PLAN ") + withFiles(sql), fields);
        QVERIFY2(plan.filter(lookup).size() == 1, qPrintable(plan.join(u'\n')));
    }

    void sameAnswers()
    {
        QFETCH(QString, sql);
        const QString ours = withFiles(sql);
        const QString theirs = QString(sql)
                                   .replace(QLatin1String("{C}"), QLatin1String("customer"))
                                   .replace(QLatin1String("{O}"), QLatin1String("orders"))
                                   .replace(QLatin1String("{R}"), QLatin1String("regions"));
        FieldDefs fields;
        const QStringList got = ourRows(ours, fields);
        const QStringList expected = nativeRows(theirs, fields);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(SqlDifferentialTest)
#include "tst_sql_differential.moc"
