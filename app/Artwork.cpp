#include "Artwork.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qvx::app {

namespace {

// A stack of three table "disks" with a grid on the top one: the program's mark.
void drawMark(QPainter &p, const QPointF &centre, qreal width)
{
    const qreal h = width * 0.28;
    const QColor colours[] = { QColor(0x2e, 0x5e, 0x9e), QColor(0x3f, 0x7f, 0xc4), QColor(0x6c, 0xa6, 0xe0) };
    for (int i = 2; i >= 0; --i) {
        const QRectF top(centre.x() - width / 2, centre.y() - h / 2 + (i - 1) * h * 0.9, width, h);
        QPainterPath body;
        body.moveTo(top.left(), top.center().y());
        body.lineTo(top.left(), top.center().y() + h * 0.55);
        body.arcTo(QRectF(top.left(), top.top() + h * 0.55, width, h), 180, 180);
        body.lineTo(top.right(), top.center().y());
        body.closeSubpath();
        p.setPen(QPen(colours[i].darker(150), 1.2));
        p.setBrush(colours[i].darker(115));
        p.drawPath(body);
        p.setBrush(colours[i]);
        p.drawEllipse(top);
    }
    // Rows and columns on the top face.
    const QRectF face(centre.x() - width / 2, centre.y() - h / 2 - h * 0.9, width, h);
    p.save();
    QPainterPath clip;
    clip.addEllipse(face.adjusted(4, 3, -4, -3));
    p.setClipPath(clip);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    for (int k = 1; k < 4; ++k) {
        const qreal y = face.top() + face.height() * k / 4;
        p.drawLine(QPointF(face.left(), y), QPointF(face.right(), y));
    }
    for (int k = 1; k < 5; ++k) {
        const qreal x = face.left() + face.width() * k / 5;
        p.drawLine(QPointF(x, face.top()), QPointF(x, face.bottom()));
    }
    p.restore();
}

void drawBackground(QPainter &p, const QRect &r)
{
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(0xf4, 0xf7, 0xfb));
    sky.setColorAt(1, QColor(0xc9, 0xd8, 0xea));
    p.fillRect(r, sky);
    p.setPen(QPen(QColor(0x2e, 0x5e, 0x9e), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(1, 1, -2, -2));
}

void drawTitle(QPainter &p, const QRectF &r, int pixelSize, const QString &text)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x1d, 0x3f, 0x6e));
    p.drawText(r, Qt::AlignHCenter | Qt::AlignTop, text);
}

void drawLine(QPainter &p, const QRectF &r, int pixelSize, const QString &text)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.setPen(QColor(0x33, 0x44, 0x55));
    p.drawText(r, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
}

} // namespace

QImage splashPicture()
{
    QImage image(272, 336, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawBackground(p, image.rect());
    drawMark(p, QPointF(136, 120), 150);
    drawTitle(p, QRectF(0, 210, 272, 40), 30, QStringLiteral("Quorvex"));
    drawLine(p, QRectF(16, 252, 240, 40), 13, QStringLiteral("Desktop database manager"));
    drawLine(p, QRectF(16, 300, 240, 24), 11, QStringLiteral("Starting..."));
    return image;
}

QImage aboutPicture()
{
    QImage image(208, 284, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawBackground(p, image.rect());
    drawMark(p, QPointF(104, 92), 110);
    drawTitle(p, QRectF(0, 160, 208, 32), 24, QStringLiteral("Quorvex"));
    drawLine(p, QRectF(12, 194, 184, 36), 12, QStringLiteral("Desktop database manager"));
    drawLine(p, QRectF(12, 230, 184, 40), 11,
             QStringLiteral("Version %1")
                 .arg(QApplication::applicationVersion().isEmpty() ? QStringLiteral("0.1")
                                                                   : QApplication::applicationVersion()));
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawMark(p, QPointF(size / 2.0, size / 2.0 + size * 0.1), size * 0.9);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace qvx::app
