#include "FoxProIndexesDlg.h"

#include "create/FieldMover.h"
#include "create/IndexDialogParts.h"
#include "create/SaveFoxProIndexDlg.h"
#include "ui/Named.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TFoxProIndexFormDlg::TFoxProIndexFormDlg(TNewTableIndexHost &host, TSaveFoxProIndexFormDlg &saveDlg,
                                         QWidget *parent)
    : QDialog(parent), m_host(host), m_saveDlg(saveDlg)
{
    setObjectName(QStringLiteral("FoxProIndexFormDlg"));
    setWindowTitle(QStringLiteral("Define Index"));
    setFixedSize(345, 249);

    FieldMover = new TFieldMover(this);
    SrcList = FieldMover->SrcList;
    DstList = FieldMover->DstList;
    IncludeBtn = FieldMover->IncludeBtn;
    IncAllBtn = FieldMover->IncAllBtn;
    ExcludeBtn = FieldMover->ExcludeBtn;
    ExAllBtn = FieldMover->ExAllBtn;

    IndexOptions
        = named(new QGroupBox(QStringLiteral(" Index Options "), this), QStringLiteral("IndexOptions"));
    Unique = named(new QCheckBox(QStringLiteral("U&nique"), IndexOptions), QStringLiteral("Unique"));
    Sensitive
        = named(new QCheckBox(QStringLiteral("&Case sensitive"), IndexOptions), QStringLiteral("Sensitive"));
    Descending
        = named(new QCheckBox(QStringLiteral("De&scending"), IndexOptions), QStringLiteral("Descending"));
    Sensitive->setEnabled(false);
    Descending->setEnabled(false);
    auto *options = new QGridLayout(IndexOptions);
    options->addWidget(Unique, 0, 0);
    options->addWidget(Sensitive, 0, 1);
    options->addWidget(Descending, 0, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FieldMover, 1);
    layout->addWidget(IndexOptions);
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));
}

bool TFoxProIndexFormDlg::Execute()
{
    Options = {};
    FieldMover->Reset(m_host.FieldNames());
    if (!RunIndexDialog(*this))
        return false;
    if (Unique->isChecked())
        Options |= qvx::IndexDef::Unique;
    DBIndexList definition;
    definition.Fields = FieldMover->IndexedFields().join(u';');
    definition.Options = Options;
    m_saveDlg.Execute(definition);
    return true;
}
