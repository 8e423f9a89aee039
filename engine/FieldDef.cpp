#include "FieldDef.h"

namespace qvx {

FieldDef fieldFromSize(const QString &name, FieldType type, int size)
{
    if (type == FieldType::BCD)
        return FieldDef(name, type, 0, size);
    return FieldDef(name, type, size);
}

FieldType fieldTypeFromCode(int code)
{
    return code >= 0 && code <= 29 ? static_cast<FieldType>(code) : FieldType::Unknown;
}

const char *fieldTypeDisplayName(int code)
{
    // The spellings are the ones users have always seen in field lists,
    // mistakes included, so they stay.
    static const char *const names[30] = {
        "Unknown",
        "String",
        "Small Integer",
        "Integer",
        nullptr,
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
    return code >= 0 && code < 30 ? names[code] : nullptr;
}

ValueKind valueKind(FieldType t)
{
    switch (t) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
    case FieldType::Memo:
        return ValueKind::Text;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
        return ValueKind::Int;
    case FieldType::LargeInt:
        return ValueKind::Int64;
    case FieldType::Boolean:
        return ValueKind::Bool;
    case FieldType::Float:
    case FieldType::Currency:
        return ValueKind::Double;
    case FieldType::BCD:
        return ValueKind::Decimal;
    case FieldType::Date:
        return ValueKind::Date;
    case FieldType::Time:
        return ValueKind::Time;
    case FieldType::DateTime:
        return ValueKind::DateTime;
    case FieldType::Bytes:
    case FieldType::VarBytes:
    case FieldType::Blob:
    case FieldType::Graphic:
    case FieldType::FmtMemo:
    case FieldType::ParadoxOle:
    case FieldType::DBaseOle:
    case FieldType::TypedBinary:
    case FieldType::ADT:
    case FieldType::Array:
    case FieldType::Reference:
    case FieldType::DataSet:
        return ValueKind::Bytes;
    case FieldType::Unknown:
    case FieldType::Cursor:
        return ValueKind::None;
    }
    return ValueKind::None;
}

bool isBlobType(FieldType t)
{
    switch (t) {
    case FieldType::Blob:
    case FieldType::Memo:
    case FieldType::Graphic:
    case FieldType::FmtMemo:
    case FieldType::ParadoxOle:
    case FieldType::DBaseOle:
    case FieldType::TypedBinary:
        return true;
    default:
        return false;
    }
}

bool isNumericType(FieldType t)
{
    switch (valueKind(t)) {
    case ValueKind::Int:
    case ValueKind::Int64:
    case ValueKind::Double:
    case ValueKind::Decimal:
        return true;
    default:
        return false;
    }
}

} // namespace qvx
