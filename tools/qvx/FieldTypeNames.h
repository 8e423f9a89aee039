// The names users know the field type codes by.
#pragma once

#include "engine/FieldDef.h"

#include <QString>

namespace qvx::tool {

// The catalogue's display name of a type ("Small Integer", "Bitmap", ...).
// Code 4 has no catalogue name; it is shown as "Word".
QString fieldTypeDisplayName(FieldType type);

} // namespace qvx::tool
