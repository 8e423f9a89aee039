// The main window's opening of tables: the load commands, the three opening
// operations, "SQL Table" on the working query and "Save to file".
#include "ClientMenu.h"

#include "query/SQLDataModule.h"
#include "tables/SQLTable.h"
#include "tables/StandardTable.h"
#include "tables/XMLTable.h"

#include "engine/EngineError.h"
#include "engine/TableWriter.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiSubWindow>

using qvx::ui::Services;

namespace {

const QString loadAnyFilter = QStringLiteral("XML Document|*.xml|SQL Table|*.sql|DBASE Table|*.dbf|Fox Pro "
                                             "Table|*.dbf|Paradox Table|*.db|ASCII Table|*.txt");
const QString loadLocalFilter
    = QStringLiteral("Paradox Table|*.db|DBASE Table|*.dbf|Fox Pro Table|*.dbf|ASCII Table|*.txt");
const QString loadSQLFilter = QStringLiteral("SQL Table|*.sql");
const QString loadXMLFilter = QStringLiteral("XML Document|*.xml");

// The wait cursor for as long as a command runs, whatever way it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// Runs lines on a query and opens its result. A statement that returns no
// rows runs once and is then reported: running it again to open it would
// repeat its changes.
void runIntoWindow(qvx::Query &query, const QStringList &lines)
{
    query.close();
    query.setSQL(lines);
    if (!qvx::Query::returnsRows(query.sqlText())) {
        query.execSQL();
        throw qvx::EngineError(QStringLiteral("The SQL statement returns no result set"));
    }
    query.open();
}

} // namespace

bool TMainForm::chooseTable(const QString &filter)
{
    OpenDialog.filter = filter;
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().openFile(this, OpenDialog);
    if (!answer)
        return false;
    OpenDialog.fileName = answer->fileName;
    OpenDialog.filterIndex = answer->filterIndex;
    // The folder keeps its trailing separator: other windows put the table
    // name right after it.
    const qsizetype slash = answer->fileName.lastIndexOf(u'/');
    TableDir = answer->fileName.left(slash + 1);
    TableName = answer->fileName.mid(slash + 1);
    return true;
}

void TMainForm::LoadTableFromFileExecute()
{
    if (!chooseTable(loadAnyFilter))
        return;
    OpenedFromFile = true;
    if (OpenDialog.fileName.isEmpty())
        return;
    // The chosen entry, not the file's extension, decides the window.
    switch (OpenDialog.filterIndex) {
    case 1:
        OpenXMLDocument();
        break;
    case 2:
        OpenSQLTable();
        break;
    case 3:
    case 4:
    case 5:
    case 6:
        OpenBDETable();
        break;
    default:
        break;
    }
}

void TMainForm::LoadBDETableExecute()
{
    if (chooseTable(loadLocalFilter) && !OpenDialog.fileName.isEmpty())
        OpenBDETable();
}

void TMainForm::LoadSQLTableExecute()
{
    if (chooseTable(loadSQLFilter) && !OpenDialog.fileName.isEmpty())
        OpenSQLTable();
}

void TMainForm::LoadXMLDocumentExecute()
{
    if (chooseTable(loadXMLFilter) && !OpenDialog.fileName.isEmpty())
        OpenXMLDocument();
}

void TMainForm::OpenFile(const QString &path)
{
    const QFileInfo info(path);
    const QString ext = info.suffix().toLower();
    OpenDialog.fileName = info.absoluteFilePath();
    TableDir = info.absolutePath() + u'/';
    TableName = info.fileName();
    if (ext == QLatin1String("xml"))
        OpenXMLDocument();
    else if (ext == QLatin1String("sql"))
        OpenSQLTable();
    else if (ext == QLatin1String("dbf") || ext == QLatin1String("db") || ext == QLatin1String("txt"))
        OpenBDETable();
    else
        throw qvx::EngineError(path,
                               QStringLiteral("not a kind of table this program opens (.dbf, .db, .txt, "
                                              ".sql or .xml)"));
}

TBDETableForm *TMainForm::OpenBDETable()
{
    auto *form = new TBDETableForm(*this, *TableData);
    QMdiSubWindow *child = addChild(form);
    form->setWindowTitle(TableName);
    child->resize(child->minimumSizeHint().expandedTo(form->minimumSize()));
    form->BDETable.close();
    form->BDETable.setDatabaseName(TableDir);
    form->BDETable.setTableName(TableName);
    form->BDETable.open();
    form->InitTableView();
    return form;
}

TSQLTableForm *TMainForm::OpenSQLTable()
{
    auto *form = new TSQLTableForm(*this, *TableData);
    addChild(form);
    form->setWindowTitle(TableName);
    form->Query.close();
    // Bare table names in the text are looked for beside the SQL file.
    form->Query.setDirectory(QFileInfo(OpenDialog.fileName).absolutePath());
    form->Query.loadSQLFromFile(OpenDialog.fileName);
    runIntoWindow(form->Query, form->Query.sqlLines());
    form->InitTableView();
    return form;
}

TXMLTableForm *TMainForm::OpenXMLDocument()
{
    auto *form = new TXMLTableForm(*this, *TableData);
    addChild(form);
    form->setWindowTitle(TableName);
    form->DataSet.close();
    form->DataSet.setFileName(OpenDialog.fileName);
    form->DataSet.open();
    form->InitTableView();
    return form;
}

void TMainForm::CreateSQLTableExecute()
{
    WaitCursor wait;
    if (!SQLData || SQLData->Query.sqlLineCount() == 0)
        return;
    auto *form = new TSQLTableForm(*this, *TableData);
    addChild(form);
    form->setWindowTitle(QStringLiteral("SQL Table"));
    runIntoWindow(form->Query, SQLData->Query.sqlLines());
    form->InitTableView();
}

void TMainForm::SaveTableToFileExecute()
{
    TTableForm *form = ActiveTableForm();
    if (!form)
        return;
    SaveDialog.filter.clear();
    SaveDialog.defaultExtension = QStringLiteral("*.xml");
    if (SaveDialog.fileName.isEmpty()) {
        // First use: beside the table last opened, under the window's name.
        SaveDialog.directory = TableDir;
        SaveDialog.fileName = QFileInfo(form->windowTitle()).completeBaseName() + QStringLiteral(".xml");
    }
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().saveFile(this, SaveDialog);
    if (!answer || answer->fileName.isEmpty())
        return;
    // The chosen file's folder is where the dialog opens next time.
    SaveDialog.fileName = answer->fileName;
    SaveDialog.directory.clear();
    const QString path = answer->fileName;
    const std::optional<qvx::WriteTarget> target = qvx::writeTargetForFileName(path);
    if (!target)
        throw qvx::EngineError(path,
                               QStringLiteral("cannot tell the format to write from the name; end it in "
                                              ".xml, .cds, .dbf, .db or .txt"));

    qvx::DataSet &data = form->tableDataSet();
    if (auto *plain = qobject_cast<TBDETableForm *>(form)) {
        if (QFileInfo(plain->BDETable.filePath()) == QFileInfo(path))
            throw qvx::EngineError(path,
                                   QStringLiteral("is the table shown in this window; save it under "
                                                  "another name"));
    }
    if (!data.isOpen())
        throw qvx::EngineError(path, QStringLiteral("the window shows no records to save"));
    // A pending edit is part of what the user sees: it is saved too.
    if (data.state() == qvx::DataSet::State::Edit || data.state() == qvx::DataSet::State::Insert)
        data.post();
    const qint64 recNo = data.recNo();
    {
        qvx::DataSet::ControlsDisabled still(data);
        try {
            qvx::writeDataSet(data, path, *target);
        } catch (...) {
            if (recNo > 0)
                data.setRecNo(recNo);
            throw;
        }
        if (recNo > 0)
            data.setRecNo(recNo);
    }
}
