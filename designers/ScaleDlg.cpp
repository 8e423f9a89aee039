#include "ScaleDlg.h"

#include "DialogParts.h"

#include "ui/Named.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QVBoxLayout>

using qvx::ui::named;

namespace {

// A spin box that shows only its arrows: the number it steps is shown (and
// typed) in the text box beside it.
class UpDownArrows : public QSpinBox {
public:
    UpDownArrows()
    {
        lineEdit()->hide();
        setFocusPolicy(Qt::NoFocus);
    }

    QSize sizeHint() const override
    {
        const QSize full = QSpinBox::sizeHint();
        QStyleOptionSpinBox option;
        initStyleOption(&option);
        option.rect = QRect(QPoint(0, 0), full);
        const QRect arrows = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, this);
        const int frame = style()->pixelMetric(QStyle::PM_SpinBoxFrameWidth, &option, this);
        return QSize(full.width() - arrows.left() + frame, full.height());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace

TScaleFormDlg::TScaleFormDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ScaleFormDlg"));
    setWindowTitle(QStringLiteral("Scaling"));

    ScaleEdit = named(new QLineEdit(QStringLiteral("100")), QStringLiteral("ScaleEdit"));
    qvx::designers::fitNumberBox(ScaleEdit);
    UpDown1 = named(new UpDownArrows, QStringLiteral("UpDown1"));
    UpDown1->setRange(0, 200);
    UpDown1->setSingleStep(10);
    UpDown1->setValue(100);
    auto *factorLabel = new QLabel(QStringLiteral("Scaling factor:"));
    factorLabel->setBuddy(ScaleEdit);

    // The arrows write their position into the box; a number typed in the
    // box within their range moves them, so the next step starts from it.
    connect(UpDown1, &QSpinBox::valueChanged, this,
            [this](int value) { ScaleEdit->setText(QString::number(value)); });
    connect(ScaleEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        if (ok && value >= UpDown1->minimum() && value <= UpDown1->maximum()) {
            const QSignalBlocker quiet(UpDown1);
            UpDown1->setValue(value);
        }
    });

    ScaleBtn = named(new QPushButton(QStringLiteral("&Do scale")), QStringLiteral("ScaleBtn"));
    ScaleBtn->setDefault(true);
    RestoreBtn = named(new QPushButton(QStringLiteral("&Restore")), QStringLiteral("RestoreBtn"));
    connect(ScaleBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(RestoreBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *spin = new QHBoxLayout;
    spin->setSpacing(0);
    spin->addWidget(ScaleEdit);
    spin->addWidget(UpDown1);
    auto *factor = new QHBoxLayout;
    factor->addWidget(factorLabel);
    factor->addLayout(spin);
    factor->addWidget(new QLabel(QStringLiteral("%")));
    factor->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ScaleBtn);
    buttons->addWidget(RestoreBtn);
    auto *column = new QVBoxLayout(this);
    column->addLayout(factor);
    column->addLayout(buttons);

    setFixedSize(sizeHint());
}

bool TScaleFormDlg::Execute()
{
    Factor = 100;
    if (qvx::designers::runDialog(*this) != QDialog::Accepted)
        return false;
    Factor = qvx::designers::integerOf(ScaleEdit->text());
    return true;
}
