#include "AlignPanel.h"

#include <QEvent>
#include <QMouseEvent>

#include <algorithm>

namespace qvx::ui {

AlignPanel::AlignPanel(QWidget *parent) : QWidget(parent) { }

void AlignPanel::addChild(QWidget *child, Align align)
{
    child->setParent(this);
    child->installEventFilter(this);
    const bool across = align == Align::Left || align == Align::Right;
    m_children.push_back({ child, align, across ? child->width() : child->height() });
    realign();
}

AlignPanel::Child *AlignPanel::find(const QWidget *widget)
{
    auto it = std::find_if(m_children.begin(), m_children.end(),
                           [widget](const Child &c) { return c.widget == widget; });
    return it == m_children.end() ? nullptr : &*it;
}

const AlignPanel::Child *AlignPanel::find(const QWidget *widget) const
{
    return const_cast<AlignPanel *>(this)->find(widget);
}

void AlignPanel::setAlign(QWidget *child, Align align)
{
    if (Child *c = find(child)) {
        c->align = align;
        realign();
    }
}

void AlignPanel::setExtent(QWidget *child, int extent)
{
    if (Child *c = find(child)) {
        c->extent = std::max(extent, 0);
        realign();
    }
}

int AlignPanel::extent(const QWidget *child) const
{
    const Child *c = find(child);
    return c ? c->extent : 0;
}

Align AlignPanel::align(const QWidget *child) const
{
    const Child *c = find(child);
    return c ? c->align : Align::None;
}

std::vector<AlignPanel::Child> AlignPanel::stack(Align align) const
{
    std::vector<Child> out;
    for (const Child &c : m_children)
        if (c.widget && c.align == align && !c.widget->isHidden())
            out.push_back(c);
    // Stack in the order of the current position: the nearest to the edge first.
    auto key = [align](const Child &c) {
        const QRect g = c.widget->geometry();
        switch (align) {
        case Align::Top:
            return g.top();
        case Align::Bottom:
            return -g.bottom();
        case Align::Left:
            return g.left();
        case Align::Right:
            return -g.right();
        default:
            return 0;
        }
    };
    std::stable_sort(out.begin(), out.end(), [&](const Child &a, const Child &b) { return key(a) < key(b); });
    return out;
}

void AlignPanel::realign()
{
    if (m_realigning)
        return;
    m_realigning = true;
    QRect rest = rect();
    for (const Child &c : stack(Align::Top)) {
        const int h = std::min(c.extent, std::max(rest.height(), 0));
        c.widget->setGeometry(rest.left(), rest.top(), rest.width(), h);
        rest.setTop(rest.top() + h);
    }
    for (const Child &c : stack(Align::Bottom)) {
        const int h = std::min(c.extent, std::max(rest.height(), 0));
        c.widget->setGeometry(rest.left(), rest.bottom() + 1 - h, rest.width(), h);
        rest.setBottom(rest.bottom() - h);
    }
    for (const Child &c : stack(Align::Left)) {
        const int w = std::min(c.extent, std::max(rest.width(), 0));
        c.widget->setGeometry(rest.left(), rest.top(), w, rest.height());
        rest.setLeft(rest.left() + w);
    }
    for (const Child &c : stack(Align::Right)) {
        const int w = std::min(c.extent, std::max(rest.width(), 0));
        c.widget->setGeometry(rest.right() + 1 - w, rest.top(), w, rest.height());
        rest.setRight(rest.right() - w);
    }
    for (const Child &c : stack(Align::Client))
        c.widget->setGeometry(rest.left(), rest.top(), std::max(rest.width(), 0), std::max(rest.height(), 0));
    m_realigning = false;
}

QWidget *AlignPanel::neighbourOf(const QWidget *splitter) const
{
    const Child *s = find(splitter);
    if (!s || s->align == Align::None || s->align == Align::Client)
        return nullptr;
    QWidget *before = nullptr;
    for (const Child &c : stack(s->align)) {
        if (c.widget == splitter)
            return before;
        before = c.widget;
    }
    return nullptr;
}

void AlignPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    realign();
}

bool AlignPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide
        || event->type() == QEvent::HideToParent || event->type() == QEvent::ShowToParent)
        if (find(qobject_cast<QWidget *>(watched)))
            realign();
    return QWidget::eventFilter(watched, event);
}

AlignSplitter::AlignSplitter(Qt::Orientation orientation, int thickness, QWidget *parent)
    : QWidget(parent), m_orientation(orientation)
{
    if (orientation == Qt::Horizontal) {
        resize(width(), thickness);
        setCursor(Qt::SplitVCursor);
    } else {
        resize(thickness, height());
        setCursor(Qt::SplitHCursor);
    }
    setAutoFillBackground(true);
}

void AlignSplitter::mousePressEvent(QMouseEvent *event)
{
    auto *panel = qobject_cast<AlignPanel *>(parentWidget());
    m_neighbour = panel ? panel->neighbourOf(this) : nullptr;
    if (!m_neighbour || event->button() != Qt::LeftButton)
        return;
    m_startPos = event->globalPosition().toPoint();
    m_startExtent = panel->extent(m_neighbour);
}

void AlignSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_neighbour || !(event->buttons() & Qt::LeftButton))
        return;
    auto *panel = qobject_cast<AlignPanel *>(parentWidget());
    const QPoint delta = event->globalPosition().toPoint() - m_startPos;
    const Align a = panel->align(this);
    // Dragging away from the neighbour's edge makes it larger.
    int d = m_orientation == Qt::Horizontal ? delta.y() : delta.x();
    if (a == Align::Bottom || a == Align::Right)
        d = -d;
    panel->setExtent(m_neighbour, std::max(m_minimum, m_startExtent + d));
}

void AlignSplitter::mouseReleaseEvent(QMouseEvent *)
{
    if (m_neighbour)
        emit moved();
    m_neighbour = nullptr;
}

} // namespace qvx::ui
