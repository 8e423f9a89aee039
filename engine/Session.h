// An engine session: the aliases that name table folders, the drivers and
// their parameters, the fixed configuration sections, the configuration
// file, and a private folder for this session's own scratch tables.
//
// Aliases come in three kinds, and the configuration mode (a set of the
// three) decides which of them aliasNames() lists:
// - persistent: read from the configuration file;
// - session: added during this run and not saved yet (save makes them
//   persistent);
// - virtual: supplied by the program itself (addVirtualAlias, e.g. the
//   sample database); never saved.
//
// The configuration file is $XDG_CONFIG_HOME/quorvex/engine.conf
// (~/.config/... without the variable); config/ConfigFile.h describes its
// format. A missing file means no persistent aliases. A malformed one is not
// used at all: configWarning() then says which file and line, for the caller
// to show, and the session goes on with no persistent aliases.
//
// A session opens on construction. Every query opens a closed session again
// first; open() re-reads the file, keeping session and virtual aliases that
// no persistent one of the same name replaces, leaving out the aliases
// deleted in this run, keeping the persistent aliases changed in this run
// (setAliasParam) as they are in memory over what the file says of them,
// and putting the configuration entries set in this run (setConfigEntry)
// over the file's: changes made in memory survive a reopen, and only
// saveConfigFile() writes them. Alias names are matched without regard to
// letter case.
//
// Tables resolve an alias given as their database name through
// Session::defaultSession() unless given a session of their own
// (Table::setSession); see resolveDatabase().
#pragma once

#include "config/ConfigFile.h"

#include <QFlags>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTemporaryDir;

namespace qvx {

class Session {
public:
    enum ConfigModeFlag { VirtualAliases = 1, PersistentAliases = 2, SessionAliases = 4, AllAliases = 7 };
    using ConfigMode = QFlags<ConfigModeFlag>;

    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The session tables use when they have none of their own; null when the
    // program has registered none (database names are then plain folders).
    static Session *defaultSession();
    static void setDefaultSession(Session *session);

    void open(); // (re)reads the configuration file
    void close();
    bool isOpen() const { return m_open; }

    static QString configFilePath();
    // Why the configuration file was not used; empty when it was (or was absent).
    QString configWarning() const;

    ConfigMode configMode() const { return m_mode; }
    void setConfigMode(ConfigMode mode) { m_mode = mode; }

    // Names of the aliases of the kinds the configuration mode selects, in
    // the order they were read or added.
    QStringList aliasNames() const;
    // Whether any alias, whatever the mode, has this name.
    bool isAlias(const QString &name) const;
    // The alias's driver and its parameters ("NAME=value"): the driver's own
    // parameters with the alias's values put in, then any further ones the
    // alias has. Throw EngineError for an unknown alias.
    QString aliasDriverName(const QString &alias) const;
    QStringList aliasParams(const QString &alias) const;
    // The folder an alias names (its PATH), without a trailing '/'; empty
    // when its PATH is empty. Throws EngineError for an unknown alias.
    QString aliasPath(const QString &alias) const;

    // The table files in an alias's folder, sorted, with their extensions:
    // only .db, .dbf and .txt files, and no hidden ones (the temporary files
    // of atomic rewrites are hidden). An alias with an empty PATH has none.
    // Throws EngineError when the folder cannot be read.
    QStringList tableNames(const QString &alias) const;
    // A table's field names: tableFieldNames() (Table.h), which opens it.

    // "STANDARD" (folders holding tables of every format, chosen by file
    // extension), "PARADOX", "DBASE", "FOXPRO" and "ASCIIDRV".
    static QStringList driverNames();
    // A driver's parameters as "NAME=value"; throws EngineError for an
    // unknown driver.
    static QStringList driverParams(const QString &driver);
    // "\SYSTEM\INIT", "\SYSTEM\FORMATS\DATE", "\SYSTEM\FORMATS\TIME" and
    // "\SYSTEM\FORMATS\NUMBER" (letter case ignored) as "NAME=value";
    // throws EngineError for any other. The format sections are the forms
    // text tables write dates, times and numbers in: the defaults, with the
    // entries of the configuration file's [FORMATS ...] sections put in.
    // INIT is VERSION (the file format), then initSection()'s entries with
    // the file's [INIT] ones put in.
    QStringList configSection(const QString &section) const;
    // Sets one entry of a configSection() section: a name that section
    // lists (letter case ignored) with a value of its kind, checked as the
    // configuration file's reader checks it (checkSectionEntry). VERSION
    // cannot be set. Takes effect at once (configSection, textFormsOf) and
    // is written by the next saveConfigFile(). Throws EngineError, saying
    // which name and what is allowed, for an unknown section or name or a
    // value of the wrong kind, and for a NUMBER separator equal to the other.
    void setConfigEntry(const QString &section, const QString &name, const QString &value);

    // A session alias. The driver must be one of driverNames(); params are
    // "NAME=value" lines (not DRIVER). Throws EngineError for an empty,
    // malformed or taken name, an unknown driver or a malformed parameter.
    void addAlias(const QString &name, const QString &driver, const QStringList &params);
    // A session alias of the STANDARD driver over a folder.
    void addStandardAlias(const QString &name, const QString &path, const QString &defaultDriver);
    // A virtual alias: listed under the virtual mode, never saved.
    void addVirtualAlias(const QString &name, const QString &driver, const QStringList &params);
    // Sets one parameter of an alias of any kind. name is matched without
    // regard to letter case against aliasParams(); a name the alias does not
    // have is added after its others. The pair is checked as a line of the
    // configuration file is (splitParam; both sides trimmed); a name may not
    // hold '='. DRIVER cannot be set. Throws EngineError for an unknown
    // alias or a refused pair. A persistent or session alias is written by
    // the next saveConfigFile().
    void setAliasParam(const QString &alias, const QString &name, const QString &value);
    // Removes an alias of any kind (from the file only at the next save; a
    // reopen before then does not bring it back). The comment lines the
    // file had before its section go with it.
    void deleteAlias(const QString &name);
    // Writes the persistent and session aliases to the configuration file
    // (atomically); the session ones become persistent.
    void saveConfigFile();

    // A folder of this session's own under $XDG_CACHE_HOME/quorvex (or
    // ~/.cache/quorvex), made on first use and removed with the session.
    QString privateDirectory();

    // The folder a table's database name stands for, ending in '/': an
    // alias's folder when the name (less one trailing '/') is an alias,
    // otherwise the name itself. Throws EngineError for an alias whose PATH
    // is empty or names no folder, and for a bare name (no '/' but the
    // trailing one) that is neither an alias nor an existing folder.
    // A null session resolves no aliases.
    static QString resolveDatabase(const Session *session, const QString &databaseName);

private:
    enum class Kind { Persistent, Session, Virtual };
    struct Alias {
        QString name;
        QString driver;
        QStringList params;
        Kind kind;
        QStringList comments; // the file's comment lines before its section
    };
    void load() const;
    void ensureOpen() const
    {
        if (!m_open)
            load();
    }
    const Alias &find(const QString &name) const;
    Alias *lookup(const QString &name);
    void insert(const QString &name, const QString &driver, const QStringList &params, Kind kind);
    // Puts "NAME=value" into the format section or [INIT] of that keyword.
    void putEntry(const QString &keyword, const QString &entry) const;

    // A closed session reloads itself when asked anything, so the loaded
    // state may change under a const query.
    mutable bool m_open = false;
    ConfigMode m_mode = AllAliases;
    mutable std::vector<Alias> m_aliases;
    mutable std::vector<ConfigFormat> m_formats; // the file's format sections
    mutable std::optional<ConfigFormat> m_init; // the file's [INIT]
    // The file's comment lines before its first and after its last section.
    mutable QStringList m_leadingComments;
    mutable QStringList m_trailingComments;
    mutable QStringList m_sectionOrder; // the file's, which saving keeps
    // Persistent aliases deleted since the last save: a reload leaves them out.
    QStringList m_deleted;
    // Persistent aliases changed since the last save: a reload keeps them as
    // they are in memory.
    QStringList m_changed;
    // Entries set since the last save, {keyword, "NAME=value"} in the order
    // set: a reload puts them over the file's.
    std::vector<std::pair<QString, QString>> m_setEntries;
    mutable QString m_warning;
    std::unique_ptr<QTemporaryDir> m_privateDir;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Session::ConfigMode)

} // namespace qvx
