#include "XMLTable.h"

#include "TableDataModule.h"

#include "ui/ErrorGuard.h"

TXMLTableForm::TXMLTableForm(TableHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("XML Table"), QSize(450, 270), 161)
{
    bindDataSet(DataSet);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TXMLTableForm::~TXMLTableForm() = default;

bool TXMLTableForm::FormClose()
{
    TTableForm::FormClose();
    // Written before closing, so that a failed write leaves the data set
    // open with its rows and the window stays.
    DataSet.saveIfChanged();
    DataSet.close();
    return true;
}
