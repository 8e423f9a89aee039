// The engine session: aliases kept in and read from the configuration file,
// the configuration mode, table listings, drivers and sections, malformed
// configuration files, the private folder, and tables opened by alias.
#include "engine/Database.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "fuzz/fuzz_config.h"
#include "fuzz_replay.h"

using namespace qvx;

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aliasesSurviveSaveAndReopen();
    void reopenRereadsTheFile();
    void addAliasWhileClosed();
    void addAliasRefuses_data();
    void addAliasRefuses();
    void configModeSelectsAliases_data();
    void configModeSelectsAliases();
    void savedSessionAliasesBecomePersistent();
    void tableNamesFilter_data();
    void tableNamesFilter();
    void tableNamesOfAliasFolders();
    void driversAndSections();
    void malformedConfig_data();
    void malformedConfig();
    void acceptedConfigVariants();
    void unreadableConfig();
    void privateDirectory();
    void tableOpensByAlias();
    void aliasResolutionErrors_data();
    void aliasResolutionErrors();
    void databaseConnection();
    void configFuzzInputs_data();
    void configFuzzInputs();

private:
    QString configPath() const { return m_config->path() + QLatin1String("/quorvex/engine.conf"); }
    void writeConfigText(const QByteArray &text);
    QString makeDbf(const QString &dir, const QString &name);

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<QTemporaryDir> m_cache;
    std::unique_ptr<QTemporaryDir> m_data;
};

void TestSession::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    m_cache = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid() && m_cache->isValid() && m_data->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache->path()));
}

void TestSession::cleanup()
{
    Session::setDefaultSession(nullptr);
}

void TestSession::writeConfigText(const QByteArray &text)
{
    QVERIFY(QDir().mkpath(QFileInfo(configPath()).absolutePath()));
    QFile f(configPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QString TestSession::makeDbf(const QString &dir, const QString &name)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(name);
    t.addFieldDef(QStringLiteral("NAME"), FieldType::String, 10);
    t.addFieldDef(QStringLiteral("QTY"), FieldType::Integer, 5);
    t.createTable();
    return t.filePath();
}

void TestSession::aliasesSurviveSaveAndReopen()
{
    {
        Session s;
        QVERIFY(s.configWarning().isEmpty());
        QVERIFY(s.aliasNames().isEmpty());
        s.addAlias(QStringLiteral("Shop"), QStringLiteral("dbase"), { QStringLiteral(" PATH = /srv/shop ") });
        s.addStandardAlias(QStringLiteral("Work"), m_data->path(), QStringLiteral("DBASE"));
        s.addAlias(QStringLiteral("Gone"), QStringLiteral("STANDARD"), {});
        s.addVirtualAlias(QStringLiteral("SAMPLES"), QStringLiteral("STANDARD"),
                          { QLatin1String("PATH=") + m_data->path() });
        s.deleteAlias(QStringLiteral("gone"));
        s.saveConfigFile();
    }
    QVERIFY(QFile::exists(configPath()));
    const QStringList leftovers
        = QDir(QFileInfo(configPath()).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(leftovers, QStringList { QStringLiteral("engine.conf") });

    Session s;
    QVERIFY2(s.configWarning().isEmpty(), qPrintable(s.configWarning()));
    QCOMPARE(s.aliasNames(), QStringList({ QStringLiteral("Shop"), QStringLiteral("Work") }));
    QVERIFY(s.isAlias(QStringLiteral("SHOP")));
    QVERIFY(!s.isAlias(QStringLiteral("Gone")));
    QVERIFY(!s.isAlias(QStringLiteral("SAMPLES"))); // virtual aliases are not saved
    QCOMPARE(s.aliasDriverName(QStringLiteral("shop")), QStringLiteral("DBASE"));
    QCOMPARE(s.aliasParams(QStringLiteral("Shop")),
             QStringList({ QStringLiteral("TYPE=FILE"), QStringLiteral("LEVEL=4"),
                           QStringLiteral("PATH=/srv/shop") }));
    QCOMPARE(s.aliasDriverName(QStringLiteral("Work")), QStringLiteral("STANDARD"));
    QCOMPARE(s.aliasParams(QStringLiteral("Work")),
             QStringList({ QLatin1String("PATH=") + m_data->path(), QStringLiteral("DEFAULT DRIVER=DBASE"),
                           QStringLiteral("ENABLE BCD=FALSE") }));

    // Deleting and saving again removes it from the file.
    s.deleteAlias(QStringLiteral("Shop"));
    s.saveConfigFile();
    Session again;
    QCOMPARE(again.aliasNames(), QStringList { QStringLiteral("Work") });
    QVERIFY_THROWS_EXCEPTION(EngineError, again.deleteAlias(QStringLiteral("Shop")));
    QVERIFY_THROWS_EXCEPTION(EngineError, again.aliasDriverName(QStringLiteral("Shop")));
}

void TestSession::reopenRereadsTheFile()
{
    Session s;
    s.addAlias(QStringLiteral("Added"), QStringLiteral("STANDARD"), {});
    s.addVirtualAlias(QStringLiteral("SAMPLES"), QStringLiteral("STANDARD"), {});
    writeConfigText("[ALIAS Outside]\nDRIVER=STANDARD\nPATH=/tmp\n");
    QCOMPARE(s.aliasNames(), QStringList({ QStringLiteral("Added"), QStringLiteral("SAMPLES") }));

    s.close();
    QVERIFY(!s.isOpen());
    s.open();
    QVERIFY(s.isOpen());
    // The file's aliases come first; this run's unsaved and virtual ones stay.
    QCOMPARE(s.aliasNames(),
             QStringList({ QStringLiteral("Outside"), QStringLiteral("Added"), QStringLiteral("SAMPLES") }));

    // A persistent alias deleted in this run stays deleted when the file is
    // read again, until a save writes the deletion; the file is untouched.
    const QByteArray file = [] {
        QFile f(Session::configFilePath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    s.deleteAlias(QStringLiteral("Outside"));
    s.close();
    QVERIFY(!s.isAlias(QStringLiteral("Outside"))); // a query opens it again
    QVERIFY(s.isOpen());
    QCOMPARE(s.aliasNames(), QStringList({ QStringLiteral("Added"), QStringLiteral("SAMPLES") }));
    QFile f(Session::configFilePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), file);
    // Deleted and added again under the same name: this run's alias stands.
    s.addAlias(QStringLiteral("Outside"), QStringLiteral("DBASE"), {});
    s.close();
    s.open();
    QCOMPARE(s.aliasDriverName(QStringLiteral("Outside")), QStringLiteral("DBASE"));
    // Saved, the deletion is in the file and a new session agrees.
    s.deleteAlias(QStringLiteral("Outside"));
    s.saveConfigFile();
    Session fresh;
    QVERIFY(!fresh.isAlias(QStringLiteral("Outside")));
    QVERIFY(fresh.isAlias(QStringLiteral("Added")));
}

void TestSession::addAliasWhileClosed()
{
    // The alias manager closes the session, adds, saves and opens again.
    writeConfigText("[ALIAS Old]\nDRIVER=STANDARD\n");
    Session s;
    s.close();
    s.setConfigMode(Session::AllAliases);
    s.addAlias(QStringLiteral("New"), QStringLiteral("DBASE"), {});
    s.saveConfigFile();
    s.open();
    QCOMPARE(s.aliasNames(), QStringList({ QStringLiteral("Old"), QStringLiteral("New") }));
    s.setConfigMode(Session::PersistentAliases);
    QCOMPARE(s.aliasNames(), QStringList({ QStringLiteral("Old"), QStringLiteral("New") }));
}

void TestSession::addAliasRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty name") << ""
                                << "STANDARD" << QStringList() << "needs a name";
    QTest::newRow("blank name") << "  "
                                << "STANDARD" << QStringList() << "needs a name";
    QTest::newRow("taken, other case") << "taken"
                                       << "STANDARD" << QStringList() << "already exists";
    QTest::newRow("slash in name") << "a/b"
                                   << "STANDARD" << QStringList() << "may not contain";
    QTest::newRow("bracket in name") << "a]"
                                     << "STANDARD" << QStringList() << "may not contain";
    QTest::newRow("unknown driver") << "New"
                                    << "ORACLE" << QStringList() << "Unknown driver \"ORACLE\"";
    QTest::newRow("empty driver") << "New"
                                  << "" << QStringList() << "Unknown driver";
    QTest::newRow("param without =") << "New"
                                     << "STANDARD" << QStringList { "PATH" } << "name=value";
    QTest::newRow("param without name") << "New"
                                        << "STANDARD" << QStringList { "=x" } << "no name";
    QTest::newRow("driver as param") << "New"
                                     << "STANDARD" << QStringList { "DRIVER=DBASE" } << "driver";
    QTest::newRow("comment-like param") << "New"
                                        << "STANDARD" << QStringList { "#PATH=x" } << "may not begin";
    QTest::newRow("newline in value") << "New"
                                      << "STANDARD" << QStringList { "PATH=a\nb" } << "control";
}

void TestSession::addAliasRefuses()
{
    QFETCH(QString, name);
    QFETCH(QString, driver);
    QFETCH(QStringList, params);
    QFETCH(QString, message);
    Session s;
    s.addAlias(QStringLiteral("TAKEN"), QStringLiteral("STANDARD"), {});
    try {
        s.addAlias(name, driver, params);
        QFAIL("the alias was accepted");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("TAKEN") });
}

void TestSession::configModeSelectsAliases_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("all") << int(Session::AllAliases) << QStringList { "Kept", "Added", "SAMPLES" };
    QTest::newRow("persistent") << int(Session::PersistentAliases) << QStringList { "Kept" };
    QTest::newRow("session") << int(Session::SessionAliases) << QStringList { "Added" };
    QTest::newRow("virtual") << int(Session::VirtualAliases) << QStringList { "SAMPLES" };
    QTest::newRow("persistent+virtual")
        << int(Session::PersistentAliases | Session::VirtualAliases) << QStringList { "Kept", "SAMPLES" };
    QTest::newRow("none") << 0 << QStringList();
}

void TestSession::configModeSelectsAliases()
{
    QFETCH(int, mode);
    QFETCH(QStringList, names);
    writeConfigText("[ALIAS Kept]\nDRIVER=STANDARD\n");
    Session s;
    s.addAlias(QStringLiteral("Added"), QStringLiteral("STANDARD"), {});
    s.addVirtualAlias(QStringLiteral("SAMPLES"), QStringLiteral("STANDARD"), {});
    s.setConfigMode(Session::ConfigMode::fromInt(mode));
    QCOMPARE(int(s.configMode()), mode);
    QCOMPARE(s.aliasNames(), names);
    // Whatever is listed, every alias is still known by name.
    QVERIFY(s.isAlias(QStringLiteral("Kept")) && s.isAlias(QStringLiteral("Added"))
            && s.isAlias(QStringLiteral("samples")));
}

void TestSession::savedSessionAliasesBecomePersistent()
{
    Session s;
    s.addAlias(QStringLiteral("Added"), QStringLiteral("STANDARD"), {});
    s.addVirtualAlias(QStringLiteral("SAMPLES"), QStringLiteral("STANDARD"), {});
    s.saveConfigFile();
    s.setConfigMode(Session::SessionAliases);
    QVERIFY(s.aliasNames().isEmpty());
    s.setConfigMode(Session::PersistentAliases);
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("Added") });
    s.setConfigMode(Session::VirtualAliases);
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("SAMPLES") });
}

void TestSession::tableNamesFilter_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("listed");

    QTest::newRow("dBASE") << "parts.dbf" << true;
    QTest::newRow("Paradox, upper case") << "PARTS.DB" << true;
    QTest::newRow("ASCII") << "parts.txt" << true;
    QTest::newRow("primary index") << "parts.px" << false;
    QTest::newRow("Paradox blobs") << "parts.mb" << false;
    QTest::newRow("dBASE memo") << "parts.dbt" << false;
    QTest::newRow("FoxPro memo") << "parts.fpt" << false;
    QTest::newRow("ASCII schema") << "parts.sch" << false;
    QTest::newRow("dBASE IV index") << "parts.mdx" << false;
    QTest::newRow("FoxPro index") << "parts.cdx" << false;
    QTest::newRow("dBASE III index") << "parts.ndx" << false;
    QTest::newRow("lock file") << "parts.lck" << false;
    QTest::newRow("no extension") << "parts" << false;
    QTest::newRow("hidden table") << ".parts.dbf" << false;
    QTest::newRow("atomic writer's temporary") << ".parts.dbf.qvx-Ab12Cd" << false;
    QTest::newRow("temporary of a db") << ".PARTS.DB.qvx-zzzzzz" << false;
}

void TestSession::tableNamesFilter()
{
    QFETCH(QString, file);
    QFETCH(bool, listed);
    QFile f(m_data->filePath(file));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    Session s;
    s.addStandardAlias(QStringLiteral("D"), m_data->path(), QStringLiteral("PARADOX"));
    QCOMPARE(s.tableNames(QStringLiteral("D")), listed ? QStringList { file } : QStringList());
}

void TestSession::tableNamesOfAliasFolders()
{
    for (const char *name : { "b.dbf", "A.db", "c.TXT", "a.dbt" }) {
        QFile f(m_data->filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(m_data->path()).mkdir(QStringLiteral("folder.dbf")));
    Session s;
    s.addStandardAlias(QStringLiteral("D"), m_data->path() + u'/', QStringLiteral("PARADOX"));
    QCOMPARE(s.tableNames(QStringLiteral("D")),
             QStringList({ QStringLiteral("A.db"), QStringLiteral("b.dbf"), QStringLiteral("c.TXT") }));

    s.addAlias(QStringLiteral("NoPath"), QStringLiteral("STANDARD"), {});
    QVERIFY(s.tableNames(QStringLiteral("NoPath")).isEmpty());

    s.addStandardAlias(QStringLiteral("Missing"), m_data->filePath(QStringLiteral("nowhere")),
                       QStringLiteral("PARADOX"));
    try {
        s.tableNames(QStringLiteral("Missing"));
        QFAIL("a missing folder was listed");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Missing"))
                     && e.message().contains(QStringLiteral("nowhere")),
                 qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, s.tableNames(QStringLiteral("Unknown")));
}

void TestSession::driversAndSections()
{
    QCOMPARE(Session::driverNames().first(), QStringLiteral("STANDARD"));
    QCOMPARE(Session::driverParams(QStringLiteral("STANDARD")),
             QStringList({ QStringLiteral("PATH="), QStringLiteral("DEFAULT DRIVER=PARADOX"),
                           QStringLiteral("ENABLE BCD=FALSE") }));
    for (const QString &driver : Session::driverNames()) {
        const QStringList params = Session::driverParams(driver.toLower());
        QVERIFY(!params.isEmpty());
        for (const QString &p : params)
            QVERIFY2(p.indexOf(u'=') > 0, qPrintable(driver + QLatin1String(": ") + p));
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, Session::driverParams(QStringLiteral("ODBC")));

    for (const char *section : { "\\SYSTEM\\INIT", "\\SYSTEM\\FORMATS\\DATE", "\\system\\formats\\time",
                                 "\\SYSTEM\\FORMATS\\NUMBER" }) {
        const QStringList entries = Session().configSection(QLatin1String(section));
        QVERIFY(entries.size() >= 2);
        for (const QString &e : entries)
            QVERIFY2(e.indexOf(u'=') > 0, qPrintable(e));
    }
    // The dates the engine writes as text are year-month-day with '-'.
    const QStringList date = Session().configSection(QStringLiteral("\\SYSTEM\\FORMATS\\DATE"));
    QVERIFY(date.contains(QStringLiteral("SEPARATOR=-")) && date.contains(QStringLiteral("MODE=2")));
    QVERIFY(Session()
                .configSection(QStringLiteral("\\SYSTEM\\FORMATS\\NUMBER"))
                .contains(QStringLiteral("DECIMALSEPARATOR=.")));
    QVERIFY_THROWS_EXCEPTION(EngineError, Session().configSection(QStringLiteral("\\SYSTEM\\FORMATS")));
    QVERIFY_THROWS_EXCEPTION(EngineError, Session().configSection(QString()));
}

void TestSession::malformedConfig_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");

    // Each file starts with a good alias, which must not be used either.
    const QByteArray good = "# kept aliases\n[ALIAS Good]\nDRIVER=STANDARD\nPATH=/tmp\n\n";
    QTest::newRow("entry before any section") << QByteArray("PATH=/tmp\n") << 1 << "before any";
    QTest::newRow("not name=value") << good + "nonsense\n" << 6 << "name=value";
    QTest::newRow("unterminated header") << good + "[ALIAS Bad\n" << 6 << "does not end";
    QTest::newRow("unknown section") << good + "[DRIVER STANDARD]\n" << 6 << "unknown section";
    QTest::newRow("alias without name") << good + "[ALIAS ]\nDRIVER=STANDARD\n" << 6 << "needs a name";
    QTest::newRow("alias name with slash") << good + "[ALIAS a/b]\nDRIVER=STANDARD\n"
                                           << 6 << "may not contain";
    QTest::newRow("alias twice") << good + "[alias GOOD]\nDRIVER=STANDARD\n" << 6 << "defined twice";
    QTest::newRow("no driver") << good + "[ALIAS Bad]\nPATH=/x\n" << 6 << "names no DRIVER";
    QTest::newRow("no driver, last alias") << QByteArray("[ALIAS Bad]\n") << 1 << "names no DRIVER";
    QTest::newRow("driver twice") << good + "DRIVER=DBASE\n" << 6 << "DRIVER twice";
    QTest::newRow("empty driver") << good + "[ALIAS Bad]\nDRIVER=\n" << 7 << "is empty";
    QTest::newRow("unknown driver") << good + "[ALIAS Bad]\nDRIVER=ORACLE\n" << 7 << "unknown driver";
    QTest::newRow("parameter without name") << good + "=x\n" << 6 << "no name";
    QTest::newRow("parameter twice") << good + "path=/y\n" << 6 << "given twice";
    QTest::newRow("not UTF-8") << good + "TITLE=caf\xe9\n" << 6 << "not UTF-8";
    QTest::newRow("control character") << good + QByteArray("TITLE=a\0b\n", 10) << 6 << "control";
    QTest::newRow("unknown format section") << good + "[FORMATS COLOR]\n" << 6 << "unknown section";
    QTest::newRow("format section twice") << good + "[FORMATS TIME]\n[formats time]\n" << 7 << "given twice";
    QTest::newRow("unknown format entry") << good + "[FORMATS DATE]\nORDER=1\n" << 7 << "has no entry";
    QTest::newRow("format entry twice") << good + "[FORMATS TIME]\nSECONDS=TRUE\nseconds=FALSE\n"
                                        << 8 << "given twice";
    QTest::newRow("date order") << good + "[FORMATS DATE]\nMODE=3\n" << 7 << "must be 0";
    QTest::newRow("flag") << good + "[FORMATS TIME]\nSECONDS=yes\n" << 7 << "TRUE or FALSE";
    QTest::newRow("digit as separator") << good + "[FORMATS DATE]\nSEPARATOR=1\n" << 7 << "one character";
    QTest::newRow("two-character separator") << good + "[FORMATS NUMBER]\nDECIMALSEPARATOR=,,\n"
                                             << 7 << "one character";
    QTest::newRow("same number separators")
        << good + "[FORMATS NUMBER]\nLEADINGZERON=FALSE\nTHOUSANDSEPARATOR=.\n"
        << 8 << "the same character";
    QTest::newRow("CRLF, fault on line 3")
        << QByteArray("[ALIAS A]\r\nDRIVER=STANDARD\r\nx\r\n") << 3 << "name=value";
}

void TestSession::malformedConfig()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, message);
    writeConfigText(text);
    Session s;
    const QString warning = s.configWarning();
    QVERIFY2(warning.startsWith(configPath() + QStringLiteral(": line %1: ").arg(line)), qPrintable(warning));
    QVERIFY2(warning.contains(message), qPrintable(warning));
    // The defaults: no persistent aliases or formats, and the session still works.
    QVERIFY(s.aliasNames().isEmpty());
    QVERIFY(
        s.configSection(QStringLiteral("\\SYSTEM\\FORMATS\\TIME")).contains(QStringLiteral("SECONDS=TRUE")));
    s.addAlias(QStringLiteral("New"), QStringLiteral("STANDARD"), {});
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("New") });
}

void TestSession::acceptedConfigVariants()
{
    // Comments, blank lines, CRLF, a lower-case keyword, spaces around the
    // '=' and a value holding '=' are all fine.
    writeConfigText(
        "; engine\r\n\r\n  [ alias  My Data ]  \r\n  driver = dbase\r\nFILTER = a=b\r\n# end\r\n");
    Session s;
    QVERIFY2(s.configWarning().isEmpty(), qPrintable(s.configWarning()));
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("My Data") });
    QCOMPARE(s.aliasDriverName(QStringLiteral("my data")), QStringLiteral("DBASE"));
    QVERIFY(s.aliasParams(QStringLiteral("My Data")).contains(QStringLiteral("FILTER=a=b")));

    // Too large a file is not read at all.
    writeConfigText(QByteArray(2 << 20, '#'));
    s.close();
    s.open();
    QVERIFY2(s.configWarning().contains(QStringLiteral("larger")), qPrintable(s.configWarning()));
    QVERIFY(s.aliasNames().isEmpty());

    // Saving writes a good file again and clears the warning.
    s.addAlias(QStringLiteral("Fresh"), QStringLiteral("FOXPRO"), {});
    s.saveConfigFile();
    QVERIFY(s.configWarning().isEmpty());
    s.close();
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("Fresh") });
    QVERIFY(s.configWarning().isEmpty());

    // Format sections put their entries over the defaults, in the defaults'
    // order, and saving keeps them.
    writeConfigText("[ALIAS Fresh]\nDRIVER=FOXPRO\n[Formats Date]\nmode = 1\nSEPARATOR=.\n"
                    "[FORMATS NUMBER]\nTHOUSANDSEPARATOR=\n");
    s.close();
    const QStringList date { QStringLiteral("SEPARATOR=."), QStringLiteral("MODE=1"),
                             QStringLiteral("FOURDIGITYEAR=TRUE"), QStringLiteral("LEADINGZEROD=TRUE"),
                             QStringLiteral("LEADINGZEROM=TRUE") };
    QCOMPARE(s.configSection(QStringLiteral("\\system\\formats\\date")), date);
    QVERIFY2(s.configWarning().isEmpty(), qPrintable(s.configWarning()));
    s.addAlias(QStringLiteral("More"), QStringLiteral("DBASE"), {});
    s.saveConfigFile();
    Session again;
    QCOMPARE(again.configSection(QStringLiteral("\\SYSTEM\\FORMATS\\DATE")), date);
    QCOMPARE(again.aliasNames(), (QStringList { QStringLiteral("Fresh"), QStringLiteral("More") }));
}

void TestSession::unreadableConfig()
{
    QVERIFY(QDir().mkpath(configPath())); // a folder where the file should be
    Session s;
    QVERIFY2(s.configWarning().startsWith(configPath() + QLatin1String(": cannot read it")),
             qPrintable(s.configWarning()));
    QVERIFY(s.aliasNames().isEmpty());
    s.addAlias(QStringLiteral("New"), QStringLiteral("STANDARD"), {});
    try {
        s.saveConfigFile();
        QFAIL("saved over a folder");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(configPath()), qPrintable(e.message()));
    }
    // Nothing was saved, so the alias is still one of this session only.
    s.setConfigMode(Session::SessionAliases);
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("New") });
}

void TestSession::privateDirectory()
{
    QString first;
    {
        Session a;
        Session b;
        first = a.privateDirectory();
        QCOMPARE(a.privateDirectory(), first); // made once
        QVERIFY(QFileInfo(first).isDir());
        QVERIFY2(first.startsWith(m_cache->path() + QLatin1String("/quorvex/")), qPrintable(first));
        QVERIFY(b.privateDirectory() != first);
        QFile f(first + QLatin1String("/scratch.dbf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(!QFileInfo::exists(first)); // gone with its session
}

void TestSession::tableOpensByAlias()
{
    makeDbf(m_data->path(), QStringLiteral("parts.dbf"));
    Session s;
    s.addStandardAlias(QStringLiteral("Shop"), m_data->path(), QStringLiteral("DBASE"));

    Table t;
    t.setSession(&s);
    t.setDatabaseName(QStringLiteral("shop"));
    t.setTableName(QStringLiteral("parts.dbf"));
    QCOMPARE(t.filePath(), m_data->filePath(QStringLiteral("parts.dbf")));
    QVERIFY(t.exists());
    t.open();
    QCOMPARE(t.fieldCount(), 2);
    QCOMPARE(t.field(1).name, QStringLiteral("QTY"));
    t.close();

    QCOMPARE(tableFieldNames(s, QStringLiteral("Shop"), QStringLiteral("parts.dbf")),
             QStringList({ QStringLiteral("NAME"), QStringLiteral("QTY") }));
    QVERIFY_THROWS_EXCEPTION(EngineError,
                             tableFieldNames(s, QStringLiteral("Shop"), QStringLiteral("none.dbf")));

    // Without a session of its own a table uses the default one, if any.
    Table d;
    d.setDatabaseName(QStringLiteral("Shop"));
    d.setTableName(QStringLiteral("parts"));
    d.setTableType(Table::DBase);
    QCOMPARE(d.filePath(), QStringLiteral("Shop/parts.dbf")); // no session: a plain folder name
    Session::setDefaultSession(&s);
    QCOMPARE(d.filePath(), m_data->filePath(QStringLiteral("parts.dbf")));
    d.open();
    QCOMPARE(d.fieldCount(), 2);
    d.close();

    // Creating and deleting by alias write into the alias's folder.
    Table n;
    n.setDatabaseName(QStringLiteral("Shop"));
    n.setTableName(QStringLiteral("new.dbf"));
    n.addFieldDef(QStringLiteral("ID"), FieldType::Integer, 4);
    n.createTable();
    QVERIFY(QFileInfo::exists(m_data->filePath(QStringLiteral("new.dbf"))));
    n.deleteTable();
    QVERIFY(!QFileInfo::exists(m_data->filePath(QStringLiteral("new.dbf"))));
}

void TestSession::aliasResolutionErrors_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown alias") << "Nowhere"
                                   << "Nowhere is neither an alias nor a folder";
    QTest::newRow("unknown alias with /") << "Nowhere/"
                                          << "Nowhere is neither an alias nor a folder";
    QTest::newRow("alias of a missing folder") << "Lost"
                                               << "its folder";
    QTest::newRow("alias without a path") << "Empty"
                                          << "names no folder";
}

void TestSession::aliasResolutionErrors()
{
    QFETCH(QString, database);
    QFETCH(QString, message);
    Session s;
    s.addStandardAlias(QStringLiteral("Lost"), m_data->filePath(QStringLiteral("gone")),
                       QStringLiteral("DBASE"));
    s.addAlias(QStringLiteral("Empty"), QStringLiteral("STANDARD"), {});
    Table t;
    t.setSession(&s);
    t.setDatabaseName(database);
    t.setTableName(QStringLiteral("parts.dbf"));
    QVERIFY(!t.exists());
    try {
        t.open();
        QFAIL("the table opened");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    t.addFieldDef(QStringLiteral("ID"), FieldType::Integer, 4);
    QVERIFY_THROWS_EXCEPTION(EngineError, t.createTable());
}

void TestSession::databaseConnection()
{
    Session s;
    s.addStandardAlias(QStringLiteral("Shop"), m_data->path(), QStringLiteral("DBASE"));
    Database db(s, QStringLiteral("Main"));
    QVERIFY_THROWS_EXCEPTION(EngineError, db.open()); // no target yet
    db.setAliasName(QStringLiteral("Shop"));
    db.open();
    QVERIFY(db.isConnected());
    QCOMPARE(db.directory(), m_data->path() + u'/');
    QVERIFY_THROWS_EXCEPTION(EngineError, db.setAliasName(QStringLiteral("Other")));
    db.close();

    db.setAliasName(m_data->path()); // a folder works as well
    db.open();
    QCOMPARE(db.directory(), m_data->path() + u'/');
    db.close();

    db.setAliasName(QStringLiteral("Nowhere"));
    QVERIFY_THROWS_EXCEPTION(EngineError, db.open());
    QVERIFY(!db.isConnected());
    db.setAliasName(m_data->filePath(QStringLiteral("gone")));
    QVERIFY_THROWS_EXCEPTION(EngineError, db.open());
}

// The fuzz target, replayed on its seeds and on every input that once broke it.
void TestSession::configFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_config");
}

void TestSession::configFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::configInput);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
