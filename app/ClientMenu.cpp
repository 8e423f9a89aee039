#include "ClientMenu.h"

#include "config/AliasDlg.h"
#include "create/CreateNewTableDlg.h"

#include "Artwork.h"
#include "about.h"

#include "query/SQLDataModule.h"
#include "ui/ColorBox.h"
#include "ui/CommandNames.h"
#include "ui/ControlBar.h"
#include "ui/DBNavigator.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"
#include "ui/TextSearch.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace cmd = qvx::cmd;
using qvx::ui::Command;
using qvx::ui::CommandSpec;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

// The command list: name, category, caption, hint, shortcut, glyph.
const CommandSpec commandTable[] = {
    { cmd::AliasManager.data(), "Tables", "&Alias Manager", "Alias Manager", "Alt+A", "network-server" },
    { cmd::CreateNewTable.data(), "Tables", "Create new &table", "Create new table", "Alt+L",
      "document-new" },
    { cmd::NewDBASETable.data(), "Tables", "DBASE Table", "", "", "" },
    { cmd::NewParadoxTable.data(), "Tables", "Paradox Table", "", "", "" },
    { cmd::NewASCIITable.data(), "Tables", "ASCII Table", "", "", "" },
    { cmd::NewSQLTable.data(), "Tables", "SQL Table", "", "", "" },
    { cmd::NewXMLDocument.data(), "Tables", "XML Document", "", "", "" },
    { cmd::LoadTableFromFile.data(), "Tables", "Load from file", "Load Table", "Alt+O", "document-open" },
    { cmd::LoadBDETable.data(), "Tables", "Local Table", "Load Local Table", "", "x-office-spreadsheet" },
    { cmd::LoadSQLTable.data(), "Tables", "SQL Table", "Load SQL Table", "", "text-x-script" },
    { cmd::LoadXMLDocument.data(), "Tables", "XML Document", "Load XML Document", "",
      "text-x-generic-template" },
    { cmd::SaveTableToFile.data(), "Tables", "Save to file", "Save Table As ...", "Alt+W",
      "document-save-as" },
    { cmd::SaveDBASETable.data(), "Tables", "DBASE Table", "", "", "" },
    { cmd::SaveParadoxTable.data(), "Tables", "Paradox Table", "", "", "" },
    { cmd::SaveASCIITable.data(), "Tables", "ASCII Table", "", "", "" },
    { cmd::SaveSQLTable.data(), "Tables", "SQL Table", "", "", "" },
    { cmd::SaveXMLDocument.data(), "Tables", "XML Document", "", "", "" },
    { cmd::ViewMemo.data(), "Tables", "View Memo", "", "", "accessories-text-editor" },
    { cmd::ViewPicture.data(), "Tables", "View Picture", "", "", "image-x-generic" },

    { cmd::EditUndo.data(), "Edit", "&Undo", "Undo|Reverts the last action", "Ctrl+Z", "edit-undo" },
    { cmd::EditCut.data(), "Edit", "Cu&t", "Cut|Cuts the selection and puts it on the Clipboard", "Ctrl+X",
      "edit-cut" },
    { cmd::EditCopy.data(), "Edit", "&Copy", "Copy|Copies the selection and puts it on the Clipboard",
      "Ctrl+C", "edit-copy" },
    { cmd::EditPaste.data(), "Edit", "&Paste", "Paste|Inserts Clipboard contents", "Ctrl+V", "edit-paste" },
    { cmd::EditSelectAll.data(), "Edit", "Select &All", "Select All|Selects the entire document", "Ctrl+A",
      "edit-select-all" },
    { cmd::EditDelete.data(), "Edit", "&Delete", "Delete|Erases the selection", "Del", "edit-delete" },

    { cmd::PageSetup.data(), "Print", "Page set&up ...", "Page Setup", "", "document-properties" },
    { cmd::PrintPreview.data(), "Print", "Print pre&view ...", "", "", "document-print-preview" },
    { cmd::Print.data(), "Print", "Print", "Print Table", "Ctrl+P", "document-print" },

    { cmd::Exit.data(), "Tools", "Exit", "Exit", "Alt+X", "system-log-out" },
    { cmd::ConvertToExcel.data(), "Tools", "ConvertToExcel", "Convert to Excel", "",
      "x-office-spreadsheet-template" },
    { cmd::ConvertToHTML.data(), "Tools", "ConvertToHTML", "Convert to HTML", "", "text-html" },

    { cmd::WindowClose.data(), "Window", "C&lose", "Close", "", "qvx-window-close" },
    { cmd::WindowCascade.data(), "Window", "&Cascade", "Cascade", "", "qvx-window-cascade" },
    { cmd::WindowTileHorizontal.data(), "Window", "Tile &Horizontally", "Tile Horizontal", "",
      "qvx-window-tile-horizontal" },
    { cmd::WindowTileVertical.data(), "Window", "&Tile Vertically", "Tile Vertical", "",
      "qvx-window-tile-vertical" },
    { cmd::WindowMinimizeAll.data(), "Window", "&Minimize All", "Minimize All", "",
      "qvx-window-minimize-all" },
    { cmd::WindowArrange.data(), "Window", "&Arrange", "", "", "qvx-window-arrange" },

    { cmd::SearchFind1.data(), "Search", "&Find...", "Find|Finds the specified text", "Ctrl+F", "edit-find" },
    { cmd::SearchFindNext1.data(), "Search", "Find &Next", "Find Next|Repeats the last find", "F3",
      "go-next" },
    { cmd::SearchReplace1.data(), "Search", "&Replace", "Replace|Replaces specific text with different text",
      "", "edit-find-replace" },
    { cmd::SearchFindFirst1.data(), "Search", "F&ind First",
      "Find First|Finds the first occurance of specified text", "", "go-first" },

    { cmd::SQLEditor.data(), "SQL", "SQL Editor", "SQL Editor", "Alt+Q", "accessories-text-editor" },
    { cmd::AddTable.data(), "SQL", "Add Table", "Add Table", "Alt+T", "list-add" },
    { cmd::CreateSQLTable.data(), "SQL", "SQL Table", "Create SQL Table", "Alt+C", "x-office-spreadsheet" },
    { cmd::SearchManager.data(), "SQL", "Search Manager", "", "Alt+S", "system-search" },
    { cmd::ResultForm.data(), "SQL", "Result Manager", "", "Alt+R", "x-office-presentation" },
    { cmd::CreateManager.data(), "SQL", "CreateManager", "Update Form", "", "view-refresh" },
    { cmd::SelectManagerType.data(), "SQL", "SelectManagerType", "Select Manager", "", "go-jump" },
    { cmd::ClearSQL.data(), "SQL", "Clear SQL", "Clear SQL", "", "edit-clear" },
    { cmd::FindRecord.data(), "SQL", "FindRecord", "Find", "", "edit-find" },

    { cmd::ImageEditor.data(), "Editors", "Image Editor", "Image Manager", "", "applications-graphics" },
    { cmd::RTFEditor.data(), "Editors", "RTF Editor", "RTF Editor", "", "x-office-document" },
    { cmd::HTMLEditor.data(), "Editors", "HTML Editor", "Convert to HTML", "", "internet-web-browser" },

    { cmd::SelectCells.data(), "Fonts", "Select Cells", "Select Cells", "", "qvx-select-cells" },
    { cmd::FontName.data(), "Fonts", "Font Name", "Font Name", "", "preferences-desktop-font" },
    { cmd::FontSize.data(), "Fonts", "Font Size", "Font Size", "", "" },
    { cmd::FontColor.data(), "Fonts", "Font Color", "Font Color", "", "" },
    { cmd::Bold.data(), "Fonts", "Bold", "", "", "format-text-bold" },
    { cmd::Italic.data(), "Fonts", "Italic", "", "", "format-text-italic" },
    { cmd::Underline.data(), "Fonts", "Underline", "", "", "format-text-underline" },
    { cmd::LeftAlign.data(), "Fonts", "Left Align", "", "", "format-justify-left" },
    { cmd::CenterAlign.data(), "Fonts", "Center Align", "", "", "format-justify-center" },
    { cmd::RightAlign.data(), "Fonts", "Right Align", "", "", "format-justify-right" },
    { cmd::BgColor.data(), "Fonts", "Background Color", "Background Color", "", "qvx-background-color" },

    { cmd::ViewSystemControlBar.data(), "View", "View System Control Bar", "", "", "" },
    { cmd::ViewFontControlBar.data(), "View", "Font Control Bar", "", "", "" },
    { cmd::ViewSQLControlBar.data(), "View", "SQL Control Bar", "", "", "" },
    { cmd::ViewTableMemo.data(), "View", "Memo", "View Memo", "", "" },
    { cmd::ViewTablePicture.data(), "View", "Picture", "View Picture", "", "" },
    { cmd::ViewSheet.data(), "View", "View Sheet", "Sheet", "", "" },
    { cmd::ViewHTML.data(), "View", "View HTML", "View HTML", "", "" },
    { cmd::ViewDetails.data(), "View", "View Details", "View Details", "", "" },
    { cmd::ChooseCodePage.data(), "View", "Code Page...",
      "Code Page|Reads the table's text in another code page", "", "" },
};

// A separate menu item standing for a command: it shows the command's glyph
// and enabled state and runs it, but keeps a caption and check mark of its own.
QAction *proxyItem(Command *command, const QString &caption, bool checkable, QObject *parent)
{
    auto *item = new QAction(caption, parent);
    const auto mirror = [item, command] {
        item->setEnabled(command->isEnabled());
        item->setIcon(command->icon());
        item->setStatusTip(command->statusTip());
        item->setToolTip(command->toolTip());
    };
    mirror();
    // Shown in the menu only: the command itself holds the window's shortcut.
    item->setShortcut(command->shortcut());
    item->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(command, &QAction::changed, item, mirror);
    if (checkable) {
        item->setCheckable(true);
        item->setChecked(true);
        // The check mark is the command's to flip, not the click's: undo
        // the click's own flip before the command runs.
        QObject::connect(item, &QAction::triggered, item, [item](bool checked) {
            QSignalBlocker block(item);
            item->setChecked(!checked);
        });
    }
    QObject::connect(item, &QAction::triggered, command, [command] { command->execute(); });
    return item;
}

// A tool button that runs a command but whose Down state the program sets
// (the style buttons show the selected column's style, not a toggle).
QToolButton *styleButton(QToolBar *bar, Command *command, const QString &name)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoRaise(true);
    const auto mirror = [button, command] {
        button->setEnabled(command->isEnabled());
        button->setIcon(command->icon());
        button->setToolTip(command->toolTip());
        button->setStatusTip(command->statusTip());
    };
    mirror();
    QObject::connect(command, &QAction::changed, button, mirror);
    bar->addWidget(button);
    return button;
}

QToolBar *toolBar(const QString &name, QWidget *parent)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(name);
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(false);
    bar->setFloatable(false);
    return bar;
}

} // namespace

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Quorvex"));
    setWindowIcon(qvx::app::programIcon());
    setMinimumSize(690, 440);
    resize(696, 440);
    const QSize screen = Services::current().screenSize();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
    setAcceptDrops(true);

    ActionList = new qvx::ui::CommandList(this);
    ActionList->setObjectName(QStringLiteral("ActionList"));
    buildCommands();

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildControlBars();
    column->addWidget(SystemControlBar);
    column->addWidget(FontControlBar);
    column->addWidget(SQLControlBar);
    MDIArea = named(new QMdiArea(central), QStringLiteral("MDIArea"));
    MDIArea->setBackground(palette().brush(QPalette::Dark));
    MDIArea->setContextMenuPolicy(Qt::CustomContextMenu);
    column->addWidget(MDIArea, 1);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < StatusPanelCount; ++i) {
        StatusPanels[i] = named(new QLabel(statusBar()), QStringLiteral("StatusPanel%1").arg(i));
        // At least as wide as the panels were drawn, wider for a long field
        // name; permanent, so that a command's status tip does not blank them.
        StatusPanels[i]->setMinimumWidth(100);
        StatusPanels[i]->setFrameShape(QFrame::StyledPanel);
        statusBar()->addPermanentWidget(StatusPanels[i], i == StatePanel ? 1 : 0);
    }

    m_search = new qvx::ui::TextSearch(this, [this] { return m_textTarget; });
    FindDialog = m_search->findDialog();
    ReplaceDialog = m_search->replaceDialog();
    connect(m_search, &qvx::ui::TextSearch::searchDone, this, &TMainForm::updateEditCommands);
    buildMenus();
    bindHandlers();

    connect(MDIArea, &QMdiArea::subWindowActivated, this, [this] {
        updateWindowCommands();
        childActivated();
    });
    connect(MDIArea, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu->popup(MDIArea->mapToGlobal(pos)); });
    connect(qApp, &QApplication::focusChanged, this, &TMainForm::trackFocus);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TMainForm::updateEditCommands);

    // FormCreate: the table choice starts empty, OpenedFromFile false.
    updateWindowCommands();
    updateEditCommands();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    bool kept = true;
    qvx::ui::guarded(this, [&] {
        // Each child commits its edits as its own close would; one that
        // cannot stays open and has shown why.
        for (QMdiSubWindow *child : ChildWindows()) {
            if (!child->close())
                kept = false;
        }
    });
    if (!kept) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

TMainForm::~TMainForm()
{
    // Child windows go first, while the modules they use are still there.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    for (QMdiSubWindow *child : MDIArea->subWindowList())
        delete child;
}

void TMainForm::buildCommands()
{
    ActionList->add(commandTable, int(std::size(commandTable)));
}

QAction *TMainForm::menuItem(QMenu *menu, const QString &commandName, const QString &caption,
                             const QString &itemName, bool checkable)
{
    Command *c = command(commandName);
    if (caption.isEmpty() && !checkable) {
        menu->addAction(c);
        return c;
    }
    QAction *item = proxyItem(c, caption.isEmpty() ? c->text() : caption, checkable, menu);
    item->setObjectName(itemName.isEmpty() ? commandName + QStringLiteral("Item") : itemName);
    menu->addAction(item);
    return item;
}

void TMainForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("Menu"));
    ActionList->takePrecedenceOver(bar);

    TableMenu = named(bar->addMenu(QStringLiteral("&Table")), QStringLiteral("TableMenu"));
    menuItem(TableMenu, cmd::AliasManager);
    TableMenu->addSeparator();
    QMenu *create
        = named(TableMenu->addMenu(QStringLiteral("Create new &table")), QStringLiteral("CreateMenu"));
    menuItem(create, cmd::CreateNewTable, QStringLiteral("Local Table"),
             QStringLiteral("CreateLocalTableItem"));
    menuItem(create, cmd::NewSQLTable);
    menuItem(create, cmd::NewXMLDocument);
    QMenu *load = named(TableMenu->addMenu(QStringLiteral("Load from file")), QStringLiteral("LoadMenu"));
    menuItem(load, cmd::LoadBDETable);
    menuItem(load, cmd::LoadSQLTable);
    menuItem(load, cmd::LoadXMLDocument);
    QMenu *save = named(TableMenu->addMenu(QStringLiteral("Save to file")), QStringLiteral("SaveMenu"));
    menuItem(save, cmd::SaveTableToFile, QStringLiteral("Local Table"), QStringLiteral("SaveLocalTableItem"));
    menuItem(save, cmd::SaveSQLTable);
    menuItem(save, cmd::SaveXMLDocument);
    TableMenu->addSeparator();
    for (QLatin1String name :
         { cmd::SQLEditor, cmd::AddTable, cmd::CreateSQLTable, cmd::SearchManager, cmd::ResultForm })
        menuItem(TableMenu, name);
    TableMenu->addSeparator();
    for (QLatin1String name : { cmd::PageSetup, cmd::PrintPreview, cmd::Print })
        menuItem(TableMenu, name);
    TableMenu->addSeparator();
    menuItem(TableMenu, cmd::Exit);

    EditMenu = named(bar->addMenu(QStringLiteral("&Edit")), QStringLiteral("EditMenu"));
    menuItem(EditMenu, cmd::EditUndo);
    EditMenu->addSeparator();
    for (QLatin1String name : { cmd::EditCut, cmd::EditCopy, cmd::EditPaste })
        menuItem(EditMenu, name);
    EditMenu->addSeparator();
    menuItem(EditMenu, cmd::EditDelete);

    SearchMenu = named(bar->addMenu(QStringLiteral("&Search")), QStringLiteral("SearchMenu"));
    for (QLatin1String name : { cmd::SearchFind1, cmd::SearchFindFirst1, cmd::SearchFindNext1 })
        menuItem(SearchMenu, name);
    SearchMenu->addSeparator();
    menuItem(SearchMenu, cmd::SearchReplace1);

    ViewMenu = named(bar->addMenu(QStringLiteral("&View")), QStringLiteral("ViewMenu"));
    ViewTableMenu = named(ViewMenu->addMenu(QStringLiteral("Table ")), QStringLiteral("ViewTableMenu"));
    ViewDBMemo = menuItem(ViewTableMenu, cmd::ViewTableMemo, QStringLiteral("Memo"),
                          QStringLiteral("ViewDBMemo"), true);
    ViewDBPicture = menuItem(ViewTableMenu, cmd::ViewTablePicture, QStringLiteral("Picture"),
                             QStringLiteral("ViewDBPicture"), true);
    ViewTableMenu->addSeparator();
    ViewResultSheet = menuItem(ViewTableMenu, cmd::ViewSheet, QStringLiteral("Sheet"),
                               QStringLiteral("ViewResultSheet"), true);
    ViewResultHTML = menuItem(ViewTableMenu, cmd::ViewHTML, QStringLiteral("HTML"),
                              QStringLiteral("ViewResultHTML"), true);
    ViewResultDetails = menuItem(ViewTableMenu, cmd::ViewDetails, QStringLiteral("Details"),
                                 QStringLiteral("ViewResultDetails"), true);
    ViewTableMenu->addSeparator();
    menuItem(ViewTableMenu, cmd::ChooseCodePage);
    ControlBarsMenu
        = named(ViewMenu->addMenu(QStringLiteral("Control Bars")), QStringLiteral("ControlBarsMenu"));
    ViewSystemBarItem = menuItem(ControlBarsMenu, cmd::ViewSystemControlBar, {}, {}, true);
    ViewFontBarItem = menuItem(ControlBarsMenu, cmd::ViewFontControlBar, {}, {}, true);
    ViewSQLBarItem = menuItem(ControlBarsMenu, cmd::ViewSQLControlBar, {}, {}, true);

    ToolsMenu = named(bar->addMenu(QStringLiteral("Tools")), QStringLiteral("ToolsMenu"));
    // Inert choices with fixed check marks: the program has one kind of
    // database connection and opens every table kind.
    const auto fixedItem = [](QMenu *menu, const QString &caption, bool ticked, bool enabled) {
        QAction *item = menu->addAction(caption);
        item->setCheckable(ticked);
        item->setChecked(ticked);
        item->setEnabled(enabled);
        QObject::connect(item, &QAction::triggered, item, [item, ticked] {
            QSignalBlocker block(item);
            item->setChecked(ticked);
        });
    };
    QMenu *database = named(ToolsMenu->addMenu(QStringLiteral("Database")), QStringLiteral("DatabaseMenu"));
    fixedItem(database, QStringLiteral("BDE Database"), true, true);
    fixedItem(database, QStringLiteral("ADO Database"), false, false);
    fixedItem(database, QStringLiteral("IB Database"), false, false);
    fixedItem(database, QStringLiteral("DBX Database"), false, false);
    database->addSeparator();
    fixedItem(database, QStringLiteral("Local conection"), true, true);
    fixedItem(database, QStringLiteral("RDS Conection"), false, false);
    QMenu *tableType
        = named(ToolsMenu->addMenu(QStringLiteral("Table type")), QStringLiteral("TableTypeMenu"));
    fixedItem(tableType, QStringLiteral("BDE Table"), true, true);
    fixedItem(tableType, QStringLiteral("XML Document"), false, true);
    fixedItem(tableType, QStringLiteral("SQL Table"), false, true);
    ToolsMenu->addSeparator();
    for (QLatin1String name : { cmd::ConvertToExcel, cmd::ConvertToHTML, cmd::ClearSQL })
        menuItem(ToolsMenu, name);
    ToolsMenu->addSeparator();
    for (QLatin1String name : { cmd::ImageEditor, cmd::HTMLEditor, cmd::RTFEditor })
        menuItem(ToolsMenu, name);

    WindowMenu = named(bar->addMenu(QStringLiteral("&Window")), QStringLiteral("WindowMenu"));
    for (QLatin1String name :
         { cmd::WindowCascade, cmd::WindowTileHorizontal, cmd::WindowTileVertical, cmd::WindowMinimizeAll })
        menuItem(WindowMenu, name);
    WindowMenu->addSeparator();
    menuItem(WindowMenu, cmd::WindowClose);
    m_windowListSeparator = WindowMenu->addSeparator();
    m_windowListSeparator->setVisible(false);
    connect(WindowMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowList(); });

    HelpMenu = named(bar->addMenu(QStringLiteral("&Help")), QStringLiteral("HelpMenu"));
    QAction *about = named(HelpMenu->addAction(QStringLiteral("&About...")), QStringLiteral("AboutItem"));
    connect(about, &QAction::triggered, this, [this] {
        if (AboutBox)
            Services::current().runModal(*AboutBox);
    });

    PopupMenu = named(new QMenu(this), QStringLiteral("PopupMenu"));
    menuItem(PopupMenu, cmd::EditUndo);
    PopupMenu->addSeparator();
    for (QLatin1String name : { cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::EditSelectAll })
        menuItem(PopupMenu, name);
    PopupMenu->addSeparator();
    menuItem(PopupMenu, cmd::EditDelete);

    for (QMenu *menu : { EditMenu, SearchMenu, PopupMenu })
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::updateEditCommands);
}

QWidget *TMainForm::controlBar(const QString &name, const QList<QToolBar *> &bars)
{
    auto *bar = new qvx::ui::ControlBar(this);
    bar->setObjectName(name);
    for (QToolBar *toolBar : bars)
        bar->addBar(toolBar);
    return bar;
}

void TMainForm::buildControlBars()
{
    const auto add = [this](QToolBar *bar, QLatin1String commandName, const QString &buttonName = {}) {
        return qvx::ui::addCommandButton(bar, command(commandName), buttonName);
    };

    SystemToolBar = toolBar(QStringLiteral("SystemToolBar"), this);
    ConnectButton = add(SystemToolBar, cmd::AliasManager, QStringLiteral("ConnectButton"));
    SystemToolBar->addSeparator();
    NewTableButton = add(SystemToolBar, cmd::CreateNewTable, QStringLiteral("NewTableButton"));
    LoadFromFileButton = add(SystemToolBar, cmd::LoadTableFromFile, QStringLiteral("LoadFromFileButton"));
    SaveToFileButton = add(SystemToolBar, cmd::SaveTableToFile, QStringLiteral("SaveToFileButton"));
    SystemToolBar->addSeparator();
    add(SystemToolBar, cmd::PrintPreview);
    add(SystemToolBar, cmd::Print);
    SystemToolBar->addSeparator();
    HelpButton = named(new QToolButton(SystemToolBar), QStringLiteral("HelpButton"));
    HelpButton->setToolTip(QStringLiteral("Help"));
    HelpButton->setIcon(qvx::ui::glyph(QStringLiteral("help-browser"), QStringLiteral("Help")));
    HelpButton->setAutoRaise(true);
    SystemToolBar->addWidget(HelpButton);
    add(SystemToolBar, cmd::Exit);

    ToolBar1 = toolBar(QStringLiteral("ToolBar1"), this);
    add(ToolBar1, cmd::ViewMemo);
    add(ToolBar1, cmd::RTFEditor);
    ToolBar1->addSeparator();
    add(ToolBar1, cmd::ViewPicture);
    add(ToolBar1, cmd::ImageEditor);
    ToolBar1->addSeparator();
    add(ToolBar1, cmd::ConvertToExcel);
    add(ToolBar1, cmd::ConvertToHTML);

    EditToolBar = toolBar(QStringLiteral("EditToolBar"), this);
    add(EditToolBar, cmd::EditUndo);
    EditToolBar->addSeparator();
    for (QLatin1String name : { cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::EditSelectAll })
        add(EditToolBar, name);
    EditToolBar->addSeparator();
    add(EditToolBar, cmd::EditDelete);

    ToolBar4 = toolBar(QStringLiteral("ToolBar4"), this);
    for (QLatin1String name :
         { cmd::WindowCascade, cmd::WindowTileHorizontal, cmd::WindowTileVertical, cmd::WindowMinimizeAll })
        add(ToolBar4, name);

    SystemControlBar
        = controlBar(QStringLiteral("SystemControlBar"), { SystemToolBar, ToolBar1, EditToolBar, ToolBar4 });

    FontToolBar = toolBar(QStringLiteral("FontToolBar"), this);
    InfoEdit = named(new QLineEdit(QStringLiteral("Columns"), FontToolBar), QStringLiteral("InfoEdit"));
    InfoEdit->setFixedWidth(53);
    InfoEdit->setReadOnly(true);
    FontToolBar->addWidget(InfoEdit);
    TitleOrColumnButton = add(FontToolBar, cmd::SelectCells, QStringLiteral("TitleOrColumnButton"));
    FontToolBar->addSeparator();
    FontNameBox = named(new QComboBox(FontToolBar), QStringLiteral("FontNameBox"));
    FontNameBox->setEditable(true);
    FontNameBox->setInsertPolicy(QComboBox::NoInsert);
    FontNameBox->setFixedWidth(145);
    FontNameBox->setEditText(QStringLiteral("MS Sans Serif"));
    FontToolBar->addWidget(FontNameBox);
    FontToolBar->addSeparator();
    FontSizeBox = named(new QComboBox(FontToolBar), QStringLiteral("FontSizeBox"));
    FontSizeBox->setEditable(true);
    FontSizeBox->setInsertPolicy(QComboBox::NoInsert);
    FontSizeBox->setFixedWidth(75);
    for (const char *size :
         { "8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28", "36", "48", "72" })
        FontSizeBox->addItem(QLatin1String(size));
    FontSizeBox->setCurrentIndex(-1);
    FontSizeBox->setEditText(QStringLiteral("10"));
    FontToolBar->addWidget(FontSizeBox);
    FontToolBar->addSeparator();
    FontColorBox = named(new qvx::ui::ColorBox(FontToolBar), QStringLiteral("FontColorBox"));
    FontColorBox->setFixedWidth(145);
    FontToolBar->addWidget(FontColorBox);
    FontToolBar->addSeparator();
    BoldButton = styleButton(FontToolBar, command(cmd::Bold), QStringLiteral("BoldButton"));
    ItalicButton = styleButton(FontToolBar, command(cmd::Italic), QStringLiteral("ItalicButton"));
    UnderlineButton = styleButton(FontToolBar, command(cmd::Underline), QStringLiteral("UnderlineButton"));
    struct StyleBinding {
        QToolButton *button;
        QLatin1String commandName;
        quint8 bit;
    };
    for (const StyleBinding &b :
         { StyleBinding { BoldButton, cmd::Bold, 1 }, StyleBinding { ItalicButton, cmd::Italic, 2 },
           StyleBinding { UnderlineButton, cmd::Underline, 4 } }) {
        Command *c = command(b.commandName);
        QToolButton *button = b.button;
        const quint8 bit = b.bit;
        connect(button, &QToolButton::clicked, this, [this, c, button, bit] {
            // The click must not change the Down state; only UpdateStyleButtons does.
            button->setChecked(CurrentFontStyle & bit);
            c->execute();
        });
    }

    AllignBar = toolBar(QStringLiteral("AllignBar"), this);
    LeftButton = add(AllignBar, cmd::LeftAlign, QStringLiteral("LeftButton"));
    CenterButton = add(AllignBar, cmd::CenterAlign, QStringLiteral("CenterButton"));
    RightButton = add(AllignBar, cmd::RightAlign, QStringLiteral("RightButton"));
    AllignBar->addSeparator();
    BgColorButton = add(AllignBar, cmd::BgColor, QStringLiteral("BgColorButton"));

    FontControlBar = controlBar(QStringLiteral("FontControlBar"), { FontToolBar, AllignBar });

    ToolBar2 = toolBar(QStringLiteral("ToolBar2"), this);
    Edit2 = named(new QLineEdit(QStringLiteral("Read"), ToolBar2), QStringLiteral("Edit2"));
    Edit2->setFixedWidth(53);
    ToolBar2->addWidget(Edit2);
    add(ToolBar2, cmd::SelectManagerType);
    ToolBar2->addSeparator();
    for (QLatin1String name : { cmd::SQLEditor, cmd::AddTable, cmd::CreateSQLTable })
        add(ToolBar2, name);
    ToolBar2->addSeparator();
    add(ToolBar2, cmd::SearchManager);
    add(ToolBar2, cmd::ResultForm);
    ToolBar2->addSeparator();
    add(ToolBar2, cmd::CreateManager);
    ToolBar2->addSeparator();
    add(ToolBar2, cmd::FindRecord);

    SQLControlBar = controlBar(QStringLiteral("SQLControlBar"), { ToolBar2 });
    DBNavigator1 = named(new qvx::ui::DBNavigator(SQLControlBar), QStringLiteral("DBNavigator1"));
    static_cast<qvx::ui::ControlBar *>(SQLControlBar)->addBar(DBNavigator1);
}

void TMainForm::setSQLData(TSQLData *sqlData)
{
    SQLData = sqlData;
    DBNavigator1->setDataSource(sqlData ? &sqlData->SQLSource : nullptr);
    createSQLEditor();
}

void TMainForm::setNewTableCreator(TCreateNewBDETable *creator)
{
    CreateNewBDETable = creator;
    command(cmd::CreateNewTable)->setHandler([this] { CreateNewBDETable->Execute(); });
    command(cmd::NewXMLDocument)->setHandler([this] { CreateNewBDETable->Execute(QStringLiteral("XML Table")); });
}

void TMainForm::setAliasManager(TAliasFormDlg *dialog)
{
    AliasFormDlg = dialog;
    command(cmd::AliasManager)->setHandler([this] { AliasFormDlg->Execute(); });
}

void TMainForm::bindHandlers()
{
    const auto on
        = [this](QLatin1String name, std::function<void()> fn) { command(name)->setHandler(std::move(fn)); };

    on(cmd::LoadTableFromFile, [this] { LoadTableFromFileExecute(); });
    on(cmd::LoadBDETable, [this] { LoadBDETableExecute(); });
    on(cmd::LoadSQLTable, [this] { LoadSQLTableExecute(); });
    on(cmd::LoadXMLDocument, [this] { LoadXMLDocumentExecute(); });
    on(cmd::SaveTableToFile, [this] { SaveTableToFileExecute(); });
    on(cmd::CreateSQLTable, [this] { CreateSQLTableExecute(); });
    on(cmd::SelectManagerType, [this] { SelectManagerTypeExecute(); });
    bindSQLEditorCommands();
    bindDesignerCommands();

    on(cmd::PageSetup, [this] { Services::current().printerSetupDialog(this); });
    on(cmd::Print, [this] { Services::current().printDialog(this); });
    on(cmd::Exit, [this] { close(); });

    on(cmd::WindowClose, [this] { MDIArea->closeActiveSubWindow(); });
    on(cmd::WindowCascade, [this] { MDIArea->cascadeSubWindows(); });
    on(cmd::WindowTileHorizontal, [this] {
        // One above the other, each the frame's full width.
        const QList<QMdiSubWindow *> children = ChildWindows();
        QList<QMdiSubWindow *> shown;
        for (QMdiSubWindow *child : children)
            if (!child->isMinimized())
                shown << child;
        if (shown.isEmpty())
            return;
        const QRect area = MDIArea->viewport()->rect();
        const int h = area.height() / int(shown.size());
        for (int i = 0; i < shown.size(); ++i) {
            shown[i]->showNormal();
            shown[i]->setGeometry(0, i * h, area.width(), h);
        }
    });
    on(cmd::WindowTileVertical, [this] {
        // Side by side, each the frame's full height.
        QList<QMdiSubWindow *> shown;
        for (QMdiSubWindow *child : ChildWindows())
            if (!child->isMinimized())
                shown << child;
        if (shown.isEmpty())
            return;
        const QRect area = MDIArea->viewport()->rect();
        const int w = area.width() / int(shown.size());
        for (int i = 0; i < shown.size(); ++i) {
            shown[i]->showNormal();
            shown[i]->setGeometry(i * w, 0, w, area.height());
        }
    });
    on(cmd::WindowMinimizeAll, [this] {
        for (QMdiSubWindow *child : ChildWindows())
            child->showMinimized();
    });
    on(cmd::WindowArrange, [this] {
        // Minimised windows in a row along the bottom of the frame.
        int x = 0;
        const int bottom = MDIArea->viewport()->height();
        for (QMdiSubWindow *child : ChildWindows()) {
            if (!child->isMinimized())
                continue;
            child->move(x, bottom - child->height());
            x += child->width();
        }
    });

    on(cmd::EditUndo, [this] { m_textTarget.undo(); });
    on(cmd::EditCut, [this] { m_textTarget.cut(); });
    on(cmd::EditCopy, [this] { m_textTarget.copy(); });
    on(cmd::EditPaste, [this] { m_textTarget.paste(); });
    on(cmd::EditSelectAll, [this] { m_textTarget.selectAll(); });
    on(cmd::EditDelete, [this] { m_textTarget.deleteSelection(); });
    on(cmd::SearchFind1, [this] { m_search->showFind(false); });
    on(cmd::SearchFindFirst1, [this] { m_search->showFind(true); });
    on(cmd::SearchFindNext1, [this] { m_search->findNext(); });
    on(cmd::SearchReplace1, [this] { m_search->showReplace(); });

    on(cmd::ViewSystemControlBar, [this] { toggleControlBar(SystemControlBar, ViewSystemBarItem); });
    on(cmd::ViewFontControlBar, [this] { toggleControlBar(FontControlBar, ViewFontBarItem); });
    on(cmd::ViewSQLControlBar, [this] { toggleControlBar(SQLControlBar, ViewSQLBarItem); });
    on(cmd::ViewSheet, [this] { ViewResultSheet->setChecked(!ViewResultSheet->isChecked()); });
    on(cmd::ViewHTML, [this] { ViewResultHTML->setChecked(!ViewResultHTML->isChecked()); });

    bindChildCommands();
}

void TMainForm::toggleControlBar(QWidget *bar, QAction *item)
{
    bar->setVisible(bar->isHidden());
    item->setChecked(!item->isChecked());
}

void TMainForm::SelectManagerTypeExecute()
{
    Edit2->setText(Edit2->text() == QLatin1String("Read") ? QStringLiteral("Update")
                                                          : QStringLiteral("Read"));
}

// --- Activation, status bar, boxes ------------------------------------------

bool TMainForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        qvx::ui::guarded(this, [this] { FormActivate(); });
    return QMainWindow::event(e);
}

void TMainForm::FormActivate()
{
    const QString text = FontNameBox->currentText();
    {
        // Reloading the list is no choice of the user's: it must not run "Font Name".
        QSignalBlocker block(FontNameBox);
        FontNameBox->clear();
        FontNameBox->addItems(Services::current().fontFamilies());
        FontNameBox->setCurrentIndex(-1);
        FontNameBox->setEditText(text);
    }
    if (SQLData)
        SQLData->ClearLists();
}

void TMainForm::setStatusText(int panel, const QString &text)
{
    if (panel < 0 || panel >= StatusPanelCount)
        return;
    StatusPanels[panel]->setText(text);
    // A long reason may not fit a narrow window; the whole text is a hover away.
    StatusPanels[panel]->setToolTip(text.trimmed());
}

QString TMainForm::statusText(int panel) const
{
    return panel >= 0 && panel < StatusPanelCount ? StatusPanels[panel]->text() : QString();
}

QString TMainForm::fontNameText() const
{
    return FontNameBox->currentText();
}

QString TMainForm::fontSizeText() const
{
    return FontSizeBox->currentText();
}

QColor TMainForm::fontColor() const
{
    return FontColorBox->selectedColor();
}

// --- Child windows ----------------------------------------------------------

QList<QMdiSubWindow *> TMainForm::ChildWindows() const
{
    return MDIArea->subWindowList(QMdiArea::CreationOrder);
}

QWidget *TMainForm::activeChildWidget() const
{
    QMdiSubWindow *sub = MDIArea->activeSubWindow();
    if (!sub) {
        // Without a focused frame (under test, or while a dialog is up) the
        // frame has no active child; the topmost one stands for it.
        const QList<QMdiSubWindow *> stack = MDIArea->subWindowList(QMdiArea::StackingOrder);
        if (stack.isEmpty())
            return nullptr;
        sub = stack.last();
    }
    return sub->widget() ? sub->widget() : sub;
}

QMdiSubWindow *TMainForm::addChild(QWidget *form)
{
    // The frame fits the sub-window around the window's contents; the window
    // keeps the size it was made at.
    const QSize designed = form->size();
    QMdiSubWindow *sub = MDIArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(sub, &QObject::destroyed, this, [this](QObject *gone) {
        updateWindowCommands(gone);
        // The frame still lists a window while it is destroyed.
        const QList<QMdiSubWindow *> left = MDIArea->subWindowList();
        if (left.isEmpty() || (left.size() == 1 && left.first() == gone)) {
            for (QLabel *panel : StatusPanels)
                panel->clear();
            updateChildCommands(nullptr);
        }
    });
    connect(form, &QWidget::windowTitleChanged, this, [this] { rebuildWindowList(); });
    if (qvx::ui::ChildWindow *child = qvx::ui::childWindowOf(form))
        connectEditorPanes(child);
    sub->show();
    sub->resize(sub->size() + designed - form->size());
    MDIArea->setActiveSubWindow(sub);
    updateWindowCommands();
    return sub;
}

void TMainForm::updateWindowCommands(QObject *leaving)
{
    int open = 0;
    for (QMdiSubWindow *child : MDIArea->subWindowList())
        if (child != leaving)
            ++open;
    for (QLatin1String name : { cmd::WindowClose, cmd::WindowCascade, cmd::WindowTileHorizontal,
                                cmd::WindowTileVertical, cmd::WindowMinimizeAll, cmd::WindowArrange })
        command(name)->setEnabled(open > 0);
    rebuildWindowList(leaving);
}

void TMainForm::rebuildWindowList(QObject *leaving)
{
    for (QAction *a : std::as_const(m_windowList)) {
        WindowMenu->removeAction(a);
        a->deleteLater();
    }
    m_windowList.clear();
    QMdiSubWindow *active = MDIArea->activeSubWindow();
    int number = 0;
    for (QMdiSubWindow *child : ChildWindows()) {
        // A window being destroyed is still listed by the frame, but is no
        // window any more.
        if (child == leaving)
            continue;
        ++number;
        const QString title = child->widget() ? child->widget()->windowTitle() : child->windowTitle();
        QAction *item = WindowMenu->addAction(QStringLiteral("&%1 %2").arg(number).arg(title));
        item->setCheckable(true);
        item->setChecked(child == active);
        QPointer<QMdiSubWindow> target(child);
        connect(item, &QAction::triggered, this, [this, target] {
            if (target) {
                if (target->isMinimized())
                    target->showNormal();
                MDIArea->setActiveSubWindow(target);
            }
        });
        m_windowList << item;
    }
    m_windowListSeparator->setVisible(!m_windowList.isEmpty());
}

QList<QAction *> TMainForm::WindowListActions() const
{
    return m_windowList;
}

// --- Edit and search commands ----------------------------------------------

void TMainForm::trackFocus(QWidget *, QWidget *now)
{
    // Typing into the find or replace dialog must not make its own boxes the
    // text the commands search.
    if (m_search->isSearchWidget(now))
        return;
    QWidget *previous = m_textTarget.widget();
    m_textTarget = qvx::ui::TextTarget(now);
    if (previous != m_textTarget.widget()) {
        if (previous)
            disconnect(previous, nullptr, this, nullptr);
        if (QWidget *w = m_textTarget.widget()) {
            // Each kind of text control names its changes alike.
            for (const char *signal :
                 { SIGNAL(textChanged()), SIGNAL(textChanged(QString)), SIGNAL(selectionChanged()),
                   SIGNAL(undoAvailable(bool)), SIGNAL(copyAvailable(bool)) }) {
                if (w->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(signal + 1)) >= 0)
                    connect(w, signal, this, SLOT(updateEditCommandsSlot()));
            }
        }
    }
    updateEditCommands();
}

void TMainForm::updateEditCommands()
{
    const qvx::ui::TextTarget &t = m_textTarget;
    const bool valid = t.isValid();
    command(cmd::EditUndo)->setEnabled(valid && t.canUndo());
    command(cmd::EditCut)->setEnabled(valid && t.hasSelection() && !t.isReadOnly());
    command(cmd::EditCopy)->setEnabled(valid && t.hasSelection());
    command(cmd::EditPaste)->setEnabled(valid && t.canPaste());
    command(cmd::EditSelectAll)->setEnabled(valid && t.hasText());
    command(cmd::EditDelete)->setEnabled(valid && t.hasSelection() && !t.isReadOnly());
    command(cmd::SearchFind1)->setEnabled(valid);
    command(cmd::SearchFindFirst1)->setEnabled(valid);
    command(cmd::SearchReplace1)->setEnabled(valid);
    command(cmd::SearchFindNext1)->setEnabled(valid && m_search->hasSearched());
}

// --- Files dropped on the window ---------------------------------------------

void TMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls()) {
        for (const QUrl &url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void TMainForm::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            qvx::ui::guarded(this, [&] { OpenFile(url.toLocalFile()); });
    }
}
