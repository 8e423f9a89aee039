#include "ClientMenu.h"

#include "FindDialogs.h"
#include "about.h"

#include "query/SQLDataModule.h"
#include "ui/ColorBox.h"
#include "ui/ControlBar.h"
#include "ui/DBNavigator.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"

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

using qvx::ui::Command;
using qvx::ui::CommandSpec;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

// The command list: name, category, caption, hint, shortcut, glyph.
const CommandSpec commandTable[] = {
    { "AliasManager", "Tables", "&Alias Manager", "Alias Manager", "Alt+A", "network-server" },
    { "CreateNewTable", "Tables", "Create new &table", "Create new table", "Alt+L", "document-new" },
    { "NewDBASETable", "Tables", "DBASE Table", "", "", "" },
    { "NewParadoxTable", "Tables", "Paradox Table", "", "", "" },
    { "NewASCIITable", "Tables", "ASCII Table", "", "", "" },
    { "NewSQLTable", "Tables", "SQL Table", "", "", "" },
    { "NewXMLDocument", "Tables", "XML Document", "", "", "" },
    { "LoadTableFromFile", "Tables", "Load from file", "Load Table", "Alt+O", "document-open" },
    { "LoadBDETable", "Tables", "Local Table", "Load Local Table", "", "x-office-spreadsheet" },
    { "LoadSQLTable", "Tables", "SQL Table", "Load SQL Table", "", "text-x-script" },
    { "LoadXMLDocument", "Tables", "XML Document", "Load XML Document", "", "text-x-generic-template" },
    { "SaveTableToFile", "Tables", "Save to file", "Save Table As ...", "Alt+W", "document-save-as" },
    { "SaveDBASETable", "Tables", "DBASE Table", "", "", "" },
    { "SaveParadoxTable", "Tables", "Paradox Table", "", "", "" },
    { "SaveASCIITable", "Tables", "ASCII Table", "", "", "" },
    { "SaveSQLTable", "Tables", "SQL Table", "", "", "" },
    { "SaveXMLDocument", "Tables", "XML Document", "", "", "" },
    { "ViewMemo", "Tables", "View Memo", "", "", "accessories-text-editor" },
    { "ViewPicture", "Tables", "View Picture", "", "", "image-x-generic" },

    { "EditUndo", "Edit", "&Undo", "Undo|Reverts the last action", "Ctrl+Z", "edit-undo" },
    { "EditCut", "Edit", "Cu&t", "Cut|Cuts the selection and puts it on the Clipboard", "Ctrl+X",
      "edit-cut" },
    { "EditCopy", "Edit", "&Copy", "Copy|Copies the selection and puts it on the Clipboard", "Ctrl+C",
      "edit-copy" },
    { "EditPaste", "Edit", "&Paste", "Paste|Inserts Clipboard contents", "Ctrl+V", "edit-paste" },
    { "EditSelectAll", "Edit", "Select &All", "Select All|Selects the entire document", "Ctrl+A",
      "edit-select-all" },
    { "EditDelete", "Edit", "&Delete", "Delete|Erases the selection", "Del", "edit-delete" },

    { "PageSetup", "Print", "Page set&up ...", "Page Setup", "", "document-properties" },
    { "PrintPreview", "Print", "Print pre&view ...", "", "", "document-print-preview" },
    { "Print", "Print", "Print", "Print Table", "Ctrl+P", "document-print" },

    { "Exit", "Tools", "Exit", "Exit", "Alt+X", "system-log-out" },
    { "ConvertToExcel", "Tools", "ConvertToExcel", "Convert to Excel", "", "x-office-spreadsheet-template" },
    { "ConvertToHTML", "Tools", "ConvertToHTML", "Convert to HTML", "", "text-html" },

    { "WindowClose", "Window", "C&lose", "Close", "", "" },
    { "WindowCascade", "Window", "&Cascade", "Cascade", "", "" },
    { "WindowTileHorizontal", "Window", "Tile &Horizontally", "Tile Horizontal", "", "" },
    { "WindowTileVertical", "Window", "&Tile Vertically", "Tile Vertical", "", "" },
    { "WindowMinimizeAll", "Window", "&Minimize All", "Minimize All", "", "" },
    { "WindowArrange", "Window", "&Arrange", "", "", "" },

    { "SearchFind1", "Search", "&Find...", "Find|Finds the specified text", "Ctrl+F", "edit-find" },
    { "SearchFindNext1", "Search", "Find &Next", "Find Next|Repeats the last find", "F3", "go-next" },
    { "SearchReplace1", "Search", "&Replace", "Replace|Replaces specific text with different text", "",
      "edit-find-replace" },
    { "SearchFindFirst1", "Search", "F&ind First", "Find First|Finds the first occurance of specified text",
      "", "go-first" },

    { "SQLEditor", "SQL", "SQL Editor", "SQL Editor", "Alt+Q", "accessories-text-editor" },
    { "AddTable", "SQL", "Add Table", "Add Table", "Alt+T", "list-add" },
    { "CreateSQLTable", "SQL", "SQL Table", "Create SQL Table", "Alt+C", "x-office-spreadsheet" },
    { "SearchManager", "SQL", "Search Manager", "", "Alt+S", "system-search" },
    { "ResultForm", "SQL", "Result Manager", "", "Alt+R", "x-office-presentation" },
    { "CreateManager", "SQL", "CreateManager", "Update Form", "", "view-refresh" },
    { "SelectManagerType", "SQL", "SelectManagerType", "Select Manager", "", "go-jump" },
    { "ClearSQL", "SQL", "Clear SQL", "Clear SQL", "", "edit-clear" },
    { "FindRecord", "SQL", "FindRecord", "Find", "", "edit-find" },

    { "ImageEditor", "Editors", "Image Editor", "Image Manager", "", "applications-graphics" },
    { "RTFEditor", "Editors", "RTF Editor", "RTF Editor", "", "x-office-document" },
    { "HTMLEditor", "Editors", "HTML Editor", "Convert to HTML", "", "internet-web-browser" },

    { "SelectCells", "Fonts", "Select Cells", "Select Cells", "", "" },
    { "FontName", "Fonts", "Font Name", "Font Name", "", "preferences-desktop-font" },
    { "FontSize", "Fonts", "Font Size", "Font Size", "", "" },
    { "FontColor", "Fonts", "Font Color", "Font Color", "", "" },
    { "Bold", "Fonts", "Bold", "", "", "format-text-bold" },
    { "Italic", "Fonts", "Italic", "", "", "format-text-italic" },
    { "Underline", "Fonts", "Underline", "", "", "format-text-underline" },
    { "LeftAlign", "Fonts", "Left Align", "", "", "format-justify-left" },
    { "CenterAlign", "Fonts", "Center Align", "", "", "format-justify-center" },
    { "RightAlign", "Fonts", "Right Align", "", "", "format-justify-right" },
    { "BgColor", "Fonts", "Background Color", "Background Color", "", "" },

    { "ViewSystemControlBar", "View", "View System Control Bar", "", "", "" },
    { "ViewFontControlBar", "View", "Font Control Bar", "", "", "" },
    { "ViewSQLControlBar", "View", "SQL Control Bar", "", "", "" },
    { "ViewTableMemo", "View", "Memo", "View Memo", "", "" },
    { "ViewTablePicture", "View", "Picture", "View Picture", "", "" },
    { "ViewSheet", "View", "View Sheet", "Sheet", "", "" },
    { "ViewHTML", "View", "View HTML", "View HTML", "", "" },
    { "ViewDetails", "View", "View Details", "View Details", "", "" },
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
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = named(new QLabel(statusBar()), QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setFixedWidth(100);
        statusBar()->addWidget(StatusPanels[i]);
    }

    FindDialog = new TFindDialog(this);
    ReplaceDialog = new TReplaceDialog(this);
    buildMenus();
    bindHandlers();

    connect(MDIArea, &QMdiArea::subWindowActivated, this, [this] { updateWindowCommands(); });
    connect(MDIArea, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu->popup(MDIArea->mapToGlobal(pos)); });
    connect(qApp, &QApplication::focusChanged, this, &TMainForm::trackFocus);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TMainForm::updateEditCommands);
    connect(FindDialog, &TFindDialog::find, this, [this] {
        qvx::ui::guarded(FindDialog, [this] { findNext(FindDialog->findText(), FindDialog->options()); });
    });
    connect(ReplaceDialog, &TReplaceDialog::find, this, [this] {
        qvx::ui::guarded(ReplaceDialog,
                         [this] { findNext(ReplaceDialog->findText(), ReplaceDialog->options()); });
    });
    connect(ReplaceDialog, &TReplaceDialog::replace, this,
            [this] { qvx::ui::guarded(ReplaceDialog, [this] { replaceOne(); }); });
    connect(ReplaceDialog, &TReplaceDialog::replaceAll, this,
            [this] { qvx::ui::guarded(ReplaceDialog, [this] { replaceAll(); }); });

    // FormCreate
    OpenedFromFile = false;
    updateWindowCommands();
    updateEditCommands();
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
    menuItem(TableMenu, QStringLiteral("AliasManager"));
    TableMenu->addSeparator();
    QMenu *create
        = named(TableMenu->addMenu(QStringLiteral("Create new &table")), QStringLiteral("CreateMenu"));
    menuItem(create, QStringLiteral("CreateNewTable"), QStringLiteral("Local Table"),
             QStringLiteral("CreateLocalTableItem"));
    menuItem(create, QStringLiteral("NewSQLTable"));
    menuItem(create, QStringLiteral("NewXMLDocument"));
    QMenu *load = named(TableMenu->addMenu(QStringLiteral("Load from file")), QStringLiteral("LoadMenu"));
    menuItem(load, QStringLiteral("LoadBDETable"));
    menuItem(load, QStringLiteral("LoadSQLTable"));
    menuItem(load, QStringLiteral("LoadXMLDocument"));
    QMenu *save = named(TableMenu->addMenu(QStringLiteral("Save to file")), QStringLiteral("SaveMenu"));
    menuItem(save, QStringLiteral("SaveTableToFile"), QStringLiteral("Local Table"),
             QStringLiteral("SaveLocalTableItem"));
    menuItem(save, QStringLiteral("SaveSQLTable"));
    menuItem(save, QStringLiteral("SaveXMLDocument"));
    TableMenu->addSeparator();
    for (const char *name : { "SQLEditor", "AddTable", "CreateSQLTable", "SearchManager", "ResultForm" })
        menuItem(TableMenu, QLatin1String(name));
    TableMenu->addSeparator();
    for (const char *name : { "PageSetup", "PrintPreview", "Print" })
        menuItem(TableMenu, QLatin1String(name));
    TableMenu->addSeparator();
    menuItem(TableMenu, QStringLiteral("Exit"));

    EditMenu = named(bar->addMenu(QStringLiteral("&Edit")), QStringLiteral("EditMenu"));
    menuItem(EditMenu, QStringLiteral("EditUndo"));
    EditMenu->addSeparator();
    for (const char *name : { "EditCut", "EditCopy", "EditPaste" })
        menuItem(EditMenu, QLatin1String(name));
    EditMenu->addSeparator();
    menuItem(EditMenu, QStringLiteral("EditDelete"));

    SearchMenu = named(bar->addMenu(QStringLiteral("&Search")), QStringLiteral("SearchMenu"));
    for (const char *name : { "SearchFind1", "SearchFindFirst1", "SearchFindNext1" })
        menuItem(SearchMenu, QLatin1String(name));
    SearchMenu->addSeparator();
    menuItem(SearchMenu, QStringLiteral("SearchReplace1"));

    ViewMenu = named(bar->addMenu(QStringLiteral("&View")), QStringLiteral("ViewMenu"));
    ViewTableMenu = named(ViewMenu->addMenu(QStringLiteral("Table ")), QStringLiteral("ViewTableMenu"));
    ViewDBMemo = menuItem(ViewTableMenu, QStringLiteral("ViewTableMemo"), QStringLiteral("Memo"),
                          QStringLiteral("ViewDBMemo"), true);
    ViewDBPicture = menuItem(ViewTableMenu, QStringLiteral("ViewTablePicture"), QStringLiteral("Picture"),
                             QStringLiteral("ViewDBPicture"), true);
    ViewTableMenu->addSeparator();
    ViewResultSheet = menuItem(ViewTableMenu, QStringLiteral("ViewSheet"), QStringLiteral("Sheet"),
                               QStringLiteral("ViewResultSheet"), true);
    ViewResultHTML = menuItem(ViewTableMenu, QStringLiteral("ViewHTML"), QStringLiteral("HTML"),
                              QStringLiteral("ViewResultHTML"), true);
    ViewResultDetails = menuItem(ViewTableMenu, QStringLiteral("ViewDetails"), QStringLiteral("Details"),
                                 QStringLiteral("ViewResultDetails"), true);
    ControlBarsMenu
        = named(ViewMenu->addMenu(QStringLiteral("Control Bars")), QStringLiteral("ControlBarsMenu"));
    ViewSystemBarItem = menuItem(ControlBarsMenu, QStringLiteral("ViewSystemControlBar"), {}, {}, true);
    ViewFontBarItem = menuItem(ControlBarsMenu, QStringLiteral("ViewFontControlBar"), {}, {}, true);
    ViewSQLBarItem = menuItem(ControlBarsMenu, QStringLiteral("ViewSQLControlBar"), {}, {}, true);

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
    for (const char *name : { "ConvertToExcel", "ConvertToHTML", "ClearSQL" })
        menuItem(ToolsMenu, QLatin1String(name));
    ToolsMenu->addSeparator();
    for (const char *name : { "ImageEditor", "HTMLEditor", "RTFEditor" })
        menuItem(ToolsMenu, QLatin1String(name));

    WindowMenu = named(bar->addMenu(QStringLiteral("&Window")), QStringLiteral("WindowMenu"));
    for (const char *name :
         { "WindowCascade", "WindowTileHorizontal", "WindowTileVertical", "WindowMinimizeAll" })
        menuItem(WindowMenu, QLatin1String(name));
    WindowMenu->addSeparator();
    menuItem(WindowMenu, QStringLiteral("WindowClose"));
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
    menuItem(PopupMenu, QStringLiteral("EditUndo"));
    PopupMenu->addSeparator();
    for (const char *name : { "EditCut", "EditCopy", "EditPaste", "EditSelectAll" })
        menuItem(PopupMenu, QLatin1String(name));
    PopupMenu->addSeparator();
    menuItem(PopupMenu, QStringLiteral("EditDelete"));

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
    const auto add = [this](QToolBar *bar, const char *commandName, const QString &buttonName = {}) {
        return qvx::ui::addCommandButton(bar, command(QLatin1String(commandName)), buttonName);
    };

    SystemToolBar = toolBar(QStringLiteral("SystemToolBar"), this);
    ConnectButton = add(SystemToolBar, "AliasManager", QStringLiteral("ConnectButton"));
    SystemToolBar->addSeparator();
    NewTableButton = add(SystemToolBar, "CreateNewTable", QStringLiteral("NewTableButton"));
    LoadFromFileButton = add(SystemToolBar, "LoadTableFromFile", QStringLiteral("LoadFromFileButton"));
    SaveToFileButton = add(SystemToolBar, "SaveTableToFile", QStringLiteral("SaveToFileButton"));
    SystemToolBar->addSeparator();
    add(SystemToolBar, "PrintPreview");
    add(SystemToolBar, "Print");
    SystemToolBar->addSeparator();
    HelpButton = named(new QToolButton(SystemToolBar), QStringLiteral("HelpButton"));
    HelpButton->setToolTip(QStringLiteral("Help"));
    HelpButton->setIcon(qvx::ui::glyph(QStringLiteral("help-browser"), QStringLiteral("Help")));
    HelpButton->setAutoRaise(true);
    SystemToolBar->addWidget(HelpButton);
    add(SystemToolBar, "Exit");

    ToolBar1 = toolBar(QStringLiteral("ToolBar1"), this);
    add(ToolBar1, "ViewMemo");
    add(ToolBar1, "RTFEditor");
    ToolBar1->addSeparator();
    add(ToolBar1, "ViewPicture");
    add(ToolBar1, "ImageEditor");
    ToolBar1->addSeparator();
    add(ToolBar1, "ConvertToExcel");
    add(ToolBar1, "ConvertToHTML");

    EditToolBar = toolBar(QStringLiteral("EditToolBar"), this);
    add(EditToolBar, "EditUndo");
    EditToolBar->addSeparator();
    for (const char *name : { "EditCut", "EditCopy", "EditPaste", "EditSelectAll" })
        add(EditToolBar, name);
    EditToolBar->addSeparator();
    add(EditToolBar, "EditDelete");

    ToolBar4 = toolBar(QStringLiteral("ToolBar4"), this);
    for (const char *name :
         { "WindowCascade", "WindowTileHorizontal", "WindowTileVertical", "WindowMinimizeAll" })
        add(ToolBar4, name);

    SystemControlBar
        = controlBar(QStringLiteral("SystemControlBar"), { SystemToolBar, ToolBar1, EditToolBar, ToolBar4 });

    FontToolBar = toolBar(QStringLiteral("FontToolBar"), this);
    InfoEdit = named(new QLineEdit(QStringLiteral("Columns"), FontToolBar), QStringLiteral("InfoEdit"));
    InfoEdit->setFixedWidth(53);
    InfoEdit->setReadOnly(true);
    FontToolBar->addWidget(InfoEdit);
    TitleOrColumnButton = add(FontToolBar, "SelectCells", QStringLiteral("TitleOrColumnButton"));
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
    BoldButton = styleButton(FontToolBar, command(QStringLiteral("Bold")), QStringLiteral("BoldButton"));
    ItalicButton
        = styleButton(FontToolBar, command(QStringLiteral("Italic")), QStringLiteral("ItalicButton"));
    UnderlineButton
        = styleButton(FontToolBar, command(QStringLiteral("Underline")), QStringLiteral("UnderlineButton"));
    struct StyleBinding {
        QToolButton *button;
        const char *commandName;
        quint8 bit;
    };
    for (const StyleBinding &b :
         { StyleBinding { BoldButton, "Bold", 1 }, StyleBinding { ItalicButton, "Italic", 2 },
           StyleBinding { UnderlineButton, "Underline", 4 } }) {
        Command *c = command(QLatin1String(b.commandName));
        QToolButton *button = b.button;
        const quint8 bit = b.bit;
        connect(button, &QToolButton::clicked, this, [this, c, button, bit] {
            // The click must not change the Down state; only UpdateStyleButtons does.
            button->setChecked(CurrentFontStyle & bit);
            c->execute();
        });
    }

    AllignBar = toolBar(QStringLiteral("AllignBar"), this);
    LeftButton = add(AllignBar, "LeftAlign", QStringLiteral("LeftButton"));
    CenterButton = add(AllignBar, "CenterAlign", QStringLiteral("CenterButton"));
    RightButton = add(AllignBar, "RightAlign", QStringLiteral("RightButton"));
    AllignBar->addSeparator();
    BgColorButton = add(AllignBar, "BgColor", QStringLiteral("BgColorButton"));

    FontControlBar = controlBar(QStringLiteral("FontControlBar"), { FontToolBar, AllignBar });

    ToolBar2 = toolBar(QStringLiteral("ToolBar2"), this);
    Edit2 = named(new QLineEdit(QStringLiteral("Read"), ToolBar2), QStringLiteral("Edit2"));
    Edit2->setFixedWidth(53);
    ToolBar2->addWidget(Edit2);
    add(ToolBar2, "SelectManagerType");
    ToolBar2->addSeparator();
    for (const char *name : { "SQLEditor", "AddTable", "CreateSQLTable" })
        add(ToolBar2, name);
    ToolBar2->addSeparator();
    add(ToolBar2, "SearchManager");
    add(ToolBar2, "ResultForm");
    ToolBar2->addSeparator();
    add(ToolBar2, "CreateManager");
    ToolBar2->addSeparator();
    add(ToolBar2, "FindRecord");

    SQLControlBar = controlBar(QStringLiteral("SQLControlBar"), { ToolBar2 });
    DBNavigator1 = named(new qvx::ui::DBNavigator(SQLControlBar), QStringLiteral("DBNavigator1"));
    static_cast<qvx::ui::ControlBar *>(SQLControlBar)->addBar(DBNavigator1);
}

void TMainForm::setSQLData(TSQLData *sqlData)
{
    SQLData = sqlData;
    DBNavigator1->setDataSource(sqlData ? &sqlData->SQLSource : nullptr);
}

void TMainForm::bindHandlers()
{
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };

    on("LoadTableFromFile", [this] { LoadTableFromFileExecute(); });
    on("LoadBDETable", [this] { LoadBDETableExecute(); });
    on("LoadSQLTable", [this] { LoadSQLTableExecute(); });
    on("LoadXMLDocument", [this] { LoadXMLDocumentExecute(); });
    on("SaveTableToFile", [this] { SaveTableToFileExecute(); });
    on("CreateSQLTable", [this] { CreateSQLTableExecute(); });
    on("SelectManagerType", [this] { SelectManagerTypeExecute(); });

    on("PageSetup", [this] { Services::current().printerSetupDialog(this); });
    on("Print", [this] { Services::current().printDialog(this); });
    on("Exit", [this] { close(); });

    on("WindowClose", [this] { MDIArea->closeActiveSubWindow(); });
    on("WindowCascade", [this] { MDIArea->cascadeSubWindows(); });
    on("WindowTileHorizontal", [this] {
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
    on("WindowTileVertical", [this] { MDIArea->tileSubWindows(); });
    on("WindowMinimizeAll", [this] {
        for (QMdiSubWindow *child : ChildWindows())
            child->showMinimized();
    });
    on("WindowArrange", [this] {
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

    on("EditUndo", [this] { m_textTarget.undo(); });
    on("EditCut", [this] { m_textTarget.cut(); });
    on("EditCopy", [this] { m_textTarget.copy(); });
    on("EditPaste", [this] { m_textTarget.paste(); });
    on("EditSelectAll", [this] { m_textTarget.selectAll(); });
    on("EditDelete", [this] { m_textTarget.deleteSelection(); });
    on("SearchFind1", [this] { showFindDialog(false); });
    on("SearchFindFirst1", [this] { showFindDialog(true); });
    on("SearchFindNext1", [this] { findNext(m_lastFindText, m_lastFindOptions); });
    on("SearchReplace1", [this] {
        ReplaceDialog->FindEdit->setText(m_lastFindText);
        ReplaceDialog->show();
        ReplaceDialog->raise();
        ReplaceDialog->activateWindow();
    });

    on("ViewSystemControlBar", [this] { toggleControlBar(SystemControlBar, ViewSystemBarItem); });
    on("ViewFontControlBar", [this] { toggleControlBar(FontControlBar, ViewFontBarItem); });
    on("ViewSQLControlBar", [this] { toggleControlBar(SQLControlBar, ViewSQLBarItem); });
    on("ViewSheet", [this] { ViewResultSheet->setChecked(!ViewResultSheet->isChecked()); });
    on("ViewHTML", [this] { ViewResultHTML->setChecked(!ViewResultHTML->isChecked()); });

    bindTableCommands();
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
    if (panel >= 0 && panel < 3)
        StatusPanels[panel]->setText(text);
}

QString TMainForm::statusText(int panel) const
{
    return panel >= 0 && panel < 3 ? StatusPanels[panel]->text() : QString();
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
    QMdiSubWindow *sub = MDIArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(sub, &QObject::destroyed, this, [this](QObject *gone) { updateWindowCommands(gone); });
    connect(form, &QWidget::windowTitleChanged, this, [this] { rebuildWindowList(); });
    sub->show();
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
    for (const char *name : { "WindowClose", "WindowCascade", "WindowTileHorizontal", "WindowTileVertical",
                              "WindowMinimizeAll", "WindowArrange" })
        command(QLatin1String(name))->setEnabled(open > 0);
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
    if (now
        && (FindDialog->isAncestorOf(now) || ReplaceDialog->isAncestorOf(now) || now == FindDialog
            || now == ReplaceDialog))
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
    command(QStringLiteral("EditUndo"))->setEnabled(valid && t.canUndo());
    command(QStringLiteral("EditCut"))->setEnabled(valid && t.hasSelection() && !t.isReadOnly());
    command(QStringLiteral("EditCopy"))->setEnabled(valid && t.hasSelection());
    command(QStringLiteral("EditPaste"))->setEnabled(valid && t.canPaste());
    command(QStringLiteral("EditSelectAll"))->setEnabled(valid && t.hasText());
    command(QStringLiteral("EditDelete"))->setEnabled(valid && t.hasSelection() && !t.isReadOnly());
    command(QStringLiteral("SearchFind1"))->setEnabled(valid);
    command(QStringLiteral("SearchFindFirst1"))->setEnabled(valid);
    command(QStringLiteral("SearchReplace1"))->setEnabled(valid);
    command(QStringLiteral("SearchFindNext1"))->setEnabled(valid && m_searched);
}

void TMainForm::showFindDialog(bool fromStart)
{
    m_findFromStart = fromStart;
    FindDialog->FindEdit->setText(m_lastFindText);
    FindDialog->show();
    FindDialog->raise();
    FindDialog->activateWindow();
}

void TMainForm::findNext(const QString &text, const qvx::ui::FindOptions &options)
{
    if (text.isEmpty() || !m_textTarget.isValid())
        return;
    m_lastFindText = text;
    m_lastFindOptions = options;
    m_searched = true;
    const bool fromStart = m_findFromStart;
    m_findFromStart = false;
    const bool found = m_textTarget.find(text, options, fromStart);
    updateEditCommands();
    if (!found)
        Services::current().message(
            this, qvx::ui::MessageIcon::Information, QGuiApplication::applicationDisplayName(),
            QStringLiteral("Search string '%1' not found").arg(text), qvx::ui::ButtonOk);
}

void TMainForm::replaceOne()
{
    const QString wanted = ReplaceDialog->findText();
    const qvx::ui::FindOptions options = ReplaceDialog->options();
    if (m_textTarget.selectionMatches(wanted, options))
        m_textTarget.replaceSelection(ReplaceDialog->replaceText());
    findNext(wanted, options);
}

void TMainForm::replaceAll()
{
    const QString wanted = ReplaceDialog->findText();
    const qvx::ui::FindOptions options = ReplaceDialog->options();
    if (wanted.isEmpty() || !m_textTarget.isValid())
        return;
    m_lastFindText = wanted;
    m_lastFindOptions = options;
    m_searched = true;
    bool first = true;
    // A replacement that contains the searched text must not be found again:
    // the search goes on after each replacement.
    while (m_textTarget.find(wanted, options, first)) {
        first = false;
        m_textTarget.replaceSelection(ReplaceDialog->replaceText());
    }
    updateEditCommands();
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
