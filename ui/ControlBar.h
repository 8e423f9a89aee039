// A control bar: a band across a window holding tool bars side by side, each
// at its natural width, wrapping them onto a further row when the window is
// too narrow for all of them (so no button hides behind a tool bar's
// overflow arrow while there is room below).
#pragma once

#include <QLayout>
#include <QList>
#include <QWidget>

namespace qvx::ui {

// Places its items in rows, left to right, at their size hints.
class RowWrapLayout : public QLayout {
    Q_OBJECT
public:
    explicit RowWrapLayout(QWidget *parent = nullptr);
    ~RowWrapLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Lays the items out in rect (or only measures); returns the height used.
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
};

class ControlBar : public QWidget {
    Q_OBJECT
public:
    explicit ControlBar(QWidget *parent = nullptr);
    void addBar(QWidget *bar);
};

} // namespace qvx::ui
