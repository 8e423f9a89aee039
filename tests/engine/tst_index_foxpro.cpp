// FoxPro index files: compound .cdx and single .idx (compact and the older
// form). Files we write read back the same in ours and in the independent
// XBase::Index reader (index_dump); hand-built files (make_foxpro.py in
// tests/fixtures/index) read right; damaged files fail with the file named.
#include "fuzz/fuzz_cdx.h"
#include "fuzz/fuzz_idx.h"
#include "fuzz_replay.h"

#include "engine/EngineError.h"
#include "engine/index/Cdx.h"
#include "engine/index/Idx.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <map>

using namespace qvx;
using namespace qvx::index;

namespace {

const QString kPerl = QStringLiteral(QVX_PERL);
const QString kFixtures = QStringLiteral(QVX_FIXTURES "/index/");

// A tag and its keys, sorted by (key, record) as an index holds them.
struct Built {
    TagDef tag;
    KeyList keys;
};

Built sortedTag(TagDef tag, std::vector<std::pair<QByteArray, std::uint32_t>> entries)
{
    std::sort(entries.begin(), entries.end());
    Built b { std::move(tag), {} };
    b.keys.keyLength = sortKeyLength(b.tag);
    for (const auto &[key, record] : entries)
        b.keys.append(key, record);
    return b;
}

// count names drawn from a few dozen, so that many repeat; some are blank.
Built names(const QString &tagName, int count, int keyLength, quint32 seed)
{
    QRandomGenerator random(seed);
    const char *stems[]
        = { "Abbot", "Abbott", "Abel", "Baker", "Bakers", "Carter", "Cartwright", "Dunn", "" };
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    for (int r = 1; r <= count; ++r) {
        QByteArray key = QByteArray(stems[random.bounded(9)]);
        if (!key.isEmpty())
            key += QByteArray::number(random.bounded(40));
        entries.emplace_back(key.leftJustified(keyLength, ' ', true), std::uint32_t(r));
    }
    TagDef tag;
    tag.name = tagName;
    tag.expression = QStringLiteral("UPPER(name)");
    tag.keyLength = keyLength;
    return sortedTag(tag, std::move(entries));
}

Built numbers(const QString &tagName, int count, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    for (int r = 1; r <= count; ++r) {
        // halves from -500 to 500, zero and -0.0 among them
        double value = (int(random.bounded(2001)) - 1000) * 0.5;
        if (r % 97 == 0)
            value = -0.0;
        entries.emplace_back(numberSortKey(value), std::uint32_t(r));
    }
    TagDef tag;
    tag.name = tagName;
    tag.expression = QStringLiteral("amount");
    tag.type = KeyType::Numeric;
    tag.keyLength = 8;
    return sortedTag(tag, std::move(entries));
}

Built dates(const QString &tagName, int count, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    for (int r = 1; r <= count; ++r) {
        const QDate date = r % 50 == 0 ? QDate() : QDate(1990, 1, 1).addDays(random.bounded(12000));
        entries.emplace_back(numberSortKey(julianDay(date)), std::uint32_t(r));
    }
    TagDef tag;
    tag.name = tagName;
    tag.expression = QStringLiteral("hired");
    tag.type = KeyType::Date;
    tag.keyLength = 8;
    return sortedTag(tag, std::move(entries));
}

IndexContents contentsOf(const std::vector<Built> &built)
{
    IndexContents c;
    for (const Built &b : built) {
        c.tags.push_back(b.tag);
        c.keys.push_back(b.keys);
    }
    return c;
}

KeyTypeOf typesOf(const IndexContents &c)
{
    std::map<QString, KeyType> types;
    for (const TagDef &t : c.tags)
        types[t.name.toUpper()] = t.type;
    return [types](const TagDef &t) {
        const auto it = types.find(t.name);
        return it == types.end() ? KeyType::Character : it->second;
    };
}

// Compares what was read with what was written, naming the first difference.
void compareContents(const IndexContents &read, const IndexContents &written)
{
    QCOMPARE(read.tags.size(), written.tags.size());
    QCOMPARE(read.keys.size(), written.keys.size());
    for (std::size_t i = 0; i < written.tags.size(); ++i) {
        const TagDef &r = read.tags[i];
        const TagDef &w = written.tags[i];
        QCOMPARE(r.name, w.name.toUpper());
        QCOMPARE(r.expression, w.expression);
        QCOMPARE(r.forExpression, w.forExpression);
        QCOMPARE(r.type, w.type);
        QCOMPARE(r.keyLength, sortKeyLength(w));
        QCOMPARE(r.unique, w.unique);
        QCOMPARE(r.descending, w.descending);
        QCOMPARE(r.collation, w.collation);
        QCOMPARE(read.keys[i].keyLength, written.keys[i].keyLength);
        QCOMPARE(read.keys[i].size(), written.keys[i].size());
        for (qsizetype k = 0; k < written.keys[i].size(); ++k) {
            if (read.keys[i].key(k) != written.keys[i].key(k)
                || read.keys[i].records[k] != written.keys[i].records[k])
                QFAIL(qPrintable(QStringLiteral("tag %1 entry %2: read %3/%4, wrote %5/%6")
                                     .arg(w.name)
                                     .arg(k)
                                     .arg(QString::fromLatin1(read.keys[i].key(k).toByteArray().toHex()))
                                     .arg(read.keys[i].records[k])
                                     .arg(QString::fromLatin1(written.keys[i].key(k).toByteArray().toHex()))
                                     .arg(written.keys[i].records[k])));
        }
    }
}

// The tags of a compound file as the writer lays them out: several kinds,
// thousands of keys in the big ones.
IndexContents compoundSample()
{
    Built name = names(QStringLiteral("name"), 6000, 24, 7);
    Built amount = numbers(QStringLiteral("Amount"), 3000, 11);
    amount.tag.forExpression = QStringLiteral("amount <> 0 .AND. !DELETED()");
    Built hired = dates(QStringLiteral("HIRED"), 2500, 13);
    hired.tag.descending = true;
    Built code = names(QStringLiteral("CODE"), 300, 6, 17);
    // A unique tag holds each key once.
    KeyList once;
    once.keyLength = code.keys.keyLength;
    for (qsizetype i = 0; i < code.keys.size(); ++i)
        if (once.size() == 0 || once.key(once.size() - 1) != code.keys.key(i))
            once.append(code.keys.key(i), code.keys.records[i]);
    code.keys = once;
    code.tag.unique = true;
    Built empty = names(QStringLiteral("EMPTY"), 0, 10, 1);
    return contentsOf({ name, amount, hired, code, empty });
}

bool havePeer()
{
    if (kPerl.isEmpty())
        return false;
    QProcess p;
    p.start(kPerl, { QStringLiteral("-MXBase::Index"), QStringLiteral("-e"), QStringLiteral("1") });
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Runs XBase::Index over a file (index_dump's loop, written out so that a
// compact .idx, which index_dump hands to the older-form reader, is read as
// the compressed tag it is). Lines are "key record".
QStringList peerDump(const QString &file, const QString &tag, const QString &kind, bool compactSingle)
{
    static const char *script = R"(
use strict; use XBase::Index;
my ($file, $tag, $kind, $compact) = @ARGV;
my $keyType = $kind eq 'num' ? 1 : 0;
my $index;
if ($compact) {
    $index = bless { tag => 'single' }, 'XBase::cdx';
    $index->open($file) or die XBase::Base->errstr;
    $index->{key_type} = $keyType;
} else {
    my %opts = (type => ($kind eq 'num' ? 'N' : 'C'));
    $opts{tag} = $tag if $tag ne '';
    $index = XBase::Index->new($file, %opts) or die XBase::Index->errstr;
}
$index->prepare_select or die $index->errstr;
while (my @row = $index->fetch) { print "@row\n"; }
die $index->errstr if $index->errstr;
)";
    QProcess p;
    p.start(kPerl,
            { QStringLiteral("-e"), QString::fromLatin1(script), file, tag, kind,
              compactSingle ? QStringLiteral("1") : QStringLiteral("0") });
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("XBase::Index failed on %s %s: %s", qPrintable(file), qPrintable(tag),
                 p.readAllStandardError().constData());
        return { QStringLiteral("<failed>") };
    }
    QStringList lines = QString::fromLatin1(p.readAllStandardOutput()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Our keys as the peer prints them: character keys without trailing
// spaces, numbers and dates (Julian day) as the number, checked as values.
void compareWithPeer(const QStringList &peer, const TagDef &tag, const KeyList &keys)
{
    QCOMPARE(peer.size(), keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const qsizetype space = peer[i].lastIndexOf(u' ');
        QVERIFY2(space >= 0, qPrintable(peer[i]));
        const QString key = peer[i].left(space);
        QCOMPARE(peer[i].mid(space + 1).toUInt(), keys.records[i]);
        if (tag.type == KeyType::Character) {
            // The peer fills a key's trailing bytes with NULs, not spaces,
            // and a key that repeats the one before it keeps them.
            QString theirs = key;
            while (theirs.endsWith(u' ') || theirs.endsWith(QChar(0)))
                theirs.chop(1);
            QString ours = QString::fromLatin1(keys.key(i).toByteArray());
            while (ours.endsWith(u' '))
                ours.chop(1);
            if (theirs != ours)
                QFAIL(qPrintable(QStringLiteral("entry %1: peer '%2', ours '%3'").arg(i).arg(theirs, ours)));
        } else {
            bool ok = false;
            const double value = key.toDouble(&ok);
            QVERIFY2(ok, qPrintable(peer[i]));
            QCOMPARE(value, numberFromSortKey(keys.key(i)));
        }
    }
}

QString writeTemp(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray readFixture(const QString &name)
{
    QFile f(kFixtures + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The ROOMS list of make_foxpro.py: record, room name, facility.
struct Room {
    std::uint32_t record;
    const char *name;
    const char *facility;
};
const Room kRooms[] = {
    { 1, "Bay  1", "FILM" },       { 2, "BAY 7", "AUDIO" },   { 3, "AVID", "FILM" },
    { 4, "ADR-Foley", "AUDIO" },   { 5, "Mix A", "AUDIO" },   { 6, "Mix B", "AUDIO" },
    { 7, "Mix A", "FILM" },        { 8, "Stage", "MAIN" },    { 9, " None", "AUDIO" },
    { 10, "Mixer room", "AUDIO" }, { 11, "Stage 2", "MAIN" }, { 12, "AVID", "AUDIO" },
};

KeyList roomKeys(bool audioOnly)
{
    std::vector<std::pair<QByteArray, std::uint32_t>> entries;
    for (const Room &r : kRooms)
        if (!audioOnly || QByteArray(r.facility) == "AUDIO")
            entries.emplace_back(
                QByteArray(audioOnly ? r.facility : r.name).leftJustified(audioOnly ? 10 : 20, ' '),
                r.record);
    TagDef tag;
    tag.keyLength = audioOnly ? 10 : 20;
    return sortedTag(tag, entries).keys;
}

} // namespace

class TestIndexFoxPro : public QObject {
    Q_OBJECT

private slots:
    void compoundRoundTrip();
    void singleRoundTrip_data();
    void singleRoundTrip();
    void peerReadsOurFiles_data();
    void peerReadsOurFiles();
    void handBuiltFiles_data();
    void handBuiltFiles();
    void handBuiltNumbers();
    void collationIsFlagged();
    void writerRefuses_data();
    void writerRefuses();
    void damagedFiles_data();
    void damagedFiles();
    void cdxFuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_cdx"); }
    void cdxFuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::cdxInput); }
    void idxFuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_idx"); }
    void idxFuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::idxInput); }
};

void TestIndexFoxPro::compoundRoundTrip()
{
    try {
        const IndexContents written = compoundSample();
        const QByteArray file = writeCdx(written, { QStringLiteral("STAFF"), QDate(2024, 5, 6) });
        QCOMPARE(file.size() % 512, 0);
        // The big tag (its header first, at 1024) needs branch pages above its leaves.
        const std::uint32_t root = qFromLittleEndian<quint32>(file.constData() + 1024);
        QCOMPARE(qFromLittleEndian<quint16>(file.constData() + root) & 0x02, 0);

        const IndexContents read = readCdx(file, QStringLiteral("staff.cdx"), typesOf(written));
        compareContents(read, written);

        // Tags alone: the same definitions, no keys.
        const IndexContents tagsOnly = readCdx(file, QStringLiteral("staff.cdx"), typesOf(written), false);
        QCOMPARE(tagsOnly.tags.size(), written.tags.size());
        QVERIFY(tagsOnly.keys.empty());
        QCOMPARE(tagsOnly.tags[1].forExpression, written.tags[1].forExpression);

        // Without a type every key reads as character bytes, a number's
        // trailing zero bytes as spaces; the entries are all there.
        const IndexContents raw = readCdx(file, QStringLiteral("staff.cdx"));
        QCOMPARE(raw.tags[0].type, KeyType::Character);
        QCOMPARE(raw.keys[0].keys, written.keys[0].keys);
        QCOMPARE(raw.tags[1].type, KeyType::Character);
        QCOMPARE(raw.keys[1].records, written.keys[1].records);
    } catch (const EngineError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestIndexFoxPro::singleRoundTrip_data()
{
    QTest::addColumn<bool>("compact");
    QTest::addColumn<char>("type");
    for (bool compact : { true, false })
        for (char type : { 'C', 'N', 'D' })
            QTest::addRow("%s %c", compact ? "compact" : "older", type) << compact << type;
}

void TestIndexFoxPro::singleRoundTrip()
{
    try {
        QFETCH(bool, compact);
        QFETCH(char, type);
        Built b = type == 'C' ? names(QStringLiteral("x"), 4000, 30, 3)
            : type == 'N'     ? numbers(QStringLiteral("x"), 4000, 5)
                              : dates(QStringLiteral("x"), 4000, 9);
        b.tag.name = QStringLiteral("CUSTNO");
        b.tag.forExpression = QStringLiteral("!DELETED()");
        const IndexContents written = contentsOf({ b });
        const QByteArray file = writeIdx(written, {}, compact);
        QCOMPARE(std::uint8_t(file[14]) & 0x20, compact ? 0x20 : 0);
        const IndexContents read = readIdx(file, QStringLiteral("/data/custno.idx"), typesOf(written));
        compareContents(read, written);
    } catch (const EngineError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestIndexFoxPro::peerReadsOurFiles_data()
{
    QTest::addColumn<QString>("kind"); // "cdx", "compact", "older"
    QTest::addRow("compound") << QStringLiteral("cdx");
    QTest::addRow("compact single") << QStringLiteral("compact");
    QTest::addRow("older single") << QStringLiteral("older");
}

void TestIndexFoxPro::peerReadsOurFiles()
{
    try {
        QFETCH(QString, kind);
        if (!havePeer())
            QSKIP("perl with XBase::Index is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::vector<IndexContents> singles;
        IndexContents compound;
        if (kind == QLatin1String("cdx")) {
            compound = compoundSample();
            const QString path = writeTemp(dir, QStringLiteral("staff.cdx"), writeCdx(compound, {}));
            QVERIFY(!path.isEmpty());
            for (std::size_t i = 0; i < compound.tags.size(); ++i) {
                const TagDef &tag = compound.tags[i];
                // Dates are checked as their Julian day numbers: the peer's date
                // display needs a module Debian does not ship with it.
                const QString type
                    = tag.type == KeyType::Character ? QStringLiteral("char") : QStringLiteral("num");
                const QStringList peer = peerDump(path, tag.name.toUpper(), type, false);
                qInfo("tag %s: %lld entries", qPrintable(tag.name), qlonglong(peer.size()));
                compareWithPeer(peer, tag, compound.keys[i]);
                if (QTest::currentTestFailed())
                    return;
            }
            return;
        }
        const bool compact = kind == QLatin1String("compact");
        for (const Built &b :
             { names(QStringLiteral("NAME"), 3000, 20, 21), numbers(QStringLiteral("AMOUNT"), 3000, 22),
               dates(QStringLiteral("HIRED"), 3000, 23) }) {
            const QString path = writeTemp(dir, b.tag.name + QStringLiteral(".idx"),
                                           writeIdx(contentsOf({ b }), {}, compact));
            QVERIFY(!path.isEmpty());
            const QString type
                = b.tag.type == KeyType::Character ? QStringLiteral("char") : QStringLiteral("num");
            compareWithPeer(peerDump(path, QString(), type, compact), b.tag, b.keys);
            if (QTest::currentTestFailed())
                return;
        }
    } catch (const EngineError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestIndexFoxPro::handBuiltFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addRow("compound, two tags") << QStringLiteral("rooms.cdx");
    QTest::addRow("compact single") << QStringLiteral("roomsc.idx");
    QTest::addRow("older single") << QStringLiteral("rooms.idx");
}

void TestIndexFoxPro::handBuiltFiles()
{
    try {
        QFETCH(QString, file);
        const QByteArray bytes = readFixture(file);
        QVERIFY2(!bytes.isEmpty(), qPrintable(file));
        const bool compound = file.endsWith(QLatin1String(".cdx"));
        const IndexContents read = compound ? readCdx(bytes, file) : readIdx(bytes, file);
        QCOMPARE(read.tags.size(), std::size_t(compound ? 2 : 1));
        const TagDef &rooms = read.tags[0];
        QCOMPARE(rooms.name,
                 compound ? QStringLiteral("ROOMNAME") : QFileInfo(file).completeBaseName().toUpper());
        QCOMPARE(rooms.expression, QStringLiteral("roomname"));
        QCOMPARE(rooms.forExpression, QString());
        QCOMPARE(rooms.keyLength, 20);
        QCOMPARE(read.keys[0].keys, roomKeys(false).keys);
        QCOMPARE(read.keys[0].records, roomKeys(false).records);
        if (compound) {
            const TagDef &audio = read.tags[1];
            QCOMPARE(audio.name, QStringLiteral("AUDIO"));
            QCOMPARE(audio.expression, QStringLiteral("facility"));
            QCOMPARE(audio.forExpression, QStringLiteral("TRIM(UPPER(facility))==\"AUDIO\""));
            QCOMPARE(read.keys[1].keys, roomKeys(true).keys);
            QCOMPARE(read.keys[1].records, roomKeys(true).records);
        }

        // The independent reader agrees with the same file.
        if (!havePeer())
            QSKIP("perl with XBase::Index is not installed");
        const bool compactSingle = file == QLatin1String("roomsc.idx");
        for (std::size_t i = 0; i < read.tags.size(); ++i)
            compareWithPeer(peerDump(kFixtures + file, compound ? read.tags[i].name : QString(),
                                     QStringLiteral("char"), compactSingle),
                            read.tags[i], read.keys[i]);
    } catch (const EngineError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

// Numeric keys in a compact .idx (make_foxpro.py's AMOUNTS), their zeros
// cut off as trailing bytes, read as numbers in order: -0.0 is zero.
void TestIndexFoxPro::handBuiltNumbers()
{
    const QByteArray bytes = readFixture(QStringLiteral("amounts.idx"));
    QVERIFY(!bytes.isEmpty());
    const KeyTypeOf numeric = [](const TagDef &) { return KeyType::Numeric; };
    try {
        const IndexContents read = readIdx(bytes, QStringLiteral("amounts.idx"), numeric);
        QCOMPARE(read.tags.size(), std::size_t(1));
        QCOMPARE(read.tags[0].name, QStringLiteral("AMOUNTS"));
        QCOMPARE(read.tags[0].type, KeyType::Numeric);
        const KeyList &keys = read.keys[0];
        const double values[] = { -12.5, -1, 0, 0, 0, 3.25, 100, 1e6 };
        const std::uint32_t records[] = { 2, 5, 3, 6, 8, 1, 4, 7 };
        QCOMPARE(keys.size(), qsizetype(8));
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(numberFromSortKey(keys.key(i)), values[i]);
            QCOMPARE(keys.records[i], records[i]);
        }
        if (!havePeer())
            QSKIP("perl with XBase::Index is not installed");
        compareWithPeer(
            peerDump(kFixtures + QStringLiteral("amounts.idx"), QString(), QStringLiteral("num"), true),
            read.tags[0], keys);
    } catch (const EngineError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestIndexFoxPro::collationIsFlagged()
{
    try {
        Built b = names(QStringLiteral("NAME"), 50, 10, 1);
        b.tag.collation = QStringLiteral("GENERAL");
        Built machine = names(QStringLiteral("CITY"), 50, 10, 2);
        machine.tag.collation = QStringLiteral("MACHINE");
        const QByteArray file = writeCdx(contentsOf({ b, machine }), {});
        const IndexContents read = readCdx(file, QStringLiteral("t.cdx"));
        QCOMPARE(read.tags[0].collation, QStringLiteral("GENERAL"));
        QCOMPARE(read.tags[1].collation, QString()); // byte order by name
        QCOMPARE(read.keys[0].keys, b.keys.keys);
    } catch (const EngineError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestIndexFoxPro::writerRefuses_data()
{
    QTest::addColumn<int>("fault");
    QTest::addRow("tag name longer than 10") << 0;
    QTest::addRow("two tags of one name") << 1;
    QTest::addRow("key longer than 240") << 2;
    QTest::addRow("older single index, descending") << 3;
    QTest::addRow("keys of another length than the tag's") << 4;
}

void TestIndexFoxPro::writerRefuses()
{
    QFETCH(int, fault);
    Built a = names(QStringLiteral("NAME"), 20, 10, 1);
    Built b = names(QStringLiteral("CITY"), 20, 10, 2);
    switch (fault) {
    case 0:
        a.tag.name = QStringLiteral("LONGTAGNAME");
        break;
    case 1:
        b.tag.name = QStringLiteral("name");
        break;
    case 2:
        a = names(QStringLiteral("NAME"), 20, 241, 1);
        break;
    case 3:
        a.tag.descending = true;
        break;
    case 4:
        a.tag.keyLength = 12;
        break;
    }
    try {
        if (fault == 3)
            (void)writeIdx(contentsOf({ a }), { QStringLiteral("CUSTOMER"), {} }, false);
        else
            (void)writeCdx(contentsOf({ a, b }), { QStringLiteral("CUSTOMER"), {} });
        QFAIL("the writer took a tag it cannot hold");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(QLatin1String("CUSTOMER.")), qPrintable(e.message()));
    }
}

void TestIndexFoxPro::damagedFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("at"); // -1: cut the file to `value` bytes
    QTest::addColumn<int>("width"); // bytes written at `at` (little-endian)
    QTest::addColumn<qint64>("value");

    // rooms.cdx: directory header 0, ROOMNAME header 1024, its leaves 2048
    // and 2560 under the branch root 3072, AUDIO header 3584 with its root
    // leaf 4608, directory leaf 5120.
    const QString cdx = QStringLiteral("rooms.cdx");
    QTest::addRow("cdx truncated in a leaf") << cdx << -1 << 0 << qint64(2300);
    QTest::addRow("cdx shorter than its header") << cdx << -1 << 0 << qint64(700);
    QTest::addRow("cdx directory root past the end") << cdx << 0 << 4 << qint64(1 << 20);
    QTest::addRow("cdx tag root past the end") << cdx << 1024 << 4 << qint64(6144);
    QTest::addRow("cdx tag root unaligned into the header") << cdx << 1024 << 4 << qint64(1030);
    QTest::addRow("cdx sibling cycle") << cdx << 2560 + 8 << 4 << qint64(2048);
    QTest::addRow("cdx sibling skips a leaf") << cdx << 2048 + 8 << 4 << qint64(0xFFFFFFFF);
    QTest::addRow("cdx branch points at itself") << cdx << 3072 + 12 + 20 + 4 << 4 << qint64(0x000C0000);
    QTest::addRow("cdx leaf of 0 bytes per entry") << cdx << 2048 + 23 << 1 << qint64(0);
    QTest::addRow("cdx leaf of 200 bytes per entry") << cdx << 2048 + 23 << 1 << qint64(200);
    QTest::addRow("cdx leaf bits beyond its entries") << cdx << 2048 + 20 << 1 << qint64(30);
    QTest::addRow("cdx absurd dup and trail masks") << cdx << 2048 + 18 << 2 << qint64(0xFFFF);
    QTest::addRow("cdx leaf entry count past the page") << cdx << 2048 + 2 << 2 << qint64(400);
    QTest::addRow("cdx key length 0") << cdx << 1024 + 12 << 2 << qint64(0);
    QTest::addRow("cdx key length 5000") << cdx << 1024 + 12 << 2 << qint64(5000);
    QTest::addRow("cdx tag header past the end") << cdx << 5120 + 24 << 3 << qint64(0x50FE00);
    QTest::addRow("cdx expression outside the pool") << cdx << 1024 + 508 << 2 << qint64(600);
    QTest::addRow("cdx branch root marked as a leaf") << cdx << 3072 << 2 << qint64(3);

    // rooms.idx: header 0, leaves 512 and 1024, root 1536 (20-byte keys).
    const QString idx = QStringLiteral("rooms.idx");
    QTest::addRow("idx truncated") << idx << -1 << 0 << qint64(1500);
    QTest::addRow("idx root past the end") << idx << 0 << 4 << qint64(4096);
    QTest::addRow("idx sibling cycle") << idx << 1024 + 8 << 4 << qint64(512);
    QTest::addRow("idx branch points at itself") << idx << 1536 + 12 + 20 << 4 << qint64(0x00060000);
    QTest::addRow("idx entry count past the page") << idx << 512 + 2 << 2 << qint64(30);
    QTest::addRow("idx key length 0") << idx << 12 << 2 << qint64(0);
    QTest::addRow("idx key length 1000") << idx << 12 << 2 << qint64(1000);
    QTest::addRow("idx record 0") << idx << 512 + 12 + 20 << 4 << qint64(0);

    const QString compact = QStringLiteral("roomsc.idx");
    QTest::addRow("compact idx truncated") << compact << -1 << 0 << qint64(1800);
    QTest::addRow("compact idx sibling cycle") << compact << 1536 + 8 << 4 << qint64(1024);
    QTest::addRow("compact idx shared prefix on a leaf's first key")
        << compact << 1024 + 24 + 1 << 1 << qint64(0x40);
}

void TestIndexFoxPro::damagedFiles()
{
    QFETCH(QString, file);
    QFETCH(int, at);
    QFETCH(int, width);
    QFETCH(qint64, value);
    QByteArray bytes = readFixture(file);
    QVERIFY(!bytes.isEmpty());
    if (at < 0)
        bytes.truncate(value);
    else
        for (int i = 0; i < width; ++i)
            bytes[at + i] = char(quint64(value) >> (8 * i));
    const QString path = QStringLiteral("/data/") + file;
    try {
        if (file.endsWith(QLatin1String(".cdx")))
            (void)readCdx(bytes, path);
        else
            (void)readIdx(bytes, path);
        QFAIL("a damaged file read without complaint");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(path + QStringLiteral(": ")), qPrintable(e.message()));
        qInfo("%s", qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestIndexFoxPro)
#include "tst_index_foxpro.moc"
