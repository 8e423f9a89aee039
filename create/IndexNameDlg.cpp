#include "IndexNameDlg.h"

#include "create/IndexDialogParts.h"
#include "ui/Named.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TIndexNameDlg::TIndexNameDlg(TNewTableIndexHost &host, const QString &objectName, const QString &caption,
                             QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_host(host)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    IndexNameLabel = named(new QLabel(QStringLiteral("Index name:"), this), QStringLiteral("IndexNameLabel"));
    EditIndexName = named(new QLineEdit(this), QStringLiteral("EditIndexName"));
    IndexNameLabel->setBuddy(EditIndexName);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(IndexNameLabel);
    layout->addWidget(EditIndexName);
    layout->addStretch();
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));
}

bool TIndexNameDlg::Confirm(DBIndexList definition)
{
    if (!RunIndexDialog(*this))
        return false;
    definition.Name = EditIndexName->text();
    m_host.RecordIndexDefinition(definition);
    return true;
}
