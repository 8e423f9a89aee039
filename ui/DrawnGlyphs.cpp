#include "DrawnGlyphs.h"

#include <QPainter>
#include <QPixmap>

#include <functional>

namespace qvx::ui {

namespace {

const QColor kFrame(0x3a, 0x4a, 0x5c);
const QColor kTitle(0x4a, 0x86, 0xc8);
const QColor kPaper(0xfb, 0xfb, 0xf8);

// A small window: a frame with a title bar. r is in a 16-unit space.
void window(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(kFrame, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 0.5, 2.5), kTitle);
}

void arrow(QPainter &p, QPointF from, QPointF to)
{
    p.setPen(QPen(QColor(0x20, 0x60, 0x20), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y()));
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 3 + n * 2.5);
    p.drawLine(to, to - d * 3 - n * 2.5);
}

void grid(QPainter &p, const QRectF &r, int rows, int cols)
{
    p.setPen(QPen(kFrame, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(QColor(0x8a, 0x9a, 0xac), 1));
    for (int i = 1; i < rows; ++i)
        p.drawLine(QPointF(r.left(), r.top() + r.height() * i / rows),
                   QPointF(r.right(), r.top() + r.height() * i / rows));
    for (int j = 1; j < cols; ++j)
        p.drawLine(QPointF(r.left() + r.width() * j / cols, r.top()),
                   QPointF(r.left() + r.width() * j / cols, r.bottom()));
}

using Painter = std::function<void(QPainter &)>;

Painter painterFor(const QString &name)
{
    if (name == QLatin1String("qvx-window-cascade"))
        return [](QPainter &p) {
            window(p, QRectF(1.5, 1.5, 9, 7));
            window(p, QRectF(3.5, 4.5, 9, 7));
            window(p, QRectF(5.5, 7.5, 9, 7));
        };
    if (name == QLatin1String("qvx-window-tile-horizontal"))
        return [](QPainter &p) {
            window(p, QRectF(1.5, 1.5, 13, 6));
            window(p, QRectF(1.5, 8.5, 13, 6));
        };
    if (name == QLatin1String("qvx-window-tile-vertical"))
        return [](QPainter &p) {
            window(p, QRectF(1.5, 1.5, 6, 13));
            window(p, QRectF(8.5, 1.5, 6, 13));
        };
    if (name == QLatin1String("qvx-window-minimize-all"))
        return [](QPainter &p) {
            window(p, QRectF(2.5, 1.5, 11, 7));
            p.fillRect(QRectF(1, 12, 6, 3), kTitle);
            p.fillRect(QRectF(9, 12, 6, 3), kTitle);
            arrow(p, QPointF(8, 5), QPointF(8, 11));
        };
    if (name == QLatin1String("qvx-window-arrange"))
        return [](QPainter &p) {
            for (int i = 0; i < 3; ++i)
                p.fillRect(QRectF(1 + i * 5, 12, 4, 3), kTitle);
            window(p, QRectF(3.5, 1.5, 9, 7));
        };
    if (name == QLatin1String("qvx-window-close"))
        return [](QPainter &p) {
            window(p, QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(QColor(0xb0, 0x30, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5, 7), QPointF(11, 13));
            p.drawLine(QPointF(11, 7), QPointF(5, 13));
        };
    if (name == QLatin1String("qvx-select-cells"))
        return [](QPainter &p) {
            grid(p, QRectF(1.5, 1.5, 13, 13), 4, 3);
            // The title row, which the command switches to and from.
            p.fillRect(QRectF(2, 2, 12.5, 3), QColor(0xe8, 0xb0, 0x30));
            p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(6.5, 8.5, 4, 3));
        };
    if (name == QLatin1String("qvx-background-color"))
        return [](QPainter &p) {
            grid(p, QRectF(1.5, 1.5, 13, 13), 4, 3);
            p.fillRect(QRectF(6, 2, 4, 12.5), QColor(0xf0, 0xd0, 0x40));
            p.setPen(QPen(QColor(0x8a, 0x9a, 0xac), 1));
            for (int i = 1; i < 4; ++i)
                p.drawLine(QPointF(6, 1.5 + 13.0 * i / 4), QPointF(10, 1.5 + 13.0 * i / 4));
        };
    if (name == QLatin1String("qvx-table-window"))
        return [](QPainter &p) {
            window(p, QRectF(0.5, 0.5, 15, 15));
            grid(p, QRectF(2.5, 4.5, 11, 9), 3, 3);
        };
    return {};
}

} // namespace

QIcon drawnGlyph(const QString &name)
{
    const Painter paint = painterFor(name);
    if (!paint)
        return {};
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace qvx::ui
