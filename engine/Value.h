// Converting field values between the forms callers use (variant, text,
// integer) and the one form each field type is held in (see FieldDef.h).
#pragma once

#include "FieldDef.h"

namespace qvx {

// Converts v to the held form of the field's type. Null stays null; an empty
// string given to a non-text field becomes null. Throws EngineError with a
// message such as "'abc' is not a valid integer value" when it cannot.
QVariant coerceValue(const QVariant &v, const FieldDef &field);

// The text of a held value: "" for null; dates "yyyy-MM-dd", times "hh:mm:ss"
// (with ".zzz" when there are milliseconds), datetimes "yyyy-MM-dd hh:mm:ss",
// booleans "True"/"False", floats in the shortest exact form, bytes as UTF-8 (text given to a
// byte field is stored as UTF-8 too, so the two agree).
QString valueToText(const QVariant &v, FieldType type);

// Normalises decimal text ("+012.50" -> "12.5", "-0" -> "0"); returns an empty
// string when the text is not a decimal number.
QString canonicalDecimal(const QString &text);

} // namespace qvx
