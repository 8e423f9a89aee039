// JPEG files as QImages, through engine/image/Jpeg.h: reading a file or bytes
// with the decoding options, and writing a QImage as a JPEG file atomically
// (a failed write keeps the old file).
#pragma once

#include "engine/image/Jpeg.h"

#include <QImage>
#include <QString>

namespace qvx::ui {

// Grey pictures come out as Format_Grayscale8, colour ones as Format_RGB888.
QImage toImage(const qvx::jpeg::Picture &picture);
// Any QImage as 3-component pixels (alpha dropped over white), or 1
// component when the image is Format_Grayscale8.
qvx::jpeg::Picture fromImage(const QImage &image);

// Reads and decodes a JPEG file; throws EngineError naming the file when it
// cannot be read or is not a JPEG.
QImage readJpegFile(const QString &path, const qvx::jpeg::DecodeOptions &options = {});
QImage decodeJpeg(const QByteArray &bytes, const qvx::jpeg::DecodeOptions &options = {},
                  const QString &what = QStringLiteral("picture"));
// Encodes image and writes it to path atomically; throws EngineError naming
// the file when it cannot be written.
void writeJpegFile(const QString &path, const QImage &image, const qvx::jpeg::EncodeOptions &options = {});

} // namespace qvx::ui
