#include "FieldMover.h"

#include "ui/Named.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using qvx::ui::named;

namespace {

// A list entry that sorts by its text without regard to letter case, and by
// case only between names that differ in nothing else.
class FieldNameItem : public QListWidgetItem {
public:
    explicit FieldNameItem(const QString &name) : QListWidgetItem(name) { }
    bool operator<(const QListWidgetItem &other) const override
    {
        const int order = text().compare(other.text(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : text() < other.text();
    }
};

QPushButton *moveButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = named(new QPushButton(caption, parent), name);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

void AddFieldName(QListWidget *list, const QString &name)
{
    list->addItem(new FieldNameItem(name));
}

TFieldMover::TFieldMover(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FieldMover"));
    SrcLabel = named(new QLabel(QStringLiteral("Fields:"), this), QStringLiteral("SrcLabel"));
    SrcList = named(new QListWidget(this), QStringLiteral("SrcList"));
    SrcList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    SrcList->setSortingEnabled(true);
    IncludeBtn = moveButton(this, QStringLiteral("IncludeBtn"), QStringLiteral(">"));
    IncAllBtn = moveButton(this, QStringLiteral("IncAllBtn"), QStringLiteral(">>"));
    ExcludeBtn = moveButton(this, QStringLiteral("ExcludeBtn"), QStringLiteral("<"));
    ExAllBtn = moveButton(this, QStringLiteral("ExAllBtn"), QStringLiteral("<<"));
    DstLabel = named(new QLabel(QStringLiteral("Indexed fields:"), this), QStringLiteral("DstLabel"));
    DstList = named(new QListWidget(this), QStringLiteral("DstList"));
    DstList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ExcludeBtn->setEnabled(false);
    ExAllBtn->setEnabled(false);

    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton *button : { IncludeBtn, IncAllBtn, ExcludeBtn, ExAllBtn })
        buttons->addWidget(button);
    buttons->addStretch();
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SrcLabel, 0, 0);
    layout->addWidget(DstLabel, 0, 2);
    layout->addWidget(SrcList, 1, 0);
    layout->addLayout(buttons, 1, 1);
    layout->addWidget(DstList, 1, 2);

    connect(IncludeBtn, &QPushButton::clicked, this, &TFieldMover::IncludeBtnClick);
    connect(IncAllBtn, &QPushButton::clicked, this, &TFieldMover::IncAllBtnClick);
    connect(ExcludeBtn, &QPushButton::clicked, this, &TFieldMover::ExcludeBtnClick);
    connect(ExAllBtn, &QPushButton::clicked, this, &TFieldMover::ExcAllBtnClick);
}

void TFieldMover::Reset(const QStringList &fieldNames)
{
    SrcList->clear();
    DstList->clear();
    for (const QString &name : fieldNames)
        AddFieldName(SrcList, name);
    SetButtons();
}

QStringList TFieldMover::IndexedFields() const
{
    QStringList names;
    for (int row = 0; row < DstList->count(); ++row)
        names << DstList->item(row)->text();
    return names;
}

int TFieldMover::GetFirstSelection(const QListWidget *list)
{
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            return row;
    return -1;
}

void TFieldMover::MoveSelected(QListWidget *source, QListWidget *target)
{
    const int first = GetFirstSelection(source);
    for (int row = source->count() - 1; row >= 0; --row)
        if (source->item(row)->isSelected())
            target->addItem(source->takeItem(row)); // a sorted target puts it in its place
    SetItem(source, first);
}

void TFieldMover::MoveAll(QListWidget *source, QListWidget *target)
{
    while (source->count() > 0)
        target->addItem(source->takeItem(0));
    SetItem(source, 0);
}

void TFieldMover::SetItem(QListWidget *list, int position)
{
    list->setFocus();
    if (list->count() > 0) {
        const int row = std::clamp(position, 0, list->count() - 1);
        list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
    SetButtons();
}

void TFieldMover::SetButtons()
{
    const bool fieldsLeft = SrcList->count() > 0;
    const bool fieldsIndexed = DstList->count() > 0;
    IncludeBtn->setEnabled(fieldsLeft);
    IncAllBtn->setEnabled(fieldsLeft);
    ExcludeBtn->setEnabled(fieldsIndexed);
    ExAllBtn->setEnabled(fieldsIndexed);
}
