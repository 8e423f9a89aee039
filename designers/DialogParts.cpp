#include "DialogParts.h"
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "engine/EngineError.h"
#include "ui/Named.h"
#include "ui/Services.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qvx::designers {

namespace {

class EnterKeyFilter : public QObject {
public:
    EnterKeyFilter(QObject *parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return QObject::eventFilter(watched, event);
        if (m_action)
            m_action();
        return true;
    }

private:
    std::function<void()> m_action;
};

} // namespace

void onEnterKey(QLineEdit *edit, std::function<void()> action)
{
    edit->installEventFilter(new EnterKeyFilter(edit, std::move(action)));
}

void fitNumberBox(QLineEdit *edit)
{
    const int text = edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000000"));
    edit->setFixedWidth(text + 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
}

QGroupBox *radioGroup(QDialog &dialog, const QString &title, const QStringList &items,
                      const QString &groupName, QButtonGroup *&choice, const QString &choiceName)
{
    auto *group = qvx::ui::named(new QGroupBox(title, &dialog), groupName);
    choice = qvx::ui::named(new QButtonGroup(&dialog), choiceName);
    auto *column = new QVBoxLayout(group);
    for (int id = 0; id < items.size(); ++id) {
        auto *item = new QRadioButton(items.at(id), group);
        choice->addButton(item, id);
        column->addWidget(item);
    }
    choice->button(0)->setChecked(true);
    return group;
}

void layOutBoxesAndGroups(QDialog &dialog, QLabel *firstLabel, QLineEdit *first, QLabel *secondLabel,
                          QLineEdit *second, QGroupBox *horizontal, QGroupBox *vertical, QPushButton *&ok,
                          QPushButton *&cancel)
{
    ok = qvx::ui::named(new QPushButton(QStringLiteral("OK")), QStringLiteral("OKBtn"));
    ok->setDefault(true);
    cancel = qvx::ui::named(new QPushButton(QStringLiteral("Cancel")), QStringLiteral("CancelBtn"));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto *boxes = new QGridLayout;
    boxes->addWidget(firstLabel, 0, 0);
    boxes->addWidget(first, 0, 1);
    boxes->addWidget(secondLabel, 0, 2);
    boxes->addWidget(second, 0, 3);
    boxes->setColumnStretch(4, 1);
    auto *groups = new QHBoxLayout;
    groups->addWidget(horizontal);
    groups->addWidget(vertical);
    auto *choices = new QVBoxLayout;
    choices->addLayout(boxes);
    choices->addLayout(groups);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto *row = new QHBoxLayout(&dialog);
    row->addLayout(choices, 1);
    row->addLayout(buttons);
    QWidget::setTabOrder(first, second);
}

} // namespace qvx::designers
