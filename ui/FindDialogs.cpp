#include "FindDialogs.h"

#include "ui/Named.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using qvx::ui::named;

namespace {

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

TFindDialog::TFindDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Find"));
    FindEdit = named(new QLineEdit(this), QStringLiteral("FindEdit"));
    WholeWordBox = named(new QCheckBox(QStringLiteral("Match &whole word only"), this),
                         QStringLiteral("WholeWordBox"));
    MatchCaseBox = named(new QCheckBox(QStringLiteral("Match &case"), this), QStringLiteral("MatchCaseBox"));
    auto *direction = new QGroupBox(QStringLiteral("Direction"), this);
    UpButton = named(new QRadioButton(QStringLiteral("&Up"), direction), QStringLiteral("UpButton"));
    DownButton = named(new QRadioButton(QStringLiteral("&Down"), direction), QStringLiteral("DownButton"));
    DownButton->setChecked(true);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(UpButton);
    directionLayout->addWidget(DownButton);
    FindNextButton = button(this, QStringLiteral("FindNextButton"), QStringLiteral("&Find Next"));
    CancelButton = button(this, QStringLiteral("CancelButton"), QStringLiteral("Cancel"));
    FindNextButton->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Fi&nd what:"), FindEdit);
    auto *options = new QHBoxLayout;
    auto *checks = new QVBoxLayout;
    checks->addWidget(WholeWordBox);
    checks->addWidget(MatchCaseBox);
    options->addLayout(checks);
    options->addWidget(direction);
    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(options);
    auto *right = new QVBoxLayout;
    right->addWidget(FindNextButton);
    right->addWidget(CancelButton);
    right->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right);

    connect(FindNextButton, &QPushButton::clicked, this, &TFindDialog::find);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(FindEdit, &QLineEdit::textChanged, this,
            [this](const QString &text) { FindNextButton->setEnabled(!text.isEmpty()); });
    FindNextButton->setEnabled(false);
}

QString TFindDialog::findText() const
{
    return FindEdit->text();
}

qvx::ui::FindOptions TFindDialog::options() const
{
    return { MatchCaseBox->isChecked(), WholeWordBox->isChecked(), DownButton->isChecked() };
}

TReplaceDialog::TReplaceDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReplaceDialog"));
    setWindowTitle(QStringLiteral("Replace"));
    FindEdit = named(new QLineEdit(this), QStringLiteral("FindEdit"));
    ReplaceEdit = named(new QLineEdit(this), QStringLiteral("ReplaceEdit"));
    WholeWordBox = named(new QCheckBox(QStringLiteral("Match &whole word only"), this),
                         QStringLiteral("WholeWordBox"));
    MatchCaseBox = named(new QCheckBox(QStringLiteral("Match &case"), this), QStringLiteral("MatchCaseBox"));
    FindNextButton = button(this, QStringLiteral("FindNextButton"), QStringLiteral("&Find Next"));
    ReplaceButton = button(this, QStringLiteral("ReplaceButton"), QStringLiteral("&Replace"));
    ReplaceAllButton = button(this, QStringLiteral("ReplaceAllButton"), QStringLiteral("Replace &All"));
    CancelButton = button(this, QStringLiteral("CancelButton"), QStringLiteral("Cancel"));
    FindNextButton->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Fi&nd what:"), FindEdit);
    form->addRow(QStringLiteral("Re&place with:"), ReplaceEdit);
    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(WholeWordBox);
    left->addWidget(MatchCaseBox);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(FindNextButton);
    right->addWidget(ReplaceButton);
    right->addWidget(ReplaceAllButton);
    right->addWidget(CancelButton);
    right->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right);

    connect(FindNextButton, &QPushButton::clicked, this, &TReplaceDialog::find);
    connect(ReplaceButton, &QPushButton::clicked, this, &TReplaceDialog::replace);
    connect(ReplaceAllButton, &QPushButton::clicked, this, &TReplaceDialog::replaceAll);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::hide);
    const auto enable = [this](const QString &text) {
        for (QPushButton *b : { FindNextButton, ReplaceButton, ReplaceAllButton })
            b->setEnabled(!text.isEmpty());
    };
    connect(FindEdit, &QLineEdit::textChanged, this, enable);
    enable(QString());
}

QString TReplaceDialog::findText() const
{
    return FindEdit->text();
}

QString TReplaceDialog::replaceText() const
{
    return ReplaceEdit->text();
}

qvx::ui::FindOptions TReplaceDialog::options() const
{
    return { MatchCaseBox->isChecked(), WholeWordBox->isChecked(), true };
}
