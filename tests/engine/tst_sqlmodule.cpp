// SQL over table files through the virtual-table module: reads, joins,
// grouping, and INSERT/UPDATE/DELETE landing in the files.
#include "engine/ClientDataSet.h"
#include "engine/Table.h"
#include "engine/Value.h"
#include "engine/sql/Functions.h"
#include "engine/sql/TableModule.h"

#include <QtTest>
#include <cmath>
#include <sqlite3.h>

Q_DECLARE_METATYPE(qvx::FieldDef)

using namespace qvx;

namespace {

struct Db {
    sqlite3 *db = nullptr;
    Db()
    {
        sqlite3_open(":memory:", &db);
        sql::registerFunctions(db);
        sql::registerTableModule(db);
    }
    ~Db() { sqlite3_close(db); }
    // Rows as "a|b|c" texts; NULL as "<null>".
    QStringList query(const QString &text)
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, text.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw EngineError(QString::fromUtf8(sqlite3_errmsg(db)));
        QStringList rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QStringList cols;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                cols << (sqlite3_column_type(st, i) == SQLITE_NULL
                             ? QStringLiteral("<null>")
                             : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i))));
            rows << cols.join(u'|');
        }
        const QString err = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw EngineError(err);
        return rows;
    }
};

void makeTable(const QString &dir, const QString &name, int type, const FieldDefs &fields,
               const std::vector<Record> &rows)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(name);
    t.setTableType(type);
    for (const FieldDef &f : fields)
        t.addFieldDef(f.name, f.type, f.size, false, f.decimals);
    t.createTable();
    t.open();
    for (const Record &r : rows)
        t.appendRecord(r);
}

// What a field sink was given, as text: "null", "int 5", "real 2.5", "text abc".
class RecordingSink : public FieldSink {
public:
    QString got;
    void null() override { got = QStringLiteral("null"); }
    void integer(qint64 v) override { got = QStringLiteral("int %1").arg(v); }
    void real(double v) override
    {
        got = QStringLiteral("real %1").arg(QString::number(v, 'g', QLocale::FloatingPointShortest));
    }
    void text(const char *utf8, qsizetype length) override
    {
        got = QStringLiteral("text ") + QString::fromUtf8(utf8, length);
    }
};

// A whole-table reader's sink: booleans and decimals as such.
class ExactSink final : public RecordingSink {
public:
    void boolean(bool v) override { got = v ? QStringLiteral("bool true") : QStringLiteral("bool false"); }
    void decimal(const char *text, qsizetype length) override
    {
        got = QStringLiteral("decimal ") + QString::fromLatin1(text, length);
    }
    bool keepsDecimalText() const override { return true; }
};

// The same, from a value as readField() gives it, by the rules SQL applies
// to values that do not come straight from the record.
QString expectedFor(const QVariant &v, FieldType type)
{
    if (v.isNull())
        return QStringLiteral("null");
    switch (valueKind(type)) {
    case ValueKind::Int:
    case ValueKind::Int64:
        return QStringLiteral("int %1").arg(v.toLongLong());
    case ValueKind::Bool:
        return QStringLiteral("int %1").arg(v.toBool() ? 1 : 0);
    case ValueKind::Double:
        return QStringLiteral("real %1").arg(
            QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest));
    case ValueKind::Decimal: {
        int digits = 0;
        for (QChar c : v.toString())
            digits += c.isDigit() ? 1 : 0;
        // A whole number is an integer, as a NUMERIC column of SQLite holds it.
        const double d = v.toString().toDouble();
        if (digits <= 15 && d == std::trunc(d))
            return QStringLiteral("int %1").arg(qint64(d));
        if (digits <= 15)
            return QStringLiteral("real %1").arg(QString::number(d, 'g', QLocale::FloatingPointShortest));
        return QStringLiteral("text ") + v.toString();
    }
    default:
        return QStringLiteral("text ") + valueToText(v, type);
    }
}

} // namespace

class SqlModuleTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        makeTable(dir.path(), "customer", Table::DBase,
                  { FieldDef("ID", FieldType::Integer, 6), FieldDef("NAME", FieldType::String, 20),
                    FieldDef("CITY", FieldType::String, 15), FieldDef("SINCE", FieldType::Date),
                    FieldDef("NOTES", FieldType::Memo) },
                  { { 1, "Smith", "Oslo", QDate(2020, 1, 2), "likes tea" },
                    { 2, "Smithers", "Bergen", QVariant(), QVariant() },
                    { 3, "Jones", "Oslo", QDate(2019, 5, 6), "x" },
                    { 4, QString::fromUtf8("Ærø"), QVariant(), QDate(2021, 7, 8), QVariant() } });
        makeTable(dir.path(), "orders", Table::FoxPro,
                  { FieldDef("CUST", FieldType::Integer, 6), FieldDef("AMOUNT", FieldType::Float, 10, 2) },
                  { { 1, 10.5 }, { 1, 4.5 }, { 3, 100.0 }, { 9, 1.0 } });
    }

    // Fields decoded straight from the record bytes for SQL give what the
    // general path (readField and its conversion) gives, and the fast path
    // is the one taken for the kinds it covers.
    void valuesStraightFromRecords_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<FieldDef>("field");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<bool>("fast");

        const QVariant null;
        const QVariantList texts = { QString::fromUtf8("M\u00fcller & S\u00f8n"),
                                     QStringLiteral("plain"),
                                     QString(),
                                     null,
                                     QStringLiteral("  lead"),
                                     QString::fromUtf8("\u00c6r\u00f8") };
        const QVariantList decimals = { QStringLiteral("-12.50"),
                                        QStringLiteral("0.00"),
                                        QStringLiteral("-0.01"),
                                        QStringLiteral("123456.78"),
                                        null,
                                        QStringLiteral("7") };
        const QVariantList dates
            = { QDate(2024, 2, 29), QDate(1, 1, 1), QDate(9999, 12, 31), null, QDate(1970, 1, 1) };
        const QVariantList ints = { 0, -1, 2147483647, -2147483647, null, 42 };
        const QVariantList smalls = { 0, -1, 32767, -32767, null };
        const QVariantList floats = { 0.0, -2.5, 1e-7, 123456789.125, null, 0.1 };
        const QVariantList bools = { true, false, null };
        for (const auto &[name, type] : { std::pair<const char *, int>("dBASE", Table::DBase),
                                          std::pair<const char *, int>("Paradox", Table::Paradox) }) {
            const auto row = [&](const char *what, const QString &cp, const FieldDef &f,
                                 const QVariantList &v, bool fast) {
                QTest::newRow(
                    qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(name), QLatin1String(what))))
                    << type << cp << f << v << fast;
            };
            row("text cp1252", QStringLiteral("windows-1252"), FieldDef("T", FieldType::String, 20), texts,
                true);
            row("text cp850", QStringLiteral("IBM850"), FieldDef("T", FieldType::String, 20), texts, true);
            row("integer", {}, FieldDef("N", FieldType::Integer, 11), ints, true);
            row("small integer", {}, FieldDef("N", FieldType::SmallInt, 6), smalls, true);
            row("float", {}, FieldDef("F", FieldType::Float, 20, 9), floats, true);
            row("date", {}, FieldDef("D", FieldType::Date), dates, true);
            row("boolean", {}, FieldDef("B", FieldType::Boolean), bools, true);
            row("decimal", {}, FieldDef("M", FieldType::BCD, 12, 2), decimals, true);
            // More digits than a double holds: text.
            row("long decimal", {}, FieldDef("M", FieldType::BCD, 20, 2),
                { QStringLiteral("123456789012345.67"), QStringLiteral("-1234567890123456.5") }, true);
        }
        // A fraction smaller than a double's exact scale goes the general way.
        QTest::newRow("Paradox tiny decimal")
            << int(Table::Paradox) << QString() << FieldDef("M", FieldType::BCD, 32, 20)
            << QVariantList { QStringLiteral("0.00000000000000000001"), QStringLiteral("-0.5"),
                              QStringLiteral("-0.0000000000000003"), QStringLiteral("12.25") }
            << true;
        QTest::newRow("Paradox currency")
            << int(Table::Paradox) << QString() << FieldDef("C", FieldType::Currency)
            << QVariantList { 12.25, -0.5, null } << true;
    }
    void valuesStraightFromRecords()
    {
        QFETCH(int, type);
        QFETCH(QString, codePage);
        QFETCH(FieldDef, field);
        QFETCH(QVariantList, values);
        QFETCH(bool, fast);
        const QString path = dir.filePath(type == Table::DBase ? "fast.dbf" : "fast.db");
        CreateOptions options;
        options.codePage = codePage;
        Table::driverFor(type).create(path, { field, FieldDef("PAD", FieldType::String, 3) }, options);
        auto t = Table::driverFor(type).open(path, false);
        for (const QVariant &v : values)
            t->insert(t->recordCount(), { v, QStringLiteral("x") });
        bool anyFast = false;
        for (qint64 i = 0; i < t->recordCount(); ++i) {
            RecordingSink sink;
            const bool taken = t->readFieldTo(i, 0, sink);
            anyFast = anyFast || taken;
            if (!taken) {
                QVERIFY2(sink.got.isEmpty(), "a field left to readField() reached the sink");
                continue;
            }
            const QVariant value = t->readField(i, 0);
            const FieldType type = t->fields()[0].type;
            QCOMPARE(sink.got, expectedFor(value, type));
            // A reader that keeps booleans and decimals as they are gets
            // the value itself.
            ExactSink exact;
            QVERIFY(t->readFieldTo(i, 0, exact));
            QString wanted = sink.got;
            if (!value.isNull() && valueKind(type) == ValueKind::Bool)
                wanted = value.toBool() ? QStringLiteral("bool true") : QStringLiteral("bool false");
            else if (!value.isNull() && valueKind(type) == ValueKind::Decimal)
                wanted = QStringLiteral("decimal ") + value.toString();
            QCOMPARE(exact.got, wanted);
        }
        QCOMPARE(anyFast, fast);
    }

    void reads()
    {
        Db db;
        sql::attachTable(db.db, "customer", dir.filePath("customer.dbf"), Table::DBase, false);
        sql::attachTable(db.db, "orders", dir.filePath("orders.dbf"), Table::FoxPro, false);
        QCOMPARE(db.query("SELECT count(*) FROM customer WHERE NAME LIKE 'Smi%'"), QStringList { "2" });
        QCOMPARE(db.query("SELECT NAME FROM customer WHERE SINCE IS NULL"), QStringList { "Smithers" });
        QCOMPARE(db.query("SELECT NAME, SINCE FROM customer WHERE SINCE > '2020-01-01' ORDER BY SINCE"),
                 QStringList({ "Smith|2020-01-02", QString::fromUtf8("Ærø|2021-07-08") }));
        QCOMPARE(db.query("SELECT CITY, count(*) FROM customer GROUP BY CITY ORDER BY CITY"),
                 QStringList({ "|1", "Bergen|1", "Oslo|2" }));
        QCOMPARE(db.query("SELECT c.NAME, sum(o.AMOUNT) FROM customer c JOIN orders o ON o.CUST = c.ID "
                          "GROUP BY c.NAME ORDER BY 2"),
                 QStringList({ "Smith|15.0", "Jones|100.0" }));
        QCOMPARE(
            db.query("SELECT c.NAME FROM customer c LEFT JOIN orders o ON o.CUST = c.ID WHERE o.CUST IS NULL "
                     "ORDER BY c.ID"),
            QStringList({ "Smithers", QString::fromUtf8("Ærø") }));
        QCOMPARE(db.query("SELECT NOTES FROM customer WHERE ID = 1"), QStringList { "likes tea" });
        // A dBASE integer is stored as N(11,0), a decimal field: whole
        // numbers still reach SQL as integers, not as reals.
        QCOMPARE(db.query("SELECT typeof(ID), ID * 2, ID / 2 FROM customer WHERE ID = 3"),
                 QStringList { "integer|6|1" });
        // Read-only: changes are refused with the table's own words.
        QVERIFY_THROWS_EXCEPTION(EngineError, db.query("DELETE FROM customer"));
    }

    void changesLandInTheFile()
    {
        const QString path = dir.filePath("work.dbf");
        makeTable(dir.path(), "work", Table::DBase,
                  { FieldDef("ID", FieldType::Integer, 6), FieldDef("NAME", FieldType::String, 10) },
                  { { 1, "a" }, { 2, "b" }, { 3, "c" } });
        {
            Db db;
            sql::attachTable(db.db, "work", path, Table::DBase, true);
            db.query("INSERT INTO work (ID, NAME) VALUES (4, 'd')");
            db.query("UPDATE work SET NAME = upper(NAME) WHERE ID >= 2");
            db.query("DELETE FROM work WHERE ID = 1");
            try {
                db.query("INSERT INTO work (ID, NAME) VALUES (5, 'far too long a name')");
                QFAIL("text longer than its field was stored");
            } catch (const EngineError &e) {
                QVERIFY2(e.message().contains("NAME"), qPrintable(e.message()));
            }
            // While the SQL side holds the table for writing, nobody else writes.
            Table other;
            other.setDatabaseName(dir.path());
            other.setTableName("work.dbf");
            QVERIFY_THROWS_EXCEPTION(EngineError, other.open());
        }
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName("work.dbf");
        t.open();
        QStringList rows;
        for (t.first(); !t.eof(); t.next())
            rows << t.text(0) + u'|' + t.text(1);
        QCOMPARE(rows, QStringList({ "2|B", "3|C", "4|D" }));
    }

    // An UPDATE or DELETE of many rows changes exactly those rows, in tables
    // whose records close up when one is removed (Paradox, ASCII) and in a
    // keyed table whose records move when their key changes.
    void manyRowsChanged_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("keyFields");
        QTest::newRow("dBASE") << int(Table::DBase) << "many.dbf" << 0;
        QTest::newRow("Paradox") << int(Table::Paradox) << "many.db" << 0;
        QTest::newRow("Paradox keyed") << int(Table::Paradox) << "many_keyed.db" << 1;
        QTest::newRow("ASCII") << int(Table::Ascii) << "many.txt" << 0;
    }
    void manyRowsChanged()
    {
        QFETCH(int, type);
        QFETCH(QString, file);
        QFETCH(int, keyFields);
        const QString path = dir.filePath(file);
        CreateOptions options;
        options.keyFields = keyFields;
        Table::driverFor(type).create(
            path, { FieldDef("ID", FieldType::Integer, 6), FieldDef("NAME", FieldType::String, 10) },
            options);
        {
            auto t = Table::driverFor(type).open(path, false);
            for (int i = 1; i <= 600; ++i)
                t->insert(t->recordCount(), { i, QStringLiteral("n%1").arg(i) });
        }
        Db db;
        sql::attachTable(db.db, "many", path, type, true);
        db.query("DELETE FROM many WHERE ID % 3 = 0");
        // Keys moved to the end and to the front, each row once.
        db.query("UPDATE many SET ID = ID + 1000, NAME = 'up' || NAME WHERE ID % 5 = 1");
        db.query("UPDATE many SET ID = -ID, NAME = 'down' || NAME WHERE ID BETWEEN 100 AND 130");
        QStringList expected;
        for (int i = 1; i <= 600; ++i) {
            if (i % 3 == 0)
                continue;
            int id = i;
            QString name = QStringLiteral("n%1").arg(i);
            if (i % 5 == 1) {
                id += 1000;
                name.prepend(QStringLiteral("up"));
            }
            if (id >= 100 && id <= 130) {
                id = -id;
                name.prepend(QStringLiteral("down"));
            }
            expected << QStringLiteral("%1|%2").arg(id).arg(name);
        }
        expected.sort();
        QStringList got = db.query("SELECT CAST(ID AS INTEGER), NAME FROM many");
        got.sort();
        QCOMPARE(got, expected);
        if (keyFields > 0) {
            // The file keeps key order.
            QStringList ids = db.query("SELECT ID FROM many");
            for (int i = 1; i < ids.size(); ++i)
                QVERIFY(ids[i - 1].toInt() < ids[i].toInt());
        }
    }

    // The scan takes on ORDER BY ... LIMIT over a table nothing else
    // constrains, so SQLite sorts nothing; otherwise SQLite sorts.
    void orderedLimitPlan_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<bool>("sortedByScan");
        QTest::newRow("limit") << "SELECT NAME FROM customer ORDER BY CITY DESC, NAME LIMIT 2" << true;
        QTest::newRow("limit and offset")
            << "SELECT NAME FROM customer ORDER BY SINCE LIMIT 2 OFFSET 1" << true;
        QTest::newRow("no limit") << "SELECT NAME FROM customer ORDER BY NAME" << false;
        QTest::newRow("a condition") << "SELECT NAME FROM customer WHERE ID > 1 ORDER BY NAME LIMIT 2"
                                     << false;
        QTest::newRow("an expression") << "SELECT NAME FROM customer ORDER BY ID * 2 LIMIT 2" << false;
        QTest::newRow("a limit too large")
            << "SELECT NAME FROM customer ORDER BY NAME LIMIT 1000000" << false;
        // The scan orders text by its bytes, SQLite's BINARY: another
        // collation is left to SQLite.
        QTest::newRow("a language's collation")
            << "SELECT NAME FROM customer ORDER BY NAME COLLATE sv_SE LIMIT 3" << false;
    }
    void orderedLimitPlan()
    {
        QFETCH(QString, select);
        QFETCH(bool, sortedByScan);
        Db db;
        sql::attachTable(db.db, "customer", dir.filePath("customer.dbf"), Table::DBase, false);
        const QString plan = db.query("EXPLAIN QUERY PLAN " + select).join(u'\n');
        QCOMPARE(!plan.contains("TEMP B-TREE"), sortedByScan);
        // Either way the rows are SQLite's own order.
        Db plain;
        sqlite3_exec(plain.db,
                     "CREATE TABLE customer(ID, NAME, CITY, SINCE);"
                     "INSERT INTO customer VALUES (1, 'Smith', 'Oslo', '2020-01-02'),"
                     "(2, 'Smithers', 'Bergen', NULL), (3, 'Jones', 'Oslo', '2019-05-06'),"
                     "(4, '\xc3\x86r\xc3\xb8', NULL, '2021-07-08')",
                     nullptr, nullptr, nullptr);
        QCOMPARE(db.query(select), plain.query(select));
    }

    // The engine's own LIKE (letters folded beyond ASCII) still reaches the
    // scan as a LIKE constraint, and the scan's check agrees with it.
    void likeReachesTheScan_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("ascii") << "NAME LIKE 'smith%'" << QStringList { "Smith", "Smithers" };
        QTest::newRow("beyond ascii, other case")
            << "NAME LIKE '\u00e6R\u00d8'" << QStringList { "\u00c6r\u00f8" };
        QTest::newRow("beyond ascii after a wildcard")
            << "NAME LIKE '_R\u00d8'" << QStringList { "\u00c6r\u00f8" };
        QTest::newRow("no match") << "NAME LIKE 'x%'" << QStringList {};
    }
    void likeReachesTheScan()
    {
        QFETCH(QString, condition);
        QFETCH(QStringList, names);
        Db db;
        sql::attachTable(db.db, "customer", dir.filePath("customer.dbf"), Table::DBase, false);
        const QString select = "SELECT NAME FROM customer WHERE " + condition + " ORDER BY ID";
        QVERIFY(db.query("EXPLAIN QUERY PLAN " + select).join(u'\n').contains(":L1,"));
        QCOMPARE(db.query(select), names);
    }

    // A data packet reads like a table and refuses changes.
    void packets_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("xml") << "people.xml";
        QTest::newRow("binary") << "people.cds";
    }
    void packets()
    {
        QFETCH(QString, file);
        const QString path = dir.filePath(file);
        {
            ClientDataSet cds;
            cds.addFieldDef("ID", FieldType::Integer);
            cds.addFieldDef("NAME", FieldType::String, 20);
            cds.addFieldDef("PAID", FieldType::BCD, 10, false, 2);
            cds.addFieldDef("BORN", FieldType::Date);
            cds.createDataSet();
            cds.appendRecord({ 1, "Smith", "12.50", QDate(1980, 2, 29) });
            cds.appendRecord({ 3, QString::fromUtf8("\u00c6r\u00f8"), QVariant(), QVariant() });
            cds.appendRecord({ 4, "Jones", "-7.25", QDate(1999, 12, 31) });
            cds.saveToFile(path, ClientDataSet::formatForFileName(path, PacketFormat::Binary));
        }
        Db db;
        sql::attachPacket(db.db, "people", path);
        sql::attachTable(db.db, "customer", dir.filePath("customer.dbf"), Table::DBase, false);
        QCOMPARE(db.query("SELECT ID, NAME, PAID, BORN FROM people ORDER BY ID DESC"),
                 QStringList({ "4|Jones|-7.25|1999-12-31", QString::fromUtf8("3|\u00c6r\u00f8|<null>|<null>"),
                               "1|Smith|12.5|1980-02-29" }));
        QCOMPARE(db.query("SELECT p.NAME, c.CITY FROM people p JOIN customer c ON c.ID = p.ID WHERE p.NAME "
                          "LIKE 'j%' OR p.BORN < '1990-01-01' ORDER BY p.ID"),
                 QStringList({ "Smith|Oslo", "Jones|" })); // dBASE keeps no null for text
        QCOMPARE(db.query("SELECT sum(PAID), count(*) FROM people"), QStringList { "5.25|3" });
        // (SQLite gives a failed DROP TABLE its own words; Query names the packet.)
        QVERIFY_THROWS_EXCEPTION(EngineError, db.query("DROP TABLE people"));
        for (const char *change :
             { "DELETE FROM people", "UPDATE people SET NAME = 'x'", "INSERT INTO people (ID) VALUES (9)" }) {
            try {
                db.query(QString::fromLatin1(change));
                QFAIL(change);
            } catch (const EngineError &e) {
                QVERIFY2(e.message().contains(file) && e.message().contains("SQL"),
                         qPrintable(QString::fromLatin1(change) + ": " + e.message()));
            }
        }
        QCOMPARE(db.query("SELECT count(*) FROM people"), QStringList { "3" });
        QVERIFY(QFileInfo::exists(path));
    }

    void missingTable()
    {
        Db db;
        try {
            sql::attachTable(db.db, "nope", dir.filePath("nope.dbf"), Table::DBase, false);
            QFAIL("attached a missing table");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains("nope.dbf"), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(SqlModuleTest)
#include "tst_sqlmodule.moc"
