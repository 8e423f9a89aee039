#include "SaveParadoxIndexDlg.h"

#include "create/IndexDialogParts.h"
#include "ui/Named.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TSaveParadoxIndexForm::TSaveParadoxIndexForm(TNewTableIndexHost &host, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_host(host)
{
    setObjectName(QStringLiteral("SaveParadoxIndexForm"));
    setWindowTitle(QStringLiteral("Save Index As ..."));
    resize(258, 133);

    IndexNameLabel = named(new QLabel(QStringLiteral("Index name:"), this), QStringLiteral("IndexNameLabel"));
    EditIndexName = named(new QLineEdit(this), QStringLiteral("EditIndexName"));
    IndexNameLabel->setBuddy(EditIndexName);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(IndexNameLabel);
    layout->addWidget(EditIndexName);
    layout->addStretch();
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));
}

bool TSaveParadoxIndexForm::Execute(DBIndexList definition)
{
    if (!RunIndexDialog(*this))
        return false;
    definition.Name = EditIndexName->text();
    m_host.RecordIndexDefinition(definition);
    return true;
}
