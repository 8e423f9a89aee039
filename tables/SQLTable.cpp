#include "SQLTable.h"

#include "TableDataModule.h"

#include "ui/ErrorGuard.h"

TSQLTableForm::TSQLTableForm(TableHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("SQL Table"), QSize(453, 295), 161)
{
    Query.setSession(&tableData.Session);
    bindDataSet(Query);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TSQLTableForm::~TSQLTableForm() = default;
