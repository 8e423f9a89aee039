// The frame and its child windows: quitting commits each child's edits (and
// stays when a child cannot keep them), commands reach only a child that
// answers them, the status panels show the active child's record, column
// and state and are emptied with the last child, a read-only table says so,
// tiling, and the size each kind opens at.
#include "support/AppFixture.h"
#include "support/ScriptedServices.h"

#include "app/ClientMenu.h"
#include "app/Program.h"
#include "tables/SQLTable.h"
#include "tables/StandardTable.h"
#include "tables/TableDataModule.h"
#include "tables/XMLTable.h"
#include "ui/CommandNames.h"
#include "ui/ErrorGuard.h"

#include "engine/ClientDataSet.h"
#include "engine/Table.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTest>

#include <memory>

namespace cmd = qvx::cmd;

namespace {

// A child window that answers one command and records what it was asked.
class OneCommandChild : public QWidget, public qvx::ui::ChildWindow {
public:
    explicit OneCommandChild(QString command) : m_command(std::move(command)) { }
    QStringList ran;

    QWidget *widget() override { return this; }
    QString kindName() const override { return QStringLiteral("Test"); }
    qvx::ui::DocumentSource document() const override { return {}; }
    void open(const qvx::ui::DocumentSource &) override { }
    void saveToFile(const QString &) override { }
    void commitPendingEdits() override { }
    bool answers(const QString &command) const override { return command == m_command; }
    void runCommand(const QString &command) override { ran << command; }

private:
    QString m_command;
};

} // namespace

class TestChildWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void exitCommitsPendingEdits_data();
    void exitCommitsPendingEdits();
    void exitStaysWhenWriteBackFails();
    void readOnlyTableSaysWhy();
    void statusPanelsFollowTheActiveChild();
    void commandsReachOnlyAChildThatAnswers();
    void tileVerticallyPutsWindowsSideBySide();
    void windowsOpenAtTheirSizes_data();
    void windowsOpenAtTheirSizes();
    void frameOpensATableByAlias();

private:
    std::unique_ptr<AppFixture> files;
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TProgram> program;
    TMainForm *form = nullptr;

    TTableForm *open(const QString &path)
    {
        form->OpenFile(path);
        return qobject_cast<TTableForm *>(form->ChildWindows().last()->widget());
    }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

void TestChildWindows::init()
{
    files = std::make_unique<AppFixture>();
    services = std::make_unique<ScriptedServices>();
    program = std::make_unique<TProgram>();
    form = program->MainForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
}

void TestChildWindows::cleanup()
{
    program.reset();
    services.reset();
    files.reset();
}

void TestChildWindows::exitCommitsPendingEdits_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("typing"); // the edit is still in the cell editor, not yet in the record
    QTest::newRow("dBASE, record in edit") << "parts.dbf" << false;
    QTest::newRow("dBASE, cell being typed") << "parts.dbf" << true;
    QTest::newRow("Paradox, record in edit") << "parts.db" << false;
    QTest::newRow("ASCII, record in edit") << "parts.txt" << false;
    QTest::newRow("XML packet, record in edit") << "parts.xml" << false;
    QTest::newRow("XML packet, cell being typed") << "parts.xml" << true;
    QTest::newRow("binary packet, record in edit") << "parts.cds" << false;
}

void TestChildWindows::exitCommitsPendingEdits()
{
    QFETCH(QString, file);
    QFETCH(bool, typing);
    TTableForm *table = open(files->path(file));
    QVERIFY(table);
    qvx::DataSet &data = table->tableDataSet();
    data.setRecNo(2);
    if (typing) {
        table->TableGrid->setCurrentCell(1, 0);
        table->TableGrid->edit(table->TableGrid->currentIndex());
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("Bell"));
    } else {
        data.edit();
        data.setValue(0, QStringLiteral("Bell"));
    }

    form->command(cmd::Exit)->trigger();
    settle();

    QVERIFY(services->errors().isEmpty());
    QVERIFY(form->ChildWindows().isEmpty());
    QVERIFY(!form->isVisible());
    QCOMPARE(AppFixture::names(files->path(file)), QStringList({ "Chain", "Bell", "Spoke" }));
}

void TestChildWindows::exitStaysWhenWriteBackFails()
{
    // The packet's folder goes away under the open window, so writing it
    // back cannot succeed.
    QVERIFY(QDir(files->dir()).mkdir(QStringLiteral("sub")));
    QVERIFY(
        QFile::copy(files->path(QStringLiteral("parts.xml")), files->path(QStringLiteral("sub/parts.xml"))));
    auto *xml = qobject_cast<TXMLTableForm *>(open(files->path(QStringLiteral("sub/parts.xml"))));
    QVERIFY(xml);
    xml->DataSet.setRecNo(1);
    xml->DataSet.edit();
    xml->DataSet.setValue(0, QStringLiteral("Bell"));
    QVERIFY(QDir(files->path(QStringLiteral("sub"))).removeRecursively());

    form->command(cmd::Exit)->trigger();
    settle();

    QCOMPARE(services->errors().size(), 1);
    QVERIFY(services->errors().first().contains(QStringLiteral("parts.xml")));
    QVERIFY(form->isVisible());
    QCOMPARE(form->ChildWindows().size(), 1);
    QVERIFY(xml->DataSet.isOpen());
    QCOMPARE(xml->DataSet.text(0), QStringLiteral("Bell"));

    // Once the folder is back, quitting writes the edit and ends.
    QVERIFY(QDir(files->dir()).mkdir(QStringLiteral("sub")));
    form->command(cmd::Exit)->trigger();
    settle();
    QVERIFY(!form->isVisible());
    QCOMPARE(AppFixture::names(files->path(QStringLiteral("sub/parts.xml"))),
             QStringList({ "Bell", "Saddle", "Spoke" }));
}

void TestChildWindows::readOnlyTableSaysWhy()
{
    // A dBASE table whose production index cannot be read opens read-only.
    QFile dbf(files->path(QStringLiteral("parts.dbf")));
    QVERIFY(dbf.open(QIODevice::ReadWrite));
    QVERIFY(dbf.seek(28));
    QVERIFY(dbf.putChar(0x01));
    dbf.close();
    QFile mdx(files->path(QStringLiteral("parts.mdx")));
    QVERIFY(mdx.open(QIODevice::WriteOnly));
    mdx.write("not an index");
    mdx.close();
    const QByteArray before = [&] {
        QFile f(files->path(QStringLiteral("parts.dbf")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    TTableForm *table = open(files->path(QStringLiteral("parts.dbf")));
    QVERIFY(table);
    const QString state = form->statusText(qvx::ui::ChildHost::StatePanel);
    QVERIFY2(state.startsWith(QStringLiteral("Read-only")), qPrintable(state));
    QVERIFY2(state.contains(QStringLiteral("parts.mdx cannot be read")), qPrintable(state));
    QCOMPARE(form->StatusPanels[qvx::ui::ChildHost::StatePanel]->toolTip(), state);

    // Typing into a cell is answered with the engine's refusal.
    table->TableGrid->setFocus();
    table->TableGrid->setCurrentCell(0, 0);
    QTest::keyClicks(table->TableGrid->viewport(), QStringLiteral("x"));
    QCOMPARE(services->errors().size(), 1);
    QVERIFY2(services->errors().first().startsWith(QStringLiteral("Cannot modify a read-only dataset")),
             qPrintable(services->errors().first()));
    QVERIFY(services->errors().first().contains(QStringLiteral("parts.mdx cannot be read")));

    QFile after(files->path(QStringLiteral("parts.dbf")));
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);

    // A writable table shows no state.
    open(files->path(QStringLiteral("parts.db")));
    QCOMPARE(form->statusText(qvx::ui::ChildHost::StatePanel), QString());
}

void TestChildWindows::statusPanelsFollowTheActiveChild()
{
    TTableForm *table = open(files->path(QStringLiteral("parts.dbf")));
    QVERIFY(table);
    QCOMPARE(form->statusText(qvx::ui::ChildHost::RecordPanel), QStringLiteral(" Record No: 1"));

    // A click on the third row's second column.
    QHeaderView *rows = table->TableGrid->verticalHeader();
    QHeaderView *cols = table->TableGrid->horizontalHeader();
    const QPoint cell(cols->sectionViewportPosition(1) + 5, rows->sectionViewportPosition(2) + 3);
    QTest::mouseClick(table->TableGrid->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(form->statusText(qvx::ui::ChildHost::RecordPanel), QStringLiteral(" Record No: 3"));
    QCOMPARE(form->statusText(qvx::ui::ChildHost::ColumnPanel), QStringLiteral(" Field No: 1"));
    QCOMPARE(form->statusText(qvx::ui::ChildHost::FieldPanel), QStringLiteral(" Field name: QTY"));

    // The panels are whole, and a command's status tip leaves them in place.
    for (QLabel *panel : form->StatusPanels)
        QTRY_VERIFY2(panel->width() >= panel->sizeHint().width(), qPrintable(panel->text()));
    form->statusBar()->showMessage(QStringLiteral("Load Table"));
    for (QLabel *panel : form->StatusPanels)
        QVERIFY(panel->isVisible());
    QCOMPARE(form->statusText(qvx::ui::ChildHost::FieldPanel), QStringLiteral(" Field name: QTY"));

    // Another window shows its own record; closing the last empties them.
    TTableForm *xml = open(files->path(QStringLiteral("parts.xml")));
    xml->tableDataSet().setRecNo(2);
    QCOMPARE(form->statusText(qvx::ui::ChildHost::RecordPanel), QStringLiteral(" Record No: 2"));
    form->command(cmd::WindowClose)->trigger();
    settle();
    form->command(cmd::WindowClose)->trigger();
    settle();
    QVERIFY(form->ChildWindows().isEmpty());
    for (int panel = 0; panel < qvx::ui::ChildHost::StatusPanelCount; ++panel)
        QCOMPARE(form->statusText(panel), QString());
}

void TestChildWindows::commandsReachOnlyAChildThatAnswers()
{
    // With no child the formatting commands are as the menus first show
    // them, and do nothing.
    QVERIFY(form->command(cmd::Bold)->isEnabled());
    form->command(cmd::Bold)->trigger();

    auto *child = new OneCommandChild(cmd::Bold);
    form->MDIArea->addSubWindow(child)->show();
    form->MDIArea->setActiveSubWindow(form->ChildWindows().last());
    QVERIFY(form->command(cmd::Bold)->isEnabled());
    QVERIFY(!form->command(cmd::Italic)->isEnabled());
    QVERIFY(!form->command(cmd::ViewTableMemo)->isEnabled());
    // "View Details" flips its check mark whatever the child.
    QVERIFY(form->command(cmd::ViewDetails)->isEnabled());
    form->command(cmd::Bold)->trigger();
    form->command(cmd::Italic)->trigger();
    QCOMPARE(child->ran, QStringList { QString(cmd::Bold) });

    // A table window answers them all.
    open(files->path(QStringLiteral("parts.dbf")));
    for (QLatin1String name : { cmd::Bold, cmd::Italic, cmd::ViewTableMemo, cmd::SaveTableToFile })
        QVERIFY2(form->command(name)->isEnabled(), name.data());
}

void TestChildWindows::tileVerticallyPutsWindowsSideBySide()
{
    for (const char *name : { "parts.dbf", "parts.db", "parts.xml" })
        open(files->path(QLatin1String(name)));
    form->command(cmd::WindowTileVertical)->trigger();
    const QRect area = form->MDIArea->viewport()->rect();
    const QList<QMdiSubWindow *> children = form->ChildWindows();
    QCOMPARE(children.size(), 3);
    int left = -1;
    for (QMdiSubWindow *child : children) {
        const QRect g = child->geometry();
        QCOMPARE(g.top(), 0);
        QCOMPARE(g.height(), area.height());
        QCOMPARE(g.width(), area.width() / 3);
        QVERIFY(g.left() > left);
        left = g.left();
    }
}

void TestChildWindows::windowsOpenAtTheirSizes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::newRow("plain: its minimum") << "parts.dbf" << QSize(450, 270);
    QTest::newRow("SQL") << "parts.sql" << QSize(453, 295);
    QTest::newRow("XML") << "parts.xml" << QSize(450, 270);
}

void TestChildWindows::windowsOpenAtTheirSizes()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    TTableForm *table = open(files->path(file));
    QVERIFY(table);
    QCOMPARE(table->size(), size);
    QVERIFY(!table->windowIcon().isNull());
}

// The road the alias manager takes: set the table choice to an alias and a
// table name, then open through the frame, knowing nothing of the main window.
void TestChildWindows::frameOpensATableByAlias()
{
    program->TableData()->Session.addStandardAlias(QStringLiteral("SHOP"), files->dir(),
                                                   QStringLiteral("PARADOX"));
    qvx::ui::ChildFrame &frame = *form;
    frame.tableChoice().chooseAliasTable(QStringLiteral("SHOP"), QStringLiteral("parts.db"));
    qvx::ui::ChildWindow *child
        = frame.openDocument(qvx::DocumentKind::LocalTable,
                             qvx::ui::DocumentSource::databaseTable(frame.tableChoice().TableDir(),
                                                                    frame.tableChoice().TableName()));
    QVERIFY(child);
    QCOMPARE(frame.activeChild(), child);
    QCOMPARE(child->caption(), QStringLiteral("parts.db"));
    QCOMPARE(child->document().path, files->path(QStringLiteral("parts.db")));
    QCOMPARE(AppFixture::names(child->document().path), AppFixture::partNames());
    QCOMPARE(qobject_cast<TBDETableForm *>(child->widget())->BDETable.recordCount(), 3);
}

int main(int argc, char **argv)
{
    qvx::ui::GuardedApplication app(argc, argv);
    TestChildWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_childwindows.moc"
