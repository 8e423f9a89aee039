#include "RTFRuler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

TRTFRuler::TRTFRuler(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(24);
    setAutoFillBackground(true);
}

void TRTFRuler::setTabStop(qreal pixels)
{
    // A zero distance would draw ticks forever.
    m_tabStop = pixels > 1 ? pixels : 80;
    update();
}

void TRTFRuler::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::gray);
    // A hundred tab stops reach past any window's width.
    for (int k = 1; k <= 100; ++k) {
        const int x = Gutter + int(k * m_tabStop);
        if (x >= width())
            break;
        painter.drawLine(x, height() - 8, x, height() - 4);
    }
}

void TRTFRuler::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (onResized)
        onResized();
}

TRTFRulerMarker::TRTFRulerMarker(Points points, const QColor &color, QWidget *ruler)
    : QWidget(ruler), m_points(points), m_color(color)
{
    resize(10, 10);
    setCursor(Qt::SizeHorCursor);
}

void TRTFRulerMarker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(m_color.darker(150));
    painter.setBrush(m_color);
    const int w = width() - 1, h = height() - 1;
    QPolygon shape;
    if (m_points == Points::Down)
        shape << QPoint(0, 0) << QPoint(w, 0) << QPoint(w / 2, h);
    else
        shape << QPoint(w / 2, 0) << QPoint(w, h) << QPoint(0, h);
    painter.drawPolygon(shape);
}

void TRTFRulerMarker::follow(int mouseX)
{
    move(x() + mouseX - dragOffset(), y());
}

void TRTFRulerMarker::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    follow(int(event->position().x()));
    m_dragging = true;
}

void TRTFRulerMarker::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        follow(int(event->position().x()));
}

void TRTFRulerMarker::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_dragging = false;
    if (onDropped)
        onDropped(x());
}
