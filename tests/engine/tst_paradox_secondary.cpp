// Secondary indexes of keyed Paradox tables (.Xnn/.Ynn, .XGn/.YGn): made
// over one field or several, read back and listed, kept in step with every
// insert, update and removal (the .X records compared after each step with
// a sort of the table's records, done here on the values), refused when
// unique over equal values, dropped, left alone when not maintained, and a
// damaged one making the table read-only. pxlib, an independent reader,
// opens our .Xnn as a table.
#include "engine/EngineError.h"
#include "engine/formats/paradox/ParadoxDriver.h"
#include "engine/formats/paradox/ParadoxHeader.h"
#include "engine/formats/paradox/ParadoxSecondary.h"
#include "engine/formats/paradox/ParadoxTable.h"
#include "engine/formats/paradox/ParadoxValues.h"
#include "fuzz/fuzz_paradox_secondary.h"
#include "tests/engine/fuzz_replay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <set>

using namespace qvx;
using namespace qvx::paradox;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Fields: Id (the key), Name, City, Score, Day.
FieldDefs peopleFields()
{
    return { FieldDef(QStringLiteral("Id"), FieldType::Integer),
             FieldDef(QStringLiteral("Name"), FieldType::String, 20),
             FieldDef(QStringLiteral("City"), FieldType::String, 12),
             FieldDef(QStringLiteral("Score"), FieldType::SmallInt),
             FieldDef(QStringLiteral("Day"), FieldType::Date) };
}

// Record n: names repeat in different letter cases, cities and scores
// repeat, some scores, names and days are null.
Record person(int n)
{
    static const char *names[] = { "alice", "Bob", "ALICE", "carol", "bob", "Dave", "Alice", "eve" };
    static const char *cities[] = { "Oslo", "Bergen", "Oslo", "Tromso", "Bergen" };
    Record r(5);
    r[0] = n * 37 % 1000 - 300;
    if (n % 11 != 5)
        r[1] = QString::fromLatin1(names[n % 8]);
    r[2] = QString::fromLatin1(cities[n % 5]);
    if (n % 9 != 4)
        r[3] = n % 13 - 6;
    if (n % 7 != 2)
        r[4] = QDate(2020, 1, 1).addDays(n % 17 * 3);
    return r;
}

// Orders two values of a field the way the index must: null first, text
// by its bytes (upper-cased first when case-insensitive), numbers and dates
// by value.
int compareValues(const QVariant &a, const QVariant &b, bool caseInsensitive)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    if (a.typeId() == QMetaType::QString) {
        const QByteArray x = (caseInsensitive ? a.toString().toUpper() : a.toString()).toLatin1();
        const QByteArray y = (caseInsensitive ? b.toString().toUpper() : b.toString()).toLatin1();
        return x < y ? -1 : y < x ? 1 : 0;
    }
    if (a.typeId() == QMetaType::QDate)
        return a.toDate() < b.toDate() ? -1 : b.toDate() < a.toDate() ? 1 : 0;
    return a.toLongLong() < b.toLongLong() ? -1 : b.toLongLong() < a.toLongLong() ? 1 : 0;
}

struct IndexCase {
    QStringList fields;
    QString name;
    IndexDef::Options options;
};

IndexDef indexDef(const IndexCase &c)
{
    IndexDef def;
    def.name = c.name;
    def.fields = c.fields;
    def.options = c.options;
    return def;
}

// The keys (Id) of the table's records in the order the index must hold them.
QList<int> expectedOrder(const OpenTable &t, const IndexCase &c)
{
    std::vector<Record> records;
    for (qint64 i = 0; i < t.recordCount(); ++i) {
        Record r;
        t.read(i, r);
        records.push_back(r);
    }
    std::vector<int> columns;
    for (const QString &f : c.fields)
        for (std::size_t i = 0; i < t.fields().size(); ++i)
            if (t.fields()[i].name == f)
                columns.push_back(int(i));
    const bool ci = c.options.testFlag(IndexDef::CaseInsensitive);
    std::sort(records.begin(), records.end(), [&](const Record &a, const Record &b) {
        for (const int col : columns)
            if (const int d = compareValues(a[std::size_t(col)], b[std::size_t(col)], ci); d != 0)
                return d < 0;
        return a[0].toInt() < b[0].toInt();
    });
    QList<int> ids;
    for (const Record &r : records)
        ids << r[0].toInt();
    if (c.options.testFlag(IndexDef::Descending))
        std::reverse(ids.begin(), ids.end());
    return ids;
}

struct XContents {
    QList<int> ids; // the key field of each .X record, in file order
    QList<int> hints;
    SecondaryIndex index;
};

// An .X file as this engine reads it, with its .Y checked against it.
XContents readX(const QString &xPath, const QString &dbPath)
{
    const MemoryFile db(fileBytes(dbPath), dbPath);
    const Header table = readHeader(db);
    const MemoryFile x(fileBytes(xPath), xPath);
    XContents out;
    out.index = readSecondaryIndex(x, table, true);
    const Header xh = readSecondaryHeader(x);
    const Field &id = xh.fields[xh.fields.size() - 2];
    const Field &hint = xh.fields.back();
    for (const QByteArray &r : out.index.records) {
        out.ids << decodeInt(r.constData() + id.offset, 4);
        out.hints << decodeInt(r.constData() + hint.offset, 2);
    }
    QString yPath = xPath;
    yPath[yPath.size() - 3] = yPath.at(yPath.size() - 3) == u'x' ? u'y' : u'Y';
    checkSecondaryTree(MemoryFile(fileBytes(yPath), yPath), x);
    return out;
}

// The data block of each record, by key, as the table file has them.
std::map<int, int> blocksById(const QString &dbPath)
{
    auto db = openDiskFile(dbPath, OpenMode::ReadOnly);
    Header h = readHeader(*db);
    const ParadoxTable t(std::move(db), nullptr, h, QStringLiteral("test"), nullptr);
    std::map<int, int> out;
    for (const SourceRecord &s : t.sourceRecords())
        out[decodeInt(s.bytes.constData(), 4)] = s.block;
    return out;
}

} // namespace

Q_DECLARE_METATYPE(IndexCase)

class TestParadoxSecondary : public QObject {
    Q_OBJECT

private slots:
    void init();
    void createAndRead_data();
    void createAndRead();
    void keptThroughWrites_data();
    void keptThroughWrites();
    void uniqueRefusesEqualValues_data();
    void uniqueRefusesEqualValues();
    void uniqueIndexRefusesWrites();
    void dropRemovesBothFiles();
    void namesFollowTheTable_data();
    void namesFollowTheTable();
    void nonMaintainedLeftAlone();
    void emptyEmptiesIndexes();
    void refusedDefinitions_data();
    void refusedDefinitions();
    void damagedIndexMakesTableReadOnly_data();
    void damagedIndexMakesTableReadOnly();
    void pxlibReadsOurIndex();
    void fuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_paradox_secondary"); }
    void fuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::paradoxSecondaryInput); }

private:
    QString makeTable(int records);
    QString makeTable(const std::vector<Record> &records);
    QStringList dirFiles() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestParadoxSecondary::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestParadoxSecondary::makeTable(int records)
{
    std::vector<Record> all;
    for (int n = 0; n < records; ++n)
        all.push_back(person(n));
    return makeTable(all);
}

QString TestParadoxSecondary::makeTable(const std::vector<Record> &records)
{
    const QString db = path(QStringLiteral("people.db"));
    CreateOptions options;
    options.keyFields = 1;
    paradoxDriver().create(db, peopleFields(), options);
    const auto t = paradoxDriver().open(db, false);
    for (const Record &r : records)
        t->insert(0, r);
    return db;
}

void TestParadoxSecondary::createAndRead_data()
{
    QTest::addColumn<IndexCase>("index");
    QTest::addColumn<QString>("extension"); // of the .X file
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("fileType");

    QTest::newRow("one text field") << IndexCase { { "Name" }, {}, {} } << "X02"
                                    << "Name" << QStringList() << 5;
    QTest::newRow("one number, descending") << IndexCase { { "Score" }, {}, IndexDef::Descending } << "X04"
                                            << "Score" << QStringList { "descending" } << 5;
    QTest::newRow("two fields") << IndexCase { { "City", "Score" }, "CityScore", {} } << "XG0"
                                << "CityScore" << QStringList() << 8;
    QTest::newRow("two fields, no name") << IndexCase { { "Day", "Name" }, {}, {} } << "XG0"
                                         << "Day_Name" << QStringList() << 8;
    QTest::newRow("one field named, case-insensitive")
        << IndexCase { { "Name" }, "NoCase", IndexDef::CaseInsensitive } << "XG0"
        << "NoCase" << QStringList { "case-insensitive" } << 8;
    QTest::newRow("unique, over the key's values") << IndexCase { { "Id" }, {}, IndexDef::Unique } << "X01"
                                                   << "Id" << QStringList { "unique" } << 5;
    QTest::newRow("not maintained") << IndexCase { { "Day" }, {}, IndexDef::NonMaintained } << "X05"
                                    << "Day" << QStringList { "non-maintained" } << 3;
}

void TestParadoxSecondary::createAndRead()
{
    QFETCH(IndexCase, index);
    QFETCH(QString, extension);
    QFETCH(QString, tag);
    QFETCH(QStringList, options);
    QFETCH(int, fileType);
    const QString db = makeTable(200);
    paradoxDriver().createIndex(db, indexDef(index));

    const QString x = path(QStringLiteral("people.") + extension.toLower());
    QString y = x;
    y[y.size() - 3] = u'y';
    QVERIFY2(QFileInfo::exists(x) && QFileInfo::exists(y), qPrintable(dirFiles().join(u' ')));
    QCOMPARE(int(std::uint8_t(fileBytes(x).at(4))), fileType);
    QCOMPARE(int(std::uint8_t(fileBytes(y).at(4))), index.fields.size() > 1 || !index.name.isEmpty() ? 7 : 4);

    const auto t = paradoxDriver().open(db, false);
    QVERIFY2(!t->readOnly(), qPrintable(t->readOnlyReason()));
    const XContents got = readX(x, db);
    QCOMPARE(got.ids, expectedOrder(*t, index));
    const std::map<int, int> blocks = blocksById(db);
    QVERIFY(std::set<int>(got.hints.begin(), got.hints.end()).size() > 1); // the table spans several blocks
    for (int i = 0; i < got.ids.size(); ++i)
        QCOMPARE(got.hints[i], blocks.at(got.ids[i]));
    // A single unnamed field is "Sec Key" in the index; fields of a composite keep their names.
    const Header xh = readSecondaryHeader(MemoryFile(fileBytes(x), x));
    QCOMPARE(xh.fields.front().name,
             extension.startsWith(QLatin1String("XG")) ? index.fields.front().toLatin1()
                                                       : QByteArray("Sec Key"));
    QCOMPARE(xh.fields.back().name, QByteArray("Hint"));

    const std::vector<IndexInfo> listed = t->indexes(true);
    QCOMPARE(listed.size(), std::size_t(2));
    QCOMPARE(listed[0].tag, QStringLiteral("primary"));
    QCOMPARE(listed[0].file, QStringLiteral("people.px"));
    QCOMPARE(listed[0].expression, QStringLiteral("Id"));
    QCOMPARE(listed[0].keyCount, qint64(200));
    QCOMPARE(listed[1].file, QFileInfo(x).fileName());
    QCOMPARE(listed[1].tag, tag);
    QCOMPARE(listed[1].expression, index.fields.join(u';'));
    QCOMPARE(listed[1].options, options);
    QCOMPARE(listed[1].keyCount, qint64(200));
}

void TestParadoxSecondary::keptThroughWrites_data()
{
    QTest::addColumn<IndexCase>("index");
    QTest::newRow("text") << IndexCase { { "Name" }, {}, {} };
    QTest::newRow("text, case-insensitive, descending")
        << IndexCase { { "Name" }, "ByName", IndexDef::CaseInsensitive | IndexDef::Descending };
    QTest::newRow("two fields") << IndexCase { { "City", "Day" }, "CityDay", {} };
    QTest::newRow("number") << IndexCase { { "Score" }, {}, {} };
}

void TestParadoxSecondary::keptThroughWrites()
{
    QFETCH(IndexCase, index);
    const QString db = makeTable(20);
    paradoxDriver().createIndex(db, indexDef(index));
    paradoxDriver().createIndex(db, indexDef({ { "Day" }, {}, {} })); // a second index is kept as well
    const QString x
        = QDir(m_dir->path())
              .filePath(index.fields.size() > 1 || !index.name.isEmpty()
                            ? QStringLiteral("people.xg0")
                            : QStringLiteral("people.x%1")
                                  .arg(index.fields.front() == QLatin1String("Name") ? "02" : "04"));
    const QString second = path(QStringLiteral("people.x05"));
    QVERIFY(QFileInfo::exists(x));

    const auto t = paradoxDriver().open(db, false);
    QVERIFY2(!t->readOnly(), qPrintable(t->readOnlyReason()));
    const auto check = [&](const char *step) {
        const XContents got = readX(x, db);
        QVERIFY2(got.ids == expectedOrder(*t, index), step);
        QVERIFY2(readX(second, db).ids == expectedOrder(*t, { { "Day" }, {}, {} }), step);
        const std::map<int, int> blocks = blocksById(db);
        for (int i = 0; i < got.ids.size(); ++i)
            QVERIFY2(got.hints[i] == blocks.at(got.ids[i]), step);
    };
    // Enough inserts to split blocks, so that hints change.
    for (int n = 20; n < 160; ++n) {
        t->insert(0, person(n));
        if (n % 40 == 0)
            check("insert");
    }
    check("inserts");
    Record r;
    t->read(10, r);
    r[1] = QStringLiteral("Zed");
    r[2] = QStringLiteral("Alta");
    r[3] = -100;
    r[4] = QVariant();
    t->update(10, r);
    check("update of indexed fields");
    t->read(50, r);
    r[0] = 5000; // a new key moves the record
    r[1] = QStringLiteral("aaron");
    t->update(50, r);
    check("update of the key");
    for (int i = 0; i < 60; ++i)
        t->remove((i * 7) % t->recordCount());
    check("removals");

    // In a batch the indexes are written once, when it ends.
    const QByteArray before = fileBytes(x);
    t->beginBatch();
    for (int n = 200; n < 210; ++n)
        t->insert(0, person(n));
    t->remove(3);
    QCOMPARE(fileBytes(x), before);
    t->commitBatch();
    check("batch");
    QCOMPARE(readX(x, db).index.keyCount, t->recordCount());
}

void TestParadoxSecondary::uniqueRefusesEqualValues_data()
{
    QTest::addColumn<IndexCase>("index");
    QTest::addColumn<bool>("builds");
    QTest::newRow("numbers repeat") << IndexCase { { "Score" }, {}, IndexDef::Unique } << false;
    QTest::newRow("text repeats") << IndexCase { { "City" }, {}, IndexDef::Unique } << false;
    // "alice" and "ALICE" are different values unless case is ignored.
    QTest::newRow("case kept") << IndexCase { { "Name" }, {}, IndexDef::Unique } << true;
    QTest::newRow("case ignored") << IndexCase {
        { "Name" }, {}, IndexDef::Unique | IndexDef::CaseInsensitive
    } << false;
    QTest::newRow("the pair is unique") << IndexCase { { "City", "Id" }, "Pair", IndexDef::Unique } << true;
}

void TestParadoxSecondary::uniqueRefusesEqualValues()
{
    QFETCH(IndexCase, index);
    QFETCH(bool, builds);
    // Names equal but for case; cities and scores repeat; Id and City together do not.
    const QDate day(2021, 5, 6);
    const QString db = makeTable({ { 1, QStringLiteral("alice"), QStringLiteral("Oslo"), 5, day },
                                   { 2, QStringLiteral("ALICE"), QStringLiteral("Oslo"), 5, day },
                                   { 3, QStringLiteral("Bob"), QStringLiteral("Bergen"), 7, day } });
    const QStringList filesBefore = dirFiles();
    try {
        paradoxDriver().createIndex(db, indexDef(index));
        QVERIFY2(builds, "a unique index over equal values was built");
        QCOMPARE(dirFiles().size(), filesBefore.size() + 2);
    } catch (const EngineError &e) {
        QVERIFY2(!builds, qPrintable(e.message()));
        QVERIFY2(e.message().contains(QLatin1String("unique")), qPrintable(e.message()));
        QCOMPARE(dirFiles(), filesBefore); // nothing left behind, not even a temporary file
    }
}

void TestParadoxSecondary::uniqueIndexRefusesWrites()
{
    const QString db = makeTable(3);
    paradoxDriver().createIndex(db, indexDef({ { "Name" }, {}, IndexDef::Unique }));
    const QString x = path(QStringLiteral("people.x02"));
    const QByteArray before = fileBytes(x);
    const auto t = paradoxDriver().open(db, false);
    Record r = person(0); // "alice" is there
    r[0] = 9999;
    QVERIFY_THROWS_EXCEPTION(EngineError, t->insert(0, r));
    QCOMPARE(t->recordCount(), qint64(3));
    Record other;
    t->read(0, other);
    const QString own = other[1].toString();
    t->read(1, other);
    other[1] = own; // another record's name
    QVERIFY_THROWS_EXCEPTION(EngineError, t->update(1, other));
    QCOMPARE(fileBytes(x), before);
    // A record keeps its own value when another field changes.
    t->read(1, other);
    other[2] = QStringLiteral("Narvik");
    t->update(1, other);
    r[1] = QStringLiteral("frank");
    t->insert(0, r);
    QCOMPARE(readX(x, db).index.keyCount, qint64(4));
}

void TestParadoxSecondary::dropRemovesBothFiles()
{
    const QString db = makeTable(10);
    paradoxDriver().createIndex(db, indexDef({ { "Name" }, {}, {} }));
    paradoxDriver().createIndex(db, indexDef({ { "City", "Score" }, "Place", {} }));
    paradoxDriver().createIndex(db, indexDef({ { "Day" }, "When", {} }));
    QCOMPARE(dirFiles(),
             QStringList({ "people.db", "people.px", "people.x02", "people.xg0", "people.xg1", "people.y02",
                           "people.yg0", "people.yg1" }));
    // The same name again replaces that index, in its file.
    paradoxDriver().createIndex(db, indexDef({ { "City" }, "place", IndexDef::Descending }));
    QCOMPARE(dirFiles().size(), 8);
    QVERIFY(readX(path(QStringLiteral("people.xg0")), db).index.def.descending);

    paradoxDriver().dropIndex(db, QStringLiteral("PLACE"));
    QVERIFY(!dirFiles().contains(QStringLiteral("people.xg0")));
    QVERIFY(!dirFiles().contains(QStringLiteral("people.yg0")));
    paradoxDriver().dropIndex(db, QStringLiteral("Name")); // an unnamed index goes by its field
    paradoxDriver().dropIndex(db, QStringLiteral("people.XG1")); // or by its file
    QCOMPARE(dirFiles(), QStringList({ "people.db", "people.px" }));
    QVERIFY_THROWS_EXCEPTION(EngineError, paradoxDriver().dropIndex(db, QStringLiteral("Name")));
    QVERIFY_THROWS_EXCEPTION(EngineError, paradoxDriver().dropIndex(db, QStringLiteral("primary")));
    // A composite number freed is taken again.
    paradoxDriver().createIndex(db, indexDef({ { "Day" }, "Again", {} }));
    QVERIFY(dirFiles().contains(QStringLiteral("people.xg0")));
}

void TestParadoxSecondary::namesFollowTheTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("lower case") << "people.db" << QStringList { "people.db",  "people.px",  "people.x03",
                                                                "people.xg0", "people.y03", "people.yg0" };
    QTest::newRow("upper case") << "PEOPLE.DB" << QStringList { "PEOPLE.DB",  "PEOPLE.PX",  "PEOPLE.X03",
                                                                "PEOPLE.XG0", "PEOPLE.Y03", "PEOPLE.YG0" };
}

void TestParadoxSecondary::namesFollowTheTable()
{
    QFETCH(QString, table);
    QFETCH(QStringList, files);
    const QString db = path(table);
    CreateOptions options;
    options.keyFields = 1;
    paradoxDriver().create(db, peopleFields(), options);
    paradoxDriver().createIndex(db, indexDef({ { "City" }, {}, {} }));
    paradoxDriver().createIndex(db, indexDef({ { "City" }, "Town", {} }));
    QCOMPARE(dirFiles(), files);
    const auto t = paradoxDriver().open(db, false);
    QVERIFY2(!t->readOnly(), qPrintable(t->readOnlyReason()));
    t->insert(0, person(3));
    QCOMPARE(t->indexes(true).size(), std::size_t(3));
    QCOMPARE(t->indexes(true)[2].keyCount, qint64(1));
    QCOMPARE(dirFiles(), files); // kept in the files there are, not in new ones
}

void TestParadoxSecondary::nonMaintainedLeftAlone()
{
    const QString db = makeTable(30);
    const IndexCase index { { "City" }, {}, IndexDef::NonMaintained };
    paradoxDriver().createIndex(db, indexDef(index));
    const QString x = path(QStringLiteral("people.x03"));
    const QString y = path(QStringLiteral("people.y03"));
    const QByteArray xBefore = fileBytes(x);
    const QByteArray yBefore = fileBytes(y);
    {
        const auto t = paradoxDriver().open(db, false);
        QVERIFY(!t->readOnly());
        t->insert(0, person(40));
        t->remove(5);
        QCOMPARE(t->indexes(true)[1].options, QStringList({ "non-maintained", "stale" }));
    }
    // Only the mark that it no longer matches the table changes.
    QByteArray xAfter = fileBytes(x);
    QCOMPARE(int(xAfter.at(0x14)), 1);
    xAfter[0x14] = 0;
    QCOMPARE(xAfter, xBefore);
    QCOMPARE(fileBytes(y), yBefore);
    QCOMPARE(readX(x, db).index.keyCount, qint64(30));
    {
        const auto t = paradoxDriver().open(db, true);
        QCOMPARE(t->indexes(false)[1].options, QStringList({ "non-maintained", "stale" }));
    }
    // Made again, it matches and is no longer stale.
    paradoxDriver().createIndex(db, indexDef(index));
    const XContents again = readX(x, db);
    QVERIFY(!again.index.stale);
    const auto t = paradoxDriver().open(db, true);
    QCOMPARE(again.ids, expectedOrder(*t, index));
}

void TestParadoxSecondary::emptyEmptiesIndexes()
{
    const QString db = makeTable(60);
    paradoxDriver().createIndex(db, indexDef({ { "Name" }, {}, {} }));
    paradoxDriver().createIndex(db, indexDef({ { "City" }, {}, IndexDef::NonMaintained }));
    paradoxDriver().empty(db);
    QCOMPARE(readX(path(QStringLiteral("people.x02")), db).index.keyCount, qint64(0));
    QVERIFY(readX(path(QStringLiteral("people.x03")), db).index.stale);
    const auto t = paradoxDriver().open(db, false);
    QVERIFY(!t->readOnly());
    t->insert(0, person(1));
    QCOMPARE(readX(path(QStringLiteral("people.x02")), db).ids, QList<int>({ person(1)[0].toInt() }));
}

void TestParadoxSecondary::refusedDefinitions_data()
{
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<IndexCase>("index");
    QTest::addColumn<QString>("message");
    QTest::newRow("unkeyed table") << false << IndexCase { { "Name" }, {}, {} }
                                   << "only a keyed table can have secondary indexes";
    QTest::newRow("no such field") << true << IndexCase { { "Nope" }, {}, {} } << "no field Nope";
    QTest::newRow("no fields") << true << IndexCase { {}, "Empty", {} } << "names the fields";
    QTest::newRow("a field twice") << true << IndexCase { { "Name", "name" }, "Twice", {} } << "twice";
}

void TestParadoxSecondary::refusedDefinitions()
{
    QFETCH(bool, keyed);
    QFETCH(IndexCase, index);
    QFETCH(QString, message);
    const QString db = path(QStringLiteral("people.db"));
    CreateOptions options;
    options.keyFields = keyed ? 1 : 0;
    paradoxDriver().create(db, peopleFields(), options);
    const QStringList before = dirFiles();
    try {
        paradoxDriver().createIndex(db, indexDef(index));
        QFAIL("the index was made");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(dirFiles(), before);
}

void TestParadoxSecondary::damagedIndexMakesTableReadOnly_data()
{
    QTest::addColumn<int>("at"); // -1: cut the file short instead
    QTest::addColumn<QByteArray>("bytes");
    const int firstBlock = 0x800;
    QTest::newRow("cut short") << -1 << QByteArray();
    QTest::newRow("chain loops") << firstBlock << QByteArray("\x01\x00", 2);
    QTest::newRow("chain leaves the file") << firstBlock << QByteArray("\x40\x00", 2);
    QTest::newRow("block over-full") << firstBlock + 4 << QByteArray("\xF0\x7F", 2);
    QTest::newRow("not an index") << 4 << QByteArray("\x02", 1);
    QTest::newRow("too many fields") << 0x21 << QByteArray("\x09\x00", 2);
}

void TestParadoxSecondary::damagedIndexMakesTableReadOnly()
{
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    const QString db = makeTable(30);
    paradoxDriver().createIndex(db, indexDef({ { "City" }, {}, {} }));
    const QString x = path(QStringLiteral("people.x03"));
    QByteArray damaged = fileBytes(x);
    if (at < 0)
        damaged.truncate(0x800 + 20);
    else
        damaged.replace(at, bytes.size(), bytes);
    putFile(x, damaged);

    const auto t = paradoxDriver().open(db, false);
    QVERIFY(t->readOnly());
    QVERIFY2(t->readOnlyReason().contains(QLatin1String("people.x03")), qPrintable(t->readOnlyReason()));
    QCOMPARE(t->recordCount(), qint64(30)); // the table itself still reads
    try {
        t->insert(0, person(99));
        QFAIL("a table whose index cannot be kept was written");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QLatin1String("people.x03")), qPrintable(e.message()));
    }
    QCOMPARE(fileBytes(x), damaged);
}

void TestParadoxSecondary::pxlibReadsOurIndex()
{
    const QString gcc = QStandardPaths::findExecutable(QStringLiteral("gcc"));
    if (gcc.isEmpty() || !QFile::exists(QStringLiteral("/usr/include/paradox.h")))
        QSKIP("pxlib-dev or gcc is not installed");
    const QString tool = path(QStringLiteral("pxlib_tool"));
    QProcess cc;
    cc.start(gcc,
             { QStringLiteral("-o"), tool, QStringLiteral(QVX_FIXTURES "/paradox/pxlib_tool.c"),
               QStringLiteral("-lpx") });
    QVERIFY(cc.waitForFinished(120000));
    QVERIFY2(cc.exitCode() == 0, cc.readAllStandardError().constData());
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(tool, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return QStringList();
        return QString::fromLatin1(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    };

    const QString db = makeTable(150);
    paradoxDriver().createIndex(db, indexDef({ { "Score" }, {}, {} }));
    paradoxDriver().createIndex(db, indexDef({ { "City", "Name" }, "Place", {} }));
    {
        // Upkeep through block splits and removals.
        const auto t = paradoxDriver().open(db, false);
        for (int n = 150; n < 300; ++n)
            t->insert(0, person(n));
        for (int i = 0; i < 80; ++i)
            t->remove((i * 5) % t->recordCount());
    }
    const auto t = paradoxDriver().open(db, true);
    const qint64 count = t->recordCount();

    // The .Xnn reads as a table of (Sec Key, Id, Hint), in the index's order.
    const QStringList single = run({ QStringLiteral("read"), path(QStringLiteral("people.x04")) });
    QCOMPARE(single.value(0), QStringLiteral("records %1 codepage 1252").arg(count));
    QCOMPARE(single.value(1), QStringLiteral("Sec Key:3:2\tId:4:4\tHint:3:2"));
    QCOMPARE(single.size(), count + 2);
    const QList<int> order = expectedOrder(*t, { { "Score" }, {}, {} });
    const std::map<int, int> blocks = blocksById(db);
    std::map<int, Record> byId;
    for (qint64 i = 0; i < count; ++i) {
        Record r;
        t->read(i, r);
        byId[r[0].toInt()] = r;
    }
    for (int i = 0; i < int(count); ++i) {
        const int id = order[i];
        const QVariant score = byId[id][3];
        QCOMPARE(single[i + 2],
                 QStringLiteral("%1\t%2\t%3")
                     .arg(score.isNull() ? QStringLiteral("NULL") : score.toString())
                     .arg(id)
                     .arg(blocks.at(id)));
    }

    // The composite keeps its fields' names and types.
    const QStringList composite = run({ QStringLiteral("read"), path(QStringLiteral("people.xg0")) });
    QCOMPARE(composite.value(0), QStringLiteral("records %1 codepage 1252").arg(count));
    QCOMPARE(composite.value(1), QStringLiteral("City:1:12\tName:1:20\tId:4:4\tHint:3:2"));
    const QList<int> placeOrder = expectedOrder(*t, { { "City", "Name" }, "Place", {} });
    for (int i = 0; i < int(count); i += 17)
        QCOMPARE(composite.value(i + 2).section(u'\t', 2, 2), QString::number(placeOrder[i]));

    // The table itself, read by pxlib through the primary index we kept.
    const QStringList table = run({ QStringLiteral("read"), db, path(QStringLiteral("people.px")) });
    QCOMPARE(table.size(), count + 2);
    for (qint64 i = 0; i < count; i += 13)
        QCOMPARE(table[i + 2].section(u'\t', 0, 0), t->readField(i, 0).toString());
}

QTEST_GUILESS_MAIN(TestParadoxSecondary)
#include "tst_paradox_secondary.moc"
