#include "DbfCodePage.h"

#include "DbfHeader.h"

#include "../../EngineError.h"
#include "../../io/File.h"
#include "../TableFormat.h"
#include "../common/CodePage.h"

#include <QFile>

#include <algorithm>
#include <array>

namespace qvx::dbf {

namespace {

struct DriverEntry {
    std::uint8_t driver;
    const char *codePage;
};

// Language driver bytes as dBASE and FoxPro files use them, each naming a
// code page by its canonical name (common/CodePage.cpp). Several bytes name
// the same code page (national variants); the first entry for a code page
// is the one written.
constexpr std::array kDrivers {
    DriverEntry { 0x01, "IBM437" },
    DriverEntry { 0x02, "IBM850" },
    DriverEntry { 0x03, "windows-1252" },
    DriverEntry { 0x04, "macintosh" },
    DriverEntry { 0x64, "IBM852" },
    DriverEntry { 0x65, "IBM866" },
    DriverEntry { 0x66, "IBM865" },
    DriverEntry { 0x67, "IBM861" },
    DriverEntry { 0x6A, "IBM737" },
    DriverEntry { 0x6B, "IBM857" },
    DriverEntry { 0x1C, "IBM863" },
    DriverEntry { 0x24, "IBM860" },
    DriverEntry { 0x7B, "Shift_JIS" },
    DriverEntry { 0x7A, "GBK" },
    DriverEntry { 0x79, "windows-949" },
    DriverEntry { 0x78, "Big5" },
    DriverEntry { 0x7C, "windows-874" },
    DriverEntry { 0x7D, "windows-1255" },
    DriverEntry { 0x7E, "windows-1256" },
    DriverEntry { 0xC8, "windows-1250" },
    DriverEntry { 0xC9, "windows-1251" },
    DriverEntry { 0xCA, "windows-1254" },
    DriverEntry { 0xCB, "windows-1253" },
    DriverEntry { 0x96, "x-mac-cyrillic" },
    DriverEntry { 0x97, "x-mac-centraleurroman" },
    DriverEntry { 0x98, "x-mac-greek" },
    // National variants of the same code pages.
    DriverEntry { 0x08, "IBM865" },
    DriverEntry { 0x09, "IBM437" },
    DriverEntry { 0x0A, "IBM850" },
    DriverEntry { 0x0B, "IBM437" },
    DriverEntry { 0x0D, "IBM437" },
    DriverEntry { 0x0E, "IBM850" },
    DriverEntry { 0x0F, "IBM437" },
    DriverEntry { 0x10, "IBM850" },
    DriverEntry { 0x11, "IBM437" },
    DriverEntry { 0x12, "IBM850" },
    DriverEntry { 0x13, "Shift_JIS" },
    DriverEntry { 0x14, "IBM850" },
    DriverEntry { 0x15, "IBM437" },
    DriverEntry { 0x16, "IBM850" },
    DriverEntry { 0x18, "IBM437" },
    DriverEntry { 0x19, "IBM437" },
    DriverEntry { 0x1A, "IBM850" },
    DriverEntry { 0x1B, "IBM437" },
    DriverEntry { 0x1D, "IBM850" },
    DriverEntry { 0x1F, "IBM852" },
    DriverEntry { 0x22, "IBM852" },
    DriverEntry { 0x23, "IBM852" },
    DriverEntry { 0x25, "IBM850" },
    DriverEntry { 0x26, "IBM866" },
    DriverEntry { 0x37, "IBM850" },
    DriverEntry { 0x40, "IBM852" },
    DriverEntry { 0x4D, "GBK" },
    DriverEntry { 0x4E, "windows-949" },
    DriverEntry { 0x4F, "Big5" },
    DriverEntry { 0x50, "windows-874" },
    DriverEntry { 0x57, "windows-1252" },
    DriverEntry { 0x58, "windows-1252" },
    DriverEntry { 0x59, "windows-1252" },
};

} // namespace

QString codePageForDriver(std::uint8_t driver)
{
    for (const DriverEntry &e : kDrivers)
        if (e.driver == driver)
            return QString::fromLatin1(e.codePage);
    return common::defaultCodePage();
}

int driverForCodePage(const QString &codePage)
{
    const QString name = common::canonicalCodePage(codePage);
    if (name.isEmpty())
        return -1;
    for (const DriverEntry &e : kDrivers)
        if (name == QLatin1String(e.codePage))
            return e.driver;
    return -1;
}

QString codePageForCpg(const QByteArray &contents)
{
    QByteArray line = contents;
    if (line.startsWith("\xEF\xBB\xBF"))
        line = line.mid(3);
    const qsizetype eol = line.indexOf('\n');
    if (eol >= 0)
        line.truncate(eol);
    QString text = QString::fromLatin1(line).trimmed();
    if (text.isEmpty())
        return {};
    const QString upper = text.toUpper();
    if (upper.startsWith(QLatin1String("UTF-8")) || upper.startsWith(QLatin1String("UTF8")))
        return QStringLiteral("UTF-8");
    if (upper.startsWith(QLatin1String("LDID/"))) {
        bool ok = false;
        const int ldid = text.mid(5).trimmed().toInt(&ok);
        if (!ok || ldid <= 0 || ldid > 255)
            return {};
        for (const DriverEntry &e : kDrivers)
            if (e.driver == ldid)
                return QString::fromLatin1(e.codePage);
        return {};
    }
    if (upper.startsWith(QLatin1String("ANSI ")))
        text = text.mid(5).trimmed();
    if (upper.startsWith(QLatin1String("8859"))) {
        // "8859-5", "88595", "8859_5"
        QString part = text.mid(4);
        if (part.startsWith(QLatin1Char('-')) || part.startsWith(QLatin1Char('_')))
            part = part.mid(1);
        return common::canonicalCodePage(QStringLiteral("ISO-8859-") + part);
    }
    return common::canonicalCodePage(text);
}

QString codePageSourceName(CodePageSource source)
{
    switch (source) {
    case CodePageSource::Header:
        return QStringLiteral("language driver byte");
    case CodePageSource::Cpg:
        return QStringLiteral(".cpg file");
    case CodePageSource::Detected:
        return QStringLiteral("detected");
    case CodePageSource::Default:
        return QStringLiteral("default");
    case CodePageSource::Option:
        return QStringLiteral("option");
    }
    return {};
}

bool looksLikeUtf8(const File &dbf, const Header &header)
{
    if (header.recordLength <= 0 || header.recordCount == 0)
        return false;
    constexpr qint64 kSampleBytes = 64 * 1024;
    const qint64 records
        = std::min<qint64>(header.recordCount, std::max<qint64>(1, kSampleBytes / header.recordLength));
    const QByteArray bytes = dbf.readBytes(header.headerLength, records * header.recordLength);
    bool nonAscii = false;
    for (qint64 r = 0; (r + 1) * header.recordLength <= bytes.size(); ++r) {
        const char *rec = bytes.constData() + r * header.recordLength;
        for (const FieldDescriptor &f : header.fields) {
            if (f.type != 'C' || f.isSystem() || f.isBinary() || f.offset + f.length > header.recordLength)
                continue;
            const QByteArrayView value(rec + f.offset, f.length);
            if (std::none_of(value.begin(), value.end(), [](char c) { return std::uint8_t(c) >= 0x80; }))
                continue;
            // A full field may end inside a character that did not fit.
            if (!common::isValidUtf8(value, true))
                return false;
            nonAscii = true;
        }
    }
    return nonAscii;
}

CodePageChoice chooseCodePage(const QString &path, const File &dbf, const Header &header,
                              const QString &option)
{
    CodePageChoice choice;
    if (!option.trimmed().isEmpty()) {
        choice.codePage = common::canonicalCodePage(option);
        if (choice.codePage.isEmpty())
            throw EngineError(path, QStringLiteral("unknown code page \"%1\"").arg(option));
        choice.source = CodePageSource::Option;
        return choice;
    }
    if (!path.isEmpty()) {
        const QString cpg = companionFile(path, { QStringLiteral("cpg") });
        if (!cpg.isEmpty()) {
            QFile file(cpg);
            QByteArray contents;
            if (file.open(QIODevice::ReadOnly))
                contents = file.read(256);
            const QString named = codePageForCpg(contents);
            if (!named.isEmpty()) {
                choice.codePage = named;
                choice.source = CodePageSource::Cpg;
                return choice;
            }
            choice.warnings << QStringLiteral(
                                   "its .cpg file names an unknown code page (\"%1\"); the table's "
                                   "header decides")
                                   .arg(QString::fromLatin1(contents.left(40)).trimmed());
        }
    }
    if (header.languageDriver != 0) {
        choice.codePage = codePageForDriver(header.languageDriver);
        choice.source = CodePageSource::Header;
        return choice;
    }
    if (looksLikeUtf8(dbf, header)) {
        choice.codePage = QStringLiteral("UTF-8");
        choice.source = CodePageSource::Detected;
        return choice;
    }
    choice.codePage = common::defaultCodePage();
    choice.source = CodePageSource::Default;
    return choice;
}

} // namespace qvx::dbf
