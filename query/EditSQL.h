// The visual SQL editor ("Edit SQL"): a modal window in which the user
// composes a SELECT statement over the open tables from the working lists
// and the editor's own lists (criteria, selection, grouping, group criteria,
// sorting, joins), sees it as generated text, runs it on the working query
// and looks at the result. Created once and shown again and again; its lists
// keep their contents between showings until ResetEditor.
#pragma once

#include "engine/ClientDataSet.h"
#include "ui/CommandList.h"
#include "ui/DataSource.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QStackedWidget;
class QTabWidget;
class QTextCharFormat;
class QTextEdit;
class QToolBar;
class QTreeWidget;
class QWidget;
class TSQLCompleter;
class TSQLData;

namespace qvx::ui {
class DBGrid;
class TableChoice;
class TextSearch;
} // namespace qvx::ui

// The plain table window the editor adds: its caption and its fields' names.
struct TEditorTable {
    QString caption;
    QStringList fieldNames;
};

class TEditSQLForm : public QDialog {
    Q_OBJECT
public:
    TEditSQLForm(TSQLData &sqlData, qvx::ui::TableChoice &tableChoice, QWidget *parent = nullptr);
    ~TEditSQLForm() override;

    // The about box of the program, shown by "About"; none: nothing happens.
    std::function<void()> showAbout;
    // Opens the rich-text editor over a text ("RTF Editor", F4); none:
    // nothing happens.
    std::function<void(const QString &text)> showRTFEditor;

    // --- Window operations ----------------------------------------------------
    // AddActiveTable, prepares the lists and texts, and shows the window modally.
    int Execute(const std::optional<TEditorTable> &active);
    // Empties everything, when SelectList is not empty.
    void ResetEditor();
    // Adds the active table's fields to SelectList (when there is one) and
    // its table reference, from the table choice, to FromList.
    void AddActiveTable(const std::optional<TEditorTable> &active);
    // Runs the text of SQLEdit on the working query, once, when it has a
    // "SELECT" line and a "FROM" line. A statement SQLite cannot read puts
    // the cursor where SQLite says the fault is, marks that line, and throws on.
    void RunEditorSQL();
    void FillFieldTree();
    // Rebuilds the five text lists and the composed statement.
    void BuildTexts();

    // The encoding of the file last loaded ("UTF-8" or "windows-1252").
    QString loadedEncoding() const { return m_encoding; }

    // --- The generated text, line by line (for a reader of the boxes) -----------
    static QStringList lines(const QTextEdit *edit);

    // --- Lists -----------------------------------------------------------------
    qvx::ClientDataSet CriteriaDataSet, SelectionDataSet, GroupDataSet, JoinsDataSet;
    qvx::ui::DataSource CriteriaSource { &CriteriaDataSet }, SelectionSource { &SelectionDataSet },
        GroupSource { &GroupDataSet }, JoinsSource { &JoinsDataSet };

    // --- Controls, top to bottom -------------------------------------------------
    QMenuBar *MainMenu;
    QMenu *FilesMenu, *EditMenu, *SearchMenu, *ViewMenu, *ToolsMenu, *HelpMenu;
    QMenu *PopupMenu; // the context menu of the rich-text boxes
    QWidget *ControlBar;
    QToolBar *ToolBar1, *ToolBar2;
    QStackedWidget *PageSets;
    QTabWidget *SystemTables;
    QWidget *SQLTable, *CriteriaSheet, *SelectionSheet, *GroupingSheet, *GroupCriteriaSheet, *SortingSheet,
        *JoinsSheet;
    QSplitter *Splitter;
    qvx::ui::DBGrid *DBGrid;
    QTreeWidget *SystemTree;
    qvx::ui::DBGrid *CriteriaGrid, *SelectionGrid, *GroupGrid, *JoinsGrid;
    QListWidget *GroupingSrcList, *GroupingDstList;
    QPushButton *GroupingIncludeBtn, *GroupingIncAllBtn, *GroupingExcludeBtn, *GroupingExAllBtn,
        *GroupingClearBtn;
    QListWidget *SortingSrcList, *SortingDstList;
    QPushButton *SortingIncludeBtn, *SortingIncAllBtn, *SortingExcludeBtn, *SortingExAllBtn, *SortingClearBtn;
    QTabWidget *TextEditors;
    QWidget *TabSheet1, *SelectControl, *FromControl, *JoinControl, *WhereControl, *OrderControl;
    QTextEdit *SQLEdit, *SelectEdit, *FromEdit, *JoinEdit, *WhereEdit, *OrderEdit;
    QStatusBar *StatusBar1;
    TSQLCompleter *SQLCompleter; // names of SelectList and FromList while typing in SQLEdit

    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const { return ActionList->command(name); }
    // Find and replace of the search commands, in the focused rich-text box.
    qvx::ui::TextSearch *Search;

    // --- Moving items between the list boxes -----------------------------------------
    void GroupingIncludeBtnClick() { include(GroupingSrcList, GroupingDstList); }
    void GroupingIncAllBtnClick() { includeAll(GroupingSrcList, GroupingDstList); }
    void GroupingExcludeBtnClick() { include(GroupingDstList, GroupingSrcList); }
    void GroupingExAllBtnClick() { includeAll(GroupingDstList, GroupingSrcList); }
    void SortingIncludeBtnClick() { include(SortingSrcList, SortingDstList); }
    void SortingIncAllBtnClick() { includeAll(SortingSrcList, SortingDstList); }
    void SortingExcludeBtnClick() { include(SortingDstList, SortingSrcList); }
    void SortingExAllBtnClick() { includeAll(SortingDstList, SortingSrcList); }

    // --- Statement pieces (the safe forms of what the grids hold) -----------------------
    // A criteria operand: a field of SelectList or a number as it is, anything
    // else a string literal with its quotes doubled.
    QString operand(const QString &text) const;
    // One condition "(left op right)"; empty when op is not one of the
    // operators the pick lists offer or left is empty.
    QString condition(const QString &left, const QString &op, const QString &right) const;
    // The same with a left side that is SQL already ("COUNT(orders.OrderNo)").
    QString conditionOn(const QString &leftSql, const QString &op, const QString &right) const;

private:
    void buildCommands();
    void buildMenus();
    void buildControls();
    void bindHandlers();
    void defineLists();
    void prepareLists();
    void setPickLists();
    QTextEdit *newTextBox(const QString &name);
    QWidget *newMovePage(const QString &name, QListWidget *&src, QListWidget *&dst, const QString &srcTitle,
                         const QString &dstTitle, QPushButton *&include, QPushButton *&incAll,
                         QPushButton *&exclude, QPushButton *&exAll, QPushButton *&clear);
    void include(QListWidget *from, QListWidget *to);
    void includeAll(QListWidget *from, QListWidget *to);
    void updateMoveButtons();
    QTextEdit *focusedTextBox() const;

    void buildSelectList();
    void buildFromList();
    void buildJoinList();
    void buildWhereList();
    void buildOrderList();
    void buildSQLText();
    QStringList whereConditions() const;
    QStringList havingConditions() const;
    // The join records that make a join: its three lines, and the FromList
    // entry it brings in (-1 when its table is not one of them).
    struct JoinText {
        QStringList lines;
        int fromEntry = -1;
    };
    QList<JoinText> joins() const;
    // The FromList entry whose correlation name is name; -1 when none.
    int fromEntryNamed(const QString &name) const;

    void runOnce(const QStringList &sql);
    void markErrorAt(int line, int column);
    void SQLLoadExecute();
    void SQLSaveExecute();
    void SQLPrintExecute();

    TSQLData &m_sqlData;
    qvx::ui::TableChoice &m_tableChoice;
    QString m_encoding = QStringLiteral("UTF-8");
    QString m_saveDirectory;
};
