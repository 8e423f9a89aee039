// The language driver byte of a dbf header and the code page it names.
#pragma once

#include <QString>

#include <cstdint>

namespace qvx::dbf {

// The converter name (usable with QStringDecoder/QStringEncoder) for a
// language driver byte. Unmarked (0) and unknown bytes give
// common::defaultCodePage().
QString codePageForDriver(std::uint8_t driver);

// The language driver byte to write for a converter name, or -1 when no
// byte names that code page. Accepts the names common::canonicalCodePage()
// does ("IBM850", "cp850", "850", "windows-1252", "1252" and the like, in
// any letter case).
int driverForCodePage(const QString &codePage);

} // namespace qvx::dbf
