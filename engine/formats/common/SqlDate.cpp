#include "SqlDate.h"

namespace qvx::common {

void putSqlDate(FieldSink &sink, int y, int m, int d)
{
    char t[10] = { char('0' + y / 1000),
                   char('0' + y / 100 % 10),
                   char('0' + y / 10 % 10),
                   char('0' + y % 10),
                   '-',
                   char('0' + m / 10),
                   char('0' + m % 10),
                   '-',
                   char('0' + d / 10),
                   char('0' + d % 10) };
    sink.text(t, 10);
}

void putSqlDate(FieldSink &sink, const QDate &d)
{
    putSqlDate(sink, d.year(), d.month(), d.day());
}

} // namespace qvx::common
