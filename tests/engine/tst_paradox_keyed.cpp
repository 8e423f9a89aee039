// Keyed Paradox tables written: records kept in key order whatever order
// they come in, keys changed by updates, duplicate keys refused, removals
// and emptying; after every step the primary index (.px) is checked
// against the data blocks in the table file.
#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/formats/paradox/ParadoxDriver.h"
#include "engine/formats/paradox/ParadoxHeader.h"
#include "engine/formats/paradox/ParadoxIndex.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>

using namespace qvx;
using namespace qvx::paradox;

namespace {

// The key of generated record n (unique for each n) in a table of each kind.
enum class KeyKind { Integer, Text, TextAndShort, Date };

FieldDefs fieldsFor(KeyKind kind, int fillerSize)
{
    FieldDefs f;
    switch (kind) {
    case KeyKind::Integer:
        f.emplace_back(QStringLiteral("Id"), FieldType::Integer);
        break;
    case KeyKind::Text:
        f.emplace_back(QStringLiteral("Code"), FieldType::String, 12);
        break;
    case KeyKind::TextAndShort:
        f.emplace_back(QStringLiteral("Group"), FieldType::String, 6);
        f.emplace_back(QStringLiteral("Seq"), FieldType::SmallInt);
        break;
    case KeyKind::Date:
        f.emplace_back(QStringLiteral("Day"), FieldType::Date);
        break;
    }
    f.emplace_back(QStringLiteral("Filler"), FieldType::String, fillerSize);
    return f;
}

int keyCount(KeyKind kind)
{
    return kind == KeyKind::TextAndShort ? 2 : 1;
}

// Keys of n, in the order n has: negative numbers, text and dates included.
Record recordFor(KeyKind kind, int n, const QString &filler)
{
    switch (kind) {
    case KeyKind::Integer:
        return { n * 7 - 5000, filler };
    case KeyKind::Text:
        return { QStringLiteral("K%1").arg(n, 6, 10, QLatin1Char('0')), filler };
    case KeyKind::TextAndShort:
        return { QStringLiteral("G%1").arg(n / 100, 3, 10, QLatin1Char('0')), n % 100 - 50, filler };
    case KeyKind::Date:
        return { QDate(1900, 1, 1).addDays(n * 3), filler };
    }
    return {};
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Checks the .px against the table file: its entries name, in key order,
// exactly the data blocks of the chain that hold records, each with that
// block's first key and record count.
void checkIndex(const QString &dbPath, const QString &pxPath, int *levels = nullptr)
{
    const QByteArray db = fileBytes(dbPath);
    MemoryFile dbFile(db, dbPath);
    const Header h = readHeader(dbFile);
    MemoryFile pxFile(fileBytes(pxPath), pxPath);
    const PrimaryIndex index = readPrimaryIndex(pxFile, h);
    if (levels)
        *levels = index.levels;
    const int klen = keyLength(h);

    std::vector<IndexEntry> chain;
    qint64 records = 0;
    for (int block = h.firstBlock, steps = 0; block != 0; ++steps) {
        QVERIFY(steps <= h.fileBlocks);
        const char *head = db.constData() + h.blockOffset(block);
        const int last = std::int16_t(le16(head + 4));
        const int count = last < 0 ? 0 : last / h.recordSize + 1;
        if (count > 0)
            chain.push_back({ QByteArray(head + kBlockHeaderSize, klen), block, count });
        records += count;
        block = le16(head);
    }
    QCOMPARE(records, qint64(h.numRecords));
    QCOMPARE(index.dataBlocks.size(), chain.size());
    for (std::size_t i = 0; i < chain.size(); ++i) {
        QCOMPARE(index.dataBlocks[i].block, chain[i].block);
        QCOMPARE(index.dataBlocks[i].count, chain[i].count);
        QCOMPARE(index.dataBlocks[i].key.toHex(), chain[i].key.toHex());
    }
}

// The records of a table as text, to compare with what is expected.
QStringList contents(const OpenTable &t)
{
    QStringList out;
    Record rec;
    for (qint64 i = 0; t.hasRecord(i); ++i) {
        t.read(i, rec);
        QStringList values;
        for (const QVariant &v : rec)
            values << v.toString();
        out << values.join(u'|');
    }
    return out;
}

QString textOf(const Record &rec)
{
    QStringList values;
    for (const QVariant &v : rec)
        values << v.toString();
    return values.join(u'|');
}

} // namespace

class TestParadoxKeyed : public QObject {
    Q_OBJECT

private slots:
    void init();
    void keyOrder_data();
    void keyOrder();
    void keyViolation();
    void updateMovesRecord();
    void emptyAndRecreate();
    void dataSetFollowsMovedRecord();
    void createRefuses_data();
    void createRefuses();
    void indexWithoutFile();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestParadoxKeyed::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestParadoxKeyed::keyOrder_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("fillerSize");
    QTest::addColumn<int>("levels");

    QTest::newRow("integer key, few blocks") << int(KeyKind::Integer) << 300 << 20 << 1;
    QTest::newRow("text key") << int(KeyKind::Text) << 400 << 40 << 1;
    QTest::newRow("two key fields") << int(KeyKind::TextAndShort) << 500 << 10 << 1;
    QTest::newRow("date key") << int(KeyKind::Date) << 200 << 60 << 1;
    // Long records: more data blocks than one index block can name, so the
    // index has two levels.
    QTest::newRow("two index levels") << int(KeyKind::Integer) << 3500 << 250 << 2;
}

void TestParadoxKeyed::keyOrder()
{
    QFETCH(int, kind);
    QFETCH(int, records);
    QFETCH(int, fillerSize);
    QFETCH(int, levels);
    const auto k = KeyKind(kind);
    const QString db = path(QStringLiteral("t.db"));
    const QString px = path(QStringLiteral("t.px"));
    CreateOptions options;
    options.keyFields = keyCount(k);
    paradoxDriver().create(db, fieldsFor(k, fillerSize), options);
    QVERIFY(QFileInfo::exists(px));
    checkIndex(db, px);

    std::vector<int> order(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i)
        order[std::size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), *QRandomGenerator::global());
    std::map<int, QString> expected; // by n, which is key order
    {
        const auto t = paradoxDriver().open(db, false);
        QVERIFY(!t->readOnly());
        for (int n : order) {
            const Record rec = recordFor(k, n, QStringLiteral("f%1").arg(n));
            // Where it was asked to go does not matter: it goes to its key's place.
            const qint64 at = t->insert(0, rec);
            expected[n] = textOf(rec);
            QCOMPARE(at, qint64(std::distance(expected.begin(), expected.find(n))));
        }
        QCOMPARE(t->recordCount(), qint64(records));
    }
    int levelsMade = 0;
    checkIndex(db, px, &levelsMade);
    QCOMPARE(levelsMade, levels);
    QStringList want;
    for (const auto &e : expected)
        want << e.second;
    QCOMPARE(contents(*paradoxDriver().open(db, true)), want);

    // Removals from everywhere, emptying whole blocks on the way.
    {
        const auto t = paradoxDriver().open(db, false);
        QRandomGenerator *random = QRandomGenerator::global();
        for (int i = 0; i < records * 3 / 4; ++i) {
            const qint64 at = random->bounded(int(t->recordCount()));
            want.removeAt(at);
            t->remove(at);
        }
    }
    checkIndex(db, px);
    QCOMPARE(contents(*paradoxDriver().open(db, true)), want);
}

void TestParadoxKeyed::keyViolation()
{
    const QString db = path(QStringLiteral("Parts.db"));
    CreateOptions options;
    options.keyFields = 2;
    paradoxDriver().create(db, fieldsFor(KeyKind::TextAndShort, 10), options);
    const auto t = paradoxDriver().open(db, false);
    t->insert(0, { QStringLiteral("A"), 1, QStringLiteral("first") });
    t->insert(0, { QStringLiteral("A"), 2, QStringLiteral("second") });
    t->insert(0, { QStringLiteral("B"), 1, QStringLiteral("third") });

    const QStringList before = contents(*t);
    const auto refused = [&](const std::function<void()> &write) {
        try {
            write();
            QFAIL("a duplicate key was taken");
        } catch (const EngineError &e) {
            QCOMPARE(
                e.message(),
                db + QStringLiteral(": Key violation: a record with the same key is in the table already"));
        }
        QCOMPARE(contents(*t), before);
    };
    // The same key in full; a different record in the other fields.
    refused([&] { t->insert(3, { QStringLiteral("A"), 2, QStringLiteral("again") }); });
    refused([&] { t->update(0, { QStringLiteral("B"), 1, QStringLiteral("moved") }); });
    // Keeping its own key is no violation.
    t->update(1, { QStringLiteral("A"), 2, QStringLiteral("edited") });
    QCOMPARE(t->readField(1, 2), QVariant(QStringLiteral("edited")));
    checkIndex(db, path(QStringLiteral("Parts.px")));
}

void TestParadoxKeyed::updateMovesRecord()
{
    const QString db = path(QStringLiteral("t.db"));
    CreateOptions options;
    options.keyFields = 1;
    FieldDefs fields = fieldsFor(KeyKind::Integer, 100);
    fields.emplace_back(QStringLiteral("Counter"), FieldType::AutoInc);
    paradoxDriver().create(db, fields, options);
    const auto t = paradoxDriver().open(db, false);
    for (int i = 0; i < 200; ++i)
        t->insert(0, { i * 10, QStringLiteral("r%1").arg(i), QVariant() });

    struct Move {
        qint64 from;
        int newKey;
        qint64 to;
    };
    // To the front, to the end, a short way in each direction, across
    // blocks, and in place.
    const Move moves[] = { { 150, -1, 0 }, { 0, 5000, 199 }, { 10, 125, 12 },
                           { 50, 15, 2 },  { 3, 1001, 100 }, { 100, 1002, 100 } };
    for (const Move &m : moves) {
        Record rec;
        t->read(m.from, rec);
        const QVariant counter = rec[2];
        rec[0] = m.newKey;
        t->update(m.from, rec);
        QCOMPARE(t->recordCount(), qint64(200));
        Record moved;
        t->read(m.to, moved);
        QCOMPARE(moved[0], QVariant(m.newKey));
        QCOMPARE(moved[1], rec[1]);
        QCOMPARE(moved[2], counter); // the same record, not a new one
        for (qint64 i = 1; i < 200; ++i)
            QVERIFY(t->readField(i - 1, 0).toInt() < t->readField(i, 0).toInt());
        checkIndex(db, path(QStringLiteral("t.px")));
    }
}

// A key change moves the record; the data set's current record must stay
// the edited one, not whichever record now holds its old place.
void TestParadoxKeyed::dataSetFollowsMovedRecord()
{
    const QString db = path(QStringLiteral("moves.db"));
    CreateOptions options;
    options.keyFields = 1;
    paradoxDriver().create(db, fieldsFor(KeyKind::Integer, 10), options);
    Table t;
    t.setDatabaseName(m_dir->path());
    t.setTableName(QStringLiteral("moves.db"));
    t.open();
    for (int i = 1; i <= 5; ++i) {
        t.append();
        t.setInteger(0, i);
        t.setText(1, QStringLiteral("r%1").arg(i));
        t.post();
    }
    t.setRecNo(1);
    t.edit();
    t.setInteger(0, 10);
    t.post();
    QCOMPARE(t.recNo(), qint64(5));
    QCOMPARE(t.integer(0), qint64(10));
    QCOMPARE(t.text(1), QStringLiteral("r1"));
    t.first();
    QCOMPARE(t.integer(0), qint64(2));
}

void TestParadoxKeyed::emptyAndRecreate()
{
    const QString db = path(QStringLiteral("T.DB"));
    CreateOptions options;
    options.keyFields = 1;
    paradoxDriver().create(db, fieldsFor(KeyKind::Integer, 200), options);
    const QString px = path(QStringLiteral("T.PX"));
    QVERIFY(QFileInfo::exists(px));
    {
        const auto t = paradoxDriver().open(db, false);
        for (int i = 0; i < 100; ++i)
            t->insert(0, { 100 - i, QString() });
    }
    checkIndex(db, px);
    paradoxDriver().empty(db);
    checkIndex(db, px);
    {
        const auto t = paradoxDriver().open(db, false);
        QCOMPARE(t->recordCount(), qint64(0));
        t->insert(0, { 7, QStringLiteral("seven") });
        t->insert(0, { 3, QStringLiteral("three") });
        QCOMPARE(t->readField(0, 1), QVariant(QStringLiteral("three")));
    }
    checkIndex(db, px);

    // Made again without a key: the old index goes with the old table.
    paradoxDriver().create(db, fieldsFor(KeyKind::Integer, 20), {});
    QVERIFY(!QFileInfo::exists(px));
}

void TestParadoxKeyed::createRefuses_data()
{
    QTest::addColumn<int>("keyFields");
    QTest::addColumn<QString>("error");
    QTest::newRow("more key fields than fields") << 3 << QStringLiteral("a key of 3 fields is not possible");
    QTest::newRow("memo in the key") << 2 << QStringLiteral("field Notes: a key field cannot be");
    QTest::newRow("negative") << -1 << QStringLiteral("a key of -1 fields");
}

void TestParadoxKeyed::createRefuses()
{
    QFETCH(int, keyFields);
    QFETCH(QString, error);
    const QString db = path(QStringLiteral("t.db"));
    CreateOptions options;
    options.keyFields = keyFields;
    try {
        paradoxDriver().create(db,
                               { FieldDef(QStringLiteral("Id"), FieldType::Integer),
                                 FieldDef(QStringLiteral("Notes"), FieldType::Memo, 10) },
                               options);
        QFAIL("the table was made");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(error), qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(db));
}

void TestParadoxKeyed::indexWithoutFile()
{
    // A keyed table that came without its .px gets one on the first write.
    const QString db = path(QStringLiteral("t.db"));
    const QString px = path(QStringLiteral("t.px"));
    CreateOptions options;
    options.keyFields = 1;
    paradoxDriver().create(db, fieldsFor(KeyKind::Integer, 20), options);
    QVERIFY(QFile::remove(px));
    {
        const auto t = paradoxDriver().open(db, false);
        t->insert(0, { 2, QStringLiteral("b") });
        t->insert(0, { 1, QStringLiteral("a") });
    }
    checkIndex(db, px);
}

QTEST_GUILESS_MAIN(TestParadoxKeyed)
#include "tst_paradox_keyed.moc"
