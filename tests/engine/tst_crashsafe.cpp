// Kills a program in the middle of its saves, many times at random moments,
// and checks that the file it was saving is always one whole version: the
// one before the interrupted save or the one it was writing, never a mixture
// or a broken file, and that no leftover file can be taken for a table.
#include "engine/ClientDataSet.h"
#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/index/IndexFormats.h"

#include "../helpers/save_loop.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace qvx;

namespace {

// The last "saved N" line the program printed, or -1.
int lastSavedVersion(const QByteArray &output)
{
    int last = -1;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("saved "))
            last = line.mid(6).toInt();
    }
    return last;
}

// Checks the records of an open data set against the versions the saver
// writes. Returns the version found, or -1 with `why` set. With `whole` the
// data set must hold all of that version's records; otherwise a leading part
// of them is accepted (a table being refilled record by record).
int checkVersion(DataSet &ds, bool whole, QString *why)
{
    if (ds.fieldCount() != 4) {
        *why = QStringLiteral("%1 fields instead of 4").arg(ds.fieldCount());
        return -1;
    }
    const qint64 count = ds.recordCount();
    if (count == 0) {
        if (whole)
            *why = QStringLiteral("no records");
        return whole ? -1 : 0;
    }
    ds.first();
    const int version = int(ds.integer(0));
    if (version <= 0) {
        *why = QStringLiteral("record 1 has version %1").arg(version);
        return -1;
    }
    if (count > saveloop::rowsFor(version) || (whole && count != saveloop::rowsFor(version))) {
        *why = QStringLiteral("%1 records for version %2, which has %3")
                   .arg(count)
                   .arg(version)
                   .arg(saveloop::rowsFor(version));
        return -1;
    }
    for (int i = 0; i < count; ++i, ds.next()) {
        const QString at = QStringLiteral("record %1: ").arg(i + 1);
        if (ds.integer(0) != version || ds.integer(1) != i) {
            *why = at
                + QStringLiteral("VER %1 SEQ %2 in version %3")
                      .arg(ds.integer(0))
                      .arg(ds.integer(1))
                      .arg(version);
            return -1;
        }
        if (ds.text(2) != saveloop::expectedText(version, i)) {
            *why = at + QStringLiteral("TEXT is '%1'").arg(ds.text(2));
            return -1;
        }
        if (ds.text(3) != saveloop::expectedMemo(version, i)) {
            *why = at + QStringLiteral("NOTE differs (%1 characters)").arg(ds.text(3).size());
            return -1;
        }
    }
    return version;
}

// Files in dir that a user or a table listing could take for a table: any
// name other than the table's own files that ends in a table or memo
// extension, or any visible file at all.
QStringList strayFiles(const QString &dir, const QStringList &own, QStringList *hidden)
{
    static const QStringList tableSuffixes
        = { "dbf", "dbt", "fpt", "cdx", "mdx", "ndx", "xml", "cds", "db", "mb", "px", "txt" };
    QStringList stray;
    const QFileInfoList entries
        = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : entries) {
        const QString name = info.fileName();
        if (own.contains(name))
            continue;
        if (name.startsWith(u'.') && !tableSuffixes.contains(info.suffix().toLower()))
            hidden->append(name);
        else
            stray.append(name);
    }
    return stray;
}

// Checks a table's production index (tags SEQ and TEXT) against its
// records, once the table was opened for writing (which rebuilds an index
// a killed change left behind). Empty when they agree.
QString checkIndex(const QString &dir)
{
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(QStringLiteral("data.dbf"));
    table.open();
    // Killed between a record's write and the header's count: the table
    // keeps itself read-only, and its indexes wait for it to be mended.
    if (table.isReadOnly() && table.readOnlyReason().contains(QLatin1String("the header says")))
        return QString();
    if (table.isReadOnly())
        return QStringLiteral("the table opened read-only: ") + table.readOnlyReason();
    // Killed between making the table anew and adding its first tag (or
    // removing the old table's index): the table names no index, and a
    // data.mdx beside it is not its own.
    QFile dbf(dir + QStringLiteral("/data.dbf"));
    if (!dbf.open(QIODevice::ReadOnly))
        return QStringLiteral("no data.dbf");
    const bool flagged = (std::uint8_t(dbf.read(29).at(28)) & 0x01) != 0;
    QFile f(dir + QStringLiteral("/data.mdx"));
    if (!flagged)
        return QString();
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("no data.mdx, though the table says it has one");
    const index::IndexContents contents = index::readIndex(
        index::IndexKind::Mdx, f.readAll(), QStringLiteral("data.mdx"),
        [](const index::TagDef &tag) {
            return tag.name == QLatin1String("SEQ") ? index::KeyType::Numeric : index::KeyType::Character;
        },
        true);
    const qint64 count = table.recordCount();
    for (std::size_t t = 0; t < contents.tags.size(); ++t) {
        const index::KeyList &keys = contents.keys[t];
        if (keys.size() != count)
            return QStringLiteral("tag %1 has %2 keys for %3 records")
                .arg(contents.tags[t].name)
                .arg(keys.size())
                .arg(count);
        QString previous;
        for (qsizetype k = 0; k < keys.size(); ++k) {
            table.setRecNo(keys.records[std::size_t(k)]);
            if (contents.tags[t].name == QLatin1String("SEQ")
                && keys.records[std::size_t(k)] != std::uint32_t(k + 1))
                return QStringLiteral("tag SEQ has record %1 in place %2")
                    .arg(keys.records[std::size_t(k)])
                    .arg(k + 1);
            if (contents.tags[t].name == QLatin1String("TEXT")) {
                if (table.text(2) < previous)
                    return QStringLiteral("tag TEXT is out of order at record %1")
                        .arg(keys.records[std::size_t(k)]);
                previous = table.text(2);
            }
        }
    }
    // One tag when killed between adding the first and the second.
    return contents.tags.empty() ? QStringLiteral("no tags") : QString();
}

} // namespace

class TestCrashSafe : public QObject {
    Q_OBJECT

private slots:
    void killDuringSaves_data();
    void killDuringSaves();
};

void TestCrashSafe::killDuringSaves_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("ownFiles");
    QTest::addColumn<bool>("isTable");

    QTest::newRow("XML packet") << "xml" << QStringList { "data.xml" } << false;
    QTest::newRow("binary packet") << "cds" << QStringList { "data.cds" } << false;
    QTest::newRow("dBASE III+ with .dbt") << "dbase" << QStringList { "data.dbf", "data.dbt" } << true;
    QTest::newRow("Visual FoxPro with .fpt") << "foxpro" << QStringList { "data.dbf", "data.fpt" } << true;
    QTest::newRow("dBASE IV with a production index")
        << "dbase-mdx" << QStringList { "data.dbf", "data.dbt", "data.mdx" } << true;
}

void TestCrashSafe::killDuringSaves()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, ownFiles);
    QFETCH(bool, isTable);

    const QString helper = QStringLiteral(QVX_SAVE_LOOP);
    QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper + " is not built"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The saver's notes that an index is being written go to a data folder
    // of the test's own.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("random seed %u", seed);
    QRandomGenerator random(seed);

    constexpr int kills = 30;
    int nextVersion = 1;
    int partialTables = 0;
    QStringList leftovers;
    QStringList faults;
    for (int round = 0; round < kills; ++round) {
        QProcess saver;
        saver.setProcessChannelMode(QProcess::SeparateChannels);
        saver.start(helper, { mode, dir.path(), QString::number(nextVersion) });
        QVERIFY2(saver.waitForStarted(), qPrintable(saver.errorString()));
        // Wait for one whole save, so that there is an old version to keep.
        QByteArray output;
        while (lastSavedVersion(output) < 0) {
            if (!saver.waitForReadyRead(20000)) {
                saver.kill();
                saver.waitForFinished();
                QFAIL(qPrintable(QStringLiteral("round %1: no save finished; stderr: %2")
                                     .arg(round)
                                     .arg(QString::fromLocal8Bit(saver.readAllStandardError()))));
            }
            output += saver.readAllStandardOutput();
        }
        QTest::qSleep(int(random.bounded(1, 120)));
        saver.kill(); // SIGKILL: no handler, no cleanup
        QVERIFY(saver.waitForFinished(10000));
        output += saver.readAllStandardOutput();
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        const int saved = lastSavedVersion(output);
        const QString context = QStringLiteral("round %1, last whole save v%2").arg(round).arg(saved);
        QString why;
        int found = -1;
        bool whole = true;
        try {
            if (isTable) {
                Table table;
                table.setDatabaseName(dir.path());
                table.setTableName(QStringLiteral("data.dbf"));
                table.setReadOnly(true);
                table.open();
                // A table is refilled record by record after it is recreated
                // or emptied, so a leading part of the next version is whole
                // as far as the file goes.
                found = checkVersion(table, false, &why);
                whole = found > 0 && table.recordCount() == saveloop::rowsFor(found);
                if (found == 0)
                    found = saved + 1; // empty: the next version had just started
            } else {
                ClientDataSet cds;
                cds.loadFromFile(dir.filePath(ownFiles.first()));
                found = checkVersion(cds, true, &why);
            }
        } catch (const EngineError &e) {
            why = e.message();
        }
        if (found > 0 && why.isEmpty() && mode == QLatin1String("dbase-mdx")) {
            try {
                why = checkIndex(dir.path());
            } catch (const EngineError &e) {
                why = e.message();
            }
            if (!why.isEmpty())
                found = -1;
        }
        // Every kill is looked at, so that the report says how often a
        // save was caught in a bad state, not only the first time.
        if (found <= 0)
            faults << context + QStringLiteral(": ") + why;
        else if (found != saved && found != saved + 1)
            faults << context + QStringLiteral(": found v%1").arg(found);
        else if (!whole && found != saved + 1)
            faults << context + QStringLiteral(": v%1 is only partly there").arg(found);
        else if (!whole)
            ++partialTables;

        QStringList hidden;
        const QStringList stray = strayFiles(dir.path(), ownFiles, &hidden);
        if (!stray.isEmpty())
            faults << context + QStringLiteral(": stray files ") + stray.join(u' ');
        for (const QString &name : std::as_const(hidden)) {
            if (!leftovers.contains(name))
                leftovers.append(name);
        }
        nextVersion = saved + 2;
    }
    if (isTable)
        qInfo("%d of %d kills left the next version partly refilled", partialTables, kills);
    qInfo("hidden temporary files left by killed saves: %lld %s", qlonglong(leftovers.size()),
          qPrintable(leftovers.join(u' ')));
    QVERIFY2(faults.isEmpty(),
             qPrintable(QStringLiteral("%1 of %2 kills left a bad file:\n").arg(faults.size()).arg(kills)
                        + faults.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestCrashSafe)
#include "tst_crashsafe.moc"
