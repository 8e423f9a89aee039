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
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace qvx {

struct ConfigAlias {
    QString name;
    QString driver;
    QStringList params; // "NAME=value", in file order
};

// The entries a format section gives, "NAME=value" in file order; section
// is the keyword after FORMATS ("DATE", "TIME" or "NUMBER").
struct ConfigFormat {
    QString section;
    QStringList entries;
};

struct ConfigContents {
    std::vector<ConfigAlias> aliases;
    std::vector<ConfigFormat> formats;
};

// What a format section may hold: each name, its default and its kind of
// value ('b' TRUE or FALSE, 'm' 0, 1 or 2 for the order month-day-year,
// day-month-year or year-month-day, 's' one character that is no letter,
// digit or '"', 'o' the same or nothing).
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

// Files larger than this are refused rather than read.
constexpr qint64 kMaxConfigFileSize = 1 << 20;

// Parses a configuration file's bytes; a DRIVER must be one of drivers
// (letter case ignored). Throws EngineError "<path>: line <n>: <what>" on
// the first fault.
ConfigContents parseConfig(const QByteArray &bytes, const QString &path, const QStringList &drivers);

// The text parseConfig reads back as the same aliases and formats.
QByteArray writeConfig(const ConfigContents &contents);

// Checks an alias name as the file format needs it; throws EngineError.
void checkAliasName(const QString &name);
// Splits "NAME=value" at the first '='; both parts trimmed. Throws EngineError
// when there is no '=', the name is empty or begins with '#', ';' or '[', or
// either part holds a control character (it could not be written back as
// one line that reads the same).
std::pair<QString, QString> splitParam(const QString &line);

} // namespace qvx
