#include "DbfCodePage.h"

#include "../common/CodePage.h"

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

} // namespace qvx::dbf
