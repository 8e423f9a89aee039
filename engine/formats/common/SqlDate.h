// Dates as the dBASE and Paradox formats hand them to SQL: yyyy-MM-dd text.
#pragma once

#include "../TableFormat.h"

#include <QDate>

namespace qvx::common {

// A date as SQL text (yyyy-MM-dd), for years 1 to 9999.
void putSqlDate(FieldSink &sink, const QDate &d);
// The same from its parts, which must make a valid date.
void putSqlDate(FieldSink &sink, int year, int month, int day);

} // namespace qvx::common
