// The working query: condition text typed into search boxes becomes WHERE
// lines, and the lists become one statement that runs over the table files.
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "query/SQLDataModule.h"

#include <QTemporaryDir>
#include <QTest>

using namespace qvx;

class SQLDataTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    Session session;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        session.addVirtualAlias("SHOP", "STANDARD", { "PATH=" + dir.path() });
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName("customer.db");
        t.addFieldDef("Name", FieldType::String, 20);
        t.addFieldDef("City", FieldType::String, 20);
        t.createTable();
        t.open();
        const QList<QStringList> rows { { "Smith", "Paris" },
                                        { "Smirnov", "Oslo" },
                                        { "Smit", "Rome" },
                                        { "Jones", "Paris" },
                                        { "O\"Hara", "Rome" } };
        for (const QStringList &row : rows) {
            t.append();
            t.setText(0, row[0]);
            t.setText(1, row[1]);
            t.post();
        }
    }

    void buildComparison_data()
    {
        QTest::addColumn<QString>("piece");
        QTest::addColumn<QString>("comparison");
        QTest::newRow("greater or equal") << ">=100"
                                          << " >= \"100\"";
        QTest::newRow("equal") << "=Smith"
                               << " = \"Smith\"";
        QTest::newRow("not equal") << "<>0"
                                   << " <> \"0\"";
        QTest::newRow("numbers stay quoted") << "=12"
                                             << " = \"12\"";
        QTest::newRow("operator inside the value") << "a=b"
                                                   << " = \"ab\"";
        QTest::newRow("two operators") << "<=5>=1"
                                       << " <= \"5>=1\" >= \"51\"";
        QTest::newRow("trailing wildcard") << "Smi.."
                                           << " LIKE \"Smi%\"";
        QTest::newRow("leading wildcard") << "..son"
                                          << " LIKE \"%son\"";
        QTest::newRow("inner wildcard") << "A..Z"
                                        << " LIKE \"A%Z\"";
        QTest::newRow("LIKE replaces the comparison") << "=Smi.."
                                                      << " LIKE \"Smi%\"";
        QTest::newRow("full stop before the wildcard") << "1.5.."
                                                       << " LIKE \"1%5.\"";
        QTest::newRow("several wildcards") << "a..b..c"
                                           << " LIKE \"a%b%c\"";
        QTest::newRow("no operator") << "Smith"
                                     << "";
        QTest::newRow("empty") << ""
                               << "";
        // A quote in the value is doubled so the literal cannot be closed early.
        QTest::newRow("double quote") << "=O\"Hara"
                                      << " = \"O\"\"Hara\"";
        QTest::newRow("injection attempt") << "=x\" OR 1=1 --"
                                           << " = \"x\"\" OR 1=1 --\" = \"x\"\" OR 11 --\"";
    }

    void buildComparison()
    {
        QFETCH(QString, piece);
        QFETCH(QString, comparison);
        TSQLData data;
        QCOMPARE(data.BuildComparison(piece), comparison);
    }

    void addFieldCondition_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("or") << ">10;<2" << QStringList { "(Price > \"10\")", "OR (Price < \"2\")" };
        QTest::newRow("not") << "^=0" << QStringList { "NOT (Price = \"0\")" };
        QTest::newRow("and then or") << ">10,<20;=5"
                                     << QStringList { "(Price > \"10\")", "AND (Price < \"20\")",
                                                      "OR (Price = \"5\")" };
        QTest::newRow("trailing separator") << "=5;" << QStringList { "(Price = \"5\")", "OR (Price)" };
        QTest::newRow("caret alone") << "^" << QStringList { "NOT (Price)" };
        QTest::newRow("caret after separator")
            << "=1,^=2" << QStringList { "(Price = \"1\")", "NOT (Price = \"2\")" };
        QTest::newRow("empty") << "" << QStringList { "(Price)" };
    }

    void addFieldCondition()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        TSQLData data;
        data.append(TSQLData::Where, { "kept" });
        data.AddFieldCondition(text, "Price");
        QCOMPARE(data.WhereList(), QStringList { "kept" } + lines);
    }

    // The statement a search assembles, line by line, and its rows.
    void runSelectWorkedExample()
    {
        TSQLData data;
        data.Query.setSession(&session);
        data.append(TSQLData::Select, { "customer.Name", "customer.City" });
        data.append(TSQLData::From, { "\":SHOP:customer.db\" customer" });
        data.CountCondition();
        data.AddFieldCondition("Smi..", "Name");
        data.CountCondition();
        data.append(TSQLData::Where, { "AND", "(" });
        data.AddFieldCondition("=Paris;=Rome", "City");
        data.append(TSQLData::Where, { ")" });
        QCOMPARE(data.ConditionCount(), 2);
        data.RunSelect();

        const QStringList expected { "SELECT",
                                     "  customer.Name,",
                                     "  customer.City",
                                     "",
                                     "FROM",
                                     "  \":SHOP:customer.db\" customer",
                                     "",
                                     "WHERE",
                                     "(",
                                     "  (Name LIKE \"Smi%\")",
                                     "  AND",
                                     "  (",
                                     "  (City = \"Paris\")",
                                     "  OR (City = \"Rome\")",
                                     "  )",
                                     ")" };
        QCOMPARE(data.Query.sqlLines(), expected);
        QCOMPARE(data.ConditionCount(), 0);
        QVERIFY(data.Query.isOpen());
        QStringList names;
        for (data.Query.first(); !data.Query.eof(); data.Query.next())
            names << data.Query.text(0);
        names.sort();
        QCOMPARE(names, QStringList({ "Smit", "Smith" }));
    }

    void quoteInValueStaysOneLiteral()
    {
        TSQLData data;
        data.Query.setSession(&session);
        data.append(TSQLData::Select, { "customer.Name" });
        data.append(TSQLData::From, { "\":SHOP:customer.db\" customer" });
        data.AddFieldCondition("=O\"Hara", "Name");
        data.RunSelect();
        QCOMPARE(data.Query.recordCount(), 1);
        QCOMPARE(data.Query.text(0), QStringLiteral("O\"Hara"));
    }

    // Empty lists give an empty text that still runs; no result set comes of
    // it, the engine says so and the query stays closed.
    void emptyListsStillRun()
    {
        TSQLData data;
        data.Query.setSQLText("SELECT 1");
        QVERIFY_THROWS_EXCEPTION(EngineError, data.RunSelect());
        QCOMPARE(data.Query.sqlLineCount(), 0);
        QVERIFY(!data.Query.isOpen());
    }

    void badStatementReported()
    {
        TSQLData data;
        data.Query.setSession(&session);
        data.append(TSQLData::Where, { "(Price)" });
        QVERIFY_THROWS_EXCEPTION(EngineError, data.RunSelect());
        QVERIFY(!data.Query.isOpen());
    }

    void clearListsEmptiesAll()
    {
        TSQLData data;
        for (int l = 0; l < TSQLData::WorkingListCount; ++l)
            data.append(TSQLData::WorkingList(l), { "x" });
        data.ClearLists();
        for (int l = 0; l < TSQLData::WorkingListCount; ++l)
            QVERIFY(data.list(TSQLData::WorkingList(l)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SQLDataTest)
#include "tst_sqldata.moc"
