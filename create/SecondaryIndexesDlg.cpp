#include "SecondaryIndexesDlg.h"

#include "create/FieldMover.h"
#include "create/IndexDialogParts.h"
#include "create/SaveParadoxIndexDlg.h"
#include "ui/Named.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TSecondaryIndexFormDlg::TSecondaryIndexFormDlg(TNewTableIndexHost &host, TSaveParadoxIndexForm &saveDlg,
                                               QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_host(host), m_saveDlg(saveDlg)
{
    setObjectName(QStringLiteral("SecondaryIndexFormDlg"));
    setWindowTitle(QStringLiteral("Define Secondary Index"));
    setFixedSize(340, 265);

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
    Maintained
        = named(new QCheckBox(QStringLiteral("&Maintained"), IndexOptions), QStringLiteral("Maintained"));
    Sensitive
        = named(new QCheckBox(QStringLiteral("&Case sensitive"), IndexOptions), QStringLiteral("Sensitive"));
    Descending
        = named(new QCheckBox(QStringLiteral("De&scending"), IndexOptions), QStringLiteral("Descending"));
    Sensitive->setChecked(true);
    // The right-hand boxes carry their caption on the left.
    Sensitive->setLayoutDirection(Qt::RightToLeft);
    Descending->setLayoutDirection(Qt::RightToLeft);
    auto *options = new QGridLayout(IndexOptions);
    options->addWidget(Unique, 0, 0);
    options->addWidget(Sensitive, 0, 1, Qt::AlignRight);
    options->addWidget(Maintained, 1, 0);
    options->addWidget(Descending, 1, 1, Qt::AlignRight);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FieldMover, 1);
    layout->addWidget(IndexOptions);
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));

    connect(Unique, &QCheckBox::toggled, this, &TSecondaryIndexFormDlg::UniqueClick);
    connect(Maintained, &QCheckBox::toggled, this, &TSecondaryIndexFormDlg::MaintainedClick);
}

bool TSecondaryIndexFormDlg::Execute()
{
    Options = {};
    FieldMover->Reset(m_host.FieldNames());
    if (!RunIndexDialog(*this))
        return false;
    if (Unique->isChecked())
        Options |= qvx::IndexDef::Unique;
    if (!Maintained->isChecked())
        Options |= qvx::IndexDef::NonMaintained;
    if (!Sensitive->isChecked())
        Options |= qvx::IndexDef::CaseInsensitive;
    if (Descending->isChecked())
        Options |= qvx::IndexDef::Descending;
    DBIndexList definition;
    definition.Fields = FieldMover->IndexedFields().join(u';');
    definition.Options = Options;
    m_saveDlg.Execute(definition);
    return true;
}

void TSecondaryIndexFormDlg::UniqueClick()
{
    Maintained->setEnabled(!Unique->isChecked());
}

void TSecondaryIndexFormDlg::MaintainedClick()
{
    Unique->setEnabled(!Maintained->isChecked());
}
