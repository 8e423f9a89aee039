#include "ConfigFile.h"

#include "engine/EngineError.h"

#include <QStringDecoder>

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
const QLatin1String kDriverKey("DRIVER");

} // namespace

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

std::vector<ConfigAlias> parseConfig(const QByteArray &bytes, const QString &path, const QStringList &drivers)
{
    if (bytes.size() > kMaxConfigFileSize)
        throw EngineError(path, QStringLiteral("the file is larger than %1 bytes").arg(kMaxConfigFileSize));
    std::vector<ConfigAlias> aliases;
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
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;

        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                fail(lineNo, QStringLiteral("the section header does not end in ']'"));
            const QString inner = line.mid(1, line.size() - 2).trimmed();
            const QString keyword = inner.section(u' ', 0, 0);
            if (keyword.compare(kAliasKeyword, Qt::CaseInsensitive) != 0)
                fail(lineNo, QStringLiteral("unknown section \"%1\" (expected [ALIAS name])").arg(inner));
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
            aliases.push_back({ name, QString(), QStringList() });
            headerLine = lineNo;
            continue;
        }

        if (aliases.empty())
            fail(lineNo, QStringLiteral("\"%1\" comes before any [ALIAS name] section").arg(line));
        std::pair<QString, QString> param;
        try {
            param = splitParam(line);
        } catch (const EngineError &e) {
            fail(lineNo, e.message());
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
    return aliases;
}

QByteArray writeConfig(const std::vector<ConfigAlias> &aliases)
{
    QString text
        = QStringLiteral("# Quorvex engine configuration: one [ALIAS name] section per alias.\n"
                         "# Saving it from the program rewrites this file; comments are not kept.\n");
    for (const ConfigAlias &a : aliases) {
        text += u'\n' + QLatin1String("[ALIAS ") + a.name + QLatin1String("]\n");
        text += QLatin1String("DRIVER=") + a.driver + u'\n';
        for (const QString &p : a.params)
            text += p + u'\n';
    }
    return text.toUtf8();
}

} // namespace qvx
