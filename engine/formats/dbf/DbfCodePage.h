// The language driver byte of a dbf header and the code page it names.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace qvx {
class File;
}

namespace qvx::dbf {

struct Header;

// The converter name (usable with QStringDecoder/QStringEncoder) for a
// language driver byte. Unmarked (0) and unknown bytes give
// common::defaultCodePage().
QString codePageForDriver(std::uint8_t driver);

// The language driver byte to write for a converter name, or -1 when no
// byte names that code page. Accepts the names common::canonicalCodePage()
// does ("IBM850", "cp850", "850", "windows-1252", "1252" and the like, in
// any letter case).
int driverForCodePage(const QString &codePage);

// The code page a .cpg file names (the first line: "UTF-8", "65001",
// "1251", "CP1252", "ANSI 1251", "8859-5", "88591", "ISO-8859-1",
// "LDID/201" and the like), as a converter name; empty when unknown.
QString codePageForCpg(const QByteArray &contents);

// Where the code page of an open table came from.
enum class CodePageSource { Header, Cpg, Detected, Default, Option };
QString codePageSourceName(CodePageSource source);

struct CodePageChoice {
    QString codePage; // converter name
    CodePageSource source = CodePageSource::Header;
    QStringList warnings;
};

// The code page to read a table with: the user's choice (option, a name
// canonicalCodePage() accepts; throws EngineError naming it when unknown),
// else the .cpg beside path (none looked for when path is empty), else the
// language driver byte, else UTF-8 when the text of the first records is
// UTF-8 with some non-ASCII in it, else common::defaultCodePage().
CodePageChoice chooseCodePage(const QString &path, const File &dbf, const Header &header,
                              const QString &option);

// Whether the character fields of the first records (at most about 64 KB
// of them) hold non-ASCII bytes that are all UTF-8.
bool looksLikeUtf8(const File &dbf, const Header &header);

} // namespace qvx::dbf
