// JPEG pictures as QImages: the conversions both ways, and reading and
// writing files, a failed write leaving the old file as it was.
#include "ui/JpegImage.h"

#include "engine/EngineError.h"

#include <QColor>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace qvx;

namespace {

QImage sampleImage(QImage::Format format, int width = 37, int height = 23)
{
    QImage image(width, height, format);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, width / 2, height), QColor(200, 40, 30));
    painter.fillRect(QRect(width / 2, 0, width - width / 2, height / 2), QColor(20, 160, 220));
    painter.end();
    return image;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestJpegImage : public QObject {
    Q_OBJECT
private slots:
    void toImage_data()
    {
        QTest::addColumn<int>("components");
        QTest::addColumn<int>("format");
        QTest::newRow("grey") << 1 << int(QImage::Format_Grayscale8);
        QTest::newRow("colour") << 3 << int(QImage::Format_RGB888);
    }

    // The picture's rows are unpadded, the image's padded to 4 bytes: an
    // odd width shows a wrong copy at once.
    void toImage()
    {
        QFETCH(int, components);
        QFETCH(int, format);
        jpeg::Picture p;
        p.width = 5;
        p.height = 3;
        p.components = components;
        for (int i = 0; i < p.width * p.height * components; ++i)
            p.pixels += char(i * 3);
        const QImage image = ui::toImage(p);
        QCOMPARE(int(image.format()), format);
        QCOMPARE(image.size(), QSize(5, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const int at = (y * 5 + x) * components;
                const QColor expected = components == 1
                    ? QColor(uchar(p.pixels[at]), uchar(p.pixels[at]), uchar(p.pixels[at]))
                    : QColor(uchar(p.pixels[at]), uchar(p.pixels[at + 1]), uchar(p.pixels[at + 2]));
                QCOMPARE(image.pixelColor(x, y), expected);
            }
        QVERIFY(ui::toImage(jpeg::Picture {}).isNull());
        p.pixels.chop(1);
        QVERIFY_THROWS_EXCEPTION(EngineError, ui::toImage(p));
    }

    void fromImage_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("components");
        QTest::newRow("Grayscale8") << sampleImage(QImage::Format_Grayscale8) << 1;
        QTest::newRow("RGB32") << sampleImage(QImage::Format_RGB32) << 3;
        QTest::newRow("RGB888") << sampleImage(QImage::Format_RGB888) << 3;
        QTest::newRow("ARGB32, opaque") << sampleImage(QImage::Format_ARGB32) << 3;
        QTest::newRow("Grayscale16") << sampleImage(QImage::Format_Grayscale16) << 3;
        QTest::newRow("indexed") << sampleImage(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8)
                                 << 3;
    }

    void fromImage()
    {
        QFETCH(QImage, image);
        QFETCH(int, components);
        const jpeg::Picture p = ui::fromImage(image);
        QCOMPARE(p.width, image.width());
        QCOMPARE(p.height, image.height());
        QCOMPARE(p.components, components);
        QCOMPARE(p.pixels.size(), qsizetype(p.width) * p.height * components);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb rgb = image.pixel(x, y);
                const int at = (y * p.width + x) * components;
                if (components == 1) {
                    QCOMPARE(uchar(p.pixels[at]), uchar(qGray(rgb)));
                } else {
                    QCOMPARE(uchar(p.pixels[at]), uchar(qRed(rgb)));
                    QCOMPARE(uchar(p.pixels[at + 1]), uchar(qGreen(rgb)));
                    QCOMPARE(uchar(p.pixels[at + 2]), uchar(qBlue(rgb)));
                }
            }
        // And back again, unchanged.
        const QImage back = ui::toImage(p);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(back.pixel(x, y), image.pixel(x, y) | 0xFF000000);
    }

    void alphaOverWhite_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("transparent") << QColor(10, 20, 30, 0) << QColor(255, 255, 255);
        QTest::newRow("opaque") << QColor(10, 20, 30, 255) << QColor(10, 20, 30);
        QTest::newRow("half") << QColor(0, 100, 255, 128) << QColor(127, 177, 255);
    }

    void alphaOverWhite()
    {
        QFETCH(QColor, colour);
        QFETCH(QColor, expected);
        for (const QImage::Format format : { QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied }) {
            QImage image(3, 2, format);
            image.fill(colour);
            const jpeg::Picture p = ui::fromImage(image);
            QCOMPARE(p.components, 3);
            for (int i = 0; i < 6; ++i) {
                QVERIFY2(std::abs(uchar(p.pixels[3 * i]) - expected.red()) <= 1,
                         qPrintable(QString::number(uchar(p.pixels[3 * i]))));
                QVERIFY2(std::abs(uchar(p.pixels[3 * i + 1]) - expected.green()) <= 1,
                         qPrintable(QString::number(uchar(p.pixels[3 * i + 1]))));
                QVERIFY2(std::abs(uchar(p.pixels[3 * i + 2]) - expected.blue()) <= 1,
                         qPrintable(QString::number(uchar(p.pixels[3 * i + 2]))));
            }
        }
    }

    void writeThenRead_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("format");
        QTest::newRow("colour") << sampleImage(QImage::Format_RGB32, 101, 57) << false
                                << int(QImage::Format_RGB888);
        QTest::newRow("colour, progressive")
            << sampleImage(QImage::Format_RGB32, 101, 57) << true << int(QImage::Format_RGB888);
        QTest::newRow("grey") << sampleImage(QImage::Format_Grayscale8, 64, 9) << false
                              << int(QImage::Format_Grayscale8);
    }

    void writeThenRead()
    {
        QFETCH(QImage, image);
        QFETCH(bool, progressive);
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("picture.jpg"));
        jpeg::EncodeOptions options;
        options.progressive = progressive;
        ui::writeJpegFile(path, image, options);
        const QByteArray bytes = readAll(path);
        QCOMPARE(jpeg::readHeader(bytes).progressive, progressive);
        const QImage read = ui::readJpegFile(path);
        QCOMPARE(read.size(), image.size());
        QCOMPARE(int(read.format()), format);
        // Flat areas come back close to what was written.
        const QColor inside = read.pixelColor(3, image.height() - 3);
        const QColor written = image.pixelColor(3, image.height() - 3);
        QVERIFY2(std::abs(inside.red() - written.red()) < 10
                     && std::abs(inside.green() - written.green()) < 10
                     && std::abs(inside.blue() - written.blue()) < 10,
                 qPrintable(inside.name()));
        jpeg::DecodeOptions eighth;
        eighth.scaleDenominator = 8;
        QCOMPARE(ui::readJpegFile(path, eighth).size(),
                 QSize((image.width() + 7) / 8, (image.height() + 7) / 8));
        QCOMPARE(ui::decodeJpeg(bytes).size(), image.size());
    }

    void readFailures_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "Cannot read ";
        QTest::newRow("not a JPEG") << QByteArray("plain text") << " is not a JPEG file";
    }

    void readFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.jpg"));
        if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        try {
            ui::readJpegFile(path);
            QFAIL("read");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(path) && e.message().contains(message), qPrintable(e.message()));
        }
    }

    // A write that fails names the file and leaves what was there.
    void failedWrite_data()
    {
        QTest::addColumn<QString>("where"); // relative to a scratch folder
        QTest::addColumn<bool>("lockFolder");
        QTest::addColumn<bool>("nullImage");
        QTest::newRow("in a missing folder") << "missing/picture.jpg" << false << false;
        QTest::newRow("folder not writable") << "locked/picture.jpg" << true << false;
        QTest::newRow("nothing to write") << "locked/picture.jpg" << false << true;
    }

    void failedWrite()
    {
        QFETCH(QString, where);
        QFETCH(bool, lockFolder);
        QFETCH(bool, nullImage);
        if (lockFolder && geteuid() == 0)
            QSKIP("running as root, which writes into any folder");
        QTemporaryDir dir;
        const QString path = dir.filePath(where);
        QDir().mkpath(dir.filePath(QStringLiteral("locked")));
        const QByteArray old("the old file's bytes");
        if (QFileInfo(path).dir().exists()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        if (lockFolder)
            QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        try {
            ui::writeJpegFile(path, nullImage ? QImage() : sampleImage(QImage::Format_RGB32));
            QFAIL("written");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (QFileInfo(path).dir().exists())
            QCOMPARE(readAll(path), old);
        else
            QVERIFY(!QFileInfo::exists(path));
        // No scratch file left behind beside it.
        if (QFileInfo(path).dir().exists())
            QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files),
                     QStringList { QStringLiteral("picture.jpg") });
    }
};

QTEST_MAIN(TestJpegImage)
#include "tst_jpegimage.moc"
