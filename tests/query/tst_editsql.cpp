// The SQL editor: the statement it composes from the working lists and its
// own grids, line by line and attribute by attribute, and the rows that
// statement gives when it runs on the real engine over table files.
#include "support/ScriptedServices.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "query/EditSQL.h"
#include "query/SQLCompleter.h"
#include "query/SQLDataModule.h"
#include "ui/DBGrid.h"
#include "ui/FindDialogs.h"
#include "ui/TableChoice.h"
#include "ui/TextSearch.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTreeWidget>

#include <memory>

using namespace qvx;

using Rows = QList<QVariantList>;
Q_DECLARE_METATYPE(Rows)

class EditSQLTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    Session session;
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TSQLData> sqlData;
    std::unique_ptr<ui::TableChoice> choice;
    std::unique_ptr<TEditSQLForm> form;

    const TEditorTable customer { "customer.db", { "CustNo", "Company", "City" } };
    const TEditorTable orders { "orders.dbf", { "OrderNo", "CustNo", "Amount" } };

    // The editor as "SQL Editor" opens it on a table of the SHOP alias.
    void open(const TEditorTable &table)
    {
        choice->chooseAliasTable("SHOP", table.caption);
        form->Execute(table);
    }
    // The editor as "Add Table" opens it again (the lists are kept).
    void reopen(const TEditorTable &table) { open(table); }
    void run()
    {
        form->BuildTexts();
        form->RunEditorSQL();
    }
    Rows rows()
    {
        Rows out;
        Query &q = sqlData->Query;
        if (!q.isOpen())
            return out;
        for (q.first(); !q.eof(); q.next()) {
            QVariantList row;
            for (int i = 0; i < q.fieldCount(); ++i)
                row << q.value(i);
            out << row;
        }
        return out;
    }
    // The composed text past its ten header lines.
    QStringList statement() const { return TEditSQLForm::lines(form->SQLEdit).mid(10); }
    static void select(QListWidget *list, const QStringList &items)
    {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(items.contains(list->item(i)->text()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        session.addVirtualAlias("SHOP", "STANDARD", { "PATH=" + dir.path() });

        Table c;
        c.setDatabaseName(dir.path());
        c.setTableName("customer.db");
        c.addFieldDef("CustNo", FieldType::Integer);
        c.addFieldDef("Company", FieldType::String, 20);
        c.addFieldDef("City", FieldType::String, 20);
        c.createTable();
        c.open();
        const QList<QVariantList> customers { { 1, "Acme", "Paris" },
                                              { 2, "Bolt & Co", "Rome" },
                                              { 3, "O'Hara", "Oslo" },
                                              { 4, "Zenith", QVariant() } };
        for (const QVariantList &row : customers) {
            c.append();
            for (int i = 0; i < row.size(); ++i)
                c.setValue(i, row[i]);
            c.post();
        }

        Table o;
        o.setDatabaseName(dir.path());
        o.setTableName("orders.dbf");
        o.addFieldDef("OrderNo", FieldType::Integer);
        o.addFieldDef("CustNo", FieldType::Integer);
        o.addFieldDef("Amount", FieldType::Integer);
        o.createTable();
        o.open();
        const QList<QVariantList> rows {
            { 10, 1, 50 }, { 11, 1, 70 }, { 12, 2, 500 }, { 13, 3, 5 }, { 14, 3, 6 }
        };
        for (const QVariantList &row : rows) {
            o.append();
            for (int i = 0; i < row.size(); ++i)
                o.setValue(i, row[i]);
            o.post();
        }
    }

    void init()
    {
        services = std::make_unique<ScriptedServices>();
        sqlData = std::make_unique<TSQLData>();
        sqlData->Query.setSession(&session);
        choice = std::make_unique<ui::TableChoice>();
        form = std::make_unique<TEditSQLForm>(*sqlData, *choice);
    }

    void cleanup()
    {
        form.reset();
        choice.reset();
        sqlData.reset();
        services.reset();
    }

    // One plain table opened through an alias, nothing else chosen.
    void workedExample()
    {
        open({ "customer.db", { "CustNo", "Company" } });
        QCOMPARE(services->modalDialogs, QStringList { "EditSQLForm" });

        struct Expect {
            QString text; // the line, or its start when prefix
            bool prefix;
            bool bold;
            bool teal;
            int pointSize; // 0: the box's own
        };
        const QString dashes(60, u'-');
        const QList<Expect> header { { "/*" + dashes, false, false, true, 0 },
                                     { "", false, false, true, 0 },
                                     { "  ANSI/ISO LOCAL SQL", false, true, true, 0 },
                                     { "  Data Manipulation (DML)", false, true, true, 0 },
                                     { "", false, false, true, 0 },
                                     { "  Date - ", true, false, true, 8 },
                                     { "  Time - ", true, false, true, 8 },
                                     { "", false, false, true, 0 },
                                     { dashes + "*/", false, false, true, 0 },
                                     { "", false, false, false, 0 } };
        const QTextDocument *doc = form->SQLEdit->document();
        for (int i = 0; i < header.size(); ++i) {
            const QTextBlock block = doc->findBlockByNumber(i);
            const Expect &e = header[i];
            if (e.prefix)
                QVERIFY2(block.text().startsWith(e.text) && block.text().size() > e.text.size(),
                         qPrintable(block.text()));
            else
                QCOMPARE(block.text(), e.text);
            const QTextCharFormat f
                = block.text().isEmpty() ? block.charFormat() : block.begin().fragment().charFormat();
            QVERIFY2((f.fontWeight() == QFont::Bold) == e.bold, qPrintable(QString::number(i)));
            QCOMPARE(f.foreground().color() == QColor(0, 128, 128), e.teal);
            if (e.pointSize)
                QCOMPARE(f.fontPointSize(), qreal(e.pointSize));
        }
        QVERIFY(!doc->findBlockByNumber(6).text().contains(u':'));

        const QStringList expected { "SELECT",
                                     "  customer.CustNo,",
                                     "  customer.Company",
                                     "",
                                     "FROM",
                                     "  \":SHOP:customer.db\" customer",
                                     "",
                                     "",
                                     "",
                                     "" };
        QCOMPARE(statement(), expected);
        for (int i = 0; i < expected.size(); ++i) {
            const QTextBlock block = doc->findBlockByNumber(10 + i);
            if (block.text().isEmpty())
                continue;
            QCOMPARE(block.begin().fragment().charFormat().fontWeight() == QFont::Bold,
                     expected[i] == "SELECT" || expected[i] == "FROM");
        }

        // The statement, header comment and all, returns its rows.
        form->RunEditorSQL();
        QCOMPARE(rows(), (Rows { { 1, "Acme" }, { 2, "Bolt & Co" }, { 3, "O'Hara" }, { 4, "Zenith" } }));
        QCOMPARE(sqlData->Query.sqlLines(), TEditSQLForm::lines(form->SQLEdit));
        QTreeWidgetItem *root = form->SystemTree->topLevelItem(0);
        QCOMPARE(root->text(0), "SQL TABLE");
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(1)->text(0), "Name - \"Company\"");
        QCOMPARE(root->child(1)->child(0)->text(0), "Dislpay Label - \"Company\"");
    }

    // A statement that changes a table runs once, not once to execute and
    // once more to open.
    void statementRunsOnce()
    {
        Table log;
        log.setDatabaseName(dir.path());
        log.setTableName("log.dbf");
        log.addFieldDef("CustNo", FieldType::Integer);
        log.createTable();
        open(customer);
        form->SQLEdit->setPlainText(
            QString("/* copy */\nINSERT INTO \"%1/log.dbf\"\nSELECT\n  CustNo\nFROM\n  "
                    "\":SHOP:customer.db\" customer")
                .arg(dir.path()));
        form->RunEditorSQL();
        log.open();
        QCOMPARE(log.recordCount(), 4);
    }

    void criteria_data()
    {
        QTest::addColumn<QStringList>("rows"); // four cells a row
        QTest::addColumn<QStringList>("where");
        QTest::addColumn<QVariantList>("custNos");
        const auto row = [](QStringList a, QStringList b = {}) { return a + b; };
        QTest::newRow("=") << row({ "", "customer.City", "=", "Paris" })
                           << QStringList { "WHERE", "  (customer.City = 'Paris')" } << QVariantList { 1 };
        QTest::newRow(">") << row({ "", "customer.CustNo", ">", "2" })
                           << QStringList { "WHERE", "  (customer.CustNo > 2)" } << QVariantList { 3, 4 };
        QTest::newRow("<=") << row({ "", "customer.CustNo", "<=", "2" })
                            << QStringList { "WHERE", "  (customer.CustNo <= 2)" } << QVariantList { 1, 2 };
        QTest::newRow("LIKE") << row({ "", "customer.Company", "LIKE", "B%" })
                              << QStringList { "WHERE", "  (customer.Company LIKE 'B%')" }
                              << QVariantList { 2 };
        QTest::newRow("NOT LIKE") << row({ "", "customer.Company", "NOT LIKE", "%o%" })
                                  << QStringList { "WHERE", "  (customer.Company NOT LIKE '%o%')" }
                                  << QVariantList { 1, 4 };
        QTest::newRow("IN") << row({ "", "customer.City", "IN", "Paris, Oslo" })
                            << QStringList { "WHERE", "  (customer.City IN ('Paris', 'Oslo'))" }
                            << QVariantList { 1, 3 };
        QTest::newRow("NOT IN") << row({ "", "customer.CustNo", "NOT IN", "(1, 2)" })
                                << QStringList { "WHERE", "  (customer.CustNo NOT IN (1, 2))" }
                                << QVariantList { 3, 4 };
        QTest::newRow("BETWEEN") << row({ "", "customer.CustNo", "BETWEEN", "2 and 3" })
                                 << QStringList { "WHERE", "  (customer.CustNo BETWEEN 2 AND 3)" }
                                 << QVariantList { 2, 3 };
        QTest::newRow("NOT BETWEEN") << row({ "", "customer.CustNo", "NOT BETWEEN", "2 AND 3" })
                                     << QStringList { "WHERE", "  (customer.CustNo NOT BETWEEN 2 AND 3)" }
                                     << QVariantList { 1, 4 };
        QTest::newRow("IS NULL") << row({ "", "customer.City", "IS NULL", "ignored" })
                                 << QStringList { "WHERE", "  (customer.City IS NULL)" }
                                 << QVariantList { 4 };
        QTest::newRow("IS NOT NULL") << row({ "", "customer.City", "IS NOT NULL", "" })
                                     << QStringList { "WHERE", "  (customer.City IS NOT NULL)" }
                                     << QVariantList { 1, 2, 3 };
        // Against the text 'customer.City' Zenith would be less too.
        QTest::newRow("field against field")
            << row({ "", "customer.Company", "<", "customer.City" })
            << QStringList { "WHERE", "  (customer.Company < customer.City)" } << QVariantList { 1, 2, 3 };
        QTest::newRow("quote in the value")
            << row({ "", "customer.Company", "=", "O'Hara" })
            << QStringList { "WHERE", "  (customer.Company = 'O''Hara')" } << QVariantList { 3 };
        QTest::newRow("value that tries to end the literal")
            << row({ "", "customer.Company", "=", "x' OR 1=1 --" })
            << QStringList { "WHERE", "  (customer.Company = 'x'' OR 1=1 --')" } << QVariantList {};
        QTest::newRow("AND when empty")
            << row({ "", "customer.CustNo", ">", "1" }, { "", "customer.CustNo", "<", "4" })
            << QStringList { "WHERE", "  (customer.CustNo > 1)", "  AND (customer.CustNo < 4)" }
            << QVariantList { 2, 3 };
        QTest::newRow("OR") << row({ "", "customer.CustNo", "=", "1" },
                                   { "OR", "customer.City", "=", "Rome" })
                            << QStringList { "WHERE", "  (customer.CustNo = 1)",
                                             "  OR (customer.City = 'Rome')" }
                            << QVariantList { 1, 2 };
        QTest::newRow("NOT") << row({ "NOT", "customer.CustNo", "=", "1" },
                                    { "NOT", "customer.CustNo", "=", "2" })
                             << QStringList { "WHERE", "  NOT (customer.CustNo = 1)",
                                              "  AND NOT (customer.CustNo = 2)" }
                             << QVariantList { 3, 4 };
        QTest::newRow("unknown operator adds nothing")
            << row({ "", "customer.CustNo", "; DROP", "1" }) << QStringList {} << QVariantList { 1, 2, 3, 4 };
    }

    void criteria()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, where);
        QFETCH(QVariantList, custNos);
        open(customer);
        for (qsizetype i = 0; i < rows.size(); i += 4) {
            Record rec;
            for (qsizetype k = 0; k < 4; ++k)
                rec.push_back(rows[i + k]);
            form->CriteriaDataSet.appendRecord(rec);
        }
        run();
        QCOMPARE(TEditSQLForm::lines(form->WhereEdit), where);
        QVariantList got;
        for (const QVariantList &row : this->rows())
            got << row[0];
        QCOMPARE(got, custNos);
    }

    // Criteria follow the conditions of a search, which stay together.
    void criteriaAfterSearch()
    {
        open(customer);
        sqlData->AddFieldCondition("=Paris;=Rome", "customer.City");
        form->CriteriaDataSet.appendRecord({ "", "customer.CustNo", ">", "1" });
        run();
        QCOMPARE(TEditSQLForm::lines(form->WhereEdit),
                 (QStringList { "WHERE", "  (", "  (customer.City = \"Paris\")",
                                "  OR (customer.City = \"Rome\")", "  )", "  AND (customer.CustNo > 1)" }));
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows()[0][0], QVariant(2));
    }

    void groupingWithHaving_data()
    {
        QTest::addColumn<QStringList>("having"); // five cells a row
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QVariantList>("custNos");
        QTest::newRow("none") << QStringList {} << QStringList { "GROUP BY", "  orders.CustNo" }
                              << QVariantList { 1, 2, 3 };
        QTest::newRow("COUNT") << QStringList { "ALL", "COUNT", "orders.OrderNo", ">", "1" }
                               << QStringList { "GROUP BY", "  orders.CustNo", "HAVING",
                                                "  (COUNT(orders.OrderNo) > 1)" }
                               << QVariantList { 1, 3 };
        QTest::newRow("ANY joins with OR")
            << QStringList { "ALL", "COUNT", "orders.OrderNo", ">",  "1",
                             "ANY", "SUM",   "orders.Amount",  ">=", "500" }
            << QStringList { "GROUP BY", "  orders.CustNo", "HAVING", "  (COUNT(orders.OrderNo) > 1)",
                             "  OR (SUM(orders.Amount) >= 500)" }
            << QVariantList { 1, 2, 3 };
        QTest::newRow("NONE joins with AND NOT")
            << QStringList { "",     "COUNT",        "orders.OrderNo", ">", "1",
                             "NONE", "SUM DISTINCT", "orders.Amount",  "<", "20" }
            << QStringList { "GROUP BY", "  orders.CustNo", "HAVING", "  (COUNT(orders.OrderNo) > 1)",
                             "  AND NOT (SUM(DISTINCT orders.Amount) < 20)" }
            << QVariantList { 1 };
        QTest::newRow("the old spelling of BETWEEN")
            << QStringList { "", "MAX", "orders.Amount", "BETWWEN", "60 AND 600" }
            << QStringList { "GROUP BY", "  orders.CustNo", "HAVING",
                             "  (MAX(orders.Amount) BETWEEN 60 AND 600)" }
            << QVariantList { 1, 2 };
    }

    void groupingWithHaving()
    {
        QFETCH(QStringList, having);
        QFETCH(QStringList, lines);
        QFETCH(QVariantList, custNos);
        open(orders);
        form->SystemTables->setCurrentWidget(form->GroupingSheet);
        select(form->GroupingSrcList, { "orders.CustNo" });
        form->GroupingIncludeBtn->click();
        QVERIFY(form->GroupingExcludeBtn->isEnabled());
        for (qsizetype i = 0; i < having.size(); i += 5)
            form->GroupDataSet.appendRecord(
                { having[i], having[i + 1], having[i + 2], having[i + 3], having[i + 4] });
        run();
        // The output fields are exactly the grouped ones.
        QCOMPARE(TEditSQLForm::lines(form->SelectEdit), (QStringList { "SELECT", "  orders.CustNo" }));
        QCOMPARE(TEditSQLForm::lines(form->WhereEdit), lines);
        QVariantList got;
        for (const QVariantList &row : rows())
            got << row[0];
        std::sort(got.begin(), got.end(),
                  [](const QVariant &a, const QVariant &b) { return a.toInt() < b.toInt(); });
        QCOMPARE(got, custNos);
    }

    // A Paradox table joined with a dBASE one.
    void joinOfTwoFormats()
    {
        open(customer);
        reopen(orders);
        QCOMPARE(sqlData->FromList(),
                 (QStringList { "\":SHOP:customer.db\" customer", "\":SHOP:orders.dbf\" orders" }));
        // Only the company and the order number are output.
        QStringList keep { "customer.Company", "orders.OrderNo" };
        for (form->SelectionDataSet.first(); !form->SelectionDataSet.eof(); form->SelectionDataSet.next()) {
            form->SelectionDataSet.edit();
            form->SelectionDataSet.setText(3, keep.contains(form->SelectionDataSet.text(0)) ? "Yes" : "No");
            form->SelectionDataSet.post();
        }
        form->JoinsDataSet.appendRecord(
            { "customer", "INNER JOIN", "orders", "customer.CustNo", "=", "orders.CustNo" });
        form->SortingSrcList->clear();
        form->SortingDstList->addItem("orders.OrderNo");
        run();
        QCOMPARE(statement(),
                 (QStringList {
                     "SELECT", "  customer.Company,", "  orders.OrderNo", "", "FROM",
                     "  \":SHOP:customer.db\" customer", "", "INNER JOIN \":SHOP:orders.dbf\" orders", "ON",
                     "  (customer.CustNo = orders.CustNo)", "", "", "ORDER BY", "  orders.OrderNo", "" }));
        QCOMPARE(
            rows(),
            (Rows {
                { "Acme", 10 }, { "Acme", 11 }, { "Bolt & Co", 12 }, { "O'Hara", 13 }, { "O'Hara", 14 } }));
    }

    // A join record without a comparison writes no join, and its table
    // stays in the From List.
    void incompleteJoinKeepsItsTable()
    {
        open(customer);
        reopen(orders);
        form->JoinsDataSet.appendRecord(
            { "customer", "INNER JOIN", "orders", "customer.CustNo", "", "orders.CustNo" });
        form->BuildTexts();
        QVERIFY(TEditSQLForm::lines(form->JoinEdit).isEmpty());
        QCOMPARE(
            TEditSQLForm::lines(form->FromEdit),
            (QStringList { "FROM", "  \":SHOP:customer.db\" customer,", "  \":SHOP:orders.dbf\" orders" }));
    }

    // The fault SQLite finds is where the cursor goes, and its line is marked.
    void errorPutsTheCursorAtTheFault_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line"); // from 0
        QTest::addColumn<int>("column"); // from 0
        QTest::newRow("two commas")
            << "/* x */\nSELECT\n  customer.CustNo,,\nFROM\n  \":SHOP:customer.db\" customer" << 2 << 18;
        QTest::newRow("unknown column")
            << "SELECT\n  customer.CustNo,\n  customer.Nope\nFROM\n  \":SHOP:customer.db\" customer" << 2
            << 2;
    }

    void errorPutsTheCursorAtTheFault()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, column);
        open(customer);
        form->SQLEdit->setPlainText(text);
        form->command("SQLExecute")->trigger();
        QCOMPARE(services->errors().size(), 1);
        QVERIFY(!sqlData->Query.isOpen());
        const QTextCursor cursor = form->SQLEdit->textCursor();
        QCOMPARE(cursor.blockNumber(), line);
        QCOMPARE(cursor.positionInBlock(), column);
        QCOMPARE(form->SQLEdit->extraSelections().size(), 1);
        QCOMPARE(form->SQLEdit->extraSelections().at(0).cursor.blockNumber(), line);
        QCOMPARE(form->PageSets->currentWidget(), form->TextEditors);
    }

    void textWithoutSelectAndFromDoesNothing()
    {
        open(customer);
        form->SQLEdit->setPlainText("select\n  CustNo\nfrom\n  \":SHOP:customer.db\" customer");
        form->command("SQLExecute")->trigger();
        QVERIFY(services->errors().isEmpty());
        QVERIFY(!sqlData->Query.isOpen());
    }

    void movingItems()
    {
        open({ "t", { "A", "B", "C", "D" } });
        form->SystemTables->setCurrentWidget(form->SortingSheet);
        select(form->SortingSrcList, { "A", "B", "C" });
        form->SortingIncludeBtn->click();
        QCOMPARE(form->SortingDstList->count(), 3);
        QCOMPARE(form->SortingDstList->item(0)->text(), "C");
        QCOMPARE(form->SortingDstList->item(2)->text(), "A");
        QCOMPARE(form->SortingSrcList->currentItem()->text(), "D");
        form->SortingIncAllBtn->click();
        QCOMPARE(form->SortingSrcList->count(), 0);
        QVERIFY(!form->SortingIncludeBtn->isEnabled());
        QVERIFY(form->SortingExAllBtn->isEnabled());
        form->BuildTexts();
        QCOMPARE(TEditSQLForm::lines(form->OrderEdit),
                 (QStringList { "ORDER BY", "  C,", "  B,", "  A,", "  D" }));
    }

    // A second opening on the same table does not duplicate the selection;
    // "New" empties everything.
    // A selection row stands for its field: the field's cell is shown but
    // not edited; the others are.
    void selectionFieldIsReadOnly()
    {
        open(customer);
        QAbstractItemModel *model = form->SelectionGrid->model();
        QVERIFY(model->rowCount() > 0);
        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
        for (int column = 1; column < 4; ++column)
            QVERIFY(model->flags(model->index(0, column)) & Qt::ItemIsEditable);
    }

    void reopenAndReset()
    {
        open(customer);
        form->SystemTables->setCurrentWidget(form->SortingSheet);
        select(form->SortingSrcList, { "customer.City" });
        form->SortingIncludeBtn->click();
        sqlData->ClearLists(); // the main window does so when it is active again
        open(customer);
        QCOMPARE(form->SelectionDataSet.recordCount(), 3);
        QCOMPARE(TEditSQLForm::lines(form->OrderEdit), (QStringList { "ORDER BY", "  customer.City" }));

        // Every selection record "No": the Select List is "SELECT" alone.
        for (form->SelectionDataSet.first(); !form->SelectionDataSet.eof(); form->SelectionDataSet.next()) {
            form->SelectionDataSet.edit();
            form->SelectionDataSet.setText(3, "No");
            form->SelectionDataSet.post();
        }
        form->BuildTexts();
        QCOMPARE(TEditSQLForm::lines(form->SelectEdit), QStringList { "SELECT" });

        form->command("SQLNew")->trigger();
        QVERIFY(sqlData->SelectList().isEmpty());
        QCOMPARE(form->SortingDstList->count(), 0);
        QCOMPARE(form->SelectionDataSet.recordCount(), 0);
        QVERIFY(form->SQLEdit->toPlainText().isEmpty());
    }

    void tableReference_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("from");
        QTest::newRow("alias") << "customer.db" << false << "customer.CustNo"
                               << "\":SHOP:customer.db\" customer";
        QTest::newRow("file") << "customer.db" << true << "customer.CustNo"
                              << "\"%1/customer.db\" customer";
        QTest::newRow("caption without a full stop") << "customer" << false << "CustNo"
                                                     << "\":SHOP:customer.db\" customer";
    }

    void tableReference()
    {
        QFETCH(QString, caption);
        QFETCH(bool, fromFile);
        QFETCH(QString, field);
        QFETCH(QString, from);
        if (fromFile) {
            choice->chooseFile(dir.filePath("customer.db"));
            choice->markOpenedFromFile();
            from = from.arg(dir.path());
        } else {
            choice->chooseAliasTable("SHOP", "customer.db");
        }
        form->Execute(TEditorTable { caption, { "CustNo" } });
        QCOMPARE(sqlData->SelectList(), QStringList { field });
        QCOMPARE(sqlData->FromList(), QStringList { from });
        form->RunEditorSQL();
        QCOMPARE(rows().size(), 4);
    }

    // A file in windows-1252 is read as such and written back the same.
    void loadAndSaveKeepTheEncoding()
    {
        const QByteArray text
            = "SELECT\n  'caf\xe9' AS Word\nFROM\n  \":SHOP:customer.db\" customer\nWHERE CustNo = 1\n";
        const QString in = dir.filePath("legacy.sql"), out = dir.filePath("copy.sql");
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        services->openAnswers.push_back(ui::FileDialogAnswer { in, 1 });
        services->saveAnswers.push_back(ui::FileDialogAnswer { out, 1 });
        form->command("SQlLoad")->trigger();
        QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join('\n')));
        QCOMPARE(form->loadedEncoding(), "windows-1252");
        QCOMPARE(rows(), (Rows { { QString::fromUtf8("caf\xc3\xa9") } }));
        form->command("SQLSave")->trigger();
        QFile g(out);
        QVERIFY(g.open(QIODevice::ReadOnly));
        QCOMPARE(g.readAll(), text);
        QCOMPARE(services->openRequests.at(0).filter,
                 "SQL Table|*.sql|Text document|*.txt|All files ...|*.*");
    }

    void commands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("SQLNew") << "SQLNew"
                                << "New"
                                << "Ctrl+N" << true;
        QTest::newRow("SQlLoad") << "SQlLoad"
                                 << "Load"
                                 << "Ctrl+L" << true;
        QTest::newRow("SQLSave") << "SQLSave"
                                 << "Save"
                                 << "Ctrl+S" << true;
        QTest::newRow("SQLExecute") << "SQLExecute"
                                    << "Execute SQL"
                                    << "F10" << true;
        QTest::newRow("SQLTables") << "SQLTables"
                                   << "System Tables"
                                   << "F2" << true;
        QTest::newRow("SQLEditors") << "SQLEditors"
                                    << "Text Editors"
                                    << "F3" << true;
        QTest::newRow("SQLRTFEditor") << "SQLRTFEditor"
                                      << "RTF Editor"
                                      << "F4" << true;
        QTest::newRow("SQLPrint") << "SQLPrint"
                                  << "Print"
                                  << "Ctrl+P" << true;
        QTest::newRow("SQLExit") << "SQLExit"
                                 << "Exit ..."
                                 << "Alt+X" << true;
        QTest::newRow("SearchFindNext") << "SearchFindNext"
                                        << "Find &Next"
                                        << "F9" << false;
    }

    void commands()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(bool, enabled);
        ui::Command *c = form->command(name);
        QCOMPARE(c->text(), caption);
        QCOMPARE(c->shortcut().toString(), shortcut);
        QCOMPARE(c->isEnabled(), enabled);
    }

    // The search commands find in the focused rich-text box through the find
    // dialog: its options, "Find First" from the top, and a text not found.
    void find_data()
    {
        QTest::addColumn<QString>("commandName");
        QTest::addColumn<int>("cursorAt");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("foundAt"); // -1: not found
        // "SELECT City\nFROM customer\nWHERE City = 'Oslo'": City at 7 and 32.
        QTest::newRow("from the cursor") << "SearchFind" << 0 << "City" << false << false << 7;
        QTest::newRow("past the cursor") << "SearchFind" << 8 << "City" << false << false << 32;
        QTest::newRow("first, cursor at the end") << "SearchFindFirst" << 50 << "City" << false << false << 7;
        QTest::newRow("any case") << "SearchFind" << 0 << "oslo" << false << false << 40;
        QTest::newRow("match case") << "SearchFind" << 0 << "oslo" << true << false << -1;
        QTest::newRow("up from the end") << "SearchFind" << 50 << "City" << false << true << 32;
        QTest::newRow("nowhere") << "SearchFind" << 0 << "Zurich" << false << false << -1;
    }

    void find()
    {
        QFETCH(QString, commandName);
        QFETCH(int, cursorAt);
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(bool, up);
        QFETCH(int, foundAt);
        open(customer);
        form->show();
        form->command("SQLEditors")->trigger();
        form->SQLEdit->setPlainText("SELECT City\nFROM customer\nWHERE City = 'Oslo'");
        QTextCursor cursor = form->SQLEdit->textCursor();
        cursor.setPosition(std::min(cursorAt, int(form->SQLEdit->toPlainText().size())));
        form->SQLEdit->setTextCursor(cursor);
        form->SQLEdit->setFocus();

        form->command(commandName)->trigger();
        TFindDialog *dialog = form->Search->findDialog();
        QVERIFY(dialog->isVisible());
        dialog->FindEdit->setFocus(); // typing there keeps SQLEdit the searched box
        dialog->FindEdit->setText(text);
        dialog->MatchCaseBox->setChecked(matchCase);
        (up ? dialog->UpButton : dialog->DownButton)->setChecked(true);
        QTest::mouseClick(dialog->FindNextButton, Qt::LeftButton);

        if (foundAt < 0) {
            QCOMPARE(services->messages.size(), 1);
            QCOMPARE(services->messages.first().icon, ui::MessageIcon::Information);
            QCOMPARE(services->messages.first().text, QString("Search string '%1' not found").arg(text));
            QVERIFY(!form->SQLEdit->textCursor().hasSelection());
        } else {
            QVERIFY(services->messages.isEmpty());
            QCOMPARE(form->SQLEdit->textCursor().selectionStart(), foundAt);
            QCOMPARE(form->SQLEdit->textCursor().selectedText().compare(text, Qt::CaseInsensitive), 0);
        }
    }

    // "Find Next" is there once a search has run, repeats it from the cursor,
    // and says so when there is no further match.
    void findNextRepeatsTheSearch()
    {
        open(customer);
        form->show();
        form->command("SQLEditors")->trigger();
        form->SQLEdit->setPlainText("SELECT City\nFROM customer\nWHERE City = 'Oslo'");
        form->SQLEdit->setFocus();
        QVERIFY(form->command("SearchFind")->isEnabled());
        QVERIFY(!form->command("SearchFindNext")->isEnabled());
        form->command("SearchFind")->trigger();
        TFindDialog *dialog = form->Search->findDialog();
        dialog->FindEdit->setText("City");
        emit dialog->FindNextButton->clicked();
        QCOMPARE(form->SQLEdit->textCursor().selectionStart(), 7);
        QVERIFY(form->command("SearchFindNext")->isEnabled());

        form->command("SearchFindNext")->trigger();
        QCOMPARE(form->SQLEdit->textCursor().selectionStart(), 32);
        QVERIFY(services->messages.isEmpty());
        form->command("SearchFindNext")->trigger();
        QCOMPARE(services->messages.size(), 1);
        QCOMPARE(services->messages.first().text, "Search string 'City' not found");
        // The find dialog opens again on the last searched text.
        dialog->FindEdit->clear();
        form->command("SearchFind")->trigger();
        QCOMPARE(dialog->FindEdit->text(), "City");
    }

    // Replace works in the list box on the current page and leaves the
    // other boxes alone; the replace dialog starts with the last search.
    void replaceInAListBox()
    {
        open(customer);
        form->show();
        form->command("SQLEditors")->trigger();
        form->TextEditors->setCurrentWidget(form->SelectControl);
        form->SelectEdit->setPlainText("customer.CustNo,\ncustomer.Company,\ncustomer.City");
        const QString sql = form->SQLEdit->toPlainText();
        QVERIFY(sql.contains("customer."));
        form->SelectEdit->setFocus();

        form->command("SearchReplace")->trigger();
        TReplaceDialog *dialog = form->Search->replaceDialog();
        QVERIFY(dialog->isVisible());
        dialog->FindEdit->setFocus();
        dialog->FindEdit->setText("customer.");
        dialog->ReplaceEdit->setText("c.customer.");
        // The first Replace only finds (nothing matching is selected yet); the
        // second replaces that one and goes on to the next.
        emit dialog->ReplaceButton->clicked();
        QCOMPARE(form->SelectEdit->textCursor().selectionStart(), 0);
        QCOMPARE(form->SelectEdit->toPlainText(), "customer.CustNo,\ncustomer.Company,\ncustomer.City");
        emit dialog->ReplaceButton->clicked();
        QCOMPARE(form->SelectEdit->toPlainText(), "c.customer.CustNo,\ncustomer.Company,\ncustomer.City");
        QCOMPARE(form->SelectEdit->textCursor().selectedText(), "customer.");
        QVERIFY(form->command("SearchFindNext")->isEnabled());

        // Replace All over the whole box: a replacement holding the searched
        // text is not replaced again.
        emit dialog->ReplaceAllButton->clicked();
        QCOMPARE(form->SelectEdit->toPlainText(),
                 "c.c.customer.CustNo,\nc.customer.Company,\nc.customer.City");
        QCOMPARE(form->SQLEdit->toPlainText(), sql);
        QVERIFY(services->messages.isEmpty());

        form->command("SearchReplace")->trigger();
        QCOMPARE(dialog->FindEdit->text(), "customer.");
    }

    // Closing the editor closes its find and replace dialogs with it.
    void searchDialogsCloseWithTheEditor()
    {
        open(customer);
        form->show();
        form->command("SearchFind")->trigger();
        form->command("SearchReplace")->trigger();
        QVERIFY(form->Search->findDialog()->isVisible());
        QVERIFY(form->Search->replaceDialog()->isVisible());
        form->command("SQLExit")->trigger();
        QVERIFY(!form->isVisible());
        QVERIFY(!form->Search->findDialog()->isVisible());
        QVERIFY(!form->Search->replaceDialog()->isVisible());
    }

    // Typing in SQLEdit offers the tables' correlation names and fields.
    void completion_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("line"); // after Enter takes the first offer
        QTest::newRow("correlation name")
            << "  cus"
            << QStringList { "customer", "customer.CustNo", "CustNo", "customer.Company", "customer.City" }
            << "  customer";
        QTest::newRow("field after the name")
            << "  customer.Ci" << QStringList { "customer.City" } << "  customer.City";
        QTest::newRow("bare field, any case") << "  comp" << QStringList { "Company" } << "  Company";
    }

    void completion()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, offered);
        QFETCH(QString, line);
        open(customer);
        form->show();
        form->command("SQLEditors")->trigger();
        form->SQLEdit->setFocus();
        form->SQLEdit->moveCursor(QTextCursor::End);
        QTest::keyClick(form->SQLEdit, Qt::Key_Return);
        QTest::keyClicks(form->SQLEdit, typed);
        QCompleter *completer = form->SQLCompleter->completer();
        QVERIFY(completer->popup()->isVisible());
        QStringList got;
        for (int i = 0; completer->setCurrentRow(i); ++i)
            got << completer->currentCompletion();
        QCOMPARE(got, offered);
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QVERIFY(!completer->popup()->isVisible());
        QCOMPARE(TEditSQLForm::lines(form->SQLEdit).last(), line);
    }

    // Text set by the program opens no pop-up.
    void noCompletionWhenTheProgramWrites()
    {
        open(customer);
        form->show();
        form->command("SQLEditors")->trigger();
        form->SQLEdit->setFocus();
        form->SQLEdit->moveCursor(QTextCursor::End);
        form->SQLEdit->insertPlainText("customer.Cu"); // the cursor stays after the word
        QCOMPARE(form->SQLEdit->textCursor().block().text(), "customer.Cu");
        QVERIFY(!form->SQLCompleter->completer()->popup()->isVisible());
    }

    // Colours of SQLEdit's text: at (line, column), the colour drawn over the text.
    void highlighting_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QColor>("colour"); // invalid: none
        const QColor keyword(0, 0, 160), string(160, 0, 0), table(128, 0, 128), comment(0, 128, 128);
        QTest::newRow("comment's second line") << 1 << 1 << comment;
        QTest::newRow("keyword after the comment") << 1 << 6 << keyword;
        QTest::newRow("string with a doubled quote") << 1 << 16 << string;
        QTest::newRow("table path") << 1 << 28 << table;
        QTest::newRow("correlation name") << 1 << 38 << QColor();
        QTest::newRow("line comment") << 1 << 41 << comment;
        QTest::newRow("double-quoted value") << 2 << 10 << string;
        QTest::newRow("field named like a keyword") << 2 << 2 << QColor();
    }

    void highlighting()
    {
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QColor, colour);
        form->SQLEdit->setPlainText("/* a\n b */ SELECT 'it''s' x FROM \"/d/t.db\" t -- c\nt.Order = \"x\"");
        const QTextBlock block = form->SQLEdit->document()->findBlockByNumber(line);
        QColor drawn;
        for (const QTextLayout::FormatRange &range : block.layout()->formats())
            if (column >= range.start && column < range.start + range.length)
                drawn = range.format.foreground().color();
        QCOMPARE(drawn, colour);
    }

    void pageSetsAndPrinting()
    {
        form->command("SQLEditors")->trigger();
        QCOMPARE(form->PageSets->currentWidget(), form->TextEditors);
        form->command("SQLTables")->trigger();
        QCOMPARE(form->PageSets->currentWidget(), form->SystemTables);
        open(customer);
        const QString pdf = dir.filePath("sql.pdf");
        services->printer().setOutputFileName(pdf);
        services->printAnswers.push_back(true);
        form->command("SQLPrint")->trigger();
        QCOMPARE(services->printDialogs, 1);
        QCOMPARE(services->printer().docName(), "ANSI/ISO SQL");
        QVERIFY(QFileInfo(pdf).size() > 0);
    }
};

QTEST_MAIN(EditSQLTest)
#include "tst_editsql.moc"
