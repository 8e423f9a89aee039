// The picture manager: loading under either filter entry, the JPEG display
// options against the libjpeg command-line decoder, saving, printing fitted
// to the page, the shadow and frame, and storing the loaded picture into the
// active table window's record.
#include "editors/GraphDlg.h"

#include "support/ScriptedServices.h"

#include "engine/ClientDataSet.h"
#include "engine/EngineError.h"
#include "engine/Table.h"
#include "ui/ChildWindow.h"
#include "ui/CommandList.h"
#include "ui/DBImage.h"
#include "ui/DataSource.h"
#include "ui/JpegImage.h"
#include "ui/PrintTarget.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScrollArea>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using qvx::FieldType;
using qvx::ui::FileDialogAnswer;

namespace {

// A picture with smooth colour gradients and a hard edge, so every decoder
// option changes some pixels and 24-bit output has far more than 256 colours.
QImage colourPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y,
                                QColor((x * 255) / qMax(1, w - 1), (y * 255) / qMax(1, h - 1),
                                       x < w / 3 ? 40 : (x * y) % 256));
    return image;
}

QString writeJpeg(const QString &path, const QImage &image, bool progressive)
{
    qvx::jpeg::EncodeOptions options;
    options.progressive = progressive;
    qvx::ui::writeJpegFile(path, image, options);
    return path;
}

QString writeBitmap(const QString &path, const QImage &image, const char *format = "BMP")
{
    if (!image.save(path, format))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A binary PPM (P6) or PGM (P5) as djpeg writes it.
QImage readPnm(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray magic = buffer.readLine().trimmed();
    QList<int> numbers;
    while (numbers.size() < 3) {
        const QByteArray line = buffer.readLine().trimmed();
        if (line.startsWith('#'))
            continue;
        for (const QByteArray &part : line.split(' '))
            if (!part.isEmpty())
                numbers << part.toInt();
    }
    const bool grey = magic == "P5";
    QImage image(numbers[0], numbers[1], grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const int rowBytes = numbers[0] * (grey ? 1 : 3);
    for (int y = 0; y < image.height(); ++y)
        buffer.read(reinterpret_cast<char *>(image.scanLine(y)), rowBytes);
    return image;
}

// djpeg's output for a file, or a null picture when djpeg is missing or fails.
QImage djpeg(const QStringList &options, const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, options + QStringList { QStringLiteral("-pnm"), path });
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return readPnm(process.readAllStandardOutput());
}

// A table window as the picture manager sees one: a document path and a
// picture pane bound to a field of its data set.
class PictureChild : public qvx::ui::ChildWindow {
public:
    PictureChild(qvx::DataSet *dataSet, const QString &path, const QString &field)
        : m_path(path), m_source(dataSet)
    {
        m_pane.setDataSource(&m_source);
        m_pane.setDataField(field);
    }
    QWidget *widget() override { return &m_pane; }
    QString kindName() const override { return QStringLiteral("Standard Table"); }
    qvx::ui::DocumentSource document() const override { return qvx::ui::DocumentSource::file(m_path); }
    void open(const qvx::ui::DocumentSource &) override { }
    void saveToFile(const QString &) override { }
    void commitPendingEdits() override { }
    bool answers(const QString &) const override { return false; }
    void runCommand(const QString &) override { }
    qvx::ui::DBImage *picturePane() override { return &m_pane; }

private:
    QString m_path;
    qvx::ui::DataSource m_source;
    qvx::ui::DBImage m_pane;
};

int colourCount(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            colours.insert(rgb.pixel(x, y));
    return int(colours.size());
}

} // namespace

class TestGraphDlg : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without Qt's own JPEG reader, as on machines that lack it, so every
        // JPEG shown goes through our decoder.
        QCoreApplication::setLibraryPaths({});
        const QString probe
            = writeJpeg(m_dir.filePath(QStringLiteral("probe.jpg")), colourPicture(8, 8), false);
        QVERIFY(QImage::fromData(fileBytes(probe)).isNull());
    }
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_services = std::make_unique<ScriptedServices>();
        m_dlg = std::make_unique<TGraphFormDlg>();
    }
    void cleanup()
    {
        m_dlg.reset();
        m_services.reset();
    }

    void window_startsAsDescribed()
    {
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Picture Manager"));
        QCOMPARE(m_dlg->size(), QSize(444, 382));
        QVERIFY(m_dlg->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(m_dlg->Transparent->currentText(), QStringLiteral("False"));
        QVERIFY(!m_dlg->Shape->isVisibleTo(m_dlg.get()));
        QVERIFY(!m_dlg->Border->isVisibleTo(m_dlg.get()));
        QCOMPARE(m_dlg->command(QStringLiteral("LoadPicture"))->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+L")));
        QCOMPARE(m_dlg->command(QStringLiteral("ExitFromGraphManager"))->shortcut(),
                 QKeySequence(QStringLiteral("Alt+X")));
    }

    void loadUnderJpegEntry_refusesWhatIsNoJpeg_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QByteArray bmp;
        {
            QBuffer b(&bmp);
            b.open(QIODevice::WriteOnly);
            colourPicture(20, 10).save(&b, "BMP");
        }
        QTest::newRow("bitmap named .bmp") << bmp << "a.bmp";
        QTest::newRow("bitmap named .jpg") << bmp << "b.jpg";
        QTest::newRow("text") << QByteArray("just some words\n") << "c.jpg";
        QTest::newRow("jpeg marker then rubbish") << QByteArray("\xFF\xD8\xFF\x00\x01rubbish", 12) << "d.jpg";
    }
    void loadUnderJpegEntry_refusesWhatIsNoJpeg()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        const QString path = m_dir.filePath(name);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        m_services->openAnswers.push_back(FileDialogAnswer { path, 1 });
        m_dlg->command(QStringLiteral("LoadPicture"))->execute();
        QCOMPARE(m_services->openRequests.size(), 1);
        QCOMPARE(m_services->openRequests[0].filter,
                 QStringLiteral("JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp"));
        QVERIFY(m_services->messages.isEmpty());
        QVERIFY(m_dlg->loadedPicture().isNull());
        QVERIFY(m_dlg->shownPicture().isNull());
        QCOMPARE(m_dlg->StatusPanel[0]->text(), QStringLiteral("not a JPEG file"));
    }

    void loadUnderBitmapEntry_reportsWhatCannotBeRead()
    {
        const QString path = m_dir.filePath(QStringLiteral("words.bmp"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("no picture in here");
        }
        m_services->openAnswers.push_back(FileDialogAnswer { path, 2 });
        m_dlg->command(QStringLiteral("LoadPicture"))->execute();
        QCOMPARE(m_services->errors().size(), 1);
        QVERIFY(m_services->errors()[0].contains(path));
        QVERIFY(m_dlg->loadedPicture().isNull());
    }

    void scaledJpeg_equalsDjpeg_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("fraction");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("full size") << 0 << "1/1" << false;
        QTest::newRow("half") << 1 << "1/2" << false;
        QTest::newRow("quarter") << 2 << "1/4" << false;
        QTest::newRow("eighth") << 3 << "1/8" << false;
        QTest::newRow("half, progressive file") << 1 << "1/2" << true;
    }
    void scaledJpeg_equalsDjpeg()
    {
        QFETCH(int, scale);
        QFETCH(QString, fraction);
        QFETCH(bool, progressive);
        if (QStandardPaths::findExecutable(QStringLiteral("djpeg")).isEmpty())
            QSKIP("djpeg (libjpeg-turbo-progs) is not installed");
        const QSize size(67, 45);
        const QString path = writeJpeg(m_dir.filePath(QStringLiteral("scaled.jpg")),
                                       colourPicture(size.width(), size.height()), progressive);
        m_services->openAnswers.push_back(FileDialogAnswer { path, 1 });
        m_dlg->LoadPictureExecute();
        QVERIFY(m_dlg->shownIsJpeg());
        QCOMPARE(m_dlg->loadedPicture().size(), size);
        // djpeg decodes with the accurate DCT and smooth upsampling.
        m_dlg->command(QStringLiteral("SetSmoothing"))->execute();
        QVERIFY(m_dlg->Smoothing->isChecked());
        m_dlg->Scale->setCurrentIndex(scale);
        m_dlg->ApplyOptions();
        const int d = 1 << scale;
        const QSize expected((size.width() + d - 1) / d, (size.height() + d - 1) / d);
        QCOMPARE(m_dlg->shownPicture().size(), expected);
        QCOMPARE(m_dlg->SelectedImage->size(), expected);
        QCOMPARE(m_dlg->Shape->size(), expected);
        QCOMPARE(m_dlg->Border->size(), expected);
        // The loaded picture stays at full size.
        QCOMPARE(m_dlg->loadedPicture().size(), size);
        const QImage reference = djpeg({ QStringLiteral("-scale"), fraction }, path);
        QVERIFY(!reference.isNull());
        QCOMPARE(m_dlg->shownPicture().convertToFormat(QImage::Format_RGB888), reference);
    }

    void displayOptions_greyAndEightBit_data()
    {
        QTest::addColumn<QString>("combo");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<bool>("eightBit");
        QTest::newRow("grey-scale") << "ColorSpace" << true << false;
        QTest::newRow("8 Bit") << "PixelFormat" << false << true;
    }
    void displayOptions_greyAndEightBit()
    {
        QFETCH(QString, combo);
        QFETCH(bool, grey);
        QFETCH(bool, eightBit);
        const QString path
            = writeJpeg(m_dir.filePath(QStringLiteral("opts.jpg")), colourPicture(80, 60), false);
        m_services->openAnswers.push_back(FileDialogAnswer { path, 1 });
        m_dlg->LoadPictureExecute();
        // Before the option the picture is in colour with many colours, so
        // both checks below can fail.
        QVERIFY(colourCount(m_dlg->shownPicture()) > 256);
        QVERIFY(!m_dlg->shownPicture().isGrayscale());
        auto *box = m_dlg->findChild<QComboBox *>(combo);
        QVERIFY(box);
        box->setCurrentIndex(1);
        emit box->activated(1);
        const QImage shown = m_dlg->shownPicture();
        QCOMPARE(shown.size(), QSize(80, 60));
        QCOMPARE(shown.isGrayscale(), grey);
        if (eightBit)
            QVERIFY(colourCount(shown) <= 256);
        QVERIFY(m_services->messages.isEmpty());
    }

    void jpegCombos_followTheShownPicture()
    {
        const QString jpg = writeJpeg(m_dir.filePath(QStringLiteral("p.jpg")), colourPicture(30, 20), true);
        const QString bmp = writeBitmap(m_dir.filePath(QStringLiteral("p.bmp")), colourPicture(30, 20));
        const auto combosEnabled = [this](bool enabled) {
            for (QComboBox *c : { m_dlg->Scale, m_dlg->PixelFormat, m_dlg->ColorSpace, m_dlg->Performance })
                if (c->isEnabled() != enabled)
                    return false;
            return true;
        };
        m_services->openAnswers.push_back(FileDialogAnswer { jpg, 1 });
        m_dlg->LoadPictureExecute();
        QVERIFY(combosEnabled(true));
        // Progressive Display waits for the progressive-encoding flag.
        QVERIFY(!m_dlg->ProgressiveDisplay->isEnabled());
        m_dlg->ProgressiveEncoding->click();
        QVERIFY(m_dlg->ProgressiveEncoding->isChecked());
        QVERIFY(m_dlg->command(QStringLiteral("SetProgressiveEncoding"))->isChecked());
        QVERIFY(m_dlg->ProgressiveDisplay->isEnabled());

        m_services->openAnswers.push_back(FileDialogAnswer { bmp, 2 });
        m_dlg->LoadPictureExecute();
        QVERIFY(!m_dlg->shownIsJpeg());
        QCOMPARE(m_dlg->loadedPicture().size(), QSize(30, 20));
        emit m_dlg->Transparent->activated(1);
        QVERIFY(combosEnabled(false));
        QVERIFY(!m_dlg->ProgressiveDisplay->isEnabled());

        m_dlg->setShownPicture(fileBytes(jpg));
        m_dlg->ApplyOptions();
        QVERIFY(combosEnabled(true));
    }

    void progressiveDisplay_showsEveryPass()
    {
        const QString path
            = writeJpeg(m_dir.filePath(QStringLiteral("prog.jpg")), colourPicture(64, 48), true);
        m_services->openAnswers.push_back(FileDialogAnswer { path, 1 });
        m_dlg->LoadPictureExecute();
        m_dlg->command(QStringLiteral("SetProgressiveEncoding"))->execute();
        int shown = 0;
        // Each pass is put on the label as it comes; count the pictures it gets.
        struct Counter : QObject {
            int *count;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint)
                    ++*count;
                return false;
            }
        } counter;
        counter.count = &shown;
        m_dlg->SelectedImage->installEventFilter(&counter);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        shown = 0;
        m_dlg->command(QStringLiteral("SetProgressiveDisplay"))->execute();
        QVERIFY(m_dlg->ProgressiveDisplay->isChecked());
        QVERIFY2(shown > 1, qPrintable(QString::number(shown)));
        QCOMPARE(m_dlg->shownPicture(), qvx::ui::readJpegFile(path, [] {
                     qvx::jpeg::DecodeOptions o;
                     o.fancyUpsampling = false;
                     return o;
                 }()));
    }

    void transparency_followsTheCombo()
    {
        QImage image(12, 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixelColor(5, 4, Qt::blue);
        const QString bmp = writeBitmap(m_dir.filePath(QStringLiteral("t.bmp")), image);
        m_services->openAnswers.push_back(FileDialogAnswer { bmp, 2 });
        m_dlg->LoadPictureExecute();
        const auto shownAlpha = [this](int x, int y) {
            return m_dlg->SelectedImage->pixmap().toImage().pixelColor(x, y).alpha();
        };
        m_dlg->Transparent->setCurrentIndex(0);
        emit m_dlg->Transparent->activated(0);
        QCOMPARE(shownAlpha(0, 0), 0);
        QCOMPARE(shownAlpha(5, 4), 255);
        m_dlg->Transparent->setCurrentIndex(1);
        emit m_dlg->Transparent->activated(1);
        QCOMPARE(shownAlpha(0, 0), 255);
    }

    void savePictureAs_writesTheLoadedPicture_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("bitmap") << 1 << false;
        QTest::newRow("jpeg") << 2 << false;
        QTest::newRow("progressive jpeg") << 2 << true;
    }
    void savePictureAs_writesTheLoadedPicture()
    {
        QFETCH(int, entry);
        QFETCH(bool, progressive);
        const QSize size(41, 27);
        const QString source = writeJpeg(m_dir.filePath(QStringLiteral("src.jpg")),
                                         colourPicture(size.width(), size.height()), false);
        m_services->openAnswers.push_back(FileDialogAnswer { source, 1 });
        m_dlg->LoadPictureExecute();
        // The shown picture's zoom does not matter: the loaded one is saved.
        m_dlg->Scale->setCurrentIndex(2);
        m_dlg->ApplyOptions();
        if (progressive)
            m_dlg->command(QStringLiteral("SetProgressiveEncoding"))->execute();
        const QString target = m_dir.filePath(QStringLiteral("out%1.bin").arg(entry));
        m_services->saveAnswers.push_back(FileDialogAnswer { target, entry });
        m_dlg->command(QStringLiteral("SavePictureAs"))->execute();
        QVERIFY(m_services->errors().isEmpty());
        QCOMPARE(m_services->saveRequests[0].filter,
                 QStringLiteral("Bitmaps (*.bmp)|*.bmp|JPEG Image File (*.jpg)|*.jpg"));
        const QByteArray written = fileBytes(target);
        if (entry == 1) {
            QVERIFY(written.startsWith("BM"));
            QImage back;
            QVERIFY(back.loadFromData(written, "BMP"));
            QCOMPARE(back.convertToFormat(QImage::Format_RGB888),
                     m_dlg->loadedPicture().convertToFormat(QImage::Format_RGB888));
            return;
        }
        QCOMPARE(qvx::jpeg::readHeader(written).progressive, progressive);
        QCOMPARE(qvx::jpeg::readHeader(written).width, size.width());
        if (QStandardPaths::findExecutable(QStringLiteral("djpeg")).isEmpty())
            QSKIP("djpeg (libjpeg-turbo-progs) is not installed");
        QCOMPARE(djpeg({}, target).size(), size);
    }

    void savePictureAs_withNothingLoaded_writesNothing()
    {
        const QString target = m_dir.filePath(QStringLiteral("none.bmp"));
        m_services->saveAnswers.push_back(FileDialogAnswer { target, 1 });
        m_dlg->command(QStringLiteral("SavePictureAs"))->execute();
        QCOMPARE(m_services->errors(), QStringList { QStringLiteral("Cannot assign an empty picture") });
        QVERIFY(!QFile::exists(target));
    }

    void fitToPage_rule_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("small, wider than high: page width")
            << QSize(200, 100) << QSize(800, 1000) << QSize(800, 400);
        QTest::newRow("small, higher than wide: page height")
            << QSize(100, 300) << QSize(800, 1000) << QSize(333, 1000);
        QTest::newRow("small square: page width") << QSize(50, 50) << QSize(800, 1000) << QSize(800, 800);
        QTest::newRow("grown too high, shrinks again")
            << QSize(100, 90) << QSize(800, 600) << QSize(666, 600);
        QTest::newRow("too wide") << QSize(1600, 400) << QSize(800, 1000) << QSize(800, 200);
        QTest::newRow("too high") << QSize(300, 3000) << QSize(800, 1000) << QSize(100, 1000);
        QTest::newRow("fits one way only") << QSize(900, 100) << QSize(800, 1000) << QSize(800, 88);
        QTest::newRow("empty picture") << QSize(0, 0) << QSize(800, 1000) << QSize();
    }
    void fitToPage_rule()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, page);
        QFETCH(QSize, fitted);
        QCOMPARE(qvx::ui::fitToPage(picture, page), fitted);
    }

    void print_toPdf_restoresZoomShadowAndFrame_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("bordersBefore");
        QTest::newRow("landscape, borders hidden") << QSize(60, 30) << false;
        QTest::newRow("portrait, borders shown") << QSize(30, 70) << true;
    }
    void print_toPdf_restoresZoomShadowAndFrame()
    {
        QFETCH(QSize, size);
        QFETCH(bool, bordersBefore);
        const QString path = writeJpeg(m_dir.filePath(QStringLiteral("print.jpg")),
                                       colourPicture(size.width(), size.height()), false);
        m_services->openAnswers.push_back(FileDialogAnswer { path, 1 });
        m_dlg->LoadPictureExecute();
        m_dlg->Scale->setCurrentIndex(1);
        m_dlg->ApplyOptions();
        if (bordersBefore)
            m_dlg->AddBorderExecute();
        QCOMPARE(m_dlg->Shape->isVisibleTo(m_dlg.get()), bordersBefore);
        const QString pdf = m_dir.filePath(QStringLiteral("picture.pdf"));
        m_services->saveAnswers.push_back(FileDialogAnswer { pdf, 1 });
        m_dlg->command(QStringLiteral("PrintPicture"))->execute();
        QVERIFY(m_services->errors().isEmpty());
        const QByteArray written = fileBytes(pdf);
        QVERIFY(written.startsWith("%PDF"));
        QVERIFY(written.size() > 1000);
        QVERIFY(m_dlg->Shape->isVisibleTo(m_dlg.get()));
        QVERIFY(m_dlg->Border->isVisibleTo(m_dlg.get()));
        QCOMPARE(m_dlg->Scale->currentIndex(), 1);
        QCOMPARE(m_dlg->shownPicture().width(), (size.width() + 1) / 2);
    }

    void print_cancelled_changesNothing()
    {
        const QString path = writeJpeg(m_dir.filePath(QStringLiteral("c.jpg")), colourPicture(20, 20), false);
        m_services->openAnswers.push_back(FileDialogAnswer { path, 1 });
        m_dlg->LoadPictureExecute();
        m_services->saveAnswers.push_back(std::nullopt);
        m_dlg->PrintPictureExecute();
        QVERIFY(!m_dlg->Shape->isVisibleTo(m_dlg.get()));
        QVERIFY(!m_dlg->Border->isVisibleTo(m_dlg.get()));
    }

    void borders_toggleOnlyWithAPicture()
    {
        m_dlg->command(QStringLiteral("AddBorder"))->execute();
        QVERIFY(!m_dlg->Shape->isVisibleTo(m_dlg.get()));
        const QString bmp = writeBitmap(m_dir.filePath(QStringLiteral("b.bmp")), colourPicture(33, 22));
        m_services->openAnswers.push_back(FileDialogAnswer { bmp, 2 });
        m_dlg->LoadPictureExecute();
        m_dlg->command(QStringLiteral("AddBorder"))->execute();
        QVERIFY(m_dlg->Shape->isVisibleTo(m_dlg.get()));
        QVERIFY(m_dlg->Border->isVisibleTo(m_dlg.get()));
        QCOMPARE(m_dlg->Shape->geometry(), QRect(15, 15, 33, 22));
        QCOMPARE(m_dlg->Border->geometry(), QRect(10, 10, 33, 22));
        QCOMPARE(m_dlg->SelectedImage->geometry(), QRect(10, 10, 33, 22));
        // The shadow paints in the shadow colour, whatever the scroll box's.
        const QImage shadow = m_dlg->Shape->grab().toImage();
        QCOMPARE(shadow.pixelColor(shadow.width() - 1, shadow.height() - 1).rgb(),
                 m_dlg->Shape->palette().color(QPalette::Shadow).rgb());
        m_dlg->command(QStringLiteral("AddBorder"))->execute();
        QVERIFY(!m_dlg->Shape->isVisibleTo(m_dlg.get()));
        QVERIFY(!m_dlg->Border->isVisibleTo(m_dlg.get()));
    }

    void backgroundColour_takesTheChosenColour()
    {
        m_services->colorAnswers.push_back(QColor(Qt::darkCyan));
        m_dlg->command(QStringLiteral("SetBGColor"))->execute();
        QCOMPARE(m_dlg->ScrollBox->palette().color(m_dlg->ScrollBox->backgroundRole()), QColor(Qt::darkCyan));
        m_services->colorAnswers.push_back(std::nullopt);
        m_dlg->command(QStringLiteral("SetBGColor"))->execute();
        QCOMPARE(m_dlg->ScrollBox->palette().color(m_dlg->ScrollBox->backgroundRole()), QColor(Qt::darkCyan));
    }

    void addPicture_storesWhatTheTableCanHold_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("fieldType");
        QTest::addColumn<bool>("bitmapStored");
        QTest::newRow("dBASE binary memo") << "dbf" << int(FieldType::Blob) << false;
        QTest::newRow("dBASE general field") << "dbf" << int(FieldType::DBaseOle) << false;
        QTest::newRow("Paradox graphic") << "db" << int(FieldType::Graphic) << true;
        QTest::newRow("XML packet") << "xml" << int(FieldType::Graphic) << false;
    }
    void addPicture_storesWhatTheTableCanHold()
    {
        QFETCH(QString, kind);
        QFETCH(int, fieldType);
        QFETCH(bool, bitmapStored);
        const QSize size(36, 24);
        const QString jpg = writeJpeg(m_dir.filePath(QStringLiteral("pic.jpg")),
                                      colourPicture(size.width(), size.height()), false);
        m_services->openAnswers.push_back(FileDialogAnswer { jpg, 1 });
        m_dlg->LoadPictureExecute();

        const QString path = m_dir.filePath(QStringLiteral("shops.") + kind);
        std::unique_ptr<qvx::DataSet> ds;
        const auto openTable = [&] {
            if (kind == QLatin1String("xml")) {
                auto cds = std::make_unique<qvx::ClientDataSet>();
                cds->loadFromFile(path);
                ds = std::move(cds);
            } else {
                auto table = std::make_unique<qvx::Table>();
                table->setDatabaseName(m_dir.path());
                table->setTableName(QStringLiteral("shops.") + kind);
                table->open();
                ds = std::move(table);
            }
        };
        if (kind == QLatin1String("xml")) {
            qvx::ClientDataSet cds;
            cds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
            cds.addFieldDef(QStringLiteral("LOGO"), qvx::fieldTypeFromCode(fieldType));
            cds.createDataSet();
            cds.appendRecord({ QStringLiteral("one"), QVariant() });
            cds.appendRecord({ QStringLiteral("two"), QVariant() });
            cds.saveToFile(path, qvx::PacketFormat::Xml);
        } else {
            qvx::Table table;
            table.setDatabaseName(m_dir.path());
            table.setTableName(QStringLiteral("shops.") + kind);
            table.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
            table.addFieldDef(QStringLiteral("LOGO"), qvx::fieldTypeFromCode(fieldType));
            if (kind == QLatin1String("dbf")) {
                qvx::CreateOptions options;
                options.version = 0x8B; // dBASE IV: binary and general memo fields
                table.setCreateOptions(options);
            }
            table.createTable();
            table.open();
            table.appendRecord({ QStringLiteral("one"), QVariant() });
            table.appendRecord({ QStringLiteral("two"), QVariant() });
            table.close();
        }
        openTable();
        ds->setRecNo(2);
        {
            PictureChild child(ds.get(), path, QStringLiteral("LOGO"));
            m_dlg->ActiveChild = [&child]() -> qvx::ui::ChildWindow * { return &child; };
            m_dlg->command(QStringLiteral("AddPicture"))->execute();
            QVERIFY2(m_services->errors().isEmpty(), qPrintable(m_services->errors().join(u'\n')));
            QCOMPARE(ds->state(), qvx::DataSet::State::Browse);
            // The pane shows what was stored, a JPEG through our decoder.
            QVERIFY(child.picturePane()->hasPicture());
            QCOMPARE(child.picturePane()->pictureSize(), size);
            m_dlg->ActiveChild = nullptr;
        }
        if (auto *cds = dynamic_cast<qvx::ClientDataSet *>(ds.get()))
            cds->saveToFile(path, qvx::PacketFormat::Xml);
        ds.reset();

        openTable();
        ds->setRecNo(2);
        const QByteArray stored = ds->blob(1);
        if (bitmapStored) {
            QVERIFY(stored.startsWith("BM"));
            QImage back;
            QVERIFY(back.loadFromData(stored, "BMP"));
            QCOMPARE(back.size(), size);
        } else {
            QCOMPARE(stored, fileBytes(jpg));
        }
        ds->setRecNo(1);
        QVERIFY(ds->blob(1).isEmpty());
        ds.reset();

        if (kind == QLatin1String("dbf"))
            checkWithDbfread(path, stored);
    }

    void addPicture_withNoTableWindow_doesNothing()
    {
        const QString jpg = writeJpeg(m_dir.filePath(QStringLiteral("n.jpg")), colourPicture(10, 10), false);
        m_services->openAnswers.push_back(FileDialogAnswer { jpg, 1 });
        m_dlg->LoadPictureExecute();
        m_dlg->command(QStringLiteral("AddPicture"))->execute();
        m_dlg->ActiveChild = [] { return static_cast<qvx::ui::ChildWindow *>(nullptr); };
        m_dlg->command(QStringLiteral("AddPicture"))->execute();
        QVERIFY(m_services->messages.isEmpty());
        QCOMPARE(m_dlg->loadedPicture().size(), QSize(10, 10));
    }

    void clickAndDoubleClick_storeThePicture()
    {
        const QString bmp = writeBitmap(m_dir.filePath(QStringLiteral("k.bmp")), colourPicture(20, 16));
        m_services->openAnswers.push_back(FileDialogAnswer { bmp, 2 });
        m_dlg->LoadPictureExecute();
        qvx::ClientDataSet ds;
        ds.addFieldDef(QStringLiteral("LOGO"), FieldType::Graphic);
        ds.createDataSet();
        ds.appendRecord({ QVariant() });
        PictureChild child(&ds, QString(), QStringLiteral("LOGO"));
        m_dlg->ActiveChild = [&child]() -> qvx::ui::ChildWindow * { return &child; };
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));

        QTest::mouseClick(m_dlg->SelectedImage, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(ds.blob(0), fileBytes(bmp));
        QCOMPARE(ds.state(), qvx::DataSet::State::Browse);

        ds.edit();
        ds.setValue(0, QVariant());
        ds.post();
        QVERIFY(ds.blob(0).isEmpty());
        QTest::mouseDClick(m_dlg->SelectedImage, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(ds.blob(0), fileBytes(bmp));
        QVERIFY(m_services->messages.isEmpty());
        m_dlg->hide();
        m_dlg->ActiveChild = nullptr;
    }

    void execute_resetsTheJpegCombos()
    {
        for (QComboBox *c : { m_dlg->Scale, m_dlg->PixelFormat, m_dlg->ColorSpace, m_dlg->Performance })
            c->setCurrentIndex(1);
        m_dlg->Transparent->setCurrentIndex(0);
        m_services->modalAnswers.push_back(QDialog::Accepted);
        QVERIFY(m_dlg->Execute());
        for (QComboBox *c : { m_dlg->Scale, m_dlg->PixelFormat, m_dlg->ColorSpace, m_dlg->Performance })
            QCOMPARE(c->currentIndex(), 0);
        QCOMPARE(m_dlg->Transparent->currentIndex(), 0);
        QVERIFY(!m_dlg->Execute());
    }

private:
    // dbfread, an independent reader, sees the same bytes in the field.
    void checkWithDbfread(const QString &path, const QByteArray &stored)
    {
        const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
            ? QStringLiteral("/usr/bin/python3")
            : QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        QProcess probe;
        probe.start(python, { QStringLiteral("-c"), QStringLiteral("import dbfread") });
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            QSKIP("dbfread (python3-dbfread) is not installed");
        QProcess process;
        process.start(
            python,
            { QStringLiteral("-c"),
              QStringLiteral("import sys, dbfread\n"
                             "rows = list(dbfread.DBF(sys.argv[1], raw=False))\n"
                             "v = rows[1]['LOGO']\n"
                             "sys.stdout.buffer.write(v if isinstance(v, bytes) else v.encode('latin-1'))\n"),
              path });
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        // dbfread cuts a memo at its first 0x1F byte and reads the block
        // header's length (which counts the header) as the data's, so it
        // gives a prefix of the bytes or the bytes and a little more.
        const QByteArray read = process.readAllStandardOutput();
        const qsizetype cut = stored.indexOf('\x1f');
        if (cut >= 0)
            QCOMPARE(read, stored.left(cut));
        else
            QCOMPARE(read.left(stored.size()), stored);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<TGraphFormDlg> m_dlg;
};

QTEST_MAIN(TestGraphDlg)
#include "tst_graphdlg.moc"
