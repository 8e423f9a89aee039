#include "DBImage.h"

#include "ErrorGuard.h"
#include "JpegImage.h"

#include <QBuffer>
#include <QKeyEvent>
#include <QPainter>

namespace qvx::ui {

DBImage::DBImage(QWidget *parent) : QWidget(parent), m_link(new FieldLink(this))
{
    setFocusPolicy(Qt::ClickFocus);
    connect(m_link, &FieldLink::changed, this, &DBImage::load);
}

void DBImage::load()
{
    QByteArray bytes;
    guarded(this, [&] { bytes = m_link->bytes(); });
    // Bytes that are no picture Qt can read show as no picture. JPEG goes
    // through our own decoder, as Qt may have no reader for it.
    QImage picture = bytes.isEmpty() ? QImage() : QImage::fromData(bytes);
    if (picture.isNull() && qvx::jpeg::looksLikeJpeg(bytes)) {
        try {
            picture = decodeJpeg(bytes);
        } catch (const std::exception &) {
            picture = QImage();
        }
    }
    if (picture.isNull() && m_picture.isNull())
        return;
    m_picture = std::move(picture);
    update();
    emit pictureChanged();
}

void DBImage::storePicture(const QImage &picture)
{
    QByteArray bytes;
    if (!picture.isNull()) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
    }
    m_link->write(bytes.isEmpty() ? QVariant() : QVariant(bytes));
    load();
}

QSize DBImage::sizeHint() const
{
    return m_picture.isNull() ? QSize(0, 0) : m_picture.size();
}

void DBImage::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, m_picture);
}

void DBImage::mouseDoubleClickEvent(QMouseEvent *event)
{
    QWidget::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void DBImage::keyReleaseEvent(QKeyEvent *event)
{
    QWidget::keyReleaseEvent(event);
    emit keyUp(event->key());
}

} // namespace qvx::ui
