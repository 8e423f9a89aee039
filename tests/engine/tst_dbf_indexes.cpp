// The indexes of dBASE, Clipper and FoxPro tables kept up to date through
// the table: random appends, edits, deletes and emptying against every kind
// of index file, checked after each step against a sort of the records;
// creating and dropping indexes; what a table with an index it cannot keep
// does; an interrupted change; and SQL searching the indexes.
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "engine/index/IndexFormats.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace qvx;
using namespace qvx::index;

namespace {

// One index the test makes, and how to compute its order from the records.
struct TagSpec {
    QString name; // tag name, or the file for a single-index file
    QString expression;
    QString filter;
    bool descending = false;
    bool unique = false;
};

struct Row {
    QString name;
    double amount = 0;
    QDate born;
    bool deleted = false;
};

QByteArray padded(const QString &s, int length)
{
    return s.toLatin1().leftJustified(length, ' ', true);
}

// The key of a row under one of the expressions the tests use: a byte
// string for text keys, or a number (as a sortable byte string as well).
bool keyOf(const TagSpec &tag, const Row &row, QByteArray &key)
{
    if (tag.filter == QLatin1String(".NOT. DELETED()") && row.deleted)
        return false;
    if (tag.filter == QLatin1String("AMOUNT > 0") && !(row.amount > 0))
        return false;
    if (tag.expression == QLatin1String("NAME"))
        key = padded(row.name, 10);
    else if (tag.expression == QLatin1String("UPPER(NAME)"))
        key = padded(row.name.toUpper(), 10);
    else if (tag.expression == QLatin1String("DTOS(BORN)+NAME"))
        key = (row.born.isValid() ? row.born.toString(QStringLiteral("yyyyMMdd")).toLatin1()
                                  : QByteArray(8, ' '))
            + padded(row.name, 10);
    else if (tag.expression == QLatin1String("AMOUNT"))
        key = numberSortKey(row.amount);
    else
        qFatal("no key for %s", qPrintable(tag.expression));
    return true;
}

// The record numbers of a tag as a sort of the rows gives them.
std::vector<std::uint32_t> expectedOrder(const TagSpec &tag, const std::vector<Row> &rows)
{
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    QByteArray key;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (keyOf(tag, rows[i], key))
            entries.emplace_back(key, std::uint32_t(i + 1));
    std::sort(entries.begin(), entries.end());
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (tag.unique && i > 0 && entries[i].first == entries[i - 1].first)
            continue;
        out.push_back(entries[i].second);
    }
    return out;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The record numbers of a tag as our reader finds them in its file (the
// tests' numeric keys are those of AMOUNT alone).
std::vector<std::uint32_t> storedOrder(const QString &path, const QString &tagName)
{
    IndexKind kind;
    if (!kindOfPath(path, kind))
        return {};
    const auto typeOf = [](const TagDef &tag) {
        return tag.expression.compare(QLatin1String("AMOUNT"), Qt::CaseInsensitive) == 0 ? KeyType::Numeric
                                                                                         : KeyType::Character;
    };
    const IndexContents contents = readIndex(kind, fileBytes(path), QFileInfo(path).fileName(), typeOf, true);
    for (std::size_t i = 0; i < contents.tags.size(); ++i)
        if (!holdsManyTags(kind) || contents.tags[i].name.compare(tagName, Qt::CaseInsensitive) == 0)
            return contents.keys[i].records;
    return {};
}

// The record numbers of a character tag as XBase::Index's index_dump lists
// them (the last word of each line); false when it cannot be run.
bool peerOrder(const QString &path, const QString &tag, std::vector<std::uint32_t> &records)
{
    IndexKind kind;
    kindOfPath(path, kind);
    QStringList args { QStringLiteral("/usr/bin/index_dump") };
    if (kind == IndexKind::Ntx || kind == IndexKind::Cdx)
        args << QStringLiteral("--type=char");
    args << path << (holdsManyTags(kind) ? tag : QStringLiteral("x"));
    QProcess p;
    p.start(QStringLiteral(QVX_PERL), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    records.clear();
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            records.push_back(line.trimmed().split(' ').last().toUInt());
    return true;
}

QString sha1(const QString &path)
{
    return QString::fromLatin1(QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha1).toHex());
}

void makeTable(const QString &path, int version)
{
    Table t;
    t.setDatabaseName(QFileInfo(path).absolutePath());
    t.setTableName(QFileInfo(path).fileName());
    t.setTableType(version == 0xF5 || version == 0x30 ? Table::FoxPro : Table::DBase);
    t.addFieldDef(QStringLiteral("NAME"), FieldType::String, 10);
    t.addFieldDef(QStringLiteral("AMOUNT"), FieldType::BCD, 8, false, 2);
    t.addFieldDef(QStringLiteral("BORN"), FieldType::Date);
    CreateOptions options;
    options.version = version;
    t.setCreateOptions(options);
    t.createTable();
}

void openTable(Table &t, const QString &path)
{
    t.setDatabaseName(QFileInfo(path).absolutePath());
    t.setTableName(QFileInfo(path).fileName());
    t.open();
}

IndexDef definition(const TagSpec &tag, bool production)
{
    IndexDef def;
    if (production)
        def.name = tag.name;
    else
        def.file = tag.name;
    def.expression = tag.expression;
    def.options |= IndexDef::Expression;
    def.filter = tag.filter;
    if (tag.descending)
        def.options |= IndexDef::Descending;
    if (tag.unique)
        def.options |= IndexDef::Unique;
    return def;
}

const QStringList kNames = { "ADAMS", "baker", "Clark", "DAVIS", "evans", "", "Adams" };
const double kAmounts[] = { -5.5, 0, 3.25, 12, 100.75, -0.25 };

void randomRow(QRandomGenerator &rng, Row &row)
{
    row.name = kNames[int(rng.bounded(kNames.size()))];
    row.amount = kAmounts[rng.bounded(6)];
    row.born = rng.bounded(4) == 0 ? QDate() : QDate(1990, 1, 1).addDays(rng.bounded(40));
}

void setRow(Table &t, const Row &row)
{
    t.setValue(QStringLiteral("NAME"), row.name);
    t.setValue(QStringLiteral("AMOUNT"), row.amount);
    t.setValue(QStringLiteral("BORN"), row.born.isValid() ? QVariant(row.born) : QVariant());
}

// The physical record of the live record at 1-based position n.
std::size_t physicalOfLive(const std::vector<Row> &rows, qint64 n)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!rows[i].deleted && --n == 0)
            return i;
    return rows.size();
}

// A writable data folder of our own, so that the markers the indexes leave
// while they are being written go nowhere near the user's.
struct DataHome {
    QTemporaryDir dir;
    QByteArray old = qgetenv("XDG_DATA_HOME");
    DataHome() { qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path())); }
    ~DataHome() { old.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", old); }
};

} // namespace

Q_DECLARE_METATYPE(std::vector<TagSpec>)

class TestDbfIndexes : public QObject {
    Q_OBJECT

private slots:
    void keptUpToDate_data();
    void keptUpToDate();
    void uniqueOverEqualKeysLeavesNothing();
    void dropRemovesTheLastTagsFile();
    void tagNotUnderstoodMakesTableReadOnly();
    void interruptedChangeIsRebuilt();
    void sqlCreatesDropsAndSearches_data();
    void sqlCreatesDropsAndSearches();

private:
    DataHome m_home;
};

void TestDbfIndexes::keptUpToDate_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("production");
    QTest::addColumn<std::vector<TagSpec>>("tags");
    const std::vector<TagSpec> manyTags = {
        { "BYNAME", "NAME", "", false, false },
        { "BYAMOUNT", "AMOUNT", "", true, false },
        { "POSITIVE", "UPPER(NAME)", "AMOUNT > 0", false, false },
        { "BYBORN", "DTOS(BORN)+NAME", "", false, false },
        { "LIVE", "NAME", ".NOT. DELETED()", false, false },
        { "ONEPERNAME", "NAME", "", false, true },
    };
    QTest::newRow(".mdx production index") << 0x8B << true << manyTags;
    QTest::newRow(".cdx structural index") << 0xF5 << true << manyTags;
    QTest::newRow(".ndx files") << 0x03 << false
                                << std::vector<TagSpec> { { "byname.ndx", "NAME", "", false, false },
                                                          { "byamount.ndx", "AMOUNT", "", false, false },
                                                          { "byborn.ndx", "DTOS(BORN)+NAME", "", false,
                                                            false } };
    QTest::newRow(".ntx files") << 0x03 << false
                                << std::vector<TagSpec> { { "byname.ntx", "NAME", "", false, false },
                                                          { "byamount.ntx", "AMOUNT", "", true, false },
                                                          { "live.ntx", "NAME", ".NOT. DELETED()", false,
                                                            false } };
    QTest::newRow(".idx files") << 0xF5 << false
                                << std::vector<TagSpec> { { "byname.idx", "NAME", "", false, false },
                                                          { "byamount.idx", "AMOUNT", "", false, false },
                                                          { "live.idx", "UPPER(NAME)", ".NOT. DELETED()",
                                                            false, false } };
}

void TestDbfIndexes::keptUpToDate()
{
    QFETCH(int, version);
    QFETCH(bool, production);
    QFETCH(std::vector<TagSpec>, tags);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.dbf"));
    makeTable(path, version);
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator rng(seed);

    // A unique index cannot be made over equal keys: it is made first, and
    // the others over the records.
    const auto addIndexes = [&](bool unique) {
        for (const TagSpec &tag : tags) {
            if (tag.unique != unique)
                continue;
            Table t;
            t.setDatabaseName(dir.path());
            t.setTableName(QStringLiteral("people.dbf"));
            t.setTableType(version == 0xF5 ? Table::FoxPro : Table::DBase);
            t.addIndex(definition(tag, production));
        }
    };
    addIndexes(true);
    std::vector<Row> rows(30);
    {
        Table t;
        openTable(t, path);
        for (Row &row : rows) {
            randomRow(rng, row);
            t.append();
            setRow(t, row);
            t.post();
        }
    }
    addIndexes(false);
    const QString production_file = dir.filePath(version == 0xF5 ? "people.cdx" : "people.mdx");
    const auto fileOf
        = [&](const TagSpec &tag) { return production ? production_file : dir.filePath(tag.name); };
    const auto check = [&](const QString &when) {
        for (const TagSpec &tag : tags) {
            const std::vector<std::uint32_t> stored = storedOrder(fileOf(tag), tag.name);
            const std::vector<std::uint32_t> expected = expectedOrder(tag, rows);
            if (stored != expected) {
                QStringList s, e;
                for (auto r : stored)
                    s << QString::number(r);
                for (auto r : expected)
                    e << QString::number(r);
                QFAIL(qPrintable(QStringLiteral("%1, tag %2: stored %3, expected %4")
                                     .arg(when, tag.name, s.join(u' '), e.join(u' '))));
            }
        }
    };
    check(QStringLiteral("after creating the indexes"));

    Table t;
    openTable(t, path);
    QVERIFY2(!t.isReadOnly(), qPrintable(t.readOnlyReason()));
    for (int step = 0; step < 40; ++step) {
        const bool batch = rng.bounded(4) == 0;
        if (batch)
            t.beginBatch();
        const int changes = batch ? 3 : 1;
        QString what;
        for (int k = 0; k < changes; ++k) {
            const quint32 op = rng.bounded(100);
            const qint64 live = t.recordCount();
            if (op < 40 || live == 0) {
                Row row;
                randomRow(rng, row);
                t.append();
                setRow(t, row);
                t.post();
                rows.push_back(row);
                what += QStringLiteral(" append");
            } else if (op < 75) {
                const qint64 n = 1 + rng.bounded(int(live));
                Row &row = rows[physicalOfLive(rows, n)];
                randomRow(rng, row);
                t.setRecNo(n);
                t.edit();
                setRow(t, row);
                t.post();
                what += QStringLiteral(" edit %1").arg(n);
            } else {
                const qint64 n = 1 + rng.bounded(int(live));
                rows[physicalOfLive(rows, n)].deleted = true;
                t.setRecNo(n);
                t.deleteRecord();
                what += QStringLiteral(" delete %1").arg(n);
            }
        }
        if (batch)
            t.commitBatch();
        check(QStringLiteral("step %1 (%2)").arg(step).arg(what.trimmed()));
    }
    t.close();

    // The independent reader finds the character tags as we keep them (it
    // reads a compact .idx with the wrong reader, a .ntx with a FOR
    // condition not at all, and descending tags in their stored order).
    if (QStringLiteral(QVX_PERL).isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/index_dump")))
        QSKIP("XBase::Index's index_dump is not installed");
    for (const TagSpec &tag : tags) {
        if (tag.expression == QLatin1String("AMOUNT") || tag.descending
            || tag.name.endsWith(QLatin1String(".idx"))
            || (tag.name.endsWith(QLatin1String(".ntx")) && !tag.filter.isEmpty()))
            continue;
        std::vector<std::uint32_t> peer;
        QVERIFY2(peerOrder(fileOf(tag), tag.name, peer),
                 qPrintable(QStringLiteral("index_dump fails on %1").arg(tag.name)));
        QVERIFY2(peer == expectedOrder(tag, rows),
                 qPrintable(QStringLiteral("index_dump reads tag %1 otherwise").arg(tag.name)));
    }

    // Emptied with the table.
    Table e;
    e.setDatabaseName(dir.path());
    e.setTableName(QStringLiteral("people.dbf"));
    e.emptyTable();
    rows.clear();
    check(QStringLiteral("after emptying the table"));
}

void TestDbfIndexes::uniqueOverEqualKeysLeavesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.dbf"));
    makeTable(path, 0x8B);
    {
        Table t;
        openTable(t, path);
        for (const char *name : { "ADAMS", "BAKER", "ADAMS" }) {
            t.append();
            t.setValue(QStringLiteral("NAME"), QString::fromLatin1(name));
            t.post();
        }
    }
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName(QStringLiteral("people.dbf"));
    const QString before = sha1(path);
    IndexDef def;
    def.name = QStringLiteral("BYNAME");
    def.fields = QStringList { QStringLiteral("NAME") };
    def.options = IndexDef::Unique;
    try {
        t.addIndex(def);
        QFAIL("a unique index over equal keys was created");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QLatin1String("records 1 and 3")), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("people.mdx"))));
    QCOMPARE(sha1(path), before);

    // With a production index already there, it stays as it was.
    def.name = QStringLiteral("BYAMOUNT");
    def.fields = QStringList { QStringLiteral("AMOUNT") };
    def.options = {};
    t.addIndex(def);
    const QString mdx = sha1(dir.filePath(QStringLiteral("people.mdx")));
    def.name = QStringLiteral("BYNAME");
    def.fields = QStringList { QStringLiteral("NAME") };
    def.options = IndexDef::Unique;
    QVERIFY_THROWS_EXCEPTION(EngineError, t.addIndex(def));
    QCOMPARE(sha1(dir.filePath(QStringLiteral("people.mdx"))), mdx);
    t.open();
    QCOMPARE(t.indexes(true).size(), std::size_t(1));
    QCOMPARE(t.indexes(true).front().keyCount, 3);
}

void TestDbfIndexes::dropRemovesTheLastTagsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.dbf"));
    makeTable(path, 0xF5);
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName(QStringLiteral("people.dbf"));
    t.setTableType(Table::FoxPro);
    for (const char *name : { "NAME", "AMOUNT" }) {
        IndexDef def;
        def.name = QString::fromLatin1(name);
        def.fields = QStringList { def.name };
        t.addIndex(def);
    }
    const QString cdx = dir.filePath(QStringLiteral("people.cdx"));
    QVERIFY(QFile::exists(cdx));
    QCOMPARE(std::uint8_t(fileBytes(path)[28]) & 0x01, 0x01);
    t.deleteIndex(QStringLiteral("name"));
    QVERIFY(QFile::exists(cdx));
    t.open();
    QCOMPARE(t.indexes().size(), std::size_t(1));
    QCOMPARE(t.indexes().front().tag, QStringLiteral("AMOUNT"));
    t.close();
    QVERIFY_THROWS_EXCEPTION(EngineError, t.deleteIndex(QStringLiteral("NOSUCH")));
    t.deleteIndex(QStringLiteral("AMOUNT"));
    QVERIFY(!QFile::exists(cdx));
    QCOMPARE(std::uint8_t(fileBytes(path)[28]) & 0x01, 0x00);
}

void TestDbfIndexes::tagNotUnderstoodMakesTableReadOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.dbf"));
    makeTable(path, 0x8B);
    Table t;
    t.setDatabaseName(dir.path());
    t.setTableName(QStringLiteral("people.dbf"));
    IndexDef def;
    def.name = QStringLiteral("ODD");
    def.expression = QStringLiteral("UPPER(NAME)");
    def.options = IndexDef::Expression;
    t.addIndex(def);
    t.open();
    QVERIFY2(!t.isReadOnly(), qPrintable(t.readOnlyReason()));
    t.close();

    // Another program's function in the expression, same length.
    const QString mdx = dir.filePath(QStringLiteral("people.mdx"));
    QByteArray bytes = fileBytes(mdx);
    const qsizetype at = bytes.indexOf("UPPER(NAME)");
    QVERIFY(at > 0);
    bytes.replace(at, 5, "ZAPPY");
    QFile f(mdx);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const QString before = sha1(path);
    t.open();
    QVERIFY(t.isReadOnly());
    for (const char *part : { "people.mdx", "ODD", "ZAPPY(NAME)" })
        QVERIFY2(t.readOnlyReason().contains(QLatin1String(part)), qPrintable(t.readOnlyReason()));
    QVERIFY_THROWS_EXCEPTION(EngineError, t.append());
    t.close();
    QCOMPARE(sha1(path), before);
}

void TestDbfIndexes::interruptedChangeIsRebuilt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.dbf"));
    makeTable(path, 0x8B);
    Table t;
    openTable(t, path);
    t.close();
    IndexDef def;
    def.name = QStringLiteral("BYNAME");
    def.fields = QStringList { QStringLiteral("NAME") };
    t.addIndex(def);
    const QByteArray emptyIndex = fileBytes(dir.filePath(QStringLiteral("people.mdx")));
    t.open();
    for (const char *name : { "CLARK", "ADAMS" }) {
        t.append();
        t.setValue(QStringLiteral("NAME"), QString::fromLatin1(name));
        t.post();
    }
    t.close();
    // As a stop between a record's write and its index's leaves them: the
    // index of before, and the marker.
    QFile f(dir.filePath(QStringLiteral("people.mdx")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(emptyIndex);
    f.close();
    const QString marker = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/quorvex/index-pending/")
        + QString::fromLatin1(QCryptographicHash::hash(QFileInfo(path).absoluteFilePath().toUtf8(),
                                                       QCryptographicHash::Sha1)
                                  .toHex());
    QDir().mkpath(QFileInfo(marker).absolutePath());
    QFile m(marker);
    QVERIFY(m.open(QIODevice::WriteOnly));
    m.close();

    t.open();
    QVERIFY(!QFile::exists(marker));
    QVERIFY2(t.warnings().join(u'\n').contains(QLatin1String("rebuilt")),
             qPrintable(t.warnings().join(u'\n')));
    QCOMPARE(storedOrder(dir.filePath(QStringLiteral("people.mdx")), QStringLiteral("BYNAME")),
             (std::vector<std::uint32_t> { 2, 1 }));
}

void TestDbfIndexes::sqlCreatesDropsAndSearches_data()
{
    QTest::addColumn<QString>("select");
    QTest::addColumn<int>("searches"); // index searches the plan shows
    QTest::addColumn<bool>("sortedByIndex"); // no sort of SQLite's own
    const QString rows
        = QStringLiteral("SELECT NAME, AMOUNT, BORN FROM people WHERE %1 ORDER BY NAME, AMOUNT, BORN");
    QTest::newRow("=") << rows.arg("NAME = 'Clark'") << 1 << false;
    QTest::newRow("= of a longer text") << rows.arg("NAME = 'Clark and more'") << 1 << false;
    QTest::newRow("= on a number") << rows.arg("AMOUNT = 12") << 1 << false;
    QTest::newRow("IN") << rows.arg("AMOUNT IN (3.25, -5.5, 7)") << 1 << false;
    QTest::newRow("range of numbers") << rows.arg("AMOUNT > 0 AND AMOUNT <= 12") << 1 << false;
    QTest::newRow("range of text") << rows.arg("NAME >= 'B' AND NAME < 'a'") << 1 << false;
    QTest::newRow("a date") << rows.arg("BORN = '1990-01-05'") << 1 << false;
    QTest::newRow("a date range") << rows.arg("BORN < '1990-01-20'") << 1 << false;
    QTest::newRow("text against a number") << rows.arg("AMOUNT = '12'") << 1 << false;
    QTest::newRow("NULL") << rows.arg("AMOUNT = NULL") << 1 << false;
    // The inner table of a join on = is looked up in its index, the outer
    // one searched by AMOUNT.
    QTest::newRow("join") << QStringLiteral(
        "SELECT a.NAME, b.AMOUNT FROM people a JOIN people b ON b.NAME = a.NAME "
        "WHERE a.AMOUNT = 12 ORDER BY 1, 2")
                          << 2 << false;
    // An index of dates, or of text that is all printable ASCII, is in
    // SQL's order (NULLs first); one of numbers is not (a blank number is
    // 0 in the index but NULL in SQL).
    QTest::newRow("ORDER BY a date") << QStringLiteral("SELECT BORN FROM people ORDER BY BORN") << 1 << true;
    QTest::newRow("ORDER BY text, descending, in a range")
        << QStringLiteral("SELECT NAME FROM people WHERE NAME > 'B' ORDER BY NAME DESC") << 1 << true;
    QTest::newRow("ORDER BY a number")
        << QStringLiteral("SELECT AMOUNT FROM people ORDER BY AMOUNT") << 0 << false;
    QTest::newRow("ORDER BY with IN")
        << QStringLiteral("SELECT NAME FROM people WHERE NAME IN ('Clark', 'ADAMS') ORDER BY NAME") << 1
        << false;
}

void TestDbfIndexes::sqlCreatesDropsAndSearches()
{
    QFETCH(QString, select);
    QFETCH(int, searches);
    QFETCH(bool, sortedByIndex);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.dbf"));
    makeTable(path, 0x8B);
    QRandomGenerator rng(7);
    {
        Table t;
        openTable(t, path);
        for (int i = 0; i < 200; ++i) {
            Row row;
            randomRow(rng, row);
            t.append();
            setRow(t, row);
            t.post();
            if (i % 9 == 0)
                t.deleteRecord();
        }
    }
    const auto run = [&](const QString &sql) {
        Query q;
        q.setDirectory(dir.path());
        q.setSQLText(sql);
        QStringList out;
        if (sql.startsWith(QLatin1String("SELECT")) || sql.startsWith(QLatin1String("EXPLAIN"))) {
            q.open();
            for (q.first(); !q.eof(); q.next()) {
                QStringList values;
                for (int i = 0; i < q.fieldCount(); ++i)
                    values << q.text(i);
                out << values.join(u'|');
            }
        } else {
            q.execSQL();
        }
        return out;
    };
    const QStringList scanned = run(select);
    for (const char *field : { "NAME", "AMOUNT", "BORN" })
        run(QStringLiteral("CREATE INDEX %1 ON people (%1)").arg(QLatin1String(field)));
    const QString plan = run(QStringLiteral("EXPLAIN QUERY PLAN ") + select).join(u'\n');
    QVERIFY2(plan.count(QRegularExpression(QStringLiteral("X\\d:"))) == searches, qPrintable(plan));
    QVERIFY2(plan.contains(QLatin1String("TEMP B-TREE")) != sortedByIndex, qPrintable(plan));
    QCOMPARE(run(select), scanned);
    run(QStringLiteral("DROP INDEX people.NAME"));
    run(QStringLiteral("DROP INDEX people.AMOUNT"));
    run(QStringLiteral("DROP INDEX people.BORN"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("people.mdx"))));
    QCOMPARE(run(select), scanned);
}

QTEST_GUILESS_MAIN(TestDbfIndexes)
#include "tst_dbf_indexes.moc"
