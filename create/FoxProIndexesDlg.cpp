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
    : TFieldsIndexDlg(host, QStringLiteral("FoxProIndexFormDlg"), QStringLiteral("Define Index"), {}, parent),
      m_saveDlg(saveDlg)
{
    setFixedSize(345, 249);
    Sensitive->setEnabled(false);
    Descending->setEnabled(false);
    OptionsGrid->addWidget(Unique, 0, 0);
    OptionsGrid->addWidget(Sensitive, 0, 1);
    OptionsGrid->addWidget(Descending, 0, 2);
}

bool TFoxProIndexFormDlg::Execute()
{
    std::optional<DBIndexList> definition = ShowForFields();
    if (!definition)
        return false;
    if (Unique->isChecked())
        Options |= qvx::IndexDef::Unique;
    definition->Options = Options;
    m_saveDlg.Execute(*definition);
    return true;
}
