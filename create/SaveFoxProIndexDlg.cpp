#include "SaveFoxProIndexDlg.h"

#include "create/IndexDialogParts.h"
#include "ui/Named.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TSaveFoxProIndexFormDlg::TSaveFoxProIndexFormDlg(TNewTableIndexHost &host, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_host(host)
{
    setObjectName(QStringLiteral("SaveFoxProIndexFormDlg"));
    setWindowTitle(QStringLiteral("Save Index As..."));
    setFixedSize(249, 97);

    IndexNameLabel = named(new QLabel(QStringLiteral("Index name:"), this), QStringLiteral("IndexNameLabel"));
    EditIndexName = named(new QLineEdit(this), QStringLiteral("EditIndexName"));
    IndexNameLabel->setBuddy(EditIndexName);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(IndexNameLabel);
    layout->addWidget(EditIndexName);
    layout->addStretch();
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));
}

bool TSaveFoxProIndexFormDlg::Execute(DBIndexList definition)
{
    EditIndexName->setText(QStringLiteral("<Table>_"));
    if (!RunIndexDialog(*this))
        return false;
    definition.Name = EditIndexName->text();
    m_host.RecordIndexDefinition(definition);
    return true;
}
