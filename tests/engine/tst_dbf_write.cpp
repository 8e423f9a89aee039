// Creating and writing dbf tables: every field type through every variant,
// code pages, the variant a driver picks, refusals, the writer lock, and the
// state of the file (end marker, header count) after each change.
#include "tst_dbf_helpers.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/Value.h"
#include "engine/formats/dbf/DbfDriver.h"
#include "engine/formats/dbf/DbfHeader.h"
#include "engine/formats/dbf/DbfTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qvx;
using namespace dbftest;

Q_DECLARE_METATYPE(qvx::FieldDef)

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 headerCount(const QByteArray &b)
{
    return dbf::le32(b.constData() + 4);
}

const TableDriver &driverForVersion(int version)
{
    return version == 0xF5 || version == 0x30 ? foxproDriver() : dbaseDriver();
}

} // namespace

class TestDbfWrite : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void nullsInVisualFoxPro();
    void refusedFields_data();
    void refusedFields();
    void variantChoice_data();
    void variantChoice();
    void codePages_data();
    void codePages();
    void textThatDoesNotFit_data();
    void textThatDoesNotFit();
    void appendsAndDeletesKeepFileWhole();
    void batchWritesRecordsAtOnceAndTheDateAtTheEnd();
    void insertAppends();
    void memoUpdates();
    void failedMemoWriteLeavesRecord();
    void autoIncrement();
    void writerLock();
    void indexedTableIsReadOnly_data();
    void indexedTableIsReadOnly();
    void emptyKeepsStructure();
    void filesListsCompanions();
    void createReplacesCompanions();
    void throughTable();
    void openErrors();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void TestDbfWrite::roundTrip_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("readType");
    QTest::addColumn<QString>("readText");

    const QDate date(2026, 3, 14);
    const QDateTime stamp(QDate(2000, 1, 1), QTime(12, 30, 15, 250), Qt::UTC);
    const QByteArray binary("\x00\x01\x1A\xFF\x80 z", 7);
    struct Case {
        FieldType type;
        int size, decimals;
        QVariant value;
        // read type and text per variant: dBASE III, dBASE IV, FoxPro 2, VFP; Unknown = refused
        FieldType readType[4];
        const char *text;
    };
    const FieldType U = FieldType::Unknown;
    const Case cases[] = {
        { FieldType::String,
          12,
          0,
          QStringLiteral("Zoë  x"),
          { FieldType::String, FieldType::String, FieldType::String, FieldType::String },
          "Zoë  x" },
        { FieldType::String, 300, 0, QString(300, u'q'), { U, U, FieldType::String, U }, nullptr },
        { FieldType::SmallInt,
          0,
          0,
          -32768,
          { FieldType::Integer, FieldType::Integer, FieldType::Integer, FieldType::Integer },
          "-32768" },
        { FieldType::Integer,
          0,
          0,
          -2147483647 - 1,
          { FieldType::BCD, FieldType::BCD, FieldType::BCD, FieldType::Integer },
          "-2147483648" },
        { FieldType::Word,
          0,
          0,
          65535,
          { FieldType::Integer, FieldType::Integer, FieldType::Integer, FieldType::Integer },
          "65535" },
        { FieldType::LargeInt,
          0,
          0,
          Q_INT64_C(-9223372036854775807),
          { FieldType::BCD, FieldType::BCD, FieldType::BCD, FieldType::BCD },
          "-9223372036854775807" },
        { FieldType::Boolean,
          0,
          0,
          true,
          { FieldType::Boolean, FieldType::Boolean, FieldType::Boolean, FieldType::Boolean },
          "True" },
        { FieldType::Boolean,
          0,
          0,
          false,
          { FieldType::Boolean, FieldType::Boolean, FieldType::Boolean, FieldType::Boolean },
          "False" },
        { FieldType::Float, 0, 0, 0.1, { U, FieldType::Float, FieldType::Float, FieldType::Float }, "0.1" },
        { FieldType::Float,
          0,
          2,
          -1234.5678125,
          { U, FieldType::Float, FieldType::Float, FieldType::Float },
          "-1234.5678125" },
        { FieldType::Float,
          0,
          0,
          1.0e-300,
          { U, FieldType::Float, FieldType::Float, FieldType::Float },
          "1e-300" },
        { FieldType::Currency,
          0,
          0,
          12.3456,
          { FieldType::BCD, FieldType::BCD, FieldType::BCD, FieldType::Currency },
          "12.3456" },
        { FieldType::BCD,
          12,
          3,
          QStringLiteral("-12345.675"),
          { FieldType::BCD, FieldType::BCD, FieldType::BCD, FieldType::BCD },
          "-12345.675" },
        { FieldType::BCD,
          20,
          0,
          QStringLiteral("99999999999999999999"),
          { FieldType::BCD, FieldType::BCD, FieldType::BCD, FieldType::BCD },
          "99999999999999999999" },
        { FieldType::BCD,
          8,
          2,
          QStringLiteral("1.050"),
          { FieldType::BCD, FieldType::BCD, FieldType::BCD, FieldType::BCD },
          "1.05" },
        { FieldType::Date,
          0,
          0,
          date,
          { FieldType::Date, FieldType::Date, FieldType::Date, FieldType::Date },
          "2026-03-14" },
        { FieldType::Date,
          0,
          0,
          QDate(1, 1, 1),
          { FieldType::Date, FieldType::Date, FieldType::Date, FieldType::Date },
          "0001-01-01" },
        { FieldType::DateTime, 0, 0, stamp, { U, U, U, FieldType::DateTime }, "2000-01-01 12:30:15.250" },
        { FieldType::Bytes, 8, 0, binary, { U, U, U, FieldType::Bytes }, nullptr },
        { FieldType::VarBytes, 10, 0, binary, { U, U, U, FieldType::VarBytes }, nullptr },
        { FieldType::Memo,
          0,
          0,
          QStringLiteral("line one\r\nline two – ünïcode"),
          { FieldType::Memo, FieldType::Memo, FieldType::Memo, FieldType::Memo },
          "line one\r\nline two – ünïcode" },
        { FieldType::Memo,
          0,
          0,
          QString(2000, u'm'),
          { FieldType::Memo, FieldType::Memo, FieldType::Memo, FieldType::Memo },
          nullptr },
        { FieldType::Blob, 0, 0, binary, { U, FieldType::Blob, U, FieldType::Blob }, nullptr },
        { FieldType::Graphic,
          0,
          0,
          binary,
          { U, FieldType::Blob, FieldType::Graphic, FieldType::Graphic },
          nullptr },
        { FieldType::DBaseOle,
          0,
          0,
          binary,
          { U, FieldType::DBaseOle, FieldType::DBaseOle, FieldType::DBaseOle },
          nullptr },
        { FieldType::AutoInc, 0, 0, QVariant(), { U, U, U, FieldType::AutoInc }, "1" },
    };
    const int versions[] = { 0x03, 0x8B, 0xF5, 0x30 };
    const char *names[] = { "dBASE III", "dBASE IV", "FoxPro 2", "VFP" };
    int row = 0;
    for (const Case &c : cases) {
        ++row;
        for (int v = 0; v < 4; ++v) {
            if (c.readType[v] == U)
                continue;
            QString text;
            if (c.text)
                text = QString::fromUtf8(c.text);
            else
                text = valueToText(c.value, c.readType[v]);
            QTest::addRow("%s %d %s", names[v], row, qPrintable(QString::number(fieldTypeCode(c.type))))
                << versions[v] << fieldTypeCode(c.type) << c.size << c.decimals << c.value
                << fieldTypeCode(c.readType[v]) << text;
        }
    }
}

void TestDbfWrite::roundTrip()
{
    QFETCH(int, version);
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(int, decimals);
    QFETCH(QVariant, value);
    QFETCH(int, readType);
    QFETCH(QString, readText);

    const QString file = path(QStringLiteral("rt.dbf"));
    // A required field is not nullable in VFP, the others in every variant
    // store null as blank: the checked value sits in a second record too.
    FieldDefs defs { FieldDef(QStringLiteral("V"), fieldTypeFromCode(type), size, decimals, true),
                     FieldDef(QStringLiteral("TAG"), FieldType::String, 3) };
    CreateOptions options;
    options.version = version;
    driverForVersion(version).create(file, defs, options);
    {
        auto t = driverForVersion(version).open(file, false);
        t->insert(0, { value, QStringLiteral("one") });
        t->insert(1, { value, QStringLiteral("two") });
        t->update(0, { value, QStringLiteral("uno") });
    }
    const FieldType written = fieldTypeFromCode(type);
    int expectedVersion = 0x03;
    if (version == 0x30)
        expectedVersion = written == FieldType::AutoInc                    ? 0x31
            : written == FieldType::VarBytes || written == FieldType::Blob ? 0x32
                                                                           : 0x30;
    else if (isBlobType(written))
        expectedVersion = version == 0x03 ? 0x83 : version;

    auto t = dbaseDriver().open(file, true);
    QCOMPARE(t->info().versionByte, expectedVersion);
    QCOMPARE(t->fields().size(), std::size_t(2));
    QCOMPARE(fieldTypeCode(t->fields()[0].type), readType);
    QCOMPARE(t->recordCount(), 2);
    Record rec;
    t->read(0, rec);
    QCOMPARE(rec[1].toString(), QStringLiteral("uno"));
    const QVariant got = rec[0];
    if (written == FieldType::Bytes)
        QCOMPARE(got.toByteArray(), value.toByteArray().leftJustified(size, '\0'));
    else if (valueKind(FieldType(readType)) == ValueKind::Bytes)
        QCOMPARE(got.toByteArray(), value.toByteArray());
    else
        QCOMPARE(valueToText(got, FieldType(readType)), readText);
    // readField decodes the one field the same way.
    if (written == FieldType::AutoInc)
        QCOMPARE(t->readField(1, 0), QVariant(2));
    else
        QCOMPARE(t->readField(1, 0), got);
}

void TestDbfWrite::nullsInVisualFoxPro()
{
    // Not-required fields are nullable: null and empty stay apart; in the
    // other variants null comes back as blank.
    const QString file = path(QStringLiteral("nulls.dbf"));
    FieldDefs defs { FieldDef(QStringLiteral("S"), FieldType::String, 5),
                     FieldDef(QStringLiteral("N"), FieldType::Integer),
                     FieldDef(QStringLiteral("M"), FieldType::Memo),
                     FieldDef(QStringLiteral("Q"), FieldType::VarBytes, 4),
                     FieldDef(QStringLiteral("D"), FieldType::DateTime) };
    foxproDriver().create(file, defs, {});
    {
        auto t = foxproDriver().open(file, false);
        t->insert(0, { QVariant(), QVariant(), QVariant(), QVariant(), QVariant() });
        t->insert(1, { QStringLiteral(""), 0, QStringLiteral(""), QByteArray(""), QVariant() });
        t->insert(2, { QStringLiteral("abcde"), 7, QStringLiteral("memo"), QByteArray("wxyz"), QVariant() });
    }
    auto t = foxproDriver().open(file, true);
    QCOMPARE(t->info().versionByte, 0x32);
    QCOMPARE(t->fields().size(), std::size_t(5)); // _NullFlags stays hidden
    Record r;
    t->read(0, r);
    for (const QVariant &v : r)
        QVERIFY(v.isNull());
    t->read(1, r);
    QCOMPARE(r[0], QVariant(QString()));
    QVERIFY(!r[0].isNull());
    QCOMPARE(r[1], QVariant(0));
    QCOMPARE(r[2].toString(), QString());
    QVERIFY(!r[2].isNull());
    QCOMPARE(r[3].toByteArray(), QByteArray());
    QVERIFY(!r[3].isNull());
    t->read(2, r);
    QCOMPARE(r[0].toString(), QStringLiteral("abcde"));
    QCOMPARE(r[2].toString(), QStringLiteral("memo"));
    QCOMPARE(r[3].toByteArray(), QByteArray("wxyz")); // full length: varlength bit clear
}

void TestDbfWrite::refusedFields_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<FieldDef>("field");
    QTest::addColumn<QString>("message");

    QTest::newRow("datetime in dBASE III")
        << 0x03 << FieldDef("WHEN", FieldType::DateTime) << "dBASE III+ has no date-and-time";
    QTest::newRow("datetime in dBASE IV")
        << 0x8B << FieldDef("WHEN", FieldType::DateTime) << "dBASE IV has no date-and-time";
    QTest::newRow("datetime in FoxPro 2")
        << 0xF5 << FieldDef("WHEN", FieldType::DateTime) << "FoxPro 2.x has no date-and-time";
    QTest::newRow("float in dBASE III") << 0x03 << FieldDef("F", FieldType::Float) << "no floating-point";
    QTest::newRow("blob in dBASE III") << 0x83 << FieldDef("B", FieldType::Blob) << "no binary memo";
    QTest::newRow("blob in FoxPro 2") << 0xF5 << FieldDef("B", FieldType::Blob) << "no binary memo";
    QTest::newRow("bytes in dBASE IV") << 0x8B << FieldDef("B", FieldType::Bytes, 4) << "no binary character";
    QTest::newRow("autoinc in dBASE IV")
        << 0x8B << FieldDef("ID", FieldType::AutoInc) << "no auto-incrementing";
    QTest::newRow("time anywhere") << 0x30 << FieldDef("T", FieldType::Time) << "no time fields";
    QTest::newRow("long string in VFP") << 0x30 << FieldDef("S", FieldType::String, 255) << "at most 254";
    QTest::newRow("long string in dBASE") << 0x03 << FieldDef("S", FieldType::String, 300) << "at most 254";
    QTest::newRow("string without size")
        << 0x03 << FieldDef("S", FieldType::String, 0) << "size of at least 1";
    QTest::newRow("wide BCD") << 0x03 << FieldDef("N", FieldType::BCD, 30, 2) << "at most 20";
    QTest::newRow("BCD decimals") << 0x03 << FieldDef("N", FieldType::BCD, 4, 3) << "decimals do not fit";
    QTest::newRow("nested data set") << 0x30 << FieldDef("X", FieldType::DataSet) << "cannot be kept";
    QTest::newRow("long name") << 0x03 << FieldDef("ELEVENCHARS", FieldType::String, 4)
                               << "not a valid field name";
    QTest::newRow("name with space") << 0x03 << FieldDef("A B", FieldType::String, 4)
                                     << "not a valid field name";
    QTest::newRow("unknown version") << 0x04 << FieldDef("A", FieldType::String, 4) << "version byte 0x04";
}

void TestDbfWrite::refusedFields()
{
    QFETCH(int, version);
    QFETCH(FieldDef, field);
    QFETCH(QString, message);
    const QString file = path(QStringLiteral("refused.dbf"));
    QFile::remove(file);
    CreateOptions options;
    options.version = version;
    try {
        dbaseDriver().create(file, { field }, options);
        QFAIL("the field was accepted");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(file + QStringLiteral(": ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        if (message != QLatin1String("version byte 0x04") && !message.contains(QLatin1String("name")))
            QVERIFY2(e.message().contains(QStringLiteral("field %1").arg(field.name)),
                     qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(file));
}

void TestDbfWrite::variantChoice_data()
{
    QTest::addColumn<bool>("foxpro");
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<bool>("backlink");
    QTest::addColumn<int>("descriptors"); // _NullFlags included

    const int S = fieldTypeCode(FieldType::String), M = fieldTypeCode(FieldType::Memo),
              F = fieldTypeCode(FieldType::Float), B = fieldTypeCode(FieldType::Blob),
              T = fieldTypeCode(FieldType::DateTime), A = fieldTypeCode(FieldType::AutoInc),
              Q = fieldTypeCode(FieldType::VarBytes);
    QTest::newRow("dBASE plain") << false << QList<int> { S } << 0x03 << "" << false << -1;
    QTest::newRow("dBASE memo") << false << QList<int> { S, M } << 0x83 << "dbt" << false << -1;
    QTest::newRow("dBASE float") << false << QList<int> { S, F } << 0x03 << "" << false << -1;
    QTest::newRow("dBASE blob") << false << QList<int> { M, B } << 0x8B << "dbt" << false << -1;
    QTest::newRow("FoxPro plain") << true << QList<int> { S } << 0x03 << "" << false << -1;
    QTest::newRow("FoxPro memo") << true << QList<int> { S, M } << 0xF5 << "fpt" << false << -1;
    QTest::newRow("FoxPro datetime") << true << QList<int> { S, T } << 0x30 << "" << true << -1;
    QTest::newRow("FoxPro autoinc") << true << QList<int> { A, M } << 0x31 << "fpt" << true << -1;
    QTest::newRow("FoxPro varbinary") << true << QList<int> { A, Q } << 0x32 << "" << true << 3;
}

void TestDbfWrite::variantChoice()
{
    QFETCH(bool, foxpro);
    QFETCH(QList<int>, types);
    QFETCH(int, version);
    QFETCH(QString, memo);
    QFETCH(bool, backlink);
    QFETCH(int, descriptors);
    if (descriptors < 0)
        descriptors = int(types.size());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("v.dbf"));
    FieldDefs defs;
    for (int t : types)
        defs.emplace_back(QStringLiteral("F%1").arg(defs.size()), fieldTypeFromCode(t), 10, 0, true);
    const TableDriver &driver = foxpro ? foxproDriver() : dbaseDriver();
    driver.create(file, defs, {});
    const QByteArray b = fileBytes(file);
    QCOMPARE(int(std::uint8_t(b[0])), version);
    QCOMPARE(int(dbf::le16(b.constData() + 8)), 32 + 32 * descriptors + 1 + (backlink ? 263 : 0));
    QCOMPARE(b.size(), int(dbf::le16(b.constData() + 8)) + 1);
    QCOMPARE(b.back(), '\x1A');
    QCOMPARE(headerCount(b), 0u);
    QCOMPARE(int(std::uint8_t(b[29])), 0x03); // windows-1252 unless asked otherwise
    QStringList expected { file };
    if (!memo.isEmpty())
        expected << dir.filePath(QStringLiteral("v.") + memo);
    QCOMPARE(driver.files(file), expected);
    auto t = driver.open(file, true);
    QCOMPARE(t->fields().size(), std::size_t(types.size()));
    for (std::size_t i = 0; i < defs.size(); ++i)
        QCOMPARE(t->fields()[i].name, defs[i].name);
}

void TestDbfWrite::codePages_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<int>("driverByte");
    QTest::addColumn<QString>("converter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("437") << "cp437" << 0x01 << "IBM437" << QStringLiteral("Grüße ½")
                         << QByteArray("Gr\x81\xe1\x65 \xab");
    QTest::newRow("850") << "IBM850" << 0x02 << "IBM850" << QStringLiteral("Ãò façade")
                         << QByteArray("\xc7\x95 fa\x87\x61\x64\x65");
    QTest::newRow("866") << "866" << 0x65 << "IBM866" << QStringLiteral("Привет")
                         << QByteArray("\x8f\xe0\xa8\xa2\xa5\xe2");
    QTest::newRow("1252") << "windows-1252" << 0x03 << "windows-1252" << QStringLiteral("€ Œuvre")
                          << QByteArray("\x80 \x8cuvre");
}

void TestDbfWrite::codePages()
{
    QFETCH(QString, codePage);
    QFETCH(int, driverByte);
    QFETCH(QString, converter);
    QFETCH(QString, text);
    QFETCH(QByteArray, stored);

    for (int version : { 0x83, 0x30 }) {
        const QString file = path(QStringLiteral("cp%1.dbf").arg(version));
        CreateOptions options;
        options.version = version;
        options.codePage = codePage;
        foxproDriver().create(
            file, { FieldDef("NAME", FieldType::String, 20), FieldDef("NOTE", FieldType::Memo) }, options);
        {
            auto t = foxproDriver().open(file, false);
            t->insert(0, { text, text });
            // A character outside the code page is refused, naming the field.
            QVERIFY_THROWS_EXCEPTION(EngineError, t->insert(1, { QStringLiteral("漢"), QVariant() }));
            bool refused = false;
            try {
                t->update(0, { text, QStringLiteral("漢字") });
            } catch (const EngineError &e) {
                refused = true;
                QVERIFY2(e.message().contains(QLatin1String("field NOTE")), qPrintable(e.message()));
            }
            QVERIFY(refused);
        }
        const QByteArray b = fileBytes(file);
        QCOMPARE(int(std::uint8_t(b[29])), driverByte);
        QVERIFY2(b.contains(stored), b.toHex().constData());
        auto t = foxproDriver().open(file, true);
        QCOMPARE(t->info().codePage, converter);
        QCOMPARE(t->recordCount(), 1);
        Record r;
        t->read(0, r);
        QCOMPARE(r[0].toString(), text);
        QCOMPARE(r[1].toString(), text);
    }
}

void TestDbfWrite::textThatDoesNotFit_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<FieldDef>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("string") << 0x03 << FieldDef("NAME", FieldType::String, 5) << QVariant("abcdef")
                            << "6 bytes";
    QTest::newRow("number") << 0x03 << FieldDef("AMOUNT", FieldType::BCD, 5, 2) << QVariant("123.4")
                            << "width of 5";
    QTest::newRow("integer") << 0x03 << FieldDef("WHOLE", FieldType::BCD, 5) << QVariant(123456)
                             << "width of 5";
    QTest::newRow("memo end byte") << 0x83 << FieldDef("NOTE", FieldType::Memo) << QVariant("a\x1A b")
                                   << "0x1A";
    QTest::newRow("varbytes") << 0x30 << FieldDef("BIN", FieldType::VarBytes, 3)
                              << QVariant(QByteArray("abcd")) << "4 bytes";
    QTest::newRow("bytes") << 0x30 << FieldDef("BIN", FieldType::Bytes, 3) << QVariant(QByteArray("abcd"))
                           << "4 bytes";
    QTest::newRow("date") << 0x03 << FieldDef("DAY", FieldType::Date) << QVariant("not a date")
                          << "not a valid date";
}

void TestDbfWrite::textThatDoesNotFit()
{
    QFETCH(int, version);
    QFETCH(FieldDef, field);
    QFETCH(QVariant, value);
    QFETCH(QString, message);

    const QString file = path(QStringLiteral("fit.dbf"));
    CreateOptions options;
    options.version = version;
    dbaseDriver().create(file, { field }, options);
    const QByteArray before = fileBytes(file);
    {
        auto t = dbaseDriver().open(file, false);
        try {
            t->insert(0, { value });
            QFAIL("the value was written");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("field %1").arg(field.name)),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }
    QCOMPARE(fileBytes(file), before);
}

void TestDbfWrite::appendsAndDeletesKeepFileWhole()
{
    const QString file = path(QStringLiteral("grow.dbf"));
    dbaseDriver().create(file, { FieldDef("N", FieldType::Integer) }, {});
    const QByteArray created = fileBytes(file);
    const int headerLen = dbf::le16(created.constData() + 8);
    const int recLen = dbf::le16(created.constData() + 10);
    auto t = dbaseDriver().open(file, false);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(t->insert(i, { i }), qint64(i));
        const QByteArray b = fileBytes(file);
        QCOMPARE(b.size(), headerLen + (i + 1) * recLen + 1);
        QCOMPARE(b.back(), '\x1A');
        QCOMPARE(headerCount(b), quint32(i + 1));
        const QDate today = QDate::currentDate();
        QCOMPARE(int(std::uint8_t(b[1])), today.year() - 1900);
        QCOMPARE(int(b[2]), today.month());
        QCOMPARE(int(b[3]), today.day());
    }
    t->remove(1);
    t->remove(2); // the record with 3
    QCOMPARE(t->recordCount(), 3);
    const QByteArray b = fileBytes(file);
    QCOMPARE(headerCount(b), 5u); // deleted records stay until packed
    QCOMPARE(b[headerLen + 1 * recLen], '*');
    QCOMPARE(b[headerLen + 3 * recLen], '*');
    QCOMPARE(b.back(), '\x1A');
    QList<int> seen;
    for (qint64 i = 0; i < t->recordCount(); ++i)
        seen << t->readField(i, 0).toInt();
    QCOMPARE(seen, QList<int>({ 0, 2, 4 }));
    // Bookmarks are physical positions; a deleted one is gone.
    QCOMPARE(t->bookmark(1), 2);
    QCOMPARE(t->indexOfBookmark(2), 1);
    QCOMPARE(t->indexOfBookmark(1), -1);
    QCOMPARE(t->insert(0, { 5 }), 3);
    QCOMPARE(headerCount(fileBytes(file)), 6u);
}

// A bulk statement's changes reach the file record by record, and reads see
// them at once; only the header's date waits for the end of the batch (or
// for the table to be closed, if the batch never ends).
void TestDbfWrite::batchWritesRecordsAtOnceAndTheDateAtTheEnd()
{
    const QString file = path(QStringLiteral("batch.dbf"));
    dbaseDriver().create(file, { FieldDef("N", FieldType::Integer) }, {});
    {
        auto t = dbaseDriver().open(file, false);
        for (int i = 0; i < 3; ++i)
            t->insert(i, { i });
    }
    const auto setOldDate = [&] {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(1);
        f.write(QByteArray("\x5A\x01\x01", 3)); // 1990-01-01
    };
    const auto isOldDate = [&] { return fileBytes(file).mid(1, 3) == QByteArray("\x5A\x01\x01", 3); };
    const int headerLen = dbf::le16(fileBytes(file).constData() + 8);
    const int recLen = dbf::le16(fileBytes(file).constData() + 10);
    for (const bool ends : { true, false }) {
        setOldDate();
        auto t = dbaseDriver().open(file, false);
        const int value = ends ? 41 : 42;
        QVERIFY(!t->readField(1, 0).isNull()); // the read window now holds the records
        t->beginBatch();
        t->update(1, { value });
        t->remove(2);
        QCOMPARE(t->readField(1, 0).toInt(), value);
        QCOMPARE(t->recordCount(), 2);
        const QByteArray written = fileBytes(file);
        QVERIFY(written.mid(headerLen + recLen, recLen).contains(QByteArray::number(value)));
        QCOMPARE(written[headerLen + 2 * recLen], '*');
        QVERIFY(isOldDate());
        if (ends) {
            t->commitBatch();
            QVERIFY(!isOldDate());
        } else {
            t.reset();
            QVERIFY(!isOldDate());
        }
        const QByteArray b = fileBytes(file);
        const QDate today = QDate::currentDate();
        QCOMPARE(int(std::uint8_t(b[1])), today.year() - 1900);
        QCOMPARE(headerCount(b), 3u);
        // Undelete for the next round.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(headerLen + 2 * recLen);
        f.write(" ", 1);
    }
}

void TestDbfWrite::insertAppends()
{
    const QString file = path(QStringLiteral("ins.dbf"));
    dbaseDriver().create(file, { FieldDef("S", FieldType::String, 4) }, {});
    auto t = dbaseDriver().open(file, false);
    t->insert(0, { "a" });
    t->insert(0, { "b" });
    QCOMPARE(t->insert(1, { "c" }), 2);
    QCOMPARE(t->readField(0, 0).toString(), QStringLiteral("a"));
    QCOMPARE(t->readField(2, 0).toString(), QStringLiteral("c"));
}

void TestDbfWrite::memoUpdates()
{
    for (int version : { 0x83, 0x8B, 0xF5, 0x30 }) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("m.dbf"));
        CreateOptions options;
        options.version = version;
        driverForVersion(version).create(
            file, { FieldDef("N", FieldType::Integer), FieldDef("M", FieldType::Memo) }, options);
        const QString memoPath = driverForVersion(version).files(file).value(1);
        QVERIFY(!memoPath.isEmpty());
        auto t = driverForVersion(version).open(file, false);
        t->insert(0, { 1, QString(700, u'x') });
        t->insert(1, { 2, QStringLiteral("second") });
        const qint64 size = QFileInfo(memoPath).size();
        // Changing another field leaves the memo where it is.
        t->update(0, { 10, QString(700, u'x') });
        QCOMPARE(QFileInfo(memoPath).size(), size);
        // A changed memo goes to new blocks; the other memo is untouched.
        t->update(0, { 10, QStringLiteral("short now") });
        QVERIFY(QFileInfo(memoPath).size() > size);
        Record r;
        t->read(0, r);
        QCOMPARE(r[1].toString(), QStringLiteral("short now"));
        t->read(1, r);
        QCOMPARE(r[1].toString(), QStringLiteral("second"));
        // The header's next free block follows the last memo.
        const QByteArray m = fileBytes(memoPath);
        const quint32 next
            = version >= 0xF5 || version == 0x30 ? dbf::be32(m.constData()) : dbf::le32(m.constData());
        const int blockSize = version == 0x83 ? 512
            : version == 0x8B                 ? int(dbf::le16(m.constData() + 20))
                                              : int(dbf::be16(m.constData() + 6));
        QCOMPARE(qint64(next) * blockSize, qint64(m.size()));
    }
}

void TestDbfWrite::failedMemoWriteLeavesRecord()
{
    const QString file = path(QStringLiteral("fail.dbf"));
    foxproDriver().create(file, { FieldDef("S", FieldType::String, 4), FieldDef("M", FieldType::Memo) }, {});
    {
        auto t = foxproDriver().open(file, false);
        t->insert(0, { "keep", "old memo" });
    }
    auto memo = std::make_unique<MemoryFile>(fileBytes(path(QStringLiteral("fail.fpt"))), "fail.fpt");
    auto dbfFile = std::make_unique<MemoryFile>(fileBytes(file), "fail.dbf");
    memo->failWritesAfter(0);
    const MemoryFile *dbfView = dbfFile.get();
    const QByteArray before = dbfView->data();
    auto t = openDbf(std::move(dbfFile), std::move(memo), false);
    QVERIFY_THROWS_EXCEPTION(EngineError, t->update(0, { "new!", "new memo" }));
    QCOMPARE(dbfView->data(), before);
    Record r;
    t->read(0, r);
    QCOMPARE(r[0].toString(), QStringLiteral("keep"));
    QCOMPARE(r[1].toString(), QStringLiteral("old memo"));
}

void TestDbfWrite::autoIncrement()
{
    const QString file = path(QStringLiteral("auto.dbf"));
    foxproDriver().create(file, { FieldDef("ID", FieldType::AutoInc), FieldDef("S", FieldType::String, 3) },
                          {});
    {
        auto t = foxproDriver().open(file, false);
        QVERIFY(t->fields()[0].readOnly);
        t->insert(0, { QVariant(), "a" });
        t->insert(1, { QVariant(), "b" });
        t->update(0, { QVariant(), "A" }); // keeps its number
    }
    auto t = foxproDriver().open(file, false);
    t->insert(2, { QVariant(), "c" });
    QCOMPARE(t->readField(0, 0).toInt(), 1);
    QCOMPARE(t->readField(1, 0).toInt(), 2);
    QCOMPARE(t->readField(2, 0).toInt(), 3);
    QCOMPARE(t->readField(0, 1).toString(), QStringLiteral("A"));
}

void TestDbfWrite::writerLock()
{
    const QString file = path(QStringLiteral("lock.dbf"));
    dbaseDriver().create(file, { FieldDef("S", FieldType::String, 4) }, {});
    {
        auto writer = dbaseDriver().open(file, false);
        QVERIFY(!writer->readOnly());
        try {
            dbaseDriver().open(file, false);
            QFAIL("a second writer was let in");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(QLatin1String("in use")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, dbaseDriver().empty(file));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 dbaseDriver().create(file, { FieldDef("X", FieldType::Date) }, {}));
        auto reader = dbaseDriver().open(file, true);
        writer->insert(0, { "w" });
        QCOMPARE(reader->recordCount(), 1);
        QVERIFY(reader->readOnly());
        QVERIFY_THROWS_EXCEPTION(EngineError, reader->insert(0, { "r" }));
    }
    auto again = dbaseDriver().open(file, false);
    again->insert(1, { "x" });
    QCOMPARE(again->recordCount(), 2);
}

void TestDbfWrite::indexedTableIsReadOnly_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("index");
    QTest::newRow("dBASE with an unreadable .mdx") << 0x03 << ".mdx";
    QTest::newRow("VFP with an unreadable .cdx") << 0x30 << ".cdx";
}

void TestDbfWrite::indexedTableIsReadOnly()
{
    QFETCH(int, version);
    QFETCH(QString, index);
    const QString file = path(QStringLiteral("idx.dbf"));
    const QByteArray bytes
        = DbfBytes(std::uint8_t(version)).field("S", 'C', 3).record("abc").tableFlags(1).bytes();
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    // An index file this program cannot read: writing would leave it wrong.
    QFile indexFile(path(QStringLiteral("idx") + index));
    QVERIFY(indexFile.open(QIODevice::WriteOnly));
    indexFile.write("not an index file");
    indexFile.close();
    auto t = dbaseDriver().open(file, false);
    QVERIFY(t->readOnly());
    QCOMPARE(t->readField(0, 0).toString(), QStringLiteral("abc"));
    for (int op = 0; op < 3; ++op) {
        try {
            if (op == 0)
                t->insert(1, { "new" });
            else if (op == 1)
                t->update(0, { "upd" });
            else
                t->remove(0);
            QFAIL("a write went through");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(index), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QLatin1String("read-only")), qPrintable(e.message()));
        }
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, dbaseDriver().empty(file));
    QCOMPARE(fileBytes(file), bytes);
    // No lock is held, so another writer is not turned away for it.
    auto other = dbaseDriver().open(file, false);
    QVERIFY(other->readOnly());
}

void TestDbfWrite::emptyKeepsStructure()
{
    for (int version : { 0x83, 0x8B, 0x30 }) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("e.dbf"));
        CreateOptions options;
        options.version = version;
        options.codePage = QStringLiteral("IBM850");
        const FieldDefs defs { FieldDef("S", FieldType::String, 4), FieldDef("M", FieldType::Memo) };
        driverForVersion(version).create(file, defs, options);
        const QString memoPath = driverForVersion(version).files(file).value(1);
        const qint64 emptyMemoSize = QFileInfo(memoPath).size();
        const qint64 emptySize = QFileInfo(file).size();
        {
            auto t = driverForVersion(version).open(file, false);
            for (int i = 0; i < 10; ++i)
                t->insert(i, { "x", QString(600, u'y') });
        }
        QVERIFY(QFileInfo(memoPath).size() > emptyMemoSize);
        driverForVersion(version).empty(file);
        QCOMPARE(QFileInfo(file).size(), emptySize);
        QCOMPARE(QFileInfo(memoPath).size(), emptyMemoSize);
        auto t = driverForVersion(version).open(file, false);
        QCOMPARE(t->recordCount(), 0);
        QCOMPARE(t->info().codePage, QStringLiteral("IBM850"));
        QCOMPARE(t->fields().size(), defs.size());
        t->insert(0, { "z", "after" });
        QCOMPARE(t->readField(0, 1).toString(), QStringLiteral("after"));
    }
}

void TestDbfWrite::filesListsCompanions()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("cust.dbf"));
    foxproDriver().create(file, { FieldDef("M", FieldType::Memo) }, {});
    for (const char *name : { "CUST.CDX", "cust.Ndx", "cust.IDX", "cust2.mdx", "other.cdx", "cust.txt" }) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QCOMPARE(foxproDriver().files(file),
             QStringList({ file, dir.filePath("cust.fpt"), dir.filePath("CUST.CDX"), dir.filePath("cust.Ndx"),
                           dir.filePath("cust.IDX") }));
    QVERIFY(dbaseDriver().files(dir.filePath(QStringLiteral("none.dbf"))).isEmpty());

    // A memo file in another letter case is found when the table opens.
    QVERIFY(QFile::rename(dir.filePath("cust.fpt"), dir.filePath("CUST.FPT")));
    auto t = foxproDriver().open(file, false);
    t->insert(0, { "found" });
    QCOMPARE(t->readField(0, 0).toString(), QStringLiteral("found"));
}

void TestDbfWrite::createReplacesCompanions()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("r.dbf"));
    foxproDriver().create(file, { FieldDef("M", FieldType::Memo) }, {});
    QFile idx(dir.filePath("r.cdx"));
    QVERIFY(idx.open(QIODevice::WriteOnly));
    idx.close();
    dbaseDriver().create(file, { FieldDef("M", FieldType::Memo) }, {});
    QCOMPARE(dbaseDriver().files(file), QStringList({ file, dir.filePath("r.dbt") }));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ "r.dbf", "r.dbt" }));
}

void TestDbfWrite::throughTable()
{
    for (int type : { int(Table::DBase), int(Table::FoxPro) }) {
        QTemporaryDir dir;
        Table table;
        table.setDatabaseName(dir.path());
        table.setTableName(QStringLiteral("people"));
        table.setTableType(type);
        table.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
        table.addFieldDef(QStringLiteral("BORN"), FieldType::Date);
        table.addFieldDef(QStringLiteral("NOTE"), FieldType::Memo);
        table.createTable();
        QVERIFY(table.exists());
        table.open();
        table.append();
        table.setText(0, QStringLiteral("Ada"));
        table.setValue(1, QDate(1815, 12, 10));
        table.setText(2, QStringLiteral("first"));
        table.post();
        table.append();
        table.setText(0, QStringLiteral("Grace"));
        table.post();
        table.first();
        table.deleteRecord();
        QCOMPARE(table.recordCount(), 1);
        table.close();

        table.open();
        QCOMPARE(table.recordCount(), 1);
        QCOMPARE(table.text(0), QStringLiteral("Grace"));
        QVERIFY(table.isNull(1));
        QCOMPARE(table.info().versionByte, type == Table::DBase ? 0x83 : 0xF5);
        table.close();
        table.emptyTable();
        table.open();
        QCOMPARE(table.recordCount(), 0);
        table.close();
        table.deleteTable();
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

void TestDbfWrite::openErrors()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("o.dbf"));
    for (bool readOnly : { true, false }) {
        try {
            dbaseDriver().open(file, readOnly);
            QFAIL("a missing table opened");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), file + QStringLiteral(": the table does not exist"));
        }
    }
    dbaseDriver().create(file, { FieldDef("M", FieldType::Memo) }, {});
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("o.dbt"))));
    {
        // Without its memo file the table opens read-only, saying why, with
        // its memo fields empty.
        const QString missing
            = QStringLiteral("its memo file o.dbt is missing; the memo fields read as empty");
        auto t = dbaseDriver().open(file, false);
        QVERIFY(t->readOnly());
        QCOMPARE(t->readOnlyReason(), missing);
        QCOMPARE(t->warnings(), QStringList { missing });
        try {
            t->insert(0, { QStringLiteral("x") });
            QFAIL("a table without its memo file took a record");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), file + QStringLiteral(": ") + missing);
        }
        Table table;
        table.setDatabaseName(dir.path());
        table.setTableName(QStringLiteral("o.dbf"));
        table.open();
        QVERIFY(table.isReadOnly());
        try {
            table.append();
            QFAIL("a data set over a table without its memo file took a record");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot modify a read-only dataset: ") + missing);
        }
    }

    // A file the user may not write opens read-only and says why on a write.
    const QString plain = dir.filePath(QStringLiteral("p.dbf"));
    dbaseDriver().create(plain, { FieldDef("S", FieldType::String, 2) }, {});
    QVERIFY(QFile::setPermissions(plain, QFile::ReadOwner));
    if (QFileInfo(plain).isWritable())
        QSKIP("running with rights that ignore file permissions");
    auto t = dbaseDriver().open(plain, false);
    QVERIFY(t->readOnly());
    try {
        t->insert(0, { "x" });
        QFAIL("a read-only file was written");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QLatin1String("read-only")), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestDbfWrite)
#include "tst_dbf_write.moc"
