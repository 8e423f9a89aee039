#include "SizeDlg.h"

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

TSizeFormDlg::TSizeFormDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SizeFormDlg"));
    setWindowTitle(QStringLiteral("Size"));

    const QStringList items { QStringLiteral("No Change"), QStringLiteral("Shrink to smales"),
                              QStringLiteral("Grow to largest") };
    HorizontalGroup = qvx::designers::radioGroup(*this, QStringLiteral(" Horizontal "), items,
                                                 QStringLiteral("HorizontalGroup"), HorizontalChoice,
                                                 QStringLiteral("HorizontalChoice"));
    VerticalGroup = qvx::designers::radioGroup(*this, QStringLiteral(" Vertical "), items,
                                               QStringLiteral("VerticalGroup"), VerticalChoice,
                                               QStringLiteral("VerticalChoice"));

    WidthEdit = named(new QLineEdit, QStringLiteral("WidthEdit"));
    qvx::designers::fitNumberBox(WidthEdit);
    HeightEdit = named(new QLineEdit, QStringLiteral("HeightEdit"));
    qvx::designers::fitNumberBox(HeightEdit);
    auto *widthLabel = new QLabel(QStringLiteral("Width:"));
    widthLabel->setBuddy(WidthEdit);
    auto *heightLabel = new QLabel(QStringLiteral("Height:"));
    heightLabel->setBuddy(HeightEdit);
    // Enter in the width box takes the dialog's values, as OK does; in the
    // height box it does nothing (nor does it reach the default button).
    qvx::designers::onEnterKey(WidthEdit, [this] { accept(); });
    qvx::designers::onEnterKey(HeightEdit, {});

    qvx::designers::layOutBoxesAndGroups(*this, widthLabel, WidthEdit, heightLabel, HeightEdit,
                                         HorizontalGroup, VerticalGroup, OKBtn, CancelBtn);

    ClearChoices();
    setFixedSize(sizeHint());
}

void TSizeFormDlg::ClearChoices()
{
    SizeWidth = 0;
    SizeHeight = 0;
    WidthEdit->setText(QStringLiteral("0"));
    HeightEdit->setText(QStringLiteral("0"));
    HorizontalChoice->button(0)->setChecked(true);
    VerticalChoice->button(0)->setChecked(true);
}

bool TSizeFormDlg::Execute()
{
    if (qvx::designers::runDialog(*this) != QDialog::Accepted)
        return false;
    // Each value is stored as it converts: a box that holds no integer
    // leaves it and everything after it as it was.
    SizeWidth = qvx::designers::integerOf(WidthEdit->text());
    SizeHeight = qvx::designers::integerOf(HeightEdit->text());
    Horizontal = HorizontalChoice->checkedId();
    Vertical = VerticalChoice->checkedId();
    return true;
}
