// SQL over table files through the virtual-table module: reads, joins,
// grouping, and INSERT/UPDATE/DELETE landing in the files.
#include "engine/Table.h"
#include "engine/sql/TableModule.h"

#include <QtTest>
#include <sqlite3.h>

using namespace qvx;

namespace {

struct Db {
    sqlite3 *db = nullptr;
    Db()
    {
        sqlite3_open(":memory:", &db);
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
