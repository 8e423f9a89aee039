#include "StandardTable.h"

#include "TableDataModule.h"

#include "ui/ErrorGuard.h"

TBDETableForm::TBDETableForm(TableHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("Standard Table"), QSize(450, 284), 193)
{
    BDETable.setSession(&tableData.Session);
    bindDataSet(BDETable);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TBDETableForm::~TBDETableForm() = default;
