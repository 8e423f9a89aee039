// Dates as the dBASE and Paradox formats hand them to SQL: yyyy-MM-dd text.
#pragma once

#include "../TableFormat.h"

#include <QDate>

namespace qvx::common {

// A date as SQL text (yyyy-MM-dd), for years 1 to 9999.
void putSqlDate(FieldSink &sink, const QDate &d);
// The same from its parts, which must make a valid date.
void putSqlDate(FieldSink &sink, int year, int month, int day);
// Whether the parts make a date of the Gregorian calendar in years 1 to
// 9999 (as QDate would take them, without its cost).
inline bool isValidDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    static constexpr int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

} // namespace qvx::common
