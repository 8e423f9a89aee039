#include "FieldsIndexDlg.h"

#include "create/FieldMover.h"
#include "create/IndexDialogParts.h"
#include "ui/Named.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

using qvx::ui::named;

TFieldsIndexDlg::TFieldsIndexDlg(TNewTableIndexHost &host, const QString &objectName, const QString &caption,
                                 Qt::WindowFlags flags, QWidget *parent)
    : QDialog(parent, flags), m_host(host)
{
    setObjectName(objectName);
    setWindowTitle(caption);

    FieldMover = new TFieldMover(this);
    SrcList = FieldMover->SrcList;
    DstList = FieldMover->DstList;
    IncludeBtn = FieldMover->IncludeBtn;
    IncAllBtn = FieldMover->IncAllBtn;
    ExcludeBtn = FieldMover->ExcludeBtn;
    ExAllBtn = FieldMover->ExAllBtn;

    IndexOptions
        = named(new QGroupBox(QStringLiteral(" Index Options "), this), QStringLiteral("IndexOptions"));
    Unique = named(new QCheckBox(QStringLiteral("U&nique"), IndexOptions), QStringLiteral("Unique"));
    Sensitive
        = named(new QCheckBox(QStringLiteral("&Case sensitive"), IndexOptions), QStringLiteral("Sensitive"));
    Descending
        = named(new QCheckBox(QStringLiteral("De&scending"), IndexOptions), QStringLiteral("Descending"));
    OptionsGrid = new QGridLayout(IndexOptions);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FieldMover, 1);
    layout->addWidget(IndexOptions);
    layout->addLayout(OkCancelRow(*this, OKBtn, CancelBtn));
}

std::optional<DBIndexList> TFieldsIndexDlg::ShowForFields()
{
    Options = {};
    FieldMover->Reset(m_host.FieldNames());
    if (!RunIndexDialog(*this))
        return std::nullopt;
    DBIndexList definition;
    definition.Fields = FieldMover->IndexedFields().join(u';');
    return definition;
}
