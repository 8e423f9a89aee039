// Which code page a dBASE table's text is read in: the user's choice, a .cpg
// file beside it, the language driver byte, UTF-8 found in its records, or
// the default; and text read through UTF-8.
#include "tst_dbf_helpers.h"

#include "engine/EngineError.h"
#include "engine/formats/TableFormat.h"
#include "engine/formats/common/CodePage.h"
#include "engine/formats/dbf/DbfCodePage.h"
#include "engine/formats/dbf/DbfDriver.h"
#include "engine/formats/dbf/DbfHeader.h"
#include "engine/formats/paradox/ParadoxDriver.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace qvx;
using dbftest::DbfBytes;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A table of one C(20) field holding bytes, written to dir/t.dbf.
QString writeTable(const QTemporaryDir &dir, const QByteArray &value, int driver)
{
    const QString path = dir.filePath(QStringLiteral("t.dbf"));
    writeFile(path,
              DbfBytes()
                  .languageDriver(driver)
                  .field("NAME", 'C', 20)
                  .record(value.leftJustified(20, ' '))
                  .bytes());
    return path;
}

std::unique_ptr<OpenTable> openWith(const QString &path, const QString &codePage = {})
{
    OpenOptions options;
    options.readOnly = true;
    options.codePage = codePage;
    return dbaseDriver().open(path, options);
}

class CollectText final : public FieldSink {
public:
    void null() override { }
    void integer(qint64) override { }
    void real(double) override { }
    void text(const char *utf8, qsizetype length) override { got = QByteArray(utf8, length); }
    QByteArray got;
};

} // namespace

class TestCodePages : public QObject {
    Q_OBJECT

private slots:
    void cpgSpellings_data()
    {
        QTest::addColumn<QByteArray>("cpg");
        QTest::addColumn<QString>("codePage");
        QTest::newRow("UTF-8") << QByteArray("UTF-8") << "UTF-8";
        QTest::newRow("utf8 lower, newline") << QByteArray("utf8\r\n") << "UTF-8";
        QTest::newRow("65001") << QByteArray("65001") << "UTF-8";
        QTest::newRow("1251") << QByteArray("1251") << "windows-1251";
        QTest::newRow("CP1252") << QByteArray("CP1252\n") << "windows-1252";
        QTest::newRow("ANSI 1251") << QByteArray("ANSI 1251") << "windows-1251";
        QTest::newRow("88591") << QByteArray("88591") << "ISO-8859-1";
        QTest::newRow("8859-5") << QByteArray("8859-5") << "ISO-8859-5";
        QTest::newRow("ISO-8859-1") << QByteArray("ISO-8859-1") << "ISO-8859-1";
        QTest::newRow("437") << QByteArray("437") << "IBM437";
        QTest::newRow("850") << QByteArray("850") << "IBM850";
        QTest::newRow("866") << QByteArray("866") << "IBM866";
        QTest::newRow("874") << QByteArray("874") << "windows-874";
        QTest::newRow("932") << QByteArray("932") << "Shift_JIS";
        QTest::newRow("936") << QByteArray("936") << "GBK";
        QTest::newRow("949") << QByteArray("949") << "windows-949";
        QTest::newRow("950") << QByteArray("950") << "Big5";
        QTest::newRow("LDID/201") << QByteArray("LDID/201") << "windows-1251";
        QTest::newRow("LDID/87") << QByteArray("LDID/87") << "windows-1252";
        QTest::newRow("with BOM") << QByteArray("\xEF\xBB\xBFUTF-8") << "UTF-8";
        QTest::newRow("unknown") << QByteArray("KOI9-X") << QString();
        QTest::newRow("empty") << QByteArray("  \n") << QString();
        QTest::newRow("LDID of no code page") << QByteArray("LDID/255") << QString();
    }
    void cpgSpellings()
    {
        QFETCH(QByteArray, cpg);
        QFETCH(QString, codePage);
        QCOMPARE(dbf::codePageForCpg(cpg), codePage);
        if (!codePage.isEmpty())
            QCOMPARE(common::TextCodec(codePage).name(), codePage);
    }

    // Which code page a table opens with, and what its value reads as.
    void choice_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("driver");
        QTest::addColumn<QByteArray>("cpg"); // null: no .cpg file
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text");
        const QString privet = QStringLiteral("Привет");
        const QByteArray privetUtf8 = privet.toUtf8();
        const QByteArray privet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
        QTest::newRow("byte 0, UTF-8 bytes: detected")
            << privetUtf8 << 0 << QByteArray() << QString() << "UTF-8"
            << "detected" << privet;
        QTest::newRow("byte 0, Latin-1 bytes: default")
            << QByteArray("caf\xE9") << 0 << QByteArray() << QString() << "windows-1252"
            << "default" << QStringLiteral("café");
        QTest::newRow("byte 0, ASCII only: default")
            << QByteArray("plain") << 0 << QByteArray() << QString() << "windows-1252"
            << "default" << QStringLiteral("plain");
        QTest::newRow("byte beats detection")
            << privet1251 << 0xC9 << QByteArray() << QString() << "windows-1251"
            << "language driver byte" << privet;
        QTest::newRow(".cpg beats byte")
            << privet1251 << 0x03 << QByteArray("1251") << QString() << "windows-1251"
            << ".cpg file" << privet;
        QTest::newRow(".cpg UTF-8 beats byte")
            << privetUtf8 << 0x03 << QByteArray("UTF-8\n") << QString() << "UTF-8"
            << ".cpg file" << privet;
        QTest::newRow("option beats .cpg")
            << privetUtf8 << 0xC9 << QByteArray("1251") << QStringLiteral("utf-8") << "UTF-8"
            << "option" << privet;
        QTest::newRow("option 866 beats byte") << QByteArray("\x8F\xE0\xA8\xA2\xA5\xE2") << 0x03
                                               << QByteArray() << QStringLiteral("cp866") << "IBM866"
                                               << "option" << privet;
        QTest::newRow("unknown .cpg: byte decides")
            << privet1251 << 0xC9 << QByteArray("KOI9-X") << QString() << "windows-1251"
            << "language driver byte" << privet;
    }
    void choice()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, driver);
        QFETCH(QByteArray, cpg);
        QFETCH(QString, option);
        QFETCH(QString, codePage);
        QFETCH(QString, source);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = writeTable(dir, value, driver);
        if (!cpg.isNull())
            writeFile(dir.filePath(QStringLiteral("T.CPG")), cpg); // found in any letter case
        auto t = openWith(path, option);
        QCOMPARE(t->info().codePage, codePage);
        QCOMPARE(t->info().codePageSource, source);
        QCOMPARE(t->readField(0, 0).toString(), text);
        CollectText sink;
        QVERIFY(t->readFieldTo(0, 0, sink));
        QCOMPARE(QString::fromUtf8(sink.got), text);
        const bool warned = std::any_of(t->warnings().cbegin(), t->warnings().cend(),
                                        [](const QString &w) { return w.contains(QLatin1String(".cpg")); });
        QCOMPARE(warned, QByteArray(QTest::currentDataTag()).startsWith("unknown .cpg"));
    }

    // Detection looks at every character field of the sampled records: one
    // Latin-1 byte anywhere makes the table not UTF-8.
    void detectionNeedsAllValid()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.dbf"));
        writeFile(path,
                  DbfBytes()
                      .languageDriver(0)
                      .field("A", 'C', 10)
                      .field("B", 'C', 10)
                      .record(QStringLiteral("Grüße").toUtf8().leftJustified(10)
                              + QByteArray("ok").leftJustified(10))
                      .record(QByteArray("x").leftJustified(10) + QByteArray("na\xEFve").leftJustified(10))
                      .bytes());
        auto t = openWith(path);
        QCOMPARE(t->info().codePage, QStringLiteral("windows-1252"));
        QCOMPARE(t->readField(1, 1).toString(), QStringLiteral("naïve"));
    }

    // A value cut inside a character by its field width reads without the
    // broken character's bytes turning into anything but U+FFFD, and still
    // counts as UTF-8.
    void utf8CutMidCharacter()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.dbf"));
        const QByteArray full = QStringLiteral("Привет").toUtf8(); // 12 bytes
        writeFile(path, DbfBytes().languageDriver(0).field("NAME", 'C', 5).record(full.left(5)).bytes());
        auto t = openWith(path);
        QCOMPARE(t->info().codePage, QStringLiteral("UTF-8"));
        QCOMPARE(t->readField(0, 0).toString(), QStringLiteral("Пр") + QChar(0xFFFD));
        CollectText sink;
        QVERIFY(t->readFieldTo(0, 0, sink));
        QVERIFY2(common::isValidUtf8(sink.got), sink.got.toHex().constData());
        QCOMPARE(QString::fromUtf8(sink.got), QStringLiteral("Пр") + QChar(0xFFFD));
    }

    void utf8Validation_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("validIfCut");
        QTest::newRow("ascii") << QByteArray("abc") << true << true;
        QTest::newRow("two-byte") << QByteArray("\xC3\xA9") << true << true;
        QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x98\x80") << true << true;
        QTest::newRow("cut at end") << QByteArray("a\xD0") << false << true;
        QTest::newRow("cut three-byte") << QByteArray("\xE2\x82") << false << true;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false << false;
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false << false;
        QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false << false;
        QTest::newRow("Latin-1 inside") << QByteArray("caf\xE9!") << false << false;
    }
    void utf8Validation()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(bool, validIfCut);
        QCOMPARE(common::isValidUtf8(bytes), valid);
        QCOMPARE(common::isValidUtf8(bytes, true), validIfCut);
    }

    void utf8Codec()
    {
        const common::TextCodec codec(common::canonicalCodePage(QStringLiteral("65001")));
        QCOMPARE(codec.name(), QStringLiteral("UTF-8"));
        QVERIFY(!codec.asciiCompatible()); // not one byte per character
        const QString text = QStringLiteral("Ærø Привет 漢字");
        const QByteArray bytes = codec.encode(text, QStringLiteral("t.dbf"), QStringLiteral("NAME"));
        QCOMPARE(bytes, text.toUtf8());
        QCOMPARE(codec.decode(bytes), text);
        std::string buffer;
        const char *data = nullptr;
        qsizetype size = 0;
        QVERIFY(codec.toUtf8(bytes.constData(), bytes.size(), buffer, data, size));
        QCOMPARE(QByteArray(data, size), bytes);
        QCOMPARE(data, bytes.constData()); // valid bytes are not copied
    }

    // Detection reads a bounded sample, however many records the table has.
    void detectionIsBounded()
    {
        DbfBytes b;
        b.languageDriver(0).field("NAME", 'C', 100).claimedCount(1000000);
        for (int i = 0; i < 2000; ++i)
            b.record(QByteArray("x").leftJustified(100));
        dbftest::CountingFile file(b.bytes(), QStringLiteral("t.dbf"));
        const dbf::Header header = dbf::readHeader(file);
        file.bytesRead = 0;
        file.furthest = 0;
        QVERIFY(!dbf::looksLikeUtf8(file, header));
        QVERIFY2(file.furthest <= header.headerLength + 64 * 1024 + header.recordLength,
                 qPrintable(QString::number(file.furthest)));
    }

    void unknownOptionIsAnError_data()
    {
        QTest::addColumn<bool>("paradox");
        QTest::newRow("dBASE") << false;
        QTest::newRow("Paradox") << true;
    }
    void unknownOptionIsAnError()
    {
        QFETCH(bool, paradox);
        QTemporaryDir dir;
        QString path;
        const TableDriver &driver = paradox ? paradoxDriver() : dbaseDriver();
        if (paradox) {
            path = dir.filePath(QStringLiteral("t.db"));
            driver.create(path, { FieldDef { QStringLiteral("NAME"), FieldType::String, 10 } },
                          CreateOptions {});
        } else {
            path = writeTable(dir, "x", 0x03);
        }
        OpenOptions options;
        options.readOnly = true;
        options.codePage = QStringLiteral("klingon-42");
        try {
            driver.open(path, options);
            QFAIL("opened with an unknown code page");
        } catch (const EngineError &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("klingon-42")), e.what());
        }
        options.codePage = QStringLiteral("866");
        auto t = driver.open(path, options);
        QCOMPARE(t->info().codePage, QStringLiteral("IBM866"));
        QCOMPARE(t->info().codePageSource, QStringLiteral("option"));
    }

    // Tables written by GDAL from a CSV of Cyrillic and accented text, in
    // UTF-8 and in windows-1251, read value for value; and its default Real
    // field, N(24,15), reads what its bytes say.
    void gdalTables_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("UTF-8") << QStringLiteral("UTF-8");
        QTest::newRow("CP1251") << QStringLiteral("CP1251");
    }
    void gdalTables()
    {
        QFETCH(QString, encoding);
        const QString ogr = QStandardPaths::findExecutable(QStringLiteral("ogr2ogr"));
        if (ogr.isEmpty())
            QSKIP("ogr2ogr is not installed (gdal-bin)");
        QTemporaryDir dir;
        // Accented Latin only in the UTF-8 run: windows-1251 has no "é".
        const bool utf8 = encoding == QLatin1String("UTF-8");
        const QStringList names { QStringLiteral("Москва"), QStringLiteral("Санкт-Петербург"),
                                  utf8 ? QStringLiteral("Café Zürich Ёлкино") : QStringLiteral("Ёлкино") };
        const QStringList reals { QStringLiteral("1.5"), QStringLiteral("-2.25"),
                                  QStringLiteral("3.141592653589793") };
        QByteArray csv = "name,val\n";
        for (int i = 0; i < names.size(); ++i)
            csv += names[i].toUtf8() + ',' + reals[i].toUtf8() + '\n';
        writeFile(dir.filePath(QStringLiteral("in.csv")), csv);
        // The column types for GDAL's CSV reader.
        QFile vrt(dir.filePath(QStringLiteral("in.csvt")));
        QVERIFY(vrt.open(QIODevice::WriteOnly));
        vrt.write("String,Real\n");
        vrt.close();
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(ogr,
                { QStringLiteral("-f"), QStringLiteral("ESRI Shapefile"), QStringLiteral("-lco"),
                  QStringLiteral("ENCODING=") + encoding, QStringLiteral("out.dbf"),
                  QStringLiteral("in.csv") });
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        const QString path = dir.filePath(QStringLiteral("out.dbf"));
        auto t = openWith(path);
        QCOMPARE(t->info().codePage, utf8 ? QStringLiteral("UTF-8") : QStringLiteral("windows-1251"));
        QCOMPARE(t->recordCount(), qint64(names.size()));
        QCOMPARE(t->fields().size(), 2);
        // The raw bytes of the Real field, as written.
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray all = raw.readAll();
        const int headerLength = std::uint8_t(all[8]) | (std::uint8_t(all[9]) << 8);
        const int recordLength = std::uint8_t(all[10]) | (std::uint8_t(all[11]) << 8);
        QCOMPARE(std::uint8_t(all[32 + 32 + 16]), std::uint8_t(24)); // second descriptor: N(24,15)
        QCOMPARE(std::uint8_t(all[32 + 32 + 17]), std::uint8_t(15));
        const int nameLength = std::uint8_t(all[32 + 16]);
        for (int r = 0; r < names.size(); ++r) {
            QCOMPARE(t->readField(r, 0).toString(), names[r]);
            const QByteArray realBytes
                = all.mid(headerLength + r * recordLength + 1 + nameLength, 24).trimmed();
            QCOMPARE(t->readField(r, 1).toDouble(), realBytes.toDouble());
            QCOMPARE(t->readField(r, 1).toDouble(), reals[r].toDouble());
        }
    }
};

QTEST_GUILESS_MAIN(TestCodePages)
#include "tst_codepages.moc"
