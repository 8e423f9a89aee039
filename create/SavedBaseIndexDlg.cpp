#include "SavedBaseIndexDlg.h"

#include "create/IndexDialogParts.h"
#include "ui/Named.h"
#include "ui/Services.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TSavedBaseIndexFormDlg::TSavedBaseIndexFormDlg(TNewTableIndexHost &host, QWidget *parent)
    : QDialog(parent), m_host(host)
{
    setObjectName(QStringLiteral("SavedBaseIndexFormDlg"));
    setWindowTitle(QStringLiteral("Save Index As ..."));
    setFixedSize(251, 153);

    FileNameLabel
        = named(new QLabel(QStringLiteral("Index File Name:"), this), QStringLiteral("FileNameLabel"));
    EditIndexFileName = named(new QLineEdit(this), QStringLiteral("EditIndexFileName"));
    SaveFileBtn = named(new QPushButton(QStringLiteral(">"), this), QStringLiteral("SaveFileBtn"));
    SaveFileBtn->setFixedWidth(SaveFileBtn->sizeHint().height());
    TagNameLabel = named(new QLabel(QStringLiteral("Index Tag Name:"), this), QStringLiteral("TagNameLabel"));
    EditIndexTagName = named(new QLineEdit(this), QStringLiteral("EditIndexTagName"));
    FileNameLabel->setBuddy(EditIndexFileName);
    TagNameLabel->setBuddy(EditIndexTagName);

    auto *names = new QGridLayout;
    names->addWidget(FileNameLabel, 0, 0, 1, 2);
    names->addWidget(EditIndexFileName, 1, 0);
    names->addWidget(SaveFileBtn, 1, 1);
    names->addWidget(TagNameLabel, 2, 0, 1, 2);
    names->addWidget(EditIndexTagName, 3, 0);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(names);
    layout->addStretch();
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));

    connect(SaveFileBtn, &QPushButton::clicked, this, &TSavedBaseIndexFormDlg::SaveFileBtnClick);
}

void TSavedBaseIndexFormDlg::SetMode(bool tagMode, const QString &name)
{
    QLineEdit *offered = tagMode ? EditIndexTagName : EditIndexFileName;
    QLineEdit *shut = tagMode ? EditIndexFileName : EditIndexTagName;
    offered->setText(name);
    shut->clear();
    SetBoxInUse(offered, true);
    SetBoxInUse(shut, false);
    TagNameLabel->setEnabled(tagMode);
    FileNameLabel->setEnabled(!tagMode);
    SaveFileBtn->setEnabled(!tagMode);
}

bool TSavedBaseIndexFormDlg::Execute(DBIndexList definition)
{
    if (!RunIndexDialog(*this))
        return false;
    definition.Name = EditIndexTagName->text();
    definition.File = EditIndexFileName->text();
    m_host.RecordIndexDefinition(definition);
    return true;
}

void TSavedBaseIndexFormDlg::SaveFileBtnClick()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Save Index File Name");
    request.filter
        = QStringLiteral("NTX Index File (1 KBytes )|*.NTX|NDX Index File (512 Bytes)|*.NDX|All Files|*.*");
    request.fileName = EditIndexFileName->text();
    if (const auto answer = qvx::ui::Services::current().saveFile(this, request))
        EditIndexFileName->setText(answer->fileName);
}
