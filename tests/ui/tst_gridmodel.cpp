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
#include <QClipboard>
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
    bool costlyCount = false; // says counting means reading every record

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
    bool doCountIsCostly() const override { return costlyCount; }

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

// A dBASE table of three names that the engine opens read-only: asked to,
// or because its production index cannot be read (so it could not be kept
// up to date). Returns the reason the engine gives.
QString makeReadOnlyTable(qvx::Table &t, const QString &dir, const QString &how)
{
    t.setDatabaseName(dir);
    t.setTableName(QStringLiteral("names.dbf"));
    t.setTableType(qvx::Table::DBase);
    t.addFieldDef(QStringLiteral("NAME"), FieldType::String, 10);
    t.createTable();
    t.open();
    for (const char *name : { "Ann", "Bob", "Cy" })
        t.appendRecord({ QString::fromLatin1(name) });
    t.close();
    if (how == QLatin1String("asked")) {
        t.setReadOnly(true);
        t.open();
        return QStringLiteral("the table is open read-only");
    }
    QFile f(t.filePath());
    if (!f.open(QIODevice::ReadWrite) || !f.seek(28) || !f.putChar(0x01)) // header: table flags
        return {};
    f.close();
    QFile mdx(QDir(dir).filePath(QStringLiteral("names.mdx")));
    if (!mdx.open(QIODevice::WriteOnly) || mdx.write("not an index") < 0)
        return {};
    mdx.close();
    t.open();
    return QStringLiteral(
        "its index file names.mdx cannot be read (names.mdx: the file ends inside the file "
        "header (544 bytes at offset 0, file size 12)); the table is open read-only so that the "
        "index stays correct for other programs");
}

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

    void decimals_shownAsTheFieldDeclares_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown");
        const int bcd = int(FieldType::BCD), flt = int(FieldType::Float), cur = int(FieldType::Currency);
        QTest::newRow("decimal, whole") << bcd << 12 << 2 << QVariant("444") << "444.00";
        QTest::newRow("decimal, one digit") << bcd << 12 << 2 << QVariant("34.9") << "34.90";
        QTest::newRow("decimal, negative") << bcd << 12 << 2 << QVariant("-0.5") << "-0.50";
        QTest::newRow("decimal, all digits") << bcd << 12 << 2 << QVariant("12.25") << "12.25";
        QTest::newRow("decimal, more than declared") << bcd << 12 << 2 << QVariant("1.125") << "1.125";
        QTest::newRow("decimal, beyond a double")
            << bcd << 32 << 3 << QVariant("12345678901234567890.5") << "12345678901234567890.500";
        QTest::newRow("decimal, none declared") << bcd << 20 << 0 << QVariant("444") << "444";
        QTest::newRow("decimal, null") << bcd << 12 << 2 << QVariant() << "";
        QTest::newRow("float, declared") << flt << 12 << 2 << QVariant(444.0) << "444.00";
        QTest::newRow("float, declared, fraction") << flt << 12 << 2 << QVariant(34.9) << "34.90";
        QTest::newRow("float, declared, zero") << flt << 12 << 2 << QVariant(-0.0) << "0.00";
        QTest::newRow("float, more than declared") << flt << 12 << 2 << QVariant(0.125) << "0.125";
        QTest::newRow("float, none declared") << flt << 0 << 0 << QVariant(34.9) << "34.9";
        QTest::newRow("float, none declared, whole") << flt << 0 << 0 << QVariant(444.0) << "444";
        QTest::newRow("float, none declared, large") << flt << 0 << 0 << QVariant(1e20) << "1e+20";
        QTest::newRow("currency, declared") << cur << 0 << 4 << QVariant(12.5) << "12.5000";
        QTest::newRow("currency, in cents") << cur << 0 << 0 << QVariant(34.9) << "34.90";
        QTest::newRow("currency, whole") << cur << 0 << 0 << QVariant(-444.0) << "-444.00";
        QTest::newRow("currency, beyond cents") << cur << 0 << 0 << QVariant(12.345) << "12.345";
        QTest::newRow("integer") << int(FieldType::Integer) << 0 << 0 << QVariant(444) << "444";
    }
    void decimals_shownAsTheFieldDeclares()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(int, decimals);
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        ScriptedServices services;
        ClientDataSet ds;
        ds.addFieldDef(QStringLiteral("AMOUNT"), qvx::fieldTypeFromCode(type), size, false, decimals);
        ds.createDataSet();
        ds.appendRecord({ value });
        ds.first();
        const QVariant held = ds.value(0);
        DataSource source(&ds);
        GridModel model;
        model.setDataSource(&source);
        const QModelIndex cell = model.index(0, 0);
        QCOMPARE(model.data(cell, Qt::DisplayRole).toString(), shown);
        QCOMPARE(model.data(cell, Qt::EditRole).toString(), shown);
        // The text an editor starts from, given back unchanged, changes nothing.
        QVERIFY(model.setData(cell, model.data(cell, Qt::EditRole)));
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QVERIFY(!ds.isModified());
        QCOMPARE(ds.value(0), held);
        QVERIFY(services.errors().isEmpty());
    }

    // The same through the files: the formats hand their declared decimals
    // to the grid.
    void decimals_ofTableFiles_data()
    {
        QTest::addColumn<int>("tableType");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::newRow("dBASE N(12,2)") << int(qvx::Table::DBase) << "n.dbf" << int(FieldType::BCD);
        QTest::newRow("dBASE F(12,2)") << int(qvx::Table::DBase) << "f.dbf" << int(FieldType::Float);
        QTest::newRow("Paradox BCD") << int(qvx::Table::Paradox) << "b.db" << int(FieldType::BCD);
    }
    void decimals_ofTableFiles()
    {
        QFETCH(int, tableType);
        QFETCH(QString, name);
        QFETCH(int, type);
        ScriptedServices services;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        qvx::Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(name);
        t.setTableType(tableType);
        t.addFieldDef(QStringLiteral("PRICE"), qvx::fieldTypeFromCode(type), 12, false, 2);
        t.createTable();
        t.open();
        t.appendRecord({ QStringLiteral("444") });
        t.appendRecord({ QStringLiteral("34.9") });
        t.close();
        t.open();
        QCOMPARE(t.field(0).decimals, 2);
        DataSource source(&t);
        GridModel model;
        model.setDataSource(&source);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("444.00"));
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("34.90"));
    }

    // A column starts wide enough for the widest value its field can show
    // and for its title, and not much wider.
    void columnWidths_fitValuesAndTitles_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("title");
        const QDate date(2015, 1, 28);
        const QTime time(23, 59, 58, 987);
        QTest::newRow("date") << int(FieldType::Date) << 0 << 0 << QVariant(date) << "D";
        QTest::newRow("time") << int(FieldType::Time) << 0 << 0 << QVariant(time) << "T";
        QTest::newRow("date and time")
            << int(FieldType::DateTime) << 0 << 0 << QVariant(QDateTime(date, time, Qt::UTC)) << "DT";
        QTest::newRow("boolean") << int(FieldType::Boolean) << 0 << 0 << QVariant(false) << "B";
        QTest::newRow("small integer") << int(FieldType::SmallInt) << 0 << 0 << QVariant(-32768) << "S";
        QTest::newRow("integer") << int(FieldType::Integer) << 0 << 0 << QVariant(-2147483647) << "I";
        QTest::newRow("large integer")
            << int(FieldType::LargeInt) << 0 << 0 << QVariant(std::numeric_limits<qint64>::min()) << "L";
        QTest::newRow("decimal N(12,2)") << int(FieldType::BCD) << 12 << 2 << QVariant("-12345678.25") << "N";
        QTest::newRow("float F(10,2)") << int(FieldType::Float) << 10 << 2 << QVariant(-123456.5) << "F";
        QTest::newRow("currency") << int(FieldType::Currency) << 0 << 0 << QVariant(-1234567.5) << "C";
        QTest::newRow("title wider than its values")
            << int(FieldType::Boolean) << 0 << 0 << QVariant(true) << "Whether the order was paid in full";
    }
    void columnWidths_fitValuesAndTitles()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(int, decimals);
        QFETCH(QVariant, value);
        QFETCH(QString, title);
        ScriptedServices services;
        ClientDataSet ds;
        ds.addFieldDef(QStringLiteral("F"), qvx::fieldTypeFromCode(type), size, false, decimals);
        ds.createDataSet();
        ds.appendRecord({ value });
        ds.setDisplayLabel(0, title);
        ds.first();
        DataSource source(&ds);
        DBGrid grid;
        grid.resize(900, 200);
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const int width = grid.columnWidth(0);
        // What the view needs to draw the value whole: the delegate's size
        // and the grid line.
        const int valueNeeds = grid.sizeHintForIndex(grid.model()->index(0, 0)).width() + 1;
        const int titleNeeds = QFontMetrics(grid.horizontalHeader()->font()).horizontalAdvance(title);
        QVERIFY2(width >= valueNeeds, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(valueNeeds)));
        QVERIFY2(width > titleNeeds, qPrintable(QStringLiteral("%1 <= %2").arg(width).arg(titleNeeds)));
        const int slack = 5 * grid.fontMetrics().averageCharWidth() + 16;
        QVERIFY2(width <= std::max(valueNeeds, titleNeeds) + slack,
                 qPrintable(QStringLiteral("%1 for %2").arg(width).arg(std::max(valueNeeds, titleNeeds))));
    }

    void columnWidths_chosenByTheUserStay()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 3);
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        const int nameWidth = grid.columnWidth(1);
        grid.horizontalHeader()->resizeSection(2, 333); // as dragging the title's edge does
        QCOMPARE(grid.columnWidth(2), 333);
        ds.setFieldVisible(0, false); // the columns are laid out again
        QCOMPARE(grid.columnWidth(1), 333); // CITY, now the second column
        QCOMPARE(grid.columnWidth(0), nameWidth);
        ds.setFieldVisible(0, true);
        source.setDataSet(nullptr);
        source.setDataSet(&ds);
        QCOMPARE(grid.columnWidth(2), 333);
        QCOMPARE(grid.columnWidth(1), nameWidth);
    }

    // Counting lazily is the data set's word, not a guess from its class.
    void costlyCount_countedOnlyAsFarAsShown()
    {
        CountingDataSet ds(10'000);
        ds.costlyCount = true;
        ds.open();
        DataSource source(&ds);
        GridModel model;
        model.setDataSource(&source);
        QVERIFY(model.rowCount() > 0);
        QVERIFY(model.rowCount() < 10'000);
        QVERIFY(model.canFetchMore({}));
        QVERIFY(ds.reads < 10'000);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(model.rowCount(), 10'000);
        QCOMPARE(model.data(model.index(9'999, 1)).toString(), QStringLiteral("row 10000"));
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

    // Every way of starting a change in a grid over a table the engine keeps
    // read-only reaches the engine, whose refusal (with its reason) is shown;
    // nothing is changed and no editor opens.
    void readOnlyTable_everyEditAttemptSaysWhy_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("attempt");
        for (const char *how : { "asked", "unreadable index" }) {
            for (const char *attempt : { "typing", "F2", "double click", "Insert", "Ctrl+Delete", "paste" })
                QTest::addRow("%s, %s", how, attempt)
                    << QString::fromLatin1(how) << QString::fromLatin1(attempt);
        }
    }
    void readOnlyTable_everyEditAttemptSaysWhy()
    {
        QFETCH(QString, how);
        QFETCH(QString, attempt);
        ScriptedServices services;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        qvx::Table t;
        const QString reason = makeReadOnlyTable(t, dir.path(), how);
        QVERIFY(t.isOpen() && t.isReadOnly());
        QCOMPARE(t.readOnlyReason(), reason);
        QFile file(t.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();

        DataSource source(&t);
        DBGrid grid;
        grid.resize(400, 300);
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        const QModelIndex cell = grid.model()->index(1, 0);
        grid.setCurrentIndex(cell);
        QCOMPARE(t.recNo(), 2);
        if (attempt == QLatin1String("typing")) {
            QTest::keyClick(&grid, Qt::Key_X);
        } else if (attempt == QLatin1String("F2")) {
            QTest::keyClick(&grid, Qt::Key_F2);
        } else if (attempt == QLatin1String("double click")) {
            const QPoint at = grid.visualRect(cell).center();
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
        } else if (attempt == QLatin1String("Insert")) {
            QTest::keyClick(&grid, Qt::Key_Insert);
        } else if (attempt == QLatin1String("Ctrl+Delete")) {
            QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        } else {
            QGuiApplication::clipboard()->setText(QStringLiteral("Pasted"));
            QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(services.errors(), QStringList { "Cannot modify a read-only dataset: " + reason });
        QCOMPARE(services.messages.size(), 1); // no question asked before the refusal
        QVERIFY(!grid.isEditing());
        QCOMPARE(t.state(), DataSet::State::Browse);
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.text(0), QStringLiteral("Bob"));
        t.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }

    void paste_writesTheCurrentCell()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makePeople(ds, 3);
        DataSource source(&ds);
        DBGrid grid;
        grid.setDataSource(&source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        grid.setCurrentIndex(grid.model()->index(1, 2));
        QGuiApplication::clipboard()->setText(QStringLiteral("Lima"));
        QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.text(2), QStringLiteral("Lima"));
        QCOMPARE(ds.text(1), QStringLiteral("name 2"));
        QVERIFY(services.errors().isEmpty());
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
