// The three table windows: structure list and tree, the Details page keys
// and write-back, the picture pane's layout, the memo and picture
// operations, formatting, status texts, the read-only SQL window and the
// XML window's write-back on closing.
#include "support/ScriptedServices.h"
#include "tables/SQLTable.h"
#include "tables/StandardTable.h"
#include "tables/TableDataModule.h"
#include "tables/XMLTable.h"

#include "engine/Table.h"

#include <QBuffer>
#include <QComboBox>
#include <QCryptographicHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using qvx::FieldType;

namespace {

class FakeHost : public qvx::ui::ChildHost {
public:
    TTableForm *form = nullptr; // the "active" window UpdateStyleButtons reads
    int updates = 0;
    bool titles = false;
    QString status[StatusPanelCount];
    QString fontName = QStringLiteral("DejaVu Serif");
    QString fontSize = QStringLiteral("14");
    QColor colour = Qt::red;
    QColor chosen = Qt::yellow;

    void UpdateStyleButtons() override
    {
        ++updates;
        if (form)
            form->ReadColumnStyle();
    }
    void setStatusText(int panel, const QString &text) override { status[panel] = text; }
    // Every window under test is the active one.
    bool isActiveChild(const qvx::ui::ChildWindow &) const override { return true; }
    bool formatsTitles() const override { return titles; }
    QString fontNameText() const override { return fontName; }
    QString fontSizeText() const override { return fontSize; }
    QColor fontColor() const override { return colour; }
    QColor chosenColor() const override { return chosen; }
};

QByteArray png(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

// Rows: 1 with a large picture and a note, 2 with neither, 3 with a small picture.
const QList<qvx::Record> shopRows = {
    { 1, QStringLiteral("Spokes"), QStringLiteral("first note"), png(300, 400) },
    { 2, QStringLiteral("Chains"), QVariant(), QVariant() },
    { 3, QStringLiteral("Saddles"), QStringLiteral("third"), png(40, 30) },
};

void defineShops(auto &ds)
{
    ds.addFieldDef(QStringLiteral("ID"), FieldType::Integer, 6);
    ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
    ds.addFieldDef(QStringLiteral("NOTES"), FieldType::Memo);
    ds.addFieldDef(QStringLiteral("LOGO"), FieldType::Graphic);
}

// A dBASE table with a memo and a picture field.
QString makeShopTable(const QString &dir)
{
    qvx::Table t;
    t.setDatabaseName(dir);
    t.setTableName(QStringLiteral("shops.dbf"));
    t.setTableType(qvx::Table::DBase);
    defineShops(t);
    t.createTable();
    t.open();
    for (const qvx::Record &r : shopRows)
        t.appendRecord(r);
    t.close();
    return QStringLiteral("shops.dbf");
}

QString makeShopPacket(const QString &path)
{
    qvx::ClientDataSet ds;
    defineShops(ds);
    ds.createDataSet();
    for (const qvx::Record &r : shopRows)
        ds.appendRecord(r);
    ds.saveToFile(path, qvx::PacketFormat::Xml);
    return path;
}

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList treeTexts(const QTreeWidget *tree)
{
    QStringList out;
    std::function<void(const QTreeWidgetItem *, int)> walk = [&](const QTreeWidgetItem *item, int depth) {
        out << QString(depth * 2, u' ') + item->text(0);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return out;
}

} // namespace

class TableFormsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    TTableData tableData;

    // A plain window over a fresh copy of the shop table, opened as the
    // main window opens it, and shown.
    std::unique_ptr<TBDETableForm> openPlain(FakeHost &host)
    {
        const QString sub = dir.path() + u'/' + QString::number(++m_serial);
        QDir().mkpath(sub);
        auto form = std::make_unique<TBDETableForm>(host, tableData);
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->BDETable.setDatabaseName(sub);
        form->BDETable.setTableName(makeShopTable(sub));
        form->BDETable.open();
        form->InitTableView();
        form->show();
        host.form = form.get();
        return form;
    }
    std::unique_ptr<TXMLTableForm> openXml(FakeHost &host, const QString &name = QStringLiteral("shops.xml"))
    {
        const QString sub = dir.path() + u'/' + QString::number(++m_serial);
        QDir().mkpath(sub);
        auto form = std::make_unique<TXMLTableForm>(host, tableData);
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->DataSet.setFileName(makeShopPacket(sub + u'/' + name));
        form->DataSet.open();
        form->InitTableView();
        form->show();
        host.form = form.get();
        return form;
    }
    // Rows of table-driven tests name the window kind: 0 plain, 1 SQL, 2 XML.
    std::unique_ptr<TTableForm> openKind(FakeHost &host, int kind)
    {
        if (kind == 0)
            return openPlain(host);
        if (kind == 1)
            return openSql(host);
        return openXml(host);
    }
    std::unique_ptr<TSQLTableForm> openSql(FakeHost &host)
    {
        const QString sub = dir.path() + u'/' + QString::number(++m_serial);
        QDir().mkpath(sub);
        makeShopTable(sub);
        auto form = std::make_unique<TSQLTableForm>(host, tableData);
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->Query.setDirectory(sub);
        form->Query.addSQL(QStringLiteral("SELECT * FROM shops"));
        form->Query.open();
        form->InitTableView();
        form->show();
        host.form = form.get();
        return form;
    }
    int m_serial = 0;

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void freshWindows_captionSizeAndPanes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("imageBoxHeight");
        QTest::newRow("plain") << 0 << "Standard Table" << QSize(450, 284) << 193;
        QTest::newRow("sql") << 1 << "SQL Table" << QSize(453, 295) << 161;
        QTest::newRow("xml") << 2 << "XML Table" << QSize(450, 270) << 161;
    }
    void freshWindows_captionSizeAndPanes()
    {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        QFETCH(int, imageBoxHeight);
        ScriptedServices services;
        FakeHost host;
        std::unique_ptr<TTableForm> form;
        if (kind == 0)
            form = std::make_unique<TBDETableForm>(host, tableData);
        else if (kind == 1)
            form = std::make_unique<TSQLTableForm>(host, tableData);
        else
            form = std::make_unique<TXMLTableForm>(host, tableData);
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->show();
        QCOMPARE(form->windowTitle(), caption);
        QCOMPARE(form->size(), size);
        QCOMPARE(form->minimumSize(), QSize(450, 270));
        QCOMPARE(form->PageControl->tabPosition(), QTabWidget::South);
        QCOMPARE(form->PageControl->tabText(0), QStringLiteral("Table"));
        QCOMPARE(form->PageControl->tabText(1), QStringLiteral("Details"));
        QCOMPARE(form->ImageBox->height(), imageBoxHeight);
        QCOMPARE(form->ResultPanel->width(), 170);
        // Nothing to scroll while there is no picture.
        QVERIFY(!form->ImageBox->verticalScrollBar()->isVisible());
        QVERIFY(!form->ImageBox->horizontalScrollBar()->isVisible());
        QCOMPARE(form->ResultPanel->geometry().right(), form->Frame->width() - 1);
        QVERIFY(form->DBMemo->geometry().top() >= form->HSplitter->geometry().bottom());
        QVERIFY(form->DBImage->isHidden() && form->Shape->isHidden() && form->Border->isHidden());
        // The table is still closed: the structure list exists, empty; the
        // tree holds only its root; the grid has no columns.
        QVERIFY(form->SystemDataSet.isOpen());
        QCOMPARE(form->SystemDataSet.recordCount(), 0);
        QCOMPARE(form->FieldsGrid->columnCount(), 6);
        QCOMPARE(treeTexts(form->SystemTree), QStringList { QStringLiteral("Table") });
        QCOMPARE(form->TableGrid->columnCount(), 0);
        QCOMPARE(form->FontStyleState, quint8(0));
        QVERIFY(services.messages.isEmpty());
    }

    void structureList_andTree_data()
    {
        QTest::addColumn<bool>("plain");
        QTest::newRow("plain") << true;
        QTest::newRow("xml") << false;
    }
    void structureList_andTree()
    {
        QFETCH(bool, plain);
        ScriptedServices services;
        FakeHost host;
        std::unique_ptr<TTableForm> form;
        if (plain)
            form = openPlain(host);
        else
            form = openXml(host);
        const qvx::DataSet &ds = form->tableDataSet();
        QAbstractItemModel *m = form->FieldsGrid->model();
        const QStringList titles = { "Field Name", "Display Label", "Visible", "Type", "Size", "Is Index" };
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(m->headerData(i, Qt::Horizontal).toString(), titles[i]);
            QCOMPARE(m->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
                         & Qt::AlignHorizontal_Mask,
                     Qt::AlignHCenter);
        }
        QCOMPARE(m->rowCount(), 4);
        auto cell = [&](int row, int col) { return m->data(m->index(row, col)).toString(); };
        // The file format decides how a number field reads back; the
        // catalogue names whatever the engine reports.
        QString idType;
        tableData.FieldTypeName(qvx::fieldTypeCode(ds.field(0).type), idType);
        if (!plain)
            QCOMPARE(idType, QStringLiteral("Integer"));
        QCOMPARE(cell(0, 0), QStringLiteral("ID"));
        QCOMPARE(cell(0, 1), QStringLiteral("ID"));
        QCOMPARE(cell(0, 2), QStringLiteral("Yes"));
        QCOMPARE(cell(0, 3), idType);
        QCOMPARE(cell(0, 4), QString::number(ds.field(0).size));
        QCOMPARE(cell(1, 3), QStringLiteral("String"));
        QCOMPARE(cell(1, 4), QStringLiteral("20"));
        QCOMPARE(cell(2, 3), QStringLiteral("Text memo"));
        QCOMPARE(cell(0, 5), QString());
        const QString logoType = cell(3, 3);
        QVERIFY2(logoType == QStringLiteral("Bitmap") || logoType == QStringLiteral("Binary Large OBject"),
                 qPrintable(logoType));
        // Every grid title is centred.
        QCOMPARE(form->TableGrid->columnCount(), 4);
        for (int i = 0; i < form->TableGrid->columnCount(); ++i)
            QCOMPARE(form->TableGrid->model()
                             ->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole)
                             .value<Qt::Alignment>()
                         & Qt::AlignHorizontal_Mask,
                     Qt::AlignHCenter);

        const QStringList tree = treeTexts(form->SystemTree);
        QCOMPARE(tree.size(), 1 + 4 * 5);
        QCOMPARE(tree.mid(0, 7),
                 QStringList({ QStringLiteral("Table"), QStringLiteral("  Name - \"ID\""),
                               QStringLiteral("    Dislpay Label - \"ID\""),
                               QStringLiteral("    Visible - Yes"), QStringLiteral("    Type - ") + idType,
                               QStringLiteral("    Size - %1").arg(ds.field(0).size),
                               QStringLiteral("  Name - \"NAME\"") }));
        QCOMPARE(tree[10], QStringLiteral("    Size - 20"));
        QCOMPARE(tree[14], QStringLiteral("    Type - Text memo"));
    }

    void structureList_typeWithNoCatalogueName_showsWord()
    {
        ScriptedServices services;
        FakeHost host;
        TXMLTableForm form(host, tableData);
        form.setAttribute(Qt::WA_DeleteOnClose, false);
        form.DataSet.addFieldDef(QStringLiteral("COUNT"), FieldType::Word);
        form.DataSet.addFieldDef(QStringLiteral("WHEN"), FieldType::DateTime);
        form.DataSet.createDataSet();
        form.InitTableView();
        QAbstractItemModel *m = form.FieldsGrid->model();
        QCOMPARE(m->data(m->index(0, 3)).toString(), QStringLiteral("Word"));
        QCOMPARE(m->data(m->index(1, 3)).toString(), QStringLiteral("Date and Time"));
        QCOMPARE(treeTexts(form.SystemTree)[4], QStringLiteral("    Type - Word"));
    }

    void fieldsGridKeys_onlyInTheVisibleColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("visible");
        QTest::newRow("x") << 2 << int(Qt::Key_X) << "x"
                           << "No";
        QTest::newRow("Y") << 2 << int(Qt::Key_Y) << "Y"
                           << "Yes";
        QTest::newRow("y") << 2 << int(Qt::Key_Y) << "y"
                           << "Yes";
        QTest::newRow("enter") << 2 << int(Qt::Key_Return) << "\r"
                               << "No";
        QTest::newRow("backspace") << 2 << int(Qt::Key_Backspace) << "\b"
                                   << "No";
        QTest::newRow("label column") << 1 << int(Qt::Key_Y) << "y"
                                      << "Yes";
    }
    void fieldsGridKeys_onlyInTheVisibleColumn()
    {
        QFETCH(int, column);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(QString, visible);
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->PageControl->setCurrentWidget(form->Details);
        // Start the first row at "No" so that a "Yes" shows the key's effect.
        form->SystemDataSet.first();
        form->SystemDataSet.edit();
        form->SystemDataSet.setValue(TTableForm::VisibleField, QStringLiteral("No"));
        form->SystemDataSet.post();
        form->FieldsGrid->setFocus();
        form->FieldsGrid->setCurrentIndex(form->FieldsGrid->model()->index(0, column));
        QTest::keyClick(form->FieldsGrid, Qt::Key(key), Qt::NoModifier);
        Q_UNUSED(text);
        if (column == TTableForm::VisibleField) {
            QVERIFY(!form->FieldsGrid->isEditing()); // swallowed: no cell editor
            QCOMPARE(form->SystemDataSet.state(), qvx::DataSet::State::Edit);
            QCOMPARE(form->SystemDataSet.text(TTableForm::VisibleField), visible);
        } else {
            QCOMPARE(form->SystemDataSet.text(TTableForm::VisibleField), QStringLiteral("No"));
        }
    }

    void fieldsGridKeyPress_direct_data()
    {
        QTest::addColumn<QChar>("key");
        QTest::addColumn<QString>("visible");
        QTest::newRow("x") << QChar(u'x') << "No";
        QTest::newRow("Y") << QChar(u'Y') << "Yes";
        QTest::newRow("y") << QChar(u'y') << "Yes";
        QTest::newRow("N") << QChar(u'N') << "No";
    }
    void fieldsGridKeyPress_direct()
    {
        QFETCH(QChar, key);
        QFETCH(QString, visible);
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->FieldsGrid->setCurrentIndex(form->FieldsGrid->model()->index(1, TTableForm::VisibleField));
        QChar k = key;
        form->FieldsGridKeyPress(k);
        QVERIFY(k.isNull());
        QCOMPARE(form->SystemDataSet.recNo(), 2);
        QCOMPARE(form->SystemDataSet.text(TTableForm::VisibleField), visible);
        form->FieldsGrid->setCurrentIndex(form->FieldsGrid->model()->index(1, TTableForm::TypeField));
        k = key;
        form->FieldsGridKeyPress(k);
        QCOMPARE(k, key); // other columns: the key goes on
    }

    void fieldsGrid_pickLists()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->PageControl->setCurrentWidget(form->Details);
        QAbstractItemModel *m = form->FieldsGrid->model();
        form->FieldsGrid->setCurrentIndex(m->index(1, TTableForm::VisibleField));
        form->FieldsGrid->edit(m->index(1, TTableForm::VisibleField));
        auto *box = form->FieldsGrid->viewport()->findChild<QComboBox *>();
        QVERIFY(box);
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, QStringList({ QStringLiteral("Yes"), QStringLiteral("No") }));
        QCOMPARE(box->currentText(), QStringLiteral("Yes"));
        box->setCurrentIndex(1);
        form->FieldsGrid->finishEditing();
        QCOMPARE(form->SystemDataSet.text(TTableForm::VisibleField), QStringLiteral("No"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed editor goes

        form->FieldsGrid->setCurrentIndex(m->index(1, TTableForm::TypeField));
        form->FieldsGrid->edit(m->index(1, TTableForm::TypeField));
        box = form->FieldsGrid->viewport()->findChild<QComboBox *>();
        QVERIFY(box);
        QCOMPARE(box->count(), 14);
        QCOMPARE(box->itemText(1), QStringLiteral("Small integer"));
        QCOMPARE(box->itemText(13), QStringLiteral("Wide string"));
        form->FieldsGrid->finishEditing();
    }

    void pageChange_writesBackOnlyInThePlainWindow_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("writes");
        QTest::newRow("plain") << 0 << true;
        QTest::newRow("sql") << 1 << false;
        QTest::newRow("xml") << 2 << false;
    }
    void pageChange_writesBackOnlyInThePlainWindow()
    {
        QFETCH(int, kind);
        QFETCH(bool, writes);
        ScriptedServices services;
        FakeHost host;
        std::unique_ptr<TTableForm> form = openKind(host, kind);
        qvx::DataSet &ds = form->tableDataSet();
        QAbstractItemModel *fields = form->FieldsGrid->model();
        form->PageControl->setCurrentWidget(form->Details);

        // A new label typed into the Label column, the cursor left there.
        QVERIFY(fields->setData(fields->index(1, TTableForm::LabelField), QStringLiteral("Shop name")));
        form->FieldsGrid->setCurrentIndex(fields->index(1, TTableForm::LabelField));
        form->PageControl->setCurrentWidget(form->Table);
        QCOMPARE(ds.field(1).displayLabel, writes ? QStringLiteral("Shop name") : QStringLiteral("NAME"));
        QCOMPARE(form->TableGrid->model()->headerData(1, Qt::Horizontal).toString(),
                 writes ? QStringLiteral("Shop name") : QStringLiteral("NAME"));
        QCOMPARE(form->SystemDataSet.recNo(), 2); // back where it was

        // "No" in the Visible column: the field leaves the grid.
        form->PageControl->setCurrentWidget(form->Details);
        QVERIFY(fields->setData(fields->index(0, TTableForm::VisibleField), QStringLiteral("No")));
        form->FieldsGrid->setCurrentIndex(fields->index(0, TTableForm::VisibleField));
        form->PageControl->setCurrentWidget(form->Table);
        QCOMPARE(ds.field(0).visible, !writes);
        QCOMPARE(form->TableGrid->columnCount(), writes ? 3 : 4);
        QVERIFY(services.errors().isEmpty());
    }

    void pageChange_labelEditThenVisibleColumn_writesVisibilityOnly()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QAbstractItemModel *fields = form->FieldsGrid->model();
        form->PageControl->setCurrentWidget(form->Details);
        QVERIFY(fields->setData(fields->index(2, TTableForm::LabelField), QStringLiteral("Remarks")));
        QVERIFY(fields->setData(fields->index(3, TTableForm::VisibleField), QStringLiteral("No")));
        form->FieldsGrid->setCurrentIndex(fields->index(3, TTableForm::VisibleField));
        form->PageControl->setCurrentWidget(form->Table);
        QCOMPARE(form->BDETable.field(2).displayLabel, QStringLiteral("NOTES"));
        QVERIFY(!form->BDETable.field(3).visible);
        form->SystemDataSet.setRecNo(3);
        QCOMPARE(form->SystemDataSet.text(TTableForm::LabelField), QStringLiteral("Remarks"));

        // Another column holds the cursor: nothing is written, not even the label.
        form->PageControl->setCurrentWidget(form->Details);
        form->FieldsGrid->setCurrentIndex(fields->index(2, TTableForm::TypeField));
        form->PageControl->setCurrentWidget(form->Table);
        QCOMPARE(form->BDETable.field(2).displayLabel, QStringLiteral("NOTES"));
    }

    void pageChange_rowNamingNoField_changesNothing()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QAbstractItemModel *fields = form->FieldsGrid->model();
        form->PageControl->setCurrentWidget(form->Details);
        QVERIFY(
            fields->setData(fields->index(1, TTableForm::NameField), QStringLiteral("name"))); // case differs
        QVERIFY(fields->setData(fields->index(1, TTableForm::LabelField), QStringLiteral("Shop")));
        form->FieldsGrid->setCurrentIndex(fields->index(1, TTableForm::LabelField));
        form->PageControl->setCurrentWidget(form->Table);
        for (int i = 0; i < form->BDETable.fieldCount(); ++i)
            QCOMPARE(form->BDETable.field(i).displayLabel, form->BDETable.field(i).name);
        QVERIFY(services.errors().isEmpty());
    }

    void layoutPicture_centresOrPlacesAtEight_data()
    {
        QTest::addColumn<int>("recNo");
        QTest::addColumn<QRect>("image");
        QTest::addColumn<QRect>("shadow");
        QTest::addColumn<QRect>("frame");
        // Larger than the 170 x 161 box: at (8, 8).
        QTest::newRow("large") << 1 << QRect(8, 8, 300, 400) << QRect(12, 12, 302, 402)
                               << QRect(7, 7, 302, 402);
        // (170 - 40) / 2 = 65, (161 - 30) / 2 = 65 (halves rounded towards zero).
        QTest::newRow("small") << 3 << QRect(65, 65, 40, 30) << QRect(69, 69, 42, 32)
                               << QRect(64, 64, 42, 32);
    }
    void layoutPicture_centresOrPlacesAtEight()
    {
        QFETCH(int, recNo);
        QFETCH(QRect, image);
        QFETCH(QRect, shadow);
        QFETCH(QRect, frame);
        ScriptedServices services;
        FakeHost host;
        auto form = openXml(host);
        QCOMPARE(form->ImageBox->size(), QSize(170, 161));
        form->DataSet.setRecNo(recNo);
        form->TableGrid->setSelectedIndex(3);
        form->ShowPictureField();
        QCOMPARE(form->DBImage->geometry(), image);
        QCOMPARE(form->Shape->geometry(), shadow);
        QCOMPARE(form->Border->geometry(), frame);
        QVERIFY(!form->DBImage->isHidden());
        QVERIFY(!form->Shape->isHidden() && !form->Border->isHidden());
        // The scroll box reaches the whole picture.
        QVERIFY(form->ImageBox->widget()->rect().contains(form->Shape->geometry()));
    }

    void layoutPicture_recordWithoutPicture_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("collapses");
        QTest::newRow("plain keeps the last place") << 0 << false;
        QTest::newRow("sql keeps the last place") << 1 << false;
        QTest::newRow("xml collapses to nothing") << 2 << true;
    }
    void layoutPicture_recordWithoutPicture()
    {
        QFETCH(int, kind);
        QFETCH(bool, collapses);
        ScriptedServices services;
        FakeHost host;
        std::unique_ptr<TTableForm> form = openKind(host, kind);
        qvx::DataSet &ds = form->tableDataSet();
        ds.setRecNo(3);
        form->TableGrid->setSelectedIndex(3);
        form->ShowPictureField();
        const QRect placed = form->DBImage->geometry();
        const int y = (form->ImageBox->height() - 30) / 2;
        QCOMPARE(placed, QRect(65, y, 40, 30));
        ds.setRecNo(2);
        QVERIFY(!form->DBImage->hasPicture());
        form->LayoutPicture();
        QCOMPARE(form->DBImage->geometry(), collapses ? QRect() : placed);
        QCOMPARE(form->Shape->geometry(), collapses ? QRect() : QRect(69, y + 4, 42, 32));
        QCOMPARE(form->Border->geometry(), collapses ? QRect() : QRect(64, y - 1, 42, 32));
        // Back to a record with a picture; a cell click lays it out again.
        ds.setRecNo(1);
        form->TableGridCellClick();
        QCOMPARE(form->DBImage->geometry(), QRect(8, 8, 300, 400));
    }

    void showPictureField_togglesTheFrame_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("recNo");
        QTest::addColumn<bool>("shownFirst");
        QTest::newRow("plain, picture") << 0 << 1 << true;
        QTest::newRow("plain, none") << 0 << 2 << false;
        QTest::newRow("sql, none") << 1 << 2 << true;
        QTest::newRow("xml, none") << 2 << 2 << true;
        QTest::newRow("xml, picture") << 2 << 1 << true;
    }
    void showPictureField_togglesTheFrame()
    {
        QFETCH(int, kind);
        QFETCH(int, recNo);
        QFETCH(bool, shownFirst);
        ScriptedServices services;
        FakeHost host;
        std::unique_ptr<TTableForm> form = openKind(host, kind);
        form->tableDataSet().setRecNo(recNo);
        form->TableGrid->setSelectedIndex(3);
        form->ShowPictureField();
        QCOMPARE(form->DBImage->dataField(), QStringLiteral("LOGO"));
        QVERIFY(!form->DBImage->isHidden());
        QCOMPARE(!form->Shape->isHidden(), shownFirst);
        QCOMPARE(!form->Border->isHidden(), shownFirst);
        form->ShowPictureField();
        QVERIFY(form->Shape->isHidden()); // toggled back, or never shown
        QVERIFY(form->Border->isHidden());
    }

    void memoAndPicture_useTheFieldAtTheSelectedIndex()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->TableGrid->setSelectedIndex(2);
        form->ShowMemoField();
        QCOMPARE(form->DBMemo->dataField(), QStringLiteral("NOTES"));
        QCOMPARE(form->DBMemo->toPlainText(), QStringLiteral("first note"));
        form->BDETable.next();
        form->BDETable.next();
        QCOMPARE(form->DBMemo->toPlainText(), QStringLiteral("third"));

        // A column whose field is no memo leaves the memo where it was.
        form->TableGrid->setSelectedIndex(1);
        form->ShowMemoField();
        QCOMPARE(form->DBMemo->dataField(), QStringLiteral("NOTES"));
        form->ShowPictureField();
        QVERIFY(form->DBImage->dataField().isEmpty());
        QVERIFY(form->DBImage->isHidden());

        // ID hidden: column 2 shows LOGO, but the field at index 2 is NOTES.
        form->BDETable.setFieldVisible(0, false);
        form->TableGrid->setSelectedIndex(2);
        QCOMPARE(form->selectedField(), 3);
        QCOMPARE(form->fieldAtSelectedIndex(), 2);
        form->ShowPictureField();
        QVERIFY(form->DBImage->dataField().isEmpty());
        form->DBMemo->setDataField(QString());
        form->ShowMemoField();
        QCOMPARE(form->DBMemo->dataField(), QStringLiteral("NOTES"));
    }

    void statusTexts_followTheGrid()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        const int before = host.updates;
        form->TableGrid->setSelectedIndex(1);
        QCOMPARE(host.updates, before + 1);
        QCOMPARE(host.status[1], QStringLiteral(" Field No: 1"));
        QCOMPARE(host.status[2], QStringLiteral(" Field name: NAME"));
        form->BDETable.setFieldVisible(0, false);
        form->TableGrid->setSelectedIndex(0);
        form->TableGrid->setSelectedIndex(2);
        QCOMPARE(host.status[1], QStringLiteral(" Field No: 2"));
        QCOMPARE(host.status[2], QStringLiteral(" Field name: LOGO")); // the field shown there

        form->TableGrid->setFocus();
        QTest::keyClick(form->TableGrid, Qt::Key_Down);
        QCOMPARE(host.status[0], QStringLiteral(" Record No: 2"));
        host.status[0].clear();
        QTest::keyClick(form->TableGrid, Qt::Key_Right); // not Up or Down
        QCOMPARE(host.status[0], QString());
        QTest::keyClick(form->TableGrid, Qt::Key_Up);
        QCOMPARE(host.status[0], QStringLiteral(" Record No: 1"));
    }

    void styleToggles_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<int>("style");
        QTest::newRow("bold") << "B" << 1;
        QTest::newRow("bold, italic") << "BI" << 3;
        QTest::newRow("bold, italic, bold") << "BIB" << 2;
        QTest::newRow("underline, bold") << "UB" << 5;
        QTest::newRow("twice underline") << "UU" << 0;
    }
    void styleToggles()
    {
        QFETCH(QString, presses);
        QFETCH(int, style);
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->TableGrid->setSelectedIndex(1);
        for (QChar c : presses) {
            if (c == u'B')
                form->ToggleColumnBold();
            else if (c == u'I')
                form->ToggleColumnItalic();
            else
                form->ToggleColumnUnderline();
        }
        QCOMPARE(int(form->FontStyleState), style);
        const QFont f = form->TableGrid->model()
                            ->data(form->TableGrid->model()->index(0, 1), Qt::FontRole)
                            .value<QFont>();
        QCOMPARE(f.bold(), bool(style & 1));
        QCOMPARE(f.italic(), bool(style & 2));
        QCOMPARE(f.underline(), bool(style & 4));
        // The title font is its own.
        form->ReadTitleStyle();
        QCOMPARE(form->FontStyleState, quint8(0));
        // Coming back to the column reads its style again.
        form->TableGrid->setSelectedIndex(0);
        QCOMPARE(form->FontStyleState, quint8(0));
        form->TableGrid->setSelectedIndex(1);
        QCOMPARE(int(form->FontStyleState), style);
    }

    void titleToggle_appliesTheColumnStyleByteWithTheBitFlipped()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->TableGrid->setSelectedIndex(1);
        form->ToggleColumnItalic(); // column font italic; state 2
        form->ToggleTitleBold(); // title gets 2 ^ 1 = bold italic
        const QFont title
            = form->TableGrid->model()->headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>();
        QVERIFY(title.bold() && title.italic());
        form->ReadTitleStyle();
        QCOMPARE(form->FontStyleState, quint8(3));
    }

    void fonts_nameSizeColour_columnOrTitle()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QAbstractItemModel *m = form->TableGrid->model();
        form->TableGrid->setSelectedIndex(1);
        const int cellSize = m->data(m->index(0, 1), Qt::FontRole).isValid()
            ? m->data(m->index(0, 1), Qt::FontRole).value<QFont>().pointSize()
            : form->TableGrid->font().pointSize();
        form->SetTitleFont(2);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>().pointSize(), 14);
        const QVariant cellFont = m->data(m->index(0, 1), Qt::FontRole);
        QCOMPARE(cellFont.isValid() ? cellFont.value<QFont>().pointSize()
                                    : form->TableGrid->font().pointSize(),
                 cellSize);
        form->SetColumnFont(1);
        QCOMPARE(m->data(m->index(0, 1), Qt::FontRole).value<QFont>().family(),
                 QStringLiteral("DejaVu Serif"));
        form->SetColumnFont(3);
        QCOMPARE(m->data(m->index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(!m->headerData(1, Qt::Horizontal, Qt::ForegroundRole).isValid());
        form->SetTitleFont(3);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        form->SetColumnColor();
        QCOMPARE(m->data(m->index(0, 1), Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
        host.chosen = Qt::green;
        form->SetTitleColor();
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(Qt::green));
        QCOMPARE(m->data(m->index(0, 1), Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
        QVERIFY(!m->data(m->index(0, 0), Qt::BackgroundRole).isValid());
    }

    void fontSize_notANumber_isAnErrorAndChangesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("fraction") << "10.5";
    }
    void fontSize_notANumber_isAnErrorAndChangesNothing()
    {
        QFETCH(QString, text);
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->TableGrid->setSelectedIndex(1);
        form->SetColumnFont(2); // 14
        host.fontSize = text;
        QVERIFY_THROWS_EXCEPTION(std::exception, form->SetColumnFont(2));
        try {
            form->SetTitleFont(2);
            QFAIL("no error");
        } catch (const std::exception &e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
        QAbstractItemModel *m = form->TableGrid->model();
        QCOMPARE(m->data(m->index(0, 1), Qt::FontRole).value<QFont>().pointSize(), 14);
    }

    void alignment_fieldAndTitle()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QAbstractItemModel *m = form->TableGrid->model();
        auto cellAlign = [&] {
            return m->data(m->index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>()
                & Qt::AlignHorizontal_Mask;
        };
        auto titleAlign = [&] {
            return m->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
                & Qt::AlignHorizontal_Mask;
        };
        form->TableGrid->setSelectedIndex(1);
        form->AlignFieldRight();
        QCOMPARE(form->BDETable.field(1).alignment, qvx::Alignment::Right);
        QCOMPARE(cellAlign(), Qt::AlignRight);
        QCOMPARE(titleAlign(), Qt::AlignHCenter);
        form->AlignFieldCenter();
        QCOMPARE(cellAlign(), Qt::AlignHCenter);
        form->AlignTitleLeft();
        QCOMPARE(titleAlign(), Qt::AlignLeft);
        form->AlignTitleRight();
        QCOMPARE(titleAlign(), Qt::AlignRight);
        QCOMPARE(cellAlign(), Qt::AlignHCenter);
    }

    void plainWindow_editsArePostedToTheFile()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QAbstractItemModel *m = form->TableGrid->model();
        QVERIFY(m->setData(m->index(1, 1), QStringLiteral("Pedals")));
        form->TableGrid->setCurrentIndex(m->index(2, 1)); // leaving the row posts it
        QCOMPARE(form->BDETable.state(), qvx::DataSet::State::Browse);
        form->BDETable.close();
        qvx::Table again;
        again.setDatabaseName(form->BDETable.databaseName());
        again.setTableName(form->BDETable.tableName());
        again.open();
        again.setRecNo(2);
        QCOMPARE(again.text(1), QStringLiteral("Pedals"));
        QVERIFY(services.errors().isEmpty());
    }

    void sqlWindow_refusesChanges()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openSql(host);
        QCOMPARE(form->TableGrid->model()->rowCount(), 3);
        form->TableGrid->setFocus();
        form->TableGrid->setCurrentIndex(form->TableGrid->model()->index(0, 1));
        QTest::keyClick(form->TableGrid, Qt::Key_Z);
        QCOMPARE(services.errors(), QStringList { QStringLiteral("Cannot modify a read-only dataset") });
        QCOMPARE(services.messages[0].icon, qvx::ui::MessageIcon::Error);
        QCOMPARE(form->Query.text(1), QStringLiteral("Spokes"));
        // The memo pane refuses too.
        form->TableGrid->setSelectedIndex(2);
        form->ShowMemoField();
        form->DBMemo->setFocus();
        QTest::keyClick(form->DBMemo, Qt::Key_Z);
        QCOMPARE(services.errors().size(), 2);
        QCOMPARE(form->DBMemo->toPlainText(), QStringLiteral("first note"));
    }

    void xmlWindow_writesBackOnCloseOnlyWhenChanged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("xmlAfter");
        QTest::newRow("xml, untouched") << "shops.xml" << false << true;
        QTest::newRow("xml, edited") << "shops.XML" << true << true;
        QTest::newRow("other name, edited") << "shops.pkt" << true << false;
    }
    void xmlWindow_writesBackOnCloseOnlyWhenChanged()
    {
        QFETCH(QString, name);
        QFETCH(bool, edit);
        QFETCH(bool, xmlAfter);
        ScriptedServices services;
        FakeHost host;
        auto form = openXml(host, name);
        const QString path = form->DataSet.fileName();
        const QByteArray before = digest(path);
        if (edit) {
            QVERIFY(form->TableGrid->model()->setData(form->TableGrid->model()->index(1, 1),
                                                      QStringLiteral("Bells")));
            form->DataSet.post();
        }
        QVERIFY(form->close());
        QVERIFY(!form->DataSet.isOpen());
        QCOMPARE(digest(path) != before, edit);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(5) == "<?xml", xmlAfter);
        f.close();
        qvx::ClientDataSet back;
        back.loadFromFile(path);
        back.setRecNo(2);
        QCOMPARE(back.text(1), edit ? QStringLiteral("Bells") : QStringLiteral("Chains"));
        QVERIFY(services.errors().isEmpty());
    }

    void xmlWindow_unpostedEditIsKeptOnClose()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openXml(host);
        QVERIFY(form->TableGrid->model()->setData(form->TableGrid->model()->index(2, 1),
                                                  QStringLiteral("Pumps")));
        QCOMPARE(form->DataSet.state(), qvx::DataSet::State::Edit);
        QVERIFY(form->close());
        qvx::ClientDataSet back;
        back.loadFromFile(form->DataSet.fileName());
        back.setRecNo(3);
        QCOMPARE(back.text(1), QStringLiteral("Pumps"));
    }

    void xmlWindow_cellStillBeingTypedIsKeptOnClose()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openXml(host);
        QAbstractItemModel *m = form->TableGrid->model();
        form->TableGrid->setCurrentIndex(m->index(1, 1));
        form->TableGrid->edit(m->index(1, 1));
        QVERIFY(form->TableGrid->isEditing());
        auto *editor = form->TableGrid->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("Brakes"));
        QVERIFY(form->close());
        qvx::ClientDataSet back;
        back.loadFromFile(form->DataSet.fileName());
        back.setRecNo(2);
        QCOMPARE(back.text(1), QStringLiteral("Brakes"));
    }

    void tabKey_movesBetweenCells()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QAbstractItemModel *m = form->TableGrid->model();
        form->TableGrid->setFocus();
        form->TableGrid->setCurrentIndex(m->index(0, 0));
        QTest::keyClick(form->TableGrid, Qt::Key_Tab);
        QCOMPARE(form->TableGrid->currentIndex(), m->index(0, 1));
        QCOMPARE(host.status[1], QStringLiteral(" Field No: 1"));
        QTest::keyClick(form->TableGrid, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(form->TableGrid->currentIndex(), m->index(0, 0));
    }

    void xmlWindow_failedWriteKeepsTheWindowOpen()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openXml(host);
        const QString path = form->DataSet.fileName();
        QVERIFY(
            form->TableGrid->model()->setData(form->TableGrid->model()->index(0, 1), QStringLiteral("Gone")));
        form->DataSet.post();
        QVERIFY(QDir(QFileInfo(path).path()).removeRecursively());
        QVERIFY(!form->close());
        QCOMPARE(services.errors().size(), 1);
        QVERIFY(form->isVisible());
        QVERIFY(form->DataSet.isOpen());
        QCOMPARE(form->DataSet.text(1), QStringLiteral("Gone"));
        // Once the folder is back, closing writes the data.
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(form->close());
        qvx::ClientDataSet back;
        back.loadFromFile(path);
        QCOMPARE(back.text(1), QStringLiteral("Gone"));
    }

    void exports_doNothingToTheData()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        form->ExportToHTML();
        QVERIFY(!QApplication::overrideCursor());
        form->ExportToExcel();
        QCOMPARE(form->BDETable.recordCount(), 3);
        QVERIFY(services.messages.isEmpty());
    }

    void outerHeight_isTheSubWindowsInAFrame()
    {
        ScriptedServices services;
        FakeHost host;
        QMdiArea area;
        area.resize(800, 600);
        auto *form = new TXMLTableForm(host, tableData);
        QMdiSubWindow *sub = area.addSubWindow(form);
        area.show();
        sub->resize(460, 301);
        QCOMPARE(form->outerHeight(), 301);
        QVERIFY(form->height() < 301); // the sub-window's title bar and border
        TXMLTableForm alone(host, tableData);
        alone.setAttribute(Qt::WA_DeleteOnClose, false);
        alone.resize(450, 300);
        QCOMPARE(alone.outerHeight(), 300);
    }

    void closingInAFrame_destroysTheWindow()
    {
        ScriptedServices services;
        FakeHost host;
        QMdiArea area;
        const QString sub = dir.path() + QStringLiteral("/frame");
        QDir().mkpath(sub);
        QPointer<TBDETableForm> form = new TBDETableForm(host, tableData);
        form->BDETable.setDatabaseName(sub);
        form->BDETable.setTableName(makeShopTable(sub));
        form->BDETable.open();
        form->InitTableView();
        QMdiSubWindow *child = area.addSubWindow(form);
        area.show();
        QVERIFY(child->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
        QVERIFY(area.subWindowList().isEmpty());
        // The table file is free again.
        qvx::Table again;
        again.setDatabaseName(sub);
        again.setTableName(QStringLiteral("shops.dbf"));
        again.open();
        QCOMPARE(again.recordCount(), 3);
    }

    void splitters_layOutThePicture()
    {
        ScriptedServices services;
        FakeHost host;
        auto form = openPlain(host);
        form->BDETable.setRecNo(3);
        form->TableGrid->setSelectedIndex(3);
        form->ShowPictureField();
        QCOMPARE(form->DBImage->geometry().topLeft(), QPoint(65, (193 - 30) / 2));
        // Dragging the bar below the picture down by 40 pixels.
        const QPoint start = form->HSplitter->rect().center();
        QTest::mousePress(form->HSplitter, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(0, 40)),
                         QPointF(form->HSplitter->mapToGlobal(start + QPoint(0, 40))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->HSplitter, &move);
        QTest::mouseRelease(form->HSplitter, Qt::LeftButton, {}, start + QPoint(0, 40));
        QCOMPARE(form->ImageBox->height(), 193 + 40);
        QCOMPARE(form->DBImage->geometry().topLeft(), QPoint(65, (193 + 40 - 30) / 2));
    }
};

QTEST_MAIN(TableFormsTest)
#include "tst_tableforms.moc"
