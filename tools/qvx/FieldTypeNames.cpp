#include "FieldTypeNames.h"

namespace qvx::tool {

QString fieldTypeDisplayName(FieldType type)
{
    const char *name = qvx::fieldTypeDisplayName(fieldTypeCode(type));
    return QLatin1String(name ? name : "Word");
}

} // namespace qvx::tool
