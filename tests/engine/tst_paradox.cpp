// Reading Paradox tables: every field type and its null, the header versions
// and code pages, records reached through the chain of data blocks, blobs in
// the record and in the blob file, and damaged files, which must end in an
// EngineError naming the file.
#include "tst_paradox_helpers.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/Value.h"
#include "engine/formats/paradox/ParadoxDriver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include "fuzz/fuzz_paradox.h"
#include "fuzz_replay.h"

using namespace qvx;
using namespace pxtest;

namespace {

std::unique_ptr<OpenTable> open(const QByteArray &table, const QByteArray &mb = {})
{
    return openParadox(memory(table), mb.isNull() ? nullptr : memory(mb, QStringLiteral("t.mb")), true);
}

// Reads every field of every record, the way a grid and a column scan would.
void readEverything(const OpenTable &t)
{
    Record rec;
    for (qint64 i = 0; t.hasRecord(i); ++i) {
        t.read(i, rec);
        for (std::size_t f = 0; f < t.fields().size(); ++f)
            t.readField(i, int(f));
    }
    (void)t.recordCount();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A table of one Alpha and one Long field holding n records ("r1", 1), ...
ParadoxBytes numbered(int n, int perBlock = 0, int version = 0x0C)
{
    ParadoxBytes px(version);
    px.field(0x01, 4, "Name").field(0x04, 4, "Num");
    if (perBlock > 0)
        px.recordsPerBlock(perBlock);
    for (int i = 1; i <= n; ++i) {
        QByteArray r = QByteArray("r") + QByteArray::number(i);
        r = r.leftJustified(4, '\0');
        QByteArray num(4, '\0');
        le32(num, 0, quint32(i) ^ 0x80000000u);
        std::reverse(num.begin(), num.end());
        px.record(r + num);
    }
    return px;
}

} // namespace

class TestParadox : public QObject {
    Q_OBJECT

private slots:
    void fieldTypes_data();
    void fieldTypes();
    void codePages_data();
    void codePages();
    void versions_data();
    void versions();
    void blockChain();
    void chainIsMappedLazily();
    void damagedTables_data();
    void damagedTables();
    void blobs_data();
    void blobs();
    void damagedBlobs_data();
    void damagedBlobs();
    void tablesOnDisk();
    void fuzzInputs_data();
    void fuzzInputs();
};

void TestParadox::fieldTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("engineType");
    QTest::addColumn<QVariant>("expected");

    const auto S = int(FieldType::SmallInt), I = int(FieldType::Integer), F = int(FieldType::Float);
    QTest::newRow("short 1") << 0x03 << 2 << hex("8001") << S << QVariant(1);
    QTest::newRow("short 256") << 0x03 << 2 << hex("8100") << S << QVariant(256);
    QTest::newRow("short -1") << 0x03 << 2 << hex("7fff") << S << QVariant(-1);
    QTest::newRow("short 0 is no null") << 0x03 << 2 << hex("8000") << S << QVariant(0);
    QTest::newRow("short null") << 0x03 << 2 << hex("0000") << S << QVariant();
    QTest::newRow("long -2") << 0x04 << 4 << hex("7ffffffe") << I << QVariant(-2);
    QTest::newRow("long 0 is no null") << 0x04 << 4 << hex("80000000") << I << QVariant(0);
    QTest::newRow("long null") << 0x04 << 4 << hex("00000000") << I << QVariant();
    QTest::newRow("long max") << 0x04 << 4 << hex("ffffffff") << I << QVariant(2147483647);
    QTest::newRow("autoinc") << 0x16 << 4 << hex("80000007") << int(FieldType::AutoInc) << QVariant(7);
    QTest::newRow("number 12.5") << 0x06 << 8 << hex("c029000000000000") << F << QVariant(12.5);
    QTest::newRow("number -12.5") << 0x06 << 8 << hex("3fd6ffffffffffff") << F << QVariant(-12.5);
    QTest::newRow("number +0 is no null") << 0x06 << 8 << hex("8000000000000000") << F << QVariant(0.0);
    QTest::newRow("number null") << 0x06 << 8 << QByteArray(8, '\0') << F << QVariant();
    QTest::newRow("number 1e300") << 0x06 << 8 << hex("fe37e43c8800759c") << F << QVariant(1e300);
    QTest::newRow("money") << 0x05 << 8 << hex("c029000000000000") << int(FieldType::Currency)
                           << QVariant(12.5);
    QTest::newRow("date") << 0x02 << 4 << hex("800b1ecf") << int(FieldType::Date)
                          << QVariant(QDate(1996, 5, 4));
    QTest::newRow("date first") << 0x02 << 4 << hex("80000001") << int(FieldType::Date)
                                << QVariant(QDate(1, 1, 1));
    QTest::newRow("date last") << 0x02 << 4 << hex("8037b9db") << int(FieldType::Date)
                               << QVariant(QDate(9999, 12, 31));
    QTest::newRow("date null") << 0x02 << 4 << hex("00000000") << int(FieldType::Date) << QVariant();
    QTest::newRow("time") << 0x14 << 4 << hex("82f3c490") << int(FieldType::Time)
                          << QVariant(QTime(13, 45, 30));
    QTest::newRow("time midnight") << 0x14 << 4 << hex("80000000") << int(FieldType::Time)
                                   << QVariant(QTime(0, 0));
    QTest::newRow("timestamp") << 0x15 << 8 << hex("c2ccafc268dfec00") << int(FieldType::DateTime)
                               << QVariant(QDateTime(QDate(2000, 1, 1), QTime(12, 30, 15), Qt::UTC));
    QTest::newRow("timestamp null") << 0x15 << 8 << QByteArray(8, '\0') << int(FieldType::DateTime)
                                    << QVariant();
    QTest::newRow("logical true") << 0x09 << 1 << hex("81") << int(FieldType::Boolean) << QVariant(true);
    QTest::newRow("logical false") << 0x09 << 1 << hex("80") << int(FieldType::Boolean) << QVariant(false);
    QTest::newRow("logical null") << 0x09 << 1 << hex("00") << int(FieldType::Boolean) << QVariant();
    const auto B = int(FieldType::BCD);
    QTest::newRow("bcd 1234.56") << 0x17 << 2 << (hex("c2") + QByteArray(13, '\0') + hex("123456")) << B
                                 << QVariant(QStringLiteral("1234.56"));
    QTest::newRow("bcd -7.25") << 0x17 << 2 << (hex("42") + QByteArray(14, '\xff') + hex("f8da")) << B
                               << QVariant(QStringLiteral("-7.25"));
    QTest::newRow("bcd 0 decimals") << 0x17 << 0 << (hex("c0") + QByteArray(15, '\0') + hex("42")) << B
                                    << QVariant(QStringLiteral("42"));
    QTest::newRow("bcd -5, 0 decimals") << 0x17 << 0 << (hex("40") + QByteArray(15, '\xff') + hex("fa")) << B
                                        << QVariant(QStringLiteral("-5"));
    QTest::newRow("bcd zero") << 0x17 << 2 << (hex("c2") + QByteArray(16, '\0')) << B
                              << QVariant(QStringLiteral("0"));
    QTest::newRow("bcd null") << 0x17 << 2 << QByteArray(17, '\0') << B << QVariant();
    const auto Y = int(FieldType::Bytes);
    QTest::newRow("bytes") << 0x18 << 3 << hex("010203") << Y << QVariant(hex("010203"));
    QTest::newRow("bytes with a leading zero") << 0x18 << 3 << hex("000102") << Y << QVariant(hex("000102"));
    QTest::newRow("bytes null") << 0x18 << 3 << hex("000000") << Y << QVariant();
    const auto A = int(FieldType::String);
    QTest::newRow("alpha") << 0x01 << 5 << hex("4142000000") << A << QVariant(QStringLiteral("AB"));
    QTest::newRow("alpha full") << 0x01 << 3 << QByteArray("xyz") << A << QVariant(QStringLiteral("xyz"));
    QTest::newRow("alpha empty is null") << 0x01 << 3 << QByteArray(3, '\0') << A << QVariant();
}

void TestParadox::fieldTypes()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QByteArray, bytes);
    QFETCH(int, engineType);
    QFETCH(QVariant, expected);

    // A Short field after the one under test shows that its length was right.
    const QByteArray table = ParadoxBytes()
                                 .field(std::uint8_t(type), size, "F")
                                 .field(0x03, 2, "After")
                                 .record(bytes + hex("8005"))
                                 .bytes();
    const auto t = open(table);
    QCOMPARE(t->fields().size(), std::size_t(2));
    QCOMPARE(t->fields()[0].name, QStringLiteral("F"));
    QCOMPARE(int(t->fields()[0].type), engineType);
    QCOMPARE(t->recordCount(), qint64(1));
    Record rec;
    t->read(0, rec);
    QCOMPARE(rec[0].isNull(), expected.isNull());
    if (!expected.isNull()) {
        QCOMPARE(rec[0], expected);
        // Held the way FieldDef.h says for the type.
        QCOMPARE(coerceValue(rec[0], t->fields()[0]), rec[0]);
    }
    QCOMPARE(rec[1], QVariant(5));
    QCOMPARE(t->readField(0, 0), rec[0]);
}

void TestParadox::codePages_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("converter");

    QTest::newRow("1252") << 0x0C << 1252 << QByteArray("caf\xe9") << QStringLiteral("caf\u00e9")
                          << QStringLiteral("windows-1252");
    QTest::newRow("437") << 0x0C << 437 << QByteArray("\x81") << QStringLiteral("\u00fc")
                         << QStringLiteral("IBM437");
    QTest::newRow("852") << 0x09 << 852 << QByteArray("\xa5") << QStringLiteral("\u0105")
                         << QStringLiteral("IBM852");
    QTest::newRow("version 3 names none")
        << 0x03 << 0 << QByteArray("\x81") << QStringLiteral("\u00fc") << QStringLiteral("IBM437");
}

void TestParadox::codePages()
{
    QFETCH(int, version);
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFETCH(QString, converter);

    const QByteArray table = ParadoxBytes(version)
                                 .codePage(codePage)
                                 .field(0x01, 8, QByteArray("N") + bytes)
                                 .record(bytes.leftJustified(8, '\0'))
                                 .bytes();
    const auto t = open(table);
    QCOMPARE(t->info().codePage, converter);
    QCOMPARE(t->fields()[0].name, QStringLiteral("N") + expected);
    QCOMPARE(t->readField(0, 0), QVariant(expected));
}

void TestParadox::versions_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("format");

    QTest::newRow("3.0") << 3 << QStringLiteral("Paradox 3.0");
    QTest::newRow("3.5") << 4 << QStringLiteral("Paradox 3.5");
    QTest::newRow("4") << 9 << QStringLiteral("Paradox 4");
    QTest::newRow("5") << 0x0B << QStringLiteral("Paradox 5");
    QTest::newRow("7") << 0x0C << QStringLiteral("Paradox 7");
}

void TestParadox::versions()
{
    QFETCH(int, version);
    QFETCH(QString, format);

    // Where the field list starts and how long the table name is differ by
    // version; the names and values come out right only when both are.
    const auto t = open(numbered(3, 0, version).bytes());
    QCOMPARE(t->info().format, format);
    QCOMPARE(t->info().versionByte, version);
    QCOMPARE(t->fields()[1].name, QStringLiteral("Num"));
    QCOMPARE(t->recordCount(), qint64(3));
    QCOMPARE(t->readField(2, 0), QVariant(QStringLiteral("r3")));
}

void TestParadox::blockChain()
{
    // Ten records, three to a block, in blocks whose places in the file are
    // not their order in the chain.
    const QByteArray table = numbered(10, 3).placement({ 2, 0, 3, 1 }).bytes();
    const auto t = open(table);
    QCOMPARE(t->recordCount(), qint64(10));
    QCOMPARE(t->info().recordCount, qint64(10));
    Record rec;
    for (int i = 0; i < 10; ++i) {
        t->read(i, rec);
        QCOMPARE(rec[0], QVariant(QStringLiteral("r%1").arg(i + 1)));
        QCOMPARE(rec[1], QVariant(i + 1));
    }
    // Backwards, which a grid does when it scrolls up.
    for (int i = 9; i >= 0; --i)
        QCOMPARE(t->readField(i, 1), QVariant(i + 1));
    QVERIFY(!t->hasRecord(10));
    QVERIFY_THROWS_EXCEPTION(EngineError, t->read(10, rec));
    QVERIFY_THROWS_EXCEPTION(EngineError, t->read(-1, rec));

    // An empty table has no first block.
    const auto empty = open(numbered(0).bytes());
    QCOMPARE(empty->recordCount(), qint64(0));
    QVERIFY(!empty->hasRecord(0));
}

void TestParadox::chainIsMappedLazily()
{
    // The last block links back to the first: the records before the loop
    // are read without walking the chain to its end; counting them all finds
    // the loop and says so.
    QByteArray table = numbered(6, 2).bytes();
    le16(table, ParadoxBytes::blockOffset(3), 1);
    const auto t = open(table);
    QVERIFY(t->hasRecord(0));
    QCOMPARE(t->readField(0, 0), QVariant(QStringLiteral("r1")));
    QVERIFY(t->hasRecord(5));
    QCOMPARE(t->readField(5, 1), QVariant(6));
    try {
        (void)t->recordCount();
        QFAIL("a loop in the block chain was not noticed");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), QStringLiteral("t.db: the chain of data blocks loops back to block 1"));
    }
}

void TestParadox::damagedTables_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("fault");

    const QByteArray good = numbered(6, 2).bytes();
    const int fields = 0x78; // the field list of a version 7 table
    const auto patched = [&](const std::function<void(QByteArray &)> &change) {
        QByteArray b = good;
        change(b);
        return b;
    };
    QTest::newRow("field sizes differ from the record size")
        << patched([](QByteArray &b) { le16(b, 0, 9); }) << QStringLiteral("the fields take 8 bytes");
    QTest::newRow("chain cycle") << patched([](QByteArray &b) { le16(b, ParadoxBytes::blockOffset(2), 2); })
                                 << QStringLiteral("loops back to block 2");
    QTest::newRow("chain leads beyond the file")
        << patched([](QByteArray &b) { le16(b, ParadoxBytes::blockOffset(1), 50); })
        << QStringLiteral("block 50, beyond the end of the file");
    QTest::newRow("first block beyond the file")
        << patched([](QByteArray &b) { le16(b, 0x0E, 999); }) << QStringLiteral("block 999, beyond");
    QTest::newRow("truncated block") << good.left(ParadoxBytes::blockOffset(3) + 6 + 8)
                                     << QStringLiteral("data block 3 is cut short");
    QTest::newRow("block claims too many records")
        << patched([](QByteArray &b) { le16(b, ParadoxBytes::blockOffset(1) + 4, 8 * 300); })
        << QStringLiteral("data block 1 claims 301 records");
    QTest::newRow("no fields") << patched([](QByteArray &b) { le16(b, 0x21, 0); })
                               << QStringLiteral("claims 0 fields");
    QTest::newRow("32767 fields") << patched([](QByteArray &b) { le16(b, 0x21, 0x7FFF); })
                                  << QStringLiteral("claims 32767 fields");
    QTest::newRow("-5 fields") << patched([](QByteArray &b) { le16(b, 0x21, -5); })
                               << QStringLiteral("claims -5 fields");
    QTest::newRow("key fields beyond the fields")
        << patched([](QByteArray &b) { le16(b, 0x23, 3); }) << QStringLiteral("3 key fields of 2");
    QTest::newRow("header larger than the file") << good.left(0x400) << QStringLiteral("header size 2048");
    QTest::newRow("unknown field type")
        << patched([&](QByteArray &b) { b[fields] = 0x07; }) << QStringLiteral("type 0x07 with size 4");
    QTest::newRow("long of 2 bytes") << patched([&](QByteArray &b) { b[fields + 3] = 2; })
                                     << QStringLiteral("type 0x04 with size 2");
    QTest::newRow("encrypted") << patched([](QByteArray &b) { le32(b, 0x5C, 0x12345678); })
                               << QStringLiteral("encrypted");
    QTest::newRow("primary index") << patched([](QByteArray &b) { b[0x04] = 1; })
                                   << QStringLiteral("primary index (.px)");
    QTest::newRow("secondary index") << patched([](QByteArray &b) { b[0x04] = 3; })
                                     << QStringLiteral("file type 3");
    QTest::newRow("block size 0") << patched([](QByteArray &b) { b[0x05] = 0; })
                                  << QStringLiteral("block size of 0 KiB");
    QTest::newRow("version 2") << patched([](QByteArray &b) { b[0x39] = 2; })
                               << QStringLiteral("file version 2");
    QTest::newRow("field names run past the header") << patched([&](QByteArray &b) {
        const int names = fields + 6 * 2 + 4 + 261;
        b.replace(names, 0x800 - names, QByteArray(0x800 - names, 'x'));
    }) << QStringLiteral("field names run past");
    QTest::newRow("too short") << good.left(10) << QStringLiteral("too short to be a Paradox table");
}

void TestParadox::damagedTables()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, fault);
    try {
        readEverything(*open(table));
        QFAIL("the damage was not noticed");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(QLatin1String("t.db: ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(fault), qPrintable(e.message()));
    }
}

void TestParadox::blobs_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("leader");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("where"); // leader, slot or single
    QTest::addColumn<QVariant>("expected");

    const QByteArray small = QByteArray("The quick brown fox. ").repeated(5).left(100);
    const QByteArray large = QByteArray("0123456789abcdef\x01\x02").repeated(200).left(3000);
    QTest::newRow("memo in its leader")
        << 0x0C << 10 << QByteArray("short") << "leader" << QVariant(QStringLiteral("short"));
    QTest::newRow("memo filling its leader")
        << 0x0C << 5 << QByteArray("exact") << "leader" << QVariant(QStringLiteral("exact"));
    QTest::newRow("memo of 100 bytes in slot 63")
        << 0x0C << 10 << small << "slot" << QVariant(QString::fromLatin1(small));
    QTest::newRow("memo in code page 1252") << 0x0C << 1 << QByteArray("na\xefve caf\xe9") << "slot"
                                            << QVariant(QStringLiteral("na\u00efve caf\u00e9"));
    QTest::newRow("binary of 3000 bytes") << 0x0D << 0 << large << "single" << QVariant(large);
    QTest::newRow("binary of 100 bytes") << 0x0D << 0 << small << "slot" << QVariant(small);
    QTest::newRow("formatted memo") << 0x0E << 10 << large << "single" << QVariant(large);
    QTest::newRow("ole") << 0x0F << 10 << small << "slot" << QVariant(small);
    QTest::newRow("graphic") << 0x10 << 10 << large << "single" << QVariant(large);
    QTest::newRow("graphic with its own 8 bytes") << 0x10 << 10 << large << "graphic" << QVariant(large);
    QTest::newRow("null") << 0x0C << 10 << QByteArray() << "leader" << QVariant();
}

void TestParadox::blobs()
{
    QFETCH(int, type);
    QFETCH(int, leader);
    QFETCH(QByteArray, value);
    QFETCH(QString, where);
    QFETCH(QVariant, expected);

    MbBytes mb;
    QByteArray field = value.left(leader).leftJustified(leader, '\0');
    if (!value.isEmpty()) {
        quint32 pointer = 0;
        if (where == QLatin1String("slot"))
            pointer = mb.slot(value, 63);
        else if (where == QLatin1String("single"))
            pointer = mb.single(value);
        else if (where == QLatin1String("graphic"))
            pointer = mb.single(QByteArray(8, '\x07') + value);
        field += blobPointer(pointer, quint32(value.size()));
    } else {
        field += QByteArray(10, '\0');
    }
    const QByteArray table = ParadoxBytes()
                                 .field(std::uint8_t(type), leader + 10, "B")
                                 .field(0x03, 2, "After")
                                 .record(field + hex("8009"))
                                 .bytes();
    const auto t = open(table, mb.bytes());
    QCOMPARE(t->fields()[0].size, leader);
    Record rec;
    t->read(0, rec);
    QCOMPARE(rec[0], expected);
    QCOMPARE(rec[1], QVariant(9));
}

void TestParadox::damagedBlobs_data()
{
    QTest::addColumn<QByteArray>("mb");
    QTest::addColumn<quint32>("pointer");
    QTest::addColumn<quint32>("length");
    QTest::addColumn<QString>("fault");

    const QByteArray value(100, 'v');
    MbBytes slotted;
    const quint32 slot = slotted.slot(value, 63);
    MbBytes single;
    const quint32 whole = single.single(QByteArray(3000, 'w'));

    QByteArray overlong = slotted.bytes();
    overlong[4096 + 12 + 5 * 63 + 1] = char(255); // 255 chunks of 16 bytes
    overlong[4096 + 12 + 5 * 63 + 4] = 16;
    QTest::newRow("slot longer than its block")
        << overlong << slot << quint32(255 * 16) << "runs past its block";
    QTest::newRow("slot and record disagree") << slotted.bytes() << slot << quint32(99) << "holds 100 bytes";
    QTest::newRow("empty slot") << slotted.bytes() << (slot & ~0xFFu) + 5 << quint32(100) << "slot 5";
    QTest::newRow("slot beyond 63") << slotted.bytes() << (slot & ~0xFFu) + 64 << quint32(100) << "slot 64";
    QTest::newRow("offset beyond the file")
        << slotted.bytes() << quint32(0x100000) + 63 << quint32(100) << "outside the file";
    QTest::newRow("offset in the header block")
        << slotted.bytes() << quint32(63) << quint32(100) << "outside the file";
    QTest::newRow("length beyond the file")
        << single.bytes() << whole << quint32(0x7FFFFFFF) << "more than the whole file";
    QTest::newRow("single block shorter than its value")
        << single.bytes() << whole << quint32(2999) << "holds 3000";
    QByteArray freed = single.bytes();
    freed[4096] = 4;
    QTest::newRow("free block") << freed << whole << quint32(3000) << "of type 4";
    QByteArray cut = single.bytes().left(4096 + 2000);
    QTest::newRow("truncated blob file") << cut << whole << quint32(3000) << "cut short";
}

void TestParadox::damagedBlobs()
{
    QFETCH(QByteArray, mb);
    QFETCH(quint32, pointer);
    QFETCH(quint32, length);
    QFETCH(QString, fault);

    const QByteArray table = ParadoxBytes()
                                 .field(0x0C, 11, "Memo")
                                 .record(QByteArray("v") + blobPointer(pointer, length))
                                 .bytes();
    const auto t = open(table, mb);
    try {
        (void)t->readField(0, 0);
        QFAIL("the damage was not noticed");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(QLatin1String("t.mb: ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(fault), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QLatin1String("field Memo of record 1")), qPrintable(e.message()));
    }
}

void TestParadox::tablesOnDisk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MbBytes mb;
    const QByteArray memo(300, 'm');
    const quint32 pointer = mb.slot(memo, 63);
    ParadoxBytes px;
    px.field(0x01, 4, "Name").field(0x0C, 11, "Notes");
    px.record(QByteArray("ab\0\0", 4) + "m" + blobPointer(pointer, 300));
    px.record(QByteArray("cd\0\0", 4) + QByteArray(11, '\0'));
    const QString path = dir.filePath(QStringLiteral("t.db"));
    QVERIFY(writeFile(path, px.bytes()));

    // The blob file is required, and is found in any letter case.
    try {
        (void)paradoxDriver().open(path, true);
        QFAIL("a missing blob file was not noticed");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), path + QStringLiteral(": its blob file t.mb is missing"));
    }
    QVERIFY(writeFile(dir.filePath(QStringLiteral("T.MB")), mb.bytes()));
    QCOMPARE(paradoxDriver().files(path), QStringList({ path, dir.filePath(QStringLiteral("T.MB")) }));

    // Through Table, which picks the driver by extension.
    QCOMPARE(&Table::driverFor(Table::typeForExtension(path)), &paradoxDriver());
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName(QStringLiteral("t.db"));
    t.open();
    QCOMPARE(t.recordCount(), qint64(2));
    QCOMPARE(t.value(QStringLiteral("Name")), QVariant(QStringLiteral("ab")));
    QCOMPARE(t.value(QStringLiteral("Notes")), QVariant(QString::fromLatin1(memo)));
    t.next();
    QCOMPARE(t.value(QStringLiteral("Name")), QVariant(QStringLiteral("cd")));
    QVERIFY(t.value(QStringLiteral("Notes")).isNull());
    QCOMPARE(t.info().format, QStringLiteral("Paradox 7"));
    t.close();

    QVERIFY_THROWS_EXCEPTION(EngineError,
                             paradoxDriver().open(dir.filePath(QStringLiteral("none.db")), true));
}

// The fuzz target, replayed on its seeds and on every input that once broke it.
void TestParadox::fuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_paradox");
}

void TestParadox::fuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::paradoxInput);
}

QTEST_GUILESS_MAIN(TestParadox)
#include "tst_paradox.moc"
