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
    : TFieldsIndexDlg(host, QStringLiteral("SecondaryIndexFormDlg"), QStringLiteral("Define Secondary Index"),
                      Qt::Dialog | Qt::WindowStaysOnTopHint, parent),
      m_saveDlg(saveDlg)
{
    setFixedSize(340, 265);
    Maintained
        = named(new QCheckBox(QStringLiteral("&Maintained"), IndexOptions), QStringLiteral("Maintained"));
    Sensitive->setChecked(true);
    // The right-hand boxes carry their caption on the left.
    Sensitive->setLayoutDirection(Qt::RightToLeft);
    Descending->setLayoutDirection(Qt::RightToLeft);
    OptionsGrid->addWidget(Unique, 0, 0);
    OptionsGrid->addWidget(Sensitive, 0, 1, Qt::AlignRight);
    OptionsGrid->addWidget(Maintained, 1, 0);
    OptionsGrid->addWidget(Descending, 1, 1, Qt::AlignRight);
    setTabOrder(Unique, Maintained);
    setTabOrder(Maintained, Sensitive);

    connect(Unique, &QCheckBox::toggled, this, &TSecondaryIndexFormDlg::UniqueClick);
    connect(Maintained, &QCheckBox::toggled, this, &TSecondaryIndexFormDlg::MaintainedClick);
}

bool TSecondaryIndexFormDlg::Execute()
{
    std::optional<DBIndexList> definition = ShowForFields();
    if (!definition)
        return false;
    if (Unique->isChecked())
        Options |= qvx::IndexDef::Unique;
    if (!Maintained->isChecked())
        Options |= qvx::IndexDef::NonMaintained;
    if (!Sensitive->isChecked())
        Options |= qvx::IndexDef::CaseInsensitive;
    if (Descending->isChecked())
        Options |= qvx::IndexDef::Descending;
    definition->Options = Options;
    m_saveDlg.Execute(*definition);
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
