// The main window: a multiple-document frame with the program's menus, its
// three control bars of tool bars, the status bar and the command list
// through which every feature is reached. It opens tables in child windows
// and routes the commands that act on the active table window; the windows
// themselves own their documents.
#pragma once

#include "tables/TableHost.h"
#include "ui/CommandList.h"
#include "ui/Services.h"
#include "ui/TextTarget.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace qvx::ui {
class ColorBox;
class DBNavigator;
} // namespace qvx::ui

class TAboutBox;
class TBDETableForm;
class TFindDialog;
class TReplaceDialog;
class TSQLData;
class TSQLTableForm;
class TTableData;
class TTableForm;
class TXMLTableForm;

class TMainForm : public QMainWindow, public TableHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // --- State other windows read and write ------------------------------
    QString TableDir; // folder of the last chosen table, ending in "/"; or an alias name
    QString TableName; // file name of the last chosen table
    bool OpenedFromFile = false;
    bool FormatTitles = false; // false: format the selected column's cells; true: its title
    quint8 CurrentFontStyle = 0; // bold 1, italic 2, underline 4

    // The open dialog keeps its filter, file name and filter entry between uses.
    qvx::ui::FileDialogRequest OpenDialog;
    qvx::ui::FileDialogRequest SaveDialog;
    QColor ColorDialogColor { Qt::white }; // the colour last chosen in the colour dialog

    // The modules created after this window at start-up.
    TAboutBox *AboutBox = nullptr;
    TSQLData *SQLData = nullptr;
    TTableData *TableData = nullptr;
    void setSQLData(TSQLData *sqlData); // also binds DBNavigator1

    // --- Controls, top to bottom -------------------------------------------
    QMenu *TableMenu, *EditMenu, *SearchMenu, *ViewMenu, *ViewTableMenu, *ControlBarsMenu, *ToolsMenu,
        *WindowMenu, *HelpMenu;
    QMenu *PopupMenu;
    QWidget *SystemControlBar;
    QToolBar *SystemToolBar, *ToolBar1, *EditToolBar, *ToolBar4;
    QToolButton *ConnectButton, *NewTableButton, *LoadFromFileButton, *SaveToFileButton, *HelpButton;
    QWidget *FontControlBar;
    QToolBar *FontToolBar, *AllignBar;
    QLineEdit *InfoEdit;
    QToolButton *TitleOrColumnButton;
    QComboBox *FontNameBox;
    QComboBox *FontSizeBox;
    qvx::ui::ColorBox *FontColorBox;
    QToolButton *BoldButton, *ItalicButton, *UnderlineButton;
    QToolButton *LeftButton, *CenterButton, *RightButton, *BgColorButton;
    QWidget *SQLControlBar;
    QToolBar *ToolBar2;
    QLineEdit *Edit2;
    qvx::ui::DBNavigator *DBNavigator1 = nullptr;
    QMdiArea *MDIArea;
    QLabel *StatusPanels[3];

    // Menu items with check marks of their own (the commands' effects flip them).
    QAction *ViewDBMemo, *ViewDBPicture, *ViewResultSheet, *ViewResultHTML, *ViewResultDetails;
    QAction *ViewSystemBarItem, *ViewFontBarItem, *ViewSQLBarItem;

    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const { return ActionList->command(name); }

    TFindDialog *FindDialog;
    TReplaceDialog *ReplaceDialog;

    // --- Operations other windows call --------------------------------------
    TBDETableForm *OpenBDETable();
    TSQLTableForm *OpenSQLTable();
    TXMLTableForm *OpenXMLDocument();
    // Opens path in the window its extension names (.xml, .sql, .dbf/.db/.txt),
    // as the load commands do; for files named on the command line or dropped.
    void OpenFile(const QString &path);

    // The active child window if it is a table window (of any kind), or null.
    TTableForm *ActiveTableForm() const;
    // Every child window of the frame, in the order they were opened.
    QList<QMdiSubWindow *> ChildWindows() const;
    // The child-window entries at the end of the "&Window" menu.
    QList<QAction *> WindowListActions() const;
    QString statusText(int panel) const;

    // TableHost
    void UpdateStyleButtons() override;
    void setStatusText(int panel, const QString &text) override;
    QString fontNameText() const override;
    QString fontSizeText() const override;
    QColor fontColor() const override;
    QColor chosenColor() const override { return ColorDialogColor; }

    void FormActivate();

    void updateEditCommands();

protected:
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void updateEditCommandsSlot() { updateEditCommands(); }

private:
    void buildCommands();
    void buildMenus();
    void buildControlBars();
    void bindHandlers();
    void bindTableCommands(); // the Fonts and View commands on the active table window
    QAction *menuItem(QMenu *menu, const QString &commandName, const QString &caption = {},
                      const QString &itemName = {}, bool checkable = false);
    QWidget *controlBar(const QString &name, const QList<QToolBar *> &bars);

    // Part of the frame's routing: the active child's kind, tested in the
    // order plain, XML, SQL.
    TBDETableForm *activeBDETable() const;
    TXMLTableForm *activeXMLTable() const;
    TSQLTableForm *activeSQLTable() const;
    QWidget *activeChildWidget() const;
    QMdiSubWindow *addChild(QWidget *form);
    // Runs fn on the active table window, if there is one.
    void onActiveTable(const std::function<void(TTableForm &)> &fn);

    // Command behaviour.
    void LoadTableFromFileExecute();
    void LoadBDETableExecute();
    void LoadSQLTableExecute();
    void LoadXMLDocumentExecute();
    void SaveTableToFileExecute();
    void CreateSQLTableExecute();
    void SelectManagerTypeExecute();
    void SelectCellsExecute();
    void BgColorExecute();
    void ViewTableMemoExecute();
    void ViewTablePictureExecute();
    void ViewDetailsExecute();
    void toggleControlBar(QWidget *bar, QAction *item);
    // Shows the open dialog with filter; false when cancelled. Sets TableDir and TableName.
    bool chooseTable(const QString &filter);

    // Edit and search commands on the focused text control.
    void trackFocus(QWidget *old, QWidget *now);
    void updateWindowCommands(QObject *leaving = nullptr);
    void rebuildWindowList(QObject *leaving = nullptr);
    void showFindDialog(bool fromStart);
    void findNext(const QString &text, const qvx::ui::FindOptions &options);
    void replaceOne();
    void replaceAll();

    qvx::ui::TextTarget m_textTarget; // the text control the edit and search commands act on
    QString m_lastFindText;
    qvx::ui::FindOptions m_lastFindOptions;
    bool m_findFromStart = false; // the next search from the find dialog starts at the top
    bool m_searched = false;
    QList<QAction *> m_windowList;
    QAction *m_windowListSeparator = nullptr;
};
