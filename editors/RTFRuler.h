// The ruler over the RTF editor's text: grey tick marks at the tab stops and
// the three indent markers (first line, left, right) the user drags.
#pragma once

#include <QWidget>

#include <functional>

class TRTFRuler : public QWidget {
    Q_OBJECT
public:
    explicit TRTFRuler(QWidget *parent = nullptr);

    // The distance between tab stops, in pixels of the document.
    void setTabStop(qreal pixels);
    qreal tabStop() const { return m_tabStop; }

    // Runs after every resize, so that the line and the right marker follow
    // the ruler's width; may be empty.
    std::function<void()> onResized;

    // Where the ruler's pixels start counting from the document's left edge.
    static constexpr int Gutter = 6;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    qreal m_tabStop = 80;
};

// One indent marker on the ruler: a small triangle the mouse drags sideways.
// It follows the mouse with its middle under the pointer and reports where
// its left edge ended when the button is released.
class TRTFRulerMarker : public QWidget {
    Q_OBJECT
public:
    enum class Points { Down, Up };
    TRTFRulerMarker(Points points, const QColor &color, QWidget *ruler);

    // Half the marker's width (integer halving): the pointer's place within it
    // while it is dragged.
    int dragOffset() const { return width() / 2; }
    bool dragging() const { return m_dragging; }

    // Runs when a drag ends, with the marker's left edge; may be empty.
    std::function<void(int left)> onDropped;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void follow(int mouseX);

    Points m_points;
    QColor m_color;
    bool m_dragging = false;
};
