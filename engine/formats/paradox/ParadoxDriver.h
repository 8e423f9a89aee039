// Paradox tables (.db with a .mb blob file and, when keyed, a .px primary
// index).
#pragma once

#include "../../io/File.h"
#include "../TableFormat.h"

namespace qvx {

const TableDriver &paradoxDriver();

// Opens a table whose bytes are already at hand (tests, fuzzing). mb may be
// null when the table has no blob file; px, the primary index of a keyed
// table, may be null, and one is then kept in memory.
std::unique_ptr<OpenTable> openParadox(std::unique_ptr<File> db, std::unique_ptr<File> mb, bool readOnly,
                                       std::unique_ptr<File> px = nullptr);

} // namespace qvx
