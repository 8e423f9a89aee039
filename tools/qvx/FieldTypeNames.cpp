#include "FieldTypeNames.h"

#include <iterator>

namespace qvx::tool {

QString fieldTypeDisplayName(FieldType type)
{
    // Indexed by type code. The spellings are the ones users already see in
    // the table windows, mistakes included, so that scripts can match them.
    static const char *const names[] = {
        "Unknown",
        "String",
        "Small Integer",
        "Integer",
        "Word",
        "Boolean",
        "Float",
        "Currency",
        "BCD (Binary-Code Decimal)",
        "Date",
        "Time",
        "Date and Time",
        "Fixed number of bytes",
        "Variable number of bytes",
        "Auto-incremeting",
        "Binary Large OBject",
        "Text memo",
        "Bitmap",
        "Formatted text memo",
        "Paradox OLE",
        "dBASE OLE",
        "Typed Binary",
        "Output cursor (ORACLE)",
        "Fixed character",
        "Wide string",
        "Lagre integer",
        "Abstract Data Type",
        "Array",
        "Reference (REF)",
        "Data Set",
    };
    static_assert(std::size(names) == fieldTypeCode(FieldType::DataSet) + 1);
    return QLatin1String(names[fieldTypeCode(type)]);
}

} // namespace qvx::tool
