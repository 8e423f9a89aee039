// The query: SQL text as lines, statements run over the table files, and
// read-only result sets read lazily; the types of computed columns, the
// kind of a statement, and data packets as tables.
#include "engine/ClientDataSet.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/sql/Dialect.h"

#include <QtTest>

using namespace qvx;

Q_DECLARE_METATYPE(qvx::FieldType)

namespace {

// A value as the tests compare it: bytes in hex, anything else as text.
QString shown(const DataSet &q, int field)
{
    if (valueKind(q.field(field).type) == ValueKind::Bytes)
        return QString::fromLatin1(q.value(field).toByteArray().toHex());
    return q.text(field);
}

// Every row of the first column, read in one pass as `qvx sql` writes them.
QStringList column(Query &q)
{
    QStringList out;
    for (q.first(); !q.eof(); q.next())
        out << shown(q, 0);
    return out;
}

} // namespace

class QueryTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    void makeCustomers(const QString &name, int count)
    {
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(name);
        t.setTableType(Table::DBase);
        t.addFieldDef("ID", FieldType::Integer, 6);
        t.addFieldDef("NAME", FieldType::String, 20);
        t.addFieldDef("SINCE", FieldType::Date);
        t.createTable();
        t.open();
        for (int i = 1; i <= count; ++i)
            t.appendRecord({ i, i % 2 ? QStringLiteral("Smith%1").arg(i) : QStringLiteral("Jones%1").arg(i),
                             i % 3 ? QVariant(QDate(2020, 1, 1).addDays(i)) : QVariant() });
    }

    // ID, a decimal AMOUNT with two places and a date, one row per amount.
    void makeAmounts(const QString &name, int type, const QStringList &amounts)
    {
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(name);
        t.setTableType(type);
        t.addFieldDef("ID", FieldType::Integer, type == Table::Paradox ? 0 : 6);
        t.addFieldDef("AMOUNT", FieldType::BCD, 12, false, 2);
        t.addFieldDef("SINCE", FieldType::Date);
        t.createTable();
        t.open();
        for (int i = 0; i < amounts.size(); ++i)
            t.appendRecord(
                { i + 1, amounts[i], i % 2 ? QVariant() : QVariant(QDate(2020, 1, 2).addDays(i)) });
    }

private slots:
    void initTestCase()
    {
        makeCustomers("customer", 6);
        makeCustomers("big", 1000);
        makeAmounts("amounts.dbf", Table::DBase, { "2.00", "1.25", "-7.50" });
        makeAmounts("amounts.db", Table::Paradox, { "2.00", "1.25", "-7.50" });
        // Added as doubles, these give 149998499.99999997 for 149998500.00.
        makeAmounts("sums.dbf", Table::DBase, { "47366365.98", "98527562.60", "4104571.42" });
    }

    // A computed column holds every value it is given unchanged: its type
    // widens as rows arrive (integer, real, text; bytes for blobs), and the
    // rows read before read the same afterwards.
    void computedColumnTypes_data()
    {
        QTest::addColumn<QString>("select"); // {A}, {P}: the amounts as dBASE and as Paradox
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<QStringList>("values");
        const QStringList amounts { "2", "1.25", "-7.5" };
        QTest::newRow("dBASE decimal plus zero")
            << "SELECT AMOUNT + 0 FROM {A} ORDER BY ID" << FieldType::Float << amounts;
        QTest::newRow("Paradox decimal plus zero")
            << "SELECT AMOUNT + 0 FROM {P} ORDER BY ID" << FieldType::Float << amounts;
        QTest::newRow("dBASE coalesce")
            << "SELECT COALESCE(AMOUNT, 0) FROM {A} ORDER BY ID" << FieldType::Float << amounts;
        QTest::newRow("Paradox sum by group")
            << "SELECT SUM(AMOUNT) FROM {P} GROUP BY ID ORDER BY ID" << FieldType::BCD << amounts;
        QTest::newRow("dBASE sum by group")
            << "SELECT SUM(AMOUNT) FROM {A} GROUP BY ID ORDER BY ID" << FieldType::BCD << amounts;
        QTest::newRow("integers then reals") << "SELECT column1 FROM (VALUES (1), (2), (2.5))"
                                             << FieldType::Float << QStringList { "1", "2", "2.5" };
        QTest::newRow("reals then text") << "SELECT column1 FROM (VALUES (1.5), ('abc'), (2))"
                                         << FieldType::String << QStringList { "1.5", "abc", "2" };
        QTest::newRow("integers then text")
            << "SELECT column1 FROM (VALUES (7), ('x'))" << FieldType::String << QStringList { "7", "x" };
        QTest::newRow("null first") << "SELECT column1 FROM (VALUES (NULL), (3), (4.5))" << FieldType::Float
                                    << QStringList { "", "3", "4.5" };
        QTest::newRow("only nulls") << "SELECT column1 FROM (VALUES (NULL), (NULL))" << FieldType::String
                                    << QStringList { "", "" };
        QTest::newRow("integers stay integers")
            << "SELECT column1 FROM (VALUES (9007199254740993), (-5))" << FieldType::LargeInt
            << QStringList { "9007199254740993", "-5" };
        // A double cannot hold 2^53 + 1: text holds both.
        QTest::newRow("big integer then a real")
            << "SELECT column1 FROM (VALUES (9007199254740993), (0.5))" << FieldType::String
            << QStringList { "9007199254740993", "0.5" };
        QTest::newRow("a real then a big integer")
            << "SELECT column1 FROM (VALUES (0.5), (-9007199254740993))" << FieldType::String
            << QStringList { "0.5", "-9007199254740993" };
        QTest::newRow("text then a blob") << "SELECT column1 FROM (VALUES ('a'), (x'00ff'), (1))"
                                          << FieldType::Blob << QStringList { "61", "00ff", "31" };
        // A table column's declared type, until a compound gives it a value of another kind.
        QTest::newRow("a date column, then text")
            << "SELECT SINCE FROM {A} UNION ALL SELECT 'some day'" << FieldType::String
            << QStringList { "2020-01-02", "", "2020-01-04", "some day" };
        QTest::newRow("a date column stays a date")
            << "SELECT SINCE FROM {A} UNION ALL SELECT '2021-05-06'" << FieldType::Date
            << QStringList { "2020-01-02", "", "2020-01-04", "2021-05-06" };
    }
    void computedColumnTypes()
    {
        QFETCH(QString, select);
        QFETCH(FieldType, type);
        QFETCH(QStringList, values);
        Query q;
        q.setSQLText(QString(select)
                         .replace(QLatin1String("{A}"), u'"' + path("amounts.dbf") + u'"')
                         .replace(QLatin1String("{P}"), u'"' + path("amounts.db") + u'"'));
        q.open();
        const QStringList streamed = column(q);
        QCOMPARE(q.field(0).type, type);
        QCOMPARE(column(q), values); // read again, in the type learned
        if (type != FieldType::Blob)
            QCOMPARE(streamed, values); // as each row came
    }

    // A type learned late holds for the rows stepped again from the start.
    void widenedBeyondTheWindow()
    {
        Query q;
        q.setSQLText(QStringLiteral("SELECT CASE WHEN ID < 900 THEN ID ELSE ID + 0.5 END FROM \"%1\"")
                         .arg(path("big.dbf")));
        q.open();
        QCOMPARE(q.field(0).type, FieldType::LargeInt);
        QCOMPARE(q.text(0), QString("1"));
        q.setRecNo(950);
        QCOMPARE(q.field(0).type, FieldType::Float);
        QCOMPARE(q.value(0).toDouble(), 950.5);
        q.setRecNo(3); // behind the kept window
        QCOMPARE(q.value(0), QVariant(3.0));
        QCOMPARE(q.text(0), QString("3"));
        QCOMPARE(q.recordCount(), 1000);
    }

    // Where the scale of a result column is known (a decimal column, or
    // SUM, TOTAL, MIN or MAX of one) the column has it, and its values are
    // rounded to it; elsewhere no scale is made up.
    void decimalsOfAggregates_data()
    {
        QTest::addColumn<QString>("select"); // {A}, {P} the amounts, {S} three that sum with a rounding error
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("sum") << "SELECT SUM(AMOUNT) FROM {S}" << FieldType::BCD << 2
                             << QStringList { "149998500" };
        QTest::newRow("total") << "SELECT TOTAL(AMOUNT) FROM {S}" << FieldType::BCD << 2
                               << QStringList { "149998500" };
        QTest::newRow("sum of a qualified column, named")
            << "SELECT sum(s.AMOUNT) AS total FROM {S} s" << FieldType::BCD << 2
            << QStringList { "149998500" };
        QTest::newRow("sum of distinct values")
            << "SELECT SUM(DISTINCT AMOUNT) FROM {S}" << FieldType::BCD << 2 << QStringList { "149998500" };
        QTest::newRow("sum through a WITH clause")
            << "-- the total\nWITH s AS (SELECT AMOUNT FROM {S}) SELECT SUM(AMOUNT) FROM s" << FieldType::BCD
            << 2 << QStringList { "149998500" };
        QTest::newRow("sum of Paradox decimals")
            << "SELECT SUM(AMOUNT) FROM {P}" << FieldType::BCD << 2 << QStringList { "-4.25" };
        QTest::newRow("min") << "SELECT MIN(AMOUNT) FROM {A}" << FieldType::BCD << 2
                             << QStringList { "-7.5" };
        QTest::newRow("max of a date")
            << "SELECT MAX(SINCE) AS last FROM {A}" << FieldType::Date << 0 << QStringList { "2020-01-04" };
        QTest::newRow("the decimal column itself")
            << "SELECT AMOUNT FROM {S} ORDER BY ID" << FieldType::BCD << 2
            << QStringList { "47366365.98", "98527562.6", "4104571.42" };
        QTest::newRow("average: no known scale") << "SELECT AVG(AMOUNT) FROM {A}" << FieldType::Float << 0
                                                 << QStringList { "-1.4166666666666667" };
        QTest::newRow("sum of an expression: no known scale")
            << "SELECT SUM(AMOUNT * 2) FROM {A}" << FieldType::Float << 0 << QStringList { "-8.5" };
        QTest::newRow("sum of integers")
            << "SELECT SUM(ID) FROM {P}" << FieldType::LargeInt << 0 << QStringList { "6" };
        QTest::newRow("a compound: no known scale") << "SELECT SUM(AMOUNT) FROM {A} UNION ALL SELECT 1"
                                                    << FieldType::Float << 0 << QStringList { "-4.25", "1" };
    }
    void decimalsOfAggregates()
    {
        QFETCH(QString, select);
        QFETCH(FieldType, type);
        QFETCH(int, decimals);
        QFETCH(QStringList, values);
        Query q;
        q.setSQLText(QString(select)
                         .replace(QLatin1String("{A}"), u'"' + path("amounts.dbf") + u'"')
                         .replace(QLatin1String("{P}"), u'"' + path("amounts.db") + u'"')
                         .replace(QLatin1String("{S}"), u'"' + path("sums.dbf") + u'"'));
        q.open();
        QCOMPARE(column(q), values);
        QCOMPARE(q.field(0).type, type);
        QCOMPARE(q.field(0).decimals, decimals);
    }

    // What a statement is comes from SQLite, not from its first word: a
    // comment or a WITH clause may come first.
    void statementKinds_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("rows");
        QTest::newRow("select") << "SELECT * FROM kinds" << true;
        QTest::newRow("after a block comment") << "/*--- header ---*/ SELECT * FROM kinds" << true;
        QTest::newRow("after a line comment") << "-- note\nSELECT * FROM kinds" << true;
        QTest::newRow("after comments and space") << "  /* a */ -- b\n\n  select 1" << true;
        QTest::newRow("values") << "VALUES (1), (2)" << true;
        QTest::newRow("with") << "WITH a(x) AS (SELECT ID FROM kinds) SELECT x FROM a" << true;
        QTest::newRow("with, not materialized")
            << "WITH RECURSIVE a AS NOT MATERIALIZED (SELECT 1), b AS (SELECT 2) SELECT * FROM a, b" << true;
        QTest::newRow("explain") << "EXPLAIN SELECT * FROM kinds" << true;
        QTest::newRow("update") << "UPDATE kinds SET NAME = NAME" << false;
        QTest::newRow("update after a comment") << "/* fix */ UPDATE kinds SET NAME = NAME" << false;
        QTest::newRow("delete after a with clause")
            << "WITH a AS (SELECT 99 AS x) DELETE FROM kinds WHERE ID IN (SELECT x FROM a)" << false;
        QTest::newRow("insert of a select") << "INSERT INTO kinds (ID) SELECT 99 WHERE 0" << false;
        QTest::newRow("only a comment") << "-- nothing" << false;
    }
    void statementKinds()
    {
        QFETCH(QString, statement);
        QFETCH(bool, rows);
        makeCustomers("kinds", 2);
        QCOMPARE(Query::returnsRows(statement), rows);
        Query q;
        q.setDirectory(dir.path());
        q.setSQLText(statement);
        QCOMPARE(q.returnsRows(), rows);
        if (rows) {
            q.open();
            QVERIFY(q.fieldCount() > 0);
        }
    }

    // A statement that changes records, opened: it runs once with its tables
    // open for writing, whatever comes before it, then says it has no rows.
    void openingAChange_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("update") << "UPDATE opened SET NAME = 'changed' WHERE ID = 2";
        QTest::newRow("update after a comment")
            << "/*--- header ---*/\nUPDATE opened SET NAME = 'changed' WHERE ID = 2";
        QTest::newRow("with clause")
            << "-- fix\nWITH a AS (SELECT 2 AS x) UPDATE opened SET NAME = 'changed' "
               "WHERE ID IN (SELECT x FROM a)";
    }
    void openingAChange()
    {
        QFETCH(QString, statement);
        makeCustomers("opened", 3);
        Query q;
        q.setDirectory(dir.path());
        q.setSQLText(statement);
        try {
            q.open();
            QFAIL("a change opened as a result set");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains("no result set"), qPrintable(e.message()));
        }
        QVERIFY(!q.isOpen());
        q.setSQLText("SELECT NAME FROM opened ORDER BY ID");
        q.open();
        QCOMPARE(column(q), QStringList({ "Smith1", "changed", "Smith3" }));
    }

    // Data packets are tables to SQL too, read-only.
    void packets_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("xml") << "staff.xml";
        QTest::newRow("binary") << "staff.cds";
    }
    void packets()
    {
        QFETCH(QString, file);
        QTemporaryDir work;
        {
            ClientDataSet cds;
            cds.addFieldDef("ID", FieldType::Integer);
            cds.addFieldDef("NAME", FieldType::String, 20);
            cds.addFieldDef("WAGE", FieldType::BCD, 10, false, 2);
            cds.addFieldDef("ACTIVE", FieldType::Boolean);
            cds.addFieldDef("HIRED", FieldType::Date);
            cds.createDataSet();
            cds.appendRecord({ 1, "Ada", "10.10", true, QDate(2021, 3, 4) });
            cds.appendRecord({ 2, "Bea", "20.20", false, QDate(2022, 1, 1) });
            cds.appendRecord({ 5, "Cy", QVariant(), true, QDate(2019, 12, 31) });
            cds.saveToFile(work.filePath(file), ClientDataSet::formatForFileName(file, PacketFormat::Binary));
        }
        QVERIFY(QFile::copy(path("customer.dbf"), work.filePath("customer.dbf")));
        Query q;
        q.setDirectory(work.path());
        // By its file name, and by its bare name.
        const QString bare = QFileInfo(file).completeBaseName();
        q.setSQLText(
            QStringLiteral("SELECT s.NAME, c.NAME, s.WAGE FROM \"%1\" s JOIN customer c ON c.ID = s.ID "
                           "ORDER BY s.ID")
                .arg(file));
        q.open();
        QStringList rows;
        for (q.first(); !q.eof(); q.next())
            rows << q.text(0) + u'|' + q.text(1) + u'|' + q.text(2);
        QCOMPARE(rows, QStringList({ "Ada|Smith1|10.1", "Bea|Jones2|20.2", "Cy|Smith5|" }));
        QCOMPARE(q.field(2).type, FieldType::BCD);
        q.close();
        q.setSQLText(QStringLiteral("SELECT SUM(WAGE) AS total FROM %1").arg(bare));
        q.open();
        QCOMPARE(q.text(0), QString("30.3"));
        QCOMPARE(q.field(0).decimals, 2);
        q.close();
        // Booleans are 0 and 1 to SQL, dates ISO text.
        q.setSQLText(
            QStringLiteral("SELECT group_concat(NAME) FROM %1 WHERE ACTIVE = 1 AND HIRED >= '2020-01-01'")
                .arg(bare));
        q.open();
        QCOMPARE(q.text(0), QString("Ada"));
        q.close();
        q.setSQLText(QStringLiteral("DELETE FROM %1 WHERE ID = 1").arg(bare));
        try {
            q.execSQL();
            QFAIL("a packet was changed");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(file) && e.message().contains("does not change"),
                     qPrintable(e.message()));
        }
        q.setSQLText(QStringLiteral("DROP TABLE %1").arg(bare));
        try {
            q.execSQL();
            QFAIL("a packet was dropped");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains("data packet"), qPrintable(e.message()));
        }
        ClientDataSet back;
        back.loadFromFile(work.filePath(file));
        QCOMPARE(back.recordCount(), 3);
    }

    void sqlLines()
    {
        Query q;
        q.addSQL("SELECT *");
        q.addSQL("FROM customer");
        QCOMPARE(q.sqlLineCount(), 2);
        q.saveSQLToFile(path("q.sql"));
        Query r;
        r.loadSQLFromFile(path("q.sql"));
        QCOMPARE(r.sqlLines(), QStringList({ "SELECT *", "FROM customer" }));
        r.clearSQL();
        QCOMPARE(r.sqlLineCount(), 0);
        QVERIFY_THROWS_EXCEPTION(EngineError, r.loadSQLFromFile(path("missing.sql")));
    }

    void selectWithDialect()
    {
        Query q;
        q.addSQL(QStringLiteral("SELECT c.ID, c.NAME, c.SINCE FROM \"%1\" c").arg(path("customer.dbf")));
        q.addSQL("WHERE (c.NAME LIKE \"Smi%\") ORDER BY c.ID");
        q.open();
        QCOMPARE(q.fieldCount(), 3);
        QCOMPARE(q.field(2).type, FieldType::Date); // the table's own type comes through
        QCOMPARE(q.recordCount(), 3);
        QStringList rows;
        for (q.first(); !q.eof(); q.next())
            rows << q.text(0) + u'|' + q.text(1) + u'|' + q.text(2);
        QCOMPARE(rows, QStringList({ "1|Smith1|2020-01-02", "3|Smith3|", "5|Smith5|2020-01-06" }));
        try {
            q.edit();
            QFAIL("a result set was edited");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QString("Cannot modify a read-only dataset"));
        }
    }

    void expressionsAndBareNames()
    {
        Query q;
        q.setDirectory(dir.path());
        q.setSQLText("SELECT count(*) AS N, sum(ID) AS S, max(NAME) AS M FROM customer");
        q.open();
        QCOMPARE(q.field("N").type, FieldType::LargeInt);
        QCOMPARE(q.integer(0), 6);
        QCOMPARE(q.integer(1), 21);
        QCOMPARE(q.text(2), QString("Smith5"));
    }

    void aliasReference()
    {
        Session session;
        session.addVirtualAlias("DEMO", "STANDARD", { "PATH=" + dir.path() });
        Query q;
        q.setSession(&session);
        q.setSQLText("SELECT NAME FROM \":DEMO:customer.dbf\" WHERE ID = 2");
        q.open();
        QCOMPARE(q.text(0), QString("Jones2"));
    }

    void lazyRandomAccess_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("factor");
        QTest::newRow("table column") << "ID" << 1;
        // An expression's type comes from a first step, which stays the first row.
        QTest::newRow("expression") << "ID * 3" << 3;
    }

    void lazyRandomAccess()
    {
        QFETCH(QString, column);
        QFETCH(int, factor);
        Query q;
        q.setSQLText(QStringLiteral("SELECT %1 FROM \"%2\"").arg(column, path("big.dbf")));
        q.open();
        QCOMPARE(q.integer(0), 1 * factor);
        q.next();
        QCOMPARE(q.integer(0), 2 * factor);
        q.setRecNo(900); // far ahead
        QCOMPARE(q.integer(0), 900 * factor);
        q.setRecNo(5); // behind the kept window: stepped again from the start
        QCOMPARE(q.integer(0), 5 * factor);
        QCOMPARE(q.recordCount(), 1000);
        q.last();
        QCOMPARE(q.integer(0), 1000 * factor);
        q.prior();
        QCOMPARE(q.integer(0), 999 * factor);

        // No rows at all: the expression is shown as text, and nothing is there.
        q.close();
        q.setSQLText(QStringLiteral("SELECT %1 FROM \"%2\" WHERE ID > 5000").arg(column, path("big.dbf")));
        q.open();
        QVERIFY(q.isEmpty());
        QCOMPARE(q.recordCount(), 0);
        QVERIFY(q.eof());
    }

    void statements()
    {
        makeCustomers("work", 4);
        Query q;
        q.setDirectory(dir.path());
        q.setSQLText("UPDATE work SET NAME = \"changed\" WHERE ID <= 2");
        QCOMPARE(q.execSQL(), 2);
        q.setSQLText("INSERT INTO work (ID, NAME) VALUES (9, \"new\");\nDELETE FROM work WHERE ID = 4");
        QCOMPARE(q.execSQL(), 2);
        // A statement with no result set runs once, then fails to open.
        q.setSQLText("DELETE FROM work WHERE ID = 3");
        try {
            q.open();
            QFAIL("opened a DELETE");
        } catch (const EngineError &e) {
            QVERIFY(e.message().contains("no result set"));
        }
        QVERIFY(!q.isOpen());
        q.setSQLText("SELECT ID, NAME FROM work ORDER BY ID");
        q.open();
        QStringList rows;
        for (q.first(); !q.eof(); q.next())
            rows << q.text(0) + u'|' + q.text(1);
        QCOMPARE(rows, QStringList({ "1|changed", "2|changed", "9|new" }));
    }

    void createAndDropLocalTables_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("dBASE") << "made.dbf" << QStringList { "made.dbf", "made.dbt" };
        QTest::newRow("Paradox") << "made.db" << QStringList { "made.db", "made.mb" };
    }
    void createAndDropLocalTables()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, files);
        QTemporaryDir work;
        Query q;
        q.setDirectory(work.path());
        q.setSQLText(
            QStringLiteral("CREATE TABLE \"%1\" (ID INTEGER, \"PRICE\" NUMERIC(10,2), NAME CHAR(20) NOT "
                           "NULL, SINCE DATE, NOTES MEMO)")
                .arg(file));
        q.execSQL();
        QVERIFY(QFileInfo::exists(work.filePath(file)));
        q.setSQLText(QStringLiteral("INSERT INTO \"%1\" (ID, \"PRICE\", NAME, SINCE, NOTES) VALUES (1, 2.5, "
                                    "\"first\", \"2024-02-29\", \"a note\")")
                         .arg(file));
        QCOMPARE(q.execSQL(), 1);
        Table t;
        t.setDatabaseName(work.path());
        t.setTableName(file);
        t.open();
        QCOMPARE(t.recordCount(), 1);
        QCOMPARE(t.field(2).name, QString("NAME"));
        QCOMPARE(t.value(3).toDate(), QDate(2024, 2, 29));
        QCOMPARE(t.text(4), QString("a note"));
        t.close();
        q.setSQLText(QStringLiteral("CREATE TABLE \"%1\" (A CHAR(5))").arg(file));
        QVERIFY_THROWS_EXCEPTION(EngineError, q.execSQL()); // there already
        q.setSQLText(QStringLiteral("DROP TABLE \"%1\"").arg(file));
        q.execSQL();
        for (const QString &f : files)
            QVERIFY2(!QFileInfo::exists(work.filePath(f)), qPrintable(f));
        q.setSQLText(QStringLiteral("DROP TABLE IF EXISTS \"%1\"").arg(file));
        QCOMPARE(q.execSQL(), 0);
        q.setSQLText("CREATE TABLE \"bad.dbf\" (A VARCHAR)");
        try {
            q.execSQL();
            QFAIL("a character column without a size was created");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains("needs a size"), qPrintable(e.message()));
        }
        QVERIFY(!QFileInfo::exists(work.filePath("bad.dbf")));
    }

    void errors()
    {
        Query q;
        q.setDirectory(dir.path());
        q.setSQLText("SELECT *\nFROM nosuch");
        try {
            q.open();
            QFAIL("opened a missing table");
        } catch (const sql::SqlError &e) {
            QCOMPARE(e.line(), 2);
            QCOMPARE(e.column(), 6);
        }
        // SQLite's own complaint, placed in the user's text.
        q.setSQLText("SELECT ID,\n  \"a string\", NOPE FROM customer");
        try {
            q.open();
            QFAIL("unknown column accepted");
        } catch (const sql::SqlError &e) {
            QVERIFY2(e.message().contains("NOPE"), qPrintable(e.message()));
            QCOMPARE(e.line(), 2);
            QCOMPARE(e.column(), 15);
        }
        q.setSQLText("UPDATE customer SET NAME = NAME WHERE 0 = 1;\nUPDATE customer SET NAME = NOPE");
        try {
            q.execSQL();
            QFAIL("unknown column accepted");
        } catch (const sql::SqlError &e) {
            QCOMPARE(e.line(), 2);
        }
        q.setSQLText("SELECT * FROM customer WHERE NAME = 'x");
        QVERIFY_THROWS_EXCEPTION(sql::SqlError, q.open());
    }
};

QTEST_GUILESS_MAIN(QueryTest)
#include "tst_query.moc"
