#include "IndexDialogParts.h"

#include "ui/Named.h"
#include "ui/Services.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPalette>
#include <QPushButton>

using qvx::ui::named;

bool RunIndexDialog(QDialog &dialog)
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    return qvx::ui::Services::current().runModal(dialog) == QDialog::Accepted;
}

QHBoxLayout *OkCancelRow(QDialog &dialog, QPushButton *&OKBtn, QPushButton *&CancelBtn)
{
    OKBtn = named(new QPushButton(QStringLiteral("OK"), &dialog), QStringLiteral("OKBtn"));
    CancelBtn = named(new QPushButton(QStringLiteral("Cancel"), &dialog), QStringLiteral("CancelBtn"));
    OKBtn->setDefault(true);
    QObject::connect(OKBtn, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(CancelBtn, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(OKBtn);
    row->addWidget(CancelBtn);
    return row;
}

void SetBoxInUse(QWidget *box, bool inUse)
{
    box->setEnabled(inUse);
    // Taken from the application's palette, not the box's own, which holds
    // the colour set last time.
    const QPalette standard = QApplication::palette(box);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, standard.color(inUse ? QPalette::Base : QPalette::Button));
    box->setPalette(palette);
}
