#include "ConfigFile.h"

#include "engine/EngineError.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>

namespace qvx {

namespace {

bool hasControl(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

const QLatin1String kAliasKeyword("ALIAS");
const QLatin1String kFormatsKeyword("FORMATS");
const QLatin1String kDriverKey("DRIVER");
const QLatin1String kInitKeyword("INIT");

// The drivers of single-format folders, which a STANDARD alias may default to.
const char *const kDefaultDrivers[] = { "PARADOX", "DBASE", "FOXPRO", "ASCIIDRV" };

// "FORMATS DATE" or "INIT": the section as its header names it.
QString sectionTitle(const FormatSectionSpec &spec)
{
    const QLatin1String keyword(spec.keyword);
    return keyword == kInitKeyword ? QString(keyword) : QLatin1String("FORMATS ") + keyword;
}

// Why value is not one of the kind; empty when it is.
QString badValue(const FormatEntrySpec &spec, const QString &value)
{
    switch (spec.kind) {
    case 'b':
        if (value.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
            || value.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            return {};
        return QStringLiteral("%1 must be TRUE or FALSE").arg(QLatin1String(spec.name));
    case 'd':
        for (const char *driver : kDefaultDrivers) {
            if (value.compare(QLatin1String(driver), Qt::CaseInsensitive) == 0)
                return {};
        }
        return QStringLiteral("%1 must be PARADOX, DBASE, FOXPRO or ASCIIDRV").arg(QLatin1String(spec.name));
    case 'm':
        if (value == QLatin1String("0") || value == QLatin1String("1") || value == QLatin1String("2"))
            return {};
        return QStringLiteral("%1 must be 0 (month-day-year), 1 (day-month-year) or 2 (year-month-day)")
            .arg(QLatin1String(spec.name));
    default:
        if (value.isEmpty() && spec.kind == 'o')
            return {};
        if (value.size() == 1 && !value[0].isLetterOrNumber() && value[0] != u'"')
            return {};
        return QStringLiteral("%1 must be one character that is no letter, digit or '\"'")
            .arg(QLatin1String(spec.name));
    }
}

} // namespace

const std::vector<FormatSectionSpec> &formatSections()
{
    static const std::vector<FormatSectionSpec> sections = {
        { "DATE",
          { { "SEPARATOR", "-", 's' },
            { "MODE", "2", 'm' },
            { "FOURDIGITYEAR", "TRUE", 'b' },
            { "LEADINGZEROD", "TRUE", 'b' },
            { "LEADINGZEROM", "TRUE", 'b' } } },
        { "TIME",
          { { "TWELVEHOUR", "FALSE", 'b' }, { "SECONDS", "TRUE", 'b' }, { "MILSECONDS", "FALSE", 'b' } } },
        { "NUMBER",
          { { "DECIMALSEPARATOR", ".", 's' },
            { "THOUSANDSEPARATOR", "", 'o' },
            { "LEADINGZERON", "TRUE", 'b' } } },
    };
    return sections;
}

const FormatSectionSpec &initSection()
{
    static const FormatSectionSpec section
        = { "INIT", { { "DEFAULT DRIVER", "PARADOX", 'd' }, { "LOCAL SHARE", "TRUE", 'b' } } };
    return section;
}

QString checkSectionEntry(const FormatSectionSpec &section, const QString &name, const QString &value)
{
    const QString upper = name.trimmed().toUpper();
    const auto spec = std::find_if(section.entries.begin(), section.entries.end(),
                                   [&](const FormatEntrySpec &e) { return upper == QLatin1String(e.name); });
    if (spec == section.entries.end()) {
        QStringList names;
        for (const FormatEntrySpec &e : section.entries)
            names.append(QLatin1String(e.name));
        throw EngineError(QStringLiteral("the section %1 has no entry %2 (its entries: %3)")
                              .arg(sectionTitle(section), name, names.join(QLatin1String(", "))));
    }
    // The file trims both sides of a line, so such a value would not read back.
    if (value != value.trimmed())
        throw EngineError(QStringLiteral("%1 may not begin or end with a space").arg(upper));
    const QString why = badValue(*spec, value);
    if (!why.isEmpty())
        throw EngineError(why);
    return upper + u'=' + (spec->kind == 'd' ? value.toUpper() : value);
}

bool numberSeparatorsDiffer(const QStringList &entries)
{
    QString decimal = QStringLiteral("."), thousand;
    for (const QString &e : entries) {
        if (e.startsWith(QLatin1String("DECIMALSEPARATOR=")))
            decimal = e.section(u'=', 1);
        else if (e.startsWith(QLatin1String("THOUSANDSEPARATOR=")))
            thousand = e.section(u'=', 1);
    }
    return decimal != thousand;
}

void checkAliasName(const QString &name)
{
    if (name.trimmed().isEmpty())
        throw EngineError(QStringLiteral("An alias needs a name"));
    if (name != name.trimmed())
        throw EngineError(QStringLiteral("The alias name \"%1\" begins or ends with a space").arg(name));
    // '/' would make the name a path when a table's database is resolved;
    // brackets would end the section header early.
    if (hasControl(name) || name.contains(u'/') || name.contains(u'[') || name.contains(u']'))
        throw EngineError(
            QStringLiteral("The alias name \"%1\" may not contain '/', '[', ']' or control characters")
                .arg(name));
}

std::pair<QString, QString> splitParam(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        throw EngineError(QStringLiteral("\"%1\" is not of the form name=value").arg(line));
    QString name = line.left(eq).trimmed();
    QString value = line.mid(eq + 1).trimmed();
    if (name.isEmpty())
        throw EngineError(QStringLiteral("\"%1\" has no name before the '='").arg(line));
    if (hasControl(name) || hasControl(value))
        throw EngineError(QStringLiteral("\"%1\" holds a control character").arg(name));
    // Such a line would read back as a comment or a section header.
    if (name.startsWith(u'#') || name.startsWith(u';') || name.startsWith(u'['))
        throw EngineError(QStringLiteral("the name \"%1\" may not begin with '#', ';' or '['").arg(name));
    return { name, value };
}

ConfigContents parseConfig(const QByteArray &bytes, const QString &path, const QStringList &drivers)
{
    if (bytes.size() > kMaxConfigFileSize)
        throw EngineError(path, QStringLiteral("the file is larger than %1 bytes").arg(kMaxConfigFileSize));
    ConfigContents contents;
    std::vector<ConfigAlias> &aliases = contents.aliases;
    // The section being read: an alias, or (when not null) a format section
    // or [INIT], whose entries go to entries.
    const FormatSectionSpec *format = nullptr;
    ConfigFormat *entries = nullptr;
    // Comment lines not yet given to a section: they go with the next
    // header, or stay at the end.
    QStringList comments;
    bool anySection = false;
    auto takeComments = [&]() -> QStringList {
        QStringList taken;
        taken.swap(comments);
        if (!anySection) {
            anySection = true;
            contents.leadingComments = taken;
            return {};
        }
        return taken;
    };
    int separatorLine = 0; // where the number separators were last set
    int headerLine = 0; // of the alias being read
    auto fail = [&path](int line, const QString &what) {
        throw EngineError(path, QStringLiteral("line %1: %2").arg(line).arg(what));
    };
    auto finishAlias = [&] {
        if (!aliases.empty() && aliases.back().driver.isEmpty())
            fail(headerLine, QStringLiteral("the alias \"%1\" names no DRIVER").arg(aliases.back().name));
    };

    int lineNo = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        ++lineNo;
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        QByteArrayView raw(bytes.constData() + pos, end - pos);
        pos = end + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = QString(decoder.decode(raw)).trimmed();
        if (decoder.hasError())
            fail(lineNo, QStringLiteral("the line is not UTF-8 text"));
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'#') || line.startsWith(u';')) {
            comments.append(line);
            continue;
        }

        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                fail(lineNo, QStringLiteral("the section header does not end in ']'"));
            const QString inner = line.mid(1, line.size() - 2).trimmed();
            const QString keyword = inner.section(u' ', 0, 0);
            if (inner.compare(kInitKeyword, Qt::CaseInsensitive) == 0) {
                finishAlias();
                if (contents.init)
                    fail(lineNo, QStringLiteral("the section \"%1\" is given twice").arg(inner));
                format = &initSection();
                contents.init = ConfigFormat { QString(kInitKeyword), {}, takeComments() };
                contents.sectionOrder.append(kInitKeyword);
                entries = &*contents.init;
                continue;
            }
            if (keyword.compare(kFormatsKeyword, Qt::CaseInsensitive) == 0) {
                const QString which = inner.mid(keyword.size()).trimmed().toUpper();
                finishAlias();
                format = nullptr;
                for (const FormatSectionSpec &spec : formatSections()) {
                    if (which == QLatin1String(spec.keyword))
                        format = &spec;
                }
                if (!format)
                    fail(lineNo,
                         QStringLiteral("unknown section \"%1\" (expected FORMATS DATE, TIME or NUMBER)")
                             .arg(inner));
                for (const ConfigFormat &f : contents.formats) {
                    if (f.section == which)
                        fail(lineNo, QStringLiteral("the section \"%1\" is given twice").arg(inner));
                }
                contents.formats.push_back({ which, {}, takeComments() });
                contents.sectionOrder.append(QLatin1String("FORMATS ") + which);
                entries = &contents.formats.back();
                continue;
            }
            if (keyword.compare(kAliasKeyword, Qt::CaseInsensitive) != 0)
                fail(lineNo,
                     QStringLiteral("unknown section \"%1\" (expected [ALIAS name], [FORMATS ...] or [INIT])")
                         .arg(inner));
            format = nullptr;
            entries = nullptr;
            const QString name = inner.mid(keyword.size()).trimmed();
            try {
                checkAliasName(name);
            } catch (const EngineError &e) {
                fail(lineNo, e.message());
            }
            for (const ConfigAlias &a : aliases) {
                if (a.name.compare(name, Qt::CaseInsensitive) == 0)
                    fail(lineNo, QStringLiteral("the alias \"%1\" is defined twice").arg(name));
            }
            finishAlias();
            aliases.push_back({ name, QString(), QStringList(), takeComments() });
            contents.sectionOrder.append(QLatin1String("ALIAS ") + name);
            headerLine = lineNo;
            continue;
        }

        if (aliases.empty() && !format)
            fail(lineNo, QStringLiteral("\"%1\" comes before any [ALIAS name] section").arg(line));
        std::pair<QString, QString> param;
        try {
            param = splitParam(line);
        } catch (const EngineError &e) {
            fail(lineNo, e.message());
        }
        if (format) {
            QString entry;
            try {
                entry = checkSectionEntry(*format, param.first, param.second);
            } catch (const EngineError &e) {
                fail(lineNo, e.message());
            }
            const QString name = entry.section(u'=', 0, 0);
            for (const QString &e : std::as_const(entries->entries)) {
                if (e.section(u'=', 0, 0) == name)
                    fail(lineNo, QStringLiteral("the entry \"%1\" is given twice").arg(name));
            }
            entries->entries.append(entry);
            if (name == QLatin1String("DECIMALSEPARATOR") || name == QLatin1String("THOUSANDSEPARATOR"))
                separatorLine = lineNo;
            continue;
        }
        ConfigAlias &alias = aliases.back();
        if (param.first.compare(kDriverKey, Qt::CaseInsensitive) == 0) {
            if (!alias.driver.isEmpty())
                fail(lineNo, QStringLiteral("the alias \"%1\" names its DRIVER twice").arg(alias.name));
            if (param.second.isEmpty())
                fail(lineNo, QStringLiteral("the DRIVER of \"%1\" is empty").arg(alias.name));
            if (!drivers.contains(param.second, Qt::CaseInsensitive))
                fail(lineNo,
                     QStringLiteral("unknown driver \"%1\" (known: %2)")
                         .arg(param.second, drivers.join(QLatin1String(", "))));
            alias.driver = param.second;
            continue;
        }
        for (const QString &p : std::as_const(alias.params)) {
            if (p.section(u'=', 0, 0).compare(param.first, Qt::CaseInsensitive) == 0)
                fail(lineNo, QStringLiteral("the parameter \"%1\" is given twice").arg(param.first));
        }
        alias.params.append(param.first + u'=' + param.second);
    }
    finishAlias();
    if (anySection)
        contents.trailingComments = comments;
    else
        contents.leadingComments = comments;
    // Numbers must read back: the two separators cannot be one character.
    for (const ConfigFormat &f : contents.formats) {
        if (f.section == QLatin1String("NUMBER") && !numberSeparatorsDiffer(f.entries))
            fail(separatorLine,
                 QStringLiteral("the decimal and the thousands separator are the same character"));
    }
    return contents;
}

QByteArray writeConfig(const ConfigContents &contents)
{
    QString text;
    auto lines = [&text](const QStringList &list) {
        for (const QString &l : list)
            text += l + u'\n';
    };
    // A blank line between sections, and none at the top.
    auto section = [&](const QStringList &comments, const QString &header) {
        if (!text.isEmpty())
            text += u'\n';
        lines(comments);
        text += u'[' + header + QLatin1String("]\n");
    };
    lines(contents.leadingComments);

    const std::size_t formats = contents.formats.size();
    const std::size_t count = 1 + formats + contents.aliases.size();
    // Section i: 0 is [INIT], then the formats, then the aliases.
    auto header = [&](std::size_t i) -> QString {
        if (i == 0)
            return kInitKeyword;
        if (i <= formats)
            return QLatin1String("FORMATS ") + contents.formats[i - 1].section;
        return QLatin1String("ALIAS ") + contents.aliases[i - 1 - formats].name;
    };
    std::vector<bool> written(count, false);
    if (!contents.init)
        written[0] = true;
    auto write = [&](std::size_t i) {
        written[i] = true;
        if (i == 0) {
            section(contents.init->comments, header(i));
            lines(contents.init->entries);
        } else if (i <= formats) {
            section(contents.formats[i - 1].comments, header(i));
            lines(contents.formats[i - 1].entries);
        } else {
            const ConfigAlias &a = contents.aliases[i - 1 - formats];
            section(a.comments, header(i));
            text += QLatin1String("DRIVER=") + a.driver + u'\n';
            lines(a.params);
        }
    };
    QHash<QString, std::size_t> byHeader;
    byHeader.reserve(qsizetype(count));
    for (std::size_t i = written[0] ? 1 : 0; i < count; ++i)
        byHeader.insert(header(i), i);
    for (const QString &name : contents.sectionOrder) {
        const auto it = byHeader.constFind(name);
        if (it != byHeader.constEnd() && !written[*it])
            write(*it);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!written[i])
            write(i);
    }
    if (!contents.trailingComments.isEmpty()) {
        if (!text.isEmpty())
            text += u'\n';
        lines(contents.trailingComments);
    }
    return text.toUtf8();
}

} // namespace qvx
