#include "StandardTable.h"

#include "TableDataModule.h"

#include "ui/ErrorGuard.h"

#include <QMdiSubWindow>

TBDETableForm::TBDETableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("Standard Table"), QSize(450, 284), 193)
{
    BDETable.setSession(&tableData.Session);
    bindDataSet(BDETable);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TBDETableForm::~TBDETableForm() = default;

qvx::ui::DocumentSource TBDETableForm::document() const
{
    qvx::ui::DocumentSource source
        = qvx::ui::DocumentSource::databaseTable(BDETable.databaseName(), BDETable.tableName());
    if (!BDETable.tableName().isEmpty())
        source.path = BDETable.filePath();
    return source;
}

void TBDETableForm::openDocument(const qvx::ui::DocumentSource &source)
{
    // A plain table window opens at its smallest size.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->resize(sub->minimumSizeHint().expandedTo(minimumSize()));
    BDETable.close();
    BDETable.setDatabaseName(source.database);
    BDETable.setTableName(source.table);
    BDETable.open();
}
