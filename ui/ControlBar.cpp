#include "ControlBar.h"

namespace qvx::ui {

namespace {
constexpr int kGap = 6; // between bars in a row
constexpr int kRowGap = 1; // between rows
} // namespace

RowWrapLayout::RowWrapLayout(QWidget *parent) : QLayout(parent) { }

RowWrapLayout::~RowWrapLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void RowWrapLayout::addItem(QLayoutItem *item)
{
    m_items << item;
}

QLayoutItem *RowWrapLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index);
}

int RowWrapLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize RowWrapLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize RowWrapLayout::sizeHint() const
{
    // All bars in one row.
    int width = 0, height = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += (width ? kGap : 0) + hint.width();
        height = qMax(height, hint.height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void RowWrapLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int RowWrapLayout::arrange(const QRect &rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x(), y = area.y(), rowHeight = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        QSize hint = item->sizeHint();
        if (x > area.x() && x + hint.width() > area.right() + 1) {
            x = area.x();
            y += rowHeight + kRowGap;
            rowHeight = 0;
        }
        // A bar wider than the whole band gets the band (and its overflow arrow).
        hint.setWidth(qMin(hint.width(), qMax(area.width(), item->minimumSize().width())));
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x += hint.width() + kGap;
        rowHeight = qMax(rowHeight, hint.height());
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
}

ControlBar::ControlBar(QWidget *parent) : QWidget(parent)
{
    auto *layout = new RowWrapLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ControlBar::addBar(QWidget *bar)
{
    layout()->addWidget(bar);
}

} // namespace qvx::ui
