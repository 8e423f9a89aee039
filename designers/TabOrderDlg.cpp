#include "TabOrderDlg.h"

#include "ui/Named.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using qvx::ui::named;

TTabOrderDlg::TTabOrderDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TabOrderDlg"));
    setWindowTitle(tr("Tab Order"));

    ControlList = named(new QListWidget(this), QStringLiteral("ControlList"));
    UpBtn = named(new QPushButton(tr("&Up"), this), QStringLiteral("UpBtn"));
    DownBtn = named(new QPushButton(tr("&Down"), this), QStringLiteral("DownBtn"));
    OKBtn = named(new QPushButton(tr("OK"), this), QStringLiteral("OKBtn"));
    CancelBtn = named(new QPushButton(tr("Cancel"), this), QStringLiteral("CancelBtn"));
    OKBtn->setDefault(true);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(UpBtn);
    buttons->addWidget(DownBtn);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(ControlList);
    layout->addLayout(buttons);

    connect(UpBtn, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    connect(DownBtn, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TTabOrderDlg::SetRecords(const std::vector<smControls> &records)
{
    ControlList->clear();
    for (const smControls &record : records) {
        auto *item = new QListWidgetItem(QStringLiteral("%1 (%2)").arg(record.Caption, record.Kind));
        item->setData(Qt::UserRole, record.ControlIndex);
        ControlList->addItem(item);
    }
    if (ControlList->count() > 0)
        ControlList->setCurrentRow(0);
}

QList<int> TTabOrderDlg::Order() const
{
    QList<int> order;
    for (int row = 0; row < ControlList->count(); ++row)
        order << ControlList->item(row)->data(Qt::UserRole).toInt();
    return order;
}

void TTabOrderDlg::MoveCurrent(int step)
{
    const int row = ControlList->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= ControlList->count())
        return;
    QListWidgetItem *item = ControlList->takeItem(row);
    ControlList->insertItem(target, item);
    ControlList->setCurrentRow(target);
}
