// Paradox tables exchanged with pxlib, an independent reader and writer:
// tables it writes are read here, and damaged copies of them fail cleanly.
// pxlib is used through a small C program built when the test starts; the
// tests skip when pxlib-dev or a C compiler is missing.
#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/paradox/ParadoxDriver.h"
#include "engine/formats/paradox/ParadoxHeader.h"
#include "engine/formats/paradox/ParadoxIndex.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace qvx;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The values the C program writes into record i.
Record expectedRecord(int i)
{
    Record r(12);
    if (i == 0)
        r[0] = QStringLiteral("M\u00fcller");
    else if (i % 7 != 3)
        r[0] = QStringLiteral("row %1").arg(i);
    if (i % 5 != 4)
        r[1] = i - 100;
    r[2] = i * 100003 - 5000000;
    r[3] = i * 0.25 - 10;
    if (i % 6 != 5)
        r[4] = i * 1.5;
    r[5] = QDate(1990 + i % 30, 1 + i % 12, 1 + i % 28);
    r[6] = QTime(i % 24, i % 60, (i * 7) % 60);
    r[7] = QDateTime(QDate(2000 + i % 20, 1 + i % 12, 1 + i % 28), QTime(i % 24, (i * 3) % 60, (i * 11) % 60),
                     Qt::UTC);
    if (i % 3 != 0)
        r[8] = i % 2 == 1;
    r[9] = i + 1;
    r[10] = canonicalDecimal(QStringLiteral("%1%2.%3")
                                 .arg(i % 4 == 1 ? QStringLiteral("-") : QString())
                                 .arg(i * 37)
                                 .arg(i % 100, 2, 10, QLatin1Char('0')));
    r[11] = QByteArray::fromHex(QByteArray::number(i & 0xFF, 16).rightJustified(2, '0') + "000102");
    return r;
}

} // namespace

class TestParadoxPxlib : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readsTablesPxlibWrote();
    void damagedCopiesFailCleanly();
    void pxlibReadsOurTables();
    void keyedTablesBothWays();

private:
    bool run(const QStringList &args, QString *output = nullptr);

    QTemporaryDir m_dir;
    QString m_tool;
};

void TestParadoxPxlib::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString gcc = QStandardPaths::findExecutable(QStringLiteral("gcc"));
    if (gcc.isEmpty() || !QFile::exists(QStringLiteral("/usr/include/paradox.h")))
        return;
    m_tool = m_dir.filePath(QStringLiteral("pxlib_tool"));
    QProcess cc;
    cc.start(gcc,
             { QStringLiteral("-o"), m_tool, QStringLiteral(QVX_FIXTURES "/paradox/pxlib_tool.c"),
               QStringLiteral("-lpx") });
    QVERIFY(cc.waitForFinished(120000));
    QVERIFY2(cc.exitCode() == 0, cc.readAllStandardError().constData());
}

bool TestParadoxPxlib::run(const QStringList &args, QString *output)
{
    QProcess p;
    p.start(m_tool, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << "pxlib_tool" << args << "failed:" << p.readAllStandardError();
        return false;
    }
    if (output)
        *output = QString::fromLatin1(p.readAllStandardOutput());
    return true;
}

void TestParadoxPxlib::readsTablesPxlibWrote()
{
    if (m_tool.isEmpty())
        QSKIP("pxlib-dev or gcc is not installed");
    const QString path = m_dir.filePath(QStringLiteral("written.db"));
    const int n = 700; // some twenty data blocks
    QVERIFY(run({ QStringLiteral("write"), path, QString::number(n) }));

    const auto t = paradoxDriver().open(path, true);
    QCOMPARE(t->info().format, QStringLiteral("Paradox 7"));
    QCOMPARE(t->info().codePage, QStringLiteral("IBM850"));
    const QList<QPair<QString, FieldType>> fields = {
        { "Name", FieldType::String },     { "Short", FieldType::SmallInt }, { "Long", FieldType::Integer },
        { "Number", FieldType::Float },    { "Money", FieldType::Currency }, { "Day", FieldType::Date },
        { "Clock", FieldType::Time },      { "Stamp", FieldType::DateTime }, { "Flag", FieldType::Boolean },
        { "Counter", FieldType::AutoInc }, { "Amount", FieldType::BCD },     { "Raw", FieldType::Bytes },
    };
    QCOMPARE(t->fields().size(), std::size_t(fields.size()));
    for (int f = 0; f < fields.size(); ++f) {
        QCOMPARE(t->fields()[std::size_t(f)].name, fields[f].first);
        QCOMPARE(t->fields()[std::size_t(f)].type, fields[f].second);
    }
    QCOMPARE(t->fields()[0].size, 20);
    QCOMPARE(t->fields()[10].decimals, 2);
    QCOMPARE(t->recordCount(), qint64(n));
    Record rec;
    for (int i = 0; i < n; ++i) {
        t->read(i, rec);
        const Record want = expectedRecord(i);
        for (std::size_t f = 0; f < want.size(); ++f)
            QVERIFY2(rec[f] == want[f] && rec[f].isNull() == want[f].isNull(),
                     qPrintable(QStringLiteral("record %1 field %2: %3 instead of %4")
                                    .arg(i)
                                    .arg(fields[int(f)].first, valueToText(rec[f], fields[int(f)].second),
                                         valueToText(want[f], fields[int(f)].second))));
    }
}

void TestParadoxPxlib::damagedCopiesFailCleanly()
{
    if (m_tool.isEmpty())
        QSKIP("pxlib-dev or gcc is not installed");
    const QString path = m_dir.filePath(QStringLiteral("fresh.db"));
    QVERIFY(run({ QStringLiteral("write"), path, QStringLiteral("100") }));
    const QByteArray fresh = fileBytes(path);
    QVERIFY(fresh.size() > 0x800);

    // Every byte of the header and of the first block's start, each set to
    // values that break counts, sizes and links; and cuts at many lengths.
    int failures = 0;
    const auto tryOpen = [&](const QByteArray &bytes) {
        try {
            auto t = openParadox(std::make_unique<MemoryFile>(bytes, QStringLiteral("t.db")), nullptr, true);
            Record rec;
            for (qint64 i = 0; i < 200 && t->hasRecord(i); ++i) {
                try {
                    t->read(i, rec);
                } catch (const EngineError &e) {
                    QVERIFY(e.message().startsWith(QLatin1String("t.db: ")));
                }
            }
            (void)t->recordCount();
        } catch (const EngineError &e) {
            ++failures;
            QVERIFY2(e.message().startsWith(QLatin1String("t.db: ")), qPrintable(e.message()));
        }
    };
    const int firstBlock = 0x800;
    for (int at = 0; at < firstBlock + 64; ++at) {
        if (at >= 0x300 && at < firstBlock)
            continue; // the unused end of the header
        for (const char value : { '\x00', '\x01', '\x7f', '\xff' }) {
            QByteArray bytes = fresh;
            bytes[at] = value;
            tryOpen(bytes);
        }
    }
    for (qsizetype cut = 0; cut < fresh.size(); cut += 97)
        tryOpen(fresh.left(cut));
    QVERIFY(failures > 0);
}

void TestParadoxPxlib::pxlibReadsOurTables()
{
    if (m_tool.isEmpty())
        QSKIP("pxlib-dev or gcc is not installed");
    const QString path = m_dir.filePath(QStringLiteral("ours.db"));
    CreateOptions options;
    options.codePage = QStringLiteral("IBM850");
    paradoxDriver().create(path,
                           { FieldDef(QStringLiteral("Name"), FieldType::String, 20),
                             FieldDef(QStringLiteral("Short"), FieldType::SmallInt),
                             FieldDef(QStringLiteral("Long"), FieldType::Integer),
                             FieldDef(QStringLiteral("Number"), FieldType::Float),
                             FieldDef(QStringLiteral("Money"), FieldType::Currency),
                             FieldDef(QStringLiteral("Day"), FieldType::Date),
                             FieldDef(QStringLiteral("Clock"), FieldType::Time),
                             FieldDef(QStringLiteral("Stamp"), FieldType::DateTime),
                             FieldDef(QStringLiteral("Flag"), FieldType::Boolean),
                             FieldDef(QStringLiteral("Counter"), FieldType::AutoInc),
                             FieldDef(QStringLiteral("Amount"), FieldType::BCD, 20, 2),
                             FieldDef(QStringLiteral("Raw"), FieldType::Bytes, 4) },
                           options);
    const int n = 300;
    {
        const auto t = paradoxDriver().open(path, false);
        // Inserted out of order, so that blocks split on the way.
        for (int i = 0; i < n; ++i)
            t->insert(i % 2 ? i / 2 : t->recordCount(), expectedRecord(i));
        // A run of removals empties whole blocks, which leave the chain.
        for (int i = 0; i < 100; ++i)
            t->remove(100);
    }
    const int left = n - 100;
    QString out;
    QVERIFY(run({ QStringLiteral("read"), path }, &out));
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("records %1 codepage 850").arg(left));
    QCOMPARE(lines.value(1),
             QStringLiteral("Name:1:20\tShort:3:2\tLong:4:4\tNumber:6:8\tMoney:5:8\tDay:2:4\tClock:20:4\t"
                            "Stamp:21:8\tFlag:9:1\tCounter:22:4\tAmount:23:17\tRaw:24:4"));
    QCOMPARE(lines.size(), left + 2);

    std::vector<int> order; // the record each line shows
    for (int i = 0; i < n; ++i)
        order.insert(i % 2 ? order.begin() + i / 2 : order.end(), i);
    order.erase(order.begin() + 100, order.begin() + 200);
    const auto number = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        return QString::fromLatin1(buf);
    };
    for (int line = 0; line < left; ++line) {
        const int i = order[std::size_t(line)];
        const Record r = expectedRecord(i);
        const QStringList got = lines[line + 2].split(u'\t');
        QCOMPARE(got.size(), 12);
        // pxlib prints text as the bytes of the table's code page.
        QCOMPARE(got[0],
                 r[0].isNull() ? QStringLiteral("NULL")
                               : QString::fromLatin1(r[0].toString() == QStringLiteral("M\u00fcller")
                                                         ? QByteArray("M\x81ller")
                                                         : r[0].toString().toLatin1()));
        QCOMPARE(got[1], r[1].isNull() ? QStringLiteral("NULL") : r[1].toString());
        QCOMPARE(got[2], r[2].toString());
        QCOMPARE(got[3], number(r[3].toDouble()));
        // pxlib reports a null number as 0.
        QCOMPARE(got[4], number(r[4].isNull() ? 0.0 : r[4].toDouble()));
        QCOMPARE(got[5], QString::number(r[5].toDate().toJulianDay() - 1721425));
        QCOMPARE(got[6], QString::number(r[6].toTime().msecsSinceStartOfDay()));
        const QDateTime stamp = r[7].toDateTime();
        QCOMPARE(got[7],
                 number(double(stamp.date().toJulianDay() - 1721425) * 86400000.0
                        + stamp.time().msecsSinceStartOfDay()));
        QCOMPARE(got[8], r[8].isNull() ? QStringLiteral("NULL") : QString::number(int(r[8].toBool())));
        QCOMPARE(got[9], r[9].toString());
        QCOMPARE(canonicalDecimal(got[10]), r[10].toString());
        // pxlib takes bytes that begin with 0 for null.
        QCOMPARE(got[11],
                 (i & 0xFF) == 0 ? QStringLiteral("NULL") : QString::fromLatin1(r[11].toByteArray().toHex()));
    }
}

void TestParadoxPxlib::keyedTablesBothWays()
{
    if (m_tool.isEmpty())
        QSKIP("pxlib-dev or gcc is not installed");
    // pxlib's keyed table (key = 3 x record number, records in key order,
    // its primary index written by pxlib) reads here, and its index names
    // the same blocks, counts and keys as the table.
    const QString db = m_dir.filePath(QStringLiteral("keyed.db"));
    const QString px = m_dir.filePath(QStringLiteral("keyed.px"));
    const int n = 600;
    QVERIFY(run({ QStringLiteral("keyed"), db, px, QString::number(n) }));
    {
        const auto t = paradoxDriver().open(db, true);
        QCOMPARE(t->recordCount(), qint64(n));
        for (int i = 0; i < n; i += 37) {
            QCOMPARE(t->readField(i, 0), QVariant(i * 3));
            QCOMPARE(t->readField(i, 1), QVariant(QStringLiteral("name %1").arg(i)));
        }
        MemoryFile dbFile(fileBytes(db), db);
        const paradox::Header h = paradox::readHeader(dbFile);
        const paradox::PrimaryIndex index = paradox::readPrimaryIndex(MemoryFile(fileBytes(px), px), h);
        QCOMPARE(index.levels, 1);
        qint64 first = 0;
        for (const paradox::IndexEntry &e : index.dataBlocks) {
            QCOMPARE(e.key.toHex(), QByteArray::number(0x80000000u + quint32(first * 3), 16));
            first += e.count;
        }
        QCOMPARE(first, qint64(n));
    }

    // We write into it (its key is a number, so no sort order is involved):
    // records out of order, a key changed, removals; pxlib then reads the
    // table through the index we kept.
    {
        const auto t = paradoxDriver().open(db, false);
        QVERIFY(!t->readOnly());
        for (int i = 0; i < 300; ++i)
            t->insert(0, { (i * 7919) % 1800 * 3 + 1, QStringLiteral("ours %1").arg(i) });
        t->update(0, { 100000, QStringLiteral("moved") });
        for (int i = 0; i < 200; ++i)
            t->remove(i * 3);
    }
    const auto t = paradoxDriver().open(db, true);
    QString out;
    QVERIFY(run({ QStringLiteral("read"), db, px }, &out));
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("records %1 codepage 1252").arg(t->recordCount()));
    QCOMPARE(lines.size(), t->recordCount() + 2);
    for (qint64 i = 0; i < t->recordCount(); ++i)
        QCOMPARE(lines[i + 2],
                 QStringLiteral("%1\t%2").arg(t->readField(i, 0).toInt()).arg(t->readField(i, 1).toString()));

    // A keyed table of ours with every field kind but blobs reads in pxlib.
    const QString ours = m_dir.filePath(QStringLiteral("ourkeyed.db"));
    CreateOptions options;
    options.keyFields = 2;
    paradoxDriver().create(ours,
                           { FieldDef(QStringLiteral("Day"), FieldType::Date),
                             FieldDef(QStringLiteral("Seq"), FieldType::SmallInt),
                             FieldDef(QStringLiteral("Name"), FieldType::String, 20),
                             FieldDef(QStringLiteral("Amount"), FieldType::BCD, 20, 2),
                             FieldDef(QStringLiteral("Stamp"), FieldType::DateTime) },
                           options);
    {
        const auto k = paradoxDriver().open(ours, false);
        for (int i = 0; i < 2000; ++i)
            k->insert(0,
                      { QDate(2020, 1, 1).addDays((i * 31) % 97), i % 50 - 25, QStringLiteral("n%1").arg(i),
                        QStringLiteral("%1.25").arg(i), QDateTime(QDate(2021, 2, 3), QTime(4, 5), Qt::UTC) });
    }
    QVERIFY(run({ QStringLiteral("read"), ours, m_dir.filePath(QStringLiteral("ourkeyed.px")) }, &out));
    const QStringList ourLines = out.split(u'\n', Qt::SkipEmptyParts);
    const auto k = paradoxDriver().open(ours, true);
    QCOMPARE(ourLines.size(), k->recordCount() + 2);
    for (qint64 i = 0; i < k->recordCount(); ++i) {
        const QStringList got = ourLines[i + 2].split(u'\t');
        QCOMPARE(got.value(0), QString::number(k->readField(i, 0).toDate().toJulianDay() - 1721425));
        QCOMPARE(got.value(1), k->readField(i, 1).toString());
        QCOMPARE(got.value(2), k->readField(i, 2).toString());
    }
}

QTEST_GUILESS_MAIN(TestParadoxPxlib)
#include "tst_paradox_pxlib.moc"
