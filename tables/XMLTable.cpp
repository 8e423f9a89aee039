#include "XMLTable.h"

#include "TableDataModule.h"

#include "ui/CommandNames.h"
#include "ui/ErrorGuard.h"

#include <QTabWidget>

TXMLTableForm::TXMLTableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("XML Table"), QSize(450, 270), 161)
{
    bindDataSet(DataSet);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TXMLTableForm::~TXMLTableForm() = default;

qvx::ui::DocumentSource TXMLTableForm::document() const
{
    return DataSet.fileName().isEmpty() ? qvx::ui::DocumentSource()
                                        : qvx::ui::DocumentSource::file(DataSet.fileName());
}

void TXMLTableForm::openDocument(const qvx::ui::DocumentSource &source)
{
    DataSet.close();
    DataSet.setFileName(source.path);
    DataSet.open();
}

void TXMLTableForm::commitPendingEdits()
{
    TTableForm::commitPendingEdits();
    // Written before closing, so that a failed write leaves the data set
    // open with its rows.
    DataSet.saveIfChanged();
}

bool TXMLTableForm::FormClose()
{
    commitPendingEdits();
    DataSet.close();
    return true;
}

bool TXMLTableForm::answers(const QString &command) const
{
    return command == qvx::cmd::SelectCells || TTableForm::answers(command);
}

void TXMLTableForm::runCommand(const QString &command)
{
    // Switching between cells and titles takes the focus from the grid here,
    // so that the next formatting command starts from the page.
    if (command == qvx::cmd::SelectCells)
        PageControl->setFocus();
    else
        TTableForm::runCommand(command);
}
