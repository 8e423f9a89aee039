// The JPEG codec: round trips, scaled and grey-scale decoding, colour
// quantizing, progressive passes, refusals of damaged and hostile files, and
// files exchanged with the libjpeg command-line tools.
#include "engine/EngineError.h"
#include "engine/image/Jpeg.h"

#include "fuzz/fuzz_jpeg.h"
#include "fuzz_replay.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace qvx;
using jpeg::Picture;

Q_DECLARE_METATYPE(qvx::jpeg::Picture)

namespace {

// A smooth picture (gradients and a soft ring) that JPEG keeps close, so a
// round trip can be held to a small error.
Picture smoothPicture(int width, int height, int components)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.components = components;
    p.pixels.resize(qsizetype(width) * height * components);
    auto *out = reinterpret_cast<uchar *>(p.pixels.data());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / std::max(1, width - 1), fy = double(y) / std::max(1, height - 1);
            const double ring = 0.5 + 0.5 * std::cos(std::hypot(fx - 0.5, fy - 0.5) * 9);
            const uchar rgb[3] = { uchar(40 + 180 * fx), uchar(30 + 190 * fy), uchar(60 + 150 * ring) };
            if (components == 1)
                *out++ = uchar((rgb[0] + rgb[1] + rgb[2]) / 3);
            else
                for (uchar v : rgb)
                    *out++ = v;
        }
    }
    return p;
}

// Many distinct colours (every pixel its own), for the quantizer.
Picture colourfulPicture(int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.resize(qsizetype(width) * height * 3);
    auto *out = reinterpret_cast<uchar *>(p.pixels.data());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            *out++ = uchar(x * 4);
            *out++ = uchar(y * 4);
            *out++ = uchar((x * 7 + y * 13) % 256);
        }
    return p;
}

double meanDifference(const Picture &a, const Picture &b)
{
    if (a.pixels.size() != b.pixels.size() || a.pixels.isEmpty())
        return 1e9;
    double sum = 0;
    for (qsizetype i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(int(uchar(a.pixels[i])) - int(uchar(b.pixels[i])));
    return sum / double(a.pixels.size());
}

int largestDifference(const Picture &a, const Picture &b)
{
    int most = 0;
    for (qsizetype i = 0; i < std::min(a.pixels.size(), b.pixels.size()); ++i)
        most = std::max(most, std::abs(int(uchar(a.pixels[i])) - int(uchar(b.pixels[i]))));
    return most;
}

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(QVX_FIXTURES "/fuzz/fuzz_jpeg/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return f.readAll();
}

// A JPEG cut into what comes before its first scan and its scans, each with
// the tables written for it (from the end of the scan before, or for the
// first from its first Huffman table) and its data up to the next marker that
// is not a restart.
struct Scans {
    QByteArray head;
    QList<QByteArray> scans;
};

Scans splitScans(const QByteArray &jpeg)
{
    Scans s;
    qsizetype i = 2;
    qsizetype chunkStart = -1;
    while (i + 4 <= jpeg.size()) {
        const uchar marker = uchar(jpeg[i + 1]);
        if (marker == 0xD9)
            break;
        const qsizetype length = uchar(jpeg[i + 2]) << 8 | uchar(jpeg[i + 3]);
        qsizetype end = i + 2 + length;
        if (chunkStart < 0 && (marker == 0xC4 || marker == 0xDA))
            chunkStart = i;
        if (marker == 0xDA) {
            while (end + 1 < jpeg.size()
                   && !(uchar(jpeg[end]) == 0xFF && uchar(jpeg[end + 1]) != 0
                        && (uchar(jpeg[end + 1]) < 0xD0 || uchar(jpeg[end + 1]) > 0xD7)))
                ++end;
            if (s.scans.isEmpty())
                s.head = jpeg.left(chunkStart);
            s.scans << jpeg.mid(chunkStart, end - chunkStart);
            chunkStart = end;
        }
        i = end;
    }
    return s;
}

// The picture's SOF segment rewritten to claim another size.
QByteArray claimingSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size();) {
        const uchar marker = uchar(jpeg[i + 1]);
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
        i += 2 + (uchar(jpeg[i + 2]) << 8 | uchar(jpeg[i + 3]));
    }
    qFatal("no SOF marker");
    return jpeg;
}

// Peak virtual memory of this process, in kB: a large allocation raises it
// even when its pages are never touched.
long peakVirtualKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmPeak:", 0) == 0)
            return std::stol(line.substr(7));
    return -1;
}

// A PPM (P6) or PGM (P5) file's header fields and pixel bytes.
struct Pnm {
    QByteArray magic;
    int width = 0, height = 0, maxValue = 0;
    QByteArray pixels;
};

Pnm readPnm(const QByteArray &bytes)
{
    Pnm pnm;
    qsizetype i = 0;
    const auto token = [&] {
        while (i < bytes.size() && (std::isspace(uchar(bytes[i])) || bytes[i] == '#')) {
            if (bytes[i] == '#')
                while (i < bytes.size() && bytes[i] != '\n')
                    ++i;
            else
                ++i;
        }
        const qsizetype start = i;
        while (i < bytes.size() && !std::isspace(uchar(bytes[i])))
            ++i;
        return bytes.mid(start, i - start);
    };
    pnm.magic = token();
    pnm.width = token().toInt();
    pnm.height = token().toInt();
    pnm.maxValue = token().toInt();
    pnm.pixels = bytes.mid(i + 1);
    return pnm;
}

QByteArray pnmOf(const Picture &p)
{
    return (p.components == 1 ? QByteArray("P5\n") : QByteArray("P6\n")) + QByteArray::number(p.width) + ' '
        + QByteArray::number(p.height) + "\n255\n" + p.pixels;
}

// Runs a tool; its standard output, or a failed test naming what it said.
bool runTool(const QString &program, const QStringList &args, QByteArray &output)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    output = process.readAllStandardOutput();
    return true;
}

} // namespace

class TestJpeg : public QObject {
    Q_OBJECT
private slots:
    void jpegFuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_jpeg"); }
    void jpegFuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::jpegInput); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("components");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("quality");
        QTest::addColumn<double>("tolerance"); // mean difference per byte
        QTest::newRow("colour") << 160 << 120 << 3 << false << 90 << 2.0;
        QTest::newRow("colour, progressive") << 160 << 120 << 3 << true << 90 << 2.0;
        QTest::newRow("grey") << 97 << 61 << 1 << false << 90 << 1.5;
        QTest::newRow("grey, progressive") << 97 << 61 << 1 << true << 90 << 1.5;
        QTest::newRow("odd colour size") << 33 << 17 << 3 << false << 90 << 4.0;
        QTest::newRow("one pixel") << 1 << 1 << 3 << false << 90 << 4.0;
        QTest::newRow("low quality") << 160 << 120 << 3 << false << 10 << 8.0;
    }

    void roundTrip()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, components);
        QFETCH(bool, progressive);
        QFETCH(int, quality);
        QFETCH(double, tolerance);
        const Picture original = smoothPicture(width, height, components);
        jpeg::EncodeOptions options;
        options.quality = quality;
        options.progressive = progressive;
        const QByteArray bytes = jpeg::encode(original, options);
        QVERIFY(jpeg::looksLikeJpeg(bytes));
        const jpeg::Header header = jpeg::readHeader(bytes);
        QCOMPARE(header.width, width);
        QCOMPARE(header.height, height);
        QCOMPARE(header.components, components);
        QCOMPARE(header.progressive, progressive);
        const Picture back = jpeg::decode(bytes);
        QCOMPARE(back.width, width);
        QCOMPARE(back.height, height);
        QCOMPARE(back.components, components);
        const double difference = meanDifference(original, back);
        QVERIFY2(difference <= tolerance, qPrintable(QString::number(difference)));
    }

    // Quality reaches the file: a lower quality makes a smaller one.
    void qualityChangesTheFile()
    {
        const Picture p = colourfulPicture(64, 64);
        jpeg::EncodeOptions low, high;
        low.quality = 20;
        high.quality = 95;
        QVERIFY(jpeg::encode(p, low).size() < jpeg::encode(p, high).size());
    }

    void scaledSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("denominator");
        QTest::addColumn<bool>("progressive");
        for (int d : { 1, 2, 4, 8 }) {
            QTest::addRow("101x37 at 1/%d", d) << 101 << 37 << d << false;
            QTest::addRow("9x17 at 1/%d, progressive", d) << 9 << 17 << d << true;
            QTest::addRow("1x1 at 1/%d", d) << 1 << 1 << d << false;
            QTest::addRow("65x3 at 1/%d", d) << 65 << 3 << d << false;
        }
    }

    void scaledSize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, denominator);
        QFETCH(bool, progressive);
        jpeg::EncodeOptions encodeOptions;
        encodeOptions.progressive = progressive;
        const QByteArray bytes = jpeg::encode(smoothPicture(width, height, 3), encodeOptions);
        jpeg::DecodeOptions options;
        options.scaleDenominator = denominator;
        const Picture p = jpeg::decode(bytes, options);
        QCOMPARE(p.width, (width + denominator - 1) / denominator);
        QCOMPARE(p.height, (height + denominator - 1) / denominator);
        QCOMPARE(p.pixels.size(), qsizetype(p.width) * p.height * 3);
    }

    void unknownScaleRefused()
    {
        jpeg::DecodeOptions options;
        options.scaleDenominator = 3;
        QVERIFY_THROWS_EXCEPTION(EngineError, jpeg::decode(jpeg::encode(smoothPicture(8, 8, 3)), options));
    }

    void grayscale_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("components"); // without the option
        QTest::newRow("colour") << jpeg::encode(smoothPicture(40, 30, 3)) << 3;
        jpeg::EncodeOptions progressive;
        progressive.progressive = true;
        QTest::newRow("colour, progressive") << jpeg::encode(smoothPicture(40, 30, 3), progressive) << 3;
        QTest::newRow("stored grey") << jpeg::encode(smoothPicture(40, 30, 1)) << 1;
        QTest::newRow("CMYK") << fixture("cmyk.jpg") << 3;
    }

    void grayscale()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, components);
        const Picture colour = jpeg::decode(bytes);
        QCOMPARE(colour.components, components);
        jpeg::DecodeOptions options;
        options.grayscale = true;
        const Picture grey = jpeg::decode(bytes, options);
        QCOMPARE(grey.components, 1);
        QCOMPARE(grey.width, colour.width);
        QCOMPARE(grey.pixels.size(), qsizetype(grey.width) * grey.height);
        // Grey is the luminance of the colour decoding, give or take rounding.
        Picture luminance { grey.width, grey.height, 1, QByteArray(grey.pixels.size(), 0) };
        for (qsizetype i = 0; i < luminance.pixels.size(); ++i)
            luminance.pixels[i]
                = char(components == 1 ? uchar(colour.pixels[i])
                                       : std::lround(0.299 * uchar(colour.pixels[3 * i])
                                                     + 0.587 * uchar(colour.pixels[3 * i + 1])
                                                     + 0.114 * uchar(colour.pixels[3 * i + 2])));
        QVERIFY2(largestDifference(grey, luminance) <= 2,
                 qPrintable(QString::number(largestDifference(grey, luminance))));
    }

    // Adobe CMYK comes out as RGB from the inverted values: the fixture's
    // first pixel is C 255, M 255, Y 200, K 230 as stored.
    void cmykToRgb()
    {
        const Picture p = jpeg::decode(fixture("cmyk.jpg"));
        QCOMPARE(p.components, 3);
        QCOMPARE(p.width, 24);
        QCOMPARE(p.height, 16);
        const int expected[3] = { 230, 230, 180 };
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::abs(uchar(p.pixels[c]) - expected[c]) <= 8,
                     qPrintable(QStringLiteral("component %1 is %2").arg(c).arg(uchar(p.pixels[c]))));
    }

    void quantize_data()
    {
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<bool>("passes");
        QTest::newRow("baseline") << false << false;
        QTest::newRow("progressive") << true << false;
        QTest::newRow("progressive, every pass") << true << true;
    }

    void quantize()
    {
        QFETCH(bool, progressive);
        QFETCH(bool, passes);
        jpeg::EncodeOptions encodeOptions;
        encodeOptions.progressive = progressive;
        encodeOptions.quality = 95;
        const Picture original = colourfulPicture(64, 64);
        const QByteArray bytes = jpeg::encode(original, encodeOptions);
        const auto colours = [](const Picture &p) {
            QSet<quint32> set;
            for (qsizetype i = 0; i + 2 < p.pixels.size(); i += 3)
                set.insert(uchar(p.pixels[i]) << 16 | uchar(p.pixels[i + 1]) << 8 | uchar(p.pixels[i + 2]));
            return set.size();
        };
        QVERIFY(colours(jpeg::decode(bytes)) > 256);
        jpeg::DecodeOptions options;
        options.quantize = true;
        int shown = 0;
        if (passes)
            options.onPass = [&](const Picture &p) {
                ++shown;
                QVERIFY(colours(p) <= 256);
            };
        const Picture reduced = jpeg::decode(bytes, options);
        QCOMPARE(reduced.components, 3);
        QVERIFY(colours(reduced) <= 256);
        QVERIFY(colours(reduced) > 16);
        QCOMPARE(shown > 1, passes);
        // Reduced, not replaced: still near the picture.
        QVERIFY2(meanDifference(original, reduced) < 12,
                 qPrintable(QString::number(meanDifference(original, reduced))));
    }

    void passes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("progressive");
        jpeg::EncodeOptions progressive;
        progressive.progressive = true;
        QTest::newRow("ours, progressive") << jpeg::encode(smoothPicture(50, 40, 3), progressive) << true;
        QTest::newRow("ours, grey progressive")
            << jpeg::encode(smoothPicture(50, 40, 1), progressive) << true;
        QTest::newRow("ours, baseline") << jpeg::encode(smoothPicture(50, 40, 3)) << false;
        QTest::newRow("progressive fixture") << fixture("progressive.jpg") << true;
        QTest::newRow("baseline with restarts") << fixture("restart.jpg") << false;
    }

    void passes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, progressive);
        QCOMPARE(jpeg::readHeader(bytes).progressive, progressive);
        QList<Picture> shown;
        jpeg::DecodeOptions options;
        options.onPass = [&](const Picture &p) { shown << p; };
        const Picture final = jpeg::decode(bytes, options);
        if (!progressive) {
            QCOMPARE(shown.size(), 0);
            return;
        }
        QVERIFY2(shown.size() > 1, qPrintable(QString::number(shown.size())));
        for (const Picture &p : shown) {
            QCOMPARE(p.width, final.width);
            QCOMPARE(p.height, final.height);
            QCOMPARE(p.components, final.components);
        }
        // A kept pass is not overwritten by later ones, and the passes get
        // closer to the final picture.
        QVERIFY(shown.first().pixels != shown.last().pixels);
        QCOMPARE(shown.last().pixels, final.pixels);
        QVERIFY(meanDifference(shown.first(), final) > meanDifference(shown[shown.size() - 2], final));
        // The same as decoding without looking at the passes.
        QCOMPARE(jpeg::decode(bytes).pixels, final.pixels);
    }

    // Restart markers change nothing in the pixels.
    void restartInterval()
    {
        const Picture plain = jpeg::decode(fixture("baseline_420.jpg"));
        const Picture restarted = jpeg::decode(fixture("restart.jpg"));
        QCOMPARE(restarted.width, plain.width);
        QCOMPARE(restarted.pixels, plain.pixels);
    }

    void errors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("headerReads"); // the damage is past the header
        QTest::newRow("empty") << QByteArray() << "photo.jpg is empty" << false;
        QTest::newRow("not a JPEG") << QByteArray("GIF89a, a picture of another kind")
                                    << "photo.jpg is not a JPEG file" << false;
        QTest::newRow("SOI only") << QByteArray("\xFF\xD8\xFF", 3) << "photo.jpg is damaged: " << false;
        QByteArray garbage("\xFF\xD8\xFF", 3);
        for (int i = 0; i < 300; ++i)
            garbage += char((i * 37 + 11) % 251);
        QTest::newRow("garbage after SOI") << garbage << "photo.jpg is damaged: " << false;
        const QByteArray good = jpeg::encode(smoothPicture(16, 16, 3));
        QTest::newRow("cut inside the header") << good.left(100) << "photo.jpg is damaged: " << false;
        jpeg::EncodeOptions progressive;
        progressive.progressive = true;
        const Scans parts = splitScans(jpeg::encode(smoothPicture(16, 16, 3), progressive));
        const QByteArray inTable = parts.head + parts.scans[0] + parts.scans[1].left(8);
        QTest::newRow("cut inside a table between scans") << inTable << "photo.jpg is damaged: " << true;
        QByteArray noFrame = good;
        noFrame[splitScans(good).head.indexOf("\xFF\xC0")] = 0;
        QTest::newRow("broken marker") << noFrame << "photo.jpg is damaged: " << false;
        QTest::newRow("beyond libjpeg's sides")
            << claimingSize(good, 65535, 16) << "photo.jpg is too large to decode: " << false;
    }

    void errors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(bool, headerReads);
        const QString what = QStringLiteral("photo.jpg");
        for (const bool header : { false, true }) {
            try {
                if (header)
                    jpeg::readHeader(bytes, what);
                else
                    jpeg::decode(bytes, {}, what);
            } catch (const EngineError &e) {
                QVERIFY2(!(header && headerReads), qPrintable(e.message()));
                QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
                // libjpeg's own words follow the colon.
                QVERIFY2(e.message().size() > message.size() || !message.endsWith(u' '),
                         qPrintable(e.message()));
                continue;
            }
            QVERIFY2(header && headerReads, header ? "header read" : "decoded");
        }
    }

    // A small file that claims a picture of billions of pixels is refused
    // before anything of that size is allocated.
    void dimensionBomb_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("denominator");
        QTest::addColumn<bool>("grey");
        jpeg::EncodeOptions progressive;
        progressive.progressive = true;
        const QByteArray small = jpeg::encode(smoothPicture(16, 16, 3));
        QTest::newRow("baseline") << claimingSize(small, 65000, 65000) << 1 << false;
        QTest::newRow("baseline, grey") << claimingSize(small, 65000, 65000) << 1 << true;
        QTest::newRow("progressive") << claimingSize(jpeg::encode(smoothPicture(16, 16, 3), progressive),
                                                     65000, 65000)
                                     << 1 << false;
        QTest::newRow("just over the bound") << claimingSize(small, 10001, 10000) << 1 << false;
        QTest::newRow("at 1/2") << claimingSize(small, 30000, 30000) << 2 << false;
    }

    void dimensionBomb()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, denominator);
        QFETCH(bool, grey);
        const jpeg::Header header = jpeg::readHeader(bytes);
        QVERIFY(qint64(header.width) * header.height > 100'000'000);
        jpeg::DecodeOptions options;
        options.scaleDenominator = denominator;
        options.grayscale = grey;
        const long before = peakVirtualKb();
        QElapsedTimer timer;
        timer.start();
        try {
            jpeg::decode(bytes, options, QStringLiteral("bomb.jpg"));
            QFAIL("decoded");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("bomb.jpg is too large to decode: ")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral(" x ")), qPrintable(e.message()));
        }
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(before > 0);
        QVERIFY2(peakVirtualKb() - before < 256 * 1024,
                 qPrintable(QString::number(peakVirtualKb() - before)));
    }

    // Scans repeated past the limit, or repeated so that libjpeg warns of a
    // bad progression on every coefficient: refused after bounded work.
    void hostileScans_data()
    {
        QTest::addColumn<int>("scan"); // repeated: 0 the first, -1 the last
        QTest::addColumn<int>("times");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QString>("message");
        QTest::newRow("many scans") << 0 << 1100 << false << "many.jpg is damaged: more than 1000 scans";
        QTest::newRow("many scans, every pass shown")
            << 0 << 1100 << true << "many.jpg is damaged: more than 1000 scans";
        QTest::newRow("many warnings")
            << -1 << 400 << false << "many.jpg is damaged: too many errors in its data";
    }

    void hostileScans()
    {
        QFETCH(int, scan);
        QFETCH(int, times);
        QFETCH(bool, passes);
        QFETCH(QString, message);
        jpeg::EncodeOptions progressive;
        progressive.progressive = true;
        const Scans parts = splitScans(jpeg::encode(smoothPicture(32, 32, 3), progressive));
        QVERIFY(parts.scans.size() > 5);
        QByteArray bytes = parts.head;
        for (const QByteArray &s : parts.scans)
            bytes += s;
        const QByteArray repeated = scan < 0 ? parts.scans.last() : parts.scans[scan];
        for (int i = 0; i < times; ++i)
            bytes += repeated;
        bytes += "\xFF\xD9";
        jpeg::DecodeOptions options;
        int shown = 0;
        if (passes)
            options.onPass = [&](const Picture &) { ++shown; };
        QElapsedTimer timer;
        timer.start();
        try {
            jpeg::decode(bytes, options, QStringLiteral("many.jpg"));
            QFAIL("decoded");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
        // Passes are shown up to a limit; the rest of the file goes into one.
        QVERIFY2(shown <= 64, qPrintable(QString::number(shown)));
    }

    // A file cut in its data decodes with libjpeg's grey for what is
    // missing; the rows (or scans) that arrived are those of the whole file.
    void cutShort_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("whole");
        QTest::addColumn<bool>("progressive");
        const QByteArray baseline = jpeg::encode(smoothPicture(64, 64, 3));
        QTest::newRow("baseline at 60%") << baseline.left(baseline.size() * 6 / 10) << baseline << false;
        jpeg::EncodeOptions progressive;
        progressive.progressive = true;
        const QByteArray prog = jpeg::encode(smoothPicture(64, 64, 3), progressive);
        const Scans parts = splitScans(prog);
        QByteArray cut = parts.head;
        for (int i = 0; i < 5; ++i)
            cut += parts.scans[i];
        cut += parts.scans[5].left(parts.scans[5].size() / 2);
        QTest::newRow("progressive, in its sixth scan") << cut << prog << true;
        QTest::newRow("progressive fixture")
            << fixture("cut_short.jpg") << fixture("progressive.jpg") << true;
    }

    void cutShort()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, whole);
        QFETCH(bool, progressive);
        const jpeg::Header header = jpeg::readHeader(bytes);
        const Picture complete = jpeg::decode(whole);
        for (const bool showPasses : { false, true }) {
            jpeg::DecodeOptions options;
            int shown = 0;
            if (showPasses)
                options.onPass = [&](const Picture &) { ++shown; };
            const Picture p = jpeg::decode(bytes, options);
            QCOMPARE(p.width, header.width);
            QCOMPARE(p.height, header.height);
            QCOMPARE(p.pixels.size(), qsizetype(p.width) * p.height * 3);
            QCOMPARE(shown > 0, showPasses && progressive);
            QVERIFY(p.pixels != complete.pixels);
            const qsizetype rowBytes = qsizetype(p.width) * 3;
            if (progressive) {
                // Every row is there, at the quality of the scans read.
                QVERIFY2(meanDifference(p, complete) < 12,
                         qPrintable(QString::number(meanDifference(p, complete))));
                continue;
            }
            const QByteArray lastRow = p.pixels.right(rowBytes);
            const Picture last { p.width, 1, 3, lastRow };
            const Picture grey { p.width, 1, 3, QByteArray(rowBytes, char(128)) };
            QVERIFY2(largestDifference(last, grey) <= 2, lastRow.toHex().constData());
            QCOMPARE(p.pixels.left(rowBytes * 8), complete.pixels.left(rowBytes * 8));
        }
    }

    void encodeRefusals_data()
    {
        QTest::addColumn<Picture>("picture");
        QTest::newRow("empty") << Picture {};
        Picture twoComponents = smoothPicture(4, 4, 1);
        twoComponents.components = 2;
        twoComponents.pixels.resize(32);
        QTest::newRow("two components") << twoComponents;
        Picture shortPixels = smoothPicture(4, 4, 3);
        shortPixels.pixels.chop(1);
        QTest::newRow("pixels short") << shortPixels;
        Picture tooWide = smoothPicture(1, 1, 1);
        tooWide.width = 70000;
        tooWide.pixels.resize(70000);
        QTest::newRow("too wide") << tooWide;
    }

    void encodeRefusals()
    {
        QFETCH(Picture, picture);
        QVERIFY_THROWS_EXCEPTION(EngineError, jpeg::encode(picture));
    }

    // djpeg reads what we write: the same size, and the same pixels as our
    // own decoding with the same (default) choices.
    void djpegReadsOurs_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("components");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("colour") << 75 << 41 << 3 << false;
        QTest::newRow("colour, progressive") << 75 << 41 << 3 << true;
        QTest::newRow("grey") << 31 << 77 << 1 << false;
        QTest::newRow("grey, progressive") << 31 << 77 << 1 << true;
    }

    void djpegReadsOurs()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, components);
        QFETCH(bool, progressive);
        const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
        if (djpeg.isEmpty())
            QSKIP("djpeg is not installed (libjpeg-turbo-progs)");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ours.jpg"));
        jpeg::EncodeOptions options;
        options.progressive = progressive;
        const QByteArray bytes = jpeg::encode(smoothPicture(width, height, components), options);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        QByteArray output;
        QVERIFY(runTool(djpeg, { QStringLiteral("-pnm"), path }, output));
        const Pnm pnm = readPnm(output);
        QCOMPARE(pnm.magic, components == 1 ? QByteArray("P5") : QByteArray("P6"));
        QCOMPARE(pnm.width, width);
        QCOMPARE(pnm.height, height);
        QCOMPARE(pnm.maxValue, 255);
        QCOMPARE(pnm.pixels.size(), qsizetype(width) * height * components);
        const Picture ours = jpeg::decode(bytes);
        const Picture theirs { width, height, components, pnm.pixels };
        QVERIFY2(largestDifference(ours, theirs) <= 1,
                 qPrintable(QString::number(largestDifference(ours, theirs))));
    }

    // We read what cjpeg writes from a picture we made.
    void weReadCjpeg_data()
    {
        QTest::addColumn<int>("components");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("baseline") << 3 << QStringList() << false;
        QTest::newRow("progressive") << 3 << QStringList { QStringLiteral("-progressive") } << true;
        QTest::newRow("4:4:4") << 3 << QStringList { QStringLiteral("-sample"), QStringLiteral("1x1") }
                               << false;
        QTest::newRow("grey, progressive") << 1 << QStringList { QStringLiteral("-progressive") } << true;
        QTest::newRow("restarts, fast DCT") << 3
                                            << QStringList { QStringLiteral("-restart"), QStringLiteral("2"),
                                                             QStringLiteral("-dct"), QStringLiteral("fast") }
                                            << false;
    }

    void weReadCjpeg()
    {
        QFETCH(int, components);
        QFETCH(QStringList, args);
        QFETCH(bool, progressive);
        const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
        if (cjpeg.isEmpty())
            QSKIP("cjpeg is not installed (libjpeg-turbo-progs)");
        QTemporaryDir dir;
        const Picture original = smoothPicture(83, 59, components);
        const QString input = dir.filePath(QStringLiteral("made.pnm"));
        QFile f(input);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(pnmOf(original));
        f.close();
        QByteArray bytes;
        QVERIFY(runTool(cjpeg,
                        QStringList { QStringLiteral("-quality"), QStringLiteral("92") } + args
                            + QStringList { input },
                        bytes));
        const jpeg::Header header = jpeg::readHeader(bytes);
        QCOMPARE(header.progressive, progressive);
        QCOMPARE(header.components, components);
        const Picture p = jpeg::decode(bytes);
        QCOMPARE(p.width, 83);
        QCOMPARE(p.height, 59);
        QCOMPARE(p.components, components);
        QVERIFY2(meanDifference(original, p) < 2.5, qPrintable(QString::number(meanDifference(original, p))));
    }
};

QTEST_GUILESS_MAIN(TestJpeg)
#include "tst_jpeg.moc"
