// Decimals keep their digits: values written to dbf and Paradox fields read
// back exactly or are refused with the field and value named, numeric text on
// disk reads as written, and currencies print every digit in qvx output.
#include "tst_dbf_helpers.h"

#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/dbf/DbfDriver.h"
#include "engine/formats/paradox/ParadoxDriver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace qvx;
using namespace dbftest;

Q_DECLARE_METATYPE(qvx::FieldType)

namespace {

const TableDriver &driverNamed(const QString &name)
{
    return name == QLatin1String("foxpro") ? foxproDriver()
        : name == QLatin1String("dbase")   ? dbaseDriver()
                                           : paradoxDriver();
}

QString fileFor(const QTemporaryDir &dir, const QString &driver)
{
    return dir.filePath(driver == QLatin1String("paradox") ? QStringLiteral("t.db")
                                                           : QStringLiteral("t.dbf"));
}

QByteArray le64(qint64 v)
{
    QByteArray b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[i] = char((quint64(v) >> (8 * i)) & 0xFF);
    return b;
}

// A date-and-time field makes the FoxPro driver write Visual FoxPro, whose
// currency is the binary Y; the others take the one field.
FieldDefs fieldsFor(const QString &driver, const FieldDef &def)
{
    if (driver == QLatin1String("foxpro"))
        return { def, FieldDef(QStringLiteral("WHEN"), FieldType::DateTime) };
    return { def };
}

Record recordFor(const OpenTable &t, const QVariant &value)
{
    Record r(t.fields().size());
    r[0] = coerceValue(value, t.fields()[0]);
    return r;
}

} // namespace

class TestDecimals : public QObject {
    Q_OBJECT
private slots:
    // A value written through the driver's encoder, then read from the
    // reopened file: its text, or the refusal (which names field and value).
    void writeRead_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected"); // text read back; empty when refused

        const QVariant maxY = QStringLiteral("922337203685477.5807");
        QTest::newRow("vfp currency max")
            << "foxpro" << FieldType::Currency << 0 << 4 << maxY << maxY.toString();
        QTest::newRow("vfp currency min")
            << "foxpro" << FieldType::Currency << 0 << 4 << QVariant(QStringLiteral("-922337203685477.5808"))
            << "-922337203685477.5808";
        QTest::newRow("vfp currency 17 digits")
            << "foxpro" << FieldType::Currency << 0 << 4 << QVariant(QStringLiteral("1234567890123.4567"))
            << "1234567890123.4567";
        QTest::newRow("vfp currency double")
            << "foxpro" << FieldType::Currency << 0 << 4 << QVariant(0.1) << "0.1";
        QTest::newRow("vfp currency trailing zeros")
            << "foxpro" << FieldType::Currency << 0 << 4 << QVariant(QStringLiteral("12.500000")) << "12.5";
        QTest::newRow("vfp currency past max") << "foxpro" << FieldType::Currency << 0 << 4
                                               << QVariant(QStringLiteral("922337203685477.5808")) << "";
        QTest::newRow("vfp currency fifth decimal")
            << "foxpro" << FieldType::Currency << 0 << 4 << QVariant(QStringLiteral("1.23456")) << "";
        QTest::newRow("N(10,2) 12.34")
            << "dbase" << FieldType::BCD << 10 << 2 << QVariant(QStringLiteral("12.34")) << "12.34";
        QTest::newRow("N(10,2) from double")
            << "dbase" << FieldType::BCD << 10 << 2 << QVariant(12.34) << "12.34";
        QTest::newRow("N(10,2) zeros past scale")
            << "dbase" << FieldType::BCD << 10 << 2 << QVariant(QStringLiteral("12.3400")) << "12.34";
        QTest::newRow("N(10,2) third decimal")
            << "dbase" << FieldType::BCD << 10 << 2 << QVariant(QStringLiteral("12.345")) << "";
        QTest::newRow("N(10,2) double third decimal")
            << "dbase" << FieldType::BCD << 10 << 2 << QVariant(12.345) << "";
        QTest::newRow("N(10,0) fraction") << "dbase" << FieldType::BCD << 10 << 0 << QVariant(12.34) << "";
        QTest::newRow("N(5,0) too wide")
            << "dbase" << FieldType::BCD << 5 << 0 << QVariant(QStringLiteral("123456")) << "";
        QTest::newRow("vfp integer max")
            << "foxpro" << FieldType::Integer << 0 << 0 << QVariant(2147483647) << "2147483647";
        QTest::newRow("paradox BCD 2 decimals")
            << "paradox" << FieldType::BCD << 32 << 2 << QVariant(QStringLiteral("12.34")) << "12.34";
        QTest::newRow("paradox money")
            << "paradox" << FieldType::Currency << 0 << 0 << QVariant(0.1) << "0.1";
    }
    void writeRead()
    {
        QFETCH(QString, driver);
        QFETCH(FieldType, type);
        QFETCH(int, size);
        QFETCH(int, decimals);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);

        QTemporaryDir dir;
        const QString path = fileFor(dir, driver);
        const FieldDef def(QStringLiteral("AMT"), type, size, decimals);
        driverNamed(driver).create(path, fieldsFor(driver, def), {});
        {
            auto t = driverNamed(driver).open(path, {});
            try {
                t->insert(0, recordFor(*t, value));
                QVERIFY2(!expected.isEmpty(), "the value was stored instead of refused");
            } catch (const EngineError &e) {
                QVERIFY2(expected.isEmpty(), qPrintable(e.message()));
                QVERIFY2(e.message().contains(QStringLiteral("AMT")), qPrintable(e.message()));
                // The refusal names the value as given (or its exact digits).
                const QString given = value.typeId() == QMetaType::QString
                    ? value.toString()
                    : QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
                QVERIFY2(e.message().contains(given), qPrintable(e.message()));
                return;
            }
        }
        auto t = driverNamed(driver).open(path, {});
        QCOMPARE(t->recordCount(), 1);
        const FieldDef &held = t->fields()[0];
        QCOMPARE(valueToText(t->readField(0, 0), held.type), expected);
    }

    // A BCD field defined by one size, as a list of new fields gives it,
    // takes the size as its decimal places in every format.
    void bcdFromOneSize_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::newRow("paradox #") << "paradox";
        QTest::newRow("dBASE") << "dbase";
        QTest::newRow("FoxPro") << "foxpro";
    }
    void bcdFromOneSize()
    {
        QFETCH(QString, driver);
        QTemporaryDir dir;
        const QString path = fileFor(dir, driver);
        driverNamed(driver).create(
            path, fieldsFor(driver, fieldFromSize(QStringLiteral("AMT"), FieldType::BCD, 2)), {});
        auto t = driverNamed(driver).open(path, {});
        QCOMPARE(t->fields()[0].decimals, 2);
        t->insert(0, recordFor(*t, QStringLiteral("-12345678.34")));
        QCOMPARE(valueToText(t->readField(0, 0), t->fields()[0].type), QStringLiteral("-12345678.34"));
        QVERIFY_THROWS_EXCEPTION(EngineError, t->insert(1, recordFor(*t, QStringLiteral("12.345"))));
        QCOMPARE(fieldFromSize(QStringLiteral("S"), FieldType::String, 12).size, 12);
    }

    // Numeric text as other programs write it reads as the number it says,
    // whatever the declared decimals.
    void numericText_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");

        QTest::newRow("exponent") << 13 << 7 << QByteArray(" 1.111049E-01") << "0.1111049";
        QTest::newRow("exponent past decimals") << 12 << 2 << QByteArray("1.23456E+01 ") << "12.3456";
        QTest::newRow("N(9,0) fraction") << 9 << 0 << QByteArray("     12.5") << "12.5";
        QTest::newRow("N(4,0) fraction") << 4 << 0 << QByteArray(" 0.5") << "0.5";
        QTest::newRow("more digits than scale") << 8 << 2 << QByteArray("   1.234") << "1.234";
        QTest::newRow("blank") << 6 << 2 << QByteArray("      ") << "";
    }
    void numericText()
    {
        QFETCH(int, width);
        QFETCH(int, decimals);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        DbfBytes b(0x03);
        b.field("N", 'N', width, decimals).record(bytes);
        auto t = openDbf(memory(b.bytes()), nullptr, true);
        const QVariant v = t->readField(0, 0);
        QCOMPARE(valueToText(v, t->fields()[0].type), expected);
        // The text equals the number read, whatever type holds it.
        if (!expected.isEmpty())
            QCOMPARE(canonicalDecimal(v.toString()), expected);
    }

    // A VFP currency on disk, read straight from its bytes.
    void currencyBytes_data()
    {
        QTest::addColumn<qint64>("scaled");
        QTest::addColumn<QString>("expected");
        QTest::newRow("17 digits") << Q_INT64_C(12345678901234567) << "1234567890123.4567";
        QTest::newRow("max") << std::numeric_limits<qint64>::max() << "922337203685477.5807";
        QTest::newRow("min") << std::numeric_limits<qint64>::min() << "-922337203685477.5808";
        QTest::newRow("cents") << Q_INT64_C(-1250) << "-0.125";
    }
    void currencyBytes()
    {
        QFETCH(qint64, scaled);
        QFETCH(QString, expected);
        DbfBytes b(0x30);
        b.field("Y", 'Y', 8, 4).record(le64(scaled));
        auto t = openDbf(memory(b.bytes()), nullptr, true);
        QCOMPARE(valueToText(t->readField(0, 0), FieldType::Currency), expected);
    }

    // qvx prints every digit of a currency, in CSV and as a JSON number.
    void qvxCatCurrency()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("money.dbf"));
        foxproDriver().create(
            path, fieldsFor(QStringLiteral("foxpro"), FieldDef(QStringLiteral("AMT"), FieldType::Currency)),
            {});
        const QStringList values
            = { "922337203685477.5807", "-922337203685477.5808", "1234567890123.4567", "0.1" };
        {
            auto t = foxproDriver().open(path, {});
            for (const QString &v : values)
                t->insert(t->recordCount(), recordFor(*t, v));
        }
        QProcess p;
        p.start(QStringLiteral(QVX_QVX_TOOL),
                { QStringLiteral("cat"), QStringLiteral("--format=csv"), path });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(),
                 QByteArray("AMT,WHEN\r\n" + values.join(",\r\n").toLatin1() + ",\r\n"));

        p.start(QStringLiteral(QVX_QVX_TOOL), { QStringLiteral("cat"), path });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QByteArray json;
        for (const QString &v : values)
            json += "{\"AMT\":" + v.toLatin1() + ",\"WHEN\":null}\n";
        QCOMPARE(p.readAllStandardOutput(), json);
    }
};

QTEST_GUILESS_MAIN(TestDecimals)
#include "tst_decimals.moc"
