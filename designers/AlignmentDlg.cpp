#include "AlignmentDlg.h"

#include "DialogParts.h"

#include "ui/Named.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TAlignmentFormDlg::TAlignmentFormDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AlignmentFormDlg"));
    setWindowTitle(QStringLiteral("Alignment"));

    HorizontalGroup = qvx::designers::radioGroup(*this, QStringLiteral(" Horizontal "),
                                                 { QStringLiteral("No Change"), QStringLiteral("Left Sides"),
                                                   QStringLiteral("Centers"), QStringLiteral("Right Sides") },
                                                 QStringLiteral("HorizontalGroup"), HorizontalChoice,
                                                 QStringLiteral("HorizontalChoice"));
    VerticalGroup = qvx::designers::radioGroup(*this, QStringLiteral(" Vertical "),
                                               { QStringLiteral("No Change"), QStringLiteral("Tops"),
                                                 QStringLiteral("Centers"), QStringLiteral("Bottoms") },
                                               QStringLiteral("VerticalGroup"), VerticalChoice,
                                               QStringLiteral("VerticalChoice"));

    LeftEdit = named(new QLineEdit, QStringLiteral("LeftEdit"));
    qvx::designers::fitNumberBox(LeftEdit);
    TopEdit = named(new QLineEdit, QStringLiteral("TopEdit"));
    qvx::designers::fitNumberBox(TopEdit);
    auto *leftLabel = new QLabel(QStringLiteral("Left:"));
    leftLabel->setBuddy(LeftEdit);
    auto *topLabel = new QLabel(QStringLiteral("Top:"));
    topLabel->setBuddy(TopEdit);
    // Enter in either box takes the dialog's values, as OK does.
    qvx::designers::onEnterKey(LeftEdit, [this] { accept(); });
    qvx::designers::onEnterKey(TopEdit, [this] { accept(); });

    qvx::designers::layOutBoxesAndGroups(*this, leftLabel, LeftEdit, topLabel, TopEdit, HorizontalGroup,
                                         VerticalGroup, OKBtn, CancelBtn);

    ClearChoices();
    setFixedSize(sizeHint());
}

void TAlignmentFormDlg::ClearChoices()
{
    LeftEdit->setText(QStringLiteral("0"));
    TopEdit->setText(QStringLiteral("0"));
    HorizontalChoice->button(0)->setChecked(true);
    VerticalChoice->button(0)->setChecked(true);
}

bool TAlignmentFormDlg::Execute()
{
    if (qvx::designers::runDialog(*this) != QDialog::Accepted)
        return false;
    // Each value is stored as it converts: a box that holds no integer
    // leaves it and everything after it as it was.
    Left = qvx::designers::integerOf(LeftEdit->text());
    Top = qvx::designers::integerOf(TopEdit->text());
    Horizontal = HorizontalChoice->checkedId();
    Vertical = VerticalChoice->checkedId();
    return true;
}
