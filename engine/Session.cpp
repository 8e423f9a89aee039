#include "Session.h"

#include "EngineError.h"
#include "FileKinds.h"
#include "config/ConfigFile.h"
#include "io/File.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

namespace qvx {

namespace {

Session *g_defaultSession = nullptr;

QString xdgDir(const char *variable, const char *fallback)
{
    const QString dir = qEnvironmentVariable(variable);
    // The XDG rules ignore a relative path.
    if (!dir.isEmpty() && QDir::isAbsolutePath(dir))
        return dir;
    return QDir::homePath() + u'/' + QLatin1String(fallback);
}

struct Driver {
    const char *name;
    std::initializer_list<const char *> params;
};

// The first entry of each list is its kind (or PATH for STANDARD): the
// alias manager shows all but the first. Nothing reads these yet beyond
// PATH: the engine picks the format by extension or table type, always
// locks writers (io/File.h) and keeps decimals as exact text. They are
// kept for the text tables and SQL of later work and for aliases to carry.
const Driver kDrivers[] = {
    { "STANDARD", { "PATH=", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE" } },
    { "PARADOX", { "TYPE=FILE", "LEVEL=7", "BLOCK SIZE=4096" } },
    { "DBASE", { "TYPE=FILE", "LEVEL=4" } },
    { "FOXPRO", { "TYPE=FILE", "LEVEL=25" } },
    { "ASCIIDRV", { "TYPE=FILE", "SEPARATOR=,", "DELIMITER=\"" } },
};

struct Section {
    const char *name;
    std::initializer_list<const char *> entries;
};

const Section kSections[] = {
    // VERSION is the configuration file's format (config/ConfigFile.h);
    // LOCAL SHARE=TRUE states that table writers always lock (WriterLock).
    // DEFAULT DRIVER is kept for later work: tables choose by extension.
    { "\\SYSTEM\\INIT", { "VERSION=1", "DEFAULT DRIVER=PARADOX", "LOCAL SHARE=TRUE" } },
    // The three format sections come from formatSections() (config/ConfigFile.h)
    // and the configuration file: see configSection().
};

const Driver *findDriver(const QString &name)
{
    for (const Driver &d : kDrivers) {
        if (name.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0)
            return &d;
    }
    return nullptr;
}

QString paramName(const QString &line)
{
    return line.section(u'=', 0, 0);
}

// The alias's own parameters over its driver's.
QStringList mergedParams(const QString &driver, const QStringList &own)
{
    QStringList result;
    QStringList rest = own;
    if (const Driver *d = findDriver(driver)) {
        for (const char *p : d->params) {
            QString line = QLatin1String(p);
            const QString name = paramName(line);
            for (qsizetype i = 0; i < rest.size(); ++i) {
                if (paramName(rest[i]).compare(name, Qt::CaseInsensitive) == 0) {
                    line = name + u'=' + rest[i].section(u'=', 1);
                    rest.removeAt(i);
                    break;
                }
            }
            result.append(line);
        }
    }
    return result + rest;
}

} // namespace

Session::Session()
{
    open();
}

Session::~Session()
{
    if (g_defaultSession == this)
        g_defaultSession = nullptr;
}

Session *Session::defaultSession()
{
    return g_defaultSession;
}

void Session::setDefaultSession(Session *session)
{
    g_defaultSession = session;
}

QString Session::configFilePath()
{
    return xdgDir("XDG_CONFIG_HOME", ".config") + QLatin1String("/quorvex/engine.conf");
}

QString Session::configWarning() const
{
    ensureOpen();
    return m_warning;
}

void Session::open()
{
    load();
}

void Session::load() const
{
    std::vector<Alias> kept;
    for (Alias &a : m_aliases) {
        if (a.kind != Kind::Persistent)
            kept.push_back(std::move(a));
    }
    m_aliases.clear();
    m_formats.clear();
    m_warning.clear();

    const QString path = configFilePath();
    QFile file(path);
    if (file.exists()) {
        try {
            if (!file.open(QIODevice::ReadOnly))
                throw EngineError(path, QStringLiteral("cannot read it: %1").arg(file.errorString()));
            if (file.size() > kMaxConfigFileSize)
                throw EngineError(path,
                                  QStringLiteral("the file is larger than %1 bytes").arg(kMaxConfigFileSize));
            ConfigContents contents = parseConfig(file.readAll(), path, driverNames());
            for (ConfigAlias &a : contents.aliases) {
                if (m_deleted.contains(a.name, Qt::CaseInsensitive))
                    continue;
                m_aliases.push_back({ a.name, QLatin1String(findDriver(a.driver)->name), std::move(a.params),
                                      Kind::Persistent });
            }
            m_formats = std::move(contents.formats);
        } catch (const EngineError &e) {
            m_aliases.clear();
            m_formats.clear();
            m_warning = e.message() + QLatin1String(" (the file is not used)");
        }
    }
    for (Alias &a : kept) {
        const bool replaced = std::any_of(m_aliases.begin(), m_aliases.end(), [&](const Alias &p) {
            return p.name.compare(a.name, Qt::CaseInsensitive) == 0;
        });
        if (!replaced)
            m_aliases.push_back(std::move(a));
    }
    m_open = true;
}

void Session::close()
{
    m_open = false;
}

QStringList Session::aliasNames() const
{
    ensureOpen();
    QStringList names;
    for (const Alias &a : m_aliases) {
        const ConfigModeFlag flag = a.kind == Kind::Persistent ? PersistentAliases
            : a.kind == Kind::Session                          ? SessionAliases
                                                               : VirtualAliases;
        if (m_mode.testFlag(flag))
            names.append(a.name);
    }
    return names;
}

Session::Alias *Session::lookup(const QString &name)
{
    ensureOpen();
    for (Alias &a : m_aliases) {
        if (a.name.compare(name, Qt::CaseInsensitive) == 0)
            return &a;
    }
    return nullptr;
}

const Session::Alias &Session::find(const QString &name) const
{
    if (const Alias *a = const_cast<Session *>(this)->lookup(name))
        return *a;
    throw EngineError(QStringLiteral("Unknown alias: %1").arg(name));
}

bool Session::isAlias(const QString &name) const
{
    return !name.isEmpty() && const_cast<Session *>(this)->lookup(name) != nullptr;
}

QString Session::aliasDriverName(const QString &alias) const
{
    return find(alias).driver;
}

QStringList Session::aliasParams(const QString &alias) const
{
    const Alias &a = find(alias);
    return mergedParams(a.driver, a.params);
}

QString Session::aliasPath(const QString &alias) const
{
    for (const QString &p : aliasParams(alias)) {
        if (paramName(p).compare(QLatin1String("PATH"), Qt::CaseInsensitive) == 0) {
            QString path = p.section(u'=', 1);
            while (path.size() > 1 && path.endsWith(u'/'))
                path.chop(1);
            return path;
        }
    }
    return QString();
}

QStringList Session::tableNames(const QString &alias) const
{
    const QString path = aliasPath(alias);
    if (path.isEmpty())
        return {};
    const QDir dir(path);
    if (!QFileInfo(path).isDir() || !dir.isReadable())
        throw EngineError(QStringLiteral("Alias %1: cannot read its folder %2").arg(alias, path));
    QStringList names;
    // QDir leaves out hidden files, which include the temporary ".<name>.qvx-*"
    // files of atomic rewrites; memo and index files have other extensions.
    const QStringList files = dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString &file : files) {
        const FileKind *kind = fileKindForName(file);
        if (kind && kind->document == DocumentKind::LocalTable)
            names.append(file);
    }
    return names;
}

QStringList Session::driverNames()
{
    QStringList names;
    for (const Driver &d : kDrivers)
        names.append(QLatin1String(d.name));
    return names;
}

QStringList Session::driverParams(const QString &driver)
{
    const Driver *d = findDriver(driver);
    if (!d)
        throw EngineError(QStringLiteral("Unknown driver: %1").arg(driver));
    QStringList params;
    for (const char *p : d->params)
        params.append(QLatin1String(p));
    return params;
}

QStringList Session::configSection(const QString &section) const
{
    for (const Section &s : kSections) {
        if (section.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0) {
            QStringList entries;
            for (const char *e : s.entries)
                entries.append(QLatin1String(e));
            return entries;
        }
    }
    const QLatin1String prefix("\\SYSTEM\\FORMATS\\");
    if (section.startsWith(prefix, Qt::CaseInsensitive)) {
        const QString keyword = section.mid(prefix.size()).toUpper();
        for (const FormatSectionSpec &spec : formatSections()) {
            if (keyword != QLatin1String(spec.keyword))
                continue;
            ensureOpen();
            const auto own = std::find_if(m_formats.begin(), m_formats.end(),
                                          [&](const ConfigFormat &f) { return f.section == keyword; });
            QStringList entries;
            for (const FormatEntrySpec &e : spec.entries) {
                QString line = QLatin1String(e.name) + u'=' + QLatin1String(e.defaultValue);
                if (own != m_formats.end()) {
                    for (const QString &given : own->entries) {
                        if (given.section(u'=', 0, 0) == QLatin1String(e.name))
                            line = given;
                    }
                }
                entries.append(line);
            }
            return entries;
        }
    }
    throw EngineError(QStringLiteral("Unknown configuration section: %1").arg(section));
}

void Session::insert(const QString &name, const QString &driver, const QStringList &params, Kind kind)
{
    checkAliasName(name);
    if (isAlias(name))
        throw EngineError(QStringLiteral("The alias %1 already exists").arg(name));
    const Driver *d = findDriver(driver);
    if (!d)
        throw EngineError(QStringLiteral("Unknown driver \"%1\" for the alias %2").arg(driver, name));
    QStringList own;
    for (const QString &line : params) {
        // Not a structured binding: older clang cannot capture one below.
        const std::pair<QString, QString> param = splitParam(line);
        const QString &key = param.first;
        const QString &value = param.second;
        if (key.compare(QLatin1String("DRIVER"), Qt::CaseInsensitive) == 0)
            throw EngineError(
                QStringLiteral("The driver of the alias %1 is not one of its parameters").arg(name));
        // A later value of the same name wins.
        own.removeIf(
            [&key](const QString &p) { return paramName(p).compare(key, Qt::CaseInsensitive) == 0; });
        own.append(key + u'=' + value);
    }
    m_aliases.push_back({ name, QLatin1String(d->name), own, kind });
}

void Session::addAlias(const QString &name, const QString &driver, const QStringList &params)
{
    insert(name, driver, params, Kind::Session);
}

void Session::addStandardAlias(const QString &name, const QString &path, const QString &defaultDriver)
{
    insert(name, QStringLiteral("STANDARD"),
           { QLatin1String("PATH=") + path, QLatin1String("DEFAULT DRIVER=") + defaultDriver },
           Kind::Session);
}

void Session::addVirtualAlias(const QString &name, const QString &driver, const QStringList &params)
{
    insert(name, driver, params, Kind::Virtual);
}

void Session::deleteAlias(const QString &name)
{
    ensureOpen();
    const auto it = std::find_if(m_aliases.begin(), m_aliases.end(), [&](const Alias &a) {
        return a.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (it == m_aliases.end())
        throw EngineError(QStringLiteral("Unknown alias: %1").arg(name));
    if (it->kind == Kind::Persistent && !m_deleted.contains(it->name, Qt::CaseInsensitive))
        m_deleted << it->name;
    m_aliases.erase(it);
}

void Session::saveConfigFile()
{
    ensureOpen();
    ConfigContents saved;
    saved.formats = m_formats;
    for (const Alias &a : m_aliases) {
        if (a.kind != Kind::Virtual)
            saved.aliases.push_back({ a.name, a.driver, a.params });
    }
    const QString path = configFilePath();
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        throw EngineError(path, QStringLiteral("cannot create the folder %1").arg(dir));
    writeFileAtomically(path, writeConfig(saved));
    m_deleted.clear();
    for (Alias &a : m_aliases) {
        if (a.kind == Kind::Session)
            a.kind = Kind::Persistent;
    }
    m_warning.clear();
}

QString Session::privateDirectory()
{
    if (!m_privateDir) {
        const QString base = xdgDir("XDG_CACHE_HOME", ".cache") + QLatin1String("/quorvex");
        if (!QDir().mkpath(base))
            throw EngineError(QStringLiteral("Cannot create the folder %1").arg(base));
        auto dir = std::make_unique<QTemporaryDir>(base + QLatin1String("/session-XXXXXX"));
        if (!dir->isValid())
            throw EngineError(
                QStringLiteral("Cannot create a private folder in %1: %2").arg(base, dir->errorString()));
        m_privateDir = std::move(dir);
    }
    return m_privateDir->path();
}

QString Session::resolveDatabase(const Session *session, const QString &databaseName)
{
    QString name = databaseName;
    if (name.endsWith(u'/'))
        name.chop(1);
    if (!session || name.isEmpty() || name.contains(u'/'))
        return databaseName;
    if (session->isAlias(name)) {
        const QString path = session->aliasPath(name);
        if (path.isEmpty())
            throw EngineError(QStringLiteral("Alias %1 names no folder (its PATH is empty)").arg(name));
        if (!QFileInfo(path).isDir())
            throw EngineError(QStringLiteral("Alias %1: its folder %2 does not exist").arg(name, path));
        return path.endsWith(u'/') ? path : path + u'/';
    }
    if (!QFileInfo(name).isDir())
        throw EngineError(QStringLiteral("%1 is neither an alias nor a folder").arg(name));
    return databaseName;
}

} // namespace qvx
