// Planning a new dbf table: which variant to write and how each field type
// is stored in it.
#pragma once

#include "DbfHeader.h"

#include "../TableFormat.h"

namespace qvx::dbf {

struct TablePlan {
    Header header; // header length, record length and offsets set; count 0
    MemoKind memoKind = MemoKind::None;
    int memoBlockSize = 0;
};

// The family a driver creates: dBASE (III+, else IV) or FoxPro (2.x, else
// Visual FoxPro). CreateOptions.version forces one variant.
enum class Family { DBase, FoxPro };

// Chooses the first variant of the family that holds every field (or the
// forced one) and lays the table out. Throws EngineError(path, ...) naming
// the field that no variant (or the forced one) can hold.
TablePlan planTable(const FieldDefs &fields, const CreateOptions &options, Family family,
                    const QString &path);

// The bytes of a new, empty table file for a plan.
QByteArray newTableFile(const TablePlan &plan);

} // namespace qvx::dbf
