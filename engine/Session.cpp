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
#include <iterator>

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

// VERSION is the configuration file's format (config/ConfigFile.h); the
// rest of \SYSTEM\INIT comes from initSection() and the file's [INIT].
// LOCAL SHARE=TRUE states that table writers always lock (WriterLock);
// DEFAULT DRIVER is kept for later work: tables choose by extension.
const QLatin1String kInitSection("\\SYSTEM\\INIT");
const QLatin1String kFormatsPrefix("\\SYSTEM\\FORMATS\\");

// What saving writes at the top of a file that had no comments to keep.
const char *const kFileHeader[] = {
    "# Quorvex engine configuration: one [ALIAS name] section per alias, the",
    "# [INIT] entries, and the [FORMATS DATE], [FORMATS TIME] and [FORMATS NUMBER]",
    "# of text tables. Saving it from the program keeps comment lines, each",
    "# before the section it stood before.",
};

// The header files saved before comments were kept begin with; it says so,
// and gives way to the current one.
const char *const kOldFileHeader[] = {
    "# Quorvex engine configuration: one [ALIAS name] section per alias, and the",
    "# [FORMATS DATE], [FORMATS TIME] and [FORMATS NUMBER] of text tables.",
    "# Saving it from the program rewrites this file; comments are not kept.",
};

QStringList fileHeader()
{
    QStringList lines;
    for (const char *l : kFileHeader)
        lines.append(QLatin1String(l));
    return lines;
}

QStringList withCurrentHeader(QStringList comments)
{
    const qsizetype n = std::size(kOldFileHeader);
    if (comments.size() < n)
        return comments;
    for (qsizetype i = 0; i < n; ++i) {
        if (comments[i] != QLatin1String(kOldFileHeader[i]))
            return comments;
    }
    return fileHeader() + comments.mid(n);
}

// The section a configSection() name stands for, with its keyword
// ("DATE", "TIME", "NUMBER" or "INIT"); null when there is none.
const FormatSectionSpec *sectionSpec(const QString &section)
{
    if (section.compare(kInitSection, Qt::CaseInsensitive) == 0)
        return &initSection();
    if (section.startsWith(kFormatsPrefix, Qt::CaseInsensitive)) {
        const QString keyword = section.mid(kFormatsPrefix.size()).toUpper();
        for (const FormatSectionSpec &spec : formatSections()) {
            if (keyword == QLatin1String(spec.keyword))
                return &spec;
        }
    }
    return nullptr;
}

const Driver *findDriver(const QString &name)
{
    for (const Driver &d : kDrivers) {
        if (name.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0)
            return &d;
    }
    return nullptr;
}

const QLatin1String kDriverKeyName("DRIVER");

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

// splitParam over a name and a value given apart: what it would trim off
// must not hide a control character either.
std::pair<QString, QString> splitNameValue(const QString &name, const QString &value)
{
    if (name.contains(u'='))
        throw EngineError(QStringLiteral("The name \"%1\" may not contain '='").arg(name));
    for (const QString &part : { name, value }) {
        for (const QChar c : part) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                throw EngineError(QStringLiteral("\"%1\" holds a control character").arg(name.trimmed()));
        }
    }
    return splitParam(name + u'=' + value);
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
    // Kept over the reload: this run's session and virtual aliases, and the
    // persistent ones changed in it.
    std::vector<Alias> kept;
    for (Alias &a : m_aliases) {
        if (a.kind != Kind::Persistent || m_changed.contains(a.name, Qt::CaseInsensitive))
            kept.push_back(std::move(a));
    }
    m_aliases.clear();
    m_formats.clear();
    m_init.reset();
    m_leadingComments = fileHeader();
    m_trailingComments.clear();
    m_sectionOrder.clear();
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
                // A changed alias keeps its place in the file, with this run's values.
                const auto own = std::find_if(kept.begin(), kept.end(), [&](const Alias &k) {
                    return k.kind == Kind::Persistent && k.name.compare(a.name, Qt::CaseInsensitive) == 0;
                });
                if (own != kept.end()) {
                    own->comments = std::move(a.comments);
                    m_aliases.push_back(std::move(*own));
                    kept.erase(own);
                    continue;
                }
                m_aliases.push_back({ a.name, QLatin1String(findDriver(a.driver)->name), std::move(a.params),
                                      Kind::Persistent, std::move(a.comments) });
            }
            m_formats = std::move(contents.formats);
            m_init = std::move(contents.init);
            m_leadingComments = withCurrentHeader(std::move(contents.leadingComments));
            m_trailingComments = std::move(contents.trailingComments);
            m_sectionOrder = std::move(contents.sectionOrder);
        } catch (const EngineError &e) {
            m_aliases.clear();
            m_formats.clear();
            m_init.reset();
            m_leadingComments = fileHeader();
            m_trailingComments.clear();
            m_sectionOrder.clear();
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
    for (const auto &[keyword, entry] : m_setEntries)
        putEntry(keyword, entry);
    m_open = true;
}

void Session::putEntry(const QString &keyword, const QString &entry) const
{
    ConfigFormat *target = nullptr;
    if (keyword == QLatin1String(initSection().keyword)) {
        if (!m_init)
            m_init = ConfigFormat { keyword, {}, {} };
        target = &*m_init;
    } else {
        const auto it = std::find_if(m_formats.begin(), m_formats.end(),
                                     [&](const ConfigFormat &f) { return f.section == keyword; });
        if (it != m_formats.end()) {
            target = &*it;
        } else {
            m_formats.push_back({ keyword, {}, {} });
            target = &m_formats.back();
        }
    }
    const QString name = paramName(entry);
    for (QString &e : target->entries) {
        if (paramName(e) == name) {
            e = entry;
            return;
        }
    }
    target->entries.append(entry);
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
    const FormatSectionSpec *spec = sectionSpec(section);
    if (!spec)
        throw EngineError(QStringLiteral("Unknown configuration section: %1").arg(section));
    ensureOpen();
    const ConfigFormat *own = nullptr;
    if (spec == &initSection()) {
        if (m_init)
            own = &*m_init;
    } else {
        const auto it = std::find_if(m_formats.begin(), m_formats.end(), [&](const ConfigFormat &f) {
            return f.section == QLatin1String(spec->keyword);
        });
        if (it != m_formats.end())
            own = &*it;
    }
    QStringList entries;
    if (spec == &initSection())
        entries.append(QStringLiteral("VERSION=1"));
    for (const FormatEntrySpec &e : spec->entries) {
        QString line = QLatin1String(e.name) + u'=' + QLatin1String(e.defaultValue);
        if (own) {
            for (const QString &given : own->entries) {
                if (paramName(given) == QLatin1String(e.name))
                    line = given;
            }
        }
        entries.append(line);
    }
    return entries;
}

void Session::setConfigEntry(const QString &section, const QString &name, const QString &value)
{
    const FormatSectionSpec *spec = sectionSpec(section);
    if (!spec)
        throw EngineError(QStringLiteral("Unknown configuration section: %1 (known: \\SYSTEM\\INIT, "
                                         "\\SYSTEM\\FORMATS\\DATE, \\SYSTEM\\FORMATS\\TIME, "
                                         "\\SYSTEM\\FORMATS\\NUMBER)")
                              .arg(section));
    if (spec == &initSection() && name.trimmed().compare(QLatin1String("VERSION"), Qt::CaseInsensitive) == 0)
        throw EngineError(QStringLiteral("VERSION cannot be set: it is the configuration file's format"));
    // One line of the file, as the reader would split it, then the entry
    // rules, which see the value untrimmed so as to refuse a space the file
    // could not keep.
    const std::pair<QString, QString> param = splitNameValue(name, value);
    QString entry;
    try {
        entry = checkSectionEntry(*spec, param.first, value);
    } catch (const EngineError &e) {
        throw EngineError(QStringLiteral("%1: %2").arg(section, e.message()));
    }
    const QString keyword = QLatin1String(spec->keyword);
    ensureOpen();
    if (keyword == QLatin1String("NUMBER")) {
        QStringList entries = configSection(section);
        for (QString &e : entries) {
            if (paramName(e) == paramName(entry))
                e = entry;
        }
        if (!numberSeparatorsDiffer(entries))
            throw EngineError(QStringLiteral("%1: %2 would make the decimal and the thousands separator "
                                             "the same character")
                                  .arg(section, entry));
    }
    putEntry(keyword, entry);
    m_setEntries.emplace_back(keyword, entry);
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
    m_aliases.push_back({ name, QLatin1String(d->name), own, kind, {} });
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

void Session::setAliasParam(const QString &alias, const QString &name, const QString &value)
{
    Alias &a = const_cast<Alias &>(find(alias));
    const std::pair<QString, QString> param = splitNameValue(name, value);
    if (param.first.compare(kDriverKeyName, Qt::CaseInsensitive) == 0)
        throw EngineError(QStringLiteral("The driver of the alias %1 cannot be changed").arg(a.name));
    const auto same
        = [&param](const QString &p) { return paramName(p).compare(param.first, Qt::CaseInsensitive) == 0; };
    // The name as aliasParams() spells it: the alias's own, else its driver's.
    QString key = param.first;
    const QStringList listed = mergedParams(a.driver, a.params);
    if (const auto it = std::find_if(listed.begin(), listed.end(), same); it != listed.end())
        key = paramName(*it);
    const QString line = key + u'=' + param.second;
    if (const auto own = std::find_if(a.params.begin(), a.params.end(), same); own != a.params.end())
        *own = line;
    else
        a.params.append(line);
    if (a.kind == Kind::Persistent && !m_changed.contains(a.name, Qt::CaseInsensitive))
        m_changed << a.name;
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
    m_changed.removeIf([&](const QString &n) { return n.compare(it->name, Qt::CaseInsensitive) == 0; });
    m_aliases.erase(it);
}

void Session::saveConfigFile()
{
    ensureOpen();
    ConfigContents saved;
    saved.formats = m_formats;
    saved.init = m_init;
    saved.leadingComments = m_leadingComments;
    saved.trailingComments = m_trailingComments;
    saved.sectionOrder = m_sectionOrder;
    for (const Alias &a : m_aliases) {
        if (a.kind != Kind::Virtual)
            saved.aliases.push_back({ a.name, a.driver, a.params, a.comments });
    }
    const QString path = configFilePath();
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        throw EngineError(path, QStringLiteral("cannot create the folder %1").arg(dir));
    const QByteArray bytes = writeConfig(saved);
    // What is written must be read back on the next start, or every alias
    // in it would be lost then (e.g. a separator set here that the file's
    // other separator, read again since, now equals).
    try {
        parseConfig(bytes, path, driverNames());
    } catch (const EngineError &e) {
        throw EngineError(path, QStringLiteral("not saved: it would not read back (%1)").arg(e.message()));
    }
    writeFileAtomically(path, bytes);
    m_deleted.clear();
    m_changed.clear();
    m_setEntries.clear();
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
