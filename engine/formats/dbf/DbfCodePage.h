// The language driver byte of a dbf header and the code page it names.
#pragma once

#include <QString>

#include <cstdint>

namespace qvx::dbf {

// The converter name (usable with QStringDecoder/QStringEncoder) for a
// language driver byte. Unmarked (0) and unknown bytes give the default.
QString codePageForDriver(std::uint8_t driver);

// The code page used when a table names none, or one we cannot convert.
QString defaultCodePage();

// The language driver byte to write for a converter name, or -1 when no
// byte names that code page. Accepts "IBM850", "cp850", "850", "windows-1252",
// "1252" and the like, in any letter case.
int driverForCodePage(const QString &codePage);

// The canonical converter name for a name driverForCodePage() accepts, or an
// empty string.
QString canonicalCodePage(const QString &codePage);

} // namespace qvx::dbf
