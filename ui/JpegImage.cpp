#include "ui/JpegImage.h"

#include "engine/EngineError.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace qvx::ui {

QImage toImage(const qvx::jpeg::Picture &picture)
{
    if (picture.isNull())
        return {};
    const bool grey = picture.components == 1;
    if ((!grey && picture.components != 3)
        || picture.pixels.size() != qint64(picture.width) * picture.height * picture.components)
        throw EngineError(QStringLiteral("The picture's pixels do not match its size"));
    QImage image(picture.width, picture.height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull())
        throw EngineError(QStringLiteral("Not enough memory for a picture of %1 x %2 pixels")
                              .arg(picture.width)
                              .arg(picture.height));
    // QImage rows are padded to 4 bytes; the picture's are not.
    const std::size_t stride = std::size_t(picture.width) * std::size_t(picture.components);
    const char *from = picture.pixels.constData();
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), from + std::size_t(y) * stride, stride);
    return image;
}

qvx::jpeg::Picture fromImage(const QImage &image)
{
    qvx::jpeg::Picture picture;
    if (image.isNull())
        return picture;
    const bool grey = image.format() == QImage::Format_Grayscale8;
    picture.width = image.width();
    picture.height = image.height();
    picture.components = grey ? 1 : 3;
    const std::size_t stride = std::size_t(picture.width) * std::size_t(picture.components);
    picture.pixels = QByteArray(qsizetype(stride) * picture.height, Qt::Uninitialized);
    auto *to = reinterpret_cast<uchar *>(picture.pixels.data());
    if (grey || !image.hasAlphaChannel()) {
        const QImage source = grey ? image : image.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < picture.height; ++y)
            std::memcpy(to + std::size_t(y) * stride, source.constScanLine(y), stride);
        return picture;
    }
    // What shows through a transparent pixel is white, as on a page.
    const QImage source = image.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height; ++y) {
        const uchar *in = source.constScanLine(y);
        uchar *out = to + std::size_t(y) * stride;
        for (int x = 0; x < picture.width; ++x, in += 4, out += 3) {
            const unsigned alpha = in[3];
            for (int c = 0; c < 3; ++c)
                out[c] = uchar((in[c] * alpha + 255 * (255 - alpha) + 127) / 255);
        }
    }
    return picture;
}

QImage decodeJpeg(const QByteArray &bytes, const qvx::jpeg::DecodeOptions &options, const QString &what)
{
    return toImage(qvx::jpeg::decode(bytes, options, what));
}

QImage readJpegFile(const QString &path, const qvx::jpeg::DecodeOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EngineError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return decodeJpeg(bytes, options, path);
}

void writeJpegFile(const QString &path, const QImage &image, const qvx::jpeg::EncodeOptions &options)
{
    QByteArray bytes;
    namingFile(path, [&] { bytes = qvx::jpeg::encode(fromImage(image), options); });
    // The old file stays whole until the new one is complete on disk.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EngineError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EngineError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace qvx::ui
