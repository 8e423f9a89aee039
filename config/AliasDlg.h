// The "Alias Manager": the engine session's aliases as a tree (aliases, the
// tables of a standard alias's folder, their fields), engine parameters in a
// two-column grid whose edited values go back to the session, and the
// commands that add, delete, find and save aliases. A double click on a
// table opens it in a table window of the main frame. Made once; it keeps
// its contents between uses.
#pragma once

#include "engine/ClientDataSet.h"
#include "ui/CommandList.h"
#include "ui/DataSource.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qvx {
class Session;
}
namespace qvx::ui {
class ChildFrame;
class DBGrid;
} // namespace qvx::ui

class TAliasFormDlg : public QDialog {
    Q_OBJECT
public:
    // The tree's levels, as the icons tell them apart.
    enum Level { RootLevel = 0, AliasLevel = 1, TableLevel = 2, FieldLevel = 3 };

    TAliasFormDlg(qvx::Session &session, qvx::ui::ChildFrame *frame, QWidget *parent = nullptr);
    ~TAliasFormDlg() override;

    bool Execute();

    // --- State -------------------------------------------------------------
    int ParamsView = 5; // 1 INIT, 2 DATE, 3 TIME, 4 NUMBER, 5 the driver's (or the alias's) parameters
    QString SelectedNodeText;
    qvx::ClientDataSet ParamsSet; // ParamsName, ParamsValue: 20 characters shown
    // The values of the rows as the engine gave them, not cut.
    QStringList FullValues;

    // --- Controls -------------------------------------------------------------
    QTreeWidget *DBTree;
    QCheckBox *ShowPublic, *ShowAll;
    QLineEdit *Directory;
    QPushButton *SelectDirectoryBtn;
    QComboBox *AliasName, *DriverType, *ConfigMode;
    QPushButton *InitBtn, *DateBtn, *TimeBtn, *NumberBtn;
    qvx::ui::DBGrid *DriverParams;
    QPushButton *AddAliasBtn, *StandardBtn, *DriverBtn, *FindAliasBtn, *DeleteBtn, *SaveBtn;
    QMenu *PopupMenu;
    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const { return ActionList->command(name); }

    // --- Operations ------------------------------------------------------------
    void RefreshAll();
    void FillAliasTree();
    // The tables of a standard alias's node (and a table node's fields),
    // read when the node is first expanded.
    void FillChildren(QTreeWidgetItem *node);
    void NodeTouched(QTreeWidgetItem *node);
    void FillParams();
    void OpenSelectedTable();
    // The values the Value column offers for a parameter name (leading
    // space included); none for most.
    static QStringList ValuesFor(const QString &paramsName);
    void ConfigModeChanged(const QString &text);
    void ShowAllClick();
    void ShowPublicClick();
    void AddAliasExecute();
    void AddStandardAliasExecute();
    void DeleteAliasExecute();
    void FindDatabaseExecute();
    void SaveConfigExecute();
    void SelectDirectoryExecute();
    void SortAlphabetically();
    static int LevelOf(const QTreeWidgetItem *node);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildCommands();
    void buildControls();
    void setMode(int flags);
    void paramEdited(); // a posted row of the grid goes back to the session
    void updatePickList();

    qvx::Session &m_session;
    qvx::ui::ChildFrame *m_frame;
    qvx::ui::DataSource m_paramsSource;
    int m_editRow = -1; // the grid row being edited
};
