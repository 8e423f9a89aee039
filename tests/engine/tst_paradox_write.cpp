// Writing Paradox tables: creating them from field definitions, records
// inserted, updated and removed across data blocks, blobs in the record and
// in the blob file, autoincrement numbers, emptying, and the writer's lock.
#include "tst_paradox_helpers.h"

#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/paradox/ParadoxDriver.h"
#include "engine/formats/paradox/ParadoxHeader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace qvx;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString recordText(const OpenTable &t, qint64 i)
{
    Record rec;
    t.read(i, rec);
    return rec[0].toString();
}

} // namespace

class TestParadoxWrite : public QObject {
    Q_OBJECT

private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void createRefuses_data();
    void createRefuses();
    void longIntegerRefusesWhatItCannotHold();
    void recordsAcrossBlocks();
    void blobs();
    void createRemovesOldCompanions();
    void autoIncrement();
    void emptyTable();
    void writerLockAndReadOnly();
    void readerSeesWriter();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestParadoxWrite::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestParadoxWrite::roundTrip_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVariant>("value");

    const auto row = [](const char *name, FieldType t, int size, int dec, const QVariant &v) {
        QTest::newRow(name) << int(t) << size << dec << v;
    };
    row("alpha", FieldType::String, 10, 0, QStringLiteral("caf\u00e9 \u20ac"));
    row("alpha full", FieldType::String, 3, 0, QStringLiteral("abc"));
    row("alpha null", FieldType::String, 3, 0, QVariant());
    row("short -1", FieldType::SmallInt, 0, 0, -1);
    row("short 0", FieldType::SmallInt, 0, 0, 0);
    row("short max", FieldType::SmallInt, 0, 0, 32767);
    row("short null", FieldType::SmallInt, 0, 0, QVariant());
    row("long", FieldType::Integer, 0, 0, -2000000000);
    row("long 0", FieldType::Integer, 0, 0, 0);
    row("word as long", FieldType::Word, 0, 0, 65535);
    row("64-bit integer as long", FieldType::LargeInt, 0, 0, 2147483647);
    row("number", FieldType::Float, 0, 0, -1234.0625);
    row("number +0", FieldType::Float, 0, 0, 0.0);
    row("number -0 is +0", FieldType::Float, 0, 0, -0.0);
    row("number null", FieldType::Float, 0, 0, QVariant());
    row("money", FieldType::Currency, 0, 0, 19.99);
    row("bcd", FieldType::BCD, 20, 2, QStringLiteral("-1234.5"));
    row("bcd no decimals", FieldType::BCD, 20, 0, QStringLiteral("98765432109876543210"));
    row("bcd zero", FieldType::BCD, 20, 4, QStringLiteral("0"));
    row("date", FieldType::Date, 0, 0, QDate(2024, 2, 29));
    row("date first", FieldType::Date, 0, 0, QDate(1, 1, 1));
    row("date last", FieldType::Date, 0, 0, QDate(9999, 12, 31));
    row("time", FieldType::Time, 0, 0, QTime(23, 59, 59, 999));
    row("time midnight", FieldType::Time, 0, 0, QTime(0, 0));
    row("timestamp", FieldType::DateTime, 0, 0,
        QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58, 500), Qt::UTC));
    row("logical true", FieldType::Boolean, 0, 0, true);
    row("logical false", FieldType::Boolean, 0, 0, false);
    row("bytes", FieldType::Bytes, 4, 0, QByteArray("\x00\x01\x02\x03", 4));
    row("memo", FieldType::Memo, 10, 0, QStringLiteral("line one\nline two \u00fc"));
    row("blob", FieldType::Blob, 0, 0, QByteArray(5000, '\x5a'));
    row("graphic", FieldType::Graphic, 0, 0, QByteArray(300, '\x01'));
    row("formatted memo", FieldType::FmtMemo, 20, 0, QByteArray("{\\rtf1 short}"));
    row("ole", FieldType::ParadoxOle, 0, 0, QByteArray(2048, '\x02'));
}

void TestParadoxWrite::roundTrip()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(int, decimals);
    QFETCH(QVariant, value);

    const FieldDef def(QStringLiteral("Value"), fieldTypeFromCode(type), size, decimals);
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p, { def, FieldDef(QStringLiteral("After"), FieldType::SmallInt) }, {});
    {
        const auto t = paradoxDriver().open(p, false);
        QVERIFY(!t->readOnly());
        QCOMPARE(t->insert(0, { value, 7 }), qint64(0));
    }
    const auto t = paradoxDriver().open(p, true);
    const bool asLong = type == int(FieldType::Word) || type == int(FieldType::LargeInt);
    QCOMPARE(t->fields()[0].type, asLong ? FieldType::Integer : def.type);
    QCOMPARE(t->recordCount(), qint64(1));
    Record rec;
    t->read(0, rec);
    const QVariant expected = coerceValue(value, t->fields()[0]);
    QCOMPARE(rec[0].isNull(), expected.isNull());
    QCOMPARE(rec[0], expected);
    QCOMPARE(rec[1], QVariant(7));
}

void TestParadoxWrite::createRefuses_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fault");

    QTest::newRow("alpha of 0") << int(FieldType::String) << 0 << 0 << "N"
                                << "size 0 is not possible";
    QTest::newRow("alpha of 256") << int(FieldType::String) << 256 << 0 << "N"
                                  << "size 256 is not possible";
    QTest::newRow("bcd of 33 decimals") << int(FieldType::BCD) << 40 << 33 << "N"
                                        << "size 33 is not possible";
    QTest::newRow("memo leader of 241") << int(FieldType::Memo) << 241 << 0 << "N"
                                        << "size 241 is not possible";
    QTest::newRow("long name") << int(FieldType::String) << 5 << 0 << "N234567890123456789012345X"
                               << "at most 25 characters";
    QTest::newRow("no name") << int(FieldType::String) << 5 << 0 << " "
                             << "a field has no name";
    QTest::newRow("same name twice") << int(FieldType::String) << 5 << 0 << "first"
                                     << "used twice";
    QTest::newRow("cursor") << int(FieldType::Cursor) << 0 << 0 << "N"
                            << "no field of type 22";
}

void TestParadoxWrite::createRefuses()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(int, decimals);
    QFETCH(QString, name);
    QFETCH(QString, fault);

    const QString p = path(QStringLiteral("t.db"));
    try {
        paradoxDriver().create(p,
                               { FieldDef(QStringLiteral("First"), FieldType::Integer),
                                 FieldDef(name, fieldTypeFromCode(type), size, decimals) },
                               {});
        QFAIL("the table was created");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(p + QStringLiteral(": ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(fault), qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(p));

    CreateOptions unknownCodePage;
    unknownCodePage.codePage = QStringLiteral("klingon");
    QVERIFY_THROWS_EXCEPTION(
        EngineError,
        paradoxDriver().create(p, { FieldDef(QStringLiteral("A"), FieldType::Integer) }, unknownCodePage));
}

// A 64-bit integer field is created as Paradox's 32-bit LongInteger; a value
// beyond 32 bits is refused, naming the field and the value, not cut.
void TestParadoxWrite::longIntegerRefusesWhatItCannotHold()
{
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p, { FieldDef(QStringLiteral("Big"), FieldType::LargeInt) }, {});
    const auto t = paradoxDriver().open(p, false);
    try {
        t->insert(0, { qint64(3000000000) });
        QFAIL("a value beyond 32 bits went in");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Big")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("3000000000")), qPrintable(e.message()));
    }
    QCOMPARE(t->recordCount(), qint64(0));
}

void TestParadoxWrite::recordsAcrossBlocks()
{
    // 60 + 4 bytes a record: 31 records to a 2 KiB block. Records go in at
    // the end, at the front and in the middle, so blocks fill, split and
    // empty; a plain list follows along as the model.
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p,
                           { FieldDef(QStringLiteral("Name"), FieldType::String, 60),
                             FieldDef(QStringLiteral("N"), FieldType::Integer) },
                           {});
    QStringList model;
    {
        const auto t = paradoxDriver().open(p, false);
        for (int i = 0; i < 300; ++i) {
            const QString name = QStringLiteral("rec %1").arg(i);
            qint64 at = model.size();
            if (i % 3 == 1)
                at = 0;
            else if (i % 3 == 2)
                at = model.size() / 2;
            QCOMPARE(t->insert(at, { name, i }), at);
            model.insert(at, name);
        }
        QCOMPARE(t->recordCount(), qint64(model.size()));
        for (int i = 0; i < model.size(); ++i)
            QCOMPARE(recordText(*t, i), model[i]);

        // Updates in place.
        t->update(5, { QStringLiteral("changed"), -5 });
        model[5] = QStringLiteral("changed");

        // Remove all but a few, from the front, the back and the middle.
        for (int i = 0; model.size() > 7; ++i) {
            const qint64 at = i % 3 == 0 ? 0 : i % 3 == 1 ? model.size() - 1 : model.size() / 2;
            t->remove(at);
            model.removeAt(at);
        }
        QCOMPARE(t->recordCount(), qint64(model.size()));
    }
    // What is on disk is a sound chain holding the same records.
    const auto t = paradoxDriver().open(p, true);
    QCOMPARE(t->recordCount(), qint64(model.size()));
    for (int i = 0; i < model.size(); ++i)
        QCOMPARE(recordText(*t, i), model[i]);
    MemoryFile copy(fileBytes(p), p);
    QCOMPARE(paradox::readHeader(copy).numRecords, quint32(model.size()));

    // Emptied blocks left the chain for the free list; new records use them
    // before the file grows.
    const qint64 size = QFileInfo(p).size();
    {
        const auto w = paradoxDriver().open(p, false);
        for (int i = 0; i < 40; ++i)
            w->insert(w->recordCount(), { QStringLiteral("late %1").arg(i), i });
        QCOMPARE(w->recordCount(), qint64(model.size() + 40));
        QCOMPARE(recordText(*w, model.size() + 39), QStringLiteral("late 39"));
        for (int i = 0; i < model.size(); ++i)
            QCOMPARE(recordText(*w, i), model[i]);
    }
    QCOMPARE(QFileInfo(p).size(), size);
}

// A new table of an old name takes none of the old table's index, blob or
// validity files; files of other tables beside it stay.
void TestParadoxWrite::createRemovesOldCompanions()
{
    const QString p = path(QStringLiteral("Parts.db"));
    const QStringList old { "Parts.MB",  "PARTS.PX",  "Parts.X01", "parts.y0a",
                            "Parts.XG0", "Parts.YG1", "Parts.VAL" };
    const QStringList others { "Parts2.X01", "Parts.X1", "Parts.XGG0", "Parts.txt", "Other.X01" };
    for (const QString &name : old + others) {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QStringList listed = paradoxDriver().files(p);
    listed.sort(Qt::CaseInsensitive);
    QStringList expected;
    for (const QString &name : old)
        expected << path(name);
    expected.sort(Qt::CaseInsensitive);
    QCOMPARE(listed, expected);

    paradoxDriver().create(p, { FieldDef(QStringLiteral("Name"), FieldType::String, 10) }, {});
    QStringList left = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QStringList kept = others;
    kept << QStringLiteral("Parts.db");
    kept.sort();
    QCOMPARE(left, kept);
}

void TestParadoxWrite::blobs()
{
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p,
                           { FieldDef(QStringLiteral("Notes"), FieldType::Memo, 5),
                             FieldDef(QStringLiteral("Data"), FieldType::Blob) },
                           {});
    const QString mb = path(QStringLiteral("t.mb"));
    QVERIFY(QFileInfo::exists(mb));
    QCOMPARE(paradoxDriver().files(p), QStringList({ p, mb }));

    const QString shortText = QStringLiteral("tiny");
    const QString slotText = QStringLiteral("x").repeated(100);
    const QByteArray big(3000, 'b');
    {
        const auto t = paradoxDriver().open(p, false);
        t->insert(0, { shortText, QByteArray() });
        t->insert(1, { slotText, big });
        for (int i = 0; i < 70; ++i) // more small values than one block has slots
            t->insert(2 + i,
                      { QStringLiteral("memo number %1 ").arg(i).repeated(3), QByteArray(20 + i, char(i)) });
    }
    const qint64 sizeAfterInsert = QFileInfo(mb).size();
    {
        const auto t = paradoxDriver().open(p, true);
        QCOMPARE(t->readField(0, 0), QVariant(shortText));
        QVERIFY(t->readField(0, 1).isNull());
        QCOMPARE(t->readField(1, 0), QVariant(slotText));
        QCOMPARE(t->readField(1, 1), QVariant(big));
        for (int i = 0; i < 70; ++i) {
            QCOMPARE(t->readField(2 + i, 0), QVariant(QStringLiteral("memo number %1 ").arg(i).repeated(3)));
            QCOMPARE(t->readField(2 + i, 1), QVariant(QByteArray(20 + i, char(i))));
        }
    }
    {
        // Rewriting a record with its own values leaves the blob file as
        // it is; a changed value is written anew.
        const auto t = paradoxDriver().open(p, false);
        Record rec;
        t->read(1, rec);
        t->update(1, rec);
        QCOMPARE(QFileInfo(mb).size(), sizeAfterInsert);
        t->update(1, { QStringLiteral("now short"), QByteArray("new") });
        QCOMPARE(t->readField(1, 0), QVariant(QStringLiteral("now short")));
        QCOMPARE(t->readField(1, 1), QVariant(QByteArray("new")));
    }
    // The record keeps a copy of the first bytes of a value stored in the
    // blob file, for programs that show it without opening that file.
    QVERIFY(fileBytes(p).contains("now s"));
}

void TestParadoxWrite::autoIncrement()
{
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p,
                           { FieldDef(QStringLiteral("Id"), FieldType::AutoInc),
                             FieldDef(QStringLiteral("Name"), FieldType::String, 8) },
                           {});
    {
        const auto t = paradoxDriver().open(p, false);
        t->insert(0, { QVariant(), QStringLiteral("a") });
        t->insert(1, { QVariant(), QStringLiteral("b") });
        t->insert(2, { 10, QStringLiteral("ten") });
        t->insert(3, { QVariant(), QStringLiteral("c") });
        t->update(0, { QVariant(), QStringLiteral("a2") }); // keeps its number
    }
    const auto t = paradoxDriver().open(p, false);
    QCOMPARE(t->readField(0, 0), QVariant(1));
    QCOMPARE(t->readField(0, 1), QVariant(QStringLiteral("a2")));
    QCOMPARE(t->readField(1, 0), QVariant(2));
    QCOMPARE(t->readField(2, 0), QVariant(10));
    QCOMPARE(t->readField(3, 0), QVariant(11));
    // The next number survives closing the table.
    t->insert(4, { QVariant(), QStringLiteral("d") });
    QCOMPARE(t->readField(4, 0), QVariant(12));
    // A table whose header was not kept up to date by the program that
    // wrote it: new numbers go on from the highest one it holds.
    using namespace pxtest;
    const QByteArray stale = ParadoxBytes()
                                 .field(0x16, 4, "Id")
                                 .record(hex("80000005"))
                                 .record(hex("80000009"))
                                 .record(hex("80000002"))
                                 .bytes();
    const QString s = path(QStringLiteral("stale.db"));
    QFile f(s);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(stale);
    f.close();
    const auto w = paradoxDriver().open(s, false);
    QCOMPARE(w->insert(3, { QVariant() }), qint64(3));
    QCOMPARE(w->readField(3, 0), QVariant(10));
}

void TestParadoxWrite::emptyTable()
{
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p,
                           { FieldDef(QStringLiteral("Name"), FieldType::String, 8),
                             FieldDef(QStringLiteral("Notes"), FieldType::Memo, 1) },
                           {});
    {
        const auto t = paradoxDriver().open(p, false);
        for (int i = 0; i < 100; ++i)
            t->insert(i, { QStringLiteral("n%1").arg(i), QStringLiteral("memo ").repeated(i + 1) });
    }
    QVERIFY(QFileInfo(path(QStringLiteral("t.mb"))).size() > 4096);
    paradoxDriver().empty(p);
    QCOMPARE(QFileInfo(path(QStringLiteral("t.mb"))).size(), qint64(4096));
    const auto t = paradoxDriver().open(p, false);
    QCOMPARE(t->recordCount(), qint64(0));
    QCOMPARE(t->fields().size(), std::size_t(2));
    t->insert(0, { QStringLiteral("again"), QStringLiteral("a memo that needs the blob file") });
    QCOMPARE(t->readField(0, 1), QVariant(QStringLiteral("a memo that needs the blob file")));
}

void TestParadoxWrite::writerLockAndReadOnly()
{
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p, { FieldDef(QStringLiteral("N"), FieldType::Integer) }, {});
    {
        const auto writer = paradoxDriver().open(p, false);
        QVERIFY_THROWS_EXCEPTION(EngineError, paradoxDriver().open(p, false));
        QVERIFY_THROWS_EXCEPTION(EngineError, paradoxDriver().empty(p));
        const auto reader = paradoxDriver().open(p, true);
        QVERIFY(reader->readOnly());
        try {
            reader->insert(0, { 1 });
            QFAIL("a read-only table took a record");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), p + QStringLiteral(": the table is open read-only"));
        }
    }

    // A keyed table whose key holds text in a sort order we do not keep is
    // read, not written; it can still be emptied, as no order is involved.
    using namespace pxtest;
    QByteArray keyed = ParadoxBytes().fileType(0).field(0x01, 8, "Key").record("b\0\0\0\0\0\0\0").bytes();
    keyed[0x23] = 1;
    const QString k = path(QStringLiteral("keyed.db"));
    QFile f(k);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(keyed);
    f.close();
    {
        const auto t = paradoxDriver().open(k, false);
        QVERIFY(t->readOnly());
        QCOMPARE(t->readField(0, 0), QVariant(QStringLiteral("b")));
        try {
            t->update(0, { QStringLiteral("a") });
            QFAIL("a table keyed in an unknown sort order took an edit");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(QLatin1String("sort order (98)")), qPrintable(e.message()));
        }
    }
    paradoxDriver().empty(k);
    QCOMPARE(paradoxDriver().open(k, true)->recordCount(), qint64(0));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("keyed.px"))));
}

void TestParadoxWrite::readerSeesWriter()
{
    // A second window reads while the first writes: its record count and
    // records follow the writer's inserts, edits and removals.
    const QString p = path(QStringLiteral("t.db"));
    paradoxDriver().create(p,
                           { FieldDef(QStringLiteral("Name"), FieldType::String, 60),
                             FieldDef(QStringLiteral("N"), FieldType::Integer) },
                           {});
    const auto writer = paradoxDriver().open(p, false);
    const auto reader = paradoxDriver().open(p, true);
    QCOMPARE(reader->recordCount(), qint64(0));
    for (int i = 0; i < 100; ++i)
        writer->insert(i % 2 ? 0 : writer->recordCount(), { QStringLiteral("r%1").arg(i), i });
    QCOMPARE(reader->recordCount(), qint64(100));
    for (qint64 i = 0; i < 100; ++i)
        QCOMPARE(recordText(*reader, i), recordText(*writer, i));

    writer->update(40, { QStringLiteral("edited"), 0 });
    QCOMPARE(reader->recordCount(), qint64(100));
    QCOMPARE(recordText(*reader, 40), QStringLiteral("edited"));

    for (int i = 0; i < 60; ++i)
        writer->remove(i % 2 ? 0 : writer->recordCount() / 2);
    QCOMPARE(reader->recordCount(), qint64(40));
    for (qint64 i = 0; i < 40; ++i)
        QCOMPARE(recordText(*reader, i), recordText(*writer, i));
}

QTEST_GUILESS_MAIN(TestParadoxWrite)
#include "tst_paradox_write.moc"
