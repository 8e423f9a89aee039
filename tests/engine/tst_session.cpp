// The engine session: aliases kept in and read from the configuration file,
// the configuration mode, table listings, drivers and sections, parameters
// and configuration entries set in memory and saved, comments kept on save,
// malformed configuration files, the private folder, and tables opened by
// alias.
#include "engine/Database.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/config/ConfigFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "fuzz/fuzz_config.h"
#include "fuzz_replay.h"

using namespace qvx;

namespace {

// The section's entries, or nothing when the session has no such section.
QStringList sectionKnown(const Session &s, const QString &section)
{
    try {
        return s.configSection(section);
    } catch (const EngineError &) {
        return {};
    }
}

} // namespace

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
    void setAliasParam_data();
    void setAliasParam();
    void setAliasParamRefuses_data();
    void setAliasParamRefuses();
    void changedAliasKeptOverReopen();
    void setConfigEntry_data();
    void setConfigEntry();
    void textFormsFollowEntries();
    void saveRefusesWhatWouldNotReadBack();
    void commentsKeptOnSave();
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
    QByteArray readConfigText() const;
    ConfigContents readConfigFile() const;
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

QByteArray TestSession::readConfigText() const
{
    QFile f(configPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

ConfigContents TestSession::readConfigFile() const
{
    return parseConfig(readConfigText(), configPath(), Session::driverNames());
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

void TestSession::setAliasParam_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("params");

    // Each alias starts as STANDARD with PATH=/old and NOTE=x.
    const QString longPath = QStringLiteral("/home/someone/a rather long folder name/of tables");
    QTest::newRow("persistent, PATH in other case")
        << "Kept"
        << "path"
        << "/new" << QStringList { "PATH=/new", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE", "NOTE=x" };
    QTest::newRow("session, driver's parameter")
        << "Added"
        << "Enable Bcd"
        << "TRUE" << QStringList { "PATH=/old", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=TRUE", "NOTE=x" };
    QTest::newRow("virtual, own parameter")
        << "Samples"
        << "note"
        << "y" << QStringList { "PATH=/old", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE", "NOTE=y" };
    QTest::newRow("persistent, new name appended")
        << "KEPT"
        << "Block Size"
        << "2048"
        << QStringList { "PATH=/old", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE", "NOTE=x",
                         "Block Size=2048" };
    QTest::newRow("session, empty PATH")
        << "Added"
        << "PATH"
        << "" << QStringList { "PATH=", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE", "NOTE=x" };
    QTest::newRow("persistent, long PATH")
        << "Kept"
        << "PATH" << longPath
        << QStringList { QLatin1String("PATH=") + longPath, "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE",
                         "NOTE=x" };
    QTest::newRow("session, value holding '=', spaces trimmed")
        << "Added"
        << " FILTER "
        << " a=b "
        << QStringList { "PATH=/old", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE", "NOTE=x", "FILTER=a=b" };
}

void TestSession::setAliasParam()
{
    QFETCH(QString, alias);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QStringList, params);
    writeConfigText("[ALIAS Kept]\nDRIVER=STANDARD\nPATH=/old\nNOTE=x\n");
    Session s;
    const QStringList start { QStringLiteral("PATH=/old"), QStringLiteral("NOTE=x") };
    s.addAlias(QStringLiteral("Added"), QStringLiteral("STANDARD"), start);
    s.addVirtualAlias(QStringLiteral("Samples"), QStringLiteral("STANDARD"), start);
    const QStringList names = s.aliasNames();

    s.setAliasParam(alias, name, value);
    QCOMPARE(s.aliasParams(alias), params);
    // A reopen before any save keeps it, whatever the kind.
    s.close();
    s.open();
    QCOMPARE(s.aliasNames(), names);
    QCOMPARE(s.aliasParams(alias), params);

    // Saved, the file holds it (a virtual alias is never written).
    s.saveConfigFile();
    const ConfigContents file = readConfigFile();
    QCOMPARE(int(file.aliases.size()), 2);
    const bool isVirtual = alias == QLatin1String("Samples");
    for (const ConfigAlias &a : file.aliases) {
        QCOMPARE(a.driver, QStringLiteral("STANDARD"));
        if (!isVirtual && a.name.compare(alias, Qt::CaseInsensitive) == 0) {
            for (const QString &p : params) {
                // The driver's defaults are not written unless set.
                if (!Session::driverParams(QStringLiteral("STANDARD")).contains(p))
                    QVERIFY2(a.params.contains(p), qPrintable(p + u' ' + a.params.join(u'|')));
            }
        } else {
            QCOMPARE(a.params, start);
        }
    }
    Session fresh;
    if (!isVirtual)
        QCOMPARE(fresh.aliasParams(alias), params);
    else
        QVERIFY(!fresh.isAlias(alias));
}

void TestSession::setAliasParamRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("DRIVER") << "DRIVER"
                            << "DBASE"
                            << "driver of the alias Shop cannot be changed";
    QTest::newRow("driver, lower case") << " driver "
                                        << "DBASE"
                                        << "cannot be changed";
    QTest::newRow("empty name") << ""
                                << "x"
                                << "no name";
    QTest::newRow("tab in value") << "PATH"
                                  << "/a\tb"
                                  << "control character";
    QTest::newRow("newline ending the value") << "PATH"
                                              << "/x\n"
                                              << "control character";
    QTest::newRow("newline in name") << "NO\nTE"
                                     << "x"
                                     << "control character";
    QTest::newRow("name of a comment") << "#PATH"
                                       << "x"
                                       << "may not begin";
    QTest::newRow("name of another comment") << ";PATH"
                                             << "x"
                                             << "may not begin";
    QTest::newRow("name of a header") << "[ALIAS X]"
                                      << "x"
                                      << "may not begin";
    QTest::newRow("'=' in name") << "PATH=/x"
                                 << "y"
                                 << "may not contain '='";
}

void TestSession::setAliasParamRefuses()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, message);
    writeConfigText("[ALIAS Shop]\nDRIVER=DBASE\nPATH=/srv/shop\n");
    Session s;
    const QStringList before = s.aliasParams(QStringLiteral("Shop"));
    try {
        s.setAliasParam(QStringLiteral("shop"), name, value);
        QFAIL("the parameter was set");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(s.aliasParams(QStringLiteral("Shop")), before);
    QCOMPARE(s.aliasDriverName(QStringLiteral("Shop")), QStringLiteral("DBASE"));
    try {
        s.setAliasParam(QStringLiteral("Nowhere"), QStringLiteral("PATH"), QStringLiteral("/x"));
        QFAIL("an unknown alias was changed");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Unknown alias: Nowhere")), qPrintable(e.message()));
    }
}

void TestSession::changedAliasKeptOverReopen()
{
    writeConfigText("[ALIAS First]\nDRIVER=STANDARD\nPATH=/one\n[ALIAS Second]\nDRIVER=DBASE\nPATH=/two\n");
    Session s;
    s.setAliasParam(QStringLiteral("second"), QStringLiteral("PATH"), QStringLiteral("/mine"));
    // The file changes under the session: the changed alias keeps this run's
    // values and its place; the others follow the file.
    writeConfigText("[ALIAS First]\nDRIVER=STANDARD\nPATH=/uno\n[ALIAS Second]\nDRIVER=DBASE\nPATH=/dos\n"
                    "[ALIAS Third]\nDRIVER=FOXPRO\n");
    s.close();
    s.open();
    QCOMPARE(s.aliasNames(),
             QStringList({ QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third") }));
    QCOMPARE(s.aliasPath(QStringLiteral("First")), QStringLiteral("/uno"));
    QCOMPARE(s.aliasPath(QStringLiteral("Second")), QStringLiteral("/mine"));
    // Deleted after the change, it stays deleted.
    s.deleteAlias(QStringLiteral("Second"));
    s.close();
    QVERIFY(!s.isAlias(QStringLiteral("Second")));

    // After a save the file is the truth again for every alias.
    s.setAliasParam(QStringLiteral("Third"), QStringLiteral("PATH"), QStringLiteral("/drei"));
    s.saveConfigFile();
    const ConfigContents saved = readConfigFile();
    QCOMPARE(int(saved.aliases.size()), 2);
    QCOMPARE(saved.aliases[1].params, QStringList { QStringLiteral("PATH=/drei") });
    writeConfigText("[ALIAS Third]\nDRIVER=FOXPRO\nPATH=/tres\n");
    s.close();
    QCOMPARE(s.aliasNames(), QStringList { QStringLiteral("Third") });
    QCOMPARE(s.aliasPath(QStringLiteral("Third")), QStringLiteral("/tres"));
}

void TestSession::setConfigEntry_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    // The entry configSection() then lists; or, when empty, the error wanted.
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");

    const QString date = QStringLiteral("\\SYSTEM\\FORMATS\\DATE");
    const QString time = QStringLiteral("\\SYSTEM\\FORMATS\\TIME");
    const QString number = QStringLiteral("\\SYSTEM\\FORMATS\\NUMBER");
    const QString init = QStringLiteral("\\SYSTEM\\INIT");
    QTest::newRow("date separator") << date << "SEPARATOR"
                                    << "/"
                                    << "SEPARATOR=/" << QString();
    QTest::newRow("date order, lower case") << "\\system\\formats\\date"
                                            << "mode"
                                            << "0"
                                            << "MODE=0" << QString();
    QTest::newRow("time flag") << time << "Seconds"
                               << "FALSE"
                               << "SECONDS=FALSE" << QString();
    QTest::newRow("no thousands separator") << number << "THOUSANDSEPARATOR"
                                            << ""
                                            << "THOUSANDSEPARATOR=" << QString();
    QTest::newRow("decimal comma") << number << "DECIMALSEPARATOR"
                                   << ","
                                   << "DECIMALSEPARATOR=," << QString();
    QTest::newRow("default driver") << init << "default driver"
                                    << "dbase"
                                    << "DEFAULT DRIVER=DBASE" << QString();
    QTest::newRow("local share") << "\\system\\init"
                                 << "LOCAL SHARE"
                                 << "FALSE"
                                 << "LOCAL SHARE=FALSE" << QString();

    QTest::newRow("date order 3") << date << "MODE"
                                  << "3" << QString() << "MODE must be 0";
    QTest::newRow("two-character separator") << date << "SEPARATOR"
                                             << "//" << QString() << "SEPARATOR must be one character";
    QTest::newRow("digit separator") << date << "SEPARATOR"
                                     << "1" << QString() << "one character";
    QTest::newRow("flag yes") << time << "SECONDS"
                              << "yes" << QString() << "SECONDS must be TRUE or FALSE";
    QTest::newRow("space as separator") << number << "THOUSANDSEPARATOR"
                                        << " " << QString() << "may not begin or end with a space";
    QTest::newRow("separators the same") << number << "THOUSANDSEPARATOR"
                                         << "." << QString() << "the same character";
    QTest::newRow("newline in value") << time << "SECONDS"
                                      << "TRUE\n"
                                      << QString() << "control character";
    QTest::newRow("unknown name") << date << "ORDER"
                                  << "1" << QString()
                                  << "FORMATS DATE has no entry ORDER (its entries: SEPARATOR, MODE,";
    QTest::newRow("VERSION") << init << "version"
                             << "2" << QString() << "VERSION cannot be set";
    QTest::newRow("STANDARD as default driver")
        << init << "DEFAULT DRIVER"
        << "STANDARD" << QString() << "DEFAULT DRIVER must be PARADOX, DBASE, FOXPRO or ASCIIDRV";
    QTest::newRow("unknown init name") << init << "PATH"
                                       << "/x" << QString() << "INIT has no entry PATH";
    QTest::newRow("format section without kind") << "\\SYSTEM\\FORMATS"
                                                 << "SEPARATOR"
                                                 << "/" << QString() << "Unknown configuration section";
    QTest::newRow("unknown format section") << "\\SYSTEM\\FORMATS\\COLOR"
                                            << "RED"
                                            << "1" << QString() << "Unknown configuration section";
}

void TestSession::setConfigEntry()
{
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    // A file with an alias and one format section of its own, both kept.
    writeConfigText("[FORMATS TIME]\nTWELVEHOUR=TRUE\n[ALIAS A]\nDRIVER=DBASE\n");
    Session s;
    const QString twelve = QStringLiteral("TWELVEHOUR=TRUE");
    if (!entry.isEmpty()) {
        s.setConfigEntry(section, name, value);
        QVERIFY2(s.configSection(section).contains(entry), qPrintable(s.configSection(section).join(u'|')));
        s.close();
        s.open();
        QVERIFY2(s.configSection(section).contains(entry), qPrintable(s.configSection(section).join(u'|')));
        s.saveConfigFile();
        const ConfigContents file = readConfigFile();
        QCOMPARE(int(file.aliases.size()), 1);
        const bool isInit = section.compare(QLatin1String("\\SYSTEM\\INIT"), Qt::CaseInsensitive) == 0;
        const QString keyword = section.section(u'\\', -1).toUpper();
        QStringList written;
        if (isInit) {
            QVERIFY(file.init.has_value());
            written = file.init->entries;
        }
        for (const ConfigFormat &f : file.formats) {
            if (f.section == keyword)
                written = f.entries;
        }
        QVERIFY2(written.contains(entry), qPrintable(written.join(u'|')));
        Session fresh;
        QVERIFY(fresh.configWarning().isEmpty());
        QVERIFY(fresh.configSection(section).contains(entry));
        QVERIFY(fresh.configSection(QStringLiteral("\\SYSTEM\\FORMATS\\TIME")).contains(twelve));
        QCOMPARE(fresh.configSection(QStringLiteral("\\SYSTEM\\INIT")).first(), QStringLiteral("VERSION=1"));
        return;
    }
    const QStringList before = sectionKnown(s, section);
    try {
        s.setConfigEntry(section, name, value);
        QFAIL("the entry was set");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(sectionKnown(s, section), before);
    s.saveConfigFile();
    const ConfigContents file = readConfigFile();
    QVERIFY(!file.init.has_value());
    QCOMPARE(int(file.formats.size()), 1);
    QCOMPARE(file.formats[0].entries, QStringList { twelve });
}

void TestSession::textFormsFollowEntries()
{
    Session s;
    QCOMPARE(textFormsOf(&s).dateSeparator, QChar(u'-'));
    s.setConfigEntry(QStringLiteral("\\SYSTEM\\FORMATS\\DATE"), QStringLiteral("SEPARATOR"),
                     QStringLiteral("/"));
    s.setConfigEntry(QStringLiteral("\\SYSTEM\\FORMATS\\DATE"), QStringLiteral("MODE"), QStringLiteral("1"));
    s.setConfigEntry(QStringLiteral("\\SYSTEM\\FORMATS\\NUMBER"), QStringLiteral("DECIMALSEPARATOR"),
                     QStringLiteral(","));
    TextForms forms = textFormsOf(&s);
    QCOMPARE(forms.dateSeparator, QChar(u'/'));
    QCOMPARE(forms.dateOrder, TextForms::DateOrder::DayMonthYear);
    QCOMPARE(forms.decimalSeparator, QChar(u','));
    // Set again, the later value wins, and a reopen keeps it.
    s.setConfigEntry(QStringLiteral("\\SYSTEM\\FORMATS\\DATE"), QStringLiteral("separator"),
                     QStringLiteral("."));
    s.close();
    forms = textFormsOf(&s);
    QCOMPARE(forms.dateSeparator, QChar(u'.'));
    QCOMPARE(forms.dateOrder, TextForms::DateOrder::DayMonthYear);
}

void TestSession::saveRefusesWhatWouldNotReadBack()
{
    Session s;
    s.setConfigEntry(QStringLiteral("\\SYSTEM\\FORMATS\\NUMBER"), QStringLiteral("THOUSANDSEPARATOR"),
                     QStringLiteral(","));
    // The file gains the same character as decimal separator, and a reopen
    // puts this run's entry over it.
    const QByteArray outside = "[FORMATS NUMBER]\nDECIMALSEPARATOR=,\n[ALIAS Shop]\nDRIVER=DBASE\n";
    writeConfigText(outside);
    s.close();
    QVERIFY(s.isAlias(QStringLiteral("Shop")));
    try {
        s.saveConfigFile();
        QFAIL("a file the reader refuses was saved");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("would not read back"))
                     && e.message().contains(QStringLiteral("the same character")),
                 qPrintable(e.message()));
    }
    QCOMPARE(readConfigText(), outside);
}

void TestSession::commentsKeptOnSave()
{
    writeConfigText("# top of the file\n"
                    "; second line\n"
                    "\n"
                    "[ALIAS Shop]\n"
                    "DRIVER=DBASE\n"
                    "# inside Shop: goes with the next header\n"
                    "PATH=/srv/shop\n"
                    "\n"
                    "   # before the dates\n"
                    "[FORMATS DATE]\n"
                    "SEPARATOR=/\n"
                    "# among the aliases\n"
                    "[ALIAS Gone]\n"
                    "DRIVER=STANDARD\n"
                    "; before Work\n"
                    "[ALIAS Work]\n"
                    "DRIVER=STANDARD\n"
                    "PATH=/w\n"
                    "\n"
                    "# the end\n"
                    "; really\n");
    Session s;
    QVERIFY2(s.configWarning().isEmpty(), qPrintable(s.configWarning()));
    s.setAliasParam(QStringLiteral("Shop"), QStringLiteral("PATH"), QStringLiteral("/srv/new"));
    s.setConfigEntry(QStringLiteral("\\SYSTEM\\INIT"), QStringLiteral("LOCAL SHARE"),
                     QStringLiteral("FALSE"));
    s.deleteAlias(QStringLiteral("Gone")); // its comments go with it
    s.addAlias(QStringLiteral("New"), QStringLiteral("FOXPRO"), {});
    s.saveConfigFile();
    // Sections keep their order; the new ones follow, [INIT] first.
    const QByteArray expected = "# top of the file\n"
                                "; second line\n"
                                "\n"
                                "[ALIAS Shop]\n"
                                "DRIVER=DBASE\n"
                                "PATH=/srv/new\n"
                                "\n"
                                "# inside Shop: goes with the next header\n"
                                "# before the dates\n"
                                "[FORMATS DATE]\n"
                                "SEPARATOR=/\n"
                                "\n"
                                "; before Work\n"
                                "[ALIAS Work]\n"
                                "DRIVER=STANDARD\n"
                                "PATH=/w\n"
                                "\n"
                                "[INIT]\n"
                                "LOCAL SHARE=FALSE\n"
                                "\n"
                                "[ALIAS New]\n"
                                "DRIVER=FOXPRO\n"
                                "\n"
                                "# the end\n"
                                "; really\n";
    QCOMPARE(readConfigText(), expected);
    // Read again and saved again, nothing moves or doubles.
    s.close();
    s.saveConfigFile();
    QCOMPARE(readConfigText(), expected);

    // The header of files saved before comments were kept gives way.
    writeConfigText("# Quorvex engine configuration: one [ALIAS name] section per alias, and the\n"
                    "# [FORMATS DATE], [FORMATS TIME] and [FORMATS NUMBER] of text tables.\n"
                    "# Saving it from the program rewrites this file; comments are not kept.\n"
                    "# mine\n"
                    "\n"
                    "[ALIAS Old]\n"
                    "DRIVER=DBASE\n");
    s.close();
    s.saveConfigFile();
    const QByteArray upgraded = readConfigText();
    QVERIFY2(!upgraded.contains("comments are not kept") && upgraded.startsWith("# Quorvex")
                 && upgraded.contains("keeps comment lines")
                 && upgraded.contains("# mine\n\n[ALIAS Old]\nDRIVER=DBASE\n"),
             upgraded.constData());

    // A new file gets a header once.
    QVERIFY(QFile::remove(configPath()));
    Session fresh;
    fresh.addAlias(QStringLiteral("One"), QStringLiteral("DBASE"), {});
    fresh.saveConfigFile();
    const QByteArray first = readConfigText();
    QVERIFY2(first.startsWith("# ") && first.contains("\n\n[ALIAS One]\nDRIVER=DBASE\n"), first.constData());
    fresh.close();
    fresh.saveConfigFile();
    QCOMPARE(readConfigText(), first);
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
    QTest::newRow("init twice") << good + "[INIT]\nLOCAL SHARE=TRUE\n[init]\n" << 8 << "given twice";
    QTest::newRow("init with a name") << good + "[INIT x]\n" << 6 << "unknown section";
    QTest::newRow("init version") << good + "[INIT]\nVERSION=1\n" << 7 << "INIT has no entry VERSION";
    QTest::newRow("init driver") << good + "[INIT]\nDEFAULT DRIVER=STANDARD\n" << 7 << "must be PARADOX";
    QTest::newRow("init entry twice") << good + "[INIT]\nLOCAL SHARE=TRUE\nlocal share=FALSE\n"
                                      << 8 << "given twice";
    QTest::newRow("format entry with a space") << good + "[FORMATS TIME]\nSECONDS=TRUE FALSE\n"
                                               << 7 << "TRUE or FALSE";
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
