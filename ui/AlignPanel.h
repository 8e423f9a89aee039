// A panel that places its children by alignment: top-aligned children keep
// their height and stack down from the top edge, bottom-aligned ones stack up
// from the bottom, left and right ones do the same across the remaining
// width, and the one filling child takes whatever space is left. Children of
// one alignment are stacked in the order of their current position, so a
// child re-aligned to the top lands below those already above it. Hidden
// children take no space. The table window's side pane (picture, splitter,
// memo) and its main area (pages, splitter, side pane) are such panels.
//
// AlignSplitter is the thin bar between two aligned children: dragging it
// resizes the child it is aligned against (the one before it in its stack).
#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

namespace qvx::ui {

enum class Align { None, Top, Bottom, Left, Right, Client };

class AlignPanel : public QWidget {
    Q_OBJECT
public:
    explicit AlignPanel(QWidget *parent = nullptr);

    // Adopts child (reparenting it) with the given alignment.
    void addChild(QWidget *child, Align align);
    void setAlign(QWidget *child, Align align);
    Align align(const QWidget *child) const;
    // The height a top or bottom child keeps (the width of a left or right
    // one), whatever the panel's size; taken from the child when it is added.
    void setExtent(QWidget *child, int extent);
    int extent(const QWidget *child) const;

    // Lays the children out now (also done on every resize, show and hide).
    void realign();
    // The child aligned against the splitter: the visible child of the same
    // alignment just before it in its stack; nullptr when there is none.
    QWidget *neighbourOf(const QWidget *splitter) const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Child {
        QPointer<QWidget> widget;
        Align align;
        int extent; // kept height (top, bottom) or width (left, right)
    };
    std::vector<Child> stack(Align align) const; // visible children in stacking order
    Child *find(const QWidget *widget);
    const Child *find(const QWidget *widget) const;

    std::vector<Child> m_children;
    bool m_realigning = false;
};

class AlignSplitter : public QWidget {
    Q_OBJECT
public:
    // A horizontal bar (for top and bottom stacks) or a vertical one.
    AlignSplitter(Qt::Orientation orientation, int thickness, QWidget *parent = nullptr);
    Qt::Orientation orientation() const { return m_orientation; }
    // The smallest size the resized neighbour may be given.
    void setMinimumExtent(int extent) { m_minimum = extent; }

signals:
    void moved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Qt::Orientation m_orientation;
    int m_minimum = 20;
    QPointer<QWidget> m_neighbour;
    int m_startExtent = 0;
    QPoint m_startPos;
};

} // namespace qvx::ui
