// The main window's opening of documents: the load commands, the three
// opening operations, "SQL Table" on the working query and "Save to file".
// What a file or a filter entry means comes from the table of file kinds;
// what opening or saving does is the child window's.
#include "ClientMenu.h"

#include "query/SQLDataModule.h"
#include "tables/SQLTable.h"
#include "tables/StandardTable.h"
#include "tables/XMLTable.h"

#include "engine/EngineError.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QScopeGuard>

using qvx::DocumentKind;
using qvx::FileFilter;
using qvx::ui::DocumentSource;
using qvx::ui::Services;

namespace {

// The wait cursor for as long as a command runs, whatever way it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

bool TMainForm::chooseTable(const FileFilter &filter)
{
    OpenDialog.filter = filter.text();
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().openFile(this, OpenDialog);
    if (!answer)
        return false;
    OpenDialog.fileName = answer->fileName;
    OpenDialog.filterIndex = answer->filterIndex;
    m_tableChoice.chooseFile(answer->fileName);
    return true;
}

void TMainForm::LoadTableFromFileExecute()
{
    const FileFilter filter = FileFilter::loadAny();
    if (!chooseTable(filter))
        return;
    m_tableChoice.markOpenedFromFile();
    if (OpenDialog.fileName.isEmpty())
        return;
    // The chosen entry, not the file's extension, decides the window.
    if (const qvx::FileKind *kind = filter.entry(OpenDialog.filterIndex))
        openDocument(kind->document, DocumentSource::file(OpenDialog.fileName));
}

void TMainForm::LoadBDETableExecute()
{
    if (chooseTable(FileFilter::localTables()) && !OpenDialog.fileName.isEmpty())
        OpenBDETable();
}

void TMainForm::LoadSQLTableExecute()
{
    if (chooseTable(FileFilter::forDocument(DocumentKind::SqlText)) && !OpenDialog.fileName.isEmpty())
        OpenSQLTable();
}

void TMainForm::LoadXMLDocumentExecute()
{
    if (chooseTable(FileFilter::forDocument(DocumentKind::DataPacket)) && !OpenDialog.fileName.isEmpty())
        OpenXMLDocument();
}

void TMainForm::OpenFile(const QString &path)
{
    const QFileInfo info(path);
    const qvx::FileKind *kind = qvx::fileKindForName(path);
    if (!kind)
        throw qvx::EngineError(
            path, tr("not a kind of table this program opens (%1)").arg(qvx::openableExtensionsText()));
    OpenDialog.fileName = info.absoluteFilePath();
    m_tableChoice.chooseFile(info.absoluteFilePath());
    openDocument(kind->document, DocumentSource::file(info.absoluteFilePath()));
}

template<class Form> Form *TMainForm::openChild(const DocumentSource &source)
{
    auto *form = new Form(*this, *TableData);
    addChild(form);
    // The window became active before it had a document; which commands it
    // answers may depend on the document, opened or not.
    const auto refresh = qScopeGuard([this] { updateChildCommands(activeChild()); });
    form->open(source);
    return form;
}

qvx::ui::ChildWindow *TMainForm::openDocument(DocumentKind kind, const DocumentSource &source)
{
    switch (kind) {
    case DocumentKind::LocalTable:
        // A plain table is reached by its database (folder or alias) and name.
        return openChild<TBDETableForm>(DocumentSource::databaseTable(source.database, source.table));
    case DocumentKind::SqlText:
        return openChild<TSQLTableForm>(source);
    case DocumentKind::DataPacket:
        return openChild<TXMLTableForm>(source);
    }
    return nullptr;
}

TBDETableForm *TMainForm::OpenBDETable()
{
    return openChild<TBDETableForm>(
        DocumentSource::databaseTable(m_tableChoice.TableDir(), m_tableChoice.TableName()));
}

TSQLTableForm *TMainForm::OpenSQLTable()
{
    return openChild<TSQLTableForm>(DocumentSource::file(OpenDialog.fileName));
}

TXMLTableForm *TMainForm::OpenXMLDocument()
{
    return openChild<TXMLTableForm>(DocumentSource::file(OpenDialog.fileName));
}

void TMainForm::CreateSQLTableExecute()
{
    WaitCursor wait;
    if (!SQLData || SQLData->Query.sqlLineCount() == 0)
        return;
    auto *form = new TSQLTableForm(*this, *TableData);
    addChild(form);
    form->openStatement(SQLData->Query.sqlLines(), tr("SQL Table"));
}

void TMainForm::SaveTableToFileExecute()
{
    qvx::ui::ChildWindow *child = activeChild();
    if (!child || !child->canSaveToFile())
        return;
    SaveDialog.filter.clear();
    SaveDialog.defaultExtension = QStringLiteral("*.xml");
    if (SaveDialog.fileName.isEmpty()) {
        // First use: beside the table last opened, under the window's name.
        SaveDialog.directory = m_tableChoice.TableDir();
        SaveDialog.fileName = QFileInfo(child->caption()).completeBaseName() + QStringLiteral(".xml");
    }
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().saveFile(this, SaveDialog);
    if (!answer || answer->fileName.isEmpty())
        return;
    // The chosen file's folder is where the dialog opens next time.
    SaveDialog.fileName = answer->fileName;
    SaveDialog.directory.clear();
    child->saveToFile(answer->fileName);
}
