// The engine's configuration file: the aliases a user keeps from one run to
// the next. Reading and writing are pure functions over bytes so that the
// reader can be tested and fuzzed without a disk.
//
// The format is line-based UTF-8 text of our own:
//
//     # a comment (also ';'); blank lines are ignored
//     [ALIAS SAMPLES]            <- one section per alias; the keyword is
//     DRIVER=STANDARD               case-insensitive, the name is trimmed
//     PATH=/home/me/tables       <- name=value, split at the first '=';
//     DEFAULT DRIVER=PARADOX        both sides are trimmed
//
//     [INIT]                     <- the session's start-up entries: only
//     DEFAULT DRIVER=DBASE          the names initSection() lists, each
//     LOCAL SHARE=TRUE              once, with a value of its kind
//
//     [FORMATS DATE]             <- the forms text tables write dates,
//     SEPARATOR=/                   times ([FORMATS TIME]) and numbers
//     MODE=1                        ([FORMATS NUMBER]) in: only the names
//                                   formatSections() lists, each once, with
//                                   a value of its kind
//
// Every alias section must name its DRIVER; its other lines are the alias's
// parameters, kept in file order. Alias names are unique without regard to
// letter case and may not contain '/', '[' or ']'. Lines end in LF or CRLF.
// Anything else is a fault: the whole file is refused with the line it was
// found on, and the caller falls back to its defaults.
//
// Comment lines are kept so that a file saved by the program still carries
// them: those before the first section stay at the top, those after the
// last section's header that no further header follows stay at the end,
// and every other run of them goes with the section whose header comes
// next (a comment between the entries of a section thus moves to the end
// of that section). Blank lines are not kept; the writer lays out its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qvx {

struct ConfigAlias {
    QString name;
    QString driver;
    QStringList params; // "NAME=value", in file order
    QStringList comments; // the comment lines before its header
};

// The entries a format section or [INIT] gives, "NAME=value" in file
// order with the names in capitals; section is the keyword after FORMATS
// ("DATE", "TIME" or "NUMBER"), or "INIT".
struct ConfigFormat {
    QString section;
    QStringList entries;
    QStringList comments; // the comment lines before its header
};

struct ConfigContents {
    std::vector<ConfigAlias> aliases;
    std::vector<ConfigFormat> formats;
    std::optional<ConfigFormat> init; // the [INIT] section, when given
    QStringList leadingComments; // before the first section
    QStringList trailingComments; // after the last one
    // The sections in file order, as their headers name them ("INIT",
    // "FORMATS DATE", "ALIAS name"): the writer keeps this order so that
    // every comment stays before the header it preceded.
    QStringList sectionOrder;
};

// What a format section or [INIT] may hold: each name, its default and its
// kind of value ('b' TRUE or FALSE, 'm' 0, 1 or 2 for the order
// month-day-year, day-month-year or year-month-day, 's' one character that
// is no letter, digit or '"', 'o' the same or nothing, 'd' a driver a
// STANDARD alias may default to: PARADOX, DBASE, FOXPRO or ASCIIDRV).
struct FormatEntrySpec {
    const char *name;
    const char *defaultValue;
    char kind;
};
struct FormatSectionSpec {
    const char *keyword;
    std::vector<FormatEntrySpec> entries;
};
const std::vector<FormatSectionSpec> &formatSections();
// [INIT]: DEFAULT DRIVER and LOCAL SHARE.
const FormatSectionSpec &initSection();

// Checks one entry of a format section or [INIT] the way the reader does:
// the name must be one of the section's (letter case ignored) and the value
// of its kind, with no space at either end. Returns the entry as kept,
// "NAME=value" with the name in capitals (and a driver in capitals); throws
// EngineError saying which name and what is allowed.
QString checkSectionEntry(const FormatSectionSpec &section, const QString &name, const QString &value);
// Whether a NUMBER section's entries ("NAME=value") leave the decimal and
// the thousands separator different, as numbers need to read back.
bool numberSeparatorsDiffer(const QStringList &entries);

// Files larger than this are refused rather than read.
constexpr qint64 kMaxConfigFileSize = 1 << 20;

// Parses a configuration file's bytes; a DRIVER must be one of drivers
// (letter case ignored). Throws EngineError "<path>: line <n>: <what>" on
// the first fault.
ConfigContents parseConfig(const QByteArray &bytes, const QString &path, const QStringList &drivers);

// The text parseConfig reads back as the same contents, comments included.
// Sections are written in sectionOrder, then those it does not name:
// [INIT], the format sections, the aliases.
QByteArray writeConfig(const ConfigContents &contents);

// Checks an alias name as the file format needs it; throws EngineError.
void checkAliasName(const QString &name);
// Splits "NAME=value" at the first '='; both parts trimmed. Throws EngineError
// when there is no '=', the name is empty or begins with '#', ';' or '[', or
// either part holds a control character (it could not be written back as
// one line that reads the same).
std::pair<QString, QString> splitParam(const QString &line);

} // namespace qvx
