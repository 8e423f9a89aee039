// How qvx writes field values, once for every command: the plain text of a
// value (used as is in CSV) and its JSON form.
//
//   strings, memos        the text
//   integers              decimal digits
//   float, currency       shortest text that reads back as the same double;
//                         a currency held as text (more digits than a double
//                         holds) as that text
//   BCD                   the decimal text as held ("-12.5")
//   booleans              true / false
//   date, time, datetime  YYYY-MM-DD, hh:mm:ss[.zzz], YYYY-MM-DDThh:mm:ss[.zzz]
//   every other blob      base64
//   null                  "" in text, null in JSON
#pragma once

#include "engine/FieldDef.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace qvx::tool {

QString plainValue(const QVariant &value, FieldType type);
// The same text of a double, into buf (at least kDoubleChars bytes); its length.
inline constexpr int kDoubleChars = 400;
int doubleChars(double d, char *buf);
// A JSON value: a number, true/false, null or a string, as UTF-8.
QByteArray jsonValue(const QVariant &value, FieldType type);
// A JSON string literal with its quotes.
QByteArray jsonString(const QString &text);
void appendJsonString(QByteArray &out, const char *utf8, qsizetype size);
// One CSV field (RFC 4180): quoted when it holds a comma, quote or line break.
QByteArray csvField(const QString &text);
void appendCsvField(QByteArray &out, const char *utf8, qsizetype size);

} // namespace qvx::tool
