// The page manager: the layout worked through for an A4 page at 600 dots per
// inch on a 1024 x 768 screen, sound pagination at its edges, what a page
// draws (title, header, footer, cells, frames, placement), navigation, the
// margins, the JPEG preview, printing to PDF, and the reads a million-record
// table costs.
#include "support/ScriptedServices.h"

#include "engine/ClientDataSet.h"
#include "engine/image/Jpeg.h"
#include "output/PrintTable.h"
#include "output/TitleDlg.h"
#include "ui/CommandList.h"
#include "ui/DBGrid.h"
#include "ui/DataSource.h"
#include "ui/PrintTarget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <memory>

using qvx::ClientDataSet;
using qvx::FieldDef;
using qvx::FieldType;

namespace {

// Made-up records, counting how many the page manager reads.
class CountingDataSet : public qvx::DataSet {
public:
    explicit CountingDataSet(qint64 rows) : m_rows(rows) { }
    mutable qint64 reads = 0;

protected:
    qvx::FieldDefs doOpen() override
    {
        return { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                 FieldDef(QStringLiteral("NAME"), FieldType::String, 20) };
    }
    void doClose() override { }
    qint64 doRecordCount() const override { return m_rows; }
    void doRead(qint64 index, qvx::Record &rec) const override
    {
        ++reads;
        rec[0] = int(index + 1);
        rec[1] = QStringLiteral("row %1").arg(index + 1);
    }

private:
    qint64 m_rows;
};

// A page manager over a grid, with the printer and screen of the worked
// layout: A4 portrait at 600 dots per inch, a 1024 x 768 screen at 96.
struct Fixture {
    ScriptedServices services;
    std::unique_ptr<qvx::DataSet> data;
    qvx::ui::DataSource source;
    qvx::ui::DBGrid grid;
    TTitleForm titles;
    TPrintForm form { titles };

    explicit Fixture(std::unique_ptr<qvx::DataSet> dataSet, int columnWidth = 64, int fontSize = 8)
        : data(std::move(dataSet))
    {
        QPrinter &printer = services.printer();
        printer.setResolution(600);
        printer.setPageSize(QPageSize(QPageSize::A4));
        // A4 at 600 dots per inch, as the layout is worked through for it
        // (Qt's own A4 is whole points, 4958 x 7017).
        services.printerPage = QSize(4960, 7016);
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setFullPage(true);
        source.setDataSet(data.get());
        grid.setDataSource(&source);
        for (int k = 0; k < grid.columnCount(); ++k) {
            grid.setColumnWidth(k, columnWidth);
            grid.column(k).font = QFont(QStringLiteral("DejaVu Sans"), fontSize);
            grid.columnChanged(k);
        }
        form.setSource(&grid, QStringLiteral("Shops"));
    }

    // Opens the window (modal through the scripted services, which run
    // during while it shows).
    void open(std::function<void()> during = {})
    {
        services.onModal = [during](QDialog &) {
            if (during)
                during();
        };
        form.Execute();
    }

    QStringList drawnTexts() const
    {
        QStringList texts;
        for (const TPrintForm::DrawnText &d : form.Drawn)
            texts << d.text;
        return texts;
    }
};

// A table of `columns` text columns and `rows` records ("r<row>c<col>").
std::unique_ptr<qvx::DataSet> table(int columns, int rows)
{
    auto ds = std::make_unique<ClientDataSet>();
    for (int c = 0; c < columns; ++c)
        ds->addFieldDef(QStringLiteral("F%1").arg(c), FieldType::String, 10);
    ds->createDataSet();
    for (int r = 1; r <= rows; ++r) {
        qvx::Record rec;
        for (int c = 0; c < columns; ++c)
            rec.push_back(QStringLiteral("r%1c%2").arg(r).arg(c));
        ds->appendRecord(rec);
    }
    ds->first();
    return ds;
}

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}

} // namespace

class TestPrintForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void workedLayout();
    void columnsPaginateWithinTheArea();
    void recordsPaginateArithmetically_data();
    void recordsPaginateArithmetically();
    void titleOnFirstPageHeaderAndFooterOnEvery();
    void emptyTableAndGridWithoutColumns();
    void optionsOffDrawNoBandsNorFrames();
    void cellTextsAndPositions();
    void rightPlacementOfAWideRow();
    void navigationAndStatus();
    void marginSpins();
    void reopeningKeepsTitleClearsHeaderFooter();
    void textManagerEditsBlocks();
    void previewIsAJpegDecodedAtScale();
    void saveAsJpeg();
    void fitToPage_data();
    void fitToPage();
    void printTableWritesTheRangeAsPdf();
    void printCurrentPageRestoresZoom();
    void printToAFileThatCannotBeWritten();
    void millionRecordsReadOnlyWhatIsShown();

private:
    QTemporaryDir m_cache;
};

void TestPrintForm::initTestCase()
{
    QVERIFY(m_cache.isValid());
    qputenv("XDG_CACHE_HOME", m_cache.path().toLocal8Bit());
}

void TestPrintForm::workedLayout()
{
    Fixture f(table(3, 5));
    f.open();
    QCOMPARE(f.form.WidthRatio, 5);
    QCOMPARE(f.form.HeightRatio, 9);
    QCOMPARE(f.form.PageWidth, 779);
    QCOMPARE(f.form.PageHeight, 992);
    QCOMPARE(f.form.pictureSize(), QSize(795, 1008));
    QCOMPARE(f.form.columnWidth(0), 160);
    QCOMPARE(f.form.LargestFontSize, 8);
    QCOMPARE(f.form.RowHeight, 48);
    QCOMPARE(f.form.TopValue->text(), QStringLiteral("0.50\""));
    QCOMPARE(f.form.RightValue->text(), QStringLiteral("0.50\""));
    QCOMPARE(TPrintForm::marginText(36, 96), QStringLiteral("0.38\""));
    QCOMPARE(TPrintForm::marginText(108, 96), QStringLiteral("1.10\""));
    // The preview file sits in the program's cache folder.
    QVERIFY(f.form.PreviewFile.startsWith(m_cache.path()));
    QVERIFY(f.form.PreviewFile.endsWith(QLatin1String("/cPage.jpg")));
}

void TestPrintForm::columnsPaginateWithinTheArea()
{
    // Ten 160-pixel columns in a 683-pixel area: cells overlap by a pixel,
    // so four fit (160 + 3 * 159 = 637) and a fifth would not (796).
    Fixture f(table(10, 3));
    f.open();
    QCOMPARE(f.form.HorizontalPageCount(), 3);
    const std::vector<std::pair<int, int>> expected { { 0, 3 }, { 4, 7 }, { 8, 9 } };
    for (int p = 0; p < 3; ++p) {
        QCOMPARE(f.form.ColumnPages[size_t(p)].first, expected[size_t(p)].first);
        QCOMPARE(f.form.ColumnPages[size_t(p)].last, expected[size_t(p)].second);
    }
    // Every column drawn on a page ends within the drawing area.
    for (int p = 1; p <= 3; ++p) {
        f.form.RenderPageImage(p, 1);
        for (const TPrintForm::DrawnText &d : f.form.Drawn)
            QVERIFY2(d.cell.x() + d.cell.width() <= f.form.DrawArea.right, qPrintable(d.text));
    }
}

void TestPrintForm::recordsPaginateArithmetically_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("titleSize"); // 0: no title
    QTest::addColumn<QList<qint64>>("lastOfPages");
    // The area runs from 48 to 944; the title row takes 48 and each record
    // 47 more, so a page holds 18 records; a 14-point title (84 pixels)
    // leaves page 1 room for 16.
    QTest::newRow("one page") << 5 << 0 << QList<qint64> { 5 };
    QTest::newRow("exactly full") << 18 << 0 << QList<qint64> { 18 };
    QTest::newRow("one over") << 19 << 0 << QList<qint64> { 18, 19 };
    QTest::newRow("three pages") << 40 << 0 << QList<qint64> { 18, 36, 40 };
    QTest::newRow("title shortens page 1") << 40 << 14 << QList<qint64> { 16, 34, 40 };
    // A title as high as the area leaves page 1 without records.
    QTest::newRow("title fills page 1") << 3 << 150 << QList<qint64> { 0, 3 };
}

void TestPrintForm::recordsPaginateArithmetically()
{
    QFETCH(int, records);
    QFETCH(int, titleSize);
    QFETCH(QList<qint64>, lastOfPages);
    Fixture f(table(2, records));
    if (titleSize) {
        f.form.Title.text = QStringLiteral("Sales");
        f.form.Title.size = titleSize;
    }
    f.open();
    QCOMPARE(f.form.VerticalPageCount(), qint64(lastOfPages.size()));
    qint64 next = 1;
    for (qint64 p = 1; p <= f.form.VerticalPageCount(); ++p) {
        const TPrintForm::RecordPage page = f.form.recordPage(p);
        QCOMPARE(page.first, next);
        QCOMPARE(page.last, lastOfPages[p - 1]);
        next = std::max(next, page.last + 1);
        // No row runs past the bottom margin into the footer band.
        f.form.RenderPageImage(1, p);
        for (const TPrintForm::DrawnText &d : f.form.Drawn)
            QVERIFY2(d.cell.y() + d.cell.height() <= f.form.DrawArea.bottom, qPrintable(d.text));
    }
    QCOMPARE(next, qint64(records + 1));
}

void TestPrintForm::titleOnFirstPageHeaderAndFooterOnEvery()
{
    Fixture f(table(10, 40));
    f.form.Title.text = QStringLiteral("Annual");
    f.open([&] {
        f.form.Header.text = QStringLiteral("Head");
        f.form.Footer.text = QStringLiteral("Foot");
        for (auto [h, v] : { std::pair { 1, 1 }, { 2, 1 }, { 1, 2 }, { 3, 3 } }) {
            f.form.RenderPageImage(h, v);
            const QStringList texts = f.drawnTexts();
            QCOMPARE(texts.contains(QStringLiteral("Annual")), h == 1 && v == 1);
            QVERIFY(texts.contains(QStringLiteral("Head")));
            QVERIFY(texts.contains(QStringLiteral("Foot")));
        }
        // The header is centred in the band above the area, the footer in the one below it.
        f.form.RenderPageImage(1, 1);
        for (const TPrintForm::DrawnText &d : f.form.Drawn) {
            if (d.text == QLatin1String("Head"))
                QCOMPARE(d.cell, QRect(48, 2, 731 - 48, 48 - 2));
            if (d.text == QLatin1String("Foot"))
                QCOMPARE(d.cell, QRect(48, 944, 731 - 48, 48 - 2));
        }
    });
}

void TestPrintForm::emptyTableAndGridWithoutColumns()
{
    {
        Fixture f(table(3, 0));
        f.open();
        QCOMPARE(f.form.VerticalPageCount(), qint64(1));
        QCOMPARE(f.drawnTexts(), (QStringList { "F0", "F1", "F2" }));
    }
    {
        // No visible column: an empty page with the title.
        auto ds = table(2, 4);
        ds->setFieldVisible(0, false);
        ds->setFieldVisible(1, false);
        Fixture f(std::move(ds));
        f.form.Title.text = QStringLiteral("Nothing shown");
        f.open();
        QCOMPARE(f.grid.columnCount(), 0);
        QCOMPARE(f.form.HorizontalPageCount(), 1);
        QCOMPARE(f.form.VerticalPageCount(), qint64(1));
        QCOMPARE(f.drawnTexts(), QStringList { QStringLiteral("Nothing shown") });
    }
}

void TestPrintForm::optionsOffDrawNoBandsNorFrames()
{
    Fixture f(table(2, 3));
    f.open([&] {
        f.form.Header.text = QStringLiteral("Head");
        f.form.Footer.text = QStringLiteral("Foot");
        f.form.PrintMode = true;
        const auto render = [&] { return f.form.RenderPageImage(1, 1); };
        QImage framed = render();
        const QRect cell = f.form.Drawn.last().cell;
        QCOMPARE(QColor(framed.pixel(cell.topLeft())), QColor(Qt::black));
        QVERIFY(f.drawnTexts().contains(QStringLiteral("Head")));

        // The tools menu's commands and the boxes move together.
        f.form.command(QStringLiteral("PrintBorders"))->execute();
        QVERIFY(!f.form.PrintBordersCheck->isChecked());
        QVERIFY(!f.form.command(QStringLiteral("PrintBorders"))->isChecked());
        f.form.PrintHeaderCheck->setChecked(false);
        QVERIFY(!f.form.command(QStringLiteral("PrintHeader"))->isChecked());
        f.form.command(QStringLiteral("PrintFooter"))->execute();
        f.form.PrintMode = true;
        QImage bare = render();
        QCOMPARE(QColor(bare.pixel(cell.topLeft())), QColor(Qt::white));
        QVERIFY(!f.drawnTexts().contains(QStringLiteral("Head")));
        QVERIFY(!f.drawnTexts().contains(QStringLiteral("Foot")));
        // Nothing in the header band: a page in print mode is blank there.
        for (int x = 48; x < 731; x += 7)
            QCOMPARE(QColor(bare.pixel(x, 25)), QColor(Qt::white));
        f.form.PrintMode = false;
    });
}

void TestPrintForm::cellTextsAndPositions()
{
    auto ds = std::make_unique<ClientDataSet>();
    ds->addFieldDef(QStringLiteral("NOTES"), FieldType::Memo);
    ds->addFieldDef(QStringLiteral("AMOUNT"), FieldType::Integer);
    ds->addFieldDef(QStringLiteral("LOGO"), FieldType::Graphic);
    ds->createDataSet();
    ds->appendRecord({ QStringLiteral("a long note"), 1234, QByteArray("not a picture") });
    ds->setDisplayLabel(1, QStringLiteral("Amount"));
    // With the memo column hidden, each cell keeps the field it shows.
    ds->setFieldVisible(0, false);
    Fixture f(std::move(ds));
    f.open();
    const QStringList texts = f.drawnTexts();
    QCOMPARE(texts, (QStringList { "Amount", "LOGO", "1234", "Graphic" }));

    // Left text starts 4 pixels into its cell; right text ends 4 before its edge.
    const TPrintForm::DrawnText title = f.form.Drawn[0];
    QCOMPARE(title.at.x(), title.cell.x() + 4);
    const TPrintForm::DrawnText amount = f.form.Drawn[2];
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(96 / 0.0254));
    probe.setDotsPerMeterY(qRound(96 / 0.0254));
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 8), &probe);
    QCOMPARE(amount.at.x() + metrics.horizontalAdvance(QStringLiteral("1234")) + 4,
             amount.cell.x() + amount.cell.width());
    // Rows overlap by a pixel: the record row starts on the title row's last line.
    QCOMPARE(amount.cell.y(), title.cell.y() + 48 - 1);
    QCOMPARE(f.form.Drawn[1].cell.x(), title.cell.x() + title.cell.width() - 1);
}

void TestPrintForm::rightPlacementOfAWideRow()
{
    // One column of 400 screen pixels is 1000 on the page, wider than the
    // area's right edge (731): the row starts at 1000 - 731.
    Fixture f(table(1, 2), 400);
    f.open([&] {
        f.form.command(QStringLiteral("Right"))->execute();
        QCOMPARE(f.form.TablePlacement, int(TPrintForm::PlaceRight));
        QVERIFY(f.form.command(QStringLiteral("Right"))->isChecked());
        QVERIFY(!f.form.command(QStringLiteral("Left"))->isChecked());
        QCOMPARE(f.form.Drawn.first().cell.x(), 1000 - 731);
        f.form.command(QStringLiteral("Center"))->execute();
        QCOMPARE(f.form.Drawn.first().cell.x(), (48 + 731 - 1000) / 2);
    });
    // Opening again places the table left.
    f.open();
    QCOMPARE(f.form.TablePlacement, int(TPrintForm::PlaceLeft));
    QCOMPARE(f.form.Drawn.first().cell.x(), 48);
}

void TestPrintForm::navigationAndStatus()
{
    Fixture f(table(5, 30)); // two pages each way
    f.open([&] {
        QCOMPARE(f.form.HorizontalPageCount(), 2);
        QCOMPARE(f.form.VerticalPageCount(), qint64(2));
        QCOMPARE(f.form.StatusPanel[2]->text(), QStringLiteral(" Shops"));
        // The pages shown after a command; -1, -1 when it did not render
        // again (every page command does, even when the page stays).
        const auto run = [&](const char *name) -> std::pair<int, qint64> {
            QFile::remove(f.form.PreviewFile);
            f.form.command(QLatin1String(name))->execute();
            if (!QFile::exists(f.form.PreviewFile))
                return { -1, -1 };
            return { f.form.CurrentHorizontalPage, f.form.CurrentVerticalPage };
        };
        QCOMPARE(run("Prevision"), (std::pair<int, qint64> { 1, 1 }));
        QCOMPARE(run("Next"), (std::pair<int, qint64> { 2, 1 }));
        QCOMPARE(f.form.StatusPanel[0]->text(), QStringLiteral(" Horizontal: 2"));
        QCOMPARE(f.form.StatusPanel[1]->text(), QStringLiteral(" Vertical: 1"));
        QCOMPARE(run("Next"), (std::pair<int, qint64> { 2, 1 }));
        QCOMPARE(run("Down"), (std::pair<int, qint64> { 2, 2 }));
        QCOMPARE(run("Down"), (std::pair<int, qint64> { 2, 2 }));
        QCOMPARE(run("Up"), (std::pair<int, qint64> { 2, 1 }));
        QCOMPARE(run("Last"), (std::pair<int, qint64> { 2, 2 }));
        QCOMPARE(f.drawnTexts().last(), QStringLiteral("r30c4"));
        QCOMPARE(run("First"), (std::pair<int, qint64> { 1, 1 }));
        // Rendering leaves the data set on the last record drawn.
        QCOMPARE(f.data->recNo(), qint64(18));
    });
}

void TestPrintForm::marginSpins()
{
    Fixture f(table(2, 2));
    f.open([&] {
        const auto click = [](TSpinButton *spin, bool up, int times) {
            for (int i = 0; i < times; ++i)
                (up ? spin->UpButton : spin->DownButton)->click();
        };
        click(f.form.TopSpinBtn, false, 1);
        QCOMPARE(f.form.TopMargin, 36);
        QCOMPARE(f.form.TopValue->text(), QStringLiteral("0.38\""));
        click(f.form.TopSpinBtn, false, 3);
        QCOMPARE(f.form.TopMargin, 24);
        // Up stops before top + bottom reaches the picture's height - 50 (958).
        click(f.form.TopSpinBtn, true, 200);
        QCOMPARE(f.form.TopMargin, 900);
        QVERIFY(f.form.TopMargin + f.form.BottomMargin < 1008 - 50);
        // ... and left + right its width - 100 (695).
        click(f.form.LeftSpinBtn, true, 200);
        QCOMPARE(f.form.LeftMargin, 636);
        QVERIFY(f.form.LeftMargin + f.form.RightMargin < 795 - 100);
        // The margins reach the page at the next layout, not before.
        QCOMPARE(f.form.DrawArea.top, 48);
        f.form.command(QStringLiteral("Update"))->execute();
        QCOMPARE(f.form.DrawArea.top, 900);
    });
}

void TestPrintForm::reopeningKeepsTitleClearsHeaderFooter()
{
    Fixture f(table(2, 2));
    f.form.Title.text = QStringLiteral("Kept");
    f.open([&] {
        f.form.Header = { QStringLiteral("Head"), QStringLiteral("DejaVu Serif"), 14, true };
        f.form.Footer.text = QStringLiteral("Foot");
        f.form.Scale->setCurrentIndex(2);
    });
    f.open();
    QCOMPARE(f.form.Title.text, QStringLiteral("Kept"));
    QVERIFY(f.form.Header.text.isEmpty());
    QVERIFY(f.form.Footer.text.isEmpty());
    QCOMPARE(f.form.Header.fontName, QStringLiteral("DejaVu Serif"));
    QCOMPARE(f.form.Header.size, 14);
    QCOMPARE(f.form.Scale->currentIndex(), 0);
    QCOMPARE(f.form.TopMargin, 48);
}

void TestPrintForm::textManagerEditsBlocks()
{
    Fixture f(table(2, 30));
    f.open([&] {
        // The Text Manager is closed with Cancel (the scripted default): the
        // block still takes what was typed.
        f.services.onModal = [&](QDialog &dialog) {
            QCOMPARE(&dialog, static_cast<QDialog *>(&f.titles));
            f.titles.TextMemo->setPlainText(QStringLiteral("Totals\nsecond line"));
            f.titles.FontSize->setCurrentText(QStringLiteral("20"));
        };
        f.form.command(QStringLiteral("Title"))->execute();
        QCOMPARE(f.form.Title.text, QStringLiteral("Totals"));
        QCOMPARE(f.form.Title.size, 20);
        // Editing the title lays out again: 20 points take 120 pixels of page 1.
        QCOMPARE(f.form.TitleHeight, 120);
        QCOMPARE(f.form.recordPage(1).last, qint64(15));
        QVERIFY(f.drawnTexts().contains(QStringLiteral("Totals")));
    });
}

void TestPrintForm::previewIsAJpegDecodedAtScale()
{
    Fixture f(table(3, 5));
    f.open([&] {
        QFile file(f.form.PreviewFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const qvx::jpeg::Picture picture = qvx::jpeg::decode(bytes);
        QCOMPARE(QSize(picture.width, picture.height), QSize(795, 1008));
        QCOMPARE(f.form.previewPicture().size(), QSize(795, 1008));
        QVERIFY(f.form.Scale->isEnabled());

        f.form.Scale->setCurrentIndex(2);
        f.form.ColorSpace->setCurrentIndex(1);
        QFile::remove(f.form.PreviewFile);
        f.form.ApplyPreviewScale();
        // Zoom and colour decode again; they render nothing.
        QVERIFY(!QFile::exists(f.form.PreviewFile));
        QCOMPARE(f.form.previewPicture().size(), QSize(199, 252));
        QVERIFY(f.form.previewPicture().isGrayscale());
        QCOMPARE(f.form.PreviewImage->size(), QSize(795, 1008));

        // An independent decoder reads the same file.
        const QString djpeg = tool("djpeg");
        if (djpeg.isEmpty())
            return;
        const QString path = f.form.PreviewFile + QStringLiteral(".copy.jpg");
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(bytes);
        copy.close();
        QProcess process;
        process.start(djpeg, { QStringLiteral("-pnm"), path });
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().startsWith("P6\n795 1008\n"));
    });
}

void TestPrintForm::saveAsJpeg()
{
    Fixture f(table(3, 5));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.jpg"));
    f.open([&] {
        f.services.saveAnswers.push_back(std::nullopt);
        f.form.command(QStringLiteral("SaveAsJPG"))->execute();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(f.services.saveRequests.last().title, QStringLiteral("Save Current Page"));
        QCOMPARE(f.services.saveRequests.last().filter, QStringLiteral("JPEG Image File (*.jpg)|*.jpg"));

        f.form.Scale->setCurrentIndex(3);
        f.form.ApplyPreviewScale();
        f.services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { path, 1 });
        f.form.command(QStringLiteral("SaveAsJPG"))->execute();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const qvx::jpeg::Header header = qvx::jpeg::readHeader(file.readAll());
        QCOMPARE(QSize(header.width, header.height), QSize(795, 1008));
        // Back at the zoom it had, in preview mode.
        QCOMPARE(f.form.Scale->currentIndex(), 3);
        QVERIFY(!f.form.PrintMode);
        QCOMPARE(f.form.previewPicture().size(), QSize(100, 126));
    });
}

void TestPrintForm::fitToPage_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("fitted");
    // A portrait-shaped picture is enlarged to the page's height, then kept
    // within its width.
    QTest::newRow("portrait page picture") << QSize(795, 1008) << QSize(4960, 7016) << QSize(4960, 6288);
    QTest::newRow("landscape-shaped, enlarged to the width")
        << QSize(1000, 500) << QSize(4960, 7016) << QSize(4960, 2480);
    QTest::newRow("tall, enlarged to the height")
        << QSize(100, 700) << QSize(4960, 7016) << QSize(1002, 7016);
    QTest::newRow("too wide, shrunk") << QSize(8000, 4000) << QSize(4960, 7016) << QSize(4960, 2480);
    QTest::newRow("too tall, shrunk") << QSize(1000, 9000) << QSize(4960, 7016) << QSize(779, 7016);
}

void TestPrintForm::fitToPage()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, page);
    QFETCH(QSize, fitted);
    QCOMPARE(qvx::ui::fitToPage(picture, page), fitted);
}

void TestPrintForm::printTableWritesTheRangeAsPdf()
{
    Fixture f(table(10, 50)); // three pages each way
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("range.pdf"));
    f.open([&] {
        QCOMPARE(f.form.LastHorizontalPage->text(), QStringLiteral("3"));
        QCOMPARE(f.form.LastVerticalPage->text(), QStringLiteral("3"));
        // The range spins keep first <= last within the pages there are.
        f.form.HLastSpinBtn->UpButton->click();
        QCOMPARE(f.form.PrintLastHorizontal, 3);
        f.form.HLastSpinBtn->DownButton->click();
        QCOMPARE(f.form.LastHorizontalPage->text(), QStringLiteral("2"));
        f.form.VFirstSpinBtn->UpButton->click();
        f.form.VFirstSpinBtn->DownButton->click();
        f.form.VFirstSpinBtn->DownButton->click();
        QCOMPARE(f.form.PrintFirstVertical, qint64(1));
        f.form.FirstVerticalPage->setText(QStringLiteral("2"));
        f.form.LastVerticalPage->setText(QStringLiteral("9")); // beyond the pages: the last
        f.services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { pdf, 1 });
        f.form.command(QStringLiteral("Print"))->execute();
        QCOMPARE(f.form.PrintFirstVertical, qint64(2));
        QCOMPARE(f.form.PrintLastVertical, qint64(3));
    });
    // No printer: the services' printer writes PDF to the file named.
    QCOMPARE(f.services.saveRequests.last().filter, QStringLiteral("PDF Document (*.pdf)|*.pdf"));
    QVERIFY(QFileInfo(pdf).size() > 0);
    const QString pdfinfo = tool("pdfinfo");
    if (pdfinfo.isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    QProcess process;
    process.start(pdfinfo, { pdf });
    QVERIFY(process.waitForFinished(30000));
    QVERIFY(
        QString::fromUtf8(process.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+4\\n")));
}

void TestPrintForm::printCurrentPageRestoresZoom()
{
    Fixture f(table(2, 3));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    f.open([&] {
        f.form.Scale->setCurrentIndex(1);
        f.form.ApplyPreviewScale();
        f.services.saveAnswers.push_back(std::nullopt); // cancelled: nothing printed
        f.form.command(QStringLiteral("PrintCurrentPage"))->execute();
        QVERIFY(!QFile::exists(pdf));
        f.services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { pdf, 1 });
        f.form.command(QStringLiteral("PrintCurrentPage"))->execute();
        QCOMPARE(f.form.Scale->currentIndex(), 1);
        QVERIFY(!f.form.PrintMode);
        QCOMPARE(f.form.previewPicture().size(), QSize(398, 504));
    });
    QVERIFY(QFileInfo(pdf).size() > 0);
    QVERIFY(f.services.errors().isEmpty());
}

void TestPrintForm::printToAFileThatCannotBeWritten()
{
    // Qt's PDF printing fails silently; the file is tried when it is chosen.
    Fixture f(table(2, 3));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("missing/page.pdf"));
    f.open([&] {
        f.services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { pdf, 1 });
        f.form.command(QStringLiteral("Print"))->execute();
    });
    QCOMPARE(f.services.errors().size(), 1);
    QVERIFY2(f.services.errors().first().startsWith(QStringLiteral("Cannot print to ") + pdf),
             qPrintable(f.services.errors().first()));
    QVERIFY(!QFile::exists(pdf));
}

void TestPrintForm::millionRecordsReadOnlyWhatIsShown()
{
    auto data = std::make_unique<CountingDataSet>(1000000);
    data->open();
    CountingDataSet *counting = data.get();
    Fixture f(std::move(data));
    counting->reads = 0;
    f.open([&] { f.form.command(QStringLiteral("Last"))->execute(); });
    // 18 records a page: the last page holds the last 10.
    QCOMPARE(f.form.VerticalPageCount(), qint64(55556));
    QCOMPARE(f.form.recordPage(55556).first, qint64(999991));
    QCOMPARE(f.form.recordPage(55556).last, qint64(1000000));
    QCOMPARE(f.drawnTexts().last(), QStringLiteral("row 1000000"));
    // No more reads than the records on the two pages shown.
    QVERIFY2(counting->reads <= 18 + 10, qPrintable(QString::number(counting->reads)));
}

QTEST_MAIN(TestPrintForm)
#include "tst_printform.moc"
