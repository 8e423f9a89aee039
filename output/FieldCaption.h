// What printed and exported cells show for a field whose value is not text:
// the name of its kind instead of its bytes.
#pragma once

#include "engine/FieldDef.h"

#include <QString>

namespace qvx::output {

// "BLOB", "Memo", "Graphic" or "Typed Binary"; "" for the other types.
inline QString binaryCaption(qvx::FieldType type)
{
    switch (type) {
    case qvx::FieldType::Blob:
        return QStringLiteral("BLOB");
    case qvx::FieldType::Memo:
        return QStringLiteral("Memo");
    case qvx::FieldType::Graphic:
        return QStringLiteral("Graphic");
    case qvx::FieldType::TypedBinary:
        return QStringLiteral("Typed Binary");
    default:
        return {};
    }
}

} // namespace qvx::output
