// The "Create New Table" window: the user lists the fields of a new table
// (name, type, size, indexed or not), the window checks them and creates
// the table -- a Paradox, dBASE, FoxPro or text table in its session's
// private folder, or an in-memory table the user fills and saves as a data
// packet -- with the indexes the fields and the index dialogs ask for. It
// also saves and loads field lists and previews the structure as a tree.
// Made once at start-up and kept: what the user entered stays between uses.
#pragma once

#include "IndexHost.h"

#include "engine/ClientDataSet.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "ui/CommandList.h"
#include "ui/DataSource.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QMenuBar;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QTreeWidget;
class TTableData;
class TSecondaryIndexFormDlg;
class TdBaseIndexFormDlg;
class TFoxProIndexFormDlg;

namespace qvx::ui {
class DBGrid;
}

class TNewTableForm : public QDialog, public TNewTableIndexHost {
    Q_OBJECT
public:
    // The kinds of table, as NewTableKind holds them; 1 to 4 are the
    // engine's table types.
    enum Kind { XmlKind = 0, ParadoxKind = 1, DBaseKind = 2, FoxProKind = 3, AsciiKind = 4 };
    // The field list's columns, by position.
    enum Column { FieldNameColumn = 0, FieldTypeColumn = 1, FieldSizeColumn = 2, IsIndexedColumn = 3 };

    explicit TNewTableForm(TTableData &tableData, QWidget *parent = nullptr);
    ~TNewTableForm() override;

    // The index dialogs of each format, made after this window.
    void setIndexDialogs(TSecondaryIndexFormDlg *paradox, TdBaseIndexFormDlg *dbase,
                         TFoxProIndexFormDlg *foxPro);
    // Opens a created table in a window of the main frame; set by the main
    // window. The argument is the table's full path.
    std::function<void(const QString &path)> OpenCreatedTable;

    // Shows the window modally for the start dialog's choice of kind
    // (item 0 Paradox, 1 dBase, 2 FoxPro, 3 ASCII, 4 XML Table; -1 keeps
    // the kind set before). Returns true only for an OK result, which
    // nothing in the window gives.
    bool Execute(int typeItem);

    // --- State -------------------------------------------------------------
    void SetNewTableKind(int kind) { m_kind = kind; }
    QString NewTableName = QStringLiteral("NewTable");
    qvx::Session Session; // this window's own; its private folder holds the tables made
    qvx::Table NewTable;
    qvx::ClientDataSet NewDataSet; // the table of the XML kind
    qvx::ClientDataSet SystemDataSet; // the field list
    std::vector<DBIndexList> PendingIndexes;
    // The "Field Type" pick list.
    void SetFieldTypes(const QStringList &names);
    QStringList FieldTypes() const;

    // --- Controls, top to bottom, left to right ------------------------------
    QMenuBar *MainMenu;
    qvx::ui::CommandList *ActionList;
    qvx::ui::DBGrid *FieldsGrid;
    QLabel *SizeHint; // how the Field Size of the current row's type is read
    QSplitter *Splitter;
    QTabWidget *PageControl;
    qvx::ui::DBGrid *DBGrid;
    QTreeWidget *SystemTree;
    QWidget *ControlPanel;
    QProgressBar *Gauge;
    QLabel *StatusLine;
    qvx::ui::Command *command(const QString &name) const { return ActionList->command(name); }

    // --- Operations ------------------------------------------------------------
    void CreateFieldList();
    // A character typed into the field list; true when it was taken (the
    // Field_Type and Is_Indexed columns take every character).
    bool FieldsGridKeyPress(QChar key);
    // The type name a character enters in the Field_Type column for a kind;
    // empty when it enters none.
    static QString ShortcutTypeName(int kind, QChar key);
    // What the Field Size of a field of that type means in a kind of table.
    QString SizeMeaning(int kind, const QString &typeName) const;

    void CreateTableExecute();
    bool CheckFieldName(const QString &name);
    bool CheckFieldTypes();
    bool CheckFieldSizes();
    void CreateEngineTable();
    void CreateMemoryTable();
    void ShowStructure();
    void CreateTableParamsExecute();
    void LoadFieldsExecute();
    void SaveFieldsExecute();
    void InsertFieldsExecute();
    void DeleteFieldsExecute();
    void AddIndexExecute();
    void SaveTableAsExecute();
    void OpenCreatedTableExecute();

    // The type code a type name stands for in a kind of table.
    int TypeCode(int kind, const QString &typeName) const;

    // TNewTableIndexHost
    QStringList FieldNames() const override;
    int NewTableKind() const override { return m_kind; }
    void RecordIndexDefinition(const DBIndexList &definition) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildCommands();
    void buildControls();
    void buildMenus();
    void presentFieldList(); // titles, alignment and pick lists of the field list's columns
    void postFieldList(); // a row being edited is kept before the rows are read
    void pointNewTable(); // the private folder, the kind and the name
    void applyIndexes(int keyFields); // the fields marked indexed, then the pending definitions
    void updateSizeHint();
    void updateCommands();

    TTableData &m_tableData;
    int m_kind = ParadoxKind;
    qvx::ui::DataSource m_fieldsSource;
    qvx::ui::DataSource m_tableSource;
    bool m_memoryTableMade = false; // an XML-kind table was created in this run
    QString m_createdPath; // the engine table created last
    TSecondaryIndexFormDlg *m_paradoxIndex = nullptr;
    TdBaseIndexFormDlg *m_dbaseIndex = nullptr;
    TFoxProIndexFormDlg *m_foxProIndex = nullptr;
};
