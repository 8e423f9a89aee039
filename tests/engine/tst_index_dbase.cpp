// The .ndx, .ntx and .mdx index files: what we write reads back the same in
// ours and in the independent reader (Perl's XBase::Index through
// index_dump), the hand-built files of tests/fixtures/index/ (laid out by
// make_fixtures.py from the format descriptions) read right in both, the
// stored forms of numbers follow the formats' rules, and damaged files raise
// an error naming the file rather than crash, hang or read garbage.
#include "fuzz_replay.h"

#include "engine/EngineError.h"
#include "engine/index/Mdx.h"
#include "engine/index/Ndx.h"
#include "engine/index/Ntx.h"
#include "fuzz/fuzz_mdx.h"
#include "fuzz/fuzz_ndx.h"
#include "fuzz/fuzz_ntx.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

using namespace qvx;
using namespace qvx::index;

namespace {

const QString kPerl = QStringLiteral(QVX_PERL);
const QString kFixtures = QStringLiteral(QVX_FIXTURES "/index/");

using Reader = IndexContents (*)(QByteArrayView, const QString &, const KeyTypeOf &, bool);
using Writer = QByteArray (*)(const IndexContents &, const WriteContext &);

struct Format {
    QString extension;
    Reader read;
    Writer write;
};

Format formatOf(const QString &extension)
{
    if (extension == QLatin1String("ndx"))
        return { extension, readNdx, writeNdx };
    if (extension == QLatin1String("ntx"))
        return { extension, readNtx, writeNtx };
    return { extension, readMdx, writeMdx };
}

const WriteContext kContext { QStringLiteral("STAFF"), QDate(2024, 5, 6) };

KeyTypeOf typeIs(KeyType type)
{
    return [type](const TagDef &) { return type; };
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return f.readAll();
}

// A KeyList sorted as readers give it: by key, then record.
KeyList sorted(int keyLength, std::vector<std::pair<QByteArray, std::uint32_t>> entries)
{
    std::sort(entries.begin(), entries.end());
    KeyList list;
    list.keyLength = keyLength;
    for (const auto &[key, record] : entries)
        list.append(key, record);
    return list;
}

// Many entries with duplicates, so that every format needs a tree of more
// than one level. Numbers run through negatives, zero and quarters; dates
// include blanks.
KeyList manyKeys(KeyType type, int keyLength, int count)
{
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    for (int i = 1; i <= count; ++i) {
        const int spin = int((std::int64_t(i) * 7919) % 1001);
        QByteArray key;
        switch (type) {
        case KeyType::Character:
            key = (QByteArray("K") + QByteArray::number(spin % 500)).leftJustified(keyLength, ' ');
            break;
        case KeyType::Numeric:
            key = numberSortKey((spin - 500) / 4.0);
            break;
        case KeyType::Date:
            key = numberSortKey(i % 97 == 0 ? 0.0 : julianDay(QDate(1990, 1, 1).addDays(spin * 3)));
            break;
        case KeyType::Logical:
            key = spin % 2 ? "T" : "F";
            break;
        }
        entries.emplace_back(key, std::uint32_t(i));
    }
    return sorted(sortKeyLength(type, keyLength), std::move(entries));
}

TagDef tagOf(const QString &name, const QString &expression, KeyType type, int keyLength, int decimals = 0)
{
    TagDef tag;
    tag.name = name;
    tag.expression = expression;
    tag.type = type;
    tag.keyLength = keyLength;
    tag.decimals = decimals;
    return tag;
}

QString describe(const TagDef &t)
{
    return QStringLiteral("%1 [%2] FOR [%3] type %4 len %5 dec %6 unique %7 desc %8")
        .arg(t.name, t.expression, t.forExpression)
        .arg(QChar(char(t.type)))
        .arg(t.keyLength)
        .arg(t.decimals)
        .arg(t.unique)
        .arg(t.descending);
}

// Fails the calling test (through QCOMPARE) unless the two hold the same
// tags and entries.
void compareContents(const IndexContents &actual, const IndexContents &expected)
{
    QCOMPARE(actual.tags.size(), expected.tags.size());
    QCOMPARE(actual.keys.size(), expected.keys.size());
    for (size_t t = 0; t < expected.tags.size(); ++t) {
        QCOMPARE(describe(actual.tags[t]), describe(expected.tags[t]));
        const KeyList &a = actual.keys[t];
        const KeyList &e = expected.keys[t];
        QCOMPARE(a.keyLength, e.keyLength);
        QCOMPARE(a.size(), e.size());
        for (qsizetype i = 0; i < e.size(); ++i) {
            if (a.key(i) != e.key(i) || a.records[size_t(i)] != e.records[size_t(i)])
                QFAIL(qPrintable(QStringLiteral("tag %1 entry %2: (%3, %4), expected (%5, %6)")
                                     .arg(expected.tags[t].name)
                                     .arg(i)
                                     .arg(QString::fromLatin1(a.key(i).toByteArray().toHex()))
                                     .arg(a.records[size_t(i)])
                                     .arg(QString::fromLatin1(e.key(i).toByteArray().toHex()))
                                     .arg(e.records[size_t(i)])));
        }
    }
}

bool perlReadsIndexes()
{
    static const bool yes = [] {
        if (kPerl.isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/index_dump")))
            return false;
        QProcess p;
        p.start(kPerl, { QStringLiteral("-MXBase::Index"), QStringLiteral("-e"), QStringLiteral("1") });
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }();
    return yes;
}

// One entry as index_dump prints it: the key (as text, or the stored bytes
// of a .mdx number or date) and the record number.
struct PeerEntry {
    QByteArray key;
    std::uint32_t record = 0;
};

// Runs index_dump on path and parses its lines "<key> <record>". A .mdx
// number or date key comes out as its raw bytes, which may hold a newline,
// so keys of a known length are cut by length, not at line ends.
bool runIndexDump(const QString &path, const QStringList &options, const QString &tagOrDummy,
                  int rawKeyLength, std::vector<PeerEntry> &entries)
{
    QProcess p;
    p.start(kPerl,
            QStringList { QStringLiteral("/usr/bin/index_dump") } + options
                + QStringList { path, tagOrDummy });
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("index_dump failed on %s: %s", qPrintable(path), p.readAllStandardError().constData());
        return false;
    }
    const QByteArray out = p.readAllStandardOutput();
    qsizetype at = 0;
    while (at < out.size()) {
        PeerEntry entry;
        qsizetype space;
        if (rawKeyLength > 0) {
            space = at + rawKeyLength;
        } else {
            const qsizetype end = out.indexOf('\n', at);
            space = out.lastIndexOf(' ', end < 0 ? out.size() - 1 : end);
        }
        const qsizetype end = out.indexOf('\n', space);
        if (space < at || space >= out.size() || out[space] != ' ' || end < 0) {
            qWarning("index_dump printed a line that is not <key> <record>: %s", out.mid(at, 80).constData());
            return false;
        }
        entry.key = out.mid(at, space - at);
        bool ok = false;
        entry.record = out.mid(space + 1, end - space - 1).toUInt(&ok);
        if (!ok) {
            qWarning("index_dump printed a record number that is not one: %s", out.mid(at, 80).constData());
            return false;
        }
        entries.push_back(entry);
        at = end + 1;
    }
    return true;
}

bool sameNumber(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
}

// Fails the calling test unless index_dump shows the tag's entries as ours
// are: character keys in full, numbers and dates as the values they print
// (a .ntx date prints as the number YYYYMMDD), and for .mdx numbers and
// dates, which it prints raw, the records in the same order. A descending
// tag is shown as stored, last key first. Entries with equal keys may
// come in another order where the file leaves them so.
void compareWithPeer(const QString &path, const QString &extension, const TagDef &tag, const KeyList &ours)
{
    QStringList options;
    if (extension == QLatin1String("ntx"))
        options << (tag.type == KeyType::Numeric    ? QStringLiteral("--type=num")
                        : tag.type == KeyType::Date ? QStringLiteral("--type=date")
                                                    : QStringLiteral("--type=char"));
    const bool mdx = extension == QLatin1String("mdx");
    const int rawLength = mdx ? tag.type == KeyType::Numeric ? mdx::kNumberKeyLength
            : tag.type == KeyType::Date                      ? mdx::kDateKeyLength
                                                             : tag.keyLength
                              : 0;
    std::vector<PeerEntry> peer;
    QVERIFY(runIndexDump(path, options, mdx ? tag.name : QStringLiteral("x"), rawLength, peer));
    QCOMPARE(qsizetype(peer.size()), ours.size());

    std::vector<qsizetype> order(static_cast<size_t>(ours.size()));
    std::iota(order.begin(), order.end(), 0);
    if (tag.descending) // stored reversed
        std::reverse(order.begin(), order.end());
    for (size_t i = 0; i < peer.size();) {
        // The run of entries with the key at i; the peer must show the same
        // records over it.
        size_t end = i + 1;
        while (end < order.size() && ours.key(order[end]) == ours.key(order[i]))
            ++end;
        std::vector<std::uint32_t> mine, theirs;
        for (size_t j = i; j < end; ++j) {
            mine.push_back(ours.records[size_t(order[j])]);
            theirs.push_back(peer[j].record);
            const QByteArrayView key = ours.key(order[j]);
            const QByteArray &shown = peer[j].key;
            bool same = true;
            if (tag.type == KeyType::Character || tag.type == KeyType::Logical) {
                same = shown == key;
            } else if (!mdx) {
                const double value = numberFromSortKey(key);
                const double expected = extension == QLatin1String("ntx") && tag.type == KeyType::Date
                    ? (value == 0 ? 0.0
                                  : dateFromJulian(value).toString(QStringLiteral("yyyyMMdd")).toDouble())
                    : value;
                same = sameNumber(shown.toDouble(), expected);
            }
            if (!same)
                QFAIL(qPrintable(QStringLiteral("entry %1: index_dump shows key [%2], ours is [%3]")
                                     .arg(j)
                                     .arg(QString::fromLatin1(shown.toHex()))
                                     .arg(QString::fromLatin1(key.toByteArray().toHex()))));
        }
        std::sort(mine.begin(), mine.end());
        std::sort(theirs.begin(), theirs.end());
        if (mine != theirs)
            QFAIL(qPrintable(
                QStringLiteral("entries %1 to %2: index_dump shows other records").arg(i).arg(end - 1)));
        i = end;
    }
}

// The ten records the hand-built fixtures index (see make_fixtures.py).
struct Person {
    std::uint32_t record;
    const char *name;
    double amount;
    QDate hired;
};
const Person kStaff[] = {
    { 1, "ADAMS", 250, QDate(1997, 9, 9) },     { 2, "BAKER", -12.5, QDate(2001, 2, 3) },
    { 3, "MILLER", 0, QDate(1985, 12, 31) },    { 4, "CLARK", 1000000, QDate(2020, 2, 29) },
    { 5, "EVANS", -0.75, QDate(1999, 12, 31) }, { 6, "ZIMMER", 3.25, QDate(2024, 1, 1) },
    { 7, "MILLER", 0, QDate(1970, 1, 1) },      { 8, "YOUNG", 42, QDate(1997, 9, 9) },
    { 9, "FOX", -1000, QDate(1960, 6, 15) },    { 10, "NASH", 0.05, QDate(2010, 10, 10) },
};

KeyList staffKeys(KeyType type, int keyLength, const std::function<bool(const Person &)> &filter = {})
{
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    for (const Person &p : kStaff) {
        if (filter && !filter(p))
            continue;
        const QByteArray key = type == KeyType::Character ? QByteArray(p.name).leftJustified(keyLength, ' ')
            : type == KeyType::Numeric                    ? numberSortKey(p.amount)
                                                          : numberSortKey(julianDay(p.hired));
        entries.emplace_back(key, p.record);
    }
    return sorted(sortKeyLength(type, keyLength), std::move(entries));
}

// Whether the root of a written single-tag file is an interior node.
bool rootIsInterior(const QString &extension, const QByteArray &file)
{
    if (extension == QLatin1String("ndx")) {
        const qsizetype root = qFromLittleEndian<std::uint32_t>(file.constData()) * ndx::kBlockSize;
        return qFromLittleEndian<std::uint32_t>(file.constData() + root + ndx::kEntriesOffset) != 0;
    }
    if (extension == QLatin1String("ntx")) {
        const qsizetype root = qFromLittleEndian<std::uint32_t>(file.constData() + ntx::kRootOffset);
        const int slot = qFromLittleEndian<std::uint16_t>(file.constData() + root + 2);
        return qFromLittleEndian<std::uint32_t>(file.constData() + root + slot) != 0;
    }
    const qsizetype header
        = qFromLittleEndian<std::uint32_t>(file.constData() + mdx::kTagTableOffset) * mdx::kPageSize;
    const qsizetype root = qFromLittleEndian<std::uint32_t>(file.constData() + header) * mdx::kPageSize;
    const std::uint32_t count = qFromLittleEndian<std::uint32_t>(file.constData() + root);
    const int item = qFromLittleEndian<std::uint16_t>(file.constData() + header + mdx::kTagItemLength);
    return qFromLittleEndian<std::uint32_t>(file.constData() + root + mdx::kNodeItems + count * item) != 0;
}

} // namespace

class TestIndexDbase : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void mdxManyTags();
    void peerSearches_data();
    void peerSearches();
    void handBuiltFixtures_data();
    void handBuiltFixtures();
    void mdxNumbers_data();
    void mdxNumbers();
    void ntxNumbers_data();
    void ntxNumbers();
    void unwritable_data();
    void unwritable();
    void malformed_data();
    void malformed();
    void ndxFuzzInputs_data() { test::fuzzInputRows("fuzz_ndx"); }
    void ndxFuzzInputs() { test::replayFuzzInput(fuzz::ndxInput); }
    void ntxFuzzInputs_data() { test::fuzzInputRows("fuzz_ntx"); }
    void ntxFuzzInputs() { test::replayFuzzInput(fuzz::ntxInput); }
    void mdxFuzzInputs_data() { test::fuzzInputRows("fuzz_mdx"); }
    void mdxFuzzInputs() { test::replayFuzzInput(fuzz::mdxInput); }
};

// One tag of many keys written, read back in ours and in index_dump.
void TestIndexDbase::roundTrip_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("unique");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("forExpression");
    const int C = int(KeyType::Character), N = int(KeyType::Numeric), D = int(KeyType::Date),
              L = int(KeyType::Logical);
    QTest::newRow("ndx character") << "ndx" << C << 12 << 0 << false << false << 3000 << "";
    QTest::newRow("ndx character, longest key") << "ndx" << C << 100 << 0 << true << false << 500 << "";
    QTest::newRow("ndx numeric") << "ndx" << N << 8 << 0 << false << false << 3000 << "";
    QTest::newRow("ndx date") << "ndx" << D << 8 << 0 << false << false << 3000 << "";
    QTest::newRow("ndx logical") << "ndx" << L << 1 << 0 << false << false << 300 << "";
    QTest::newRow("ndx empty") << "ndx" << C << 10 << 0 << false << false << 0 << "";
    QTest::newRow("ntx character") << "ntx" << C << 12 << 0 << false << false << 3000 << "";
    QTest::newRow("ntx character, longest key") << "ntx" << C << 256 << 0 << false << false << 400 << "";
    QTest::newRow("ntx numeric") << "ntx" << N << 10 << 2 << false << false << 3000 << "";
    QTest::newRow("ntx date") << "ntx" << D << 8 << 0 << true << false << 3000 << "";
    QTest::newRow("ntx logical") << "ntx" << L << 1 << 0 << false << false << 300 << "";
    QTest::newRow("ntx descending") << "ntx" << C << 12 << 0 << false << true << 3000 << "";
    QTest::newRow("ntx FOR") << "ntx" << C << 12 << 0 << false << false << 3000 << "AMOUNT > 0";
    QTest::newRow("ntx empty") << "ntx" << N << 10 << 2 << false << false << 0 << "";
    QTest::newRow("mdx character") << "mdx" << C << 12 << 0 << false << false << 3000 << "";
    QTest::newRow("mdx numeric") << "mdx" << N << 12 << 0 << false << false << 3000 << "";
    QTest::newRow("mdx date") << "mdx" << D << 8 << 0 << false << false << 3000 << "";
    QTest::newRow("mdx descending") << "mdx" << N << 12 << 0 << false << true << 3000 << "";
    QTest::newRow("mdx FOR") << "mdx" << D << 8 << 0 << true << false << 3000 << "AMOUNT > 0";
    QTest::newRow("mdx empty") << "mdx" << C << 10 << 0 << false << false << 0 << "";
}

void TestIndexDbase::roundTrip()
{
    QFETCH(QString, extension);
    QFETCH(int, type);
    QFETCH(int, keyLength);
    QFETCH(int, decimals);
    QFETCH(bool, unique);
    QFETCH(bool, descending);
    QFETCH(int, count);
    QFETCH(QString, forExpression);
    const Format format = formatOf(extension);
    const QString baseName = QStringLiteral("ORDERS");

    TagDef tag = tagOf(baseName, QStringLiteral("KEYFIELD"), KeyType(type), keyLength, decimals);
    tag.unique = unique;
    tag.descending = descending;
    tag.forExpression = forExpression;
    IndexContents contents;
    contents.tags.push_back(tag);
    contents.keys.push_back(manyKeys(KeyType(type), keyLength, count));

    const QByteArray file = format.write(contents, kContext);
    QCOMPARE(format.write(contents, kContext), file);
    if (count > 1000)
        QVERIFY2(rootIsInterior(extension, file), "many keys should need a tree of more than one level");

    const QString fileName = QStringLiteral("/data/orders.") + extension;
    compareContents(format.read(file, fileName, typeIs(KeyType(type)), true), contents);
    const IndexContents header = format.read(file, fileName, typeIs(KeyType(type)), false);
    QVERIFY(header.keys.empty());
    QCOMPARE(describe(header.tags.at(0)), describe(tag));

    if (!perlReadsIndexes())
        QSKIP("perl with XBase::Index (libdbd-xbase-perl) is not installed");
    if (extension == QLatin1String("ntx") && !forExpression.isEmpty())
        QSKIP("index_dump takes only the signatures of files without a FOR condition");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orders.") + extension);
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    compareWithPeer(path, extension, tag, contents.keys[0]);
}

// A production .mdx with tags of every kind: many keys, descending, FOR,
// unique; written, read back, and read by index_dump tag by tag.
void TestIndexDbase::mdxManyTags()
{
    IndexContents contents;
    contents.tags.push_back(
        tagOf(QStringLiteral("NAME"), QStringLiteral("UPPER(NAME)"), KeyType::Character, 24));
    contents.keys.push_back(manyKeys(KeyType::Character, 24, 2500));
    TagDef amount = tagOf(QStringLiteral("AMOUNT"), QStringLiteral("AMOUNT"), KeyType::Numeric, 12);
    amount.descending = true;
    contents.tags.push_back(amount);
    contents.keys.push_back(manyKeys(KeyType::Numeric, 12, 2500));
    TagDef hired = tagOf(QStringLiteral("HIRED"), QStringLiteral("HIRED"), KeyType::Date, 8);
    hired.forExpression = QStringLiteral("AMOUNT > 0 .AND. .NOT. DELETED()");
    contents.tags.push_back(hired);
    contents.keys.push_back(manyKeys(KeyType::Date, 8, 1200));
    TagDef code = tagOf(QStringLiteral("CODE"), QStringLiteral("CODE+STR(AMOUNT,8)"), KeyType::Character, 14);
    code.unique = true;
    contents.tags.push_back(code);
    contents.keys.push_back(staffKeys(KeyType::Character, 14));
    contents.tags.push_back(tagOf(QStringLiteral("EMPTY"), QStringLiteral("NOTE"), KeyType::Character, 30));
    contents.keys.push_back(KeyList { 30, {}, {} });

    const QByteArray file = writeMdx(contents, kContext);
    compareContents(readMdx(file, QStringLiteral("staff.mdx")), contents);

    // The header and the tag table name the table, the date and the tags.
    QCOMPARE(file.mid(mdx::kTableNameOffset, 6), QByteArray("STAFF\0", 6));
    QCOMPARE(int(std::uint8_t(file[mdx::kCreatedOffset])), 124);
    QCOMPARE(qFromLittleEndian<std::uint16_t>(file.constData() + mdx::kTagCountOffset), 5);
    QCOMPARE(qFromLittleEndian<std::uint32_t>(file.constData() + mdx::kPageCountOffset) * mdx::kPageSize,
             std::uint32_t(file.size()));
    // The name tree: NAME at the root, AMOUNT < NAME on its left, HIRED
    // between them on AMOUNT's right, CODE < HIRED on HIRED's left, EMPTY
    // between CODE and HIRED on CODE's right.
    const auto link = [&](int entry, int which) {
        return int(std::uint8_t(file[mdx::kTagTableOffset + (entry - 1) * mdx::kTagEntryLength + which]));
    };
    QCOMPARE(link(1, mdx::kEntryLeft), 2);
    QCOMPARE(link(2, mdx::kEntryRight), 3);
    QCOMPARE(link(3, mdx::kEntryParent), 2);
    QCOMPARE(link(3, mdx::kEntryLeft), 4);
    QCOMPARE(link(4, mdx::kEntryRight), 5);
    QCOMPARE(link(5, mdx::kEntryParent), 4);
    QCOMPARE(link(1, mdx::kEntryParent), 0);

    if (!perlReadsIndexes())
        QSKIP("perl with XBase::Index (libdbd-xbase-perl) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("staff.mdx"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    for (size_t t = 0; t < contents.tags.size(); ++t) {
        compareWithPeer(path, QStringLiteral("mdx"), contents.tags[t], contents.keys[t]);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("in tag ") + contents.tags[t].name));
    }
}

// index_dump's search (--start) goes down the tree by the interior keys,
// which a full scan never reads: from the first entry not less than the
// value it must print the rest of ours.
void TestIndexDbase::peerSearches_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<QString>("start");
    const int C = int(KeyType::Character), N = int(KeyType::Numeric);
    for (const char *extension : { "ndx", "ntx", "mdx" }) {
        for (const char *start : { "K0", "K1", "K250", "K333", "K499", "K7", "K99" })
            QTest::addRow("%s %s", extension, start) << extension << C << 12 << start;
    }
    for (const char *start : { "-125", "-0.25", "0", "0.5", "17.75", "124.5" }) {
        QTest::addRow("ndx number %s", start) << "ndx" << N << 8 << start;
        QTest::addRow("ntx number %s", start) << "ntx" << N << 10 << start;
    }
}

void TestIndexDbase::peerSearches()
{
    QFETCH(QString, extension);
    QFETCH(int, type);
    QFETCH(int, keyLength);
    QFETCH(QString, start);
    if (!perlReadsIndexes())
        QSKIP("perl with XBase::Index (libdbd-xbase-perl) is not installed");
    const bool number = type == int(KeyType::Numeric);
    IndexContents contents;
    contents.tags.push_back(
        tagOf(QStringLiteral("ORDERS"), QStringLiteral("K"), KeyType(type), keyLength, number ? 2 : 0));
    contents.keys.push_back(manyKeys(KeyType(type), keyLength, 3000));
    const KeyList &keys = contents.keys[0];
    const QByteArray file = formatOf(extension).write(contents, kContext);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orders.") + extension);
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();

    qsizetype first = 0;
    while (first < keys.size()
           && (number ? numberFromSortKey(keys.key(first)) < start.toDouble()
                      : keys.key(first) < start.toLatin1()))
        ++first;
    QStringList options { QStringLiteral("--start=") + start };
    if (extension == QLatin1String("ntx"))
        options << (number ? QStringLiteral("--type=num") : QStringLiteral("--type=char"));
    std::vector<PeerEntry> peer;
    QVERIFY(runIndexDump(path, options,
                         extension == QLatin1String("mdx") ? QStringLiteral("ORDERS") : QStringLiteral("x"),
                         extension == QLatin1String("mdx") ? keyLength : 0, peer));
    QCOMPARE(qsizetype(peer.size()), keys.size() - first);
    for (size_t j = 0; j < peer.size(); ++j) {
        const qsizetype i = first + qsizetype(j);
        const bool sameKey = number ? sameNumber(peer[j].key.toDouble(), numberFromSortKey(keys.key(i)))
                                    : peer[j].key == keys.key(i);
        if (!sameKey)
            QFAIL(qPrintable(QStringLiteral("entry %1 from the start: index_dump shows [%2]")
                                 .arg(j)
                                 .arg(QString::fromLatin1(peer[j].key))));
    }
}

// The files make_fixtures.py lays out byte by byte read as the records say,
// in ours and in index_dump.
void TestIndexDbase::handBuiltFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("tagIndex");
    QTest::addColumn<int>("askType"); // 0: no KeyTypeOf
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("forExpression");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("descending");
    const int C = int(KeyType::Character), N = int(KeyType::Numeric), D = int(KeyType::Date);
    QTest::newRow("ndx character, two levels") << "names.ndx" << 0 << 0 << "NAME"
                                               << "" << C << 40 << 0 << false;
    QTest::newRow("ndx numeric") << "amounts.ndx" << 0 << 0 << "AMOUNT"
                                 << "" << N << 8 << 0 << false;
    QTest::newRow("ndx date, as the caller says") << "hired.ndx" << 0 << D << "HIRED"
                                                  << "" << D << 8 << 0 << false;
    QTest::newRow("ntx character, two levels") << "names.ntx" << 0 << 0 << "NAME"
                                               << "" << C << 10 << 0 << false;
    QTest::newRow("ntx numeric") << "amounts.ntx" << 0 << N << "AMOUNT"
                                 << "" << N << 10 << 2 << false;
    QTest::newRow("ntx date") << "hired.ntx" << 0 << D << "HIRED"
                              << "" << D << 8 << 0 << false;
    QTest::newRow("mdx character, two levels") << "staff.mdx" << 0 << 0 << "NAME"
                                               << "" << C << 10 << 0 << false;
    QTest::newRow("mdx numeric, descending") << "staff.mdx" << 1 << 0 << "AMOUNT"
                                             << "" << N << 12 << 0 << true;
    QTest::newRow("mdx date, FOR") << "staff.mdx" << 2 << 0 << "HIRED"
                                   << "AMOUNT > 0" << D << 8 << 0 << false;
}

void TestIndexDbase::handBuiltFixtures()
{
    QFETCH(QString, file);
    QFETCH(int, tagIndex);
    QFETCH(int, askType);
    QFETCH(QString, expression);
    QFETCH(QString, forExpression);
    QFETCH(int, type);
    QFETCH(int, keyLength);
    QFETCH(int, decimals);
    QFETCH(bool, descending);
    const QString extension = file.section(u'.', -1);
    const Format format = formatOf(extension);
    const QString path = kFixtures + file;
    const IndexContents read
        = format.read(readFile(path), path, askType ? typeIs(KeyType(askType)) : KeyTypeOf(), true);

    TagDef expected
        = tagOf(extension == QLatin1String("mdx") ? expression : file.section(u'.', 0, 0).toUpper(),
                expression, KeyType(type), keyLength, decimals);
    expected.forExpression = forExpression;
    expected.descending = descending;
    QVERIFY(size_t(tagIndex) < read.tags.size());
    QCOMPARE(describe(read.tags[size_t(tagIndex)]), describe(expected));
    const KeyList keys = staffKeys(
        KeyType(type), keyLength,
        forExpression.isEmpty() ? std::function<bool(const Person &)>()
                                : [](const Person &p) { return p.amount > 0; });
    IndexContents one;
    one.tags.push_back(read.tags[size_t(tagIndex)]);
    one.keys.push_back(read.keys[size_t(tagIndex)]);
    IndexContents want;
    want.tags.push_back(expected);
    want.keys.push_back(keys);
    compareContents(one, want);

    if (!perlReadsIndexes())
        QSKIP("perl with XBase::Index (libdbd-xbase-perl) is not installed");
    compareWithPeer(path, extension, expected, keys);
}

// A .mdx number is stored as 12 bytes of decimal: 52 + the exponent, the
// sign and digit count, then the digits two to a byte.
void TestIndexDbase::mdxNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("zero") << 0.0 << QByteArray::fromHex("3401");
    QTest::newRow("250") << 250.0 << QByteArray::fromHex("370925");
    QTest::newRow("123.45") << 123.45 << QByteArray::fromHex("3715123450");
    QTest::newRow("-12.5") << -12.5 << QByteArray::fromHex("368D1250");
    QTest::newRow("one million") << 1e6 << QByteArray::fromHex("3B0510");
    QTest::newRow("0.05") << 0.05 << QByteArray::fromHex("330550");
    QTest::newRow("-0.75") << -0.75 << QByteArray::fromHex("34897500");
    QTest::newRow("17 digits") << 12345678901234568.0 << QByteArray::fromHex("4545123456789012345680");
}

void TestIndexDbase::mdxNumbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, stored);
    const QByteArray key = mdxNumberKey(value);
    QCOMPARE(key.toHex(), stored.leftJustified(mdx::kNumberKeyLength, '\0').toHex());
    bool ok = false;
    QCOMPARE(mdxNumberFromKey(key, &ok), value);
    QVERIFY(ok);
}

// A .ntx number is STR(value, length, decimals) with leading blanks made
// '0'; a negative one has its '-' made '0' and each digit d made 0x2C - d.
void TestIndexDbase::ntxNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("42") << 42.0 << 10 << 2 << QByteArray("0000042.00");
    QTest::newRow("-12.5") << -12.5 << 10 << 2 << QByteArray(",,,,,+*.',");
    QTest::newRow("-1000, no decimals") << -1000.0 << 6 << 0 << QByteArray(",,+,,,");
    QTest::newRow("-9") << -9.0 << 3 << 0 << QByteArray(",,#");
    QTest::newRow("zero") << 0.0 << 5 << 1 << QByteArray("000.0");
    QTest::newRow("rounds to zero from below") << -0.001 << 6 << 2 << QByteArray("000.00");
    QTest::newRow("fills the width") << 12345.0 << 5 << 0 << QByteArray("12345");
    QTest::newRow("negative fills the width") << -1234.0 << 5 << 0 << QByteArray(",+*)(");
}

void TestIndexDbase::ntxNumbers()
{
    QFETCH(double, value);
    QFETCH(int, length);
    QFETCH(int, decimals);
    QFETCH(QByteArray, stored);
    IndexContents contents;
    contents.tags.push_back(
        tagOf(QStringLiteral("N"), QStringLiteral("N"), KeyType::Numeric, length, decimals));
    KeyList keys;
    keys.keyLength = 8;
    keys.append(numberSortKey(value), 1);
    contents.keys.push_back(keys);
    const QByteArray file = writeNtx(contents, kContext);
    const qsizetype root = qFromLittleEndian<std::uint32_t>(file.constData() + ntx::kRootOffset);
    const int slot = qFromLittleEndian<std::uint16_t>(file.constData() + root + 2);
    QCOMPARE(file.mid(root + slot + 8, length), stored);
    const IndexContents back = readNtx(file, QStringLiteral("n.ntx"), typeIs(KeyType::Numeric));
    QCOMPARE(numberFromSortKey(back.keys.at(0).key(0)),
             std::round(value * std::pow(10, decimals)) / std::pow(10, decimals));
}

// What a format cannot hold is refused with a message, not written wrong.
void TestIndexDbase::unwritable_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("message");
    const int C = int(KeyType::Character), N = int(KeyType::Numeric), L = int(KeyType::Logical);
    QTest::newRow("ndx key too long") << "ndx" << C << 101 << 0.0 << "1 to 100 bytes";
    QTest::newRow("ntx number too wide") << "ntx" << N << 4 << 12345.0 << "does not fit in 4";
    QTest::newRow("ntx negative too wide") << "ntx" << N << 4 << -1234.0 << "does not fit in 4";
    QTest::newRow("mdx logical") << "mdx" << L << 1 << 0.0 << "logical";
    QTest::newRow("mdx number out of range") << "mdx" << N << 12 << 1e300 << "out of the range";
}

void TestIndexDbase::unwritable()
{
    QFETCH(QString, extension);
    QFETCH(int, type);
    QFETCH(int, keyLength);
    QFETCH(double, number);
    QFETCH(QString, message);
    IndexContents contents;
    contents.tags.push_back(tagOf(QStringLiteral("T"), QStringLiteral("F"), KeyType(type), keyLength));
    KeyList keys;
    keys.keyLength = sortKeyLength(KeyType(type), keyLength);
    keys.append(type == int(KeyType::Numeric) ? numberSortKey(number) : QByteArray(keys.keyLength, 'T'), 1);
    contents.keys.push_back(keys);
    try {
        formatOf(extension).write(contents, kContext);
        QFAIL("the writer took what the format cannot hold");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
}

// Damaged copies of the hand-built fixtures: each raises EngineError naming
// the file. Damage to the tree alone leaves the header readable without the
// keys.
void TestIndexDbase::malformed_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("askType");
    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<bool>("headerReads");

    const auto patch = [](QByteArray bytes, qsizetype at, QByteArray with) {
        bytes.replace(at, with.size(), with);
        return bytes;
    };
    const auto le32 = [](std::uint32_t v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto le16 = [](std::uint16_t v) {
        QByteArray b(2, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const int N = int(KeyType::Numeric);

    // names.ndx: header, leaf B (block 1), leaf A (block 2), root (block 3).
    const QByteArray ndx = readFile(kFixtures + QStringLiteral("names.ndx"));
    QTest::newRow("ndx truncated header") << "names.ndx" << 0 << ndx.left(300) << false;
    QTest::newRow("ndx truncated node") << "names.ndx" << 0 << ndx.left(3 * 512 + 100) << true;
    QTest::newRow("ndx root past the end") << "names.ndx" << 0 << patch(ndx, 0, le32(99)) << true;
    QTest::newRow("ndx child past the end")
        << "names.ndx" << 0 << patch(ndx, 3 * 512 + 4, le32(1u << 30)) << true;
    QTest::newRow("ndx cycle") << "names.ndx" << 0 << patch(ndx, 3 * 512 + 4, le32(3)) << true;
    QTest::newRow("ndx absurd count") << "names.ndx" << 0 << patch(ndx, 512, le32(0xFFFFFFFF)) << true;
    QTest::newRow("ndx absurd key length") << "names.ndx" << 0 << patch(ndx, 12, le16(60000)) << false;
    QTest::newRow("ndx zero key length") << "names.ndx" << 0 << patch(ndx, 12, le16(0)) << false;
    QTest::newRow("ndx numeric key of 40 bytes") << "names.ndx" << 0 << patch(ndx, 16, le16(1)) << false;
    QTest::newRow("ndx keys out of order") << "names.ndx" << 0 << patch(ndx, 2 * 512 + 4 + 8, "ZZZ") << true;
    QTest::newRow("ndx interior key below its child's")
        << "names.ndx" << 0 << patch(ndx, 3 * 512 + 12, "BAKER ") << true;
    QTest::newRow("ndx record 0 in a leaf") << "names.ndx" << 0 << patch(ndx, 512 + 8, le32(0)) << true;
    QTest::newRow("ndx character file, numeric expression") << "names.ndx" << N << ndx << false;

    // names.ntx: header, right leaf (1024), left leaf (2048), root (3072).
    const QByteArray ntx = readFile(kFixtures + QStringLiteral("names.ntx"));
    const int firstItem = 2 * (50 + 2);
    QTest::newRow("ntx truncated header") << "names.ntx" << 0 << ntx.left(1000) << false;
    QTest::newRow("ntx truncated page") << "names.ntx" << 0 << ntx.left(3 * 1024 + 10) << true;
    QTest::newRow("ntx root past the end") << "names.ntx" << 0 << patch(ntx, 4, le32(99 * 1024)) << true;
    QTest::newRow("ntx root inside a page") << "names.ntx" << 0 << patch(ntx, 4, le32(1024 + 100)) << true;
    QTest::newRow("ntx cycle") << "names.ntx" << 0 << patch(ntx, 3 * 1024 + firstItem, le32(3 * 1024))
                               << true;
    QTest::newRow("ntx absurd count") << "names.ntx" << 0 << patch(ntx, 1024, le16(60000)) << true;
    QTest::newRow("ntx item offset outside the page")
        << "names.ntx" << 0 << patch(ntx, 1024 + 2, le16(1020)) << true;
    QTest::newRow("ntx absurd key length") << "names.ntx" << 0 << patch(ntx, 14, le16(5000)) << false;
    QTest::newRow("ntx absurd items per page") << "names.ntx" << 0 << patch(ntx, 18, le16(60000)) << false;
    QTest::newRow("ntx bad signature") << "names.ntx" << 0 << patch(ntx, 0, le16(0x4242)) << false;
    QTest::newRow("ntx number that is not one") << "names.ntx" << N << ntx << true;

    // staff.mdx: header pages 0-3; NAME: header 4, leaves 6 and 8, root 10;
    // AMOUNT: header 12, leaf 14; HIRED: header 16, leaf 18.
    const QByteArray mdx = readFile(kFixtures + QStringLiteral("staff.mdx"));
    QTest::newRow("mdx truncated header") << "staff.mdx" << 0 << mdx.left(400) << false;
    QTest::newRow("mdx truncated tag header") << "staff.mdx" << 0 << mdx.left(4 * 512 + 100) << false;
    QTest::newRow("mdx truncated node") << "staff.mdx" << 0 << mdx.left(19 * 512) << true;
    QTest::newRow("mdx root past the end") << "staff.mdx" << 0 << patch(mdx, 4 * 512, le32(999)) << true;
    QTest::newRow("mdx cycle") << "staff.mdx" << 0 << patch(mdx, 10 * 512 + 8, le32(10)) << true;
    QTest::newRow("mdx interior key below its child's")
        << "staff.mdx" << 0 << patch(mdx, 10 * 512 + 12, "BAKER ") << true;
    QTest::newRow("mdx absurd count") << "staff.mdx" << 0 << patch(mdx, 6 * 512, le32(1000000000)) << true;
    QTest::newRow("mdx absurd tag count") << "staff.mdx" << 0 << patch(mdx, 28, le16(5000)) << false;
    QTest::newRow("mdx absurd key length")
        << "staff.mdx" << 0 << patch(mdx, 4 * 512 + 12, le16(65535)) << false;
    QTest::newRow("mdx tag header past the end") << "staff.mdx" << 0 << patch(mdx, 544, le32(70000)) << false;
    QTest::newRow("mdx unknown key type") << "staff.mdx" << 0 << patch(mdx, 12 * 512 + 9, "X") << false;
    QTest::newRow("mdx digit that is not one")
        << "staff.mdx" << 0 << patch(mdx, 14 * 512 + 8 + 4 + 2, "\xAB") << true;
    QTest::newRow("mdx digit count over 20")
        << "staff.mdx" << 0 << patch(mdx, 14 * 512 + 8 + 4 + 1, "\x7D") << true;
}

void TestIndexDbase::malformed()
{
    QFETCH(QString, file);
    QFETCH(int, askType);
    QFETCH(QByteArray, damaged);
    QFETCH(bool, headerReads);
    const QString extension = file.section(u'.', -1);
    const Format format = formatOf(extension);
    const QString name = QStringLiteral("/data/damaged/") + file;
    const KeyTypeOf typeOf = askType ? typeIs(KeyType(askType)) : KeyTypeOf();
    try {
        format.read(damaged, name, typeOf, true);
        QFAIL("the damaged file was read without an error");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(name + QStringLiteral(": ")), qPrintable(e.message()));
    }
    if (headerReads) {
        const IndexContents header = format.read(damaged, name, typeOf, false);
        QVERIFY(!header.tags.empty());
        QVERIFY(header.keys.empty());
    }
}

QTEST_GUILESS_MAIN(TestIndexDbase)
#include "tst_index_dbase.moc"
