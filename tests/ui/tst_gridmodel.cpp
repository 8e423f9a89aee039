// The grid model and the grid over it: rows read on demand from any data
// set, edits reaching the data set, hidden fields, inserts and deletes, and
// the engine's refusals shown to the user.
#include "support/ScriptedServices.h"
#include "ui/DBGrid.h"
#include "ui/GridModel.h"

#include "engine/ClientDataSet.h"
#include "engine/Query.h"
#include "engine/Table.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>

#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <limits>

using qvx::ClientDataSet;
using qvx::DataSet;
using qvx::FieldDef;
using qvx::FieldType;
using qvx::ui::DataSource;
using qvx::ui::DBGrid;
using qvx::ui::GridModel;

namespace {

// A data set of any number of made-up records that counts how many it reads.
class CountingDataSet : public DataSet {
public:
    explicit CountingDataSet(qint64 rows, bool readOnly = false) : m_rows(rows), m_ro(readOnly) { }
    mutable qint64 reads = 0;

protected:
    qvx::FieldDefs doOpen() override
    {
        return { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                 FieldDef(QStringLiteral("NAME"), FieldType::String, 20) };
    }
    void doClose() override { }
    qint64 doRecordCount() const override { return m_rows; }
    void doRead(qint64 index, qvx::Record &rec) const override
    {
        ++reads;
        rec[0] = int(index + 1);
        rec[1] = QStringLiteral("row %1").arg(index + 1);
    }
    bool doReadOnly() const override { return m_ro; }

private:
    qint64 m_rows;
    bool m_ro;
};

// Keeps its records sorted by name, as a keyed table keeps key order: a
// posted change of name may move the record.
class SortedDataSet : public DataSet {
public:
    std::vector<qvx::Record> rows;

protected:
    qvx::FieldDefs doOpen() override { return { FieldDef(QStringLiteral("NAME"), FieldType::String, 20) }; }
    void doClose() override { }
    qint64 doRecordCount() const override { return qint64(rows.size()); }
    void doRead(qint64 index, qvx::Record &rec) const override { rec = rows[std::size_t(index)]; }
    qint64 doUpdate(qint64 index, const qvx::Record &rec) override
    {
        rows[std::size_t(index)] = rec;
        std::sort(rows.begin(), rows.end(), [](const qvx::Record &a, const qvx::Record &b) {
            return a[0].toString() < b[0].toString();
        });
        return qint64(std::find(rows.begin(), rows.end(), rec) - rows.begin());
    }
};

void makePeople(ClientDataSet &ds, int rows)
{
    ds.addFieldDef(QStringLiteral("ID"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
    ds.addFieldDef(QStringLiteral("CITY"), FieldType::String, 20);
    ds.createDataSet();
    for (int i = 1; i <= rows; ++i)
        ds.appendRecord({ i, QStringLiteral("name %1").arg(i), QStringLiteral("city %1").arg(i) });
    ds.first();
}

} // namespace

class GridModelTest : public QObject {
    Q_OBJECT

private slots:
    void tester_followsEveryChange()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 5);
        DataSource source(&ds);
        GridModel model;
        model.setDataSource(&source);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.columnCount(), 3);
        ds.setRecNo(3);
        ds.insert();
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.currentRow(), 2);
        QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("*"));
        QCOMPARE(model.data(model.index(3, 1)).toString(), QStringLiteral("name 3"));
        ds.setValue(1, QStringLiteral("new"));
        QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("new"));
        ds.post();
        QCOMPARE(model.rowCount(), 6);
        ds.setRecNo(1);
        ds.deleteRecord();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("name 2"));
        ds.setFieldVisible(0, false);
        QCOMPARE(model.columnCount(), 2);
        ds.setDisplayLabel(2, QStringLiteral("Town"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Town"));
        {
            DataSet::ControlsDisabled hold(ds);
            ds.setFieldVisible(0, true);
            ds.append();
            ds.setValue(0, 99);
            ds.post();
        }
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.data(model.index(5, 0)).toString(), QStringLiteral("99"));
        ds.close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    void smallCache_everyRowStillRight()
    {
        // The tester reads every cell, so the cache is evicted many times over.
        CountingDataSet ds(5000);
        ds.open();
        DataSource source(&ds);
        GridModel model;
        model.setDataSource(&source);
        model.setCacheLimit(128);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int row : { 4999, 0, 2500, 63, 64, 4999 })
            QCOMPARE(model.data(model.index(row, 1)).toString(), QStringLiteral("row %1").arg(row + 1));
        QVERIFY(model.cachedRows() <= 128);
    }

    void millionRows_openAndScrollWithoutReadingAll()
    {
        ScriptedServices services;
        const qint64 rows = 1'000'000;
        CountingDataSet ds(rows);
        ds.open();
        DataSource source(&ds);
        DBGrid grid;
        grid.resize(400, 300);
        grid.setDataSource(&source);
        grid.gridModel()->setCacheLimit(1000);
        QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.gridModel()->rowCount(), int(rows));
        // The view holds one screen of rows.
        const int screen = grid.model()->rowCount();
        QVERIFY(screen > 3 && screen < 30);
        QVERIFY(grid.rowScrollBar()->isVisible());
        QVERIFY(!grid.verticalScrollBar()->isVisible());

        // Jump through the table as a user dragging the scroll bar would.
        QScrollBar *bar = grid.rowScrollBar();
        QCOMPARE(bar->maximum(), int(rows) - screen);
        for (int step = 0; step <= 100; ++step) {
            bar->setValue(int(qint64(bar->maximum()) * step / 100));
            grid.viewport()->repaint();
            QVERIFY(grid.gridModel()->cachedRows() <= 1000 + 64);
        }
        const QModelIndex last = grid.model()->index(screen - 1, 1);
        QCOMPARE(last.data().toString(), QStringLiteral("row 1000000"));
        // 101 screens of rows in pages of 64, far from a million.
        QVERIFY2(ds.reads < 101 * 2 * 64 + 1000, qPrintable(QString::number(ds.reads)));

        // The current record follows the grid and the grid the record.
        grid.setCurrentIndex(last);
        QCOMPARE(ds.recNo(), rows);
        ds.setRecNo(500'000);
        QVERIFY(grid.currentIndex().isValid());
        QCOMPARE(grid.currentIndex().data().toString(), QStringLiteral("row 500000"));
        QCOMPARE(grid.currentIndex().column(), 1);
    }

    void keys_scrollByRecord()
    {
        ScriptedServices services;
        CountingDataSet ds(1000);
        ds.open();
        DataSource source(&ds);
        DBGrid grid;
        grid.resize(400, 300);
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        const int screen = grid.model()->rowCount();
        grid.setCurrentIndex(grid.model()->index(screen - 1, 0));
        QCOMPARE(ds.recNo(), screen);
        QTest::keyClick(&grid, Qt::Key_Down); // past the last row on screen
        QCOMPARE(ds.recNo(), screen + 1);
        QCOMPARE(grid.rowScrollBar()->value(), 1);
        QCOMPARE(grid.currentIndex().row(), screen - 1);
        QCOMPARE(grid.currentIndex().data().toString(), QString::number(screen + 1));
        QTest::keyClick(&grid, Qt::Key_PageDown);
        QCOMPARE(ds.recNo(), 2 * screen + 1);
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(ds.recNo(), 1000);
        QCOMPARE(grid.rowScrollBar()->value(), grid.rowScrollBar()->maximum());
        QCOMPARE(grid.currentIndex().data().toString(), QStringLiteral("1000"));
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(ds.recNo(), 1);
        QCOMPARE(grid.rowScrollBar()->value(), 0);
        QTest::keyClick(&grid, Qt::Key_Up); // nothing above the first
        QCOMPARE(ds.recNo(), 1);

        // The wheel turns the grid's scroll bar.
        QWheelEvent wheel(QPointF(20, 20), grid.viewport()->mapToGlobal(QPointF(20, 20)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &wheel);
        QVERIFY(grid.rowScrollBar()->value() > 0);
        QCOMPARE(grid.model()->index(0, 0).data().toString(),
                 QString::number(grid.rowScrollBar()->value() + 1));

        // Scrolling away leaves the record where it is; no cell holds the cursor.
        grid.rowScrollBar()->setValue(500);
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(!grid.currentIndex().isValid());
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QStringLiteral("501"));
        QTest::keyClick(&grid, Qt::Key_Down); // from the current record, which comes back on screen
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(grid.rowScrollBar()->value(), 1); // scrolled back just far enough
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    void beyondThePixelLimit_everyRecordIsReached()
    {
        ScriptedServices services;
        const qint64 rows = 2'000'000'000LL; // 40e9 pixels of rows
        CountingDataSet ds(rows);
        ds.open();
        DataSource source(&ds);
        DBGrid grid;
        grid.resize(400, 300);
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.gridModel()->rowCount(), int(rows));
        QScrollBar *bar = grid.rowScrollBar();
        bar->setValue(bar->maximum());
        grid.viewport()->repaint();
        const QModelIndex last = grid.model()->index(grid.model()->rowCount() - 1, 0);
        QCOMPARE(last.data().toString(), QString::number(rows));
        QVERIFY(grid.visualRect(last).intersects(grid.viewport()->rect()));
        grid.setCurrentIndex(last);
        QCOMPARE(ds.recNo(), rows);
        QVERIFY(ds.reads < 1000);
    }

    void query_isCountedOnlyAsFarAsShown()
    {
        ScriptedServices services;
        QTemporaryDir dir;
        {
            qvx::Table t;
            t.setDatabaseName(dir.path());
            t.setTableName(QStringLiteral("nums.dbf"));
            t.setTableType(qvx::Table::DBase);
            t.addFieldDef(QStringLiteral("N"), FieldType::Integer, 8);
            t.createTable();
            t.open();
            for (int i = 1; i <= 1000; ++i)
                t.appendRecord({ i });
        }
        qvx::Query q;
        q.setDirectory(dir.path());
        q.addSQL(QStringLiteral("SELECT N FROM nums"));
        q.open();
        DataSource source(&q);
        GridModel model;
        model.setDataSource(&source);
        QVERIFY(model.rowCount() < 1000);
        QVERIFY(model.rowCount() > 0);
        QVERIFY(model.canFetchMore({}));
        const int first = model.rowCount();
        QCOMPARE(model.data(model.index(first - 1, 0)).toString(), QString::number(first));
        model.fetchMore({});
        QVERIFY(model.rowCount() > first);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(model.rowCount(), 1000);
        for (int row : { 999, 0, 500, 255, 256 })
            QCOMPARE(model.data(model.index(row, 0)).toString(), QString::number(row + 1));
        // A grid over the query: the scroll bar's end asks for more rows.
        {
            q.first();
            DBGrid grid;
            grid.resize(300, 200);
            grid.setDataSource(&source);
            grid.show();
            QVERIFY(grid.gridModel()->rowCount() < 1000);
            int guard = 0;
            while (grid.gridModel()->canFetchMore({}) && ++guard < 100)
                grid.rowScrollBar()->setValue(grid.rowScrollBar()->maximum());
            QCOMPARE(grid.gridModel()->rowCount(), 1000);
            grid.rowScrollBar()->setValue(grid.rowScrollBar()->maximum());
            QCOMPARE(grid.model()->index(grid.model()->rowCount() - 1, 0).data().toString(),
                     QStringLiteral("1000"));
        }
        // Moving the query past the rows known extends them.
        GridModel second;
        second.setDataSource(&source);
        q.last();
        QCOMPARE(second.rowCount(), 1000);
        QCOMPARE(second.currentRow(), 999);
    }

    void editing_reachesTheDataSet()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 3);
        DataSource source(&ds);
        GridModel model;
        model.setDataSource(&source);

        QVERIFY(model.setData(model.index(1, 1), QStringLiteral("changed")));
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("changed"));
        qvx::Record rec;
        QVERIFY(ds.readRecord(2, rec));
        QCOMPARE(rec[1].toString(), QStringLiteral("changed")); // the current record as it stands

        model.moveToRow(0); // leaving the row posts it
        QCOMPARE(ds.state(), DataSet::State::Browse);
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(ds.changedSinceLoad());
        ds.setRecNo(2);
        QCOMPARE(ds.text(1), QStringLiteral("changed"));
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("changed"));

        // A value the field cannot take is the engine's error, shown and not stored.
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("abc")));
        QCOMPARE(services.errors(), QStringList { QStringLiteral("'abc' is not a valid integer value") });
        ds.cancel();
        QCOMPARE(ds.integer(0), 1);
    }

    void postedRecordThatMoves_everyRowIsReadAgain()
    {
        ScriptedServices services;
        SortedDataSet ds;
        for (int i = 0; i < 100; ++i)
            ds.rows.push_back({ QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0')) });
        ds.open();
        DataSource source(&ds);
        GridModel model;
        model.setDataSource(&source);
        // Both pages of rows are cached.
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("n001"));
        QCOMPARE(model.data(model.index(99, 0)).toString(), QStringLiteral("n099"));
        QVERIFY(model.setData(model.index(99, 0), QStringLiteral("a")));
        ds.post(); // "a" sorts first: the record moves to the other page
        for (int row : { 0, 1, 99 }) {
            qvx::Record rec;
            QVERIFY(ds.readRecord(row + 1, rec));
            QCOMPARE(model.data(model.index(row, 0)).toString(), rec[0].toString());
        }
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("n000"));
    }

    void hiddenFields_columnsMapToFields()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 2);
        ds.setFieldVisible(1, false);
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        QCOMPARE(grid.columnCount(), 2);
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("CITY"));
        QSignalSpy colEnter(&grid, &DBGrid::colEnter);
        grid.setSelectedIndex(1);
        QCOMPARE(colEnter.size(), 1);
        QCOMPARE(grid.selectedIndex(), 1);
        QCOMPARE(grid.selectedField(), 2);
        QCOMPARE(grid.model()->data(grid.model()->index(0, 1)).toString(), QStringLiteral("city 1"));
        // Edits through a column land in the field shown there.
        QVERIFY(grid.model()->setData(grid.model()->index(1, 1), QStringLiteral("Oslo")));
        QCOMPARE(ds.text(2), QStringLiteral("Oslo"));
        QCOMPARE(ds.text(1), QStringLiteral("name 2"));
    }

    void readOnly_refusalIsShown()
    {
        ScriptedServices services;
        CountingDataSet ds(3, true);
        ds.open();
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setCurrentIndex(grid.model()->index(1, 1));
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_X); // typing starts an edit
        QCOMPARE(services.errors(), QStringList { QStringLiteral("Cannot modify a read-only dataset") });
        QVERIFY(!grid.isEditing()); // no editor opened
        QVERIFY(!grid.model()->setData(grid.model()->index(0, 1), QStringLiteral("y")));
        QCOMPARE(services.errors().size(), 2);
        QCOMPARE(ds.state(), DataSet::State::Browse);
    }

    void typingInACell_editsThenPostsOnLeavingTheRow()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 3);
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setCurrentIndex(grid.model()->index(0, 2));
        grid.setFocus();
        QTest::keyClicks(&grid, QStringLiteral("R"));
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor != &grid);
        QTest::keyClicks(editor, QStringLiteral("ome"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits through a queued call
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(ds.text(2), QStringLiteral("Rome"));
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.state(), DataSet::State::Browse);
        ds.setRecNo(1);
        QCOMPARE(ds.text(2), QStringLiteral("Rome"));
    }

    void deleting_asksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("recordsLeft");
        QTest::newRow("no") << int(qvx::ui::ButtonNo) << 3;
        QTest::newRow("yes") << int(qvx::ui::ButtonYes) << 2;
    }
    void deleting_asksFirst()
    {
        QFETCH(int, answer);
        QFETCH(int, recordsLeft);
        ScriptedServices services;
        services.messageAnswers.push_back(qvx::ui::MessageButton(answer));
        ClientDataSet ds;
        makePeople(ds, 3);
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        grid.setCurrentIndex(grid.model()->index(1, 0));
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(services.messages.size(), 1);
        QCOMPARE(services.messages[0].icon, qvx::ui::MessageIcon::Confirmation);
        QCOMPARE(services.messages[0].buttons, unsigned(qvx::ui::ButtonYes | qvx::ui::ButtonNo));
        QCOMPARE(ds.recordCount(), recordsLeft);
        QCOMPARE(grid.model()->rowCount(), recordsLeft);
    }

    void leavingTheGrid_cancelsAnEmptyInsertOnly()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 2);
        DataSource source(&ds);
        QWidget window;
        auto *grid = new DBGrid(&window);
        auto *other = new QLineEdit(&window);
        other->move(0, 250);
        grid->setDataSource(&source);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(1, 0));
        QTest::keyClick(grid, Qt::Key_Down); // past the last row: a new record
        QCOMPARE(ds.state(), DataSet::State::Insert);
        QCOMPARE(grid->model()->rowCount(), 3);
        other->setFocus();
        QCOMPARE(ds.state(), DataSet::State::Browse);
        QCOMPARE(grid->model()->rowCount(), 2);

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(ds.state(), DataSet::State::Insert);
        ds.setValue(0, 7);
        other->setFocus();
        QCOMPARE(ds.state(), DataSet::State::Insert); // a record with a value stays
        QCOMPARE(grid->model()->rowCount(), 3);
    }

    void columnFormats_drawnThroughRoles()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 2);
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        QAbstractItemModel *m = grid.model();
        QVERIFY(!m->data(m->index(0, 1), Qt::FontRole).isValid());
        qvx::ui::GridColumn &c = grid.column(1);
        QFont bold = *c.font;
        bold.setBold(true);
        c.font = bold;
        c.color = Qt::yellow;
        c.fontColor = Qt::red;
        c.titleAlignment = Qt::AlignHCenter;
        c.titleColor = Qt::blue;
        grid.columnChanged(1);
        QVERIFY(m->data(m->index(1, 1), Qt::FontRole).value<QFont>().bold());
        QCOMPARE(m->data(m->index(1, 1), Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
        QCOMPARE(m->data(m->index(1, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(!m->data(m->index(1, 2), Qt::FontRole).isValid());
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
                     & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(Qt::blue));
        // Kept by field: hiding another field moves the column, not the format.
        ds.setFieldVisible(0, false);
        QVERIFY(m->data(m->index(0, 0), Qt::FontRole).value<QFont>().bold());
        // Cell alignment follows the field.
        ds.setFieldAlignment(1, qvx::Alignment::Right);
        QCOMPARE(m->data(m->index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>()
                     & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
    }

    void dataSetDestroyedFirst_gridEmpties()
    {
        ScriptedServices services;
        DBGrid grid;
        DataSource source;
        {
            ClientDataSet ds;
            makePeople(ds, 2);
            source.setDataSet(&ds);
            grid.setDataSource(&source);
            QCOMPARE(grid.model()->rowCount(), 2);
        }
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(grid.model()->columnCount(), 0);
    }
};

QTEST_MAIN(GridModelTest)
#include "tst_gridmodel.moc"
