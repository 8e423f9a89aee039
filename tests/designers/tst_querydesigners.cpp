// The search and result form designers over a real working query: which
// fields they lay out and where, "Update Form", and searches typed into the
// live form that refresh a result form.
#include "designers/ResultManager.h"
#include "designers/SearchManager.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "query/SQLDataModule.h"
#include "support/ScriptedServices.h"
#include "ui/DBEdit.h"
#include "ui/DBImage.h"
#include "ui/DBMemo.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

using namespace qvx;

class QueryDesignersTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    Session m_session;

    // The working query over one table of the SHOP alias.
    void selectFrom(TSQLData &data, const QStringList &columns, const QString &table)
    {
        data.Query.setSession(&m_session);
        data.ClearLists();
        data.append(TSQLData::Select, columns);
        data.append(TSQLData::From, { QStringLiteral("\":SHOP:%1\" t").arg(table) });
        data.RunSelect();
    }
    static QStringList placed(const TFormDesigner &designer)
    {
        QStringList out;
        for (const smControls &r : designer.ControlRecords)
            out << QStringLiteral("%1 %2 %3,%4 %5x%6 %7 %8")
                       .arg(r.Kind, r.ControlName)
                       .arg(r.Left)
                       .arg(r.Top)
                       .arg(r.Width)
                       .arg(r.Height)
                       .arg(r.Caption, r.BoundField.isEmpty() ? QStringLiteral("-") : r.BoundField);
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_session.addVirtualAlias("SHOP", "STANDARD", { "PATH=" + m_dir.path() });
        // A dBASE table of orders: an integer, a memo and a decimal.
        Table orders;
        orders.setDatabaseName(m_dir.path());
        orders.setTableName("orders.dbf");
        orders.addFieldDef("CustNo", FieldType::SmallInt); // N(6,0): read as an integer
        orders.addFieldDef("Notes", FieldType::Memo);
        orders.addFieldDef("Amount", FieldType::BCD, 12, false, 2);
        orders.createTable();
        orders.open();
        orders.appendRecord({ 7, QStringLiteral("first"), QStringLiteral("12.34") });
        orders.close();
        // A Paradox table of customers with a note and a picture.
        Table customer;
        customer.setDatabaseName(m_dir.path());
        customer.setTableName("customer.db");
        customer.addFieldDef("Name", FieldType::String, 20);
        customer.addFieldDef("City", FieldType::String, 20);
        customer.addFieldDef("Note", FieldType::Memo, 10);
        customer.addFieldDef("Photo", FieldType::Graphic);
        customer.createTable();
        customer.open();
        QImage picture(30, 20, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        const QList<QStringList> rows { { "Smith", "Paris", "likes tea" },
                                        { "Jones", "Paris", "" },
                                        { "Smirnov", "Oslo", "" },
                                        { "O\"Hara", "Rome", "quoted" } };
        for (const QStringList &row : rows)
            customer.appendRecord({ row[0], row[1], row[2].isEmpty() ? QVariant() : QVariant(row[2]),
                                    row[0] == QLatin1String("Smith") ? QVariant(png) : QVariant() });
        customer.close();
    }

    // Only fields a condition can be typed for get a caption and a box.
    void searchPlacesSearchableFields()
    {
        TSQLData data;
        selectFrom(data, { "t.CustNo", "t.Notes", "t.Amount", "t.CustNo AS \"orders.CustNo\"" },
                   "orders.dbf");
        TSearchManagerDlg designer(data, nullptr);
        designer.PopulateFromQuery();
        QCOMPARE(placed(designer),
                 (QStringList { "Label Label2 10,0 100x20 CustNo -", "Edit Edit2 110,0 100x20 CustNo CustNo",
                                "Label Label4 10,22 100x20 CustNo -",
                                "Edit Edit4 110,22 100x20 CustNo orders.CustNo" }));
        QCOMPARE(designer.windowTitle(), QStringLiteral("Search Manager"));
        QCOMPARE(designer.size(), QSize(428, 373));
        QVERIFY(designer.ControlRecords[1].Bordered);
        QVERIFY(!designer.ControlRecords[0].Bordered);
    }

    // A closed query gives an empty surface.
    void noQueryNoDesign()
    {
        TSQLData data;
        TResultManagerDlg designer(data, nullptr);
        designer.PopulateFromQuery();
        QVERIFY(designer.ControlRecords.empty());
    }

    void resultPlacesByType()
    {
        TSQLData data;
        selectFrom(data, { "t.Name", "t.Note", "t.Photo" }, "customer.db");
        TResultManagerDlg designer(data, nullptr);
        designer.PopulateFromQuery();
        QCOMPARE(placed(designer),
                 (QStringList { "Label Label1 10,0 100x20 Name -", "Edit Edit2 110,0 100x20 Name Name",
                                "Label Label3 10,22 100x20 Note -", "Memo Memo4 10,44 200x100 Note Note",
                                "Label Label5 10,146 100x20 Photo -",
                                "Image Picture6 10,168 100x100 Photo Photo" }));
    }

    // "Update Form", a search with one box filled and one empty, and a
    // result form following the new result.
    void searchRefreshesResultForm()
    {
        ScriptedServices services;
        TSQLData data;
        selectFrom(data, { "t.Name", "t.City", "t.Note", "t.Photo" }, "customer.db");
        TSearchManagerDlg search(data, nullptr);
        search.PopulateFromQuery();
        QCOMPARE(search.ControlRecords.size(), std::size_t(4)); // Name and City pairs
        TResultManagerDlg result(data, nullptr);
        result.PopulateFromQuery();
        search.BuildForm();
        result.BuildForm();
        QVERIFY(search.ControlRecords.empty());
        QCOMPARE(search.SearchBoxes().size(), 2);
        QCOMPARE(search.SearchBoxes()[0]->toolTip(), QStringLiteral("Name"));
        QCOMPARE(search.SearchBoxes()[0]->geometry(), QRect(110, 0, 100, 20));
        auto *caption = search.findChild<QLabel *>(QStringLiteral("LiveLabel2"));
        QVERIFY(caption);
        QCOMPARE(caption->text(), QStringLiteral("Name"));
        QVERIFY(caption->autoFillBackground()); // covers the painted caption underneath

        auto *name = result.findChild<ui::DBEdit *>(QStringLiteral("LiveEdit2"));
        auto *note = result.findChild<ui::DBMemo *>(QStringLiteral("LiveMemo6"));
        auto *photo = result.findChild<QScrollArea *>(QStringLiteral("LivePicture8"));
        QVERIFY(name && note && photo);
        QCOMPARE(photo->geometry(), QRect(10, 190, 100, 100));
        auto *image = qobject_cast<ui::DBImage *>(photo->widget());
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(1800, 1500));
        QCOMPARE(name->text(), QStringLiteral("Smith"));
        QCOMPARE(note->toPlainText(), QStringLiteral("likes tea"));
        QCOMPARE(image->pictureSize(), QSize(30, 20));

        search.SearchBoxes()[0]->setText(QStringLiteral("Smi.."));
        search.RunSearch();
        QCOMPARE(data.WhereList(), QStringList { "(Name LIKE \"Smi%\")" });
        QCOMPARE(search.SearchBoxes()[0]->text(), QString());
        QCOMPARE(data.Query.recordCount(), qint64(2));
        // Both boxes filled: AND with the second in parentheses.
        search.SearchBoxes()[0]->setText(QStringLiteral("Smi.."));
        search.SearchBoxes()[1]->setText(QStringLiteral("=Oslo"));
        search.RunSearch();
        QCOMPARE(data.WhereList(),
                 (QStringList { "(Name LIKE \"Smi%\")", "AND", "(", "(City = \"Oslo\")", ")" }));
        QCOMPARE(name->text(), QStringLiteral("Smirnov"));
        QVERIFY(!image->hasPicture());
        // A quote in the value stays inside its literal.
        search.SearchBoxes()[0]->setText(QStringLiteral("=O\"Hara"));
        search.RunSearch();
        QCOMPARE(data.Query.recordCount(), qint64(1));
        QCOMPARE(name->text(), QStringLiteral("O\"Hara"));
        QCOMPARE(note->toPlainText(), QStringLiteral("quoted"));
        // No box filled: no WHERE part, every record.
        search.RunSearch();
        QVERIFY(data.WhereList().isEmpty());
        QCOMPARE(data.Query.recordCount(), qint64(4));
        QCOMPARE(services.errors(), QStringList {});
    }

    // The main window empties the working lists whenever it becomes active
    // (after the SQL editor closes, say): a search still runs over the
    // statement the form was laid out over, from its lists or its text.
    void searchAfterListsEmptied_data()
    {
        QTest::addColumn<bool>("emptiedBeforeLayout");
        QTest::newRow("lists kept at layout") << false;
        QTest::newRow("lists gone at layout") << true;
    }
    void searchAfterListsEmptied()
    {
        QFETCH(bool, emptiedBeforeLayout);
        TSQLData data;
        selectFrom(data, { "t.Name", "t.City" }, "customer.db");
        if (emptiedBeforeLayout)
            data.ClearLists();
        TSearchManagerDlg search(data, nullptr);
        search.PopulateFromQuery();
        search.BuildForm();
        data.ClearLists();
        for (int round = 0; round < 2; ++round) {
            search.SearchBoxes()[0]->setText(QStringLiteral("Smi.."));
            search.SearchBoxes()[1]->setText(QStringLiteral("=Oslo"));
            search.RunSearch();
            QCOMPARE(data.Query.recordCount(), qint64(1));
            QCOMPARE(data.Query.text(0), QStringLiteral("Smirnov"));
        }
    }

    // A failing statement leaves the normal cursor and empties the boxes read.
    void failedSearchRestoresCursor()
    {
        Table gone;
        gone.setDatabaseName(m_dir.path());
        gone.setTableName("gone.db");
        gone.addFieldDef("Name", FieldType::String, 10);
        gone.createTable();
        TSQLData data;
        selectFrom(data, { "t.Name" }, "gone.db");
        TSearchManagerDlg search(data, nullptr);
        search.PopulateFromQuery();
        search.BuildForm();
        gone.deleteTable();
        search.SearchBoxes()[0]->setText(QStringLiteral("Smi.."));
        QVERIFY_THROWS_EXCEPTION(std::exception, search.RunSearch());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(search.SearchBoxes()[0]->text(), QString());
    }

    // A design saved and loaded into a new designer (with no working lists
    // and a closed query) lays out and searches as the first did.
    void designSavedAndLoaded()
    {
        ScriptedServices services;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("customers.json"));
        TSQLData data;
        selectFrom(data, { "t.Name", "t.City" }, "customer.db");
        TSearchManagerDlg first(data, nullptr);
        first.PopulateFromQuery();
        first.ControlClick(first.ControlOf(first.ControlRecords[1].ControlIndex));
        services.colorAnswers = { QColor(Qt::yellow) };
        first.ColorClick();
        services.saveAnswers = { ui::FileDialogAnswer { path, 1 } };
        first.SaveDesignItem->trigger();
        QCOMPARE(services.saveRequests.value(0).title, QStringLiteral("Save Design"));

        TSQLData later;
        later.Query.setSession(&m_session);
        TSearchManagerDlg second(later, nullptr);
        services.openAnswers = { ui::FileDialogAnswer { path, 1 } };
        second.LoadDesignItem->trigger();
        QCOMPARE(services.errors(), QStringList {});
        QCOMPARE(placed(second), placed(first));
        QCOMPARE(second.ControlRecords[1].BackColor, QColor(Qt::yellow));
        QCOMPARE(second.ControlOf(second.ControlRecords[1].ControlIndex)->geometry(), QRect(110, 0, 100, 20));
        second.BuildForm();
        second.SearchBoxes()[1]->setText(QStringLiteral("=Paris"));
        second.RunSearch();
        QCOMPARE(later.Query.recordCount(), qint64(2));

        // The other kind of form, a built form, and a built form's records are refused.
        TResultManagerDlg result(later, nullptr);
        QVERIFY_THROWS_EXCEPTION(EngineError, result.LoadDesign(path));
        QVERIFY_THROWS_EXCEPTION(EngineError, second.LoadDesign(path));
        QVERIFY_THROWS_EXCEPTION(EngineError, second.SaveDesign(dir.filePath(QStringLiteral("built.json"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("built.json"))));
    }

    // The live form is made in record order, which is its tab order: the
    // Tab Order command reorders the records.
    void liveFormFollowsRecordOrder()
    {
        ScriptedServices services;
        TSQLData data;
        selectFrom(data, { "t.Name", "t.City" }, "customer.db");
        TSearchManagerDlg search(data, nullptr);
        search.PopulateFromQuery();
        std::swap(search.ControlRecords[1], search.ControlRecords[3]);
        search.BuildForm();
        QCOMPARE(search.SearchBoxes()[0]->toolTip(), QStringLiteral("City"));
        QWidget *chain = search.SearchBoxes()[0]->nextInFocusChain();
        while (chain && !qobject_cast<QLineEdit *>(chain))
            chain = chain->nextInFocusChain();
        QCOMPARE(chain, search.SearchBoxes()[1]);
    }

    // The mouse and keys over a form laid out from a dBASE table reached
    // through an alias: click, shift-click, drag both, Alt+D hides both.
    void mouseOverRealQuery()
    {
        ScriptedServices services;
        TSQLData data;
        selectFrom(data, { "t.CustNo", "t.CustNo AS Other" }, "orders.dbf");
        TSearchManagerDlg search(data, nullptr);
        search.PopulateFromQuery();
        search.show();
        TDesignControl *first = search.ControlOf(search.ControlRecords[1].ControlIndex);
        TDesignControl *second = search.ControlOf(search.ControlRecords[3].ControlIndex);
        QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(second, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
        QVERIFY(search.ControlRecords[1].IsSelected && search.ControlRecords[3].IsSelected);
        QVERIFY(second->marksShown());
        QTest::mousePress(first, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(first, QPoint(25, 45));
        QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(25, 45));
        QCOMPARE(search.ControlRecords[1].bounds(), QRect(130, 40, 100, 20));
        QCOMPARE(search.ControlRecords[3].bounds(), QRect(130, 62, 100, 20));
        QCOMPARE(second->geometry(), QRect(130, 62, 100, 20));
        QTest::keyClick(&search, Qt::Key_D, Qt::AltModifier);
        QVERIFY(!first->isVisible() && !second->isVisible());
        QCOMPARE(search.ControlRecords.size(), std::size_t(4));
        QCOMPARE(services.errors(), QStringList {});
    }

    // A control hidden with Alt+D keeps its record: Update Form builds it.
    void hiddenControlIsStillBuilt()
    {
        TSQLData data;
        selectFrom(data, { "t.Name", "t.City" }, "customer.db");
        TSearchManagerDlg search(data, nullptr);
        search.PopulateFromQuery();
        search.show();
        TDesignControl *box = search.ControlOf(search.ControlRecords[1].ControlIndex);
        QVERIFY(box);
        search.ControlClick(box);
        search.FormKeyDown(Qt::Key_D, Qt::AltModifier);
        QVERIFY(!box->isVisible());
        QCOMPARE(search.ControlRecords.size(), std::size_t(4));
        search.BuildForm();
        QCOMPARE(search.SearchBoxes().size(), 2);
        QVERIFY(search.SearchBoxes()[0]->isVisible());
    }

    void shortNames_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("caption");
        QTest::newRow("plain") << "CustNo"
                               << "CustNo";
        QTest::newRow("qualified") << "orders.CustNo"
                                   << "CustNo";
        QTest::newRow("two dots") << "a.b.c"
                                  << "b.c";
    }
    void shortNames()
    {
        QFETCH(QString, field);
        QFETCH(QString, caption);
        QCOMPARE(TQueryFormDesigner::ShortName(field), caption);
    }
};

QTEST_MAIN(QueryDesignersTest)
#include "tst_querydesigners.moc"
