#include "EditSQL.h"

#include "SQLCompleter.h"
#include "SQLDataModule.h"
#include "SQLHighlighter.h"

#include "engine/EngineError.h"
#include "engine/io/File.h"
#include "engine/sql/Dialect.h"
#include "ui/ControlBar.h"
#include "ui/DBGrid.h"
#include "ui/Named.h"
#include "ui/Services.h"
#include "ui/TableChoice.h"
#include "ui/TextSearch.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using qvx::FieldType;
using qvx::ui::CommandSpec;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

// clang-format off
const CommandSpec editorCommands[] = {
    { "SQLNew", "Files", "New", "New SQL", "Ctrl+N", "document-new" },
    { "SQlLoad", "Files", "Load", "Load SQL", "Ctrl+L", "document-open" },
    { "SQLSave", "Files", "Save", "Save SQL", "Ctrl+S", "document-save" },
    { "SQLExecute", "Files", "Execute SQL", "Execute SQL", "F10", "system-run" },
    { "SQLTables", "View", "System Tables", "System Tables", "F2", "view-list-details" },
    { "SQLEditors", "View", "Text Editors", "Text Editors", "F3", "accessories-text-editor" },
    { "SQLRTFEditor", "Tools", "RTF Editor", "RTF Editor", "F4", "x-office-document" },
    { "SQLPrint", "Files", "Print", "Print", "Ctrl+P", "document-print" },
    { "PrinterSetup", "Files", "Printer Set&up ...", "", "", "document-properties" },
    { "SQLHelp", "Help", "SQL Editor Help", "Help", "F1", "help-contents" },
    { "ISOHelp", "Help", "ANSI/ISO Help", "", "", "help-faq" },
    { "About", "Help", " About ...", "", "", "help-about" },
    { "SQLExit", "Files", "Exit ...", "Exit", "Alt+X", "application-exit" },
    { "ViewTree", "View", "ViewTree", "", "", "" },
    { "ViewControlBar", "View", "ViewControlBar", "", "", "" },
    { "EditUndo", "Edit", "&Undo", "Undo|Reverses the last action", "Ctrl+Z", "edit-undo" },
    { "EditCut", "Edit", "Cu&t", "Cut|Cuts the selection and puts it on the Clipboard", "Ctrl+X", "edit-cut" },
    { "EditCopy", "Edit", "&Copy", "Copy|Copies the selection and puts it on the Clipboard", "Ctrl+C", "edit-copy" },
    { "EditPaste", "Edit", "&Paste", "Paste|Inserts Clipboard contents", "Ctrl+V", "edit-paste" },
    { "EditSelectAll", "Edit", "Select &All", "Select All|Selects the entire document", "Ctrl+A", "edit-select-all" },
    { "EditDelete", "Edit", "&Delete", "Delete|Erases the selection", "Del", "edit-delete" },
    { "SearchFind", "Search", "&Find...", "Find|Finds the specified text", "Ctrl+F", "edit-find" },
    { "SearchFindFirst", "Search", "F&ind First", "Find First|Finds the first occurrence of the specified text", "", "" },
    { "SearchFindNext", "Search", "Find &Next", "Find Next|Repeats the last find", "F9", "" },
    { "SearchReplace", "Search", "&Replace", "Replace|Replaces specific text with different text", "", "edit-find-replace" },
};
// clang-format on

const QStringList criteriaOperators { "=",           ">",        "<",          ">=",     "<=",
                                      "LIKE",        "NOT LIKE", "IN",         "NOT IN", "BETWEEN",
                                      "NOT BETWEEN", "IS NULL",  "IS NOT NULL" };
const QStringList groupOperators { "=",           ">",        "<",          ">=",     "<=",
                                   "LIKE",        "NOT LIKE", "IN",         "NOT IN", "BETWWEN",
                                   "NOT BETWEEN", "IS NULL",  "IS NOT NULL" };
const QStringList summaries { "SUM", "SUM DISTINCT", "COUNT", "COUNT DISTINCT",
                              "AVG", "AVG DISTINCT", "MIN",   "MAX" };

const QColor teal(0, 128, 128);

// Lines of the composed text that are shown in bold.
bool isBoldLine(const QString &line)
{
    static const QStringList words { "SELECT",     "FROM", "WHERE",    "ORDER BY",
                                     "INNER JOIN", "ON",   "GROUP BY", "HAVING" };
    return words.contains(line);
}

// One styled line of a rich-text box.
struct Line {
    QString text;
    bool bold = false;
    QColor color = Qt::black;
    int pointSize = 0; // 0: the box's own
};

void addLine(QTextEdit *edit, const Line &line)
{
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setFontWeight(line.bold ? QFont::Bold : QFont::Normal);
    format.setForeground(line.color);
    if (line.pointSize > 0)
        format.setFontPointSize(line.pointSize);
    if (edit->property("hasLine").toBool())
        cursor.insertBlock(QTextBlockFormat(), format);
    else
        cursor.setBlockCharFormat(format);
    cursor.setCharFormat(format);
    cursor.insertText(line.text);
    edit->setProperty("hasLine", true);
}

void clearBox(QTextEdit *edit)
{
    edit->clear();
    edit->setProperty("hasLine", false);
}

// The correlation name of a table reference: its last word.
QString correlationName(const QString &reference)
{
    const qsizetype blank = reference.lastIndexOf(u' ');
    return blank < 0 ? reference : reference.mid(blank + 1);
}

// Splits "a, b, c" (parentheses around it allowed) at its commas.
QStringList listItems(QString text)
{
    text = text.trimmed();
    if (text.startsWith(u'(') && text.endsWith(u')'))
        text = text.mid(1, text.size() - 2);
    QStringList items;
    for (const QString &item : text.split(u','))
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    return items;
}

// Bytes a value of a field takes in a record.
int dataSize(const qvx::FieldDef &f)
{
    switch (f.type) {
    case FieldType::SmallInt:
    case FieldType::Word:
    case FieldType::Boolean:
        return 2;
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Date:
    case FieldType::Time:
        return 4;
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::DateTime:
    case FieldType::LargeInt:
        return 8;
    case FieldType::BCD:
        return 34;
    case FieldType::String:
    case FieldType::FixedChar:
        return f.size + 1;
    default:
        return f.size;
    }
}

} // namespace

TEditSQLForm::TEditSQLForm(TSQLData &sqlData, qvx::ui::TableChoice &tableChoice, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_sqlData(sqlData), m_tableChoice(tableChoice)
{
    setObjectName(QStringLiteral("EditSQLForm"));
    setWindowTitle(QStringLiteral("Edit SQL"));
    resize(616, 439);
    setMinimumSize(616, 348);
    buildCommands();
    buildControls();
    buildMenus();
    bindHandlers();
    defineLists();
}

TEditSQLForm::~TEditSQLForm() = default;

void TEditSQLForm::buildCommands()
{
    ActionList = new qvx::ui::CommandList(this);
    ActionList->add(editorCommands, int(std::size(editorCommands)));
    for (const char *name : { "ViewTree", "ViewControlBar" }) {
        command(QLatin1String(name))->setCheckable(true);
        command(QLatin1String(name))->setChecked(true);
    }
}

QTextEdit *TEditSQLForm::newTextBox(const QString &name)
{
    auto *edit = named(new QTextEdit, name);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setLineWrapMode(QTextEdit::NoWrap);
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edit, &QWidget::customContextMenuRequested, this,
            [this, edit](const QPoint &at) { PopupMenu->popup(edit->viewport()->mapToGlobal(at)); });
    return edit;
}

QWidget *TEditSQLForm::newMovePage(const QString &name, QListWidget *&src, QListWidget *&dst,
                                   const QString &srcTitle, const QString &dstTitle, QPushButton *&include,
                                   QPushButton *&incAll, QPushButton *&exclude, QPushButton *&exAll,
                                   QPushButton *&clear)
{
    auto *page = named(new QWidget, name);
    auto *row = new QHBoxLayout(page);
    const QString prefix = name.left(name.indexOf(QLatin1String("Sheet")));
    auto listColumn = [&](const QString &title, const QString &listName) {
        auto *column = new QVBoxLayout;
        column->addWidget(new QLabel(title));
        auto *list = named(new QListWidget, listName);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        column->addWidget(list);
        row->addLayout(column, 1);
        return list;
    };
    src = listColumn(srcTitle, prefix + QStringLiteral("SrcList"));
    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    auto button = [&](const QString &text, const QString &buttonName) {
        auto *b = named(new QPushButton(text), prefix + buttonName);
        b->setFixedWidth(40);
        buttons->addWidget(b);
        return b;
    };
    include = button(QStringLiteral(">"), QStringLiteral("IncludeBtn"));
    incAll = button(QStringLiteral(">>"), QStringLiteral("IncAllBtn"));
    exclude = button(QStringLiteral("<"), QStringLiteral("ExcludeBtn"));
    exAll = button(QStringLiteral("<<"), QStringLiteral("ExAllBtn"));
    clear = button(QStringLiteral("Clear"), QStringLiteral("ClearBtn"));
    exclude->setEnabled(false);
    exAll->setEnabled(false);
    buttons->addStretch();
    row->addLayout(buttons);
    dst = listColumn(dstTitle, prefix + QStringLiteral("DstList"));
    return page;
}

void TEditSQLForm::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu = named(new QMenuBar(this), QStringLiteral("MainMenu"));
    layout->setMenuBar(MainMenu);

    // The tool bar strip: files, run, pages, print and exit; then editing.
    auto *strip = new qvx::ui::ControlBar(this);
    ControlBar = named(strip, QStringLiteral("ControlBar"));
    auto bar = [this](const QString &name, const QList<QList<const char *>> &groups) {
        auto *toolBar = named(new QToolBar(ControlBar), name);
        toolBar->setIconSize(QSize(16, 16));
        for (qsizetype g = 0; g < groups.size(); ++g) {
            if (g > 0)
                toolBar->addSeparator();
            for (const char *name : groups[g])
                qvx::ui::addCommandButton(toolBar, command(QLatin1String(name)));
        }
        return toolBar;
    };
    ToolBar1 = bar(QStringLiteral("ToolBar1"),
                   { { "SQLNew", "SQlLoad", "SQLSave" },
                     { "SQLExecute" },
                     { "SQLTables", "SQLEditors", "SQLRTFEditor" },
                     { "SQLPrint", "SQLHelp" },
                     { "SQLExit" } });
    ToolBar2
        = bar(QStringLiteral("ToolBar2"),
              { { "EditUndo" }, { "EditCut", "EditCopy", "EditPaste", "EditSelectAll" }, { "EditDelete" } });
    strip->addBar(ToolBar1);
    strip->addBar(ToolBar2);
    layout->addWidget(ControlBar);

    PageSets = named(new QStackedWidget(this), QStringLiteral("PageSets"));

    // Page set "System Tables": the result and the editor's lists.
    SystemTables = named(new QTabWidget, QStringLiteral("SystemTables"));
    SystemTables->setTabPosition(QTabWidget::South);

    SQLTable = named(new QWidget, QStringLiteral("SQLTable"));
    auto *resultRow = new QHBoxLayout(SQLTable);
    resultRow->setContentsMargins(0, 0, 0, 0);
    Splitter = named(new QSplitter(Qt::Horizontal), QStringLiteral("Splitter"));
    Splitter->setHandleWidth(2);
    DBGrid = named(new qvx::ui::DBGrid, QStringLiteral("DBGrid"));
    DBGrid->setDataSource(&m_sqlData.SQLSource);
    SystemTree = named(new QTreeWidget, QStringLiteral("SystemTree"));
    SystemTree->setHeaderHidden(true);
    Splitter->addWidget(DBGrid);
    Splitter->addWidget(SystemTree);
    Splitter->setStretchFactor(0, 1);
    Splitter->setSizes({ 495, 121 });
    resultRow->addWidget(Splitter);
    SystemTables->addTab(SQLTable, QStringLiteral("SQLTable"));

    auto gridPage = [this](const QString &pageName, const QString &caption, const QString &gridName,
                           qvx::ui::DataSource *source) {
        auto *page = named(new QWidget, pageName);
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        auto *grid = named(new qvx::ui::DBGrid, gridName);
        grid->setDataSource(source);
        pageLayout->addWidget(grid);
        SystemTables->addTab(page, caption);
        return std::pair { page, grid };
    };
    std::tie(CriteriaSheet, CriteriaGrid)
        = gridPage(QStringLiteral("CriteriaSheet"), QStringLiteral("Criteria"),
                   QStringLiteral("CriteriaGrid"), &CriteriaSource);
    std::tie(SelectionSheet, SelectionGrid)
        = gridPage(QStringLiteral("SelectionSheet"), QStringLiteral("Selection"),
                   QStringLiteral("SelectionGrid"), &SelectionSource);
    GroupingSheet
        = newMovePage(QStringLiteral("GroupingSheet"), GroupingSrcList, GroupingDstList,
                      QStringLiteral("Output Fields"), QStringLiteral("Grouped On"), GroupingIncludeBtn,
                      GroupingIncAllBtn, GroupingExcludeBtn, GroupingExAllBtn, GroupingClearBtn);
    SystemTables->addTab(GroupingSheet, QStringLiteral("Grouping"));
    std::tie(GroupCriteriaSheet, GroupGrid)
        = gridPage(QStringLiteral("GroupCriteriaSheet"), QStringLiteral("GroupCriteria"),
                   QStringLiteral("GroupGrid"), &GroupSource);
    SortingSheet = newMovePage(QStringLiteral("SortingSheet"), SortingSrcList, SortingDstList,
                               QStringLiteral("Output Fields"), QStringLiteral("Order By"), SortingIncludeBtn,
                               SortingIncAllBtn, SortingExcludeBtn, SortingExAllBtn, SortingClearBtn);
    SystemTables->addTab(SortingSheet, QStringLiteral("Sorting"));
    std::tie(JoinsSheet, JoinsGrid) = gridPage(QStringLiteral("JoinsSheet"), QStringLiteral("Joins"),
                                               QStringLiteral("JoinsGrid"), &JoinsSource);
    PageSets->addWidget(SystemTables);

    // Page set "Text Editors": the composed statement and its parts.
    TextEditors = named(new QTabWidget, QStringLiteral("TextEditors"));
    TextEditors->setTabPosition(QTabWidget::South);
    auto textPage = [this](const QString &pageName, const QString &caption, const QString &boxName) {
        auto *page = named(new QWidget, pageName);
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        QTextEdit *box = newTextBox(boxName);
        pageLayout->addWidget(box);
        TextEditors->addTab(page, caption);
        return std::pair { page, box };
    };
    std::tie(TabSheet1, SQLEdit)
        = textPage(QStringLiteral("TabSheet1"), QStringLiteral("SQL"), QStringLiteral("SQLEdit"));
    std::tie(SelectControl, SelectEdit) = textPage(
        QStringLiteral("SelectControl"), QStringLiteral("Select List"), QStringLiteral("SelectEdit"));
    std::tie(FromControl, FromEdit)
        = textPage(QStringLiteral("FromControl"), QStringLiteral("From List"), QStringLiteral("FromEdit"));
    std::tie(JoinControl, JoinEdit)
        = textPage(QStringLiteral("JoinControl"), QStringLiteral("Join List"), QStringLiteral("JoinEdit"));
    std::tie(WhereControl, WhereEdit)
        = textPage(QStringLiteral("WhereControl"), QStringLiteral("Where List"), QStringLiteral("WhereEdit"));
    std::tie(OrderControl, OrderEdit)
        = textPage(QStringLiteral("OrderControl"), QStringLiteral("OrderList"), QStringLiteral("OrderEdit"));
    new TSQLHighlighter(SQLEdit->document());
    SQLCompleter = new TSQLCompleter(SQLEdit);
    PageSets->addWidget(TextEditors);
    PageSets->setCurrentWidget(SystemTables);
    layout->addWidget(PageSets, 1);

    StatusBar1 = named(new QStatusBar(this), QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(StatusBar1);

    connect(SystemTables, &QTabWidget::currentChanged, this, [this] { updateMoveButtons(); });
}

void TEditSQLForm::buildMenus()
{
    const auto menu = [this](QMenu *m, std::initializer_list<const char *> items) {
        return qvx::ui::addCommands(m, *ActionList, items);
    };
    FilesMenu = menu(
        MainMenu->addMenu(QStringLiteral("&Files")),
        { "SQLNew", "SQlLoad", "SQLSave", "", "SQLExecute", "", "PrinterSetup", "SQLPrint", "", "SQLExit" });
    EditMenu
        = menu(MainMenu->addMenu(QStringLiteral("&Edit")),
               { "EditUndo", "", "EditCut", "EditCopy", "EditPaste", "EditSelectAll", "", "EditDelete" });
    SearchMenu = menu(MainMenu->addMenu(QStringLiteral("&Serch")),
                      { "SearchFind", "SearchFindFirst", "SearchFindNext", "", "SearchReplace" });
    ViewMenu = menu(MainMenu->addMenu(QStringLiteral("&View")),
                    { "SQLTables", "SQLEditors", "", "ViewTree", "ViewControlBar" });
    ToolsMenu = menu(MainMenu->addMenu(QStringLiteral("&Tools")), { "SQLRTFEditor" });
    HelpMenu = menu(MainMenu->addMenu(QStringLiteral("&Help")), { "SQLHelp", "ISOHelp", "", "About" });
    PopupMenu = menu(named(new QMenu(this), QStringLiteral("PopupMenu")),
                     { "EditUndo", "", "EditCut", "EditCopy", "EditPaste", "EditSelectAll", "", "SearchFind",
                       "SearchFindFirst", "SearchFindNext", "", "SearchReplace" });
}

QTextEdit *TEditSQLForm::focusedTextBox() const
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto *edit = qobject_cast<QTextEdit *>(w); edit && isAncestorOf(edit))
            return edit;
    auto *page = TextEditors->currentWidget();
    return page ? page->findChild<QTextEdit *>() : SQLEdit;
}

void TEditSQLForm::bindHandlers()
{
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    on("SQLNew", [this] { ResetEditor(); });
    on("SQlLoad", [this] { SQLLoadExecute(); });
    on("SQLSave", [this] { SQLSaveExecute(); });
    on("SQLExecute", [this] { RunEditorSQL(); });
    on("SQLTables", [this] { PageSets->setCurrentWidget(SystemTables); });
    on("SQLEditors", [this] { PageSets->setCurrentWidget(TextEditors); });
    on("SQLPrint", [this] { SQLPrintExecute(); });
    on("PrinterSetup", [this] { Services::current().printerSetupDialog(this); });
    on("About", [this] {
        if (showAbout)
            showAbout();
    });
    on("SQLExit", [this] { reject(); });
    on("SQLRTFEditor", [this] {
        if (showRTFEditor)
            showRTFEditor(SQLEdit->toPlainText());
    });
    on("ViewTree", [this] { SystemTree->setVisible(command(QStringLiteral("ViewTree"))->isChecked()); });
    on("ViewControlBar",
       [this] { ControlBar->setVisible(command(QStringLiteral("ViewControlBar"))->isChecked()); });
    on("EditUndo", [this] { focusedTextBox()->undo(); });
    on("EditCut", [this] { focusedTextBox()->cut(); });
    on("EditCopy", [this] { focusedTextBox()->copy(); });
    on("EditPaste", [this] { focusedTextBox()->paste(); });
    on("EditSelectAll", [this] { focusedTextBox()->selectAll(); });
    on("EditDelete", [this] { focusedTextBox()->textCursor().removeSelectedText(); });

    Search = new qvx::ui::TextSearch(this, [this] { return qvx::ui::TextTarget(focusedTextBox()); });
    on("SearchFind", [this] { Search->showFind(false); });
    on("SearchFindFirst", [this] { Search->showFind(true); });
    on("SearchFindNext", [this] { Search->findNext(); });
    on("SearchReplace", [this] { Search->showReplace(); });
    // "Find Next" repeats a search: there is none until one has run.
    command(QStringLiteral("SearchFindNext"))->setEnabled(false);
    connect(Search, &qvx::ui::TextSearch::searchDone, this,
            [this] { command(QStringLiteral("SearchFindNext"))->setEnabled(true); });

    connect(GroupingIncludeBtn, &QPushButton::clicked, this, [this] { GroupingIncludeBtnClick(); });
    connect(GroupingIncAllBtn, &QPushButton::clicked, this, [this] { GroupingIncAllBtnClick(); });
    connect(GroupingExcludeBtn, &QPushButton::clicked, this, [this] { GroupingExcludeBtnClick(); });
    connect(GroupingExAllBtn, &QPushButton::clicked, this, [this] { GroupingExAllBtnClick(); });
    connect(SortingIncludeBtn, &QPushButton::clicked, this, [this] { SortingIncludeBtnClick(); });
    connect(SortingIncAllBtn, &QPushButton::clicked, this, [this] { SortingIncAllBtnClick(); });
    connect(SortingExcludeBtn, &QPushButton::clicked, this, [this] { SortingExcludeBtnClick(); });
    connect(SortingExAllBtn, &QPushButton::clicked, this, [this] { SortingExAllBtnClick(); });
}

// --- The lists ----------------------------------------------------------------

void TEditSQLForm::defineLists()
{
    auto define = [](qvx::ClientDataSet &set, const QList<std::pair<const char *, int>> &fields) {
        set.clearFieldDefs();
        for (const auto &[name, size] : fields)
            set.addFieldDef(QLatin1String(name), FieldType::String, size);
        set.createDataSet();
    };
    define(CriteriaDataSet,
           { { "LogicalOperator", 20 },
             { "FieldsOrValue1", 100 },
             { "Operator", 14 },
             { "FieldsOrValue2", 100 } });
    define(SelectionDataSet,
           { { "FieldName", 100 }, { "OutputName", 100 }, { "DisplayLabel", 100 }, { "Selected", 3 } });
    define(GroupDataSet,
           { { "LogicalOperator", 20 },
             { "Summary", 20 },
             { "FieldsOrValue1", 100 },
             { "Operator", 14 },
             { "FieldsOrValue2", 100 } });
    define(JoinsDataSet,
           { { "FromTable", 100 },
             { "Join", 20 },
             { "ToTable", 100 },
             { "FieldsOrValue1", 100 },
             { "Operator", 14 },
             { "FieldsOrValue2", 100 } });

    auto titles = [](qvx::ClientDataSet &set, qvx::ui::DBGrid *grid, const QStringList &labels,
                     const QList<int> &widths) {
        for (int i = 0; i < labels.size(); ++i)
            set.setDisplayLabel(i, labels[i]);
        grid->gridModel()->setErrorParent(grid);
        for (int i = 0; i < widths.size(); ++i)
            if (widths[i] > 0)
                grid->setColumnWidth(i, widths[i]);
    };
    titles(CriteriaDataSet, CriteriaGrid,
           { "Logical Operator", "Fields Or Value", "Operator", "Fields Or Value" }, { 90, 130, 64, 130 });
    titles(SelectionDataSet, SelectionGrid, { "Field", "Output Name", "Display Label", "Selected" },
           { 150, 140, 150, 0 });
    titles(GroupDataSet, GroupGrid,
           { "Criteria", "Summary", "Fields Or Value", "Operator", "Field Or Value" },
           { 90, 90, 130, 64, 130 });
    titles(JoinsDataSet, JoinsGrid, { "From Table", "Join", "To Table", "Fields", "Operator", "Fields" },
           { 103, 120, 78, 188, 64, 188 });

    CriteriaGrid->column(0).pickList = QStringList { "NOT", "OR", "AND" };
    CriteriaGrid->column(2).pickList = criteriaOperators;
    SelectionGrid->column(3).pickList = QStringList { "Yes", "No" };
    SelectionGrid->column(0).readOnly = true; // the field a row stands for
    GroupGrid->column(0).pickList = QStringList { "ALL", "ANY", "NONE", "NOT ALL" };
    GroupGrid->column(1).pickList = summaries;
    GroupGrid->column(3).pickList = groupOperators;
    JoinsGrid->column(1).pickList
        = QStringList { "INNER JOIN", "FULL OUTER JOIN", "LEFT OUTER JOIN", "RIGHT OUTER JOIN" };
    JoinsGrid->column(4).pickList = criteriaOperators;
}

void TEditSQLForm::setPickLists()
{
    const QStringList &fields = m_sqlData.SelectList();
    CriteriaGrid->column(1).pickList = fields;
    CriteriaGrid->column(3).pickList = fields;
    GroupGrid->column(2).pickList = fields;
    GroupGrid->column(4).pickList = fields;
    JoinsGrid->column(3).pickList = fields;
    JoinsGrid->column(5).pickList = fields;
    QStringList tables;
    for (const QString &reference : m_sqlData.FromList())
        tables << correlationName(reference);
    JoinsGrid->column(0).pickList = tables;
    JoinsGrid->column(2).pickList = tables;
}

void TEditSQLForm::prepareLists()
{
    setPickLists();
    SelectionDataSet.emptyDataSet();
    for (const QString &entry : m_sqlData.SelectList()) {
        const qsizetype dot = entry.indexOf(u'.');
        const QString shortName = dot < 0 ? entry : entry.mid(dot + 1);
        SelectionDataSet.appendRecord({ entry, shortName, shortName, QStringLiteral("Yes") });
    }
    SelectionDataSet.first();
    GroupingSrcList->clear();
    GroupingSrcList->addItems(m_sqlData.SelectList());
    SortingSrcList->clear();
    SortingSrcList->addItems(m_sqlData.SelectList());
    updateMoveButtons();
}

// --- Window operations -------------------------------------------------------

int TEditSQLForm::Execute(const std::optional<TEditorTable> &active)
{
    AddActiveTable(active);
    prepareLists();
    BuildTexts();
    QApplication::restoreOverrideCursor();
    return Services::current().runModal(*this);
}

void TEditSQLForm::AddActiveTable(const std::optional<TEditorTable> &active)
{
    if (active) {
        const qsizetype dot = active->caption.indexOf(u'.');
        const QString prefix = dot < 0 ? QString() : active->caption.left(dot + 1);
        QStringList fields;
        for (const QString &name : active->fieldNames)
            fields << prefix + name;
        m_sqlData.append(TSQLData::Select, fields);
    }
    const QString &tableName = m_tableChoice.TableName();
    const qsizetype dot = tableName.indexOf(u'.');
    const QString correlation = dot < 0 ? tableName : tableName.left(dot);
    // A folder (it ends in "/") is written as a path even when the table was
    // not chosen through "Load from file": an alias reference to it would
    // name no alias.
    const QString reference = m_tableChoice.OpenedFromFile() || m_tableChoice.TableDir().endsWith(u'/')
        ? QStringLiteral("\"%1%2\" %3").arg(m_tableChoice.TableDir(), tableName, correlation)
        : QStringLiteral("\":%1:%2\" %3").arg(m_tableChoice.TableDir(), tableName, correlation);
    m_sqlData.append(TSQLData::From, { reference });
}

void TEditSQLForm::ResetEditor()
{
    if (m_sqlData.SelectList().isEmpty())
        return;
    m_sqlData.Query.close();
    m_sqlData.Query.clearSQL();
    SystemTree->clear();
    m_sqlData.ClearLists();
    for (QListWidget *list : { GroupingSrcList, GroupingDstList, SortingSrcList, SortingDstList })
        list->clear();
    for (qvx::ClientDataSet *set : { &CriteriaDataSet, &SelectionDataSet, &GroupDataSet, &JoinsDataSet })
        set->emptyDataSet();
    for (QTextEdit *edit : { SQLEdit, SelectEdit, FromEdit, JoinEdit, WhereEdit, OrderEdit })
        clearBox(edit);
    updateMoveButtons();
}

// --- Moving items between the list boxes ---------------------------------------------

void TEditSQLForm::include(QListWidget *from, QListWidget *to)
{
    int first = -1;
    for (int i = 0; i < from->count(); ++i)
        if (from->item(i)->isSelected()) {
            first = i;
            break;
        }
    for (int i = from->count() - 1; i >= 0; --i)
        if (from->item(i)->isSelected())
            to->addItem(from->takeItem(i)); // the item moves with its ownership
    from->clearSelection();
    if (from->count() > 0) {
        const int index = std::min(first < 0 ? 0 : first, from->count() - 1);
        from->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
    from->setFocus();
    updateMoveButtons();
}

void TEditSQLForm::includeAll(QListWidget *from, QListWidget *to)
{
    for (int i = 0; i < from->count(); ++i)
        to->addItem(from->item(i)->text());
    from->clear();
    from->setFocus();
    updateMoveButtons();
}

void TEditSQLForm::updateMoveButtons()
{
    if (SystemTables->currentWidget() == SortingSheet) {
        SortingIncludeBtn->setEnabled(SortingSrcList->count() > 0);
        SortingIncAllBtn->setEnabled(SortingSrcList->count() > 0);
        SortingExcludeBtn->setEnabled(SortingDstList->count() > 0);
        SortingExAllBtn->setEnabled(SortingDstList->count() > 0);
    } else if (SystemTables->currentWidget() == GroupingSheet) {
        GroupingIncludeBtn->setEnabled(GroupingSrcList->count() > 0);
        GroupingIncAllBtn->setEnabled(GroupingSrcList->count() > 0);
        GroupingExcludeBtn->setEnabled(GroupingDstList->count() > 0);
        GroupingExAllBtn->setEnabled(GroupingDstList->count() > 0);
    }
}

// --- Statement pieces ----------------------------------------------------------

QString TEditSQLForm::operand(const QString &text) const
{
    const QString value = text.trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    for (const QString &field : m_sqlData.SelectList())
        if (field.compare(value, Qt::CaseInsensitive) == 0)
            return field;
    if (number.match(value).hasMatch())
        return value;
    QString quoted = value;
    quoted.replace(u'\'', QLatin1String("''"));
    return u'\'' + quoted + u'\'';
}

QString TEditSQLForm::condition(const QString &left, const QString &op, const QString &right) const
{
    return left.trimmed().isEmpty() ? QString() : conditionOn(operand(left), op, right);
}

QString TEditSQLForm::conditionOn(const QString &l, const QString &opText, const QString &right) const
{
    QString op = opText.trimmed().toUpper();
    if (op == QLatin1String("BETWWEN"))
        op = QStringLiteral("BETWEEN"); // the spelling of an old pick list
    if (!criteriaOperators.contains(op))
        return {};
    if (op == QLatin1String("IS NULL") || op == QLatin1String("IS NOT NULL"))
        return QStringLiteral("(%1 %2)").arg(l, op);
    if (op.endsWith(QLatin1String("BETWEEN"))) {
        static const QRegularExpression andWord(QStringLiteral("\\s+AND\\s+"),
                                                QRegularExpression::CaseInsensitiveOption);
        const QStringList bounds = right.split(andWord);
        if (bounds.size() != 2)
            throw qvx::EngineError(
                QStringLiteral("%1 %2 needs two values joined by AND, not \"%3\"").arg(l, op, right));
        return QStringLiteral("(%1 %2 %3 AND %4)").arg(l, op, operand(bounds[0]), operand(bounds[1]));
    }
    if (op.endsWith(QLatin1String("IN"))) {
        QStringList items;
        for (const QString &item : listItems(right))
            items << operand(item);
        return QStringLiteral("(%1 %2 (%3))").arg(l, op, items.join(QLatin1String(", ")));
    }
    return QStringLiteral("(%1 %2 %3)").arg(l, op, operand(right));
}

QStringList TEditSQLForm::whereConditions() const
{
    QStringList out;
    if (!CriteriaDataSet.isOpen())
        return out;
    for (qint64 r = 1; CriteriaDataSet.hasRecord(r); ++r) {
        qvx::Record rec;
        CriteriaDataSet.readRecord(r, rec);
        auto text = [&rec](int i) { return rec[std::size_t(i)].toString(); };
        const QString cond = condition(text(1), text(2), text(3));
        if (cond.isEmpty())
            continue;
        const QString word = text(0).trimmed().toUpper();
        QString prefix;
        if (out.isEmpty())
            prefix = word == QLatin1String("NOT") ? QStringLiteral("NOT ") : QString();
        else if (word == QLatin1String("OR"))
            prefix = QStringLiteral("OR ");
        else if (word == QLatin1String("NOT"))
            prefix = QStringLiteral("AND NOT ");
        else
            prefix = QStringLiteral("AND ");
        out << prefix + cond;
    }
    return out;
}

QStringList TEditSQLForm::havingConditions() const
{
    QStringList out;
    if (!GroupDataSet.isOpen())
        return out;
    for (qint64 r = 1; GroupDataSet.hasRecord(r); ++r) {
        qvx::Record rec;
        GroupDataSet.readRecord(r, rec);
        auto text = [&rec](int i) { return rec[std::size_t(i)].toString().trimmed(); };
        const QString summary = text(1).toUpper();
        QString left;
        if (text(2).isEmpty())
            continue;
        if (summary.isEmpty()) {
            left = operand(text(2));
        } else if (summaries.contains(summary)) {
            const QStringList parts = summary.split(u' ');
            left = parts.size() == 2 ? QStringLiteral("%1(DISTINCT %2)").arg(parts[0], operand(text(2)))
                                     : QStringLiteral("%1(%2)").arg(parts[0], operand(text(2)));
        } else {
            continue;
        }
        const QString cond = conditionOn(left, text(3), text(4));
        if (cond.isEmpty())
            continue;
        const QString word = text(0).toUpper();
        const bool negated = word == QLatin1String("NONE") || word == QLatin1String("NOT ALL");
        const bool either = word == QLatin1String("ANY") || word == QLatin1String("NOT ALL");
        QString prefix;
        if (out.isEmpty())
            prefix = negated ? QStringLiteral("NOT ") : QString();
        else
            prefix = QString(either ? QStringLiteral("OR ") : QStringLiteral("AND "))
                + (negated ? QStringLiteral("NOT ") : QString());
        out << prefix + cond;
    }
    return out;
}

int TEditSQLForm::fromEntryNamed(const QString &name) const
{
    const QStringList &from = m_sqlData.FromList();
    for (int i = 0; i < from.size(); ++i)
        if (correlationName(from[i]).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// --- The texts -------------------------------------------------------------------

void TEditSQLForm::BuildTexts()
{
    SQLCompleter->setNames(m_sqlData.FromList(), m_sqlData.SelectList());
    buildSelectList();
    buildFromList();
    buildJoinList();
    buildOrderList();
    buildWhereList();
    buildSQLText();
}

void TEditSQLForm::buildSelectList()
{
    clearBox(SelectEdit);
    addLine(SelectEdit, { QStringLiteral("SELECT"), true });
    QStringList fields;
    if (GroupingDstList->count() > 0) {
        for (int i = 0; i < GroupingDstList->count(); ++i)
            fields << GroupingDstList->item(i)->text();
    } else {
        for (qint64 r = 1; SelectionDataSet.hasRecord(r); ++r) {
            qvx::Record rec;
            SelectionDataSet.readRecord(r, rec);
            if (rec[3].toString() == QLatin1String("Yes"))
                fields << rec[0].toString();
        }
    }
    for (int i = 0; i < fields.size(); ++i)
        addLine(SelectEdit, { QStringLiteral("  ") + fields[i] + (i + 1 < fields.size() ? "," : "") });
}

QList<TEditSQLForm::JoinText> TEditSQLForm::joins() const
{
    static const QStringList kinds { "INNER JOIN", "FULL OUTER JOIN", "LEFT OUTER JOIN", "RIGHT OUTER JOIN" };
    QList<JoinText> out;
    for (qint64 r = 1; JoinsDataSet.hasRecord(r); ++r) {
        qvx::Record rec;
        JoinsDataSet.readRecord(r, rec);
        auto text = [&rec](int i) { return rec[std::size_t(i)].toString().trimmed(); };
        const QString kind = text(1).isEmpty() ? QStringLiteral("INNER JOIN") : text(1).toUpper();
        const QString cond = condition(text(3), text(4), text(5));
        if (!kinds.contains(kind) || text(2).isEmpty() || cond.isEmpty())
            continue;
        JoinText join;
        join.fromEntry = fromEntryNamed(text(2));
        join.lines
            = QStringList { kind + u' '
                                + (join.fromEntry >= 0 ? m_sqlData.FromList()[join.fromEntry] : text(2)),
                            QStringLiteral("ON"), QStringLiteral("  ") + cond };
        out << join;
    }
    return out;
}

void TEditSQLForm::buildFromList()
{
    clearBox(FromEdit);
    addLine(FromEdit, { QStringLiteral("FROM"), true });
    // A table that a join brings in is named by its join, not listed here;
    // the first table always is.
    QList<int> joined;
    for (const JoinText &join : joins())
        if (join.fromEntry > 0)
            joined << join.fromEntry;
    QStringList entries;
    for (int i = 0; i < m_sqlData.FromList().size(); ++i)
        if (!joined.contains(i))
            entries << m_sqlData.FromList()[i];
    for (int i = 0; i < entries.size(); ++i)
        addLine(FromEdit, { QStringLiteral("  ") + entries[i] + (i + 1 < entries.size() ? "," : "") });
}

void TEditSQLForm::buildJoinList()
{
    clearBox(JoinEdit);
    for (const JoinText &join : joins()) {
        addLine(JoinEdit, { join.lines[0], true });
        addLine(JoinEdit, { join.lines[1], true });
        addLine(JoinEdit, { join.lines[2] });
    }
}

void TEditSQLForm::buildWhereList()
{
    clearBox(WhereEdit);
    const QStringList &search = m_sqlData.WhereList();
    const QStringList criteria = whereConditions();
    if (!search.isEmpty() || !criteria.isEmpty())
        addLine(WhereEdit, { QStringLiteral("WHERE"), true });
    // The search lines are kept together when criteria follow them.
    const bool wrap = !search.isEmpty() && !criteria.isEmpty();
    if (wrap)
        addLine(WhereEdit, { QStringLiteral("  (") });
    for (const QString &entry : search)
        addLine(WhereEdit, { QStringLiteral("  ") + entry });
    if (wrap)
        addLine(WhereEdit, { QStringLiteral("  )") });
    for (int i = 0; i < criteria.size(); ++i)
        addLine(
            WhereEdit,
            { QStringLiteral("  ") + (wrap && i == 0 ? QStringLiteral("AND ") : QString()) + criteria[i] });
    if (GroupingDstList->count() > 0) {
        addLine(WhereEdit, { QStringLiteral("GROUP BY"), true });
        for (int i = 0; i < GroupingDstList->count(); ++i)
            addLine(WhereEdit,
                    { QStringLiteral("  ") + GroupingDstList->item(i)->text()
                      + (i + 1 < GroupingDstList->count() ? "," : "") });
    }
    const QStringList having = havingConditions();
    if (!having.isEmpty()) {
        addLine(WhereEdit, { QStringLiteral("HAVING"), true });
        for (const QString &line : having)
            addLine(WhereEdit, { QStringLiteral("  ") + line });
    }
}

void TEditSQLForm::buildOrderList()
{
    clearBox(OrderEdit);
    const int n = SortingDstList->count();
    if (n > 0)
        addLine(OrderEdit, { QStringLiteral("ORDER BY"), true });
    for (int i = 0; i < n; ++i)
        addLine(OrderEdit,
                { QStringLiteral("  ") + SortingDstList->item(i)->text() + (i + 1 < n ? "," : "") });
}

QStringList TEditSQLForm::lines(const QTextEdit *edit)
{
    if (!edit->property("hasLine").toBool() && edit->document()->isEmpty())
        return {};
    return edit->toPlainText().split(u'\n');
}

void TEditSQLForm::buildSQLText()
{
    clearBox(SQLEdit);
    const QString dashes(60, u'-');
    const QLocale locale = QLocale::system();
    QString time = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    time.replace(u':', u'.');
    const QList<Line> header {
        { QStringLiteral("/*") + dashes, false, teal },
        { QString(), false, teal },
        { QStringLiteral("  ANSI/ISO LOCAL SQL"), true, teal },
        { QStringLiteral("  Data Manipulation (DML)"), true, teal },
        { QString(), false, teal },
        { QStringLiteral("  Date - ") + locale.toString(QDate::currentDate(), QLocale::ShortFormat), false,
          teal, 8 },
        { QStringLiteral("  Time - ") + time, false, teal, 8 },
        { QString(), false, teal },
        { dashes + QStringLiteral("*/"), false, teal },
        { QString(), false, Qt::black },
    };
    for (const Line &line : header)
        addLine(SQLEdit, line);
    for (QTextEdit *part : { SelectEdit, FromEdit, JoinEdit, WhereEdit, OrderEdit }) {
        for (const QString &text : lines(part))
            addLine(SQLEdit, { text, isBoldLine(text) });
        addLine(SQLEdit, { QString() });
    }
    SQLEdit->moveCursor(QTextCursor::Start);
    SQLEdit->document()->setModified(false);
}

// --- Running -----------------------------------------------------------------------

void TEditSQLForm::runOnce(const QStringList &sql)
{
    qvx::Query &query = m_sqlData.Query;
    query.close();
    query.clearSQL();
    query.setSQL(sql);
    // A statement that returns rows is opened (stepped once, lazily); any
    // other is executed. Either way it runs once.
    if (qvx::Query::returnsRows(query.sqlText()))
        query.open();
    else
        query.execSQL();
}

void TEditSQLForm::RunEditorSQL()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    SQLEdit->setExtraSelections({});
    const QStringList text = SQLEdit->toPlainText().split(u'\n');
    if (text.count(QStringLiteral("SELECT")) + text.count(QStringLiteral("FROM")) < 2)
        return;
    try {
        runOnce(text);
    } catch (const qvx::sql::SqlError &error) {
        markErrorAt(error.line(), error.column());
        throw;
    }
    for (int c = 0; c < DBGrid->columnCount(); ++c) {
        DBGrid->column(c).titleAlignment = Qt::AlignHCenter;
        DBGrid->columnChanged(c);
    }
    FillFieldTree();
}

void TEditSQLForm::markErrorAt(int line, int column)
{
    const QTextBlock block = SQLEdit->document()->findBlockByNumber(std::max(0, line - 1));
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        std::clamp(column - 1, 0, int(block.length()) - 1));
    SQLEdit->setTextCursor(cursor);
    QTextEdit::ExtraSelection marked;
    marked.cursor = cursor;
    marked.cursor.clearSelection();
    marked.format.setBackground(QColor(255, 220, 220));
    marked.format.setProperty(QTextFormat::FullWidthSelection, true);
    SQLEdit->setExtraSelections({ marked });
    PageSets->setCurrentWidget(TextEditors);
    TextEditors->setCurrentWidget(TabSheet1);
    SQLEdit->setFocus();
}

void TEditSQLForm::FillFieldTree()
{
    SystemTree->clear();
    auto *root = new QTreeWidgetItem(SystemTree, { QStringLiteral("SQL TABLE") });
    const qvx::Query &query = m_sqlData.Query;
    for (int i = 0; query.isOpen() && i < query.fieldCount(); ++i) {
        const qvx::FieldDef &f = query.field(i);
        auto *node = new QTreeWidgetItem(root, { QStringLiteral("Name - \"%1\"").arg(f.name) });
        const char *type = qvx::fieldTypeDisplayName(qvx::fieldTypeCode(f.type));
        new QTreeWidgetItem(node, { QStringLiteral("Dislpay Label - \"%1\"").arg(f.displayLabel) });
        new QTreeWidgetItem(node, { QStringLiteral("Type - ") + QString::fromLatin1(type ? type : "") });
        new QTreeWidgetItem(node, { QStringLiteral("Size - %1").arg(dataSize(f)) });
    }
    root->setExpanded(true);
}

// --- Files and printing -----------------------------------------------------------

void TEditSQLForm::SQLLoadExecute()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Load SQL");
    request.filter = QStringLiteral("SQL Table|*.sql|Text document|*.txt|All files ...|*.*");
    request.defaultExtension = QStringLiteral("SQL");
    const auto chosen = Services::current().openFile(this, request);
    if (!chosen)
        return;
    QFile file(chosen->fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw qvx::EngineError(chosen->fileName,
                               QStringLiteral("cannot read it: %1").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    m_encoding = QStringLiteral("UTF-8");
    if (utf8.hasError()) {
        QStringDecoder latin("windows-1252");
        text = latin.isValid() ? latin(bytes) : QString::fromLatin1(bytes);
        m_encoding = QStringLiteral("windows-1252");
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    runOnce(text.split(u'\n'));
}

void TEditSQLForm::SQLSaveExecute()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Save SQL");
    request.filter = QStringLiteral("SQL Table|*.sql|Text document|*.txt|All files|*.*");
    request.defaultExtension = QStringLiteral("SQL");
    request.directory = m_saveDirectory;
    const auto chosen = Services::current().saveFile(this, request);
    if (!chosen)
        return;
    m_saveDirectory = m_tableChoice.TableDir();
    QStringEncoder encoder(m_encoding.toLatin1().constData());
    if (!encoder.isValid())
        encoder = QStringEncoder(QStringEncoder::Utf8);
    const QByteArray bytes = encoder(m_sqlData.Query.sqlText() + u'\n');
    if (encoder.hasError())
        throw qvx::EngineError(
            chosen->fileName,
            QStringLiteral("the statement has characters that %1 cannot hold").arg(m_encoding));
    qvx::writeFileAtomically(chosen->fileName, bytes);
}

void TEditSQLForm::SQLPrintExecute()
{
    if (!Services::current().printDialog(this))
        return;
    QPrinter &printer = Services::current().printer();
    printer.setDocName(QStringLiteral("ANSI/ISO SQL"));
    SQLEdit->document()->print(&printer);
}
