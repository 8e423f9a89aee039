#include "CreateNewTableDlg.h"

#include "FieldTypeFiles.h"
#include "NewTable.h"

#include "ui/Named.h"
#include "ui/Services.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TCreateNewBDETable::TCreateNewBDETable(TNewTableForm &newTable, QWidget *parent)
    : QDialog(parent), m_newTable(newTable)
{
    setObjectName(QStringLiteral("CreateNewBDETable"));
    setWindowTitle(QStringLiteral("Create New Table"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *row = new QHBoxLayout(this);
    auto *fields = new QGridLayout;
    NameEdit = named(new QLineEdit(QStringLiteral("NewTable")), QStringLiteral("NameEdit"));
    SelectType = named(new QComboBox, QStringLiteral("SelectType"));
    SelectType->setEditable(true);
    SelectType->setInsertPolicy(QComboBox::NoInsert);
    SelectType->addItems(TypeItems());
    SelectType->setCurrentIndex(0);
    auto *nameLabel = new QLabel(QStringLiteral("Name:"));
    nameLabel->setBuddy(NameEdit);
    auto *typeLabel = new QLabel(QStringLiteral("Type:"));
    typeLabel->setBuddy(SelectType);
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(NameEdit, 0, 1);
    fields->addWidget(typeLabel, 1, 0);
    fields->addWidget(SelectType, 1, 1);
    row->addLayout(fields, 1);
    auto *buttons = new QVBoxLayout;
    OKBtn = named(new QPushButton(QStringLiteral("OK")), QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = named(new QPushButton(QStringLiteral("Cancel")), QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    row->addLayout(buttons);
    // The fixed size of the dialog, widened where the font needs it.
    setFixedSize(sizeHint().expandedTo(QSize(321, 80)));
}

QStringList TCreateNewBDETable::TypeItems()
{
    return { QStringLiteral("Paradox"), QStringLiteral("dBase"), QStringLiteral("FoxPro"),
             QStringLiteral("ASCII"), QStringLiteral("XML Table") };
}

QString TCreateNewBDETable::FieldTypeFileName(int item)
{
    switch (item) {
    case 1:
    case 2:
        return QStringLiteral("DBF.txt");
    case 3:
        return QStringLiteral("ASCII.txt");
    case 4:
        return QStringLiteral("XML.txt");
    default:
        return QStringLiteral("Paradox.txt");
    }
}

bool TCreateNewBDETable::Execute(const QString &presetType)
{
    if (!presetType.isEmpty())
        SelectType->setCurrentText(presetType);
    m_newTable.SetNewTableKind(TNewTableForm::ParadoxKind);
    QApplication::restoreOverrideCursor();
    if (qvx::ui::Services::current().runModal(*this) != QDialog::Accepted)
        return false;
    ChosenName = NameEdit->text().isEmpty() ? QStringLiteral("NewTable") : NameEdit->text();
    // A typed text counts as the item it spells exactly; any other as none.
    const int item
        = SelectType->findText(SelectType->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    const QString path = FieldTypeFilePath(FieldTypeFileName(item));
    m_newTable.SetFieldTypes({});
    m_newTable.SetFieldTypes(ReadFieldTypeFile(path));
    m_newTable.NewTableName = ChosenName;
    m_newTable.Execute(item);
    return true;
}
