// The query: SQL text as lines, statements run over the table files, and
// read-only result sets read lazily.
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/sql/Dialect.h"

#include <QtTest>

using namespace qvx;

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

private slots:
    void initTestCase()
    {
        makeCustomers("customer", 6);
        makeCustomers("big", 1000);
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
