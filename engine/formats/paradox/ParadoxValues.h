// Field values in Paradox records: how each field type maps to the engine's
// types, and its big-endian, sort-friendly encoding. An all-zero field is
// null in every type.
#pragma once

#include "ParadoxHeader.h"

#include "../../FieldDef.h"

#include <QVariant>

namespace qvx::paradox {

// The engine's description of a field.
FieldDef fieldDefFor(const Field &f, const QString &name);

// The Paradox type and size byte for an engine field, or type 0 when the
// format has no such type.
struct StoredType {
    std::uint8_t type = 0;
    int size = 0;
};
StoredType storedTypeFor(const FieldDef &def);

bool isAllZero(const char *p, int length);

// Decodes a field that is not a blob. Throws EngineError(what) without a
// path when the bytes are no value of the type; the caller names the place.
QVariant decodeValue(const Field &f, const char *p);

// Encodes a held value (see FieldDef.h) of a field that is not a blob into
// f.length bytes at p. Alpha text must be encoded by the caller.
void encodeValue(const Field &f, const QVariant &v, char *p);

// The numbers underneath, exposed for tests.
std::int32_t decodeInt(const char *p, int bytes);
void encodeInt(std::int32_t v, char *p, int bytes);
double decodeDouble(const char *p);
void encodeDouble(double v, char *p);
QString decodeBcd(const char *p); // canonical decimal text
// The value as a double when it has at most 15 significant digits; false otherwise.
bool bcdToDouble(const char *p, double &out);
// The same canonical text written into buf (at least 36 bytes), with no
// allocation; its length, or -1 when decodeBcd() would refuse the value.
int bcdText(const char *p, char *buf);
void encodeBcd(const QString &decimal, int decimals, char *p);

} // namespace qvx::paradox
