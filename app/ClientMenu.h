// The main window: a multiple-document frame with the program's menus, its
// three control bars of tool bars, the status bar and the command list
// through which every feature is reached. It opens documents in child
// windows and routes the commands that act on a child to the active one;
// the children own their documents and do their own work (see
// ui/ChildWindow.h).
#pragma once

#include "engine/FileKinds.h"
#include "ui/ChildWindow.h"
#include "ui/CommandList.h"
#include "ui/Services.h"
#include "ui/TableChoice.h"
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
class TextSearch;
} // namespace qvx::ui

class TAboutBox;
class TAliasFormDlg;
class TAlignmentFormDlg;
class TQueryFormDesigner;
class TScaleFormDlg;
class TSizeFormDlg;
class TBDETableForm;
class TCreateNewBDETable;
class TEditSQLForm;
class TGraphFormDlg;
class THTMLForm;
class TPrintForm;
class TRTFForm;
class TFindDialog;
class TReplaceDialog;
class TSQLData;
class TSQLTableForm;
class TTableData;
class TTableForm;
class TXMLTableForm;

class TMainForm : public QMainWindow, public qvx::ui::ChildHost, public qvx::ui::ChildFrame {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // --- State other windows read and write ------------------------------
    // The table last chosen (TableDir, TableName, OpenedFromFile).
    qvx::ui::TableChoice &tableChoice() override { return m_tableChoice; }
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
    void setSQLData(TSQLData *sqlData); // also binds DBNavigator1, and creates EditSQLForm
    TEditSQLForm *EditSQLForm = nullptr; // the SQL editor, made once with the query module
    // The start of creating a table; also gives "Create new table" and
    // "XML Document" their behaviour.
    TCreateNewBDETable *CreateNewBDETable = nullptr;
    void setNewTableCreator(TCreateNewBDETable *creator);
    // The layout dialogs the form designers use, made once at start-up.
    TAlignmentFormDlg *AlignmentDlg = nullptr;
    TSizeFormDlg *SizeDlg = nullptr;
    TScaleFormDlg *ScaleDlg = nullptr;
    // The alias manager, made once at start-up; gives "&Alias Manager" its
    // behaviour.
    TAliasFormDlg *AliasFormDlg = nullptr;
    void setAliasManager(TAliasFormDlg *dialog);
    // The page manager and the HTML editor, made once at start-up; they give
    // "Print pre&view ...", "Print" and "HTML Editor" their behaviour.
    TPrintForm *PrintForm = nullptr;
    THTMLForm *HTMLForm = nullptr;
    void setOutputWindows(TPrintForm *printForm, THTMLForm *htmlForm);
    // The rich-text editor and the picture manager, made once at start-up;
    // they give "RTF Editor" and "Image Editor" their behaviour and open from
    // the table windows' memo and picture panes.
    TRTFForm *RTFForm = nullptr;
    TGraphFormDlg *GraphForm = nullptr;
    void setEditors(TRTFForm *rtfEditor, TGraphFormDlg *pictureManager);

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
    QLabel *StatusPanels[StatusPanelCount];

    // Menu items with check marks of their own (the commands' effects flip them).
    QAction *ViewDBMemo, *ViewDBPicture, *ViewResultSheet, *ViewResultHTML, *ViewResultDetails;
    QAction *ViewSystemBarItem, *ViewFontBarItem, *ViewSQLBarItem;

    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const { return ActionList->command(name); }

    // The search commands' dialogs (made and driven by the window's TextSearch).
    TFindDialog *FindDialog;
    TReplaceDialog *ReplaceDialog;

    // --- Operations other windows call --------------------------------------
    // Open a table window on the table choice (a plain window on TableDir and
    // TableName; an SQL or XML window on the file chosen in OpenDialog).
    TBDETableForm *OpenBDETable();
    TSQLTableForm *OpenSQLTable();
    TXMLTableForm *OpenXMLDocument();
    // Opens a new search (or result) form designer over the working query;
    // null when there is no query module.
    TQueryFormDesigner *OpenDesigner(bool search);
    // Opens a child window of the kind given on source. The window stays,
    // empty, when opening fails (the error is thrown on).
    qvx::ui::ChildWindow *openDocument(qvx::DocumentKind kind,
                                       const qvx::ui::DocumentSource &source) override;
    // Opens path in the window its kind of file names, as the load commands
    // do; for files named on the command line or dropped.
    void OpenFile(const QString &path);

    // The child window the frame's commands act on: the active one, or the
    // topmost when the frame has no focus; null when there is none or it
    // does not keep the child-window contract.
    qvx::ui::ChildWindow *activeChild() const override;
    // Every child window of the frame, in the order they were opened.
    QList<QMdiSubWindow *> ChildWindows() const;
    // The child-window entries at the end of the "&Window" menu.
    QList<QAction *> WindowListActions() const;
    QString statusText(int panel) const;

    // ChildHost
    void UpdateStyleButtons() override;
    void setStatusText(int panel, const QString &text) override;
    bool isActiveChild(const qvx::ui::ChildWindow &child) const override;
    bool formatsTitles() const override { return FormatTitles; }
    QString fontNameText() const override;
    QString fontSizeText() const override;
    QColor fontColor() const override;
    QColor chosenColor() const override { return ColorDialogColor; }

    void FormActivate();

    void updateEditCommands();

protected:
    bool event(QEvent *event) override;
    // Quitting closes every child window first, as closing each would: its
    // edits are committed, and a child that cannot keep them stays open and
    // keeps the program running.
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void updateEditCommandsSlot() { updateEditCommands(); }

private:
    void buildCommands();
    void buildMenus();
    void buildControlBars();
    void bindHandlers();
    void bindChildCommands(); // the commands the active child window answers
    QAction *menuItem(QMenu *menu, const QString &commandName, const QString &caption = {},
                      const QString &itemName = {}, bool checkable = false);
    QWidget *controlBar(const QString &name, const QList<QToolBar *> &bars);

    QWidget *activeChildWidget() const;
    QMdiSubWindow *addChild(QWidget *form);
    // A double click or F1 in the child's memo or picture pane opens the
    // matching editor over the pane's content.
    void connectEditorPanes(qvx::ui::ChildWindow *child);
    template<class Form> Form *openChild(const qvx::ui::DocumentSource &source);
    // Runs command on the active child when it answers it; false when none did.
    bool routeToActiveChild(const QString &command);
    // A routed command is unavailable while the active child does not answer it.
    void updateChildCommands(qvx::ui::ChildWindow *child);
    // The status panels show the active child's state, or nothing.
    void childActivated();

    // Command behaviour.
    void LoadTableFromFileExecute();
    void LoadBDETableExecute();
    void LoadSQLTableExecute();
    void LoadXMLDocumentExecute();
    void SaveTableToFileExecute();
    void CreateSQLTableExecute();
    void SelectManagerTypeExecute();
    // "SQL Editor" and "Add Table" (EditSQLCommands.cpp).
    void bindSQLEditorCommands();
    // "Search Manager" and "Result Manager" (DesignerCommands.cpp).
    void bindDesignerCommands();
    void SQLEditorExecute(bool reset);
    void createSQLEditor();
    void SelectCellsExecute();
    void BgColorExecute();
    void toggleControlBar(QWidget *bar, QAction *item);
    // Shows the open dialog with filter; false when cancelled. Sets TableDir and TableName.
    bool chooseTable(const qvx::FileFilter &filter);

    // Edit and search commands on the focused text control.
    void trackFocus(QWidget *old, QWidget *now);
    void updateWindowCommands(QObject *leaving = nullptr);
    void rebuildWindowList(QObject *leaving = nullptr);

    qvx::ui::TextTarget m_textTarget; // the text control the edit and search commands act on
    qvx::ui::TextSearch *m_search; // the find and replace dialogs and the last search, on m_textTarget
    qvx::ui::TableChoice m_tableChoice;
    QList<QAction *> m_windowList;
    QAction *m_windowListSeparator = nullptr;
};
