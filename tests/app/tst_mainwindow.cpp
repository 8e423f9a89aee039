// The main window: its command list, menus, control bars, the window, edit
// and search commands, start-up and the commands that need no table window.
#include "support/ScriptedServices.h"

#include "app/ClientMenu.h"
#include "app/Program.h"
#include "app/Splash.h"
#include "app/about.h"
#include "query/SQLDataModule.h"
#include "ui/DBNavigator.h"
#include "ui/ErrorGuard.h"
#include "ui/FindDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using qvx::ui::Command;

namespace {

QStringList captions(const QMenu *menu)
{
    QStringList result;
    for (const QAction *a : menu->actions())
        result << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return result;
}

QMenu *subMenu(const QMenu *menu, const QString &title)
{
    for (const QAction *a : menu->actions())
        if (a->menu() && a->text() == title)
            return a->menu();
    return nullptr;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowItself();
    void commandTable_data();
    void commandTable();
    void categoriesAndCount();
    void menus();
    void popupMenu();
    void toolBarsShowTheirCommands();
    void statusBar();
    void selectManagerType_data();
    void selectManagerType();
    void controlBarsToggle();
    void viewChecksFlipWithoutTableWindow();
    void tableCommandsDoNothingWithoutTableWindow();
    void windowCommandsNeedAChild();
    void windowListActivates();
    void formActivateReloadsFontsAndClearsLists();
    void fontBoxReloadRunsNoCommand();
    void editCommandsFollowTheFocusedText();
    void findAndReplace();
    void findNextNeedsASearch();
    void pageSetupAndPrint();
    void shortcutsReachTheirCommands();
    void aboutBoxAndSplash();
    void startUpOrder();

private:
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TProgram> program;
    TMainForm *form = nullptr;
    Command *command(const char *name) const { return form->command(QLatin1String(name)); }
    // A child window that is no table window: a text to edit and search.
    QPlainTextEdit *openTextChild(const QString &text);
};

void TestMainWindow::init()
{
    services = std::make_unique<ScriptedServices>();
    program = std::make_unique<TProgram>();
    form = program->MainForm();
}

void TestMainWindow::cleanup()
{
    program.reset();
    services.reset();
    form = nullptr;
}

QPlainTextEdit *TestMainWindow::openTextChild(const QString &text)
{
    auto *edit = new QPlainTextEdit(text);
    edit->setWindowTitle(QStringLiteral("Notes"));
    QMdiSubWindow *child = form->MDIArea->addSubWindow(edit);
    child->setAttribute(Qt::WA_DeleteOnClose);
    child->show();
    form->show();
    QApplication::setActiveWindow(form);
    edit->setFocus();
    return edit;
}

void TestMainWindow::windowItself()
{
    QCOMPARE(form->windowTitle(), QStringLiteral("Quorvex"));
    QCOMPARE(form->size(), QSize(696, 440));
    QCOMPARE(form->minimumSize(), QSize(690, 440));
    // Centred on the (scripted) screen.
    QCOMPARE(form->pos(), QPoint((1024 - 696) / 2, (768 - 440) / 2));
    QVERIFY(form->acceptDrops());
    QVERIFY(!form->tableChoice().OpenedFromFile());
    QVERIFY(!form->FormatTitles);
    QVERIFY(form->tableChoice().TableDir().isEmpty() && form->tableChoice().TableName().isEmpty());
}

void TestMainWindow::commandTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("enabled"); // at start, with no child window and no focused text

    struct Row {
        const char *name, *category, *caption, *hint, *shortcut;
        bool enabled;
    };
    const Row rows[] = {
        { "AliasManager", "Tables", "&Alias Manager", "Alias Manager", "Alt+A", true },
        { "CreateNewTable", "Tables", "Create new &table", "Create new table", "Alt+L", true },
        { "NewDBASETable", "Tables", "DBASE Table", "", "", false },
        { "NewParadoxTable", "Tables", "Paradox Table", "", "", false },
        { "NewASCIITable", "Tables", "ASCII Table", "", "", false },
        { "NewSQLTable", "Tables", "SQL Table", "", "", false },
        { "NewXMLDocument", "Tables", "XML Document", "", "", true },
        { "LoadTableFromFile", "Tables", "Load from file", "Load Table", "Alt+O", true },
        { "LoadBDETable", "Tables", "Local Table", "Load Local Table", "", true },
        { "LoadSQLTable", "Tables", "SQL Table", "Load SQL Table", "", true },
        { "LoadXMLDocument", "Tables", "XML Document", "Load XML Document", "", true },
        { "SaveTableToFile", "Tables", "Save to file", "Save Table As ...", "Alt+W", true },
        { "SaveDBASETable", "Tables", "DBASE Table", "", "", false },
        { "SaveParadoxTable", "Tables", "Paradox Table", "", "", false },
        { "SaveASCIITable", "Tables", "ASCII Table", "", "", false },
        { "SaveSQLTable", "Tables", "SQL Table", "", "", false },
        { "SaveXMLDocument", "Tables", "XML Document", "", "", false },
        { "ViewMemo", "Tables", "View Memo", "", "", true },
        { "ViewPicture", "Tables", "View Picture", "", "", true },
        { "EditUndo", "Edit", "&Undo", "Undo|Reverts the last action", "Ctrl+Z", false },
        { "EditCut", "Edit", "Cu&t", "Cut|Cuts the selection and puts it on the Clipboard", "Ctrl+X", false },
        { "EditCopy", "Edit", "&Copy", "Copy|Copies the selection and puts it on the Clipboard", "Ctrl+C",
          false },
        { "EditPaste", "Edit", "&Paste", "Paste|Inserts Clipboard contents", "Ctrl+V", false },
        { "EditSelectAll", "Edit", "Select &All", "Select All|Selects the entire document", "Ctrl+A", false },
        { "EditDelete", "Edit", "&Delete", "Delete|Erases the selection", "Del", false },
        { "PageSetup", "Print", "Page set&up ...", "Page Setup", "", true },
        { "PrintPreview", "Print", "Print pre&view ...", "", "", true },
        { "Print", "Print", "Print", "Print Table", "Ctrl+P", true },
        { "Exit", "Tools", "Exit", "Exit", "Alt+X", true },
        { "ConvertToExcel", "Tools", "ConvertToExcel", "Convert to Excel", "", true },
        { "ConvertToHTML", "Tools", "ConvertToHTML", "Convert to HTML", "", true },
        { "WindowClose", "Window", "C&lose", "Close", "", false },
        { "WindowCascade", "Window", "&Cascade", "Cascade", "", false },
        { "WindowTileHorizontal", "Window", "Tile &Horizontally", "Tile Horizontal", "", false },
        { "WindowTileVertical", "Window", "&Tile Vertically", "Tile Vertical", "", false },
        { "WindowMinimizeAll", "Window", "&Minimize All", "Minimize All", "", false },
        { "WindowArrange", "Window", "&Arrange", "", "", false },
        { "SearchFind1", "Search", "&Find...", "Find|Finds the specified text", "Ctrl+F", false },
        { "SearchFindNext1", "Search", "Find &Next", "Find Next|Repeats the last find", "F3", false },
        { "SearchReplace1", "Search", "&Replace", "Replace|Replaces specific text with different text", "",
          false },
        { "SearchFindFirst1", "Search", "F&ind First",
          "Find First|Finds the first occurance of specified text", "", false },
        { "SQLEditor", "SQL", "SQL Editor", "SQL Editor", "Alt+Q", true },
        { "AddTable", "SQL", "Add Table", "Add Table", "Alt+T", true },
        { "CreateSQLTable", "SQL", "SQL Table", "Create SQL Table", "Alt+C", true },
        { "SearchManager", "SQL", "Search Manager", "", "Alt+S", true },
        { "ResultForm", "SQL", "Result Manager", "", "Alt+R", true },
        { "CreateManager", "SQL", "CreateManager", "Update Form", "", true },
        { "SelectManagerType", "SQL", "SelectManagerType", "Select Manager", "", true },
        { "ClearSQL", "SQL", "Clear SQL", "Clear SQL", "", false },
        { "FindRecord", "SQL", "FindRecord", "Find", "", true },
        { "ImageEditor", "Editors", "Image Editor", "Image Manager", "", true },
        { "RTFEditor", "Editors", "RTF Editor", "RTF Editor", "", true },
        { "HTMLEditor", "Editors", "HTML Editor", "Convert to HTML", "", true },
        { "SelectCells", "Fonts", "Select Cells", "Select Cells", "", true },
        { "FontName", "Fonts", "Font Name", "Font Name", "", true },
        { "FontSize", "Fonts", "Font Size", "Font Size", "", true },
        { "FontColor", "Fonts", "Font Color", "Font Color", "", true },
        { "Bold", "Fonts", "Bold", "", "", true },
        { "Italic", "Fonts", "Italic", "", "", true },
        { "Underline", "Fonts", "Underline", "", "", true },
        { "LeftAlign", "Fonts", "Left Align", "", "", true },
        { "CenterAlign", "Fonts", "Center Align", "", "", true },
        { "RightAlign", "Fonts", "Right Align", "", "", true },
        { "BgColor", "Fonts", "Background Color", "Background Color", "", true },
        { "ViewSystemControlBar", "View", "View System Control Bar", "", "", true },
        { "ViewFontControlBar", "View", "Font Control Bar", "", "", true },
        { "ViewSQLControlBar", "View", "SQL Control Bar", "", "", true },
        { "ViewTableMemo", "View", "Memo", "View Memo", "", true },
        { "ViewTablePicture", "View", "Picture", "View Picture", "", true },
        { "ViewSheet", "View", "View Sheet", "Sheet", "", true },
        { "ViewHTML", "View", "View HTML", "View HTML", "", true },
        { "ViewDetails", "View", "View Details", "View Details", "", true },
        { "ChooseCodePage", "View", "Code Page...", "Code Page|Reads the table's text in another code page",
          "", true },
    };
    for (const Row &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.category)
                              << QString::fromLatin1(r.caption) << QString::fromLatin1(r.hint)
                              << QString::fromLatin1(r.shortcut) << r.enabled;
}

void TestMainWindow::commandTable()
{
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QString, shortcut);
    QFETCH(bool, enabled);
    Command *c = form->ActionList->find(name);
    QVERIFY(c);
    QCOMPARE(c->category(), category);
    QCOMPARE(c->text(), caption);
    QCOMPARE(c->hint(), hint);
    QCOMPARE(c->shortcut(), QKeySequence(shortcut, QKeySequence::PortableText));
    QCOMPARE(c->isEnabled(), enabled);
    QVERIFY(!c->icon().isNull());
}

void TestMainWindow::categoriesAndCount()
{
    QCOMPARE(form->ActionList->commands().size(), 73);
    QCOMPARE(form->ActionList->categories(),
             QStringList({ "Tables", "Edit", "Print", "Tools", "Window", "Search", "SQL", "Editors", "Fonts",
                           "View" }));
}

void TestMainWindow::menus()
{
    QStringList titles;
    for (const QAction *a : form->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, QStringList({ "&Table", "&Edit", "&Search", "&View", "Tools", "&Window", "&Help" }));

    QCOMPARE(captions(form->TableMenu),
             QStringList({ "&Alias Manager", "-", "Create new &table", "Load from file", "Save to file", "-",
                           "SQL Editor", "Add Table", "SQL Table", "Search Manager", "Result Manager", "-",
                           "Page set&up ...", "Print pre&view ...", "Print", "-", "Exit" }));
    QCOMPARE(captions(subMenu(form->TableMenu, QStringLiteral("Create new &table"))),
             QStringList({ "Local Table", "SQL Table", "XML Document" }));
    QCOMPARE(captions(subMenu(form->TableMenu, QStringLiteral("Load from file"))),
             QStringList({ "Local Table", "SQL Table", "XML Document" }));
    QCOMPARE(captions(subMenu(form->TableMenu, QStringLiteral("Save to file"))),
             QStringList({ "Local Table", "SQL Table", "XML Document" }));
    // The "Local Table" entries stand for their commands and share their state.
    const QMenu *save = subMenu(form->TableMenu, QStringLiteral("Save to file"));
    QVERIFY(save->actions().at(0)->isEnabled());
    QVERIFY(!save->actions().at(1)->isEnabled());
    const QMenu *create = subMenu(form->TableMenu, QStringLiteral("Create new &table"));
    QVERIFY(create->actions().at(0)->isEnabled());
    QVERIFY(!create->actions().at(1)->isEnabled()); // "SQL Table" has no behaviour
    QVERIFY(create->actions().at(2)->isEnabled());

    QCOMPARE(captions(form->EditMenu),
             QStringList({ "&Undo", "-", "Cu&t", "&Copy", "&Paste", "-", "&Delete" }));
    QCOMPARE(captions(form->SearchMenu),
             QStringList({ "&Find...", "F&ind First", "Find &Next", "-", "&Replace" }));
    QCOMPARE(captions(form->ViewMenu), QStringList({ "Table ", "Control Bars" }));
    QCOMPARE(captions(form->ViewTableMenu),
             QStringList({ "Memo", "Picture", "-", "Sheet", "HTML", "Details", "-", "Code Page..." }));
    for (QAction *item :
         { form->ViewDBMemo, form->ViewDBPicture, form->ViewResultSheet, form->ViewResultHTML,
           form->ViewResultDetails, form->ViewSystemBarItem, form->ViewFontBarItem, form->ViewSQLBarItem })
        QVERIFY2(item->isCheckable() && item->isChecked(), qPrintable(item->text()));
    QCOMPARE(captions(form->ControlBarsMenu),
             QStringList({ "View System Control Bar", "Font Control Bar", "SQL Control Bar" }));
    QCOMPARE(captions(form->ToolsMenu),
             QStringList({ "Database", "Table type", "-", "ConvertToExcel", "ConvertToHTML", "Clear SQL", "-",
                           "Image Editor", "HTML Editor", "RTF Editor" }));
    const QMenu *database = subMenu(form->ToolsMenu, QStringLiteral("Database"));
    QCOMPARE(captions(database),
             QStringList({ "BDE Database", "ADO Database", "IB Database", "DBX Database", "-",
                           "Local conection", "RDS Conection" }));
    QVERIFY(database->actions().at(0)->isChecked());
    QVERIFY(!database->actions().at(1)->isEnabled());
    // Choosing a fixed item leaves its check mark as it was.
    database->actions().at(0)->trigger();
    QVERIFY(database->actions().at(0)->isChecked());
    QCOMPARE(captions(subMenu(form->ToolsMenu, QStringLiteral("Table type"))),
             QStringList({ "BDE Table", "XML Document", "SQL Table" }));
    QCOMPARE(captions(form->WindowMenu),
             QStringList({ "&Cascade", "Tile &Horizontally", "&Tile Vertically", "&Minimize All", "-",
                           "C&lose", "-" }));
    QCOMPARE(captions(form->HelpMenu), QStringList({ "&About..." }));
}

void TestMainWindow::popupMenu()
{
    QCOMPARE(captions(form->PopupMenu),
             QStringList({ "&Undo", "-", "Cu&t", "&Copy", "&Paste", "Select &All", "-", "&Delete" }));
    QCOMPARE(form->MDIArea->contextMenuPolicy(), Qt::CustomContextMenu);
}

void TestMainWindow::toolBarsShowTheirCommands()
{
    const auto commandsOn = [](const QToolBar *bar) {
        QStringList names;
        for (const QAction *a : bar->actions()) {
            if (a->isSeparator())
                names << QStringLiteral("-");
            else if (auto *c = qobject_cast<const Command *>(a))
                names << c->objectName();
            else
                names << bar->widgetForAction(const_cast<QAction *>(a))->objectName();
        }
        return names;
    };
    QCOMPARE(commandsOn(form->SystemToolBar),
             QStringList({ "AliasManager", "-", "CreateNewTable", "LoadTableFromFile", "SaveTableToFile", "-",
                           "PrintPreview", "Print", "-", "HelpButton", "Exit" }));
    QCOMPARE(commandsOn(form->ToolBar1),
             QStringList({ "ViewMemo", "RTFEditor", "-", "ViewPicture", "ImageEditor", "-", "ConvertToExcel",
                           "ConvertToHTML" }));
    QCOMPARE(commandsOn(form->EditToolBar),
             QStringList({ "EditUndo", "-", "EditCut", "EditCopy", "EditPaste", "EditSelectAll", "-",
                           "EditDelete" }));
    QCOMPARE(
        commandsOn(form->ToolBar4),
        QStringList({ "WindowCascade", "WindowTileHorizontal", "WindowTileVertical", "WindowMinimizeAll" }));
    QCOMPARE(commandsOn(form->FontToolBar),
             QStringList({ "InfoEdit", "SelectCells", "-", "FontNameBox", "-", "FontSizeBox", "-",
                           "FontColorBox", "-", "BoldButton", "ItalicButton", "UnderlineButton" }));
    QCOMPARE(commandsOn(form->AllignBar),
             QStringList({ "LeftAlign", "CenterAlign", "RightAlign", "-", "BgColor" }));
    QCOMPARE(commandsOn(form->ToolBar2),
             QStringList({ "Edit2", "SelectManagerType", "-", "SQLEditor", "AddTable", "CreateSQLTable", "-",
                           "SearchManager", "ResultForm", "-", "CreateManager", "-", "FindRecord" }));
    QCOMPARE(form->ConnectButton->objectName(), QStringLiteral("ConnectButton"));
    QCOMPARE(form->HelpButton->toolTip(), QStringLiteral("Help"));
    QCOMPARE(form->InfoEdit->text(), QStringLiteral("Columns"));
    QCOMPARE(form->InfoEdit->width(), 53);
    QCOMPARE(form->FontNameBox->currentText(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(form->FontSizeBox->currentText(), QStringLiteral("10"));
    QCOMPARE(form->FontSizeBox->count(), 16);
    QCOMPARE(form->FontSizeBox->itemText(15), QStringLiteral("72"));
    QCOMPARE(form->Edit2->text(), QStringLiteral("Read"));
    QVERIFY(form->DBNavigator1);
}

void TestMainWindow::statusBar()
{
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(form->StatusPanels[i]->width(), 100);
        form->setStatusText(i, QStringLiteral(" Field No: %1").arg(i));
        QCOMPARE(form->statusText(i), QStringLiteral(" Field No: %1").arg(i));
    }
    form->setStatusText(3, QStringLiteral("nowhere")); // no fourth panel: ignored
}

void TestMainWindow::selectManagerType_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("Read to Update") << "Read"
                                    << "Update";
    QTest::newRow("Update to Read") << "Update"
                                    << "Read";
    QTest::newRow("typed text to Read") << "Write"
                                        << "Read";
    QTest::newRow("empty to Read") << ""
                                   << "Read";
}

void TestMainWindow::selectManagerType()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    form->Edit2->setText(before);
    command("SelectManagerType")->trigger();
    QCOMPARE(form->Edit2->text(), after);
}

void TestMainWindow::controlBarsToggle()
{
    form->show();
    struct Case {
        const char *name;
        QWidget *bar;
        QAction *item;
    };
    for (const Case &c : { Case { "ViewSystemControlBar", form->SystemControlBar, form->ViewSystemBarItem },
                           Case { "ViewFontControlBar", form->FontControlBar, form->ViewFontBarItem },
                           Case { "ViewSQLControlBar", form->SQLControlBar, form->ViewSQLBarItem } }) {
        QVERIFY(c.bar->isVisible());
        c.item->trigger(); // as the menu item is chosen
        QVERIFY2(!c.bar->isVisible(), c.name);
        QVERIFY(!c.item->isChecked());
        command(c.name)->trigger();
        QVERIFY(c.bar->isVisible());
        QVERIFY(c.item->isChecked());
    }
}

void TestMainWindow::viewChecksFlipWithoutTableWindow()
{
    // Sheet, HTML and Details flip their check marks with no window open;
    // Memo and Picture need a table window and leave theirs.
    form->ViewResultSheet->trigger();
    form->ViewResultHTML->trigger();
    form->ViewResultDetails->trigger();
    form->ViewDBMemo->trigger();
    form->ViewDBPicture->trigger();
    QVERIFY(!form->ViewResultSheet->isChecked());
    QVERIFY(!form->ViewResultHTML->isChecked());
    QVERIFY(!form->ViewResultDetails->isChecked());
    QVERIFY(form->ViewDBMemo->isChecked());
    QVERIFY(form->ViewDBPicture->isChecked());
    command("ViewSheet")->trigger();
    QVERIFY(form->ViewResultSheet->isChecked());
}

void TestMainWindow::tableCommandsDoNothingWithoutTableWindow()
{
    // A child that is no table window counts as none.
    openTextChild(QStringLiteral("notes"));
    for (const char *name :
         { "Bold", "Italic", "Underline", "LeftAlign", "CenterAlign", "RightAlign", "ViewMemo", "ViewPicture",
           "ConvertToExcel", "ConvertToHTML", "FontName", "FontSize", "FontColor", "SaveTableToFile" })
        command(name)->trigger();
    QVERIFY(services->saveRequests.isEmpty());
    QVERIFY(services->messages.isEmpty());
    // "Background Color" still asks for a colour.
    services->colorAnswers.push_back(QColor(Qt::yellow));
    command("BgColor")->trigger();
    QCOMPARE(services->colorRequests.size(), 1);
    QCOMPARE(form->chosenColor(), QColor(Qt::yellow));
    services->colorAnswers.push_back(std::nullopt);
    command("BgColor")->trigger();
    QCOMPARE(form->chosenColor(), QColor(Qt::yellow));
    // "Select Cells" switches the target whatever is open.
    command("SelectCells")->trigger();
    QVERIFY(form->FormatTitles);
    QCOMPARE(form->InfoEdit->text(), QStringLiteral("Titles"));
    command("SelectCells")->trigger();
    QVERIFY(!form->FormatTitles);
    QCOMPARE(form->InfoEdit->text(), QStringLiteral("Columns"));
    // The style buttons keep their Down state when clicked.
    QTest::mouseClick(form->BoldButton, Qt::LeftButton);
    QVERIFY(!form->BoldButton->isChecked());
    form->CurrentFontStyle = 1 | 4;
    form->UpdateStyleButtons();
    QVERIFY(form->BoldButton->isChecked());
    QVERIFY(!form->ItalicButton->isChecked());
    QVERIFY(form->UnderlineButton->isChecked());
}

void TestMainWindow::windowCommandsNeedAChild()
{
    const char *const windowCommands[] = { "WindowClose", "WindowCascade", "WindowTileHorizontal",
                                           "WindowTileVertical", "WindowMinimizeAll" };
    for (const char *name : windowCommands)
        QVERIFY2(!command(name)->isEnabled(), name);
    QPlainTextEdit *edit = openTextChild(QStringLiteral("one"));
    form->MDIArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(edit->parentWidget()));
    // Children added by any means count: the frame hears of activation.
    for (const char *name : windowCommands)
        QVERIFY2(command(name)->isEnabled(), name);
    command("WindowMinimizeAll")->trigger();
    QVERIFY(form->ChildWindows().first()->isMinimized());
    command("WindowCascade")->trigger();
    command("WindowClose")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form->ChildWindows().isEmpty());
    for (const char *name : windowCommands)
        QVERIFY2(!command(name)->isEnabled(), name);
}

void TestMainWindow::windowListActivates()
{
    openTextChild(QStringLiteral("one"))->setWindowTitle(QStringLiteral("first.dbf"));
    openTextChild(QStringLiteral("two"))->setWindowTitle(QStringLiteral("second.xml"));
    emit form->WindowMenu->aboutToShow();
    const QList<QAction *> list = form->WindowListActions();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0]->text(), QStringLiteral("&1 first.dbf"));
    QCOMPARE(list[1]->text(), QStringLiteral("&2 second.xml"));
    QVERIFY(form->WindowMenu->actions().contains(list[0]));
    list[0]->trigger();
    QCOMPARE(form->MDIArea->activeSubWindow(), form->ChildWindows().first());
}

void TestMainWindow::formActivateReloadsFontsAndClearsLists()
{
    services->families = QStringList { "Alpha Sans", "Beta Serif", "Gamma Mono" };
    program->SQLData()->append(TSQLData::Select, { QStringLiteral("parts.NAME") });
    program->SQLData()->append(TSQLData::From, { QStringLiteral("parts") });
    program->SQLData()->append(TSQLData::Where, { QStringLiteral("(QTY > \"1\")") });
    form->FormActivate();
    QCOMPARE(form->FontNameBox->count(), 3);
    QCOMPARE(form->FontNameBox->itemText(2), QStringLiteral("Gamma Mono"));
    QCOMPARE(form->FontNameBox->currentText(), QStringLiteral("MS Sans Serif"));
    QVERIFY(program->SQLData()->SelectList().isEmpty());
    QVERIFY(program->SQLData()->FromList().isEmpty());
    QVERIFY(program->SQLData()->WhereList().isEmpty());
    // Activation through the window system does the same.
    program->SQLData()->append(TSQLData::Select, { QStringLiteral("parts.NAME") });
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(form, &activate);
    QVERIFY(program->SQLData()->SelectList().isEmpty());
}

void TestMainWindow::fontBoxReloadRunsNoCommand()
{
    int runs = 0;
    command("FontName")->setHandler([&] { ++runs; });
    form->FormActivate();
    QCOMPARE(runs, 0);
    form->FontNameBox->setEditText(QStringLiteral("DejaVu Serif"));
    QCOMPARE(runs, 1);
}

void TestMainWindow::editCommandsFollowTheFocusedText()
{
    QPlainTextEdit *edit = openTextChild(QStringLiteral("hello world"));
    if (QApplication::focusWidget() != edit)
        QSKIP("the platform gives no keyboard focus");
    QVERIFY(command("EditSelectAll")->isEnabled());
    QVERIFY(!command("EditCopy")->isEnabled());
    QVERIFY(!command("EditUndo")->isEnabled());
    command("EditSelectAll")->trigger();
    QVERIFY(command("EditCopy")->isEnabled());
    QVERIFY(command("EditCut")->isEnabled());
    command("EditCopy")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("hello world"));
    QVERIFY(command("EditPaste")->isEnabled());
    command("EditDelete")->trigger();
    QCOMPARE(edit->toPlainText(), QString());
    QVERIFY(command("EditUndo")->isEnabled());
    command("EditUndo")->trigger();
    QCOMPARE(edit->toPlainText(), QStringLiteral("hello world"));
    edit->setReadOnly(true);
    command("EditSelectAll")->trigger();
    QVERIFY(!command("EditCut")->isEnabled());
    QVERIFY(!command("EditDelete")->isEnabled());
    QVERIFY(!command("EditPaste")->isEnabled());
    // Focus on something that is no text: nothing to act on.
    form->MDIArea->setFocus();
    QVERIFY(!command("EditCopy")->isEnabled());
    QVERIFY(!command("EditSelectAll")->isEnabled());
}

void TestMainWindow::findAndReplace()
{
    QPlainTextEdit *edit = openTextChild(QStringLiteral("red green red blue"));
    if (QApplication::focusWidget() != edit)
        QSKIP("the platform gives no keyboard focus");
    QTextCursor end = edit->textCursor();
    end.movePosition(QTextCursor::End);
    edit->setTextCursor(end);

    // "Find First" searches from the top whatever the cursor.
    command("SearchFindFirst1")->trigger();
    QVERIFY(form->FindDialog->isVisible());
    form->FindDialog->FindEdit->setText(QStringLiteral("red"));
    QTest::mouseClick(form->FindDialog->FindNextButton, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectionStart(), 0);
    QVERIFY(command("SearchFindNext1")->isEnabled());
    command("SearchFindNext1")->trigger();
    QCOMPARE(edit->textCursor().selectionStart(), 10);
    command("SearchFindNext1")->trigger();
    QCOMPARE(services->messages.size(), 1);
    QCOMPARE(services->messages.first().icon, qvx::ui::MessageIcon::Information);
    QVERIFY(services->messages.first().text.contains(QStringLiteral("red")));

    command("SearchReplace1")->trigger();
    QVERIFY(form->ReplaceDialog->isVisible());
    QCOMPARE(form->ReplaceDialog->FindEdit->text(), QStringLiteral("red"));
    form->ReplaceDialog->ReplaceEdit->setText(QStringLiteral("reddish"));
    QTest::mouseClick(form->ReplaceDialog->ReplaceAllButton, Qt::LeftButton);
    QCOMPARE(edit->toPlainText(), QStringLiteral("reddish green reddish blue"));
}

void TestMainWindow::findNextNeedsASearch()
{
    QPlainTextEdit *edit = openTextChild(QStringLiteral("abc"));
    if (QApplication::focusWidget() != edit)
        QSKIP("the platform gives no keyboard focus");
    QVERIFY(command("SearchFind1")->isEnabled());
    QVERIFY(!command("SearchFindNext1")->isEnabled());
    command("SearchFind1")->trigger();
    // Typing into the dialog keeps the searched text the target.
    form->FindDialog->FindEdit->setFocus();
    form->FindDialog->FindEdit->setText(QStringLiteral("b"));
    QTest::mouseClick(form->FindDialog->FindNextButton, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectedText(), QStringLiteral("b"));
    QVERIFY(command("SearchFindNext1")->isEnabled());
}

void TestMainWindow::pageSetupAndPrint()
{
    services->printerSetupAnswers.push_back(true);
    services->printAnswers.push_back(false);
    command("PageSetup")->trigger();
    command("Print")->trigger();
    QCOMPARE(services->printerSetupDialogs, 1);
    QCOMPARE(services->printDialogs, 1);
}

void TestMainWindow::shortcutsReachTheirCommands()
{
    form->show();
    QApplication::setActiveWindow(form);
    int saves = 0, loads = 0;
    command("SaveTableToFile")->setHandler([&] { ++saves; });
    command("LoadTableFromFile")->setHandler([&] { ++loads; });
    // Alt+W is also the "&Window" menu's key: the command comes first.
    QTest::keyClick(form, Qt::Key_W, Qt::AltModifier);
    QTest::keyClick(form, Qt::Key_W, Qt::AltModifier);
    QTest::keyClick(form, Qt::Key_O, Qt::AltModifier);
    QCOMPARE(saves, 2);
    QCOMPARE(loads, 1);
}

void TestMainWindow::aboutBoxAndSplash()
{
    QAction *about = form->HelpMenu->actions().first();
    about->trigger();
    QCOMPARE(services->modalDialogs, QStringList({ "AboutBox" }));
    TAboutBox *box = program->AboutBox();
    QCOMPARE(box->windowTitle(), QStringLiteral("About"));
    QCOMPARE(box->size(), QSize(207, 278));
    QCOMPARE(box->ProgramIcon->pixmap().size(), QSize(208, 284));

    TSplashForm splash;
    QCOMPARE(splash.size(), QSize(272, 336));
    QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.Picture.size(), QSize(272, 336));
}

void TestMainWindow::startUpOrder()
{
    QCOMPARE(form->AboutBox, program->AboutBox());
    QCOMPARE(form->SQLData, program->SQLData());
    QCOMPARE(form->TableData, program->TableData());
    QCOMPARE(program->AboutBox()->parentWidget(), form);
    // The navigator works on the working query.
    QCOMPARE(form->DBNavigator1->dataSource(), &program->SQLData()->SQLSource);
}

int main(int argc, char **argv)
{
    qvx::ui::GuardedApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
