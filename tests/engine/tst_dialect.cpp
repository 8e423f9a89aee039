// Rewriting the program's SQL dialect into SQLite's: table references,
// double-quoted strings and field names, comments and error positions.
#include "engine/sql/Dialect.h"
#include "fuzz/fuzz_dialect.h"
#include "fuzz_replay.h"

#include <QtTest>

using namespace qvx::sql;

class DialectTest : public QObject {
    Q_OBJECT

private slots:
    void rewrite_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("specs"); // distinct table references, in order
        QTest::newRow("path") << "SELECT * FROM \"/data/customer.db\""
                              << "SELECT * FROM \"customer\"" << QStringList { "/data/customer.db" };
        QTest::newRow("path with correlation")
            << "SELECT c.Name FROM \"/data/customer.db\" c"
            << "SELECT c.Name FROM \"customer\" c" << QStringList { "/data/customer.db" };
        QTest::newRow("AS correlation")
            << "SELECT * FROM \"/d/customer.db\" AS \"cust\""
            << "SELECT * FROM \"customer\" AS \"cust\"" << QStringList { "/d/customer.db" };
        QTest::newRow("alias table") << "SELECT * FROM \":DEMO:orders.dbf\" o"
                                     << "SELECT * FROM \"orders\" o" << QStringList { ":DEMO:orders.dbf" };
        QTest::newRow("bare name and string")
            << "SELECT * FROM customer WHERE (Name LIKE \"Smi%\")"
            << "SELECT * FROM \"customer\" WHERE (Name LIKE 'Smi%')" << QStringList { "customer" };
        QTest::newRow("field after full stop")
            << "SELECT customer.\"Company Name\" FROM \"/d/customer.db\""
            << "SELECT customer.\"Company Name\" FROM \"customer\"" << QStringList { "/d/customer.db" };
        QTest::newRow("quotes inside strings")
            << "SELECT * FROM t WHERE a = \"O'Brien\" OR b = \"say \"\"hi\"\"\" OR c = 'it''s'"
            << "SELECT * FROM \"t\" WHERE a = 'O''Brien' OR b = 'say \"hi\"' OR c = 'it''s'"
            << QStringList { "t" };
        QTest::newRow("join")
            << "SELECT * FROM \"/a/customer.db\" c INNER JOIN \"/a/orders.dbf\" o ON c.ID = o.CUST WHERE o.X "
               "= \"1\""
            << "SELECT * FROM \"customer\" c INNER JOIN \"orders\" o ON c.ID = o.CUST WHERE o.X = '1'"
            << QStringList { "/a/customer.db", "/a/orders.dbf" };
        QTest::newRow("left outer join")
            << "SELECT * FROM a LEFT OUTER JOIN b ON a.k = b.k"
            << "SELECT * FROM \"a\" LEFT OUTER JOIN \"b\" ON a.k = b.k" << QStringList { "a", "b" };
        QTest::newRow("same base name twice")
            << "SELECT * FROM \"/a/x.db\" a, \"/b/x.db\" b WHERE a.k = b.k"
            << "SELECT * FROM \"x\" a, \"x_2\" b WHERE a.k = b.k" << QStringList { "/a/x.db", "/b/x.db" };
        QTest::newRow("second of a name keeps its correlation")
            << "SELECT x.k FROM \"/a/y.db\" x, \"/b/x.db\""
            << "SELECT x.k FROM \"y\" x, \"x\"" << QStringList { "/a/y.db", "/b/x.db" };
        QTest::newRow("deduplicated name gets its base as correlation")
            << "SELECT * FROM \"/a/x.db\" p, \"/b/x.db\""
            << "SELECT * FROM \"x\" p, \"x_2\" AS \"x\"" << QStringList { "/a/x.db", "/b/x.db" };
        QTest::newRow("self join") << "SELECT * FROM \"/a/x.db\" a JOIN \"/a/x.db\" b ON a.p = b.k"
                                   << "SELECT * FROM \"x\" a JOIN \"x\" b ON a.p = b.k"
                                   << QStringList { "/a/x.db" };
        // A WITH clause names tables of its own: a bare reference to one is no file.
        QTest::newRow("with clause")
            << "WITH big(n) AS (SELECT n FROM orders WHERE n > 9), few AS NOT MATERIALIZED (SELECT 1)\n"
               "SELECT * FROM big JOIN Few ON 1 JOIN customer c ON c.k = big.n"
            << "WITH big(n) AS (SELECT n FROM \"orders\" WHERE n > 9), few AS NOT MATERIALIZED (SELECT 1)\n"
               "SELECT * FROM big JOIN Few ON 1 JOIN \"customer\" c ON c.k = big.n"
            << QStringList { "orders", "customer" };
        QTest::newRow("with clause named as a file")
            << "WITH orders AS (SELECT * FROM \"/a/orders.dbf\") SELECT * FROM orders"
            << "WITH orders AS (SELECT * FROM \"orders_2\" AS \"orders\") SELECT * FROM orders"
            << QStringList { "/a/orders.dbf" };
        QTest::newRow("subquery") << "SELECT * FROM (SELECT * FROM \"/a/x.db\") s WHERE s.A = \"1\""
                                  << "SELECT * FROM (SELECT * FROM \"x\") s WHERE s.A = '1'"
                                  << QStringList { "/a/x.db" };
        QTest::newRow("group and order")
            << "SELECT City, count(*) FROM c GROUP BY City HAVING City <> \"\" ORDER BY 2"
            << "SELECT City, count(*) FROM \"c\" GROUP BY City HAVING City <> '' ORDER BY 2"
            << QStringList { "c" };
        QTest::newRow("insert") << "INSERT INTO \"/a/x.dbf\" (A, B) VALUES (\"v\", 2)"
                                << "INSERT INTO \"x\" (A, B) VALUES ('v', 2)" << QStringList { "/a/x.dbf" };
        QTest::newRow("update") << "UPDATE \"/a/x.dbf\" SET Name = \"n\" WHERE ID = 1"
                                << "UPDATE \"x\" SET Name = 'n' WHERE ID = 1" << QStringList { "/a/x.dbf" };
        QTest::newRow("delete") << "DELETE FROM \"/a/x.dbf\" WHERE Name IS NULL"
                                << "DELETE FROM \"x\" WHERE Name IS NULL" << QStringList { "/a/x.dbf" };
        QTest::newRow("create") << "CREATE TABLE \"/a/new.dbf\" (A CHAR(10))"
                                << "CREATE TABLE \"new\" (A CHAR(10))" << QStringList { "/a/new.dbf" };
        QTest::newRow("drop if exists") << "DROP TABLE IF EXISTS \"/a/new.dbf\""
                                        << "DROP TABLE IF EXISTS \"new\"" << QStringList { "/a/new.dbf" };
        QTest::newRow("comments kept")
            << "SELECT /* \"x\" */ * FROM t -- \"y\"\nWHERE a = 1"
            << "SELECT /* \"x\" */ * FROM \"t\" -- \"y\"\nWHERE a = 1" << QStringList { "t" };
        QTest::newRow("no table") << "SELECT \"abc\""
                                  << "SELECT 'abc'" << QStringList {};
        QTest::newRow("sqlite name") << "SELECT * FROM sqlite_master"
                                     << "SELECT * FROM \"t_sqlite_master\" AS \"sqlite_master\""
                                     << QStringList { "sqlite_master" };
    }
    void rewrite()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(QStringList, specs);
        const Rewrite r = rewriteDialect(in);
        QCOMPARE(r.sql, out);
        QStringList got;
        for (const TableRef &t : r.tables)
            got << t.spec;
        QCOMPARE(got, specs);
    }

    void referenceParts()
    {
        const Rewrite r = rewriteDialect("SELECT *\n  FROM \":DEMO:orders.dbf\" o, \"/d/c.db\", parts");
        QCOMPARE(r.tables.size(), std::size_t(3));
        QCOMPARE(int(r.tables[0].kind), int(TableRef::Kind::Alias));
        QCOMPARE(r.tables[0].alias, QString("DEMO"));
        QCOMPARE(r.tables[0].table, QString("orders.dbf"));
        QCOMPARE(r.tables[0].line, 2);
        QCOMPARE(r.tables[0].column, 8);
        QCOMPARE(int(r.tables[1].kind), int(TableRef::Kind::Path));
        QCOMPARE(r.tables[1].table, QString("c.db"));
        QCOMPARE(int(r.tables[2].kind), int(TableRef::Kind::Bare));
        QCOMPARE(r.tables[2].name, QString("parts"));
    }

    void errors_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("what");
        QTest::newRow("open string") << "SELECT *\nFROM t WHERE a = 'open" << 2 << 18
                                     << "a string is not closed";
        QTest::newRow("open quoted") << "SELECT \"x" << 1 << 8
                                     << "a double-quoted name or string is not closed";
        QTest::newRow("open comment") << "SELECT 1 /* never\nclosed" << 1 << 10 << "a comment is not closed";
        QTest::newRow("alias without table")
            << "SELECT * FROM \":DEMO\"" << 1 << 15 << "is not a table of an alias";
        QTest::newRow("empty alias") << "SELECT * FROM \"::x.db\"" << 1 << 15 << "is not a table of an alias";
        QTest::newRow("folder only") << "SELECT * FROM \"/data/\"" << 1 << 15 << "names no table";
        QTest::newRow("AS without name") << "SELECT * FROM t AS WHERE a = 1" << 1 << 20 << "must follow AS";
    }
    void errors()
    {
        QFETCH(QString, in);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QString, what);
        try {
            rewriteDialect(in);
            QFAIL("accepted");
        } catch (const SqlError &e) {
            QCOMPARE(e.line(), line);
            QCOMPARE(e.column(), column);
            QVERIFY2(e.message().contains(what), qPrintable(e.message()));
            QVERIFY(e.message().startsWith(QStringLiteral("Line %1, column %2: ").arg(line).arg(column)));
        }
    }

    // The fuzz target, replayed on its seeds and on every input that once broke it.
    void fuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_dialect"); }
    void fuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::dialectInput); }
};

QTEST_GUILESS_MAIN(DialectTest)
#include "tst_dialect.moc"
