// The main window's way into the SQL editor: "SQL Editor" starts afresh on
// the active plain table window, "Add Table" adds that table to what the
// editor holds. Both do nothing unless a plain table window is active.
#include "ClientMenu.h"
#include "about.h"

#include "editors/RTFEditor.h"
#include "query/EditSQL.h"
#include "query/SQLDataModule.h"
#include "tables/StandardTable.h"
#include "ui/CommandNames.h"

void TMainForm::createSQLEditor()
{
    delete EditSQLForm;
    EditSQLForm = nullptr;
    if (!SQLData)
        return;
    EditSQLForm = new TEditSQLForm(*SQLData, m_tableChoice, this);
    EditSQLForm->showAbout = [this] {
        if (AboutBox)
            qvx::ui::Services::current().runModal(*AboutBox);
    };
    EditSQLForm->showRTFEditor = [this](const QString &text) {
        if (!RTFForm)
            return;
        RTFForm->setLines(text);
        RTFForm->Execute();
    };
}

void TMainForm::bindSQLEditorCommands()
{
    command(qvx::cmd::SQLEditor)->setHandler([this] { SQLEditorExecute(true); });
    command(qvx::cmd::AddTable)->setHandler([this] { SQLEditorExecute(false); });
}

void TMainForm::SQLEditorExecute(bool reset)
{
    auto *table = qobject_cast<TBDETableForm *>(activeChildWidget());
    if (!table || !EditSQLForm)
        return;
    const qvx::ui::DocumentSource source = table->document();
    if (!reset) {
        if (!source.path.isEmpty())
            m_tableChoice.chooseFile(source.path);
        else if (source.database.endsWith(u'/'))
            m_tableChoice.chooseFile(source.database + source.table);
        else
            m_tableChoice.chooseAliasTable(source.database, source.table);
    }
    TEditorTable active;
    active.caption = table->windowTitle();
    for (const qvx::FieldDef &field : table->BDETable.fields())
        active.fieldNames << field.name;
    if (reset)
        EditSQLForm->ResetEditor();
    EditSQLForm->Execute(active);
}
