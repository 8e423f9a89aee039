#include "dBaseIndexesDlg.h"

#include "create/FieldMover.h"
#include "create/IndexDialogParts.h"
#include "create/SavedBaseIndexDlg.h"
#include "ui/Named.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

namespace {

const QString expressionCaption = QStringLiteral("E&xpression Index");
const QString fieldCaption = QStringLiteral("I&ndex Field");

} // namespace

TdBaseIndexFormDlg::TdBaseIndexFormDlg(TNewTableIndexHost &host, TSavedBaseIndexFormDlg &saveDlg,
                                       QWidget *parent)
    : QDialog(parent), m_host(host), m_saveDlg(saveDlg)
{
    setObjectName(QStringLiteral("dBaseIndexFormDlg"));
    setWindowTitle(QStringLiteral("Create Index"));
    setFixedSize(344, 271);

    FieldListLabel = named(new QLabel(QStringLiteral("Field List:"), this), QStringLiteral("FieldListLabel"));
    SrcList = named(new QListWidget(this), QStringLiteral("SrcList"));
    SrcList->setSelectionMode(QAbstractItemView::SingleSelection);
    SrcList->setSortingEnabled(true);
    IncludeBtn = named(new QPushButton(QStringLiteral(">"), this), QStringLiteral("IncludeBtn"));
    ClearBtn = named(new QPushButton(QStringLiteral("<"), this), QStringLiteral("ClearBtn"));
    ClearBtn->setEnabled(false);
    IndexedFieldLabel
        = named(new QLabel(QStringLiteral("Indexed Field:"), this), QStringLiteral("IndexedFieldLabel"));
    EditIndexName = named(new QLineEdit(this), QStringLiteral("EditIndexName"));
    EditIndexName->setReadOnly(true);
    Unique = named(new QCheckBox(QStringLiteral("Unique"), this), QStringLiteral("Unique"));
    Maintained = named(new QCheckBox(QStringLiteral("Maintained"), this), QStringLiteral("Maintained"));
    Descending = named(new QCheckBox(QStringLiteral("Descending"), this), QStringLiteral("Descending"));
    Descending->setEnabled(false);
    ExpressionIndexBtn
        = named(new QPushButton(expressionCaption, this), QStringLiteral("ExpressionIndexBtn"));
    ExpressionLabel
        = named(new QLabel(QStringLiteral("Expression Index:"), this), QStringLiteral("ExpressionLabel"));
    EditExpressionIndex = named(new QLineEdit(this), QStringLiteral("EditExpressionIndex"));
    SubsetLabel = named(new QLabel(QStringLiteral("Subset condition (filter) expression:"), this),
                        QStringLiteral("SubsetLabel"));
    EditSubset = named(new QLineEdit(this), QStringLiteral("EditSubset"));
    ExpressionLabel->setEnabled(false);
    SetBoxInUse(EditExpressionIndex, false);
    SubsetLabel->setEnabled(false);
    SetBoxInUse(EditSubset, false);

    auto *moveButtons = new QVBoxLayout;
    moveButtons->addStretch();
    moveButtons->addWidget(IncludeBtn);
    moveButtons->addWidget(ClearBtn);
    moveButtons->addStretch();
    auto *indexed = new QVBoxLayout;
    indexed->addWidget(IndexedFieldLabel);
    indexed->addWidget(EditIndexName);
    for (QWidget *w : { static_cast<QWidget *>(Unique), static_cast<QWidget *>(Maintained),
                        static_cast<QWidget *>(Descending), static_cast<QWidget *>(ExpressionIndexBtn) })
        indexed->addWidget(w);
    indexed->addStretch();
    auto *top = new QGridLayout;
    top->addWidget(FieldListLabel, 0, 0);
    top->addWidget(SrcList, 1, 0);
    top->addLayout(moveButtons, 1, 1);
    top->addLayout(indexed, 0, 2, 2, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(ExpressionLabel);
    layout->addWidget(EditExpressionIndex);
    layout->addWidget(SubsetLabel);
    layout->addWidget(EditSubset);
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));
    OKBtn->setEnabled(false);

    connect(IncludeBtn, &QPushButton::clicked, this, &TdBaseIndexFormDlg::IncludeBtnClick);
    connect(ClearBtn, &QPushButton::clicked, this, &TdBaseIndexFormDlg::ClearBtnClick);
    connect(Descending, &QCheckBox::toggled, this, &TdBaseIndexFormDlg::DescendingClick);
    connect(Maintained, &QCheckBox::toggled, this, &TdBaseIndexFormDlg::MaintainedClick);
    connect(ExpressionIndexBtn, &QPushButton::clicked, this, &TdBaseIndexFormDlg::ExpressionIndexBtnClick);
}

bool TdBaseIndexFormDlg::Execute()
{
    Options = {};
    SrcList->clear();
    for (const QString &name : m_host.FieldNames())
        AddFieldName(SrcList, name);
    if (!RunIndexDialog(*this))
        return false;

    m_saveDlg.SetMode(Descending->isChecked() || Maintained->isChecked(), EditIndexName->text());
    if (Unique->isChecked())
        Options |= qvx::IndexDef::Unique;
    if (!Maintained->isChecked())
        Options |= qvx::IndexDef::NonMaintained;
    if (Descending->isChecked())
        Options |= qvx::IndexDef::Descending;
    // An expression typed and then switched off still counts.
    if (!EditExpressionIndex->text().isEmpty())
        Options |= qvx::IndexDef::Expression;

    DBIndexList definition;
    definition.Fields = selectedField();
    definition.Options = Options;
    if (Options.testFlag(qvx::IndexDef::Expression))
        definition.Expression = EditExpressionIndex->text();
    definition.Filter = EditSubset->text();
    m_saveDlg.Execute(definition);
    return true;
}

QString TdBaseIndexFormDlg::selectedField() const
{
    const QList<QListWidgetItem *> selected = SrcList->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QString TdBaseIndexFormDlg::GetSelectedFieldName()
{
    OKBtn->setEnabled(!SrcList->selectedItems().isEmpty());
    return selectedField();
}

void TdBaseIndexFormDlg::IncludeBtnClick()
{
    EditIndexName->setText(GetSelectedFieldName());
    if (!EditIndexName->text().isEmpty())
        ClearBtn->setEnabled(true);
}

void TdBaseIndexFormDlg::ClearBtnClick()
{
    EditIndexName->clear();
    ClearBtn->setEnabled(false);
}

void TdBaseIndexFormDlg::DescendingClick()
{
    if (Descending->isChecked()) {
        Maintained->setChecked(false);
        Maintained->setEnabled(false);
    } else {
        Maintained->setEnabled(true);
    }
    UpdateSubsetState();
}

void TdBaseIndexFormDlg::MaintainedClick()
{
    if (Maintained->isChecked()) {
        Descending->setChecked(false);
        Descending->setEnabled(false);
    } else {
        Descending->setEnabled(true);
    }
    UpdateSubsetState();
}

void TdBaseIndexFormDlg::UpdateSubsetState()
{
    const bool inUse = Descending->isChecked() || Maintained->isChecked();
    SubsetLabel->setEnabled(inUse);
    SetBoxInUse(EditSubset, inUse);
}

void TdBaseIndexFormDlg::ExpressionIndexBtnClick()
{
    const bool toExpression = ExpressionIndexBtn->text() == expressionCaption;
    ExpressionIndexBtn->setText(toExpression ? fieldCaption : expressionCaption);
    ExpressionLabel->setEnabled(toExpression);
    SetBoxInUse(EditExpressionIndex, toExpression);
}
